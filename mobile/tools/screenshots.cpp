// Renders the documentation screenshots of the desktop program: the main
// window (not connected and connected), the connection dialog, the splash
// window and the progress window.
//
//   mobile_screenshots OUTDIR        (run under Xvfb: docs/make_screenshots.sh)
//
// The connected views are taken against the emulated phone through the
// real phone-link worker, as in demo mode (the emulator is found like demo
// mode finds it); without the emulator, the scripted worker of the test
// support answers the connection requests instead.

#include "mobile/tools/screenshot_scene.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/progress_dialog.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "screenshots_video.h"
#include "support/fake_worker.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

using namespace shellui;

bool RenderPicturesScreenshots(const QString& outDir, const QString& suffix);  // screenshots_pictures.cpp
using shelltest::FakeWorker;

// Scenes of the areas' pages, one function per area (screenshots_<area>.cpp).
bool PhonebookScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                          const std::function<QImage(const QImage&, const QImage&)>& compose);
using shelltest::Reply;
using shelltest::SeenRequest;

bool MessagesScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                         const std::function<QImage(const QImage&, const QImage&)>& compose);
// Scenes of the areas, each in a file of its own (screenshots_<area>.cpp).
bool SoundScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                      const std::function<shellui::FrameOptions()>& options);
bool FrameTourScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                          const std::function<QImage(const QImage&, const QImage&)>& compose,
                          const std::function<shellui::FrameOptions()>& options);
bool BackupScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                       const std::function<QImage(const QImage&, const QImage&)>& compose);
bool Mp3Screenshots(const std::function<bool(const QImage&, const QString&)>& save,
                    const std::function<shellui::FrameOptions()>& options);

namespace {

QString g_out;
QString g_suffix;

bool Save(const QImage& img, const QString& name)
{
    const QString path = g_out + "/" + name + g_suffix + ".png";
    const bool ok = img.save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// A dialog over a dimmed main window, with a soft shadow, as the user sees it.
QImage Compose(const QImage& back, const QImage& dialog)
{
    QImage out = back.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&out);
    p.fillRect(out.rect(), QColor(10, 16, 22, 110));
    const QPoint at((out.width() - dialog.width()) / 2, (out.height() - dialog.height()) / 2);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 8; i > 0; --i) {
        QPainterPath shadow;
        shadow.addRoundedRect(QRectF(at.x() - i, at.y() - i + 4, dialog.width() + 2 * i, dialog.height() + 2 * i), 8,
                              8);
        p.fillPath(shadow, QColor(0, 0, 0, 10));
    }
    p.drawImage(at, dialog);
    p.setPen(QColor(0x33, 0x47, 0x5b));
    p.drawRect(QRect(at, dialog.size()).adjusted(0, 0, -1, -1));
    return out;
}

std::vector<Reply> Phone(const SeenRequest& s)
{
    switch (s.code) {
    case REQ_SCAN_AND_CONNECT: return {Reply::Progress(2, 8, 8), Reply::Progress(1, 1, 0x01)};
    case REQ_DOWNLOAD: return {Reply::Progress(2, 180, 360), Reply::Progress(2, 360, 360), Reply::Text(1, "")};
    case REQ_PRIVACY_LOCK: return {Reply::Progress(2, 0, 0), Reply::Text(1, "")};
    default: return {Reply::Text(1, "OK")};
    }
}

FrameOptions Options(std::function<std::vector<Reply>(const SeenRequest&)> script)
{
    FrameOptions o;
    o.splash = false;
    o.detectCable = [] { return std::string("COM1"); };
    o.startWorker = [script](plat::ThreadId, plat::WindowHandle window) -> std::unique_ptr<shell::LinkThread> {
        return std::make_unique<FakeWorker>(script, window);
    };
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: mobile_screenshots OUTDIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    const QString language = ResourceBundle::LanguageForLocale();
    g_suffix = language == "zh" ? "_zh" : "";
    BundleError error = BundleError::None;
    auto bundle = ResourceBundle::Load(ResourceBundle::SearchPaths().front(), language, &error);
    if (!bundle) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(ResourceBundle::Describe(error, ResourceBundle::SearchPaths().front())));
        return 3;
    }
    SetResources(bundle.get());
    app.setStyleSheet(bundle->styleSheet());
    bool ok = true;

    QImage notConnected;
    {
        CMainFrame frame(Options(Phone));
        frame.show();
        frame.command(shell::kCmdPictures);
        scene::Settle(150);
        notConnected = frame.grab().toImage();
        ok &= Save(notConnected, "main_not_connected");

        // The program opens the dialog with MP3 mode chosen; the picture shows it so.
        ConnectionDialog dialog(shell::kModeMp3, &frame);
        dialog.show();
        scene::Settle(150);
        ok &= Save(Compose(notConnected, dialog.grab().toImage()), "connection_dialog");
        dialog.hide();

        // A batch caught half-way through its third of ten steps.
        ProgressContext ctx;
        ctx.mainWindow = frame.window();
        FakeWorker slow([](const SeenRequest& s) -> std::vector<Reply> {
            if (s.code == REQ_DOWNLOAD && s.first == "/app/camera/cam.idx")
                return {Reply::Progress(2, 5, 10)};
            return {Reply::Text(1, "")};
        });
        ctx.worker = slow.threadId();
        CProgressBar progress(ctx, {}, &frame);
        std::vector<shell::BatchStep> steps;
        for (const char* f : {"/app/jpeg/index", "/app/midi/index", "/app/camera/cam.idx"})
            steps.push_back(shell::BatchStep::Request(
                REQ_DOWNLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, NewTransferBlock(f, "/tmp/x"))));
        progress.batch().setBatch(std::move(steps));
        progress.batch().setStepCount(10);
        progress.batch().setTitle(57695);
        progress.show();
        progress.startForTesting();
        scene::Settle(400);
        ok &= Save(Compose(notConnected, progress.grab().toImage()), "progress_window");
        progress.batch().cancel();
    }
    {
        DemoPhone demo;
        const bool real = !DemoPhone::SimphoneProgram().isEmpty() && demo.start();
        FrameOptions options = Options(Phone);
        if (real) {
            options.startWorker = nullptr;  // quorlink's worker
            options.detectCable = nullptr;  // the demo's cable
        }
        std::fprintf(stderr, "connected views: %s\n", real ? "emulated phone" : "scripted worker");
        CMainFrame frame(options);
        frame.show();
        frame.command(shell::kCmdPictures);
        scene::Settle(150);
        frame.controller().connectCommand(shell::kModePhone);
        scene::Settle(150);
        ok &= frame.state().phoneMode;
        ok &= Save(frame.grab().toImage(), "main_connected");
        frame.command(shell::kCmdPhonebook);
        scene::Settle(150);
        ok &= Save(frame.grab().toImage(), "main_phonebook");
    }
    ok &= MessagesScreenshots(Save, Compose);
    ok &= SoundScreenshots(Save, [] { return Options(Phone); });
    ok &= Mp3Screenshots(Save, [] { return Options(Phone); });
    ok &= PhonebookScreenshots(Save, Compose);
    ok &= FrameTourScreenshots(Save, Compose, [] { return Options(Phone); });
    ok &= VideoScreenshots(g_out, g_suffix);
    {
        SplashWindow splash;
        splash.showFinished();
        scene::Settle(150);
        ok &= Save(splash.grab().toImage(), "splash");
    }
    ok &= RenderPicturesScreenshots(g_out, g_suffix);
    ok &= BackupScreenshots(Save, Compose);
    SetResources(nullptr);
    return ok ? 0 : 1;
}

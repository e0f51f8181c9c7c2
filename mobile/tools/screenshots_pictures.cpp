// Screenshots of the pictures page: a picture loaded in each frame mode,
// with the phone's picture slots listed (from the emulated phone when it
// is built, else from a scripted worker's answers).
#include "mobile/tools/screenshot_scene.h"
#include "mobile/app/pages.h"
#include "mobile/media/ui/pictures_page.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/main_frame.h"
#include "support/fake_worker.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QPainter>
#include <QToolButton>

#include <cstdio>

using namespace shellui;

namespace {

// A landscape to load: sky, sun, hills and a lake, drawn here.
QString MakePicture()
{
    QImage img(480, 320, QImage::Format_RGB888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(0x2b, 0x5f, 0xa8));
    sky.setColorAt(1, QColor(0xf4, 0xb8, 0x6a));
    p.fillRect(img.rect(), sky);
    p.setBrush(QColor(0xff, 0xe0, 0x70));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(330, 150), 42, 42);
    p.setBrush(QColor(0x2e, 0x6b, 0x3a));
    p.drawEllipse(QRectF(-80, 160, 360, 220));
    p.setBrush(QColor(0x3d, 0x85, 0x4a));
    p.drawEllipse(QRectF(180, 180, 400, 200));
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    p.drawRect(QRect(0, 260, 480, 60));
    p.end();
    const QString path = QDir::temp().filePath("telvane_lake.bmp");
    img.save(path, "BMP");
    return path;
}

}  // namespace

bool RenderPicturesScreenshots(const QString& outDir, const QString& suffix)
{
    DemoPhone demo;
    const bool real = !DemoPhone::SimphoneProgram().isEmpty() && demo.start();
    FrameOptions options;
    options.splash = false;
    options.pages = app::AllPages();
    if (!real) {
        // Without the emulated phone the page is shown unconnected.
        options.detectCable = [] { return std::string("ERROR_NON"); };
        options.startWorker = [](plat::ThreadId, plat::WindowHandle window) -> std::unique_ptr<shell::LinkThread> {
            return std::make_unique<shelltest::FakeWorker>(
                [](const shelltest::SeenRequest&) { return std::vector<shelltest::Reply>{}; }, window);
        };
    }
    std::fprintf(stderr, "pictures page: %s\n", real ? "emulated phone" : "not connected");
    CMainFrame frame(options);
    frame.show();
    frame.command(shell::kCmdPictures);
    scene::Settle(150);
    if (real) {
        frame.controller().connectCommand(shell::kModePhone);
        scene::Settle(300);
    }
    frame.command(1010, MakePicture());
    bool ok = true;
    const char* const names[] = {"pictures_free", "pictures_stretch", "pictures_fit"};
    for (int mode = 0; mode < 3; ++mode) {
        // Zoom in once (the frame over part of the picture), then the next modes.
        const char* button = mode == 0 ? "button1027" : "button1031";
        if (auto* b = frame.findChild<QToolButton*>(button))
            b->click();
        scene::Settle(150);
        const QString file = QDir(outDir).filePath(QString(names[mode]) + suffix + ".png");
        ok &= frame.grab().toImage().save(file);
        std::fprintf(stderr, "%s\n", qPrintable(file));
    }
    return ok;
}

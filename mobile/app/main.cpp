// mobile: the desktop program.
//
//   mobile [--demo] [--no-splash]
//
// Exit codes: 0 normal end (or a second start handed over to the first),
// 2 usage, 3 resource bundle missing or damaged, 4 demo phone not started.

#include "mobile/app/pages.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "mobile/shell/ui/single_instance.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace shellui;

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitBundle = 3;
constexpr int kExitDemo = 4;

int g_signalPipe[2] = {-1, -1};
bool g_terminated = false;
CMainFrame* g_frame = nullptr;

void OnTerminate(int)
{
    const char c = 1;
    (void)!::write(g_signalPipe[1], &c, 1);
}

// SIGTERM, SIGINT and SIGHUP end the program as closing its window does:
// the worker stops, the bundle is unloaded and a demo phone is stopped.
// Caught from the start; acted on by the first event loop that runs.
std::unique_ptr<QSocketNotifier> CatchTermination()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    struct sigaction sa { };
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
        char buf[16];
        while (::read(g_signalPipe[0], buf, sizeof buf) > 0) { }
        g_terminated = true;
        if (g_frame)
            g_frame->close();
        QApplication::exit(0);
    });
    return notifier;
}

void Fatal(const QString& text)
{
    std::fprintf(stderr, "mobile: %s\n", qPrintable(text));
    const QString platform = QGuiApplication::platformName();
    if (platform != "offscreen" && platform != "minimal")
        QMessageBox::critical(nullptr, "Telvane", text);
}

}  // namespace

int main(int argc, char** argv)
{
    // Before the toolkit starts: it needs a display, --help does not.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: mobile [--demo] [--no-splash]\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Telvane");
    QApplication::setDesktopFileName("telvane");
    const auto termination = CatchTermination();

    bool demo = false;
    bool splash = true;
    for (const QString& a : QApplication::arguments().mid(1)) {
        if (a == "--demo")
            demo = true;
        else if (a == "--no-splash")
            splash = false;
        else {
            std::fprintf(stderr, "mobile: unknown option %s\nusage: mobile [--demo] [--no-splash]\n", qPrintable(a));
            return kExitUsage;
        }
    }

    // Resources first: every text of the program lives in the bundle.
    const QStringList paths = ResourceBundle::SearchPaths();
    QString bundlePath = paths.front();
    for (const QString& p : paths) {
        if (QFile::exists(p)) {
            bundlePath = p;
            break;
        }
    }
    BundleError error = BundleError::None;
    const QString language = ResourceBundle::LanguageForLocale();
    std::unique_ptr<ResourceBundle> bundle = ResourceBundle::Load(bundlePath, language, &error);
    if (!bundle) {
        Fatal(ResourceBundle::Describe(error, error == BundleError::Missing ? paths.join(", ") : bundlePath, language));
        return kExitBundle;
    }
    SetResources(bundle.get());
    const auto toolkitTexts = InstallToolkitTranslation(language);

    SingleInstance instance;
    if (!instance.claim())
        return 0;  // the running one comes to the front

    std::unique_ptr<DemoPhone> demoPhone;
    if (demo) {
        demoPhone = std::make_unique<DemoPhone>();
        if (!demoPhone->start()) {
            Fatal("demo mode: " + demoPhone->error());
            return kExitDemo;
        }
    }

    app.setStyleSheet(bundle->styleSheet());
    int rc = 0;
    {
        FrameOptions options;
        options.splash = splash;
        options.pages = app::AllPages();
        options.commands = app::AllCommands();
        if (demoPhone) {
            options.beforeMp3Attempt = [&demoPhone] { demoPhone->bootIntoLoader(); };
            options.afterMp3Mode = [&demoPhone] { (void)demoPhone->control("poweron"); };
        }
        CMainFrame frame(options);
        QObject::connect(&instance, &SingleInstance::raiseRequested, &frame, [&frame] { frame.bringToFront(); });
        g_frame = &frame;
        if (splash) {
            SplashWindow s;
            s.exec();
        }
        if (!g_terminated) {
            frame.show();
            QTimer::singleShot(0, &frame, [&frame] { frame.startUp(); });
            rc = app.exec();
        }
        g_frame = nullptr;
    }
    SetResources(nullptr);
    return rc;
}

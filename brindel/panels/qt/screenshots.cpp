// Renders the README's screenshots of the operator program: the main window
// after a download into the emulated baseband, and the service window after
// switching the phone on.
//
//   brindel_operator_screenshots OUTDIR     (under Xvfb: docs/make_screenshots.sh)
//
// The emulator program lies beside this one.
#include "operator_texts.h"
#include "operator_window.h"
#include "service_window.h"

#include "brindel/dwl50dev.h"
#include "support/images.h"
#include "support/simphone_process.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void Settle()
{
    WaitFor([] { return false; }, 300);
}

bool Save(QWidget* w, const QString& path)
{
    const bool ok = w->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

std::string ProgramDir()
{
    return QCoreApplication::applicationDirPath().toStdString();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: brindel_operator_screenshots OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    const QString language = brindelui::LanguageForLocale();
    brindelui::SetLanguage(language);
    const QString suffix = language == "zh" ? "_zh" : "";
    QTranslator qtTexts;
    if (language == "zh" && qtTexts.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    brindel_test::TempDir dir;
    dir.Enter();
    ::setenv("TELVANE_SERIAL_DIR", dir.path().c_str(), 1);
    QFile::copy(QString::fromStdString(ProgramDir() + "/flash.txt"), "flash.txt");
    dir.Write("dwl874_7.spm", brindel_test::Bytes(600, 0x5A));
    const brindel_test::Bytes tag = brindel_test::MakeTag(2, 0x1234, 0x0102, 0x40000, 0x200000);
    dir.Write("V318_0102.cla", brindel_test::MakeSoftware(5 * 0x20000 + 7000, tag));
    brindel_test::SimphoneProcess phone(ProgramDir() + "/simphone", dir.path(), 3, dir.path() + "/flash.img");
    if (!phone.ok()) {
        std::fprintf(stderr, "the emulator did not start\n");
        return 1;
    }

    int rc = 0;
    {
        brindelui::OperatorWindow window;
        window.resize(1180, 760);
        window.show();
        window.startUp({});
        sg_DownloadContext.port = 3;
        sg_DownloadContext.projectType = 4;
        sg_DownloadContext.downloadType = 0;
        sg_DownloadContext.speedIndex = 5;
        window.applyContext();
        window.loadSoftware(QString::fromStdString(dir.path() + "/V318_0102.cla"));
        window.start();
        if (!WaitFor([&] { return window.lastResultFamily() >= 0 && !window.busy(); }, 60000))
            rc = 1;
        Settle();
        // The result window over the main window, as the operator sees it.
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != &window && top->isVisible() && top->windowTitle() == "DWL_SOFT_OK")
                top->move(window.geometry().center() - top->rect().center());
        Settle();
        QPixmap shot = window.grab();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top == &window || !top->isVisible() || top->windowTitle() != "DWL_SOFT_OK")
                continue;
            // The result window with a title bar carrying its title, as the
            // window manager would draw it.
            QPainter p(&shot);
            constexpr int kBar = 26;
            const QPoint at((shot.width() - top->width()) / 2, (shot.height() - top->height() + kBar) / 2);
            const QRect frame(at + QPoint(-2, -kBar), top->size() + QSize(4, kBar + 2));
            p.fillRect(frame, QColor(60, 64, 70));
            p.setPen(Qt::white);
            p.drawText(QRect(frame.topLeft() + QPoint(10, 0), QSize(frame.width() - 20, kBar)),
                       Qt::AlignVCenter | Qt::AlignLeft, top->windowTitle());
            top->render(&p, at);
            top->close();
        }
        const QString main = out + "/brindel_main" + suffix + ".png";
        std::fprintf(stderr, "%s %s\n", shot.save(main) ? "wrote" : "FAILED", qPrintable(main));

        // The service window: a fresh phone switched on.
        phone.Stop();
        brindel_test::SimphoneProcess second(ProgramDir() + "/simphone", dir.path(), 3, dir.path() + "/flash.img");
        brindelui::ServiceWindow* service = window.openService();
        service->switchOn();
        if (!WaitFor([&] { return !window.busy() && service->sectorRows().size() > 10; }, 30000))
            rc = 1;
        service->eraseSector(2);
        WaitFor([&] { return !window.busy() && service->sectorRows().value(2).contains("Deleted"); }, 30000);
        Settle();
        if (!Save(service, out + "/brindel_service" + suffix + ".png"))
            rc = 1;
        service->switchOff();
        WaitFor([&] { return !window.busy(); }, 30000);
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != &window && top != service)
                top->close();
    }
    ::unsetenv("TELVANE_SERIAL_DIR");
    return rc;
}

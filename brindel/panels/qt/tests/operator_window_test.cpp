// The operator program's windows on the offscreen platform, against the
// emulator program in boot mode: a download from the main window, with the
// debug window open, and the service window's switch on, erase and switch off.
#include "debug_window.h"
#include "operator_texts.h"
#include "operator_window.h"
#include "service_window.h"

#include "brindel/dwl50dev.h"
#include "support/images.h"
#include "support/simphone_process.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <iterator>

using brindel_test::Bytes;

namespace {

constexpr uint32_t kSector = 0x20000;

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

class OperatorWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir_ = std::make_unique<brindel_test::TempDir>();
        dir_->Enter();
        ::setenv("TELVANE_SERIAL_DIR", dir_->path().c_str(), 1);
        QVERIFY(QFile::copy(BRINDEL_FLASH_TXT, "flash.txt"));
        dir_->Write("dwl874_7.spm", Bytes(400, 0x5A));
        dwl50_0ResetContext();
        brindelui::SetLanguage("en");
    }
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();
        QApplication::processEvents();
        dwl50_0ResetContext();
        ::unsetenv("TELVANE_SERIAL_DIR");
        dir_.reset();
    }

    // The start button runs the whole download on the engine's thread: the
    // window keeps working meanwhile, the debug window receives the trace,
    // and the steps, sector rows, progress and result arrive in the window.
    void downloadFromTheMainWindow()
    {
        const Bytes software =
            brindel_test::MakeSoftware(3 * kSector + 1000, brindel_test::MakeTag(2, 0x1234, 0x0102, 0x40000, 0x200000));
        dir_->Write("soft.cla", software);
        const std::string flash = dir_->path() + "/flash.img";
        brindel_test::SimphoneProcess phone(SIMPHONE_BIN, dir_->path(), 3, flash);
        QVERIFY(phone.ok());

        brindelui::OperatorWindow window;
        window.show();
        window.startUp({QString::fromStdString(dir_->path() + "/soft.cla")});
        sg_DownloadContext.port = 3;
        sg_DownloadContext.projectType = 4;
        sg_DownloadContext.speedIndex = 5;
        window.applyContext();
        QVERIFY(window.logLines().join('\n').contains("Loading CLA File: "));
        brindelui::DebugWindow* debug = window.openDebug();

        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ticks += window.busy() ? 1 : 0; });
        timer.start(5);
        window.start();
        QVERIFY(window.busy());  // the start returned at once: the engine runs elsewhere
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 60000);
        QVERIFY(ticks > 0);
        QCOMPARE(window.lastResultFamily(), 0);
        QCOMPARE(window.lastResultText(), QString("DOWNLOAD SUCCESSFULL"));
        QCOMPARE(window.softwarePercent(), 100);
        const QStringList log = window.logLines();
        QVERIFY(log.contains("BOOT FROM A PCF5087"));
        QVERIFY(log.contains("You do not need to remove the battery to start the mobile"));
        const QStringList rows = window.sectorRows();
        QCOMPARE(rows.size(), 128);
        QVERIFY(rows[0].startsWith("    0 |     131072 |"));
        QVERIFY(rows[3].endsWith("| Downloaded "));
        QVERIFY(rows[4].contains("|         - |   - | N. A. "));
        QTRY_VERIFY(debug->lines().contains("BOOT : Start the boot sequence "));
        debug->close();
        QApplication::processEvents();
        const int traced = debug->lines().size();

        // With the debug window closed, the next download traces nothing.
        phone.Stop();
        const Bytes written = ReadFile(flash);
        QVERIFY(written.size() >= software.size());
        QVERIFY(Bytes(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(software.size())) == software);
        brindel_test::SimphoneProcess again(SIMPHONE_BIN, dir_->path(), 3, flash);
        window.start();
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 60000);
        QCOMPARE(window.lastResultFamily(), 0);
        QCOMPARE(debug->lines().size(), traced);
    }

    // The service window switches the phone on, lists what the flash
    // descriptions know and erases one sector.
    void serviceWindow()
    {
        Bytes image(128 * kSector, 0x00);
        dir_->Write("flash.img", image);
        brindel_test::SimphoneProcess phone(SIMPHONE_BIN, dir_->path(), 3, dir_->path() + "/flash.img");
        QVERIFY(phone.ok());
        brindelui::OperatorWindow window;
        window.startUp({});
        sg_DownloadContext.port = 3;
        sg_DownloadContext.projectType = 4;
        window.applyContext();
        brindelui::ServiceWindow* service = window.openService();
        service->switchOn();
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 30000);
        QVERIFY(!service->descriptions().isEmpty());
        QCOMPARE(service->sectorRows().size(), 128);
        service->eraseSector(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 30000);
        QVERIFY(service->sectorRows()[1].endsWith("| Deleted "));
        service->switchOff();
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 30000);
        QCOMPARE(window.lastResultFamily(), 0);
        phone.Stop();
        const Bytes after = ReadFile(dir_->path() + "/flash.img");
        QCOMPARE(after.size(), image.size());
        QVERIFY(after[kSector] == 0xFF && after[2 * kSector - 1] == 0xFF);
        QVERIFY(after[0] == 0x00 && after[2 * kSector] == 0x00);
    }

private:
    std::unique_ptr<brindel_test::TempDir> dir_;
};

QTEST_MAIN(OperatorWindowTest)
#include "operator_window_test.moc"

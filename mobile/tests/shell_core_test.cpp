// Cable detection over fake sysfs trees, and the control bar's modes.

#include "mobile/shell/core/cable_detect.h"
#include "mobile/shell/core/control_modes.h"

#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace shell;
namespace fs = std::filesystem;

namespace {

struct FakeDevice {
    std::string name;  // e.g. "1-1"
    std::string vendor;  // idVendor
    std::string product;  // idProduct
    std::string tty;  // ttyUSBk below its interface, or empty
    bool ttyUnderTtyDir = false;
};

void Write(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text << "\n";
}

std::string MakeTree(const QTemporaryDir& dir, const std::vector<FakeDevice>& devices)
{
    const fs::path root = dir.path().toStdString();
    const fs::path usb = root / "bus/usb/devices";
    fs::create_directories(usb);
    for (const auto& d : devices) {
        const fs::path dev = root / "devices/pci0000:00/usb1" / d.name;
        Write(dev / "idVendor", d.vendor);
        Write(dev / "idProduct", d.product);
        const fs::path iface = dev / (d.name + ":1.0");
        fs::create_directories(iface);
        if (!d.tty.empty())
            fs::create_directories(d.ttyUnderTtyDir ? iface / "tty" / d.tty : iface / d.tty);
        fs::create_directory_symlink(dev, usb / d.name);
        fs::create_directory_symlink(iface, usb / (d.name + ":1.0"));
    }
    return root.string();
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<FakeDevice>)

class ShellCoreTest : public QObject {
    Q_OBJECT
private slots:
    void cableDetection_data();
    void cableDetection();
    void missingSysfs();
    void portNumbers_data();
    void portNumbers();
    void visibleButtons_data();
    void visibleButtons();
    void buttonLayout();
    void pathField();
};

void ShellCoreTest::cableDetection_data()
{
    QTest::addColumn<std::vector<FakeDevice>>("devices");
    QTest::addColumn<QString>("expected");
    const FakeDevice hub{"1-0", "1d6b", "0002", ""};
    const FakeDevice cable0{"1-1", "067b", "2303", "ttyUSB0"};
    const FakeDevice cable2{"1-2", "067b", "2303", "ttyUSB2", true};
    const FakeDevice otherSerial{"1-3", "0403", "6001", "ttyUSB1"};
    QTest::newRow("nothing") << std::vector<FakeDevice>{} << "ERROR_NON";
    QTest::newRow("other devices only") << std::vector<FakeDevice>{hub, otherSerial} << "ERROR_NON";
    QTest::newRow("one cable") << std::vector<FakeDevice>{hub, cable0, otherSerial} << "COM1";
    QTest::newRow("tty under tty/") << std::vector<FakeDevice>{cable2} << "COM3";
    QTest::newRow("two cables") << std::vector<FakeDevice>{cable0, cable2} << "ERROR_TOO_MANY";
    QTest::newRow("upper-case ids do not count")
        << std::vector<FakeDevice>{{"1-4", "067B", "2303", "ttyUSB4"}} << "ERROR_NON";
    QTest::newRow("cable without its port yet") << std::vector<FakeDevice>{{"1-5", "067b", "2303", ""}} << "";
    QTest::newRow("not a ttyUSB name") << std::vector<FakeDevice>{{"1-6", "067b", "2303", "ttyUSBx"}} << "";
}

void ShellCoreTest::cableDetection()
{
    QFETCH(std::vector<FakeDevice>, devices);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(QString::fromStdString(DetectCable(MakeTree(dir, devices))), expected);
}

void ShellCoreTest::missingSysfs()
{
    QCOMPARE(DetectCable("/nonexistent/sysfs/root"), std::string());
    QTemporaryDir dir;
    const std::string root = MakeTree(dir, {{"1-1", "067b", "2303", "ttyUSB5"}});
    qputenv("TELVANE_SYSFS_ROOT", QByteArray::fromStdString(root));
    QCOMPARE(DetectCable(), std::string("COM6"));
    qunsetenv("TELVANE_SYSFS_ROOT");
}

void ShellCoreTest::portNumbers_data()
{
    QTest::addColumn<QString>("detection");
    QTest::addColumn<int>("port");  // 0: none
    QTest::newRow("COM1") << "COM1" << 1;
    QTest::newRow("COM12") << "COM12" << 12;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("COM only") << "COM" << 0;
    QTest::newRow("error text") << "ERROR_NON" << 0;
    QTest::newRow("trailing junk") << "COM3x" << 0;
    QTest::newRow("zero") << "COM0" << 0;
}

void ShellCoreTest::portNumbers()
{
    QFETCH(QString, detection);
    QFETCH(int, port);
    QCOMPARE(PortNumber(detection.toStdString()).value_or(0), port);
}

void ShellCoreTest::visibleButtons_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<QList<int>>("buttons");
    QTest::newRow("5") << 5u << QList<int>{1042, 1044};
    QTest::newRow("515") << 515u << QList<int>{1042, 1043, 1051};
    QTest::newRow("0x100000D") << 0x100000Du << QList<int>{1042, 1044, 1045};
    QTest::newRow("0x10000005") << 0x10000005u << QList<int>{1042, 1044};
    QTest::newRow("0x10000203") << 0x10000203u << QList<int>{1042, 1043, 1051};
    QTest::newRow("0x1F000005") << 0x1F000005u << QList<int>{1042, 1044};
    QTest::newRow("2031: ten, skipping 1046")
        << 2031u << QList<int>{1042, 1043, 1044, 1045, 1047, 1048, 1049, 1050, 1051, 1052};
    QTest::newRow("2045") << 2045u << QList<int>{1042, 1044, 1045, 1046, 1047, 1048, 1049, 1050, 1051, 1052};
    QTest::newRow("0x200000D") << 0x200000Du << QList<int>{1042, 1044, 1045};
}

void ShellCoreTest::visibleButtons()
{
    QFETCH(uint, mode);
    QFETCH(QList<int>, buttons);
    const auto ids = VisibleControlButtons(mode);
    QCOMPARE(QList<int>(ids.begin(), ids.end()), buttons);
}

void ShellCoreTest::buttonLayout()
{
    const auto places = LayoutControlButtons(kModePhonebook, 777, 60);
    QCOMPARE(places.size(), size_t(10));
    // Right to left, 65 apart, the first against the right margin, centred.
    QCOMPARE(places.front().id, 1042);
    QCOMPARE(places.front().x, 777 - kControlBarRightMargin - kControlButtonWidth);
    for (size_t i = 1; i < places.size(); ++i)
        QCOMPARE(places[i - 1].x - places[i].x, 65);
    for (const auto& p : places)
        QCOMPARE(p.y, 8);
    QVERIFY(places.back().x >= 0);
}

void ShellCoreTest::pathField()
{
    struct Row {
        uint32_t mode;
        bool mp3;
        bool shown;
        PathSource source;
        int label;
        int tooltip;
    };
    const Row rows[] = {
        {kModePictureWap, false, true, PathSource::Empty, 57693, 1039},
        {kModePictureSlots, false, true, PathSource::Picture, 57693, 1039},
        {kModeSoundMp3List, false, true, PathSource::Empty, 57940, 1039},
        {kModeSoundWap, false, true, PathSource::Empty, 57694, 1040},
        {kModeSoundSlots, false, true, PathSource::Sound, 57694, 1040},
        {kModeSoundSlots, true, true, PathSource::Sound, 57940, 57976},
        {kModePictureCamera, false, true, PathSource::Empty, 57693, 1039},
        {kModePhonebook, false, false, PathSource::Empty, 0, 0},
        {kModeMessages, false, false, PathSource::Empty, 0, 0},
        {kModeVideo, false, false, PathSource::Empty, 0, 0},
    };
    for (const Row& r : rows) {
        const auto f = PathFieldFor(r.mode, r.mp3);
        QVERIFY(f);
        QCOMPARE(f->shown, r.shown);
        QVERIFY(f->source == r.source);
        QCOMPARE(f->labelId, r.label);
        QCOMPARE(f->browseTooltipId, r.tooltip);
    }
    QVERIFY(!PathFieldFor(0x7FF, false));
}

QTEST_GUILESS_MAIN(ShellCoreTest)
#include "shell_core_test.moc"

// End to end: the main frame with the real phone-link worker, connected to
// the emulated phone over a pseudo-terminal, as in demo mode. A scripted
// user answers the dialogs.

#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

using namespace shellui;

namespace {

// Answers modal dialogs as they come: the connection dialog with the next
// planned choice (none left: Cancel), message boxes with OK.
class User : public QObject {
public:
    explicit User(CMainFrame& frame) : frame_(frame)
    {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start();
    }
    QList<int> plannedChoices;
    QStringList seen;  // "dialog_256" or the message text
    QStringList statusAtDialog;  // status text whenever the dialog showed

private:
    void look()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == last_)
            return;
        last_ = w;
        if (auto* d = dynamic_cast<ConnectionDialog*>(w)) {
            seen << d->objectName();
            statusAtDialog << frame_.statusText();
            if (plannedChoices.isEmpty()) {
                d->reject();
            } else {
                d->setChoice(plannedChoices.takeFirst());
                d->accept();
            }
        } else if (auto* m = qobject_cast<QMessageBox*>(w)) {
            seen << m->text();
            m->accept();
        } else if (auto* t = dynamic_cast<TemplateDialog*>(w)) {
            seen << t->objectName();  // questions by template: OK
            t->accept();
        }
    }

    CMainFrame& frame_;
    QTimer timer_;
    QWidget* last_ = nullptr;
};

// Pids of the children of a process whose command line names simphone.
QList<qint64> EmulatorChildren(qint64 pid)
{
    QList<qint64> found;
    for (const QString& task :
         QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/%1/task/%2/children").arg(pid).arg(task));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& c : f.readAll().simplified().split(' ')) {
            QFile cmd("/proc/" + c + "/cmdline");
            if (!c.isEmpty() && cmd.open(QIODevice::ReadOnly) && cmd.readAll().contains("simphone"))
                found << c.toLongLong();
        }
    }
    return found;
}

// Gone, or a zombie waiting for whoever adopted it.
bool ProcessEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray s = stat.readAll();
    const int close = s.lastIndexOf(')');
    return close > 0 && s.mid(close + 2, 1) == "Z";
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class E2eTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void noPhoneOnTheCable();
    void phoneAnswersWhileMp3ModeChosen();
    void connectThenPhoneSwitchesOff();
    void disconnectAndReconnect();
    void demoModeStopsTheEmulator_data();
    void demoModeStopsTheEmulator();

private:
    std::unique_ptr<ResourceBundle> bundle_;
};

void E2eTest::initTestCase()
{
    qputenv("TELVANE_SIMPHONE", TELVANE_SIMPHONE_PROGRAM);
    BundleError e = BundleError::None;
    bundle_ = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "en", &e);
    QVERIFY(bundle_);
    SetResources(bundle_.get());
}

void E2eTest::cleanupTestCase()
{
    SetResources(nullptr);
}

void E2eTest::noPhoneOnTheCable()
{
    // One cable, but nothing answers on any port: the real worker's scan
    // reports no phone, the user is told, and the dialog comes back.
    QTemporaryDir dir;
    qputenv("TELVANE_HOME", (dir.path() + "/home").toLocal8Bit());
    qputenv("TELVANE_SERIAL_DIR", (dir.path() + "/serial").toLocal8Bit());
    QDir().mkpath(dir.path() + "/serial");
    QVERIFY(WriteFakeSysfs(dir.path() + "/sysfs", 1));
    qputenv("TELVANE_SYSFS_ROOT", (dir.path() + "/sysfs").toLocal8Bit());
    FrameOptions options;
    options.splash = false;
    CMainFrame frame(options);
    QVERIFY2(frame.workerRunning(), "this build has no phone-link worker");
    frame.show();
    User user(frame);
    user.plannedChoices = {shell::kModePhone};
    QVERIFY(!frame.controller().connectionDialogLoop(shell::kModeMp3));
    QCOMPARE(user.seen, (QStringList{"dialog_256", Str(57989), "dialog_256"}));
    QVERIFY(!frame.state().phoneAnswered);
    QCOMPARE(frame.state().openablePorts, uint8_t(0));
    QVERIFY(!frame.workerRunning());
}

void E2eTest::phoneAnswersWhileMp3ModeChosen()
{
    QTemporaryDir home;
    qputenv("TELVANE_HOME", home.path().toLocal8Bit());
    DemoPhone phone;
    QVERIFY2(phone.start(), qPrintable(phone.error()));
    FrameOptions options;
    options.splash = false;
    CMainFrame frame(options);
    QVERIFY(frame.workerRunning());
    frame.show();
    User user(frame);
    user.plannedChoices = {shell::kModeMp3};
    QVERIFY(!frame.controller().connectionDialogLoop(shell::kModeMp3));
    QCOMPARE(user.seen, (QStringList{"dialog_256", Str(57987), Str(57988), "dialog_256"}));
    QVERIFY(frame.state().phoneAnswered);
    QCOMPARE(frame.state().openablePorts, uint8_t(0x01));
    QVERIFY(!frame.state().connected());
}

void E2eTest::connectThenPhoneSwitchesOff()
{
    QTemporaryDir home;
    qputenv("TELVANE_HOME", home.path().toLocal8Bit());
    DemoPhone phone;
    QVERIFY2(phone.start(), qPrintable(phone.error()));
    const std::string dir = plat::ProgramDirectory();
    QCOMPARE(QString::fromStdString(dir), home.path() + "/");

    FrameOptions options;
    options.splash = false;
    CMainFrame frame(options);
    QVERIFY2(frame.workerRunning(), "this build has no phone-link worker");
    frame.show();
    User user(frame);
    user.plannedChoices = {shell::kModePhone};
    frame.command(shell::kCmdPictures);
    const bool connected = frame.controller().connectionDialogLoop(shell::kModeMp3);

    const QByteArray log = ReadAll(QString::fromStdString(dir) + "log.txt");
    QVERIFY2(log.contains("SEND: AT*CONNECT"), log.left(400).constData());
    if (!connected && !log.contains("*STARTUL"))
        QSKIP("the phone link does not download files yet (request 201)");
    QVERIFY2(connected, qPrintable(user.seen.join(" | ")));
    QVERIFY(frame.state().phoneMode);
    QCOMPARE(frame.statusText(), Str(57666));
    for (const char* f : {"jpeg.idx", "midi.idx", "cam.idx", "WapImg.idx", "MMSImg.idx", "WapAudi.idx", "MMSAudi.idx"})
        QVERIFY2(QFile::exists(QString::fromStdString(dir) + f), f);
    QVERIFY(ReadAll(QString::fromStdString(dir) + "log.txt").contains("RECV: OK"));

    // The phone switches itself off: the frame goes back to not connected
    // and the connection dialog comes back (cancelled here: the program ends).
    QLocalSocket control;
    control.connectToServer(phone.controlSocket());
    QVERIFY(control.waitForConnected(5000));
    control.write("switchoff\n");
    QVERIFY(control.waitForBytesWritten(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!frame.state().phoneMode, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(user.seen.count("dialog_256"), 2, 30000);
    QCOMPARE(user.statusAtDialog.last(), Str(57667));
    QTRY_VERIFY(!frame.isVisible());
    QVERIFY(!frame.workerRunning());
}

void E2eTest::disconnectAndReconnect()
{
    // The user ends the phone-mode connection (the MP3 list needs it) and
    // connects again in phone mode: the worker must have let the port go.
    QTemporaryDir home;
    qputenv("TELVANE_HOME", home.path().toLocal8Bit());
    DemoPhone phone;
    QVERIFY2(phone.start(), qPrintable(phone.error()));
    FrameOptions options;
    options.splash = false;
    CMainFrame frame(options);
    QVERIFY(frame.workerRunning());
    frame.show();
    User user(frame);
    user.plannedChoices = {shell::kModePhone, shell::kModePhone};
    frame.command(shell::kCmdPictures);
    QVERIFY2(frame.controller().connectionDialogLoop(shell::kModeMp3), qPrintable(user.seen.join(" | ")));

    frame.command(shell::kCmdMp3Ringtones);
    QCOMPARE(user.seen, (QStringList{"dialog_256", "dialog_257", "dialog_256"}));
    QVERIFY(frame.state().phoneMode);
    QVERIFY(!frame.state().disconnectRequested);
    QCOMPARE(frame.statusText(), Str(57666));
    QCOMPARE(frame.checkedPageCommand(), shell::kCmdPictures);
    const QByteArray log = ReadAll(home.path() + "/log.txt");
    QCOMPARE(log.count("SEND: AT*MASKCALL=1"), 2);

    // A later switch-off brings the dialog back: the new connection is not
    // one the user ended.
    QLocalSocket control;
    control.connectToServer(phone.controlSocket());
    QVERIFY(control.waitForConnected(5000));
    control.write("switchoff\n");
    QVERIFY(control.waitForBytesWritten(5000));
    QTRY_COMPARE_WITH_TIMEOUT(user.seen.count("dialog_256"), 3, 30000);
    QTRY_VERIFY(!frame.isVisible());
    QVERIFY(!frame.workerRunning());
}

void E2eTest::demoModeStopsTheEmulator_data()
{
    QTest::addColumn<bool>("hard");
    QTest::newRow("terminated") << false;
    QTest::newRow("killed") << true;
}

void E2eTest::demoModeStopsTheEmulator()
{
    QFETCH(bool, hard);
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TELVANE_RESOURCE_BUNDLE", TELVANE_TEST_BUNDLE);
    env.insert("TELVANE_SIMPHONE", TELVANE_SIMPHONE_PROGRAM);
    env.insert("TELVANE_HOME", dir.path());
    // The program's temporary files and its instance socket go into the
    // test's directory, so a killed program leaves nothing behind.
    env.insert("TMPDIR", dir.path());
    env.insert("TELVANE_INSTANCE_NAME", QStringLiteral("telvane-demo-test-%1").arg(QCoreApplication::applicationPid()));
    QProcess mobile;
    mobile.setProcessEnvironment(env);
    mobile.setProcessChannelMode(QProcess::ForwardedChannels);
    mobile.start(TELVANE_MOBILE_PROGRAM, {"--demo", "--no-splash"});
    QVERIFY(mobile.waitForStarted());
    QList<qint64> emulator;
    QTRY_VERIFY_WITH_TIMEOUT(!(emulator = EmulatorChildren(mobile.processId())).isEmpty(), 30000);
    if (hard) {
        mobile.kill();
    } else {
        mobile.terminate();
        QVERIFY(mobile.waitForFinished(30000));
        QCOMPARE(mobile.exitStatus(), QProcess::NormalExit);
        QCOMPARE(mobile.exitCode(), 0);
    }
    mobile.waitForFinished(30000);
    for (qint64 pid : emulator)
        QTRY_VERIFY_WITH_TIMEOUT(ProcessEnded(pid), 30000);
    // Nothing of the run is left outside the test's directory.
    const QString socket =
        QDir::tempPath() + QStringLiteral("/telvane-demo-test-%1").arg(QCoreApplication::applicationPid());
    QVERIFY(!QFile::exists(socket));
}

QTEST_MAIN(E2eTest)
#include "e2e_test.moc"

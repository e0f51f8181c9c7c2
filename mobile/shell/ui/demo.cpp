#include "mobile/shell/ui/demo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace shellui {

namespace {
constexpr int kInitStateMs = 60000;
constexpr int kStartMs = 15000;
constexpr int kDemoPort = 1;

bool WriteLine(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text + "\n") == text.size() + 1;
}
}  // namespace

bool WriteFakeSysfs(const QString& root, int port)
{
    const QString dev = root + "/devices/usb1/1-1";
    const QString iface = dev + "/1-1:1.0";
    const QString devices = root + "/bus/usb/devices";
    if (!QDir().mkpath(iface + QStringLiteral("/ttyUSB%1").arg(port - 1)) || !QDir().mkpath(devices))
        return false;
    if (!WriteLine(dev + "/idVendor", "067b") || !WriteLine(dev + "/idProduct", "2303"))
        return false;
    QFile::remove(devices + "/1-1");
    return QFile::link(dev, devices + "/1-1");
}

DemoPhone::DemoPhone() = default;

DemoPhone::~DemoPhone()
{
    if (phone_ && phone_->state() != QProcess::NotRunning) {
        phone_->terminate();
        if (!phone_->waitForFinished(3000)) {
            phone_->kill();
            phone_->waitForFinished(1000);
        }
    }
}

QString DemoPhone::SimphoneProgram()
{
    const QString env = qEnvironmentVariable("TELVANE_SIMPHONE");
    if (!env.isEmpty())
        return env;
    const QString beside = QCoreApplication::applicationDirPath() + "/simphone";
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable("simphone");
}

QString DemoPhone::controlSocket() const
{
    return dir_.path() + "/control.sock";
}

QString DemoPhone::control(const QString& command) const
{
    QLocalSocket socket;
    socket.connectToServer(controlSocket());
    if (!socket.waitForConnected(kStartMs))
        return {};
    socket.write((command + "\n").toUtf8());
    if (!socket.waitForBytesWritten(kStartMs))
        return {};
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(kStartMs))
        answer += socket.readAll();
    return QString::fromUtf8(answer).trimmed();
}

void DemoPhone::bootIntoLoader() const
{
    (void)control("switchoff");
    (void)control("poweron boot");
}

bool DemoPhone::start()
{
    const QString program = SimphoneProgram();
    if (program.isEmpty()) {
        error_ = "the phone emulator 'simphone' was not found (build it, or set TELVANE_SIMPHONE)";
        return false;
    }
    if (!dir_.isValid()) {
        error_ = "no temporary directory could be created";
        return false;
    }
    const QString state = dir_.path() + "/phone";
    const QString serial = dir_.path() + "/serial";
    QDir().mkpath(serial);
    QProcess init;
    init.start(program, {"init-state", state});
    if (!init.waitForFinished(kInitStateMs) || init.exitStatus() != QProcess::NormalExit || init.exitCode() != 0) {
        error_ = "the emulator could not create a sample phone: " + QString::fromLocal8Bit(init.readAllStandardError());
        return false;
    }
    phone_ = std::make_unique<QProcess>();
    phone_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The emulator must not outlive the program, however the program ends.
    const pid_t parent = ::getpid();
    phone_->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
    });
    phone_->start(
        program,
        {"--state", state, "--serial-dir", serial, "--port", QString::number(kDemoPort), "--control", controlSocket()});
    if (!phone_->waitForStarted(kStartMs)) {
        error_ = "the emulator did not start";
        return false;
    }
    // It says "serving ..." once the port exists.
    QByteArray out;
    while (!out.contains("serving")) {
        if (!phone_->waitForReadyRead(kStartMs)) {
            error_ = "the emulator did not open its port";
            return false;
        }
        out += phone_->readAllStandardOutput();
    }
    const QString sysfs = dir_.path() + "/sysfs";
    if (!WriteFakeSysfs(sysfs, kDemoPort)) {
        error_ = "the demo cable could not be set up";
        return false;
    }
    qputenv("TELVANE_SERIAL_DIR", serial.toLocal8Bit());
    qputenv("TELVANE_SYSFS_ROOT", sysfs.toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("TELVANE_HOME")) {
        const QString home = dir_.path() + "/home";
        QDir().mkpath(home);
        qputenv("TELVANE_HOME", home.toLocal8Bit());
    }
    return true;
}

}  // namespace shellui

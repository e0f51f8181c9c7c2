#pragma once
// Demo mode: a fresh sample phone from the emulator in a temporary
// directory, a fake sysfs with one cable for it, and the serial ports
// pointed at it; the emulator stops when the program ends.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace shellui {

class DemoPhone {
public:
    DemoPhone();
    ~DemoPhone();
    DemoPhone(const DemoPhone&) = delete;
    DemoPhone& operator=(const DemoPhone&) = delete;

    // Starts the emulator and sets TELVANE_SERIAL_DIR, TELVANE_SYSFS_ROOT
    // and (unless set) TELVANE_HOME. False with error() on failure.
    [[nodiscard]] bool start();
    [[nodiscard]] QString error() const { return error_; }
    [[nodiscard]] QString controlSocket() const;
    // One command to the emulator's control socket; its answer line
    // ("OK", "ERROR ..."), empty when the emulator cannot be reached.
    QString control(const QString& command) const;
    // What the user does for MP3 mode: the phone switched off and powered
    // into its baseband boot ROM, still on the cable.
    void bootIntoLoader() const;
    // The emulated phone's state directory (its files under app/...).
    [[nodiscard]] QString stateDirectory() const { return dir_.path() + "/phone"; }
    // The emulator program: $TELVANE_SIMPHONE, next to this program, or PATH.
    [[nodiscard]] static QString SimphoneProgram();

private:
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> phone_;
    QString error_;
};

// Writes a sysfs tree with one 067b:2303 cable whose port is ttyUSB(port-1).
bool WriteFakeSysfs(const QString& root, int port);

}  // namespace shellui

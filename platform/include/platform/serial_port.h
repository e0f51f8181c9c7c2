#pragma once
// Serial ports: the USB-serial cable (ttyUSBk) or, in tests and with the
// emulator, a pseudo-terminal named by $TELVANE_SERIAL_DIR/COMn.
//
// A SerialPort is owned by one thread at a time (it may be moved to another
// thread before use); it is not safe to call from two threads at once.
//
// Every call returns its outcome as a value. On a pseudo-terminal the modem
// lines (ENOTTY) and the parity bits (EINVAL) cannot be set; exactly those
// two refusals are treated as done there, on a real port they stay errors.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace plat {

enum class SerialError {
    None,
    NotPresent,  // no such device (ENOENT, ENODEV, ENXIO)
    PermissionDenied,  // EACCES / EPERM
    Busy,  // EBUSY: another program holds the port exclusively
    InvalidArgument,  // a setting the device refuses
    TimedOut,  // a write could not finish within its time limit
    HungUp,  // the other end went away (EIO, POLLHUP)
    NotOpen,
    Other,
};

struct SerialStatus {
    SerialError error = SerialError::None;
    int sysErrno = 0;
    std::string message;  // for the user; empty when ok

    [[nodiscard]] bool ok() const { return error == SerialError::None; }
};

// Result of a read or write: the bytes moved, and the status. A read that
// timed out is ok with 0 bytes.
struct SerialIo {
    std::size_t bytes = 0;
    SerialStatus status;

    [[nodiscard]] bool ok() const { return status.ok(); }
};

enum class Parity { None, Odd, Even, Mark, Space };
enum class PurgeWhich { Input, Output, Both };

struct SerialSettings {
    uint32_t baud = 115200;  // any rate; non-standard ones go through BOTHER
    int dataBits = 8;  // 5..8
    Parity parity = Parity::None;
    int stopBits = 1;  // 1 or 2
};

// "COMn" as a device path: $TELVANE_SERIAL_DIR/COMn when the variable is set,
// else /dev/ttyUSB(n-1). Empty for n < 1.
[[nodiscard]] std::string ResolvePortName(int n);

// Turns an errno from opening `path` into a status with a message that names
// the device (and, for EACCES, says what access the user needs).
[[nodiscard]] SerialStatus ClassifyOpenError(int err, const std::string& path);

// The line rate (input speed) of a terminal fd, read with TCGETS2; works on
// a pty master too (it reports the slave's settings).
[[nodiscard]] std::optional<uint32_t> ReadLineRate(int fd);

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(SerialPort&& other) noexcept;
    SerialPort& operator=(SerialPort&& other) noexcept;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens COMn (see ResolvePortName) or a device path, read-write, without
    // becoming its controlling terminal, exclusively (TIOCEXCL), in raw mode
    // at 115200 8N1 with the modem-control lines ignored (CLOCAL).
    [[nodiscard]] SerialStatus Open(int comNumber);
    [[nodiscard]] SerialStatus OpenPath(const std::string& path);
    void Close();

    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] bool IsPseudoTerminal() const { return pty_; }

    [[nodiscard]] SerialStatus Configure(const SerialSettings& settings);
    [[nodiscard]] const SerialSettings& settings() const { return settings_; }

    // Linux serial drivers have fixed internal buffers (4 KiB tty flip
    // buffers, the driver's own FIFO); there is nothing to size. The sizes
    // are recorded so callers that ask for them get back what they set.
    [[nodiscard]] SerialStatus SetQueueSizes(std::size_t inBytes, std::size_t outBytes);
    [[nodiscard]] std::size_t inputQueueSize() const { return inQueue_; }
    [[nodiscard]] std::size_t outputQueueSize() const { return outQueue_; }

    // Discards unread input and/or unsent output (tcflush).
    [[nodiscard]] SerialStatus Purge(PurgeWhich which);
    // Linux reports line errors per call and keeps no latched error state
    // that would block the port; this forgets the last error recorded by
    // this object and discards no data.
    [[nodiscard]] SerialStatus ClearErrors();
    [[nodiscard]] const SerialStatus& lastError() const { return lastError_; }

    // Waits up to timeoutMs of program time for input, then reads what is
    // there (at most buffer.size() bytes). 0 bytes and ok on time-out.
    [[nodiscard]] SerialIo Read(std::span<uint8_t> buffer, int timeoutMs = 1);
    // Writes all of data, continuing after partial writes, within totalMs of
    // program time; TimedOut (with the bytes written so far) otherwise.
    [[nodiscard]] SerialIo Write(std::span<const uint8_t> data, int totalMs = 5000);

    [[nodiscard]] SerialStatus SetDtr(bool on);
    [[nodiscard]] SerialStatus SetRts(bool on);

    // Bytes received and not yet read / written and not yet sent.
    [[nodiscard]] std::optional<std::size_t> BytesInInput() const;
    [[nodiscard]] std::optional<std::size_t> BytesInOutput() const;

private:
    SerialStatus Fail(SerialError error, int err, std::string message);
    SerialStatus SetModemLine(int bit, bool on, const char* name);

    int fd_ = -1;
    std::string path_;
    bool pty_ = false;
    SerialSettings settings_;
    std::size_t inQueue_ = 4096;
    std::size_t outQueue_ = 4096;
    SerialStatus lastError_;
};

}  // namespace plat

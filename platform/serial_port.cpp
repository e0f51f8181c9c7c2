#include "platform/serial_port.h"

#include "platform/clock.h"

// termios2 (arbitrary rates through BOTHER) lives in the kernel headers;
// glibc's <termios.h> would clash with them, so this file uses the ioctls
// directly and never includes it.
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace plat {
namespace {

constexpr int kPtySlaveMajorFirst = 136;  // Unix98 pty slaves: majors 136-143
constexpr int kPtySlaveMajorLast = 143;
constexpr int kLegacyPtySlaveMajor = 3;

SerialStatus Ok()
{
    return {};
}

SerialStatus Status(SerialError error, int err, std::string message)
{
    return SerialStatus{error, err, std::move(message)};
}

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

bool IsPtyDevice(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned maj = major(st.st_rdev);
    return (maj >= kPtySlaveMajorFirst && maj <= kPtySlaveMajorLast) || maj == kLegacyPtySlaveMajor;
}

tcflag_t DataBitsFlag(int bits)
{
    switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

}  // namespace

std::string ResolvePortName(int n)
{
    if (n < 1)
        return {};
    if (const char* dir = std::getenv("TELVANE_SERIAL_DIR"); dir && *dir) {
        std::string path(dir);
        if (path.back() != '/')
            path += '/';
        return path + "COM" + std::to_string(n);
    }
    return "/dev/ttyUSB" + std::to_string(n - 1);
}

SerialStatus ClassifyOpenError(int err, const std::string& path)
{
    switch (err) {
    case 0: return Ok();
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Status(SerialError::NotPresent, err, path + ": no such serial device (is the cable plugged in?)");
    case EACCES:
    case EPERM:
        return Status(SerialError::PermissionDenied, err,
                      path +
                          ": permission denied; the user needs read and write access to the device"
                          " (usually membership of the dialout group)");
    case EBUSY: return Status(SerialError::Busy, err, path + ": the port is in use by another program");
    default: return Status(SerialError::Other, err, path + ": " + ErrnoText(err));
    }
}

std::optional<uint32_t> ReadLineRate(int fd)
{
    struct termios2 tio { };
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return std::nullopt;
    return tio.c_ispeed;
}

SerialPort::~SerialPort()
{
    Close();
}

SerialPort::SerialPort(SerialPort&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), pty_(std::exchange(other.pty_, false)),
      settings_(other.settings_), inQueue_(other.inQueue_), outQueue_(other.outQueue_),
      lastError_(std::move(other.lastError_))
{
}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        pty_ = std::exchange(other.pty_, false);
        settings_ = other.settings_;
        inQueue_ = other.inQueue_;
        outQueue_ = other.outQueue_;
        lastError_ = std::move(other.lastError_);
    }
    return *this;
}

void SerialPort::Close()
{
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
    pty_ = false;
}

SerialStatus SerialPort::Fail(SerialError error, int err, std::string message)
{
    lastError_ = Status(error, err, path_ + ": " + std::move(message));
    return lastError_;
}

SerialStatus SerialPort::Open(int comNumber)
{
    const std::string path = ResolvePortName(comNumber);
    if (path.empty())
        return Status(SerialError::NotPresent, ENOENT, "COM" + std::to_string(comNumber) + ": no such port");
    return OpenPath(path);
}

SerialStatus SerialPort::OpenPath(const std::string& path)
{
    Close();
    lastError_ = {};
    // Non-blocking so that opening never waits for a carrier; reads and
    // writes wait in poll() with their own time-outs.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return lastError_ = ClassifyOpenError(errno, path);
    if (!::isatty(fd)) {
        ::close(fd);
        return lastError_ = Status(SerialError::NotPresent, ENOTTY, path + ": not a serial device");
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int err = errno;
        ::close(fd);
        return lastError_ = ClassifyOpenError(err, path);
    }
    fd_ = fd;
    path_ = path;
    pty_ = IsPtyDevice(fd);
    SerialStatus st = Configure(settings_);
    if (!st.ok()) {
        Close();
        return st;
    }
    return Ok();
}

SerialStatus SerialPort::Configure(const SerialSettings& s)
{
    if (fd_ < 0)
        return Status(SerialError::NotOpen, EBADF, "port not open");
    if (s.baud == 0 || s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2))
        return Fail(SerialError::InvalidArgument, EINVAL, "unsupported line settings");

    struct termios2 tio { };
    if (::ioctl(fd_, TCGETS2, &tio) != 0)
        return Fail(SerialError::Other, errno, "cannot read line settings: " + ErrnoText(errno));
    // Raw mode: no line editing, no echo, no signals, no translation.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= CREAD | CLOCAL | DataBitsFlag(s.dataBits) | BOTHER | (BOTHER << IBSHIFT);
    if (s.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_ispeed = s.baud;
    tio.c_ospeed = s.baud;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::ioctl(fd_, TCSETS2, &tio) != 0)
        return Fail(errno == EINVAL ? SerialError::InvalidArgument : SerialError::Other, errno,
                    "cannot set " + std::to_string(s.baud) + " baud: " + ErrnoText(errno));

    // Parity separately, so that a pseudo-terminal that refuses it can still
    // carry the data at the rate just set.
    if (s.parity != Parity::None) {
        switch (s.parity) {
        case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
        case Parity::Even: tio.c_cflag |= PARENB; break;
        case Parity::Mark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
        case Parity::None: break;
        }
        tio.c_iflag |= INPCK;
        if (::ioctl(fd_, TCSETS2, &tio) != 0) {
            const int err = errno;
            if (!(pty_ && err == EINVAL))
                return Fail(SerialError::InvalidArgument, err, "cannot set parity: " + ErrnoText(err));
        }
    }
    settings_ = s;
    return Ok();
}

SerialStatus SerialPort::SetQueueSizes(std::size_t inBytes, std::size_t outBytes)
{
    if (fd_ < 0)
        return Status(SerialError::NotOpen, EBADF, "port not open");
    inQueue_ = inBytes;
    outQueue_ = outBytes;
    return Ok();
}

SerialStatus SerialPort::Purge(PurgeWhich which)
{
    if (fd_ < 0)
        return Status(SerialError::NotOpen, EBADF, "port not open");
    const int queue = which == PurgeWhich::Input ? TCIFLUSH : which == PurgeWhich::Output ? TCOFLUSH : TCIOFLUSH;
    if (::ioctl(fd_, TCFLSH, queue) != 0)
        return Fail(SerialError::Other, errno, "cannot purge: " + ErrnoText(errno));
    return Ok();
}

SerialStatus SerialPort::ClearErrors()
{
    if (fd_ < 0)
        return Status(SerialError::NotOpen, EBADF, "port not open");
    lastError_ = {};
    return Ok();
}

SerialIo SerialPort::Read(std::span<uint8_t> buffer, int timeoutMs)
{
    SerialIo io;
    if (fd_ < 0) {
        io.status = Status(SerialError::NotOpen, EBADF, "port not open");
        return io;
    }
    if (buffer.empty())
        return io;
    pollfd pfd{fd_, POLLIN, 0};
    const int waitMs = timeoutMs < 0 ? -1 : RealTimeoutMs(timeoutMs);
    int rc;
    do {
        rc = ::poll(&pfd, 1, waitMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        io.status = Fail(SerialError::Other, errno, "poll: " + ErrnoText(errno));
        return io;
    }
    if (rc == 0)
        return io;
    if (pfd.revents & (POLLIN | POLLHUP | POLLERR)) {
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n > 0) {
            io.bytes = static_cast<std::size_t>(n);
        } else if (n == 0 || errno == EIO) {
            io.status = Fail(SerialError::HungUp, n == 0 ? 0 : errno, "the device hung up");
        } else if (errno != EAGAIN && errno != EINTR) {
            io.status = Fail(SerialError::Other, errno, "read: " + ErrnoText(errno));
        }
    } else if (pfd.revents & POLLNVAL) {
        io.status = Fail(SerialError::Other, EBADF, "invalid descriptor");
    }
    return io;
}

SerialIo SerialPort::Write(std::span<const uint8_t> data, int totalMs)
{
    SerialIo io;
    if (fd_ < 0) {
        io.status = Status(SerialError::NotOpen, EBADF, "port not open");
        return io;
    }
    const uint32_t start = GetTickCount();
    while (io.bytes < data.size()) {
        const ssize_t n = ::write(fd_, data.data() + io.bytes, data.size() - io.bytes);
        if (n > 0) {
            io.bytes += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            io.status =
                Fail(errno == EIO ? SerialError::HungUp : SerialError::Other, errno, "write: " + ErrnoText(errno));
            return io;
        }
        const int64_t left = static_cast<int64_t>(totalMs) - static_cast<int64_t>(GetTickCount() - start);
        if (left <= 0) {
            io.status = Fail(SerialError::TimedOut, ETIMEDOUT, "write did not finish in time");
            return io;
        }
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, RealTimeoutMs(left)) < 0 && errno != EINTR) {
            io.status = Fail(SerialError::Other, errno, "poll: " + ErrnoText(errno));
            return io;
        }
        if (pfd.revents & (POLLERR | POLLNVAL)) {
            io.status = Fail(SerialError::HungUp, EIO, "the device hung up");
            return io;
        }
    }
    return io;
}

SerialStatus SerialPort::SetModemLine(int bit, bool on, const char* name)
{
    if (fd_ < 0)
        return Status(SerialError::NotOpen, EBADF, "port not open");
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
        const int err = errno;
        if (pty_ && err == ENOTTY)
            return Ok();  // a pseudo-terminal has no modem lines
        return Fail(SerialError::Other, err, std::string("cannot set ") + name + ": " + ErrnoText(err));
    }
    return Ok();
}

SerialStatus SerialPort::SetDtr(bool on)
{
    return SetModemLine(TIOCM_DTR, on, "DTR");
}
SerialStatus SerialPort::SetRts(bool on)
{
    return SetModemLine(TIOCM_RTS, on, "RTS");
}

std::optional<std::size_t> SerialPort::BytesInInput() const
{
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &n) != 0 || n < 0)
        return std::nullopt;
    return static_cast<std::size_t>(n);
}

std::optional<std::size_t> SerialPort::BytesInOutput() const
{
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &n) != 0 || n < 0)
        return std::nullopt;
    return static_cast<std::size_t>(n);
}

}  // namespace plat

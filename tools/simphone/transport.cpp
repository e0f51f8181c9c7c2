#include "transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

namespace fs = std::filesystem;

namespace simphone {
namespace {

int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) { }
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd_(o.release()) { }
    Fd& operator=(Fd&& o) noexcept
    {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

std::string Escape(std::span<const uint8_t> b)
{
    std::string s;
    for (uint8_t c : b) {
        if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n";
        else if (c == '\\')
            s += "\\\\";
        else if (c >= 0x20 && c < 0x7F)
            s.push_back(static_cast<char>(c));
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s += buf;
        }
    }
    return s;
}

struct ControlClient {
    Fd fd;
    std::string in;
};

}  // namespace

struct Transport::Impl {
    TransportOptions opt;
    std::unique_ptr<Device> device;
    Fd master, slave, listenFd, stopFd;
    std::vector<ControlClient> clients;
    FILE* transcript = nullptr;

    std::deque<uint8_t> outQueue;
    // Paced output: the line time at which the next queued byte starts, and
    // when a client that stopped reading may be tried again.
    double outCursorUs = 0;
    int64_t outBlockedUntilUs = 0;
    static constexpr size_t kOutBatch = 16;  // bytes handed over per write, at most about 1.4 ms at 115200
    struct Chunk {
        std::vector<uint8_t> bytes;
        int64_t dueUs;
    };
    std::deque<Chunk> inQueue;
    int64_t inLineFreeUs = 0;

    int64_t silentUntilUs = 0;
    int64_t dropAfter = -1;  // bytes still allowed out before the line dies; -1: no fault
    uint64_t bytesFromClient = 0;  // every byte that crossed the line, for the "stats" command
    uint64_t bytesToClient = 0;
    int64_t dyingSinceUs = -1;  // the line dies once the client has read what is on the wire
    bool sawQueued = false;
    uint32_t garbageSeed = 0x2545F491;
    int64_t lastTickUs = 0;

    ~Impl()
    {
        closeTerminal();
        if (listenFd) {
            std::error_code ec;
            fs::remove(opt.controlSocket, ec);
        }
        if (transcript)
            std::fclose(transcript);
    }

    fs::path link() const { return opt.serialDir / ("COM" + std::to_string(opt.port)); }

    void log(const char* dir, std::string_view text)
    {
        if (!transcript)
            return;
        const auto now = std::chrono::system_clock::now();
        const std::time_t t = std::chrono::system_clock::to_time_t(now);
        const int ms = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
        std::tm tm{};
        gmtime_r(&t, &tm);
        std::fprintf(transcript, "%02d:%02d:%02d.%03d %s %.*s\n", tm.tm_hour, tm.tm_min, tm.tm_sec, ms, dir,
                     static_cast<int>(text.size()), text.data());
        std::fflush(transcript);
    }

    bool openTerminal(std::string& error)
    {
        Fd m(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
        if (!m || grantpt(m.get()) != 0 || unlockpt(m.get()) != 0) {
            error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        char name[128];
        if (ptsname_r(m.get(), name, sizeof name) != 0) {
            error = "ptsname failed";
            return false;
        }
        // Holding the slave open keeps the master readable while the client
        // closes and reopens the port; raw mode so nothing is echoed before the
        // client sets its own modes.
        Fd s(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK));
        if (!s) {
            error = std::string("cannot open ") + name;
            return false;
        }
        termios t{};
        if (tcgetattr(s.get(), &t) == 0) {
            cfmakeraw(&t);
            cfsetispeed(&t, B115200);
            cfsetospeed(&t, B115200);
            tcsetattr(s.get(), TCSANOW, &t);
        }
        // The line starts at the phone's rate; the client may change it later.
        if (opt.lineRate > 0)
            SetLineSpeed(s.get(), opt.lineRate);
        std::error_code ec;
        fs::create_directories(opt.serialDir, ec);
        fs::remove(link(), ec);
        fs::create_symlink(name, link(), ec);
        if (ec) {
            error = "cannot link " + link().string() + ": " + ec.message();
            return false;
        }
        master = std::move(m);
        slave = std::move(s);
        outQueue.clear();
        inQueue.clear();
        log("LINK", std::string("plugged ") + name);
        return true;
    }

    void closeTerminal()
    {
        dyingSinceUs = -1;
        if (!master)
            return;
        std::error_code ec;
        fs::remove(link(), ec);  // first, so a client that sees the line die finds no link
        master.reset();
        slave.reset();
        outQueue.clear();
        inQueue.clear();
        if (device)
            device->lineDropped();
        log("LINK", "unplugged");
    }

    // Bytes per second on the line now, 0 when not paced: the speed in force
    // on the terminal (the phone's rate until the client sets its own).
    double byteRate() const
    {
        if (opt.lineRate <= 0)
            return 0;
        int baud = master ? ReadLineSpeed(master.get()) : 0;
        if (baud <= 0)
            baud = opt.lineRate;
        return baud / 10.0;
    }

    void powerOn(bool boot)
    {
        auto d = opt.makeDevice ? opt.makeDevice(boot) : nullptr;
        if (d)
            device = std::move(d);
    }

    void fromDevice(std::vector<uint8_t>& out)
    {
        if (out.empty())
            return;
        if (NowUs() < silentUntilUs || !master) {
            log("MUTE", Escape(out));
        } else {
            enqueue(out);
        }
        out.clear();
    }

    void feedDevice(std::span<const uint8_t> bytes)
    {
        if (!device)
            return;
        if (NowUs() < silentUntilUs) {
            log("DEAF", Escape(bytes));
            return;
        }
        if (device->poweredOff())
            return;
        log("RECV", Escape(bytes));
        std::vector<uint8_t> out;
        device->receive(bytes, out);
        device->tick(static_cast<uint32_t>(NowUs() / 1000), out);
        fromDevice(out);
    }

    void readMaster()
    {
        uint8_t buf[4096];
        for (;;) {
            const ssize_t n = ::read(master.get(), buf, sizeof buf);
            if (n <= 0)
                return;
            bytesFromClient += static_cast<uint64_t>(n);
            const double rate = byteRate();
            if (rate <= 0) {
                feedDevice({buf, static_cast<size_t>(n)});
                continue;
            }
            // The bytes reach the phone as the line carries them: in small chunks at the line rate.
            const int64_t now = NowUs();
            for (ssize_t off = 0; off < n; off += 16) {
                const size_t len = std::min<size_t>(16, static_cast<size_t>(n - off));
                inLineFreeUs = std::max(inLineFreeUs, now) + static_cast<int64_t>(len * 1e6 / rate);
                inQueue.push_back({std::vector<uint8_t>(buf + off, buf + off + len), inLineFreeUs});
            }
        }
    }

    void deliverDueInput()
    {
        const int64_t now = NowUs();
        while (!inQueue.empty() && inQueue.front().dueUs <= now) {
            Chunk c = std::move(inQueue.front());
            inQueue.pop_front();
            feedDevice(c.bytes);
        }
    }

    void enqueue(std::span<const uint8_t> bytes)
    {
        // An idle line starts sending now; a busy one carries on where it is.
        if (outQueue.empty())
            outCursorUs = std::max(outCursorUs, static_cast<double>(NowUs()));
        outQueue.insert(outQueue.end(), bytes.begin(), bytes.end());
    }

    // When the paced line next has bytes to hand over.
    int64_t nextPacedWriteUs(double rate) const
    {
        const size_t want = std::min(outQueue.size(), kOutBatch);
        return std::max(outBlockedUntilUs, static_cast<int64_t>(outCursorUs + want * 1e6 / rate));
    }

    void writeMaster()
    {
        if (!master || outQueue.empty() || dyingSinceUs >= 0)
            return;
        const double rate = byteRate();
        const int64_t now = NowUs();
        size_t allowed = outQueue.size();
        if (rate > 0) {
            // A byte reaches the client when the line has carried it, not before.
            if (now < outBlockedUntilUs)
                return;
            const double carried = (now - outCursorUs) * rate / 1e6;
            if (carried < static_cast<double>(std::min(outQueue.size(), kOutBatch)))
                return;
            allowed = static_cast<size_t>(carried);
        }
        allowed = std::min(allowed, outQueue.size());
        if (dropAfter >= 0)
            allowed = std::min<size_t>(allowed, static_cast<size_t>(dropAfter));
        std::vector<uint8_t> chunk(outQueue.begin(), outQueue.begin() + static_cast<std::ptrdiff_t>(allowed));
        ssize_t n = chunk.empty() ? 0 : ::write(master.get(), chunk.data(), chunk.size());
        if (n < 0) {
            if (errno != EAGAIN) {
                n = static_cast<ssize_t>(chunk.size());  // the line is gone: the bytes are lost on the wire
            } else {
                outBlockedUntilUs = now + 3000;  // the client is not reading: try again shortly
                return;
            }
        }
        log("SEND", Escape({chunk.data(), static_cast<size_t>(n)}));
        bytesToClient += static_cast<uint64_t>(n);
        outQueue.erase(outQueue.begin(), outQueue.begin() + n);
        if (rate > 0)
            outCursorUs += n * 1e6 / rate;
        if (dropAfter >= 0) {
            dropAfter -= n;
            if (dropAfter == 0) {
                dropAfter = -1;
                dyingSinceUs = now;
            }
        }
    }

    // A dying line closes when the bytes already sent have been read (closing
    // the master would flush them from the client's queue), or after a second.
    void checkDying()
    {
        if (dyingSinceUs < 0 || !master)
            return;
        // The kernel moves written bytes to the client's queue a little later:
        // wait to see them queued, then read, before the line goes.
        int queued = 0;
        if (ioctl(slave.get(), FIONREAD, &queued) != 0)
            queued = 0;
        if (queued > 0)
            sawQueued = true;
        if ((queued > 0 || !sawQueued) && NowUs() - dyingSinceUs < 1000000)
            return;
        sawQueued = false;
        dyingSinceUs = -1;
        log("FAULT", "line dropped");
        closeTerminal();
    }

    std::string control(std::string_view line)
    {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        std::string answer = controlInner(line);
        log("CTRL", std::string(line) + " -> " + answer);
        return answer;
    }

    std::string controlInner(std::string_view line)
    {
        auto number = [](std::string_view s, int64_t& v) {
            char* end = nullptr;
            const std::string str(s);
            v = std::strtoll(str.c_str(), &end, 10);
            return !str.empty() && end && *end == 0 && v >= 0;
        };
        if (line == "poweron" || line == "poweron boot") {
            const bool boot = line == "poweron boot";
            auto d = opt.makeDevice ? opt.makeDevice(boot) : nullptr;
            if (!d)
                return boot ? "ERROR boot mode not available" : "ERROR cannot power on";
            device = std::move(d);
            return "OK";
        }
        if (line == "stats")
            return "OK " + std::to_string(bytesFromClient) + " " + std::to_string(bytesToClient);
        if (line == "unplug") {
            if (!master)
                return "ERROR not plugged";
            closeTerminal();
            return "OK";
        }
        if (line == "plug") {
            if (master)
                return "ERROR already plugged";
            std::string err;
            return openTerminal(err) ? "OK" : "ERROR " + err;
        }
        int64_t v = 0;
        if (line.starts_with("fault silence ")) {
            if (!number(line.substr(14), v) || v > 3600)
                return "ERROR bad seconds";
            silentUntilUs = NowUs() + v * 1000000;
            return "OK";
        }
        if (line.starts_with("fault garbage ")) {
            if (!number(line.substr(14), v) || v > 65536)
                return "ERROR bad byte count";
            for (int64_t i = 0; i < v; ++i) {
                garbageSeed = garbageSeed * 1103515245u + 12345u;
                const uint8_t b = static_cast<uint8_t>(garbageSeed >> 16);
                enqueue(std::span(&b, 1));
            }
            return "OK";
        }
        if (line.starts_with("fault drop-after ")) {
            if (!number(line.substr(17), v))
                return "ERROR bad byte count";
            if (!master)
                return "ERROR not plugged";
            dropAfter = v;
            if (v == 0) {
                dropAfter = -1;
                dyingSinceUs = NowUs();
            }
            return "OK";
        }
        if (!device)
            return "ERROR no device";
        std::string answer = device->control(line);
        std::vector<uint8_t> out;
        device->tick(static_cast<uint32_t>(NowUs() / 1000), out);
        fromDevice(out);
        return answer;
    }

    void acceptClients()
    {
        for (;;) {
            Fd c(::accept4(listenFd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!c)
                return;
            clients.push_back({std::move(c), {}});
        }
    }

    // False when the client has gone.
    bool serveClient(ControlClient& c)
    {
        char buf[1024];
        for (;;) {
            const ssize_t n = ::read(c.fd.get(), buf, sizeof buf);
            if (n == 0)
                return false;
            if (n < 0) {
                if (errno == EAGAIN)
                    break;
                return false;
            }
            c.in.append(buf, static_cast<size_t>(n));
            if (c.in.size() > 65536)
                return false;
        }
        size_t nl;
        while ((nl = c.in.find('\n')) != std::string::npos) {
            const std::string line = c.in.substr(0, nl);
            c.in.erase(0, nl + 1);
            const std::string answer = control(line) + "\n";
            if (::send(c.fd.get(), answer.data(), answer.size(), MSG_NOSIGNAL) < 0)
                return false;
        }
        return true;
    }
};

Transport::Transport(TransportOptions options) : impl_(std::make_unique<Impl>())
{
    impl_->opt = std::move(options);
}
Transport::~Transport() = default;

fs::path Transport::linkPath() const
{
    return impl_->link();
}

bool Transport::start(std::string& error)
{
    Impl& p = *impl_;
    std::error_code ec;
    fs::create_directories(p.opt.stateDir, ec);
    p.transcript = std::fopen((p.opt.stateDir / "simphone.log").c_str(), "a");
    p.stopFd.reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!p.stopFd) {
        error = "eventfd failed";
        return false;
    }
    p.powerOn(p.opt.startInBoot);
    if (!p.device) {
        error = p.opt.startInBoot ? "boot mode is not built in" : "no device";
        return false;
    }
    if (!p.opt.controlSocket.empty()) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = p.opt.controlSocket.string();
        if (path.size() >= sizeof addr.sun_path) {
            error = "control socket path too long";
            return false;
        }
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        fs::remove(p.opt.controlSocket, ec);
        Fd s(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!s || ::bind(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s.get(), 8) != 0) {
            error = "cannot listen on " + path + ": " + std::strerror(errno);
            return false;
        }
        p.listenFd = std::move(s);
    }
    return p.openTerminal(error);
}

void Transport::stop()
{
    const uint64_t one = 1;
    if (impl_->stopFd)
        (void)!::write(impl_->stopFd.get(), &one, sizeof one);
}

std::string Transport::controlForTesting(std::string_view line)
{
    return impl_->control(line);
}

int Transport::run()
{
    Impl& p = *impl_;
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({p.stopFd.get(), POLLIN, 0});
        const int masterIndex = p.master ? static_cast<int>(fds.size()) : -1;
        if (p.master) {
            short ev = POLLIN;
            if (!p.outQueue.empty())
                ev |= POLLOUT;
            fds.push_back({p.master.get(), ev, 0});
        }
        const int listenIndex = p.listenFd ? static_cast<int>(fds.size()) : -1;
        if (p.listenFd)
            fds.push_back({p.listenFd.get(), POLLIN, 0});
        const size_t clientBase = fds.size();
        for (auto& c : p.clients)
            fds.push_back({c.fd.get(), POLLIN, 0});

        // Wake for the next tick, the next paced input chunk, or the paced output.
        const int64_t now = NowUs();
        int64_t wakeUs = p.lastTickUs + 5000;
        if (!p.inQueue.empty())
            wakeUs = std::min(wakeUs, p.inQueue.front().dueUs);
        if (const double rate = p.byteRate(); !p.outQueue.empty() && rate > 0) {
            wakeUs = std::min(wakeUs, p.nextPacedWriteUs(rate));
            if (masterIndex >= 0)
                fds[static_cast<size_t>(masterIndex)].events &= ~POLLOUT;
        }
        // Microsecond waits (ppoll), so paced bytes leave close to their line time.
        const int64_t waitUs = std::clamp<int64_t>(wakeUs - now, 0, 5000);
        const timespec timeout{0, static_cast<long>(waitUs * 1000)};
        if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR)
            return 1;

        if (fds[0].revents & POLLIN)
            return 0;
        if (masterIndex >= 0 && (fds[static_cast<size_t>(masterIndex)].revents & POLLIN))
            p.readMaster();
        p.deliverDueInput();
        if (listenIndex >= 0 && (fds[static_cast<size_t>(listenIndex)].revents & POLLIN))
            p.acceptClients();
        for (size_t i = p.clients.size(); i-- > 0;) {
            const auto ev = fds.size() > clientBase + i ? fds[clientBase + i].revents : 0;
            if (ev && !p.serveClient(p.clients[i]))
                p.clients.erase(p.clients.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (NowUs() - p.lastTickUs >= 5000) {
            p.lastTickUs = NowUs();
            if (p.device) {
                std::vector<uint8_t> out;
                p.device->tick(static_cast<uint32_t>(p.lastTickUs / 1000), out);
                p.fromDevice(out);
            }
        }
        p.writeMaster();
        p.checkDying();
    }
}

}  // namespace simphone

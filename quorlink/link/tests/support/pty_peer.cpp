#include "support/pty_peer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace linktest {
namespace {

constexpr const char* kSetupCommands[] = {"AT+CMGF=0", "AT+CSMP=,,,8", "AT+CSCS=\"GSM\"", "AT+CSDH=1",
                                          "AT+CNMI=2,2,0,0"};

void WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace

PtyPeer::PtyPeer(const std::string& portDir, int comNumber, Behaviour behaviour) : behaviour_(behaviour)
{
    std::array<char, 128> name{};
    if (::openpty(&master_, &slave_, name.data(), nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    const auto link = std::filesystem::path(portDir) / ("COM" + std::to_string(comNumber));
    std::error_code ec;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(name.data(), link, ec);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Serve(); });
}

PtyPeer::~PtyPeer()
{
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)::write(stopFd_, &one, sizeof one);
        thread_.join();
    }
    for (int fd : {master_, slave_, stopFd_})
        if (fd >= 0)
            ::close(fd);
}

void PtyPeer::Send(const std::string& bytes)
{
    std::lock_guard lock(mutex_);
    WriteAll(master_, bytes);
}

std::vector<std::string> PtyPeer::Commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

size_t PtyPeer::Count(const std::string& command) const
{
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count(commands_.begin(), commands_.end(), command));
}

bool PtyPeer::WaitFor(const std::string& command, size_t count, int realMs)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(realMs), [&] {
        return static_cast<size_t>(std::count(commands_.begin(), commands_.end(), command)) >= count;
    });
}

void PtyPeer::Handle(const std::string& command)
{
    // Called with the mutex held.
    commands_.push_back(command);
    changed_.notify_all();
    if (behaviour_ == Behaviour::Silent)
        return;
    std::string reply = echo_ ? command + "\r" : std::string();
    const bool known = command == "AT*CONNECT" || command == "ATE0" ||
        std::find(std::begin(kSetupCommands), std::end(kSetupCommands), command) != std::end(kSetupCommands);
    reply += known ? "\r\nOK\r\n" : "\r\nERROR\r\n";
    if (command == "ATE0")
        echo_ = false;
    WriteAll(master_, reply);
}

void PtyPeer::Serve()
{
    std::array<char, 512> buf{};
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const ssize_t n = ::read(master_, buf.data(), buf.size());
        if (n <= 0)
            continue;
        std::lock_guard lock(mutex_);
        // Like a handset in command state, drop ESC (it only closes a prompt).
        for (ssize_t i = 0; i < n; ++i)
            if (buf[static_cast<size_t>(i)] != '\x1b')
                pending_.push_back(buf[static_cast<size_t>(i)]);
        for (size_t cr; (cr = pending_.find('\r')) != std::string::npos;) {
            const std::string command = pending_.substr(0, cr);
            pending_.erase(0, cr + 1);
            Handle(command);
        }
    }
}

}  // namespace linktest

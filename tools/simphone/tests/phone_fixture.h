// Test support: a sample phone served over a real pseudo-terminal by an
// in-process Transport, a raw-mode client on its SDIR/COM1 link, and the
// control socket.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "at_phone.h"
#include "init_state.h"
#include "state.h"
#include "transport.h"

namespace simphone::testing {

// Upper bound for any single wait, so a broken emulator fails a test instead of hanging it.
inline constexpr int kDeadlineMs = 10000;

inline std::filesystem::path ScratchDir(const std::string& tag)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto dir = std::filesystem::temp_directory_path() /
        ("simphone-" + tag + "-" + std::to_string(getpid()) + "-" + (info ? info->name() : "x"));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

class LineClient {
public:
    explicit LineClient(const std::filesystem::path& link, speed_t speed = B115200)
    {
        fd_ = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
        tcflush(fd_, TCIOFLUSH);
    }
    ~LineClient()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void write(std::string_view s)
    {
        size_t off = 0;
        while (off < s.size()) {
            const ssize_t n = ::write(fd_, s.data() + off, s.size() - off);
            if (n > 0)
                off += static_cast<size_t>(n);
            else {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }

    // Reads until `done` says the bytes so far are complete, the deadline passes, or the line dies.
    template <typename Done>
    bool readUntil(Done done, int deadlineMs = kDeadlineMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
        while (!done(buf_)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(std::min<long>(left, 100))) <= 0)
                continue;
            char tmp[8192];
            const ssize_t n = ::read(fd_, tmp, sizeof tmp);
            if (n > 0)
                buf_.append(tmp, static_cast<size_t>(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                dead_ = true;
                return done(buf_);
            }
        }
        return true;
    }
    bool dead() const { return dead_; }

    // Collects bytes for ms milliseconds (only to show that nothing arrives).
    std::string drainFor(int ms)
    {
        readUntil([](const std::string&) { return false; }, ms);
        return take();
    }

    std::string take() { return std::exchange(buf_, {}); }

    // Sends one command line and returns the lines of its answer up to and
    // including the final result ("OK", "ERROR", "+CME ERROR: n", "+CMS ERROR: n")
    // or the "> " prompt. Empty lines are dropped.
    std::vector<std::string> at(std::string_view command)
    {
        write(std::string(command) + "\r");
        return answer();
    }
    std::vector<std::string> answer()
    {
        size_t consumed = 0;
        std::vector<std::string> lines;
        bool final = false;
        readUntil([&](const std::string& b) {
            while (!final) {
                const size_t eol = b.find_first_of("\r\n", consumed);
                if (eol == std::string::npos) {
                    if (b.compare(consumed, std::string::npos, "> ") == 0) {
                        lines.push_back("> ");
                        consumed = b.size();
                        final = true;
                    }
                    break;
                }
                // A line ends with CR LF: wait for the LF so that it is not left behind.
                if (b[eol] == '\r' && eol + 1 >= b.size())
                    break;
                std::string l = b.substr(consumed, eol - consumed);
                consumed = eol + 1 + (b[eol] == '\r' && b[eol + 1] == '\n' ? 1 : 0);
                if (l.empty())
                    continue;
                lines.push_back(l);
                final = l == "OK" || l == "ERROR" || l.rfind("+CME ERROR:", 0) == 0 || l.rfind("+CMS ERROR:", 0) == 0;
            }
            return final;
        });
        buf_.erase(0, consumed);
        return lines;
    }

private:
    int fd_ = -1;
    std::string buf_;
    bool dead_ = false;
};

class PhoneFixture : public ::testing::Test {
protected:
    void SetUp() override { startPhone(0); }
    void TearDown() override { stopPhone(); }

    void startPhone(int lineRate)
    {
        dir_ = ScratchDir("phone");
        state_ = dir_ / "state";
        std::string error;
        ASSERT_TRUE(InitState(state_, 11, error)) << error;
        TransportOptions opt;
        opt.stateDir = state_;
        opt.serialDir = dir_ / "serial";
        opt.controlSocket = dir_ / "ctl";
        opt.lineRate = lineRate;
        const auto st = state_;
        opt.makeDevice = [st](bool boot) -> std::unique_ptr<Device> {
            if (boot)
                return nullptr;
            return std::make_unique<AtPhone>(st);
        };
        transport_ = std::make_unique<Transport>(opt);
        ASSERT_TRUE(transport_->start(error)) << error;
        thread_ = std::thread([this] { transport_->run(); });
        client_ = std::make_unique<LineClient>(transport_->linkPath());
        ASSERT_TRUE(client_->ok());
        ASSERT_EQ(at("ATE0").back(), "OK");
    }

    void stopPhone()
    {
        client_.reset();
        if (transport_)
            transport_->stop();
        if (thread_.joinable())
            thread_.join();
        transport_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::vector<std::string> at(std::string_view c) { return client_->at(c); }
    std::string last(std::string_view c)
    {
        auto l = at(c);
        return l.empty() ? "<nothing>" : l.back();
    }

    // One control-socket command; returns its answer line.
    std::string control(const std::string& cmd)
    {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, (dir_ / "ctl").c_str(), sizeof addr.sun_path - 1);
        if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(s);
            return "<no socket>";
        }
        const std::string line = cmd + "\n";
        (void)!::write(s, line.data(), line.size());
        std::string answer;
        char c;
        pollfd p{s, POLLIN, 0};
        while (::poll(&p, 1, kDeadlineMs) > 0 && ::read(s, &c, 1) == 1 && c != '\n')
            answer.push_back(c);
        ::close(s);
        return answer;
    }

    std::filesystem::path phonePath(const std::string& p) const { return *PhoneFs(state_).resolve(p); }

    std::filesystem::path dir_, state_;
    std::unique_ptr<Transport> transport_;
    std::thread thread_;
    std::unique_ptr<LineClient> client_;
};

}  // namespace simphone::testing

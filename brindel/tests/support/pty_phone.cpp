#include "pty_phone.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace brindel_test {

PtyPhone::PtyPhone(std::unique_ptr<simphone::Device> device, const std::string& dir, int port)
    : device_(std::move(device))
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ::close(master);
        return;
    }
    const char* name = ::ptsname(master);
    slave_ = name ? ::open(name, O_RDWR | O_NOCTTY) : -1;
    if (slave_ < 0) {
        ::close(master);
        return;
    }
    // Raw from the start: a cooked line would echo the device's bytes back to it.
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    link_ = dir + "/COM" + std::to_string(port);
    ::unlink(link_.c_str());
    if (::symlink(name, link_.c_str()) != 0) {
        ::close(slave_);
        ::close(master);
        slave_ = -1;
        return;
    }
    master_ = master;
    thread_ = std::thread([this] { Serve(); });
}

PtyPhone::~PtyPhone()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (!link_.empty())
        ::unlink(link_.c_str());
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

std::string PtyPhone::Control(const std::string& line)
{
    std::lock_guard lock(mutex_);
    return device_->control(line);
}

void PtyPhone::Serve()
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> out;
    uint8_t buffer[4096];
    while (!stop_) {
        pollfd pfd{master_, POLLIN, 0};
        const int rc = ::poll(&pfd, 1, 5);
        out.clear();
        {
            std::lock_guard lock(mutex_);
            if (rc > 0 && (pfd.revents & POLLIN)) {
                const ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n > 0)
                    device_->receive(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), out);
            }
            const auto now =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            device_->tick(static_cast<uint32_t>(now.count()), out);
        }
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::write(master_, out.data() + done, out.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
    }
}

}  // namespace brindel_test

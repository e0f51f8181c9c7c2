#include "support/fake_port.h"

#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <sys/eventfd.h>
#include <unistd.h>

namespace linktest {

FakeDevice::FakeDevice() : eventFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) { }

FakeDevice::~FakeDevice()
{
    if (eventFd_ >= 0)
        ::close(eventFd_);
}

void FakeDevice::SignalLocked()
{
    // The eventfd is readable exactly while input is waiting.
    uint64_t v;
    while (::read(eventFd_, &v, sizeof v) == sizeof v) { }
    if (!input_.empty() && open_ != 0) {
        v = 1;
        (void)::write(eventFd_, &v, sizeof v);
    }
    arrived_.notify_all();
}

void FakeDevice::SetPresent(std::set<int> ports)
{
    std::lock_guard lock(mutex_);
    present_ = std::move(ports);
}

void FakeDevice::Answer(const std::string& command, const std::string& reply)
{
    std::lock_guard lock(mutex_);
    answers_[command] = reply;
}

void FakeDevice::AnswerOnce(const std::string& command, const std::string& reply)
{
    std::lock_guard lock(mutex_);
    onceAnswers_[command].push_back(reply);
}

void FakeDevice::Inject(const std::string& bytes)
{
    std::lock_guard lock(mutex_);
    input_ += bytes;
    SignalLocked();
}

void FakeDevice::SetMaxChunk(size_t bytes)
{
    std::lock_guard lock(mutex_);
    maxChunk_ = std::max<size_t>(1, bytes);
}

void FakeDevice::FailWrites(bool fail)
{
    std::lock_guard lock(mutex_);
    failWrites_ = fail;
}

std::vector<std::string> FakeDevice::Written() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

size_t FakeDevice::CountWritten(const std::string& command) const
{
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count(written_.begin(), written_.end(), command));
}

bool FakeDevice::WaitForWrites(const std::string& command, size_t count, int realMs)
{
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(realMs), [&] {
        return static_cast<size_t>(std::count(written_.begin(), written_.end(), command)) >= count;
    });
}

int FakeDevice::openCount() const
{
    std::lock_guard lock(mutex_);
    return openCount_;
}

int FakeDevice::openPort() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

int FakeDevice::purges() const
{
    std::lock_guard lock(mutex_);
    return purges_;
}

bool FakeDevice::Open(int n)
{
    std::lock_guard lock(mutex_);
    open_ = 0;
    if (!present_.count(n))
        return false;
    open_ = n;
    ++openCount_;
    SignalLocked();
    return true;
}

void FakeDevice::Close()
{
    std::lock_guard lock(mutex_);
    open_ = 0;
    SignalLocked();
}

bool FakeDevice::CanOpen(int n) const
{
    std::lock_guard lock(mutex_);
    return present_.count(n) && open_ != n;
}

void FakeDevice::SetChatter(std::string bytes, uint32_t everyMs, uint32_t forMs)
{
    std::lock_guard lock(mutex_);
    chatter_ = std::move(bytes);
    chatterEveryMs_ = everyMs;
    chatterForMs_ = forMs;
    chatterStart_ = lastChatter_ = plat::GetTickCount();
}

int FakeDevice::Read(uint8_t* out, size_t size, int timeoutMs)
{
    std::unique_lock lock(mutex_);
    if (open_ == 0)
        return -1;
    if (!chatter_.empty() && plat::GetTickCount() - chatterStart_ >= chatterForMs_)
        chatter_.clear();
    if (!chatter_.empty()) {
        const uint32_t since = plat::GetTickCount() - lastChatter_;
        if (since >= chatterEveryMs_) {
            input_ += chatter_;
            lastChatter_ = plat::GetTickCount();
        } else if (input_.empty()) {
            timeoutMs = std::min<int>(timeoutMs, static_cast<int>(chatterEveryMs_ - since));
        }
    }
    if (input_.empty() && timeoutMs > 0)
        arrived_.wait_for(lock, std::chrono::milliseconds(plat::RealTimeoutMs(timeoutMs)),
                          [this] { return !input_.empty(); });
    const size_t n = std::min({size, input_.size(), maxChunk_});
    std::copy_n(input_.begin(), n, out);
    input_.erase(0, n);
    SignalLocked();
    return static_cast<int>(n);
}

bool FakeDevice::Write(const std::string& data)
{
    std::lock_guard lock(mutex_);
    if (open_ == 0 || failWrites_)
        return false;
    written_.push_back(data);
    if (auto once = onceAnswers_.find(data); once != onceAnswers_.end() && !once->second.empty()) {
        input_ += once->second.front();
        once->second.pop_front();
    } else if (auto it = answers_.find(data); it != answers_.end()) {
        input_ += it->second;
    }
    SignalLocked();
    return true;
}

void FakeDevice::Purge()
{
    std::lock_guard lock(mutex_);
    ++purges_;
    input_.clear();
    SignalLocked();
}

}  // namespace linktest

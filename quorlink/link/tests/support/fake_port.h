#pragma once
// A scripted stand-in for the serial port. The device state is shared: the
// test keeps a FakeDevice and hands the worker a FakePort on it, so the
// test can feed bytes and read what was written while the worker runs.

#include "quorlink/link/link_port.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace linktest {

class FakeDevice {
public:
    FakeDevice();
    ~FakeDevice();

    // COM numbers that open; by default only COM1.
    void SetPresent(std::set<int> ports);
    // Every write equal to command is answered with reply (appended to the
    // input). A later call for the same command replaces the reply.
    void Answer(const std::string& command, const std::string& reply);
    // Answered once, before any Answer() rule for the same command.
    void AnswerOnce(const std::string& command, const std::string& reply);
    void Inject(const std::string& bytes);
    void SetMaxChunk(size_t bytes);
    // A phone that chatters: bytes arrive every everyMs of program time
    // while the port is read (an unsolicited report), for forMs in all, so
    // that a client that waits for the chatter to end still ends.
    void SetChatter(std::string bytes, uint32_t everyMs, uint32_t forMs);
    void FailWrites(bool fail);

    [[nodiscard]] std::vector<std::string> Written() const;
    [[nodiscard]] size_t CountWritten(const std::string& command) const;
    // Waits (real time) until command has been written at least count times.
    bool WaitForWrites(const std::string& command, size_t count, int realMs = 20000);
    [[nodiscard]] int openCount() const;
    [[nodiscard]] int openPort() const;  // 0 when closed
    [[nodiscard]] int purges() const;

    // Port side (called by FakePort).
    bool Open(int n);
    void Close();
    bool CanOpen(int n) const;
    int Read(uint8_t* out, size_t size, int timeoutMs);
    bool Write(const std::string& data);
    void Purge();
    [[nodiscard]] int eventFd() const { return eventFd_; }

private:
    void SignalLocked();

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::set<int> present_{1};
    std::map<std::string, std::string> answers_;
    std::map<std::string, std::deque<std::string>> onceAnswers_;
    std::string input_;
    std::vector<std::string> written_;
    size_t maxChunk_ = 4096;
    std::string chatter_;
    uint32_t chatterEveryMs_ = 0;
    uint32_t lastChatter_ = 0;
    uint32_t chatterStart_ = 0;
    uint32_t chatterForMs_ = 0;
    bool failWrites_ = false;
    int open_ = 0;
    int openCount_ = 0;
    int purges_ = 0;
    int eventFd_ = -1;
};

class FakePort final : public quorlink::link::LinkPort {
public:
    explicit FakePort(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) { }
    bool Open(int comNumber) override { return device_->Open(comNumber); }
    void Close() override { device_->Close(); }
    [[nodiscard]] bool IsOpen() const override { return device_->openPort() != 0; }
    [[nodiscard]] bool CanOpen(int comNumber) override { return device_->CanOpen(comNumber); }
    int Read(std::span<uint8_t> buffer, int timeoutMs) override
    {
        return device_->Read(buffer.data(), buffer.size(), timeoutMs);
    }
    bool Write(std::span<const uint8_t> data, int) override
    {
        return device_->Write(std::string(data.begin(), data.end()));
    }
    void PurgeBoth() override { device_->Purge(); }
    void ClearErrors() override { }
    [[nodiscard]] int WaitFd() const override { return IsOpen() ? device_->eventFd() : -1; }

private:
    std::shared_ptr<FakeDevice> device_;
};

}  // namespace linktest

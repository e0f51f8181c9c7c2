// An in-process serial line between the engine and a phone-side Device, on a
// virtual clock: a read that finds nothing advances the clock in 5 ms steps,
// ticking the device, until it answers or the read's time-out has passed. No
// real time passes, so time-outs cost nothing and results are repeatable.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tools/simphone/device.h"

namespace brindel_test {

class FakeLine {
public:
    // device may be null: a line with nothing on the far end.
    explicit FakeLine(std::unique_ptr<simphone::Device> device);
    ~FakeLine();  // uninstalls itself

    // Makes every port the engine opens this line.
    void Install();

    simphone::Device* device() { return device_.get(); }
    // Every byte the engine wrote, in order.
    const std::vector<uint8_t>& sent() const { return sent_; }
    // Line events: "open 38400 2", "dtr 1", "dtr 0", "flush in", ...
    const std::vector<std::string>& events() const { return events_; }
    // Every write fails (the port's I/O error) once `bytes` bytes have been
    // sent in all: a cable pulled in the middle of a transfer.
    void FailWritesAfter(size_t bytes) { failAfter_ = bytes; }
    // Bytes the device produced that the engine has not read.
    size_t pending() const { return toEngine_.size(); }
    uint32_t nowMs() const { return nowMs_; }

    // Backend calls.
    void Configure(uint32_t baud, int parity);
    void Event(std::string e) { events_.push_back(std::move(e)); }
    int Read(uint8_t* data, size_t length, int timeoutMs);
    int Write(const uint8_t* data, size_t length);
    void FlushInput();

private:
    void Tick();

    std::unique_ptr<simphone::Device> device_;
    std::vector<uint8_t> sent_;
    std::vector<std::string> events_;
    std::deque<uint8_t> toEngine_;
    uint32_t nowMs_ = 0;
    size_t failAfter_ = SIZE_MAX;
};

// A phone side that sends `acknowledge` every 20 ms until it receives "D",
// then answers "D" (unless echoD is false) and, once `expectAfterD` further bytes have arrived,
// sends `reply`.
class ScriptedDevice : public simphone::Device {
public:
    ScriptedDevice(uint8_t acknowledge, size_t expectAfterD, std::vector<uint8_t> reply, bool echoD = true)
        : ack_(acknowledge), expect_(expectAfterD), reply_(std::move(reply)), echo_(echoD)
    {
    }
    void receive(std::span<const uint8_t> in, std::vector<uint8_t>& out) override;
    void tick(uint32_t nowMs, std::vector<uint8_t>& out) override;

private:
    uint8_t ack_;
    size_t expect_;
    std::vector<uint8_t> reply_;
    bool echo_;
    bool gotD_ = false;
    bool replied_ = false;
    size_t received_ = 0;
    uint32_t last_ = 0;
    bool first_ = true;
};

}  // namespace brindel_test

// The AT handset: assembles command lines from the serial bytes, answers each
// from the phone's state directory, and emits unsolicited lines ("+CMT:",
// "SWITCHOFF") when the control socket asks for them.
//
// Thread affinity: one thread (the transport's) calls every member.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device.h"
#include "state.h"

namespace simphone {

class AtPhone : public Device {
public:
    static constexpr size_t kMaxLine = 1024;  // longer command lines answer ERROR
    static constexpr size_t kGetBlockSize = 1024;  // data bytes per "*GET" reply

    explicit AtPhone(std::filesystem::path stateDir);
    ~AtPhone() override;

    void receive(std::span<const uint8_t> in, std::vector<uint8_t>& out) override;
    void tick(uint32_t nowMs, std::vector<uint8_t>& out) override;
    // "sms FROM TEXT", "switchoff", "fault error PREFIX".
    std::string control(std::string_view line) override;
    // An open file transfer is dropped (an upload leaves the old file), as are
    // a half-received line and an open "> " prompt.
    void lineDropped() override;
    bool poweredOff() const override { return off_; }

    // Answers one complete command line (without its carriage return), as
    // when it arrives on the line; for the command parser's fuzz target.
    void commandForTesting(std::string_view line, std::vector<uint8_t>& out);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    bool off_ = false;
};

}  // namespace simphone

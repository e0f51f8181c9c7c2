// The far end of the serial line as seen by the emulator's transport.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace simphone {

// A thing on the far end of the serial line: the AT handset, or the baseband boot ROM.
class Device {
public:
    virtual ~Device() = default;
    // Bytes from the client; append reply bytes to out.
    virtual void receive(std::span<const uint8_t> in, std::vector<uint8_t>& out) = 0;
    // Called about every 5 ms (and after each receive) so the device can emit time-driven
    // bytes; nowMs is a monotonic millisecond count.
    virtual void tick(uint32_t nowMs, std::vector<uint8_t>& out)
    {
        (void)nowMs;
        (void)out;
    }
    // A control-socket command the transport does not handle itself ("fault checksum 3");
    // returns "OK" or "ERROR <reason>".
    virtual std::string control(std::string_view line)
    {
        (void)line;
        return "ERROR unknown command";
    }
    // The line to the client went away (cable pulled, line died): whatever was
    // under way on it, such as a file transfer or a half-received command, is abandoned.
    virtual void lineDropped() { }
    // True when the device has switched itself off (boot loader switch-off): the transport then
    // stops serving bytes until "poweron".
    virtual bool poweredOff() const { return false; }
};

}  // namespace simphone

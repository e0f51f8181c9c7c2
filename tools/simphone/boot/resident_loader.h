// The loader program the PC downloads into RAM, once it runs: it announces
// itself, identifies the flash, then serves one-byte commands.
//
// Commands are rows of a table (command byte -> handler). A handler is fed
// the bytes that follow its command byte and says when it has what it needs;
// this keeps a command's parameters together however the bytes are split
// across reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "flash_image.h"

namespace simphone::boot {

struct LoaderFaults {
    bool badIdentificationAck = false;  // 0x55 instead of 0xC2
    bool silentIdentification = false;  // nothing after the start bytes
};

class ResidentLoader {
public:
    // with5087Bytes: the PCF5087 loaders send two bytes after the
    // stack-pointer byte and 0xC2 before the identification.
    ResidentLoader(FlashImage& flash, uint8_t manufacturer, uint8_t device, bool with5087Bytes);

    // The loader starts: stack-pointer byte, the 5087 bytes, identification.
    void Start(const LoaderFaults& faults, std::vector<uint8_t>& out);
    void Receive(std::span<const uint8_t> in, std::vector<uint8_t>& out);

    [[nodiscard]] bool switchedOff() const { return switchedOff_; }

    // Handler outcome: Need more bytes, or Done with this command.
    enum class Step { NeedMore, Done };
    using Handler = Step (ResidentLoader::*)(std::vector<uint8_t>& out);

private:
    Step SwitchOff(std::vector<uint8_t>& out);
    Step SpeedControl(std::vector<uint8_t>& out);

    FlashImage& flash_;
    uint8_t manufacturer_;
    uint8_t device_;
    bool with5087Bytes_;
    bool switchedOff_ = false;
    Handler current_ = nullptr;
    std::vector<uint8_t> params_;  // bytes after the current command byte
};

}  // namespace simphone::boot

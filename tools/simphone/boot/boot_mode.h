// The phone as a baseband in its boot ROM: the ROM's acknowledge, its
// set-address / data-block / jump commands and chip-select set-up, then the
// resident loader started from the downloaded program, which identifies its
// flash (the flash image file, offset 0 = flash base).
//
// Thread affinity: one thread (the transport's, or a test's) drives a device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "../device.h"

namespace simphone {

struct BootOptions {
    std::string chip = "pcf5087";  // pcf5085 | pcf5086 | pcf5087 | pcf5087-uart1
    std::string flashImage;  // empty or missing: an erased flash
    bool hasFlashId = false;  // false: the sample phone's flash
    uint8_t manufacturer = 0, device = 0;
};

// Null for an unknown chip name.
std::unique_ptr<Device> MakeBootDevice(const BootOptions& options);

}  // namespace simphone

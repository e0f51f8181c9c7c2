// The emulator's baseband in its boot ROM, as the engine's tests use it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/simphone/boot/boot_mode.h"

namespace brindel_test {

// A boot ROM of `chip`; without withId the flash is the sample phone's, and
// without flashImage it starts erased and is not kept. Null for an unknown chip.
inline std::unique_ptr<simphone::Device> BootPhone(const std::string& chip, bool withId = false,
                                                   uint8_t manufacturer = 0, uint8_t device = 0,
                                                   const std::string& flashImage = {})
{
    simphone::BootOptions o;
    o.chip = chip;
    o.flashImage = flashImage;
    o.hasFlashId = withId;
    o.manufacturer = manufacturer;
    o.device = device;
    return simphone::MakeBootDevice(o);
}

}  // namespace brindel_test

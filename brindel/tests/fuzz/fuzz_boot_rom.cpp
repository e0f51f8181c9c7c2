// The emulator's boot ROM and resident loader reading whatever a client
// sends: never a crash. The first input byte chooses the chip and the flash
// identification; the rest arrives in pieces, with ticks between them.
#include "tools/simphone/boot/boot_mode.h"

#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const kChips[] = {"pcf5085", "pcf5086", "pcf5087", "pcf5087-uart1"};
    simphone::BootOptions options;
    options.chip = kChips[data[0] & 3];
    if (data[0] & 4) {
        options.hasFlashId = true;
        options.manufacturer = 0x01;
        options.device = (data[0] & 8) ? 0xE3 : 0x49;
    }
    auto device = simphone::MakeBootDevice(options);
    if (!device)
        std::abort();
    std::vector<uint8_t> out;
    uint32_t now = 0;
    size_t pos = 1;
    while (pos < size) {
        const size_t piece = 1 + (data[pos] % 16);
        const size_t n = std::min(piece, size - pos);
        device->receive(std::span<const uint8_t>(data + pos, n), out);
        device->tick(now += 5, out);
        pos += n;
    }
    (void)device->control("status");
    (void)device->control("peek 0 8");
    (void)device->control("peek 0x200000 64");
    (void)device->control("register 0xFFFF8002");
    (void)device->control("peek nonsense");
    return 0;
}

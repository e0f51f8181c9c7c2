// Packages from outside against software of each structure version: header
// parsing and the coherence check give a result code, never a crash.
#include "brindel/dwl10fla.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl50dev.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
const char kFlash[] =
    "NEW_FLASH\nMANUFACTURER_NAME : INTEL\nDEVICE_NAME : 28F128J3\nPHILIPS_PRODUCT : PCF50874-7\n"
    "MANUFACTURER_ID : 137\nDEVICE_ID : 24\nNB_BANKS : 1\nNB_SECTORS : 128\nSTART_SECTOR_DESCRITPION\n"
    "0-127*131072*0\nEND_SECTOR_DESCRIPTION\nEND_FLASH\n";

// Tags of versions 1, 2 and 3 (the version 3 table sits in the image at 0x20).
const uint8_t kTags[3][16] = {
    {0x02, 0x01, 0x12, 0x34, 0x00, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0, 0, 0, 0},
    {0x02, 0x02, 0x12, 0x34, 0x00, 0x00, 0x01, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00},
    {0x02, 0x03, 0x12, 0x34, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x20},
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool loaded = dwl10_102ParseFlashDescription(kFlash, sizeof kFlash - 1) == 1;
    (void)loaded;
    if (size == 0)
        return 0;
    const int version = data[0] % 3;
    std::vector<uint8_t> package(data + 1, data + size);
    const uint32_t n = static_cast<uint32_t>(package.size());

    T_PackageHeader header;
    (void)dwl16_11ParsePackageHeader(package.data(), n, version + 1, &header);

    // A software image holding a two-pack table at 0x20.
    static uint8_t image[0x40] = {};
    const uint8_t table[24] = {0, 0, 0x10, 0, 0, 0x20, 0, 0, 0,    0,    0,    1,
                               0, 1, 0,    0, 0, 0x40, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    std::memcpy(image + 0x20, table, sizeof table);
    T_DownloadContext context{};
    context.manufacturerId = 0x89;
    context.deviceId = 0x18;
    context.softwareImage = image;
    context.softwareSize = sizeof image;
    (void)dwl16_2VerifyCoherence(kTags[version], 16, &context, package.data(), n);
    return 0;
}

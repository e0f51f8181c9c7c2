// Software images from outside: the identification block search, the tag
// parser and the software checks give a result code, never a crash or a read
// outside the image.
#include "brindel/dwl10fla.h"
#include "brindel/dwl16comp.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
const char kFlash[] =
    "NEW_FLASH\nMANUFACTURER_NAME : INTEL\nDEVICE_NAME : 28F128J3\nPHILIPS_PRODUCT : PCF50874-7\n"
    "MANUFACTURER_ID : 137\nDEVICE_ID : 24\nNB_BANKS : 1\nNB_SECTORS : 128\nSTART_SECTOR_DESCRITPION\n"
    "0-127*131072*0\nEND_SECTOR_DESCRIPTION\nEND_FLASH\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool loaded = dwl10_102ParseFlashDescription(kFlash, sizeof kFlash - 1) == 1;
    (void)loaded;
    // An exact-size copy, so that any read past the image is caught.
    std::vector<uint8_t> image(data, data + size);
    const uint32_t n = static_cast<uint32_t>(image.size());
    uint32_t length = 0;
    uint8_t* tag = dwl12_3GetTagInfoInFileCla(image.data(), n, &length);
    // The image itself also goes through as a tag, the way the phone returns one.
    const uint8_t* asTag = tag != nullptr ? tag : image.data();
    const uint32_t asLength = tag != nullptr ? length : n;
    T_TagInfo info;
    (void)dwl16_10ParseTag(asTag, asLength, &info);
    (void)dwl16_0CheckCompleteSoftwareCompatibility(asTag, asLength, 0x89, 0x18, image.data(), n, nullptr);
    (void)dwl16_3CheckSoftCompatibility(asTag, asLength, image.data(), n);
    std::free(tag);
    return 0;
}

// Software files and compatibility: tags, package headers, pack tables and
// the compatibility checks between phone, software and package.
//
// Every field is read through a bounds check: tags, images and packages are
// outside bytes, and a declared length or table address is never trusted.
#include "brindel/dwl16comp.h"

#include "brindel/dwl10fla.h"
#include "brindel/dwl11command.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {

thread_local uint16_t vg_ClaStructId = 0;
thread_local uint16_t vg_ClaFamilyId = 0;
thread_local uint16_t vg_ClaEdition = 0;
thread_local uint32_t vg_ClaNbPack = 0;
thread_local uint32_t pg_ClaPackSize[DWL_MAX_PACKS];
thread_local uint32_t pg_ClaPackAddr[DWL_MAX_PACKS];
thread_local int32_t pg_ClaPackMandatory[DWL_MAX_PACKS];
thread_local uint8_t pg_BinPackSizeTooLargeForClaPackSize[DWL_MAX_PACKS];

}  // extern "C"

namespace {

uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Owned = std::unique_ptr<uint8_t, FreeDeleter>;

bool IsPackAddress(uint8_t man, uint8_t dev, uint32_t address)
{
    uint16_t sector = 0;
    return address != 0 && dwl10_2GetSectorNumberWithStartAddr(man, dev, address, &sector) == DWL_OK;
}

void ClearPackTables()
{
    vg_ClaNbPack = 0;
    std::memset(pg_ClaPackSize, 0, sizeof pg_ClaPackSize);
    std::memset(pg_ClaPackAddr, 0, sizeof pg_ClaPackAddr);
    std::memset(pg_ClaPackMandatory, 0, sizeof pg_ClaPackMandatory);
    std::memset(pg_BinPackSizeTooLargeForClaPackSize, 0, sizeof pg_BinPackSizeTooLargeForClaPackSize);
}

}  // namespace

extern "C" {

int dwl16_10ParseTag(const uint8_t* tag, uint32_t length, T_TagInfo* info)
{
    *info = T_TagInfo{};
    if (tag == nullptr || length < 2)
        return DWL_COMP_BAD_MANUFACTURER;
    info->structId = static_cast<uint16_t>(tag[0] | (tag[1] << 8));
    switch (info->structId) {
    case DWL_TAG_VERSION1: info->version = 1; break;
    case DWL_TAG_VERSION2: info->version = 2; break;
    case DWL_TAG_VERSION3: info->version = 3; break;
    default: return DWL_COMP_BAD_MANUFACTURER;
    }
    // Each layout needs its own bytes: version 1 ends with byte 11.
    if (length < (info->version == 1 ? DWL_TAG_V1_LENGTH : DWL_TAG_MIN_LENGTH)) {
        info->version = 0;
        return DWL_COMP_BAD_MANUFACTURER;
    }
    info->familyId = Be16(tag + 2);
    if (info->version == 1) {
        info->packSize = Be32(tag + 4);
        info->packAddress = Be32(tag + 8);
        return DWL_OK;
    }
    info->edition = Be16(tag + 6);
    if (info->version == 2) {
        info->packSize = Be32(tag + 8);
        info->packAddress = Be32(tag + 12);
    } else {
        info->packCount = Be32(tag + 8);
        info->packTableAddress = Be32(tag + 12);
    }
    return DWL_OK;
}

int dwl16_11ParsePackageHeader(const uint8_t* package, uint32_t size, int version, T_PackageHeader* header)
{
    *header = T_PackageHeader{};
    if (package == nullptr || size < 4 || std::memcmp(package, DWL_PACKAGE_SIGNATURE, 4) != 0)
        return DWL_COMP_SIGNATURE;
    if (version == 1) {
        if (size < 12)
            return DWL_COMP_PACKAGE_SIZE;
        header->family = Be32(package + 4);
        header->size = Be32(package + 8);
        return DWL_OK;
    }
    if (size < 32)
        return DWL_COMP_PACKAGE_SIZE;
    header->family = Be16(package + 4);
    header->edition = Be16(package + 6);
    header->size = Be32(package + 12);
    header->itemCount = Be32(package + 28);
    if (header->itemCount > (size - 32) / 8)
        return DWL_COMP_PACKAGE_SIZE;
    for (uint32_t i = 0; i < header->itemCount; ++i) {
        const uint32_t id = Be32(package + 32 + 8 * i);
        header->itemMask |= 1u << ((id - 1u) % 32u);
    }
    return DWL_OK;
}

uint8_t* dwl12_3GetTagInfoInFileCla(const uint8_t* image, uint32_t imageSize, uint32_t* tagLength)
{
    if (tagLength != nullptr)
        *tagLength = 0;
    if (image == nullptr)
        return nullptr;
    const uint32_t window = imageSize < DWL_TAG_SEARCH_LIMIT ? imageSize : DWL_TAG_SEARCH_LIMIT;
    if (window < DWL_TAG_MARKER_LENGTH)
        return nullptr;
    for (uint32_t at = 0; at + DWL_TAG_MARKER_LENGTH <= window; ++at) {
        if (image[at] != 'd' || std::memcmp(image + at, DWL_TAG_MARKER, DWL_TAG_MARKER_LENGTH) != 0)
            continue;
        const uint64_t lengthAt = uint64_t{at} + DWL_TAG_MARKER_LENGTH;
        if (lengthAt + 4 > imageSize)
            return nullptr;
        const uint32_t n = Be32(image + lengthAt);
        if (n == 0 || lengthAt + 4 + n > imageSize)
            return nullptr;  // no tag, or one that runs past the image
        auto* tag = static_cast<uint8_t*>(std::malloc(n));
        if (tag == nullptr)
            return nullptr;
        std::memcpy(tag, image + lengthAt + 4, n);
        if (tagLength != nullptr)
            *tagLength = n;
        return tag;
    }
    return nullptr;
}

int dwl16_0CheckCompleteSoftwareCompatibility(const uint8_t* tag, uint32_t tagLength, uint8_t manufacturerId,
                                              uint8_t deviceId, const uint8_t* image, uint32_t imageSize,
                                              const T_DownloadContext* phone)
{
    T_TagInfo info;
    const int parsed = dwl16_10ParseTag(tag, tagLength, &info);
    vg_ClaStructId = info.structId;
    if (parsed != DWL_OK)
        return parsed;
    ClearPackTables();
    vg_ClaFamilyId = info.familyId;
    vg_ClaEdition = info.edition;
    if (info.version != 3) {
        vg_ClaNbPack = 1;
        pg_ClaPackSize[0] = info.packSize;
        pg_ClaPackAddr[0] = info.packAddress;
        pg_ClaPackMandatory[0] = -1;
    } else {
        const bool fromImage = imageSize != 0 && image != nullptr;
        if (fromImage && info.packTableAddress >= imageSize)
            return DWL_COMP_PACKAGE_ADDRESS;
        if (info.packCount > DWL_MAX_PACKS)
            return DWL_COMP_PACKAGE_ADDRESS;
        const uint32_t tableBytes = info.packCount * 12u;
        std::vector<uint8_t> table(tableBytes);
        if (fromImage) {
            // The whole table must lie inside the image.
            if (uint64_t{info.packTableAddress} + tableBytes > imageSize)
                return DWL_COMP_PACKAGE_ADDRESS;
            if (tableBytes != 0)
                std::memcpy(table.data(), image + info.packTableAddress, tableBytes);
        } else if (tableBytes != 0 &&
                   (phone == nullptr ||
                    dwl11_6ReadCommand(dwl1_62ContextBaseAddress(phone) + info.packTableAddress, tableBytes,
                                       table.data(), phone->port, phone->downloadType) != DWL_OK)) {
            return DWL_COMP_PACKAGE_ADDRESS;
        }
        vg_ClaNbPack = info.packCount;
        for (uint32_t i = 0; i < info.packCount; ++i) {
            pg_ClaPackSize[i] = Be32(table.data() + 12 * i);
            pg_ClaPackAddr[i] = Be32(table.data() + 12 * i + 4);
            pg_ClaPackMandatory[i] = static_cast<int32_t>(Be32(table.data() + 12 * i + 8));
        }
    }
    for (uint32_t i = 0; i < vg_ClaNbPack; ++i)
        if (!IsPackAddress(manufacturerId, deviceId, pg_ClaPackAddr[i]))
            return DWL_COMP_PACK_ADDRESS;
    return DWL_OK;
}

int dwl16_2VerifyCoherence(const uint8_t* tag, uint32_t tagLength, T_DownloadContext* context, const uint8_t* package,
                           uint32_t packageSize)
{
    const uint8_t man = context->manufacturerId;
    const uint8_t dev = context->deviceId;
    int rc = dwl16_0CheckCompleteSoftwareCompatibility(tag, tagLength, man, dev, context->softwareImage,
                                                       context->softwareSize, context);
    if (rc != DWL_OK)
        return rc;
    T_TagInfo info;
    (void)dwl16_10ParseTag(tag, tagLength, &info);
    T_PackageHeader header;
    rc = dwl16_11ParsePackageHeader(package, packageSize, info.version, &header);
    if (rc != DWL_OK)
        return rc;
    if (info.version == 2)
        pg_ClaPackMandatory[0] = static_cast<int32_t>(header.itemMask);

    uint32_t flashSize = 0;
    (void)dwl10_5GetFlashSize(man, dev, &flashSize);
    bool usable = false;
    for (uint32_t i = 0; i < vg_ClaNbPack; ++i) {
        if (!IsPackAddress(man, dev, pg_ClaPackAddr[i]))
            return DWL_COMP_PACK_ADDRESS;
        if (uint64_t{pg_ClaPackAddr[i]} + header.size > flashSize)
            return DWL_COMP_FLASH_TOO_SMALL;
        bool fits = header.size <= pg_ClaPackSize[i];
        // Version 1 packages carry no item list: no mandatory items to check.
        if (info.version != 1 && (static_cast<uint32_t>(pg_ClaPackMandatory[i]) & ~header.itemMask) != 0)
            fits = false;
        pg_BinPackSizeTooLargeForClaPackSize[i] = fits ? 0 : 1;
        usable = usable || fits;
    }
    if (!usable || header.size != packageSize)
        return DWL_COMP_PACKAGE_SIZE;
    if ((header.family & 0xFFFFu) != vg_ClaFamilyId)
        return DWL_COMP_FAMILY;
    if (info.version == 1)
        return DWL_COMP_BAD_MANUFACTURER;
    if (header.edition != vg_ClaEdition)
        return DWL_COMP_EDITION;
    return DWL_OK;
}

int dwl16_1CheckSoftAndPackageCompatibility(int source, T_DownloadContext* context, const uint8_t* package,
                                            uint32_t packageSize)
{
    uint32_t length = 0;
    Owned tag;
    if (source == 1) {
        tag.reset(dwl11_1GetTagInfoInEmbCla(context->port, &length));
        if (!tag)
            return DWL_COMP_NO_TAG_IN_MOBILE;
    } else {
        tag.reset(dwl12_3GetTagInfoInFileCla(context->softwareImage, context->softwareSize, &length));
        if (!tag)
            return DWL_COMP_NO_TAG_IN_FILE;
    }
    return dwl16_2VerifyCoherence(tag.get(), length, context, package, packageSize);
}

int dwl16_3CheckSoftCompatibility(const uint8_t* phoneTag, uint32_t phoneLength, const uint8_t* fileTag,
                                  uint32_t fileLength)
{
    if (phoneTag == nullptr || fileTag == nullptr || phoneLength < 2 || fileLength < 2)
        return DWL_COMP_BAD_MANUFACTURER;
    const uint16_t phoneId = static_cast<uint16_t>(phoneTag[0] | (phoneTag[1] << 8));
    const uint16_t fileId = static_cast<uint16_t>(fileTag[0] | (fileTag[1] << 8));
    if (phoneId != fileId)
        return DWL_COMP_STRUCTURE;
    T_TagInfo phone, file;
    if (dwl16_10ParseTag(phoneTag, phoneLength, &phone) != DWL_OK ||
        dwl16_10ParseTag(fileTag, fileLength, &file) != DWL_OK)
        return DWL_COMP_BAD_MANUFACTURER;
    if (phone.familyId != file.familyId)
        return DWL_COMP_FAMILY;
    if (file.version != 1 && phone.edition != file.edition)
        return DWL_COMP_EDITION;
    const size_t first = file.version == 1 ? 4 : 8;
    if (Be32(fileTag + first) < Be32(phoneTag + first))
        return DWL_COMP_PACKAGE_SIZE;
    if (Be32(fileTag + first + 4) != Be32(phoneTag + first + 4))
        return DWL_COMP_PACKAGE_ADDRESS;
    return DWL_OK;
}

int dwl16_4CheckMobileAndFileCompatibility(uint32_t* packAddress, uint8_t port, const uint8_t* image,
                                           uint32_t imageSize)
{
    uint32_t phoneLength = 0, fileLength = 0;
    Owned phoneTag(dwl11_1GetTagInfoInEmbCla(port, &phoneLength));
    if (!phoneTag)
        return DWL_COMP_NO_TAG_IN_MOBILE;
    Owned fileTag(dwl12_3GetTagInfoInFileCla(image, imageSize, &fileLength));
    if (!fileTag)
        return DWL_COMP_NO_TAG_IN_FILE;
    const int rc = dwl16_3CheckSoftCompatibility(phoneTag.get(), phoneLength, fileTag.get(), fileLength);
    if (rc != DWL_OK || packAddress == nullptr)
        return rc;
    // The file's pack address for every version: version 3 gives the first
    // pack of its table when the table lies in the image, otherwise 0.
    T_TagInfo info;
    (void)dwl16_10ParseTag(fileTag.get(), fileLength, &info);
    if (info.version != 3)
        *packAddress = info.packAddress;
    else if (info.packCount != 0 && uint64_t{info.packTableAddress} + 12 <= imageSize)
        *packAddress = Be32(image + info.packTableAddress + 4);
    else
        *packAddress = 0;
    return rc;
}

}  // extern "C"

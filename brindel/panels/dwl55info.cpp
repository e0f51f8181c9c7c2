// The information windows: software and package identification, pack areas.
#include "brindel/panels/dwl55info.h"

#include "brindel/dwl16comp.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl52display.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The window's three number formats.
void Id(T_InfoLine line, void* user, const char* label, uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, " 0x%04x ", v);
    line(label, text, user);
}

void Address(T_InfoLine line, void* user, const char* label, uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, " 0x%08x ", v);
    line(label, text, user);
}

void Count(T_InfoLine line, void* user, const char* label, uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, " %u ", v);
    line(label, text, user);
}

}  // namespace

extern "C" {

int dwl55_2PackList(const uint8_t* image, uint32_t imageSize, T_PackRow* rows, int max)
{
    uint32_t length = 0;
    const std::unique_ptr<uint8_t, FreeDeleter> tag(dwl12_3GetTagInfoInFileCla(image, imageSize, &length));
    if (!tag)
        return -DWL_COMP_NO_TAG_IN_FILE;
    T_TagInfo info;
    if (const int rc = dwl16_10ParseTag(tag.get(), length, &info); rc != DWL_OK)
        return -rc;
    if (info.version != 3) {
        if (max < 1)
            return 0;
        rows[0] = T_PackRow{info.packSize, info.packAddress, -1};
        return 1;
    }
    int n = 0;
    for (uint32_t i = 0; i < info.packCount && i < DWL_MAX_PACKS && n < max; ++i) {
        const uint64_t at = uint64_t{info.packTableAddress} + 12u * i;
        if (at + 12 > imageSize)
            break;
        const uint8_t* e = image + at;
        rows[n++] = T_PackRow{Be32(e), Be32(e + 4), static_cast<int32_t>(Be32(e + 8))};
    }
    return n;
}

void dwl55_3FormatPackRow(const T_PackRow* row, char* size, char* address, char* mandatory, size_t each)
{
    std::snprintf(size, each, " %u ", row->size);
    std::snprintf(address, each, " 0x%08x ", row->address);
    std::snprintf(mandatory, each, " 0x%08x ", static_cast<uint32_t>(row->mandatory));
}

void dwl55_4ChoosePack(T_DownloadContext* context, const T_PackRow* row)
{
    context->blockAddress = static_cast<int32_t>(row->address);
    context->downloadType = 1;
}

int dwl55_0SoftwareInformation(const uint8_t* image, uint32_t imageSize, T_InfoLine line, void* user)
{
    uint32_t length = 0;
    const std::unique_ptr<uint8_t, FreeDeleter> tag(dwl12_3GetTagInfoInFileCla(image, imageSize, &length));
    if (!tag) {
        line(nullptr, dwl_GetResultMessage(DWL_SOFT_COMPATIBILITY_ERR, DWL_COMP_NO_TAG_IN_FILE), user);
        return DWL_COMP_NO_TAG_IN_FILE;
    }
    T_TagInfo info;
    const int rc = dwl16_10ParseTag(tag.get(), length, &info);
    if (length >= 2)
        Id(line, user, "Structure ID", static_cast<uint32_t>(tag.get()[0] | (tag.get()[1] << 8)));
    if (rc != DWL_OK) {
        line(nullptr, "Bad struct ID.", user);
        return rc;
    }
    Id(line, user, "Family", info.familyId);
    if (info.version != 1)
        Id(line, user, "Edition", info.edition);
    if (info.version != 3) {
        Count(line, user, "Pack size", info.packSize);
        Address(line, user, "Pack address", info.packAddress);
        return DWL_OK;
    }
    Count(line, user, "Number of packs", info.packCount);
    Address(line, user, "Pack table", info.packTableAddress);
    T_PackRow rows[DWL_MAX_PACKS];
    const int n = dwl55_2PackList(image, imageSize, rows, DWL_MAX_PACKS);
    for (int i = 0; i < n; ++i) {
        char label[32];
        std::snprintf(label, sizeof label, "Pack %d size", i + 1);
        Count(line, user, label, rows[i].size);
        std::snprintf(label, sizeof label, "Pack %d address", i + 1);
        Address(line, user, label, rows[i].address);
        std::snprintf(label, sizeof label, "Pack %d mandatory", i + 1);
        Address(line, user, label, static_cast<uint32_t>(rows[i].mandatory));
    }
    return DWL_OK;
}

int dwl55_1PackageInformation(const uint8_t* package, uint32_t packageSize, int version, T_InfoLine line, void* user)
{
    const int layout = version >= 1 && version <= 3 ? version : 2;
    T_PackageHeader header;
    const int rc = dwl16_11ParsePackageHeader(package, packageSize, layout, &header);
    if (rc != DWL_OK) {
        dwl52_2MessageBox("Download", "Problem 13_1 Bad structure packdata");
        return rc;
    }
    line("Signature", " 599: ", user);
    Id(line, user, "Family", header.family & 0xFFFFu);
    if (layout != 1)
        Id(line, user, "Edition", header.edition);
    Count(line, user, "Size", header.size);
    bool dictionary = false;
    bool language = false;
    if (layout != 1) {
        Count(line, user, "Items", header.itemCount);
        for (uint32_t i = 0; i < header.itemCount; ++i) {
            const uint32_t id = Be32(package + 32 + 8 * i);
            char label[32];
            std::snprintf(label, sizeof label, "Item %u", id);
            Address(line, user, label, Be32(package + 36 + 8 * i));
            dictionary = dictionary || id == DWL_ITEM_DICTIONARY;
            language = language || id == DWL_ITEM_LANGUAGE;
        }
    }
    if (!dictionary)
        line(nullptr, "No dictionary", user);
    if (!language)
        line(nullptr, "No language", user);
    return DWL_OK;
}

}  // extern "C"

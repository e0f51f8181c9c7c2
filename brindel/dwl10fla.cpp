// Flash description: "flash.txt" reader and sector queries.
#include "brindel/dwl10fla.h"

#include "brindel/dwl1boot.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

// Walks the text line by line; a line ends at LF, and a CR before the LF is
// not part of it. The cursor never leaves the text.
class LineReader {
public:
    LineReader(const char* text, size_t length) : text_(text, length) { }

    bool AtEnd() const { return pos_ >= text_.size(); }

    std::string_view Next()
    {
        const size_t lf = text_.find('\n', pos_);
        const size_t end = lf == std::string_view::npos ? text_.size() : lf;
        std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

    // Skips comment lines ("#...") and empty lines.
    void SkipComments()
    {
        while (!AtEnd()) {
            const size_t save = pos_;
            const std::string_view line = Next();
            if (!line.empty() && line.front() != '#') {
                pos_ = save;
                return;
            }
        }
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

constexpr uint64_t kNumberCap = 0xFFFFFFFFFFull;

// Leading decimal digits of text (after blanks); saturates far above any
// field's range so that range checks stay meaningful. nullopt-like: digits
// is false when the text has none (the value is then 0).
struct Number {
    uint64_t value = 0;
    bool digits = false;
};

Number ParseNumber(std::string_view& text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    Number n;
    while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
        n.digits = true;
        n.value = std::min(kNumberCap, n.value * 10 + static_cast<uint64_t>(text.front() - '0'));
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return n;
}

bool Take(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

void CopyName(char* field, std::string_view text)
{
    const size_t n = std::min(text.size(), static_cast<size_t>(DWL_FLASH_NAME_LENGTH - 1));
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

struct KeyRow {
    std::string_view key;
    int code;
};

// The header lines of a description, in their order.
constexpr KeyRow pg_FlashKeys[] = {
    {"MANUFACTURER_NAME : ", DWL_FLASH_MANUFACTURER_NAME},
    {"DEVICE_NAME : ", DWL_FLASH_DEVICE_NAME},
    {"PHILIPS_PRODUCT : ", DWL_FLASH_PHILIPS_PRODUCT},
    {"MANUFACTURER_ID : ", DWL_FLASH_MANUFACTURER_ID},
    {"DEVICE_ID : ", DWL_FLASH_DEVICE_ID},
    {"NB_BANKS : ", DWL_FLASH_NB_BANKS},
    {"NB_SECTORS : ", DWL_FLASH_NB_SECTORS},
    {"START_SECTOR_DESCRITPION", DWL_FLASH_START_SECTOR},
};

// Applies one sector line ("first-last*size*bank" or "n*size*bank").
int ParseSectorLine(std::string_view line, T_FlashEntry& entry)
{
    const Number first = ParseNumber(line);
    if (!first.digits || first.value >= entry.numberOfSectors)
        return DWL_FLASH_BAD_SECTOR_START;
    uint64_t last = first.value;
    if (Take(line, '-')) {
        const Number n = ParseNumber(line);
        if (!n.digits || n.value >= entry.numberOfSectors)
            return DWL_FLASH_BAD_SECTOR_END;
        last = n.value;
    }
    (void)Take(line, '*');
    const Number size = ParseNumber(line);
    (void)Take(line, '*');
    const Number bank = ParseNumber(line);
    for (uint64_t s = first.value; s <= last; ++s) {
        entry.sectors[s].size = static_cast<uint32_t>(std::min<uint64_t>(size.value, 0xFFFFFFFFu));
        entry.sectors[s].bank = static_cast<uint8_t>(std::min<uint64_t>(bank.value, 0xFF));
    }
    return DWL_OK;
}

// Reads one description after its NEW_FLASH line.
int ParseDescription(LineReader& reader, T_FlashEntry& entry)
{
    entry = T_FlashEntry{};
    for (const KeyRow& row : pg_FlashKeys) {
        if (reader.AtEnd())
            return row.code;
        std::string_view line = reader.Next();
        if (!line.starts_with(row.key))
            return row.code;
        line.remove_prefix(row.key.size());
        switch (row.code) {
        case DWL_FLASH_MANUFACTURER_NAME: CopyName(entry.manufacturerName, line); break;
        case DWL_FLASH_DEVICE_NAME: CopyName(entry.deviceName, line); break;
        case DWL_FLASH_MANUFACTURER_ID:
        case DWL_FLASH_DEVICE_ID:
        case DWL_FLASH_NB_BANKS: {
            // A value that does not fit its byte would alias another chip.
            const Number n = ParseNumber(line);
            if (n.value > 0xFF)
                return row.code;
            const auto v = static_cast<uint8_t>(n.value);
            if (row.code == DWL_FLASH_MANUFACTURER_ID)
                entry.manufacturerId = v;
            else if (row.code == DWL_FLASH_DEVICE_ID)
                entry.deviceId = v;
            else
                entry.numberOfBanks = v;
            break;
        }
        case DWL_FLASH_NB_SECTORS: {
            const Number n = ParseNumber(line);
            if (n.value > DWL_MAX_SECTORS)
                return DWL_FLASH_TOO_MANY_SECTORS;
            entry.numberOfSectors = static_cast<uint16_t>(n.value);
            break;
        }
        default: break;
        }
    }
    while (!reader.AtEnd()) {
        const std::string_view line = reader.Next();
        if (line.starts_with("END_SECTOR_DESCRIPTION"))
            break;
        const int rc = ParseSectorLine(line, entry);
        if (rc != DWL_OK)
            return rc;
    }
    if (reader.AtEnd() || !reader.Next().starts_with("END_FLASH"))
        return DWL_FLASH_END_FLASH;
    uint64_t total = 0;
    for (uint16_t s = 0; s < entry.numberOfSectors; ++s)
        total += entry.sectors[s].size;
    entry.flashSize = static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFu));
    return DWL_OK;
}

const T_FlashEntry* FindEntry(uint8_t manufacturerId, uint8_t deviceId)
{
    uint8_t index = 0;
    if (dwl10_500GetFlashIndex(manufacturerId, deviceId, &index) != DWL_OK)
        return nullptr;
    return &vg_FlashDescritpion.descriptions[index];
}

// Sector number starting exactly at offset, or -1.
int SectorAtOffset(const T_FlashEntry& entry, uint32_t offset)
{
    if (offset == 0)
        return 0;
    uint64_t sum = 0;
    for (uint16_t s = 0; s < entry.numberOfSectors; ++s) {
        sum += entry.sectors[s].size;
        if (sum >= offset) {
            if (sum != offset || s + 1 >= entry.numberOfSectors)
                return -1;
            return s + 1;
        }
    }
    return -1;
}

}  // namespace

extern "C" {

T_FlashDescription vg_FlashDescritpion;

int dwl10_102ParseFlashDescription(const char* text, size_t length)
{
    vg_FlashDescritpion.numberOfDescriptions = 0;
    vg_FlashDescritpion.baseAddress = vg_BaseAddress;
    LineReader reader(text, length);
    for (;;) {
        reader.SkipComments();
        if (reader.AtEnd())
            return DWL_OK;
        if (!reader.Next().starts_with("NEW_FLASH"))
            return DWL_FLASH_NEW_FLASH;
        const uint8_t n = vg_FlashDescritpion.numberOfDescriptions;
        if (n >= DWL_MAX_FLASH_DESCRIPTIONS)
            return DWL_FLASH_TOO_MANY;
        const int rc = ParseDescription(reader, vg_FlashDescritpion.descriptions[n]);
        if (rc != DWL_OK)
            return rc;
        vg_FlashDescritpion.numberOfDescriptions = static_cast<uint8_t>(n + 1);
    }
}

int dwl10_101InitFlashDescriptionFromFile(const char* path)
{
    std::string text;
    if (!dwlrt::ReadWholeFile(path, text)) {
        vg_FlashDescritpion.numberOfDescriptions = 0;
        vg_FlashDescritpion.baseAddress = vg_BaseAddress;
        return DWL_FLASH_NOT_FOUND;
    }
    return dwl10_102ParseFlashDescription(text.data(), text.size());
}

int dwl10_100InitFlashDescription(int flag)
{
    (void)flag;
    return dwl10_101InitFlashDescriptionFromFile("flash.txt");
}

int dwl10_500GetFlashIndex(uint8_t manufacturerId, uint8_t deviceId, uint8_t* index)
{
    const uint8_t count = std::min<uint8_t>(vg_FlashDescritpion.numberOfDescriptions, DWL_MAX_FLASH_DESCRIPTIONS);
    for (uint8_t i = 0; i < count; ++i) {
        const T_FlashEntry& e = vg_FlashDescritpion.descriptions[i];
        if (e.manufacturerId == manufacturerId && e.deviceId == deviceId) {
            *index = i;
            return DWL_OK;
        }
    }
    return DWL_FLASH_ID_UNKNOWN;
}

int dwl10_0GetSectorSize(uint8_t manufacturerId, uint8_t deviceId, uint16_t sector, int32_t* size)
{
    const T_FlashEntry* e = FindEntry(manufacturerId, deviceId);
    if (!e)
        return DWL_FLASH_ID_UNKNOWN;
    if (sector >= e->numberOfSectors)
        return DWL_FLASH_BAD_SECTOR_NUMBER;
    *size = static_cast<int32_t>(e->sectors[sector].size);
    return DWL_OK;
}

int dwl10_1GetNumberOfSector(uint8_t manufacturerId, uint8_t deviceId, uint32_t* count)
{
    const T_FlashEntry* e = FindEntry(manufacturerId, deviceId);
    if (!e)
        return DWL_FLASH_ID_UNKNOWN;
    *count = e->numberOfSectors;
    return DWL_OK;
}

int dwl10_2GetSectorNumberWithStartAddr(uint8_t manufacturerId, uint8_t deviceId, uint32_t offset, uint16_t* sector)
{
    const T_FlashEntry* e = FindEntry(manufacturerId, deviceId);
    if (!e)
        return DWL_FLASH_ID_UNKNOWN;
    const int s = SectorAtOffset(*e, offset);
    if (s < 0)
        return DWL_FLASH_NO_SECTOR_AT_ADDR;
    *sector = static_cast<uint16_t>(s);
    return DWL_OK;
}

int dwl10_3GetSectorList(uint8_t manufacturerId, uint8_t deviceId, uint32_t offset, uint32_t length, T_SectorList* list)
{
    const T_FlashEntry* e = FindEntry(manufacturerId, deviceId);
    if (!e)
        return DWL_FLASH_ID_UNKNOWN;
    const int start = SectorAtOffset(*e, offset);
    if (start < 0)
        return DWL_FLASH_NO_SECTOR_AT_ADDR;
    list->count = 0;
    list->totalSize = 0;
    uint64_t total = 0;
    for (int s = start; total < length; ++s) {
        if (s >= e->numberOfSectors)
            return DWL_FLASH_NOT_ENOUGH_SECTORS;
        list->sectors[list->count++] = static_cast<uint16_t>(s);
        total += e->sectors[s].size;
        list->totalSize = static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFu));
    }
    return DWL_OK;
}

int dwl10_4GetSectorBank(uint8_t manufacturerId, uint8_t deviceId, uint16_t sector, uint8_t* bank)
{
    const T_FlashEntry* e = FindEntry(manufacturerId, deviceId);
    if (!e)
        return DWL_FLASH_ID_UNKNOWN;
    // Only the described sectors have a bank; reading past them would read
    // outside the table.
    if (sector >= e->numberOfSectors)
        return DWL_FLASH_BAD_SECTOR_NUMBER;
    *bank = e->sectors[sector].bank;
    return DWL_OK;
}

int dwl10_5GetFlashSize(uint8_t manufacturerId, uint8_t deviceId, uint32_t* size)
{
    const T_FlashEntry* e = FindEntry(manufacturerId, deviceId);
    if (!e)
        return DWL_FLASH_ID_UNKNOWN;
    *size = e->flashSize;
    return DWL_OK;
}

int dwl10_6GetManufacturerAndFlashName(uint8_t manufacturerId, uint8_t deviceId, char* manufacturerName,
                                       char* deviceName)
{
    const T_FlashEntry* e = FindEntry(manufacturerId, deviceId);
    if (!e)
        return DWL_FLASH_ID_UNKNOWN;
    std::memcpy(manufacturerName, e->manufacturerName, DWL_FLASH_NAME_LENGTH);
    std::memcpy(deviceName, e->deviceName, DWL_FLASH_NAME_LENGTH);
    return DWL_OK;
}

}  // extern "C"

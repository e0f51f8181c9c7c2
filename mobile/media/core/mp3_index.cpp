#include "mobile/media/core/mp3_index.h"

#include "mobile/media/core/sound_file.h"
#include "quorlink/media/byte_order.h"
#include "resources/strings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace media {

using quorlink::media::GetBe32;
using quorlink::media::PutBe32;

namespace {

Mp3Record& RecordAt(Mp3Index& index, size_t k)
{
    return *reinterpret_cast<Mp3Record*>(index.data() + k * sizeof(Mp3Record));
}

Mp3Record RecordAt(std::span<const uint8_t> bytes, size_t k)
{
    Mp3Record r;
    std::memcpy(&r, bytes.data() + k * sizeof r, sizeof r);
    return r;
}

void SetChecksum(Mp3Record& r)
{
    const uint32_t sum = Mp3RecordChecksum(r);
    for (int i = 0; i < 4; ++i)
        r.checksum[i] = static_cast<uint8_t>(sum >> (8 * i));
}

}  // namespace

uint32_t Mp3RecordChecksum(const Mp3Record& record)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    uint32_t sum = 0;
    for (size_t i = 0; i < offsetof(Mp3Record, checksum); ++i)
        sum += p[i];
    return sum;
}

bool Mp3IndexValid(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kMp3Slots * sizeof(Mp3Record))
        return false;
    for (size_t k = 0; k < kMp3Slots; ++k) {
        const Mp3Record r = RecordAt(bytes, k);
        const uint32_t stored = uint32_t(r.checksum[0]) | uint32_t(r.checksum[1]) << 8 | uint32_t(r.checksum[2]) << 16 |
            uint32_t(r.checksum[3]) << 24;
        if (r.used == 255 || stored != Mp3RecordChecksum(r))
            return false;
    }
    return true;
}

Mp3Index FreshMp3Index()
{
    Mp3Index index{};
    for (size_t k = 0; k < kMp3Slots; ++k) {
        Mp3Record& r = RecordAt(index, k);
        r.slot = static_cast<uint8_t>(k + 1);
        SetChecksum(r);
    }
    return index;
}

void FillMp3Record(Mp3Index& index, size_t k, std::string_view name, uint32_t size)
{
    if (k >= kMp3Slots)
        return;
    Mp3Record& r = RecordAt(index, k);
    std::memset(&r, 0, sizeof r);
    const std::string text = Utf8ToPhoneText(name, kMp3NameBytes);
    std::memcpy(r.name, text.data(), text.size());
    r.slot = static_cast<uint8_t>(k + 1);
    r.used = 1;
    PutBe32(r.address, kMp3FirstSlotOffset + static_cast<uint32_t>(k) * kMp3SlotBytes);
    PutBe32(r.size, std::min(size, kMp3SlotBytes));
    SetChecksum(r);
}

void ClearMp3Record(Mp3Index& index, size_t k)
{
    if (k < kMp3Slots)
        std::memset(&RecordAt(index, k), 0, sizeof(Mp3Record));
}

std::vector<MediaRow> Mp3Rows(const Mp3Index& index)
{
    std::vector<MediaRow> rows;
    for (size_t k = 0; k < kMp3Slots; ++k) {
        const Mp3Record r = RecordAt(std::span<const uint8_t>(index), k);
        MediaRow row;
        row.number = static_cast<int>(k + 1);
        row.record = static_cast<int>(k);
        row.used = r.used == 1;
        if (row.used) {
            // A slot never holds more than kMp3SlotBytes; a larger size in
            // a record whose checksum happens to match is damage, not a size.
            row.size = std::min(GetBe32(r.size), kMp3SlotBytes);
            row.name = PhoneTextToUtf8(std::span<const char>(r.name, kMp3NameBytes));
            row.displayName = row.name;
            row.sizeText = Mp3SizeText(row.size);
        } else {
            row.nameId = res::IDS_EMPTY;
            row.sizeText = "0K";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<Mp3Index> LoadMp3Index(const std::string& programDirectory)
{
    const auto bytes = ReadFileBytes(programDirectory + kMp3IndexFile);
    if (!bytes)
        return std::nullopt;
    Mp3Index index{};
    std::memcpy(index.data(), bytes->data(), std::min(bytes->size(), index.size()));
    if (bytes->size() < kMp3IndexSize || !Mp3IndexValid(index)) {
        index = FreshMp3Index();
        if (!SaveMp3Index(programDirectory, index))
            return std::nullopt;
    }
    return index;
}

bool SaveMp3Index(const std::string& programDirectory, const Mp3Index& index)
{
    std::FILE* f = std::fopen((programDirectory + kMp3IndexFile).c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(index.data(), 1, index.size(), f) == index.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace media

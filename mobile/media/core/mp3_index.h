#pragma once
// The MP3 index: the first 884 bytes of flash sector 60, copied to
// "mp3.idx" in the program directory when MP3 mode connects and written
// back after every change. Five 88-byte records, one per MP3 slot; slot k
// (0-4) holds at most 0x120000 bytes from flash offset 0x800000 + k x 0x120000
// (sectors 64 + 9k to 72 + 9k).
//
// The index is valid when every record's checksum (the byte sum of bytes
// 0-83, little-endian) matches and no record is marked damaged (255 in its
// used byte); an invalid index is replaced by a fresh one.
//
// Free functions over bytes and files; any thread.

#include "mobile/media/core/media_listing.h"
#include "quorlink/bridge/flash_bridge.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace media {

#pragma pack(push, 1)
struct Mp3Record {
    uint8_t zero1[31];
    char name[40];  // phone text, NUL-terminated, at most 39 bytes
    uint8_t slot;  // k + 1
    uint8_t zero2;
    uint8_t used;  // 1 used, 0 empty, 255 damaged
    uint8_t zero3[2];
    uint8_t address[4];  // flash offset, big-endian
    uint8_t size[4];  // bytes, big-endian
    uint8_t checksum[4];  // byte sum of bytes 0-83, little-endian
};
#pragma pack(pop)
static_assert(sizeof(Mp3Record) == 88);
static_assert(offsetof(Mp3Record, name) == 31 && offsetof(Mp3Record, slot) == 71 && offsetof(Mp3Record, used) == 73);
static_assert(offsetof(Mp3Record, address) == 76 && offsetof(Mp3Record, checksum) == 84);

// The flash layout is the bridge's; the index records are described here.
inline constexpr size_t kMp3Slots = quorlink::bridge::kSlotCount;
inline constexpr size_t kMp3IndexSize = quorlink::bridge::kIndexBytes;
inline constexpr uint32_t kMp3SlotBytes = quorlink::bridge::kSlotBytes;
inline constexpr uint32_t kMp3FirstSlotOffset = quorlink::bridge::kFirstSlotSector * quorlink::bridge::kSectorSize;
inline constexpr size_t kMp3NameBytes = 39;
inline constexpr const char* kMp3IndexFile = quorlink::bridge::kIndexFileName;
static_assert(kMp3Slots * sizeof(Mp3Record) <= kMp3IndexSize && kMp3FirstSlotOffset == 0x800000);

using Mp3Index = std::array<uint8_t, kMp3IndexSize>;

[[nodiscard]] uint32_t Mp3RecordChecksum(const Mp3Record& record);
[[nodiscard]] bool Mp3IndexValid(std::span<const uint8_t> bytes);
// All zero, slot numbers 1-5, checksums set.
[[nodiscard]] Mp3Index FreshMp3Index();
// Record k: the name (UTF-8, stored as phone text of at most 39 bytes),
// used, its flash offset, the size (capped at one slot), slot number and
// checksum.
void FillMp3Record(Mp3Index& index, size_t k, std::string_view name, uint32_t size);
// All 88 bytes of record k zero.
void ClearMp3Record(Mp3Index& index, size_t k);

// The five rows: used slots show the name and Mp3SizeText of the size,
// empty ones string 57722 and "0K". A size beyond one slot shows as one slot.
[[nodiscard]] std::vector<MediaRow> Mp3Rows(const Mp3Index& index);

// Reads programDirectory + "mp3.idx" (884 bytes); an invalid index is
// replaced by a fresh one, which is written back. Nothing when the file
// cannot be read or written.
[[nodiscard]] std::optional<Mp3Index> LoadMp3Index(const std::string& programDirectory);
[[nodiscard]] bool SaveMp3Index(const std::string& programDirectory, const Mp3Index& index);

}  // namespace media

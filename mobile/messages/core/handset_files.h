#pragma once
// The handset's own message memory as the phone keeps it in "/app/sms/":
// five table files smstab0-4 (300 entries each), the concatenation table
// smsconcattab (30 entries) and the item files items0-65 (20 items each).
// Numbers in these files are big-endian; texts are phone text (GSM codes
// with GBK characters, see quorlink/codecs/pdu_text.h).
//
// Parsers take the file's bytes and refuse a file of the wrong size; they
// never read outside it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace messages {

constexpr size_t kTableFiles = 5;
constexpr size_t kTableEntries = 300;  // per table file
constexpr size_t kTableEntrySize = 12;
constexpr size_t kTableFileSize = kTableEntries * kTableEntrySize;  // 3600
constexpr size_t kConcatEntries = 30;
constexpr size_t kConcatEntrySize = 76;
constexpr size_t kConcatFileSize = 4 + kConcatEntries * kConcatEntrySize + 32;  // 2316
constexpr size_t kItemsPerFile = 20;
constexpr size_t kItemSize = 232;
constexpr size_t kItemFileSize = kItemsPerFile * kItemSize;  // 4640
constexpr unsigned kMaxItem = 1300;
constexpr size_t kMaxParts = 10;  // parts of a concatenated message that are used
constexpr uint16_t kInUse = 0x8000;

inline constexpr char kPhoneSmsDir[] = "/app/sms/";
inline constexpr char kConcatFileName[] = "smsconcattab";
[[nodiscard]] std::string TableFileName(size_t i);  // "smstab" + i
[[nodiscard]] std::string ItemFileName(unsigned n);  // "items" + n

struct TableEntry {
    uint8_t status = 0;
    uint16_t itemWord = 0;  // bit 15 in use, bits 0-14 item number
    bool concatenated = false;
    uint8_t concatIndex = 0;

    [[nodiscard]] bool inUse() const { return (itemWord & kInUse) != 0; }
    [[nodiscard]] unsigned item() const { return itemWord & 0x7FFF; }
};

struct ConcatEntry {
    uint8_t parts = 0;
    std::array<uint16_t, kMaxParts> partWords{};  // 0: the part is missing
};

struct ItemRecord {
    uint32_t stamp = 0;
    std::string number;  // phone text
    std::string text;  // phone text, up to its NUL within the 167-byte field
};

// One table file: its 300 entries; nothing unless exactly 3600 bytes.
[[nodiscard]] std::optional<std::vector<TableEntry>> ParseTableFile(std::span<const uint8_t> bytes);
// The concatenation table: its 30 entries; nothing for fewer than 2316 bytes.
[[nodiscard]] std::optional<std::vector<ConcatEntry>> ParseConcatFile(std::span<const uint8_t> bytes);
// One item file: its 20 items; nothing unless exactly 4640 bytes.
[[nodiscard]] std::optional<std::vector<ItemRecord>> ParseItemFile(std::span<const uint8_t> bytes);

// The whole file, or nothing when it cannot be read.
[[nodiscard]] std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// What the table scan found in the downloaded tables of dir (with its
// trailing separator): every table entry in order, the concatenation
// entries (empty when smsconcattab is missing) and the item files the
// messages in use need.
struct TableScan {
    std::vector<TableEntry> entries;  // 1500
    std::vector<ConcatEntry> concat;  // 30, or none
    std::set<unsigned> itemFiles;
};
// Nothing when a table file is missing or not 3600 bytes, or smsconcattab
// exists with fewer than 2316 bytes. A missing smsconcattab needs no item
// file.
[[nodiscard]] std::optional<TableScan> ScanTables(const std::string& dir);

// The item numbers of a concatenated message's parts in order (nothing for
// a missing part or one beyond the last valid item), at most 10.
[[nodiscard]] std::vector<std::optional<unsigned>> PartItems(const ConcatEntry& entry);

}  // namespace messages

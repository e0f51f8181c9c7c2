#pragma once
// The phonebook files as the phone and the phone link leave them, and the
// records the program uploads:
//
//   smpbtab      12000 bytes, 500 entries of 24 bytes; entry i describes
//                handset slot i + 1; its first two bytes (big-endian) are
//                0xFFFF when the slot is free. The rest is the phone's own.
//   smpbN        7400 bytes, 20 records of 370 bytes: slots 20N+1..20N+20.
//   pb.sim       text written by the link's SIM read: "capacity,used\r\n",
//                then "index,number,name\r\n" per entry.
//   upload       370 bytes for a handset entry, 93 for a SIM entry, dropped
//                into /app/dir/tmp.dat before each AT*SYPH add or modify.
//
// The parsers take bytes (a file read whole), so they are fuzzed directly.

#include "mobile/phonebook/core/contact_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace phonebook {

constexpr size_t kSmpbtabEntries = 500;
constexpr size_t kSmpbtabEntrySize = 24;
constexpr size_t kSmpbtabSize = kSmpbtabEntries * kSmpbtabEntrySize;
constexpr size_t kRecordsPerFile = 20;
constexpr size_t kRecordFileSize = kRecordsPerFile * kPhoneRecordSize;
constexpr size_t kSimUploadSize = 93;
constexpr uint16_t kFreeEntry = 0xFFFF;
constexpr int kHandsetCapacity = 500;

// The slot table of smpbtab.
struct SlotTable {
    // Number of record files that hold the used slots: those up to the last
    // used entry, 20 per file. -1: the table has a wrong size.
    int fileCount = 0;
    std::array<bool, kSmpbtabEntries> used{};
};

// Parses smpbtab. An empty file is an empty table; any size other than
// 0 or 12000 gives fileCount -1. Record files are counted up to the last
// used entry, so a free first slot (an entry deleted on the phone) still
// downloads every file that holds an entry.
[[nodiscard]] SlotTable ParseSmpbtab(std::span<const uint8_t> data);

// One record of a record file, or nothing when the file has a wrong size.
// k is 0-19.
[[nodiscard]] std::optional<ContactRecord> RecordFromFile(std::span<const uint8_t> file, size_t k);

struct SimLine {
    int index = 0;  // the SIM location, 1-based (0 when not a number)
    std::string number;  // at most 21 characters
    std::string name;  // PC text, at most 12 bytes
};

struct SimPhonebook {
    int capacity = 0;
    int used = 0;
    std::vector<SimLine> entries;
};

// Parses pb.sim. Nothing when the header is not "capacity,used" or the file
// holds fewer entry lines than its header announces.
[[nodiscard]] std::optional<SimPhonebook> ParsePbSim(std::string_view text);

// The record uploaded for an entry: 370 bytes (handset, GSM fields
// converted) or 93 bytes (SIM: 51 bytes name, 42 bytes number).
[[nodiscard]] std::vector<uint8_t> UploadRecord(const ContactRecord& r);

// Reads a whole local file; nothing when it cannot be opened.
[[nodiscard]] std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);
[[nodiscard]] bool WriteWholeFile(const std::string& path, std::span<const uint8_t> data);

// Reads smpbtab, retrying every 10 ms while it cannot be opened, up to
// attempts times (the file may still be held by the link's download).
[[nodiscard]] std::optional<std::vector<uint8_t>> ReadTableFile(const std::string& path, int attempts = 50);

}  // namespace phonebook

#pragma once
// The phonebook's local files: the program's own phonebook file (.phb) and
// the CSV file. Both keep text in the PC code page.
//
// phb: a 36-byte header ("PHONEBOOK", the model "V318", a little-endian
// version, zeros), then the records back to back: 371 bytes in version 1
// (the whole block), 334 bytes in version 2 (the rest reads as zero).
// Writing always produces version 1.
//
// CSV: 15 columns (name, five numbers, six details, group, memory, default
// number); a header of captions, then one record per entry, every field in
// double quotes (a quote inside a field is written twice), CR LF between
// records.

#include "mobile/phonebook/core/contact_record.h"
#include "mobile/phonebook/core/import_report.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace phonebook {

constexpr size_t kPhbHeaderSize = 36;

[[nodiscard]] std::vector<uint8_t> EncodePhb(std::span<const ContactRecord* const> records);
// The records of a phb file; nothing when the header is not a phonebook
// header of version 1 or 2. Records of any memory code are returned.
[[nodiscard]] std::optional<std::vector<ContactRecord>> DecodePhb(std::span<const uint8_t> data);

// The CSV columns: 0 name, 1-5 numbers, 6-11 detail6..detail11, 12 group,
// 13 memory; the 15th column (default number) is not mappable.
constexpr int kCsvColumns = 15;
constexpr int kCsvMappable = 14;
constexpr int kCsvUnmapped = -1;
constexpr int kCsvName = 0;
constexpr int kCsvFirstNumber = 1;
constexpr int kCsvFirstDetail = 6;
constexpr int kCsvGroup = 12;
constexpr int kCsvMemory = 13;

// String ids of the 15 captions, in column order.
[[nodiscard]] std::span<const int, kCsvColumns> CsvCaptionIds();

// captions: the texts of CsvCaptionIds() in the file's code page (PC text).
[[nodiscard]] std::string EncodeCsv(std::span<const ContactRecord* const> records,
                                    std::span<const std::string, kCsvColumns> captions);

struct CsvTable {
    std::vector<std::string> header;  // exactly 15 fields
    std::vector<std::vector<std::string>> records;  // data records, at most 101 fields each
    bool stopped = false;  // a record longer than 2046 characters ended the reading
};

// Splits a CSV file into records and fields (PC text; a file that starts
// with a UTF-8 byte-order mark is read as UTF-8). Nothing when the header
// record is missing or does not have exactly 15 fields.
[[nodiscard]] std::optional<CsvTable> ReadCsv(std::string_view bytes);

// Which field each of the first 14 columns fills (kCsvUnmapped: none): a
// column whose caption equals a known caption fills that caption's field.
using CsvMapping = std::array<int, kCsvMappable>;
[[nodiscard]] CsvMapping DefaultCsvMapping(const CsvTable& table, std::span<const std::string, kCsvColumns> captions);

struct ImportResult {
    std::vector<ContactRecord> records;
    std::vector<ImportNote> notes;
};

// The entries of a CSV table under a mapping. Values too long for their
// field are cut and noted; numbers lose their separators (spaces, dashes,
// dots, brackets) and are noted and left out when they are still not
// dialling strings.
[[nodiscard]] ImportResult RecordsFromCsv(const CsvTable& table, const CsvMapping& mapping);

// A number from outside (a file of another program) as a dialling string:
// visual separators removed. Nothing when other characters remain, it is
// empty, or it is longer than maxChars.
[[nodiscard]] std::optional<std::string> CleanNumber(std::string_view text, size_t maxChars);

}  // namespace phonebook

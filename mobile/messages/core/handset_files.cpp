#include "mobile/messages/core/handset_files.h"

#include "quorlink/media/byte_order.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace messages {

using quorlink::media::GetBe16;
using quorlink::media::GetBe32;

std::string TableFileName(size_t i)
{
    return "smstab" + std::to_string(i);
}

std::string ItemFileName(unsigned n)
{
    return "items" + std::to_string(n);
}

std::optional<std::vector<TableEntry>> ParseTableFile(std::span<const uint8_t> bytes)
{
    if (bytes.size() != kTableFileSize)
        return std::nullopt;
    std::vector<TableEntry> out(kTableEntries);
    for (size_t i = 0; i < kTableEntries; ++i) {
        const uint8_t* e = bytes.data() + i * kTableEntrySize;
        out[i].status = e[4];
        out[i].itemWord = GetBe16(e + 6);
        out[i].concatenated = e[8] != 0;
        out[i].concatIndex = e[9];
    }
    return out;
}

std::optional<std::vector<ConcatEntry>> ParseConcatFile(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kConcatFileSize)
        return std::nullopt;
    std::vector<ConcatEntry> out(kConcatEntries);
    for (size_t i = 0; i < kConcatEntries; ++i) {
        const uint8_t* e = bytes.data() + 4 + i * kConcatEntrySize;
        out[i].parts = e[3];
        for (size_t p = 0; p < kMaxParts; ++p)
            out[i].partWords[p] = GetBe16(e + 12 + 2 * p);
    }
    return out;
}

std::optional<std::vector<ItemRecord>> ParseItemFile(std::span<const uint8_t> bytes)
{
    if (bytes.size() != kItemFileSize)
        return std::nullopt;
    auto text = [](const uint8_t* p, size_t size) {
        const auto* c = reinterpret_cast<const char*>(p);
        return std::string(c, strnlen(c, size));
    };
    std::vector<ItemRecord> out(kItemsPerFile);
    for (size_t i = 0; i < kItemsPerFile; ++i) {
        const uint8_t* r = bytes.data() + i * kItemSize;
        out[i].stamp = GetBe32(r + 4);
        out[i].number = text(r + 20, 41);
        out[i].text = text(r + 62, 167);
    }
    return out;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

std::vector<std::optional<unsigned>> PartItems(const ConcatEntry& entry)
{
    std::vector<std::optional<unsigned>> items;
    const size_t parts = std::min<size_t>(entry.parts, kMaxParts);
    for (size_t p = 0; p < parts; ++p) {
        const unsigned item = entry.partWords[p] & 0x7FFF;
        items.push_back(entry.partWords[p] != 0 && item <= kMaxItem ? std::optional(item) : std::nullopt);
    }
    return items;
}

std::optional<TableScan> ScanTables(const std::string& dir)
{
    TableScan scan;
    for (size_t i = 0; i < kTableFiles; ++i) {
        const auto bytes = ReadWholeFile(dir + TableFileName(i));
        if (!bytes)
            return std::nullopt;
        auto entries = ParseTableFile(*bytes);
        if (!entries)
            return std::nullopt;
        scan.entries.insert(scan.entries.end(), entries->begin(), entries->end());
    }
    const auto concat = ReadWholeFile(dir + kConcatFileName);
    if (!concat)
        return scan;  // nothing to fetch
    auto entries = ParseConcatFile(*concat);
    if (!entries)
        return std::nullopt;
    scan.concat = std::move(*entries);
    for (const TableEntry& e : scan.entries) {
        if (!e.inUse() || e.item() > kMaxItem)
            continue;
        if (!e.concatenated) {
            scan.itemFiles.insert(e.item() / kItemsPerFile);
            continue;
        }
        if (e.concatIndex >= scan.concat.size())
            continue;  // names no entry of the table
        for (const auto item : PartItems(scan.concat[e.concatIndex]))
            if (item)
                scan.itemFiles.insert(*item / kItemsPerFile);
    }
    return scan;
}

}  // namespace messages

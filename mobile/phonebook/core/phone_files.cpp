#include "mobile/phonebook/core/phone_files.h"

#include "platform/clock.h"

#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>

namespace phonebook {

namespace {

[[nodiscard]] uint16_t GetBe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// The next line of text (without its CR LF); false at the end.
bool NextLine(std::string_view& text, std::string_view& line)
{
    if (text.empty())
        return false;
    const size_t end = text.find('\n');
    line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

// A decimal number as the C library's atoi reads it: leading blanks, an
// optional sign, digits; 0 when there are none.
[[nodiscard]] int Decimal(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    int v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    (void)p;
    return ec == std::errc{} ? v : 0;
}

[[nodiscard]] std::optional<int> StrictDecimal(std::string_view s)
{
    int v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || p != s.data() + s.size() || v < 0)
        return std::nullopt;
    return v;
}

}  // namespace

SlotTable ParseSmpbtab(std::span<const uint8_t> data)
{
    SlotTable t;
    if (data.empty())
        return t;
    if (data.size() != kSmpbtabSize) {
        t.fileCount = -1;
        return t;
    }
    size_t last = 0;  // 1 + the last used entry
    for (size_t i = 0; i < kSmpbtabEntries; ++i) {
        t.used[i] = GetBe16(data.data() + i * kSmpbtabEntrySize) != kFreeEntry;
        if (t.used[i])
            last = i + 1;
    }
    t.fileCount = static_cast<int>((last + kRecordsPerFile - 1) / kRecordsPerFile);
    return t;
}

std::optional<ContactRecord> RecordFromFile(std::span<const uint8_t> file, size_t k)
{
    if (file.size() != kRecordFileSize || k >= kRecordsPerFile)
        return std::nullopt;
    ContactRecord r{};
    r.memory = kMemoryHandset;
    std::memcpy(r.bytes().data() + 1, file.data() + k * kPhoneRecordSize, kPhoneRecordSize);
    HandsetFieldsToPc(r);
    return r;
}

std::optional<SimPhonebook> ParsePbSim(std::string_view text)
{
    std::string_view line;
    if (!NextLine(text, line))
        return std::nullopt;
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const auto capacity = StrictDecimal(line.substr(0, comma));
    const auto used = StrictDecimal(line.substr(comma + 1));
    if (!capacity || !used)
        return std::nullopt;
    SimPhonebook pb;
    pb.capacity = *capacity;
    pb.used = *used;
    for (int i = 0; i < pb.used; ++i) {
        if (!NextLine(text, line))
            return std::nullopt;
        SimLine e;
        const size_t c1 = line.find(',');
        const size_t c2 = c1 == std::string_view::npos ? c1 : line.find(',', c1 + 1);
        if (c2 == std::string_view::npos)
            return std::nullopt;
        e.index = Decimal(line.substr(0, c1));
        e.number = std::string(line.substr(c1 + 1, std::min<size_t>(c2 - c1 - 1, SpecOf(Field::SimNumber).maxChars)));
        // The name is the rest of the line: it may itself hold commas.
        ContactRecord scratch{};
        (void)SetText(scratch, Field::SimName, line.substr(c2 + 1));
        e.name = GetText(scratch, Field::SimName);
        GsmToPc(e.name);
        pb.entries.push_back(std::move(e));
    }
    return pb;
}

std::vector<uint8_t> UploadRecord(const ContactRecord& r)
{
    if (r.memory == kMemorySim) {
        std::vector<uint8_t> out(kSimUploadSize, 0);
        std::string name = GetText(r, Field::SimName);
        const std::string number = GetText(r, Field::SimNumber);
        PcToGsm(name);
        std::memcpy(out.data(), name.data(), std::min<size_t>(name.size(), 50));
        std::memcpy(out.data() + 51, number.data(), std::min<size_t>(number.size(), 41));
        return out;
    }
    ContactRecord copy = r;
    HandsetFieldsToPhone(copy);
    const auto bytes = copy.bytes();
    return std::vector<uint8_t>(bytes.begin() + 1, bytes.end());
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return data;
}

bool WriteWholeFile(const std::string& path, std::span<const uint8_t> data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    return !out.fail();
}

std::optional<std::vector<uint8_t>> ReadTableFile(const std::string& path, int attempts)
{
    for (int i = 0; i < attempts; ++i) {
        if (auto data = ReadWholeFile(path))
            return data;
        if (i + 1 < attempts)
            plat::Sleep(10);
    }
    return std::nullopt;
}

}  // namespace phonebook

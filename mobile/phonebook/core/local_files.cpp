#include "mobile/phonebook/core/local_files.h"

#include "resources/strings.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace phonebook {

namespace {

constexpr char kPhbKind[] = "PHONEBOOK";
constexpr char kPhbModel[] = "V318";
constexpr size_t kCsvMaxRecordChars = 2046;
constexpr size_t kCsvMaxFields = 101;

constexpr int kCaptionIds[kCsvColumns] = {
    res::IDS_FIELD_NAME, res::IDS_MOBILE,   res::IDS_HOME,    res::IDS_OFFICE,  res::IDS_FAX,
    res::IDS_OTHER,      res::IDS_E_MAIL,   res::IDS_COMPANY, res::IDS_ADDRESS, res::IDS_POSTCODE,
    res::IDS_NOTE,       res::IDS_BIRTHDAY, res::IDS_GROUP,   res::IDS_MEMORY,  res::IDS_DEFAULT_NUMBER,
};

constexpr Field kCsvDetails[] = {Field::Detail6, Field::Detail7,  Field::Detail8,
                                 Field::Detail9, Field::Detail10, Field::Detail11};

void PutLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

[[nodiscard]] uint16_t GetLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void AppendQuoted(std::string& out, std::string_view field)
{
    out += '"';
    for (const char c : field) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
}

// The value of a decimal field as atoi reads it, limited to 0..cap.
[[nodiscard]] int CappedDecimal(std::string_view s, int cap)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    long v = 0;
    (void)std::from_chars(s.data(), s.data() + s.size(), v);
    return static_cast<int>(std::clamp<long>(v, 0, cap));
}

}  // namespace

std::vector<uint8_t> EncodePhb(std::span<const ContactRecord* const> records)
{
    std::vector<uint8_t> out(kPhbHeaderSize, 0);
    std::memcpy(out.data(), kPhbKind, sizeof kPhbKind - 1);
    std::memcpy(out.data() + 12, kPhbModel, sizeof kPhbModel - 1);
    PutLe16(out.data() + 24, 1);
    out.reserve(kPhbHeaderSize + records.size() * sizeof(ContactRecord));
    for (const ContactRecord* r : records) {
        const auto b = r->bytes();
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

std::optional<std::vector<ContactRecord>> DecodePhb(std::span<const uint8_t> data)
{
    if (data.size() < kPhbHeaderSize || std::memcmp(data.data(), kPhbKind, sizeof kPhbKind - 1) != 0)
        return std::nullopt;
    const uint16_t version = GetLe16(data.data() + 24);
    if (version != 1 && version != 2)
        return std::nullopt;
    const size_t size = version == 1 ? sizeof(ContactRecord) : kPhbV2RecordSize;
    const size_t count = (data.size() - kPhbHeaderSize) / size;
    std::vector<ContactRecord> records(count);
    for (size_t i = 0; i < count; ++i) {
        records[i] = ContactRecord{};
        std::memcpy(records[i].bytes().data(), data.data() + kPhbHeaderSize + i * size, size);
    }
    return records;
}

std::span<const int, kCsvColumns> CsvCaptionIds()
{
    return std::span<const int, kCsvColumns>(kCaptionIds);
}

std::string EncodeCsv(std::span<const ContactRecord* const> records, std::span<const std::string, kCsvColumns> captions)
{
    std::string out;
    for (int c = 0; c < kCsvColumns; ++c) {
        out += captions[static_cast<size_t>(c)];
        out += c + 1 < kCsvColumns ? "," : "\r\n";
    }
    for (const ContactRecord* r : records) {
        if (r->memory == kMemorySim) {
            AppendQuoted(out, GetText(*r, Field::SimName));
            out += ',';
            AppendQuoted(out, GetText(*r, Field::SimNumber));
            for (int c = 0; c < 11; ++c)
                out += ",\"\"";
            out += ",\"0\",\"\"\r\n";
            continue;
        }
        // Numbers go to the column of their kind when it is free, the others
        // to the first free column; the default number is named by the
        // column it landed in, so that reading the file back keeps it.
        std::array<int, kNumberCount> columnOf{};
        columnOf.fill(-1);
        std::array<bool, kNumberCount> taken{};
        for (int i = 0; i < kNumberCount; ++i) {
            const int kind = r->numbers[i].kind;
            if (HasNumber(*r, i) && kind >= 1 && kind <= kNumberCount && !taken[static_cast<size_t>(kind - 1)]) {
                columnOf[static_cast<size_t>(i)] = kind - 1;
                taken[static_cast<size_t>(kind - 1)] = true;
            }
        }
        for (int i = 0; i < kNumberCount; ++i) {
            if (!HasNumber(*r, i) || columnOf[static_cast<size_t>(i)] >= 0)
                continue;
            const auto free = std::find(taken.begin(), taken.end(), false);
            columnOf[static_cast<size_t>(i)] = static_cast<int>(free - taken.begin());
            *free = true;
        }
        std::array<std::string, kNumberCount> columns;
        for (int i = 0; i < kNumberCount; ++i)
            if (columnOf[static_cast<size_t>(i)] >= 0)
                columns[static_cast<size_t>(columnOf[static_cast<size_t>(i)])] = GetNumber(*r, i);
        int defaultColumn = r->defaultNumber;
        if (r->defaultNumber >= 1 && r->defaultNumber <= kNumberCount &&
            columnOf[static_cast<size_t>(r->defaultNumber - 1)] >= 0)
            defaultColumn = columnOf[static_cast<size_t>(r->defaultNumber - 1)] + 1;

        AppendQuoted(out, GetText(*r, Field::Name));
        for (const auto& n : columns) {
            out += ',';
            AppendQuoted(out, n);
        }
        for (Field f : kCsvDetails) {
            out += ',';
            AppendQuoted(out, GetText(*r, f));
        }
        out += ',';
        AppendQuoted(out, std::to_string(r->group));
        out += ",\"1\",";
        AppendQuoted(out, std::to_string(defaultColumn));
        out += "\r\n";
    }
    return out;
}

std::optional<CsvTable> ReadCsv(std::string_view bytes)
{
    std::string converted;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        converted = Utf8ToPc(bytes.substr(3));
        bytes = converted;
    }
    CsvTable table;
    bool haveHeader = false;
    std::vector<std::string> fields;
    std::string field;
    size_t recordChars = 0;
    bool quoted = false;
    bool any = false;  // the record has a character

    auto endRecord = [&] {
        if (!any)
            return;
        fields.push_back(std::move(field));
        field.clear();
        if (!haveHeader) {
            table.header = std::move(fields);
            haveHeader = true;
        } else {
            if (fields.size() > kCsvMaxFields)
                fields.resize(kCsvMaxFields);
            table.records.push_back(std::move(fields));
        }
        fields.clear();
        recordChars = 0;
        any = false;
    };

    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (!quoted && (c == '\r' || c == '\n')) {
            endRecord();
            continue;
        }
        any = true;
        if (++recordChars > kCsvMaxRecordChars) {
            table.stopped = true;
            fields.clear();
            field.clear();
            any = false;
            break;
        }
        if (c == '"') {
            // Inside quotes a doubled quote is one quote character.
            if (quoted && i + 1 < bytes.size() && bytes[i + 1] == '"') {
                field += '"';
                ++i;
                ++recordChars;
            } else {
                quoted = !quoted;
            }
        } else if (c == ',' && !quoted) {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' || c == '\n') {
            field += ' ';
        } else {
            field += c;
        }
    }
    endRecord();
    if (!haveHeader || table.header.size() != static_cast<size_t>(kCsvColumns))
        return std::nullopt;
    return table;
}

CsvMapping DefaultCsvMapping(const CsvTable& table, std::span<const std::string, kCsvColumns> captions)
{
    CsvMapping m;
    m.fill(kCsvUnmapped);
    for (int c = 0; c < kCsvMappable && static_cast<size_t>(c) < table.header.size(); ++c)
        for (int f = 0; f < kCsvMappable; ++f)
            if (table.header[static_cast<size_t>(c)] == captions[static_cast<size_t>(f)]) {
                m[static_cast<size_t>(c)] = f;
                break;
            }
    return m;
}

std::optional<std::string> CleanNumber(std::string_view text, size_t maxChars)
{
    std::string out;
    for (const char c : text) {
        if (c == ' ' || c == '-' || c == '.' || c == '(' || c == ')' || c == '\t')
            continue;
        out += c;
    }
    if (out.empty() || out.size() > maxChars || !OnlyFrom(out, kDialTyping))
        return std::nullopt;
    return out;
}

ImportResult RecordsFromCsv(const CsvTable& table, const CsvMapping& mapping)
{
    ImportResult result;
    // The first column mapped to each field.
    std::array<int, kCsvMappable> columnOf{};
    columnOf.fill(-1);
    for (int c = kCsvMappable - 1; c >= 0; --c) {
        const int f = mapping[static_cast<size_t>(c)];
        if (f >= 0 && f < kCsvMappable)
            columnOf[static_cast<size_t>(f)] = c;
    }

    int entry = 0;
    for (const auto& raw : table.records) {
        ++entry;
        std::vector<std::string> rec = raw;
        const std::string last = rec.empty() ? std::string() : rec.back();
        if (rec.size() < static_cast<size_t>(kCsvMappable))
            rec.resize(kCsvMappable);
        auto value = [&](int f) -> std::string {
            const int c = columnOf[static_cast<size_t>(f)];
            return c < 0 ? std::string() : rec[static_cast<size_t>(c)];
        };
        const std::string memory = value(kCsvMemory);
        const bool sim = columnOf[kCsvMemory] >= 0 && memory == "0";

        ContactRecord r = sim ? NewSimRecord({}, {}) : NewHandsetRecord();
        auto note = [&](ImportNote::Kind kind, int label, std::string v) {
            result.notes.push_back({entry, DisplayName(r), kind, label, std::move(v)});
        };
        auto putText = [&](Field f, std::string text, bool gsm, int label) {
            if (gsm)
                GsmToPc(text);
            if (!SetText(r, f, text))
                note(ImportNote::Cut, label, text);
        };

        if (sim) {
            putText(Field::SimName, value(kCsvName), true, res::IDS_FIELD_NAME);
            for (int j = 0; j < kNumberCount; ++j) {
                const std::string n = value(kCsvFirstNumber + j);
                if (n.empty())
                    continue;
                const auto clean = CleanNumber(n, kNumberFieldChars);
                if (!clean) {
                    note(ImportNote::NumberDropped, KindLabel(j + 1), n);
                    continue;
                }
                if (clean->size() > 20)
                    note(ImportNote::Cut, res::IDS_NUMBER, *clean);
                (void)SetText(r, Field::SimNumber, clean->substr(0, 20));
                break;
            }
            result.records.push_back(r);
            continue;
        }

        putText(Field::Name, value(kCsvName), true, res::IDS_FIELD_NAME);
        for (int j = 0; j < kNumberCount; ++j) {
            const std::string n = value(kCsvFirstNumber + j);
            if (n.empty())
                continue;
            const auto clean = CleanNumber(n, kNumberFieldChars);
            if (!clean || !SetNumber(r, j, *clean, static_cast<uint8_t>(j + 1))) {
                note(ImportNote::NumberDropped, KindLabel(j + 1), n);
                continue;
            }
            r.defaultField = kDefaultIsNumber;
        }
        r.defaultNumber = static_cast<uint8_t>(CappedDecimal(last, kNumberCount));
        for (int d = 0; d < 6; ++d) {
            const Field f = kCsvDetails[d];
            const bool gsm = f != Field::Detail11;
            putText(f, value(kCsvFirstDetail + d), gsm, KindLabel(kKindFirstDetail + d));
        }
        r.group = static_cast<uint8_t>(CappedDecimal(value(kCsvGroup), kGroupCount - 1));
        NormaliseDefault(r);
        result.records.push_back(r);
    }
    if (table.stopped)
        result.notes.push_back({entry + 1, {}, ImportNote::Stopped, 0, {}});
    return result;
}

}  // namespace phonebook

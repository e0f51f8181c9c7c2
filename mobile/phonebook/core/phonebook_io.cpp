#include "mobile/phonebook/core/phonebook_io.h"

#include "mobile/phonebook/core/vcard.h"
#include "resources/strings.h"

#include <algorithm>
#include <cctype>

namespace phonebook {

FileKind KindOfPath(const std::string& path)
{
    if (path.size() < 3)
        return FileKind::Unknown;
    std::string ext = path.substr(path.size() - 3);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "phb")
        return FileKind::Phb;
    if (ext == "csv")
        return FileKind::Csv;
    if (ext == "vcf")
        return FileKind::Vcard;
    return FileKind::Unknown;
}

std::array<std::string, kCsvColumns> CsvCaptions(const TextFn& text)
{
    std::array<std::string, kCsvColumns> captions;
    const auto ids = CsvCaptionIds();
    for (size_t c = 0; c < captions.size(); ++c)
        captions[c] = Utf8ToPc(text(ids[c]));
    return captions;
}

int ExportFile(const PhonebookStore& store, const std::string& path, const TextFn& text)
{
    std::vector<const ContactRecord*> records;
    for (const auto& e : store.entries())
        records.push_back(e.record.get());
    std::vector<uint8_t> bytes;
    auto fromText = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    switch (KindOfPath(path)) {
    case FileKind::Phb: bytes = EncodePhb(records); break;
    case FileKind::Csv: bytes = fromText(EncodeCsv(records, CsvCaptions(text))); break;
    case FileKind::Vcard: bytes = fromText(EncodeVcards(records, text)); break;
    case FileKind::Unknown: return res::IDS_PHONEBOOK_SAVE_FAILED;
    }
    return WriteWholeFile(path, bytes) ? 0 : res::IDS_PHONEBOOK_SAVE_FAILED;
}

ReadOutcome ReadImportFile(const std::string& path, const TextFn& text, const CsvMapper& mapper)
{
    ReadOutcome out;
    const FileKind kind = KindOfPath(path);
    if (kind == FileKind::Unknown) {
        out.message = res::IDS_NOT_PHONEBOOK_FILE;
        return out;
    }
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        out.message = kind == FileKind::Csv ? res::IDS_CSV_HEADER_FAILED : res::IDS_NOT_PHONEBOOK_FILE;
        return out;
    }
    const std::string_view textBytes(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    switch (kind) {
    case FileKind::Phb: {
        const auto records = DecodePhb(*bytes);
        if (!records) {
            out.message = res::IDS_NOT_PHONEBOOK_FILE;
            return out;
        }
        int entry = 0;
        for (const ContactRecord& r : *records) {
            ++entry;
            if (r.memory == kMemorySim || r.memory == kMemoryHandset)
                out.result.records.push_back(r);
            else
                out.result.notes.push_back(
                    {entry, DisplayName(r), ImportNote::EntryDropped, res::IDS_PB_UNKNOWN_MEMORY, {}});
        }
        return out;
    }
    case FileKind::Csv: {
        const auto table = ReadCsv(textBytes);
        if (!table) {
            out.message = res::IDS_CSV_HEADER_FAILED;
            return out;
        }
        const CsvMapping preset = DefaultCsvMapping(*table, CsvCaptions(text));
        const auto mapping = mapper ? mapper(*table, preset) : std::optional<CsvMapping>(preset);
        if (!mapping) {
            out.cancelled = true;
            return out;
        }
        out.result = RecordsFromCsv(*table, *mapping);
        return out;
    }
    case FileKind::Vcard:
        out.result = DecodeVcards(textBytes, text);
        if (out.result.records.empty() && out.result.notes.empty())
            out.message = res::IDS_NOT_PHONEBOOK_FILE;
        return out;
    case FileKind::Unknown: break;
    }
    return out;
}

void ApplyImport(PhonebookStore& store, const ImportResult& result, bool replace)
{
    if (replace)
        store.removeAll();
    for (const ContactRecord& r : result.records)
        (void)store.add(r);
}

}  // namespace phonebook

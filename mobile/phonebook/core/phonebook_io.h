#pragma once
// Export and import of the whole phonebook through a local file whose
// extension names its form: .phb, .csv or .vcf. Both front ends use these.

#include "mobile/phonebook/core/import_report.h"
#include "mobile/phonebook/core/local_files.h"
#include "mobile/phonebook/core/phonebook_store.h"

#include <functional>
#include <optional>
#include <string>

namespace phonebook {

enum class FileKind { Phb, Csv, Vcard, Unknown };

// The last three characters of the path, in any case.
[[nodiscard]] FileKind KindOfPath(const std::string& path);

// Writes every entry in list order. 0, or the message id of the failure
// (an unknown extension or a file that could not be written).
[[nodiscard]] int ExportFile(const PhonebookStore& store, const std::string& path, const TextFn& text);

// Asked once the CSV header is read: the mapping to use, preset from the
// captions; nothing when the user cancels.
using CsvMapper = std::function<std::optional<CsvMapping>(const CsvTable& table, const CsvMapping& preset)>;

struct ReadOutcome {
    int message = 0;  // 0, or the id of the message that says why the file was refused
    bool cancelled = false;
    ImportResult result;  // records with memory 0 or 1, and the notes
};

// Reads an import file; the store is not touched.
[[nodiscard]] ReadOutcome ReadImportFile(const std::string& path, const TextFn& text, const CsvMapper& mapper);

// Adds the records as new entries (each takes the lowest free slot).
// With replace, every entry is removed first: those on the phone are
// deleted from it at the next write-back.
void ApplyImport(PhonebookStore& store, const ImportResult& result, bool replace);

// The captions of the CSV header in the PC code page.
[[nodiscard]] std::array<std::string, kCsvColumns> CsvCaptions(const TextFn& text);

}  // namespace phonebook

// CSV files: a table or a refusal; entries of a table encode and read back
// without a crash.
#include "mobile/phonebook/core/local_files.h"

#include <array>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto table = phonebook::ReadCsv({reinterpret_cast<const char*>(data), size});
    if (!table)
        return 0;
    std::array<std::string, phonebook::kCsvColumns> captions;
    for (int c = 0; c < phonebook::kCsvColumns; ++c)
        captions[static_cast<size_t>(c)] = "c" + std::to_string(c);
    phonebook::CsvMapping identity;
    for (int c = 0; c < phonebook::kCsvMappable; ++c)
        identity[static_cast<size_t>(c)] = c;
    const auto result = phonebook::RecordsFromCsv(*table, identity);
    std::vector<const phonebook::ContactRecord*> ptrs;
    for (const auto& r : result.records)
        ptrs.push_back(&r);
    (void)phonebook::ReadCsv(phonebook::EncodeCsv(ptrs, captions));
    (void)phonebook::DefaultCsvMapping(*table, captions);
    return 0;
}

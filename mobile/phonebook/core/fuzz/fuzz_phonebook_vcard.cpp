// vCards from anywhere: entries and notes, never a crash; the entries
// found export again and read back to as many entries.
#include "mobile/phonebook/core/vcard.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const phonebook::TextFn text = [](int id) { return "label" + std::to_string(id); };
    const auto result = phonebook::DecodeVcards({reinterpret_cast<const char*>(data), size}, text);
    std::vector<const phonebook::ContactRecord*> ptrs;
    for (const auto& r : result.records)
        ptrs.push_back(&r);
    const auto again = phonebook::DecodeVcards(phonebook::EncodeVcards(ptrs, text), text);
    if (again.records.size() != result.records.size())
        std::abort();
    return 0;
}

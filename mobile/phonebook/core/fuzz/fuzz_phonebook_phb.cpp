// The program's phonebook file: records or a refusal; what it reads writes
// back to the same bytes.
#include "mobile/phonebook/core/local_files.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto records = phonebook::DecodePhb({data, size});
    if (!records)
        return 0;
    std::vector<const phonebook::ContactRecord*> ptrs;
    for (const auto& r : *records)
        ptrs.push_back(&r);
    const auto again = phonebook::DecodePhb(phonebook::EncodePhb(ptrs));
    if (!again || again->size() != records->size() ||
        (!records->empty() &&
         std::memcmp(again->data(), records->data(), records->size() * sizeof(phonebook::ContactRecord)) != 0))
        std::abort();
    return 0;
}

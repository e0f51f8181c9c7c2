// The SIM phonebook file the link writes: entries or nothing; a parsed
// phonebook loads into a store.
#include "mobile/phonebook/core/phonebook_store.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto pb = phonebook::ParsePbSim({reinterpret_cast<const char*>(data), size});
    if (!pb)
        return 0;
    if (pb->entries.size() != static_cast<size_t>(pb->used))
        std::abort();
    phonebook::PhonebookStore store;
    for (const auto& e : pb->entries)
        (void)store.add(phonebook::NewSimRecord(e.name, e.number), e.index);
    (void)store.nameForNumber("13800001111");
    return 0;
}

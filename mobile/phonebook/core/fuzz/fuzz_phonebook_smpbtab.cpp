// The phone's slot table: a table or a clear error (-1), never a read past
// the data; the file count always fits the 500 slots.
#include "mobile/phonebook/core/phone_files.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto t = phonebook::ParseSmpbtab({data, size});
    if (t.fileCount < -1 || t.fileCount > 25)
        std::abort();
    return 0;
}

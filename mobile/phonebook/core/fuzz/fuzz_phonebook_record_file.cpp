// Handset record files: every record of a well-sized file decodes, its
// texts and numbers read within their fields.
#include "mobile/phonebook/core/phone_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (size_t k = 0; k < phonebook::kRecordsPerFile; ++k) {
        const auto r = phonebook::RecordFromFile({data, size}, k);
        if (!r)
            return 0;
        (void)phonebook::DisplayName(*r);
        for (int i = 0; i < phonebook::kNumberCount; ++i)
            (void)phonebook::GetNumber(*r, i);
        (void)phonebook::UploadRecord(*r);
    }
    return 0;
}

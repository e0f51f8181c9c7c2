// One item file: its 20 items or nothing; texts stay within their fields
// and convert to the PC code page.
#include "mobile/messages/core/handset_files.h"
#include "quorlink/codecs/pdu_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto items = messages::ParseItemFile({data, size});
    if (!items)
        return 0;
    for (const auto& item : *items) {
        if (item.text.size() > 167 || item.number.size() > 41)
            std::abort();
        (void)quorlink::codecs::PhoneTextToAnsi(item.text);
    }
    return 0;
}

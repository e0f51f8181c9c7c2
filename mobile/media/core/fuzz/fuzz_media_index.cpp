// Any bytes as the local copy of any media index file: rows or nothing,
// never a read past the bytes given, whatever the counts in a trailer say.
#include "mobile/media/core/media_listing.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    for (media::MediaList list : media::kAllMediaLists) {
        for (bool locked : {false, true})
            (void)media::ListRows(list, bytes, locked);
    }
    return 0;
}

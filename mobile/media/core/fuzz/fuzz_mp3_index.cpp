// Any bytes as the MP3 index read from flash: valid or not, the rows come
// out with names inside their field, and a repaired index is valid.
#include "mobile/media/core/mp3_index.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace media;
    media::Mp3Index index{};
    if (size > 0)
        std::memcpy(index.data(), data, std::min(size, index.size()));
    const bool valid = Mp3IndexValid(std::span(data, size));
    const auto rows = Mp3Rows(valid ? index : FreshMp3Index());
    if (rows.size() != kMp3Slots)
        std::abort();
    for (const MediaRow& r : rows)
        if (r.used && r.size > kMp3SlotBytes)
            std::abort();
    if (!Mp3IndexValid(FreshMp3Index()))
        std::abort();
    return 0;
}

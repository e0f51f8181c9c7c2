// The handset's table files: the five smstab files and smsconcattab cut
// from the input, scanned as a read would; the item files found stay
// within the 66 the phone has.
#include "mobile/messages/core/handset_files.h"

#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> in(data, size);
    using namespace messages;
    if (const auto t = ParseTableFile(in.first(std::min(size, kTableFileSize))))
        if (t->size() != kTableEntries)
            std::abort();
    const auto concat = ParseConcatFile(in);
    if (!concat)
        return 0;
    for (const auto& entry : *concat)
        for (const auto item : PartItems(entry))
            if (item && *item > kMaxItem)
                std::abort();
    return 0;
}

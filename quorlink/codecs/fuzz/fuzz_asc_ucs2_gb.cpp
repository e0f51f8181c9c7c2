// AscUcs2GBString on arbitrary text and limits, with the output buffer of
// the documented size (2 * groups + 1 bytes).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorlink/codecs/ucs2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int limit = data[0];
    std::vector<char> in(data + 1, data + size);
    in.push_back(0);
    const std::size_t groups = std::min<std::size_t>(std::strlen(in.data()) / 4, static_cast<std::size_t>(limit));
    std::vector<char> out(2 * groups + 1);
    CUcs2::AscUcs2GBString(in.data(), out.data(), limit);

    std::vector<char> hex(static_cast<std::size_t>(limit) + 1);
    std::vector<char> mixed(data + 1, data + size);
    mixed.push_back(0);
    CUcs2::AscGB2UcsString(mixed.data(), hex.data(), limit);
    if (std::strlen(hex.data()) % 4 != 0)
        std::abort();
    return 0;
}

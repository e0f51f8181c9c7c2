// GB2UcsString on arbitrary mixed phone text, then back with Ucs2GBString,
// each into buffers of exactly the documented size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorlink/codecs/ucs2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<unsigned char> in(data, data + size);
    in.push_back(0);
    const std::size_t length = std::strlen(reinterpret_cast<const char*>(in.data()));
    std::vector<unsigned short> ucs2(length + 1);
    CUcs2::GB2UcsString(in.data(), ucs2.data());
    std::size_t values = 0;
    while (ucs2[values] != 0)
        ++values;
    if (values > length)
        std::abort();
    std::vector<unsigned char> back(2 * values + 1);
    CUcs2::Ucs2GBString(ucs2.data(), back.data());
    return 0;
}

// PosixToString on arbitrary text in a buffer of exactly its size: the
// result stays within the buffer, and an encoding of a decoded name
// decodes again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorlink/codecs/phone_strings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<char> buf(data, data + size);
    buf.push_back(0);
    const std::size_t before = std::strlen(buf.data());
    const int n = PosixToString(buf.data());
    if (n < 0 || static_cast<std::size_t>(n) > before)
        std::abort();
    if (n > 0 && std::strlen(buf.data()) != static_cast<std::size_t>(n))
        std::abort();

    std::vector<char> name(data, data + std::min<std::size_t>(size, 49));
    name.push_back(0);
    const std::size_t length = std::strlen(name.data());
    name.resize((8 * length + 2) / 3 + 1);
    StringToPosix(name.data());
    const std::size_t encoded = std::strlen(name.data());
    if (length > 0 && encoded % 8 != 0 && encoded % 8 != 3 && encoded % 8 != 6)
        std::abort();
    PosixToString(name.data());
    return 0;
}

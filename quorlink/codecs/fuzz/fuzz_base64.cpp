// Base64 decoding of arbitrary text: a value or nothing, and whatever
// decodes must encode back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "quorlink/codecs/base64.h"

namespace qc = quorlink::codecs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto bytes = qc::Base64Decode(text);
    if (bytes.size() > qc::Base64DecodedMax(size))
        std::abort();
    std::uint8_t small[7];
    const std::size_t n = qc::Base64Decode(text, small);
    if (n > sizeof small || n != std::min(bytes.size(), sizeof small))
        std::abort();
    if (qc::Base64Decode(qc::Base64Encode(bytes)) != bytes)
        std::abort();
    return 0;
}

#include "base64.h"

#include "quorlink/codecs/base64.h"

namespace simphone {

std::string Base64Encode(std::span<const uint8_t> d)
{
    return quorlink::codecs::Base64Encode(d);
}

std::optional<std::vector<uint8_t>> Base64Decode(std::string_view t)
{
    // The codecs' decoder skips "=" wherever it stands; the handset takes it
    // only as the padding of the last group.
    size_t pad = 0;
    while (pad < 2 && pad < t.size() && t[t.size() - 1 - pad] == '=')
        ++pad;
    const std::string_view body = t.substr(0, t.size() - pad);
    if ((body.size() + pad) % 4 != 0)
        return std::nullopt;
    if (pad > 0 && body.size() % 4 != 4 - pad)
        return std::nullopt;
    if (body.find('=') != std::string_view::npos)
        return std::nullopt;
    // A body of two or more characters always yields bytes unless one of them
    // is outside the alphabet.
    auto bytes = quorlink::codecs::Base64Decode(body);
    if (!body.empty() && bytes.empty())
        return std::nullopt;
    return bytes;
}

uint8_t BlockCheck(std::span<const uint8_t> data)
{
    return quorlink::codecs::BlockCheck(data);
}

}  // namespace simphone

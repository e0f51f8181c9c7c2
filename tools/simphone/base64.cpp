#include "base64.h"

#include "quorlink/codecs/base64.h"

namespace simphone {
namespace {
int Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
}  // namespace

std::string Base64Encode(std::span<const uint8_t> d) { return quorlink::codecs::Base64Encode(d); }

std::optional<std::vector<uint8_t>> Base64Decode(std::string_view t) {
    size_t pad = 0;
    while (pad < 2 && pad < t.size() && t[t.size() - 1 - pad] == '=') ++pad;
    const std::string_view body = t.substr(0, t.size() - pad);
    if ((body.size() + pad) % 4 != 0) return std::nullopt;
    if (pad > 0 && body.size() % 4 != 4 - pad) return std::nullopt;
    for (char c : body)
        if (Value(c) < 0) return std::nullopt;
    return quorlink::codecs::Base64Decode(t);
}

uint8_t BlockCheck(std::span<const uint8_t> data) { return quorlink::codecs::BlockCheck(data); }

}  // namespace simphone

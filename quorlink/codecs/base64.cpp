#include "quorlink/codecs/base64.h"

#include <array>

namespace quorlink::codecs {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> MakeReverse()
{
    std::array<std::int8_t, 256> r{};
    for (auto& v : r)
        v = -1;
    for (int i = 0; i < 64; ++i)
        r[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    return r;
}
constexpr std::array<std::int8_t, 256> kReverse = MakeReverse();

template <typename Sink>
void EncodeInto(std::span<const std::uint8_t> data, Sink put)
{
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const unsigned v = data[i] << 16 | data[i + 1] << 8 | data[i + 2];
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(kAlphabet[v & 63]);
    }
    const std::size_t rest = data.size() - i;
    if (rest == 1) {
        const unsigned v = data[i] << 16;
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put('=');
        put('=');
    } else if (rest == 2) {
        const unsigned v = data[i] << 16 | data[i + 1] << 8;
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put('=');
    }
}

bool Valid(std::string_view text)
{
    for (char c : text)
        if (c != '=' && kReverse[static_cast<unsigned char>(c)] < 0)
            return false;
    return true;
}

template <typename Sink>
void DecodeInto(std::string_view text, Sink put)
{
    unsigned acc = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=')
            continue;
        acc = (acc << 6 | static_cast<unsigned>(kReverse[static_cast<unsigned char>(c)])) & 0xFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            if (!put(static_cast<std::uint8_t>(acc >> bits)))
                return;
        }
    }
}

}  // namespace

std::string Base64Encode(std::span<const std::uint8_t> data)
{
    std::string out;
    out.reserve(Base64EncodedLength(data.size()));
    EncodeInto(data, [&](char c) { out.push_back(c); });
    return out;
}

std::size_t Base64Encode(std::span<const std::uint8_t> data, std::span<char> out)
{
    const std::size_t need = Base64EncodedLength(data.size());
    if (out.size() <= need)
        return 0;
    std::size_t o = 0;
    EncodeInto(data, [&](char c) { out[o++] = c; });
    out[o] = 0;
    return o;
}

std::vector<std::uint8_t> Base64Decode(std::string_view text)
{
    std::vector<std::uint8_t> out;
    if (!Valid(text))
        return out;
    out.reserve(Base64DecodedMax(text.size()));
    DecodeInto(text, [&](std::uint8_t b) {
        out.push_back(b);
        return true;
    });
    return out;
}

std::size_t Base64Decode(std::string_view text, std::span<std::uint8_t> out)
{
    if (!Valid(text))
        return 0;
    std::size_t o = 0;
    DecodeInto(text, [&](std::uint8_t b) {
        if (o == out.size())
            return false;
        out[o++] = b;
        return true;
    });
    return o;
}

std::uint8_t BlockCheck(std::span<const std::uint8_t> block)
{
    std::uint8_t x = 0;
    for (std::uint8_t b : block)
        x ^= b;
    return x;
}

std::string BlockCheckBase64(std::span<const std::uint8_t> block)
{
    const std::uint8_t check = BlockCheck(block);
    return Base64Encode(std::span<const std::uint8_t>(&check, 1));
}

}  // namespace quorlink::codecs

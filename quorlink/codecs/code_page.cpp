#include "quorlink/codecs/code_page.h"

#include <algorithm>

#include "quorlink/codecs/gbk_tables.h"

namespace quorlink::codecs {

std::uint16_t GbkToUcs2(std::uint16_t code)
{
    const unsigned lead = code >> 8;
    const unsigned trail = code & 0xFF;
    if (!IsGbkLead(static_cast<unsigned char>(lead)) || !IsGbkTrail(static_cast<unsigned char>(trail)))
        return 0xFFFF;
    const unsigned column = trail <= 0x7E ? trail - 0x40 : trail - 0x41;
    return kGbkToUcs2[(lead - 0x81) * 190 + column];
}

std::uint16_t Ucs2ToGbk(std::uint16_t ucs2)
{
    const std::uint16_t* end = kUcs2Keys + kGbkPositions;
    const std::uint16_t* it = std::lower_bound(kUcs2Keys, end, ucs2);
    if (it == end || *it != ucs2)
        return 0xFFFF;
    return kGbkCodes[it - kUcs2Keys];
}

std::u16string AnsiToUcs2(std::string_view ansi)
{
    std::u16string out;
    out.reserve(ansi.size());
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const auto b = static_cast<unsigned char>(ansi[i]);
        if (b < 0x80) {
            out.push_back(b);
        } else if (b == kEuroByte) {
            out.push_back(kEuro);
        } else if (IsGbkLead(b) && i + 1 < ansi.size() && IsGbkTrail(static_cast<unsigned char>(ansi[i + 1]))) {
            out.push_back(GbkToUcs2(static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(ansi[i + 1]))));
            ++i;
        } else {
            out.push_back(kReplacement);
        }
    }
    return out;
}

int Ucs2ToAnsiChar(std::uint16_t ucs2, char out[2])
{
    if (ucs2 < 0x80) {
        out[0] = static_cast<char>(ucs2);
        return 1;
    }
    if (ucs2 == kEuro) {
        out[0] = static_cast<char>(kEuroByte);
        return 1;
    }
    const std::uint16_t code = Ucs2ToGbk(ucs2);
    if (code == 0xFFFF) {
        out[0] = static_cast<char>(kReplacement);
        return 1;
    }
    out[0] = static_cast<char>(code >> 8);
    out[1] = static_cast<char>(code & 0xFF);
    return 2;
}

std::string Ucs2ToAnsi(std::u16string_view ucs2)
{
    std::string out;
    out.reserve(ucs2.size() * 2);
    for (char16_t c : ucs2) {
        char bytes[2];
        out.append(bytes, Ucs2ToAnsiChar(c, bytes));
    }
    return out;
}

namespace {
constexpr bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}
}  // namespace

std::size_t DecodeUtf8(std::string_view in, std::uint16_t& out)
{
    if (in.empty())
        return 0;
    const auto b0 = static_cast<unsigned char>(in[0]);
    out = 0xFFFD;
    if (b0 < 0x80) {
        out = b0;
        return 1;
    }
    auto at = [&](std::size_t i) { return i < in.size() ? static_cast<unsigned char>(in[i]) : 0; };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (!IsContinuation(at(1)))
            return 1;
        out = static_cast<std::uint16_t>((b0 & 0x1F) << 6 | (at(1) & 0x3F));
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (!IsContinuation(at(1)) || !IsContinuation(at(2)))
            return 1;
        const unsigned v = (b0 & 0x0F) << 12 | (at(1) & 0x3F) << 6 | (at(2) & 0x3F);
        if (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF))
            return 1;
        out = static_cast<std::uint16_t>(v);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (!IsContinuation(at(1)) || !IsContinuation(at(2)) || !IsContinuation(at(3)))
            return 1;
        const unsigned v = (b0 & 0x07) << 18 | (at(1) & 0x3F) << 12 | (at(2) & 0x3F) << 6 | (at(3) & 0x3F);
        if (v < 0x10000 || v > 0x10FFFF)
            return 1;
        return 4;  // a valid character that UCS2 cannot hold
    }
    return 1;
}

int EncodeUtf8(std::uint16_t v, char out[3])
{
    if (v >= 0xD800 && v <= 0xDFFF)
        v = 0xFFFD;
    if (v < 0x80) {
        out[0] = static_cast<char>(v);
        return 1;
    }
    if (v < 0x800) {
        out[0] = static_cast<char>(0xC0 | (v >> 6));
        out[1] = static_cast<char>(0x80 | (v & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (v >> 12));
    out[1] = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (v & 0x3F));
    return 3;
}

std::u16string Utf8ToUcs2(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        std::uint16_t v;
        const std::size_t n = DecodeUtf8(utf8, v);
        out.push_back(v);
        utf8.remove_prefix(n);
    }
    return out;
}

std::string Ucs2ToUtf8(std::u16string_view ucs2)
{
    std::string out;
    out.reserve(ucs2.size() * 3);
    for (char16_t c : ucs2) {
        char bytes[3];
        out.append(bytes, EncodeUtf8(c, bytes));
    }
    return out;
}

}  // namespace quorlink::codecs

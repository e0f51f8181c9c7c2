#include "text.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/ucs2.h"

namespace simphone {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

// The alphabet is the codecs' one, read as a PDU's septets: code 0 is "@"
// (the codecs' 0x80 for mixed text), and the escape to the extension table
// (0x1B) stands for no character.
char16_t GsmToUnicode(uint8_t c)
{
    if (c == 0)
        return u'@';
    if (c >= 0x80 || c == 0x1B)
        return char16_t{0xFFFF};
    return CUcs2::Gsm0338ToUcs2(c);
}

std::optional<uint8_t> UnicodeToGsm(char16_t u)
{
    if (u == u'@')
        return 0;
    if (u == u'Ç')
        return 0x09;  // code 9 is shown as the small letter, but both are written with it
    if (u == 0 || u == 0xFFFF || !CUcs2::IsGsm0338(u))
        return std::nullopt;
    const uint8_t code = CUcs2::Ucs2ToGsm0338(u);
    if (code == 0 || code == 0x1B || code >= 0x80)
        return std::nullopt;
    return code;
}

std::u16string MixedToUcs2(std::string_view mixed)
{
    const std::string in(mixed.substr(0, mixed.find('\0')));
    std::vector<unsigned short> out(in.size() + 1, 0);
    CUcs2::GB2UcsString(reinterpret_cast<const unsigned char*>(in.c_str()), out.data());
    std::u16string text;
    for (size_t i = 0; i < out.size() && out[i] != 0; ++i)
        if (out[i] != 0xFFFF && out[i] != 0x00A0)
            text.push_back(static_cast<char16_t>(out[i]));
    return text;
}

std::string Ucs2ToMixed(std::u16string_view text)
{
    std::vector<unsigned short> in;
    for (char16_t u : text)
        if (u != 0)
            in.push_back(u);
    in.push_back(0);
    std::vector<unsigned char> out(2 * in.size() + 1, 0);
    CUcs2::Ucs2GBString(in.data(), out.data());
    std::string mixed;
    // A character neither alphabet holds comes out as 0xFF 0xFF: the handset shows "?".
    for (size_t i = 0; out[i] != 0; ++i) {
        if (out[i] == 0xFF && out[i + 1] == 0xFF) {
            mixed.push_back('?');
            ++i;
        } else {
            mixed.push_back(static_cast<char>(out[i]));
        }
    }
    return mixed;
}

std::u16string Utf8ToUcs2(std::string_view utf8)
{
    return quorlink::codecs::Utf8ToUcs2(utf8);
}
std::string Ucs2ToUtf8(std::u16string_view text)
{
    return quorlink::codecs::Ucs2ToUtf8(text);
}

std::string Ucs2ToHex(std::u16string_view text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char16_t u : text)
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(kDigits[(u >> shift) & 0xF]);
    return out;
}

std::optional<std::u16string> HexToUcs2(std::string_view hex)
{
    if (hex.size() % 4 != 0)
        return std::nullopt;
    std::u16string out;
    for (size_t i = 0; i < hex.size(); i += 4) {
        unsigned v = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int d = HexDigit(hex[i + k]);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + static_cast<unsigned>(d);
        }
        out.push_back(static_cast<char16_t>(v));
    }
    return out;
}

std::string BytesToHex(std::span<const uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0xF]);
    }
    return out;
}

std::optional<std::vector<uint8_t>> HexToBytes(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigit(hex[i]);
        const int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

std::string EncodeFileName(std::string_view ascii)
{
    const std::string in(ascii.substr(0, std::min<size_t>(ascii.size(), 49)));
    std::vector<char> buf((8 * in.size() + 2) / 3 + 2, 0);
    std::memcpy(buf.data(), in.data(), in.size());
    StringToPosix(buf.data());
    return buf.data();
}

std::optional<std::vector<uint8_t>> PackDialString(std::string_view number)
{
    if (number.size() > 20 || number.find_first_not_of("0123456789pw+*#") != std::string_view::npos)
        return std::nullopt;
    std::string s(number);
    std::vector<uint8_t> out(s.size() / 2 + 3, 0);
    dir6_1ascii2bcd(s.data(), out.data());
    out.resize(1 + s.size() / 2 + (s.size() % 2) + 1);
    return out;
}

std::string UnpackDialString(std::span<const uint8_t> in)
{
    if (in.size() < 2)
        return {};
    // Only as many characters as the field holds: two per byte after the count
    // (an odd last character takes a byte of its own, which also fits).
    std::vector<uint8_t> packed(in.begin(), in.end());
    packed[0] = static_cast<uint8_t>(std::min<size_t>(packed[0], 2 * (packed.size() - 1)));
    std::vector<char> s(packed[0] + 2u, 0);
    packed.push_back(0);
    dir6_2bcd2ascii(packed.data(), s.data());
    return s.data();
}

}  // namespace simphone

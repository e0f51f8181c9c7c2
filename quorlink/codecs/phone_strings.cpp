#include "quorlink/codecs/phone_strings.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/program_dir.h"
#include "quorlink/codecs/code_page.h"

namespace qc = quorlink::codecs;

namespace {

// The portable file-name characters in byte order, so encoded names sort
// like the UCS2 values they encode.
constexpr char kNameAlphabet[] = "-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
static_assert(sizeof kNameAlphabet == 65);

int NameValue(char c)
{
    if (c == '-')
        return 0;
    if (c >= '0' && c <= '9')
        return c - '0' + 1;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 11;
    if (c == '_')
        return 37;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 38;
    return -1;
}

// Writes the encoded name of n values and a NUL into out.
void EncodeName(const unsigned short* v, std::size_t n, char* out)
{
    std::size_t o = 0;
    auto put = [&](unsigned x) { out[o++] = kNameAlphabet[x & 63]; };
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const std::uint64_t bits =
            static_cast<std::uint64_t>(v[i]) << 32 | static_cast<std::uint64_t>(v[i + 1]) << 16 | v[i + 2];
        for (int shift = 42; shift >= 0; shift -= 6)
            put(static_cast<unsigned>(bits >> shift));
    }
    if (n - i == 2) {
        // 32 bits: five characters of 6 and the last 2 bits in the low end.
        const std::uint32_t bits = static_cast<std::uint32_t>(v[i]) << 16 | v[i + 1];
        for (int shift = 26; shift >= 2; shift -= 6)
            put(bits >> shift);
        put(bits & 3);
    } else if (n - i == 1) {
        // 16 bits: two characters of 6 and the last 4 bits in the low end.
        put(v[i] >> 10);
        put(v[i] >> 4);
        put(v[i] & 15);
    }
    out[o] = 0;
}

}  // namespace

extern "C" bool strCF_CnvUcs2ToPosix(const unsigned short* ucs2, unsigned char count, char** out)
{
    *out = static_cast<char*>(std::malloc(8 * static_cast<std::size_t>(count) / 3 + 2));
    if (*out == nullptr)
        return false;
    EncodeName(ucs2, count, *out);
    return true;
}

extern "C" void StringToPosix(char* buffer)
{
    const std::size_t n = strnlen(buffer, 49);
    unsigned short values[49];
    for (std::size_t i = 0; i < n; ++i)
        values[i] = static_cast<unsigned char>(buffer[i]);
    EncodeName(values, n, buffer);
}

extern "C" int PosixToString(char* buffer)
{
    const std::size_t length = std::strlen(buffer);
    const std::size_t tail = length % 8;
    if (tail != 0 && tail != 3 && tail != 6)
        return 0;
    std::u16string values;
    values.reserve(length / 8 * 3 + 2);
    auto at = [&](std::size_t i) { return NameValue(buffer[i]); };
    for (std::size_t i = 0; i < length; ++i)
        if (at(i) < 0)
            return 0;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const unsigned e = at(i), f = at(i + 1), g = at(i + 2), m = at(i + 3), o = at(i + 4), t = at(i + 5),
                       u = at(i + 6), v = at(i + 7);
        values.push_back(static_cast<char16_t>(e * 1024 + f * 16 + g / 4));
        values.push_back(static_cast<char16_t>((g % 4) * 16384 + m * 256 + o * 4 + t / 16));
        values.push_back(static_cast<char16_t>((t % 16) * 4096 + u * 64 + v));
    }
    if (tail == 6) {
        const unsigned e = at(i), f = at(i + 1), g = at(i + 2), m = at(i + 3), o = at(i + 4), t = at(i + 5);
        values.push_back(static_cast<char16_t>(e * 1024 + f * 16 + g / 4));
        values.push_back(static_cast<char16_t>((g % 4) * 16384 + m * 256 + o * 4 + t));
    } else if (tail == 3) {
        values.push_back(static_cast<char16_t>(at(i) * 1024 + at(i + 1) * 16 + at(i + 2)));
    }
    // A value 0 ends the text, as the terminator of the wide string would.
    const std::size_t nul = values.find(u'\0');
    if (nul != std::u16string::npos)
        values.resize(nul);
    // At most two bytes per value, and 2 * values <= length, so the text
    // always fits in the buffer it came from.
    const std::string text = qc::Ucs2ToAnsi(values);
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = 0;
    return static_cast<int>(text.size());
}

namespace {

// Dialling characters and the stand-ins whose low nibbles are their codes.
struct DialMapping {
    char dial, standIn;
};
constexpr DialMapping kDialMappings[] = {{'#', '>'}, {'*', '='}, {'+', '<'}, {'p', ':'}, {'w', ';'}};

}  // namespace

extern "C" void dir6_1ascii2bcd(char* s, unsigned char* out)
{
    const std::size_t n = std::strlen(s);
    for (std::size_t i = 0; i < n; ++i)
        for (const DialMapping& m : kDialMappings)
            if (s[i] == m.dial)
                s[i] = m.standIn;
    out[0] = static_cast<unsigned char>(n);
    std::size_t o = 1;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        out[o++] = static_cast<unsigned char>((s[i] & 0x0F) << 4 | ((s[i + 1] - 0x30) & 0x0F));
    if (n % 2 != 0)
        out[o++] = static_cast<unsigned char>(s[n - 1]);
    out[o] = 0;
}

extern "C" int dir6_2bcd2ascii(const unsigned char* in, char* s)
{
    const std::size_t n = in[0];
    std::size_t o = 0;
    for (std::size_t i = 0; i < n / 2; ++i) {
        s[o++] = static_cast<char>((in[1 + i] >> 4) | 0x30);
        s[o++] = static_cast<char>((in[1 + i] & 0x0F) | 0x30);
    }
    if (n % 2 != 0)
        s[o++] = static_cast<char>(in[1 + n / 2]);
    s[n] = 0;
    for (std::size_t i = 0; i < n; ++i)
        for (const DialMapping& m : kDialMappings)
            if (s[i] == m.standIn)
                s[i] = m.dial;
    return 0;
}

void GetModulePath(std::string& path)
{
    path = plat::ProgramDirectory();
}

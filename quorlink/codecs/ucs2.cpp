#include "quorlink/codecs/ucs2.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quorlink/codecs/code_page.h"

namespace qc = quorlink::codecs;

namespace {

// The GSM 03.38 default alphabet as this phone uses it: 0x00 is U+0000 (not
// '@'), 0x09 is small c cedilla, the escape 0x1B is U+00A0, and the extra
// code 0x80 is '@'.
constexpr std::array<unsigned short, 129> kGsmToUcs2 = {
    0x0000, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC,  // 00
    0x00F2, 0x00E7, 0x000A, 0x00D8, 0x00F8, 0x000D, 0x00C5, 0x00E5,  // 08
    0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,  // 10
    0x03A3, 0x0398, 0x039E, 0x00A0, 0x00C6, 0x00E6, 0x00DF, 0x00C9,  // 18
    0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027,  // 20
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 38
    0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 40
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 48
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 50
    0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,  // 58
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 60
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 68
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 70
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,  // 78
    0x0040,  // 80
};

// The ranges of GSM codes searched for characters that are not ASCII-like,
// in search order.
struct CodeRange {
    unsigned char first, last;
};
constexpr CodeRange kSearchRanges[] = {{0x00, 0x1F}, {0x5B, 0x60}, {0x7B, 0x7F}};

// The GSM code found by searching the table, or -1.
int SearchGsm(unsigned short c)
{
    // Nothing in the table lies above the Greek capitals; Chinese text, the
    // common case, needs no search.
    if (c > 0x03A9)
        return -1;
    for (const CodeRange& r : kSearchRanges)
        for (int code = r.first; code <= r.last; ++code)
            if (kGsmToUcs2[code] == c)
                return code;
    return -1;
}

// Characters that are their own GSM code.
bool IsSelfCoded(unsigned short c)
{
    return c == 0x0000 || c == 0x000A || c == 0x000D || (c >= 0x20 && c <= 0x23) || (c >= 0x25 && c <= 0x3F) ||
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexValue(char c)
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

unsigned short CUcs2::Gsm0338ToUcs2(unsigned char gsm)
{
    return gsm <= 0x80 ? kGsmToUcs2[gsm] : 0xFFFF;
}

unsigned char CUcs2::Ucs2ToGsm0338(unsigned short c)
{
    if (IsSelfCoded(c))
        return static_cast<unsigned char>(c);
    switch (c) {
    case u'$': return 0x02;
    case u'@': return 0x80;
    case 0x00A1: return 0x40;
    case 0x00A4: return 0x24;
    default: break;
    }
    const int code = SearchGsm(c);
    return code >= 0 ? static_cast<unsigned char>(code) : '?';
}

unsigned char CUcs2::IsGsm0338(unsigned short c)
{
    if (c == 0x0000 || c == 0x000A || c == 0x000D || (c >= 0x20 && c <= 0x5A) || (c >= 'a' && c <= 'z') ||
        c == 0x00A1 || c == 0x00A4)
        return 1;
    return SearchGsm(c) >= 0 ? 1 : 0;
}

unsigned short CUcs2::Gb2Unicode(unsigned short gbk)
{
    return qc::GbkToUcs2(gbk);
}

unsigned short CUcs2::Unicode2GB(unsigned short ucs2)
{
    return qc::Ucs2ToGbk(ucs2);
}

void CUcs2::GB2UcsString(const unsigned char* in, unsigned short* out)
{
    std::size_t o = 0;
    for (std::size_t i = 0; in[i] != 0; ++i) {
        const unsigned char b = in[i];
        if (b <= 0x80) {
            out[o++] = Gsm0338ToUcs2(b);
        } else if (qc::IsGbkLead(b) && qc::IsGbkTrail(in[i + 1])) {
            out[o++] = Gb2Unicode(static_cast<unsigned short>(b << 8 | in[i + 1]));
            ++i;
        }
        // 0xFF, or a lead byte without a valid trail: skipped.
    }
    out[o] = 0;
}

void CUcs2::Ucs2GBString(const unsigned short* in, unsigned char* out)
{
    std::size_t o = 0;
    for (std::size_t i = 0; in[i] != 0; ++i) {
        const unsigned short v = in[i];
        if (v == 0x0080) {
            out[o++] = 0x80;
        } else if (v < 0x80 || IsGsm0338(v)) {
            out[o++] = Ucs2ToGsm0338(v);
        } else {
            const unsigned short code = Unicode2GB(v);
            out[o++] = static_cast<unsigned char>(code >> 8);
            out[o++] = static_cast<unsigned char>(code & 0xFF);
        }
    }
    out[o] = 0;
}

void CUcs2::AscGB2UcsString(char* in, char* out, int limit)
{
    const std::size_t length = std::strlen(in);
    // strlen(in) + 1 values always hold the result; none is ever longer.
    auto* values = static_cast<unsigned short*>(std::malloc((length + 1) * sizeof(unsigned short)));
    if (values == nullptr) {
        if (limit >= 0)
            out[0] = 0;
        return;
    }
    GB2UcsString(reinterpret_cast<const unsigned char*>(in), values);
    static constexpr char kDigits[] = "0123456789abcdef";
    int written = 0;
    for (std::size_t i = 0; values[i] != 0 && written + 4 <= limit; ++i) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out[written++] = kDigits[(values[i] >> shift) & 0xF];
    }
    out[written] = 0;
    std::free(values);
}

void CUcs2::AscUcs2GBString(char* in, char* out, int limit)
{
    for (char* p = in; *p != 0; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    const std::size_t length = std::strlen(in);
    std::size_t groups = length / 4;
    if (limit < 0)
        limit = 0;
    if (groups > static_cast<std::size_t>(limit))
        groups = static_cast<std::size_t>(limit);
    auto* values = static_cast<unsigned short*>(std::malloc((groups + 1) * sizeof(unsigned short)));
    if (values == nullptr) {
        out[0] = 0;
        return;
    }
    std::size_t n = 0;
    for (; n < groups; ++n) {
        unsigned v = 0;
        bool valid = true;
        for (int k = 0; k < 4; ++k) {
            const int d = HexValue(in[n * 4 + k]);
            if (d < 0)
                valid = false;
            v = v << 4 | static_cast<unsigned>(d < 0 ? 0 : d);
        }
        if (!valid)
            break;  // text that is not hexadecimal ends the string
        values[n] = static_cast<unsigned short>(v);
    }
    values[n] = 0;
    // A value of 0 ends the text early, and the output never holds more than
    // two bytes per value, so 2 * groups + 1 bytes always suffice.
    Ucs2GBString(values, reinterpret_cast<unsigned char*>(out));
    std::free(values);
}

void CUcs2::Gsm0338ToAsc(char* buffer)
{
    for (char* p = buffer; *p != 0; ++p) {
        switch (static_cast<unsigned char>(*p)) {
        case 0x80: *p = '@'; break;
        case 0x11: *p = '_'; break;
        case 0x02: *p = '$'; break;
        default: break;
        }
    }
}

void CUcs2::AscToGsm0338(char* buffer)
{
    for (char* p = buffer; *p != 0; ++p) {
        switch (*p) {
        case '@': *p = static_cast<char>(0x80); break;
        case '_': *p = 0x11; break;
        case '$': *p = 0x02; break;
        default: break;
        }
    }
}

char* CUcs2::Utf8ToAsc(const char* in)
{
    if (in == nullptr)
        return nullptr;
    const std::string ansi = qc::Ucs2ToAnsi(qc::Utf8ToUcs2(in));
    auto* out = static_cast<char*>(std::malloc(ansi.size() + 1));
    if (out == nullptr)
        return nullptr;
    std::memcpy(out, ansi.c_str(), ansi.size() + 1);
    return out;
}

int CChineseCodeLib::UTF_8ToUnicode(unsigned short* out, const char* in)
{
    // Look at no more bytes than the sequence can have, and never past a NUL.
    const std::size_t avail = strnlen(in, 4);
    if (avail == 0) {
        *out = 0;
        return 0;
    }
    std::uint16_t v;
    const std::size_t n = qc::DecodeUtf8(std::string_view(in, avail), v);
    *out = v;
    return static_cast<int>(n);
}

int CChineseCodeLib::UnicodeToUTF_8(char* out, const unsigned short* in)
{
    return qc::EncodeUtf8(*in, out);
}

int CChineseCodeLib::Gb2312ToUnicode(unsigned short* out, const char* in)
{
    const auto lead = static_cast<unsigned char>(in[0]);
    if (lead < 0x80) {
        *out = lead;
        return 1;
    }
    const auto trail = static_cast<unsigned char>(in[1]);
    if (qc::IsGbkLead(lead) && qc::IsGbkTrail(trail)) {
        *out = qc::GbkToUcs2(static_cast<std::uint16_t>(lead << 8 | trail));
        return 2;
    }
    *out = qc::kReplacement;
    return 1;
}

int CChineseCodeLib::UnicodeToGB2312(char* out, unsigned short in)
{
    return qc::Ucs2ToAnsiChar(in, out);
}

void CChineseCodeLib::GB2312ToUTF_8(std::string& out, const char* in, int length)
{
    out.clear();
    if (length <= 0)
        return;
    const std::u16string wide = qc::AnsiToUcs2(std::string_view(in, static_cast<std::size_t>(length)));
    out = qc::Ucs2ToUtf8(wide);
}

void CChineseCodeLib::UTF_8ToGB2312(std::string& out, const char* in, int length)
{
    out.clear();
    if (length <= 0)
        return;
    std::string ansi = qc::Ucs2ToAnsi(qc::Utf8ToUcs2(std::string_view(in, static_cast<std::size_t>(length))));
    const std::size_t nul = ansi.find('\0');
    if (nul != std::string::npos)
        ansi.resize(nul);
    out = std::move(ansi);
}

extern "C" int FormUnicodeString(const char* in, char* out)
{
    int n = 0;
    for (; in[n] != 0; ++n) {
        out[2 * n] = in[n];
        out[2 * n + 1] = 0;
    }
    out[2 * n] = 0;
    out[2 * n + 1] = 0;
    return n;
}

extern "C" unsigned short ReverseShort(unsigned short v)
{
    return static_cast<unsigned short>((v >> 8) | (v << 8));
}

extern "C" std::uint32_t ReverseLong(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

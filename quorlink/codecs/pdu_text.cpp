#include "quorlink/codecs/pdu_text.h"

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/ucs2.h"

#include <algorithm>
#include <cstring>

namespace quorlink::codecs {
namespace {

// The extension table: characters reached by the escape 0x1B followed by
// their code.
struct Extension {
    char code;
    char16_t character;
};
constexpr Extension kExtensions[] = {
    {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'},
    {0x3C, u'['},  {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'}, {0x65, u'\u20AC'},
};

std::optional<char> ExtensionCode(char16_t c)
{
    for (const Extension& e : kExtensions)
        if (e.character == c)
            return e.code;
    return std::nullopt;
}

std::optional<char16_t> ExtensionCharacter(unsigned char code)
{
    for (const Extension& e : kExtensions)
        if (static_cast<unsigned char>(e.code) == code)
            return e.character;
    return std::nullopt;
}

// The default-alphabet code of c as phone text ('@' as 0x80), or nothing.
std::optional<char> DefaultCode(char16_t c)
{
    if (c == 0 || c == 0x00A0)  // NUL ends the text; 0x1B (shown as U+00A0) is the escape
        return std::nullopt;
    if (c == 0x00C7)  // code 9 is shown as the small c cedilla, but stands for both
        return static_cast<char>(0x09);
    if (!CUcs2::IsGsm0338(c))
        return std::nullopt;
    const unsigned char code = CUcs2::Ucs2ToGsm0338(c);
    if (code == kGsmEscape)
        return std::nullopt;
    return static_cast<char>(code);
}

char HexDigit(unsigned v)
{
    return "0123456789ABCDEF"[v & 0xF];
}

}  // namespace

SmsAlphabet AlphabetOf(std::uint8_t dcs)
{
    const unsigned group = dcs >> 4;
    if (group <= 0x7) {  // general data coding, with or without automatic deletion
        if ((dcs & 0x20) != 0)
            return SmsAlphabet::EightBit;  // compressed: no character set reads it
        switch (dcs & 0x0C) {
        case 0x00: return SmsAlphabet::Gsm7;
        case 0x08: return SmsAlphabet::Ucs2;
        default: return SmsAlphabet::EightBit;  // 8-bit data, and the reserved value
        }
    }
    if (group == 0xC || group == 0xD)
        return SmsAlphabet::Gsm7;  // message waiting, discard or store
    if (group == 0xE)
        return SmsAlphabet::Ucs2;  // message waiting, store UCS2
    if (group == 0xF)
        return (dcs & 0x04) != 0 ? SmsAlphabet::EightBit : SmsAlphabet::Gsm7;
    return SmsAlphabet::Gsm7;  // reserved groups
}

TpduType TpduTypeOf(std::uint8_t firstOctet)
{
    switch (firstOctet & 0x03) {
    case 0x01: return TpduType::Submit;
    case 0x02: return TpduType::StatusReport;
    default: return TpduType::Deliver;
    }
}

int GsmSeptets(char16_t c)
{
    if (DefaultCode(c))
        return 1;
    if (ExtensionCode(c))
        return 2;
    return 0;
}

std::optional<std::string> Ucs2ToGsmText(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (const auto code = DefaultCode(c)) {
            out.push_back(*code);
        } else if (const auto ext = ExtensionCode(c)) {
            out.push_back(kGsmEscape);
            out.push_back(*ext);
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::u16string PhoneTextToUcs2(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == static_cast<unsigned char>(kGsmEscape)) {
            if (i + 1 < text.size()) {
                if (const auto ext = ExtensionCharacter(static_cast<unsigned char>(text[i + 1]))) {
                    out.push_back(*ext);
                    ++i;
                }
            }
            continue;  // an escape to nothing stands for no character
        }
        if (b == 0 || b == 0x80) {
            out.push_back(u'@');
        } else if (b < 0x80) {
            out.push_back(static_cast<char16_t>(CUcs2::Gsm0338ToUcs2(b)));
        } else if (IsGbkLead(b) && i + 1 < text.size() && IsGbkTrail(static_cast<unsigned char>(text[i + 1]))) {
            const std::uint16_t u =
                GbkToUcs2(static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(text[i + 1])));
            out.push_back(u == 0xFFFF ? kReplacement : static_cast<char16_t>(u));
            ++i;
        } else {
            out.push_back(kReplacement);
        }
    }
    return out;
}

std::string PhoneTextToAnsi(std::string_view text)
{
    return Ucs2ToAnsi(PhoneTextToUcs2(text));
}

std::string DecodedText(const SM_PARAM& m, int length)
{
    const std::string_view text(m.userData, strnlen(m.userData, sizeof m.userData));
    switch (AlphabetOf(m.dataCoding)) {
    case SmsAlphabet::Gsm7: return PhoneTextToAnsi(text);
    case SmsAlphabet::Ucs2: return std::string(text);
    case SmsAlphabet::EightBit: break;
    }
    // The decoder copied `length` octets, zeros among them.
    const auto octets = static_cast<std::size_t>(std::clamp(length, 0, 160));
    std::string hex;
    for (std::size_t i = 0; i < octets && hex.size() + 2 <= 160; ++i) {
        const auto b = static_cast<unsigned char>(m.userData[i]);
        hex.push_back(HexDigit(b >> 4));
        hex.push_back(HexDigit(b));
    }
    return hex;
}

MessageSize MeasureMessage(std::u16string_view text)
{
    MessageSize size;
    int septets = 0;
    for (const char16_t c : text) {
        const int n = GsmSeptets(c);
        if (n == 0) {
            size.gsm = false;
            break;
        }
        septets += n;
    }
    size.units = size.gsm ? septets : static_cast<int>(text.size());
    if (size.units == 0)
        return size;
    const int single = size.gsm ? kSingleSeptets : kSingleUcs2;
    if (size.units <= single) {
        size.parts = 1;
        size.left = single - size.units;
        return size;
    }
    if (!size.gsm) {
        size.parts = (size.units + kPartUcs2 - 1) / kPartUcs2;
        size.left = size.parts * kPartUcs2 - size.units;
        return size;
    }
    // GSM parts hold 153 septets, but an escape never ends a part: count
    // the way SplitMessage cuts.
    int used = 0;
    size.parts = 1;
    for (const char16_t c : text) {
        const int n = GsmSeptets(c);
        if (used + n > kPartSeptets) {
            ++size.parts;
            used = 0;
        }
        used += n;
    }
    size.left = kPartSeptets - used;
    return size;
}

std::vector<std::u16string> SplitMessage(std::u16string_view text)
{
    const MessageSize size = MeasureMessage(text);
    if (size.parts == 0 || size.parts > kMaxParts)
        return {};
    if (size.parts == 1)
        return {std::u16string(text)};
    std::vector<std::u16string> parts(1);
    int used = 0;
    for (const char16_t c : text) {
        const int n = size.gsm ? GsmSeptets(c) : 1;
        if (used + n > (size.gsm ? kPartSeptets : kPartUcs2)) {
            parts.emplace_back();
            used = 0;
        }
        parts.back().push_back(c);
        used += n;
    }
    return parts;
}

}  // namespace quorlink::codecs

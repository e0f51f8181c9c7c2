#pragma once
// Message text around the PDU codec: the GSM 03.38 alphabet with its
// extension table, the alphabet a data coding scheme selects, the message
// type of a TPDU's first octet, a PDU decode that says whether the PDU was
// whole, and the parts a long text is sent in.
//
// Phone text is what 7-bit user data and the handset's message files hold:
// one byte per GSM code, 0x80 standing for '@' (code 0, which would end the
// text), 0x1B followed by a code of the extension table, and two-byte GBK
// characters (lead byte 0x81-0xFE) for Chinese.

#include "quorlink/codecs/pdu.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlink::codecs {

enum class SmsAlphabet : std::uint8_t { Gsm7, EightBit, Ucs2 };

// The alphabet of a TP-DCS value, by its coding group: the general and
// automatic-deletion groups by bits 2-3 (a compressed text counts as 8-bit
// data), the message-waiting groups as GSM (0xC0-0xDF) or UCS2 (0xE0-0xEF),
// the data-coding group by bit 2, and the reserved groups as GSM.
[[nodiscard]] SmsAlphabet AlphabetOf(std::uint8_t dataCoding);

enum class TpduType : std::uint8_t { Deliver, Submit, StatusReport };

// The message type of a first octet (its two low bits). The reserved value
// is read as a delivery, as a receiving station must.
[[nodiscard]] TpduType TpduTypeOf(std::uint8_t firstOctet);

// The escape that introduces a character of the extension table.
inline constexpr char kGsmEscape = 0x1B;

// Septets one character takes: 1 in the default alphabet, 2 in the
// extension table, 0 when GSM 7-bit cannot carry it.
[[nodiscard]] int GsmSeptets(char16_t c);
// UCS2 text as phone text of GSM codes (extension characters escaped, '@'
// as 0x80); nothing when any character has no GSM form.
[[nodiscard]] std::optional<std::string> Ucs2ToGsmText(std::u16string_view text);
// Phone text (GSM codes, escapes, GBK pairs) to UCS2. Code 0 and 0x80 are
// '@'; an escape before a code the extension table does not hold stands for
// nothing, so the code reads as its default character.
[[nodiscard]] std::u16string PhoneTextToUcs2(std::string_view text);
// Phone text to the PC code page.
[[nodiscard]] std::string PhoneTextToAnsi(std::string_view text);

// The text of a decoded message in the PC code page: 7-bit GSM codes
// converted, UCS2 text as decoded, and 8-bit data (binary content such as
// a WAP push, which no character set turns into text) as upper-case
// hexadecimal, as many whole octets as fit 160 characters. length is what
// the decode returned (the octet count of 8-bit data).
[[nodiscard]] std::string DecodedText(const SM_PARAM& message, int length);

// How a PDU decode went: the length gsmDecodePdu returns, and whether the
// PDU held every field and user-data octet it announced.
struct PduDecode {
    int length = 0;
    bool complete = false;
};
// gsmDecodePdu with a verdict on truncation. The layout comes from the
// first octet's message type unless `layout` forces one (a caller that
// knows better, such as a user's explicit choice).
[[nodiscard]] PduDecode DecodePdu(const char* pdu, SM_PARAM& out, std::optional<TpduType> layout = {});

// Sending long texts: one message holds 160 GSM septets or 70 UCS2
// characters; a concatenated message's parts hold 153 septets or 67
// characters after their header.
inline constexpr int kSingleSeptets = 160;
inline constexpr int kSingleUcs2 = 70;
inline constexpr int kPartSeptets = 153;
inline constexpr int kPartUcs2 = 67;
inline constexpr int kMaxParts = 10;

struct MessageSize {
    bool gsm = true;  // every character has a GSM form: sent 7-bit
    int units = 0;  // septets (GSM) or characters (UCS2)
    int parts = 0;  // messages it is sent in (0 for an empty text)
    int left = 0;  // units still free in the last part
};
[[nodiscard]] MessageSize MeasureMessage(std::u16string_view text);

// The parts a text is sent in: one when it fits a single message, else
// pieces of at most 153 septets (an extension character never split from
// its escape) or 67 characters. Empty when the text needs more than
// kMaxParts parts.
[[nodiscard]] std::vector<std::u16string> SplitMessage(std::u16string_view text);

}  // namespace quorlink::codecs

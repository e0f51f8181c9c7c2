#pragma once
// The PC-side code page. It is code page 936 (GBK) whatever the host locale,
// implemented with the library's own tables, so that local files keep their
// byte layout. Nothing here consults the locale.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quorlink::codecs {

inline constexpr char16_t kReplacement = u'?';
// Code page 936 has the euro sign as the single byte 0x80.
inline constexpr unsigned char kEuroByte = 0x80;
inline constexpr char16_t kEuro = u'\u20AC';

// True for a GBK lead byte followed by a valid trail byte.
[[nodiscard]] constexpr bool IsGbkLead(unsigned char b)
{
    return b >= 0x81 && b <= 0xFE;
}
[[nodiscard]] constexpr bool IsGbkTrail(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

// GBK code (lead byte high) to UCS2; 0xFFFF outside the table's ranges.
[[nodiscard]] std::uint16_t GbkToUcs2(std::uint16_t code);
// UCS2 to GBK code; 0xFFFF when the character has none.
[[nodiscard]] std::uint16_t Ucs2ToGbk(std::uint16_t ucs2);

// ANSI (GBK) text to UCS2: bytes below 0x80 are themselves, 0x80 is the
// euro sign, a lead byte with a valid trail is one character, anything else
// is '?'.
[[nodiscard]] std::u16string AnsiToUcs2(std::string_view ansi);
// UCS2 to ANSI (GBK): values below 0x80 and the euro sign are one byte,
// others two bytes, and characters without a GBK code become '?'.
[[nodiscard]] std::string Ucs2ToAnsi(std::u16string_view ucs2);

// Writes the ANSI bytes of one UCS2 value into out (room for 2); returns
// the number written (1 or 2).
int Ucs2ToAnsiChar(std::uint16_t ucs2, char out[2]);

// Decodes one UTF-8 sequence from the front of in. Returns the bytes taken
// (at least 1 when in is not empty, 0 when it is). Malformed, overlong,
// truncated and surrogate sequences take one byte and give U+FFFD; a valid
// four-byte sequence (outside UCS2) takes four bytes and gives U+FFFD.
std::size_t DecodeUtf8(std::string_view in, std::uint16_t& out);
// Encodes one UCS2 value as shortest UTF-8 (1 to 3 bytes) into out (room
// for 3); a lone surrogate is written as U+FFFD. Returns the bytes written.
int EncodeUtf8(std::uint16_t v, char out[3]);

// Whole strings, for the edges (terminal output, command-line arguments).
[[nodiscard]] std::u16string Utf8ToUcs2(std::string_view utf8);
[[nodiscard]] std::string Ucs2ToUtf8(std::u16string_view ucs2);

}  // namespace quorlink::codecs

// Text forms the handset uses: the GSM 03.38 default alphabet, its "mixed"
// file text (GSM codes with GBK double-byte characters), UCS2 hex on the AT
// link, UTF-8 at the emulator's own edges, and the encoded file names of its
// file system.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace simphone {

// Unicode value of GSM default-alphabet code c (0..127) as a PDU septet; 0xFFFF for none.
[[nodiscard]] char16_t GsmToUnicode(uint8_t c);
// GSM default-alphabet code of u, or nullopt when the alphabet has none.
[[nodiscard]] std::optional<uint8_t> UnicodeToGsm(char16_t u);

// Mixed handset text (NUL-free): bytes 0x01..0x7F are GSM codes, 0x80 is the
// at sign, 0x81..0xFE with a trail byte are GBK characters. Bytes that form
// no character are dropped.
[[nodiscard]] std::u16string MixedToUcs2(std::string_view mixed);
// The reverse: GSM codes where the alphabet has one, GBK otherwise, "?" for
// characters that neither can hold.
[[nodiscard]] std::string Ucs2ToMixed(std::u16string_view text);

[[nodiscard]] std::u16string Utf8ToUcs2(std::string_view utf8);  // outside BMP -> U+FFFD
[[nodiscard]] std::string Ucs2ToUtf8(std::u16string_view text);

// UCS2 as upper-case hexadecimal text, four digits per character.
[[nodiscard]] std::string Ucs2ToHex(std::u16string_view text);
// Four hex digits per character (either case); nullopt on a bad digit or length.
[[nodiscard]] std::optional<std::u16string> HexToUcs2(std::string_view hex);

[[nodiscard]] std::string BytesToHex(std::span<const uint8_t> bytes);
[[nodiscard]] std::optional<std::vector<uint8_t>> HexToBytes(std::string_view hex);

// Encoded file name of the handset's file system (at most 49 characters in).
[[nodiscard]] std::string EncodeFileName(std::string_view ascii);

// Packed dialling string of the handset phonebook (length byte, digit pairs,
// odd last character plain, 0). Returns nullopt for a character outside
// "0123456789pw+*#" or more than 20 characters.
[[nodiscard]] std::optional<std::vector<uint8_t>> PackDialString(std::string_view number);
[[nodiscard]] std::string UnpackDialString(std::span<const uint8_t> packed);

}  // namespace simphone

#pragma once
// Base64 (RFC 4648 standard alphabet, "=" padding) and the one-byte block
// check of the phone's file-transfer blocks. Used by the phone-link worker
// and by the phone emulator.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorlink::codecs {

// Characters Base64Encode writes for n bytes (without the NUL).
[[nodiscard]] constexpr std::size_t Base64EncodedLength(std::size_t n)
{
    return (n + 2) / 3 * 4;
}
// An upper bound of the bytes Base64Decode yields for n characters.
[[nodiscard]] constexpr std::size_t Base64DecodedMax(std::size_t n)
{
    return n / 4 * 3 + (n % 4 * 6) / 8;
}

// Every 3 bytes give 4 characters; a final single byte gives 2 characters
// and "==", a final pair 3 characters and "=".
[[nodiscard]] std::string Base64Encode(std::span<const std::uint8_t> data);

// Writes the encoding and a NUL into out when it fits (out.size() >
// Base64EncodedLength(data.size())); returns the characters written, or 0
// (out untouched) when it does not fit.
std::size_t Base64Encode(std::span<const std::uint8_t> data, std::span<char> out);

// Decodes characters in order: "=" is skipped wherever it stands, any other
// character outside the alphabet makes the whole decode yield nothing; a
// byte is emitted whenever 8 bits are complete and leftover bits are
// dropped.
[[nodiscard]] std::vector<std::uint8_t> Base64Decode(std::string_view text);

// The same into a caller buffer: returns the bytes written, 0 for invalid
// text. Never writes past out; when out is too small the result is
// truncated to out.size() bytes.
std::size_t Base64Decode(std::string_view text, std::span<std::uint8_t> out);

// The exclusive-or of all bytes of a block (0 for an empty block).
[[nodiscard]] std::uint8_t BlockCheck(std::span<const std::uint8_t> block);

// The block check as it travels: four Base64 characters ending in "==".
[[nodiscard]] std::string BlockCheckBase64(std::span<const std::uint8_t> block);

}  // namespace quorlink::codecs

// Base64 (RFC 4648 alphabet, "=" padding) and the one-byte block check of the
// handset's file-transfer commands.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace simphone {

[[nodiscard]] std::string Base64Encode(std::span<const uint8_t> data);
// Strict decode: only alphabet characters, "=" only as trailing padding, and
// a length that is a whole number of 4-character groups once padded.
[[nodiscard]] std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text);
// Exclusive-or of all bytes.
[[nodiscard]] uint8_t BlockCheck(std::span<const uint8_t> data);

}  // namespace simphone

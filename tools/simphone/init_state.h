// Writes a realistic sample phone into a state directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace simphone {

// Deterministic for a given seed. Replaces the phone's files in dir.
[[nodiscard]] bool InitState(const std::filesystem::path& dir, uint32_t seed, std::string& error);

}  // namespace simphone

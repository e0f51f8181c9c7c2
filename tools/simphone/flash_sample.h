#pragma once
// The sample phone's flash as the baseband's loader sees it: the file
// DIR/flash.bin, offset 0 = the flash base. Erased (0xFF) except for the
// MP3 area: the MP3 index in the first 884 bytes of sector 60 and a short
// sound in MP3 slot 1 (sectors 64-72).

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace simphone {

inline constexpr char kFlashImageName[] = "flash.bin";
inline constexpr uint32_t kFlashSector = 0x20000;
inline constexpr uint32_t kMp3IndexOffset = 60 * kFlashSector;
inline constexpr uint32_t kMp3SlotOffset = 64 * kFlashSector;  // slot k at + k x 0x120000
inline constexpr uint32_t kMp3SlotBytes = 9 * kFlashSector;

// A mono 8 kHz, 32 kbit/s MP3 of the given number of silent frames (72 ms each).
[[nodiscard]] std::vector<uint8_t> SilentMp3(int frames);
// One 88-byte index record of slot k (0-4): name (ASCII, at most 39
// characters), slot number, used flag, flash offset, size, byte-sum checksum.
[[nodiscard]] std::vector<uint8_t> Mp3IndexRecord(int k, const std::string& name, uint32_t size);

// Writes DIR/flash.bin; false with error set when it cannot.
[[nodiscard]] bool WriteSampleFlash(const std::filesystem::path& dir, std::string& error);

}  // namespace simphone

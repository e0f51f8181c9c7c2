// Real media for the sample phone: JPEG pictures (libjpeg), standard MIDI
// files, and motion-JPEG clips in the handset's recording format.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace simphone {

// A w x h picture of a seeded pattern (gradients, bands and a disc), JPEG at quality q.
[[nodiscard]] std::optional<std::vector<uint8_t>> MakeJpeg(int w, int h, uint32_t seed, int quality, int frame = 0);

// A format-0 standard MIDI file: a short tune of `notes` notes from the seed.
[[nodiscard]] std::vector<uint8_t> MakeMidi(uint32_t seed, int notes);

// A clip as the camera records it: the shared JPEG header (tables and frame
// header) once, then per frame an FF E8 time-stamp segment (length 4, time in
// ms, big-endian) and the frame's scan from FF DA to FF D9.
[[nodiscard]] std::optional<std::vector<uint8_t>> MakeClip(int w, int h, int frames, int intervalMs, uint32_t seed);

}  // namespace simphone

#pragma once
// Motion-JPEG clips for the tests and the benchmark, built the way the
// phone records them: one JPEG header (tables, frame header), then per
// frame a time-stamp segment FF E8 00 04 tt tt and the frame's scan.

#include <cstdint>
#include <optional>
#include <vector>

namespace mediatest {

struct ClipShape {
    int width = 128;
    int height = 96;
    int frames = 3;
    uint16_t firstStampMs = 1000;
    uint16_t intervalMs = 200;
    bool grey = false;
    int quality = 75;
};

struct MadeClip {
    std::vector<uint8_t> mjp;
    std::vector<std::vector<uint8_t>> frameJpegs;  // each frame as a JPEG file
};

// Frame f's picture: moving gradients and a disc, top row first, blue,
// green, red (or grey) without row padding.
[[nodiscard]] std::vector<uint8_t> FramePixels(const ClipShape& shape, int frame);

[[nodiscard]] std::optional<MadeClip> MakeClip(const ClipShape& shape);

}  // namespace mediatest

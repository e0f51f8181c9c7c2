#pragma once
// The phone's motion-JPEG clip format (".mjp"): one JPEG header (start of
// image, tables, frame header) shared by every frame, then per frame a
// time-stamp segment FF E8 (length 4, milliseconds as a 16-bit big-endian
// number) followed by the frame's scan from FF DA to its end-of-image
// marker FF D9. A frame decodes as the header followed by its scan.
//
// The scanner walks the marker structure (segment lengths, entropy-coded
// data) rather than searching for byte pairs, so a time stamp whose value
// happens to read FF DA or a quantisation table holding FF C0 is never
// taken for a marker. It reads only inside the buffer it is given.
//
// Pure functions; safe from any thread.

#include "mobile/media/core/clip_error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace media {

struct MjpegFrame {
    size_t begin = 0;  // offset of the frame's FF DA
    size_t end = 0;  // one past its FF D9
};

struct MjpegLayout {
    size_t headerSize = 0;  // the shared header: bytes [0, headerSize)
    int width = 0;  // from the header's frame header
    int height = 0;
    int components = 0;
    uint32_t intervalMs = 0;  // time between frames
    std::vector<MjpegFrame> frames;  // the complete frames, in order
    // A frame was begun but the file ends before its end-of-image marker;
    // the frames before it stand.
    bool truncated = false;
};

struct MjpegScan {
    ClipError error = ClipError::None;
    MjpegLayout layout;

    [[nodiscard]] bool ok() const { return error == ClipError::None; }
};

// True when the data starts D8 FF: the clip was stored with the bytes of
// every 16-bit pair swapped.
[[nodiscard]] bool IsByteSwappedMjpeg(std::span<const uint8_t> data);

// Swaps the bytes of every 16-bit pair in place; a trailing odd byte stays.
void SwapBytePairs(std::span<uint8_t> data);

// Finds the header, the frame size, the frame interval and every frame.
// Fails when the data is not a motion-JPEG clip (no start-of-image marker,
// no frame header, no time stamp, an interval of 0, no frame at all); a
// clip that ends inside a frame is not a failure here (see truncated).
[[nodiscard]] MjpegScan ScanMjpeg(std::span<const uint8_t> data);

}  // namespace media

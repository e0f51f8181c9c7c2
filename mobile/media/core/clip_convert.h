#pragma once
// Turning a motion-JPEG clip into an AVI file of uncompressed frames: every
// frame (the clip's header followed by the frame's scan) is decoded by
// libjpeg-turbo into bottom-up blue-green-red rows (a one-channel frame as
// grey in all three bytes) and written as one key frame, at the interval
// of the clip's first two time stamps.
//
// A clip stored with its 16-bit pairs swapped (it starts D8 FF) is repaired
// first. A clip that ends inside a frame keeps the frames before it in a
// valid AVI file and the conversion reports MissingEndOfImage.
//
// Pure functions; safe from any thread.

#include "mobile/media/core/avi_writer.h"
#include "mobile/media/core/clip_error.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace media {

struct ConvertOptions {
    // Larger frames are refused before any memory is taken for them.
    int64_t maxPixels = int64_t(1) << 24;
    // After each frame written: frames done, frames in the clip.
    std::function<void(int done, int total)> progress;
};

struct ConvertResult {
    ClipError error = ClipError::None;
    std::string detail;  // the JPEG decoder's words when it refused a frame
    int width = 0;
    int height = 0;
    uint32_t intervalMs = 0;
    int framesWritten = 0;
    bool repaired = false;  // the clip's byte order was repaired first

    [[nodiscard]] bool ok() const { return error == ClipError::None; }
};

// Converts a clip held in memory; a byte-swapped clip is repaired in place.
// Nothing reaches the sink when the clip is refused before its first frame.
[[nodiscard]] ConvertResult ConvertMjpeg(std::span<uint8_t> clip, AviSink& sink, const ConvertOptions& options = {});

// Reads the ".mjp" file (it is not changed) and writes the AVI file.
[[nodiscard]] ConvertResult ConvertMjpegFile(const std::string& mjpPath, const std::string& aviPath,
                                             const ConvertOptions& options = {});

// Decodes one frame, header followed by scan, into bottom-up rows of
// AviRowBytes(width) bytes each; rows must hold exactly height of them.
// FrameSizeMismatch when the frame is not width x height; nothing is
// written outside rows.
[[nodiscard]] ClipError DecodeClipFrame(std::span<const uint8_t> header, std::span<const uint8_t> scan, int width,
                                        int height, std::span<uint8_t> rows, std::vector<uint8_t>& scratch,
                                        std::string* detail = nullptr);

}  // namespace media

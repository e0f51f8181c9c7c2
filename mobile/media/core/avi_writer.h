#pragma once
// An AVI file of uncompressed 24-bit frames, written by the program itself:
//
//   RIFF "AVI "
//     LIST "hdrl"  avih (main header), LIST "strl" (strh, strf)
//     LIST "movi"  one "00db" chunk per frame
//     idx1         one entry per frame, every frame a key frame
//
// One video stream, type "vids", handler "DIB ", scale = the frame
// interval in milliseconds over a rate of 1000, quality -1, frame
// rectangle 0, 0, width, height; its format is a 40-byte BITMAPINFOHEADER
// (24 bits, uncompressed, 100 x 100 pixels per metre). Frames are
// bottom-up blue-green-red rows padded to four bytes.
//
// The headers are written first with counts of 0 and patched by finish()
// with the true frame count, so the length in the stream header and the
// total in the main header always match the frames in the file.
//
// Thread affinity: one thread at a time.

#include "mobile/media/core/clip_error.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace media {

// Where the file's bytes go: appended in order, and a few patched later.
class AviSink {
public:
    virtual ~AviSink() = default;
    [[nodiscard]] virtual bool append(std::span<const uint8_t> bytes) = 0;
    [[nodiscard]] virtual bool patch(uint64_t offset, std::span<const uint8_t> bytes) = 0;
};

// A file created (or truncated) at a path.
class AviFileSink final : public AviSink {
public:
    explicit AviFileSink(const std::string& path);
    ~AviFileSink() override;
    AviFileSink(const AviFileSink&) = delete;
    AviFileSink& operator=(const AviFileSink&) = delete;

    [[nodiscard]] bool isOpen() const { return file_ != nullptr; }
    [[nodiscard]] bool append(std::span<const uint8_t> bytes) override;
    [[nodiscard]] bool patch(uint64_t offset, std::span<const uint8_t> bytes) override;
    // Flushes and closes; false when a write failed on the way.
    [[nodiscard]] bool close();

private:
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    bool failed_ = false;
};

// Bytes in memory (tests, fuzzing).
class AviMemorySink final : public AviSink {
public:
    [[nodiscard]] bool append(std::span<const uint8_t> bytes) override;
    [[nodiscard]] bool patch(uint64_t offset, std::span<const uint8_t> bytes) override;
    [[nodiscard]] const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

struct AviVideoFormat {
    int width = 0;
    int height = 0;
    uint32_t intervalMs = 0;  // 1 or more
};

// Bytes of one row: 3 per pixel, padded to a multiple of four.
[[nodiscard]] constexpr size_t AviRowBytes(int width)
{
    return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
}

class AviWriter {
public:
    explicit AviWriter(AviSink& sink) : sink_(sink) { }

    // Writes the headers; the format must have a positive size and interval.
    [[nodiscard]] ClipError begin(const AviVideoFormat& format);
    // One frame: exactly frameBytes() of bottom-up rows. AviTooLarge when
    // the file would pass what a RIFF file can hold (the frames already
    // written stay valid).
    [[nodiscard]] ClipError writeFrame(std::span<const uint8_t> rows);
    // Writes the index and the true sizes and counts.
    [[nodiscard]] ClipError finish();

    [[nodiscard]] size_t frameBytes() const { return frameBytes_; }
    [[nodiscard]] uint32_t framesWritten() const { return frames_; }

private:
    AviSink& sink_;
    AviVideoFormat format_;
    size_t frameBytes_ = 0;
    uint64_t position_ = 0;  // bytes appended so far
    uint32_t frames_ = 0;
    std::vector<uint8_t> index_;
    bool begun_ = false;
    bool finished_ = false;
};

}  // namespace media

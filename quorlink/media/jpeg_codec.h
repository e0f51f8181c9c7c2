#pragma once
// JPEG reading and writing over libjpeg-turbo's libjpeg 6b interface, for
// the bitmap toolkit (pictures, wallpapers) and the video clips' frames.
//
// libjpeg reports a fatal error through its error_exit hook; here that hook
// jumps back into a thin wrapper with trivial locals, which turns the error
// into a result. Nothing is thrown, and nothing leaks on a damaged file.
//
// Pure functions; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorlink::media {

enum class JpegPixels {
    Bgr24,  // blue, green, red: the byte order of a 24-bit DIB row
    Grey8,  // one byte per pixel
};

struct JpegHeader {
    int width = 0;
    int height = 0;
    int components = 0;  // 1 (greyscale) or 3 (colour)
};

struct JpegResult {
    bool ok = false;
    std::string error;  // libjpeg's message, or why the picture was refused
};

// Pictures larger than this many pixels are refused before any memory is
// taken for them (a hostile header can announce 65535 x 65535).
inline constexpr int64_t kJpegMaxPixels = int64_t(1) << 26;

// Reads the header only.
[[nodiscard]] JpegResult ReadJpegHeader(std::span<const uint8_t> data, JpegHeader& header);

// Decodes a whole picture into caller-owned rows: row y (0 = top) starts at
// firstRow + y * stride (stride may be negative for a bottom-up DIB).
// The rows must hold header.width pixels of the requested kind; width and
// height must equal the picture's (read them with ReadJpegHeader first).
// A colour picture asked for as Grey8 is converted by libjpeg; a greyscale
// picture asked for as Bgr24 has its grey copied into all three bytes.
[[nodiscard]] JpegResult DecodeJpeg(std::span<const uint8_t> data, JpegPixels pixels, int width, int height,
                                    uint8_t* firstRow, ptrdiff_t stride);

// Encodes rows laid out as above into a baseline JFIF picture at the given
// quality (1-100).
[[nodiscard]] JpegResult EncodeJpeg(const uint8_t* firstRow, ptrdiff_t stride, int width, int height, JpegPixels pixels,
                                    int quality, std::vector<uint8_t>& out);

}  // namespace quorlink::media

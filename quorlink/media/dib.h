#pragma once
// CDIB: a device-independent bitmap. It loads BMP, JPEG, GIF and WBMP
// files into one in-memory form (a bottom-up DIB of 1, 2, 4, 8 or 24 bits
// per pixel with its colour table), zooms, crops and resamples it into RGB
// buffers, applies simple pixel operations, moves it through the
// clipboard as a packed DIB, and writes JPEG and BMP files.
//
// The decoders of BMP (core, info and the longer headers, RLE4, RLE8,
// 16- and 32-bit pixels), GIF (87a and 89a, LZW, interlace, local colour
// tables) and WBMP are this class's own; JPEG goes through jpeg_codec.h.
// Every decoder checks sizes against the bytes it has: a hostile file
// fails the load, it never reads or writes outside a buffer.
//
// The library links no GUI toolkit: drawing (Stretch) and the clipboard
// (Copy, Paste) go through the small DibCanvas and DibClipboard
// interfaces, which the desktop program implements over its toolkit.
//
// Members return 1 for success and 0 for failure (every operation on an
// empty image fails and changes nothing). One thread at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorlink::media {

// One colour table entry as a DIB keeps it.
struct RgbQuad {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};
static_assert(sizeof(RgbQuad) == 4);

// Size of the bitmap information header that starts a packed DIB.
inline constexpr size_t kDibHeaderSize = 40;
// Pictures larger than this many pixels are refused by every loader.
inline constexpr int64_t kDibMaxPixels = int64_t(1) << 26;

// Bytes per row of a DIB: rows are padded to a multiple of 4 bytes.
[[nodiscard]] constexpr int64_t DibStride(int64_t width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

// A read-only look at a DIB's pixels for a canvas.
struct DibView {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    int stride = 0;
    std::span<const RgbQuad> palette;  // empty for 24 bits
    std::span<const uint8_t> bits;  // bottom row first
    // The pixel at (x, y), y counted from the top, as red, green, blue.
    [[nodiscard]] std::array<uint8_t, 3> rgb(int x, int y) const;
};

// Where Stretch draws. Rectangles are measured from the top-left corner
// of the destination and of the picture; the picture's rectangle is drawn
// scaled into the destination one without smoothing (each target pixel
// takes the nearest source pixel). Returns the number of rows drawn, 0
// when nothing could be drawn.
class DibCanvas {
public:
    virtual ~DibCanvas() = default;
    virtual int stretchDib(int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh, const DibView& dib,
                           int colourUsage, uint32_t rasterOperation) = 0;
};

// The clipboard's DIB format: a packed DIB (40-byte header, colour table,
// bottom-up rows).
class DibClipboard {
public:
    virtual ~DibClipboard() = default;
    [[nodiscard]] virtual bool setDib(std::span<const uint8_t> packed) = 0;
    [[nodiscard]] virtual std::optional<std::vector<uint8_t>> dib() = 0;
};

// A rectangle: left, top, right, bottom (right and bottom exclusive).
struct DibRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
};

// A packed DIB in memory (the "global memory" of the clipboard and of the
// file loaders).
using HDIB = std::vector<uint8_t>;

enum FileType : int { kFileUnknown = 0, kFileJpeg = 1, kFileBmp = 2, kFileGif = 3, kFileWbmp = 4 };

class CDIB {
public:
    CDIB();
    ~CDIB();
    CDIB(const CDIB&) = default;
    CDIB& operator=(const CDIB&) = default;
    CDIB(CDIB&&) noexcept = default;
    CDIB& operator=(CDIB&&) noexcept = default;

    // Frees the pixels and the colour table; zeroes the size and depth and
    // resets the zoom to 1/1.
    void Clear();

    // Loads a BMP, JPEG, GIF or WBMP file; 1 on success (the open flag is
    // then set). On failure the image is unchanged and *damaged (when
    // given) tells a file that was read but is damaged or of a kind this
    // class cannot load (true) from one that could not be read (false).
    int Load(std::string_view path, bool* damaged = nullptr);
    // Writes the image as an uncompressed 24-bit BMP file (rows bottom-up,
    // as BMP keeps them); 1 on success.
    int Save(std::string_view path) const;

    // 1 JPEG, 2 BMP, 3 GIF, 4 WBMP, 0 unknown: by content first, then by
    // the extension (compared without regard to case).
    static int FindFileType(std::string_view path);
    // The text after the last "." of path, or "".
    static std::string GetFileExt(std::string_view path);
    // The directory of the running program, without its trailing separator.
    static std::string GetAppPath();

    // Takes a packed DIB (compression 0, 1 RLE8 or 2 RLE4; 1, 2, 4, 8 or 24
    // bits; a negative height marks top-down rows). 1 on success.
    int LoadDib(std::span<const uint8_t> packed);
    int LoadFromHDIB(const HDIB& dib) { return LoadDib(dib); }
    // The packed DIB of the image (uncompressed): its size, a copy into
    // out (0 when out is too small or the image empty), or a new block
    // (empty when the image is empty).
    [[nodiscard]] size_t PackedDibSize() const;
    size_t SaveToDib(std::span<uint8_t> out) const;
    [[nodiscard]] HDIB SaveToHDIB() const;

    int Copy(DibClipboard& clipboard) const;
    int Paste(DibClipboard& clipboard);

    // Draws the source rectangle (from the picture's top-left corner) into
    // the destination rectangle; 0 when the image is not open.
    int Stretch(DibCanvas& canvas, int x, int y, int w, int h, int sx, int sy, int sw, int sh, int colourUsage = 0,
                uint32_t rasterOperation = 0x00CC0020) const;

    // Pixel operations: grey (0.299 R + 0.587 G + 0.114 B, truncated),
    // negative, mirror left-right, mirror top-bottom, rotate 90 degrees
    // clockwise. Palette images change their colour table for Grey and
    // Negative. Every depth is supported.
    int Grey();
    int Negative();
    int HFlip();
    int VFlip();
    int Rotate();

    // Copies the w x h rectangle at (x, y) from the top-left corner into out
    // as R, G, B bytes, top row first, w pixels a row; pixels of the
    // rectangle outside the image are left as they are in out. DoGetRect
    // takes 24-bit images only, GetRect any depth. 0 when out is smaller
    // than w * h * 3 bytes, the image is empty, or w or h is below 1.
    int GetRect(std::span<uint8_t> out, int x, int y, int w, int h) const;
    int DoGetRect(std::span<uint8_t> out, int x, int y, int w, int h) const;
    // A new RGB buffer of the rectangle, top row first; pixels outside the
    // image are white. Empty when the image is empty.
    [[nodiscard]] std::vector<uint8_t> clipTo(const DibRect& rect) const;
    // A new RGB buffer of the whole image resampled (nearest neighbour) to
    // the rectangle's size (fit) or to the image's size times the zoom;
    // its size goes to *width and *height.
    [[nodiscard]] std::vector<uint8_t> stretchTo(const DibRect& rect, bool fit, int* width = nullptr,
                                                 int* height = nullptr) const;

    // Writes rows of R, G, B bytes (top row first) as a baseline JFIF file
    // at the quality given; colour 0 writes it in grey. 1 on success.
    static int SaveAsJpegFile(std::string_view path, const uint8_t* pixels, int width, int height, int quality,
                              int colour);
    // The same into memory.
    [[nodiscard]] static std::optional<std::vector<uint8_t>> EncodeJpegRgb(const uint8_t* pixels, int width, int height,
                                                                           int quality, bool colour);

    // Zoom: numerator / denominator on each axis, stepping through 1/8 ...
    // 1/2, 1, 2 ... 8.
    void SetZoomParas(int xNumerator, int xDenominator, int yNumerator, int yDenominator);
    void GetZoomParas(int& xNumerator, int& xDenominator, int& yNumerator, int& yDenominator) const;
    [[nodiscard]] double GetZoomX() const { return double(zoomXNum_) / zoomXDen_; }
    [[nodiscard]] double GetZoomY() const { return double(zoomYNum_) / zoomYDen_; }
    void ZoomIn();
    void ZoomOut();
    void RestoreZoom();
    // The image's size times the zoom.
    [[nodiscard]] int ZoomedWidth() const { return int(int64_t(width_) * zoomXNum_ / zoomXDen_); }
    [[nodiscard]] int ZoomedHeight() const { return int(int64_t(height_) * zoomYNum_ / zoomYDen_); }

    [[nodiscard]] int GetWidth() const { return width_; }
    [[nodiscard]] int GetHeight() const { return height_; }
    [[nodiscard]] int GetBitCount() const { return bitCount_; }
    [[nodiscard]] int GetCompression() const { return compression_; }
    [[nodiscard]] bool IsEmpty() const { return bits_.empty(); }
    [[nodiscard]] uint32_t GetOpenFlag() const { return openFlag_; }
    void SetOpenFlag(uint32_t flag) { openFlag_ = flag; }
    [[nodiscard]] DibView View() const;
    [[nodiscard]] std::span<const RgbQuad> Palette() const { return palette_; }
    [[nodiscard]] std::span<const uint8_t> Bits() const { return bits_; }

    // The file decoders, each producing a packed DIB (nothing for a file it
    // cannot read). *damaged is set for a GIF whose LZW stream is broken.
    [[nodiscard]] static std::optional<HDIB> DecodeBmp(std::span<const uint8_t> file);
    [[nodiscard]] static std::optional<HDIB> DecodeGif(std::span<const uint8_t> file, bool* damaged = nullptr);
    [[nodiscard]] static std::optional<HDIB> DecodeWbmp(std::span<const uint8_t> file);
    [[nodiscard]] static std::optional<HDIB> DecodeJpegFile(std::span<const uint8_t> file);

    // Run-length decoding into bottom-up rows that start zeroed: runs,
    // end of line (0 0), end of bitmap (0 1), delta (0 2 dx dy) and literal
    // runs padded to an even number of bytes. Pixels that fall outside dst
    // are dropped. True when the data ended with its end-of-bitmap mark.
    static bool DecodeRLE8(std::span<const uint8_t> src, std::span<uint8_t> dst, int stride, int height);
    static bool DecodeRLE4(std::span<const uint8_t> src, std::span<uint8_t> dst, int stride, int height);

private:
    [[nodiscard]] int indexAt(int x, int row) const;  // row counted from the bottom
    void setIndex(int x, int row, int value);

    std::vector<uint8_t> bits_;  // bottom row first, rows padded to 4 bytes
    std::vector<RgbQuad> palette_;  // 2^bitCount entries up to 8 bits; empty for 24
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bitCount_ = 0;
    int32_t compression_ = 0;  // of the DIB it came from: 0 none, 1 RLE8, 2 RLE4
    int32_t zoomXNum_ = 1, zoomXDen_ = 1;
    int32_t zoomYNum_ = 1, zoomYDen_ = 1;
    uint32_t openFlag_ = 0;
};

}  // namespace quorlink::media

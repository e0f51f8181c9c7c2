// The bitmap toolkit: every file form its decoders take, written here byte
// by byte, checked against the pixels they must give; the pixel
// operations, rectangles, zoom, files and the clipboard.
#include "quorlink/media/byte_order.h"
#include "quorlink/media/dib.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace quorlink::media {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Rgb = std::array<uint8_t, 3>;

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255}, kBlack{0, 0, 0};

void Le16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Le32(Bytes& b, uint32_t v)
{
    Le16(b, v & 0xFFFF);
    Le16(b, v >> 16);
}

// A BMP file: header of the given size (12 core, 16/64 OS/2, 40, 52, 56,
// 108, 124), optional masks (inside headers of 52 bytes and more, else after
// the header), colour table entries (BGR), then the rows as given.
struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 0, height = 0;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<Rgb> palette;  // as R, G, B
    std::vector<uint32_t> masks;
    Bytes pixels;
    bool fileHeader = true;
};

Bytes MakeBmp(const BmpLayout& s)
{
    Bytes info;
    Le32(info, s.headerSize);
    if (s.headerSize == 12) {
        Le16(info, uint32_t(s.width));
        Le16(info, uint32_t(s.height));
        Le16(info, 1);
        Le16(info, s.bits);
    } else {
        Le32(info, uint32_t(s.width));
        Le32(info, uint32_t(s.height));
        Le16(info, 1);
        Le16(info, s.bits);
        Le32(info, s.compression);
        Le32(info, uint32_t(s.pixels.size()));
        Le32(info, 2835);
        Le32(info, 2835);
        Le32(info, s.clrUsed);
        Le32(info, 0);
        if (s.headerSize >= 52)
            for (size_t i = 0; i < 3; ++i)
                Le32(info, i < s.masks.size() ? s.masks[i] : 0);
        info.resize(s.headerSize, 0);
        if (s.headerSize < 52)
            for (uint32_t m : s.masks)
                Le32(info, m);
    }
    for (const Rgb& c : s.palette) {
        info.insert(info.end(), {c[2], c[1], c[0]});
        if (s.headerSize != 12)
            info.push_back(0);
    }
    Bytes file;
    if (s.fileHeader) {
        file = {'B', 'M'};
        Le32(file, uint32_t(14 + info.size() + s.pixels.size()));
        Le32(file, 0);
        Le32(file, uint32_t(14 + info.size()));
    }
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

// The picture's pixels, top row first.
std::vector<Rgb> PixelsOf(const CDIB& d)
{
    Bytes rgb(size_t(d.GetWidth()) * size_t(d.GetHeight()) * 3);
    EXPECT_EQ(d.GetRect(rgb, 0, 0, d.GetWidth(), d.GetHeight()), 1);
    std::vector<Rgb> out;
    for (size_t i = 0; i < rgb.size(); i += 3)
        out.push_back({rgb[i], rgb[i + 1], rgb[i + 2]});
    return out;
}

std::optional<std::vector<Rgb>> Decode(const std::optional<HDIB>& dib, CDIB* keep = nullptr)
{
    CDIB d;
    if (!dib || !d.LoadFromHDIB(*dib))
        return std::nullopt;
    if (keep)
        *keep = d;
    return PixelsOf(d);
}

// A 2 x 2 picture (top row red, green; bottom row blue, white) in every
// BMP form and depth.
TEST(DibBmp, EveryHeaderFormAndDepthGivesThePixels)
{
    const std::vector<Rgb> want = {kRed, kGreen, kBlue, kWhite};
    const std::vector<Rgb> pal = {kRed, kGreen, kBlue, kWhite};
    // Rows bottom-up: 24 bits (BGR, padded to 8 bytes).
    const Bytes rows24 = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
    const Bytes rows24TopDown = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    // 5-5-5 and 5-6-5 words, 32-bit BGRA.
    const Bytes rows555 = {0x1F, 0x00, 0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03};
    const Bytes rows565 = {0x1F, 0x00, 0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07};
    const Bytes rows32 = {255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0};
    // 32 bits as today's programs write them with masks: R G B A bytes.
    const Bytes rowsRgba = {0, 0, 255, 9, 255, 255, 255, 9, 255, 0, 0, 9, 0, 255, 0, 9};

    struct Case {
        const char* what;
        BmpLayout layout;
    };
    const Case cases[] = {
        {"24-bit info header", {40, 2, 2, 24, 0, 0, {}, {}, rows24}},
        {"24-bit top-down", {40, 2, -2, 24, 0, 0, {}, {}, rows24TopDown}},
        {"24-bit bare DIB", {40, 2, 2, 24, 0, 0, {}, {}, rows24, false}},
        {"24-bit OS/2 64-byte header", {64, 2, 2, 24, 0, 0, {}, {}, rows24}},
        {"24-bit OS/2 16-byte header", {16, 2, 2, 24, 0, 0, {}, {}, rows24}},
        {"24-bit 124-byte header", {124, 2, 2, 24, 0, 0, {}, {}, rows24}},
        {"8-bit core header", {12, 2, 2, 8, 0, 0, {pal[0], pal[1], pal[2], pal[3]}, {}, {2, 3, 0, 0, 0, 1, 0, 0}}},
        {"8-bit 108-byte header, 4 colours", {108, 2, 2, 8, 0, 4, pal, {}, {2, 3, 0, 0, 0, 1, 0, 0}}},
        {"4-bit", {40, 2, 2, 4, 0, 4, pal, {}, {0x23, 0, 0, 0, 0x01, 0, 0, 0}}},
        {"2-bit", {40, 2, 2, 2, 0, 0, pal, {}, {0xB0, 0, 0, 0, 0x10, 0, 0, 0}}},
        {"1-bit", {40, 2, 2, 1, 0, 0, {kBlack, kWhite}, {}, {0x40, 0, 0, 0, 0x80, 0, 0, 0}}},
        {"16-bit 5-5-5", {40, 2, 2, 16, 0, 0, {}, {}, rows555}},
        {"16-bit 5-6-5 bit fields", {40, 2, 2, 16, 3, 0, {}, {0xF800, 0x07E0, 0x001F}, rows565}},
        {"16-bit 5-6-5 in a 56-byte header", {56, 2, 2, 16, 3, 0, {}, {0xF800, 0x07E0, 0x001F}, rows565}},
        {"32-bit", {40, 2, 2, 32, 0, 0, {}, {}, rows32}},
        {"32-bit RGBA masks, 124-byte header", {124, 2, 2, 32, 3, 0, {}, {0xFF, 0xFF00, 0xFF0000}, rowsRgba}},
    };
    for (const Case& c : cases) {
        auto pixels = Decode(CDIB::DecodeBmp(MakeBmp(c.layout)));
        ASSERT_TRUE(pixels) << c.what;
        if (c.layout.bits == 1)  // black / white only
            EXPECT_EQ(*pixels, (std::vector<Rgb>{kWhite, kBlack, kBlack, kWhite})) << c.what;
        else if (c.layout.bits == 16) {  // 5-bit channels keep their top bits
            const uint8_t g = c.layout.compression ? 252 : 248;
            EXPECT_EQ(*pixels, (std::vector<Rgb>{{248, 0, 0}, {0, g, 0}, {0, 0, 248}, {248, g, 248}})) << c.what;
        } else
            EXPECT_EQ(*pixels, want) << c.what;
    }
}

TEST(DibBmp, RunLengthEscapes)
{
    // RLE8, 4 x 3: a run of 2, a literal of 3 (padded), end of line; a
    // delta right 1 and up 1 to the top row, a literal of 4 (no padding)
    // cut at the row's end; end of bitmap.
    const Bytes rle8 = {2, 1, 0, 3, 2, 3, 1, 0, /*EOL*/ 0, 0, /*delta*/ 0, 2, 1, 1, 0, 4, 3, 3, 3, 3, 0, 1};
    const std::vector<Rgb> pal = {kBlack, kRed, kGreen, kBlue};
    auto pixels = Decode(CDIB::DecodeBmp(MakeBmp({40, 4, 3, 8, 1, 4, pal, {}, rle8})));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels,
              (std::vector<Rgb>{kBlack, kBlue, kBlue, kBlue,  // top: delta, then the literal
                                kBlack, kBlack, kBlack, kBlack,  // middle row skipped
                                kRed, kRed, kGreen, kBlue}));
    // RLE4: a run's two nibbles alternate; a literal of 3 pixels takes two
    // bytes (even, no padding).
    const Bytes rle4 = {5, 0x12, 0, 0, 0, 3, 0x30, 0x10, 0, 1};
    pixels = Decode(CDIB::DecodeBmp(MakeBmp({40, 5, 2, 4, 2, 4, pal, {}, rle4})));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels,
              (std::vector<Rgb>{kBlue, kBlack, kRed, kBlack, kBlack,  // top
                                kRed, kGreen, kRed, kGreen, kRed}));
}

TEST(DibBmp, HostileSizesFailTheLoad)
{
    const Bytes row = {1, 2, 3, 0};
    // Wider than memory, taller than the file, a stride that overflows 32
    // bits, a palette past the end, an unknown depth.
    const BmpLayout cases[] = {
        {40, 0x7FFFFFFF, 1, 24, 0, 0, {}, {}, row},
        {40, 1, 1000, 24, 0, 0, {}, {}, row},
        {40, 0x40000000, 0x40000000, 1, 0, 0, {}, {}, row},
        {40, 1, 1, 8, 0, 200, {}, {}, row},
        {40, 1, 1, 7, 0, 0, {}, {}, row},
        {40, 1, -1, 8, 1, 0, {}, {}, row},
    };
    for (const BmpLayout& s : cases)
        EXPECT_FALSE(Decode(CDIB::DecodeBmp(MakeBmp(s)))) << s.width << "x" << s.height << "x" << s.bits;
    // A header that claims more than the file holds.
    Bytes cut = MakeBmp({40, 1, 1, 24, 0, 0, {}, {}, row});
    cut.resize(20);
    EXPECT_FALSE(CDIB::DecodeBmp(cut));
}

// ---- GIF ------------------------------------------------------------------

Bytes PackCodes(const std::vector<std::pair<int, int>>& codes)
{
    Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    for (auto [code, width] : codes) {
        acc |= uint32_t(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        out.push_back(uint8_t(acc));
    return out;
}

// Literal codes only, with a clear code before the table would widen them.
Bytes LiteralCodes(int minCodeSize, const Bytes& pixels)
{
    const int clear = 1 << minCodeSize, width = minCodeSize + 1;
    std::vector<std::pair<int, int>> codes;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % size_t(clear - 2) == 0)
            codes.push_back({clear, width});
        codes.push_back({pixels[i], width});
    }
    codes.push_back({clear + 1, width});
    return PackCodes(codes);
}

Bytes MakeGif(int w, int h, const std::vector<Rgb>& global, const std::vector<Rgb>& local, bool interlaced,
              int minCodeSize, const Bytes& data, const char* version = "89a")
{
    auto tableBits = [](size_t n) { return n <= 2 ? 0 : n <= 4 ? 1 : n <= 8 ? 2 : 7; };
    Bytes g = {'G', 'I', 'F', uint8_t(version[0]), uint8_t(version[1]), uint8_t(version[2])};
    Le16(g, uint32_t(w));
    Le16(g, uint32_t(h));
    g.push_back(global.empty() ? 0 : uint8_t(0x80 | tableBits(global.size())));
    g.insert(g.end(), {0, 0});
    auto table = [&](const std::vector<Rgb>& t) {
        const size_t n = t.empty() ? 0 : size_t(2) << tableBits(t.size());
        for (size_t i = 0; i < n; ++i)
            g.insert(g.end(), i < t.size() ? t[i].begin() : kBlack.begin(), i < t.size() ? t[i].end() : kBlack.end());
    };
    table(global);
    // A graphic control extension and a comment before the image.
    g.insert(g.end(), {0x21, 0xF9, 4, 1, 10, 0, 3, 0, 0x21, 0xFE, 2, 'h', 'i', 0});
    g.push_back(0x2C);
    Le16(g, 0);
    Le16(g, 0);
    Le16(g, uint32_t(w));
    Le16(g, uint32_t(h));
    g.push_back(uint8_t((local.empty() ? 0 : 0x80 | tableBits(local.size())) | (interlaced ? 0x40 : 0)));
    table(local);
    g.push_back(uint8_t(minCodeSize));
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        g.push_back(uint8_t(n));
        g.insert(g.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + n));
    }
    g.insert(g.end(), {0, 0x3B});
    return g;
}

TEST(DibGif, ImagesTablesInterlaceAndBrokenStreams)
{
    const std::vector<Rgb> pal = {kBlack, kRed, kGreen, kBlue, kWhite, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    // 87a, global table, literal codes over several clears.
    auto pixels = Decode(CDIB::DecodeGif(MakeGif(3, 2, pal, {}, false, 3, LiteralCodes(3, {1, 2, 3, 4, 0, 7}), "87a")));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, (std::vector<Rgb>{kRed, kGreen, kBlue, kWhite, kBlack, {7, 8, 9}}));
    // A local table wins over the global one.
    pixels = Decode(CDIB::DecodeGif(MakeGif(2, 1, pal, {kBlue, kGreen}, false, 2, LiteralCodes(2, {1, 0}))));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, (std::vector<Rgb>{kGreen, kBlue}));
    // Interlaced: stream rows 0, 4, 2, 6, 1, 3, 5, 7 of a 1 x 8 picture.
    pixels = Decode(CDIB::DecodeGif(MakeGif(1, 8, pal, {}, true, 3, LiteralCodes(3, {0, 4, 2, 6, 1, 3, 5, 7}))));
    ASSERT_TRUE(pixels);
    for (size_t r = 0; r < 8; ++r)
        EXPECT_EQ((*pixels)[r], pal[r]) << "row " << r;
    // A code equal to the next free entry repeats the previous string.
    pixels = Decode(CDIB::DecodeGif(MakeGif(3, 1, pal, {}, false, 2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}))));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, (std::vector<Rgb>{kRed, kRed, kRed}));

    // Without a previous string that code is a damaged stream: flag set.
    bool damaged = false;
    EXPECT_FALSE(CDIB::DecodeGif(MakeGif(3, 1, pal, {}, false, 2, PackCodes({{4, 3}, {6, 3}, {5, 3}})), &damaged));
    EXPECT_TRUE(damaged);
    // More pixels than the picture holds; a version this loader does not know.
    EXPECT_FALSE(CDIB::DecodeGif(MakeGif(1, 1, pal, {}, false, 2, LiteralCodes(2, {1, 1, 1}))));
    EXPECT_FALSE(CDIB::DecodeGif(MakeGif(1, 1, pal, {}, false, 2, LiteralCodes(2, {1}), "88a")));
}

TEST(DibWbmp, RowsOfAWideMonochromePicture)
{
    // 176 x 2: the width takes two bytes; 22 bytes a row, 1 is white.
    Bytes w = {0, 0, 0x81, 0x30, 2};
    for (int r = 0; r < 2; ++r)
        for (int i = 0; i < 22; ++i)
            w.push_back(r == 0 ? 0x80 : 0x00);
    CDIB d;
    auto pixels = Decode(CDIB::DecodeWbmp(w), &d);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(d.GetWidth(), 176);
    EXPECT_EQ(d.GetBitCount(), 1);
    EXPECT_EQ((*pixels)[0], kWhite);
    EXPECT_EQ((*pixels)[1], kBlack);
    EXPECT_EQ((*pixels)[176], kBlack);
    w.pop_back();  // one byte short
    EXPECT_FALSE(CDIB::DecodeWbmp(w));
    EXPECT_FALSE(CDIB::DecodeWbmp(Bytes{1, 0, 1, 1, 0}));  // type 1
}

// ---- operations -------------------------------------------------------------

CDIB TwoByTwo(uint16_t bits)
{
    const std::vector<Rgb> pal = {kRed, kGreen, kBlue, kWhite};
    CDIB d;
    if (bits == 24)
        EXPECT_EQ(d.LoadFromHDIB(*CDIB::DecodeBmp(MakeBmp(
                      {40, 2, 2, 24, 0, 0, {}, {}, {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}}))),
                  1);
    else
        EXPECT_EQ(
            d.LoadFromHDIB(*CDIB::DecodeBmp(MakeBmp({40, 2, 2, 4, 0, 4, pal, {}, {0x23, 0, 0, 0, 0x01, 0, 0, 0}}))), 1);
    return d;
}

TEST(DibOperations, PixelOperationsOnEveryDepth)
{
    for (uint16_t bits : {uint16_t(24), uint16_t(4)}) {
        CDIB d = TwoByTwo(bits);  // red green / blue white
        ASSERT_EQ(d.Rotate(), 1);
        EXPECT_EQ(PixelsOf(d), (std::vector<Rgb>{kBlue, kRed, kWhite, kGreen})) << bits;
        d = TwoByTwo(bits);
        ASSERT_EQ(d.HFlip(), 1);
        EXPECT_EQ(PixelsOf(d), (std::vector<Rgb>{kGreen, kRed, kWhite, kBlue})) << bits;
        ASSERT_EQ(d.VFlip(), 1);
        EXPECT_EQ(PixelsOf(d), (std::vector<Rgb>{kWhite, kBlue, kGreen, kRed})) << bits;
        ASSERT_EQ(d.Negative(), 1);
        EXPECT_EQ(PixelsOf(d)[0], kBlack) << bits;
        ASSERT_EQ(d.Grey(), 1);
        EXPECT_EQ(PixelsOf(d)[3], (Rgb{178, 178, 178})) << bits;  // negative red (0, 255, 255)
    }
    // A 3 x 2 picture turns into 2 x 3.
    CDIB wide;
    ASSERT_EQ(wide.LoadFromHDIB(*CDIB::DecodeWbmp(Bytes{0, 0, 3, 2, 0x20, 0xC0})), 1);
    ASSERT_EQ(wide.Rotate(), 1);
    EXPECT_EQ(wide.GetWidth(), 2);
    EXPECT_EQ(PixelsOf(wide), (std::vector<Rgb>{kWhite, kBlack, kWhite, kBlack, kBlack, kWhite}));

    CDIB empty;
    EXPECT_EQ(empty.Grey() + empty.Negative() + empty.HFlip() + empty.VFlip() + empty.Rotate(), 0);
}

TEST(DibOperations, RectanglesAndZoom)
{
    CDIB d = TwoByTwo(24);
    const Bytes clip = d.clipTo({1, 1, 3, 3});
    EXPECT_EQ(clip, (Bytes{255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}));
    EXPECT_EQ(d.clipTo({-1, 0, 1, 1}), (Bytes{255, 255, 255, 255, 0, 0}));
    Bytes small(3);
    EXPECT_EQ(d.GetRect(small, 0, 0, 2, 1), 0);  // out too small
    EXPECT_EQ(d.DoGetRect(small, 0, 0, 1, 1), 1);
    EXPECT_EQ(small, (Bytes{255, 0, 0}));
    EXPECT_EQ(TwoByTwo(4).DoGetRect(small, 0, 0, 1, 1), 0);  // 24-bit only

    int w = 0, h = 0;
    Bytes s = d.stretchTo({0, 0, 4, 1}, true, &w, &h);
    EXPECT_EQ(s, (Bytes{255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0}));
    d.ZoomIn();
    int xn, xd, yn, yd;
    d.GetZoomParas(xn, xd, yn, yd);
    EXPECT_EQ(xn * 10 + xd, 21);
    s = d.stretchTo({}, false, &w, &h);
    EXPECT_EQ(w * 10 + h, 44);
    d.RestoreZoom();
    d.ZoomOut();
    EXPECT_EQ(d.GetZoomX(), 0.5);
    for (int i = 0; i < 20; ++i)
        d.ZoomIn();
    EXPECT_EQ(d.GetZoomY(), 8.0);
}

TEST(DibFiles, TypesSaveLoadJpegAndClipboard)
{
    const fs::path dir = fs::temp_directory_path() / ("dib_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    auto write = [&](const char* name, const Bytes& b) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
        return (dir / name).string();
    };
    EXPECT_EQ(CDIB::FindFileType(write(".bmp", {1, 2, 3})), kFileUnknown);
    EXPECT_EQ(CDIB::FindFileType(write("a.WBMP", {0, 0, 1, 1, 0})), kFileWbmp);
    EXPECT_EQ(CDIB::FindFileType(write("gif.dat", {'G', 'I', 'F', '8', '9', 'a'})), kFileGif);
    EXPECT_EQ(CDIB::GetFileExt("a.b.jpeg"), "jpeg");

    // Save writes a 24-bit BMP that loads back with the same pixels.
    CDIB d = TwoByTwo(4);
    const std::string bmp = (dir / "out.bmp").string();
    ASSERT_EQ(d.Save(bmp), 1);
    CDIB back;
    ASSERT_EQ(back.Load(bmp), 1);
    EXPECT_EQ(back.GetBitCount(), 24);
    EXPECT_EQ(PixelsOf(back), PixelsOf(d));
    EXPECT_EQ(CDIB().Save(bmp), 0);

    // A JPEG written in grey loads as grey.
    const Bytes rgb(16 * 8 * 3, 200);
    const std::string jpg = (dir / "grey.jpg").string();
    ASSERT_EQ(CDIB::SaveAsJpegFile(jpg, rgb.data(), 16, 8, 75, 0), 1);
    ASSERT_EQ(back.Load(jpg), 1);
    EXPECT_EQ(back.GetWidth(), 16);
    const Rgb p = PixelsOf(back)[5];
    EXPECT_TRUE(p[0] == p[1] && p[1] == p[2] && std::abs(p[0] - 200) < 4);
    EXPECT_EQ(CDIB::SaveAsJpegFile(jpg, nullptr, 16, 8, 75, 1), 0);

    bool damaged = false;
    EXPECT_EQ(back.Load(write("bad.gif", {'G', 'I', 'F', '8', '9', 'a', 1}), &damaged), 0);
    EXPECT_TRUE(damaged);
    EXPECT_EQ(back.Load((dir / "missing.bmp").string(), &damaged), 0);
    EXPECT_FALSE(damaged);
    EXPECT_EQ(back.GetWidth(), 16);  // unchanged by failed loads

    struct Clipboard : DibClipboard {
        Bytes held;
        bool setDib(std::span<const uint8_t> p) override { return held.assign(p.begin(), p.end()), true; }
        std::optional<Bytes> dib() override { return held; }
    } clipboard;
    ASSERT_EQ(d.Copy(clipboard), 1);
    CDIB pasted;
    ASSERT_EQ(pasted.Paste(clipboard), 1);
    EXPECT_EQ(pasted.GetOpenFlag(), 1u);
    EXPECT_EQ(PixelsOf(pasted), PixelsOf(d));

    struct Canvas : DibCanvas {
        int calls = 0;
        int stretchDib(int, int, int, int dh, int, int, int, int, const DibView& v, int, uint32_t) override
        {
            ++calls;
            return v.width == 2 ? dh : 0;
        }
    } canvas;
    EXPECT_EQ(d.Stretch(canvas, 0, 0, 8, 8, 0, 0, 2, 2), 0);  // not opened by Load or Paste
    EXPECT_EQ(pasted.Stretch(canvas, 0, 0, 8, 8, 0, 0, 2, 2), 8);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace quorlink::media

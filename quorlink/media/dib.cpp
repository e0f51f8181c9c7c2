#include "quorlink/media/dib.h"

#include "quorlink/media/byte_order.h"
#include "quorlink/media/jpeg_codec.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace quorlink::media {

namespace {

// Rows of a loaded DIB may not exceed this many bytes in all.
constexpr int64_t kMaxBitsBytes = int64_t(256) << 20;

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;

bool SizeAcceptable(int64_t width, int64_t height, int bitCount)
{
    return width > 0 && height > 0 && width * height <= kDibMaxPixels &&
        DibStride(width, bitCount) * height <= kMaxBitsBytes;
}

// The fields of a bitmap information header, whatever form it came in.
struct InfoHeader {
    uint32_t size = kDibHeaderSize;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
};

void WriteHeader(uint8_t* p, const InfoHeader& h)
{
    std::memset(p, 0, kDibHeaderSize);
    PutLe32(p, kDibHeaderSize);
    PutLe32(p + 4, static_cast<uint32_t>(h.width));
    PutLe32(p + 8, static_cast<uint32_t>(h.height));
    PutLe16(p + 12, 1);
    PutLe16(p + 14, h.bitCount);
    PutLe32(p + 16, h.compression);
    PutLe32(p + 20, h.sizeImage);
    PutLe32(p + 32, h.clrUsed);
}

// A packed DIB: header, colour table, pixel bytes.
HDIB Pack(InfoHeader h, std::span<const RgbQuad> palette, std::span<const uint8_t> bits)
{
    HDIB dib(kDibHeaderSize + palette.size() * sizeof(RgbQuad) + bits.size());
    h.clrUsed = static_cast<uint32_t>(palette.size());
    if (h.sizeImage == 0)
        h.sizeImage = static_cast<uint32_t>(bits.size());
    WriteHeader(dib.data(), h);
    if (!palette.empty())
        std::memcpy(dib.data() + kDibHeaderSize, palette.data(), palette.size() * sizeof(RgbQuad));
    if (!bits.empty())
        std::memcpy(dib.data() + kDibHeaderSize + palette.size() * sizeof(RgbQuad), bits.data(), bits.size());
    return dib;
}

// Cuts a channel out of a pixel by its mask and moves its top bit to bit 7.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;  // > 0: right, < 0: left
    explicit Channel(uint32_t m) : mask(m)
    {
        if (m == 0)
            return;
        int top = 31;
        while (!(m & (1u << top)))
            --top;
        shift = top - 7;
    }
    [[nodiscard]] uint8_t operator()(uint32_t v) const
    {
        const uint32_t c = v & mask;
        return static_cast<uint8_t>(shift >= 0 ? c >> shift : c << -shift);
    }
};

std::optional<std::vector<uint8_t>> ReadWholeFile(std::string_view path)
{
    std::ifstream f(std::filesystem::path(path), std::ios::binary);
    if (!f)
        return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (f.bad())
        return std::nullopt;
    return bytes;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// ---- GIF ----------------------------------------------------------------

struct GifReader {
    std::span<const uint8_t> d;
    size_t pos = 0;
    [[nodiscard]] bool has(size_t n) const { return pos <= d.size() && d.size() - pos >= n; }
    // Skips data sub-blocks up to and including the terminator.
    bool skipSubBlocks()
    {
        while (has(1)) {
            const size_t n = d[pos++];
            if (n == 0)
                return true;
            if (!has(n))
                return false;
            pos += n;
        }
        return false;
    }
};

// The GIF passes of an interlaced picture: first row and step.
constexpr int kInterlacePasses[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};

// LZW decoding of a GIF image's data into indexes. Returns false for a
// damaged stream (broken is then set for the caller's flag) or for more
// pixels than the image holds.
bool GifLzw(std::span<const uint8_t> data, int minCodeSize, std::vector<uint8_t>& out, bool& broken)
{
    if (minCodeSize < 1 || minCodeSize > 11)
        return broken = true, false;
    constexpr int kTableSize = 4096;
    std::vector<uint16_t> prefix(kTableSize), length(kTableSize);
    std::vector<uint8_t> suffix(kTableSize), first(kTableSize);
    const int clear = 1 << minCodeSize, end = clear + 1;
    for (int i = 0; i < clear; ++i) {
        suffix[size_t(i)] = first[size_t(i)] = static_cast<uint8_t>(i);
        length[size_t(i)] = 1;
    }
    int width = minCodeSize + 1, next = clear + 2, previous = -1;
    size_t produced = 0;
    // Writes the string of code c (and one more byte when extra >= 0).
    auto emit = [&](int c, int extra) {
        const size_t n = length[size_t(c)] + (extra >= 0 ? 1 : 0);
        if (out.size() - produced < n)
            return false;
        size_t p = produced + length[size_t(c)];
        if (extra >= 0)
            out[p] = static_cast<uint8_t>(extra);
        for (int k = c;; k = prefix[size_t(k)]) {
            out[--p] = suffix[size_t(k)];
            if (length[size_t(k)] <= 1)
                break;
        }
        produced += n;
        return true;
    };
    uint32_t acc = 0;
    int bits = 0;
    size_t in = 0;
    for (;;) {
        while (bits < width && in < data.size()) {
            acc |= uint32_t(data[in++]) << bits;
            bits += 8;
        }
        if (bits < width)
            return true;  // the data ended without an end code: keep what came
        const int code = int(acc & ((1u << width) - 1));
        acc >>= width;
        bits -= width;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            return true;
        int added = -1;  // first byte of the new table entry
        if (code < next) {
            if (previous < 0 && code > end)
                return broken = true, false;
            if (!emit(code, -1))
                return false;
            added = first[size_t(code)];
        } else if (code == next && previous >= 0) {
            // The previous string followed by its own first byte.
            if (!emit(previous, first[size_t(previous)]))
                return false;
            added = first[size_t(previous)];
        } else {
            return broken = true, false;
        }
        if (previous >= 0 && next < kTableSize) {
            prefix[size_t(next)] = static_cast<uint16_t>(previous);
            suffix[size_t(next)] = static_cast<uint8_t>(added);
            first[size_t(next)] = first[size_t(previous)];
            length[size_t(next)] = static_cast<uint16_t>(length[size_t(previous)] + 1);
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        previous = code;
    }
}

}  // namespace

std::array<uint8_t, 3> DibView::rgb(int x, int y) const
{
    const int row = height - 1 - y;
    const uint8_t* p = bits.data() + size_t(row) * size_t(stride);
    if (bitCount == 24)
        return {p[x * 3 + 2], p[x * 3 + 1], p[x * 3]};
    const int perByte = 8 / bitCount;
    const int shift = (perByte - 1 - x % perByte) * bitCount;
    const int index = (p[x / perByte] >> shift) & ((1 << bitCount) - 1);
    const RgbQuad q = size_t(index) < palette.size() ? palette[size_t(index)] : RgbQuad{};
    return {q.red, q.green, q.blue};
}

CDIB::CDIB() = default;
CDIB::~CDIB() = default;

void CDIB::Clear()
{
    bits_.clear();
    palette_.clear();
    width_ = height_ = bitCount_ = 0;
    RestoreZoom();
}

// ---- files ----------------------------------------------------------------

int CDIB::FindFileType(std::string_view path)
{
    uint8_t head[10] = {};
    size_t got = 0;
    if (std::ifstream f{std::filesystem::path(path), std::ios::binary}) {
        f.read(reinterpret_cast<char*>(head), sizeof head);
        got = static_cast<size_t>(f.gcount());
    }
    if (got >= 2 && head[0] == 'B' && head[1] == 'M')
        return kFileBmp;
    if (got >= 6 && std::memcmp(head, "GIF", 3) == 0 && std::memcmp(head + 3, "89a", 3) <= 0)
        return kFileGif;
    if (got >= 10 && std::memcmp(head + 6, "JFIF", 4) == 0)
        return kFileJpeg;
    // Exif and other JPEG files start with a marker, not "JFIF".
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return kFileJpeg;
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return kFileUnknown;
    const std::string_view ext = name.substr(dot + 1);
    if (EqualsNoCase(ext, "jpg") || EqualsNoCase(ext, "jpeg"))
        return kFileJpeg;
    if (EqualsNoCase(ext, "bmp"))
        return kFileBmp;
    if (EqualsNoCase(ext, "gif"))
        return kFileGif;
    if (EqualsNoCase(ext, "wbmp"))
        return kFileWbmp;
    return kFileUnknown;
}

std::string CDIB::GetFileExt(std::string_view path)
{
    const size_t dot = path.find_last_of('.');
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot + 1));
}

std::string CDIB::GetAppPath()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

int CDIB::Load(std::string_view path, bool* damaged)
{
    if (damaged)
        *damaged = false;
    const auto file = ReadWholeFile(path);
    if (!file)
        return 0;
    bool broken = false;
    std::optional<HDIB> dib;
    switch (FindFileType(path)) {
    case kFileJpeg: dib = DecodeJpegFile(*file); break;
    case kFileBmp: dib = DecodeBmp(*file); break;
    case kFileGif: dib = DecodeGif(*file, &broken); break;
    case kFileWbmp: dib = DecodeWbmp(*file); break;
    default: break;
    }
    if (!dib || !LoadFromHDIB(*dib)) {
        if (damaged)
            *damaged = true;
        return 0;
    }
    openFlag_ = 1;
    return 1;
}

int CDIB::Save(std::string_view path) const
{
    if (IsEmpty())
        return 0;
    const int64_t stride = DibStride(width_, 24);
    std::vector<uint8_t> file(14 + kDibHeaderSize + size_t(stride * height_), 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(&file[2], static_cast<uint32_t>(file.size()));
    PutLe32(&file[10], 14 + kDibHeaderSize);
    InfoHeader h;
    h.width = width_;
    h.height = height_;
    h.bitCount = 24;
    h.sizeImage = static_cast<uint32_t>(stride * height_);
    WriteHeader(&file[14], h);
    const DibView v = View();
    for (int y = 0; y < height_; ++y) {
        uint8_t* row = &file[14 + kDibHeaderSize + size_t(height_ - 1 - y) * size_t(stride)];
        for (int x = 0; x < width_; ++x) {
            const auto c = v.rgb(x, y);
            row[x * 3] = c[2];
            row[x * 3 + 1] = c[1];
            row[x * 3 + 2] = c[0];
        }
    }
    std::ofstream f(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return f.flush() ? 1 : 0;
}

// ---- packed DIBs ----------------------------------------------------------

int CDIB::LoadDib(std::span<const uint8_t> packed)
{
    if (packed.size() < kDibHeaderSize)
        return 0;
    const uint32_t headerSize = GetLe32(&packed[0]);
    const int32_t width = static_cast<int32_t>(GetLe32(&packed[4]));
    const int32_t rawHeight = static_cast<int32_t>(GetLe32(&packed[8]));
    const int bitCount = GetLe16(&packed[14]);
    const uint32_t compression = GetLe32(&packed[16]);
    const uint32_t sizeImage = GetLe32(&packed[20]);
    const uint32_t clrUsed = GetLe32(&packed[32]);
    if (headerSize < kDibHeaderSize || headerSize > packed.size() || compression > kBiRle4 || rawHeight == INT32_MIN)
        return 0;
    if (!(bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 24))
        return 0;
    if ((compression == kBiRle8 && bitCount != 8) || (compression == kBiRle4 && bitCount != 4))
        return 0;
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (!SizeAcceptable(width, height, bitCount) || (topDown && compression != kBiRgb))
        return 0;
    const size_t stride = static_cast<size_t>(DibStride(width, bitCount));

    std::vector<RgbQuad> palette;
    size_t present = 0;
    if (bitCount <= 8) {
        palette.resize(size_t(1) << bitCount);
        present = (clrUsed == 0 || clrUsed >= palette.size()) ? palette.size() : clrUsed;
    } else {
        present = std::min<size_t>(clrUsed, 256);  // an optional table before 24-bit rows
    }
    size_t offset = headerSize;
    if ((packed.size() - offset) / sizeof(RgbQuad) < present)
        return 0;
    if (bitCount <= 8)
        std::memcpy(palette.data(), &packed[offset], present * sizeof(RgbQuad));
    offset += present * sizeof(RgbQuad);
    const std::span<const uint8_t> data = packed.subspan(offset);

    std::vector<uint8_t> bits(stride * size_t(height), 0);
    if (compression == kBiRgb) {
        if (data.size() < bits.size())
            return 0;
        for (int32_t r = 0; r < height; ++r) {
            const size_t from = size_t(topDown ? height - 1 - r : r) * stride;
            std::memcpy(&bits[size_t(r) * stride], &data[from], stride);
        }
    } else {
        const auto src = sizeImage != 0 && sizeImage < data.size() ? data.first(sizeImage) : data;
        if (compression == kBiRle8)
            (void)DecodeRLE8(src, bits, int(stride), height);
        else
            (void)DecodeRLE4(src, bits, int(stride), height);
    }
    bits_ = std::move(bits);
    palette_ = std::move(palette);
    width_ = width;
    height_ = height;
    bitCount_ = bitCount;
    compression_ = static_cast<int32_t>(compression);
    return 1;
}

size_t CDIB::PackedDibSize() const
{
    return IsEmpty() ? 0 : kDibHeaderSize + palette_.size() * sizeof(RgbQuad) + bits_.size();
}

size_t CDIB::SaveToDib(std::span<uint8_t> out) const
{
    const size_t size = PackedDibSize();
    if (size == 0 || out.size() < size)
        return 0;
    const HDIB dib = SaveToHDIB();
    std::memcpy(out.data(), dib.data(), size);
    return size;
}

HDIB CDIB::SaveToHDIB() const
{
    if (IsEmpty())
        return {};
    InfoHeader h;
    h.width = width_;
    h.height = height_;
    h.bitCount = static_cast<uint16_t>(bitCount_);
    return Pack(h, palette_, bits_);
}

int CDIB::Copy(DibClipboard& clipboard) const
{
    if (IsEmpty())
        return 0;
    return clipboard.setDib(SaveToHDIB()) ? 1 : 0;
}

int CDIB::Paste(DibClipboard& clipboard)
{
    const auto dib = clipboard.dib();
    if (!dib || !LoadDib(*dib))
        return 0;
    openFlag_ = 1;
    return 1;
}

DibView CDIB::View() const
{
    return {width_, height_, bitCount_, int(DibStride(width_, bitCount_)), palette_, bits_};
}

int CDIB::Stretch(DibCanvas& canvas, int x, int y, int w, int h, int sx, int sy, int sw, int sh, int colourUsage,
                  uint32_t rasterOperation) const
{
    if (!openFlag_ || IsEmpty())
        return 0;
    return canvas.stretchDib(x, y, w, h, sx, sy, sw, sh, View(), colourUsage, rasterOperation);
}

// ---- decoders -------------------------------------------------------------

std::optional<HDIB> CDIB::DecodeBmp(std::span<const uint8_t> file)
{
    size_t off = 0;
    uint32_t dataOffset = 0;
    if (file.size() >= 14 && file[0] == 'B' && file[1] == 'M') {
        dataOffset = GetLe32(&file[10]);
        off = 14;
    }
    if (file.size() < off + 4)
        return std::nullopt;
    const uint32_t headerSize = GetLe32(&file[off]);
    if (headerSize < 12 || headerSize > file.size() - off)
        return std::nullopt;
    const uint8_t* p = &file[off];
    InfoHeader h;
    bool core = false, os2 = false;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    bool haveMasks = false;
    if (headerSize == 12) {
        core = true;
        h.width = GetLe16(p + 4);
        h.height = GetLe16(p + 6);
        h.bitCount = GetLe16(p + 10);
    } else if (headerSize >= 16) {
        // Any longer header: the fields it holds, zero for the ones it cuts
        // off (the two-field OS/2 headers stop early).
        uint8_t full[kDibHeaderSize] = {};
        std::memcpy(full, p, std::min<size_t>(headerSize, kDibHeaderSize));
        h.width = static_cast<int32_t>(GetLe32(full + 4));
        h.height = static_cast<int32_t>(GetLe32(full + 8));
        h.bitCount = GetLe16(full + 14);
        h.compression = GetLe32(full + 16);
        h.sizeImage = GetLe32(full + 20);
        h.clrUsed = GetLe32(full + 32);
        os2 = headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124;
        if (headerSize >= 52) {
            for (int i = 0; i < 3; ++i)
                masks[i] = GetLe32(p + 40 + 4 * i);
            haveMasks = true;
        }
    } else {
        return std::nullopt;
    }
    if (os2 && h.compression > kBiRle4)
        return std::nullopt;  // OS/2 Huffman and RLE24 pictures
    size_t paletteAt = off + headerSize;
    if ((h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) && !haveMasks) {
        const size_t n = h.compression == kBiAlphaBitfields ? 4 : 3;
        if (file.size() - paletteAt < n * 4)
            return std::nullopt;
        for (int i = 0; i < 3; ++i)
            masks[i] = GetLe32(&file[paletteAt + 4 * size_t(i)]);
        paletteAt += n * 4;
    }
    const int bits = h.bitCount;
    const bool topDown = h.height < 0;
    if (h.height == INT32_MIN)
        return std::nullopt;
    const int32_t height = topDown ? -h.height : h.height;
    if (!SizeAcceptable(h.width, height, std::max(bits, 1)))
        return std::nullopt;
    const bool fields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    switch (bits) {
    case 1:
    case 2:
    case 4:
    case 8:
        if (!(h.compression == kBiRgb || (bits == 8 && h.compression == kBiRle8) ||
              (bits == 4 && h.compression == kBiRle4)))
            return std::nullopt;
        break;
    case 24:
        if (h.compression != kBiRgb)
            return std::nullopt;
        break;
    case 16:
    case 32:
        if (h.compression != kBiRgb && !fields)
            return std::nullopt;
        if (!fields && bits == 32) {
            masks[0] = 0xFF0000;
            masks[1] = 0xFF00;
            masks[2] = 0xFF;
        } else if (!fields) {
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
        }
        break;
    default: return std::nullopt;
    }

    // Colour table: 3-byte entries in core files, 4-byte ones otherwise.
    std::vector<RgbQuad> palette;
    size_t paletteEnd = paletteAt;
    if (bits <= 8) {
        const size_t all = size_t(1) << bits;
        size_t n = (h.clrUsed == 0 || h.clrUsed > all) ? all : h.clrUsed;
        const size_t entry = core ? 3 : 4;
        // A table shorter than the depth allows ends where the pixels begin
        // (core files carry no colour count).
        if (dataOffset > paletteAt && dataOffset <= file.size())
            n = std::min(n, (dataOffset - paletteAt) / entry);
        if (n == 0 || (file.size() - paletteAt) / entry < n)
            return std::nullopt;
        palette.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* e = &file[paletteAt + i * entry];
            palette[i] = {e[0], e[1], e[2], 0};
        }
        paletteEnd = paletteAt + n * entry;
    }
    // The pixels start where the file header says, when that is a place
    // past the headers inside the file; else right after the colour table.
    size_t bitsAt = paletteEnd;
    if (dataOffset >= off + headerSize && dataOffset < file.size())
        bitsAt = dataOffset;
    if (bitsAt > file.size())
        return std::nullopt;
    const std::span<const uint8_t> data = file.subspan(bitsAt);

    InfoHeader out;
    out.width = h.width;
    out.height = h.height;
    out.bitCount = static_cast<uint16_t>(bits == 16 || bits == 32 ? 24 : bits);
    if (h.compression == kBiRle8 || h.compression == kBiRle4) {
        if (topDown)
            return std::nullopt;
        out.compression = h.compression;
        out.sizeImage = static_cast<uint32_t>(data.size());
        return Pack(out, palette, data);
    }
    const size_t inStride = static_cast<size_t>(DibStride(h.width, bits));
    const size_t rowBytes = (size_t(h.width) * size_t(bits) + 7) / 8;
    // The last row may lack its padding; anything shorter is a cut file.
    if (data.size() < inStride * size_t(height - 1) + rowBytes)
        return std::nullopt;
    const size_t outStride = static_cast<size_t>(DibStride(h.width, out.bitCount));
    std::vector<uint8_t> pixels(outStride * size_t(height), 0);
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* in = &data[size_t(r) * inStride];
        uint8_t* o = &pixels[size_t(r) * outStride];
        if (bits == 16 || bits == 32) {
            for (int32_t x = 0; x < h.width; ++x) {
                const uint32_t v = bits == 16 ? GetLe16(in + 2 * x) : GetLe32(in + 4 * x);
                o[3 * x] = blue(v);
                o[3 * x + 1] = green(v);
                o[3 * x + 2] = red(v);
            }
        } else {
            std::memcpy(o, in, std::min(rowBytes, size_t(data.size() - size_t(r) * inStride)));
        }
    }
    // Top-down rows keep their order here; the negative height tells
    // LoadDib to turn them over.
    return Pack(out, palette, pixels);
}

bool CDIB::DecodeRLE8(std::span<const uint8_t> src, std::span<uint8_t> dst, int stride, int height)
{
    int x = 0, y = 0;
    size_t i = 0;
    auto put = [&](uint8_t v) {
        if (x >= 0 && x < stride && y >= 0 && y < height)
            dst[size_t(y) * size_t(stride) + size_t(x)] |= v;
        ++x;
    };
    while (i + 1 < src.size()) {
        const uint8_t count = src[i], value = src[i + 1];
        i += 2;
        if (count > 0) {
            for (int n = 0; n < count; ++n)
                put(value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (i + 1 >= src.size())
                return false;
            x += src[i];
            y += src[i + 1];
            i += 2;
        } else {
            for (int n = 0; n < value && i < src.size(); ++n)
                put(src[i++]);
            if (value % 2 != 0)
                ++i;
        }
        if (y >= height)
            return false;
    }
    return false;
}

bool CDIB::DecodeRLE4(std::span<const uint8_t> src, std::span<uint8_t> dst, int stride, int height)
{
    int x = 0, y = 0;
    size_t i = 0;
    auto put = [&](int nibble) {
        if (x >= 0 && x < stride * 2 && y >= 0 && y < height)
            dst[size_t(y) * size_t(stride) + size_t(x / 2)] |= static_cast<uint8_t>(x % 2 == 0 ? nibble << 4 : nibble);
        ++x;
    };
    while (i + 1 < src.size()) {
        const uint8_t count = src[i], value = src[i + 1];
        i += 2;
        if (count > 0) {
            for (int n = 0; n < count; ++n)
                put(n % 2 == 0 ? value >> 4 : value & 0xF);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (i + 1 >= src.size())
                return false;
            x += src[i];
            y += src[i + 1];
            i += 2;
        } else {
            const int bytes = (value + 1) / 2;
            for (int n = 0; n < value && i + size_t(n / 2) < src.size(); ++n)
                put(n % 2 == 0 ? src[i + size_t(n / 2)] >> 4 : src[i + size_t(n / 2)] & 0xF);
            i += size_t(bytes) + (bytes % 2 != 0 ? 1 : 0);
        }
        if (y >= height)
            return false;
    }
    return false;
}

std::optional<HDIB> CDIB::DecodeGif(std::span<const uint8_t> file, bool* damaged)
{
    if (damaged)
        *damaged = false;
    GifReader g{file};
    if (!g.has(13) || std::memcmp(file.data(), "GIF", 3) != 0 ||
        (std::memcmp(file.data() + 3, "87a", 3) != 0 && std::memcmp(file.data() + 3, "89a", 3) != 0))
        return std::nullopt;
    const uint8_t screenFlags = file[10];
    g.pos = 13;
    std::span<const uint8_t> globalTable;
    if (screenFlags & 0x80) {
        const size_t n = size_t(3) << ((screenFlags & 7) + 1);
        if (!g.has(n))
            return std::nullopt;
        globalTable = file.subspan(g.pos, n);
        g.pos += n;
    }
    // First pass: count the images, skip extensions, find the first image.
    const size_t blocksAt = g.pos;
    int images = 0;
    size_t firstImage = 0;
    for (bool done = false; !done;) {
        if (!g.has(1)) {
            if (images == 0)
                return std::nullopt;
            break;  // no trailer after a whole image: keep it
        }
        const uint8_t b = file[g.pos++];
        switch (b) {
        case 0x2C: {
            if (!g.has(9))
                return std::nullopt;
            if (images++ == 0)
                firstImage = g.pos - 1;
            const uint8_t flags = file[g.pos + 8];
            g.pos += 9;
            if (flags & 0x80) {
                const size_t n = size_t(3) << ((flags & 7) + 1);
                if (!g.has(n))
                    return std::nullopt;
                g.pos += n;
            }
            if (!g.has(1))
                return std::nullopt;
            ++g.pos;  // LZW code size
            if (!g.skipSubBlocks())
                return std::nullopt;
            break;
        }
        case 0x21:
            if (!g.has(1))
                return std::nullopt;
            ++g.pos;  // label: graphic control, comment, plain text, application...
            if (!g.skipSubBlocks())
                return std::nullopt;
            break;
        case 0x3B: done = true; break;
        default: return std::nullopt;
        }
    }
    (void)blocksAt;
    if (images == 0)
        return std::nullopt;

    // The first image.
    g.pos = firstImage + 1;
    const int width = GetLe16(&file[g.pos + 4]);
    const int height = GetLe16(&file[g.pos + 6]);
    const uint8_t flags = file[g.pos + 8];
    g.pos += 9;
    std::span<const uint8_t> table = globalTable;
    if (flags & 0x80) {
        const size_t n = size_t(3) << ((flags & 7) + 1);
        table = file.subspan(g.pos, n);
        g.pos += n;
    }
    if (!SizeAcceptable(width, height, 8))
        return std::nullopt;
    const int minCodeSize = file[g.pos++];
    std::vector<uint8_t> data;
    while (g.has(1)) {
        const size_t n = file[g.pos++];
        if (n == 0 || !g.has(n))
            break;
        data.insert(data.end(), file.begin() + std::ptrdiff_t(g.pos), file.begin() + std::ptrdiff_t(g.pos + n));
        g.pos += n;
    }
    std::vector<uint8_t> indexes(size_t(width) * size_t(height), 0);
    bool broken = false;
    if (!GifLzw(data, minCodeSize, indexes, broken)) {
        if (damaged)
            *damaged = broken;
        return std::nullopt;
    }
    std::vector<RgbQuad> palette(256);
    for (size_t i = 0; i < palette.size() && i * 3 + 2 < table.size(); ++i)
        palette[i] = {table[i * 3 + 2], table[i * 3 + 1], table[i * 3], 0};
    // GIF rows run top-down (interlaced ones in four passes); DIB rows bottom-up.
    const size_t stride = static_cast<size_t>(DibStride(width, 8));
    std::vector<uint8_t> pixels(stride * size_t(height), 0);
    int source = 0;
    auto copyRow = [&](int row) {
        std::memcpy(&pixels[size_t(height - 1 - row) * stride], &indexes[size_t(source++) * size_t(width)],
                    size_t(width));
    };
    if (flags & 0x40) {
        for (const auto& pass : kInterlacePasses)
            for (int row = pass[0]; row < height; row += pass[1])
                copyRow(row);
    } else {
        for (int row = 0; row < height; ++row)
            copyRow(row);
    }
    InfoHeader out;
    out.width = width;
    out.height = height;
    out.bitCount = 8;
    return Pack(out, palette, pixels);
}

std::optional<HDIB> CDIB::DecodeWbmp(std::span<const uint8_t> file)
{
    if (file.size() < 2 || file[0] != 0 || file[1] != 0)
        return std::nullopt;
    size_t pos = 2;
    auto number = [&](int64_t& v) {
        v = 0;
        for (int n = 0; n < 4; ++n) {
            if (pos >= file.size())
                return false;
            const uint8_t b = file[pos++];
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;
    };
    int64_t width = 0, height = 0;
    if (!number(width) || !number(height) || !SizeAcceptable(width, height, 1))
        return std::nullopt;
    const size_t rowBytes = size_t((width + 7) / 8);
    if ((file.size() - pos) / rowBytes < size_t(height))
        return std::nullopt;
    const size_t stride = static_cast<size_t>(DibStride(width, 1));
    std::vector<uint8_t> pixels(stride * size_t(height), 0);
    for (int64_t r = 0; r < height; ++r)
        std::memcpy(&pixels[size_t(height - 1 - r) * stride], &file[pos + size_t(r) * rowBytes], rowBytes);
    const RgbQuad palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    InfoHeader out;
    out.width = static_cast<int32_t>(width);
    out.height = static_cast<int32_t>(height);
    out.bitCount = 1;
    return Pack(out, palette, pixels);
}

std::optional<HDIB> CDIB::DecodeJpegFile(std::span<const uint8_t> file)
{
    JpegHeader header;
    if (!ReadJpegHeader(file, header).ok || (header.components != 1 && header.components != 3) ||
        !SizeAcceptable(header.width, header.height, 24))
        return std::nullopt;
    const size_t stride = static_cast<size_t>(DibStride(header.width, 24));
    std::vector<uint8_t> pixels(stride * size_t(header.height));
    // Bottom-up: the top row goes last.
    uint8_t* top = pixels.data() + stride * size_t(header.height - 1);
    if (!DecodeJpeg(file, JpegPixels::Bgr24, header.width, header.height, top, -ptrdiff_t(stride)).ok)
        return std::nullopt;
    InfoHeader out;
    out.width = header.width;
    out.height = header.height;
    out.bitCount = 24;
    return Pack(out, {}, pixels);
}

// ---- pixel operations -------------------------------------------------------

int CDIB::indexAt(int x, int row) const
{
    const uint8_t* p = &bits_[size_t(row) * size_t(DibStride(width_, bitCount_))];
    if (bitCount_ == 8)
        return p[x];
    const int perByte = 8 / bitCount_;
    const int shift = (perByte - 1 - x % perByte) * bitCount_;
    return (p[x / perByte] >> shift) & ((1 << bitCount_) - 1);
}

void CDIB::setIndex(int x, int row, int value)
{
    uint8_t* p = &bits_[size_t(row) * size_t(DibStride(width_, bitCount_))];
    if (bitCount_ == 8) {
        p[x] = static_cast<uint8_t>(value);
        return;
    }
    const int perByte = 8 / bitCount_;
    const int shift = (perByte - 1 - x % perByte) * bitCount_;
    const int mask = ((1 << bitCount_) - 1) << shift;
    p[x / perByte] = static_cast<uint8_t>((p[x / perByte] & ~mask) | ((value << shift) & mask));
}

int CDIB::Grey()
{
    if (IsEmpty())
        return 0;
    auto grey = [](uint8_t r, uint8_t g, uint8_t b) {
        return static_cast<uint8_t>((299 * r + 587 * g + 114 * b) / 1000);
    };
    if (bitCount_ == 24) {
        const size_t stride = size_t(DibStride(width_, 24));
        for (int r = 0; r < height_; ++r)
            for (int x = 0; x < width_; ++x) {
                uint8_t* p = &bits_[size_t(r) * stride + size_t(x) * 3];
                p[0] = p[1] = p[2] = grey(p[2], p[1], p[0]);
            }
    } else {
        for (RgbQuad& q : palette_)
            q.red = q.green = q.blue = grey(q.red, q.green, q.blue);
    }
    return 1;
}

int CDIB::Negative()
{
    if (IsEmpty())
        return 0;
    if (bitCount_ == 24) {
        const size_t stride = size_t(DibStride(width_, 24));
        for (int r = 0; r < height_; ++r)
            for (size_t i = 0; i < size_t(width_) * 3; ++i)
                bits_[size_t(r) * stride + i] = static_cast<uint8_t>(255 - bits_[size_t(r) * stride + i]);
    } else {
        for (RgbQuad& q : palette_) {
            q.red = static_cast<uint8_t>(255 - q.red);
            q.green = static_cast<uint8_t>(255 - q.green);
            q.blue = static_cast<uint8_t>(255 - q.blue);
        }
    }
    return 1;
}

int CDIB::HFlip()
{
    if (IsEmpty())
        return 0;
    const size_t stride = size_t(DibStride(width_, bitCount_));
    for (int r = 0; r < height_; ++r) {
        if (bitCount_ == 24) {
            uint8_t* row = &bits_[size_t(r) * stride];
            for (int a = 0, b = width_ - 1; a < b; ++a, --b)
                std::swap_ranges(row + a * 3, row + a * 3 + 3, row + b * 3);
        } else {
            for (int a = 0, b = width_ - 1; a < b; ++a, --b) {
                const int va = indexAt(a, r), vb = indexAt(b, r);
                setIndex(a, r, vb);
                setIndex(b, r, va);
            }
        }
    }
    return 1;
}

int CDIB::VFlip()
{
    if (IsEmpty())
        return 0;
    const size_t stride = size_t(DibStride(width_, bitCount_));
    for (int a = 0, b = height_ - 1; a < b; ++a, --b)
        std::swap_ranges(bits_.begin() + std::ptrdiff_t(size_t(a) * stride),
                         bits_.begin() + std::ptrdiff_t(size_t(a + 1) * stride),
                         bits_.begin() + std::ptrdiff_t(size_t(b) * stride));
    return 1;
}

int CDIB::Rotate()
{
    if (IsEmpty())
        return 0;
    CDIB turned = *this;
    turned.width_ = height_;
    turned.height_ = width_;
    const size_t newStride = size_t(DibStride(turned.width_, bitCount_));
    turned.bits_.assign(newStride * size_t(turned.height_), 0);
    const size_t stride = size_t(DibStride(width_, bitCount_));
    // Clockwise, in top-down coordinates: new (x', y') = old (y', H - 1 - x').
    for (int ny = 0; ny < turned.height_; ++ny) {
        const int newRow = turned.height_ - 1 - ny;
        for (int nx = 0; nx < turned.width_; ++nx) {
            const int ox = ny, oy = height_ - 1 - nx;
            const int oldRow = height_ - 1 - oy;
            if (bitCount_ == 24)
                std::memcpy(&turned.bits_[size_t(newRow) * newStride + size_t(nx) * 3],
                            &bits_[size_t(oldRow) * stride + size_t(ox) * 3], 3);
            else
                turned.setIndex(nx, newRow, indexAt(ox, oldRow));
        }
    }
    *this = std::move(turned);
    return 1;
}

// ---- rectangles -----------------------------------------------------------

int CDIB::DoGetRect(std::span<uint8_t> out, int x, int y, int w, int h) const
{
    if (IsEmpty() || bitCount_ != 24)
        return 0;
    return GetRect(out, x, y, w, h);
}

int CDIB::GetRect(std::span<uint8_t> out, int x, int y, int w, int h) const
{
    if (IsEmpty() || w < 1 || h < 1 || out.size() / 3 / size_t(w) < size_t(h))
        return 0;
    const DibView v = View();
    const int x0 = std::max(x, 0), x1 = int(std::min<int64_t>(int64_t(x) + w, width_));
    const int y0 = std::max(y, 0), y1 = int(std::min<int64_t>(int64_t(y) + h, height_));
    for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
            const auto c = v.rgb(sx, sy);
            std::memcpy(&out[(size_t(sy - y) * size_t(w) + size_t(sx - x)) * 3], c.data(), 3);
        }
    return 1;
}

std::vector<uint8_t> CDIB::clipTo(const DibRect& rect) const
{
    if (IsEmpty() || rect.width() < 1 || rect.height() < 1 || int64_t(rect.width()) * rect.height() > kDibMaxPixels)
        return {};
    std::vector<uint8_t> out(size_t(rect.width()) * size_t(rect.height()) * 3, 255);
    (void)GetRect(out, rect.left, rect.top, rect.width(), rect.height());
    return out;
}

std::vector<uint8_t> CDIB::stretchTo(const DibRect& rect, bool fit, int* width, int* height) const
{
    if (IsEmpty())
        return {};
    const int tw = fit ? rect.width() : ZoomedWidth();
    const int th = fit ? rect.height() : ZoomedHeight();
    if (tw < 1 || th < 1 || int64_t(tw) * th > kDibMaxPixels)
        return {};
    const DibView v = View();
    std::vector<uint8_t> out(size_t(tw) * size_t(th) * 3);
    for (int i = 0; i < th; ++i) {
        const int sy = int(int64_t(i) * height_ / th);
        for (int j = 0; j < tw; ++j) {
            const auto c = v.rgb(int(int64_t(j) * width_ / tw), sy);
            std::memcpy(&out[(size_t(i) * size_t(tw) + size_t(j)) * 3], c.data(), 3);
        }
    }
    if (width)
        *width = tw;
    if (height)
        *height = th;
    return out;
}

// ---- JPEG writing -----------------------------------------------------------

std::optional<std::vector<uint8_t>> CDIB::EncodeJpegRgb(const uint8_t* pixels, int width, int height, int quality,
                                                        bool colour)
{
    if (!pixels || width <= 0 || height <= 0)
        return std::nullopt;
    // The encoder takes blue-green-red or grey rows.
    const size_t n = size_t(width) * size_t(height);
    std::vector<uint8_t> rows(colour ? n * 3 : n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t r = pixels[i * 3], g = pixels[i * 3 + 1], b = pixels[i * 3 + 2];
        if (colour) {
            rows[i * 3] = b;
            rows[i * 3 + 1] = g;
            rows[i * 3 + 2] = r;
        } else {
            rows[i] = static_cast<uint8_t>((299 * r + 587 * g + 114 * b) / 1000);
        }
    }
    std::vector<uint8_t> out;
    const ptrdiff_t stride = colour ? ptrdiff_t(width) * 3 : width;
    if (!EncodeJpeg(rows.data(), stride, width, height, colour ? JpegPixels::Bgr24 : JpegPixels::Grey8, quality, out)
             .ok)
        return std::nullopt;
    return out;
}

int CDIB::SaveAsJpegFile(std::string_view path, const uint8_t* pixels, int width, int height, int quality, int colour)
{
    const auto jpeg = EncodeJpegRgb(pixels, width, height, quality, colour != 0);
    if (!jpeg)
        return 0;
    std::ofstream f(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    if (!f)
        return 0;
    f.write(reinterpret_cast<const char*>(jpeg->data()), std::streamsize(jpeg->size()));
    return f.flush() ? 1 : 0;
}

// ---- zoom -------------------------------------------------------------------

void CDIB::SetZoomParas(int xNumerator, int xDenominator, int yNumerator, int yDenominator)
{
    auto clamp = [](int v) { return std::clamp(v, 1, 8); };
    zoomXNum_ = clamp(xNumerator);
    zoomXDen_ = clamp(xDenominator);
    zoomYNum_ = clamp(yNumerator);
    zoomYDen_ = clamp(yDenominator);
}

void CDIB::GetZoomParas(int& xNumerator, int& xDenominator, int& yNumerator, int& yDenominator) const
{
    xNumerator = zoomXNum_;
    xDenominator = zoomXDen_;
    yNumerator = zoomYNum_;
    yDenominator = zoomYDen_;
}

void CDIB::ZoomIn()
{
    for (auto [num, den] : {std::pair{&zoomXNum_, &zoomXDen_}, std::pair{&zoomYNum_, &zoomYDen_}}) {
        if (*den == 1)
            *num = std::min(*num + 1, 8);
        else
            --*den;
    }
}

void CDIB::ZoomOut()
{
    for (auto [num, den] : {std::pair{&zoomXNum_, &zoomXDen_}, std::pair{&zoomYNum_, &zoomYDen_}}) {
        if (*num == 1)
            *den = std::min(*den + 1, 8);
        else
            --*num;
    }
}

void CDIB::RestoreZoom()
{
    zoomXNum_ = zoomXDen_ = zoomYNum_ = zoomYDen_ = 1;
}

}  // namespace quorlink::media

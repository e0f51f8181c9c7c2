#include "media_gen.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace simphone {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Compresses rgb rows; only trivial locals live across setjmp.
bool Compress(const std::vector<uint8_t>& rgb, int w, int h, int quality, unsigned char** buf, unsigned long* size)
{
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buf, size);
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = FALSE;  // standard tables: every frame of a clip shares them
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(cinfo.next_scanline) * w * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

uint32_t Mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352d;
    x ^= x >> 15;
    x *= 0x846ca68b;
    x ^= x >> 16;
    return x;
}

}  // namespace

std::optional<std::vector<uint8_t>> MakeJpeg(int w, int h, uint32_t seed, int quality, int frame)
{
    if (w <= 0 || h <= 0 || w > 2048 || h > 2048)
        return std::nullopt;
    const uint32_t r = Mix(seed);
    const int cx = static_cast<int>(r % static_cast<uint32_t>(w)) + frame * 3;
    const int cy = static_cast<int>((r >> 8) % static_cast<uint32_t>(h));
    const int radius = 10 + static_cast<int>((r >> 16) % 30);
    const uint8_t base[3] = {static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 5), static_cast<uint8_t>(r >> 11)};
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            const int dx = x - cx % w, dy = y - cy;
            const bool disc = dx * dx + dy * dy < radius * radius;
            const bool band = ((y + frame * 2) / 12) % 2 == 0;
            p[0] = static_cast<uint8_t>(disc ? 255 - base[0] : base[0] + x * 255 / w);
            p[1] = static_cast<uint8_t>(disc ? 240 : base[1] + y * 255 / h);
            p[2] = static_cast<uint8_t>(band ? base[2] : base[2] + 90);
        }
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    const bool ok = Compress(rgb, w, h, quality, &buf, &size);
    std::optional<std::vector<uint8_t>> out;
    if (ok && buf)
        out = std::vector<uint8_t>(buf, buf + size);
    std::free(buf);
    return out;
}

std::vector<uint8_t> MakeMidi(uint32_t seed, int notes)
{
    static constexpr int kScale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    std::vector<uint8_t> track;
    auto varLen = [&](uint32_t v) {
        uint8_t b[4];
        int n = 0;
        b[n++] = v & 0x7F;
        while (v >>= 7)
            b[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
        while (n)
            track.push_back(b[--n]);
    };
    // Tempo 500000 us per quarter note, program from the seed.
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    track.insert(track.end(), {0x00, 0xC0, static_cast<uint8_t>(Mix(seed) % 80)});
    uint32_t x = seed;
    for (int i = 0; i < notes; ++i) {
        x = Mix(x + static_cast<uint32_t>(i));
        const uint8_t key = static_cast<uint8_t>(kScale[x % 8] + ((x >> 8) % 2) * 12);
        const uint32_t len = 120u * (1 + (x >> 12) % 4);
        varLen(0);
        track.insert(track.end(), {0x90, key, 0x64});
        varLen(len);
        track.insert(track.end(), {0x80, key, 0x40});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    const uint32_t n = static_cast<uint32_t>(track.size());
    out.insert(out.end(),
               {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                static_cast<uint8_t>(n)});
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

std::optional<std::vector<uint8_t>> MakeClip(int w, int h, int frames, int intervalMs, uint32_t seed)
{
    std::vector<uint8_t> out;
    for (int f = 0; f < frames; ++f) {
        auto jpeg = MakeJpeg(w, h, seed, 60, f);
        if (!jpeg)
            return std::nullopt;
        size_t sos = 0;
        for (size_t i = 0; i + 1 < jpeg->size(); ++i)
            if ((*jpeg)[i] == 0xFF && (*jpeg)[i + 1] == 0xDA) {
                sos = i;
                break;
            }
        if (sos == 0)
            return std::nullopt;
        if (f == 0) {
            // Header: SOI, JFIF, tables and frame header, shared by every frame.
            out.insert(out.end(), jpeg->begin(), jpeg->begin() + static_cast<std::ptrdiff_t>(sos));
        }
        const uint32_t t = static_cast<uint32_t>(1000 + f * intervalMs) & 0xFFFF;
        out.insert(out.end(), {0xFF, 0xE8, 0x00, 0x04, static_cast<uint8_t>(t >> 8), static_cast<uint8_t>(t)});
        out.insert(out.end(), jpeg->begin() + static_cast<std::ptrdiff_t>(sos), jpeg->end());
    }
    return out;
}

}  // namespace simphone

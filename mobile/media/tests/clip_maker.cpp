#include "clip_maker.h"

#include "quorlink/media/jpeg_codec.h"

#include <algorithm>

namespace mediatest {

namespace qm = quorlink::media;

std::vector<uint8_t> FramePixels(const ClipShape& s, int frame)
{
    const int channels = s.grey ? 1 : 3;
    std::vector<uint8_t> px(static_cast<size_t>(s.width) * s.height * channels);
    const int cx = (frame * 5) % s.width, cy = s.height / 2, r = std::max(4, s.height / 4);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            uint8_t* p = &px[(static_cast<size_t>(y) * s.width + x) * channels];
            const bool disc = (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r;
            const int band = ((x + y + frame * 3) / 16) % 2;
            const uint8_t b = static_cast<uint8_t>(disc ? 230 : (x * 255) / s.width);
            const uint8_t g = static_cast<uint8_t>(disc ? 60 : (y * 255) / s.height);
            const uint8_t red = static_cast<uint8_t>(band ? 200 : 40 + frame % 50);
            if (s.grey)
                p[0] = static_cast<uint8_t>((b + g + red) / 3);
            else {
                p[0] = b;
                p[1] = g;
                p[2] = red;
            }
        }
    return px;
}

std::optional<MadeClip> MakeClip(const ClipShape& s)
{
    MadeClip clip;
    const qm::JpegPixels kind = s.grey ? qm::JpegPixels::Grey8 : qm::JpegPixels::Bgr24;
    for (int f = 0; f < s.frames; ++f) {
        const std::vector<uint8_t> px = FramePixels(s, f);
        std::vector<uint8_t> jpeg;
        if (!qm::EncodeJpeg(px.data(), s.width * (s.grey ? 1 : 3), s.width, s.height, kind, s.quality, jpeg).ok)
            return std::nullopt;
        // The scan starts at the first FF DA (the encoder writes no tables after it).
        size_t sos = 0;
        for (size_t i = 2; i + 1 < jpeg.size() && sos == 0; ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
                sos = i;
        if (sos == 0)
            return std::nullopt;
        if (f == 0)
            clip.mjp.assign(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(sos));
        const auto t = static_cast<uint16_t>(s.firstStampMs + f * s.intervalMs);
        clip.mjp.insert(clip.mjp.end(),
                        {0xFF, 0xE8, 0x00, 0x04, static_cast<uint8_t>(t >> 8), static_cast<uint8_t>(t)});
        clip.mjp.insert(clip.mjp.end(), jpeg.begin() + static_cast<ptrdiff_t>(sos), jpeg.end());
        clip.frameJpegs.push_back(std::move(jpeg));
    }
    return clip;
}

}  // namespace mediatest

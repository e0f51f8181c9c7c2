// Any bytes given to the JPEG reader: a picture or a clear error, never a
// crash, and never a write outside the rows it was given.
#include "quorlink/media/jpeg_codec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quorlink::media;
    const std::span<const uint8_t> bytes(data, size);
    JpegHeader h;
    if (!ReadJpegHeader(bytes, h).ok)
        return 0;
    // Keep a fuzz run's memory small; the size limit itself is tested elsewhere.
    if (int64_t(h.width) * h.height > (1 << 22))
        return 0;
    const ptrdiff_t stride = (ptrdiff_t(h.width) * 3 + 3) & ~ptrdiff_t(3);
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * h.height);
    (void)DecodeJpeg(bytes, JpegPixels::Bgr24, h.width, h.height, rows.data(), stride);
    std::vector<uint8_t> grey(static_cast<size_t>(h.width) * h.height);
    (void)DecodeJpeg(bytes, JpegPixels::Grey8, h.width, h.height, grey.data(), h.width);
    return 0;
}

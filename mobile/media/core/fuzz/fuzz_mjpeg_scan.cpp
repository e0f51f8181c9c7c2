// Any bytes given to the motion-JPEG scanner: a layout or a clear error,
// never a read outside the data; every frame it reports lies inside the
// data, starts with FF DA and ends with FF D9, after the header.
#include "mobile/media/core/mjpeg_scan.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    const media::MjpegScan scan = media::ScanMjpeg(bytes);
    if (scan.ok()) {
        const media::MjpegLayout& l = scan.layout;
        if (l.width <= 0 || l.height <= 0 || l.intervalMs == 0 || l.headerSize > size)
            std::abort();
        size_t last = l.headerSize;
        for (const media::MjpegFrame& f : l.frames) {
            if (f.begin < last || f.end > size || f.end < f.begin + 4 || data[f.begin] != 0xFF ||
                data[f.begin + 1] != 0xDA || data[f.end - 2] != 0xFF || data[f.end - 1] != 0xD9)
                std::abort();
            last = f.end;
        }
    }
    // The repaired form of the same bytes is scanned as well.
    std::vector<uint8_t> swapped(bytes.begin(), bytes.end());
    media::SwapBytePairs(swapped);
    (void)media::ScanMjpeg(swapped);
    return 0;
}

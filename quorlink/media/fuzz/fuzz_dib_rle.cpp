// Any bytes as RLE8 and RLE4 pixel data of a small DIB: pixels outside the
// rows are dropped, never written past the buffer.
#include "quorlink/media/dib.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using quorlink::media::CDIB;
    if (size < 1)
        return 0;
    // The first byte chooses the shape: stride 4..64, height 1..16.
    const int stride = 4 * (1 + (data[0] & 15)), height = 1 + (data[0] >> 4);
    std::vector<uint8_t> rows(size_t(stride) * size_t(height));
    (void)CDIB::DecodeRLE8({data + 1, size - 1}, rows, stride, height);
    (void)CDIB::DecodeRLE4({data + 1, size - 1}, rows, stride, height);
    return 0;
}

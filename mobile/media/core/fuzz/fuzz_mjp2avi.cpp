// Any bytes converted as a clip into an AVI file in memory: a file or a
// clear error, never a crash or a write outside a buffer. Whatever was
// written is a RIFF file whose sizes match its bytes.
#include "mobile/media/core/clip_bytes.h"
#include "mobile/media/core/clip_convert.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> clip(data, data + size);
    media::AviMemorySink sink;
    media::ConvertOptions options;
    options.maxPixels = 1 << 16;  // keep a fuzz run's memory small
    const media::ConvertResult r = media::ConvertMjpeg(clip, sink, options);
    const std::vector<uint8_t>& avi = sink.bytes();
    if (!avi.empty()) {
        media::Le32 riff;
        std::copy(avi.begin() + 4, avi.begin() + 8, riff.b);
        if (avi.size() < 224 || riff.get() != avi.size() - 8)
            std::abort();
    }
    if (r.ok() && r.framesWritten == 0)
        std::abort();
    return 0;
}

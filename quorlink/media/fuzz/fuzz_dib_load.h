// Shared body of the bitmap decoders' fuzz targets: whatever a decoder
// accepts must load as a DIB and survive every operation, never touching
// memory outside its buffers.
#pragma once

#include "quorlink/media/dib.h"

#include <cstddef>
#include <cstdint>

inline void ExerciseDib(const std::optional<quorlink::media::HDIB>& dib)
{
    using namespace quorlink::media;
    CDIB d;
    if (!dib || !d.LoadFromHDIB(*dib))
        return;
    // Keep a fuzz run's time small on the largest pictures a header may claim.
    if (int64_t(d.GetWidth()) * d.GetHeight() > (1 << 20))
        return;
    (void)d.clipTo({-3, -3, 13, 13});
    (void)d.stretchTo({0, 0, 16, 16}, true);
    (void)d.HFlip();
    (void)d.Rotate();
    (void)d.Grey();
    CDIB copy;
    (void)copy.LoadFromHDIB(d.SaveToHDIB());
}

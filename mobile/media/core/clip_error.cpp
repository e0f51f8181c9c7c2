#include "mobile/media/core/clip_error.h"

#include "resources/strings.h"

#include <array>
#include <cstddef>

namespace media {

namespace {

constexpr std::array kRows = {
    ClipErrorRow{ClipError::None, res::IDS_CLIP_SAVED},
    ClipErrorRow{ClipError::NotMotionJpeg, res::IDS_CLIP_NOT_MJPEG},
    ClipErrorRow{ClipError::NoFrameHeader, res::IDS_CLIP_NO_FRAME_HEADER},
    ClipErrorRow{ClipError::NoTimeStamp, res::IDS_CLIP_NO_TIME_STAMP},
    ClipErrorRow{ClipError::ZeroInterval, res::IDS_CLIP_ZERO_INTERVAL},
    ClipErrorRow{ClipError::NoFrames, res::IDS_CLIP_NO_FRAMES},
    ClipErrorRow{ClipError::FrameTooLarge, res::IDS_CLIP_FRAME_TOO_LARGE},
    ClipErrorRow{ClipError::FrameSizeMismatch, res::IDS_CLIP_FRAME_SIZE_MISMATCH},
    ClipErrorRow{ClipError::FrameDamaged, res::IDS_CLIP_FRAME_DAMAGED},
    ClipErrorRow{ClipError::MissingEndOfImage, res::IDS_CLIP_MISSING_END},
    ClipErrorRow{ClipError::AviTooLarge, res::IDS_CLIP_AVI_TOO_LARGE},
    ClipErrorRow{ClipError::CannotRead, res::IDS_CLIP_CANNOT_READ},
    ClipErrorRow{ClipError::CannotWrite, res::IDS_CLIP_CANNOT_WRITE},
};

constexpr bool RowsInOrder()
{
    for (size_t i = 0; i < kRows.size(); ++i)
        if (static_cast<size_t>(kRows[i].error) != i)
            return false;
    return true;
}
static_assert(RowsInOrder(), "one row per ClipError, in the enum's order");

}  // namespace

const ClipErrorRow& ClipErrorInfo(ClipError error)
{
    const auto i = static_cast<size_t>(error);
    return i < kRows.size() ? kRows[i] : kRows[static_cast<size_t>(ClipError::CannotRead)];
}

}  // namespace media

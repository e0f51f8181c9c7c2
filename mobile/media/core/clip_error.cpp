#include "mobile/media/core/clip_error.h"

#include "resources/strings.h"

#include <array>

namespace media {

namespace {

constexpr std::array kRows = {
    ClipErrorRow{ClipError::None, res::IDS_CLIP_SAVED, "the clip has been saved"},
    ClipErrorRow{ClipError::NotMotionJpeg, res::IDS_CLIP_NOT_MJPEG, "not a motion-JPEG clip"},
    ClipErrorRow{ClipError::NoFrameHeader, res::IDS_CLIP_NO_FRAME_HEADER, "the clip has no frame header with its size"},
    ClipErrorRow{ClipError::NoTimeStamp, res::IDS_CLIP_NO_TIME_STAMP, "the clip's frames carry no time stamp"},
    ClipErrorRow{ClipError::ZeroInterval, res::IDS_CLIP_ZERO_INTERVAL,
                 "the clip's first two frames have the same time stamp"},
    ClipErrorRow{ClipError::NoFrames, res::IDS_CLIP_NO_FRAMES, "the clip holds no frame"},
    ClipErrorRow{ClipError::FrameTooLarge, res::IDS_CLIP_FRAME_TOO_LARGE, "the clip's pictures are too large"},
    ClipErrorRow{ClipError::FrameSizeMismatch, res::IDS_CLIP_FRAME_SIZE_MISMATCH,
                 "a frame's picture size differs from the clip's"},
    ClipErrorRow{ClipError::FrameDamaged, res::IDS_CLIP_FRAME_DAMAGED, "a frame of the clip is damaged"},
    ClipErrorRow{ClipError::MissingEndOfImage, res::IDS_CLIP_MISSING_END,
                 "the clip ends inside a frame; the frames before it were written"},
    ClipErrorRow{ClipError::AviTooLarge, res::IDS_CLIP_AVI_TOO_LARGE,
                 "the clip is too long for an AVI file; the frames that fit were written"},
    ClipErrorRow{ClipError::CannotRead, res::IDS_CLIP_CANNOT_READ, "the clip file cannot be read"},
    ClipErrorRow{ClipError::CannotWrite, res::IDS_CLIP_CANNOT_WRITE, "the AVI file cannot be written"},
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

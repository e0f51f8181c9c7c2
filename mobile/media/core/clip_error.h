#pragma once
// Why a clip could not be read or converted: one row per reason, with its
// string resource (the window shows it under message 57900, the command
// line prints its English text).

#include <cstdint>

namespace media {

enum class ClipError : uint8_t {
    None,
    NotMotionJpeg,  // no start-of-image marker, or a damaged header
    NoFrameHeader,  // no frame header (SOF) with a size in the header
    NoTimeStamp,  // no frame carries a time stamp
    ZeroInterval,  // the first two time stamps are equal
    NoFrames,  // no frame (FF DA ... FF D9) at all
    FrameTooLarge,  // the frame size is beyond what the converter takes
    FrameSizeMismatch,  // a frame decodes to another size than the header's
    FrameDamaged,  // the JPEG decoder refused a frame
    MissingEndOfImage,  // the clip ends inside a frame (no FF D9)
    AviTooLarge,  // the AVI file would pass the 4 GiB a RIFF file can hold
    CannotRead,  // the clip file cannot be read
    CannotWrite,  // the AVI file cannot be created or written
};

struct ClipErrorRow {
    ClipError error;
    int stringId;
};

// The row of an error (ClipError::None has one too).
[[nodiscard]] const ClipErrorRow& ClipErrorInfo(ClipError error);

}  // namespace media

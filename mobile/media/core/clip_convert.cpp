#include "mobile/media/core/clip_convert.h"

#include "mobile/media/core/media_index.h"
#include "mobile/media/core/mjpeg_scan.h"
#include "quorlink/media/jpeg_codec.h"

#include <optional>

namespace media {

namespace qm = quorlink::media;

ClipError DecodeClipFrame(std::span<const uint8_t> header, std::span<const uint8_t> scan, int width, int height,
                          std::span<uint8_t> rows, std::vector<uint8_t>& scratch, std::string* detail)
{
    const size_t stride = AviRowBytes(width);
    if (width <= 0 || height <= 0 || rows.size() != stride * static_cast<size_t>(height))
        return ClipError::FrameSizeMismatch;
    scratch.assign(header.begin(), header.end());
    scratch.insert(scratch.end(), scan.begin(), scan.end());
    qm::JpegHeader jh;
    qm::JpegResult r = qm::ReadJpegHeader(scratch, jh);
    if (r.ok && (jh.width != width || jh.height != height))
        return ClipError::FrameSizeMismatch;
    if (r.ok) {
        // Bottom row first: the picture's top row is the buffer's last.
        uint8_t* top = rows.data() + (static_cast<size_t>(height) - 1) * stride;
        r = qm::DecodeJpeg(scratch, qm::JpegPixels::Bgr24, width, height, top, -static_cast<ptrdiff_t>(stride));
    }
    if (r.ok)
        return ClipError::None;
    if (detail)
        *detail = r.error;
    return ClipError::FrameDamaged;
}

namespace {

// Repairs the byte order, finds the frames and checks the frame size: the
// steps before anything is written. result.error tells whether to go on.
MjpegScan Prepare(std::span<uint8_t> clip, const ConvertOptions& options, ConvertResult& result)
{
    if (IsByteSwappedMjpeg(clip)) {
        SwapBytePairs(clip);
        result.repaired = true;
    }
    MjpegScan scan = ScanMjpeg(clip);
    const MjpegLayout& layout = scan.layout;
    result.error = scan.error;
    result.width = layout.width;
    result.height = layout.height;
    result.intervalMs = layout.intervalMs;
    if (result.error == ClipError::None && int64_t(layout.width) * layout.height > options.maxPixels)
        result.error = ClipError::FrameTooLarge;
    if (result.error == ClipError::None && layout.frames.empty())
        result.error = ClipError::MissingEndOfImage;
    return scan;
}

void WriteFrames(std::span<const uint8_t> data, const MjpegLayout& layout, AviSink& sink, const ConvertOptions& options,
                 ConvertResult& result)
{
    AviWriter writer(sink);
    if ((result.error = writer.begin({layout.width, layout.height, layout.intervalMs})) != ClipError::None)
        return;
    const auto header = data.first(layout.headerSize);
    std::vector<uint8_t> rows(writer.frameBytes(), 0);
    std::vector<uint8_t> scratch;
    scratch.reserve(header.size() + 64 * 1024);
    const int total = static_cast<int>(layout.frames.size());
    for (const MjpegFrame& f : layout.frames) {
        result.error = DecodeClipFrame(header, data.subspan(f.begin, f.end - f.begin), layout.width, layout.height,
                                       rows, scratch, &result.detail);
        if (result.error == ClipError::None)
            result.error = writer.writeFrame(rows);
        if (result.error != ClipError::None)
            break;
        ++result.framesWritten;
        if (options.progress)
            options.progress(result.framesWritten, total);
    }
    // Whatever was written stays a playable file with its true counts.
    const ClipError closed = writer.finish();
    if (result.error == ClipError::None)
        result.error = closed;
    if (result.error == ClipError::None && layout.truncated)
        result.error = ClipError::MissingEndOfImage;
}

}  // namespace

ConvertResult ConvertMjpeg(std::span<uint8_t> clip, AviSink& sink, const ConvertOptions& options)
{
    ConvertResult result;
    const MjpegScan scan = Prepare(clip, options, result);
    if (result.ok())
        WriteFrames(clip, scan.layout, sink, options, result);
    return result;
}

ConvertResult ConvertMjpegFile(const std::string& mjpPath, const std::string& aviPath, const ConvertOptions& options)
{
    ConvertResult result;
    std::optional<std::vector<uint8_t>> bytes = ReadFileBytes(mjpPath);
    if (!bytes) {
        result.error = ClipError::CannotRead;
        return result;
    }
    std::vector<uint8_t>& clip = *bytes;
    // A clip refused before its first frame creates no file.
    const MjpegScan scan = Prepare(clip, options, result);
    if (!result.ok())
        return result;
    AviFileSink sink(aviPath);
    if (!sink.isOpen()) {
        result.error = ClipError::CannotWrite;
        return result;
    }
    WriteFrames(clip, scan.layout, sink, options, result);
    if (!sink.close() && (result.ok() || result.error == ClipError::MissingEndOfImage))
        result.error = ClipError::CannotWrite;
    return result;
}

}  // namespace media

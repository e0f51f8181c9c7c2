#include "mobile/media/core/mjpeg_scan.h"

#include "mobile/media/core/clip_bytes.h"

#include <cstring>
#include <utility>

namespace media {

namespace {

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kTimeStamp = 0xE8;  // APP8, length 4: the frame's time in ms
constexpr uint16_t kTimeStampLength = 4;
constexpr size_t kNone = static_cast<size_t>(-1);

// Markers without a length field: TEM, RST0-7, SOI, EOI.
bool IsStandalone(uint8_t m)
{
    return m == 0x01 || (m >= 0xD0 && m <= 0xD9);
}

// Frame headers whose size fields we read: baseline, extended, progressive.
bool IsFrameHeader(uint8_t m)
{
    return m >= 0xC0 && m <= 0xC2;
}

// From pos, the next FF xx that is a marker: not a stuffed FF 00, not a
// restart marker inside entropy-coded data, not a fill byte. kNone when
// the data ends first.
size_t NextMarker(std::span<const uint8_t> d, size_t pos)
{
    while (pos < d.size()) {
        const void* hit = std::memchr(d.data() + pos, 0xFF, d.size() - pos);
        if (!hit)
            return kNone;
        pos = static_cast<size_t>(static_cast<const uint8_t*>(hit) - d.data());
        while (pos + 1 < d.size() && d[pos + 1] == 0xFF)
            ++pos;  // fill bytes
        if (pos + 1 >= d.size())
            return kNone;
        const uint8_t m = d[pos + 1];
        if (m == 0x00 || (m >= 0xD0 && m <= 0xD7)) {
            pos += 2;
            continue;
        }
        return pos;
    }
    return kNone;
}

// The segment at pos (FF m LL LL ...): its total size including the
// marker, or 0 when the length is damaged or runs past the end.
size_t SegmentSize(std::span<const uint8_t> d, size_t pos)
{
    if (pos + 4 > d.size())
        return 0;
    const size_t length = ReadBe16(d, pos + 2);
    if (length < 2 || pos + 2 + length > d.size())
        return 0;
    return 2 + length;
}

// From a frame's FF DA: one past its FF D9, or kNone when the data ends (or
// a segment inside the frame is damaged) before it. Segments inside the
// frame (more scans, tables) are stepped over by their lengths.
size_t FrameEnd(std::span<const uint8_t> d, size_t pos)
{
    while (pos != kNone) {
        const uint8_t m = d[pos + 1];
        if (m == kEoi)
            return pos + 2;
        if (IsStandalone(m)) {
            pos = NextMarker(d, pos + 2);
            continue;
        }
        const size_t size = SegmentSize(d, pos);
        if (size == 0)
            return kNone;
        pos = NextMarker(d, pos + size);
    }
    return kNone;
}

struct Header {
    ClipError error = ClipError::None;
    size_t size = 0;  // bytes before the first frame's time stamp (or scan)
    int width = 0, height = 0, components = 0;
};

// Walks the header's segments up to the first scan. The header ends at the
// time-stamp segment that directly precedes that scan; a first frame
// without one has its scan start right after the header.
Header ReadHeader(std::span<const uint8_t> d)
{
    Header h;
    size_t pos = 2;
    size_t stamp = kNone;  // offset of the segment before, if a time stamp
    while (true) {
        while (pos + 1 < d.size() && d[pos] == 0xFF && d[pos + 1] == 0xFF)
            ++pos;
        if (pos + 1 >= d.size())
            return {ClipError::NoFrames};
        if (d[pos] != 0xFF) {
            // Stray bytes (after a segment whose length is short): the
            // decoder skips them too.
            const size_t next = NextMarker(d, pos);
            if (next == kNone)
                return {ClipError::NoFrames};
            pos = next;
            stamp = kNone;
            continue;
        }
        const uint8_t m = d[pos + 1];
        if (m == kSos) {
            h.size = stamp != kNone ? stamp : pos;
            break;
        }
        if (m == kEoi)
            return {ClipError::NoFrames};
        if (IsStandalone(m) || m == 0x00) {
            stamp = kNone;
            pos += 2;
            continue;
        }
        const size_t size = SegmentSize(d, pos);
        if (size == 0)
            return {ClipError::NotMotionJpeg};
        if (IsFrameHeader(m) && h.width == 0) {
            // FF Cn, length, precision, height, width, components
            if (size < 10)
                return {ClipError::NoFrameHeader};
            h.height = ReadBe16(d, pos + 5);
            h.width = ReadBe16(d, pos + 7);
            h.components = d[pos + 9];
        }
        stamp = m == kTimeStamp && size == 2u + kTimeStampLength ? pos : kNone;
        pos += size;
    }
    if (h.width == 0 || h.height == 0)
        h.error = ClipError::NoFrameHeader;
    return h;
}

MjpegScan Failed(ClipError error)
{
    MjpegScan scan;
    scan.error = error;
    return scan;
}

}  // namespace

bool IsByteSwappedMjpeg(std::span<const uint8_t> data)
{
    return data.size() >= 2 && data[0] == kSoi && data[1] == 0xFF;
}

void SwapBytePairs(std::span<uint8_t> data)
{
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        std::swap(data[i], data[i + 1]);
}

MjpegScan ScanMjpeg(std::span<const uint8_t> d)
{
    MjpegScan scan;
    if (d.size() < 2 || d[0] != 0xFF || d[1] != kSoi)
        return Failed(ClipError::NotMotionJpeg);
    const Header header = ReadHeader(d);
    if (header.error != ClipError::None)
        return Failed(header.error);
    MjpegLayout& out = scan.layout;
    out.headerSize = header.size;
    out.width = header.width;
    out.height = header.height;
    out.components = header.components;

    // Frames: time stamps and other segments between them are stepped over
    // by their lengths; stray bytes between frames are skipped.
    uint16_t stamps[2] = {};
    int stampCount = 0;
    size_t pos = header.size;
    while ((pos = NextMarker(d, pos)) != kNone) {
        const uint8_t m = d[pos + 1];
        if (m == kSos) {
            const size_t end = FrameEnd(d, pos);
            if (end == kNone) {
                out.truncated = true;
                break;
            }
            out.frames.push_back({pos, end});
            pos = end;
            continue;
        }
        if (IsStandalone(m)) {
            pos += 2;
            continue;
        }
        const size_t size = SegmentSize(d, pos);
        if (size == 0) {
            // The data ends inside a segment: a frame was begun (its time
            // stamp, say) and never finished. A segment cut short is never
            // read past its end.
            if (pos + 4 > d.size() || ReadBe16(d, pos + 2) >= 2) {
                out.truncated = true;
                break;
            }
            pos += 2;  // a length below 2 is damage: resynchronise after it
            continue;
        }
        if (m == kTimeStamp && size == 2u + kTimeStampLength && stampCount < 2)
            stamps[stampCount++] = ReadBe16(d, pos + 4);
        pos += size;
    }

    if (out.frames.empty() && !out.truncated)
        return Failed(ClipError::NoFrames);
    if (stampCount == 0)
        return Failed(ClipError::NoTimeStamp);
    // The phone's clock is 16 bits of milliseconds: it wraps every 65.536 s,
    // so the interval is taken modulo 2^16.
    out.intervalMs = stampCount == 1 ? stamps[0] : static_cast<uint16_t>(stamps[1] - stamps[0]);
    if (out.intervalMs == 0)
        return Failed(ClipError::ZeroInterval);
    return scan;
}

}  // namespace media

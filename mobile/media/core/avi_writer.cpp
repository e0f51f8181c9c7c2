#include "mobile/media/core/avi_writer.h"

#include "mobile/media/core/clip_bytes.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace media {

namespace {

struct FourCc {
    char c[4];
};

FourCc Tag(const char (&s)[5])
{
    FourCc f;
    std::memcpy(f.c, s, 4);
    return f;
}

struct ChunkHead {
    FourCc id;
    Le32 size;
};

struct AviMainHeader {
    Le32 microSecPerFrame;
    Le32 maxBytesPerSec;
    Le32 paddingGranularity;
    Le32 flags;
    Le32 totalFrames;
    Le32 initialFrames;
    Le32 streams;
    Le32 suggestedBufferSize;
    Le32 width;
    Le32 height;
    Le32 reserved[4];
};
static_assert(sizeof(AviMainHeader) == 56);

struct AviStreamHeader {
    FourCc type;
    FourCc handler;
    Le32 flags;
    Le16 priority;
    Le16 language;
    Le32 initialFrames;
    Le32 scale;
    Le32 rate;
    Le32 start;
    Le32 length;
    Le32 suggestedBufferSize;
    Le32 quality;
    Le32 sampleSize;
    Le16 frame[4];  // left, top, right, bottom
};
static_assert(sizeof(AviStreamHeader) == 56);

struct BitmapInfoHeader {
    Le32 size;
    Le32 width;
    Le32 height;
    Le16 planes;
    Le16 bitCount;
    Le32 compression;
    Le32 sizeImage;
    Le32 xPelsPerMeter;
    Le32 yPelsPerMeter;
    Le32 clrUsed;
    Le32 clrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Everything before the first frame.
struct AviHeaders {
    ChunkHead riff;
    FourCc avi;
    ChunkHead hdrlList;
    FourCc hdrl;
    ChunkHead avihHead;
    AviMainHeader avih;
    ChunkHead strlList;
    FourCc strl;
    ChunkHead strhHead;
    AviStreamHeader strh;
    ChunkHead strfHead;
    BitmapInfoHeader strf;
    ChunkHead moviList;
    FourCc movi;
};
static_assert(sizeof(AviHeaders) == 224);
static_assert(offsetof(AviHeaders, movi) == 220);

struct IndexEntry {
    FourCc id;
    Le32 flags;
    Le32 offset;  // of the chunk, from the "movi" tag
    Le32 size;
};
static_assert(sizeof(IndexEntry) == 16);

constexpr uint32_t kHasIndex = 0x10;  // AVIF_HASINDEX
constexpr uint32_t kKeyFrame = 0x10;  // AVIIF_KEYFRAME
constexpr size_t kMoviTag = offsetof(AviHeaders, movi);
constexpr uint64_t kMaxRiffSize = std::numeric_limits<uint32_t>::max();

template <typename T>
std::span<const uint8_t> Bytes(const T& t)
{
    return {reinterpret_cast<const uint8_t*>(&t), sizeof t};
}

uint32_t Clamp32(uint64_t v)
{
    return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

AviHeaders MakeHeaders(const AviVideoFormat& f, size_t frameBytes, uint32_t frames, uint64_t moviBytes,
                       uint64_t fileBytes)
{
    AviHeaders h{};
    h.riff = {Tag("RIFF"), {}};
    h.riff.size = Clamp32(fileBytes - 8);
    h.avi = Tag("AVI ");
    h.hdrlList = {Tag("LIST"), {}};
    h.hdrlList.size = offsetof(AviHeaders, moviList) - offsetof(AviHeaders, hdrl);
    h.hdrl = Tag("hdrl");
    h.avihHead = {Tag("avih"), {}};
    h.avihHead.size = sizeof(AviMainHeader);
    h.avih.microSecPerFrame = Clamp32(uint64_t(f.intervalMs) * 1000);
    h.avih.maxBytesPerSec = Clamp32(uint64_t(frameBytes) * 1000 / f.intervalMs);
    h.avih.flags = kHasIndex;
    h.avih.totalFrames = frames;
    h.avih.streams = 1;
    h.avih.suggestedBufferSize = Clamp32(frameBytes);
    h.avih.width = static_cast<uint32_t>(f.width);
    h.avih.height = static_cast<uint32_t>(f.height);
    h.strlList = {Tag("LIST"), {}};
    h.strlList.size = offsetof(AviHeaders, moviList) - offsetof(AviHeaders, strl);
    h.strl = Tag("strl");
    h.strhHead = {Tag("strh"), {}};
    h.strhHead.size = sizeof(AviStreamHeader);
    h.strh.type = Tag("vids");
    h.strh.handler = Tag("DIB ");
    h.strh.scale = f.intervalMs;
    h.strh.rate = 1000;
    h.strh.length = frames;
    h.strh.suggestedBufferSize = Clamp32(frameBytes);
    h.strh.quality = 0xFFFFFFFFu;  // -1: the default quality
    h.strh.frame[2] = static_cast<uint16_t>(f.width);
    h.strh.frame[3] = static_cast<uint16_t>(f.height);
    h.strfHead = {Tag("strf"), {}};
    h.strfHead.size = sizeof(BitmapInfoHeader);
    h.strf.size = sizeof(BitmapInfoHeader);
    h.strf.width = static_cast<uint32_t>(f.width);
    h.strf.height = static_cast<uint32_t>(f.height);  // positive: bottom row first
    h.strf.planes = 1;
    h.strf.bitCount = 24;
    h.strf.xPelsPerMeter = 100;
    h.strf.yPelsPerMeter = 100;
    h.moviList = {Tag("LIST"), {}};
    h.moviList.size = Clamp32(4 + moviBytes);
    h.movi = Tag("movi");
    return h;
}

}  // namespace

AviFileSink::AviFileSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb"))
{
    if (file_) {
        buffer_.resize(size_t(1) << 20);
        std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    }
}

AviFileSink::~AviFileSink()
{
    (void)close();
}

bool AviFileSink::append(std::span<const uint8_t> bytes)
{
    if (!file_ || failed_)
        return false;
    failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
    return !failed_;
}

bool AviFileSink::patch(uint64_t offset, std::span<const uint8_t> bytes)
{
    if (!file_ || failed_)
        return false;
    failed_ = fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || fseeko(file_, 0, SEEK_END) != 0;
    return !failed_;
}

bool AviFileSink::close()
{
    if (!file_)
        return !failed_;
    failed_ = std::fclose(file_) != 0 || failed_;
    file_ = nullptr;
    return !failed_;
}

bool AviMemorySink::append(std::span<const uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return true;
}

bool AviMemorySink::patch(uint64_t offset, std::span<const uint8_t> bytes)
{
    if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset)
        return false;
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<ptrdiff_t>(offset));
    return true;
}

ClipError AviWriter::begin(const AviVideoFormat& format)
{
    if (begun_ || format.width <= 0 || format.height <= 0 || format.width > 0xFFFF || format.height > 0xFFFF ||
        format.intervalMs == 0)
        return ClipError::FrameTooLarge;
    format_ = format;
    frameBytes_ = AviRowBytes(format.width) * static_cast<size_t>(format.height);
    const AviHeaders h = MakeHeaders(format_, frameBytes_, 0, 0, sizeof(AviHeaders));
    if (!sink_.append(Bytes(h)))
        return ClipError::CannotWrite;
    position_ = sizeof(AviHeaders);
    begun_ = true;
    return ClipError::None;
}

ClipError AviWriter::writeFrame(std::span<const uint8_t> rows)
{
    if (!begun_ || finished_ || rows.size() != frameBytes_)
        return ClipError::FrameSizeMismatch;
    // The file after this frame and the index that follows must still fit
    // the RIFF size field.
    const uint64_t after = position_ + sizeof(ChunkHead) + frameBytes_;
    const uint64_t indexBytes = sizeof(ChunkHead) + uint64_t(frames_ + 1) * sizeof(IndexEntry);
    if (after + indexBytes - 8 > kMaxRiffSize)
        return ClipError::AviTooLarge;
    ChunkHead head{Tag("00db"), {}};
    head.size = static_cast<uint32_t>(frameBytes_);
    if (!sink_.append(Bytes(head)) || !sink_.append(rows))
        return ClipError::CannotWrite;
    IndexEntry e{Tag("00db"), {}, {}, {}};
    e.flags = kKeyFrame;
    e.offset = static_cast<uint32_t>(position_ - kMoviTag);
    e.size = static_cast<uint32_t>(frameBytes_);
    const auto entry = Bytes(e);
    index_.insert(index_.end(), entry.begin(), entry.end());
    position_ = after;
    ++frames_;
    return ClipError::None;
}

ClipError AviWriter::finish()
{
    if (!begun_ || finished_)
        return ClipError::CannotWrite;
    finished_ = true;
    const uint64_t moviBytes = position_ - sizeof(AviHeaders);
    ChunkHead idx1{Tag("idx1"), {}};
    idx1.size = static_cast<uint32_t>(index_.size());
    if (!sink_.append(Bytes(idx1)) || !sink_.append(index_))
        return ClipError::CannotWrite;
    position_ += sizeof idx1 + index_.size();
    const AviHeaders h = MakeHeaders(format_, frameBytes_, frames_, moviBytes, position_);
    return sink_.patch(0, Bytes(h)) ? ClipError::None : ClipError::CannotWrite;
}

}  // namespace media

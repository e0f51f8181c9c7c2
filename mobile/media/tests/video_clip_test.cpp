// The clip format, its repair and conversion, the AVI file's counts, and
// the clip index with its list rows.
#include "clip_maker.h"

#include "mobile/media/core/clip_convert.h"
#include "mobile/media/core/clip_index.h"
#include "mobile/media/core/mjpeg_scan.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace media {
namespace {

using mediatest::ClipShape;
using mediatest::MakeClip;

std::vector<uint8_t> Clip(const ClipShape& shape)
{
    auto made = MakeClip(shape);
    EXPECT_TRUE(made.has_value());
    return made ? made->mjp : std::vector<uint8_t>{};
}

uint32_t Le32At(const std::vector<uint8_t>& b, size_t at)
{
    Le32 v;
    std::memcpy(v.b, b.data() + at, 4);
    return v.get();
}

// Offsets in the AVI file: avih total frames, strh scale / rate / length.
constexpr size_t kTotalFrames = 48, kScale = 128, kRate = 132, kLength = 140, kRiffSize = 4;

TEST(MjpegScan, IntervalFromTheFirstTwoTimeStamps)
{
    struct Row {
        uint16_t first, interval;
        int frames;
        uint32_t expected;
    };
    const Row rows[] = {
        {1000, 200, 3, 200},  // 1000, 1200: scale 200 over rate 1000, 5 frames per second
        {65500, 200, 3, 200},  // the 16-bit clock wraps between them
        {300, 0, 1, 300},  // one time stamp: the interval is that time itself
        {0xFFDA, 0xD9, 3, 0xD9},  // time stamps that read FF DA and FF D9 are no markers
    };
    for (const Row& r : rows) {
        const auto clip =
            Clip({.width = 32, .height = 16, .frames = r.frames, .firstStampMs = r.first, .intervalMs = r.interval});
        const MjpegScan scan = ScanMjpeg(clip);
        ASSERT_TRUE(scan.ok()) << r.first;
        EXPECT_EQ(scan.layout.intervalMs, r.expected) << r.first;
        EXPECT_EQ(scan.layout.frames.size(), size_t(r.frames)) << r.first;
        EXPECT_EQ(scan.layout.width, 32);
        EXPECT_EQ(scan.layout.height, 16);
    }
}

TEST(MjpegConvert, TrueFrameCountsAndInterval)
{
    auto clip = Clip({.width = 64, .height = 48, .frames = 7, .intervalMs = 200});
    AviMemorySink sink;
    const ConvertResult r = ConvertMjpeg(clip, sink);
    ASSERT_TRUE(r.ok()) << int(r.error);
    const auto& avi = sink.bytes();
    EXPECT_EQ(r.framesWritten, 7);
    EXPECT_EQ(Le32At(avi, kTotalFrames), 7u);
    EXPECT_EQ(Le32At(avi, kLength), 7u);  // not a fixed 1000
    EXPECT_EQ(Le32At(avi, kScale), 200u);
    EXPECT_EQ(Le32At(avi, kRate), 1000u);
    EXPECT_EQ(Le32At(avi, kRiffSize), avi.size() - 8);
    EXPECT_EQ(avi.size(), 224 + 7 * (8 + 64 * 3 * 48) + 8 + 7 * 16);
}

TEST(MjpegConvert, ByteSwappedClipIsRepairedOnce)
{
    auto clip = Clip({.width = 32, .height = 16, .frames = 3});
    clip.push_back(0x5A);  // an odd trailing byte stays where it is
    auto swapped = clip;
    SwapBytePairs(swapped);
    ASSERT_TRUE(IsByteSwappedMjpeg(swapped));
    EXPECT_EQ(swapped.back(), 0x5A);

    AviMemorySink plain, repaired;
    ASSERT_TRUE(ConvertMjpeg(clip, plain).ok());
    const ConvertResult r = ConvertMjpeg(swapped, repaired);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.repaired);
    EXPECT_EQ(swapped, clip);
    EXPECT_EQ(repaired.bytes(), plain.bytes());
}

TEST(MjpegConvert, OneChannelFramesAreStoredGrey)
{
    auto clip = Clip({.width = 32, .height = 16, .frames = 2, .grey = true});
    AviMemorySink sink;
    ASSERT_TRUE(ConvertMjpeg(clip, sink).ok());
    const auto& avi = sink.bytes();
    const size_t first = 224 + 8;
    bool varied = false;
    for (size_t p = first; p < first + 32 * 3 * 16; p += 3) {
        ASSERT_EQ(avi[p], avi[p + 1]) << p;
        ASSERT_EQ(avi[p], avi[p + 2]) << p;
        varied = varied || avi[p] != avi[first];
    }
    EXPECT_TRUE(varied);
}

// Damaged clips end in a clear error; the frames before the damage stay in
// a file whose counts are true.
TEST(MjpegConvert, DamagedClipsFailCleanly)
{
    const auto good = Clip({.width = 32, .height = 16, .frames = 3});
    const size_t lastFrame = ScanMjpeg(good).layout.frames.back().begin;
    const size_t headerSize = ScanMjpeg(good).layout.headerSize;
    struct Row {
        const char* what;
        std::vector<uint8_t> clip;
        ClipError error;
        int written;
    };
    auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(n)); };
    auto withoutStamps = [&] {
        std::vector<uint8_t> v = good;
        for (size_t i = 0; i + 5 < v.size(); ++i)
            if (v[i] == 0xFF && v[i + 1] == 0xE8 && v[i + 3] == 0x04)
                v[i + 1] = 0xEF;  // another APPn: no longer a time stamp
        return v;
    };
    auto wideStamp = [&] {
        std::vector<uint8_t> v = good;
        v[headerSize + 3] = 0x02;  // the first time stamp without its time
        return v;
    };
    const Row rows[] = {
        {"no end-of-image marker", cut(good.size() - 2), ClipError::MissingEndOfImage, 2},
        {"ends inside a time stamp", cut(lastFrame - 3), ClipError::MissingEndOfImage, 2},
        {"ends inside the header", cut(headerSize - 10), ClipError::NotMotionJpeg, 0},
        {"no time stamp at all", withoutStamps(), ClipError::NoTimeStamp, 0},
        {"first time stamp cut short", wideStamp(), ClipError::None, 3},
        {"not a clip", {0x00, 0x01, 0x02}, ClipError::NotMotionJpeg, 0},
        {"empty", {}, ClipError::NotMotionJpeg, 0},
    };
    for (Row r : rows) {
        AviMemorySink sink;
        const ConvertResult result = ConvertMjpeg(r.clip, sink);
        EXPECT_EQ(result.error, r.error) << r.what;
        EXPECT_EQ(result.framesWritten, r.written) << r.what;
        if (r.written > 0) {
            EXPECT_EQ(Le32At(sink.bytes(), kTotalFrames), uint32_t(r.written)) << r.what;
            EXPECT_EQ(Le32At(sink.bytes(), kRiffSize), sink.bytes().size() - 8) << r.what;
        } else {
            EXPECT_TRUE(sink.bytes().empty()) << r.what;
        }
    }
}

TEST(MjpegConvert, FrameOfAnotherSizeIsRefusedBeforeDecoding)
{
    const auto clip = Clip({.width = 32, .height = 16, .frames = 1});
    const MjpegLayout l = ScanMjpeg(clip).layout;
    const auto header = std::span(clip).first(l.headerSize);
    const auto scan = std::span(clip).subspan(l.frames[0].begin, l.frames[0].end - l.frames[0].begin);
    std::vector<uint8_t> scratch;
    // Rows for a larger and a smaller picture than the frame holds.
    for (auto [w, h] : {std::pair{64, 16}, std::pair{16, 8}}) {
        std::vector<uint8_t> rows(AviRowBytes(w) * h, 0xAB);
        EXPECT_EQ(DecodeClipFrame(header, scan, w, h, rows, scratch), ClipError::FrameSizeMismatch);
        EXPECT_EQ(std::count(rows.begin(), rows.end(), 0xAB), std::ptrdiff_t(rows.size()));
    }
    std::vector<uint8_t> rows(AviRowBytes(32) * 16);
    EXPECT_EQ(DecodeClipFrame(header, scan, 32, 16, rows, scratch), ClipError::None);
}

TEST(ClipIndex, ListRows)
{
    std::vector<uint8_t> index(kClipIndexSize, 0);
    auto put = [&](size_t i, uint16_t number, const char* name, uint8_t priv, uint32_t size, uint32_t secs) {
        uint8_t* r = index.data() + i * 28;
        r[0] = uint8_t(number >> 8), r[1] = uint8_t(number);
        std::memcpy(r + 2, name, std::strlen(name));
        r[18] = priv;
        for (int k = 0; k < 4; ++k) {
            r[20 + k] = uint8_t(size >> (24 - 8 * k));
            r[24 + k] = uint8_t(secs >> (24 - 8 * k));
        }
    };
    put(0, 1, "Lake walk", 0, 104000, 75);
    put(1, 2, "Secret", 1, 5000, 3);
    put(2, 3, "Big", 0, 2047, 3600);
    const auto clips = ParseClipIndex(index);
    ASSERT_TRUE(clips);
    EXPECT_FALSE(ParseClipIndex(std::span(index).first(279)));
    auto text = [](int id) { return "#" + std::to_string(id); };
    const KnownClipSize known[] = {{3, 2047, 176, 144}, {1, 999, 320, 240}};
    const auto rows = ClipRows(*clips, text, known);
    ASSERT_EQ(rows.size(), kClipRecordCount);
    auto cells = [](const ClipRow& r) {
        return std::vector<std::string>{r.number, r.name, r.length, r.resolution, r.size, std::to_string(r.clipNumber)};
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(cells(rows[0]), (V{"1", "Lake walk", "01:15", "128x96", "101 K", "1"}));
    EXPECT_EQ(cells(rows[1]), (V{"2", "#57977", "0", "0", "0K", "2"}));
    EXPECT_EQ(cells(rows[2]), (V{"3", "Big", "60:00", "176x144", "1 K", "3"}));  // its real size, once known
    EXPECT_EQ(cells(rows[9]), (V{"10", "#57722", "", "", "0K", "0"}));
    EXPECT_EQ(BlankClipRows().size(), size_t(kVideoListRows));
}

TEST(ClipIndex, FileNames)
{
    EXPECT_EQ(ClipFileName(1), "Video00");
    EXPECT_EQ(ClipFileName(12), "Video11");
    EXPECT_EQ(WithExtension("/tmp/x/clip.avi", ".mjp"), "/tmp/x/clip.mjp");
    EXPECT_EQ(WithExtension("/tmp/x.d/clip", ".avi"), "/tmp/x.d/clip.avi");
}

}  // namespace
}  // namespace media

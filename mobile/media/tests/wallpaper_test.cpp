// The wallpaper of the phone's screen: the frame's geometry in each mode,
// the JPEG quality ladder under the slot limit, the picture view's model.
#include "mobile/media/core/wallpaper.h"

#include "quorlink/media/byte_order.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace media {
namespace {

namespace fs = std::filesystem;
using quorlink::media::CDIB;
using quorlink::media::PutLe16;
using quorlink::media::PutLe32;

// A w x h 24-bit picture whose pixel (x, y) from the top is colour(x, y).
template <typename F>
CDIB Picture(int w, int h, F colour)
{
    const size_t stride = size_t(quorlink::media::DibStride(w, 24));
    std::vector<uint8_t> dib(40 + stride * size_t(h), 0);
    PutLe32(&dib[0], 40);
    PutLe32(&dib[4], uint32_t(w));
    PutLe32(&dib[8], uint32_t(h));
    PutLe16(&dib[12], 1);
    PutLe16(&dib[14], 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::array<uint8_t, 3> c = colour(x, y);
            uint8_t* p = &dib[40 + size_t(h - 1 - y) * stride + size_t(x) * 3];
            p[0] = c[2];
            p[1] = c[1];
            p[2] = c[0];
        }
    CDIB d;
    EXPECT_EQ(d.LoadDib(dib), 1);
    return d;
}

std::array<uint8_t, 3> At(const std::vector<uint8_t>& screen, int x, int y)
{
    const size_t i = (size_t(y) * kScreenWidth + size_t(x)) * 3;
    return {screen[i], screen[i + 1], screen[i + 2]};
}

constexpr std::array<uint8_t, 3> kRed{255, 0, 0}, kWhite{255, 255, 255};

TEST(Wallpaper, FitGeometry)
{
    struct Case {
        int w, h;
        FitPlacement want;
    };
    const Case cases[] = {
        {256, 160, {0, 40, 128, 80}},  // rows 40 to 119
        {100, 100, {0, 16, 128, 128}},  // 128 rows from row 16
        {128, 160, {0, 0, 128, 160}},  {100, 400, {44, 0, 40, 160}},
        {1000, 3, {0, 79, 128, 2}},  // at least one row, made even
    };
    for (const Case& c : cases) {
        const FitPlacement p = FitGeometry(c.w, c.h);
        EXPECT_EQ(std::tie(p.left, p.top, p.width, p.height),
                  std::tie(c.want.left, c.want.top, c.want.width, c.want.height))
            << c.w << "x" << c.h;
    }
}

TEST(Wallpaper, EachModeComposesTheScreen)
{
    const CDIB red = Picture(256, 160, [](int, int) { return kRed; });
    auto screen = ComposeWallpaper(red, FrameMode::Fit, {});
    EXPECT_EQ(At(screen, 64, 39), kWhite);
    EXPECT_EQ(At(screen, 64, 40), kRed);
    EXPECT_EQ(At(screen, 64, 119), kRed);
    EXPECT_EQ(At(screen, 64, 120), kWhite);
    screen = ComposeWallpaper(red, FrameMode::Stretch, {});
    EXPECT_EQ(At(screen, 0, 0), kRed);
    EXPECT_EQ(At(screen, 127, 159), kRed);
    // Free: the frame over the picture's corner; white where it leaves it.
    screen = ComposeWallpaper(red, FrameMode::Free, {-10, 100});
    EXPECT_EQ(At(screen, 9, 0), kWhite);
    EXPECT_EQ(At(screen, 10, 0), kRed);
    EXPECT_EQ(At(screen, 10, 59), kRed);
    EXPECT_EQ(At(screen, 10, 60), kWhite);
    // Free on a zoomed picture samples the zoomed picture: column x of a
    // picture zoomed 2:1 is source column x / 2.
    CDIB stripes = Picture(4, 4, [](int x, int) { return std::array<uint8_t, 3>{uint8_t(x * 60), 0, 0}; });
    stripes.ZoomIn();
    screen = ComposeWallpaper(stripes, FrameMode::Free, {0, 0});
    EXPECT_EQ(At(screen, 5, 0)[0], 120);
    EXPECT_EQ(At(screen, 8, 0), kWhite);
}

TEST(Wallpaper, QualityLadderStaysUnderTheLimit)
{
    // Noise: large at every quality.
    uint32_t seed = 1;
    const CDIB noise = Picture(128, 160, [&](int, int) {
        seed = seed * 1103515245 + 12345;
        return std::array<uint8_t, 3>{uint8_t(seed >> 16), uint8_t(seed >> 8), uint8_t(seed >> 24)};
    });
    const auto screen = ComposeWallpaper(noise, FrameMode::Free, {});
    const auto at75 = EncodeSlotJpeg(screen, SIZE_MAX);
    ASSERT_TRUE(at75);
    EXPECT_EQ(at75->quality, 75);
    // Exactly the size at 75 is not below the limit: the next step is taken.
    const auto next = EncodeSlotJpeg(screen, at75->bytes.size());
    ASSERT_TRUE(next);
    EXPECT_EQ(next->quality, 50);
    EXPECT_LT(next->bytes.size(), at75->bytes.size());

    // A limit no step reaches: a message, and no file.
    const fs::path out = fs::temp_directory_path() / ("wallpaper_" + std::to_string(getpid()) + ".jpg");
    const MakeResult r = MakeSlotJpeg(noise, FrameMode::Free, {}, out, 200);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messageId, res::IDS_WALLPAPER_TOO_LARGE);
    EXPECT_FALSE(fs::exists(out));
    const MakeResult ok = MakeSlotJpeg(noise, FrameMode::Fit, {}, out);
    ASSERT_TRUE(ok.ok);
    EXPECT_LT(ok.size, kSlotJpegLimit);
    EXPECT_EQ(fs::file_size(out), ok.size);
    CDIB back;
    ASSERT_EQ(back.Load(out.string()), 1);
    EXPECT_EQ(back.GetWidth() * 1000 + back.GetHeight(), 128160);
    fs::remove(out);
}

TEST(Wallpaper, FrameModelFollowsTheViewCommands)
{
    const fs::path dir = fs::temp_directory_path() / ("wallframe_" + std::to_string(getpid()));
    fs::create_directories(dir);
    WallpaperFrame frame;
    EXPECT_EQ(frame.load((dir / "missing.bmp").string()).messageId, res::IDS_PICTURE_FILE_OPEN_FAILED);
    std::ofstream(dir / "junk.bmp") << "not a picture";
    EXPECT_EQ(frame.load((dir / "junk.bmp").string()).messageId, res::IDS_PICTURE_DAMAGED_UNSUPPORTED_KIND);
    ASSERT_EQ(Picture(100, 100, [](int, int) { return kRed; }).Save((dir / "p.bmp").string()), 1);
    const auto loaded = frame.load((dir / "p.bmp").string());
    EXPECT_TRUE(loaded.ok && loaded.changed);
    EXPECT_FALSE(frame.load((dir / "p.bmp").string()).changed);
    // Smaller than the 280 x 265 view: the frame is centred on the picture.
    EXPECT_EQ(frame.frame(), (FramePoint{-14, -30}));
    frame.zoomIn();
    frame.zoomIn();  // 3:1, 300 x 300: wider than the view
    EXPECT_EQ(frame.zoomedWidth(), 300);
    EXPECT_EQ(frame.frame(), (FramePoint{0, 0}));
    frame.centreOn(100, 100);
    EXPECT_EQ(frame.frame(), (FramePoint{36, 20}));
    frame.nextMode();
    EXPECT_EQ(frame.mode(), FrameMode::Stretch);
    frame.zoomIn();  // free mode only
    EXPECT_EQ(frame.zoomedWidth(), 300);
    frame.nextMode();
    frame.nextMode();  // fit -> free, back to 1:1
    EXPECT_EQ(frame.mode(), FrameMode::Free);
    EXPECT_EQ(frame.zoomedWidth(), 100);
    EXPECT_FALSE(frame.setZoom(2, 3));
    EXPECT_TRUE(frame.setZoom(1, 2));
    EXPECT_EQ(frame.zoomedHeight(), 50);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace media

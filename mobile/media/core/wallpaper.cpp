#include "mobile/media/core/wallpaper.h"

#include "resources/strings.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace media {

using quorlink::media::CDIB;
using quorlink::media::DibRect;

namespace {

// Quality steps of the slot JPEG; the last one is written in grey.
struct Step {
    int quality;
    bool colour;
};
constexpr Step kLadder[] = {{75, true}, {50, true}, {40, true}, {30, true}, {10, true}, {5, true}, {5, false}};

constexpr size_t kScreenBytes = size_t(kScreenWidth) * kScreenHeight * 3;

int EvenAtLeastOne(int64_t v)
{
    v = std::max<int64_t>(v, 1);
    return int(v % 2 != 0 ? v + 1 : v);
}

}  // namespace

FitPlacement FitGeometry(int pictureWidth, int pictureHeight)
{
    FitPlacement p;
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return p;
    // wf = width / 128, hf = height / 160; wf / hf >= 1 compared exactly.
    if (int64_t(pictureWidth) * kScreenHeight >= int64_t(pictureHeight) * kScreenWidth) {
        p.width = kScreenWidth;
        p.height = std::min(EvenAtLeastOne(int64_t(pictureHeight) * kScreenWidth / pictureWidth), kScreenHeight);
    } else {
        p.height = kScreenHeight;
        p.width = std::min(EvenAtLeastOne(int64_t(pictureWidth) * kScreenHeight / pictureHeight), kScreenWidth);
    }
    p.left = (kScreenWidth - p.width) / 2;
    p.top = (kScreenHeight - p.height) / 2;
    return p;
}

std::vector<uint8_t> ComposeWallpaper(const CDIB& picture, FrameMode mode, FramePoint frame)
{
    std::vector<uint8_t> screen(kScreenBytes, 255);
    if (picture.IsEmpty())
        return screen;
    const auto view = picture.View();
    switch (mode) {
    case FrameMode::Stretch: {
        auto all = picture.stretchTo(DibRect{0, 0, kScreenWidth, kScreenHeight}, true);
        if (all.size() == screen.size())
            screen = std::move(all);
        break;
    }
    case FrameMode::Fit: {
        const FitPlacement p = FitGeometry(picture.GetWidth(), picture.GetHeight());
        const auto part = picture.stretchTo(DibRect{0, 0, p.width, p.height}, true);
        if (part.size() != size_t(p.width) * size_t(p.height) * 3)
            break;
        for (int r = 0; r < p.height; ++r)
            std::memcpy(&screen[(size_t(p.top + r) * kScreenWidth + size_t(p.left)) * 3],
                        &part[size_t(r) * size_t(p.width) * 3], size_t(p.width) * 3);
        break;
    }
    case FrameMode::Free: {
        // The part of the zoomed picture under the frame, sampled straight
        // from the picture (a zoomed copy of a large photo would not fit
        // in memory).
        const int zw = picture.ZoomedWidth(), zh = picture.ZoomedHeight();
        for (int i = 0; i < kScreenHeight; ++i) {
            const int64_t y = int64_t(frame.y) + i;
            if (y < 0 || y >= zh)
                continue;
            const int sy = int(y * picture.GetHeight() / zh);
            for (int j = 0; j < kScreenWidth; ++j) {
                const int64_t x = int64_t(frame.x) + j;
                if (x < 0 || x >= zw)
                    continue;
                const auto c = view.rgb(int(x * picture.GetWidth() / zw), sy);
                std::memcpy(&screen[(size_t(i) * kScreenWidth + size_t(j)) * 3], c.data(), 3);
            }
        }
        break;
    }
    }
    return screen;
}

std::optional<SlotJpeg> EncodeSlotJpeg(std::span<const uint8_t> screenRgb, size_t limit)
{
    if (screenRgb.size() != kScreenBytes)
        return std::nullopt;
    for (const Step& s : kLadder) {
        auto bytes = CDIB::EncodeJpegRgb(screenRgb.data(), kScreenWidth, kScreenHeight, s.quality, s.colour);
        if (!bytes)
            return std::nullopt;
        if (bytes->size() < limit)
            return SlotJpeg{std::move(*bytes), s.quality, s.colour};
    }
    return std::nullopt;
}

MakeResult MakeSlotJpeg(const CDIB& picture, FrameMode mode, FramePoint frame, const std::filesystem::path& out,
                        size_t limit)
{
    if (picture.IsEmpty())
        return {false, res::IDS_CHOOSE_PICTURE_PC_FIRST, 0};
    const auto jpeg = EncodeSlotJpeg(ComposeWallpaper(picture, mode, frame), limit);
    if (!jpeg)
        return {false, res::IDS_WALLPAPER_TOO_LARGE, 0};
    std::ofstream f(out, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(jpeg->bytes.data()), std::streamsize(jpeg->bytes.size()));
    if (!f.flush())
        return {false, res::IDS_FILE_WRITE_FAILED, 0};
    return {true, 0, static_cast<uint32_t>(jpeg->bytes.size())};
}

// ---- the picture view's model ---------------------------------------------

WallpaperFrame::WallpaperFrame(int viewWidth, int viewHeight) : viewWidth_(viewWidth), viewHeight_(viewHeight) { }

WallpaperFrame::LoadResult WallpaperFrame::load(const std::string& path)
{
    if (!path_.empty() && path == path_)
        return {true, false, 0};
    CDIB next;
    bool damaged = false;
    if (!next.Load(path, &damaged))
        return {false, false, damaged ? res::IDS_PICTURE_DAMAGED_UNSUPPORTED_KIND : res::IDS_PICTURE_FILE_OPEN_FAILED};
    picture_ = std::move(next);
    path_ = path;
    mode_ = FrameMode::Free;
    picture_.RestoreZoom();
    placeFrame();
    return {true, true, 0};
}

void WallpaperFrame::placeFrame()
{
    const int zw = zoomedWidth(), zh = zoomedHeight();
    frame_.x = zw < viewWidth_ ? (zw - kScreenWidth) / 2 : 0;
    frame_.y = zh < viewHeight_ ? (zh - kScreenHeight) / 2 : 0;
}

void WallpaperFrame::zoomIn()
{
    if (mode_ != FrameMode::Free)
        return;
    picture_.ZoomIn();
    placeFrame();
}

void WallpaperFrame::zoomOut()
{
    if (mode_ != FrameMode::Free)
        return;
    picture_.ZoomOut();
    placeFrame();
}

void WallpaperFrame::restore()
{
    mode_ = FrameMode::Free;
    picture_.RestoreZoom();
    placeFrame();
}

bool WallpaperFrame::setZoom(int numerator, int denominator)
{
    if (mode_ != FrameMode::Free || numerator < 1 || numerator > 8 || denominator < 1 || denominator > 8 ||
        (numerator != 1 && denominator != 1))
        return false;
    picture_.SetZoomParas(numerator, denominator, numerator, denominator);
    placeFrame();
    return true;
}

void WallpaperFrame::nextMode()
{
    if (mode_ == FrameMode::Fit)
        restore();
    else
        mode_ = mode_ == FrameMode::Free ? FrameMode::Stretch : FrameMode::Fit;
}

void WallpaperFrame::setMode(FrameMode mode)
{
    if (mode == FrameMode::Free)
        restore();
    else
        mode_ = mode;
}

void WallpaperFrame::centreOn(int x, int y)
{
    if (mode_ == FrameMode::Free)
        frame_ = {x - kScreenWidth / 2, y - kScreenHeight / 2};
}

MakeResult WallpaperFrame::makeJpeg(const std::filesystem::path& out) const
{
    return MakeSlotJpeg(picture_, mode_, frame_, out);
}

}  // namespace media

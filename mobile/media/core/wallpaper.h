#pragma once
// A wallpaper for the phone's 128 x 160 screen, made from any picture the
// bitmap toolkit loads. WallpaperFrame is the picture view's model: the
// picture with its zoom, the frame mode (free: a 128 x 160 frame placed
// anywhere on the zoomed picture; stretch: the whole picture stretched;
// fit: the whole picture scaled into the screen keeping its proportions)
// and the frame's place. MakeSlotJpeg turns what the frame shows into the
// JPEG a picture slot takes: smaller than 8192 bytes, at the best quality
// of the ladder 75, 50, 40, 30, 10, 5 and 5 in grey.
//
// Plain C++: the pictures page presents a WallpaperFrame, `telvane image
// wallpaper` and `telvane picture put` drive the same one, and tests use it
// without a window. One thread at a time.

#include "quorlink/media/dib.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace media {

inline constexpr int kScreenWidth = 128;
inline constexpr int kScreenHeight = 160;
// A slot picture must be smaller than this.
inline constexpr size_t kSlotJpegLimit = 8192;
// The picture view's size in the pictures page.
inline constexpr int kViewWidth = 280;
inline constexpr int kViewHeight = 265;

enum class FrameMode : int { Free = 0, Stretch = 1, Fit = 2 };

struct FramePoint {
    int x = 0;
    int y = 0;
    bool operator==(const FramePoint&) const = default;
};

// Where the whole picture lands in fit mode: a width x height area at
// (left, top) of the screen.
struct FitPlacement {
    int left = 0, top = 0, width = 0, height = 0;
};
[[nodiscard]] FitPlacement FitGeometry(int pictureWidth, int pictureHeight);

// The 128 x 160 screen as R, G, B bytes, top row first: what the frame
// shows in the given mode; white where the picture does not reach. The
// frame point is the frame's top-left corner on the zoomed picture.
[[nodiscard]] std::vector<uint8_t> ComposeWallpaper(const quorlink::media::CDIB& picture, FrameMode mode,
                                                    FramePoint frame);

struct SlotJpeg {
    std::vector<uint8_t> bytes;
    int quality = 0;
    bool colour = true;
};
// Encodes the screen pixels down the quality ladder until the JPEG is
// smaller than limit; nothing when even the last step is not.
[[nodiscard]] std::optional<SlotJpeg> EncodeSlotJpeg(std::span<const uint8_t> screenRgb, size_t limit = kSlotJpegLimit);

struct MakeResult {
    bool ok = false;
    int messageId = 0;  // why not (a string id)
    uint32_t size = 0;  // bytes of the file written
};
// Composes, encodes and writes the slot JPEG (the program's "jpeg.jpg").
[[nodiscard]] MakeResult MakeSlotJpeg(const quorlink::media::CDIB& picture, FrameMode mode, FramePoint frame,
                                      const std::filesystem::path& out, size_t limit = kSlotJpegLimit);

class WallpaperFrame {
public:
    explicit WallpaperFrame(int viewWidth = kViewWidth, int viewHeight = kViewHeight);

    // Loads a picture (nothing when it is the current one): free mode, zoom
    // 1:1, the frame placed as placeFrame() does. Failure: 57711 when the
    // file cannot be read, 57952 when it is damaged or of an unknown kind;
    // the current picture then stays.
    struct LoadResult {
        bool ok = false;
        bool changed = false;
        int messageId = 0;
    };
    LoadResult load(const std::string& path);

    [[nodiscard]] bool loaded() const { return !picture_.IsEmpty(); }
    [[nodiscard]] const quorlink::media::CDIB& picture() const { return picture_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] FrameMode mode() const { return mode_; }
    [[nodiscard]] FramePoint frame() const { return frame_; }
    // The zoomed picture's size (the view's scroll area).
    [[nodiscard]] int zoomedWidth() const { return picture_.ZoomedWidth(); }
    [[nodiscard]] int zoomedHeight() const { return picture_.ZoomedHeight(); }

    // Zoom in / out (free mode only), back to 1:1 and free mode; each
    // places the frame again.
    void zoomIn();
    void zoomOut();
    void restore();
    // Sets a zoom numerator / denominator (one of them 1, each 1 to 8) in
    // free mode; false for another zoom.
    bool setZoom(int numerator, int denominator);
    // Free, stretch, fit, free: back to free also restores zoom 1:1.
    void nextMode();
    void setMode(FrameMode mode);
    // Free mode: the frame centred on a point of the zoomed picture.
    void centreOn(int x, int y);
    void setFrame(FramePoint frame) { frame_ = frame; }
    // The frame centred along an axis where the zoomed picture is smaller
    // than the view, else at 0 on that axis.
    void placeFrame();

    [[nodiscard]] std::vector<uint8_t> compose() const { return ComposeWallpaper(picture_, mode_, frame_); }
    [[nodiscard]] MakeResult makeJpeg(const std::filesystem::path& out) const;

private:
    quorlink::media::CDIB picture_;
    std::string path_;
    FrameMode mode_ = FrameMode::Free;
    FramePoint frame_;
    int viewWidth_;
    int viewHeight_;
};

}  // namespace media

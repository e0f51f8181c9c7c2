#include "mobile/shell/core/control_modes.h"

namespace shell {

namespace {

struct ModeRow {
    uint32_t mode;
    PathField field;
};

constexpr int kLabelPicture = 57693;
constexpr int kLabelSound = 57694;
constexpr int kLabelMp3 = 57940;
constexpr int kBrowsePicture = 1039;
constexpr int kBrowseSound = 1040;
constexpr int kBrowseMp3 = 57976;

constexpr ModeRow kModes[] = {
    {kModePictureWap, {true, PathSource::Empty, kLabelPicture, kBrowsePicture}},
    {kModePictureSlots, {true, PathSource::Picture, kLabelPicture, kBrowsePicture}},
    {kModeSoundMp3List, {true, PathSource::Empty, kLabelMp3, kBrowsePicture}},
    {kModeSoundWap, {true, PathSource::Empty, kLabelSound, kBrowseSound}},
    {kModeSoundSlots, {true, PathSource::Sound, kLabelSound, kBrowseSound}},
    {kModePictureCamera, {true, PathSource::Empty, kLabelPicture, kBrowsePicture}},
    {kModePhonebook, {false, PathSource::Empty, 0, 0}},
    {kModeMessages, {false, PathSource::Empty, 0, 0}},
    {kModeVideo, {false, PathSource::Empty, 0, 0}},
};

}  // namespace

std::vector<int> VisibleControlButtons(uint32_t mode)
{
    std::vector<int> ids;
    for (int b = 0; b < kControlButtonCount; ++b) {
        if (mode & (1u << b))
            ids.push_back(kFirstControlButton + b);
    }
    return ids;
}

std::vector<ButtonPlace> LayoutControlButtons(uint32_t mode, int barWidth, int barHeight)
{
    std::vector<ButtonPlace> places;
    const int y = (barHeight - kControlButtonHeight) / 2;
    int x = barWidth - kControlBarRightMargin - kControlButtonWidth;
    for (int id : VisibleControlButtons(mode)) {
        places.push_back({id, x, y});
        x -= kControlButtonPitch;
    }
    return places;
}

std::optional<PathField> PathFieldFor(uint32_t mode, bool mp3Mode)
{
    for (const auto& row : kModes) {
        if (row.mode != mode)
            continue;
        PathField f = row.field;
        if (mode == kModeSoundSlots && mp3Mode) {
            f.labelId = kLabelMp3;
            f.browseTooltipId = kBrowseMp3;
        }
        return f;
    }
    return std::nullopt;
}

}  // namespace shell

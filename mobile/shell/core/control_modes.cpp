#include "mobile/shell/core/control_modes.h"
#include "resources/strings.h"

namespace shell {

namespace {

struct ModeRow {
    uint32_t mode;
    PathField field;
};

constexpr ModeRow kModes[] = {
    {kModePictureWap, {true, PathSource::Empty, res::IDS_PICTURE, res::IDS_BROWSE_PICTURE}},
    {kModePictureSlots, {true, PathSource::Picture, res::IDS_PICTURE, res::IDS_BROWSE_PICTURE}},
    {kModeSoundMp3List, {true, PathSource::Empty, res::IDS_MP3_FILE, res::IDS_BROWSE_PICTURE}},
    {kModeSoundWap, {true, PathSource::Empty, res::IDS_SOUND, res::IDS_BROWSE_SOUND}},
    {kModeSoundSlots, {true, PathSource::Sound, res::IDS_SOUND, res::IDS_BROWSE_SOUND}},
    {kModePictureCamera, {true, PathSource::Empty, res::IDS_PICTURE, res::IDS_BROWSE_PICTURE}},
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
            f.labelId = res::IDS_MP3_FILE;
            f.browseTooltipId = res::IDS_BROWSE_MP3_FILE;
        }
        return f;
    }
    return std::nullopt;
}

}  // namespace shell

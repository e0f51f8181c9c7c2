#pragma once
// The control bar's modes: which of the eleven buttons (ids 1042..1052) a
// mode shows, where they sit, and what the path field shows.
//
// A mode's low 11 bits are the button mask (bit b shows button 1042 + b);
// the high bits only tell modes with the same buttons apart.

#include <cstdint>
#include <optional>
#include <vector>

namespace shell {

constexpr int kFirstControlButton = 1042;
constexpr int kControlButtonCount = 11;
constexpr int kControlButtonWidth = 46;
constexpr int kControlButtonHeight = 44;
constexpr int kControlButtonPitch = 65;
constexpr int kControlBarRightMargin = 12;

constexpr uint32_t kModePictureWap = 5;
constexpr uint32_t kModePictureSlots = 515;
constexpr uint32_t kModeSoundMp3List = 0x100000D;
constexpr uint32_t kModeSoundWap = 0x10000005;
constexpr uint32_t kModeSoundSlots = 0x10000203;
constexpr uint32_t kModePictureCamera = 0x1F000005;
constexpr uint32_t kModePhonebook = 2031;
constexpr uint32_t kModeMessages = 2045;
constexpr uint32_t kModeVideo = 0x200000D;

enum class PathSource { Empty, Picture, Sound };

struct PathField {
    bool shown = false;
    PathSource source = PathSource::Empty;
    int labelId = 0;
    int browseTooltipId = 0;
};

// Visible button ids in bar order (the first is the rightmost).
[[nodiscard]] std::vector<int> VisibleControlButtons(uint32_t mode);

struct ButtonPlace {
    int id;
    int x;
    int y;
};
// Positions of the visible buttons, right to left from the bar's right edge,
// vertically centred.
[[nodiscard]] std::vector<ButtonPlace> LayoutControlButtons(uint32_t mode, int barWidth, int barHeight);

// The path field of a mode; nothing for a mode the bar does not know.
[[nodiscard]] std::optional<PathField> PathFieldFor(uint32_t mode, bool mp3Mode);

}  // namespace shell

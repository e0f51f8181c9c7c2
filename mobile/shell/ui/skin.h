#pragma once
// The skin's brushes for what the program paints itself: a pattern brush
// made from the bundle's bitmap of the part, or the part's solid colour
// when the bundle has no such bitmap. (Areas the style sheet paints use
// the same bitmaps through it.)

#include <QBrush>
#include <QColor>

namespace shellui {

enum class SkinPart { Frame, ControlBar, Pane, Dialog, ProgressEmpty, ProgressDone, ProgressFrame };

[[nodiscard]] QBrush SkinBrush(SkinPart part);
[[nodiscard]] QColor SkinColour(SkinPart part);

}  // namespace shellui

#include "mobile/shell/ui/skin.h"

#include "mobile/shell/ui/resource_bundle.h"

namespace shellui {

namespace {

struct SkinRow {
    SkinPart part;
    const char* bitmap;  // nullptr: always the solid colour
    QRgb colour;
};

constexpr SkinRow kSkin[] = {
    {SkinPart::Frame, "skin/frame.png", 0x17222d},
    {SkinPart::ControlBar, "skin/controlbar.png", 0x223140},
    {SkinPart::Pane, "skin/pane.png", 0xdde4ea},
    {SkinPart::Dialog, "skin/dialog.png", 0xe6ecf1},
    {SkinPart::ProgressEmpty, "skin/progress_empty.png", 0xd0d9e1},
    {SkinPart::ProgressDone, "skin/progress_done.png", 0xf4a23c},
    {SkinPart::ProgressFrame, nullptr, 0x33475b},
};

const SkinRow& Row(SkinPart part)
{
    for (const SkinRow& r : kSkin) {
        if (r.part == part)
            return r;
    }
    return kSkin[0];
}

}  // namespace

QColor SkinColour(SkinPart part)
{
    return QColor(Row(part).colour);
}

QBrush SkinBrush(SkinPart part)
{
    const SkinRow& r = Row(part);
    if (r.bitmap) {
        const QPixmap pattern = Res().bitmap(QString::fromLatin1(r.bitmap));
        if (!pattern.isNull())
            return QBrush(pattern);
    }
    return QBrush(QColor(r.colour));
}

}  // namespace shellui

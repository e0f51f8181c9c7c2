#pragma once
// Balloon tooltips: a window shaped by a region made of a rounded
// rectangle (the text's body) joined with a pointer triangle whose tip
// touches the point the tip is about, filled and framed in the skin's
// colours. When the two shapes cannot be combined (they do not meet) the
// failure is reported as "ERROR in Combining Region" and the tip is shown
// as a plain rectangle.
//
// BalloonTips shows them for every widget's tooltip while it exists.
// GUI thread only.

#include <QPointer>
#include <QPolygon>
#include <QRegion>
#include <QWidget>

#include <memory>
#include <optional>

class QTimer;

namespace shellui {

inline constexpr char kCombineRegionError[] = "ERROR in Combining Region";

struct BalloonLayout {
    QRect window;  // global geometry of the tip window
    QRect body;  // the rounded rectangle, in window coordinates
    QPolygon pointer;  // the triangle, in window coordinates; point 0 is its tip
    bool pointsUp = true;  // the balloon lies below the point it is about
};

// Places a balloon whose text needs textSize so that its pointer's tip
// touches anchor; below the anchor when there is room on the screen, else
// above; moved sideways to stay on the screen.
[[nodiscard]] BalloonLayout PlaceBalloon(const QPoint& anchor, const QSize& textSize, const QRect& screen);

// The window's shape: the body's rounded rectangle joined with the
// pointer; nothing when the two cannot be combined.
[[nodiscard]] std::optional<QRegion> BalloonRegion(const BalloonLayout& layout);

class CBalloonTip final : public QWidget {
public:
    explicit CBalloonTip(QWidget* parent = nullptr);
    // Shows text with the pointer at anchor (global). False when the shape
    // could not be made (reported; the tip is then rectangular).
    bool showText(const QPoint& anchor, const QString& text);
    [[nodiscard]] QString text() const { return text_; }
    [[nodiscard]] const BalloonLayout& layout() const { return layout_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString text_;
    BalloonLayout layout_;
    bool shaped_ = false;
};

class BalloonTips final : public QObject {
public:
    // Installs itself on the application; removed when destroyed.
    explicit BalloonTips(QObject* parent = nullptr);
    ~BalloonTips() override;
    [[nodiscard]] CBalloonTip* tip() const { return tip_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void hideTip();

    std::unique_ptr<CBalloonTip> tip_;  // a top-level tip window, without a parent
    QPointer<QWidget> about_;  // the widget whose tip is shown
    QTimer* hideTimer_;
};

}  // namespace shellui

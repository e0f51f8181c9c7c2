#include "mobile/shell/ui/balloon_tip.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace shellui {

namespace {

constexpr int kPadding = 8;
constexpr int kRadius = 8;
constexpr int kPointerHeight = 10;
constexpr int kPointerWidth = 14;
// The pointer sits this far in from the body's nearer corner.
constexpr int kPointerInset = 16;
constexpr int kMaxTextWidth = 320;
constexpr int kHideAfterMs = 10000;

const QColor kFill(0x22, 0x31, 0x3f);
const QColor kFrame(0xf4, 0xa2, 0x3c);
const QColor kText(0xff, 0xe0, 0xb0);

QRegion RoundedRegion(const QRect& r)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(r), kRadius, kRadius);
    return QRegion(path.toFillPolygon().toPolygon());
}

QPainterPath Outline(const BalloonLayout& l)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(l.body).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    QPainterPath pointer;
    pointer.addPolygon(QPolygonF(l.pointer));
    pointer.closeSubpath();
    return body.united(pointer);
}

QFont TipFont()
{
    QFont f = QApplication::font();
    f.setPixelSize(12);
    return f;
}

}  // namespace

BalloonLayout PlaceBalloon(const QPoint& anchor, const QSize& textSize, const QRect& screen)
{
    BalloonLayout l;
    const QSize body(textSize.width() + 2 * kPadding, textSize.height() + 2 * kPadding);
    const int height = body.height() + kPointerHeight;
    l.pointsUp = anchor.y() + height <= screen.bottom() + 1;
    const int top = l.pointsUp ? anchor.y() : anchor.y() - height + 1;
    // Body to the right of the pointer, or to its left near the right edge.
    int left = anchor.x() - kPointerInset;
    if (left + body.width() > screen.right() + 1)
        left = screen.right() + 1 - body.width();
    left = std::max(left, screen.left());
    l.window = QRect(left, top, body.width(), height);
    l.body = QRect(QPoint(0, l.pointsUp ? kPointerHeight : 0), body);
    const int tipX = anchor.x() - left;
    // The base lies a little inside the body, so the two shapes overlap
    // (shapes that only touch along an edge share no pixel).
    const int baseY = l.pointsUp ? l.body.top() + kRadius / 2 : l.body.bottom() - kRadius / 2;
    const int tipY = l.pointsUp ? 0 : height - 1;
    const int baseLeft = tipX < body.width() / 2 ? tipX : tipX - kPointerWidth;
    l.pointer = QPolygon({QPoint(tipX, tipY), QPoint(baseLeft, baseY), QPoint(baseLeft + kPointerWidth, baseY)});
    return l;
}

std::optional<QRegion> BalloonRegion(const BalloonLayout& l)
{
    const QRegion body = l.body.isEmpty() ? QRegion() : RoundedRegion(l.body);
    const QRegion pointer(l.pointer, Qt::WindingFill);
    if (body.isEmpty() || pointer.isEmpty() || !body.intersects(pointer))
        return std::nullopt;
    return body.united(pointer);
}

CBalloonTip::CBalloonTip(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName("balloonTip");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(TipFont());
}

bool CBalloonTip::showText(const QPoint& anchor, const QString& text)
{
    text_ = text;
    const QFontMetrics fm(font());
    const QSize textSize = fm.boundingRect(QRect(0, 0, kMaxTextWidth, 2000), Qt::TextWordWrap, text).size();
    const QScreen* screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    layout_ = PlaceBalloon(anchor, textSize, area);
    const auto region = BalloonRegion(layout_);
    shaped_ = region.has_value();
    if (shaped_) {
        setMask(*region);
    } else {
        std::fprintf(stderr, "mobile: %s\n", kCombineRegionError);
        clearMask();
    }
    setGeometry(layout_.window);
    show();
    raise();
    update();
    return shaped_;
}

void CBalloonTip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (shaped_) {
        p.setPen(QPen(kFrame, 1.5));
        p.setBrush(kFill);
        p.drawPath(Outline(layout_));
    } else {
        p.fillRect(rect(), kFill);
        p.setPen(kFrame);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    p.setPen(kText);
    p.drawText(layout_.body.adjusted(kPadding, kPadding, -kPadding, -kPadding), Qt::TextWordWrap, text_);
}

BalloonTips::BalloonTips(QObject* parent)
    : QObject(parent), tip_(std::make_unique<CBalloonTip>()), hideTimer_(new QTimer(this))
{
    hideTimer_->setSingleShot(true);
    hideTimer_->setInterval(kHideAfterMs);
    connect(hideTimer_, &QTimer::timeout, this, [this] { hideTip(); });
    qApp->installEventFilter(this);
}

void BalloonTips::hideTip()
{
    tip_->hide();
    about_ = nullptr;
    hideTimer_->stop();
}

BalloonTips::~BalloonTips()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool BalloonTips::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::ToolTip: {
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w == tip_.get())
            break;
        const QString text = w->toolTip();
        if (text.isEmpty()) {
            hideTip();
            return true;
        }
        about_ = w;
        (void)tip_->showText(static_cast<QHelpEvent*>(e)->globalPos() + QPoint(0, 2), text);
        hideTimer_->start();
        return true;
    }
    case QEvent::Leave:
    case QEvent::Hide:
        if (about_ && watched == about_.data())
            hideTip();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::WindowDeactivate:
        if (tip_->isVisible())
            hideTip();
        break;
    default: break;
    }
    return QObject::eventFilter(watched, e);
}

}  // namespace shellui

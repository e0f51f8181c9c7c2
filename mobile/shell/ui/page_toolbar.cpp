#include "mobile/shell/ui/page_toolbar.h"
#include "resources/strings.h"

#include "mobile/shell/ui/resource_bundle.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

namespace shellui {

namespace {
constexpr int kSpacing = 2;
constexpr int kLeftMargin = 6;
constexpr int kTopMargin = 2;
constexpr int kCaptionX = 520;
}  // namespace

CPageToolbar::CPageToolbar(std::function<void(int)> command, QWidget* parent)
    : QWidget(parent), command_(std::move(command)), strip_(Res().bitmap("toolbar/136.png"))
{
    setObjectName("pageToolbar");
    setAttribute(Qt::WA_StyledBackground);
    setMouseTracking(true);
    for (const ToolbarButton& b : Res().toolbar())
        buttons_.push_back({b.command, b.image, b.tooltipId});
    setMinimumHeight(kButtonSize + 2 * kTopMargin);
}

void CPageToolbar::setCurrent(int command)
{
    if (current_ == command)
        return;
    current_ = command;
    update();
}

int CPageToolbar::commandAt(int index) const
{
    return index >= 0 && index < count() ? buttons_[size_t(index)].command : 0;
}

QRect CPageToolbar::buttonRect(int index) const
{
    return {kLeftMargin + index * (kButtonSize + kSpacing), kTopMargin, kButtonSize, kButtonSize};
}

int CPageToolbar::indexAt(const QPoint& at) const
{
    for (int i = 0; i < count(); ++i) {
        if (buttonRect(i).contains(at))
            return i;
    }
    return -1;
}

int CPageToolbar::imageIndexOf(int index) const
{
    if (index < 0 || index >= count())
        return -1;
    const Button& b = buttons_[size_t(index)];
    const bool highlighted = index == hot_ || b.command == current_;
    return highlighted ? b.image + count() : b.image;
}

void CPageToolbar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // The caption in the bar's right part: product and model.
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont caption("Tahoma");
    caption.setBold(true);
    caption.setPixelSize(14);
    p.setFont(caption);
    p.setPen(QColor(0xf4, 0xa2, 0x3c));
    const int right = width() - kCaptionX - 8;
    p.drawText(QRect(kCaptionX, 3, right, 20), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("R7730    TELVANE"));
    QFont model("Tahoma");
    model.setPixelSize(11);
    p.setFont(model);
    p.setPen(QColor(0x9f, 0xb3, 0xc4));
    p.drawText(QRect(kCaptionX, 24, right, 16), Qt::AlignLeft | Qt::AlignTop, Str(res::IDS_MODEL_NAME));
    const QSize image = kImageSize;
    for (int i = 0; i < count(); ++i) {
        const QRect r = buttonRect(i);
        const QRect source(image.width() * imageIndexOf(i), 0, image.width(), image.height());
        QRect target(QPoint(), image);
        target.moveCenter(r.center());
        if (i == pressed_ && i == hot_)
            target.translate(0, 2);
        p.drawPixmap(target, strip_, source);
    }
}

void CPageToolbar::enterEvent(QEnterEvent* e)
{
    QWidget::enterEvent(e);
    track();
}

void CPageToolbar::mouseMoveEvent(QMouseEvent* e)
{
    QWidget::mouseMoveEvent(e);
    // The tooltip names the button under the cursor.
    const int index = indexAt(e->position().toPoint());
    setToolTip(index >= 0 ? Str(buttons_[size_t(index)].tooltipId) : QString());
    track();
}

void CPageToolbar::track()
{
    if (!timer_.isActive())
        timer_.start(kHotTimerMs, this);
}

void CPageToolbar::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != timer_.timerId()) {
        QWidget::timerEvent(e);
        return;
    }
    const QPoint at = mapFromGlobal(QCursor::pos());
    if (!rect().contains(at) || !isVisible()) {
        timer_.stop();
        setHot(-1);
        return;
    }
    setHot(indexAt(at));
}

void CPageToolbar::setHot(int index)
{
    if (hot_ == index)
        return;
    const int previous = hot_;
    hot_ = index;
    if (previous >= 0)
        update(buttonRect(previous));
    if (index >= 0)
        update(buttonRect(index));
}

void CPageToolbar::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    pressed_ = indexAt(e->position().toPoint());
    setHot(pressed_);
    track();
    update();
}

void CPageToolbar::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(e);
    const int released = indexAt(e->position().toPoint());
    const int pressed = pressed_;
    pressed_ = -1;
    update();
    if (pressed >= 0 && pressed == released)
        command_(buttons_[size_t(pressed)].command);
}

}  // namespace shellui

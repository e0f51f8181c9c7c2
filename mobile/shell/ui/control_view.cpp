#include "mobile/shell/ui/control_view.h"
#include "resources/strings.h"

#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/resource_bundle.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace shellui {

namespace {

constexpr int kPathFieldId = 1010;

// Tooltips of the buttons after the connect button, per mode, in bar order.
struct TooltipRow {
    uint32_t mode;
    std::initializer_list<int> tips;
};
const TooltipRow kTooltips[] = {
    {shell::kModePictureWap, {59032}},
    {shell::kModePictureSlots, {59031, 59035}},
    {shell::kModeSoundMp3List, {59032, 59033}},
    {shell::kModeSoundWap, {59032}},
    {shell::kModeSoundSlots, {59031, 59035}},
    {shell::kModePictureCamera, {59032}},
    {shell::kModePhonebook, {59036, 59037, 59038, 59039, 59040, 59041, 59042, 59043, 59044}},
    {shell::kModeMessages, {59037, 59038, 59045, 59039, 59040, 59041, 59042, 59043, 59044}},
    {shell::kModeVideo, {59034, 59033}},
};

// The button's image, greyed and faded: what cannot work yet.
QPixmap Dimmed(const QPixmap& source)
{
    QImage img = source.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 45 / 100);
        }
    }
    return QPixmap::fromImage(img);
}

}  // namespace

CControlView::CControlView(std::function<void(int, const QString&)> command, QWidget* parent)
    : QWidget(parent), command_(std::move(command))
{
    setObjectName("controlBar");
    setAttribute(Qt::WA_StyledBackground);
    setMinimumHeight(60);
    label_ = new QLabel(this);
    path_ = new QLineEdit(this);
    browse_ = new QToolButton(this);
    browse_->setObjectName("browseButton");
    browse_->setText(Str(59046));
    connect(path_, &QLineEdit::returnPressed, this, [this] {
        if (!path_->text().isEmpty())
            command_(kPathFieldId, path_->text());
    });
    connect(browse_, &QToolButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, browse_->toolTip(), path_->text());
        if (!file.isEmpty()) {
            path_->setText(file);
            command_(kPathFieldId, file);
        }
    });
    for (int i = 0; i < shell::kControlButtonCount; ++i) {
        const int id = shell::kFirstControlButton + i;
        auto* b = new QToolButton(this);
        b->setObjectName("controlButton");
        b->setProperty("commandId", id);
        const QPixmap normal = Res().bitmap(QStringLiteral("buttons/%1.png").arg(id));
        QIcon icon;
        icon.addPixmap(normal, QIcon::Normal);
        icon.addPixmap(Res().bitmap(QStringLiteral("buttons/%1_hot.png").arg(id)), QIcon::Active);
        icon.addPixmap(Res().bitmap(QStringLiteral("buttons/%1_down.png").arg(id)), QIcon::Selected);
        b->setIcon(icon);
        icons_[id] = icon;
        QIcon dimmed;
        dimmed.addPixmap(Dimmed(normal), QIcon::Normal);
        dimmed.addPixmap(Dimmed(normal), QIcon::Active);
        dimmedIcons_[id] = dimmed;
        b->setIconSize(QSize(shell::kControlButtonWidth, shell::kControlButtonHeight));
        b->setFixedSize(shell::kControlButtonWidth, shell::kControlButtonHeight);
        b->setAutoRaise(true);
        b->hide();
        connect(b, &QToolButton::clicked, this, [this, id] { command_(id, QString()); });
        buttons_[id] = b;
    }
    setConnectTooltip(res::IDS_TIP_CONNECT);
}

void CControlView::setConnectTooltip(int stringId)
{
    tips_[shell::kFirstControlButton] = Str(stringId);
    updateTooltip(shell::kFirstControlButton);
}

void CControlView::setUnavailable(int id, int reasonId)
{
    auto* b = button(id);
    if (!b)
        return;
    reasons_[id] = reasonId;
    b->setIcon(reasonId ? dimmedIcons_[id] : icons_[id]);
    b->setProperty("unavailable", reasonId != 0);
    updateTooltip(id);
}

void CControlView::updateTooltip(int id)
{
    QString tip = tips_[id];
    if (const auto it = reasons_.find(id); it != reasons_.end() && it->second)
        tip += (tip.isEmpty() ? "" : "\n") + Str(it->second);
    buttons_[id]->setToolTip(tip);
}

void CControlView::setMode(uint32_t mode, bool mp3Mode)
{
    mode_ = mode;
    mp3_ = mp3Mode;
    const auto field = shell::PathFieldFor(mode, mp3Mode);
    const bool shown = field && field->shown;
    label_->setVisible(shown);
    path_->setVisible(shown);
    browse_->setVisible(shown);
    source_ = shown ? field->source : shell::PathSource::Empty;
    if (shown) {
        label_->setText(Str(field->labelId));
        browse_->setToolTip(Str(field->browseTooltipId));
    }
    // A mode without a remembered path (or without the field) leaves it
    // empty, so no page reads another page's path.
    path_->setText(source_ == shell::PathSource::Empty ? QString() : paths_[source_]);
    const auto visible = shell::VisibleControlButtons(mode);
    for (auto& [id, b] : buttons_) {
        b->setVisible(std::find(visible.begin(), visible.end(), id) != visible.end());
        if (id != shell::kFirstControlButton)
            tips_[id].clear();
    }
    for (const auto& row : kTooltips) {
        if (row.mode != mode)
            continue;
        auto tip = row.tips.begin();
        for (size_t i = 1; i < visible.size() && tip != row.tips.end(); ++i, ++tip)
            tips_[visible[i]] = Str(*tip);
    }
    for (const auto& [id, b] : buttons_)
        updateTooltip(id);
    layoutButtons();
}

void CControlView::layoutButtons()
{
    const auto places = shell::LayoutControlButtons(mode_, width(), height());
    int leftmost = width();
    for (const auto& p : places) {
        buttons_[p.id]->move(p.x, p.y);
        leftmost = std::min(leftmost, p.x);
    }
    // The path field takes the room left of the buttons.
    const int x = 14;
    const int labelWidth = label_->sizeHint().width();
    const int fieldRight = leftmost - 14;
    const int y = (height() - 26) / 2;
    label_->setGeometry(x, y, labelWidth, 26);
    const int fieldX = x + labelWidth + 8;
    const int browseWidth = browse_->sizeHint().width() + 6;
    path_->setGeometry(fieldX, y, std::max(40, fieldRight - fieldX - browseWidth - 6), 26);
    browse_->setGeometry(path_->geometry().right() + 6, y, browseWidth, 26);
}

void CControlView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutButtons();
}

QList<int> CControlView::visibleButtons() const
{
    QList<int> ids;
    for (const auto& p : shell::LayoutControlButtons(mode_, width(), height())) {
        if (!buttons_.at(p.id)->isHidden())
            ids << p.id;
    }
    return ids;
}

QToolButton* CControlView::button(int id) const
{
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

bool CControlView::pathFieldVisible() const
{
    return !path_->isHidden();
}
QString CControlView::pathText() const
{
    return path_->text();
}
void CControlView::setPathText(const QString& text)
{
    path_->setText(text);
    if (source_ != shell::PathSource::Empty)
        paths_[source_] = text;
}

void CControlView::setButtonEnabled(int id, bool enabled)
{
    if (auto* b = button(id))
        b->setEnabled(enabled);
}

}  // namespace shellui

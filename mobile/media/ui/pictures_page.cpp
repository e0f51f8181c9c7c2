#include "mobile/media/ui/pictures_page.h"

#include "mobile/media/core/media_parts.h"
#include "mobile/media/core/media_slots.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"
#include "resources/strings.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mediaui {

using shellui::Str;
using namespace media;

namespace {

constexpr int kCmdZoomIn = 1027;
constexpr int kCmdZoomActual = 1028;
constexpr int kCmdZoomOut = 1029;
constexpr int kCmdPreview = 1030;
constexpr int kCmdNextMode = 1031;
constexpr int kCmdPathConfirmed = 1010;
constexpr int kCmdPut = 1043;
constexpr int kCmdSave = 1044;
constexpr int kCmdEmpty = 1051;

// Category: list, tab text, the frame command that sets the control bar.
struct Category {
    int category;
    MediaList list;
    int tabId;
    int command;
    uint32_t mode;
};
constexpr Category kCategories[] = {
    {2, MediaList::UserPictures, res::IDS_TAB_MY_PICTURES, 57963, 515},
    {3, MediaList::Camera, res::IDS_TAB_CAMERA, 57983, 0x1F000005},
    {4, MediaList::WapPictures, res::IDS_TAB_WAP, 57962, 5},
    {5, MediaList::MmsPictures, res::IDS_TAB_MMS, 57962, 5},
};
const Category& CategoryOf(int category)
{
    for (const auto& c : kCategories)
        if (c.category == category)
            return c;
    return kCategories[0];
}

constexpr int kFrameModeText[] = {res::IDS_FRAME_FREE, res::IDS_FRAME_STRETCH, res::IDS_FRAME_FIT};

// Draws DIB rectangles with QPainter, without smoothing: only the part of
// the destination that the painter can show is converted.
class PainterCanvas final : public quorlink::media::DibCanvas {
public:
    PainterCanvas(QPainter& p, QRect visible) : p_(p), visible_(visible) { }
    int stretchDib(int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh, const quorlink::media::DibView& dib,
                   int, uint32_t) override
    {
        if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
            return 0;
        const QRect target = QRect(dx, dy, dw, dh).intersected(visible_);
        if (target.isEmpty())
            return 0;
        QImage image(target.size(), QImage::Format_RGB888);
        for (int y = 0; y < target.height(); ++y) {
            const int srcY = sy + int(int64_t(target.y() + y - dy) * sh / dh);
            uchar* line = image.scanLine(y);
            for (int x = 0; x < target.width(); ++x) {
                const int srcX = sx + int(int64_t(target.x() + x - dx) * sw / dw);
                const auto c = (srcX >= 0 && srcX < dib.width && srcY >= 0 && srcY < dib.height)
                    ? dib.rgb(srcX, srcY)
                    : std::array<uint8_t, 3>{255, 255, 255};
                std::memcpy(line + x * 3, c.data(), 3);
            }
        }
        p_.drawImage(target.topLeft(), image);
        return target.height();
    }

private:
    QPainter& p_;
    QRect visible_;
};

QImage ScreenImage(const std::vector<uint8_t>& rgb)
{
    return QImage(rgb.data(), kScreenWidth, kScreenHeight, kScreenWidth * 3, QImage::Format_RGB888).copy();
}

// The slot name, at most 12 characters; nothing when the user cancels.
std::optional<QString> AskSlotName(QWidget* parent, const QString& preset)
{
    for (;;) {
        QDialog d(parent);
        d.setWindowTitle(Str(res::IDS_SLOT_NAME_TITLE));
        auto* layout = new QVBoxLayout(&d);
        layout->addWidget(new QLabel(Str(res::IDS_SLOT_NAME_PROMPT), &d));
        auto* edit = new QLineEdit(preset, &d);
        edit->setMaxLength(12);
        layout->addWidget(edit);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
        layout->addWidget(buttons);
        if (d.exec() != QDialog::Accepted)
            return std::nullopt;
        if (!edit->text().isEmpty())
            return edit->text();
    }
}

}  // namespace

// ---- CImageView -------------------------------------------------------------

CImageView::CImageView(WallpaperFrame& frame, QWidget* parent) : QAbstractScrollArea(parent), frame_(frame)
{
    setFrameShape(QFrame::Box);
    viewport()->setMouseTracking(false);
    refresh();
}

QPoint CImageView::pictureOrigin() const
{
    // A picture smaller than the view sits in its middle.
    const QSize v = viewport()->size();
    const int x = frame_.zoomedWidth() < v.width() ? (v.width() - frame_.zoomedWidth()) / 2 : 0;
    const int y = frame_.zoomedHeight() < v.height() ? (v.height() - frame_.zoomedHeight()) / 2 : 0;
    return {x - horizontalScrollBar()->value(), y - verticalScrollBar()->value()};
}

void CImageView::refresh()
{
    const QSize v = viewport()->size();
    const bool free = frame_.mode() == FrameMode::Free;
    horizontalScrollBar()->setRange(0, free ? std::max(0, frame_.zoomedWidth() - v.width()) : 0);
    verticalScrollBar()->setRange(0, free ? std::max(0, frame_.zoomedHeight() - v.height()) : 0);
    horizontalScrollBar()->setPageStep(v.width());
    verticalScrollBar()->setPageStep(v.height());
    viewport()->update();
}

void CImageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    refresh();
}

void CImageView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(0x6b, 0x7b, 0x8c));
    if (!frame_.loaded()) {
        p.setPen(Qt::white);
        p.drawText(viewport()->rect().adjusted(12, 0, -12, 0), Qt::AlignCenter | Qt::TextWordWrap,
                   Str(res::IDS_NO_PICTURE_LOADED));
        return;
    }
    if (frame_.mode() != FrameMode::Free) {
        // What the phone will show, at its own size, in the middle.
        const QImage screen = ScreenImage(frame_.compose());
        const QPoint at((viewport()->width() - kScreenWidth) / 2, (viewport()->height() - kScreenHeight) / 2);
        p.drawImage(at, screen);
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.drawRect(QRect(at - QPoint(1, 1), QSize(kScreenWidth + 1, kScreenHeight + 1)));
        return;
    }
    const QPoint o = pictureOrigin();
    PainterCanvas canvas(p, viewport()->rect());
    (void)frame_.picture().Stretch(canvas, o.x(), o.y(), frame_.zoomedWidth(), frame_.zoomedHeight(), 0, 0,
                                   frame_.picture().GetWidth(), frame_.picture().GetHeight());
    // The frame: a one-pixel outline that inverts what lies under it.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(QRect(o + QPoint(frame_.frame().x, frame_.frame().y), QSize(kScreenWidth - 1, kScreenHeight - 1)));
}

void CImageView::follow(const QPoint& at)
{
    if (frame_.mode() != FrameMode::Free || !frame_.loaded())
        return;
    const QPoint onPicture = at - pictureOrigin();
    frame_.centreOn(onPicture.x(), onPicture.y());
    viewport()->update();
}

void CImageView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        follow(event->position().toPoint());
}

void CImageView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        follow(event->position().toPoint());
}

// ---- CWallPaperLeftView -------------------------------------------------------

CWallPaperLeftView::CWallPaperLeftView(WallpaperFrame& frame, QWidget* parent) : QWidget(parent), frame_(frame)
{
    setObjectName("CWallPaperLeftView");
    view_ = new CImageView(frame, this);
    view_->setGeometry(34, 23, kViewWidth, kViewHeight);
    auto* bar = new QWidget(this);
    bar->setGeometry(34, 23 + kViewHeight + 8, kViewWidth, 30);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    const struct {
        int id;
        const char* glyph;
        int tip;
    } buttons[] = {
        {kCmdZoomIn, "+", res::IDS_ZOOM_IN},        {kCmdZoomActual, "1:1", res::IDS_ZOOM_ACTUAL},
        {kCmdZoomOut, "\u2212", res::IDS_ZOOM_OUT}, {kCmdNextMode, "\u25A3", res::IDS_NEXT_FRAME_MODE},
        {kCmdPreview, "\u25B6", res::IDS_PREVIEW},
    };
    for (const auto& b : buttons) {
        auto* button = new QToolButton(bar);
        button->setObjectName(QString("button%1").arg(b.id));
        button->setText(QString::fromUtf8(b.glyph));
        button->setToolTip(Str(b.tip));
        button->setFixedSize(40, 26);
        row->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, id = b.id] { command(id); });
    }
    status_ = new QLabel(this);
    status_->setObjectName("pictureStatus");
    status_->setStyleSheet("color: #d8e0e8;");
    status_->setGeometry(34, 2, kViewWidth, 20);
    refresh();
}

void CWallPaperLeftView::command(int id)
{
    switch (id) {
    case kCmdZoomIn: frame_.zoomIn(); break;
    case kCmdZoomOut: frame_.zoomOut(); break;
    case kCmdZoomActual: frame_.restore(); break;
    case kCmdNextMode: frame_.nextMode(); break;
    case kCmdPreview: emit previewRequested(); return;
    default: return;
    }
    refresh();
}

void CWallPaperLeftView::refresh()
{
    view_->refresh();
    if (!frame_.loaded()) {
        status_->clear();
        return;
    }
    int xn, xd, yn, yd;
    frame_.picture().GetZoomParas(xn, xd, yn, yd);
    QString text = QString("%1   %2 \u00D7 %3")
                       .arg(Str(kFrameModeText[int(frame_.mode())]))
                       .arg(frame_.picture().GetWidth())
                       .arg(frame_.picture().GetHeight());
    if (frame_.mode() == FrameMode::Free)
        text += QString("   %1:%2").arg(xn).arg(xd);
    status_->setText(text);
}

// ---- CWallPaperRightView ------------------------------------------------------

CWallPaperRightView::CWallPaperRightView(QWidget* parent) : QWidget(parent)
{
    setObjectName("CWallPaperRightView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    tabs_ = new QTabBar(this);
    for (const auto& c : kCategories)
        tabs_->addTab(Str(c.tabId));
    tabs_->setExpanding(true);
    layout->addWidget(tabs_);
    stack_ = new QStackedWidget(this);
    list_ = new QTreeWidget(stack_);
    list_->setRootIsDecorated(false);
    list_->setColumnCount(3);
    list_->setHeaderLabels({Str(res::IDS_COLUMN_NUMBER), Str(res::IDS_PICTURE_COLUMN_NAME), Str(res::IDS_COLUMN_SIZE)});
    list_->header()->resizeSection(0, 50);
    list_->header()->resizeSection(1, 180);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    empty_ = new QLabel(Str(res::IDS_LIST_EMPTY), stack_);
    empty_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(list_);
    stack_->addWidget(empty_);
    layout->addWidget(stack_);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && kCategories[index].category != category_) {
            category_ = kCategories[index].category;
            emit categoryChosen(category_);
        }
    });
    showRows(EmptyRows());
}

MediaList CWallPaperRightView::list() const
{
    return CategoryOf(category_).list;
}

void CWallPaperRightView::setCategory(int category)
{
    category_ = CategoryOf(category).category;
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(category_ - 2);
}

void CWallPaperRightView::showRows(const std::vector<MediaRow>& rows)
{
    rows_ = rows;
    list_->clear();
    for (const MediaRow& r : rows_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::number(r.number));
        item->setText(1, r.nameId ? Str(r.nameId) : QString::fromStdString(r.name));
        item->setText(2, QString::fromStdString(r.sizeText));
        item->setData(0, Qt::UserRole, r.used ? 1 : 0);
        if (!r.detail.empty())
            item->setToolTip(1, QString::fromStdString(r.detail));
    }
    stack_->setCurrentWidget(rows_.empty() ? static_cast<QWidget*>(empty_) : list_);
}

const MediaRow* CWallPaperRightView::selectedRow() const
{
    const auto* item = list_->currentItem();
    if (!item || !item->isSelected())
        return nullptr;
    const int index = list_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    return index >= 0 && size_t(index) < rows_.size() ? &rows_[size_t(index)] : nullptr;
}

void CWallPaperRightView::selectRow(int index)
{
    if (auto* item = list_->topLevelItem(index)) {
        list_->setCurrentItem(item);
        item->setSelected(true);
    }
}

// ---- the page ---------------------------------------------------------------

PicturesPage::PicturesPage(shellui::PageHost& host, QWidget* parent) : host_(host)
{
    left_ = new CWallPaperLeftView(frame_, parent);
    right_ = new CWallPaperRightView(parent);
    connect(left_, &CWallPaperLeftView::previewRequested, this, [this] { preview(); });
    connect(right_, &CWallPaperRightView::categoryChosen, this, [this](int category) {
        host_.categoryChanged(CategoryOf(category).command);
        if (category == 2)
            host_.setPathText(QString::fromStdString(frame_.path()));
        loadList();
    });
}

PicturesPage::~PicturesPage() = default;

std::string PicturesPage::programDirectory() const
{
    return plat::ProgramDirectory();
}

uint32_t PicturesPage::controlMode() const
{
    return CategoryOf(right_->category()).mode;
}

void PicturesPage::command(int id, const QString& text)
{
    switch (id) {
    case kCmdPathConfirmed: loadPicture(text); break;
    case kCmdPut: putIntoSlot(); break;
    case kCmdEmpty: emptySlot(); break;
    case kCmdSave: saveItem(); break;
    case kCmdPreview: preview(); break;
    case kCmdZoomIn:
    case kCmdZoomOut:
    case kCmdZoomActual:
    case kCmdNextMode: left_->command(id); break;
    default: break;
    }
}

void PicturesPage::shown()
{
    if (phoneMode())
        loadList();
}

void PicturesPage::connectionChanged()
{
    if (phoneMode())
        loadList();
    else
        right_->showRows(EmptyRows());
}

void PicturesPage::loadList()
{
    if (!phoneMode()) {
        right_->showRows(EmptyRows());
        return;
    }
    const MediaList list = right_->list();
    const bool locked = host_.connection().picturesLocked;
    auto rows = LoadListing(programDirectory(), list, locked);
    if (!rows) {
        const MediaList lists[] = {list};
        if (host_.runBatch(IndexDownloadPlan(programDirectory(), lists)) == shell::kBatchOk)
            rows = LoadListing(programDirectory(), list, locked);
    }
    if (!rows) {
        host_.message(res::IDS_MEDIA_LIST_FAILED, shell::Icon::Error);
        right_->showRows(EmptyRows());
        return;
    }
    right_->showRows(*rows);
}

void PicturesPage::loadPicture(const QString& path)
{
    const auto r = frame_.load(path.toStdString());
    if (!r.ok) {
        host_.message(r.messageId, shell::Icon::Error);
        host_.setPathText(QString::fromStdString(frame_.path()));
        return;
    }
    host_.setPathText(path);
    left_->refresh();
}

void PicturesPage::putIntoSlot()
{
    if (!phoneMode())
        return host_.message(res::IDS_NEEDS_PHONE_MODE, shell::Icon::Error);
    if (!frame_.loaded())
        return host_.message(res::IDS_CHOOSE_PICTURE_PC_FIRST, shell::Icon::Error);
    const MediaRow* row = right_->list() == MediaList::UserPictures ? right_->selectedRow() : nullptr;
    if (!row)
        return host_.message(res::IDS_SELECT_PICTURE_SLOT_FIRST, shell::Icon::Error);
    const int slot = row->number;
    if (row->used) {
        if (host_.connection().picturesLocked && row->isPrivate)
            return host_.message(res::IDS_SLOT_PRIVATE_NO_REPLACE, shell::Icon::Error);
        if (!host_.ask(res::IDS_SLOT_USE_REPLACE_PICTURE))
            return;
    }
    const auto name = AskSlotName(host_.dialogParent(), QString::fromStdString(ShortName(frame_.path(), 12)));
    if (!name)
        return;
    const std::string jpeg = programDirectory() + "jpeg.jpg";
    const MakeResult made = frame_.makeJpeg(jpeg);
    if (!made.ok)
        return host_.message(made.messageId, shell::Icon::Error);
    SlotFlows flows(programDirectory(), host_);
    const FlowResult r =
        flows.putPicture(slot, SlotNameFromUser(name->toStdString()), jpeg, host_.connection().picturesLocked);
    if (r.messageId)
        host_.message(r.messageId, r.icon);
    if (r.ok)
        loadList();
}

void PicturesPage::emptySlot()
{
    const MediaRow* row = right_->list() == MediaList::UserPictures ? right_->selectedRow() : nullptr;
    if (!phoneMode() || !row || !row->used)
        return;
    if (host_.connection().picturesLocked && row->isPrivate)
        return host_.message(res::IDS_SLOT_PRIVATE_NO_EMPTY, shell::Icon::Error);
    if (!host_.ask(res::IDS_EMPTY_SELECTED_SLOT))
        return;
    SlotFlows flows(programDirectory(), host_);
    const FlowResult r = flows.emptySlot(SlotTableKind::Pictures, row->number, host_.connection().picturesLocked);
    if (r.messageId)
        host_.message(r.messageId, r.icon);
    if (r.ok)
        loadList();
}

void PicturesPage::saveItem()
{
    const MediaList list = right_->list();
    const MediaRow* row = right_->selectedRow();
    if (list == MediaList::UserPictures || !row || !row->used)
        return;
    if (list != MediaList::WapPictures && row->isPrivate)
        return host_.message(res::IDS_ITEM_PRIVATE_PHONES_PRIVACY, shell::Icon::Error);
    const QString ext = QString::fromStdString(SaveExtension(row->fileName));
    const QString path = QFileDialog::getSaveFileName(
        host_.dialogParent(), QString(), QString::fromStdString(SaveDefaultName(row->displayName)) + "." + ext,
        QString("%1 File (*.%1)").arg(ext));
    if (path.isEmpty())
        return;
    const MediaRow copy = *row;
    const FlowResult r = SaveItem(host_, programDirectory(), list, copy, path.toStdString());
    if (r.messageId)
        host_.message(r.messageId, r.icon);
}

void PicturesPage::preview()
{
    if (!frame_.loaded())
        return host_.message(res::IDS_CHOOSE_PICTURE_PC_FIRST, shell::Icon::Error);
    const std::string jpeg = programDirectory() + "jpeg.jpg";
    const MakeResult made = frame_.makeJpeg(jpeg);
    if (!made.ok)
        return host_.message(made.messageId, shell::Icon::Error);
    QDialog d(host_.dialogParent());
    d.setWindowTitle(Str(res::IDS_PREVIEW_TITLE).arg(made.size));
    auto* layout = new QVBoxLayout(&d);
    auto* picture = new QLabel(&d);
    picture->setPixmap(QPixmap(QString::fromStdString(jpeg)).scaled(kScreenWidth * 2, kScreenHeight * 2));
    layout->addWidget(picture);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &d);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    layout->addWidget(buttons);
    d.exec();
}

std::unique_ptr<shellui::PageViews> MakePicturesPage(shellui::PageHost& host, QWidget* parent)
{
    return std::make_unique<PicturesPage>(host, parent);
}

}  // namespace mediaui

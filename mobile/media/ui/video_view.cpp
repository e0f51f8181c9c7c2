#include "mobile/media/ui/video_view.h"

#include "mobile/media/core/media_parts.h"
#include "mobile/shell/core/connection.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"
#include "resources/strings.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mediaui {

namespace {

using shellui::Str;

constexpr int kCmdRefresh = 1044;
constexpr int kCmdSave = 1045;
constexpr int kCaption = 57344;  // the program's message caption

struct Column {
    int titleId;
    int width;
};
constexpr Column kColumns[] = {
    {res::IDS_VIDEO_COLUMN_NUMBER, 50},      {res::IDS_VIDEO_COLUMN_NAME, 150}, {res::IDS_VIDEO_COLUMN_LENGTH, 150},
    {res::IDS_VIDEO_COLUMN_RESOLUTION, 228}, {res::IDS_VIDEO_COLUMN_SIZE, 138},
};

std::string Text(int id)
{
    return Str(id).toStdString();
}

QString AskSavePath(QWidget* parent, const QString& proposal)
{
    QFileDialog dialog(parent, Str(res::IDS_SAVE_CLIP_AS), QDir::homePath());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("avi");
    dialog.setNameFilter("AVI File (*.avi)");
    dialog.selectFile(proposal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void ShowBox(QWidget* parent, const QString& caption, const QString& text, bool error)
{
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(Str(res::IDS_OK));
    box.exec();
}

class VideoPage final : public shellui::PageViews {
public:
    VideoPage(shellui::PageHost& host, QWidget* parent) : view_(new CVideoView(host, parent)) { }
    QWidget* left() override { return view_; }
    QWidget* right() override { return nullptr; }
    uint32_t controlMode() const override { return shell::kModeVideo; }
    void command(int id, const QString&) override
    {
        if (id == kCmdRefresh)
            view_->refresh();
        else if (id == kCmdSave)
            view_->save();
    }
    void shown() override { view_->loadList(); }
    void connectionChanged() override { view_->connectionChanged(); }

private:
    CVideoView* view_;
};

}  // namespace

CVideoView::CVideoView(shellui::PageHost& host, QWidget* parent)
    : QWidget(parent), host_(host), library_(plat::ProgramDirectory()), list_(new QTreeWidget(this))
{
    // The skin's pane background around the list, as the other pages have.
    setObjectName("pane");
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(list_);
    list_->setObjectName("videoList");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setColumnCount(static_cast<int>(std::size(kColumns)));
    QStringList titles;
    for (const Column& c : kColumns)
        titles << Str(c.titleId);
    list_->setHeaderLabels(titles);
    for (int i = 0; i < list_->columnCount(); ++i)
        list_->setColumnWidth(i, kColumns[i].width);
    list_->header()->setStretchLastSection(false);
    chooseSavePath = [this](const QString& proposal) { return AskSavePath(host_.dialogParent(), proposal); };
    message = [this](const QString& caption, const QString& text, bool error) {
        ShowBox(host_.dialogParent(), caption, text, error);
    };
    loadList();
}

void CVideoView::loadList()
{
    (void)library_.load();
    const int selected = list_->currentItem() ? list_->currentItem()->data(0, Qt::UserRole).toInt() : 0;
    list_->clear();
    for (const media::ClipRow& r : library_.rows(Text)) {
        auto* item = new QTreeWidgetItem(list_);
        const std::string* cells[] = {&r.number, &r.name, &r.length, &r.resolution, &r.size};
        for (int c = 0; c < static_cast<int>(std::size(cells)); ++c)
            item->setText(c, QString::fromStdString(*cells[c]));
        item->setData(0, Qt::UserRole, r.clipNumber);
        if (r.clipNumber != 0 && r.clipNumber == selected)
            list_->setCurrentItem(item);
    }
}

void CVideoView::refresh()
{
    if (!host_.connection().phoneMode)
        return;
    if (!library_.refresh(host_))
        showMessage(res::IDS_VIDEO_LIST_FAILED, true);
    loadList();
}

void CVideoView::save()
{
    const QTreeWidgetItem* item = list_->currentItem();
    const int number = item ? item->data(0, Qt::UserRole).toInt() : 0;
    if (!library_.connected() || number == 0)
        return;
    media::ClipInfo clip;
    const media::SaveStatus check = library_.checkSave(number, &clip);
    if (check == media::SaveStatus::Private) {
        message(Str(res::IDS_PRIVATE_ITEM), Str(res::IDS_CLIP_PRIVATE_PHONES_PRIVACY), true);
        return;
    }
    if (check != media::SaveStatus::Saved)
        return;
    const QString path = chooseSavePath(QString::fromStdString(media::SaveDefaultName(clip.name)));
    if (path.isEmpty())
        return;
    const media::SaveOutcome outcome = library_.save(host_, number, path.toStdString());
    QString detail;
    if (outcome.status == media::SaveStatus::ConvertFailed) {
        detail = Str(media::ClipErrorInfo(outcome.convert.error).stringId);
        if (!outcome.convert.detail.empty())
            detail += " (" + QString::fromStdString(outcome.convert.detail) + ")";
    }
    if (const int id = outcome.messageId())
        showMessage(id, outcome.status != media::SaveStatus::Saved, detail);
    loadList();  // the clip's real picture size is known now
}

void CVideoView::connectionChanged()
{
    if (!host_.connection().phoneMode)
        library_.disconnect();
    loadList();
}

void CVideoView::showMessage(int textId, bool error, const QString& detail)
{
    message(Str(kCaption), detail.isEmpty() ? Str(textId) : Str(textId) + "\n\n" + detail, error);
}

std::unique_ptr<shellui::PageViews> MakeVideoPage(shellui::PageHost& host, QWidget* parent)
{
    return std::make_unique<VideoPage>(host, parent);
}

}  // namespace mediaui

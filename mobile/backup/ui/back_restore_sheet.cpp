#include "mobile/backup/ui/back_restore_sheet.h"

#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"
#include "resources/strings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace backupui {

using backup::BackupKind;
using shellui::Str;

namespace {

struct KindBox {
    BackupKind kind;
    int label;
};
constexpr KindBox kBoxes[] = {
    {BackupKind::Pictures, res::IDS_BACKUP_KIND_PICTURES},   {BackupKind::Sounds, res::IDS_BACKUP_KIND_SOUNDS},
    {BackupKind::Phonebook, res::IDS_BACKUP_KIND_PHONEBOOK}, {BackupKind::Messages, res::IDS_BACKUP_KIND_MESSAGES},
    {BackupKind::Video, res::IDS_BACKUP_KIND_VIDEO},
};
static_assert(std::size(kBoxes) == backup::kKindCount);

// "Description(*.x)|*.x||" as the file dialog's filter.
QString DialogFilter()
{
    const QStringList parts = Str(res::IDS_BACKUP_FILTER).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        filters << (parts[i].endsWith(')') ? parts[i] : parts[i] + " (" + parts[i + 1] + ")");
    }
    return filters.join(";;");
}

QLabel* Intro(int id, QWidget* parent)
{
    auto* l = new QLabel(Str(id), parent);
    l->setWordWrap(true);
    return l;
}

// A path field with its Browse and Start buttons.
QLineEdit* PathRow(QVBoxLayout* layout, QWidget* page, const std::function<void()>& browse,
                   const std::function<void()>& start)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(Str(res::IDS_BACKUP_FILE_LABEL), page));
    auto* field = new QLineEdit(page);
    field->setObjectName("path");
    row->addWidget(field, 1);
    auto* b = new QPushButton(Str(res::IDS_BROWSE), page);
    b->setObjectName("browse");
    QObject::connect(b, &QPushButton::clicked, page, browse);
    row->addWidget(b);
    layout->addLayout(row);
    auto* go = new QPushButton(Str(res::IDS_BACKUP_START), page);
    go->setObjectName("start");
    go->setDefault(true);
    QObject::connect(go, &QPushButton::clicked, page, start);
    auto* startRow = new QHBoxLayout;
    startRow->addStretch(1);
    startRow->addWidget(go);
    layout->addStretch(1);
    layout->addLayout(startRow);
    return field;
}

}  // namespace

QString NoticeQText(const backup::Notice& notice)
{
    return QString::fromStdString(backup::NoticeText(notice, [](int id) { return Str(id).toStdString(); }));
}

void SheetUi::message(const backup::Notice& notice)
{
    const auto kind = notice.icon == shell::Icon::Information ? shellui::MessageKind::Information
        : notice.icon == shell::Icon::Question                ? shellui::MessageKind::Question
                                                              : shellui::MessageKind::Error;
    (void)shellui::ShowMessage(parent_, kind, NoticeQText(notice));
}

bool SheetUi::ask(int stringId)
{
    return shellui::ShowMessage(parent_, shellui::MessageKind::Question, Str(stringId), true);
}

// ---- backup page ----

CPPBackup::CPPBackup(shellui::PageHost& host, backup::BackupCategory& categories, QWidget* parent)
    : QWidget(parent), host_(host), categories_(categories)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Intro(res::IDS_BACKUP_PAGE_INTRO, this));
    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    for (size_t i = 0; i < std::size(kBoxes); ++i) {
        boxes_[i] = new QCheckBox(Str(kBoxes[i].label), group);
        grid->addWidget(boxes_[i], int(i / 3), int(i % 3));
    }
    layout->addWidget(group);
    path_ = PathRow(
        layout, this, [this] { browse(); }, [this] { (void)start(); });
    path_->setReadOnly(true);
    setKinds(backup::kDefaultKinds);
}

backup::KindSet CPPBackup::kinds() const
{
    backup::KindSet k;
    for (size_t i = 0; i < std::size(kBoxes); ++i)
        k.set(kBoxes[i].kind, boxes_[i]->isChecked());
    return k;
}

void CPPBackup::setKinds(backup::KindSet kinds)
{
    for (size_t i = 0; i < std::size(kBoxes); ++i)
        boxes_[i]->setChecked(kinds.has(kBoxes[i].kind));
}

QString CPPBackup::path() const
{
    return path_->text();
}

void CPPBackup::setPath(const QString& path)
{
    path_->setText(path);
}

void CPPBackup::browse()
{
    QFileDialog d(this, QString(), path_->text(), DialogFilter());
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setDefaultSuffix("bak");
    if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty())
        setPath(d.selectedFiles().front());
}

backup::FlowOutcome CPPBackup::start()
{
    SheetUi ui(host_, window());
    return backup::RunBackup(ui, categories_, {path().toStdString(), kinds(), plat::ProgramDirectory()});
}

// ---- restore page ----

CPPRestore::CPPRestore(shellui::PageHost& host, QWidget* parent) : QWidget(parent), host_(host)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Intro(res::IDS_RESTORE_PAGE_INTRO, this));
    path_ = PathRow(
        layout, this, [this] { browse(); }, [this] { (void)start(); });
    auto* hint = Intro(res::IDS_RESTORE_FORMS_HINT, this);
    hint->setObjectName("hint");
    layout->insertWidget(layout->count() - 2, hint);
}

QString CPPRestore::path() const
{
    return path_->text();
}

void CPPRestore::setPath(const QString& path)
{
    path_->setText(path);
}

void CPPRestore::browse()
{
    QFileDialog d(this, QString(), path_->text(), DialogFilter());
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty())
        setPath(d.selectedFiles().front());
}

backup::FlowOutcome CPPRestore::start()
{
    SheetUi ui(host_, window());
    return backup::RunRestoreField(ui, path().toStdString(), plat::ProgramDirectory());
}

// ---- the sheet ----

CBackRestoreSheet::CBackRestoreSheet(shellui::PageHost& host, QWidget* parent) : QDialog(parent)
{
    setObjectName("back_restore_sheet");
    setWindowTitle(Str(res::IDS_BACKUP_SHEET_TITLE));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    backup_ = new CPPBackup(host, categories_, tabs_);
    restore_ = new CPPRestore(host, tabs_);
    tabs_->addTab(backup_, Str(res::IDS_BACKUP_PAGE));
    tabs_->addTab(restore_, Str(res::IDS_RESTORE_PAGE));
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Str(res::IDS_BACKUP_CLOSE), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(480, 300);
}

void CBackRestoreSheet::showPage(int index)
{
    tabs_->setCurrentIndex(index);
}

shellui::CommandRegistration BackRestoreCommand()
{
    return {kCmdBackupRestore, [](shellui::PageHost& host) {
                CBackRestoreSheet sheet(host, host.dialogParent());
                sheet.exec();
            }};
}

}  // namespace backupui

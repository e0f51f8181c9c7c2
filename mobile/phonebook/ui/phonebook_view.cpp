#include "mobile/phonebook/ui/phonebook_view.h"

#include "mobile/phonebook/core/editing.h"
#include "mobile/phonebook/core/phonebook_io.h"
#include "mobile/phonebook/ui/edit_dialog.h"
#include "mobile/phonebook/ui/phonebook_dialogs.h"
#include "mobile/phonebook/ui/ui_text.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "resources/strings.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>
#include <QVBoxLayout>

using shellui::Str;

namespace phonebookui {

using namespace phonebook;

namespace {

constexpr int kMinimumRows = 20;
constexpr int kColumnWidths[] = {88, 521, 49, 58};

}  // namespace

CPhonebookView::CPhonebookView(shellui::PageHost& host, std::shared_ptr<PhonebookStore> store, QWidget* parent)
    : QWidget(parent), host_(host), store_(std::move(store))
{
    setObjectName("CPhonebookView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    list_ = new QTableWidget(0, 4, this);
    list_->setObjectName("phonebookList");
    list_->setHorizontalHeaderLabels(
        {Str(res::IDS_FIELD_NAME), Str(res::IDS_PB_COLUMN_DETAILS), Str(res::IDS_GROUP), Str(res::IDS_MEMORY)});
    for (int c = 0; c < 4; ++c)
        list_->setColumnWidth(c, kColumnWidths[c]);
    list_->verticalHeader()->setVisible(false);
    list_->verticalHeader()->setDefaultSectionSize(18);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->installEventFilter(this);
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row < static_cast<int>(store_->entries().size()))
            showDetails(store_->entries()[static_cast<size_t>(row)].key);
    });
    layout->addWidget(list_);
    choosePath = [this](bool save) { return defaultChoosePath(save); };
    redraw();
}

void CPhonebookView::command(int id)
{
    switch (id) {
    case kCmdRead: read(); break;
    case kCmdWrite: writeBack(WriteMode::Save); break;
    case kCmdAdd: add(); break;
    case kCmdEdit:
        if (const ContactKey k = selectedKey())
            edit(k);
        break;
    case kCmdDelete: removeSelected(); break;
    case kCmdDeleteAll: removeAll(); break;
    case kCmdExport: exportFile(); break;
    case kCmdImport: importFile(); break;
    case kCmdUsage: usage(); break;
    default: break;
    }
}

void CPhonebookView::connectionChanged()
{
    if (host_.connection().phoneMode)
        return;
    loaded_ = false;
    if (!store_->empty()) {
        store_->removeAll();
        redraw();
    }
}

void CPhonebookView::redraw()
{
    const ContactKey selected = selectedKey();
    const auto& entries = store_->entries();
    const int rows = std::max<int>(kMinimumRows, static_cast<int>(entries.size()));
    list_->clearContents();
    list_->setRowCount(rows);
    const TextFn text = BundleText();
    for (size_t i = 0; i < entries.size(); ++i) {
        const ContactRecord& r = *entries[i].record;
        const int row = static_cast<int>(i);
        list_->setItem(row, 0, new QTableWidgetItem(FromPc(DisplayName(r))));
        list_->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(DetailsText(r, text))));
        list_->setItem(row, 2, new QTableWidgetItem(r.memory == kMemorySim ? QString() : Str(GroupLabel(r.group))));
        list_->setItem(row, 3, new QTableWidgetItem(Str(MemoryLabel(r.memory))));
        list_->item(row, 0)->setData(Qt::UserRole, entries[i].key);
    }
    if (selected)
        selectKey(selected);
}

void CPhonebookView::selectKey(ContactKey key)
{
    if (const auto pos = store_->positionOf(key)) {
        list_->selectRow(static_cast<int>(*pos));
        list_->scrollToItem(list_->item(static_cast<int>(*pos), 0));
    }
}

ContactKey CPhonebookView::selectedKey() const
{
    const auto rows = list_->selectionModel() ? list_->selectionModel()->selectedRows() : QModelIndexList{};
    if (rows.isEmpty())
        return 0;
    const QTableWidgetItem* item = list_->item(rows.front().row(), 0);
    return item ? item->data(Qt::UserRole).toUInt() : 0;
}

void CPhonebookView::info(int stringId)
{
    host_.message(stringId, shell::Icon::Information);
}

void CPhonebookView::error(int stringId)
{
    host_.message(stringId, shell::Icon::Error);
}

void CPhonebookView::read()
{
    if (!host_.connection().phoneMode)
        return error(res::IDS_NEEDS_PHONE_MODE);
    if (loaded_ && !host_.ask(res::IDS_READING_PHONEBOOK_AGAIN_REPLACES))
        return;
    const std::string dir = WorkDir();
    shell::BatchPlan plan = ReadPlan(*store_, dir);
    redraw();
    const int message = FinishRead(*store_, dir, host_.runBatch(std::move(plan)));
    loaded_ = message == 0;
    redraw();
    if (message != 0)
        error(message);
}

void CPhonebookView::writeBack(WriteMode mode)
{
    if (!host_.connection().phoneMode)
        return error(res::IDS_NEEDS_PHONE_MODE);
    WriteBack flow = PlanWriteBack(*store_, WorkDir(), mode);
    if (flow.status() == WriteBack::OverCapacity)
        return error(flow.capacityMessage());
    if (flow.status() == WriteBack::Nothing)
        return;
    const int result = host_.runBatch(flow.takePlan());
    const int message = FinishWriteBack(flow, result);
    redraw();
    if (result == shell::kBatchOk)
        info(message);
    else
        error(message);
}

bool CPhonebookView::storeEdited(const ContactRecord& edited, ContactKey old)
{
    ContactRecord r = edited;
    if (r.memory == kMemoryHandset)
        NormaliseDefault(r);
    if (loaded_ && !host_.ask(r.memory == kMemorySim ? res::IDS_STORE_ENTRY_SIM_CARD : res::IDS_STORE_ENTRY_PHONE))
        return false;
    ContactKey key = old;
    const ContactItem* item = old ? store_->item(old) : nullptr;
    if (item && item->memory == r.memory) {
        (void)store_->modify(old, r);
    } else {
        if (item)
            (void)store_->remove(old);
        key = store_->add(r).value_or(0);
    }
    redraw();
    selectKey(key);
    if (loaded_)
        writeBack(WriteMode::Save);
    selectKey(key);
    return true;
}

void CPhonebookView::add()
{
    ContactEditDialog d(std::nullopt, host_.dialogParent());
    if (d.exec() == QDialog::Accepted)
        (void)storeEdited(d.record(), 0);
}

void CPhonebookView::edit(ContactKey key)
{
    const ContactRecord* r = store_->find(key);
    if (!r)
        return;
    ContactEditDialog d(*r, host_.dialogParent());
    if (d.exec() == QDialog::Accepted)
        (void)storeEdited(d.record(), key);
}

void CPhonebookView::showDetails(ContactKey key)
{
    const ContactRecord* r = store_->find(key);
    if (!r)
        return;
    ContactDetailsDialog d(*r, host_.dialogParent());
    if (d.exec() == ContactDetailsDialog::kEditRequested)
        edit(key);
}

void CPhonebookView::removeSelected()
{
    const ContactKey key = selectedKey();
    if (!key || !host_.ask(res::IDS_DELETE_SELECTED_ENTRY))
        return;
    (void)store_->remove(key);
    redraw();
    if (loaded_)
        writeBack(WriteMode::Delete);
}

void CPhonebookView::removeAll()
{
    if (store_->empty() || !host_.ask(res::IDS_DELETE_EVERY_PHONEBOOK_ENTRY))
        return;
    store_->removeAll();
    redraw();
    if (loaded_)
        writeBack(WriteMode::Delete);
}

QString CPhonebookView::defaultChoosePath(bool save)
{
    QFileDialog d(host_.dialogParent(), Str(save ? res::IDS_SAVE_PHONEBOOK : res::IDS_OPEN_PHONEBOOK));
    d.setObjectName("phonebookFileDialog");
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setNameFilter(Str(res::IDS_PB_FILE_FILTER));
    d.setNameFilters(Str(res::IDS_PB_FILE_FILTER).split(";;"));
    d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d.setDefaultSuffix("phb");
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    return d.selectedFiles().front();
}

void CPhonebookView::exportFile()
{
    if (store_->empty())
        return;
    const QString path = choosePath(true);
    if (path.isEmpty())
        return;
    const int failed = ExportFile(*store_, path.toStdString(), BundleText());
    if (failed)
        error(failed);
    else
        info(res::IDS_PHONEBOOK_SAVED);
}

void CPhonebookView::importFile()
{
    const QString path = choosePath(false);
    if (path.isEmpty())
        return;
    const CsvMapper mapper = [this](const CsvTable& table, const CsvMapping& preset) -> std::optional<CsvMapping> {
        CsvMappingDialog d(table, preset, host_.dialogParent());
        if (d.exec() != QDialog::Accepted)
            return std::nullopt;
        return d.mapping();
    };
    const ReadOutcome read = ReadImportFile(path.toStdString(), BundleText(), mapper);
    if (read.cancelled)
        return;
    if (read.message)
        return error(read.message);
    // The file replaces the list; entries the phone holds are deleted from
    // it by the next write to the phone.
    ApplyImport(*store_, read.result, true);
    loaded_ = false;
    redraw();
    QString text = Str(res::IDS_PB_IMPORTED).replace("%d", QString::number(read.result.records.size()));
    if (!read.result.notes.empty())
        text += "\n\n" + Str(res::IDS_PB_IMPORT_NOTES) + "\n" +
            QString::fromStdString(DescribeNotes(read.result.notes, BundleText()));
    (void)shellui::ShowMessage(
        host_.dialogParent(),
        read.result.notes.empty() ? shellui::MessageKind::Information : shellui::MessageKind::Error, text);
}

void CPhonebookView::usage()
{
    if (!loaded_)
        return info(res::IDS_READ_PHONEBOOK_PHONE_FIRST);
    const StoreCounts c = store_->counts();
    MemoryUsageDialog d({store_->simSlots().capacity(), c.sim}, {store_->handsetSlots().capacity(), c.handset},
                        host_.dialogParent());
    d.exec();
}

bool CPhonebookView::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == list_ && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        removeSelected();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

// ---- the page ---------------------------------------------------------------------

namespace {

class PhonebookPageViews final : public shellui::PageViews {
public:
    PhonebookPageViews(shellui::PageHost& host, std::shared_ptr<PhonebookStore> store, QWidget* parent)
        : view_(new CPhonebookView(host, std::move(store), parent))
    {
    }
    QWidget* left() override { return view_; }
    QWidget* right() override { return nullptr; }
    uint32_t controlMode() const override { return shell::kModePhonebook; }
    void command(int id, const QString&) override { view_->command(id); }
    void shown() override { }
    void connectionChanged() override { view_->connectionChanged(); }

private:
    CPhonebookView* view_;
};

}  // namespace

shellui::PageFactory PhonebookPage(std::shared_ptr<PhonebookStore> store)
{
    return [store](shellui::PageHost& host, QWidget* parent) -> std::unique_ptr<shellui::PageViews> {
        return std::make_unique<PhonebookPageViews>(host, store, parent);
    };
}

}  // namespace phonebookui

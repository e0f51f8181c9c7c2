#include "mobile/messages/ui/message_view.h"

#include "mobile/messages/core/exports.h"
#include "mobile/messages/core/message_flows.h"
#include "mobile/phonebook/core/phonebook_store.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/core/requests.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"
#include "resources/strings.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using shellui::Str;

namespace messagesui {

using namespace messages;

namespace {

constexpr int kMinimumRows = 20;
constexpr int kInboxWidths[] = {110, 442, 44, 120};
constexpr int kOutboxWidths[] = {110, 546, 60};

// A list cell shows the text on one line.
QString OneLine(const QString& s)
{
    QString out = s;
    out.replace('\n', ' ');
    return out;
}

}  // namespace

CSmsView::CSmsView(shellui::PageHost& host, std::shared_ptr<phonebook::PhonebookStore> phonebook, QWidget* parent)
    : QWidget(parent), host_(host), phonebook_(std::move(phonebook))
{
    setObjectName("CSmsView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName("boxTabs");
    tabs_->addTab(Str(res::IDS_MSG_INBOX));
    tabs_->addTab(Str(res::IDS_MSG_OUTBOX));
    connect(tabs_, &QTabBar::currentChanged, this, [this](int i) { showBox(i == 0 ? Box::Inbox : Box::Outbox); });
    layout->addWidget(tabs_);
    list_ = new QTableWidget(0, 4, this);
    list_->setObjectName("messageList");
    list_->verticalHeader()->setVisible(false);
    list_->verticalHeader()->setDefaultSectionSize(18);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->installEventFilter(this);
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row < static_cast<int>(rows_.size()))
            readMessage(rows_[static_cast<size_t>(row)]);
    });
    layout->addWidget(list_);
    store_.refreshNames(phonebook_.get());

    choosePath = [this](bool saving) {
        if (saving)
            return QFileDialog::getSaveFileName(this, Str(res::IDS_SAVE_MESSAGES), "messages.psm",
                                                Str(res::IDS_MSG_EXPORT_FILTER));
        return QFileDialog::getOpenFileName(this, Str(res::IDS_OPEN_MESSAGES), {}, Str(res::IDS_MESSAGE_FILES_PSM));
    };
    runWriteDialog = [](WriteDialog& d) { d.exec(); };
    notifyArrival = [this](const MessageRecord& r) {
        // A notice that does not stop the user's work.
        auto* box =
            new QMessageBox(QMessageBox::Information, Str(res::IDS_MSG_NEW_TITLE),
                            Str(res::IDS_MSG_NEW_ARRIVED).arg(FromPc(FieldText(r.number))), QMessageBox::Ok, this);
        box->setObjectName("newMessageNotice");
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    };
    redraw();
}

bool CSmsView::messagesLocked() const
{
    return host_.connection().messagesLocked;
}

void CSmsView::command(int id)
{
    switch (id) {
    case kCmdRead: read(); break;
    case kCmdWrite: write(WriteMode::New, {}, {}, nullptr); break;
    case kCmdResend:
        if (const MessageItem* m = store_.find(selectedKey()); m && m->record->status == kStatusUnsent)
            write(WriteMode::Edit, FromPc(FieldText(m->record->number)), FromPc(FieldText(m->record->text)), m->key());
        break;
    case kCmdEdit: editText(); break;
    case kCmdDelete: removeSelected(); break;
    case kCmdDeleteAll: removeAll(); break;
    case kCmdSave: save(); break;
    case kCmdLoad: load(); break;
    case kCmdUsage: usage(); break;
    default: break;
    }
}

void CSmsView::shown()
{
    // Names follow the phonebook as it is now.
    store_.refreshNames(phonebook_.get());
    redraw();
    registerListener();
}

void CSmsView::registerListener()
{
    if (registered_ || host_.workerThread() == 0)
        return;
    auto request = shell::NewRequest(plat::CurrentThreadId(), kIncomingPrefix, ListenerSpecBlock());
    registered_ = shell::PostRequest(host_.workerThread(), REQ_REGISTER_LISTENER, std::move(request), window_.handle());
}

void CSmsView::connectionChanged()
{
    if (host_.connection().phoneMode)
        return;
    loaded_ = false;
    if (!store_.empty()) {
        store_.removeAll();
        redraw();
    }
}

bool CSmsView::event(QEvent* e)
{
    if (e->type() == shellui::LinkEvent::Type()) {
        auto* le = static_cast<shellui::LinkEvent*>(e);
        if (le->message().message == WM_LINK_RESULT) {
            const uint32_t code = static_cast<uint32_t>(le->message().wParam);
            shell::ResultPtr record(reinterpret_cast<LinkResult*>(le->takeRecord()));
            if (record && code == kIncomingCode)
                incoming(*record);
        }
        return true;
    }
    return QWidget::event(e);
}

void CSmsView::incoming(const LinkResult& r)
{
    if (r.status == LINK_INTERMEDIATE) {
        assembly_.line(std::string_view(r.text, strnlen(r.text, sizeof r.text)));
        return;
    }
    arrived_ = true;
    const auto done = assembly_.end();
    for (const MessageRecord& m : done)
        store_.add(m, kNoPhoneIndex, kOrderByDate);
    if (done.empty())
        return;
    redraw();
    for (const MessageRecord& m : done)
        notifyArrival(m);
}

bool CSmsView::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == list_ && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        removeSelected();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void CSmsView::showBox(Box box)
{
    box_ = box;
    if (tabs_->currentIndex() != static_cast<int>(box)) {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(static_cast<int>(box));
    }
    redraw();
}

void CSmsView::redraw()
{
    const MessageKey selected = selectedKey();
    const bool inbox = box_ == Box::Inbox;
    list_->clearContents();
    list_->setColumnCount(inbox ? 4 : 3);
    if (inbox) {
        list_->setHorizontalHeaderLabels({Str(res::IDS_MSG_COLUMN_SENDER), Str(res::IDS_MSG_COLUMN_TEXT),
                                          Str(res::IDS_MSG_COLUMN_STATUS), Str(res::IDS_MSG_COLUMN_DATE)});
        for (int c = 0; c < 4; ++c)
            list_->setColumnWidth(c, kInboxWidths[c]);
    } else {
        list_->setHorizontalHeaderLabels(
            {Str(res::IDS_MSG_COLUMN_RECIPIENT), Str(res::IDS_MSG_COLUMN_TEXT), Str(res::IDS_MSG_COLUMN_STATUS)});
        for (int c = 0; c < 3; ++c)
            list_->setColumnWidth(c, kOutboxWidths[c]);
    }
    rows_.clear();
    const bool locked = messagesLocked();
    for (const MessageItem& m : store_.items())
        if (BoxOf(m.record->status, locked) == box_)
            rows_.push_back(m.key());
    list_->setRowCount(std::max<int>(kMinimumRows, static_cast<int>(rows_.size())));
    for (size_t i = 0; i < rows_.size(); ++i) {
        const MessageItem& m = *store_.find(rows_[i]);
        const MessageRecord& r = *m.record;
        const int row = static_cast<int>(i);
        list_->setItem(row, 0, new QTableWidgetItem(FromPc(m.name.empty() ? FieldText(r.number) : m.name)));
        list_->setItem(row, 1, new QTableWidgetItem(OneLine(FromPc(FieldText(r.text)))));
        list_->setItem(row, 2, new QTableWidgetItem(Str(StatusLabel(r.status))));
        if (inbox)
            list_->setItem(row, 3, new QTableWidgetItem(FromPc(FieldText(r.date))));
    }
    if (selected)
        selectKey(selected);
}

MessageKey CSmsView::selectedKey() const
{
    const auto rows = list_->selectionModel() ? list_->selectionModel()->selectedRows() : QModelIndexList{};
    if (rows.isEmpty() || rows.front().row() >= static_cast<int>(rows_.size()))
        return nullptr;
    return rows_[static_cast<size_t>(rows.front().row())];
}

void CSmsView::selectKey(MessageKey key)
{
    const auto it = std::find(rows_.begin(), rows_.end(), key);
    if (it != rows_.end())
        list_->selectRow(static_cast<int>(it - rows_.begin()));
}

void CSmsView::readMessage(MessageKey key)
{
    MessageItem* m = store_.find(key);
    if (!m)
        return;
    if (m->record->status == kStatusUnread) {
        m->record->status = kStatusRead;
        redraw();
    }
    ReadWindow w(*m, host_.dialogParent());
    const int button = w.exec();
    m = store_.find(key);
    if (!m || button == 0)
        return;
    const bool outbox = BoxOf(m->record->status, false) == Box::Outbox;
    const QString number = FromPc(FieldText(m->record->number));
    const QString text = FromPc(FieldText(m->record->text));
    if (button == 1102)
        write(WriteMode::Forward, {}, text, nullptr);
    else if (!outbox)
        write(WriteMode::Reply, number, {}, nullptr);
    else
        write(WriteMode::Edit, number, text, nullptr);
}

bool CSmsView::send(const std::string& number, const std::u16string& text)
{
    QWidget* parent = QApplication::activeModalWidget();
    auto tell = [&](int id) {
        QMessageBox box(QMessageBox::Warning, Str(res::IDS_TELVANE), Str(id), QMessageBox::Ok, parent);
        box.exec();
    };
    const std::vector<std::string> parts = SendParts(text);
    if (parts.empty()) {
        tell(res::IDS_MSG_TOO_LONG);
        return false;
    }
    if (!host_.connection().phoneMode) {
        tell(res::IDS_NEEDS_PHONE_MODE);
        return false;
    }
    shell::BatchPlan plan = SendPlan(number, parts, NextReference());
    if (plan.steps.empty() || host_.runBatch(std::move(plan)) != shell::kBatchOk) {
        tell(res::IDS_MESSAGE_SEND_FAILED);
        return false;
    }
    QMessageBox box(QMessageBox::Information, Str(res::IDS_TELVANE), Str(res::IDS_MSG_SENT), QMessageBox::Ok, parent);
    box.exec();
    return true;
}

void CSmsView::write(WriteMode mode, const QString& number, const QString& text, MessageKey editing)
{
    WriteDialog::Actions actions;
    actions.send = [this](const std::string& n, const std::u16string& t) { return send(n, t); };
    actions.save = [this](const MessageRecordCopy& c) {
        store_.add(MakeRecord(c.status, c.number, {}, c.text, false), kNoPhoneIndex, kOrderHead);
        redraw();
    };
    WriteDialog d(mode, number, text, phonebook_.get(), std::move(actions), host_.dialogParent());
    runWriteDialog(d);
    if (!d.used())
        return;
    const uint8_t status = d.sent() ? kStatusSent : kStatusUnsent;
    const std::string pcNumber = ToPc(d.number());
    const std::string pcText = ToPc(d.text());
    if (MessageItem* m = editing ? store_.find(editing) : nullptr) {
        m->record->status = status;
        SetField(m->record->number, pcNumber);
        SetField(m->record->text, pcText);
    } else if (d.sent() || d.sendFailed()) {
        // Sent, or a draft whose send failed: kept at the head of the outbox
        // (a copy saved with Save stays as well).
        store_.add(MakeRecord(status, pcNumber, {}, pcText, false), kNoPhoneIndex, kOrderHead);
    }
    redraw();
}

void CSmsView::read()
{
    if (!host_.connection().phoneMode) {
        host_.message(res::IDS_NEEDS_PHONE_MODE, shell::Icon::Error);
        return;
    }
    if (loaded_ && !host_.ask(res::IDS_READING_MESSAGES_AGAIN_REPLACES))
        return;
    const std::string dir = plat::ProgramDirectory();
    const int result = host_.runBatch(ReadPlan(store_, dir));
    const int failure = FinishRead(store_, dir, result);
    loaded_ = failure == 0;
    arrived_ = false;
    store_.refreshNames(phonebook_.get());
    redraw();
    if (failure != 0)
        host_.message(failure, shell::Icon::Error);
}

void CSmsView::editText()
{
    MessageItem* m = store_.find(selectedKey());
    if (!m)
        return;
    const MessageKey key = m->key();
    const auto text = EditText(FromPc(FieldText(m->record->text)), host_.dialogParent());
    if (!text || !(m = store_.find(key)))
        return;
    SetField(m->record->text, ToPc(*text));
    redraw();
}

void CSmsView::removeSelected()
{
    const MessageKey key = selectedKey();
    if (!key || !host_.ask(res::IDS_DELETE_SELECTED_MESSAGE))
        return;
    store_.remove(key);
    redraw();
}

void CSmsView::removeAll()
{
    if (store_.empty() || !host_.ask(res::IDS_DELETE_EVERY_MESSAGE))
        return;
    store_.removeBox(box_);
    loaded_ = false;
    redraw();
}

void CSmsView::save()
{
    if (store_.empty())
        return;
    const QString path = choosePath(true);
    if (path.isEmpty())
        return;
    std::string file = path.toStdString();
    auto format = FormatForPath(file);
    if (!format) {
        file += ".psm";
        format = ExportFormat::Psm;
    }
    const bool ok = WriteExport(store_, file, *format, messagesLocked());
    host_.message(ok ? res::IDS_MESSAGES_SAVED : res::IDS_MESSAGES_SAVE_FAILED,
                  ok ? shell::Icon::Information : shell::Icon::Error);
}

void CSmsView::load()
{
    const QString path = choosePath(false);
    if (path.isEmpty())
        return;
    const PsmLoad r = store_.loadPsm(path.toStdString());
    loaded_ = false;
    redraw();
    if (r.result != PsmLoad::Loaded)
        host_.message(res::IDS_NOT_MESSAGE_FILE, shell::Icon::Error);
    else if (r.cutOff)
        host_.message(res::IDS_MSG_PSM_CUT_OFF, shell::Icon::Error);
}

void CSmsView::usage()
{
    if (!loaded_) {
        host_.message(res::IDS_READ_MESSAGES_PHONE_FIRST, shell::Icon::Information);
        return;
    }
    if (arrived_) {
        if (host_.runBatch(RefreshPlan(store_)) != shell::kBatchOk) {
            host_.message(res::IDS_MESSAGE_TABLE_WRITE_FAILED, shell::Icon::Error);
            return;
        }
        arrived_ = false;
    }
    ShowUsage(Usage(store_, messagesLocked()), host_.dialogParent());
}

namespace {

class MessagesPageViews final : public shellui::PageViews {
public:
    MessagesPageViews(shellui::PageHost& host, std::shared_ptr<phonebook::PhonebookStore> phonebook, QWidget* parent)
        : view_(new CSmsView(host, std::move(phonebook), parent))
    {
    }
    QWidget* left() override { return view_; }
    QWidget* right() override { return nullptr; }
    uint32_t controlMode() const override { return shell::kModeMessages; }
    void command(int id, const QString&) override { view_->command(id); }
    void shown() override { view_->shown(); }
    void connectionChanged() override { view_->connectionChanged(); }

private:
    CSmsView* view_;
};

}  // namespace

shellui::PageFactory MessagesPage(std::shared_ptr<phonebook::PhonebookStore> phonebook)
{
    return [phonebook](shellui::PageHost& host, QWidget* parent) -> std::unique_ptr<shellui::PageViews> {
        return std::make_unique<MessagesPageViews>(host, phonebook, parent);
    };
}

}  // namespace messagesui

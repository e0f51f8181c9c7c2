#include "mobile/messages/ui/message_dialogs.h"

#include "mobile/messages/core/exports.h"
#include "mobile/messages/core/message_flows.h"
#include "mobile/phonebook/core/phonebook_store.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu_text.h"
#include "resources/strings.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

using shellui::Str;

namespace messagesui {

namespace qc = quorlink::codecs;
using namespace messages;

QString FromPc(std::string_view pc)
{
    return QString::fromStdString(Utf8(pc));
}

std::string ToPc(const QString& text)
{
    return qc::Ucs2ToAnsi(text.toStdU16String());
}

namespace {

void Tell(QWidget* parent, int stringId, QMessageBox::Icon icon = QMessageBox::Information)
{
    QMessageBox box(icon, Str(res::IDS_TELVANE), Str(stringId), QMessageBox::Ok, parent);
    box.exec();
}

constexpr int kTitles[] = {res::IDS_NEW_MESSAGE, res::IDS_TITLE_REPLY, res::IDS_TITLE_FORWARD, res::IDS_EDIT_MESSAGE};

}  // namespace

WriteDialog::WriteDialog(WriteMode mode, const QString& number, const QString& text,
                         const phonebook::PhonebookStore* phonebook, Actions actions, QWidget* parent)
    : QDialog(parent), phonebook_(phonebook), actions_(std::move(actions))
{
    setObjectName("writeDialog");
    setWindowTitle(Str(kTitles[static_cast<int>(mode)]));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(Str(res::IDS_MSG_RECIPIENT), this));
    recipient_ = new QLineEdit(number, this);
    recipient_->setObjectName("recipient");
    recipient_->setMaxLength(20);
    recipient_->setValidator(new QRegularExpressionValidator(QRegularExpression("[+0-9]*"), recipient_));
    recipient_->setReadOnly(mode == WriteMode::Reply);
    top->addWidget(recipient_, 1);
    auto* pick = new QPushButton(Str(res::IDS_MSG_PICK), this);
    pick->setObjectName("pick");
    pick->setEnabled(mode != WriteMode::Reply);
    connect(pick, &QPushButton::clicked, this, [this] { pickNumber(); });
    top->addWidget(pick);
    layout->addLayout(top);
    layout->addWidget(new QLabel(Str(res::IDS_MSG_TEXT_LABEL), this));
    text_ = new QPlainTextEdit(text, this);
    text_->setObjectName("text");
    text_->setMinimumSize(360, 140);
    layout->addWidget(text_, 1);
    counter_ = new QLabel(this);
    counter_->setObjectName("counter");
    layout->addWidget(counter_);
    auto* buttons = new QDialogButtonBox(this);
    auto* send = buttons->addButton(Str(res::IDS_SEND), QDialogButtonBox::ActionRole);
    send->setObjectName("send");
    auto* save = buttons->addButton(Str(res::IDS_MSG_SAVE), QDialogButtonBox::ActionRole);
    save->setObjectName("save");
    auto* cancel = buttons->addButton(Str(res::IDS_CANCEL), QDialogButtonBox::RejectRole);
    connect(send, &QPushButton::clicked, this, [this] { pressSend(); });
    connect(save, &QPushButton::clicked, this, [this] { pressSave(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(text_, &QPlainTextEdit::textChanged, this, [this] { updateCounter(); });
    updateCounter();
}

QString WriteDialog::number() const
{
    return recipient_->text();
}

QString WriteDialog::text() const
{
    return text_->toPlainText();
}

QString WriteDialog::counterText() const
{
    return counter_->text();
}

void WriteDialog::updateCounter()
{
    std::u16string text = text_->toPlainText().toStdU16String();
    if (!text.empty() && SendParts(text).empty()) {
        // More than the longest message: cut it back to what ten parts hold.
        while (!text.empty() && SendParts(text).empty())
            text.pop_back();
        const QSignalBlocker block(text_);
        text_->setPlainText(QString::fromStdU16String(text));
        text_->moveCursor(QTextCursor::End);
    }
    const qc::MessageSize size = qc::MeasureMessage(text);
    const auto parts = static_cast<int>(SendParts(text).size());
    if (parts <= 1) {
        // One message: what the send block's 160 bytes and the message both still hold.
        int left = size.parts == 0 ? qc::kSingleSeptets - 1 : size.left;
        if (size.gsm)
            left = std::min(left, 160 - static_cast<int>(ToPc(text_->toPlainText()).size()));
        counter_->setText(Str(res::IDS_MSG_COUNT_SINGLE).arg(text.size()).arg(std::max(left, 0)));
    } else {
        counter_->setText(Str(res::IDS_MSG_COUNT_PARTS).arg(text.size()).arg(parts).arg(size.left));
    }
}

bool WriteDialog::validInput()
{
    if (recipient_->text().isEmpty() || text_->toPlainText().isEmpty()) {
        Tell(this, res::IDS_ENTER_RECIPIENT_TEXT, QMessageBox::Warning);
        return false;
    }
    return true;
}

void WriteDialog::pressSend()
{
    if (!validInput())
        return;
    if (!ValidRecipient(recipient_->text().toStdString())) {
        Tell(this, res::IDS_RECIPIENT_MAY_ONLY_CONTAIN, QMessageBox::Warning);
        return;
    }
    if (actions_.send && actions_.send(recipient_->text().toStdString(), text_->toPlainText().toStdU16String())) {
        sent_ = true;
        used_ = true;
        accept();
        return;
    }
    used_ = true;  // a failed send keeps the draft when the dialog ends
    sendFailed_ = true;
}

void WriteDialog::pressSave()
{
    if (!validInput())
        return;
    used_ = true;
    if (actions_.save)
        actions_.save(
            {recipient_->text().toStdString(), ToPc(text_->toPlainText()), sent_ ? kStatusSent : kStatusUnsent});
    Tell(this, res::IDS_MESSAGE_SAVED_OUTBOX);
}

void WriteDialog::pickNumber()
{
    if (!phonebook_ || phonebook_->empty()) {
        Tell(this, res::IDS_PHONEBOOK_EMPTY);
        return;
    }
    const QString number = PickNumber(*phonebook_, this);
    if (!number.isEmpty())
        recipient_->setText(number.left(20));
}

QString PickNumber(const phonebook::PhonebookStore& phonebook, QWidget* parent)
{
    QDialog d(parent);
    d.setObjectName("pickNumber");
    d.setWindowTitle(Str(res::IDS_PICK_NUMBER));
    auto* layout = new QHBoxLayout(&d);
    auto* names = new QListWidget(&d);
    names->setObjectName("names");
    auto* numbers = new QListWidget(&d);
    numbers->setObjectName("numbers");
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(Str(res::IDS_COLUMN_NAME), &d));
    left->addWidget(names);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(Str(res::IDS_NUMBER), &d));
    right->addWidget(numbers);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
    right->addWidget(buttons);
    layout->addLayout(left);
    layout->addLayout(right);
    for (const auto& e : phonebook.entries())
        names->addItem(FromPc(phonebook::DisplayName(*e.record)));
    QObject::connect(names, &QListWidget::currentRowChanged, &d, [&](int row) {
        numbers->clear();
        if (row < 0 || row >= static_cast<int>(phonebook.entries().size()))
            return;
        const phonebook::ContactRecord& r = *phonebook.entries()[static_cast<size_t>(row)].record;
        if (r.memory == phonebook::kMemorySim) {
            numbers->addItem(QString::fromStdString(phonebook::GetText(r, phonebook::Field::SimNumber)));
            return;
        }
        for (int i = 0; i < phonebook::kNumberCount; ++i)
            if (phonebook::HasNumber(r, i))
                numbers->addItem(QString::fromStdString(phonebook::GetNumber(r, i)));
    });
    QString chosen;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, [&] {
        if (!numbers->currentItem()) {
            Tell(&d, res::IDS_SELECT_NUMBER);
            return;
        }
        chosen = numbers->currentItem()->text();
        d.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    d.exec();
    return chosen;
}

ReadWindow::ReadWindow(const MessageItem& item, QWidget* parent) : QDialog(parent)
{
    setObjectName("readWindow");
    setWindowTitle(Str(res::IDS_MESSAGE));
    const MessageRecord& r = *item.record;
    const bool outbox = BoxOf(r.status, false) == Box::Outbox;
    auto* layout = new QVBoxLayout(this);
    auto* who = new QLabel(Str(outbox ? res::IDS_TO : res::IDS_FROM) + " " +
                               FromPc(item.name.empty() ? FieldText(r.number) : std::string_view(item.name)),
                           this);
    who->setObjectName("who");
    layout->addWidget(who);
    auto* text = new QPlainTextEdit(FromPc(FieldText(r.text)), this);
    text->setObjectName("text");
    text->setReadOnly(true);
    text->setMinimumSize(360, 140);
    layout->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(this);
    auto* close = buttons->addButton(Str(res::IDS_MSG_CLOSE), QDialogButtonBox::RejectRole);
    auto* forward = buttons->addButton(Str(res::IDS_FORWARD), QDialogButtonBox::ActionRole);
    forward->setObjectName("button1102");
    auto* third = buttons->addButton(Str(r.status == kStatusUnsent ? res::IDS_SEND : res::IDS_REPLY),
                                     QDialogButtonBox::ActionRole);
    third->setObjectName("button1103");
    third->setVisible(r.status != kStatusSent);
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    connect(forward, &QPushButton::clicked, this, [this] { done(1102); });
    connect(third, &QPushButton::clicked, this, [this] { done(1103); });
    layout->addWidget(buttons);
}

std::optional<QString> EditText(const QString& text, QWidget* parent)
{
    QDialog d(parent);
    d.setObjectName("editText");
    d.setWindowTitle(Str(res::IDS_EDIT_MESSAGE_TEXT));
    auto* layout = new QVBoxLayout(&d);
    auto* edit = new QPlainTextEdit(text, &d);
    edit->setMinimumSize(360, 140);
    layout->addWidget(edit);
    QObject::connect(edit, &QPlainTextEdit::textChanged, &d, [edit] {
        const QString t = edit->toPlainText();
        if (t.size() > 1600) {
            const QSignalBlocker block(edit);
            edit->setPlainText(t.left(1600));
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, [&] {
        if (edit->toPlainText().isEmpty()) {
            Tell(&d, res::IDS_MESSAGE_TEXT_EMPTY, QMessageBox::Warning);
            return;
        }
        d.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->toPlainText();
}

void ShowUsage(const MemoryUsage& u, QWidget* parent)
{
    QDialog d(parent);
    d.setObjectName("messageMemory");
    d.setWindowTitle(Str(res::IDS_MSG_MEMORY_TITLE));
    auto* layout = new QVBoxLayout(&d);
    auto percent = [](int p) { return QString::fromStdString(std::to_string(p) + "%"); };
    auto bar = [&](int p) {
        auto* b = new QProgressBar(&d);
        b->setRange(0, 100);
        b->setValue(std::clamp(p, 0, 100));
        return b;
    };
    layout->addWidget(
        new QLabel(Str(res::IDS_MSG_MEMORY_SIM).arg(u.simUsed).arg(u.simCapacity).arg(percent(u.simPercent)), &d));
    layout->addWidget(bar(u.simPercent));
    const QString used = QString("%1/%2").arg(u.singleUsed).arg(u.concatUsed);
    const QString capacity = QString("%1/%2").arg(u.singleCapacity).arg(u.concatCapacity);
    layout->addWidget(new QLabel(Str(res::IDS_MSG_MEMORY_HANDSET).arg(used, capacity, percent(u.handsetPercent)), &d));
    layout->addWidget(bar(u.handsetPercent));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &d);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    layout->addWidget(buttons);
    d.exec();
}

}  // namespace messagesui

#pragma once
// The message page's dialogs: writing a message (new, reply, forward,
// edit) with its counter of characters and parts, picking a number from
// the phonebook, reading a message, editing a text, and the memory report.

#include "mobile/messages/core/message_store.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace phonebook {
class PhonebookStore;
}

namespace messagesui {

[[nodiscard]] QString FromPc(std::string_view pc);
[[nodiscard]] std::string ToPc(const QString& text);

enum class WriteMode { New, Reply, Forward, Edit };

// A message's text and the number a dialog produced.
struct MessageRecordCopy {
    std::string number;  // PC code page
    std::string text;
    uint8_t status = messages::kStatusUnsent;
};

// The writing dialog. Send runs the send batch through `send` (true when
// the phone took every part); Save stores a copy at once through `save`.
// After exec(): sent() and whether Send or Save was used.
class WriteDialog final : public QDialog {
public:
    struct Actions {
        // Checks the connection and runs the batch; false when not sent
        // (the dialog has shown why).
        std::function<bool(const std::string& number, const std::u16string& text)> send;
        std::function<void(const MessageRecordCopy&)> save;
    };
    WriteDialog(WriteMode mode, const QString& number, const QString& text, const phonebook::PhonebookStore* phonebook,
                Actions actions, QWidget* parent);

    [[nodiscard]] bool sent() const { return sent_; }
    [[nodiscard]] bool used() const { return used_; }  // Send or Save was pressed with valid input
    [[nodiscard]] bool sendFailed() const { return sendFailed_; }
    [[nodiscard]] QString number() const;
    [[nodiscard]] QString text() const;
    // The counter's text ("12 characters, 148 left").
    [[nodiscard]] QString counterText() const;
    QLineEdit* recipientEdit() const { return recipient_; }
    QPlainTextEdit* textEdit() const { return text_; }

    void pressSend();
    void pressSave();
    void pickNumber();

private:
    void updateCounter();
    [[nodiscard]] bool validInput();

    const phonebook::PhonebookStore* phonebook_;
    Actions actions_;
    QLineEdit* recipient_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QLabel* counter_ = nullptr;
    bool sent_ = false;
    bool used_ = false;
    bool sendFailed_ = false;
};

// Picks a number of a phonebook entry; empty when cancelled.
[[nodiscard]] QString PickNumber(const phonebook::PhonebookStore& phonebook, QWidget* parent);

// The reading window: sender or recipient (name when known) and text. The
// second button forwards, the third replies (inbox) or edits (unsent
// outbox); exec() returns 0 (closed), 1102 or 1103.
class ReadWindow final : public QDialog {
public:
    ReadWindow(const messages::MessageItem& item, QWidget* parent);
};

// The text editor (up to 1600 characters); the new text, or nothing.
[[nodiscard]] std::optional<QString> EditText(const QString& text, QWidget* parent);

// The memory report with its two bars.
void ShowUsage(const messages::MemoryUsage& usage, QWidget* parent);

}  // namespace messagesui

#pragma once
// The connection dialog (256), the page-switch questions (257, 258), the
// splash window (203) and the about box.

#include <QDialog>

#include <optional>

class QTimer;

namespace shellui {

// Dialog template as a modal dialog; its ctl_1 accepts and ctl_2 rejects.
class TemplateDialog : public QDialog {
public:
    TemplateDialog(int templateId, QWidget* parent);
    [[nodiscard]] QWidget* form() const { return form_; }

private:
    QWidget* form_ = nullptr;
};

// Connection dialog: index 0 MP3 mode, 1 phone mode; nothing on Cancel.
class ConnectionDialog final : public TemplateDialog {
public:
    ConnectionDialog(int initialChoice, QWidget* parent);
    [[nodiscard]] int choice() const;
    void setChoice(int choice);
};

// Dialog 257 or 258 (OK/Cancel); true for OK.
[[nodiscard]] bool AskTemplate(int templateId, QWidget* parent);

// A message box titled with string 57344 whose buttons carry the bundle's
// texts (OK 59004, Cancel 57765); Qt's own button texts would stay English.
// True when the user chose OK.
enum class MessageKind { Information, Question, Error };
bool ShowMessage(QWidget* parent, MessageKind kind, const QString& text, bool withCancel = false);

// The splash window: bitmap 202, grown from 1/25 of its size in 24 steps of
// 20 ms, then shown whole for 2000 ms.
class SplashWindow final : public QDialog {
public:
    explicit SplashWindow(QWidget* parent = nullptr);
    [[nodiscard]] QSize fullSize() const { return full_; }
    [[nodiscard]] int step() const { return step_; }
    // Shows the finished state at once (screenshots).
    void showFinished();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void grow();

    QSize full_;
    int step_ = 0;
    QTimer* timer_ = nullptr;
};

[[nodiscard]] QString AboutText();
void ShowAbout(QWidget* parent);

}  // namespace shellui

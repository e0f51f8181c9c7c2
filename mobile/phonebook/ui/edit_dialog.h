#pragma once
// The two-step add/edit dialog of a phonebook entry. Step one: memory,
// name, caller group (handset) or number (SIM). Step two (handset only):
// the entry's fields, a picker of the twelve field kinds and a value box;
// fields can be edited, deleted (Delete key) or made the default.
//
// The rules (limits, alphabets, where a value goes) are the core's
// (mobile/phonebook/core/editing.h); the dialog only presents them.

#include "mobile/phonebook/core/contact_record.h"

#include <QDialog>

#include <optional>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace phonebookui {

class ContactEditDialog final : public QDialog {
public:
    // existing: the entry being edited, or nothing for a new one.
    ContactEditDialog(std::optional<phonebook::ContactRecord> existing, QWidget* parent);

    // The entry as the user left it (valid after accept()).
    [[nodiscard]] phonebook::ContactRecord record() const { return work_; }

    // Steps, for the window's own buttons and for tests.
    void next();
    void back();
    void finish();
    void addField();
    void editField();
    void deleteField();
    void makeDefault();
    [[nodiscard]] int step() const;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void memoryChanged();
    void kindChanged();
    void showFields();
    [[nodiscard]] uint8_t memory() const;
    [[nodiscard]] std::string nameText() const;
    void complain(int messageId, int kind = -1);

    std::optional<phonebook::ContactRecord> existing_;
    phonebook::ContactRecord work_{};
    QStackedWidget* steps_ = nullptr;
    QRadioButton* sim_ = nullptr;
    QRadioButton* handset_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* group_ = nullptr;
    QLineEdit* number_ = nullptr;
    QWidget* groupRow_ = nullptr;
    QWidget* numberRow_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* back_ = nullptr;
    QListWidget* fields_ = nullptr;
    QComboBox* kind_ = nullptr;
    QLineEdit* value_ = nullptr;
};

}  // namespace phonebookui

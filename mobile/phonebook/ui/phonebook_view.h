#pragma once
// Page 3: CPhonebookView, the list of both memories (name, details, group,
// memory; at least 20 rows) and the commands of the control bar, and the
// PageViews that registers it with the frame.
//
// The view presents a PhonebookStore it shares with the messages page; it
// keeps one flag of its own, loaded-from-phone: while set, every change is
// written back at once.

#include "mobile/phonebook/core/phonebook_flows.h"
#include "mobile/phonebook/core/phonebook_store.h"
#include "mobile/shell/ui/page.h"

#include <QWidget>

#include <functional>
#include <memory>

class QTableWidget;

namespace phonebookui {

// The control bar's commands on this page.
enum Command : int {
    kCmdWrite = 1043,
    kCmdRead = 1044,
    kCmdExport = 1045,
    kCmdUsage = 1047,
    kCmdImport = 1048,
    kCmdEdit = 1049,
    kCmdAdd = 1050,
    kCmdDelete = 1051,
    kCmdDeleteAll = 1052,
};

class CPhonebookView final : public QWidget {
public:
    CPhonebookView(shellui::PageHost& host, std::shared_ptr<phonebook::PhonebookStore> store, QWidget* parent);

    void command(int id);
    // The connection changed: a lost phone empties the list (what was on
    // the phone stays to be deleted until the next read).
    void connectionChanged();

    [[nodiscard]] bool loadedFromPhone() const { return loaded_; }
    [[nodiscard]] QTableWidget* list() const { return list_; }
    [[nodiscard]] phonebook::PhonebookStore& store() { return *store_; }
    void selectKey(phonebook::ContactKey key);
    [[nodiscard]] phonebook::ContactKey selectedKey() const;
    void showDetails(phonebook::ContactKey key);

    // File choosers (tests and scripted runs replace them): the path, or
    // empty when the user cancelled.
    std::function<QString(bool save)> choosePath;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void redraw();
    void read();
    void writeBack(phonebook::WriteMode mode);
    void add();
    void edit(phonebook::ContactKey key);
    void removeSelected();
    void removeAll();
    void exportFile();
    void importFile();
    void usage();
    [[nodiscard]] bool storeEdited(const phonebook::ContactRecord& r, phonebook::ContactKey old);
    void info(int stringId);
    void error(int stringId);
    QString defaultChoosePath(bool save);

    shellui::PageHost& host_;
    std::shared_ptr<phonebook::PhonebookStore> store_;
    QTableWidget* list_ = nullptr;
    bool loaded_ = false;
};

// The page's registration: one store, shared with whoever else reads it.
[[nodiscard]] shellui::PageFactory PhonebookPage(std::shared_ptr<phonebook::PhonebookStore> store);

}  // namespace phonebookui

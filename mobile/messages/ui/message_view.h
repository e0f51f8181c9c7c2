#pragma once
// Page 4: CSmsView, the inbox and outbox lists (at least 20 rows each), the
// control bar's commands, the new messages the phone announces while the
// page lives, and the PageViews that registers it with the frame.
//
// The view presents a MessageStore of its own and names senders from the
// phonebook store it shares with the phonebook page. It keeps the
// loaded-from-phone mark, the arrival mark, the box shown and the incoming
// messages under way.

#include "mobile/messages/core/incoming.h"
#include "mobile/messages/core/message_store.h"
#include "mobile/messages/ui/message_dialogs.h"
#include "mobile/shell/ui/link_window.h"
#include "mobile/shell/ui/page.h"

#include <QWidget>

#include <functional>
#include <memory>

class QTabBar;
class QTableWidget;

namespace messagesui {

// The control bar's commands on this page.
enum Command : int {
    kCmdRead = 1044,
    kCmdSave = 1045,
    kCmdResend = 1046,
    kCmdUsage = 1047,
    kCmdLoad = 1048,
    kCmdEdit = 1049,
    kCmdWrite = 1050,
    kCmdDelete = 1051,
    kCmdDeleteAll = 1052,
};

class CSmsView final : public QWidget {
public:
    CSmsView(shellui::PageHost& host, std::shared_ptr<phonebook::PhonebookStore> phonebook, QWidget* parent);

    void command(int id);
    void shown();
    void connectionChanged();

    [[nodiscard]] messages::MessageStore& store() { return store_; }
    [[nodiscard]] bool loadedFromPhone() const { return loaded_; }
    [[nodiscard]] bool arrived() const { return arrived_; }
    [[nodiscard]] messages::Box box() const { return box_; }
    void showBox(messages::Box box);
    [[nodiscard]] QTableWidget* list() const { return list_; }
    [[nodiscard]] plat::WindowHandle window() const { return window_.handle(); }
    [[nodiscard]] messages::MessageKey selectedKey() const;
    void selectKey(messages::MessageKey key);
    // Reads the message (double-click): marks it read, opens the reading window.
    void readMessage(messages::MessageKey key);
    void redraw();

    // Replaceable for tests and scripted runs: the file chooser (path or
    // empty when cancelled), the writing dialog's run, and the notice of a
    // new message.
    std::function<QString(bool save)> choosePath;
    std::function<void(WriteDialog&)> runWriteDialog;
    std::function<void(const messages::MessageRecord&)> notifyArrival;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void read();
    void write(WriteMode mode, const QString& number, const QString& text, messages::MessageKey editing);
    bool send(const std::string& number, const std::u16string& text);
    void editText();
    void removeSelected();
    void removeAll();
    void save();
    void load();
    void usage();
    void registerListener();
    void incoming(const LinkResult& r);
    [[nodiscard]] bool messagesLocked() const;

    shellui::PageHost& host_;
    std::shared_ptr<phonebook::PhonebookStore> phonebook_;
    messages::MessageStore store_;
    messages::IncomingAssembly assembly_;
    shellui::LinkWindow window_{this};
    QTabBar* tabs_ = nullptr;
    QTableWidget* list_ = nullptr;
    messages::Box box_ = messages::Box::Inbox;
    std::vector<messages::MessageKey> rows_;  // the keys of the rows shown
    bool loaded_ = false;
    bool arrived_ = false;
    bool registered_ = false;
};

// The page's registration, naming senders from the shared phonebook store.
[[nodiscard]] shellui::PageFactory MessagesPage(std::shared_ptr<phonebook::PhonebookStore> phonebook);

}  // namespace messagesui

#pragma once
// The seam between the main frame and the pages it shows. A page (pictures,
// ringtones, phonebook, messages, video) lives in its area's ui library as
// a PageViews object: the widgets of its panes and the commands the frame
// forwards to it. The frame gives each page a PageHost: the connection
// state, the progress window that runs batches, the control bar's path
// field and the frame's message boxes.
//
// The frame does not know the areas: the program registers one PageFactory
// per page command (mobile/app/pages.cpp), and the frame creates a page's
// views the first time the page is shown and keeps them while it runs.
//
// Thread affinity: the GUI thread.

#include "mobile/shell/core/connection.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace shellui {

class PageHost : public shell::BatchRunner {
public:
    [[nodiscard]] virtual const shell::ConnectionState& connection() const = 0;
    // runBatch (BatchRunner) runs a plan in the progress window.
    [[nodiscard]] virtual plat::ThreadId workerThread() const = 0;
    // The frame's window handle (reply window of requests whose records
    // nobody reads, such as the closing MASKCALL).
    [[nodiscard]] virtual plat::WindowHandle mainWindow() const = 0;
    // A pane changed its category (57962, 57963, 57968, 57970, 57983): the
    // control bar follows.
    virtual void categoryChanged(int command) = 0;
    // The control bar's path field.
    [[nodiscard]] virtual QString pathText() const = 0;
    virtual void setPathText(const QString& text) = 0;
    // Message boxes with the frame as parent; ask is OK/Cancel.
    virtual void message(int stringId, shell::Icon icon) = 0;
    [[nodiscard]] virtual bool ask(int stringId) = 0;
    // The top-level window, parent of a page's dialogs.
    [[nodiscard]] virtual QWidget* dialogParent() = 0;
};

// What a page command needs before it can do its work.
enum class CommandNeed { Nothing, PhoneMode, Mp3Mode };

class PageViews {
public:
    virtual ~PageViews() = default;
    // The left (or only) pane's view.
    [[nodiscard]] virtual QWidget* left() = 0;
    // The right pane's view; nullptr for a single-pane page.
    [[nodiscard]] virtual QWidget* right() = 0;
    // The control bar mode of the page's current category.
    [[nodiscard]] virtual uint32_t controlMode() const = 0;
    // A command forwarded by the frame: the control bar's page buttons
    // (1043-1052, lParam 0) and the confirmed path field (1010, its text).
    virtual void command(int id, const QString& text) = 0;
    // What the control bar's command id needs. While the connection is not
    // there the frame dims the button and answers a click with "needs the
    // phone" (57698) instead of forwarding it.
    [[nodiscard]] virtual CommandNeed commandNeed(int id) const
    {
        (void)id;
        return CommandNeed::Nothing;
    }
    // The page is shown (again): load what the connection allows.
    virtual void shown() = 0;
    // The connection changed (phone mode, MP3 mode, gone); the views
    // reload or clear their lists. Called for every live page.
    virtual void connectionChanged() = 0;
};

using PageFactory = std::function<std::unique_ptr<PageViews>(PageHost& host, QWidget* parent)>;

struct PageRegistration {
    int command;  // toolbar command of the page (32772-32776, 32792)
    PageFactory make;
};

// A frame command that an area handles with a window of its own (32788
// opens the backup and restore sheet).
struct CommandRegistration {
    int command;
    std::function<void(PageHost& host)> run;
};

}  // namespace shellui

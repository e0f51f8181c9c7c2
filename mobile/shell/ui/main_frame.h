#pragma once
// CMainFrame: the program's only top-level window. No standard caption: a
// rebar with the menu bar and the page toolbar forms its top, the work
// area is an outer splitter (page panes above, the control bar below), and
// a one-pane status bar closes it. It owns the connection state and the
// phone-link worker and presents the connection flows.
//
// Routing is by table: the page table (mobile/shell/core/page_table.h)
// says which views, control-bar mode and connection a page has; the
// command table says which handler takes a command. A command that needs
// a connection that is missing is answered with a message saying so; a
// menu command without a handler in this build is not shown.

#include "mobile/shell/core/connection.h"
#include "mobile/shell/core/link_thread.h"
#include "mobile/shell/ui/link_window.h"
#include "mobile/shell/ui/page.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class QLabel;
class QMenuBar;
class QSplitter;
class QStackedWidget;

namespace shellui {

class BalloonTips;
class CControlView;
class CPageToolbar;
class PagePane;

struct FrameOptions {
    // Starts the worker; the default starts quorlink's.
    std::function<std::unique_ptr<shell::LinkThread>(plat::ThreadId, plat::WindowHandle)> startWorker;
    std::function<std::string()> detectCable;  // default: sysfs
    // Demo mode's part of the user around MP3 mode (ConnectionEnv).
    std::function<void()> beforeMp3Attempt;
    std::function<void()> afterMp3Mode;
    bool splash = true;
    // The pages' views and the commands areas handle themselves; a page
    // without a registration shows a placeholder pane.
    std::vector<PageRegistration> pages;
    std::vector<CommandRegistration> commands;
};

class CMainFrame final : public QMainWindow, private shell::ConnectionUi, private PageHost {
public:
    explicit CMainFrame(FrameOptions options = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Start-up after the window is shown: show the pictures page, then the
    // connection dialog loop with MP3 mode preselected.
    void startUp();
    // WM_COMMAND: id, and for 1010 the path text.
    void command(int id, const QString& text = {});

    [[nodiscard]] shell::ConnectionState& state() { return st_; }
    [[nodiscard]] shell::ConnectionController& controller() { return *ctl_; }
    [[nodiscard]] CControlView* controlView() const { return control_; }
    [[nodiscard]] CPageToolbar* pageToolbar() const { return toolbar_; }
    [[nodiscard]] BalloonTips* balloonTips() const { return tips_.get(); }
    // What a control-bar or menu command needs in the current page.
    [[nodiscard]] CommandNeed commandNeed(int id) const;
    // The menu's action for a command; null when the menu does not show it.
    [[nodiscard]] QAction* menuAction(int id) const;
    [[nodiscard]] QString statusText() const;
    [[nodiscard]] plat::WindowHandle window() const { return link_->handle(); }
    [[nodiscard]] bool workerRunning() const;
    [[nodiscard]] int checkedPageCommand() const;
    [[nodiscard]] bool secondColumnVisible() const;
    // Raises the window from a second start.
    void bringToFront();
    // Runs a batch in the progress window (the pages use this too).
    int runBatch(shell::BatchPlan plan) override;
    // The views of a page once it has been shown (tests drive them).
    [[nodiscard]] PageViews* pageViews(int command) const;

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // ConnectionUi
    std::optional<int> chooseMode(int initialChoice) override;
    void message(int stringId, shell::Icon icon) override;
    void portPermissionDenied(const std::string& device) override;
    bool ask(int stringId) override;
    bool askDialog(int dialogId) override;
    void setStatusText(int stringId) override;
    void closeMainWindow() override;
    void showPage(int command) override;
    void phoneModeConnected() override;
    void mp3ModeConnected() override;
    void phoneGone() override;

    // PageHost
    [[nodiscard]] const shell::ConnectionState& connection() const override { return st_; }
    [[nodiscard]] plat::ThreadId workerThread() const override;
    [[nodiscard]] plat::WindowHandle mainWindow() const override { return link_->handle(); }
    void categoryChanged(int command) override;
    [[nodiscard]] QString pathText() const override;
    void setPathText(const QString& text) override;
    [[nodiscard]] QWidget* dialogParent() override { return this; }

    [[nodiscard]] PageViews* currentViews() const;
    void connectionChangedForPages();

    // Command handlers (the command table in main_frame.cpp).
    using Handler = void (CMainFrame::*)(int id, const QString& text);
    [[nodiscard]] static Handler handlerFor(int id);
    [[nodiscard]] bool handles(int id) const;
    void onPage(int id, const QString&);
    void onExit(int id, const QString&);
    void onMinimise(int id, const QString&);
    void onEndMp3(int id, const QString&);
    void onAbout(int id, const QString&);
    void onConnect(int id, const QString&);
    void onForward(int id, const QString& text);
    void onCategory(int id, const QString&);
    void onAreaCommand(int id, const QString&);

    [[nodiscard]] bool satisfied(CommandNeed need) const;
    void buildRebar();
    void buildWorkArea();
    void updateCommandStates();
    void refreshPanes();
    void setStatus(const QString& text);

    FrameOptions options_;
    shell::ConnectionState st_;
    std::unique_ptr<LinkWindow> link_;
    std::unique_ptr<shell::LinkThread> worker_;
    std::unique_ptr<shell::ConnectionController> ctl_;
    QWidget* rebar_ = nullptr;
    QMenuBar* menu_ = nullptr;
    CPageToolbar* toolbar_ = nullptr;
    std::map<int, QAction*> actions_;
    std::unique_ptr<BalloonTips> tips_;
    QSplitter* outer_ = nullptr;
    QSplitter* inner_ = nullptr;
    QStackedWidget* leftStack_ = nullptr;
    QStackedWidget* rightStack_ = nullptr;
    PagePane* left_ = nullptr;
    PagePane* right_ = nullptr;
    std::map<int, std::unique_ptr<PageViews>> views_;
    CControlView* control_ = nullptr;
    QLabel* status_ = nullptr;
    bool closing_ = false;
};

}  // namespace shellui

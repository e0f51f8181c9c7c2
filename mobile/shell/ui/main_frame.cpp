#include "mobile/shell/ui/main_frame.h"
#include "resources/strings.h"

#include "mobile/shell/core/cable_detect.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/core/page_table.h"
#include "mobile/shell/ui/balloon_tip.h"
#include "mobile/shell/ui/control_view.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/page_toolbar.h"
#include "mobile/shell/core/link_thread.h"
#include "mobile/shell/ui/progress_dialog.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <unistd.h>

#include <algorithm>

namespace shellui {

using namespace shell;

namespace {

constexpr int kWidth = 777;
constexpr int kHeight = 540;
constexpr int kOuterRow0 = 337;
constexpr int kInnerCol0 = 315;
constexpr int kRebarHeight = 112;
constexpr int kStatusHeight = 24;

constexpr int kCmdMinimise = 32779;
constexpr int kCmdExit = 32781;
constexpr int kCmdExitMenu = 57665;
constexpr int kCmdAbout = 57664;
constexpr int kCmdEndMp3 = 32789;
constexpr int kCmdBackup = 32788;
constexpr int kCmdConnect = 1042;
constexpr int kCmdPathConfirmed = 1010;
constexpr int kCmdPutIntoSlot = 1043;
constexpr int kCmdSaveOrRefresh = 1044;
constexpr int kCmdEmptySlot = 1051;
constexpr int kLastPageButton = 1052;
// Shown on pages whose views this build lacks: only the connect button.
constexpr uint32_t kModeConnectOnly = 1;

// What a page without views of its own shows in its panes.
struct PlaceholderRow {
    int command;
    int leftTitle;
    int rightTitle;  // 0: one pane
};
constexpr PlaceholderRow kPlaceholders[] = {
    {kCmdPictures, res::IDS_PICTURE_PC, res::IDS_PICTURES_PHONE},
    {kCmdRingtones, res::IDS_SOUND_PC, res::IDS_RINGTONES_PHONE},
    {kCmdMp3Ringtones, res::IDS_SOUND_PC, res::IDS_MP3_RINGTONES_PHONES_FLASH},
    {kCmdPhonebook, res::IDS_PANE_PHONEBOOK, 0},
    {kCmdMessages, res::IDS_PANE_MESSAGES, 0},
    {kCmdVideo, res::IDS_VIDEO_CLIPS, 0},
};

const PlaceholderRow* FindPlaceholder(int command)
{
    for (const auto& p : kPlaceholders) {
        if (p.command == command)
            return &p;
    }
    return nullptr;
}

// A pane changed its category: the control bar follows (the path field
// brings back the page's last path where the mode shows one).
struct CategoryRow {
    int command;
    uint32_t mode;
};
constexpr CategoryRow kCategoryCommands[] = {
    {57962, kModePictureWap}, {57963, kModePictureSlots},  {57968, kModeSoundWap},
    {57970, kModeSoundSlots}, {57983, kModePictureCamera},
};

// Frame commands that need a connection whatever the page (the menu
// disables them meanwhile).
struct MenuNeedRow {
    int command;
    CommandNeed need;
};
constexpr MenuNeedRow kMenuNeeds[] = {
    {kCmdBackup, CommandNeed::PhoneMode},
    {kCmdEndMp3, CommandNeed::Mp3Mode},
};

// What a missing connection is called: the message a command gets and the
// tooltip line of its dimmed button or disabled menu item.
struct NeedTextRow {
    CommandNeed need;
    int message;
    int tooltip;
};
constexpr NeedTextRow kNeedTexts[] = {
    {CommandNeed::PhoneMode, res::IDS_NEEDS_PHONE_MODE, res::IDS_TIP_NEEDS_PHONE_MODE},
    {CommandNeed::Mp3Mode, res::IDS_NEEDS_MP3_MODE, res::IDS_TIP_NEEDS_MP3_MODE},
};

const NeedTextRow* NeedText(CommandNeed need)
{
    for (const auto& r : kNeedTexts) {
        if (r.need == need)
            return &r;
    }
    return nullptr;
}

CommandNeed PageNeed(PageConnection works)
{
    return works == PageConnection::Mp3Mode ? CommandNeed::Mp3Mode : CommandNeed::PhoneMode;
}

}  // namespace

// A page pane: until a page's own views exist, it shows what belongs there.
class PagePane final : public QWidget {
public:
    explicit PagePane(QWidget* parent) : QWidget(parent)
    {
        setObjectName("pane");
        setAttribute(Qt::WA_StyledBackground);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(18, 16, 18, 16);
        icon_ = new QLabel(this);
        icon_->setAlignment(Qt::AlignCenter);
        title_ = new QLabel(this);
        title_->setObjectName("paneTitle");
        title_->setAlignment(Qt::AlignCenter);
        hint_ = new QLabel(this);
        hint_->setObjectName("paneHint");
        hint_->setAlignment(Qt::AlignCenter);
        hint_->setWordWrap(true);
        layout->addStretch(2);
        layout->addWidget(icon_);
        layout->addSpacing(6);
        layout->addWidget(title_);
        layout->addWidget(hint_);
        layout->addStretch(3);
    }
    void set(const QPixmap& icon, const QString& title, const QString& hint)
    {
        icon_->setPixmap(icon);
        title_->setText(title);
        hint_->setText(hint);
    }

private:
    QLabel* icon_;
    QLabel* title_;
    QLabel* hint_;
};

CMainFrame::CMainFrame(FrameOptions options, QWidget* parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint),
      options_(std::move(options)), link_(std::make_unique<LinkWindow>(this))
{
    setObjectName("frame_root");
    setFixedSize(kWidth, kHeight);
    setWindowTitle(Str(res::IDS_TELVANE));
    setWindowIcon(QIcon(Res().bitmap("icons/telvane-256.png")));
    setProperty("Mobile", 1);
    tips_ = std::make_unique<BalloonTips>();

    buildRebar();
    buildWorkArea();
    status_ = new QLabel(Str(res::IDS_NOT_CONNECTED), this);
    status_->setContentsMargins(8, 0, 8, 0);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setFixedHeight(kStatusHeight - 4);
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setFixedHeight(kStatusHeight);

    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));

    const plat::ThreadId gui = plat::CurrentThreadId();
    worker_ = options_.startWorker ? options_.startWorker(gui, link_->handle())
                                   : shell::StartLinkWorker(gui, link_->handle());

    ConnectionEnv env;
    env.guiThread = gui;
    env.mainWindow = link_->handle();
    env.workerThread = [this] { return worker_ ? worker_->threadId() : plat::ThreadId(0); };
    env.detectCable = options_.detectCable ? options_.detectCable : [] { return DetectCable(); };
    env.phoneFileName = [](std::string_view name) { return shell::PhoneFileName(name); };
    env.portAccessError = [](int port) {
        const std::string path = PortDevicePath(port);
        if (::access(path.c_str(), F_OK) != 0)
            return 0;  // absent: the scan reports it
        return ::access(path.c_str(), R_OK | W_OK) == 0 ? 0 : errno;
    };
    env.programDirectory = plat::ProgramDirectory();
    env.beforeMp3Attempt = options_.beforeMp3Attempt;
    env.afterMp3Mode = options_.afterMp3Mode;
    ctl_ = std::make_unique<ConnectionController>(st_, static_cast<ConnectionUi&>(*this), std::move(env));
    updateCommandStates();
}

CMainFrame::~CMainFrame()
{
    StopLinkThread(worker_);
    link_.reset();
}

void CMainFrame::buildRebar()
{
    rebar_ = new QWidget(this);
    rebar_->setObjectName("rebar");
    rebar_->setAttribute(Qt::WA_StyledBackground);
    auto* v = new QVBoxLayout(rebar_);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 4, 0);
    menu_ = new QMenuBar(rebar_);
    menu_->installEventFilter(this);
    QMenu* current = nullptr;
    for (const MenuEntry& e : Res().menu()) {
        if (e.kind == MenuEntry::Popup) {
            current = menu_->addMenu(Str(e.stringId));
            current->setToolTipsVisible(true);
        } else if (current && e.kind == MenuEntry::Separator) {
            current->addSeparator();
        } else if (current && handles(e.command)) {
            QAction* a = current->addAction(Str(e.stringId));
            if (!e.shortcut.isEmpty())
                a->setShortcut(QKeySequence(e.shortcut));
            const int id = e.command;
            connect(a, &QAction::triggered, this, [this, id] { command(id); });
            actions_[id] = a;
        }
    }
    top->addWidget(menu_, 1);
    for (auto [id, glyph, tip] : {std::tuple{kCmdMinimise, QStringLiteral("\u2013"), res::IDS_TRAY_MINIMISE},
                                  std::tuple{kCmdExit, QStringLiteral("\u00d7"), res::IDS_TRAY_EXIT}}) {
        auto* b = new QToolButton(rebar_);
        b->setObjectName("captionButton");
        b->setText(glyph);
        b->setToolTip(Str(tip));
        b->setStyleSheet(
            "QToolButton { color: #dfe7ee; background: transparent; border: none; font-size: 16px; "
            "padding: 0 8px; } QToolButton:hover { color: #17222d; background: #f4a23c; border-radius: 3px; }");
        const int cmd = id;
        connect(b, &QToolButton::clicked, this, [this, cmd] { command(cmd); });
        top->addWidget(b);
    }
    v->addLayout(top);

    toolbar_ = new CPageToolbar([this](int id) { command(id); }, rebar_);
    toolbar_->setFixedHeight(84);
    v->addWidget(toolbar_);
    rebar_->setFixedHeight(kRebarHeight);
    setMenuWidget(rebar_);
}

void CMainFrame::buildWorkArea()
{
    outer_ = new QSplitter(Qt::Vertical, this);
    outer_->setHandleWidth(1);
    inner_ = new QSplitter(Qt::Horizontal, outer_);
    inner_->setHandleWidth(2);
    // Each pane is a stack: the placeholder, then the views of the pages
    // that have been shown.
    leftStack_ = new QStackedWidget(inner_);
    rightStack_ = new QStackedWidget(inner_);
    left_ = new PagePane(leftStack_);
    right_ = new PagePane(rightStack_);
    leftStack_->addWidget(left_);
    rightStack_->addWidget(right_);
    control_ = new CControlView([this](int id, const QString& text) { command(id, text); }, outer_);
    outer_->addWidget(inner_);
    outer_->addWidget(control_);
    // Row 0 keeps its 337 pixels; the control bar takes what is left.
    control_->setFixedHeight(kHeight - kOuterRow0 - kRebarHeight - kStatusHeight - outer_->handleWidth());
    outer_->setStretchFactor(0, 1);
    outer_->setStretchFactor(1, 0);
    outer_->setSizes({kOuterRow0, control_->height()});
    inner_->setSizes({kInnerCol0, kWidth - kInnerCol0});
    outer_->setChildrenCollapsible(false);
    setCentralWidget(outer_);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* e)
{
    // The menu bar's empty area moves the window (there is no caption).
    if (watched == menu_ && e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton && !menu_->actionAt(me->position().toPoint()) && windowHandle()) {
            windowHandle()->startSystemMove();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void CMainFrame::startUp()
{
    command(kCmdPictures);
    (void)ctl_->connectionDialogLoop(kModeMp3);
}

CMainFrame::Handler CMainFrame::handlerFor(int id)
{
    struct CommandRow {
        int first;
        int last;
        Handler handler;
    };
    static constexpr CommandRow kCommands[] = {
        {kCmdPictures, kCmdVideo, &CMainFrame::onPage},
        {kCmdMp3Ringtones, kCmdMp3Ringtones, &CMainFrame::onPage},
        {kCmdExit, kCmdExit, &CMainFrame::onExit},
        {kCmdExitMenu, kCmdExitMenu, &CMainFrame::onExit},
        {kCmdMinimise, kCmdMinimise, &CMainFrame::onMinimise},
        {kCmdEndMp3, kCmdEndMp3, &CMainFrame::onEndMp3},
        {kCmdAbout, kCmdAbout, &CMainFrame::onAbout},
        {kCmdConnect, kCmdConnect, &CMainFrame::onConnect},
        {kCmdPathConfirmed, kCmdPathConfirmed, &CMainFrame::onForward},
        {kCmdPutIntoSlot, kLastPageButton, &CMainFrame::onForward},
        {57962, 57963, &CMainFrame::onCategory},
        {57968, 57968, &CMainFrame::onCategory},
        {57970, 57970, &CMainFrame::onCategory},
        {57983, 57983, &CMainFrame::onCategory},
    };
    for (const CommandRow& row : kCommands) {
        if (id >= row.first && id <= row.last)
            return row.handler;
    }
    return nullptr;
}

bool CMainFrame::handles(int id) const
{
    if (handlerFor(id))
        return true;
    return std::any_of(options_.commands.begin(), options_.commands.end(),
                       [id](const CommandRegistration& r) { return r.command == id && r.run; });
}

void CMainFrame::command(int id, const QString& text)
{
    const Handler handler = handlerFor(id);
    (this->*(handler ? handler : &CMainFrame::onAreaCommand))(id, text);
    updateCommandStates();
}

void CMainFrame::onPage(int id, const QString&)
{
    ctl_->switchPage(id);
    // A refused or repeated switch leaves the page shown highlighted.
    toolbar_->setCurrent(st_.currentCommand);
}

void CMainFrame::onExit(int, const QString&)
{
    if (ask(res::IDS_LEAVE_QUESTION))
        close();
}

void CMainFrame::onMinimise(int, const QString&)
{
    showMinimized();
}

void CMainFrame::onEndMp3(int id, const QString&)
{
    if (!satisfied(commandNeed(id)))
        return message(NeedText(commandNeed(id))->message, Icon::Error);
    ctl_->endMp3Mode();
}

void CMainFrame::onAbout(int, const QString&)
{
    ShowAbout(this);
}

void CMainFrame::onConnect(int, const QString&)
{
    // Not connected, the button brings up the connection dialog; when
    // connected it offers to end the connection.
    if (st_.connected())
        ctl_->connectCommand(st_.mp3Mode ? kModeMp3 : kModePhone);
    else
        (void)ctl_->connectionDialogLoop(kModeMp3);
}

// The control bar's page commands and the confirmed path field go to the
// page: its right pane's view when it has two, else its only one; a
// command that needs a connection that is missing gets the message instead.
void CMainFrame::onForward(int id, const QString& text)
{
    const CommandNeed need = commandNeed(id);
    if (!satisfied(need))
        return message(NeedText(need)->message, Icon::Error);
    if (PageViews* v = currentViews())
        v->command(id, text);
}

void CMainFrame::onCategory(int id, const QString&)
{
    categoryChanged(id);
}

void CMainFrame::onAreaCommand(int id, const QString&)
{
    const CommandNeed need = commandNeed(id);
    if (!satisfied(need))
        return message(NeedText(need)->message, Icon::Error);
    for (const auto& reg : options_.commands) {
        if (reg.command == id && reg.run)
            reg.run(*this);
    }
}

CommandNeed CMainFrame::commandNeed(int id) const
{
    for (const auto& row : kMenuNeeds) {
        if (row.command == id)
            return row.need;
    }
    if (id == kCmdSaveOrRefresh)
        return CommandNeed::PhoneMode;
    const PageRow* page = FindPageRow(st_.currentCommand);
    if (page && page->slotCommands && (id == kCmdPutIntoSlot || id == kCmdEmptySlot))
        return PageNeed(page->works);
    if (id == kCmdPathConfirmed || id < kCmdPutIntoSlot || id > kLastPageButton)
        return CommandNeed::Nothing;
    const PageViews* v = currentViews();
    return v ? v->commandNeed(id) : CommandNeed::Nothing;
}

bool CMainFrame::satisfied(CommandNeed need) const
{
    switch (need) {
    case CommandNeed::Nothing: return true;
    case CommandNeed::PhoneMode: return st_.phoneMode;
    case CommandNeed::Mp3Mode: return st_.mp3Mode;
    }
    return true;
}

QAction* CMainFrame::menuAction(int id) const
{
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::updateCommandStates()
{
    // Menu commands that need a connection are off without it and say why.
    for (const auto& row : kMenuNeeds) {
        if (QAction* a = menuAction(row.command)) {
            const bool ok = satisfied(row.need);
            a->setEnabled(ok);
            a->setToolTip(ok ? QString() : Str(NeedText(row.need)->tooltip));
        }
    }
    // The connect button is off while connected in phone mode; in MP3 mode
    // it ends the connection.
    control_->setButtonEnabled(kCmdConnect, !st_.phoneMode);
    control_->setConnectTooltip(st_.phoneMode     ? res::IDS_PHONE_CONNECTED
                                    : st_.mp3Mode ? res::IDS_TIP_END_CONNECTION
                                                  : res::IDS_TIP_CONNECT);
    for (int id : VisibleControlButtons(control_->mode())) {
        if (id == kCmdConnect)
            continue;
        const CommandNeed need = commandNeed(id);
        control_->setUnavailable(id, satisfied(need) ? 0 : NeedText(need)->tooltip);
    }
}

bool CMainFrame::event(QEvent* e)
{
    if (e->type() == LinkEvent::Type()) {
        const auto& m = static_cast<LinkEvent*>(e)->message();
        // Results of requests the frame posted itself are only freed (by the event).
        if (m.message == WM_LINK_LOST && !closing_) {
            ctl_->linkLost();
            updateCommandStates();
        }
        return true;
    }
    return QMainWindow::event(e);
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    closing_ = true;
    StopLinkThread(worker_);
    QMainWindow::closeEvent(e);
}

bool CMainFrame::workerRunning() const
{
    return worker_ && worker_->isRunning();
}

QString CMainFrame::statusText() const
{
    return status_->text();
}

void CMainFrame::setStatus(const QString& text)
{
    status_->setText(text);
}

int CMainFrame::checkedPageCommand() const
{
    return toolbar_->current();
}

bool CMainFrame::secondColumnVisible() const
{
    return !rightStack_->isHidden();
}

void CMainFrame::bringToFront()
{
    showNormal();
    raise();
    activateWindow();
}

int CMainFrame::runBatch(BatchPlan plan)
{
    ProgressContext ctx;
    ctx.worker = worker_ ? worker_->threadId() : 0;
    ctx.mainWindow = link_->handle();
    ctx.phoneMode = [this] { return st_.phoneMode; };
    ctx.mainStatus = [this](const QString& t) { setStatus(t); };
    CProgressBar progress(std::move(ctx), std::move(plan.effects), this);
    progress.batch().setBatch(std::move(plan.steps));
    progress.batch().setStepCount(plan.stepCount);
    progress.batch().setShowCancelOnHandshake(plan.showCancelOnHandshake);
    progress.batch().setTitle(plan.titleId);
    const int result = progress.run();
    setStatus(Str(res::IDS_READY));
    return result;
}

std::optional<int> CMainFrame::chooseMode(int initialChoice)
{
    ConnectionDialog d(initialChoice, this);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return d.choice();
}

void CMainFrame::message(int stringId, Icon icon)
{
    const MessageKind kind = icon == Icon::Information ? MessageKind::Information
        : icon == Icon::Question                       ? MessageKind::Question
                                                       : MessageKind::Error;
    (void)ShowMessage(this, kind, Str(stringId));
}

void CMainFrame::portPermissionDenied(const std::string& device)
{
    (void)ShowMessage(this, MessageKind::Error, Str(res::IDS_PHONE_CABLES_PORT_1).arg(QString::fromStdString(device)));
}

bool CMainFrame::ask(int stringId)
{
    return ShowMessage(this, MessageKind::Question, Str(stringId), true);
}

bool CMainFrame::askDialog(int dialogId)
{
    return AskTemplate(dialogId, this);
}

void CMainFrame::setStatusText(int stringId)
{
    setStatus(Str(stringId));
}

void CMainFrame::closeMainWindow()
{
    close();
}

void CMainFrame::showPage(int command)
{
    const PageRow* page = FindPageRow(command);
    if (!page)
        return;
    toolbar_->setCurrent(command);
    st_.currentCommand = command;
    PageViews* views = pageViews(command);
    if (!views) {
        for (const auto& reg : options_.pages) {
            if (reg.command == command && reg.make) {
                auto made = reg.make(static_cast<PageHost&>(*this), inner_);
                if (!made)
                    break;
                leftStack_->addWidget(made->left());
                if (made->right())
                    rightStack_->addWidget(made->right());
                views = made.get();
                views_[command] = std::move(made);
                break;
            }
        }
    }
    if (views) {
        leftStack_->setCurrentWidget(views->left());
        // Single-pane pages hide the splitter's second column.
        rightStack_->setVisible(views->right() != nullptr);
        if (views->right())
            rightStack_->setCurrentWidget(views->right());
        control_->setMode(views->controlMode(), st_.mp3Mode);
        views->shown();
        updateCommandStates();
        return;
    }
    leftStack_->setCurrentWidget(left_);
    rightStack_->setCurrentWidget(right_);
    rightStack_->setVisible(page->twoPanes);
    control_->setMode(kModeConnectOnly, st_.mp3Mode);
    refreshPanes();
    updateCommandStates();
}

PageViews* CMainFrame::pageViews(int command) const
{
    const auto it = views_.find(command);
    return it == views_.end() ? nullptr : it->second.get();
}

PageViews* CMainFrame::currentViews() const
{
    return pageViews(st_.currentCommand);
}

plat::ThreadId CMainFrame::workerThread() const
{
    return worker_ ? worker_->threadId() : plat::ThreadId(0);
}

void CMainFrame::categoryChanged(int command)
{
    for (const auto& row : kCategoryCommands) {
        if (row.command == command)
            control_->setMode(row.mode, st_.mp3Mode);
    }
    updateCommandStates();
}

QString CMainFrame::pathText() const
{
    return control_->pathText();
}

void CMainFrame::setPathText(const QString& text)
{
    control_->setPathText(text);
}

void CMainFrame::connectionChangedForPages()
{
    for (const auto& [command, views] : views_)
        views->connectionChanged();
}

void CMainFrame::refreshPanes()
{
    const PlaceholderRow* page = FindPlaceholder(st_.currentCommand);
    if (!page)
        return;
    const QPixmap images = Res().bitmap("toolbar/136.png");
    int image = 0;
    for (const ToolbarButton& tb : Res().toolbar()) {
        if (tb.command == page->command)
            image = tb.image;
    }
    const QPixmap icon = images.copy(70 * image, 0, 70, 66);
    const bool mp3Page = page->command == kCmdMp3Ringtones;
    const int phoneHint = mp3Page ? (st_.mp3Mode ? res::IDS_PHONE_CONNECTED : res::IDS_CONNECT_MP3_MODE_SEE)
                                  : (st_.phoneMode ? res::IDS_PHONE_CONNECTED : res::IDS_CONNECT_PHONE_PHONE_MODE);
    if (page->rightTitle) {
        left_->set(icon, Str(page->leftTitle), Str(res::IDS_CHOOSE_FILE_PC_PATH));
        right_->set(icon, Str(page->rightTitle), Str(phoneHint));
    } else {
        left_->set(icon, Str(page->leftTitle), Str(phoneHint));
    }
}

void CMainFrame::phoneModeConnected()
{
    refreshPanes();
    connectionChangedForPages();
    updateCommandStates();
}

void CMainFrame::mp3ModeConnected()
{
    ctl_->showPageDirect(kCmdMp3Ringtones);
    refreshPanes();
    connectionChangedForPages();
    updateCommandStates();
}

void CMainFrame::phoneGone()
{
    refreshPanes();
    connectionChangedForPages();
    updateCommandStates();
}

}  // namespace shellui

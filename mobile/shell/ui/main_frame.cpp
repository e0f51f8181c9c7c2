#include "mobile/shell/ui/main_frame.h"
#include "resources/strings.h"

#include "mobile/shell/core/cable_detect.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/control_view.h"
#include "mobile/shell/ui/dialogs.h"
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
// Control-bar buttons forwarded to the page; 1044 needs phone mode first.
constexpr int kFirstPageButton = 1043;
constexpr int kCmdSaveOrRefresh = 1044;
constexpr int kLastPageButton = 1052;

// What each page shows: panes (left, right; right 0 = single pane) and the
// control bar mode for its first category.
struct PageRow {
    int command;
    int leftTitle;
    int rightTitle;
    uint32_t mode;
};
constexpr PageRow kPages[] = {
    {kCmdPictures, res::IDS_PICTURE_PC, res::IDS_PICTURES_PHONE, kModePictureSlots},
    {kCmdRingtones, res::IDS_SOUND_PC, res::IDS_RINGTONES_PHONE, kModeSoundSlots},
    {kCmdMp3Ringtones, res::IDS_SOUND_PC, res::IDS_MP3_RINGTONES_PHONES_FLASH, kModeSoundSlots},
    {kCmdPhonebook, res::IDS_PANE_PHONEBOOK, 0, kModePhonebook},
    {kCmdMessages, res::IDS_PANE_MESSAGES, 0, kModeMessages},
    {kCmdVideo, res::IDS_VIDEO_CLIPS, 0, kModeVideo},
};

// A pane changed its category: the control bar follows (the path field
// keeps the page's current path where the mode shows one).
struct CategoryRow {
    int command;
    uint32_t mode;
};
constexpr CategoryRow kCategoryCommands[] = {
    {57962, kModePictureWap}, {57963, kModePictureSlots},  {57968, kModeSoundWap},
    {57970, kModeSoundSlots}, {57983, kModePictureCamera},
};

const PageRow* FindPage(int command)
{
    for (const auto& p : kPages) {
        if (p.command == command)
            return &p;
    }
    return nullptr;
}

// The caption strip: draws the product caption over the toolbar row.
class CaptionStrip final : public QWidget {
public:
    explicit CaptionStrip(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents, false); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        QFont f("Tahoma");
        f.setBold(true);
        f.setPixelSize(14);
        p.setFont(f);
        p.setPen(QColor(0xf4, 0xa2, 0x3c));
        p.drawText(QRect(520, 3, width() - 520 - 8, 20), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("R7730") + QStringLiteral("    TELVANE"));
        QFont small("Tahoma");
        small.setPixelSize(11);
        p.setFont(small);
        p.setPen(QColor(0x9f, 0xb3, 0xc4));
        p.drawText(QRect(520, 24, width() - 520 - 8, 16), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Model V318"));
    }
};

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
        } else if (current && e.kind == MenuEntry::Separator) {
            current->addSeparator();
        } else if (current) {
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

    auto* strip = new CaptionStrip(rebar_);
    strip->setFixedHeight(84);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(6, 2, 0, 2);
    row->setSpacing(2);
    const QPixmap images = Res().bitmap("toolbar/136.png");
    const int count = int(Res().toolbar().size());
    for (const ToolbarButton& tb : Res().toolbar()) {
        auto* b = new QToolButton(strip);
        b->setObjectName("pageButton");
        b->setFixedSize(80, 80);
        b->setIconSize(QSize(70, 66));
        b->setCheckable(true);
        b->setToolTip(Str(tb.tooltipId));
        QIcon icon;
        icon.addPixmap(images.copy(70 * tb.image, 0, 70, 66), QIcon::Normal, QIcon::Off);
        icon.addPixmap(images.copy(70 * (tb.image + count), 0, 70, 66), QIcon::Active, QIcon::Off);
        icon.addPixmap(images.copy(70 * (tb.image + count), 0, 70, 66), QIcon::Normal, QIcon::On);
        icon.addPixmap(images.copy(70 * (tb.image + count), 0, 70, 66), QIcon::Active, QIcon::On);
        b->setIcon(icon);
        b->setAutoRaise(true);
        const int cmd = tb.command;
        connect(b, &QToolButton::clicked, this, [this, cmd] { command(cmd); });
        pageButtons_[cmd] = b;
        row->addWidget(b);
    }
    row->addStretch(1);
    strip->setObjectName("pageToolbar");
    v->addWidget(strip);
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

void CMainFrame::command(int id, const QString& text)
{
    switch (id) {
    case kCmdPictures:
    case kCmdRingtones:
    case kCmdPhonebook:
    case kCmdMessages:
    case kCmdVideo:
    case kCmdMp3Ringtones:
        ctl_->switchPage(id);
        // A click has already toggled the button; a refused or repeated
        // switch must not leave it (or a second button) checked.
        checkPageButton(st_.currentCommand);
        break;
    case kCmdExit:
    case kCmdExitMenu:
        if (ask(res::IDS_LEAVE_QUESTION))
            close();
        break;
    case kCmdMinimise: showMinimized(); break;
    case kCmdEndMp3:
        if (st_.mp3Mode)
            ctl_->endMp3Mode();
        break;
    case kCmdAbout: ShowAbout(this); break;
    case kCmdConnect:
        // Not connected, the button brings up the connection dialog; when
        // connected it offers to end the connection.
        if (st_.connected())
            ctl_->connectCommand(st_.mp3Mode ? kModeMp3 : kModePhone);
        else
            (void)ctl_->connectionDialogLoop(kModeMp3);
        break;
    case kCmdSaveOrRefresh:
        if (!st_.phoneMode)
            message(res::IDS_NEEDS_PHONE_MODE, Icon::Error);
        else if (PageViews* v = currentViews())
            v->command(id, {});
        break;
    case kCmdPathConfirmed:
        // The page that loads the file keeps or restores the field.
        if (PageViews* v = currentViews())
            v->command(id, text);
        break;
    default:
        if (id >= kFirstPageButton && id <= kLastPageButton) {
            if (PageViews* v = currentViews())
                v->command(id, {});
            break;
        }
        for (const auto& reg : options_.commands) {
            if (reg.command == id && reg.run)
                reg.run(*this);
        }
        categoryChanged(id);
        break;
    }
    updateCommandStates();
}

void CMainFrame::updateCommandStates()
{
    if (auto it = actions_.find(kCmdEndMp3); it != actions_.end())
        it->second->setEnabled(st_.mp3Mode);
    if (auto it = actions_.find(kCmdBackup); it != actions_.end())
        it->second->setEnabled(st_.phoneMode);
    control_->setButtonEnabled(kCmdConnect, !st_.phoneMode);
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
    for (const auto& [id, b] : pageButtons_) {
        if (b->isChecked())
            return id;
    }
    return 0;
}

void CMainFrame::checkPageButton(int command)
{
    for (const auto& [id, b] : pageButtons_)
        b->setChecked(id == command);
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
    const PageRow* page = FindPage(command);
    if (!page)
        return;
    checkPageButton(command);
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
        rightStack_->setVisible(views->right() != nullptr);
        if (views->right())
            rightStack_->setCurrentWidget(views->right());
        control_->setMode(views->controlMode(), st_.mp3Mode, control_->pathText());
        views->shown();
        return;
    }
    leftStack_->setCurrentWidget(left_);
    rightStack_->setCurrentWidget(right_);
    rightStack_->setVisible(page->rightTitle != 0);
    control_->setMode(page->mode, st_.mp3Mode);
    refreshPanes();
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
            control_->setMode(row.mode, st_.mp3Mode, control_->pathText());
    }
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
    const PageRow* page = FindPage(st_.currentCommand);
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
    const int phoneHint = mp3Page ? (st_.mp3Mode ? 59071 : 59073) : (st_.phoneMode ? 59071 : 59070);
    if (page->rightTitle) {
        left_->set(icon, Str(page->leftTitle), Str(59072));
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
    if (!currentViews())
        control_->setMode(kModeSoundSlots, true);
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

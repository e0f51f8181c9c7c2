// The main frame's routing on the offscreen platform: page switches that
// end a connection, forwarding of the control bar's commands to the page,
// commands that need a connection, the menu, toolbar hot tracking and the
// balloon tooltips.

#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/balloon_tip.h"
#include "mobile/shell/ui/control_view.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/page_toolbar.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "support/fake_worker.h"

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace shellui;
using shelltest::FakeWorker;

namespace {

// A page that records what reaches it. Commands listed in needs ask for
// phone mode.
struct FakePage final : PageViews {
    FakePage(QWidget* parent, bool twoPanes, uint32_t mode, std::vector<int> needs)
        : left_(new QLabel("left", parent)), right_(twoPanes ? new QLabel("right", parent) : nullptr), mode_(mode),
          needs_(std::move(needs))
    {
    }
    QWidget* left() override { return left_; }
    QWidget* right() override { return right_; }
    uint32_t controlMode() const override { return mode_; }
    void command(int id, const QString& text) override { got.append({id, text}); }
    CommandNeed commandNeed(int id) const override
    {
        return std::find(needs_.begin(), needs_.end(), id) != needs_.end() ? CommandNeed::PhoneMode
                                                                           : CommandNeed::Nothing;
    }
    void shown() override { }
    void connectionChanged() override { }

    QLabel* left_;
    QLabel* right_;
    uint32_t mode_;
    std::vector<int> needs_;
    QList<std::pair<int, QString>> got;
};

struct Rig {
    std::unique_ptr<CMainFrame> frame;
    std::map<int, FakePage*> pages;
    // Request codes the worker saw; read once the frame (and so the worker) is gone.
    std::shared_ptr<std::vector<int32_t>> codes = std::make_shared<std::vector<int32_t>>();

    explicit Rig(std::vector<CommandRegistration> commands = {})
    {
        FrameOptions o;
        o.splash = false;
        o.detectCable = [] { return std::string("COM1"); };
        o.startWorker = [codes = codes](plat::ThreadId,
                                        plat::WindowHandle window) -> std::unique_ptr<shell::LinkThread> {
            return std::make_unique<FakeWorker>(
                [codes](const shelltest::SeenRequest& s) {
                    codes->push_back(s.code);
                    return std::vector<shelltest::Reply>{};
                },
                window);
        };
        const std::tuple<int, bool, uint32_t, std::vector<int>> made[] = {
            {shell::kCmdPictures, true, shell::kModePictureSlots, {}},
            {shell::kCmdMp3Ringtones, true, shell::kModeSoundSlots, {}},
            {shell::kCmdPhonebook, false, shell::kModePhonebook, {1047}},
        };
        for (const auto& [command, two, mode, needs] : made) {
            o.pages.push_back({command, [this, command, two, mode, needs](PageHost&, QWidget* parent) {
                                   auto p = std::make_unique<FakePage>(parent, two, mode, needs);
                                   pages[command] = p.get();
                                   return p;
                               }});
        }
        o.commands = std::move(commands);
        frame = std::make_unique<CMainFrame>(std::move(o));
        frame->show();
        frame->command(shell::kCmdPictures);
    }
};

// Answers the coming modal windows in turn: each answer gets the window
// (a template dialog by its object name, a message box by its text) and
// returns whether to accept it.
class ModalAnswers {
public:
    using Answer = std::function<bool(QWidget*)>;
    explicit ModalAnswers(QList<Answer> answers) : state_(std::make_shared<State>())
    {
        state_->answers = std::move(answers);
        Poll(state_);
    }
    ~ModalAnswers() { state_->answers.clear(); }
    [[nodiscard]] QStringList seen() const { return state_->seen; }

private:
    struct State {
        QList<Answer> answers;
        QStringList seen;
        QPointer<QWidget> last;
    };
    static void Poll(std::shared_ptr<State> st)
    {
        QTimer::singleShot(0, [st] {
            if (st->answers.isEmpty())
                return;
            QWidget* w = QApplication::activeModalWidget();
            if (w && w != st->last) {
                st->last = w;
                auto* box = qobject_cast<QMessageBox*>(w);
                st->seen << (box ? box->text() : w->objectName());
                const bool accept = st->answers.takeFirst()(w);
                if (auto* d = qobject_cast<QDialog*>(w))
                    accept ? d->accept() : d->reject();
            }
            Poll(st);
        });
    }
    std::shared_ptr<State> state_;
};

const ModalAnswers::Answer kAccept = [](QWidget*) { return true; };
const ModalAnswers::Answer kReject = [](QWidget*) { return false; };

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pageSwitchQuestions_data();
    void pageSwitchQuestions();
    void forwarding();
    void menuCommands();
    void hotTracking();
    void balloonShapes_data();
    void balloonShapes();
    void balloonForTooltip();

private:
    std::unique_ptr<ResourceBundle> bundle_;
};

void FrameTest::initTestCase()
{
    qputenv("TELVANE_HOME", QDir::tempPath().toLocal8Bit() + "/telvane-frame-test-home");
    BundleError e = BundleError::None;
    bundle_ = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "en", &e);
    QVERIFY(bundle_);
    SetResources(bundle_.get());
    qApp->setStyleSheet(bundle_->styleSheet());
}

// Choosing a page of the other connected mode asks first; OK ends the
// connection and brings the connection dialog, Cancel leaves all as it was.
void FrameTest::pageSwitchQuestions_data()
{
    QTest::addColumn<bool>("mp3");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("pageAfter");
    QTest::addColumn<int>("request");  // 0: none
    QTest::addColumn<int>("dialogChoice");  // -1: no connection dialog
    QTest::newRow("MP3 mode, phonebook, Cancel") << true << false << "dialog_258" << shell::kCmdMp3Ringtones << 0 << -1;
    QTest::newRow("MP3 mode, phonebook, OK")
        << true << true << "dialog_258" << shell::kCmdPictures << int(REQ_SILENT_TIMEOUT) << 0;
    QTest::newRow("phone mode, MP3 form, Cancel") << false << false << "dialog_257" << shell::kCmdPictures << 0 << -1;
    QTest::newRow("phone mode, MP3 form, OK")
        << false << true << "dialog_257" << shell::kCmdMp3Ringtones << int(REQ_DISCONNECT) << 1;
}

void FrameTest::pageSwitchQuestions()
{
    QFETCH(bool, mp3);
    QFETCH(bool, agree);
    QFETCH(QString, question);
    QFETCH(int, pageAfter);
    QFETCH(int, request);
    QFETCH(int, dialogChoice);
    Rig rig;
    CMainFrame& f = *rig.frame;
    if (mp3) {
        f.command(shell::kCmdMp3Ringtones);
        f.state().mp3Mode = true;
    } else {
        f.state().phoneMode = true;
    }
    int choice = -1;
    QList<ModalAnswers::Answer> answers{agree ? kAccept : kReject};
    if (dialogChoice >= 0) {
        // The connection dialog: note its preselection, then cancel it
        // (which ends the program).
        answers << [&choice](QWidget* w) {
            if (auto* d = dynamic_cast<ConnectionDialog*>(w))
                choice = d->choice();
            return false;
        };
    }
    ModalAnswers modals(answers);
    f.command(mp3 ? shell::kCmdPhonebook : shell::kCmdMp3Ringtones);
    QCOMPARE(modals.seen().value(0), question);
    QCOMPARE(choice, dialogChoice);
    QCOMPARE(f.state().currentCommand, pageAfter);
    QCOMPARE(f.checkedPageCommand(), pageAfter);
    QCOMPARE(f.state().disconnectRequested, agree);
    rig.frame.reset();
    QCOMPARE(rig.codes->empty() ? 0 : rig.codes->front(), request);
}

void FrameTest::forwarding()
{
    Rig rig;
    CMainFrame& f = *rig.frame;
    CControlView* bar = f.controlView();
    FakePage* two = rig.pages[shell::kCmdPictures];
    QVERIFY(f.secondColumnVisible());

    // Not connected: the commands that need phone mode say so and stay on
    // the frame; the rest reach the page, the path field with its text.
    ModalAnswers needs({kReject, kReject});
    QTest::mouseClick(bar->button(1043), Qt::LeftButton);  // put into slot
    f.command(1044);
    QCOMPARE(needs.seen(), (QStringList{Str(57698), Str(57698)}));
    QVERIFY(bar->isUnavailable(1043) && bar->isUnavailable(1051));
    QVERIFY(bar->button(1043)->toolTip().contains(Str(59901)));
    f.command(1010, "/home/u/a.png");
    f.command(1045);
    f.state().phoneMode = true;
    QTest::mouseClick(bar->button(1051), Qt::LeftButton);
    QCOMPARE(two->got, (QList<std::pair<int, QString>>{{1010, "/home/u/a.png"}, {1045, {}}, {1051, {}}}));
    QVERIFY(!bar->isUnavailable(1043));

    // A one-pane page: the second column goes, its commands reach it, and
    // the one it says needs the phone is dimmed and answered by the frame.
    f.state().phoneMode = false;
    f.command(shell::kCmdPhonebook);
    FakePage* one = rig.pages[shell::kCmdPhonebook];
    QVERIFY(!f.secondColumnVisible());
    QCOMPARE(bar->visibleButtons().size(), 10);
    QVERIFY(!bar->visibleButtons().contains(1046));
    QVERIFY(bar->isUnavailable(1047) && !bar->isUnavailable(1048));
    ModalAnswers one57698({kReject});
    QTest::mouseClick(bar->button(1047), Qt::LeftButton);
    QTest::mouseClick(bar->button(1048), Qt::LeftButton);
    QCOMPARE(one57698.seen(), QStringList{Str(57698)});
    QCOMPARE(one->got, (QList<std::pair<int, QString>>{{1048, {}}}));

    // A page this build has no views for shows only the connect button.
    f.command(shell::kCmdVideo);
    QCOMPARE(bar->visibleButtons(), QList<int>{1042});
}

void FrameTest::menuCommands()
{
    int opened = 0;
    {
        // Without an area that handles it, the backup item is not shown.
        Rig rig;
        QVERIFY(!rig.frame->menuAction(32788));
        QVERIFY(rig.frame->menuAction(32789));
    }
    Rig rig({{32788, [&opened](PageHost&) { ++opened; }}});
    CMainFrame& f = *rig.frame;
    QAction* backup = f.menuAction(32788);
    QAction* endMp3 = f.menuAction(32789);
    QVERIFY(backup && endMp3);
    // Off without the connection they need, saying which.
    QVERIFY(!backup->isEnabled() && !endMp3->isEnabled());
    QCOMPARE(backup->toolTip(), Str(59901));
    QCOMPARE(endMp3->toolTip(), Str(59902));
    ModalAnswers answers({kReject});
    f.command(32788);  // a shortcut or a stale click: said, not run
    QCOMPARE(answers.seen(), QStringList{Str(57698)});
    QCOMPARE(opened, 0);
    f.state().phoneMode = true;
    f.command(shell::kCmdPictures);
    QVERIFY(backup->isEnabled());
    backup->trigger();
    QCOMPARE(opened, 1);
    // The connect button says what it does in each state.
    QVERIFY(!f.controlView()->button(1042)->isEnabled());
    f.state().phoneMode = false;
    f.state().mp3Mode = true;
    f.command(shell::kCmdMp3Ringtones);
    QVERIFY(f.controlView()->button(1042)->isEnabled());
    QCOMPARE(f.controlView()->button(1042)->toolTip(), Str(59904));
    QVERIFY(endMp3->isEnabled());
}

void FrameTest::hotTracking()
{
    Rig rig;
    CMainFrame& f = *rig.frame;
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    CPageToolbar* bar = f.pageToolbar();
    const int n = bar->count();
    QCOMPARE(n, 6);
    const auto at = [bar](int i) { return bar->mapToGlobal(bar->buttonRect(i).center()); };
    // 1 when the button is drawn with its highlighted image.
    const auto image = [bar](int i) { return bar->imageIndexOf(i) >= bar->count() ? 1 : 0; };
    QCOMPARE(bar->current(), shell::kCmdPictures);

    QCursor::setPos(at(2));
    QTRY_COMPARE(bar->hotIndex(), 2);
    QVERIFY(bar->tracking());
    QCOMPARE(image(2), 1);
    QCOMPARE(image(0), 1);  // the current page's button stays highlighted
    QCOMPARE(image(1), 0);
    QCursor::setPos(at(4));
    QTRY_COMPARE(bar->hotIndex(), 4);
    QCOMPARE(image(2), 0);  // the previous one is restored
    QCOMPARE(bar->toolTip(), Str(59022));

    // Off the bar the timer stops; only the page shown stays highlighted.
    QCursor::setPos(f.mapToGlobal(QPoint(300, 400)));
    QTRY_VERIFY(!bar->tracking());
    QCOMPARE(bar->hotIndex(), -1);
    for (int i = 0; i < n; ++i)
        QCOMPARE(image(i), i == 0 ? 1 : 0);

    // A press and a release on the same button switch the page; a release
    // on another button does not.
    QTest::mousePress(bar, Qt::LeftButton, {}, bar->buttonRect(3).center());
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->buttonRect(5).center());
    QCOMPARE(f.state().currentCommand, shell::kCmdPictures);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->buttonRect(3).center());
    QCOMPARE(f.state().currentCommand, bar->commandAt(3));
    QCOMPARE(bar->current(), bar->commandAt(3));
}

void FrameTest::balloonShapes_data()
{
    QTest::addColumn<QPoint>("anchor");
    QTest::addColumn<QSize>("text");
    QTest::addColumn<bool>("combined");
    QTest::addColumn<bool>("pointsUp");
    QTest::newRow("room below") << QPoint(100, 100) << QSize(120, 16) << true << true;
    QTest::newRow("screen bottom: above") << QPoint(100, 595) << QSize(120, 16) << true << false;
    QTest::newRow("right edge: body moves left") << QPoint(795, 100) << QSize(200, 16) << true << true;
    // The anchor beyond the screen's edge: the body stays on the screen and
    // the pointer falls beside it.
    QTest::newRow("anchor off the screen") << QPoint(850, 100) << QSize(120, 16) << false << true;
}

void FrameTest::balloonShapes()
{
    QFETCH(QPoint, anchor);
    QFETCH(QSize, text);
    QFETCH(bool, combined);
    QFETCH(bool, pointsUp);
    const QRect screen(0, 0, 800, 600);
    const BalloonLayout l = PlaceBalloon(anchor, text, screen);
    QCOMPARE(l.pointsUp, pointsUp);
    // The pointer's tip touches the anchor.
    QCOMPARE(l.window.topLeft() + l.pointer.point(0), anchor);
    const auto region = BalloonRegion(l);
    QCOMPARE(region.has_value(), combined);
    if (!combined)
        return;
    QVERIFY(screen.contains(l.window));
    // One shape: the body's rounded corners are cut, the pointer is in.
    QVERIFY(!region->contains(l.body.topLeft()));
    QVERIFY(region->contains(l.body.center()));
    const QPolygon& t = l.pointer;
    QVERIFY(region->contains((t.point(0) + t.point(1) + t.point(2)) / 3));
}

void FrameTest::balloonForTooltip()
{
    Rig rig;
    CMainFrame& f = *rig.frame;
    QToolButton* b = f.controlView()->button(1051);
    QHelpEvent help(QEvent::ToolTip, QPoint(10, 10), b->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(b, &help);
    CBalloonTip* tip = f.balloonTips()->tip();
    QVERIFY(tip->isVisible());
    QCOMPARE(tip->text(), b->toolTip());
    QVERIFY(!tip->mask().isEmpty());
    QCOMPARE(tip->geometry(), tip->layout().window);
    // A click anywhere puts it away.
    QTest::mousePress(f.controlView(), Qt::LeftButton);
    QVERIFY(!tip->isVisible());
}

QTEST_MAIN(FrameTest)
#include "frame_test.moc"

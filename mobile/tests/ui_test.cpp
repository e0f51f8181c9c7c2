// The widgets on the offscreen platform, against the real resource bundle
// and a scripted worker thread.

#include "mobile/shell/core/cable_detect.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/control_view.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/page_toolbar.h"
#include "mobile/shell/ui/progress_dialog.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "mobile/shell/ui/single_instance.h"
#include "support/fake_worker.h"

#include <QApplication>
#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocalSocket>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

using namespace shellui;
using shelltest::FakeWorker;
using shelltest::Reply;
using shelltest::SeenRequest;

namespace {

FrameOptions FakeOptions(FakeWorker::Script script, FakeWorker** out = nullptr)
{
    FrameOptions o;
    o.splash = false;
    o.detectCable = [] { return std::string("COM1"); };
    o.startWorker = [script, out](plat::ThreadId, plat::WindowHandle window) -> std::unique_ptr<shell::LinkThread> {
        auto w = std::make_unique<FakeWorker>(script, window);
        if (out)
            *out = w.get();
        return w;
    };
    return o;
}

// Answers the next modal dialog: records its name and rejects it.
void RejectNextModal(QStringList* seen)
{
    QTimer::singleShot(0, [seen] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            RejectNextModal(seen);
            return;
        }
        if (auto* m = qobject_cast<QMessageBox*>(w))
            seen->append(m->text());
        else
            seen->append(w->objectName());
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
    });
}

QStringList FormatSpecs(const QString& s)
{
    QStringList specs;
    static const QRegularExpression re("%(\\d|[ds])");
    for (auto it = re.globalMatch(s); it.hasNext();)
        specs << it.next().captured(0);
    specs.sort();
    return specs;
}

}  // namespace

class UiTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void bundleFailures();
    void stringsInBothLanguages();
    void templatesHoldTheirControls();
    void controlBarModes_data();
    void controlBarModes();
    void pagesAndToolbar();
    void pathFieldAndPhoneCommands();
    void linkLostReopensDialog_data();
    void linkLostReopensDialog();
    void messageBoxesSpeakTheLocale();
    void progressWindowSwallowsKeys();
    void progressWindowCancel();
    void shutdownStopsWorker();
    void singleInstance();
    void templateDialogKeys();
    void splashGrows();
    void demoCable();
    void programExitCodes();

private:
    std::unique_ptr<ResourceBundle> bundle_;
};

void UiTest::initTestCase()
{
    qputenv("TELVANE_HOME", QDir::tempPath().toLocal8Bit() + "/telvane-ui-test-home");
    BundleError e = BundleError::None;
    bundle_ = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "en", &e);
    QVERIFY2(bundle_, "the built Resource.rcc must load");
    SetResources(bundle_.get());
    qApp->setStyleSheet(bundle_->styleSheet());
}

void UiTest::cleanupTestCase()
{
    SetResources(bundle_.get());
}

void UiTest::bundleFailures()
{
    BundleError e = BundleError::None;
    QVERIFY(!ResourceBundle::Load("/nonexistent/Resource.rcc", "en", &e));
    QVERIFY(e == BundleError::Missing);

    QTemporaryDir dir;
    const QString damaged = dir.path() + "/Resource.rcc";
    QFile f(damaged);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("qres this is not a resource bundle at all");
    f.close();
    QVERIFY(!ResourceBundle::Load(damaged, "en", &e));
    QVERIFY(e == BundleError::Damaged);
    QVERIFY(ResourceBundle::Describe(e, damaged).contains(damaged));
    // The running bundle is untouched by the failed loads.
    QCOMPARE(Str(57667), QString("Not connected"));
}

void UiTest::stringsInBothLanguages()
{
    // Every string, in both languages, with the same format fields.
    QFile f(":/strings/strings.tsv");
    QVERIFY(f.open(QIODevice::ReadOnly));
    int rows = 0;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList cols = line.split('\t');
        QVERIFY2(cols.size() == 4, qPrintable(line));
        QVERIFY2(!cols[2].isEmpty() && !cols[3].isEmpty(), qPrintable(line));
        QCOMPARE(FormatSpecs(cols[3]), FormatSpecs(cols[2]));
        ++rows;
    }
    QVERIFY(rows > 150);
    BundleError e = BundleError::None;
    SetResources(nullptr);
    auto zh = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "zh", &e);
    QVERIFY(zh);
    QCOMPARE(zh->text(57667), QString::fromUtf8("未连接"));
    QCOMPARE(zh->text(57344), QString("Telvane"));
    zh.reset();
    SetResources(bundle_.get());
    QCOMPARE(Str(57667), QString("Not connected"));
    QCOMPARE(Str(99999), QString("#99999"));
}

void UiTest::templatesHoldTheirControls()
{
    ConnectionDialog d(1, nullptr);
    QVERIFY(d.findChild<QGroupBox*>("ctl_1134"));
    QCOMPARE(d.choice(), 1);
    d.setChoice(0);
    QCOMPARE(d.choice(), 0);
    QVERIFY(d.findChild<QRadioButton*>("ctl_1134_0")->isChecked());
    QVERIFY(!d.windowTitle().startsWith('@'));

    ProgressContext ctx;
    CProgressBar p(ctx, {});
    QVERIFY(p.findChild<QProgressBar*>("ctl_1034"));
    QVERIFY(p.findChild<QLabel*>("ctl_1035"));
    QCOMPARE(p.percentText(), QString("0%"));
    QCOMPARE(p.findChild<QPushButton*>("ctl_2")->text(), Str(57765));

    for (int id : {257, 258}) {
        TemplateDialog t(id, nullptr);
        QVERIFY(t.form());
        QVERIFY(t.findChild<QPushButton*>("ctl_1"));
        QVERIFY(t.findChild<QPushButton*>("ctl_2"));
    }
    SplashWindow s;
    QCOMPARE(s.fullSize(), QSize(480, 300));
    QCOMPARE(AboutText(), QString("Telvane 5.5 (MP3)\nBuild Dec 16 2005 16:17:38"));
}

void UiTest::controlBarModes_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("pathShown");
    QTest::newRow("phonebook 2031") << 2031u << 10 << false;
    QTest::newRow("messages 2045") << 2045u << 10 << false;
    QTest::newRow("picture slots 515") << 515u << 3 << true;
    QTest::newRow("video") << uint(shell::kModeVideo) << 3 << false;
}

void UiTest::controlBarModes()
{
    QFETCH(uint, mode);
    QFETCH(int, count);
    QFETCH(bool, pathShown);
    QList<int> clicked;
    CControlView bar([&clicked](int id, const QString&) { clicked << id; });
    bar.resize(777, 70);
    bar.setMode(shell::kModePictureSlots, false);
    bar.setPathText("/home/u/pic.jpg");
    bar.setMode(mode, false);
    const QList<int> ids = bar.visibleButtons();
    QCOMPARE(ids.size(), count);
    QCOMPARE(ids.front(), 1042);
    if (mode == 2031)
        QVERIFY(!ids.contains(1046));
    // The first visible button sits against the right edge; the rest step left.
    QCOMPARE(bar.button(ids.front())->x(), 777 - shell::kControlBarRightMargin - shell::kControlButtonWidth);
    for (int i = 1; i < ids.size(); ++i)
        QCOMPARE(bar.button(ids[i - 1])->x() - bar.button(ids[i])->x(), 65);
    for (int id : ids)
        QCOMPARE(bar.button(id)->y(), (70 - 44) / 2);
    QCOMPARE(bar.pathFieldVisible(), pathShown);
    // The picture path comes back in a mode that shows it.
    QCOMPARE(bar.pathText(), mode == 515 ? QString("/home/u/pic.jpg") : QString());
    QTest::mouseClick(bar.button(ids.back()), Qt::LeftButton);
    QCOMPARE(clicked, QList<int>{ids.back()});
    // Every button after the first has a tooltip of its mode.
    for (int i = 1; i < ids.size(); ++i)
        QVERIFY2(!bar.button(ids[i])->toolTip().isEmpty(), qPrintable(QString::number(ids[i])));
}

void UiTest::pagesAndToolbar()
{
    CMainFrame frame(FakeOptions({}));
    QCOMPARE(frame.size(), QSize(777, 540));
    QVERIFY(frame.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(frame.property("Mobile").toInt(), 1);
    QCOMPARE(frame.statusText(), Str(57667));
    frame.command(shell::kCmdPictures);
    QCOMPARE(frame.checkedPageCommand(), shell::kCmdPictures);
    QVERIFY(frame.secondColumnVisible());
    frame.command(shell::kCmdPhonebook);
    QCOMPARE(frame.checkedPageCommand(), shell::kCmdPhonebook);
    QCOMPARE(frame.state().currentPage, 3);
    QVERIFY(!frame.secondColumnVisible());
    frame.command(shell::kCmdMp3Ringtones);
    QCOMPARE(frame.checkedPageCommand(), shell::kCmdMp3Ringtones);
    QCOMPARE(frame.state().currentPage, 2);

    // A pane's category change sets the bar's mode; an empty-path mode clears the field.
    frame.command(shell::kCmdPictures);
    frame.command(57963);
    QCOMPARE(frame.controlView()->mode(), shell::kModePictureSlots);
    frame.controlView()->setPathText("/home/u/sunset.jpg");
    frame.command(57983);
    QCOMPARE(frame.controlView()->mode(), shell::kModePictureCamera);
    QCOMPARE(frame.controlView()->pathText(), QString());
    QCOMPARE(frame.controlView()->visibleButtons(), (QList<int>{1042, 1044}));
    frame.command(57963);
    QCOMPARE(frame.controlView()->pathText(), QString("/home/u/sunset.jpg"));

    // Clicking the toolbar: the page shown stays the one highlighted, also
    // after a click on the current page and after a refused switch (dialog 257).
    frame.show();
    CPageToolbar* bar = frame.pageToolbar();
    auto click = [bar](int command) {
        for (int i = 0; i < bar->count(); ++i) {
            if (bar->commandAt(i) == command)
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->buttonRect(i).center());
        }
    };
    click(shell::kCmdPictures);
    QCOMPARE(frame.checkedPageCommand(), shell::kCmdPictures);
    frame.state().phoneMode = true;
    QStringList seen;
    RejectNextModal(&seen);
    click(shell::kCmdMp3Ringtones);  // needs leaving phone mode, refused
    QCOMPARE(seen, QStringList{"dialog_257"});
    QCOMPARE(frame.checkedPageCommand(), shell::kCmdPictures);
    QVERIFY(frame.state().phoneMode);
}

void UiTest::pathFieldAndPhoneCommands()
{
    QList<std::pair<int, QString>> sent;
    CControlView bar([&sent](int id, const QString& text) { sent.append({id, text}); });
    bar.resize(777, 70);
    bar.setMode(shell::kModePictureSlots, false);
    auto* field = bar.findChild<QLineEdit*>();
    QVERIFY(field);
    // A confirmed path goes to the frame as 1010 with its text; an empty one does not.
    field->setText("/home/u/cat.png");
    QTest::keyClick(field, Qt::Key_Return);
    field->clear();
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(sent, (QList<std::pair<int, QString>>{{1010, "/home/u/cat.png"}}));

    // Saving a phone item needs phone mode; the connect button is off while in it.
    CMainFrame frame(FakeOptions({}));
    frame.show();
    frame.command(shell::kCmdPictures);
    QStringList seen;
    RejectNextModal(&seen);
    frame.command(1044);
    QCOMPARE(seen, QStringList{Str(57698)});
    QVERIFY(frame.controlView()->button(1042)->isEnabled());
    frame.state().phoneMode = true;
    frame.command(1044);  // forwarded to the page, no message
    QCOMPARE(seen.size(), 1);
    QVERIFY(!frame.controlView()->button(1042)->isEnabled());
}

void UiTest::linkLostReopensDialog_data()
{
    QTest::addColumn<bool>("requested");
    QTest::newRow("phone switched off") << false;
    QTest::newRow("user disconnected") << true;
}

void UiTest::linkLostReopensDialog()
{
    QFETCH(bool, requested);
    FakeWorker* worker = nullptr;
    CMainFrame frame(FakeOptions({}, &worker));
    frame.show();
    frame.command(shell::kCmdPictures);
    frame.state().phoneMode = true;
    frame.state().disconnectRequested = requested;
    QStringList modals;
    if (!requested)
        RejectNextModal(&modals);
    worker->loseLink();
    QTRY_VERIFY(!frame.state().phoneMode);
    QCOMPARE(frame.statusText(), Str(57667));
    if (requested) {
        QVERIFY(frame.isVisible());
        QVERIFY(modals.isEmpty());
    } else {
        // The dialog came back; cancelling it ends the program.
        QTRY_COMPARE(modals, QStringList{"dialog_256"});
        QTRY_VERIFY(!frame.isVisible());
        QVERIFY(!frame.workerRunning());
    }
}

void UiTest::messageBoxesSpeakTheLocale()
{
    // In Chinese the questions, messages and the about box answer with the
    // bundle's button texts, not the toolkit's English ones.
    BundleError e = BundleError::None;
    SetResources(nullptr);
    auto zh = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "zh", &e);
    QVERIFY(zh);
    SetResources(zh.get());
    QStringList buttons;
    std::function<void()> answer = [&buttons, &answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(0, answer);
            return;
        }
        QStringList texts;
        for (QAbstractButton* b : box->buttons())
            texts << b->text();
        texts.sort();
        buttons << texts.join("+");
        box->reject();
    };
    {
        CMainFrame frame(FakeOptions({}));
        frame.show();
        QTimer::singleShot(0, answer);
        frame.command(32781);  // leave the program? Cancel
        QVERIFY(frame.isVisible());
        QTimer::singleShot(0, answer);
        frame.command(1044);  // needs phone mode: an error message
        QTimer::singleShot(0, answer);
        frame.command(57664);  // about box
    }
    QStringList expected{QString::fromUtf8("取消+确定"), QString::fromUtf8("确定"), QString::fromUtf8("确定")};
    SetResources(bundle_.get());
    zh.reset();
    QCOMPARE(buttons, expected);

    // The toolkit's own texts (the file dialog of the browse button) follow.
    QVERIFY(!InstallToolkitTranslation("en"));
    const auto toolkit = InstallToolkitTranslation("zh");
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm"))
        QSKIP("this system has no Chinese translation of Qt");
    QVERIFY(toolkit);
    QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:") != QString("Look in:"));
}

void UiTest::progressWindowSwallowsKeys()
{
    FakeWorker silent([](const SeenRequest&) { return std::vector<Reply>{Reply::Progress(2, 3, 8)}; });
    ProgressContext ctx;
    ctx.worker = silent.threadId();
    CProgressBar p(ctx, {});
    std::vector<shell::BatchStep> steps;
    steps.push_back(shell::BatchStep::Request(
        REQ_DOWNLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, NewTransferBlock("/a", "/tmp/a"))));
    p.batch().setBatch(std::move(steps));
    p.show();
    p.startForTesting();
    QTRY_COMPARE(p.percentText(), QString("37%"));
    QCOMPARE(p.barPosition(), 37);
    // The window draws the bar with the skin: the done part orange, the rest grey.
    const QImage bar = p.findChild<QProgressBar*>("ctl_1034")->grab().toImage();
    const QColor done = bar.pixelColor(bar.width() * 30 / 100, bar.height() / 2);
    const QColor empty = bar.pixelColor(bar.width() * 60 / 100, bar.height() / 2);
    QVERIFY2(done.red() > done.blue() + 80, qPrintable(done.name()));
    QVERIFY2(qAbs(empty.red() - empty.blue()) < 40, qPrintable(empty.name()));
    QTest::keyClick(&p, Qt::Key_Escape);
    QTest::keyClick(&p, Qt::Key_Return);
    QApplication::processEvents();
    QVERIFY(p.isVisible());
    QVERIFY(!p.batch().isFinished());
}

void UiTest::progressWindowCancel()
{
    FakeWorker silent({});
    ProgressContext ctx;
    ctx.worker = silent.threadId();
    QString mainStatus;
    ctx.mainStatus = [&mainStatus](const QString& t) { mainStatus = t; };
    CProgressBar p(ctx, {});
    std::vector<shell::BatchStep> steps;
    steps.push_back(shell::BatchStep::Request(REQ_LONG_COMMAND, shell::NewRequest(plat::CurrentThreadId(), "AT\r")));
    p.batch().setBatch(std::move(steps));
    QTimer::singleShot(0, &p, [&] {
        p.batch().setTitle(57695);
        QTest::mouseClick(p.findChild<QPushButton*>("ctl_2"), Qt::LeftButton);
    });
    QCOMPARE(p.run(), shell::kBatchCancel);
    // The title shows in the window and in the main window's status bar.
    QCOMPARE(p.statusText(), Str(57695));
    QCOMPARE(mainStatus, Str(57695));
    silent.stop();
    const auto seen = silent.seenCodes();
    QCOMPARE(seen.back(), int32_t(95));
    QCOMPARE(silent.seen().back().text, std::string("AT*MASKCALL=0\r"));
}

void UiTest::shutdownStopsWorker()
{
    FakeWorker* worker = nullptr;
    auto frame = std::make_unique<CMainFrame>(FakeOptions({}, &worker));
    frame->show();
    const plat::ThreadId id = worker->threadId();
    QVERIFY(frame->workerRunning());
    frame->close();
    QVERIFY(!frame->workerRunning());
    QVERIFY(!plat::PostThreadMessage(id, WM_LINK_REQUEST, 0, 0));
}

// Escape cancels and Return confirms every template dialog, whatever
// control has the focus, and the whole dialog closes.
void UiTest::templateDialogKeys()
{
    for (int id : {256, 257, 258}) {
        for (const auto& [key, result] :
             {std::pair{Qt::Key_Escape, QDialog::Rejected}, {Qt::Key_Return, QDialog::Accepted}}) {
            TemplateDialog d(id, nullptr);
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            QWidget* focus = d.findChild<QRadioButton*>();
            if (!focus)
                focus = d.findChild<QPushButton*>("ctl_2");
            QVERIFY(focus);
            focus->setFocus();
            QTest::keyClick(focus, key);
            QTRY_VERIFY(!d.isVisible());
            QCOMPARE(d.result(), int(result));
        }
    }
}

void UiTest::singleInstance()
{
    const QString name = QStringLiteral("telvane-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    QVERIFY(first.claim());
    SingleInstance second(name);
    QVERIFY(!second.claim());
    QVERIFY(raised.wait(5000));
    QCOMPARE(raised.count(), 1);

    // A socket that cannot be created: nobody else runs, so the program must
    // start (not exit as if it had handed over).
    SingleInstance unguarded("/nonexistent-telvane-dir/instance");
    QVERIFY(unguarded.claim());
}

void UiTest::splashGrows()
{
    SplashWindow s;
    s.show();
    // It opens at 1/25 of the bitmap, centred, and grows to the whole bitmap.
    QCOMPARE(s.size(), s.fullSize() / 25);
    const QPoint centre = s.geometry().center();
    QTRY_COMPARE_WITH_TIMEOUT(s.size(), s.fullSize(), 5000);
    QVERIFY((s.geometry().center() - centre).manhattanLength() <= 2);
    QCOMPARE(s.step(), 25);
    // Then it closes itself.
    QTRY_VERIFY_WITH_TIMEOUT(!s.isVisible(), 10000);
    QCOMPARE(s.result(), int(QDialog::Accepted));
}

void UiTest::demoCable()
{
    QTemporaryDir dir;
    QVERIFY(WriteFakeSysfs(dir.path(), 1));
    QCOMPARE(shell::DetectCable(dir.path().toStdString()), std::string("COM1"));
    QTemporaryDir dir3;
    QVERIFY(WriteFakeSysfs(dir3.path(), 3));
    QCOMPARE(shell::DetectCable(dir3.path().toStdString()), std::string("COM3"));
}

void UiTest::programExitCodes()
{
    struct Row {
        const char* bundle;  // nullptr: the built one
        QStringList args;
        int code;
        const char* stderrHas;
        const char* language = "en";
    };
    QTemporaryDir dir;
    const QString damaged = dir.path() + "/Resource.rcc";
    {
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'z'));
    }
    const QByteArray damagedPath = damaged.toLocal8Bit();
    const Row rows[] = {
        {"/nonexistent/Resource.rcc", {}, 3, "not found"}, {"/nonexistent/Resource.rcc", {}, 3, "未找到资源包", "zh"},
        {damagedPath.constData(), {}, 3, "damaged"},       {damagedPath.constData(), {}, 3, "已损坏", "zh"},
        {TELVANE_STALE_BUNDLE, {}, 3, "another version"},  // well formed, but lacks the menus and dialogs
        {nullptr, {"--bogus"}, 2, "unknown option"},
    };
    for (const Row& r : rows) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TELVANE_RESOURCE_BUNDLE", r.bundle ? QString::fromLocal8Bit(r.bundle) : TELVANE_TEST_BUNDLE);
        env.insert("TELVANE_LANGUAGE", r.language);
        p.setProcessEnvironment(env);
        p.start(TELVANE_MOBILE_PROGRAM, r.args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), r.code);
        QVERIFY2(QString::fromUtf8(p.readAllStandardError()).contains(QString::fromUtf8(r.stderrHas)), r.stderrHas);
    }

    // A second start hands over to the running one and exits at once.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TELVANE_RESOURCE_BUNDLE", TELVANE_TEST_BUNDLE);
    // The instance socket lives in the test's directory, not in /tmp.
    env.insert("TELVANE_INSTANCE_NAME", dir.path() + "/instance");
    env.insert("TELVANE_HOME", dir.path() + "/home");
    env.insert("TELVANE_SYSFS_ROOT", dir.path() + "/no-sysfs");
    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(TELVANE_MOBILE_PROGRAM, {"--no-splash"});
    QVERIFY(first.waitForStarted());
    // The first one is up once its socket answers.
    const QString name = env.value("TELVANE_INSTANCE_NAME");
    const auto listening = [&name] {
        QLocalSocket s;
        s.connectToServer(name);
        return s.waitForConnected(200);
    };
    QTRY_VERIFY_WITH_TIMEOUT(listening(), 20000);
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(TELVANE_MOBILE_PROGRAM, {"--no-splash"});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

QTEST_MAIN(UiTest)
#include "ui_test.moc"

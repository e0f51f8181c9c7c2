// Connection flows (dialog loop, connect command, link loss, page rules,
// shutdown) with a scripted user and a scripted worker thread.

#include "mobile/shell/core/batch_loop.h"
#include "mobile/shell/core/connection.h"
#include "support/fake_worker.h"

#include <QtTest>

#include <deque>

using namespace shell;
using shelltest::FakeWorker;
using shelltest::Reply;
using shelltest::SeenRequest;

namespace {

// The user: answers the connection dialog from a list (nothing left: Cancel).
class ScriptedUi final : public ConnectionUi {
public:
    ScriptedUi(ConnectionState& st, std::function<plat::ThreadId()> worker) : st_(st), worker_(std::move(worker)) { }

    std::deque<std::optional<int>> choices;
    bool askAnswer = true;
    std::vector<int> dialogInitials;
    std::vector<int> messages;
    std::vector<int> statusTexts;
    std::vector<int> pages;
    std::vector<int> asked;
    std::vector<std::string> texts;
    int batches = 0;
    bool closed = false;
    bool phoneConnected = false;
    bool mp3Connected = false;
    bool gone = false;

    std::function<void()> whileDialogShown;  // e.g. the worker's link-lost notice arriving

    std::optional<int> chooseMode(int initial) override
    {
        dialogInitials.push_back(initial);
        if (auto f = std::exchange(whileDialogShown, {}))
            f();
        if (choices.empty())
            return std::nullopt;
        auto c = choices.front();
        choices.pop_front();
        return c;
    }
    void message(int id, Icon) override { messages.push_back(id); }
    void portPermissionDenied(const std::string& device) override { texts.push_back(device); }
    bool ask(int id) override
    {
        asked.push_back(id);
        return askAnswer;
    }
    bool askDialog(int id) override
    {
        asked.push_back(id);
        return askAnswer;
    }
    int runBatch(BatchPlan plan) override
    {
        ++batches;
        ThreadBatchOptions opt;
        opt.worker = worker_();
        opt.phoneMode = st_.phoneMode;
        ThreadBatchRunner runner(opt, std::move(plan.effects));
        runner.batch().setBatch(std::move(plan.steps));
        runner.batch().setStepCount(plan.stepCount);
        runner.batch().setShowCancelOnHandshake(plan.showCancelOnHandshake);
        return runner.run();
    }
    void setStatusText(int id) override { statusTexts.push_back(id); }
    void closeMainWindow() override { closed = true; }
    void showPage(int command) override { pages.push_back(command); }
    void phoneModeConnected() override { phoneConnected = true; }
    void mp3ModeConnected() override { mp3Connected = true; }
    void phoneGone() override { gone = true; }

private:
    ConnectionState& st_;
    std::function<plat::ThreadId()> worker_;
};

// A phone that answers the scan (or not) and serves the index files.
FakeWorker::Script Phone(bool answers, bool indexFails = false, bool handshakeWorks = false)
{
    return [=](const SeenRequest& s) -> std::vector<Reply> {
        switch (s.code) {
        case REQ_SCAN_AND_CONNECT: return {Reply::Progress(2, 1, 8), Reply::Progress(1, answers ? 1 : 0, 0x05)};
        case REQ_DOWNLOAD:
            if (indexFails && s.second.ends_with("cam.idx"))
                return {Reply::Text(0, "", 53)};
            return {Reply::Progress(2, 10, 20), Reply::Text(1, "")};
        case REQ_PRIVACY_LOCK: return {Reply::Progress(2, 1, 0), Reply::Text(1, "")};
        default:
            if (s.code >= REQ_BRIDGE_FIRST && s.code <= REQ_BRIDGE_LAST)
                return {Reply::Text(handshakeWorks ? 1 : 0, "")};
            return {Reply::Text(1, "OK")};
        }
    };
}

struct Rig {
    explicit Rig(FakeWorker::Script script, std::string cable = "COM3")
        : worker(std::move(script)), ui(st, [this] { return worker.threadId(); })
    {
        ConnectionEnv env;
        env.guiThread = plat::CurrentThreadId();
        env.workerThread = [this] { return worker.threadId(); };
        env.detectCable = [this] { return cableResult; };
        env.phoneFileName = [](std::string_view name) { return "<" + std::string(name) + ">"; };
        env.portAccessError = [this](int port) {
            lastPortChecked = port;
            return accessError;
        };
        env.programDirectory = "/home/u/.local/share/telvane/";
        cableResult = std::move(cable);
        controller = std::make_unique<ConnectionController>(st, ui, env);
    }
    // The worker's requests once it has handled everything sent so far.
    std::vector<int32_t> codes()
    {
        worker.stop();
        return worker.seenCodes();
    }

    ConnectionState st;
    FakeWorker worker;
    ScriptedUi ui;
    std::string cableResult;
    int accessError = 0;
    int lastPortChecked = 0;
    std::unique_ptr<ConnectionController> controller;
};

}  // namespace

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void failedAttempts_data();
    void failedAttempts();
    void phoneModeConnects();
    void indexBatchFailure();
    void mp3HandshakeFailsUntilBridgeExists();
    void mp3HandshakeSuccess();
    void permissionDenied();
    void linkLost_data();
    void linkLost();
    void endingConnectionThroughConnectCommand();
    void pageRules();
    void shutdownStopsWorker();
};

void ConnectionTest::failedAttempts_data()
{
    QTest::addColumn<QString>("cable");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<int>("mode");
    QTest::addColumn<std::vector<int>>("messages");
    QTest::addColumn<std::vector<int32_t>>("codes");
    QTest::newRow("no cable") << "ERROR_NON" << true << kModePhone << std::vector<int>{57990} << std::vector<int32_t>{};
    QTest::newRow("two cables") << "ERROR_TOO_MANY" << true << kModePhone << std::vector<int>{57991}
                                << std::vector<int32_t>{};
    QTest::newRow("cable without port") << "" << true << kModePhone << std::vector<int>{57990}
                                        << std::vector<int32_t>{};
    QTest::newRow("no phone answering in phone mode")
        << "COM3" << false << kModePhone << std::vector<int>{57989} << std::vector<int32_t>{222, 95};
    QTest::newRow("phone answering while MP3 mode chosen")
        << "COM3" << true << kModeMp3 << std::vector<int>{57987, 57988} << std::vector<int32_t>{222, 95};
    QTest::newRow("no cable in MP3 mode: no scan, no mismatch message")
        << "ERROR_NON" << false << kModeMp3 << std::vector<int>{57987, 57990} << std::vector<int32_t>{};
}

void ConnectionTest::failedAttempts()
{
    QFETCH(QString, cable);
    QFETCH(bool, answers);
    QFETCH(int, mode);
    QFETCH(std::vector<int>, messages);
    QFETCH(std::vector<int32_t>, codes);
    Rig rig(Phone(answers), cable.toStdString());
    rig.ui.choices = {mode};  // then Cancel on the dialog shown again
    QVERIFY(!rig.controller->connectionDialogLoop(kModeMp3));
    QCOMPARE(rig.ui.messages, messages);
    QCOMPARE(rig.ui.dialogInitials, (std::vector<int>{kModeMp3, mode}));  // shown again with the last choice
    QVERIFY(rig.ui.closed);
    QVERIFY(!rig.st.connected());
    QCOMPARE(rig.codes(), codes);
}

void ConnectionTest::phoneModeConnects()
{
    Rig rig(Phone(true));
    rig.ui.choices = {kModePhone};
    QVERIFY(rig.controller->connectionDialogLoop(kModeMp3));
    QVERIFY(rig.st.phoneMode);
    QVERIFY(!rig.st.mp3Mode);
    QVERIFY(rig.st.phoneAnswered);
    QCOMPARE(rig.st.openablePorts, uint8_t(0x05));
    QVERIFY(rig.st.picturesLocked);
    QVERIFY(!rig.st.messagesLocked);
    QVERIFY(rig.ui.phoneConnected);
    QCOMPARE(rig.ui.statusTexts, std::vector<int>{57666});
    QVERIFY(rig.ui.messages.empty());
    QVERIFY(!rig.ui.closed);
    QCOMPARE(rig.codes(), (std::vector<int32_t>{222, 95, 204, 95, 201, 201, 201, 201, 201, 201, 201, 219, 95}));
    std::vector<std::pair<std::string, std::string>> files;
    std::string scanArgument;
    for (const auto& s : rig.worker.seen()) {
        if (s.code == REQ_DOWNLOAD)
            files.emplace_back(s.first, s.second);
        if (s.code == REQ_SCAN_AND_CONNECT)
            scanArgument = std::to_string(s.argument);
    }
    QCOMPARE(scanArgument, std::string("3"));
    const std::string dir = "/home/u/.local/share/telvane/";
    const std::vector<std::pair<std::string, std::string>> expected{
        {"/app/jpeg/<index>", dir + "jpeg.idx"},        {"/app/midi/<index>", dir + "midi.idx"},
        {"/app/camera/cam.idx", dir + "cam.idx"},       {"/app/wp/imgIndex.txt", dir + "WapImg.idx"},
        {"/app/mms/imgIndex.txt", dir + "MMSImg.idx"},  {"/app/wp/audIndex.txt", dir + "WapAudi.idx"},
        {"/app/mms/audIndex.txt", dir + "MMSAudi.idx"},
    };
    QCOMPARE(files, expected);
}

void ConnectionTest::indexBatchFailure()
{
    Rig rig(Phone(true, /*indexFails=*/true));
    rig.ui.choices = {kModePhone};
    QVERIFY(!rig.controller->connectionDialogLoop(kModeMp3));
    QCOMPARE(rig.ui.messages, std::vector<int>{57697});
    QCOMPARE(rig.ui.statusTexts, std::vector<int>{57667});
    QVERIFY(rig.st.disconnectRequested);
    QVERIFY(!rig.st.phoneMode);
    const auto codes = rig.codes();
    // The downloads after the failed one are never sent; the link is closed with 89.
    QCOMPARE(std::count(codes.begin(), codes.end(), REQ_DOWNLOAD), 3);
    QCOMPARE(codes.back(), REQ_DISCONNECT);
}

void ConnectionTest::mp3HandshakeFailsUntilBridgeExists()
{
    Rig rig(Phone(false));
    rig.ui.choices = {kModeMp3};
    QVERIFY(!rig.controller->connectionDialogLoop(kModeMp3));
    QCOMPARE(rig.ui.messages, (std::vector<int>{57987, 57947}));
    QVERIFY(!rig.st.mp3Mode);
    QCOMPARE(rig.codes(), (std::vector<int32_t>{222, 95, 223, 95}));
    QCOMPARE(rig.worker.seen()[2].argument, 3u);
}

void ConnectionTest::mp3HandshakeSuccess()
{
    Rig rig(Phone(false, false, /*handshakeWorks=*/true));
    rig.ui.choices = {kModeMp3};
    QVERIFY(rig.controller->connectionDialogLoop(kModeMp3));
    QVERIFY(rig.st.mp3Mode);
    QVERIFY(!rig.st.phoneMode);
    QVERIFY(rig.ui.mp3Connected);
    QCOMPARE(rig.ui.statusTexts, std::vector<int>{57936});
    QCOMPARE(rig.codes(), (std::vector<int32_t>{222, 95, 223, 224, 225, 226, 95}));
}

void ConnectionTest::permissionDenied()
{
    Rig rig(Phone(true), "COM2");
    rig.accessError = EACCES;
    rig.ui.choices = {kModePhone, std::nullopt, kModePhone};
    QVERIFY(!rig.controller->connectionDialogLoop(kModePhone));
    QCOMPARE(rig.lastPortChecked, 2);
    qputenv("TELVANE_SERIAL_DIR", "/tmp/serial");
    QVERIFY(!rig.controller->connectionDialogLoop(kModePhone));
    qunsetenv("TELVANE_SERIAL_DIR");
    QCOMPARE(rig.ui.texts, (std::vector<std::string>{"/dev/ttyUSB1", "/tmp/serial/COM2"}));
    QVERIFY(rig.ui.messages.empty());  // no "no phone answered" for a scan that never ran
    QCOMPARE(rig.codes(), std::vector<int32_t>{});
}

void ConnectionTest::linkLost_data()
{
    QTest::addColumn<bool>("requested");
    QTest::addColumn<bool>("mp3");
    QTest::newRow("phone switched off") << false << false;
    QTest::newRow("after user disconnect") << true << false;
    QTest::newRow("MP3 mode lost") << false << true;
}

void ConnectionTest::linkLost()
{
    QFETCH(bool, requested);
    QFETCH(bool, mp3);
    Rig rig(Phone(true));
    (mp3 ? rig.st.mp3Mode : rig.st.phoneMode) = true;
    if (requested)
        (mp3 ? rig.controller->endMp3Mode() : rig.controller->disconnectPhone());
    rig.controller->linkLost();
    QVERIFY(!rig.st.connected());
    QVERIFY(rig.ui.gone);
    QCOMPARE(rig.ui.statusTexts, std::vector<int>{57667});
    QCOMPARE(rig.ui.dialogInitials, requested ? std::vector<int>{} : std::vector<int>{kModeMp3});
    QCOMPARE(rig.ui.closed, !requested);  // the reopened dialog was cancelled
    if (requested)
        QCOMPARE(rig.codes(), std::vector<int32_t>{mp3 ? REQ_SILENT_TIMEOUT : REQ_DISCONNECT});
}

void ConnectionTest::endingConnectionThroughConnectCommand()
{
    Rig rig(Phone(true));
    rig.st.mp3Mode = true;
    rig.ui.choices = {};  // the dialog that follows is cancelled
    rig.controller->connectCommand(kModePhone);
    QCOMPARE(rig.ui.asked, std::vector<int>{57992});
    QVERIFY(!rig.st.mp3Mode);
    QCOMPARE(rig.ui.pages, std::vector<int>{kCmdPictures});
    QCOMPARE(rig.ui.dialogInitials, std::vector<int>{kModeMp3});
    QVERIFY(!rig.st.disconnectRequested);
    QCOMPARE(rig.codes(), std::vector<int32_t>{REQ_SILENT_TIMEOUT});

    Rig cancelled(Phone(true));
    cancelled.st.phoneMode = true;
    cancelled.ui.askAnswer = false;
    cancelled.controller->connectCommand(kModePhone);
    QVERIFY(cancelled.st.phoneMode);
    QCOMPARE(cancelled.codes(), std::vector<int32_t>{});
}

void ConnectionTest::pageRules()
{
    {  // MP3 mode, phonebook chosen, Cancel: the MP3 list stays.
        Rig rig(Phone(true));
        rig.controller->showPageDirect(kCmdMp3Ringtones);
        rig.st.mp3Mode = true;
        rig.ui.askAnswer = false;
        rig.controller->switchPage(kCmdPhonebook);
        QCOMPARE(rig.ui.asked, std::vector<int>{258});
        QCOMPARE(rig.st.currentCommand, kCmdMp3Ringtones);
        QCOMPARE(rig.codes(), std::vector<int32_t>{});
    }
    {  // Phone mode, MP3 form chosen, OK: disconnect, dialog with phone mode preselected.
        Rig rig(Phone(true));
        rig.controller->showPageDirect(kCmdPictures);
        rig.st.phoneMode = true;
        // Request 89's link-lost notice arrives while the dialog is up; it
        // opens no second dialog.
        rig.ui.whileDialogShown = [&rig] { rig.controller->linkLost(); };
        rig.controller->switchPage(kCmdMp3Ringtones);
        QCOMPARE(rig.ui.asked, std::vector<int>{257});
        QCOMPARE(rig.st.currentCommand, kCmdMp3Ringtones);
        QCOMPARE(rig.ui.dialogInitials, std::vector<int>{kModePhone});
        QCOMPARE(rig.codes(), std::vector<int32_t>{REQ_DISCONNECT});
    }
    {  // Not connected: a plain switch; the same page again does nothing.
        Rig rig(Phone(true));
        rig.controller->switchPage(kCmdVideo);
        rig.controller->switchPage(kCmdVideo);
        QCOMPARE(rig.ui.pages, std::vector<int>{kCmdVideo});
        QCOMPARE(rig.st.currentPage, 5);
        QVERIFY(rig.ui.asked.empty());
    }
}

void ConnectionTest::shutdownStopsWorker()
{
    auto owned = std::make_unique<FakeWorker>(FakeWorker::Script{});
    FakeWorker* raw = owned.get();
    const plat::ThreadId id = raw->threadId();
    std::unique_ptr<LinkThread> thread = std::move(owned);
    QVERIFY(thread->isRunning());
    StopLinkThread(thread);
    QVERIFY(!thread);
    // The worker's queue is closed: nothing can be posted to it any more.
    QVERIFY(!plat::PostThreadMessage(id, WM_LINK_REQUEST, 0, 0));
}

QTEST_GUILESS_MAIN(ConnectionTest)
#include "connection_test.moc"

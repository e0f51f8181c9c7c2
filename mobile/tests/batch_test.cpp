// The transfer batch against a scripted worker thread, through the real
// thread queues and window handles.

#include "mobile/shell/core/batch_loop.h"
#include "mobile/shell/core/status_text.h"
#include "support/fake_worker.h"

#include <QtTest>

using namespace shell;
using shelltest::FakeWorker;
using shelltest::Reply;
using shelltest::SeenRequest;

namespace {

struct Observed {
    std::vector<std::string> percents;
    std::vector<int> errors;
    std::vector<std::string> statuses;
};

ThreadBatchOptions Options(const FakeWorker& w, Observed& o, bool phoneMode = false)
{
    ThreadBatchOptions opt;
    opt.worker = w.threadId();
    opt.mainWindow = 0;  // the closing MASKCALL's record is dropped and freed by the worker
    opt.phoneMode = phoneMode;
    opt.text = [](int id) { return "#" + std::to_string(id); };
    opt.onProgress = [&o](int, const std::string& p) { o.percents.push_back(p); };
    opt.onError = [&o](int id) { o.errors.push_back(id); };
    opt.onStatus = [&o](const std::string& s) { o.statuses.push_back(s); };
    return opt;
}

BatchStep Download(std::string phone, std::string local = "/tmp/x")
{
    return BatchStep::Request(REQ_DOWNLOAD, NewRequest(plat::CurrentThreadId(), {}, NewTransferBlock(phone, local)));
}

std::vector<std::string> PhoneFiles(const FakeWorker& w)
{
    std::vector<std::string> names;
    for (const SeenRequest& s : w.seen()) {
        if (s.code == REQ_DOWNLOAD)
            names.push_back(s.first);
    }
    return names;
}

// True when the block a discarded request owned has been freed (taking it finds nothing).
bool BlockFreed(uint32_t handle)
{
    void* p = plat::TakeBlock(handle);
    std::free(p);
    return p == nullptr;
}

}  // namespace

class BatchTest : public QObject {
    Q_OBJECT
private slots:
    void percentOfOneStep();
    void percentAddsStepsDone();
    void maskCallBracketing_data();
    void maskCallBracketing();
    void callbackReplacesRest();
    void callbackStopping();
    void failureEndsBatch_data();
    void failureEndsBatch();
    void listLinesCollectedOnce();
    void longCommandCountsAsWhole();
    void emptyBatchAndLostWorker();
    void lateRecordsIgnored();
    void statusTextShortening_data();
    void statusTextShortening();
};

void BatchTest::percentOfOneStep()
{
    FakeWorker w([](const SeenRequest& s) -> std::vector<Reply> {
        if (s.code == REQ_DOWNLOAD)
            return {Reply::Progress(2, 3, 8), Reply::Text(1, "")};
        return {Reply::Text(1, "OK")};
    });
    Observed o;
    ThreadBatchRunner runner(Options(w, o));
    std::vector<BatchStep> steps;
    steps.push_back(Download("/app/a"));
    runner.batch().setBatch(std::move(steps));
    QCOMPARE(runner.run(), kBatchOk);
    QCOMPARE(runner.batch().position(), 37);
    QCOMPARE(o.percents, std::vector<std::string>{"37%"});
}

void BatchTest::percentAddsStepsDone()
{
    int downloads = 0;
    FakeWorker w([&downloads](const SeenRequest& s) -> std::vector<Reply> {
        if (s.code != REQ_DOWNLOAD)
            return {Reply::Text(1, "OK")};
        if (++downloads == 5)
            return {Reply::Progress(2, 50, 100), Reply::Text(1, "")};
        return {Reply::Text(1, "")};
    });
    Observed o;
    ThreadBatchRunner runner(Options(w, o));
    std::vector<BatchStep> steps;
    for (int i = 0; i < 5; ++i)
        steps.push_back(Download("/app/f" + std::to_string(i)));
    runner.batch().setBatch(std::move(steps));
    runner.batch().setStepCount(10);
    QCOMPARE(runner.run(), kBatchOk);
    QCOMPARE(o.percents, std::vector<std::string>{"45%"});
    QCOMPARE(runner.batch().stepsDone(), 5);
}

void BatchTest::maskCallBracketing_data()
{
    QTest::addColumn<bool>("phoneMode");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("not connected: only the closing command") << false << QStringList{"201:", "95:AT*MASKCALL=0\r"};
    QTest::newRow("phone mode: both") << true << QStringList{"95:AT*MASKCALL=1\r", "201:", "95:AT*MASKCALL=0\r"};
}

void BatchTest::maskCallBracketing()
{
    QFETCH(bool, phoneMode);
    QFETCH(QStringList, expected);
    FakeWorker w([](const SeenRequest&) { return std::vector<Reply>{Reply::Text(1, "OK")}; });
    Observed o;
    ThreadBatchRunner runner(Options(w, o, phoneMode));
    std::vector<BatchStep> steps;
    steps.push_back(Download("/app/a"));
    runner.batch().setBatch(std::move(steps));
    QCOMPARE(runner.run(), kBatchOk);
    // The closing command may still be on its way to the worker: stop it and read what it saw.
    w.stop();
    QStringList got;
    for (const auto& s : w.seen())
        got << QString::number(s.code) + ":" + QString::fromStdString(s.text);
    QCOMPARE(got, expected);
    // The opening command answers to the batch window; the closing one to the main window.
    const auto seen = w.seen();
    if (phoneMode)
        QCOMPARE(seen.front().window, runner.window());
    QCOMPARE(seen.back().window, 0u);
}

void BatchTest::callbackReplacesRest()
{
    FakeWorker w([](const SeenRequest&) { return std::vector<Reply>{Reply::Text(1, "")}; });
    Observed o;
    ThreadBatchRunner runner(Options(w, o));
    const uint32_t skipped = NewTransferBlock("/app/b", "/tmp/b");
    std::vector<BatchStep> steps;
    steps.push_back(Download("/app/a"));
    steps.push_back(BatchStep::Callback([](TransferBatch& b) {
        std::vector<BatchStep> next;
        next.push_back(Download("/app/c"));
        next.push_back(Download("/app/d"));
        b.setBatch(std::move(next));
        b.setStepCount(2);
        return true;
    }));
    steps.push_back(BatchStep::Request(REQ_DOWNLOAD, NewRequest(plat::CurrentThreadId(), {}, skipped)));
    runner.batch().setBatch(std::move(steps));
    QCOMPARE(runner.run(), kBatchOk);
    QCOMPARE(PhoneFiles(w), (std::vector<std::string>{"/app/a", "/app/c", "/app/d"}));
    QVERIFY(BlockFreed(skipped));
}

void BatchTest::callbackStopping()
{
    FakeWorker w([](const SeenRequest&) { return std::vector<Reply>{Reply::Text(1, "")}; });
    Observed o;
    ThreadBatchRunner runner(Options(w, o));
    const uint32_t after = NewTransferBlock("/app/b", "/tmp/b");
    std::vector<BatchStep> steps;
    steps.push_back(Download("/app/a"));
    steps.push_back(BatchStep::Callback([](TransferBatch&) { return false; }));
    steps.push_back(BatchStep::Request(REQ_DOWNLOAD, NewRequest(plat::CurrentThreadId(), {}, after)));
    runner.batch().setBatch(std::move(steps));
    QCOMPARE(runner.run(), kBatchCancel);
    QCOMPARE(PhoneFiles(w), std::vector<std::string>{"/app/a"});
    QVERIFY(BlockFreed(after));
}

void BatchTest::failureEndsBatch_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("message");
    QTest::newRow("disk full") << 57 << 57912;
    QTest::newRow("write failed") << 56 << 57913;
    QTest::newRow("time-out: no message here") << 53 << 0;
}

void BatchTest::failureEndsBatch()
{
    QFETCH(int, code);
    QFETCH(int, message);
    FakeWorker w([code](const SeenRequest& s) -> std::vector<Reply> {
        if (s.first == "/app/a")
            return {Reply::Progress(2, 1, 4), Reply::Text(0, "", code)};
        return {Reply::Text(1, "")};
    });
    Observed o;
    ThreadBatchRunner runner(Options(w, o));
    const uint32_t b = NewTransferBlock("/app/b", "/tmp/b");
    const uint32_t c = NewTransferBlock("/app/c", "/tmp/c");
    std::vector<BatchStep> steps;
    steps.push_back(Download("/app/a"));
    steps.push_back(BatchStep::Request(REQ_DOWNLOAD, NewRequest(plat::CurrentThreadId(), {}, b)));
    steps.push_back(BatchStep::Request(REQ_DOWNLOAD, NewRequest(plat::CurrentThreadId(), {}, c)));
    runner.batch().setBatch(std::move(steps));
    QCOMPARE(runner.run(), kBatchCancel);
    QCOMPARE(PhoneFiles(w), std::vector<std::string>{"/app/a"});
    QCOMPARE(runner.batch().remaining(), size_t(0));
    QVERIFY(BlockFreed(b));
    QVERIFY(BlockFreed(c));
    QCOMPARE(o.errors, message ? std::vector<int>{message} : std::vector<int>{});
}

void BatchTest::listLinesCollectedOnce()
{
    FakeWorker w([](const SeenRequest&) {
        return std::vector<Reply>{Reply::Text(2, "*LIST:/app/jpeg"), Reply::Text(2, "0,pic1.jpg,1024"),
                                  Reply::Text(2, "0,pic1.jpg,1024"), Reply::Text(2, "1,thumbs,0"),
                                  Reply::Text(2, "0,pic2.jpg,2048"), Reply::Text(1, "OK")};
    });
    Observed o;
    ThreadBatchRunner runner(Options(w, o));
    std::vector<BatchStep> steps;
    steps.push_back(BatchStep::Request(REQ_RAW_LIST, NewRequest(plat::CurrentThreadId(), "AT*LIST=/app/jpeg\r")));
    runner.batch().setBatch(std::move(steps));
    runner.batch().setStepCount(2);
    QCOMPARE(runner.run(), kBatchOk);
    QCOMPARE(runner.batch().collectedPaths(), (std::vector<std::string>{"/app/jpeg/pic1.jpg", "/app/jpeg/pic2.jpg"}));
    // A finished listing counts as one step of two.
    QCOMPARE(o.percents, std::vector<std::string>{"50%"});
}

void BatchTest::longCommandCountsAsWhole()
{
    FakeWorker w([](const SeenRequest&) { return std::vector<Reply>{Reply::Text(1, "OK")}; });
    Observed o;
    ThreadBatchRunner runner(Options(w, o));
    std::vector<BatchStep> steps;
    steps.push_back(BatchStep::Request(REQ_LONG_COMMAND, NewRequest(plat::CurrentThreadId(), "AT*SYPH\r")));
    runner.batch().setBatch(std::move(steps));
    QCOMPARE(runner.run(), kBatchOk);
    QCOMPARE(o.percents, std::vector<std::string>{"100%"});
}

void BatchTest::emptyBatchAndLostWorker()
{
    {
        FakeWorker w({});
        Observed o;
        ThreadBatchRunner runner(Options(w, o));
        QCOMPARE(runner.run(), kBatchOk);
    }
    // A worker that has ended never answers: the batch must end, not wait forever.
    plat::ThreadId gone = 0;
    {
        FakeWorker w({});
        gone = w.threadId();
    }
    Observed o;
    ThreadBatchOptions opt;
    opt.worker = gone;
    ThreadBatchRunner runner(opt);
    const uint32_t block = NewTransferBlock("/app/a", "/tmp/a");
    std::vector<BatchStep> steps;
    steps.push_back(BatchStep::Request(REQ_DOWNLOAD, NewRequest(plat::CurrentThreadId(), {}, block)));
    runner.batch().setBatch(std::move(steps));
    QCOMPARE(runner.run(), kBatchCancel);
    QVERIFY(BlockFreed(block));
}

void BatchTest::lateRecordsIgnored()
{
    // The first batch ends at its first record; the worker's further
    // records for it must not be taken as answers of the second batch.
    FakeWorker w([](const SeenRequest& s) -> std::vector<Reply> {
        if (s.first == "/app/first")
            return {Reply::Text(0, ""), Reply::Text(1, ""), Reply::Text(1, "")};
        if (s.first == "/app/second")
            return {Reply::Progress(2, 1, 2), Reply::Text(1, "")};
        return {Reply::Text(1, "OK")};
    });
    Observed o1, o2;
    {
        ThreadBatchRunner first(Options(w, o1));
        std::vector<BatchStep> steps;
        steps.push_back(Download("/app/first"));
        first.batch().setBatch(std::move(steps));
        QCOMPARE(first.run(), kBatchCancel);
    }
    ThreadBatchRunner second(Options(w, o2));
    std::vector<BatchStep> steps;
    steps.push_back(Download("/app/second"));
    second.batch().setBatch(std::move(steps));
    QCOMPARE(second.run(), kBatchOk);
    QCOMPARE(o2.percents, std::vector<std::string>{"50%"});
}

void BatchTest::statusTextShortening_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString head50(50, QChar('a'));
    QTest::newRow("no colon") << "Backing up (photo.jpg)"
                              << "Backing up (photo.jpg)";
    QTest::newRow("colon early") << "Restoring: a file name that is long enough to pass 45"
                                 << "Restoring: a file name that is long enough to pass 45";
    QTest::newRow("colon at 45 stays") << QString(45, QChar('b')) + ": 1/2" << QString(45, QChar('b')) + ": 1/2";
    QTest::newRow("colon at 50 cut") << head50 + ": 12/40)" << QString(37, QChar('a')) + " : 12/40)";
    QTest::newRow("tail longer than 45") << head50 + ":" + QString(50, QChar('x')) << " :" + QString(50, QChar('x'));
    QTest::newRow("characters, not bytes") << QString(48, QChar(0x56FE)) + ":ab" << QString(42, QChar(0x56FE)) + " :ab";
}

void BatchTest::statusTextShortening()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(ShortenStatusText(input.toStdString())), expected);
}

QTEST_GUILESS_MAIN(BatchTest)
#include "batch_test.moc"

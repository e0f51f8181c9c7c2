// The worker thread and its main loop over a fake port, with the program
// clock sped up so that the 6 s and 10 s time-outs pass in a blink.

#include "quorlink/link/comm_thread.h"
#include "quorlink/link/phone_link.h"
#include "support/fake_port.h"
#include "support/result_sink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

using namespace quorlink::link;
using linktest::FakeDevice;
using linktest::FakePort;
using linktest::NewRequest;
using linktest::Posted;
using linktest::ResultSink;

constexpr double kClockScale = 50.0;
const std::string kProbe = "AT*CONNECT\r";

void AnswerLikeAPhone(FakeDevice& d)
{
    d.Answer(kProbe, "AT*CONNECT\r\r\nOK\r\n");  // echo is still on at first
    d.Answer("ATE0\r", "ATE0\r\r\nOK\r\n");
    for (const char* c : {"AT+CMGF=0\r", "AT+CSMP=,,,8\r", "AT+CSCS=\"GSM\"\r", "AT+CSDH=1\r", "AT+CNMI=2,2,0,0\r"})
        d.Answer(c, "\r\nOK\r\n");
}

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetClockScaleForTesting(kClockScale);
        device = std::make_shared<FakeDevice>();
    }
    void TearDown() override
    {
        if (worker) {
            plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0);
            EXPECT_TRUE(worker->WaitForEnd(120000));
            worker.reset();
        }
        plat::SetClockScaleForTesting(1.0);
    }

    void Start()
    {
        worker = CommThread::Start(LinkTarget{plat::CurrentThreadId(), sink.window()},
                                   std::make_unique<FakePort>(device), "");
    }

    void Post(int32_t code, const std::string& text, uint32_t argument = 0)
    {
        ASSERT_TRUE(plat::PostThreadMessage(worker->threadId(), WM_LINK_REQUEST, static_cast<uintptr_t>(code),
                                            reinterpret_cast<intptr_t>(NewRequest(text, sink.window(), argument))));
    }

    std::vector<Posted> ResultsFor(uint32_t code) const
    {
        std::vector<Posted> out;
        for (const auto& p : sink.Results())
            if (p.wParam == code)
                out.push_back(p);
        return out;
    }

    // Scan and connect; the phone is on the given port.
    void Connect(int port)
    {
        device->SetPresent({port});
        AnswerLikeAPhone(*device);
        Start();
        Post(REQ_SCAN_AND_CONNECT, "");
        ASSERT_TRUE(sink.WaitForFinal(REQ_SCAN_AND_CONNECT));
        ASSERT_EQ(ResultsFor(REQ_SCAN_AND_CONNECT).back().status, LINK_SUCCEEDED);
        ASSERT_EQ(ResultsFor(REQ_SCAN_AND_CONNECT).back().current, 1);
    }

    ResultSink sink;
    std::shared_ptr<FakeDevice> device;
    std::unique_ptr<CommThread> worker;
};

TEST_F(WorkerTest, ScanFindsThePhoneSwitchesEchoOffAndInitialises)
{
    device->SetPresent({3});
    AnswerLikeAPhone(*device);
    Start();
    Post(REQ_SCAN_AND_CONNECT, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_SCAN_AND_CONNECT));
    const auto got = ResultsFor(REQ_SCAN_AND_CONNECT);
    const struct {
        int32_t status, current, total;
    } expected[] = {{2, 1, 8}, {2, 2, 8}, {2, 8, 8}, {1, 1, 0b100}};
    ASSERT_EQ(got.size(), std::size(expected));
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].status, expected[i].status) << i;
        EXPECT_EQ(got[i].code, 0) << i;
        EXPECT_EQ(got[i].current, expected[i].current) << i;
        EXPECT_EQ(got[i].total, expected[i].total) << i;
    }
    const auto written = device->Written();
    const std::vector<std::string> connect = {"\x1b",           kProbe,
                                              "ATE0\r",         "AT+CMGF=0\r",
                                              "AT+CSMP=,,,8\r", "AT+CSCS=\"GSM\"\r",
                                              "AT+CSDH=1\r",    "AT+CNMI=2,2,0,0\r"};
    ASSERT_GE(written.size(), connect.size());
    EXPECT_EQ(std::vector<std::string>(written.begin(), written.begin() + connect.size()), connect);
    EXPECT_EQ(device->purges(), 1);
    EXPECT_EQ(device->openPort(), 3);
}

TEST_F(WorkerTest, ScanWithoutAPhoneReportsThePortMask)
{
    device->SetPresent({2, 5});  // open, but silent
    Start();
    Post(REQ_SCAN_AND_CONNECT, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_SCAN_AND_CONNECT, 60000));
    const auto got = ResultsFor(REQ_SCAN_AND_CONNECT);
    std::vector<int32_t> progress;
    for (const auto& p : got)
        if (p.status == LINK_INTERMEDIATE)
            progress.push_back(p.current);
    // Absent ports once, silent ports after each of their two attempts.
    EXPECT_EQ(progress, (std::vector<int32_t>{1, 2, 2, 3, 4, 5, 5, 6, 7, 8}));
    EXPECT_EQ(got.back().status, LINK_SUCCEEDED);
    EXPECT_EQ(got.back().current, 0);
    EXPECT_EQ(got.back().total, 0b10010);
    EXPECT_EQ(device->CountWritten(kProbe), 4u);
    EXPECT_EQ(device->openPort(), 0);
}

TEST_F(WorkerTest, FailedInitialisationClosesWithOneFailureRecord)
{
    device->SetPresent({1});
    AnswerLikeAPhone(*device);
    device->Answer("AT+CSDH=1\r", "\r\nERROR\r\n");
    Start();
    Post(REQ_SCAN_AND_CONNECT, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_SCAN_AND_CONNECT));
    const auto got = ResultsFor(REQ_SCAN_AND_CONNECT);
    EXPECT_EQ(got.back().status, LINK_FAILED);
    EXPECT_EQ(got.back().code, 0);
    EXPECT_EQ(got.back().text, "");
    EXPECT_EQ(device->openPort(), 0);
    EXPECT_EQ(device->CountWritten("AT+CNMI=2,2,0,0\r"), 0u);
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 0u);
}

TEST_F(WorkerTest, RequestWaitsForThePendingOneWhenNotAcceptingWhileBusy)
{
    Connect(1);
    device->Answer("AT+B\r", "\r\nOK\r\n");
    size_t writesOfBWhenATimedOut = 99;
    sink.OnPost([&](const Posted& p) {
        if (p.wParam == 1000)
            writesOfBWhenATimedOut = device->CountWritten("AT+B\r");
    });
    Post(1000, "AT+A\r");  // never answered
    Post(1001, "AT+B\r");
    ASSERT_TRUE(sink.WaitForFinal(1001));
    ASSERT_EQ(ResultsFor(1000).size(), 1u);
    EXPECT_EQ(ResultsFor(1000)[0].code, LINK_ERR_TIMEOUT);
    EXPECT_EQ(writesOfBWhenATimedOut, 0u);
    EXPECT_EQ(ResultsFor(1001).back().status, LINK_SUCCEEDED);
}

TEST_F(WorkerTest, RequestReplacesThePendingOneWhenAcceptingWhileBusy)
{
    Connect(1);
    device->Answer("AT+B\r", "\r\nOK\r\n");
    Post(REQ_ACCEPT_WHILE_BUSY_ON, "");
    Post(1000, "AT+A\r");
    Post(1001, "AT+B\r");
    ASSERT_TRUE(sink.WaitForFinal(1001));
    EXPECT_EQ(ResultsFor(1001).back().status, LINK_SUCCEEDED);
    // A later request that times out shows that the replaced one never will.
    Post(REQ_SILENT_TIMEOUT, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_SILENT_TIMEOUT));
    EXPECT_TRUE(ResultsFor(1000).empty());
    EXPECT_EQ(ResultsFor(REQ_ACCEPT_WHILE_BUSY_ON).back().status, LINK_SUCCEEDED);
}

TEST_F(WorkerTest, SilentRequestAndUnansweredCommandTimeOutAfterSixSeconds)
{
    Connect(1);
    for (int32_t code : {int32_t{REQ_SILENT_TIMEOUT}, int32_t{1000}}) {
        const uint32_t start = plat::GetTickCount();
        uint32_t at = 0;
        sink.OnPost([&](const Posted& p) {
            if (p.wParam == static_cast<uint32_t>(code))
                at = plat::GetTickCount();
        });
        Post(code, "AT+NOANSWER\r");
        ASSERT_TRUE(sink.WaitForFinal(code));
        sink.OnPost({});
        const auto got = ResultsFor(code);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].status, LINK_FAILED);
        EXPECT_EQ(got[0].code, LINK_ERR_TIMEOUT);
        EXPECT_GE(at - start, PhoneLink::kResponseTimeoutMs);
    }
    EXPECT_EQ(device->CountWritten("AT+NOANSWER\r"), 1u);  // only the generic one sent it
}

// Every line of a generic request restarts its response time-out, so a
// phone that keeps talking without a final line would hold the link for
// ever; the request ends after ten response time-outs in all.
TEST_F(WorkerTest, PendingRequestWithEndlessLinesEndsAfterTenTimeOuts)
{
    Connect(1);
    std::atomic<bool> stop{false};
    std::thread phone([&] {
        while (!stop) {
            plat::Sleep(1000);  // program time: well inside each 6 s time-out
            device->Inject("\r\n+CREG: 1\r\n");
        }
    });
    const uint32_t start = plat::GetTickCount();
    uint32_t at = 0;
    sink.OnPost([&](const Posted& p) {
        if (p.wParam == 1000 && p.status != LINK_INTERMEDIATE)
            at = plat::GetTickCount();
    });
    Post(1000, "AT+CHATTY\r");
    const bool ended = sink.WaitForFinal(1000);
    stop = true;
    phone.join();
    sink.OnPost({});
    ASSERT_TRUE(ended);
    const auto got = ResultsFor(1000);
    ASSERT_GT(got.size(), size_t{PhoneLink::kPendingLimitFactor});  // the lines kept it alive
    EXPECT_EQ(got.back().status, LINK_FAILED);
    EXPECT_EQ(got.back().code, LINK_ERR_TIMEOUT);
    const uint32_t cap = PhoneLink::kPendingLimitFactor * PhoneLink::kResponseTimeoutMs;
    EXPECT_GE(at - start, cap);
    EXPECT_LT(at - start, cap + 2 * PhoneLink::kResponseTimeoutMs);
}

TEST_F(WorkerTest, KeepAliveRunsOnlyWhenIdleAndAtMostOncePerSecond)
{
    Connect(1);
    const uint32_t connectedAt = plat::GetTickCount();
    const size_t atConnect = device->CountWritten(kProbe);
    // Idle: keep-alives come, never faster than the timer.
    ASSERT_TRUE(device->WaitForWrites(kProbe, atConnect + 4));
    const uint32_t elapsed = plat::GetTickCount() - connectedAt;
    const size_t probes = device->CountWritten(kProbe) - atConnect;
    EXPECT_LE(probes, elapsed / PhoneLink::kKeepAliveMs + 1);

    // Pending: none between the request's command and its time-out.
    size_t writtenAtTimeout = 0;
    sink.OnPost([&](const Posted& p) {
        if (p.wParam == 1000)
            writtenAtTimeout = device->Written().size();
    });
    Post(1000, "AT+SILENT\r");
    ASSERT_TRUE(sink.WaitForFinal(1000));
    sink.OnPost({});
    const auto written = device->Written();
    const auto sent = std::find(written.begin(), written.end(), "AT+SILENT\r");
    ASSERT_NE(sent, written.end());
    EXPECT_EQ(std::count(sent, written.begin() + writtenAtTimeout, kProbe), 0);
    // And they resume afterwards.
    const size_t after = device->CountWritten(kProbe);
    EXPECT_TRUE(device->WaitForWrites(kProbe, after + 1));
}

TEST_F(WorkerTest, LostPhoneIsReported)
{
    // Switch-off notice while idle.
    Connect(1);
    device->Inject("\r\nOK\r\nSWITCHOFF\r\n");
    ASSERT_TRUE(sink.WaitUntil([](const auto& all) {
        return std::any_of(all.begin(), all.end(), [](const Posted& p) { return p.message == WM_LINK_LOST; });
    }));
    EXPECT_EQ(device->openPort(), 0);
}

TEST_F(WorkerTest, KeepAliveWithoutAnswerReportsTheLossOnce)
{
    Connect(2);
    device->Answer(kProbe, "");  // the phone went silent
    ASSERT_TRUE(sink.WaitUntil(
        [](const auto& all) {
            return std::any_of(all.begin(), all.end(), [](const Posted& p) { return p.message == WM_LINK_LOST; });
        },
        60000));
    // Closed: no more keep-alives, no second notice. A request answered
    // after the notice shows the worker has finished closing by then.
    device->SetPresent({});
    Post(REQ_LIST_PORTS, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_LIST_PORTS));
    EXPECT_EQ(device->openPort(), 0);
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 1u);
}

TEST_F(WorkerTest, ReconnectUsesTheRememberedPort)
{
    Connect(4);
    const int opensBefore = device->openCount();
    Post(REQ_RECONNECT, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_RECONNECT));
    const auto got = ResultsFor(REQ_RECONNECT);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].status, LINK_INTERMEDIATE);
    EXPECT_EQ(got[0].current, 24);
    EXPECT_EQ(got[0].total, 24);
    EXPECT_EQ(got[1].status, LINK_SUCCEEDED);
    EXPECT_EQ(got[1].text, "");
    EXPECT_EQ(device->openCount(), opensBefore + 1);
    EXPECT_EQ(device->openPort(), 4);

    // The phone is gone from its port: a failure record in the progress layout.
    device->SetPresent({});
    Post(REQ_RECONNECT, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_RECONNECT, 20000, 2));
    EXPECT_EQ(ResultsFor(REQ_RECONNECT).back().status, LINK_FAILED);
    EXPECT_EQ(ResultsFor(REQ_RECONNECT).back().total, 24);
}

TEST_F(WorkerTest, ReconnectWithoutARememberedPortScans)
{
    device->SetPresent({1, 2});
    AnswerLikeAPhone(*device);
    device->Answer(kProbe, "");
    Start();
    // COM1 stays silent, COM2 answers its first probe.
    sink.OnPost([&](const Posted& p) {
        if (p.wParam == REQ_RECONNECT && p.status == LINK_INTERMEDIATE && p.current == 4)
            device->Answer(kProbe, "\r\nOK\r\n");
    });
    Post(REQ_RECONNECT, "");
    ASSERT_TRUE(sink.WaitForFinal(REQ_RECONNECT, 60000));
    sink.OnPost({});
    std::vector<int32_t> progress;
    for (const auto& p : ResultsFor(REQ_RECONNECT))
        if (p.status == LINK_INTERMEDIATE)
            progress.push_back(p.current);
    EXPECT_EQ(progress, (std::vector<int32_t>{3, 4, 24}));
    EXPECT_EQ(ResultsFor(REQ_RECONNECT).back().status, LINK_SUCCEEDED);
    EXPECT_EQ(device->openPort(), 2);
}

TEST_F(WorkerTest, QuitEndsTheThreadAndFreesWhatIsStillQueued)
{
    Connect(1);
    Post(1000, "AT+SILENT\r");  // keeps the worker from looking at its queue
    ASSERT_TRUE(plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0));
    Post(REQ_REGISTER_LISTENER, "+CMT:", NewListenerBlock(0, false));
    Post(1001, "AT\r");
    auto* target = static_cast<LinkTarget*>(std::calloc(1, sizeof(LinkTarget)));
    ASSERT_TRUE(plat::PostThreadMessage(worker->threadId(), WM_LINK_SET_TARGET, 0,
                                        static_cast<intptr_t>(plat::PutBlock(target))));
    ASSERT_TRUE(worker->WaitForEnd(60000));
    EXPECT_FALSE(worker->isRunning());
    EXPECT_EQ(worker->exitCode(), 0);
    EXPECT_TRUE(ResultsFor(1001).empty());
    EXPECT_EQ(device->openPort(), 0);
    // Posts to the ended thread are refused.
    EXPECT_FALSE(plat::PostThreadMessage(worker->threadId(), WM_LINK_REQUEST, 0, 0));
    worker.reset();
}

TEST(CommThreadStart, EndsAtOnceWithoutATarget)
{
    auto worker = CommThread::Start(LinkTarget{0, 0}, std::make_unique<FakePort>(std::make_shared<FakeDevice>()), "");
    EXPECT_TRUE(worker->WaitForEnd(10000));
    EXPECT_FALSE(worker->isRunning());
}

}  // namespace

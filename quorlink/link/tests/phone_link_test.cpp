// The worker's primitives and handlers, driven from the test thread through
// a fake port: no worker thread, no timing.

#include "quorlink/link/link_records.h"
#include "quorlink/link/link_requests.h"
#include "quorlink/link/phone_link_for_testing.h"
#include "support/fake_port.h"
#include "support/result_sink.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace quorlink::link;
using linktest::FakeDevice;
using linktest::FakePort;
using linktest::NewRequest;
using linktest::Posted;
using linktest::ResultSink;

class PhoneLinkTest : public ::testing::Test {
protected:
    PhoneLinkTest()
        : device(std::make_shared<FakeDevice>()),
          link(LinkTarget{plat::CurrentThreadId(), sink.window()}, std::make_unique<FakePort>(device), "")
    {
        EXPECT_TRUE(peer.Connect());
    }

    void Register(const std::string& prefix, uint32_t messageCode, bool wantsNext, uint32_t window)
    {
        peer.Dispatch(REQ_REGISTER_LISTENER, NewRequest(prefix, window, NewListenerBlock(messageCode, wantsNext)));
    }

    // Dispatches a request and feeds the lines that follow to it.
    void Serve(int32_t code, const std::string& text, const std::string& reply)
    {
        peer.Dispatch(code, NewRequest(text, sink.window()));
        device->Inject(reply);
        while (peer.RequestPending()) {
            const auto line = peer.WaitLine(50);
            if (!line)
                break;
            peer.RouteToPending(line);
        }
    }

    std::vector<Posted> ResultsFor(uint32_t wParam) const
    {
        std::vector<Posted> out;
        for (const auto& p : sink.Results())
            if (p.wParam == wParam)
                out.push_back(p);
        return out;
    }

    // What the listener window got, without the success records of its
    // own registrations (a registering request's window gets both).
    std::vector<Posted> Deliveries() const
    {
        std::vector<Posted> out;
        for (const auto& p : listenerWindow.Results())
            if (p.wParam != REQ_REGISTER_LISTENER)
                out.push_back(p);
        return out;
    }

    ResultSink sink;
    ResultSink listenerWindow;
    std::shared_ptr<FakeDevice> device;
    PhoneLink link;
    PhoneLinkForTesting peer{link};
};

TEST_F(PhoneLinkTest, RingAndNoCarrierAreDroppedButLongerLinesAreNot)
{
    Register("RING", 7, false, listenerWindow.window());
    device->Inject("\r\nRING\r\n\r\nNO CARRIER\r\n\r\nRINGER\r\n\r\nNO CARRIER 2\r\n\r\nOK\r\n");
    const auto line = peer.WaitLine(100);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "NO CARRIER 2");
    EXPECT_EQ(peer.WaitLine(100).value_or(""), "OK");
    const auto got = Deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text, "RINGER");
    EXPECT_EQ(got[0].wParam, 7u);
    EXPECT_EQ(got[0].status, LINK_INTERMEDIATE);
}

TEST_F(PhoneLinkTest, ListenerPrefixesUpToFifteenCharacters)
{
    Register(std::string(15, 'P'), 1, false, listenerWindow.window());
    Register(std::string(16, 'Q'), 2, false, listenerWindow.window());
    Register("", 3, false, 0);  // an empty prefix is a prefix of everything
    ASSERT_EQ(peer.Listeners().size(), 2u);
    EXPECT_EQ(std::string(peer.Listeners()[0].prefix), std::string(15, 'P'));
    // Same prefix: updated in place, not added.
    Register(std::string(15, 'P'), 9, true, listenerWindow.window());
    ASSERT_EQ(peer.Listeners().size(), 2u);
    EXPECT_EQ(peer.Listeners()[0].messageCode, 9u);
    EXPECT_EQ(peer.Listeners()[0].wantsNextLine, 1);
    // Every registration ends with a success record, even a refused one.
    size_t successes = 0;
    for (const auto& r : listenerWindow.Results())
        successes += r.wParam == REQ_REGISTER_LISTENER && r.status == LINK_SUCCEEDED;
    EXPECT_EQ(successes, 3u);  // the fourth went to window 0 and was freed
    peer.Dispatch(REQ_REMOVE_LISTENER, NewRequest("", sink.window()));
    ASSERT_EQ(peer.Listeners().size(), 1u);
    peer.Dispatch(REQ_REMOVE_LISTENER, NewRequest("nothing", sink.window()));
    EXPECT_EQ(peer.Listeners().size(), 1u);
}

TEST_F(PhoneLinkTest, FirstMatchingListenerTakesTheLine)
{
    Register("+CMT", 1, false, listenerWindow.window());
    Register("+CMT:", 2, false, listenerWindow.window());
    device->Inject("\r\n+CMT: ,22\r\n\r\n+cmt: lower\r\n");
    EXPECT_EQ(peer.WaitLine(100).value_or(""), "+cmt: lower");  // prefixes are case-sensitive
    const auto got = Deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, 1u);
}

TEST_F(PhoneLinkTest, CmtContinuationDeliversTheNextLineAndAnEnd)
{
    Register("+CMT:", 0x500, true, listenerWindow.window());
    // The PDU line goes to the listener whatever it holds (here "OK").
    device->Inject("\r\n+CMT: ,24\r\nOK\r\n\r\n+CMT: ,25\r\n0791448720\r\n\r\nOK\r\n");
    EXPECT_EQ(peer.WaitLine(100).value_or(""), "OK");
    const auto got = Deliveries();
    ASSERT_EQ(got.size(), 6u);
    const struct {
        int32_t status;
        const char* text;
    } expected[] = {{2, "+CMT: ,24"}, {2, "OK"}, {1, ""}, {2, "+CMT: ,25"}, {2, "0791448720"}, {1, ""}};
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].status, expected[i].status) << i;
        EXPECT_EQ(got[i].code, 0) << i;
        EXPECT_EQ(got[i].text, expected[i].text) << i;
        EXPECT_EQ(got[i].wParam, 0x500u);
    }
}

TEST_F(PhoneLinkTest, WantsNextLineOnlyForTheCmtPrefix)
{
    Register("+CMTI:", 1, true, listenerWindow.window());
    device->Inject("\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n");
    EXPECT_EQ(peer.WaitLine(100).value_or(""), "OK");
    EXPECT_EQ(Deliveries().size(), 1u);
}

TEST_F(PhoneLinkTest, ListenerLinesAreCutToTheRecordText)
{
    Register("*LONG", 1, false, listenerWindow.window());
    device->Inject("\r\n*LONG" + std::string(900, 'z') + "\r\n");
    (void)peer.WaitLine(50);
    const auto got = Deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text.size(), kLinkResultTextSize - 1);
}

TEST_F(PhoneLinkTest, PromptIsALineForRequestsAndListeners)
{
    device->Inject("\r\n> ");
    EXPECT_EQ(peer.PollLine().value_or(""), "> ");
    Register("> ", 4, false, listenerWindow.window());
    device->Inject("\r\n> ");
    EXPECT_FALSE(peer.PollLine());
    ASSERT_EQ(Deliveries().size(), 1u);
    EXPECT_EQ(Deliveries()[0].text, "> ");
}

TEST_F(PhoneLinkTest, SwitchOffInThePollingFormClosesTheLink)
{
    for (const char* form : {"\r\nOK\r\nSWITCHOFF\r\n", "\r\nSWITCHOFF\r\n"}) {
        ASSERT_TRUE(peer.Connect());
        peer.Dispatch(1000, NewRequest("AT+CPIN?\r", sink.window()));
        ASSERT_TRUE(peer.RequestPending());
        device->Inject(form);
        const auto line = peer.PollLine(100);
        EXPECT_EQ(line.value_or(""), "SWITCHOFF") << form;
        EXPECT_FALSE(peer.LinkUp());
        EXPECT_FALSE(peer.RequestPending());
        EXPECT_EQ(peer.CurrentRequest(), PhoneLink::kNoRequest);
        EXPECT_EQ(device->openPort(), 0);
    }
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 2u);
}

TEST_F(PhoneLinkTest, FinalLineRequestReportsCmeNumbers)
{
    const struct {
        const char* reply;
        int32_t status;
        int32_t code;
        const char* text;
    } cases[] = {
        {"\r\n+CME ERROR: 21\r\n", 0, 21, "+CME ERROR: 21"},
        {"\r\n+CME ERROR:\r\n", 0, -1, "+CME ERROR:"},
        {"\r\n+CPBR: 1,\"x\"\r\n\r\nOK\r\n", 1, 0, "OK"},
        {"\r\nERROR\r\n", 0, 0, "ERROR"},
        {"\r\nok\r\n", 1, 0, "ok"},
    };
    for (const auto& c : cases) {
        const size_t before = ResultsFor(REQ_FINAL_LINE_TEXT).size();
        Serve(REQ_FINAL_LINE_TEXT, "AT+CPBR=1\r", c.reply);
        const auto got = ResultsFor(REQ_FINAL_LINE_TEXT);
        ASSERT_EQ(got.size(), before + 1) << c.reply;  // intermediate lines are not posted
        EXPECT_EQ(got.back().status, c.status) << c.reply;
        EXPECT_EQ(got.back().code, c.code) << c.reply;
        EXPECT_EQ(got.back().text, c.text) << c.reply;
        EXPECT_FALSE(peer.RequestPending());
    }
}

TEST_F(PhoneLinkTest, FileInfoRequestPostsTheFieldsOfEachInfoLine)
{
    Serve(REQ_FILEINFO_LINES, "AT*FILEINFO=\"/app/dir\"\r",
          "\r\n*FILEINFO: smpbtab,120\r\n\r\n*FILX:other\r\n\r\n+CPIN: READY\r\n\r\nOK\r\n");
    const auto got = ResultsFor(REQ_FILEINFO_LINES);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].status, LINK_INTERMEDIATE);
    EXPECT_EQ(got[0].text, " smpbtab,120");
    EXPECT_EQ(got[1].text, "other");  // only the first four characters are compared
    EXPECT_EQ(got[2].status, LINK_SUCCEEDED);
    EXPECT_EQ(got[2].text, "");
    Serve(REQ_FILEINFO_LINES, "AT*FILEINFO=\"/x\"\r", "\r\n+CME ERROR: 4\r\n");
    EXPECT_EQ(ResultsFor(REQ_FILEINFO_LINES).back().code, 4);
    EXPECT_EQ(ResultsFor(REQ_FILEINFO_LINES).back().text, "");
}

TEST_F(PhoneLinkTest, GenericRequestPostsEveryLineUntilTheFinalOne)
{
    Serve(1000, "AT+CGMR\r", "\r\nV318_1.02\r\n\r\nbuild 7\r\n\r\nOK\r\n");
    const auto got = ResultsFor(1000);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].status, LINK_INTERMEDIATE);
    EXPECT_EQ(got[0].text, "V318_1.02");
    EXPECT_EQ(got[1].text, "build 7");
    EXPECT_EQ(got[2].status, LINK_SUCCEEDED);
    EXPECT_EQ(got[2].text, "OK");
    EXPECT_EQ(device->Written().back(), "AT+CGMR\r");

    for (const char* final : {"+CME ERROR: 10", "ERROR", "+CMS ERROR: 321"}) {
        Serve(1001, "AT+X\r", std::string("\r\n") + final + "\r\n");
        EXPECT_EQ(ResultsFor(1001).back().status, LINK_FAILED);
        EXPECT_EQ(ResultsFor(1001).back().code, 0);
        EXPECT_EQ(ResultsFor(1001).back().text, final);
    }
}

TEST_F(PhoneLinkTest, GenericRequestFailuresEndTheRequest)
{
    peer.Dispatch(1000, NewRequest(std::string(771, 'A'), sink.window()));
    EXPECT_EQ(ResultsFor(1000).back().code, LINK_ERR_TOO_LONG);
    EXPECT_FALSE(peer.RequestPending());
    peer.Dispatch(1000, NewRequest(std::string(770, 'A'), sink.window()));
    EXPECT_TRUE(peer.RequestPending());  // 770 characters are still sent
    peer.Dispatch(1002, NewRequest("", sink.window()));
    EXPECT_EQ(ResultsFor(1002).back().code, LINK_ERR_SEND);
    EXPECT_FALSE(peer.RequestPending());
    device->FailWrites(true);
    peer.Dispatch(REQ_FINAL_LINE_TEXT, NewRequest("AT+CMGL=4\r", sink.window()));
    EXPECT_EQ(ResultsFor(REQ_FINAL_LINE_TEXT).back().code, LINK_ERR_SEND_202);
    EXPECT_EQ(ResultsFor(REQ_FINAL_LINE_TEXT).back().text, "AT+CMGL=4\r");
    peer.Dispatch(REQ_LONG_COMMAND, NewRequest("AT\r", sink.window()));
    EXPECT_EQ(ResultsFor(REQ_LONG_COMMAND).back().code, LINK_ERR_SEND);
    EXPECT_FALSE(peer.RequestPending());
}

TEST_F(PhoneLinkTest, TimeoutsPerRequest)
{
    peer.Dispatch(REQ_LONG_COMMAND, NewRequest("AT+COPS=?\r", sink.window()));
    EXPECT_EQ(peer.ResponseTimeoutMs(), 20000u);
    peer.Dispatch(REQ_SILENT_TIMEOUT, NewRequest("AT\r", sink.window()));
    EXPECT_EQ(peer.ResponseTimeoutMs(), 6000u);
    EXPECT_TRUE(peer.RequestPending());
    EXPECT_EQ(device->CountWritten("AT\r"), 0u);  // 232 sends nothing
    peer.Context().SetAcceptWhileBusy(true);
    peer.RouteToPending(std::nullopt);
    EXPECT_EQ(ResultsFor(REQ_SILENT_TIMEOUT).back().code, LINK_ERR_TIMEOUT);
    EXPECT_FALSE(peer.AcceptWhileBusy());  // a generic time-out clears it
    EXPECT_FALSE(peer.RequestPending());
}

TEST_F(PhoneLinkTest, BridgeRequestsFailUntilTheBridgeExists)
{
    for (int code = 223; code <= 231; ++code) {
        peer.Dispatch(code, NewRequest("", sink.window()));
        ASSERT_EQ(ResultsFor(code).size(), 1u);
        EXPECT_EQ(ResultsFor(code)[0].status, LINK_FAILED);
        EXPECT_EQ(ResultsFor(code)[0].code, 0);
        EXPECT_FALSE(peer.RequestPending());
    }
    EXPECT_TRUE(device->Written().empty());
}

TEST_F(PhoneLinkTest, InitialisationStopsAtTheFirstFailure)
{
    device->Answer("AT+CMGF=0\r", "\r\nOK\r\n");
    device->Answer("AT+CSMP=,,,8\r", "\r\n+CSMP: 17\r\n\r\nOK\r\n");
    device->Answer("AT+CSCS=\"GSM\"\r", "\r\n+CME ERROR: 3\r\n");
    device->Answer("AT+CSDH=1\r", "\r\nOK\r\n");
    EXPECT_FALSE(InitialisePhone(peer.Context()));
    EXPECT_EQ(device->Written(), (std::vector<std::string>{"AT+CMGF=0\r", "AT+CSMP=,,,8\r", "AT+CSCS=\"GSM\"\r"}));
    device->Answer("AT+CSCS=\"GSM\"\r", "\r\nOK\r\n");
    device->Answer("AT+CNMI=2,2,0,0\r", "\r\nOK\r\n");
    EXPECT_TRUE(InitialisePhone(peer.Context()));
    EXPECT_EQ(device->Written().back(), "AT+CNMI=2,2,0,0\r");
}

TEST_F(PhoneLinkTest, DisconnectClosesAndNotifiesWithoutARecord)
{
    peer.Dispatch(REQ_DISCONNECT, NewRequest("", sink.window()));
    EXPECT_FALSE(peer.LinkUp());
    EXPECT_EQ(device->openPort(), 0);
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 1u);
    EXPECT_TRUE(ResultsFor(REQ_DISCONNECT).empty());
}

TEST_F(PhoneLinkTest, ListPortsSetsBitNForEachPortThatOpens)
{
    device->SetPresent({1, 3, 8});
    peer.Dispatch(REQ_LIST_PORTS, NewRequest("", sink.window()));
    const auto got = ResultsFor(REQ_LIST_PORTS);
    ASSERT_EQ(got.size(), 2u);
    // COM1 is the link's own open port and counts as in use.
    EXPECT_EQ(got[0].status, LINK_INTERMEDIATE);
    EXPECT_EQ(got[0].current, (1 << 3) | (1 << 8));
    EXPECT_EQ(got[0].total, 0);
    EXPECT_EQ(got[1].status, LINK_SUCCEEDED);
    EXPECT_EQ(device->openPort(), 1);  // the link keeps its port
}

TEST_F(PhoneLinkTest, RecordsToAClosedWindowAreFreed)
{
    // Under the leak checker: a post refused by a vanished window must not
    // leak its record.
    plat::WindowHandle gone = plat::RegisterWindow([](const plat::Message&) {});
    plat::UnregisterWindow(gone);
    PostTextTo(gone, 1, LINK_SUCCEEDED, 0, "lost");
    PostProgressTo(gone, 1, LINK_INTERMEDIATE, 0, 1, 2);
    Register("+CMT:", 1, true, gone);
    device->Inject("\r\n+CMT: ,1\r\nPDU\r\n");
    EXPECT_FALSE(peer.WaitLine(20));
}

}  // namespace

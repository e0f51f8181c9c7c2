// Transfers and phone services against a scripted port, for the replies a
// well-behaved phone does not give: start refused with error 1 or 2,
// invalid Base64 in a "*GET" line, a phonebook shorter than announced, the
// privacy-lock forms, a refused version. Driven from the test thread with
// the program clock sped up, so silent waits end quickly.

#include "quorlink/codecs/base64.h"
#include "quorlink/link/file_transfer.h"
#include "quorlink/link/phone_link_for_testing.h"
#include "quorlink/link/phone_services.h"
#include "support/fake_port.h"
#include "support/result_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace quorlink::link;
using linktest::FakeDevice;
using linktest::FakePort;
using linktest::NewRequest;
using linktest::Posted;
using linktest::ResultSink;

const std::string kOk = "\r\nOK\r\n";
const std::string kEnd = "AT*END\r";

std::string ReadFile(const std::filesystem::path& p)
{
    std::stringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

class ServicesFake : public ::testing::Test {
protected:
    ServicesFake()
        : device(std::make_shared<FakeDevice>()),
          link(LinkTarget{plat::CurrentThreadId(), sink.window()}, std::make_unique<FakePort>(device), "")
    {
        plat::SetClockScaleForTesting(100.0);
        EXPECT_TRUE(peer.Connect());
        std::string tmpl = (std::filesystem::temp_directory_path() / "svcfakeXXXXXX").string();
        dir = ::mkdtemp(tmpl.data());
    }
    ~ServicesFake() override
    {
        plat::SetClockScaleForTesting(1.0);
        std::filesystem::remove_all(dir);
    }

    static uint32_t Transfer(const std::string& first, const std::string& second)
    {
        return NewTransferBlock(first, second);
    }

    void Run(int32_t code, const std::string& text = "", uint32_t argument = 0)
    {
        peer.Dispatch(code, NewRequest(text, sink.window(), argument));
        EXPECT_FALSE(peer.RequestPending());
    }

    // Later lookups see only what is posted from now on.
    void Forget() { seen = sink.Results().size(); }

    std::vector<Posted> Results(uint32_t code) const
    {
        std::vector<Posted> out;
        const auto all = sink.Results();
        for (size_t i = seen; i < all.size(); ++i)
            if (all[i].wParam == code)
                out.push_back(all[i]);
        return out;
    }
    // (status, code) of the final records, in order.
    std::vector<std::pair<int32_t, int32_t>> Finals(uint32_t code) const
    {
        std::vector<std::pair<int32_t, int32_t>> out;
        for (const auto& p : Results(code))
            if (p.status != LINK_INTERMEDIATE)
                out.emplace_back(p.status, p.code);
        return out;
    }
    std::vector<std::pair<int32_t, int32_t>> Progress(uint32_t code) const
    {
        std::vector<std::pair<int32_t, int32_t>> out;
        for (const auto& p : Results(code))
            if (p.status == LINK_INTERMEDIATE)
                out.emplace_back(p.current, p.total);
        return out;
    }

    ResultSink sink;
    std::shared_ptr<FakeDevice> device;
    PhoneLink link;
    PhoneLinkForTesting peer{link};
    std::filesystem::path dir;
    size_t seen = 0;
};

using Pairs = std::vector<std::pair<int32_t, int32_t>>;

// ------------------------------------------------------- PC to phone

TEST_F(ServicesFake, UploadSendsBlocksOf108WithProgressThenEnds)
{
    std::string data(109, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    std::ofstream(dir / "f.bin", std::ios::binary) << data;
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    uint8_t check0 = 0;
    for (size_t i = 0; i < 108; ++i)
        check0 ^= bytes[i];
    const std::string put0 = "AT*PUT=0,108," + quorlink::codecs::Base64Encode(bytes.first(108)) + "," +
        quorlink::codecs::Base64Encode(std::span(&check0, 1)) + "\r";
    const std::string put1 = "AT*PUT=1,1," + quorlink::codecs::Base64Encode(bytes.subspan(108)) + "," +
        quorlink::codecs::Base64Encode(bytes.subspan(108)) + "\r";
    device->Answer("AT*STARTDL=/app/f.bin,109\r", kOk);
    device->Answer(put0, "\r\n*PUT: 0\r\n" + kOk);  // an information line before the OK is skipped
    device->Answer(put1, kOk);
    device->Answer(kEnd, kOk);

    Run(REQ_UPLOAD, "", Transfer((dir / "f.bin").string(), "/app/f.bin"));
    EXPECT_EQ(device->Written(), (std::vector<std::string>{"AT*STARTDL=/app/f.bin,109\r", put0, put1, kEnd}));
    EXPECT_EQ(Progress(REQ_UPLOAD), Pairs({{108, 109}, {109, 109}}));
    EXPECT_EQ(Finals(REQ_UPLOAD), Pairs({{LINK_SUCCEEDED, 0}}));
}

TEST_F(ServicesFake, UploadOfAnEmptyFileSendsNoBlock)
{
    std::ofstream(dir / "empty", std::ios::binary);
    device->Answer("AT*STARTDL=/app/e,0\r", kOk);
    device->Answer(kEnd, kOk);
    Run(REQ_UPLOAD, "", Transfer((dir / "empty").string(), "/app/e"));
    EXPECT_EQ(device->Written(), (std::vector<std::string>{"AT*STARTDL=/app/e,0\r", kEnd}));
    EXPECT_EQ(Finals(REQ_UPLOAD), Pairs({{LINK_SUCCEEDED, 0}}));
}

TEST_F(ServicesFake, StartRefusedWithErrorOneIsRetriedAtMostThreeTimes)
{
    std::ofstream(dir / "a", std::ios::binary) << "abc";
    const std::string start = "AT*STARTDL=/app/a,3\r";
    // Refused twice, then accepted: two end commands, three starts, success.
    device->AnswerOnce(start, "\r\n+CME ERROR: 1\r\n");
    device->AnswerOnce(start, "\r\n+CME ERROR: 1\r\n");
    device->Answer(start, kOk);
    device->Answer("AT*PUT=0,3,YWJj,YA==\r", kOk);
    device->Answer(kEnd, kOk);
    Run(REQ_UPLOAD, "", Transfer((dir / "a").string(), "/app/a"));
    EXPECT_EQ(device->CountWritten(start), 3u);
    EXPECT_EQ(device->CountWritten(kEnd), 3u);
    EXPECT_EQ(Finals(REQ_UPLOAD), Pairs({{LINK_SUCCEEDED, 0}}));

    // Always refused: the first start and three retries, then (0, 52).
    device->Answer(start, "\r\n+CME ERROR: 1\r\n");
    Run(REQ_UPLOAD, "", Transfer((dir / "a").string(), "/app/a"));
    EXPECT_EQ(device->CountWritten(start), 3u + 1 + kStartDownloadRetries);
    EXPECT_EQ(Finals(REQ_UPLOAD), Pairs({{LINK_SUCCEEDED, 0}, {LINK_FAILED, LINK_ERR_SEND}}));
}

TEST_F(ServicesFake, UploadFailures)
{
    std::ofstream(dir / "a", std::ios::binary) << "abc";
    // Missing PC file: 54, nothing sent.
    Run(REQ_UPLOAD, "", Transfer((dir / "missing").string(), "/app/a"));
    EXPECT_TRUE(device->Written().empty());
    // A directory is not a file to send either.
    Run(REQ_UPLOAD, "", Transfer(dir.string(), "/app/a"));
    EXPECT_TRUE(device->Written().empty());
    // Start refused with another error: no end command.
    device->Answer("AT*STARTDL=/app/a,3\r", "\r\n+CME ERROR: 20\r\n");
    Run(REQ_UPLOAD, "", Transfer((dir / "a").string(), "/app/a"));
    EXPECT_EQ(device->CountWritten(kEnd), 0u);
    // A block refused: the end command, then 52.
    device->Answer("AT*STARTDL=/app/a,3\r", kOk);
    device->Answer("AT*PUT=0,3,YWJj,YA==\r", "\r\n+CME ERROR: 23\r\n");
    Run(REQ_UPLOAD, "", Transfer((dir / "a").string(), "/app/a"));
    EXPECT_EQ(device->CountWritten(kEnd), 1u);
    // A block never answered: the end command, then 52.
    device->Answer("AT*PUT=0,3,YWJj,YA==\r", "");
    Run(REQ_UPLOAD, "", Transfer((dir / "a").string(), "/app/a"));
    EXPECT_EQ(device->CountWritten(kEnd), 2u);
    // No argument block at all.
    Run(REQ_UPLOAD, "", 0);
    EXPECT_EQ(Finals(REQ_UPLOAD),
              Pairs({{LINK_FAILED, LINK_ERR_LOCAL_FILE},
                     {LINK_FAILED, LINK_ERR_LOCAL_FILE},
                     {LINK_FAILED, LINK_ERR_SEND},
                     {LINK_FAILED, LINK_ERR_SEND},
                     {LINK_FAILED, LINK_ERR_SEND},
                     {LINK_FAILED, LINK_ERR_LOCAL_FILE}}));
    EXPECT_TRUE(Progress(REQ_UPLOAD).empty());
}

TEST_F(ServicesFake, UploadWithWritesFailingIs52)
{
    std::ofstream(dir / "a", std::ios::binary) << "abc";
    device->FailWrites(true);
    Run(REQ_UPLOAD, "", Transfer((dir / "a").string(), "/app/a"));
    EXPECT_EQ(Finals(REQ_UPLOAD), Pairs({{LINK_FAILED, LINK_ERR_SEND}}));
}

// ------------------------------------------------------- phone to PC

TEST_F(ServicesFake, InvalidBase64WritesNothingForItsLineAndTheTransferGoesOn)
{
    device->Answer("AT*STARTUL=/app/x\r", "\r\n*STARTUL: 5\r\n" + kOk);
    device->AnswerOnce("AT*GET\r", "\r\n*GET: 3,QUJD,QA==\r\n" + kOk);
    device->AnswerOnce("AT*GET\r", "\r\n*GET: 3,Q!JD,QA==\r\n" + kOk);  // '!' is not Base64
    device->AnswerOnce("AT*GET\r", "\r\n*GET: 2,REU=\r\n" + kOk);
    device->AnswerOnce("AT*GET\r", "\r\n*GET: 0,RkZG\r\n" + kOk);  // data on the end line is ignored
    device->Answer(kEnd, kOk);
    Run(REQ_DOWNLOAD, "", Transfer("/app/x", (dir / "x").string()));
    EXPECT_EQ(ReadFile(dir / "x"), "ABCDE");
    EXPECT_EQ(Progress(REQ_DOWNLOAD), Pairs({{3, 5}, {3, 5}, {5, 5}, {5, 5}}));
    EXPECT_EQ(Finals(REQ_DOWNLOAD), Pairs({{LINK_SUCCEEDED, 0}}));
    EXPECT_EQ(device->Written().back(), kEnd);
}

TEST_F(ServicesFake, StartOfDownloadRefused)
{
    struct Case {
        std::string reply;
        int32_t status, code;
        size_t ends;
    } cases[] = {
        {"\r\n+CME ERROR: 2\r\n", LINK_SUCCEEDED, 0, 0},  // nothing to copy: empty file, success
        {"\r\n+CME ERROR: 1\r\n", LINK_FAILED, LINK_ERR_SEND, 1},  // a transfer was open: closed, failed
        {"\r\n+CME ERROR: 22\r\n", LINK_FAILED, LINK_ERR_SEND, 0},
        {"\r\nERROR\r\n", LINK_FAILED, LINK_ERR_SEND, 0},
        {"", LINK_FAILED, LINK_ERR_SEND, 0},  // silence
    };
    for (const auto& c : cases) {
        Forget();
        const size_t endsBefore = device->CountWritten(kEnd);
        std::ofstream(dir / "y", std::ios::binary) << "old";
        device->Answer("AT*STARTUL=/app/y\r", c.reply);
        Run(REQ_DOWNLOAD, "", Transfer("/app/y", (dir / "y").string()));
        EXPECT_EQ(Finals(REQ_DOWNLOAD), Pairs({{c.status, c.code}})) << c.reply;
        EXPECT_EQ(device->CountWritten(kEnd) - endsBefore, c.ends) << c.reply;
        EXPECT_EQ(device->CountWritten("AT*GET\r"), 0u);
        EXPECT_EQ(ReadFile(dir / "y"), "") << "created empty before the start";
    }
}

TEST_F(ServicesFake, DownloadBrokenOffKeepsThePartialFile)
{
    device->Answer("AT*STARTUL=/app/x\r", "\r\n*STARTUL: 9\r\n" + kOk);
    device->AnswerOnce("AT*GET\r", "\r\n*GET: 3,QUJD,QA==\r\n" + kOk);
    device->AnswerOnce("AT*GET\r", "\r\n+CME ERROR: 3\r\n");
    device->Answer(kEnd, kOk);
    Run(REQ_DOWNLOAD, "", Transfer("/app/x", (dir / "x").string()));
    EXPECT_EQ(ReadFile(dir / "x"), "ABC");
    EXPECT_EQ(Finals(REQ_DOWNLOAD), Pairs({{LINK_FAILED, LINK_ERR_SEND}}));
    EXPECT_EQ(device->Written().back(), kEnd);

    // A get exchange that ends in silence fails without an end command.
    device->AnswerOnce("AT*GET\r", "\r\n*GET: 3,QUJD,QA==\r\n");
    Run(REQ_DOWNLOAD, "", Transfer("/app/x", (dir / "x").string()));
    EXPECT_EQ(device->Written().back(), "AT*GET\r");
    EXPECT_EQ(Finals(REQ_DOWNLOAD).back(), std::make_pair(LINK_FAILED, LINK_ERR_SEND));
}

TEST_F(ServicesFake, DownloadIntoAnUncreatableFileIs54)
{
    Run(REQ_DOWNLOAD, "", Transfer("/app/x", (dir / "no" / "such" / "x").string()));
    EXPECT_TRUE(device->Written().empty());
    EXPECT_EQ(Finals(REQ_DOWNLOAD), Pairs({{LINK_FAILED, LINK_ERR_LOCAL_FILE}}));
}

TEST_F(ServicesFake, SwitchOffInTheMiddleClosesTheLinkAndFailsAtOnce)
{
    device->Answer("AT*STARTUL=/app/x\r", "\r\n*STARTUL: 9\r\n" + kOk);
    device->AnswerOnce("AT*GET\r", "\r\n*GET: 3,QUJD,QA==\r\n" + kOk);
    device->AnswerOnce("AT*GET\r", "\r\nSWITCHOFF\r\n");
    Run(REQ_DOWNLOAD, "", Transfer("/app/x", (dir / "x").string()));
    EXPECT_EQ(Finals(REQ_DOWNLOAD), Pairs({{LINK_FAILED, LINK_ERR_SEND}}));
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 1u);
    EXPECT_FALSE(peer.LinkUp());
    EXPECT_FALSE(peer.Port().IsOpen());
    EXPECT_EQ(device->CountWritten(kEnd), 0u);  // nothing is sent to a phone that is off
}

// ------------------------------------------------------- phonebook

TEST_F(ServicesFake, PhonebookShorterThanAnnouncedFailsThoughTheFileIsWritten)
{
    device->Answer("AT+CPBS=\"SM\"\r", kOk);
    device->Answer("AT+CSCS=\"UCS2\"\r", kOk);
    device->Answer("AT+CSCS=\"GSM\"\r", kOk);
    device->Answer("AT+CPBS?\r", "\r\n+CPBS: \"SM\",3,250\r\n" + kOk);
    device->Answer("AT+CPBW=?\r", "\r\n+CPBW: (1-250),20,(129,145),12\r\n" + kOk);
    device->Answer("AT+CPBR=1,250\r",
                   "\r\n+CPBR: 1,\"111\",129,\"0041\"\r\n+CPBR: bad\r\n+CPBR: 7,\"+222\",145,\"4F60\"\r\n" + kOk);
    const auto path = (dir / "pb.sim").string();
    Run(REQ_READ_SIM_PHONEBOOK, path);
    EXPECT_EQ(ReadFile(path), "250,3\r\n 1,111,A\r\n 7,+222,\xC4\xE3\r\n");
    EXPECT_EQ(Progress(REQ_READ_SIM_PHONEBOOK), Pairs({{1, 3}, {2, 3}}));
    EXPECT_EQ(Finals(REQ_READ_SIM_PHONEBOOK), Pairs({{LINK_FAILED, 0}}));
    EXPECT_EQ(device->Written().back(), "AT+CSCS=\"GSM\"\r");  // back to GSM after the failure too

    // Complete now, but the switch back fails: one failure record (a
    // success followed by a failure would end the next step of a batch).
    device->Answer("AT+CPBS?\r", "\r\n+CPBS: \"SM\",2,250\r\n" + kOk);
    device->Answer("AT+CSCS=\"GSM\"\r", "\r\nERROR\r\n");
    Run(REQ_READ_SIM_PHONEBOOK, path);
    EXPECT_EQ(Finals(REQ_READ_SIM_PHONEBOOK), Pairs({{LINK_FAILED, 0}, {LINK_FAILED, 0}}));
}

TEST_F(ServicesFake, EmptyPhonebookHoldsOnlyTheHeader)
{
    for (const char* c : {"AT+CPBS=\"SM\"\r", "AT+CSCS=\"UCS2\"\r", "AT+CSCS=\"GSM\"\r", "AT+CPBW=?\r"})
        device->Answer(c, kOk);
    device->Answer("AT+CPBS?\r", "\r\n+CPBS: \"SM\",0,250\r\n" + kOk);
    const auto path = (dir / "pb.sim").string();
    Run(REQ_READ_SIM_PHONEBOOK, path);
    EXPECT_EQ(ReadFile(path), "250,0\r\n");
    EXPECT_EQ(device->CountWritten("AT+CPBR=1,250\r"), 0u);
    EXPECT_EQ(Finals(REQ_READ_SIM_PHONEBOOK), Pairs({{LINK_SUCCEEDED, 0}}));

    // The phonebook query refused: failure before any file.
    device->Answer("AT+CPBW=?\r", "\r\n+CME ERROR: 4\r\n");
    const auto other = (dir / "other.sim").string();
    Run(REQ_READ_SIM_PHONEBOOK, other);
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(Finals(REQ_READ_SIM_PHONEBOOK).back(), std::make_pair(LINK_FAILED, 0));
}

// ------------------------------------------------------- messages

// A received message from +13678923015, 26/12/11 14:52:45, 7-bit "hello".
const std::string kDeliverPdu = std::string("00")  // no service centre
    + "04"  // SMS-DELIVER
    + "0B91" + "3176983210F5"  // 11 digits, international
    + "00" + "00"  // PID, DCS 7-bit
    + "62211141255400"  // time stamp
    + "05E8329BFD06";  // "hello"

// The same as a stored sent message (SMS-SUBMIT with a relative validity).
const std::string kSubmitPdu = std::string("00")  // no service centre
    + "11" + "00"  // SMS-SUBMIT, message reference
    + "0B91" + "3176983210F5"  // destination
    + "00" + "00" + "AA"  // PID, DCS 7-bit, validity
    + "05E8329BFD06";  // "hello"

TEST_F(ServicesFake, MessageFileWithHeaderRewrittenForFreshCounts)
{
    device->AnswerOnce("AT+CPMS?\r", "\r\n+CPMS: \"SM\",9,50,\"SM\",9,50\r\n" + kOk);
    device->AnswerOnce("AT+CPMS?\r", "\r\n+CPMS: \"SM\",10,50,\"SM\",10,50\r\n" + kOk);
    device->Answer("AT+CMGL=4\r",
                   "\r\n+CMGL: 1,1,,20\r\n" + kDeliverPdu + "\r\n+CMGL: 2,3,,19\r\n" + kSubmitPdu +
                       "\r\n+CMGL: 3,0,,20\r\n" + kDeliverPdu + "\r\n" + kOk);
    const auto path = (dir / "sms.sim").string();
    Run(REQ_READ_MESSAGES, path);
    EXPECT_EQ(ReadFile(path),
              "50,10"
              "\r\n 1,REC READ,+13678923015,26/12/11,14:52:45,hello"
              "\r\n 2,STO SENT,+13678923015,hello"  // stored: no time stamp
              "\r\n 3,REC UNREAD,+13678923015,26/12/11,14:52:45,hello"
              "\r\n");
    EXPECT_EQ(Progress(REQ_READ_MESSAGES), Pairs({{1, 9}, {2, 9}, {3, 9}}));
    EXPECT_EQ(Finals(REQ_READ_MESSAGES), Pairs({{LINK_SUCCEEDED, 0}}));
}

// A SIM from other phones: a received message filed as sent, a sent one
// filed as received, and a WAP push. Each is read in its PDU's own layout
// and keeps its box; binary data shows as hexadecimal, not as text.
TEST_F(ServicesFake, MessagesFiledUnderAContradictingStatusReadCorrectly)
{
    const std::string wapPush = std::string("00") + "44" + "0B91" + "3176983210F5" + "00F5" + "62211141255400" + "0D" +
        "0605040B8423F0" + "0006002E0000";
    device->Answer("AT+CPMS?\r", "\r\n+CPMS: \"SM\",3,50\r\n" + kOk);
    device->Answer("AT+CMGL=4\r",
                   "\r\n+CMGL: 1,3,,20\r\n" + kDeliverPdu + "\r\n+CMGL: 2,1,,19\r\n" + kSubmitPdu +
                       "\r\n+CMGL: 3,0,,27\r\n" + wapPush + "\r\n" + kOk);
    const auto path = (dir / "sms.sim").string();
    Run(REQ_READ_MESSAGES, path);
    EXPECT_EQ(ReadFile(path),
              "50,3"
              "\r\n 1,STO SENT,+13678923015,hello"
              "\r\n 2,REC READ,+13678923015,,,hello"
              "\r\n 3,REC UNREAD,+13678923015,26/12/11,14:52:45,0006002E0000"
              "\r\n");
}

TEST_F(ServicesFake, StatusOutsideTheWordsWritesNoWordButStillTheMessage)
{
    device->Answer("AT+CPMS?\r", "\r\n+CPMS: \"SM\",1,50\r\n" + kOk);
    device->Answer("AT+CMGL=4\r", "\r\n+CMGL: 4,7,,20\r\n" + kDeliverPdu + "\r\n" + kOk);
    const auto path = (dir / "sms.sim").string();
    Run(REQ_READ_MESSAGES, path);
    const std::string file = ReadFile(path);
    EXPECT_EQ(file.substr(0, 12), "50,1\r\n 4,+13");
    EXPECT_EQ(file.substr(file.size() - 2), "\r\n");
    EXPECT_EQ(Finals(REQ_READ_MESSAGES), Pairs({{LINK_SUCCEEDED, 0}}));
}

TEST_F(ServicesFake, MessageListErrorFailsAndKeepsWhatWasWritten)
{
    device->Answer("AT+CPMS?\r", "\r\n+CPMS: \"SM\",2,50\r\n" + kOk);
    device->Answer("AT+CMGL=4\r", "\r\n+CMGL: 1,0,,20\r\n" + kDeliverPdu + "\r\n+CMS ERROR: 320\r\n");
    const auto path = (dir / "sms.sim").string();
    Run(REQ_READ_MESSAGES, path);
    EXPECT_EQ(ReadFile(path), "50,2\r\n 1,REC UNREAD,+13678923015,26/12/11,14:52:45,hello");
    EXPECT_EQ(Finals(REQ_READ_MESSAGES), Pairs({{LINK_FAILED, 0}}));

    device->Answer("AT+CPMS?\r", "\r\n+CPMS: \"SM\",0,50\r\n" + kOk);
    Run(REQ_READ_MESSAGES, path);
    EXPECT_EQ(ReadFile(path), "50,0");
    EXPECT_EQ(Finals(REQ_READ_MESSAGES).back(), std::make_pair(LINK_SUCCEEDED, 0));
}

// ------------------------------------------------------- sending

uint32_t NewMessage(const std::string& to, const std::string& text)
{
    return NewMessageBlock(to, text);
}

TEST_F(ServicesFake, MessageIsSentInSevenBitOrUcs2ByItsBytes)
{
    device->Answer("AT+CSCA?\r", "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk);
    const std::string head = std::string("08916831081000") + "05F0"  // service centre 8613800100500
        + "1100" + "0D91683119325476F8";  // SUBMIT, 8613912345678
    struct Case {
        std::string text;
        std::string pdu;
    } cases[] = {
        {"hi", head + "00" + "00" + "00" + "02E834"},  // 7-bit
        {"\xC4\xE3", head + "00" + "08" + "00" + "024F60"},  // a byte >= 0x80: UCS2
    };
    for (const auto& c : cases) {
        device->Answer("AT+CMGS=17\r", "\r\n> ");
        device->Answer(c.pdu + "\x1A", "\r\n+CMGS: 5\r\n" + kOk);
        Run(REQ_SEND_MESSAGE, "", NewMessage("13912345678", c.text));
        EXPECT_EQ(device->Written().back(), c.pdu + "\x1A");
        EXPECT_EQ(Finals(REQ_SEND_MESSAGE).back(), std::make_pair(LINK_SUCCEEDED, 0)) << c.text;
    }
}

// The text arrives as typed: GSM codes (the extension table escaped) when
// 7-bit can carry it, UCS2 otherwise; the PDUs were checked against an
// independent decoder.
TEST_F(ServicesFake, MessageTextIsConvertedToTheGsmAlphabetOrSentInUcs2)
{
    device->Answer("AT+CSCA?\r", "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk);
    const std::string head = "0891683108100005F0";
    struct Case {
        std::string requestText;  // a part of a long message, or empty
        std::string text;  // PC code page
        std::string pdu;
    } cases[] = {
        {"", "mail a@b.cn, pay $5_x [ok]",
         head + "11000D91683119325476F80000001CED709A0D0A03C4AEB19B058287F320412D82076D78EFF5C607"},
        {"", "[]{}~^\\|\x80",  // the euro sign is the PC code page's 0x80
         head + "11000D91683119325476F8000000121BDEC6B7416D529BDE86B2796D809B32"},
        {"", "a`b", head + "11000D91683119325476F800080006006100600062"},
        {"part 42 2 1", "part one [x]", head + "51000D91683119325476F8000000150500032A0201E061391DF47697411B1E7EE303"},
        {"part 4660 2 2", "\xB5\xDA\xB6\xFE\xB2\xBF\xB7\xD6",
         head + "51000D91683119325476F80008000F060804123402027B2C4E8C90E85206"},
    };
    for (const auto& c : cases) {
        const std::string length = std::to_string(c.pdu.size() / 2 - 9);
        device->Answer("AT+CMGS=" + length + "\r", "\r\n> ");
        device->Answer(c.pdu + "\x1A", "\r\n+CMGS: 5\r\n" + kOk);
        Run(REQ_SEND_MESSAGE, c.requestText, NewMessage("13912345678", c.text));
        EXPECT_EQ(device->Written().back(), c.pdu + "\x1A") << c.text;
        EXPECT_EQ(Finals(REQ_SEND_MESSAGE).back(), std::make_pair(LINK_SUCCEEDED, 0)) << c.text;
    }
}

// A text that no single message holds, or a malformed part, is refused
// before anything goes to the phone rather than sent cut.
TEST_F(ServicesFake, TextsThatFitNoMessageAreRefusedUnsent)
{
    const std::string tooManySeptets(81, '[');  // 162 septets, and 81 characters for UCS2
    for (const auto& [requestText, text] : std::vector<std::pair<std::string, std::string>>{
             {"", tooManySeptets}, {"part 1 2 1", std::string(154, 'a')}, {"part 1 11 1", "hi"}, {"bogus", "hi"}}) {
        Forget();
        const size_t before = device->Written().size();
        Run(REQ_SEND_MESSAGE, requestText, NewMessage("13912345678", text));
        EXPECT_EQ(device->Written().size(), before) << requestText;
        EXPECT_EQ(Finals(REQ_SEND_MESSAGE), Pairs({{LINK_FAILED, 0}})) << requestText;
    }
}

TEST_F(ServicesFake, SendFailures)
{
    // No service centre: nothing more is sent.
    device->Answer("AT+CSCA?\r", "\r\n+CME ERROR: 10\r\n");
    Run(REQ_SEND_MESSAGE, "", NewMessage("13912345678", "hi"));
    EXPECT_EQ(device->Written().size(), 1u);
    // The length refused before the prompt.
    device->Answer("AT+CSCA?\r", "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk);
    device->Answer("AT+CMGS=17\r", "\r\n+CMS ERROR: 304\r\n");
    Run(REQ_SEND_MESSAGE, "", NewMessage("13912345678", "hi"));
    EXPECT_EQ(device->Written().back(), "AT+CMGS=17\r");
    // A prompt that never comes.
    device->Answer("AT+CMGS=17\r", "");
    Run(REQ_SEND_MESSAGE, "", NewMessage("13912345678", "hi"));
    // The PDU refused.
    device->Answer("AT+CMGS=17\r", "\r\n> ");
    Run(REQ_SEND_MESSAGE, "", NewMessage("13912345678", "hi"));  // no final line
    EXPECT_EQ(Finals(REQ_SEND_MESSAGE),
              Pairs({{LINK_FAILED, 0}, {LINK_FAILED, 0}, {LINK_FAILED, 0}, {LINK_FAILED, 0}}));
}

TEST_F(ServicesFake, NumbersTooLongForTheMessageRecordAreRefusedNotCut)
{
    device->Answer("AT+CSCA?\r", "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk);
    struct Case {
        std::string destination;
        bool sent;
    } cases[] = {
        {"8612345678901", true},  // 13 digits with the country prefix: fits
        {"+123456789012345", true},  // 15 digits once the "+" is gone: fits
        {"+1234567890123456", false},  // 16 digits
        {"1234567890123", true},  // 15 with "86" in front: fits
        {"12345678901234", false},  // 16 with "86" in front
    };
    for (const auto& c : cases) {
        Forget();
        const size_t before = device->Written().size();
        Run(REQ_SEND_MESSAGE, "", NewMessage(c.destination, "hi"));
        const auto written = device->Written();
        const bool commandSent = std::any_of(written.begin() + static_cast<long>(before), written.end(),
                                             [](const std::string& w) { return w.rfind("AT+CMGS=", 0) == 0; });
        EXPECT_EQ(commandSent, c.sent) << c.destination;
        if (!c.sent) {
            EXPECT_EQ(Finals(REQ_SEND_MESSAGE), Pairs({{LINK_FAILED, 0}})) << c.destination;
        }
    }
}

// ------------------------------------------- version, counts, lock

TEST_F(ServicesFake, VersionCheck)
{
    device->Answer("AT*GETVER\r", "\r\n*getver:   V318_R1.2\r\n" + kOk);
    Run(REQ_CHECK_VERSION, "V317\rv318_r");
    EXPECT_EQ(Finals(REQ_CHECK_VERSION), Pairs({{LINK_SUCCEEDED, 0}}));
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 0u);
    EXPECT_TRUE(peer.Port().IsOpen());

    Run(REQ_CHECK_VERSION, "V317\rV319");
    EXPECT_EQ(Finals(REQ_CHECK_VERSION), Pairs({{LINK_SUCCEEDED, 0}, {LINK_FAILED, 0}}));
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 1u);
    EXPECT_FALSE(peer.Port().IsOpen());
    EXPECT_FALSE(peer.LinkUp());
}

TEST_F(ServicesFake, VersionCheckWithoutAVersionFails)
{
    device->Answer("AT*GETVER\r", "\r\nERROR\r\n");
    Run(REQ_CHECK_VERSION, "");  // even the list that accepts everything needs a version
    EXPECT_EQ(Finals(REQ_CHECK_VERSION), Pairs({{LINK_FAILED, 0}}));
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 1u);
}

TEST_F(ServicesFake, PrivacyLockForms)
{
    struct Case {
        std::string reply;
        std::optional<std::pair<int32_t, int32_t>> flags;
    } cases[] = {
        {"\r\n*SAFEBOXSTAT: NON\r\n" + kOk, std::pair{0, 0}},
        {"\r\n*SAFEBOXSTAT: PIC\r\n" + kOk, std::pair{1, 0}},
        {"\r\n*SAFEBOXSTAT: SMS\r\n" + kOk, std::pair{0, 1}},
        {"\r\n*SAFEBOXSTAT: PIC,SMS\r\n" + kOk, std::pair{1, 1}},
        {"\r\n*SAFEBOXSTAT: PIC\r\n*SAFEBOXSTAT: SMS\r\n" + kOk, std::pair{1, 1}},
        {"\r\n*SAFEBOXSTAT: SMS,NON,PIC\r\n" + kOk, std::pair{0, 0}},
        {"\r\n*SAFEBOXSTAT: NON\r\n*SAFEBOXSTAT: PIC\r\n" + kOk, std::pair{0, 0}},
        {"\r\n*SAFEBOXSTAT: PIC\r\n", std::pair{1, 0}},  // silence after the line
        {"\r\n*SAFEBOXSTAT: NON\r\n+CME ERROR: 3\r\n", std::pair{0, 0}},  // "NON" has answered already
        {"\r\n*SAFEBOXSTAT: PIC\r\n+CME ERROR: 3\r\n", std::nullopt},
        {"\r\n+CME ERROR: 3\r\n", std::nullopt},
    };
    for (const auto& c : cases) {
        Forget();
        device->Answer("AT*SAFEBOXSTAT\r", c.reply);
        Run(REQ_PRIVACY_LOCK);
        const auto progress = Progress(REQ_PRIVACY_LOCK);
        if (c.flags)
            EXPECT_EQ(progress, Pairs({*c.flags})) << c.reply;
        else
            EXPECT_TRUE(progress.empty()) << c.reply;
        EXPECT_EQ(Finals(REQ_PRIVACY_LOCK), Pairs({{LINK_SUCCEEDED, 0}})) << c.reply;
        // Nothing of the answer is left for the next command.
        EXPECT_FALSE(peer.WaitLine(1)) << c.reply;
    }
}

TEST_F(ServicesFake, StorageCounts)
{
    device->Answer("AT+CPMS?\r", "\r\n+CPMS: \"SM\",7,50,\"SM\",7,50\r\n" + kOk);
    Run(REQ_STORAGE_COUNTS);
    EXPECT_EQ(Progress(REQ_STORAGE_COUNTS), Pairs({{7, 50}}));
    device->Answer("AT+CPMS?\r", "\r\n+CMS ERROR: 302\r\n");
    Run(REQ_STORAGE_COUNTS);
    EXPECT_EQ(Progress(REQ_STORAGE_COUNTS), Pairs({{7, 50}}));  // nothing for the error
    EXPECT_EQ(Finals(REQ_STORAGE_COUNTS), Pairs({{LINK_SUCCEEDED, 0}, {LINK_SUCCEEDED, 0}}));
}

}  // namespace

// ------------------------------------------------------ hostile phones

namespace {
std::string Base64Of(std::string_view bytes)
{
    return quorlink::codecs::Base64Encode(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}
}  // namespace

// A download whose phone announces a size and then sends nothing usable
// fails (52) after its end command, and never asks for blocks without end.
TEST_F(ServicesFake, DownloadThatLosesDataFails)
{
    const std::string ten = Base64Of("0123456789");
    const struct {
        const char* name;
        std::string getAnswer;  // every "AT*GET"
        std::string secondAnswer;  // the second and later ones, when different
    } cases[] = {
        {"noise lines", "\r\nnoise\r\n+CREG: 1\r\n" + kOk, ""},
        {"bare OK", kOk, ""},
        {"undecodable block", "\r\n*GET: 10,!!!!,AA==\r\n" + kOk, ""},
        {"short block", "\r\n*GET: 1000," + ten + ",AA==\r\n" + kOk, "\r\n*GET: 0,\r\n" + kOk},
        {"damaged keyword", "\r\n*GXT: 10," + ten + ",AA==\r\n" + kOk, ""},
    };
    for (const auto& c : cases) {
        device->AnswerOnce("AT*STARTUL=/app/x\r", "\r\n*STARTUL: 1000\r\n" + kOk);
        device->Answer("AT*GET\r", c.secondAnswer.empty() ? c.getAnswer : c.secondAnswer);
        device->AnswerOnce("AT*GET\r", c.getAnswer);
        device->Answer(kEnd, kOk);
        const size_t getsBefore = device->CountWritten("AT*GET\r");
        const size_t endsBefore = device->CountWritten(kEnd);
        Forget();
        Run(REQ_DOWNLOAD, "", Transfer("/app/x", (dir / "x").string()));
        EXPECT_EQ(Finals(REQ_DOWNLOAD), (std::vector<std::pair<int32_t, int32_t>>{{LINK_FAILED, LINK_ERR_SEND}}))
            << c.name;
        EXPECT_LE(device->CountWritten("AT*GET\r") - getsBefore, size_t(kMaxEmptyExchanges) + 1) << c.name;
        EXPECT_EQ(device->CountWritten(kEnd) - endsBefore, 1u) << c.name;
    }
}

// A phone that keeps sending unrelated lines and never a final answer:
// each request still ends, with its failure, within its time-out.
TEST_F(ServicesFake, ChatterWithoutAnAnswerEndsEveryRequest)
{
    device->Answer("AT*STARTUL=/app/x\r", "\r\n*STARTUL: 10\r\n" + kOk);
    const struct {
        int32_t code;
        std::string text;
        uint32_t argument;
    } requests[] = {
        {REQ_DOWNLOAD, "", 0},
        {REQ_READ_SIM_PHONEBOOK, (dir / "pb").string(), 0},
        {REQ_READ_MESSAGES, (dir / "sms").string(), 0},
    };
    for (const auto& r : requests) {
        device->SetChatter("\r\n+CREG: 1\r\n", 2000, 600000);
        Forget();
        const uint32_t start = plat::GetTickCount();
        Run(r.code, r.text, r.code == REQ_DOWNLOAD ? Transfer("/app/x", (dir / "x").string()) : r.argument);
        const uint32_t took = plat::GetTickCount() - start;
        const auto finals = Finals(static_cast<uint32_t>(r.code));
        ASSERT_EQ(finals.size(), 1u) << r.code;
        EXPECT_EQ(finals[0].first, LINK_FAILED) << r.code;
        // Each of the request's waits gives up after its line time-out;
        // the phonebook read restores the character set with one more.
        EXPECT_LT(took, 4 * PhoneLink::kLineTimeoutMs) << r.code;
    }
}

// A generic request waiting for its final line when the phone switches off
// gets its failure record before the link-lost notice.
TEST_F(ServicesFake, SwitchOffFailsAPendingGenericRequest)
{
    peer.Dispatch(REQ_FINAL_LINE_TEXT, NewRequest("AT+SLOW\r", sink.window(), 0));
    ASSERT_TRUE(peer.RequestPending());
    device->Inject("\r\nSWITCHOFF\r\n");
    (void)peer.PollLine(50);
    EXPECT_FALSE(peer.RequestPending());
    EXPECT_EQ(Finals(REQ_FINAL_LINE_TEXT), (std::vector<std::pair<int32_t, int32_t>>{{LINK_FAILED, LINK_ERR_SEND}}));
    const auto all = sink.All();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().message, WM_LINK_LOST);
}

// A generic command that opens the text prompt has the prompt cancelled, so
// the phone answers its final line and takes later commands again.
TEST_F(ServicesFake, GenericRequestCancelsAnOpenPrompt)
{
    device->Answer("AT+CMGS=5\r", "\r\n> ");
    device->Answer("\x1b", kOk);
    peer.Dispatch(REQ_LONG_COMMAND, NewRequest("AT+CMGS=5\r", sink.window(), 0));
    for (int i = 0; i < 4 && peer.RequestPending(); ++i)
        peer.RouteToPending(peer.PollLine(50));
    EXPECT_FALSE(peer.RequestPending());
    EXPECT_EQ(Finals(REQ_LONG_COMMAND), (std::vector<std::pair<int32_t, int32_t>>{{LINK_SUCCEEDED, 0}}));
    EXPECT_EQ(device->CountWritten("\x1b"), 1u);
}

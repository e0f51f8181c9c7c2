// Transfers and phone services through the real worker thread, the real
// serial layer and the emulated handset on a pseudo-terminal: round trips
// of every block boundary, phone errors, a lost line and a switch-off in
// the middle of a transfer, the SIM phonebook and messages, sending,
// version, counts, privacy lock and incoming messages.

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu.h"
#include "quorlink/link/comm_thread.h"
#include "quorlink/link/file_transfer.h"
#include "quorlink/link/phone_services.h"
#include "support/result_sink.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using namespace quorlink::link;
using linktest::NewRequest;
using linktest::Pattern;
using linktest::Posted;
using linktest::ResultSink;
using linktest::SimPhone;

constexpr int kWaitMs = 60000;

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "linkemuXXXXXX").string();
        local = ::mkdtemp(tmpl.data());
        ::setenv("TELVANE_HOME", local.c_str(), 1);
        plat::SetClockScaleForTesting(4.0);
    }
    void TearDown() override
    {
        if (worker) {
            plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0);
            EXPECT_TRUE(worker->WaitForEnd(kWaitMs));
            worker.reset();
        }
        phone.reset();
        plat::SetClockScaleForTesting(1.0);
        std::filesystem::remove_all(local);
        ::unsetenv("TELVANE_SERIAL_DIR");
        ::unsetenv("TELVANE_HOME");
    }

    void StartPhone(int lineRate = 0)
    {
        phone = std::make_unique<SimPhone>("linkemu", lineRate);
        ASSERT_TRUE(phone->ok());
        worker = CommThread::Start(LinkTarget{plat::CurrentThreadId(), sink.window()},
                                   std::make_unique<SerialLinkPort>(), "");
        ASSERT_TRUE(worker);
        Connect();
    }

    void Connect()
    {
        const size_t before = Finals(REQ_SCAN_AND_CONNECT).size();
        Post(REQ_SCAN_AND_CONNECT);
        ASSERT_TRUE(sink.WaitForFinal(REQ_SCAN_AND_CONNECT, kWaitMs, before + 1));
        const Posted last = ResultsFor(REQ_SCAN_AND_CONNECT).back();
        ASSERT_EQ(last.status, LINK_SUCCEEDED);
        ASSERT_EQ(last.current, 1) << "no phone answered";
    }

    void Post(int32_t code, const std::string& text = "", uint32_t argument = 0)
    {
        ASSERT_TRUE(plat::PostThreadMessage(worker->threadId(), WM_LINK_REQUEST, static_cast<uintptr_t>(code),
                                            reinterpret_cast<intptr_t>(NewRequest(text, sink.window(), argument))));
    }

    // Posts a request and waits for its next final record.
    Posted Run(int32_t code, const std::string& text = "", uint32_t argument = 0)
    {
        const size_t before = Finals(code).size();
        Post(code, text, argument);
        EXPECT_TRUE(sink.WaitForFinal(static_cast<uint32_t>(code), kWaitMs, before + 1));
        const auto f = Finals(code);
        return f.size() > before ? f[before] : Posted{};
    }

    static uint32_t Transfer(const std::string& first, const std::string& second)
    {
        return NewTransferBlock(first, second);
    }

    std::vector<Posted> ResultsFor(uint32_t code) const
    {
        std::vector<Posted> out;
        for (const auto& p : sink.Results())
            if (p.wParam == code)
                out.push_back(p);
        return out;
    }
    std::vector<Posted> Finals(uint32_t code) const
    {
        std::vector<Posted> out;
        for (const auto& p : ResultsFor(code))
            if (p.status != LINK_INTERMEDIATE)
                out.push_back(p);
        return out;
    }
    std::vector<Posted> Intermediates(uint32_t code) const
    {
        std::vector<Posted> out;
        for (const auto& p : ResultsFor(code))
            if (p.status == LINK_INTERMEDIATE)
                out.push_back(p);
        return out;
    }

    std::filesystem::path local;
    ResultSink sink;
    std::unique_ptr<SimPhone> phone;
    std::unique_ptr<CommThread> worker;
};

TEST_F(EmulatorTest, UploadThenDownloadIsByteIdenticalAtEveryBlockBoundary)
{
    StartPhone();
    for (const size_t size : {0, 1, 108, 109, 4096, 100000}) {
        const std::string data = Pattern(size, static_cast<uint32_t>(size));
        const auto pc = local / ("up" + std::to_string(size));
        std::ofstream(pc, std::ios::binary) << data;
        const std::string name = "/app/camera/t" + std::to_string(size);

        const size_t progressBefore = Intermediates(REQ_UPLOAD).size();
        const Posted up = Run(REQ_UPLOAD, "", Transfer(pc.string(), name));
        ASSERT_EQ(up.status, LINK_SUCCEEDED) << size;
        const auto progress = Intermediates(REQ_UPLOAD);
        EXPECT_EQ(progress.size() - progressBefore, (size + 107) / 108) << size;
        if (size > 0) {
            EXPECT_EQ(progress.back().current, static_cast<int32_t>(size));
        }

        const auto back = local / ("down" + std::to_string(size));
        const Posted down = Run(REQ_DOWNLOAD, "", Transfer(name, back.string()));
        ASSERT_EQ(down.status, LINK_SUCCEEDED) << size;
        EXPECT_TRUE(SimPhone::ReadAll(back) == data) << size;
        // The phone commits the upload at its end command, which the worker
        // sends after the success record; the download came later.
        EXPECT_TRUE(SimPhone::ReadAll(phone->PhoneFile(name)) == data) << size;
        const auto got = Intermediates(REQ_DOWNLOAD);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back().current, static_cast<int32_t>(size));
        EXPECT_EQ(got.back().total, static_cast<int32_t>(size));
    }
}

TEST_F(EmulatorTest, PhoneErrorInTheMiddleEndsTheTransferThenFails)
{
    StartPhone();
    const std::string old = "the phone's own copy";
    std::ofstream(phone->PhoneFile("/app/camera/keep"), std::ios::binary) << old;
    std::ofstream(local / "new", std::ios::binary) << Pattern(1000, 1);

    ASSERT_EQ(phone->Control("fault error AT*PUT"), "OK");
    const Posted up = Run(REQ_UPLOAD, "", Transfer((local / "new").string(), "/app/camera/keep"));
    EXPECT_EQ(up.status, LINK_FAILED);
    EXPECT_EQ(up.code, LINK_ERR_SEND);
    const std::string log = phone->Transcript();
    const size_t put = log.find("RECV AT*PUT=0");
    ASSERT_NE(put, std::string::npos);
    EXPECT_NE(log.find("RECV AT*END", put), std::string::npos);
    EXPECT_EQ(SimPhone::ReadAll(phone->PhoneFile("/app/camera/keep")), old);

    // The same for a download: what arrived before the error stays.
    std::ofstream(phone->PhoneFile("/app/camera/big"), std::ios::binary) << Pattern(5000, 2);
    ASSERT_EQ(phone->Control("fault error AT*GET"), "OK");
    const Posted down = Run(REQ_DOWNLOAD, "", Transfer("/app/camera/big", (local / "big").string()));
    EXPECT_EQ(down.code, LINK_ERR_SEND);
    EXPECT_EQ(down.status, LINK_FAILED);
    EXPECT_TRUE(std::filesystem::exists(local / "big"));

    // The link is still good for the next transfer.
    EXPECT_EQ(Run(REQ_DOWNLOAD, "", Transfer("/app/camera/keep", (local / "k").string())).status, LINK_SUCCEEDED);
    EXPECT_EQ(SimPhone::ReadAll(local / "k"), old);
}

TEST_F(EmulatorTest, LocalFilesThatCannotBeOpenedAre54)
{
    StartPhone();
    const Posted up = Run(REQ_UPLOAD, "", Transfer((local / "absent").string(), "/app/camera/x"));
    EXPECT_EQ(std::make_pair(up.status, up.code), std::make_pair(LINK_FAILED, LINK_ERR_LOCAL_FILE));
    const Posted down = Run(REQ_DOWNLOAD, "", Transfer("/app/jpeg", (local / "no" / "dir").string()));
    EXPECT_EQ(std::make_pair(down.status, down.code), std::make_pair(LINK_FAILED, LINK_ERR_LOCAL_FILE));
    // A phone file that does not exist is the phone's refusal.
    const Posted missing = Run(REQ_DOWNLOAD, "", Transfer("/app/none", (local / "none").string()));
    EXPECT_EQ(std::make_pair(missing.status, missing.code), std::make_pair(LINK_FAILED, LINK_ERR_SEND));
}

TEST_F(EmulatorTest, UnpluggedInTheMiddleFailsTheRequestAndTheNextConnectWorks)
{
    StartPhone();
    std::ofstream(phone->PhoneFile("/app/camera/big"), std::ios::binary) << Pattern(100000, 3);
    ASSERT_EQ(phone->Control("fault drop-after 20000"), "OK");
    const Posted down = Run(REQ_DOWNLOAD, "", Transfer("/app/camera/big", (local / "big").string()));
    EXPECT_EQ(down.status, LINK_FAILED);
    EXPECT_TRUE(worker->isRunning());

    ASSERT_EQ(phone->Control("plug"), "OK");
    Connect();
    // The phone abandoned the broken-off transfer when its line died, so the
    // first download after the reconnect goes through.
    EXPECT_EQ(Run(REQ_DOWNLOAD, "", Transfer("/app/camera/big", (local / "big").string())).status, LINK_SUCCEEDED);
    EXPECT_TRUE(SimPhone::ReadAll(local / "big") == Pattern(100000, 3));
}

TEST_F(EmulatorTest, SwitchedOffInTheMiddleFailsLosesTheLinkAndPowersOnAgain)
{
    StartPhone(115200);  // paced, so the transfer is still running when the phone goes off
    const std::string data = Pattern(30000, 4);
    std::ofstream(local / "up", std::ios::binary) << data;
    Post(REQ_UPLOAD, "", Transfer((local / "up").string(), "/app/camera/off"));
    ASSERT_TRUE(sink.WaitUntil([](const std::vector<Posted>& all) {
        return std::any_of(all.begin(), all.end(),
                           [](const Posted& p) { return p.wParam == REQ_UPLOAD && p.status == LINK_INTERMEDIATE; });
    }));
    ASSERT_EQ(phone->Control("switchoff"), "OK");
    ASSERT_TRUE(sink.WaitForFinal(REQ_UPLOAD, kWaitMs));
    EXPECT_EQ(Finals(REQ_UPLOAD).back().status, LINK_FAILED);
    EXPECT_TRUE(sink.WaitUntil([](const std::vector<Posted>& all) {
        return std::any_of(all.begin(), all.end(), [](const Posted& p) { return p.message == WM_LINK_LOST; });
    }));
    EXPECT_FALSE(std::filesystem::exists(phone->PhoneFile("/app/camera/off")));

    ASSERT_EQ(phone->Control("poweron"), "OK");
    Connect();
    EXPECT_EQ(Run(REQ_UPLOAD, "", Transfer((local / "up").string(), "/app/camera/off")).status, LINK_SUCCEEDED);
}

TEST_F(EmulatorTest, SimPhonebookFileHoldsEveryEntry)
{
    StartPhone();
    // The expected file from the emulator's own SIM: index, number, name
    // in the PC code page.
    std::ifstream sim(phone->state() / "sim" / "phonebook");
    std::string expected, line;
    int used = 0;
    while (std::getline(sim, line)) {
        const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
        expected += " " + line.substr(0, t1) + "," + line.substr(t1 + 1, t2 - t1 - 1) + "," +
            quorlink::codecs::Ucs2ToAnsi(quorlink::codecs::Utf8ToUcs2(line.substr(t2 + 1))) + "\r\n";
        ++used;
    }
    ASSERT_GT(used, 0);
    const auto path = (local / "pb.sim").string();
    const Posted done = Run(REQ_READ_SIM_PHONEBOOK, path);
    EXPECT_EQ(done.status, LINK_SUCCEEDED);
    EXPECT_EQ(SimPhone::ReadAll(path), "250," + std::to_string(used) + "\r\n" + expected);
    const auto progress = Intermediates(REQ_READ_SIM_PHONEBOOK);
    ASSERT_EQ(progress.size(), static_cast<size_t>(used));
    EXPECT_EQ(progress.back().current, used);
    EXPECT_EQ(progress.back().total, used);
    // The link is back in the GSM character set (switched after the
    // success record: the next request runs after it).
    EXPECT_EQ(Run(REQ_STORAGE_COUNTS).status, LINK_SUCCEEDED);
    const std::string log = phone->Transcript();
    EXPECT_NE(log.rfind("RECV AT+CSCS=\"GSM\""), std::string::npos);
    EXPECT_GT(log.rfind("RECV AT+CSCS=\"GSM\""), log.rfind("RECV AT+CPBR="));
}

TEST_F(EmulatorTest, MessagesFileCountsAndListsEveryMessage)
{
    StartPhone();
    const auto path = (local / "sms.sim").string();
    const Posted done = Run(REQ_READ_MESSAGES, path);
    ASSERT_EQ(done.status, LINK_SUCCEEDED);
    const std::string file = SimPhone::ReadAll(path);
    EXPECT_EQ(file.substr(0, 5), "50,7\r");
    EXPECT_EQ(file.substr(file.size() - 2), "\r\n");
    size_t lines = 0;
    for (size_t at = file.find("\r\n"); at + 2 < file.size(); at = file.find("\r\n", at + 2)) {
        ++lines;
        const std::string l = file.substr(at + 2, file.find("\r\n", at + 2) - at - 2);
        // index, status word, address: every listed message has them
        EXPECT_NE(l.find(",REC ") == std::string::npos && l.find(",STO ") == std::string::npos, true) << l;
    }
    EXPECT_EQ(lines, 7u);
    EXPECT_EQ(Intermediates(REQ_READ_MESSAGES).size(), 7u);
}

TEST_F(EmulatorTest, SendingStorageCountsVersionAndPrivacyLock)
{
    StartPhone();
    const auto message = [](const std::string& to, const std::string& text) { return NewMessageBlock(to, text); };
    EXPECT_EQ(Run(REQ_SEND_MESSAGE, "", message("13912345678", "Hello there")).status, LINK_SUCCEEDED);
    EXPECT_EQ(Run(REQ_SEND_MESSAGE, "", message("+447700900123", "\xC4\xE3\xBA\xC3")).status, LINK_SUCCEEDED);

    EXPECT_EQ(Run(REQ_STORAGE_COUNTS).status, LINK_SUCCEEDED);
    ASSERT_EQ(Intermediates(REQ_STORAGE_COUNTS).size(), 1u);
    EXPECT_EQ(Intermediates(REQ_STORAGE_COUNTS)[0].current, 7);
    EXPECT_EQ(Intermediates(REQ_STORAGE_COUNTS)[0].total, 50);

    std::ofstream(phone->state() / "phone.conf", std::ios::app) << "\nsafebox=PIC,SMS\n";
    ASSERT_EQ(phone->Control("poweron"), "OK");
    Connect();
    EXPECT_EQ(Run(REQ_PRIVACY_LOCK).status, LINK_SUCCEEDED);
    ASSERT_EQ(Intermediates(REQ_PRIVACY_LOCK).size(), 1u);
    EXPECT_EQ(Intermediates(REQ_PRIVACY_LOCK)[0].current, 1);
    EXPECT_EQ(Intermediates(REQ_PRIVACY_LOCK)[0].total, 1);

    const auto conf = simphone::PhoneConfig::load(phone->state());
    ASSERT_FALSE(conf.revision.empty());
    EXPECT_EQ(Run(REQ_CHECK_VERSION, "X1\r" + conf.revision.substr(0, 3)).status, LINK_SUCCEEDED);
    EXPECT_EQ(sink.Count(WM_LINK_LOST), 0u);
    EXPECT_EQ(Run(REQ_CHECK_VERSION, "X1\rX2").status, LINK_FAILED);
    // The notice follows the failure record.
    EXPECT_TRUE(sink.WaitUntil([](const std::vector<Posted>& all) {
        return std::count_if(all.begin(), all.end(), [](const Posted& p) { return p.message == WM_LINK_LOST; }) == 1;
    }));
    Connect();  // the port was closed and opens again
}

TEST_F(EmulatorTest, IncomingMessagesReachTheListenerAsLinePairs)
{
    StartPhone();
    ResultSink listener;
    ASSERT_TRUE(plat::PostThreadMessage(
        worker->threadId(), WM_LINK_REQUEST, REQ_REGISTER_LISTENER,
        reinterpret_cast<intptr_t>(NewRequest("+CMT:", listener.window(), NewListenerBlock(215, true)))));
    ASSERT_TRUE(listener.WaitForFinal(REQ_REGISTER_LISTENER));

    const std::string longText(200, 'x');  // two parts
    ASSERT_EQ(phone->Control("sms +8613800001111 Hello"), "OK");
    ASSERT_EQ(phone->Control("sms 10086 " + longText), "OK");
    ASSERT_TRUE(listener.WaitForFinal(215, kWaitMs, 3));
    std::vector<Posted> got;
    for (const auto& p : listener.Results())
        if (p.wParam == 215)
            got.push_back(p);
    ASSERT_EQ(got.size(), 9u);
    std::string joined;
    for (size_t i = 0; i < got.size(); i += 3) {
        EXPECT_EQ(got[i].status, LINK_INTERMEDIATE);
        EXPECT_EQ(got[i].text.substr(0, 5), "+CMT:");
        EXPECT_EQ(got[i + 2].status, LINK_SUCCEEDED);
        EXPECT_EQ(got[i + 2].text, "");
        SM_PARAM m{};
        CPDU::gsmDecodePdu(got[i + 1].text.c_str(), &m);
        if (i == 0) {
            EXPECT_STREQ(m.address, "+8613800001111");
            EXPECT_STREQ(m.userData, "Hello");
        } else {
            EXPECT_STREQ(m.address, "10086");
            EXPECT_EQ(m.concatTotal, 2);
            joined += m.userData;
        }
    }
    EXPECT_EQ(joined, longText);
}

}  // namespace

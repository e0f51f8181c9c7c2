// The worker over real pseudo-terminals through the real serial layer:
// StartCommThread, a scan that finds the phone behind a silent port, the
// keep-alive, the switch-off notice and the end of the thread.

#include "quorlink/link/comm_thread.h"
#include "quorlink/link/link_protocol.h"
#include "support/pty_peer.h"
#include "support/result_sink.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace quorlink::link;
using linktest::NewRequest;
using linktest::Posted;
using linktest::PtyPeer;
using linktest::ResultSink;

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "linkptyXXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

TEST(LinkOverPty, ScanConnectKeepAliveSwitchOffAndQuit)
{
    TempDir ports, home;
    ::setenv("TELVANE_SERIAL_DIR", ports.path.c_str(), 1);
    ::setenv("TELVANE_HOME", home.path.c_str(), 1);
    plat::SetClockScaleForTesting(20.0);

    PtyPeer silent(ports.path.string(), 2, PtyPeer::Behaviour::Silent);
    PtyPeer phone(ports.path.string(), 3, PtyPeer::Behaviour::Phone);
    ASSERT_TRUE(silent.ok() && phone.ok());
    ResultSink sink;
    {
        CommThreadPtr worker(StartCommThread(plat::CurrentThreadId(), sink.window()));
        ASSERT_TRUE(worker);
        EXPECT_TRUE(worker->isRunning());
        ASSERT_TRUE(plat::PostThreadMessage(worker->threadId(), WM_LINK_REQUEST, REQ_SCAN_AND_CONNECT,
                                            reinterpret_cast<intptr_t>(NewRequest("", sink.window()))));
        ASSERT_TRUE(sink.WaitForFinal(REQ_SCAN_AND_CONNECT, 60000));

        std::vector<std::tuple<int32_t, int32_t, int32_t>> records;
        for (const auto& r : sink.Results())
            records.emplace_back(r.status, r.current, r.total);
        const std::vector<std::tuple<int32_t, int32_t, int32_t>> expected = {
            {2, 1, 8}, {2, 2, 8}, {2, 2, 8}, {2, 8, 8}, {1, 1, 0b110}};
        EXPECT_EQ(records, expected);

        // Echo off first, then the setup, in order.
        const std::vector<std::string> connect = {"AT*CONNECT",      "ATE0",      "AT+CMGF=0",      "AT+CSMP=,,,8",
                                                  "AT+CSCS=\"GSM\"", "AT+CSDH=1", "AT+CNMI=2,2,0,0"};
        const auto seen = phone.Commands();
        ASSERT_GE(seen.size(), connect.size());
        EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + connect.size()), connect);
        EXPECT_EQ(silent.Count("AT*CONNECT"), 2u);

        // The keep-alive probes the phone while the link is idle.
        EXPECT_TRUE(phone.WaitFor("AT*CONNECT", 3));

        // The phone switches off: the GUI hears of it.
        phone.Send("\r\nOK\r\nSWITCHOFF\r\n");
        EXPECT_TRUE(sink.WaitUntil([](const std::vector<Posted>& all) {
            return std::any_of(all.begin(), all.end(), [](const Posted& p) { return p.message == WM_LINK_LOST; });
        }));

        ASSERT_TRUE(plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0));
        EXPECT_TRUE(worker->WaitForEnd(20000));
        EXPECT_FALSE(worker->isRunning());
    }

    // The transcript: every command and line, stamped with a real time of day.
    std::stringstream log;
    log << std::ifstream(home.path / "log.txt").rdbuf();
    const std::string text = log.str();
    EXPECT_NE(text.find(" SEND: ATE0\r\r\n"), std::string::npos);
    EXPECT_NE(text.find(" RECV: OK\r\n"), std::string::npos);
    EXPECT_NE(text.find(" RECV: SWITCHOFF\r\n"), std::string::npos);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        ASSERT_GE(line.size(), 9u);
        const int hour = std::stoi(line.substr(0, 2));
        EXPECT_LT(hour, 24) << line;
    }
    plat::SetClockScaleForTesting(1.0);
    ::unsetenv("TELVANE_SERIAL_DIR");
    ::unsetenv("TELVANE_HOME");
}

}  // namespace

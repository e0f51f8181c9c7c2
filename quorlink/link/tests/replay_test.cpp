// Recorded exchanges ("> sent" / "< received") replayed against one
// request on the test thread: the commands must come out exactly in the
// recorded order and the request must end with the recorded result.

#include "quorlink/link/link_requests.h"
#include "quorlink/link/phone_link_for_testing.h"
#include "support/fake_port.h"
#include "support/result_sink.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef LINK_TRANSCRIPT_DIR
#error LINK_TRANSCRIPT_DIR must name the directory of the recorded transcripts
#endif

namespace {

using namespace quorlink::link;
using linktest::FakeDevice;
using linktest::FakePort;
using linktest::NewRequest;
using linktest::ResultSink;

// Loads a transcript: each sent command is answered with the received lines
// that follow it, each framed as the phone frames them.
std::vector<std::string> LoadTranscript(const std::string& name, FakeDevice& device)
{
    std::ifstream in(std::string(LINK_TRANSCRIPT_DIR) + "/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<std::string> sent;
    std::string reply;
    const auto flush = [&] {
        if (!sent.empty())
            device.AnswerOnce(sent.back(), reply);
        reply.clear();
    };
    for (std::string line; std::getline(in, line);) {
        if (line == "> <ESC>") {  // a lone ESC, sent without a terminator
            flush();
            sent.push_back("\x1b");
        } else if (line.rfind("> ", 0) == 0) {
            flush();
            sent.push_back(line.substr(2) + "\r");
        } else if (line.rfind("< ", 0) == 0) {
            reply += "\r\n" + line.substr(2) + "\r\n";
        }
    }
    flush();
    return sent;
}

struct ReplayCase {
    const char* transcript;
    int32_t request;
    const char* text;
    int32_t finalStatus;
    int32_t finalCode;
};

class Replay : public ::testing::TestWithParam<ReplayCase> {
protected:
    void SetUp() override { plat::SetClockScaleForTesting(50.0); }
    void TearDown() override { plat::SetClockScaleForTesting(1.0); }
};

TEST_P(Replay, CommandsAndResultMatchTheRecording)
{
    const ReplayCase& c = GetParam();
    ResultSink sink;
    auto device = std::make_shared<FakeDevice>();
    const auto expectedSends = LoadTranscript(c.transcript, *device);
    PhoneLink link(LinkTarget{plat::CurrentThreadId(), sink.window()}, std::make_unique<FakePort>(device), "");
    PhoneLinkForTesting peer(link);
    if (c.request != REQ_SCAN_AND_CONNECT) {
        ASSERT_TRUE(peer.Connect());
    }
    peer.Dispatch(c.request, NewRequest(c.text, sink.window()));
    while (peer.RequestPending()) {
        const auto line = peer.WaitLine(PhoneLink::kResponseTimeoutMs);
        peer.RouteToPending(line);
    }
    EXPECT_EQ(device->Written(), expectedSends);
    const auto results = sink.Results();
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back().status, c.finalStatus);
    EXPECT_EQ(results.back().code, c.finalCode);
}

INSTANTIATE_TEST_SUITE_P(Recorded, Replay,
                         ::testing::Values(ReplayCase{"connect_echo.txt", REQ_SCAN_AND_CONNECT, "", LINK_SUCCEEDED, 0},
                                           ReplayCase{"connect_switchoff_answer.txt", REQ_SCAN_AND_CONNECT, "",
                                                      LINK_SUCCEEDED, 0},
                                           ReplayCase{"init_cme_error.txt", REQ_SCAN_AND_CONNECT, "", LINK_FAILED, 0},
                                           ReplayCase{"echo_never_ok.txt", REQ_SCAN_AND_CONNECT, "", LINK_FAILED, 0},
                                           ReplayCase{"fileinfo.txt", REQ_FILEINFO_LINES,
                                                      "AT*FILEINFO=\"/app/dir/smpbtab\"\r", LINK_SUCCEEDED, 0}),
                         [](const auto& info) {
                             std::string name = info.param.transcript;
                             name = name.substr(0, name.find('.'));
                             return name;
                         });

}  // namespace

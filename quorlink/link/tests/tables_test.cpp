#include "quorlink/link/link_requests.h"
#include "quorlink/link/link_tables.h"
#include "quorlink/link/transcript.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace quorlink::link;

TEST(ResponseKeywords, ClassifiesFirstMatchCaseInsensitively)
{
    const struct {
        const char* line;
        int code;
    } cases[] = {
        {"OK", 0},
        {"ok", 0},
        {"OKAY", 0},
        {"ERROR", 1},
        {"error: 4", 1},
        {"+CME ERROR: 3", 2},
        {"+cme", 2},
        {"+CMS ERROR: 500", 50},
        {"*STARTUL: 1", 3},
        {"*GET: 0,ABC", 4},
        {"*END", 5},
        {"*STARTDL", 6},
        {"*PUT", 7},
        {"*REMOVE", 8},
        {"*LIST: a", 9},
        {"*VOLUME: 9", 10},
        {"*CONNECT", 11},
        {"*DISCONNECT", 12},
        {"*FILEINFO: x", 13},
        {"*MKDIR", 14},
        {"*RMDIR", 15},
        {"SWITCHOFF", 52},
        {"switchoff", 52},
        {"", 50},
        {"O", 50},
        {"AT*CONNECT", 50},
        {"RING", 50},
        {"*GE", 50},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyLine(c.line), c.code) << c.line;
}

TEST(ResponseKeywords, ShortCommandsFromCodes)
{
    EXPECT_EQ(ShortCommand(11), "AT*CONNECT\r");
    EXPECT_EQ(ShortCommand(4), "AT*GET\r");
    EXPECT_EQ(ShortCommand(5), "AT*END\r");
    EXPECT_EQ(ShortCommand(0), "ATOK\r");
    EXPECT_EQ(ShortCommand(16), std::nullopt);  // no keyword
    EXPECT_EQ(ShortCommand(52), std::nullopt);  // above 16
    EXPECT_EQ(ShortCommand(-1), std::nullopt);
}

TEST(CommandNames, LooksUpRawFileCommands)
{
    EXPECT_EQ(CommandName(0x50), "*STARTUL");
    EXPECT_EQ(CommandName(0x5A), "*FILEINFO");
    EXPECT_EQ(CommandName(0x5C), "*RMDIR");
    EXPECT_EQ(CommandName(0x5D), std::nullopt);
    EXPECT_EQ(CommandName(300), std::nullopt);
}

TEST(CmeErrors, ReadsTheNumberAfterTheColon)
{
    const struct {
        const char* line;
        int number;
    } cases[] = {
        {"+CME ERROR: 21", 21}, {"+CME ERROR:3", 3},   {"+CME ERROR: 100\r", 100},
        {"+CME ERROR:", -1},    {"+CME ERROR: ", -1},  {"+CME ERROR: x\r5", -1},
        {"+CME ERROR", -1},     {"+CME ERROR: 7a", 7}, {"+CME ERROR: 99999999999", 2147483647},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CmeErrorNumber(c.line), c.number) << c.line;
}

TEST(Requests, TablesCoverTheCodesOfThisArea)
{
    for (int code : {89, 93, 204, 207, 208, 209, 210, 211, 221, 222, 223, 231, 232})
        EXPECT_NE(FindRequestRow(code), nullptr) << code;
    for (int code : {0, 202, 203, 300, 1000})
        EXPECT_EQ(FindRequestRow(code), nullptr) << code;
    EXPECT_NE(FindResponseHandlerRow(202), nullptr);
    EXPECT_NE(FindResponseHandlerRow(203), nullptr);
    EXPECT_EQ(FindResponseHandlerRow(93), nullptr);
    EXPECT_EQ(FindResponseHandlerRow(300), nullptr);
}

TEST(Requests, TextStopsAtTheRecordEnd)
{
    LinkRequest r{};
    std::memset(r.text, 'A', sizeof r.text);  // no NUL anywhere
    EXPECT_EQ(RequestText(r).size(), sizeof r.text - 1);
    std::strcpy(r.text, "AT\r");
    EXPECT_EQ(RequestText(r), "AT\r");
}

TEST(TranscriptLines, UseTheLocalTimeOfDay)
{
    const struct {
        plat::TimeOfDay time;
        bool sent;
        const char* text;
        const char* expected;
    } cases[] = {
        {{16, 5, 9}, true, "AT*CONNECT\r", "16:05:09 SEND: AT*CONNECT\r\r\n"},
        {{0, 0, 0}, false, "OK", "00:00:00 RECV: OK\r\n"},
        {{23, 59, 59}, false, "+CMT: ,23", "23:59:59 RECV: +CMT: ,23\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatTranscriptLine(c.time, c.sent, c.text), c.expected);
}

TEST(TranscriptLines, FileIsRecreatedAndWrittenAtOnce)
{
    const auto path = std::filesystem::temp_directory_path() / ("transcript_test_" + std::to_string(::getpid()));
    {
        std::ofstream old(path);
        old << "stale\n";
    }
    Transcript t;
    ASSERT_TRUE(t.Open(path.string()));
    t.Sent("ATE0\r");
    // Visible before close: nothing is buffered.
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    EXPECT_NE(content.str().find(" SEND: ATE0\r\r\n"), std::string::npos);
    EXPECT_EQ(content.str().find("stale"), std::string::npos);
    t.Received("OK");
    t.Close();
    std::stringstream after;
    after << std::ifstream(path).rdbuf();
    EXPECT_NE(after.str().find(" RECV: OK\r\n"), std::string::npos);
    std::filesystem::remove(path);
}

}  // namespace

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Result {
    int exit;
    std::string out, err;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Runs telvane with args, stdin from a file holding input.
Result RunTelvane(std::vector<std::string> args, const std::string& input = "")
{
    // ctest runs the cases as parallel processes: the file names carry the pid.
    const std::string dir = ::testing::TempDir() + "telvane_cli_" + std::to_string(::getpid());
    const std::string in = dir + "_in", out = dir + "_out", err = dir + "_err";
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    args.insert(args.begin(), TELVANE_BINARY);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    Result r{-1, "", ""};
    if (posix_spawn(&pid, TELVANE_BINARY, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    for (const auto& f : {in, out, err})
        std::remove(f.c_str());
    return r;
}

TEST(CliCodec, PduDecodeFieldByField)
{
    const Result r =
        RunTelvane({"codec", "pdu-decode",
                    "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07", "--status", "1"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out,
              "service_centre=+31624000000\n"
              "message_type=deliver\n"
              "first_octet=04\n"
              "address=+31641600986\n"
              "protocol_id=00\n"
              "data_coding=00\n"
              "time_stamp=02082619374180\n"
              "text=How are you?\n"
              "concat_reference=0\n"
              "concat_total=0\n"
              "concat_sequence=0\n"
              "length=12\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliCodec, PduDecodeVariants)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> lines;  // lines that must appear
    } cases[] = {
        {{"codec", "pdu-decode",
          "0044"
          "0B911346610089F6"
          "0000"
          "20806291731408"
          "0B"
          "050003A7030290691000"},
         {"text=Hi @\n", "concat_reference=167\n", "concat_total=3\n", "concat_sequence=2\n", "length=4\n"}},
        {{"codec", "pdu-decode",
          "0044"
          "0B911346610089F6"
          "0000"
          "20806291731408"
          "0A"
          "06080412340201CF25"},
         {"text=OK\n", "concat_reference=4660\n", "concat_total=2\n", "concat_sequence=1\n", "length=2\n"}},
        {{"codec", "pdu-decode",
          "07911326040000F0"
          "11"
          "00"
          "0B911346610089F6"
          "0008"
          "AA"
          "04"
          "4E2D6587",
          "--status=3"},
         {"first_octet=11\n", "address=+31641600986\n", "time_stamp=\n", "text=\xE4\xB8\xAD\xE6\x96\x87\n",
          "length=4\n"}},
    };
    for (const Case& c : cases) {
        const Result r = RunTelvane(c.args);
        EXPECT_EQ(r.exit, 0) << r.err;
        for (const std::string& line : c.lines)
            EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    }
}

TEST(CliCodec, PduEncode)
{
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"codec", "pdu-encode", "--sca", "+8613800100500", "--to", "8613912345678", "--text", "hello"},
         "0891683108100005F011000D91683119325476F8000000"
         "05E8329BFD06\n"},
        {{"codec", "pdu-encode", "--sca", "8613800100500", "--to", "8613912345678", "--text",
          "\xE4\xB8\xAD\xE6\x96\x87"},
         "0891683108100005F011000D91683119325476F8000800"
         "044E2D6587\n"},
        {{"codec", "pdu-encode", "--sca", "8613800100500", "--to", "8613912345678", "--text", "ab", "--dcs", "8"},
         "0891683108100005F011000D91683119325476F8000800"
         "0400610062\n"},
        {{"codec", "pdu-encode", "--sca", "8613800100500", "--to", "8613912345678", "--text", "a@b"},
         "0891683108100005F011000D91683119325476F8000000"
         "03618018\n"},
    };
    for (const Case& c : cases) {
        const Result r = RunTelvane(c.args);
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

// What pdu-encode writes, pdu-decode reads back without being told the
// message type; a PDU that ends early is an error.
TEST(CliCodec, PduDecodeTakesTheTypeFromTheFirstOctetAndRefusesCutOffPdus)
{
    const Result enc = RunTelvane({"codec", "pdu-encode", "--sca", "+8613800100500", "--to", "8613912345678", "--text",
                                   "pay $5 [ok] \xE2\x82\xAC"});
    ASSERT_EQ(enc.exit, 0) << enc.err;
    const std::string pdu = enc.out.substr(0, enc.out.find('\n'));
    const Result dec = RunTelvane({"codec", "pdu-decode", pdu});
    EXPECT_EQ(dec.exit, 0) << dec.err;
    EXPECT_NE(dec.out.find("message_type=submit\n"), std::string::npos) << dec.out;
    EXPECT_NE(dec.out.find("address=+8613912345678\n"), std::string::npos) << dec.out;
    EXPECT_NE(dec.out.find("text=pay $5 [ok] \xE2\x82\xAC\n"), std::string::npos) << dec.out;

    for (const std::string& cut : {std::string("0891"), pdu.substr(0, pdu.size() - 2)}) {
        const Result r = RunTelvane({"codec", "pdu-decode", cut});
        EXPECT_EQ(r.exit, 1) << cut;
        EXPECT_EQ(r.out, "") << cut;
        EXPECT_NE(r.err.find("ends before"), std::string::npos) << r.err;
    }
}

TEST(CliCodec, GbkTable)
{
    const Result r = RunTelvane({"codec", "gbk-table"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out.size(), 23940u * 10);
    EXPECT_EQ(r.out.substr(0, 20), "8140 4E02\n8141 4E04\n");
    EXPECT_NE(r.out.find("\nA1A1 3000\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nAAA1 E000\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 10), "FEFE E4C5\n");
}

TEST(CliCodec, PosixNames)
{
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string out;
    } cases[] = {
        {{"codec", "posix-encode", "abc"}, 0, "-53-NV0Y\n"}, {{"codec", "posix-encode", "a"}, 0, "-50\n"},
        {{"codec", "posix-decode", "-53-NV0Y"}, 0, "abc\n"}, {{"codec", "posix-decode", "abcde"}, 1, ""},
        {{"codec", "posix-decode", "-5+"}, 1, ""},
    };
    for (const Case& c : cases) {
        const Result r = RunTelvane(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args.back();
        EXPECT_EQ(r.out, c.out) << c.args.back();
        if (c.exit != 0) {
            EXPECT_NE(r.err, "");
        }
    }
}

TEST(CliCodec, PinyinSort)
{
    const std::string input = "bob\n"
                              "\xE5\xBC\xA0\xE4\xB8\x89\n"  // zhang san
                              "Bob\r\n"
                              "\xE6\x9D\x8E\xE5\x9B\x9B\n"  // li si
                              "123\n"
                              "\xE9\x98\xBF\xE6\x98\x8E";  // a ming, no final newline
    const Result r = RunTelvane({"codec", "pinyin-sort"}, input);
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out,
              "\xE9\x98\xBF\xE6\x98\x8E\n"
              "\xE6\x9D\x8E\xE5\x9B\x9B\n"
              "\xE5\xBC\xA0\xE4\xB8\x89\n"
              "123\nBob\nbob\n");
}

TEST(CliCodec, HelpAndUsageErrors)
{
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string inOut;  // must appear on stdout
        std::string inErr;  // must appear on stderr
    } cases[] = {
        {{"--help"}, 0, "codec", ""},
        {{"codec", "--help"}, 0, "pdu-decode", ""},
        {{"codec", "pdu-decode", "--help"}, 0, "HEX [--status N]", ""},
        {{}, 2, "", "usage"},
        {{"frobnicate"}, 2, "", "unknown command"},
        {{"codec", "pdu-decode"}, 2, "", "wrong number of arguments"},
        {{"codec", "pdu-decode", "00", "--status", "7"}, 2, "", "--status"},
        {{"codec", "pdu-decode", "00", "--bogus"}, 2, "", "unknown option"},
        {{"codec", "pdu-decode", "0G"}, 1, "", "hexadecimal"},
        {{"codec", "pdu-encode", "--to", "1", "--text", "x"}, 2, "", "required"},
        {{"codec", "pdu-encode", "--sca", "1", "--to", "12a", "--text", "x"}, 1, "", "digits"},
        {{"codec", "pdu-encode", "--sca", "1", "--to", "1", "--text", std::string(161, 'x')}, 1, "", "160"},
    };
    for (const Case& c : cases) {
        const Result r = RunTelvane(c.args);
        EXPECT_EQ(r.exit, c.exit) << (c.args.empty() ? "" : c.args.back());
        EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    }
}

}  // namespace

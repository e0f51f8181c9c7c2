// `telvane messages`, `send` and `watch` against the emulated handset
// (served in-process): the sample phone read and joined, a long message
// sent in parts and read back as one, a saved file shown again.

#include "cli_run.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <sstream>


namespace {

namespace fs = std::filesystem;
using linktest::SimPhone;

using clitest::Result;

Result Telvane(std::vector<std::string> args, const fs::path& dir)
{
    return clitest::RunProgram(std::move(args), dir);
}

size_t Lines(const std::string& s)
{
    return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
}

}  // namespace

TEST(CliMessages, ListSendLongAndShowASavedFile)
{
    SimPhone phone("climsg");
    ASSERT_TRUE(phone.ok());
    const fs::path home = phone.dir() / "home";
    fs::create_directories(home);
    ::setenv("TELVANE_HOME", home.c_str(), 1);

    // 7 SIM messages (two the parts of one) and 15 handset messages, two of
    // them joined from three parts.
    const Result list = Telvane({"messages", "list", "--format", "csv"}, phone.dir());
    ASSERT_EQ(list.exit, 0) << list.err;
    EXPECT_EQ(Lines(list.out), 1u + 21u) << list.out;
    EXPECT_NE(list.out.find("Part one of the trip report"), std::string::npos);
    EXPECT_NE(list.out.find("Photos follow by MMS."), std::string::npos);
    EXPECT_NE(list.out.find("in parts. This is a long message that the network delivers in parts."), std::string::npos);

    std::string text = "Long [one] {two} ~three~ \xE2\x82\xAC 5: ";
    while (text.size() < 400)
        text += "and more words. ";
    const Result send = Telvane({"send", "13912345678", text}, phone.dir());
    ASSERT_EQ(send.exit, 0) << send.err;
    EXPECT_EQ(send.out, "sent in 3 parts\n");

    const std::string psm = (phone.dir() / "all.psm").string();
    const Result exported = Telvane({"messages", "export", psm}, phone.dir());
    ASSERT_EQ(exported.exit, 0) << exported.err;
    const Result shown = Telvane({"messages", "show", psm, "--box", "out"}, phone.dir());
    ASSERT_EQ(shown.exit, 0) << shown.err;
    std::istringstream lines(shown.out);
    std::string first;
    std::getline(lines, first);
    EXPECT_EQ(first.substr(first.rfind('\t') + 1), text);  // newest first, as typed, one message

    EXPECT_EQ(Telvane({"messages", "export", "x.doc"}, phone.dir()).exit, 2);
    EXPECT_EQ(Telvane({"messages", "show", (phone.dir() / "out").string()}, phone.dir()).exit, 1);
    ::unsetenv("TELVANE_HOME");
}

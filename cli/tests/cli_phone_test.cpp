// The phone commands of the telvane program against the emulated handset
// (served in-process on a pseudo-terminal): file round trips, the services,
// incoming messages and the user's one-line errors; and the pieces of the
// commands that stand alone (cable detection, message joining, limits).

#include "cli/phone_commands.h"
#include "quorlink/codecs/phone_strings.h"
#include "cli_run.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>


namespace {

using linktest::Pattern;
using linktest::SimPhone;
namespace fs = std::filesystem;

using clitest::Process;
using clitest::Result;

class CliPhone : public clitest::PhoneTest {
protected:
    CliPhone() : PhoneTest("cliphone") {}
    Result Telvane(std::vector<std::string> args) { return clitest::RunProgram(std::move(args), phone->dir()); }
};

TEST_F(CliPhone, PutThenGetIsByteIdentical)
{
    for (const size_t size : {0, 1, 108, 109, 4096, 100000}) {
        const std::string data = Pattern(size, static_cast<uint32_t>(size + 7));
        const auto local = phone->dir() / ("in" + std::to_string(size));
        std::ofstream(local, std::ios::binary) << data;
        const std::string name = "/app/camera/c" + std::to_string(size);
        const Result put = Telvane({"put", local.string(), name});
        ASSERT_EQ(put.exit, 0) << size << put.err;
        EXPECT_EQ(put.err, "") << "no progress bar when stderr is not a terminal";
        const auto back = phone->dir() / ("back" + std::to_string(size));
        const Result get = Telvane({"get", name, back.string()});
        ASSERT_EQ(get.exit, 0) << size << get.err;
        EXPECT_TRUE(SimPhone::ReadAll(back) == data) << size;
        EXPECT_TRUE(SimPhone::ReadAll(phone->PhoneFile(name)) == data) << size;
    }
}

TEST_F(CliPhone, ProgressBarOnlyOnATerminal)
{
    const auto local = phone->dir() / "small";
    std::ofstream(local, std::ios::binary) << Pattern(300, 1);  // three blocks
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, slave, 2);
    posix_spawn_file_actions_addclose(&actions, master);
    std::string a0 = TELVANE_BINARY, a1 = "put", a2 = local.string(), a3 = "/app/camera/small";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, TELVANE_BINARY, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);  // a few hundred bytes: they fit in the terminal's buffer
    ::close(slave);
    std::string shown;
    char buf[4096];
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;)
        shown.append(buf, static_cast<size_t>(n));
    ::close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_NE(shown.find("\rput ["), std::string::npos) << shown;
    EXPECT_NE(shown.find("100% 300/300"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" 36% 108/300"), std::string::npos) << shown;
    EXPECT_EQ(shown.back(), '\n');
}

TEST_F(CliPhone, InfoLsRmAndAt)
{
    const auto conf = simphone::PhoneConfig::load(phone->state());
    const Result info = Telvane({"info"});
    ASSERT_EQ(info.exit, 0) << info.err;
    EXPECT_EQ(info.out,
              "port: COM1\nversion: " + conf.revision +
                  "\nmessages: 7 of 50\nprivacy lock: pictures open, messages open\n");

    std::ofstream(phone->PhoneFile("/app/camera/zz.bin"), std::ios::binary) << "12345";
    const Result ls = Telvane({"ls", "/app/camera"});
    ASSERT_EQ(ls.exit, 0) << ls.err;
    EXPECT_NE(ls.out.find("zz.bin\t5\n"), std::string::npos) << ls.out;
    EXPECT_EQ(Telvane({"ls", "/app"}).out.find("camera/\n") != std::string::npos, true);

    EXPECT_EQ(Telvane({"rm", "/app/camera/zz.bin"}).exit, 0);
    EXPECT_FALSE(fs::exists(phone->PhoneFile("/app/camera/zz.bin")));
    const Result again = Telvane({"rm", "/app/camera/zz.bin"});
    EXPECT_EQ(again.exit, 1);
    EXPECT_EQ(again.err, "telvane: phone refused: not found (+CME ERROR: 22)\n");
    // The phone's "incorrect parameters" shares its number with a local code.
    const Result relative = Telvane({"rm", "app/camera/zz.bin"});
    EXPECT_EQ(relative.exit, 1);
    EXPECT_EQ(relative.err, "telvane: phone refused: incorrect parameters (+CME ERROR: 50)\n");

    // Slot files show their readable name after the size.
    const Result slots = Telvane({"ls", "/app/jpeg"});
    ASSERT_EQ(slots.exit, 0) << slots.err;
    std::string encoded = "user000.jpg";
    encoded.resize(40);
    StringToPosix(encoded.data());
    const auto size = fs::file_size(phone->PhoneFile("/app/jpeg/" + std::string(encoded.c_str())));
    EXPECT_NE(slots.out.find(encoded.c_str() + ("\t" + std::to_string(size) + "\tuser000.jpg\n")), std::string::npos)
        << slots.out;

    const Result at = Telvane({"at", "AT+CGMI", "AT+CPBS?"});
    ASSERT_EQ(at.exit, 0) << at.err;
    EXPECT_EQ(at.out, conf.manufacturer + "\nOK\n+CPBS: \"SM\",30,250\nOK\n");
    const Result bad = Telvane({"at", "AT+CGMI", "AT+NOSUCH", "AT+CGMM"});
    EXPECT_EQ(bad.exit, 1);
    EXPECT_EQ(bad.out, conf.manufacturer + "\nOK\nERROR\n");  // stops at the first refusal
}

TEST_F(CliPhone, SimFilesAndSending)
{
    const auto pb = phone->dir() / "pb.sim";
    const Result p = Telvane({"sim-phonebook", pb.string()});
    ASSERT_EQ(p.exit, 0) << p.err;
    EXPECT_EQ(p.out, "30 entries written to " + pb.string() + "\n");
    EXPECT_EQ(SimPhone::ReadAll(pb).substr(0, 8), "250,30\r\n");

    const auto sms = phone->dir() / "sms.sim";
    const Result m = Telvane({"sim-messages", sms.string()});
    ASSERT_EQ(m.exit, 0) << m.err;
    EXPECT_EQ(SimPhone::ReadAll(sms).substr(0, 6), "50,7\r\n");

    EXPECT_EQ(Telvane({"send", "13912345678", "Hello"}).exit, 0);
    EXPECT_EQ(Telvane({"send", "+8613912345678", "你好"}).exit, 0);
    const std::string log = phone->Transcript();
    const size_t first = log.find("RECV AT+CMGS=");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(log.find("RECV AT+CMGS=", first + 1), std::string::npos);
}

TEST_F(CliPhone, WatchPrintsSingleAndJoinedMessages)
{
    Process watch({"watch", "--count", "2", "--timeout", "60"}, phone->dir());
    ASSERT_TRUE(watch.WaitForErr("watching COM1"));
    const std::string longText = std::string(150, 'a') + " and " + std::string(60, 'b');  // two parts
    ASSERT_EQ(phone->Control("sms +8613800001111 Hello 你好"), "OK");
    ASSERT_EQ(phone->Control("sms 10086 " + longText), "OK");
    const Result r = watch.Wait();
    ASSERT_EQ(r.exit, 0) << r.err;
    std::istringstream lines(r.out);
    std::string first, second, extra;
    ASSERT_TRUE(std::getline(lines, first));
    ASSERT_TRUE(std::getline(lines, second));
    EXPECT_FALSE(std::getline(lines, extra));
    const auto fields = [](const std::string& l) {
        std::vector<std::string> f;
        std::istringstream s(l);
        for (std::string x; std::getline(s, x, '\t');)
            f.push_back(x);
        return f;
    };
    const auto a = fields(first), b = fields(second);
    ASSERT_EQ(a.size(), 3u) << first;
    ASSERT_EQ(b.size(), 3u) << second;
    EXPECT_EQ(a[0], "+8613800001111");
    EXPECT_EQ(a[1].size(), std::string("26/12/08,01:02:03").size()) << a[1];
    EXPECT_EQ(a[2], "Hello 你好");
    EXPECT_EQ(b[0], "10086");
    EXPECT_EQ(b[2], longText);
}

TEST_F(CliPhone, WatchTimesOut)
{
    const Result r = Telvane({"watch", "--count", "1", "--timeout", "1"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("telvane: timed out after 0 of 1 messages"), std::string::npos) << r.err;
    EXPECT_EQ(Telvane({"watch", "--timeout", "1"}).exit, 0);  // no count: the time is simply up
}

TEST_F(CliPhone, ErrorsAUserUnderstands)
{
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string err;
    } cases[] = {
        {{"get", "/app/camera/none", "/no/such/dir/x"},
         1,
         "telvane: cannot write /no/such/dir/x: No such file or directory\n"},
        {{"put", "/no/such/file", "/app/camera/x"},
         1,
         "telvane: cannot read /no/such/file: No such file or directory\n"},
        {{"get", "/app/camera/none", (phone->dir() / "none").string()},
         1,
         "telvane: copying from /app/camera/none failed: the phone said not found (+CME ERROR: 22)\n"},
        {{"send", "12ab", "x"},
         2,
         "telvane: NUMBER must be digits with an optional leading '+', at most 20 characters\n"},
        {{"send", "123", std::string(1531, 'x')},
         2,
         "telvane: TEXT is too long: a message goes in at most 10 parts (1530 GSM characters, or 670 with any "
         "other character)\n"},
        {{"watch", "--count", "0"}, 2, "telvane: --count needs a positive number\n"},
        {{"get", "/app/x"}, 2, ""},
    };
    for (const auto& c : cases) {
        const Result r = Telvane(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args[0] << " " << r.err;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err) << c.args[0];
        }
    }
    // No serial port at all.
    const auto empty = phone->dir() / "noports";
    fs::create_directories(empty);
    ::setenv("TELVANE_SERIAL_DIR", empty.c_str(), 1);
    const Result none = Telvane({"info"});
    EXPECT_EQ(none.exit, 1);
    EXPECT_EQ(none.err, "telvane: no cable found\n");
    const Result ports = Telvane({"ports"});
    EXPECT_EQ(ports.exit, 0);
    EXPECT_NE(ports.out.find("ports: none\n"), std::string::npos);
}

// What a user ran into: a refused download that emptied the target, names
// cut to fit, a prompt left open, a switched-off phone not named, readable
// slot names refused.
TEST_F(CliPhone, FaultsUsersRanInto)
{
    // A refused download leaves an existing target as it was, and no
    // working copy beside it.
    const auto precious = phone->dir() / "precious.txt";
    std::ofstream(precious) << "keep me";
    const Result refused = Telvane({"get", "/app/camera/nope.jpg", precious.string()});
    EXPECT_EQ(refused.exit, 1);
    EXPECT_EQ(SimPhone::ReadAll(precious), "keep me");
    for (const auto& e : fs::directory_iterator(phone->dir()))
        EXPECT_EQ(e.path().filename().string().find("precious.txt."), std::string::npos) << e.path();

    // Names longer than the request's field are refused before anything is sent.
    const std::string longLocal = (phone->dir() / std::string(250, 'n')).string();
    const Result tooLong = Telvane({"put", longLocal, "/app/camera/x"});
    EXPECT_EQ(tooLong.exit, 1);
    EXPECT_NE(tooLong.err.find("too long"), std::string::npos) << tooLong.err;
    const Result tooLongPhone = Telvane({"get", "/app/camera/" + std::string(250, 'p'), (phone->dir() / "y").string()});
    EXPECT_EQ(tooLongPhone.exit, 1);
    EXPECT_NE(tooLongPhone.err.find("too long"), std::string::npos) << tooLongPhone.err;

    // A command that opens the text prompt: the prompt is cancelled and
    // the phone answers the next command.
    const Result prompt = Telvane({"at", "AT+CMGS=5"});
    EXPECT_EQ(prompt.exit, 1);
    EXPECT_NE(prompt.err.find("prompt was cancelled"), std::string::npos) << prompt.err;
    EXPECT_EQ(Telvane({"at", "AT"}).exit, 0);

    // Slot files by their readable names.
    const auto midi = phone->dir() / "user000.mid";
    const Result slot = Telvane({"get", "/app/midi/user000.mid", midi.string()});
    ASSERT_EQ(slot.exit, 0) << slot.err;
    std::string encoded = "user000.mid";
    encoded.resize(40);
    StringToPosix(encoded.data());
    EXPECT_TRUE(SimPhone::ReadAll(midi) ==
                SimPhone::ReadAll(phone->PhoneFile("/app/midi/" + std::string(encoded.c_str()))));

    // A switched-off phone is named as such.
    ASSERT_EQ(phone->Control("switchoff"), "OK");
    const Result off = Telvane({"info"});
    EXPECT_EQ(off.exit, 1);
    EXPECT_EQ(off.err, "telvane: the phone is switched off\n");
}

// ------------------------------------------------------ pieces alone

TEST(CliPieces, CableDetection)
{
    const fs::path root = fs::temp_directory_path() / ("sysfs" + std::to_string(::getpid()));
    fs::remove_all(root);
    const auto device = [&](const std::string& name, const std::string& vendor, const std::string& product,
                            const std::string& tty) {
        const auto d = root / "bus" / "usb" / "devices" / name;
        fs::create_directories(d);
        std::ofstream(d / "idVendor") << vendor << "\n";
        std::ofstream(d / "idProduct") << product << "\n";
        if (!tty.empty())
            fs::create_directories(d / (name + ":1.0") / tty);
    };
    EXPECT_EQ(telvane::cli::CableDetection(root.string()), "");  // no device list
    device("1-1", "1d6b", "0002", "");
    EXPECT_EQ(telvane::cli::CableDetection(root.string()), "ERROR_NON");
    device("1-2", "067b", "2303", "ttyUSB2");
    EXPECT_EQ(telvane::cli::CableDetection(root.string()), "COM3");
    device("1-3", "067b", "2303", "ttyUSB0");
    EXPECT_EQ(telvane::cli::CableDetection(root.string()), "ERROR_TOO_MANY");
    fs::remove_all(root);
}

TEST(CliPieces, SlotNamesDecodeOnlyInTheSlotDirectories)
{
    const auto encode = [](std::u16string_view name) {
        std::vector<unsigned short> values(name.begin(), name.end());
        char* out = nullptr;
        EXPECT_TRUE(strCF_CnvUcs2ToPosix(values.data(), static_cast<unsigned char>(values.size()), &out));
        std::string s(out);
        std::free(out);
        return s;
    };
    const struct {
        std::string dir, name;
        std::optional<std::string> decoded;
    } cases[] = {
        {"/app/jpeg", encode(u"Sunset.jpg"), "Sunset.jpg"},
        {"/app/midi/", encode(u"\u4F60\u597D.mid"), "\u4F60\u597D.mid"},  // GBK on the phone, UTF-8 here
        {"/app/camera", encode(u"Sunset.jpg"), std::nullopt},  // plain names elsewhere
        {"/app/jpeg", "plain.txt", std::nullopt},  // '.' is no name character
        {"/app/jpeg", "abcde", std::nullopt},  // a length no name has
    };
    for (const auto& c : cases)
        EXPECT_EQ(telvane::cli::DecodedSlotName(c.dir, c.name), c.decoded) << c.dir << " " << c.name;
}

}  // namespace

TEST_F(CliPhone, BackupInfoDryRunUnpackAndRestore)
{
    const std::string bak = (phone->dir() / "phone.bak").string();
    const Result backup = Telvane({"backup", (phone->dir() / "phone").string(), "--only", "phonebook,messages"});
    ASSERT_EQ(backup.exit, 0) << backup.err;
    EXPECT_NE(backup.out.find("The backup is complete."), std::string::npos) << backup.out;

    const Result info = Telvane({"backup-info", bak});
    EXPECT_EQ(info.exit, 0) << info.err;
    EXPECT_NE(info.out.find("\t/app/sms/dt/draft0\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("whole: yes\n"), std::string::npos) << info.out;
    const Result dry = Telvane({"restore", bak, "--dry-run"});
    EXPECT_EQ(dry.exit, 0) << dry.err;
    EXPECT_NE(dry.out.find("/app/dir/smpbtab\n"), std::string::npos) << dry.out;

    const Result unpack = Telvane({"unpack", bak, (phone->dir() / "unpacked").string()});
    EXPECT_EQ(unpack.exit, 0) << unpack.err;
    EXPECT_TRUE(SimPhone::ReadAll(phone->dir() / "unpacked" / "_app_dir_smpbtab") ==
                SimPhone::ReadAll(phone->PhoneFile("/app/dir/smpbtab")));

    // A backup cut short is refused and reported; the phone is not asked.
    const std::string whole = SimPhone::ReadAll(bak);
    std::ofstream(bak, std::ios::binary) << whole.substr(0, whole.size() - 10);
    const Result cut = Telvane({"restore", bak});
    EXPECT_EQ(cut.exit, 1);
    EXPECT_NE(cut.err.find("Nothing has been written to the phone."), std::string::npos) << cut.err;
    EXPECT_EQ(Telvane({"backup-info", bak}).exit, 1);
}

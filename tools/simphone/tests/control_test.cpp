// The control socket and the line's life: switch-off and power-on, unplug and
// plug, the injected faults, the client closing and reopening the port, and
// the emulator's own transcript.
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "phone_fixture.h"

namespace simphone::testing {
namespace {

class ControlTest : public PhoneFixture { };

TEST_F(ControlTest, SwitchOffSendsSwitchoffAndStopsAnsweringUntilPowerOn)
{
    ASSERT_EQ(control("switchoff"), "OK");
    ASSERT_TRUE(
        client_->readUntil([](const std::string& b) { return b.find("\r\nSWITCHOFF\r\n") != std::string::npos; }));
    client_->take();
    EXPECT_EQ(control("switchoff"), "ERROR already off");
    EXPECT_EQ(control("sms 10086 hi"), "ERROR phone is off");
    client_->write("AT\r");
    ASSERT_EQ(control("poweron"), "OK");  // the control answer orders it after the AT above was read
    EXPECT_EQ(client_->take(), "");
    // A fresh power-on echoes again.
    EXPECT_EQ(client_->at("AT"), (std::vector<std::string>{"AT", "OK"}));
}

TEST_F(ControlTest, UnplugRemovesTheLinkAndPlugBringsItBack)
{
    const auto link = transport_->linkPath();
    ASSERT_EQ(control("unplug"), "OK");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_TRUE(client_->readUntil([](const std::string&) { return false; }, kDeadlineMs) == false && client_->dead());
    EXPECT_EQ(control("unplug"), "ERROR not plugged");
    ASSERT_EQ(control("plug"), "OK");
    EXPECT_EQ(control("plug"), "ERROR already plugged");
    client_ = std::make_unique<LineClient>(link);
    ASSERT_TRUE(client_->ok());
    EXPECT_EQ(client_->at("AT").back(), "OK");
}

// A phone whose cable is pulled, or whose line dies, mid-transfer abandons
// that transfer and the half-typed command: the client's first commands after
// the reconnect work instead of meeting "transfer already open" (error 1).
TEST_F(ControlTest, ALineThatDiesAbandonsTheOpenTransferAndTheHalfTypedLine)
{
    const auto table = phonePath("/app/dir/smpbtab");
    const auto original = ReadFileBytes(table);
    ASSERT_TRUE(original);
    struct Case {
        const char* what;
        std::vector<std::string> opening;  // each answers OK
        std::string before;  // bytes sent before the fault: half a line
        std::string fault;  // control command that kills the line
        std::string after;  // bytes sent after it: a reply to cut, then half a line
    } cases[] = {
        {"download, cable pulled", {"AT*STARTUL=/app/dir/smpbtab", "AT*GET"}, "AT+CGM", "unplug", ""},
        {"download, line dies in a reply", {"AT*STARTUL=/app/dir/smpbtab"}, "", "fault drop-after 8", "AT*GET\rAT+CG"},
        {"upload, cable pulled", {"AT*STARTDL=/app/dir/smpbtab,3", "AT*PUT=0,2,AAA=,AA=="}, "AT*PU", "unplug", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& command : c.opening)
            ASSERT_EQ(last(command), "OK") << command;
        client_->write(c.before);
        ASSERT_EQ(control(c.fault), "OK");
        client_->write(c.after);
        client_->readUntil([](const std::string&) { return false; }, kDeadlineMs);
        ASSERT_TRUE(client_->dead());
        ASSERT_EQ(control("plug"), "OK");
        client_ = std::make_unique<LineClient>(transport_->linkPath());
        ASSERT_TRUE(client_->ok());
        EXPECT_EQ(last("AT"), "OK");  // not glued to the bytes typed before the line died
        EXPECT_EQ(at("AT*STARTUL=/app/dir/smpbtab").front(), "*STARTUL: " + std::to_string(original->size()));
        EXPECT_EQ(last("AT*END"), "OK");
        EXPECT_EQ(ReadFileBytes(table), original);  // an abandoned upload changes nothing
    }
}

TEST_F(ControlTest, PortSurvivesCloseAndReopen)
{
    for (int i = 0; i < 3; ++i) {
        client_ = std::make_unique<LineClient>(transport_->linkPath());
        ASSERT_TRUE(client_->ok());
        EXPECT_EQ(last("AT*CONNECT"), "OK");
    }
}

TEST_F(ControlTest, FaultErrorFailsTheNextMatchingCommandOnce)
{
    ASSERT_EQ(control("fault error AT+CGMI"), "OK");
    EXPECT_EQ(last("AT+CGMM"), "OK");
    EXPECT_EQ(last("AT+CGMI"), "ERROR");
    EXPECT_EQ(last("AT+CGMI"), "OK");
    ASSERT_EQ(control("fault error *GET"), "OK");  // the prefix may leave out "AT"
    EXPECT_EQ(last("AT*GET"), "ERROR");
    EXPECT_EQ(control("fault error"), "ERROR unknown command");
}

TEST_F(ControlTest, FaultGarbageSendsThatManyBytesAndServingGoesOn)
{
    ASSERT_EQ(control("fault garbage 300"), "OK");
    ASSERT_TRUE(client_->readUntil([](const std::string& b) { return b.size() >= 300; }));
    EXPECT_EQ(client_->take().size(), 300u);
    EXPECT_EQ(last("AT"), "OK");
    EXPECT_EQ(control("fault garbage x"), "ERROR bad byte count");
}

TEST_F(ControlTest, FaultSilenceDropsEverythingForItsDuration)
{
    ASSERT_EQ(control("fault silence 1"), "OK");
    client_->write("AT+CGMI\r");
    EXPECT_EQ(client_->drainFor(1300), "");  // for the length of the fault itself
    EXPECT_EQ(last("AT+CGMI"), "OK");
    EXPECT_EQ(control("fault silence -3"), "ERROR bad seconds");
}

TEST_F(ControlTest, FaultDropAfterKillsTheLineAfterThatManyBytes)
{
    ASSERT_EQ(control("fault drop-after 10"), "OK");
    client_->write("AT*LIST=/app/dir\r");
    client_->readUntil([](const std::string&) { return false; }, kDeadlineMs);
    EXPECT_TRUE(client_->dead());
    EXPECT_EQ(client_->take(), "\r\n*LIST:/a");  // exactly 10 bytes
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(transport_->linkPath())));
    ASSERT_EQ(control("plug"), "OK");
    client_ = std::make_unique<LineClient>(transport_->linkPath());
    EXPECT_EQ(client_->at("AT").back(), "OK");
}

TEST_F(ControlTest, UnknownCommandsAreRefused)
{
    EXPECT_EQ(control("frobnicate"), "ERROR unknown command");
    EXPECT_EQ(control("poweron boot"), "ERROR boot mode not available");
    EXPECT_EQ(last("AT"), "OK");  // the handset is still there
}

TEST_F(ControlTest, TranscriptRecordsBothDirections)
{
    ASSERT_EQ(last("AT+CGMM"), "OK");
    ASSERT_EQ(control("fault garbage 1"), "OK");
    std::ifstream in(state_ / "simphone.log");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string log = ss.str();
    EXPECT_NE(log.find(" RECV AT+CGMM\\r"), std::string::npos) << log;
    EXPECT_NE(log.find(" SEND \\r\\nV318\\r\\n\\r\\nOK\\r\\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" CTRL fault garbage 1 -> OK"), std::string::npos) << log;
}

}  // namespace
}  // namespace simphone::testing

namespace simphone::testing {
namespace {

// A bare pseudo-terminal pair, both ends open.
struct PtyPair {
    int master = -1, slave = -1;
    PtyPair()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    }
    ~PtyPair()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
};

// The pacing follows the speed the client sets on its side of the terminal,
// whether a standard rate through termios or any rate set by the emulator.
TEST(LineSpeedTest, MasterReportsTheSpeedSetOnTheClientSide)
{
    PtyPair pty;
    ASSERT_GE(pty.slave, 0);
    for (auto [code, baud] : {std::pair{B9600, 9600}, std::pair{B115200, 115200}, std::pair{B460800, 460800}}) {
        termios t{};
        tcgetattr(pty.slave, &t);
        cfsetispeed(&t, code);
        cfsetospeed(&t, code);
        ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &t), 0);
        EXPECT_EQ(ReadLineSpeed(pty.master), baud);
    }
    for (int baud : {812500, 115200, 9600}) {
        ASSERT_TRUE(SetLineSpeed(pty.slave, baud));
        EXPECT_EQ(ReadLineSpeed(pty.master), baud);
    }
    EXPECT_FALSE(SetLineSpeed(pty.slave, 0));
}

// The program as the demo runs it: init-state, serve, answer, stop on SIGTERM.
TEST(ExecutableTest, ServesTheLinkAndExitsCleanlyOnSigterm)
{
    const auto dir = ScratchDir("exe");
    const std::string exe = SIMPHONE_EXE;
    ASSERT_EQ(std::system((exe + " init-state " + (dir / "state").string() + " --seed 2").c_str()), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string state = (dir / "state").string(), serial = (dir / "serial").string(),
                          ctl = (dir / "ctl").string();
        const int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        execl(exe.c_str(), exe.c_str(), "--state", state.c_str(), "--serial-dir", serial.c_str(), "--control",
              ctl.c_str(), "--line-rate", "115200", static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto link = dir / "serial" / "COM1";
    std::unique_ptr<LineClient> c;
    // Wait for the link to appear (bounded; a missing link fails the test).
    for (int i = 0; i < 500 && !c; ++i) {
        std::error_code ec;
        if (std::filesystem::exists(link, ec))
            c = std::make_unique<LineClient>(link);
        else {
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, 10);
        }
    }
    ASSERT_TRUE(c && c->ok());
    EXPECT_EQ(c->at("AT+CGMM"), (std::vector<std::string>{"AT+CGMM", "V318", "OK"}));
    c.reset();
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_FALSE(std::filesystem::exists(dir / "ctl"));
    std::filesystem::remove_all(dir);
}

TEST_F(ControlTest, StatsCountTheBytesThatCrossedTheLine)
{
    const auto counts = [this] {
        unsigned long long in = 0, out = 0;
        EXPECT_EQ(std::sscanf(control("stats").c_str(), "OK %llu %llu", &in, &out), 2);
        return std::pair{in, out};
    };
    const auto before = counts();
    const auto lines = client_->at("AT");
    ASSERT_EQ(lines.back(), "OK");
    const auto after = counts();
    EXPECT_EQ(after.first - before.first, 3u);  // "AT\r"
    // "\r\nOK\r\n", after the echo "AT\r" when echo is on.
    EXPECT_EQ(after.second - before.second, lines.size() == 2 ? 9u : 6u);
}

}  // namespace
}  // namespace simphone::testing

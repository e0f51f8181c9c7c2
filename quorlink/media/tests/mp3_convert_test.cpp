// The encoder runs: their command lines reach the encoder intact, a run past
// its limit or a failed encoder is reported and leaves no file behind, and
// the real encoder turns an MP3 into the phone's 8 kHz mono form.

#include "platform/clock.h"
#include "quorlink/media/mp3_convert.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qm = quorlink::media;
namespace fs = std::filesystem;

namespace {

class Mp3Convert : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("telvane mp3 " + std::to_string(::getpid()));
        fs::create_directories(dir_);
        d_ = dir_.string() + "/";
    }
    void TearDown() override
    {
        ::unsetenv("TELVANE_LAME");
        fs::remove_all(dir_);
    }
    // A stand-in encoder: a shell script with the given body.
    void fakeEncoder(const std::string& body)
    {
        const fs::path script = dir_ / "fake lame";
        std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
        ::setenv("TELVANE_LAME", script.c_str(), 1);
    }
    std::string read(const std::string& name)
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
    std::string d_;
};

TEST_F(Mp3Convert, ArgumentsArriveIntactAndOutputsAreChecked)
{
    // Records each argument on a line of its own, then writes the last one.
    fakeEncoder("for a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
                "for a in \"$@\"; do last=\"$a\"; done; echo sound > \"$last\"");
    const std::string source = d_ + "my song (live).mp3";
    struct Case {
        qm::Mp3Run run;
        std::string expected;
    };
    const Case cases[] = {
        {qm::Mp3Run::Resample, "--resample\n8\n" + source + "\n" + d_ + "resample.mp3\n"},
        {qm::Mp3Run::Decode, "--decode\n" + source + "\n" + d_ + "decoded.wav\n"},
        {qm::Mp3Run::Encode, "-m\nm\n-b\n32\n--resample\n8\n" + d_ + "decoded.wav\n" + d_ + "encoded.mp3\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qm::RunEncoder(c.run, source, d_), qm::kRunOk);
        EXPECT_EQ(read("args"), c.expected);
    }

    // An encoder that fails must not let an earlier run's file stand in.
    fakeEncoder("exit 1");
    std::ofstream(dir_ / "encoded.mp3") << "the previous sound";
    EXPECT_EQ(qm::RunEncoder(qm::Mp3Run::Encode, "", d_), qm::kRunFailed);
    EXPECT_FALSE(fs::exists(dir_ / "encoded.mp3"));
    fakeEncoder("exit 0");  // ends well but writes nothing
    EXPECT_EQ(qm::RunEncoder(qm::Mp3Run::Decode, source, d_), qm::kRunFailed);

    ::setenv("TELVANE_LAME", (d_ + "no such encoder").c_str(), 1);
    EXPECT_EQ(qm::RunEncoder(qm::Mp3Run::Resample, source, d_), qm::kRunTimeout);
}

TEST_F(Mp3Convert, ARunPastItsLimitIsEnded)
{
    fakeEncoder("echo $$ > \"$(dirname \"$0\")/pid\"; exec sleep 30");
    plat::SetClockScaleForTesting(1000);  // 120 s of program time in 120 ms
    EXPECT_EQ(qm::RunEncoder(qm::Mp3Run::Resample, d_ + "x.mp3", d_), qm::kRunTimeout);
    plat::SetClockScaleForTesting(1);
    const std::string pid = read("pid");
    ASSERT_FALSE(pid.empty());
    EXPECT_FALSE(fs::exists("/proc/" + pid.substr(0, pid.size() - 1) + "/stat")) << "the encoder was left running";
}

TEST_F(Mp3Convert, TheRealEncoderMakesThePhonesForm)
{
    if (qm::EncoderProgram() == "lame" && std::system("command -v lame >/dev/null") != 0)
        GTEST_SKIP() << "lame is not installed";
    fs::copy_file(TELVANE_SOUND_DATA "/tone.mp3", dir_ / "source tone.mp3");
    ASSERT_EQ(qm::RunEncoder(qm::Mp3Run::Decode, d_ + "source tone.mp3", d_), qm::kRunOk);
    ASSERT_EQ(qm::RunEncoder(qm::Mp3Run::Encode, "", d_), qm::kRunOk);
    const std::string mp3 = read("encoded.mp3");
    // 2 s at 32 kbit/s is about 8000 bytes; the first frame header says
    // MPEG-2.5 layer III (the only version with 8 kHz), mono.
    EXPECT_GT(mp3.size(), 6000u);
    EXPECT_LT(mp3.size(), 12000u);
    const size_t sync = mp3.find("\xFF\xE3");
    ASSERT_NE(sync, std::string::npos);
    EXPECT_EQ(uint8_t(mp3[sync + 3]) >> 6, 3) << "mono";
}

}  // namespace

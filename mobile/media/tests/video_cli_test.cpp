// `telvane mjp2avi` and `telvane video list|save` (against the emulated
// phone, served in-process) as a user runs them: what they print, their
// exit codes, and which files they leave.
#include "clip_maker.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Ran {
    int exit = -1;
    std::string out, err;
};

class VideoCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/telvane_video_cli_XXXXXX";
        dir = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir); }

    Ran Telvane(const std::string& args) const
    {
        const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
        const int status = std::system((std::string(TELVANE_BINARY) + " " + args + " >" + out + " 2>" + err).c_str());
        Ran r;
        r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }
    static std::string Slurp(const fs::path& p)
    {
        std::ifstream f(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    std::string Write(const std::string& name, std::span<const uint8_t> bytes) const
    {
        const auto path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    fs::path dir;
};

TEST_F(VideoCli, Mjp2Avi)
{
    const auto made = mediatest::MakeClip({.width = 64, .height = 48, .frames = 5, .intervalMs = 250});
    ASSERT_TRUE(made);
    const std::string good = Write("good.mjp", made->mjp);
    const std::string cut = Write("cut.mjp", std::span(made->mjp).first(made->mjp.size() - 2));
    const std::string avi = (dir / "out.avi").string();

    Ran r = Telvane("mjp2avi " + good + " " + avi);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, avi + ": 5 frames of 64x48, 250 ms apart (4.00 frames per second)\n");
    EXPECT_EQ(r.err, "");  // no progress bar when stderr is not a terminal
    EXPECT_EQ(fs::file_size(avi), 224u + 5 * (8 + 64 * 3 * 48) + 8 + 5 * 16);

    // A clip cut inside its last frame: the frames before it, and a failure.
    r = Telvane("mjp2avi " + cut + " " + avi);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, avi + ": 4 frames of 64x48, 250 ms apart (4.00 frames per second)\n");
    EXPECT_EQ(r.err,
              "telvane: " + cut + ": The clip ends in the middle of a frame; the frames before it were saved.\n");

    // Not a clip: nothing is created.
    const std::string other = (dir / "other.avi").string();
    r = Telvane("mjp2avi " + avi + " " + other);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "telvane: " + avi + ": The file is not a motion-JPEG clip.\n");
    EXPECT_FALSE(fs::exists(other));
    r = Telvane("mjp2avi " + (dir / "missing.mjp").string() + " " + other);
    EXPECT_EQ(r.err, "telvane: " + (dir / "missing.mjp").string() + ": The clip file could not be read.\n");
    EXPECT_EQ(Telvane("mjp2avi " + good).exit, 2);
}

// The sample phone's clips: the first spans four parts, the third is
// QCIF, the fourth private.
TEST_F(VideoCli, ListAndSaveAgainstTheEmulatedPhone)
{
    linktest::SimPhone phone("videocli");
    ASSERT_TRUE(phone.ok());
    const fs::path home = dir / "home";
    fs::create_directories(home);
    ::setenv("TELVANE_HOME", home.c_str(), 1);

    Ran r = Telvane("video list");
    ASSERT_EQ(r.exit, 0) << r.err;
    std::vector<std::string> lines;
    for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.out.substr(at, r.out.rfind('\t', nl) - at));  // without the size
    EXPECT_EQ(lines,
              (std::vector<std::string>{"1\tLake walk\t00:08\t128x96", "2\tBirthday\t00:03\t128x96",
                                        "3\tStreet\t00:02\t128x96", "4\t(private)\t0\t0"}));

    const std::string avi = (dir / "lake.avi").string();
    r = Telvane("video save 1 " + avi);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, avi + ": 40 frames of 128x96, 200 ms apart (5.00 frames per second)\n");
    EXPECT_EQ(std::system(("ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,"
                           "r_frame_rate,nb_read_frames -of csv=p=0 " +
                           avi + " >" + (dir / "probe").string())
                              .c_str()),
              0);
    EXPECT_EQ(Slurp(dir / "probe"), "rawvideo,128,96,5/1,40\n");
    r = Telvane("video save 3 " + (dir / "street").string());
    EXPECT_EQ(r.out, (dir / "street.avi").string() + ": 16 frames of 176x144, 125 ms apart (8.00 frames per second)\n");

    r = Telvane("video save 4 " + avi);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "telvane: clip 4: This clip is private while the phone's privacy lock is on.\n");
    r = Telvane("video save 7 " + avi);
    EXPECT_EQ(r.err, "telvane: the phone has no clip 7\n");
    // Nothing but the index is left in the program directory.
    for (const auto& e : fs::directory_iterator(home))
        EXPECT_TRUE(e.path().filename() == "VideoIndex" || e.path().filename() == "log.txt") << e.path();
    ::unsetenv("TELVANE_HOME");
    ::unsetenv("TELVANE_SERIAL_DIR");
}

}  // namespace

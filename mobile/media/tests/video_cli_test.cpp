// `telvane mjp2avi` as a user runs it: what it prints, its exit codes, and
// which files it leaves.
#include "clip_maker.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

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
    EXPECT_EQ(r.err, "telvane: " + cut + ": the clip ends inside a frame; the frames before it were written\n");

    // Not a clip: nothing is created.
    const std::string other = (dir / "other.avi").string();
    r = Telvane("mjp2avi " + avi + " " + other);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "telvane: " + avi + ": not a motion-JPEG clip\n");
    EXPECT_FALSE(fs::exists(other));
    r = Telvane("mjp2avi " + (dir / "missing.mjp").string() + " " + other);
    EXPECT_EQ(r.err, "telvane: " + (dir / "missing.mjp").string() + ": the clip file cannot be read\n");
    EXPECT_EQ(Telvane("mjp2avi " + good).exit, 2);
}

}  // namespace

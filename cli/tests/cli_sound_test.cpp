// `telvane ringtones`, `ringtone put|clear|save` and `play` against the
// emulated handset: one user's session from listing to saving, with the
// ringtone space shared by the slots.

#include "mobile/media/core/media_slots.h"
#include "cli_run.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using linktest::SimPhone;
namespace fs = std::filesystem;

using clitest::Result;

Result Telvane(const fs::path& dir, std::vector<std::string> args)
{
    return clitest::RunProgram(std::move(args), dir);
}

std::string Song()
{
    const unsigned char f[] = {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,   0,    1,
                               0,    96,   'M',  'T',  'r',  'k',  0,    0,    0,    12,  0x00, 0x90,
                               0x3C, 0x64, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00};
    return std::string(reinterpret_cast<const char*>(f), sizeof f);
}

std::string Amr(size_t size)
{
    std::string s = "#!AMR\n";
    s.resize(size, '\x3c');
    return s;
}

TEST(CliSound, PutListClearSaveAndPlay)
{
    SimPhone phone("clisound");
    ASSERT_TRUE(phone.ok());
    const fs::path dir = phone.dir();
    fs::create_directories(dir / "home");
    ::setenv("TELVANE_HOME", (dir / "home").c_str(), 1);
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    };

    Result r = Telvane(dir, {"ringtones"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("3\t(empty)\t0K\n"), std::string::npos) << r.out;

    const std::string song = write("Evening bells.mid", Song());
    r = Telvane(dir, {"ringtone", "put", "3", song});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(SimPhone::ReadAll(phone.PhoneFile(media::SlotPhonePath(media::SlotFileKind::Midi, 3))), Song());
    r = Telvane(dir, {"ringtones", "--category", "user"});
    EXPECT_NE(r.out.find("3\tEvening bell\t0K\n"), std::string::npos) << r.out;

    // The slots share 102400 bytes; a slot being replaced does not count
    // its old sound.
    const std::string amr = write("voice.amr", Amr(30000));
    for (const char* slot : {"5", "6", "7", "5"}) {
        r = Telvane(dir, {"ringtone", "put", slot, amr, "--name", "Voice"});
        EXPECT_EQ(r.exit, 0) << slot << r.err;
    }
    r = Telvane(dir, {"ringtone", "put", "8", amr});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("not enough ringtone space"), std::string::npos) << r.err;
    r = Telvane(dir, {"ringtone", "put", "8", write("big.mid", Song() + std::string(10300, 0))});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("at most 10 KB"), std::string::npos) << r.err;

    r = Telvane(dir, {"ringtone", "clear", "3"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_FALSE(fs::exists(phone.PhoneFile(media::SlotPhonePath(media::SlotFileKind::Midi, 3))));

    // The WAP voice clip lives in three parts on the phone.
    r = Telvane(dir, {"ringtone", "save", "wap", "3", (dir / "clip.amr").string()});
    ASSERT_EQ(r.exit, 0) << r.err;
    const std::string joined = SimPhone::ReadAll(phone.PhoneFile("/app/wp/waud003.amr")) +
        SimPhone::ReadAll(phone.PhoneFile("/app/wp/waud003.amr_1")) +
        SimPhone::ReadAll(phone.PhoneFile("/app/wp/waud003.amr_2"));
    EXPECT_EQ(joined.size(), 40961u);
    EXPECT_TRUE(SimPhone::ReadAll(dir / "clip.amr") == joined);

    r = Telvane(dir, {"play", song, "--wav", (dir / "song.wav").string()});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_GT(fs::file_size(dir / "song.wav"), 44u + 44100u * 4 / 2);  // half a second of stereo
    ::unsetenv("TELVANE_HOME");
}

}  // namespace

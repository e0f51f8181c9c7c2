// `telvane mp3 list|put|clear` against the emulated phone in its boot ROM:
// the sound is converted by the encoder and lands byte for byte in its
// flash slot, and the index in sector 60 lists it with a valid checksum.

#include "boot_mode.h"
#include "cli/cli.h"
#include "platform/clock.h"
#include "mobile/media/core/mp3_index.h"
#include "quorlink/media/mp3_convert.h"
#include "cli_run.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using linktest::SimPhone;
namespace fs = std::filesystem;
namespace qm = quorlink::media;

constexpr uint32_t kSector = 0x20000;

using clitest::Result;

Result Telvane(std::vector<std::string> args)
{
    return clitest::RunInProcess(std::move(args));
}

// Half a second of a 440 Hz tone as a 16-bit mono WAV at 22050 Hz.
void WriteTone(const fs::path& wav)
{
    constexpr uint32_t kRate = 22050, kSamples = kRate / 2;
    std::ofstream f(wav, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f << "RIFF";
    u32(36 + kSamples * 2);
    f << "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(kRate), u32(kRate * 2), u16(2), u16(16);
    f << "data";
    u32(kSamples * 2);
    for (uint32_t i = 0; i < kSamples; ++i)
        u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / kRate))));
}

std::string FlashBytes(const fs::path& image, uint32_t offset, uint32_t size)
{
    std::ifstream f(image, std::ios::binary);
    f.seekg(offset);
    std::string s(size, '\0');
    f.read(s.data(), size);
    return s;
}

TEST(CliMp3, PutListAndClearThroughTheBootLoader)
{
    // The port scan waits 10 s for a switched-off phone; let it pass faster.
    plat::SetClockScaleForTesting(5.0);
    SimPhone phone("climp3", 0, 11, [](const fs::path& state) {
        simphone::BootOptions o;
        o.flashImage = (state / "flash.bin").string();
        return simphone::MakeBootDevice(o);
    });
    ASSERT_TRUE(phone.ok());
    const fs::path dir = phone.dir();
    const fs::path home = dir / "home";
    fs::create_directories(home);
    ::setenv("TELVANE_HOME", home.c_str(), 1);
    const fs::path flash = phone.state() / "flash.bin";
    // The user's part: the phone switched off and powered into its boot ROM.
    auto bootPhone = [&] { ASSERT_EQ(phone.Control("poweron boot"), "OK"); };

    // Switched off first, as a user does: its "SWITCHOFF" waits on the line.
    ASSERT_EQ(phone.Control("switchoff"), "OK");
    bootPhone();
    Result r = Telvane({"mp3", "list"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "1\tSample Tune\t19.69 K\n2\t(empty)\t0K\n3\t(empty)\t0K\n4\t(empty)\t0K\n5\t(empty)\t0K\n");

    // A source path with spaces goes to the encoder intact.
    const fs::path song = dir / "my song.mp3";
    {
        WriteTone(dir / "tone.wav");
        const std::string lame = "lame --quiet '" + (dir / "tone.wav").string() + "' '" + song.string() + "'";
        ASSERT_EQ(std::system(lame.c_str()), 0);
    }
    bootPhone();
    r = Telvane({"mp3", "put", "2", song.string(), "--name", "Evening song"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.err.find("sector 1 of 1 written"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("2\tEvening song\t"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(home / "encoded.mp3"));
    EXPECT_FALSE(fs::exists(home / "decoded.wav"));

    // The same conversion done here gives the bytes that must lie in slot 2
    // (k = 1, sector 73); the index in sector 60 lists them.
    const fs::path own = dir / "own";
    fs::create_directories(own);
    ASSERT_EQ(qm::RunEncoder(qm::Mp3Run::Decode, song.string(), own.string() + "/"), qm::kRunOk);
    ASSERT_EQ(qm::RunEncoder(qm::Mp3Run::Encode, {}, own.string() + "/"), qm::kRunOk);
    const std::string encoded = SimPhone::ReadAll(own / "encoded.mp3");
    ASSERT_GT(encoded.size(), 1000u);
    EXPECT_TRUE(FlashBytes(flash, 73 * kSector, static_cast<uint32_t>(encoded.size())) == encoded);
    const std::string index = FlashBytes(flash, 60 * kSector, media::kMp3IndexSize);
    const std::span<const uint8_t> indexBytes(reinterpret_cast<const uint8_t*>(index.data()), index.size());
    ASSERT_TRUE(media::Mp3IndexValid(indexBytes));
    media::Mp3Index parsed{};
    std::copy(indexBytes.begin(), indexBytes.end(), parsed.begin());
    const auto rows = media::Mp3Rows(parsed);
    EXPECT_EQ(rows[1].name, "Evening song");
    EXPECT_EQ(rows[1].size, encoded.size());
    EXPECT_TRUE(rows[0].used);  // the other slot stays

    bootPhone();
    r = Telvane({"mp3", "clear", "2"});
    ASSERT_EQ(r.exit, 0) << r.err;
    std::string after = FlashBytes(flash, 60 * kSector, media::kMp3IndexSize);
    std::copy(after.begin(), after.end(), parsed.begin());
    EXPECT_FALSE(media::Mp3Rows(parsed)[1].used);
    EXPECT_TRUE(media::Mp3Rows(parsed)[0].used);

    // A phone that answers in phone mode is not booted.
    ASSERT_EQ(phone.Control("poweron"), "OK");
    r = Telvane({"mp3", "list"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("switch it off"), std::string::npos) << r.err;
    ::unsetenv("TELVANE_HOME");
    plat::SetClockScaleForTesting(1.0);
}

}  // namespace

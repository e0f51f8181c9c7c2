// The media devices end to end: MIDI and MP3 files played through
// CSequencer into a WAV file (no sound card needed), the song's length and
// the end-of-song notification, and damaged files refused with a code.

#include "platform/messages.h"
#include "quorlink/media/mci_device.h"
#include "quorlink/media/midi_file.h"
#include "quorlink/media/sound_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace qm = quorlink::media;
namespace fs = std::filesystem;

namespace {

// A format-0 song: 96 ticks per quarter note, a tempo change from 120 to
// 60 bpm after one beat, and a note held for two beats: 0.5 s + 1 s.
std::vector<uint8_t> TwoTempoSong()
{
    std::vector<uint8_t> track = {
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000 us
        0x00, 0xC0, 0x00,  // piano
        0x00, 0x90, 0x3C, 0x64,  // note on C4
        0x60, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // after 96 ticks: tempo 1000000 us
        0x60, 0x80, 0x3C, 0x40,  // after 96 more: note off
        0x00, 0xFF, 0x2F, 0x00,  // end of track
    };
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
                                 1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, uint8_t(track.size())};
    for (const uint8_t b : track)
        file.push_back(b);
    return file;
}

struct WavInfo {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
};

WavInfo ReadWav(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    WavInfo w;
    if (b.size() < 44)
        return w;
    w.channels = b[22] | b[23] << 8;
    w.rate = b[24] | b[25] << 8 | b[26] << 16;
    const size_t bytes = b[40] | b[41] << 8 | b[42] << 16 | size_t(b[43]) << 24;
    for (size_t i = 44; i + 1 < 44 + bytes && i + 1 < b.size(); i += 2)
        w.samples.push_back(int16_t(b[i] | b[i + 1] << 8));
    return w;
}

double Rms(const std::vector<int16_t>& s)
{
    double sum = 0;
    for (int16_t v : s)
        sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

// A window that records MM_MCINOTIFY messages.
class NotifySink {
public:
    NotifySink()
    {
        handle_ = plat::RegisterWindow([this](const plat::Message& m) {
            std::lock_guard lock(m_);
            if (m.message == qm::mci::MM_MCINOTIFY)
                flags_.push_back(uint32_t(m.wParam));
            cv_.notify_all();
        });
    }
    ~NotifySink() { plat::UnregisterWindow(handle_); }
    [[nodiscard]] plat::WindowHandle handle() const { return handle_; }
    // Waits for the next notification; 0 when none came.
    uint32_t wait()
    {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, std::chrono::seconds(30), [this] { return flags_.size() > taken_; });
        return flags_.size() > taken_ ? flags_[taken_++] : 0;
    }

private:
    plat::WindowHandle handle_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<uint32_t> flags_;
    size_t taken_ = 0;
};

class SoundPlayback : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("telvane_sound_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        wav_ = dir_ / "out.wav";
        qm::SetSoundOutput({qm::SoundOutput::Kind::Wav, wav_.string()});
    }
    void TearDown() override
    {
        qm::CMciDevice::CloseAll();
        qm::SetSoundOutput({qm::SoundOutput::Kind::Null, {}});
        fs::remove_all(dir_);
    }
    fs::path write(const char* name, const std::vector<uint8_t>& bytes)
    {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p;
    }

    fs::path dir_;
    fs::path wav_;
};

TEST(MidiFile, TimesEventsThroughTempoChangesAndRefusesDamage)
{
    qm::MidiSong song;
    const auto good = TwoTempoSong();
    ASSERT_TRUE(qm::ParseMidiFile(good, song).ok());
    EXPECT_EQ(song.lengthUs, 1500000u);
    EXPECT_EQ(song.firstTempo, 500000u);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        qm::MidiError error;
    };
    auto cut = good;
    cut.resize(cut.size() - 6);  // the chunk announces more than the file holds
    auto noStatus = good;
    noStatus[22 + 8] = 0x3C;  // program change replaced by a bare data byte at the start
    noStatus[22 + 7] = 0x00;
    auto badData = good;
    badData[22 + 12] = 0x90;  // note-on whose velocity byte has its top bit set
    auto format2 = good;
    format2[9] = 2;
    auto longVar = good;
    longVar[22 + 14] = 0xFF, longVar[22 + 15] = 0xFF, longVar[22 + 16] = 0xFF, longVar[22 + 17] = 0xFF;
    const Case cases[] = {
        {"truncated track", cut, qm::MidiError::DamagedTrack},
        {"data byte without status", noStatus, qm::MidiError::DamagedTrack},
        {"data byte with top bit", badData, qm::MidiError::DamagedTrack},
        {"delta of five bytes", longVar, qm::MidiError::DamagedTrack},
        {"format 2", format2, qm::MidiError::UnsupportedFormat},
        {"RIFF", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A'}, qm::MidiError::NotMidi},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qm::ParseMidiFile(c.bytes, song).error, c.error) << c.what;

    EXPECT_TRUE(qm::IsPlayableMidiHeader(std::span(good).first(10)));
    EXPECT_FALSE(qm::IsPlayableMidiHeader(std::span(format2).first(10)));
}

TEST_F(SoundPlayback, MidiRendersItsWholeLengthAndNotifiesTheEnd)
{
    const fs::path mid = write("song.mid", TwoTempoSong());
    NotifySink sink;
    qm::CSequencer seq;
    seq.SetCallbackWnd(sink.handle());
    ASSERT_EQ(seq.Open(mid.string()), 0u);
    EXPECT_EQ(seq.SetTimeFormat(qm::CMciDevice::FormatMilliseconds), 0u);
    EXPECT_EQ(seq.GetSongLength(), 1500u);
    EXPECT_EQ(seq.GetTempo(), 120u);
    EXPECT_EQ(seq.GetMode(), qm::CMciDevice::ModeStop);
    ASSERT_EQ(seq.Play(true), 0u);
    EXPECT_EQ(sink.wait(), qm::mci::MCI_NOTIFY_SUCCESSFUL);
    EXPECT_EQ(seq.GetMode(), qm::CMciDevice::ModeStop);
    EXPECT_EQ(seq.GetCurrentPos(), 1500u);

    const WavInfo w = ReadWav(wav_);
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(w.channels, 2);
    EXPECT_NEAR(double(w.samples.size()) / 2 / 44100, 1.5, 0.01);
    EXPECT_GT(Rms(w.samples), 300.0);

    // A part of the song: from 500 to 1000 ms renders half a second.
    ASSERT_EQ(seq.Play(500, 1000, true), 0u);
    EXPECT_EQ(sink.wait(), qm::mci::MCI_NOTIFY_SUCCESSFUL);
    EXPECT_NEAR(double(ReadWav(wav_).samples.size()) / 2 / 44100, 0.5, 0.01);
    EXPECT_EQ(seq.Close(), 0u);
}

TEST_F(SoundPlayback, Mp3PlaysThroughTheSameClass)
{
    NotifySink sink;
    qm::CSequencer seq("MP3");
    seq.SetCallbackWnd(sink.handle());
    ASSERT_EQ(seq.Open(TELVANE_SOUND_DATA "/tone.mp3"), 0u);
    EXPECT_NEAR(double(seq.GetSongLength()), 2000.0, 100.0);  // the encoder pads a little
    ASSERT_EQ(seq.Play(), 0u);  // MP3 plays always notify
    EXPECT_EQ(sink.wait(), qm::mci::MCI_NOTIFY_SUCCESSFUL);
    const WavInfo w = ReadWav(wav_);
    EXPECT_EQ(w.rate, 22050);
    EXPECT_EQ(w.channels, 1);
    EXPECT_NEAR(double(w.samples.size()) / 22050, seq.GetSongLength() / 1000.0, 0.01);
    EXPECT_GT(Rms(w.samples), 3000.0);  // a sine of amplitude 12000
}

TEST_F(SoundPlayback, PauseResumeStopOnAPacedOutput)
{
    qm::SetSoundOutput({qm::SoundOutput::Kind::Null, {}});
    const fs::path mid = write("song.mid", TwoTempoSong());
    NotifySink sink;
    qm::CSequencer seq;
    seq.SetCallbackWnd(sink.handle());
    ASSERT_EQ(seq.Open(mid.string()), 0u);
    ASSERT_EQ(seq.Play(true), 0u);
    EXPECT_EQ(seq.Pause(), 0u);
    EXPECT_EQ(seq.GetMode(), qm::CMciDevice::ModePause);
    const uint32_t at = seq.GetCurrentPos();
    EXPECT_LT(at, 1500u);
    EXPECT_EQ(seq.Resume(), 0u);
    EXPECT_EQ(seq.GetMode(), qm::CMciDevice::ModePlay);
    EXPECT_EQ(seq.Stop(), 0u);
    EXPECT_EQ(sink.wait(), qm::mci::MCI_NOTIFY_ABORTED);
    EXPECT_EQ(seq.GetMode(), qm::CMciDevice::ModeStop);
    EXPECT_EQ(seq.SeekToStart(), 0u);
    EXPECT_EQ(seq.GetCurrentPos(), 0u);
}

TEST_F(SoundPlayback, FailuresComeBackAsCodesAndAreReportedWhenAsked)
{
    auto damaged = TwoTempoSong();
    damaged.resize(damaged.size() - 6);
    const fs::path bad = write("bad.mid", damaged);
    std::vector<std::pair<uint32_t, std::string>> reported;
    qm::CMciDevice::SetErrorReporter([&](uint32_t code, const std::string& text, const std::string& title) {
        reported.emplace_back(code, title + ": " + text);
    });

    struct Case {
        const char* what;
        std::string file;
        const char* type;
        uint32_t code;
    };
    const Case cases[] = {
        {"damaged tracks", bad.string(), "", qm::mci::MCIERR_INVALID_FILE},
        {"missing file", (dir_ / "none.mid").string(), "", qm::mci::MCIERR_FILE_NOT_FOUND},
        {"missing MP3", (dir_ / "none.mp3").string(), "MP3", qm::mci::MCIERR_FILE_NOT_FOUND},
        {"text as MP3", write("x.mp3", {'h', 'e', 'l', 'l', 'o'}).string(), "MP3", qm::mci::MCIERR_INVALID_FILE},
    };
    for (const Case& c : cases) {
        qm::CSequencer seq(c.type);
        seq.ReportErrors(true);
        EXPECT_EQ(seq.Open(c.file), c.code) << c.what;
        EXPECT_EQ(seq.GetLastError(), c.code) << c.what;
    }
    ASSERT_EQ(reported.size(), std::size(cases));
    EXPECT_EQ(reported[0].second.rfind("MCI Error: The specified file cannot be played", 0), 0u);

    // Without reporting the code still comes back, and nothing is shown.
    qm::CSequencer quiet;
    EXPECT_EQ(quiet.Play(), qm::mci::MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(quiet.GetSongLength(), 0u);
    EXPECT_EQ(reported.size(), std::size(cases));
    qm::CMciDevice::SetErrorReporter({});
}

}  // namespace

// The ringtones page's PC side without a window: which files are taken, the
// names made from them, and the player's states and time texts.

#include "mobile/media/core/media_slots.h"
#include "mobile/media/core/mp3_flows.h"
#include "mobile/media/core/mp3_index.h"
#include "mobile/shell/core/transfer_batch.h"
#include "platform/messages.h"
#include "mobile/media/core/sound_file.h"
#include "mobile/media/core/sound_player.h"
#include "quorlink/media/mci.h"
#include "quorlink/media/sound_output.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A format-0 song of one second (96 ticks per beat at 120 bpm, two beats),
// padded with a text meta event to the requested size.
std::vector<uint8_t> MidiSong(size_t totalSize, uint8_t format = 0)
{
    std::vector<uint8_t> track = {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x81, 0x40, 0x80, 0x3C, 0x40};
    const size_t fixed = 14 + 8 + track.size() + 5 + 4;  // header, chunk head, events, text head, end
    const size_t pad = totalSize - fixed;
    track.insert(track.end(), {0x00, 0xFF, 0x01, 0x82});  // text of pad bytes (two-byte length)
    track.back() = uint8_t(0x80 | (pad >> 7));
    track.push_back(uint8_t(pad & 0x7F));
    track.resize(track.size() + pad, 'x');
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, format, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    for (int i = 3; i >= 0; --i)
        f.push_back(uint8_t(track.size() >> (8 * i)));
    for (const uint8_t b : track)
        f.push_back(b);
    return f;
}

class SoundCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("telvane_sound_core_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        quorlink::media::SetSoundOutput({quorlink::media::SoundOutput::Kind::Wav, (dir_ / "out.wav").string()});
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p.string();
    }
    fs::path dir_;
};

TEST_F(SoundCore, FileChecksFollowKindHeaderAndSize)
{
    auto damaged = MidiSong(2000);
    damaged[22 + 5] = 0xBC;  // a status byte where the note's key should be
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int message;  // 0 and accepted, or the refusal
        int limitKb;
        const char* type;
    };
    const Case cases[] = {
        {"max.mid", MidiSong(10240), 0, 0, "MIDI"},
        {"over.MID", MidiSong(10241), res::IDS_FILE_TOO_LARGE_MOST, 10, ""},
        {"format2.mid", MidiSong(500, 2), res::IDS_SOUND_FILE_DAMAGED_UNSUPPORTED, 0, ""},
        {"damaged.mid", damaged, res::IDS_SOUND_FILE_DAMAGED_UNSUPPORTED, 0, ""},
        {"voice.amr", {'#', '!', 'A', 'M', 'R', '\n', 1, 2}, 0, 0, "AMR"},
        {"fake.amr", {'R', 'I', 'F', 'F', 0, 0}, res::IDS_SOUND_FILE_DAMAGED_UNSUPPORTED, 0, ""},
        {"big.amr", std::vector<uint8_t>(30721, '#'), res::IDS_FILE_TOO_LARGE_MOST, 30, ""},
        {"tone.vmd", std::vector<uint8_t>(61440, 1), 0, 0, "VMD"},
        {"tone.adp", std::vector<uint8_t>(71681, 1), res::IDS_FILE_TOO_LARGE_MOST, 70, ""},
        {"empty.vmd", {}, res::IDS_SOUND_FILE_DAMAGED_UNSUPPORTED, 0, ""},
        {"song.mp3", std::vector<uint8_t>(3 << 20, 0), 0, 0, "MP3"},
        {"notes.txt", {'h', 'i'}, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const media::SoundCheck r = media::CheckSoundFile(write(c.name, c.bytes));
        EXPECT_EQ(r.accepted, *c.type != 0) << c.name;
        EXPECT_EQ(r.messageId, c.message) << c.name;
        EXPECT_EQ(r.limitKb, c.limitKb) << c.name;
        EXPECT_EQ(r.sound.typeWord, *c.type ? c.type : "NULL") << c.name;
    }
    const media::SoundCheck max = media::CheckSoundFile((dir_ / "max.mid").string());
    EXPECT_EQ(max.sound.sizeText, "10 Kb");
    EXPECT_EQ(max.sound.shortName, "max");
    EXPECT_EQ(media::CheckSoundFile((dir_ / "missing.mid").string()).messageId, res::IDS_SOUND_FILE_OPEN_FAILED);
}

TEST(SoundNames, ShortNamesCutAtCharacterBoundariesAndMp3Sizes)
{
    struct Case {
        std::string path;  // UTF-8
        size_t n;
        std::string expected;
    };
    const Case cases[] = {
        {"/home/u/ring.tone.mid", 35, "ring.tone"},
        {"/home/u/noext", 12, "noext"},
        {"/x/\xE4\xB8\xAD\xE6\x96\x87.mid", 3, "\xE4\xB8\xAD"},  // two GBK characters, the second does not fit
        // U+4E02 is GBK 81 40, whose trail byte lies below 0x80: counting
        // high bytes would keep the lead byte of the second one.
        {"/x/\xE4\xB8\x82\xE4\xB8\x82.mid", 3, "\xE4\xB8\x82"},
        {"/x/a\xE4\xB8\x82\xE4\xB8\x82.mid", 4, "a\xE4\xB8\x82"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(media::ShortName(c.path, c.n), c.expected) << c.path;

    const std::pair<uint32_t, const char*> sizes[] = {
        {1000, "1000"}, {1023, "1023"}, {2048, "2.00 K"}, {1536000, "1.46 M"}, {1048576, "1.00 M"}};
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(media::Mp3SizeText(bytes), text) << bytes;
}

// Collects MM_MCINOTIFY messages for the test's thread.
class NotifyWindow {
public:
    NotifyWindow()
    {
        handle_ = plat::RegisterWindow([this](const plat::Message& m) {
            std::lock_guard lock(m_);
            got_.push_back(m);
            cv_.notify_all();
        });
    }
    ~NotifyWindow() { plat::UnregisterWindow(handle_); }
    plat::WindowHandle handle() const { return handle_; }
    plat::Message next()
    {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, std::chrono::seconds(30), [this] { return !got_.empty(); });
        plat::Message m = got_.empty() ? plat::Message{} : got_.front();
        if (!got_.empty())
            got_.erase(got_.begin());
        return m;
    }

private:
    plat::WindowHandle handle_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<plat::Message> got_;
};

TEST_F(SoundCore, PlayerRunsThroughItsStates)
{
    NotifyWindow window;
    media::SoundPlayer player(window.handle());
    EXPECT_EQ(player.state(), media::PlayerState::NoFile);
    EXPECT_FALSE(player.buttonsEnabled());

    // A refused file leaves the selection as it was.
    const std::string song = write("song.mid", MidiSong(3000));
    ASSERT_TRUE(player.select(song).accepted);
    EXPECT_FALSE(player.select(write("x.amr", {'n', 'o'})).accepted);
    EXPECT_EQ(player.selected().path, song);
    EXPECT_EQ(player.state(), media::PlayerState::Stopped);
    EXPECT_EQ(player.timeText(), "00:00/00:00");

    // Play to the end: the notification stops the player.
    EXPECT_EQ(player.play(), 0);
    EXPECT_EQ(player.state(), media::PlayerState::Playing);
    EXPECT_TRUE(player.timerWanted());
    EXPECT_EQ(player.timeText(), "00:00/00:01");
    const plat::Message end = window.next();
    ASSERT_EQ(end.message, quorlink::media::mci::MM_MCINOTIFY);
    player.tick();
    EXPECT_EQ(player.timeText(), "00:01/00:01");
    EXPECT_EQ(player.positionPercent(), 100);
    player.onNotify(uint32_t(end.wParam), uint32_t(end.lParam));
    EXPECT_EQ(player.state(), media::PlayerState::Stopped);
    EXPECT_FALSE(player.timerWanted());
    EXPECT_EQ(player.timeText(), "00:00/00:00");

    // A notification of a device that is gone does not stop a new play.
    EXPECT_EQ(player.play(), 0);
    player.pauseResume();
    EXPECT_EQ(player.state(), media::PlayerState::Paused);
    player.onNotify(quorlink::media::mci::MCI_NOTIFY_SUCCESSFUL, uint32_t(end.lParam));
    EXPECT_EQ(player.state(), media::PlayerState::Paused);
    player.pauseResume();
    EXPECT_EQ(player.state(), media::PlayerState::Playing);
    player.stop();
    EXPECT_EQ(player.state(), media::PlayerState::Stopped);

    // Sounds the PC does not play, and the link lost.
    ASSERT_TRUE(player.select(write("v.amr", {'#', '!', 'A', 'M', 'R', '\n'})).accepted);
    EXPECT_EQ(player.play(), res::IDS_KIND_SOUND_CANNOT_PLAYED);
    ASSERT_TRUE(player.select(write("t.adp", {1, 2, 3})).accepted);
    EXPECT_FALSE(player.buttonsEnabled());
    player.clear();
    EXPECT_EQ(player.state(), media::PlayerState::NoFile);
    EXPECT_EQ(player.selected().typeWord, "NULL");
}

}  // namespace

namespace {

TEST_F(SoundCore, Mp3IndexRecordsChecksumsAndRepair)
{
    media::Mp3Index index = media::FreshMp3Index();
    EXPECT_TRUE(media::Mp3IndexValid(index));
    media::FillMp3Record(index, 1, "Summer", 1100000);
    const uint8_t* r = index.data() + 88;  // record 1, slot 2
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 31)), "Summer");
    EXPECT_EQ(r[71], 2);
    EXPECT_EQ(r[73], 1);
    const uint8_t address[] = {0x00, 0x92, 0x00, 0x00};  // 0x800000 + 0x120000
    const uint8_t size[] = {0x00, 0x10, 0xC8, 0xE0};  // 1100000
    EXPECT_EQ(std::memcmp(r + 76, address, 4), 0);
    EXPECT_EQ(std::memcmp(r + 80, size, 4), 0);
    uint32_t sum = 0;
    for (int i = 0; i < 84; ++i)
        sum += r[i];
    EXPECT_EQ(r[84] | r[85] << 8 | r[86] << 16 | uint32_t(r[87]) << 24, sum);
    EXPECT_TRUE(std::all_of(index.begin() + 440, index.end(), [](uint8_t b) { return b == 0; }));
    media::FillMp3Record(index, 4, "Long", 0x200000);  // capped at one slot
    EXPECT_EQ(index[4 * 88 + 80 + 1], 0x12);

    const auto rows = media::Mp3Rows(index);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1].name, "Summer");
    EXPECT_EQ(rows[1].sizeText, "1.05 M");
    EXPECT_EQ(rows[0].nameId, res::IDS_EMPTY);
    EXPECT_EQ(rows[0].sizeText, "0K");
    {
        // A size no slot can hold, in a record whose checksum matches, shows as one slot.
        media::Mp3Index odd = index;
        odd[4 * 88 + 80] = 0x7F;
        uint32_t oddSum = 0;
        for (int i = 0; i < 84; ++i)
            oddSum += odd[4 * 88 + i];
        for (int i = 0; i < 4; ++i)
            odd[4 * 88 + 84 + i] = static_cast<uint8_t>(oddSum >> (8 * i));
        ASSERT_TRUE(media::Mp3IndexValid(odd));
        EXPECT_EQ(media::Mp3Rows(odd)[4].size, media::kMp3SlotBytes);
    }

    // A record whose checksum is wrong, or one marked damaged: rebuilt empty.
    const std::string dir = dir_.string() + "/";
    for (const size_t at : {size_t(88 + 40), size_t(2 * 88 + 73)}) {
        media::Mp3Index bad = index;
        bad[at] = at % 88 == 73 ? 255 : bad[at] + 1;
        ASSERT_TRUE(media::SaveMp3Index(dir, bad));
        const auto loaded = media::LoadMp3Index(dir);
        ASSERT_TRUE(loaded);
        EXPECT_EQ(*loaded, media::FreshMp3Index());
        EXPECT_EQ(media::ReadFileBytes(dir + "mp3.idx")->size(), 884u);
    }
    media::ClearMp3Record(index, 1);
    EXPECT_TRUE(std::all_of(index.begin() + 88, index.begin() + 176, [](uint8_t b) { return b == 0; }));
}

}  // namespace

namespace {

// Stands in for the worker in MP3 mode: records the request codes, makes
// "encoded.mp3" and reports the encode run as the batch does, and fails the
// step whose code it is told to.
class Mp3Runner final : public shell::BatchRunner {
public:
    explicit Mp3Runner(fs::path dir) : dir_(std::move(dir)) { }
    std::vector<int32_t> codes;
    int32_t failOn = 0;
    bool damageIndexBeforeFill = false;

    int runBatch(shell::BatchPlan plan) override
    {
        for (auto& step : plan.steps) {
            codes.push_back(step.kind);
            if (step.kind == failOn)
                return shell::kBatchCancel;
            if (step.kind == REQ_BRIDGE_DECODE)
                std::ofstream(dir_ / "decoded.wav") << "RIFF";
            if (step.kind != REQ_BRIDGE_ENCODE)
                continue;
            std::ofstream(dir_ / "encoded.mp3", std::ios::binary) << std::string(5000, '\x55');
            if (damageIndexBeforeFill)
                std::ofstream(dir_ / "mp3.idx", std::ios::binary | std::ios::in) << "\x01";  // a wrong checksum
            if (plan.effects.onMp3SlotFilled)
                plan.effects.onMp3SlotFilled(0, {});
        }
        return shell::kBatchOk;
    }

private:
    fs::path dir_;
};

}  // namespace

TEST_F(SoundCore, Mp3PutAndEmptyKeepTheLocalIndexInStepWithTheFlash)
{
    const std::string dir = dir_.string() + "/";
    media::Mp3Index start = media::FreshMp3Index();
    media::FillMp3Record(start, 0, "Old", 1000);
    ASSERT_TRUE(media::SaveMp3Index(dir, start));
    const std::string source = write("new song.mp3", std::vector<uint8_t>(100, 0xFF));
    const auto rows = [&] { return media::LoadMp3List(dir).rows; };
    using Codes = std::vector<int32_t>;

    // A used slot is emptied first (its index written), then the sound goes in.
    Mp3Runner runner(dir_);
    media::Mp3Flows flows(dir, runner);
    media::FlowResult r = flows.put(1, "Walk", source);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.messageId, res::IDS_DONE);
    EXPECT_EQ(runner.codes, (Codes{231, 228, 229, 230, 231}));
    EXPECT_EQ(rows()[0].name, "Walk");
    EXPECT_EQ(rows()[0].size, 5000u);
    EXPECT_FALSE(fs::exists(dir_ / "encoded.mp3"));
    EXPECT_FALSE(fs::exists(dir_ / "decoded.wav"));

    // A local index found damaged when the encoded sound is recorded is
    // rebuilt with the new record in it, so the index written to flash
    // lists the sound just written rather than leaving it unreachable.
    runner = Mp3Runner(dir_);
    runner.damageIndexBeforeFill = true;
    EXPECT_TRUE(flows.put(4, "Rain", source).ok);
    EXPECT_EQ(rows()[3].name, "Rain");
    EXPECT_TRUE(media::Mp3IndexValid(*media::LoadMp3Index(dir)));

    // A failed write leaves the slot empty locally and removes the files.
    runner = Mp3Runner(dir_);
    runner.failOn = REQ_BRIDGE_WRITE_MP3;
    r = flows.put(3, "Lost", source);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messageId, res::IDS_FILE_NOT_ACCEPTED);
    EXPECT_FALSE(rows()[2].used);
    EXPECT_FALSE(fs::exists(dir_ / "encoded.mp3"));

    runner = Mp3Runner(dir_);
    EXPECT_EQ(flows.empty(4).messageId, res::IDS_MP3_LIST_WRITTEN);
    EXPECT_FALSE(rows()[3].used);
    runner.failOn = REQ_BRIDGE_WRITE_INDEX;
    EXPECT_EQ(flows.empty(1).messageId, res::IDS_MP3_LIST_WRITE_FAILED);
    fs::remove(dir_ / "mp3.idx");
    EXPECT_EQ(media::LoadMp3List(dir + "missing/").messageId, res::IDS_MP3_LIST_OPEN_FAILED);
}

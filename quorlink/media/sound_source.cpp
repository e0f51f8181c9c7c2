#include "quorlink/media/sound_source.h"

#include <fluidsynth.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace quorlink::media {

namespace {

constexpr int kSynthRate = 44100;
constexpr size_t kSynthBlock = 64;  // frames between two looks at the event list

bool Readable(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    uint8_t buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

void QuietFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The synthesizer's own warnings would land on the user's terminal.
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

// A synthesizer with the sound font loaded. Starting one costs about two
// seconds (the font's preset tables are read), so finished ones are kept and
// handed to the next MIDI song instead of being thrown away.
struct Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
};

void DeleteSynth(Synth s)
{
    delete_fluid_synth(s.synth);
    delete_fluid_settings(s.settings);
}

// The idle synthesizers; whatever is still idle when the program ends is
// deleted with the pool.
struct SynthPool {
    std::mutex mutex;
    std::vector<Synth> idle;
    ~SynthPool()
    {
        for (Synth s : idle)
            DeleteSynth(s);
    }
};
SynthPool gPool;
constexpr size_t kMaxIdleSynths = 2;

void ReturnSynth(Synth s)
{
    fluid_synth_all_sounds_off(s.synth, -1);
    fluid_synth_system_reset(s.synth);
    std::lock_guard lock(gPool.mutex);
    if (gPool.idle.size() < kMaxIdleSynths) {
        gPool.idle.push_back(s);
        return;
    }
    DeleteSynth(s);
}

SourceError TakeSynth(Synth& out, std::string& why)
{
    {
        std::lock_guard lock(gPool.mutex);
        if (!gPool.idle.empty()) {
            out = gPool.idle.back();
            gPool.idle.pop_back();
            return SourceError::None;
        }
    }
    const std::string font = SoundFontPath();
    if (font.empty()) {
        why = "no General MIDI sound font installed";
        return SourceError::NoSynthesizer;
    }
    QuietFluidSynth();
    Synth s;
    s.settings = new_fluid_settings();
    if (!s.settings) {
        why = "the synthesizer cannot start";
        return SourceError::NoSynthesizer;
    }
    fluid_settings_setnum(s.settings, "synth.sample-rate", kSynthRate);
    fluid_settings_setnum(s.settings, "synth.gain", 0.5);
    // Only the samples the song's instruments use are loaded from the font.
    fluid_settings_setint(s.settings, "synth.dynamic-sample-loading", 1);
    s.synth = new_fluid_synth(s.settings);
    if (!s.synth) {
        delete_fluid_settings(s.settings);
        why = "the synthesizer cannot start";
        return SourceError::NoSynthesizer;
    }
    if (fluid_synth_sfload(s.synth, font.c_str(), 1) == FLUID_FAILED) {
        DeleteSynth(s);
        why = "cannot load the sound font " + font;
        return SourceError::NoSynthesizer;
    }
    out = s;
    return SourceError::None;
}

class MidiSource final : public SoundSource {
public:
    MidiSource(MidiSong song, Synth synth) : song_(std::move(song)), pooled_(synth), synth_(synth.synth)
    {
        tempo_ = song_.firstTempo;
    }
    ~MidiSource() override { ReturnSynth(pooled_); }
    MidiSource(const MidiSource&) = delete;
    MidiSource& operator=(const MidiSource&) = delete;

    int rate() const override { return kSynthRate; }
    int channels() const override { return 2; }
    uint64_t lengthMs() const override { return song_.lengthUs / 1000; }
    uint64_t positionMs() const override { return uint64_t(songUs_) / 1000; }
    int trackCount() const override { return song_.trackCount; }
    std::string copyright() const override { return song_.copyright; }
    int smpteFps() const override { return song_.smpte ? -int8_t(song_.division >> 8) : 0; }
    uint32_t tempoBpm() const override { return tempo_ ? uint32_t(60000000.0 / tempo_ * speed_ + 0.5) : 0; }
    void setSpeed(double factor) override { speed_ = factor > 0 ? factor : 1.0; }

    size_t render(int16_t* out, size_t frames) override
    {
        size_t done = 0;
        const double usPerFrame = 1e6 / kSynthRate;
        while (done < frames && songUs_ < double(song_.lengthUs)) {
            while (next_ < song_.events.size() && double(song_.events[next_].us) <= songUs_)
                dispatch(song_.events[next_++], true);
            const size_t block = std::min(kSynthBlock, frames - done);
            int16_t* p = out + done * 2;
            fluid_synth_write_s16(synth_, int(block), p, 0, 2, p, 1, 2);
            done += block;
            songUs_ += double(block) * usPerFrame * speed_;
        }
        return done;
    }

    void seekMs(uint64_t ms) override
    {
        const double target = std::min<double>(double(ms) * 1000.0, double(song_.lengthUs));
        fluid_synth_all_sounds_off(synth_, -1);
        fluid_synth_system_reset(synth_);
        tempo_ = song_.firstTempo;
        // Replay the settings (programs, controllers, bends) that lead up to
        // the target, without the notes, so the song resumes as it sounded.
        next_ = 0;
        while (next_ < song_.events.size() && double(song_.events[next_].us) < target)
            dispatch(song_.events[next_++], false);
        songUs_ = target;
    }

private:
    void dispatch(const MidiEvent& e, bool sound)
    {
        const int channel = e.status & 0x0F;
        switch (e.status & 0xF0) {
        case 0x80:
            if (sound)
                fluid_synth_noteoff(synth_, channel, e.data1);
            return;
        case 0x90:
            if (sound)
                fluid_synth_noteon(synth_, channel, e.data1, e.data2);
            return;
        case 0xA0:
            if (sound)
                fluid_synth_key_pressure(synth_, channel, e.data1, e.data2);
            return;
        case 0xB0: fluid_synth_cc(synth_, channel, e.data1, e.data2); return;
        case 0xC0: fluid_synth_program_change(synth_, channel, e.data1); return;
        case 0xD0: fluid_synth_channel_pressure(synth_, channel, e.data1); return;
        case 0xE0: fluid_synth_pitch_bend(synth_, channel, e.data1 | e.data2 << 7); return;
        default: break;
        }
        if (e.status == 0xFF) {  // tempo: the only meta event kept in the list
            const uint8_t* p = song_.bytes.data() + e.dataOffset;
            tempo_ = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        } else if (e.status == 0xF0 && e.dataLength > 0) {
            // The payload ends with F7, which the synthesizer does not want.
            const char* p = reinterpret_cast<const char*>(song_.bytes.data() + e.dataOffset);
            int length = int(e.dataLength);
            if (uint8_t(p[length - 1]) == 0xF7)
                --length;
            fluid_synth_sysex(synth_, p, length, nullptr, nullptr, nullptr, 0);
        }
    }

    MidiSong song_;
    Synth pooled_;
    fluid_synth_t* synth_;
    size_t next_ = 0;
    double songUs_ = 0;
    double speed_ = 1.0;
    uint32_t tempo_ = 500000;
};

class Mp3Source final : public SoundSource {
public:
    Mp3Source(mpg123_handle* mh, int rate, int channels, uint64_t lengthFrames)
        : mh_(mh), rate_(rate), channels_(channels), lengthFrames_(lengthFrames)
    {
    }
    ~Mp3Source() override
    {
        mpg123_close(mh_);
        mpg123_delete(mh_);
    }

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    uint64_t lengthMs() const override { return lengthFrames_ * 1000 / uint64_t(rate_); }
    uint64_t positionMs() const override { return frame_ * 1000 / uint64_t(rate_); }
    int trackCount() const override { return 1; }
    uint32_t tempoBpm() const override { return 0; }
    std::string copyright() const override { return {}; }
    int smpteFps() const override { return 0; }
    void setSpeed(double) override { }

    size_t render(int16_t* out, size_t frames) override
    {
        size_t bytes = 0;
        const size_t want = frames * size_t(channels_) * 2;
        const int rc = mpg123_read(mh_, reinterpret_cast<unsigned char*>(out), want, &bytes);
        if (rc != MPG123_OK && rc != MPG123_DONE && rc != MPG123_NEW_FORMAT)
            return 0;
        const size_t got = bytes / (size_t(channels_) * 2);
        frame_ += got;
        return got;
    }

    void seekMs(uint64_t ms) override
    {
        const off_t target = off_t(std::min(ms * uint64_t(rate_) / 1000, lengthFrames_));
        const off_t at = mpg123_seek(mh_, target, SEEK_SET);
        frame_ = at >= 0 ? uint64_t(at) : 0;
    }

private:
    mpg123_handle* mh_;
    int rate_;
    int channels_;
    uint64_t lengthFrames_;
    uint64_t frame_ = 0;
};

}  // namespace

std::string SoundFontPath()
{
    if (const char* env = std::getenv("TELVANE_SOUNDFONT"); env && *env)
        return Readable(env) ? env : std::string();
    for (const char* candidate : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"})
        if (Readable(candidate))
            return candidate;
    return {};
}

SourceOpen OpenMidiSource(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return {nullptr, SourceError::FileNotFound, "cannot read " + path};
    MidiSong song;
    if (const MidiParse parse = ParseMidiFile(bytes, song); !parse.ok())
        return {nullptr, SourceError::InvalidFile, MidiErrorText(parse.error)};
    Synth synth;
    std::string why;
    if (const SourceError e = TakeSynth(synth, why); e != SourceError::None)
        return {nullptr, e, why};
    return {std::make_unique<MidiSource>(std::move(song), synth), SourceError::None, {}};
}

SourceOpen OpenMp3Source(const std::string& path)
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    if (!Readable(path))
        return {nullptr, SourceError::FileNotFound, "cannot read " + path};
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh)
        return {nullptr, SourceError::NoSynthesizer, mpg123_plain_strerror(err)};
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_open(mh, path.c_str()) != MPG123_OK || mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK ||
        rate <= 0) {
        const std::string why = mpg123_strerror(mh);
        mpg123_delete(mh);
        return {nullptr, SourceError::InvalidFile, why};
    }
    // Always 16-bit samples at the file's own rate and channel count.
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels, MPG123_ENC_SIGNED_16);
    mpg123_scan(mh);
    const off_t length = mpg123_length(mh);
    if (length <= 0) {
        mpg123_close(mh);
        mpg123_delete(mh);
        return {nullptr, SourceError::InvalidFile, "no MPEG audio frames"};
    }
    return {std::make_unique<Mp3Source>(mh, int(rate), channels, uint64_t(length)), SourceError::None, {}};
}

}  // namespace quorlink::media

#include "quorlink/media/sound_output.h"

#include "platform/clock.h"

#include <out123.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace quorlink::media {

namespace {

std::mutex gOutputMutex;
bool gOutputSet = false;
SoundOutput gOutput;

void PutLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

void PutLe16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// The desktop's default output through out123 (PulseAudio, PipeWire or ALSA,
// whichever the machine has). out123_play blocks while the device's buffer is
// full, which paces the playback thread.
class DeviceSink final : public SoundSink {
public:
    explicit DeviceSink(out123_handle* ao) : ao_(ao) { }
    ~DeviceSink() override { out123_del(ao_); }

    bool start(int rate, int channels) override
    {
        channels_ = channels;
        return out123_start(ao_, rate, channels, MPG123_ENC_SIGNED_16) == OUT123_OK;
    }
    bool write(const int16_t* samples, size_t frames) override
    {
        const size_t bytes = frames * size_t(channels_) * 2;
        return out123_play(ao_, const_cast<int16_t*>(samples), bytes) == bytes;
    }
    void pause() override { out123_pause(ao_); }
    void resume() override { out123_continue(ao_); }
    void finish(bool drain) override
    {
        if (drain)
            out123_drain(ao_);
        else
            out123_drop(ao_);
        out123_stop(ao_);
    }

private:
    out123_handle* ao_;
    int channels_ = 2;
};

// Plays to nowhere at the speed of a sound card, on the program's clock.
class NullSink final : public SoundSink {
public:
    bool start(int rate, int) override
    {
        rate_ = rate;
        startTick_ = plat::GetTickCount();
        frames_ = 0;
        return rate > 0;
    }
    bool write(const int16_t*, size_t frames) override
    {
        frames_ += frames;
        const uint64_t dueMs = frames_ * 1000 / uint64_t(rate_);
        const uint32_t elapsed = plat::GetTickCount() - startTick_;
        if (dueMs > elapsed)
            plat::Sleep(uint32_t(dueMs - elapsed));
        return true;
    }
    void pause() override { pausedAt_ = plat::GetTickCount(); }
    void resume() override { startTick_ += plat::GetTickCount() - pausedAt_; }
    void finish(bool) override { }

private:
    int rate_ = 0;
    uint32_t startTick_ = 0;
    uint32_t pausedAt_ = 0;
    uint64_t frames_ = 0;
};

// A canonical 44-byte-header PCM WAV file; the sizes are filled in at the end.
class WavSink final : public SoundSink {
public:
    explicit WavSink(std::FILE* f) : f_(f) { }
    ~WavSink() override { close(); }

    bool start(int rate, int channels) override
    {
        channels_ = channels;
        uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
        PutLe32(h + 16, 16);
        PutLe16(h + 20, 1);  // PCM
        PutLe16(h + 22, uint16_t(channels));
        PutLe32(h + 24, uint32_t(rate));
        PutLe32(h + 28, uint32_t(rate * channels * 2));
        PutLe16(h + 32, uint16_t(channels * 2));
        PutLe16(h + 34, 16);
        h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
        dataBytes_ = 0;
        return std::fseek(f_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, f_) == sizeof h;
    }
    bool write(const int16_t* samples, size_t frames) override
    {
        const size_t count = frames * size_t(channels_);
        uint8_t buf[4096];
        for (size_t i = 0; i < count;) {
            const size_t n = std::min(count - i, sizeof buf / 2);
            for (size_t j = 0; j < n; ++j)
                PutLe16(buf + 2 * j, uint16_t(samples[i + j]));
            if (std::fwrite(buf, 2, n, f_) != n)
                return false;
            i += n;
        }
        dataBytes_ += count * 2;
        return true;
    }
    void pause() override { }
    void resume() override { }
    void finish(bool) override { close(); }

private:
    void close()
    {
        if (!f_)
            return;
        uint8_t size[4];
        PutLe32(size, uint32_t(36 + dataBytes_));
        std::fseek(f_, 4, SEEK_SET);
        std::fwrite(size, 1, 4, f_);
        PutLe32(size, uint32_t(dataBytes_));
        std::fseek(f_, 40, SEEK_SET);
        std::fwrite(size, 1, 4, f_);
        std::fclose(f_);
        f_ = nullptr;
    }

    std::FILE* f_;
    int channels_ = 2;
    uint64_t dataBytes_ = 0;
};

}  // namespace

SoundOutput ParseSoundOutput(const std::string& text)
{
    if (text == "null")
        return {SoundOutput::Kind::Null, {}};
    if (text.rfind("wav:", 0) == 0 && text.size() > 4)
        return {SoundOutput::Kind::Wav, text.substr(4)};
    return {};
}

void SetSoundOutput(SoundOutput output)
{
    std::lock_guard lock(gOutputMutex);
    gOutput = std::move(output);
    gOutputSet = true;
}

SoundOutput CurrentSoundOutput()
{
    std::lock_guard lock(gOutputMutex);
    if (!gOutputSet) {
        const char* env = std::getenv("TELVANE_AUDIO_OUT");
        gOutput = ParseSoundOutput(env ? env : "");
        gOutputSet = true;
    }
    return gOutput;
}

std::unique_ptr<SoundSink> OpenSoundSink(const SoundOutput& output, std::string& error)
{
    switch (output.kind) {
    case SoundOutput::Kind::Null: return std::make_unique<NullSink>();
    case SoundOutput::Kind::Wav: {
        std::FILE* f = std::fopen(output.path.c_str(), "wb");
        if (!f) {
            error = "cannot create " + output.path;
            return nullptr;
        }
        return std::make_unique<WavSink>(f);
    }
    case SoundOutput::Kind::Device: break;
    }
    out123_handle* ao = out123_new();
    if (!ao) {
        error = "out of memory";
        return nullptr;
    }
    if (out123_open(ao, nullptr, nullptr) != OUT123_OK) {
        error = out123_strerror(ao);
        out123_del(ao);
        return nullptr;
    }
    return std::make_unique<DeviceSink>(ao);
}

}  // namespace quorlink::media

#pragma once
// Where the media devices send their sound: the desktop's default audio
// output (through out123), a WAV file, or nowhere.
//
// The choice is made once for the process (SetSoundOutput, or the
// environment variable TELVANE_AUDIO_OUT: "null", "wav:PATH", anything else
// or unset for the default output) and read when a device starts playing.
// A machine without audio plays to "null": positions and the end of a song
// still arrive on time, because the null output keeps pace with the
// program's clock. A WAV file is written as fast as the sound is made.
//
// Thread affinity: a sink belongs to the playback thread that writes it;
// the process setting may be read and changed from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quorlink::media {

struct SoundOutput {
    enum class Kind { Device, Null, Wav };
    Kind kind = Kind::Device;
    std::string path;  // the WAV file for Kind::Wav
};

void SetSoundOutput(SoundOutput output);
[[nodiscard]] SoundOutput CurrentSoundOutput();
// Parses the TELVANE_AUDIO_OUT form ("null", "wav:PATH", other = Device).
[[nodiscard]] SoundOutput ParseSoundOutput(const std::string& text);

// 16-bit signed interleaved PCM.
class SoundSink {
public:
    virtual ~SoundSink() = default;
    [[nodiscard]] virtual bool start(int rate, int channels) = 0;
    // Blocks as a sound card would when the sink is paced.
    [[nodiscard]] virtual bool write(const int16_t* samples, size_t frames) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Drops what is queued (stop) or plays it out (end of song) and closes.
    virtual void finish(bool drain) = 0;
};

// Creates the sink for the output; nullptr with a reason when it cannot be
// opened (no audio device, an unwritable WAV path).
[[nodiscard]] std::unique_ptr<SoundSink> OpenSoundSink(const SoundOutput& output, std::string& error);

}  // namespace quorlink::media

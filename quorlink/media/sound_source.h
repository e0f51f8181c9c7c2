#pragma once
// Sound makers for the media devices: a MIDI file through the FluidSynth
// synthesizer with a General MIDI sound font, and an MP3 file through the
// mpg123 decoder. Both hand out 16-bit interleaved PCM in blocks, know the
// song's length and their position in milliseconds, and seek.
//
// The sound font is $TELVANE_SOUNDFONT when set, else the distribution's
// default General MIDI font (/usr/share/sounds/sf2/default-GM.sf2, then
// FluidR3_GM.sf2).
//
// Thread affinity: one thread at a time (the device's owner, or its playback
// thread while it plays).

#include "quorlink/media/midi_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quorlink::media {

enum class SourceError {
    None,
    FileNotFound,  // the file cannot be opened
    InvalidFile,  // not a playable MIDI or MP3 file (damaged, wrong format)
    NoSynthesizer,  // no sound font, or the synthesizer cannot start
};

class SoundSource {
public:
    virtual ~SoundSource() = default;
    [[nodiscard]] virtual int rate() const = 0;
    [[nodiscard]] virtual int channels() const = 0;
    [[nodiscard]] virtual uint64_t lengthMs() const = 0;
    [[nodiscard]] virtual uint64_t positionMs() const = 0;
    // Up to frames frames into out (frames x channels samples); 0 at the end.
    [[nodiscard]] virtual size_t render(int16_t* out, size_t frames) = 0;
    virtual void seekMs(uint64_t ms) = 0;
    // Song time runs this many times faster than real time (tempo change).
    virtual void setSpeed(double factor) = 0;
    [[nodiscard]] virtual int trackCount() const = 0;
    // Beats per minute at the current position (0 when it has no tempo).
    [[nodiscard]] virtual uint32_t tempoBpm() const = 0;
    [[nodiscard]] virtual std::string copyright() const = 0;
    // True for a MIDI file timed in SMPTE frames; its frames per second.
    [[nodiscard]] virtual int smpteFps() const = 0;
};

struct SourceOpen {
    std::unique_ptr<SoundSource> source;
    SourceError error = SourceError::None;
    std::string detail;
};

[[nodiscard]] SourceOpen OpenMidiSource(const std::string& path);
[[nodiscard]] SourceOpen OpenMp3Source(const std::string& path);

// The sound font the MIDI source would load; empty when none is installed.
[[nodiscard]] std::string SoundFontPath();

}  // namespace quorlink::media

#pragma once
// Standard MIDI files (formats 0 and 1): the header, every track chunk and
// its events, merged into one list in playing order with absolute times.
//
// The sequencer plays from this list, so a file whose header looks right but
// whose tracks are damaged (a chunk running past the end of the file, an
// event cut short, a data byte without a status) is refused here with a
// reason, before any sound is made.
//
// Pure functions; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorlink::media {

enum class MidiError {
    None,
    NotMidi,  // no "MThd" chunk at the start
    BadHeader,  // header chunk shorter than 6 bytes, or no tracks
    UnsupportedFormat,  // format 2 (independent sequences) or above
    DamagedTrack,  // a track chunk or an event inside it is cut or malformed
    TooLong,  // more ticks than the sequencer can time
};

struct MidiEvent {
    uint64_t us = 0;  // time from the start of the song, microseconds
    uint8_t status = 0;  // 0x80..0xEF channel message, 0xF0/0xF7 sysex, 0xFF meta
    uint8_t data1 = 0;  // first data byte, or the meta type
    uint8_t data2 = 0;
    uint16_t track = 0;
    uint32_t dataOffset = 0;  // sysex/meta payload in MidiSong::bytes
    uint32_t dataLength = 0;
};

struct MidiSong {
    uint16_t format = 0;
    uint16_t trackCount = 0;
    uint16_t division = 0;  // the header's raw division word
    bool smpte = false;  // division counts SMPTE frames instead of quarter notes
    std::vector<MidiEvent> events;  // channel, sysex and tempo events in playing order
    uint64_t lengthUs = 0;  // time of the last event of any track
    uint32_t firstTempo = 500000;  // microseconds per quarter note at the start
    std::string copyright;  // text of the first copyright meta event
    std::vector<uint8_t> bytes;  // the file, for sysex payloads
};

struct MidiParse {
    MidiError error = MidiError::None;
    size_t offset = 0;  // where the file went wrong
    [[nodiscard]] bool ok() const { return error == MidiError::None; }
};

// True when the first bytes name a standard MIDI file of format 0 or 1
// ("MThd", format word at bytes 8-9 below 2). Looks at 10 bytes at most.
[[nodiscard]] bool IsPlayableMidiHeader(std::span<const uint8_t> first);

// Parses a whole file into song (which is cleared first).
[[nodiscard]] MidiParse ParseMidiFile(std::span<const uint8_t> data, MidiSong& song);

[[nodiscard]] const char* MidiErrorText(MidiError error);

}  // namespace quorlink::media

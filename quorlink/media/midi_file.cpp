#include "quorlink/media/midi_file.h"

#include <algorithm>
#include <cstring>

namespace quorlink::media {

namespace {

uint32_t Be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t Be16(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

// Ticks beyond this cannot be timed without overflow (ticks x tempo must
// stay within 64 bits); no real song comes near it.
constexpr uint64_t kMaxTicks = uint64_t(1) << 40;

struct TickEvent {
    uint64_t tick;
    uint32_t order;  // position in the file, keeps simultaneous events in order
    MidiEvent event;
};

// Reads one track chunk's events; false when the chunk is damaged.
class TrackReader {
public:
    TrackReader(std::span<const uint8_t> file, size_t begin, size_t end, uint16_t track)
        : file_(file), pos_(begin), end_(end), track_(track)
    {
    }

    bool read(std::vector<TickEvent>& out, uint32_t& order, size_t& failAt)
    {
        uint64_t tick = 0;
        uint8_t running = 0;
        while (pos_ < end_) {
            uint32_t delta = 0;
            if (!varLen(delta))
                return fail(failAt);
            tick += delta;
            if (tick > kMaxTicks)
                return fail(failAt);
            if (pos_ >= end_)
                return fail(failAt);
            uint8_t status = file_[pos_];
            if (status & 0x80) {
                ++pos_;
            } else if (running == 0) {
                return fail(failAt);  // a data byte with no status before it
            } else {
                status = running;
            }
            MidiEvent e;
            e.status = status;
            e.track = track_;
            if (status < 0xF0) {
                running = status;
                const int dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, channel pressure
                if (end_ - pos_ < size_t(dataBytes))
                    return fail(failAt);
                e.data1 = file_[pos_];
                e.data2 = dataBytes == 2 ? file_[pos_ + 1] : 0;
                if ((e.data1 | e.data2) & 0x80)
                    return fail(failAt);
                pos_ += dataBytes;
            } else if (status == 0xF0 || status == 0xF7 || status == 0xFF) {
                running = 0;  // system messages cancel running status
                if (status == 0xFF) {
                    if (pos_ >= end_)
                        return fail(failAt);
                    e.data1 = file_[pos_++];
                }
                uint32_t length = 0;
                if (!varLen(length) || end_ - pos_ < length)
                    return fail(failAt);
                e.dataOffset = uint32_t(pos_);
                e.dataLength = length;
                pos_ += length;
                if (status == 0xFF && e.data1 == 0x2F)
                    break;  // end of track; anything after it in the chunk is ignored
            } else {
                return fail(failAt);  // real-time and common messages do not belong in a file
            }
            out.push_back({tick, order++, e});
        }
        endTick = tick;
        return true;
    }

    uint64_t endTick = 0;

private:
    bool varLen(uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos_ >= end_)
                return false;
            const uint8_t b = file_[pos_++];
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;  // more than four bytes
    }

    bool fail(size_t& failAt) const
    {
        failAt = pos_;
        return false;
    }

    std::span<const uint8_t> file_;
    size_t pos_;
    size_t end_;
    uint16_t track_;
};

}  // namespace

bool IsPlayableMidiHeader(std::span<const uint8_t> first)
{
    return first.size() >= 10 && std::memcmp(first.data(), "MThd", 4) == 0 && first[8] == 0 && first[9] <= 1;
}

MidiParse ParseMidiFile(std::span<const uint8_t> data, MidiSong& song)
{
    song = MidiSong{};
    if (data.size() < 8 || std::memcmp(data.data(), "MThd", 4) != 0)
        return {MidiError::NotMidi, 0};
    const uint32_t headerLength = Be32(data.data() + 4);
    if (headerLength < 6 || data.size() - 8 < headerLength)
        return {MidiError::BadHeader, 4};
    song.format = Be16(data.data() + 8);
    song.trackCount = Be16(data.data() + 10);
    song.division = Be16(data.data() + 12);
    if (song.format > 1)
        return {MidiError::UnsupportedFormat, 8};
    if (song.trackCount == 0 || (song.format == 0 && song.trackCount != 1))
        return {MidiError::BadHeader, 10};
    song.smpte = (song.division & 0x8000) != 0;
    const uint32_t ticksPerSecond = song.smpte ? uint32_t(-int8_t(song.division >> 8)) * (song.division & 0xFF) : 0;
    if ((song.smpte && ticksPerSecond == 0) || song.division == 0)
        return {MidiError::BadHeader, 12};

    std::vector<TickEvent> all;
    uint32_t order = 0;
    uint64_t lastTick = 0;
    size_t pos = 8 + size_t(headerLength);
    for (uint16_t track = 0; track < song.trackCount;) {
        if (data.size() - pos < 8)
            return {MidiError::DamagedTrack, pos};
        const uint32_t length = Be32(data.data() + pos + 4);
        const size_t begin = pos + 8;
        if (data.size() - begin < length)
            return {MidiError::DamagedTrack, pos};
        if (std::memcmp(data.data() + pos, "MTrk", 4) == 0) {
            TrackReader reader(data, begin, begin + length, track);
            size_t failAt = 0;
            if (!reader.read(all, order, failAt))
                return {MidiError::DamagedTrack, failAt};
            lastTick = std::max(lastTick, reader.endTick);
            ++track;
        }
        // Chunks of other kinds are skipped, as readers of the format must.
        pos = begin + length;
    }

    std::stable_sort(all.begin(), all.end(), [](const TickEvent& a, const TickEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    // Ticks to microseconds, following the tempo changes in playing order.
    uint32_t tempo = 500000;
    uint64_t baseTick = 0;
    uint64_t baseUs = 0;
    auto toUs = [&](uint64_t tick) {
        if (song.smpte)
            return tick * 1000000 / ticksPerSecond;
        return baseUs + (tick - baseTick) * tempo / song.division;
    };
    bool firstTempoSeen = false;
    song.events.reserve(all.size());
    for (TickEvent& t : all) {
        MidiEvent& e = t.event;
        e.us = toUs(t.tick);
        if (e.status == 0xFF) {
            const uint8_t* payload = data.data() + e.dataOffset;
            if (e.data1 == 0x51 && e.dataLength == 3) {
                baseUs = e.us;
                baseTick = t.tick;
                tempo = uint32_t(payload[0]) << 16 | uint32_t(payload[1]) << 8 | payload[2];
                if (tempo == 0)
                    tempo = 1;
                if (!firstTempoSeen && t.tick == 0)
                    song.firstTempo = tempo;
                firstTempoSeen = true;
                song.events.push_back(e);
            } else if (e.data1 == 0x02 && song.copyright.empty()) {
                song.copyright.assign(reinterpret_cast<const char*>(payload), e.dataLength);
            }
            continue;  // other meta events do not sound
        }
        song.events.push_back(e);
    }
    song.lengthUs = toUs(lastTick);
    if (song.lengthUs > uint64_t(24) * 3600 * 1000000)
        return {MidiError::TooLong, 0};
    song.bytes.assign(data.begin(), data.end());
    return {};
}

const char* MidiErrorText(MidiError error)
{
    static constexpr struct {
        MidiError error;
        const char* text;
    } kTexts[] = {
        {MidiError::None, "no error"},
        {MidiError::NotMidi, "not a standard MIDI file"},
        {MidiError::BadHeader, "damaged MIDI header"},
        {MidiError::UnsupportedFormat, "MIDI format 2 is not supported"},
        {MidiError::DamagedTrack, "damaged MIDI track"},
        {MidiError::TooLong, "song too long"},
    };
    for (const auto& row : kTexts)
        if (row.error == error)
            return row.text;
    return "unknown MIDI error";
}

}  // namespace quorlink::media

// Any bytes given to the MIDI reader: a song whose events lie inside the
// file and in time order, or a clear error; never a crash.
#include "quorlink/media/midi_file.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quorlink::media;
    const std::span<const uint8_t> bytes(data, size);
    (void)IsPlayableMidiHeader(bytes.first(std::min<size_t>(size, 10)));
    MidiSong song;
    if (!ParseMidiFile(bytes, song).ok())
        return 0;
    uint64_t last = 0;
    for (const MidiEvent& e : song.events) {
        if (e.us < last || e.us > song.lengthUs || size_t(e.dataOffset) + e.dataLength > size)
            std::abort();
        last = e.us;
    }
    return 0;
}

#pragma once
// MP3 mode's slot work, shared by the ringtones page's MP3 form and
// `telvane mp3` (connected by shell::Mp3HandshakePlan): the list of the five MP3 slots, putting a sound into
// a slot (converted by the encoder, written into flash, the index written
// back) and emptying a slot (the index written back).
//
// The local copy of the index is "mp3.idx" in the program directory; the
// worker reads it from flash during the handshake and writes it back with
// request 231. The conversion files "decoded.wav" and "encoded.mp3" are
// removed after every put.
//
// Thread affinity: the thread that runs the batches.

#include "mobile/media/core/media_listing.h"
#include "mobile/media/core/media_slots.h"
#include "mobile/shell/core/batch_runner.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace media {

inline constexpr size_t kMp3NameChars = 39;

struct Mp3Listing {
    std::vector<MediaRow> rows;  // five rows, empty ones when messageId is set
    int messageId = 0;
};
// The five rows of the local index (repaired when damaged); 57945 when it
// cannot be read.
[[nodiscard]] Mp3Listing LoadMp3List(const std::string& programDirectory);

class Mp3Flows {
public:
    // programDirectory with its trailing '/'.
    Mp3Flows(std::string programDirectory, shell::BatchRunner& runner);

    // Puts the MP3 file into slot n (1-5) under name (UTF-8, at most 39
    // characters): a used slot is emptied first; then decode, encode, write
    // the sound, write the index. 57707 / 57708; a failure leaves slot n
    // empty in the local index.
    [[nodiscard]] FlowResult put(int n, std::string_view name, const std::filesystem::path& source);
    // Empties slot n and writes the index: 57948 / 57949.
    [[nodiscard]] FlowResult empty(int n);

private:
    [[nodiscard]] bool clearRecord(int n) const;

    std::string dir_;
    shell::BatchRunner& runner_;
};

}  // namespace media

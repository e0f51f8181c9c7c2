#pragma once
// The lists of the ringtones page and `telvane ringtones`: category 1 the
// ten user ringtone slots, 2 the sounds received by WAP, 3 those received
// by MMS (category 4, the MP3 slots, lives in mp3_index.h).
//
// Thread affinity: the thread that runs the batches.

#include "mobile/media/core/media_listing.h"
#include "mobile/shell/core/batch_runner.h"

#include <optional>
#include <string_view>
#include <vector>

namespace media {

enum class SoundCategory { User = 1, Wap = 2, Mms = 3, Mp3 = 4 };

// The phone list behind categories 1-3; nothing for the MP3 slots.
[[nodiscard]] std::optional<MediaList> SoundList(SoundCategory category);

struct SoundListing {
    std::vector<MediaRow> rows;
    int messageId = 0;  // 57957 when the list could not be read
};

// Loads a list from its local copy. When the copy cannot be read and the
// phone is connected in phone mode, the index is downloaded again (one
// request, title 57958) and read once more; otherwise 57957.
[[nodiscard]] SoundListing LoadSoundList(std::string_view programDirectory, SoundCategory category, bool phoneMode,
                                         shell::BatchRunner& runner);

}  // namespace media

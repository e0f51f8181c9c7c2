#pragma once
// The rows the media pages and `telvane` show for each list: number, name,
// size text and whether the row holds an item, together with the record
// behind the row (what saving an item or changing a slot needs).
//
// Rules shared by every list: an empty slot shows string 57722 and "0K";
// an item behind the phone's privacy lock (pictures-locked flag set and the
// record's private flag 1) shows string 57924 and "0"; otherwise the
// display name and the size in KB, rounded up everywhere except in the
// user ringtone list, where it is rounded down. The camera and MMS lists
// skip unused records; the WAP lists show as many rows as their trailer
// counts. Pure functions; any thread.

#include "mobile/media/core/media_index.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace media {

struct MediaRow {
    int number = 0;  // 1-based, as shown
    std::string name;  // UTF-8; shown when nameId is 0
    int nameId = 0;  // string shown instead of the name (57722 empty, 57924 private)
    std::string sizeText;  // "3K", "0K", "0"
    bool used = false;  // the row's item data
    // The record behind the row.
    int record = 0;  // index in its file (slot k for the slot tables)
    std::string fileName;  // phone file name, plain, in the list's directory
    std::string displayName;  // UTF-8
    uint32_t size = 0;
    bool isPrivate = false;
    std::string detail;  // camera: "%02d/%02d/%02d  %02d:%02d  <resolution>"
};

// "%dK" of bytes in KB, rounded up (or down).
[[nodiscard]] std::string KilobyteText(uint32_t bytes, bool roundUp);

// The rows of one list from the bytes of its index file (slot tables as
// read by ReadSlotTable).
[[nodiscard]] std::vector<MediaRow> ListRows(MediaList list, std::span<const uint8_t> bytes, bool picturesLocked);
[[nodiscard]] std::vector<MediaRow> SlotRows(MediaList list, const SlotTable& table, bool picturesLocked);

// The ten rows of a list that is not loaded (number, 57722, "0K", not used).
[[nodiscard]] std::vector<MediaRow> EmptyRows(size_t count = kSlotCount);

// Loads a list from its local copy in the program directory (slot tables
// are padded as ReadSlotTable does); nothing when the copy cannot be read.
[[nodiscard]] std::optional<std::vector<MediaRow>> LoadListing(std::string_view programDirectory, MediaList list,
                                                               bool picturesLocked);

}  // namespace media

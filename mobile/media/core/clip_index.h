#pragma once
// The phone's clip index and what the video list shows of it.
//
// "/app/camera/VideoIndex" is ten 28-byte records (280 bytes, numbers
// big-endian); a record of size 0 is empty. The phone keeps clip n in
// 20480-byte parts (media_parts.h) under the file name "Video" + two digits
// of n - 1.
//
// Pure functions and plain data; the local copy of the index is read on
// the caller's thread.

#include "mobile/media/core/clip_bytes.h"

#include <cstdint>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace media {

inline constexpr size_t kClipRecordCount = 10;
inline constexpr size_t kClipIndexSize = 280;
inline constexpr int kVideoListRows = 20;  // rows shown while not connected
inline constexpr char kClipDirectory[] = "/app/camera/";
inline constexpr char kClipIndexName[] = "VideoIndex";

struct ClipIndexRecord {
    Be16 number;  // 1 to 99
    char name[16];  // mixed phone text, NUL-terminated
    uint8_t isPrivate;
    uint8_t notRead;
    Be32 size;  // bytes; 0 marks an empty record
    Be32 seconds;
};
static_assert(sizeof(ClipIndexRecord) == 28);
static_assert(sizeof(ClipIndexRecord) * kClipRecordCount == kClipIndexSize);

struct ClipInfo {
    int number = 0;
    std::string name;  // UTF-8, converted from the phone's text
    bool isPrivate = false;
    uint32_t size = 0;
    uint32_t seconds = 0;

    [[nodiscard]] bool empty() const { return size == 0; }
};

// The ten records of an index; nothing when it is not 280 bytes.
[[nodiscard]] std::optional<std::vector<ClipInfo>> ParseClipIndex(std::span<const uint8_t> bytes);

enum class IndexLoad { Ok, Missing, WrongSize };

struct LoadedClipIndex {
    IndexLoad status = IndexLoad::Missing;
    std::vector<ClipInfo> clips;
};

// Reads the local copy of the index. A file that does not open at once
// (still being written) is tried again every 10 ms, at most `attempts`
// times, instead of waiting for ever.
[[nodiscard]] LoadedClipIndex LoadClipIndex(const std::string& path, int attempts = 50);

// The phone file name of clip `number` (its first part): "Video00" for 1.
[[nodiscard]] std::string ClipFileName(int number);

// A clip's picture size, once it is known (after a save read its frame
// header). The index does not carry it.
struct KnownClipSize {
    int number = 0;
    uint32_t size = 0;  // the clip's byte size, so a new clip under an old number is not mistaken
    int width = 0;
    int height = 0;
};

// One row of the video list: number, name, length, resolution, size, and
// the item data (the clip number, 0 for an empty row).
struct ClipRow {
    std::string number, name, length, resolution, size;
    int clipNumber = 0;
};

// The 20 blank rows shown while not connected.
[[nodiscard]] std::vector<ClipRow> BlankClipRows();
// One row per record. Empty records show string 57722 and "0K"; private
// ones string 57977 with "0" length and resolution and "0K"; the others
// their name, "mm:ss", the picture size ("128x96", the phone's recording
// size, until the clip's own is known) and "%d K".
[[nodiscard]] std::vector<ClipRow> ClipRows(const std::vector<ClipInfo>& clips,
                                            const std::function<std::string(int)>& text,
                                            std::span<const KnownClipSize> known = {});

// The path with its extension (after the last '.' of the last component)
// replaced by ext (".avi"), or ext appended when it has none.
[[nodiscard]] std::string WithExtension(const std::string& path, const std::string& ext);

}  // namespace media

#pragma once
// The phone's media index files and their local copies.
//
// The phone describes its media in seven small index files of fixed-size
// records: two slot tables that this program changes (ten user pictures,
// ten user ringtones, 36-byte SlotRecords) and five read-only lists (camera
// photos in 48-byte CameraRecords; pictures and sounds received by WAP and
// MMS in 108-byte ItemRecords). A phone-mode connection copies all seven
// into the program directory; the pages and `telvane` read only those
// copies, and the slot flows (media_slots.h) keep the two slot tables in
// step with every change they make on the phone.
//
// Numbers in the records are big-endian; names are the phone's mixed text
// (GSM codes with GBK characters), converted to UTF-8 at the edges.
// Free functions over bytes and files; no state, any thread.

#include "mobile/shell/core/batch_runner.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace media {

#pragma pack(push, 1)
// One user slot of "jpeg.idx" / "midi.idx".
struct SlotRecord {
    uint8_t size[4];  // bytes, big-endian
    char fileName[12];  // NUL-terminated; in midi.idx bytes 8-10 (record 12-14) hold the extension
    char displayName[16];  // mixed phone text, NUL-terminated, at most 15 bytes
    uint8_t used;  // 1 when the slot holds a file
    uint8_t isPrivate;  // 1 when behind the phone's privacy lock
    uint8_t reserved[2];
};
static_assert(sizeof(SlotRecord) == 36);
static_assert(offsetof(SlotRecord, displayName) == 16 && offsetof(SlotRecord, used) == 32);

// One photo of "cam.idx".
struct CameraRecord {
    uint8_t number[2];  // photo number, big-endian
    uint8_t isPrivate;
    uint8_t reserved1;
    char displayName[16];
    char fileName[16];  // empty: unused record
    uint8_t size[4];
    uint8_t reserved2;
    uint8_t resolution;  // index into CameraResolutionText
    uint8_t reserved3[2];
    uint8_t taken[4];  // packed date, see CameraDateText
};
static_assert(sizeof(CameraRecord) == 48);
static_assert(offsetof(CameraRecord, fileName) == 20 && offsetof(CameraRecord, taken) == 44);

// One picture or sound received by WAP or MMS.
struct ItemRecord {
    char fileName[12];  // in the list's own directory; empty: unused (MMS lists)
    char displayName[84];
    uint8_t reserved1[2];
    uint8_t isPrivate;
    uint8_t reserved2[5];
    uint8_t size[4];
};
static_assert(sizeof(ItemRecord) == 108);
static_assert(offsetof(ItemRecord, isPrivate) == 98 && offsetof(ItemRecord, size) == 104);
#pragma pack(pop)

// The seven lists the phone keeps.
enum class MediaList : int {
    UserPictures,  // "jpeg.idx", ten slots
    UserRingtones,  // "midi.idx", ten slots
    Camera,  // "cam.idx"
    WapPictures,  // "WapImg.idx"
    MmsPictures,  // "MMSImg.idx"
    WapSounds,  // "WapAudi.idx"
    MmsSounds,  // "MMSAudi.idx"
};
inline constexpr MediaList kAllMediaLists[] = {MediaList::UserPictures, MediaList::UserRingtones, MediaList::Camera,
                                               MediaList::WapPictures,  MediaList::MmsPictures,   MediaList::WapSounds,
                                               MediaList::MmsSounds};

struct IndexFileInfo {
    MediaList list;
    std::string_view local;  // name of the copy in the program directory
    std::string_view directory;  // phone directory, with its trailing '/'
    std::string_view phoneName;  // index file name on the phone (plain form)
    bool encodedName;  // the phone keeps it under its encoded file name
};
[[nodiscard]] const IndexFileInfo& IndexInfo(MediaList list);

// The phone's encoded form of a plain file name (the slot files and the
// slot index files are kept under it).
[[nodiscard]] std::string PhoneFileName(std::string_view plain);
// "/app/jpeg/" + encoded "index", "/app/camera/cam.idx", ...
[[nodiscard]] std::string PhoneIndexPath(MediaList list);
// programDirectory (with its trailing '/') + "jpeg.idx", ...
[[nodiscard]] std::string LocalIndexPath(std::string_view programDirectory, MediaList list);

// Downloads the given index files again into the program directory (one
// request 201 each), titled 57958.
[[nodiscard]] shell::BatchPlan IndexDownloadPlan(std::string_view programDirectory, std::span<const MediaList> lists);

// ---- slot tables ----------------------------------------------------------

inline constexpr size_t kSlotCount = 10;
inline constexpr size_t kSlotTableSize = kSlotCount * sizeof(SlotRecord);  // 360
using SlotTable = std::array<SlotRecord, kSlotCount>;

enum class SlotTableKind { Pictures, Ringtones };

// The records present in bytes (at most ten); records past the end are
// empty and named "User%03d.jpg" / "User%03d.mid" after their index.
[[nodiscard]] SlotTable ParseSlotTable(std::span<const uint8_t> bytes, SlotTableKind kind);

// Reads a local slot table; when it holds fewer than ten records, the
// padded 360-byte table is written back at the start of the file. Nothing
// when the file cannot be opened for reading and writing.
[[nodiscard]] std::optional<SlotTable> ReadSlotTable(const std::filesystem::path& file, SlotTableKind kind);

// Writes the 360 bytes of a table at the start of the file (the file is
// created when missing); false when it cannot be written.
[[nodiscard]] bool WriteSlotTable(const std::filesystem::path& file, const SlotTable& table);

// ---- read-only lists ------------------------------------------------------

inline constexpr size_t kCameraRecordsMax = 60;
inline constexpr size_t kItemRecordsMax = 30;
inline constexpr size_t kWapSoundRecordsMax = 10;

// The camera records present (at most 60).
[[nodiscard]] std::vector<CameraRecord> ParseCameraIndex(std::span<const uint8_t> bytes);
// The item records of a WAP or MMS list: a WAP picture list holds the
// number shown in its trailer (byte 3270 minus byte 3271, at most 30), a
// WAP sound list byte 1090 (at most 10); an MMS list holds length / 108
// records (at most 30). Records the bytes do not hold are not returned.
[[nodiscard]] std::vector<ItemRecord> ParseItemIndex(std::span<const uint8_t> bytes, MediaList list);

// "%02d/%02d/%02d  %02d:%02d" of the packed date (year modulo 100, month,
// day, hour, minute): bits 31-20 year, 19-16 month, 15-11 day, 10-6 hour,
// 5-0 minute.
[[nodiscard]] std::string CameraDateText(uint32_t packed);
// "128x96" ... "1280x1024"; "?" for an unknown code.
[[nodiscard]] std::string_view CameraResolutionText(uint8_t code);

// ---- text -----------------------------------------------------------------

// A NUL-terminated field of mixed phone text (at most field.size() bytes,
// also without a NUL) as UTF-8.
[[nodiscard]] std::string PhoneTextToUtf8(std::span<const char> field);
// UTF-8 as mixed phone text of at most maxBytes bytes, cut before a
// double-byte character that would not fit whole.
[[nodiscard]] std::string Utf8ToPhoneText(std::string_view utf8, size_t maxBytes);

// Whole-file helpers for the local copies.
[[nodiscard]] std::optional<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path& file);

}  // namespace media

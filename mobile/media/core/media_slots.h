#pragma once
// The user slots: ten picture slots and ten ringtone slots, each holding at
// most one file under a fixed phone file name. A file goes into slot n
// (k = n - 1) by uploading it under the slot's name and registering it in
// the phone's index ("AT*SYFILE=code,k,name,size"); a slot is emptied with
// "AT*REMOVE" and "AT*SYFILE=clear,k". The local copy of the slot table is
// changed with every operation so that the lists show the phone's state
// without reading it again.
//
// SlotFlows runs the whole operations (checks, local table, batch, the
// message to show) on any shell::BatchRunner: the progress window of the
// desktop program, a PhoneSession of `telvane`, or a test's runner. The
// questions to the user (replace? which name?) stay with the front end.
// Thread affinity: the thread that runs the batches.

#include "mobile/media/core/media_index.h"
#include "mobile/shell/core/connection.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace media {

// The kinds of file a slot can hold.
enum class SlotFileKind { Picture, Midi, Amr, Vmd, Adp };

struct SlotFileInfo {
    SlotFileKind kind;
    SlotTableKind table;
    std::string_view typeWord;  // "MIDI", "AMR", ...; empty for pictures
    std::string_view extension;  // "jpg", "mid", ...
    std::string_view directory;  // phone directory of the slot files
    bool ucs2Name;  // the file name is encoded from its UCS2 form (AMR)
    int registerCode;  // AT*SYFILE code that registers an uploaded file
};
[[nodiscard]] const SlotFileInfo& SlotFile(SlotFileKind kind);
// Nothing for an unknown type word / extension.
[[nodiscard]] const SlotFileInfo* SlotFileByTypeWord(std::string_view typeWord);
[[nodiscard]] const SlotFileInfo* SlotFileByExtension(std::string_view extension);

// AT*SYFILE codes that empty a slot record.
inline constexpr int kClearPictureCode = 18;
inline constexpr int kClearRingtoneCode = 34;
// Request kind of the slot commands (a generic command).
inline constexpr int32_t kSlotCommandKind = 96;
// Ringtone slots share this many bytes on the phone.
inline constexpr uint32_t kRingtoneCapacity = 102400;

// "/app/jpeg/" + encoded "user%03d.jpg" of k = n - 1, and so on.
[[nodiscard]] std::string SlotPhonePath(SlotFileKind kind, int n);

// False while the privacy lock hides a private picture slot: it may then be
// neither replaced nor emptied.
[[nodiscard]] bool SlotMayChange(const SlotRecord& record, bool picturesLocked);

enum class SetSlotResult { Ok, CannotRead, CannotWrite, CapacityExceeded };

// Sets slot n of a local table: used = (size != 0), the size and the name
// (UTF-8, stored as at most 15 bytes of phone text); ringtone slots also get
// the kind's extension at record bytes 12-14 and are refused when the used
// slots would then hold more than kRingtoneCapacity bytes (nothing is
// written then).
[[nodiscard]] SetSlotResult SetSlotLocally(const std::filesystem::path& table, SlotFileKind kind, int n,
                                           std::string_view name, uint32_t size);

// The batch that puts a local file into slot n: [clear k,] upload, register
// (name in phone text, at most 15 bytes). Title 57705 (pictures) or 57706.
struct SlotPut {
    SlotFileKind kind = SlotFileKind::Picture;
    int slot = 1;  // n, 1-based
    std::string localFile;
    std::string name;  // UTF-8
    uint32_t size = 0;
    bool clearFirst = true;
};
[[nodiscard]] shell::BatchPlan PutIntoSlotPlan(const SlotPut& put);

// The batch that empties slot n holding a file of the given kind: remove
// the file, clear the record. No progress bar; title 57712 or 57713.
[[nodiscard]] shell::BatchPlan EmptySlotPlan(SlotFileKind kind, int n);

// How an operation ended: the message to show (0: none) and its icon.
struct FlowResult {
    bool ok = false;
    int messageId = 0;
    shell::Icon icon = shell::Icon::Information;
};

class SlotFlows {
public:
    // programDirectory with its trailing '/'.
    SlotFlows(std::string programDirectory, shell::BatchRunner& runner);

    // Puts the picture file (the slot JPEG already made) into slot n.
    // Refused while the slot is private under the lock (57926) or when the
    // local picture table is not a whole 360-byte table; 57707 / 57708.
    [[nodiscard]] FlowResult putPicture(int n, std::string_view name, const std::filesystem::path& jpeg,
                                        bool picturesLocked);
    // Puts a sound file of the given type word into ringtone slot n after
    // the capacity check (57729); 57707 / 57708.
    [[nodiscard]] FlowResult putRingtone(int n, std::string_view name, const std::filesystem::path& file,
                                         std::string_view typeWord);
    // Empties slot n of a table; the local record is cleared first. Picture
    // slots are refused while private under the lock (57925). 57714 / 57715.
    [[nodiscard]] FlowResult emptySlot(SlotTableKind table, int n, bool picturesLocked);

    [[nodiscard]] std::filesystem::path tablePath(SlotTableKind table) const;

private:
    std::string dir_;
    shell::BatchRunner& runner_;
};

// ---- names the user gives ---------------------------------------------------

// The file name between the last separator and the last "." of a path,
// cut to n bytes of the PC code page without splitting a double-byte
// character (UTF-8 in and out).
[[nodiscard]] std::string ShortName(std::string_view path, size_t n);
// Replaces each of ~ ! @ # $ % ^ & * ( ) - = + { } [ ] | \ : ; ' < > , . / ?,
// the backquote, the double quote and control characters by "_": the slot
// name as the phone takes it.
[[nodiscard]] std::string SlotNameFromUser(std::string_view name);

}  // namespace media

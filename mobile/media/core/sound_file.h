#pragma once
// The sound file the user picks on the PC for the ringtones page: which
// kinds are taken, the header and size checks, and the names made from it.
//
// Texts here are in the PC code page (GBK) unless a name says UTF-8; paths
// are the file system's bytes (UTF-8 on Linux).
//
// Pure functions; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace media {

// A sound that passed the checks.
struct SelectedSound {
    std::string path;
    std::string typeWord = "NULL";  // "MIDI", "AMR", "VMD", "ADP", "MP3"; "NULL" when none
    uint32_t size = 0;
    std::string sizeText;  // "%d Kb", KB rounded down
    std::string shortName;  // UTF-8, at most 35 bytes in the PC code page
};

struct SoundCheck {
    bool accepted = false;
    int messageId = 0;  // why it was refused (0: not a sound file at all)
    int limitKb = 0;  // with the too-large message
    SelectedSound sound;
};

// Reads the file's length and first bytes (a MIDI file is read whole, so a
// song whose tracks are damaged is refused along with a wrong header).
[[nodiscard]] SoundCheck CheckSoundFile(const std::string& path);

// True for a type word that the PC can play (MIDI and MP3).
[[nodiscard]] bool PlayableOnPc(std::string_view typeWord);
// The ringtone slot extension of a type word ("mid", "amr", "vmd", "adp"),
// empty for any other.
[[nodiscard]] std::string_view SlotExtension(std::string_view typeWord);

// The file name between the last separator and the last dot, cut to at most
// n bytes at a character boundary of the PC code page.
[[nodiscard]] std::string ShortName(std::string_view pcPath, size_t n);
// The same for a UTF-8 path; the result is UTF-8.
[[nodiscard]] std::string ShortNameUtf8(std::string_view utf8Path, size_t n);

// Slot and MP3 names (UTF-8, whose multi-byte characters hold no ASCII
// bytes, unlike GBK's trail bytes): each of ~ ! @ # $ % ^ & * ( ) - = + { } [ ] | \ : ; '
// < > , . / ? ` and the double quote becomes an underscore.
[[nodiscard]] std::string CleanSlotName(std::string name);
// File names offered when saving (UTF-8): \ / : * ? < > | and the double quote become underscores.
[[nodiscard]] std::string CleanFileName(std::string name);

// MP3 slot sizes: "%d" below 1024 bytes, "%3.2f K" below 1 MiB, "%3.2f M" above.
[[nodiscard]] std::string Mp3SizeText(uint32_t bytes);

}  // namespace media

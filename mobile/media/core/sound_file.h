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
    std::string shortName;  // UTF-8, at most 35 bytes in the PC code page (ShortName)
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

// MP3 slot sizes: "%d" below 1024 bytes, "%3.2f K" below 1 MiB, "%3.2f M" above.
[[nodiscard]] std::string Mp3SizeText(uint32_t bytes);

}  // namespace media

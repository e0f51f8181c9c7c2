#include "mobile/media/core/sound_file.h"

#include "mobile/media/core/media_slots.h"
#include "quorlink/media/midi_file.h"
#include "resources/strings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace media {

namespace {

enum class HeaderCheck { None, Midi, Amr };

struct SoundKind {
    const char* extension;  // the last three characters of the path, lower case
    const char* typeWord;
    HeaderCheck check;
    uint32_t limit;  // the length must be below this; 0: no limit
    bool playable;  // the PC plays it
};

constexpr SoundKind kKinds[] = {
    {"mid", "MIDI", HeaderCheck::Midi, 10241, true}, {"amr", "AMR", HeaderCheck::Amr, 30721, false},
    {"vmd", "VMD", HeaderCheck::None, 61441, false}, {"adp", "ADP", HeaderCheck::None, 71681, false},
    {"mp3", "MP3", HeaderCheck::None, 0, true},
};

const SoundKind* KindOfType(std::string_view typeWord)
{
    for (const SoundKind& k : kKinds)
        if (typeWord == k.typeWord)
            return &k;
    return nullptr;
}

std::string Format(const char* format, auto... args)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

bool HeaderPasses(HeaderCheck check, std::FILE* f, uint32_t length)
{
    switch (check) {
    case HeaderCheck::None: return true;
    case HeaderCheck::Amr: {
        char head[5];
        return std::fread(head, 1, 5, f) == 5 && std::memcmp(head, "#!AMR", 5) == 0;
    }
    case HeaderCheck::Midi: {
        // The whole song (at most 10 KB here): a good header over damaged
        // tracks is refused too, not found out when the phone plays it.
        std::vector<uint8_t> bytes(length);
        if (std::fread(bytes.data(), 1, length, f) != length)
            return false;
        if (!quorlink::media::IsPlayableMidiHeader(std::span(bytes).first(std::min<size_t>(length, 10))))
            return false;
        quorlink::media::MidiSong song;
        return quorlink::media::ParseMidiFile(bytes, song).ok();
    }
    }
    return false;
}

}  // namespace

SoundCheck CheckSoundFile(const std::string& path)
{
    SoundCheck result;
    if (path.size() < 3)
        return result;
    std::string ext = path.substr(path.size() - 3);
    for (char& c : ext)
        c = char(std::tolower(uint8_t(c)));
    const auto kind =
        std::find_if(std::begin(kKinds), std::end(kKinds), [&](const SoundKind& k) { return ext == k.extension; });
    if (kind == std::end(kKinds))
        return result;  // not a sound file: nothing to say

    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f || std::fseek(f, 0, SEEK_END) != 0) {
        if (f)
            std::fclose(f);
        result.messageId = res::IDS_SOUND_FILE_OPEN_FAILED;
        return result;
    }
    const long length = std::ftell(f);
    std::rewind(f);
    if (length < 0) {
        std::fclose(f);
        result.messageId = res::IDS_SOUND_FILE_OPEN_FAILED;
        return result;
    }
    if (kind->limit != 0 && uint64_t(length) >= kind->limit) {
        std::fclose(f);
        result.messageId = res::IDS_FILE_TOO_LARGE_MOST;
        result.limitKb = int(kind->limit / 1024);
        return result;
    }
    // An empty file is no sound, whatever its name says.
    const bool headerOk = length > 0 && HeaderPasses(kind->check, f, uint32_t(length));
    std::fclose(f);
    if (!headerOk) {
        result.messageId = res::IDS_SOUND_FILE_DAMAGED_UNSUPPORTED;
        return result;
    }
    result.accepted = true;
    result.sound.path = path;
    result.sound.typeWord = kind->typeWord;
    result.sound.size = uint32_t(length);
    result.sound.sizeText = Format("%d Kb", int(length / 1024));
    result.sound.shortName = ShortName(path, 35);
    return result;
}

bool PlayableOnPc(std::string_view typeWord)
{
    const SoundKind* k = KindOfType(typeWord);
    return k && k->playable;
}

std::string Mp3SizeText(uint32_t bytes)
{
    if (bytes < 1024)
        return Format("%d", int(bytes));
    if (bytes < 1024 * 1024)
        return Format("%3.2f K", bytes / 1024.0);
    return Format("%3.2f M", bytes / 1048576.0);
}

}  // namespace media

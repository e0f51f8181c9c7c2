#include "mobile/media/core/sound_file.h"

#include "quorlink/codecs/code_page.h"
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
    const char* slotExtension;  // empty: cannot go into a ringtone slot
    HeaderCheck check;
    uint32_t limit;  // the length must be below this; 0: no limit
    bool playable;  // the PC plays it
};

constexpr SoundKind kKinds[] = {
    {"mid", "MIDI", "mid", HeaderCheck::Midi, 10241, true},
    {"amr", "AMR", "amr", HeaderCheck::Amr, 30721, false},
    {"vmd", "VMD", "vmd", HeaderCheck::None, 61441, false},
    {"adp", "ADP", "adp", HeaderCheck::None, 71681, false},
    {"mp3", "MP3", "", HeaderCheck::None, 0, true},
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
    case HeaderCheck::None:
        return true;
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
    result.sound.shortName = ShortNameUtf8(path, 35);
    return result;
}

bool PlayableOnPc(std::string_view typeWord)
{
    const SoundKind* k = KindOfType(typeWord);
    return k && k->playable;
}

std::string_view SlotExtension(std::string_view typeWord)
{
    const SoundKind* k = KindOfType(typeWord);
    return k ? std::string_view(k->slotExtension) : std::string_view();
}

std::string ShortName(std::string_view pcPath, size_t n)
{
    const size_t slash = pcPath.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? pcPath : pcPath.substr(slash + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    // Walk whole characters: a GBK trail byte may be below 0x80, so counting
    // high bytes cannot tell where a character ends.
    size_t end = 0;
    while (end < name.size()) {
        const size_t width =
            end + 1 < name.size() && quorlink::codecs::IsGbkLead(uint8_t(name[end])) ? 2 : 1;
        if (end + width > n)
            break;
        end += width;
    }
    return std::string(name.substr(0, end));
}

std::string ShortNameUtf8(std::string_view utf8Path, size_t n)
{
    // The cut counts bytes of the PC code page, as the phone's names do.
    const std::string pc = quorlink::codecs::Ucs2ToAnsi(quorlink::codecs::Utf8ToUcs2(utf8Path));
    return quorlink::codecs::Ucs2ToUtf8(quorlink::codecs::AnsiToUcs2(ShortName(pc, n)));
}

std::string CleanSlotName(std::string name)
{
    static constexpr std::string_view kReplaced = "~!@#$%^&*()-=+{}[]|\\:;'<>,./?`\"";
    for (char& c : name)
        if (kReplaced.find(c) != std::string_view::npos)
            c = '_';
    return name;
}

std::string CleanFileName(std::string name)
{
    static constexpr std::string_view kReplaced = "\\/:*?<>|\"";
    for (char& c : name)
        if (kReplaced.find(c) != std::string_view::npos)
            c = '_';
    return name;
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

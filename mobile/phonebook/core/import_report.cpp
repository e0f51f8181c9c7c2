#include "mobile/phonebook/core/import_report.h"

#include "mobile/phonebook/core/contact_record.h"
#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <algorithm>
#include <array>

namespace phonebook {

namespace {

constexpr std::array<int, kKindCount> kKindLabels = {
    res::IDS_NUMBER, res::IDS_MOBILE,  res::IDS_HOME,    res::IDS_OFFICE,   res::IDS_FAX,  res::IDS_OTHER,
    res::IDS_E_MAIL, res::IDS_COMPANY, res::IDS_ADDRESS, res::IDS_POSTCODE, res::IDS_NOTE, res::IDS_BIRTHDAY,
};

constexpr std::array<int, kGroupCount> kGroupLabels = {
    res::IDS_PB_GROUP_NONE,       res::IDS_PB_GROUP_FAMILY,     res::IDS_PB_GROUP_FRIENDS,
    res::IDS_PB_GROUP_COLLEAGUES, res::IDS_PB_GROUP_CLASSMATES, res::IDS_PB_GROUP_VIP,
};

struct NoteRow {
    ImportNote::Kind kind;
    int stringId;
};
constexpr NoteRow kNoteTexts[] = {
    {ImportNote::Cut, res::IDS_PB_NOTE_CUT},
    {ImportNote::NumberDropped, res::IDS_PB_NOTE_NUMBER_DROPPED},
    {ImportNote::NoRoom, res::IDS_PB_NOTE_NO_ROOM},
    {ImportNote::NotImported, res::IDS_PB_NOTE_NOT_IMPORTED},
    {ImportNote::EntryDropped, res::IDS_PB_NOTE_ENTRY_DROPPED},
    {ImportNote::Stopped, res::IDS_PB_NOTE_STOPPED},
    {ImportNote::Replaced, res::IDS_PB_NOTE_REPLACED},
};

// Replaces the first "%d" / "%s" of a format in turn with the given texts.
std::string Format(std::string format, std::initializer_list<std::string> args)
{
    size_t from = 0;
    for (const std::string& a : args) {
        size_t at = from;
        while ((at = format.find('%', at)) != std::string::npos && at + 1 < format.size() && format[at + 1] != 'd' &&
               format[at + 1] != 's')
            at += 2;
        if (at == std::string::npos || at + 1 >= format.size())
            break;
        format.replace(at, 2, a);
        from = at + a.size();
    }
    return format;
}

}  // namespace

int KindLabel(int kind)
{
    return kKindLabels[static_cast<size_t>(std::clamp(kind, 0, kKindCount - 1))];
}

int GroupLabel(int group)
{
    return kGroupLabels[static_cast<size_t>(std::clamp(group, 0, kGroupCount - 1))];
}

int MemoryLabel(int memory)
{
    return memory == kMemorySim ? res::IDS_PB_MEMORY_SIM : res::IDS_PB_MEMORY_HANDSET;
}

std::string PcToUtf8(std::string_view pc)
{
    return quorlink::codecs::Ucs2ToUtf8(quorlink::codecs::AnsiToUcs2(pc));
}

std::string Utf8ToPc(std::string_view utf8)
{
    return quorlink::codecs::Ucs2ToAnsi(quorlink::codecs::Utf8ToUcs2(utf8));
}

bool FitsPc(std::string_view utf8)
{
    for (const char16_t c : quorlink::codecs::Utf8ToUcs2(utf8))
        if (c >= 0x80 && (c == 0xFFFD || quorlink::codecs::Ucs2ToGbk(c) == 0xFFFF))
            return false;
    return true;
}

std::string DescribeNote(const ImportNote& note, const TextFn& text)
{
    std::string line = Format(text(res::IDS_PB_NOTE_ENTRY), {std::to_string(note.entry), PcToUtf8(note.name)});
    int id = res::IDS_PB_NOTE_CUT;
    for (const NoteRow& row : kNoteTexts)
        if (row.kind == note.kind)
            id = row.stringId;
    std::string subject = note.fieldLabel != 0 ? text(note.fieldLabel) : std::string();
    if (!note.value.empty())
        subject += subject.empty() ? PcToUtf8(note.value) : " \"" + PcToUtf8(note.value) + "\"";
    return line + Format(text(id), {subject});
}

std::string DescribeNotes(const std::vector<ImportNote>& notes, const TextFn& text)
{
    std::string all;
    for (const ImportNote& n : notes)
        all += DescribeNote(n, text) + "\n";
    return all;
}

}  // namespace phonebook

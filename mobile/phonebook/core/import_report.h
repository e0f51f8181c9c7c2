#pragma once
// What an import could not take over whole: each note names the file's
// entry, what happened and to which field, so the user learns of every cut
// or dropped value instead of finding it missing later.

#include <functional>
#include <string>
#include <vector>

namespace phonebook {

// Texts by string id, in UTF-8 (the front end's language).
using TextFn = std::function<std::string(int stringId)>;

struct ImportNote {
    enum Kind {
        Cut,  // the value was longer than its field: the start was kept
        NumberDropped,  // not a dialling string, or longer than a number field holds
        NoRoom,  // no free field of its kind was left (a sixth number, a second e-mail)
        NotImported,  // a property or column this phonebook has no field for
        EntryDropped,  // the entry as a whole (a SIM entry without a usable number, an unknown memory code)
        Stopped,  // the rest of the file was not read (a record line too long)
        Replaced,  // characters the phone cannot store became '?'
    };
    int entry = 0;  // 1-based entry (data record, vCard) of the file
    std::string name;  // the entry's name, PC text (may be empty)
    Kind kind = Cut;
    int fieldLabel = 0;  // string id of the field's label, 0 when none
    std::string value;  // the value or property concerned, PC text
};

// One line of text per note, in UTF-8.
[[nodiscard]] std::string DescribeNote(const ImportNote& note, const TextFn& text);
[[nodiscard]] std::string DescribeNotes(const std::vector<ImportNote>& notes, const TextFn& text);

// Label string id of a field kind 0-11, and of a group 0-5.
[[nodiscard]] int KindLabel(int kind);
[[nodiscard]] int GroupLabel(int group);
[[nodiscard]] int MemoryLabel(int memory);

// PC text (GBK) to UTF-8 and back, for the edges.
[[nodiscard]] std::string PcToUtf8(std::string_view pc);
[[nodiscard]] std::string Utf8ToPc(std::string_view utf8);
// True when every character of a UTF-8 text has a place in the PC code page.
[[nodiscard]] bool FitsPc(std::string_view utf8);

}  // namespace phonebook

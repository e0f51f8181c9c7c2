#pragma once
// The editing rules of an entry, shared by the edit dialog and
// `telvane phonebook add|edit`: what a field accepts, where a new value
// goes, and the checks before an entry is stored. Each check answers 0 or
// the id of the message that tells the user why not.
//
// Text is PC text (GBK).

#include "mobile/phonebook/core/contact_record.h"
#include "mobile/phonebook/core/import_report.h"

#include <string>
#include <string_view>
#include <vector>

namespace phonebook {

constexpr size_t kHandsetNameChars = 40;
constexpr size_t kSimNameChars = 12;
constexpr size_t kEditNumberChars = 20;

// A field of an entry as the edit dialog lists it: a number (kind 0-5 and
// its index 0-4) or a detail (kind 6-11, index -1).
struct FieldRef {
    int kind = 0;
    int index = -1;
    bool operator==(const FieldRef&) const = default;
};

struct FieldEntry {
    FieldRef ref;
    std::string value;
    bool isDefault = false;
};

// The result of a rule: 0, or a message id. For "already has a value" the
// field's kind is set, and the message follows the field's label.
struct EditCheck {
    int message = 0;
    int kind = -1;
    [[nodiscard]] explicit operator bool() const { return message == 0; }
};

// The characters a field of this kind accepts while typing, and its length.
[[nodiscard]] std::string_view TypingAlphabet(int kind);  // empty: any text
[[nodiscard]] size_t KindLimit(int kind);

// Text typed by the user (UTF-8): every character must have a place in the
// PC code page, which the phone shares; else the "cannot store" message.
[[nodiscard]] EditCheck CheckTypedText(std::string_view utf8);
// First step: name (non-empty) and, for a SIM entry, the number.
[[nodiscard]] EditCheck CheckFirstStep(uint8_t memory, std::string_view name, std::string_view simNumber);
// Adds a value of a kind: a number into the first free number field, a
// detail into its field when empty.
[[nodiscard]] EditCheck AddField(ContactRecord& r, int kind, std::string_view text);
// Replaces the value of an existing field (the edit box of the second step).
[[nodiscard]] EditCheck ChangeField(ContactRecord& r, FieldRef field, std::string_view text);
void RemoveField(ContactRecord& r, FieldRef field);
[[nodiscard]] EditCheck MakeDefault(ContactRecord& r, FieldRef field);
// Closing the second step: at least one field, note and birthday together.
[[nodiscard]] EditCheck CheckFields(const ContactRecord& r);

// The entry's fields in the dialog's order: numbers, then detail6..detail11.
[[nodiscard]] std::vector<FieldEntry> FieldsOf(const ContactRecord& r);

// Memory changes: a handset entry becomes a SIM entry with its name cut to
// 12 bytes and its default (or first) number cut to 20 characters; a SIM
// entry becomes a handset entry whose first number (kind 0) is its number.
[[nodiscard]] ContactRecord ToSim(const ContactRecord& handset);
[[nodiscard]] ContactRecord ToHandset(const ContactRecord& sim);

// The list's details column: "label:value;  " per number, then the
// details in the order detail6, detail8, detail9, detail7, detail10,
// detail11; a SIM row "label:number". UTF-8.
[[nodiscard]] std::string DetailsText(const ContactRecord& r, const TextFn& text);
// The entry as the details window shows it, one "label: value" per line
// (the default number marked). UTF-8.
[[nodiscard]] std::vector<std::string> DetailLines(const ContactRecord& r, const TextFn& text);

}  // namespace phonebook

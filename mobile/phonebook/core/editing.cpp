#include "mobile/phonebook/core/editing.h"

#include "resources/strings.h"

#include <algorithm>

namespace phonebook {

namespace {

[[nodiscard]] bool IsNumberKind(int kind)
{
    return kind >= 0 && kind < kKindFirstDetail;
}

[[nodiscard]] bool IsDigitsKind(int kind)
{
    return kind == 9 || kind == 11;
}

constexpr std::string_view kSimDial = "0123456789pw+#*";

// The order of the details in the list's details column.
constexpr int kDetailsColumnOrder[] = {6, 8, 9, 7, 10, 11};

}  // namespace

std::string_view TypingAlphabet(int kind)
{
    if (IsNumberKind(kind))
        return kDialTyping;
    return IsDigitsKind(kind) ? kDigits : std::string_view{};
}

size_t KindLimit(int kind)
{
    if (IsNumberKind(kind))
        return kEditNumberChars;
    return SpecOf(DetailField(kind)).maxChars;
}

EditCheck CheckTypedText(std::string_view utf8)
{
    return FitsPc(utf8) ? EditCheck{} : EditCheck{res::IDS_TEXT_CONTAINS_CHARACTER_PHONE};
}

EditCheck CheckFirstStep(uint8_t memory, std::string_view name, std::string_view simNumber)
{
    if (name.empty())
        return {res::IDS_ENTER_NAME};
    if (memory != kMemorySim)
        return {};
    if (simNumber.empty())
        return {res::IDS_SIM_ENTRY_NEEDS_NUMBER};
    if (simNumber.size() > kEditNumberChars || !OnlyFrom(simNumber, kSimDial))
        return {res::IDS_TEXT_CONTAINS_CHARACTER_PHONE};
    return {};
}

EditCheck AddField(ContactRecord& r, int kind, std::string_view text)
{
    if (text.empty() || kind < 0 || kind >= kKindCount)
        return {res::IDS_ENTER_TEXT_CHOOSE_KIND};
    if (IsNumberKind(kind)) {
        if (text.size() > kEditNumberChars || !OnlyFrom(text, kDialAdd))
            return {res::IDS_NUMBER_MAY_ONLY_CONTAIN};
        for (int i = 0; i < kNumberCount; ++i)
            if (!HasNumber(r, i))
                return SetNumber(r, i, text, static_cast<uint8_t>(kind)) ? EditCheck{}
                                                                         : EditCheck{res::IDS_NUMBER_MAY_ONLY_CONTAIN};
        return {res::IDS_ALL_D_NUMBER_FIELDS};
    }
    if (IsDigitsKind(kind) && !OnlyFrom(text, kDigits))
        return {res::IDS_NUMBER_MAY_ONLY_CONTAIN};
    const Field f = DetailField(kind);
    if (!GetText(r, f).empty())
        return {res::IDS_ALREADY_VALUE, kind};
    (void)SetText(r, f, text);
    return {};
}

EditCheck ChangeField(ContactRecord& r, FieldRef field, std::string_view text)
{
    if (text.empty())
        return {res::IDS_ENTER_VALUE};
    if (IsNumberKind(field.kind)) {
        if (text.size() > kEditNumberChars || !OnlyFrom(text, kDialTyping) ||
            !SetNumber(r, field.index, text, r.numbers[std::clamp(field.index, 0, kNumberCount - 1)].kind))
            return {res::IDS_NUMBER_MAY_ONLY_CONTAIN};
        return {};
    }
    if (IsDigitsKind(field.kind) && !OnlyFrom(text, kDigits))
        return {res::IDS_NUMBER_MAY_ONLY_CONTAIN};
    (void)SetText(r, DetailField(field.kind), text);
    return {};
}

void RemoveField(ContactRecord& r, FieldRef field)
{
    if (IsNumberKind(field.kind))
        ClearNumber(r, field.index);
    else
        (void)SetText(r, DetailField(field.kind), {});
}

EditCheck MakeDefault(ContactRecord& r, FieldRef field)
{
    if (!IsNumberKind(field.kind) || !HasNumber(r, field.index))
        return {res::IDS_ONLY_NUMBER_CAN_DEFAULT};
    r.defaultField = kDefaultIsNumber;
    r.defaultNumber = static_cast<uint8_t>(field.index + 1);
    return {};
}

EditCheck CheckFields(const ContactRecord& r)
{
    if (FieldsOf(r).empty())
        return {res::IDS_FILL_LEAST_ONE_FIELD};
    if (GetText(r, Field::Detail10).empty() != GetText(r, Field::Detail11).empty())
        return {res::IDS_FILL_BOTH_FIELDS_PAIR};
    return {};
}

std::vector<FieldEntry> FieldsOf(const ContactRecord& r)
{
    std::vector<FieldEntry> v;
    for (int i = 0; i < kNumberCount; ++i)
        if (HasNumber(r, i))
            v.push_back({{r.numbers[i].kind, i},
                         GetNumber(r, i),
                         r.defaultField == kDefaultIsNumber && r.defaultNumber == i + 1});
    for (int kind = kKindFirstDetail; kind < kKindCount; ++kind)
        if (std::string t = GetText(r, DetailField(kind)); !t.empty())
            v.push_back({{kind, -1}, std::move(t), r.defaultField == kind});
    return v;
}

ContactRecord ToSim(const ContactRecord& handset)
{
    std::string number;
    if (handset.defaultField == kDefaultIsNumber && HasNumber(handset, handset.defaultNumber - 1))
        number = GetNumber(handset, handset.defaultNumber - 1);
    for (int i = 0; i < kNumberCount && number.empty(); ++i)
        number = GetNumber(handset, i);
    const std::string name(CutText(GetText(handset, Field::Name), kSimNameChars));
    return NewSimRecord(name, number.substr(0, kEditNumberChars));
}

ContactRecord ToHandset(const ContactRecord& sim)
{
    ContactRecord r = NewHandsetRecord();
    (void)SetText(r, Field::Name, GetText(sim, Field::SimName));
    (void)SetNumber(r, 0, GetText(sim, Field::SimNumber), 0);
    NormaliseDefault(r);
    return r;
}

std::string DetailsText(const ContactRecord& r, const TextFn& text)
{
    if (r.memory == kMemorySim)
        return text(res::IDS_NUMBER) + ":" + PcToUtf8(GetText(r, Field::SimNumber));
    std::string s;
    for (int i = 0; i < kNumberCount; ++i)
        if (HasNumber(r, i))
            s += text(KindLabel(r.numbers[i].kind)) + ":" + GetNumber(r, i) + ";  ";
    for (const int kind : kDetailsColumnOrder)
        if (const std::string v = GetText(r, DetailField(kind)); !v.empty())
            s += text(KindLabel(kind)) + ":" + PcToUtf8(v) + ";  ";
    return s;
}

std::vector<std::string> DetailLines(const ContactRecord& r, const TextFn& text)
{
    std::vector<std::string> lines;
    lines.push_back(text(res::IDS_FIELD_NAME) + ": " + PcToUtf8(DisplayName(r)));
    if (r.memory == kMemorySim) {
        lines.push_back(text(res::IDS_NUMBER) + ": " + PcToUtf8(GetText(r, Field::SimNumber)));
        return lines;
    }
    for (const FieldEntry& f : FieldsOf(r)) {
        std::string line = text(KindLabel(f.ref.kind)) + ": " + PcToUtf8(f.value);
        if (f.isDefault && f.ref.index >= 0)
            line += " " + text(res::IDS_DEFAULT);
        lines.push_back(std::move(line));
    }
    lines.push_back(text(res::IDS_GROUP) + ": " + text(GroupLabel(r.group)));
    return lines;
}

}  // namespace phonebook

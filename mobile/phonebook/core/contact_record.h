#pragma once
// One phonebook entry as the program keeps it: a 371-byte block whose byte 0
// is the memory (0 SIM, 1 handset) and whose bytes 1-370 are exactly the
// record of the phone's handset record files. Text is 8-bit PC code page
// (GBK), NUL-terminated inside its field and zero-filled after it.
//
// A SIM entry uses the same block with two fields of its own (name at byte
// 2, dial string at byte 15); everything else stays zero.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace phonebook {

constexpr uint8_t kMemorySim = 0;
constexpr uint8_t kMemoryHandset = 1;

constexpr int kNumberCount = 5;
constexpr int kGroupCount = 6;
constexpr int kKindCount = 12;  // field kinds: 0-5 kinds of number, 6-11 detail6..detail11
constexpr int kKindFirstDetail = 6;
constexpr uint8_t kDefaultIsNumber = 11;

// Characters a packed number field holds (its 22 bytes: count, pairs, the odd
// last character, a terminator).
constexpr size_t kNumberFieldChars = 40;

#pragma pack(push, 1)
struct NumberField {
    uint8_t bcd[22];  // packed dialling string; all zero = no number
    uint8_t kind;  // 0-5
};

struct ContactRecord {
    uint8_t memory;  // 0
    char name[41];  // 1
    NumberField numbers[kNumberCount];  // 42
    char detail6[51];  // 157
    char detail7[51];  // 208
    char detail8[61];  // 259
    char detail9[11];  // 320
    uint8_t group;  // 331
    uint8_t defaultField;  // 332: 0 none, 6-10 a detail, 11 a number
    uint8_t defaultNumber;  // 333: 1-5 when defaultField is 11
    uint8_t reserved[5];  // 334
    char detail10[13];  // 339
    char detail11[19];  // 352

    [[nodiscard]] std::span<uint8_t, 371> bytes()
    {
        return std::span<uint8_t, 371>(reinterpret_cast<uint8_t*>(this), 371);
    }
    [[nodiscard]] std::span<const uint8_t, 371> bytes() const
    {
        return std::span<const uint8_t, 371>(reinterpret_cast<const uint8_t*>(this), 371);
    }
};
#pragma pack(pop)

static_assert(sizeof(NumberField) == 23);
static_assert(sizeof(ContactRecord) == 371);
static_assert(offsetof(ContactRecord, numbers) == 42);
static_assert(offsetof(ContactRecord, detail6) == 157);
static_assert(offsetof(ContactRecord, detail9) == 320);
static_assert(offsetof(ContactRecord, group) == 331);
static_assert(offsetof(ContactRecord, reserved) == 334);
static_assert(offsetof(ContactRecord, detail10) == 339);
static_assert(offsetof(ContactRecord, detail11) == 352);

constexpr size_t kPhoneRecordSize = 370;  // a record in the phone's files: the block without its memory byte
constexpr size_t kPhbV2RecordSize = 334;

// The text fields of a record. Name..Detail11 are handset fields; SimName
// and SimNumber belong to SIM entries.
enum class Field : uint8_t { Name, Detail6, Detail7, Detail8, Detail9, Detail10, Detail11, SimName, SimNumber };

struct FieldSpec {
    Field field;
    uint16_t offset;  // in the 371-byte block
    uint16_t size;  // bytes of the field, terminator included
    uint16_t maxChars;  // bytes of text the program stores in it
    bool gsmOnPhone;  // converted to the phone's GSM text on upload
    bool digitsOnly;
};

[[nodiscard]] const FieldSpec& SpecOf(Field f);
// The detail field of a field kind 6-11.
[[nodiscard]] Field DetailField(int kind);

// Alphabets of the editing rules.
inline constexpr std::string_view kDialTyping = "0123456789wp+#*";  // what a number field accepts
inline constexpr std::string_view kDialAdd = "0123456789pw+";  // a number added in the field step
inline constexpr std::string_view kDigits = "0123456789";

// The longest prefix of text that fits maxBytes without splitting a GBK
// double-byte character.
[[nodiscard]] std::string_view CutText(std::string_view text, size_t maxBytes);
// True when every character of text is in alphabet (empty text included).
[[nodiscard]] bool OnlyFrom(std::string_view text, std::string_view alphabet);

// Text access. text() reads up to the terminator or the field's end;
// setText() stores at most the field's maxChars bytes (cut at a character
// boundary), zero-fills the rest and returns false when it had to cut.
[[nodiscard]] std::string GetText(const ContactRecord& r, Field f);
bool SetText(ContactRecord& r, Field f, std::string_view text);

// Number i (0-4) decoded to its dialling string; empty for an empty field.
// A count byte larger than the field can hold reads only what the field holds.
[[nodiscard]] std::string GetNumber(const ContactRecord& r, int i);
[[nodiscard]] bool HasNumber(const ContactRecord& r, int i);
// Packs digits into number i with its kind. False (field unchanged) when the
// text has a character outside "0123456789*#+pw" or more than 40 of them.
[[nodiscard]] bool SetNumber(ContactRecord& r, int i, std::string_view digits, uint8_t kind);
void ClearNumber(ContactRecord& r, int i);

[[nodiscard]] ContactRecord NewHandsetRecord();
[[nodiscard]] ContactRecord NewSimRecord(std::string_view name, std::string_view number);

// The name shown and sorted by: name for a handset entry, simName for a SIM entry.
[[nodiscard]] std::string DisplayName(const ContactRecord& r);

// Makes sure the record's default field points at something: keeps a valid
// default, else the first of numbers 1-4, else the first of detail6-detail10,
// else none.
void NormaliseDefault(ContactRecord& r);

// The phone's GSM text and PC text differ in three single-byte characters
// ('@', '_', '$'); these convert them, leaving GBK characters whole.
void GsmToPc(std::string& text);
void PcToGsm(std::string& text);
// The same for the fields that the phone keeps in GSM text.
void HandsetFieldsToPc(ContactRecord& r);  // after reading from the phone
void HandsetFieldsToPhone(ContactRecord& r);  // before uploading

}  // namespace phonebook

#include "mobile/phonebook/core/contact_record.h"

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/ucs2.h"

#include <algorithm>
#include <cstring>

namespace phonebook {

namespace {

constexpr FieldSpec kFields[] = {
    // field, offset, size, stored, GSM on the phone, digits only
    {Field::Name, 1, 41, 40, true, false},        {Field::Detail6, 157, 51, 50, true, false},
    {Field::Detail7, 208, 51, 50, true, false},   {Field::Detail8, 259, 61, 60, true, false},
    {Field::Detail9, 320, 11, 10, false, true},   {Field::Detail10, 339, 13, 12, true, false},
    {Field::Detail11, 352, 19, 15, false, true},  {Field::SimName, 2, 13, 12, false, false},
    {Field::SimNumber, 15, 22, 21, false, false},
};

constexpr Field kDetailByKind[] = {Field::Detail6, Field::Detail7,  Field::Detail8,
                                   Field::Detail9, Field::Detail10, Field::Detail11};

char* FieldPtr(ContactRecord& r, const FieldSpec& s)
{
    return reinterpret_cast<char*>(r.bytes().data()) + s.offset;
}
const char* FieldPtr(const ContactRecord& r, const FieldSpec& s)
{
    return reinterpret_cast<const char*>(r.bytes().data()) + s.offset;
}

// Applies a single-byte codec conversion to the single-byte characters of
// mixed text only: the trail byte of a GBK character may be '@', '_' or
// 0x80, which the byte-wise GSM conversions would otherwise rewrite.
void ConvertSingleBytes(std::string& text, void (*convert)(char*))
{
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (i + 1 < text.size() && quorlink::codecs::IsGbkLead(b) &&
            quorlink::codecs::IsGbkTrail(static_cast<unsigned char>(text[i + 1]))) {
            ++i;
            continue;
        }
        char one[2] = {text[i], 0};
        convert(one);
        text[i] = one[0];
    }
}

constexpr Field kGsmFields[] = {Field::Name, Field::Detail6, Field::Detail7, Field::Detail8, Field::Detail10};

}  // namespace

const FieldSpec& SpecOf(Field f)
{
    return kFields[static_cast<size_t>(f)];
}

Field DetailField(int kind)
{
    return kDetailByKind[std::clamp(kind - kKindFirstDetail, 0, 5)];
}

std::string_view CutText(std::string_view text, size_t maxBytes)
{
    size_t i = 0;
    while (i < text.size()) {
        const bool pair = i + 1 < text.size() && quorlink::codecs::IsGbkLead(static_cast<unsigned char>(text[i])) &&
            quorlink::codecs::IsGbkTrail(static_cast<unsigned char>(text[i + 1]));
        const size_t len = pair ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return text.substr(0, i);
}

bool OnlyFrom(std::string_view text, std::string_view alphabet)
{
    return text.find_first_not_of(alphabet) == std::string_view::npos;
}

std::string GetText(const ContactRecord& r, Field f)
{
    const FieldSpec& s = SpecOf(f);
    const char* p = FieldPtr(r, s);
    return std::string(p, strnlen(p, s.size));
}

bool SetText(ContactRecord& r, Field f, std::string_view text)
{
    const FieldSpec& s = SpecOf(f);
    // Text stops at an embedded NUL as it would in the field.
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    const std::string_view kept = CutText(text, s.maxChars);
    char* p = FieldPtr(r, s);
    std::memset(p, 0, s.size);
    std::copy(kept.begin(), kept.end(), p);  // an empty view may have no data pointer
    return kept.size() == text.size();
}

std::string GetNumber(const ContactRecord& r, int i)
{
    if (i < 0 || i >= kNumberCount || !HasNumber(r, i))
        return {};
    const uint8_t* field = r.numbers[i].bcd;
    // The count byte comes from outside: never let it read past the field
    // (42 characters use all 21 bytes after it).
    constexpr size_t kMaxCount = (sizeof(NumberField::bcd) - 1) * 2;
    unsigned char in[sizeof(NumberField::bcd)];
    std::memcpy(in, field, sizeof in);
    in[0] = static_cast<unsigned char>(std::min<size_t>(in[0], kMaxCount));
    char out[kMaxCount + 1] = {};
    (void)dir6_2bcd2ascii(in, out);
    return std::string(out, strnlen(out, in[0]));
}

bool HasNumber(const ContactRecord& r, int i)
{
    return i >= 0 && i < kNumberCount && r.numbers[i].bcd[0] != 0;
}

bool SetNumber(ContactRecord& r, int i, std::string_view digits, uint8_t kind)
{
    if (i < 0 || i >= kNumberCount || digits.empty() || digits.size() > kNumberFieldChars ||
        !OnlyFrom(digits, kDialTyping))
        return false;
    char s[kNumberFieldChars + 1] = {};
    std::memcpy(s, digits.data(), digits.size());
    unsigned char out[kNumberFieldChars / 2 + 3] = {};
    dir6_1ascii2bcd(s, out);
    std::memset(r.numbers[i].bcd, 0, sizeof r.numbers[i].bcd);
    std::memcpy(r.numbers[i].bcd, out, std::min(sizeof out, sizeof r.numbers[i].bcd));
    r.numbers[i].kind = kind;
    return true;
}

void ClearNumber(ContactRecord& r, int i)
{
    if (i >= 0 && i < kNumberCount)
        r.numbers[i] = NumberField{};
}

ContactRecord NewHandsetRecord()
{
    ContactRecord r{};
    r.memory = kMemoryHandset;
    return r;
}

ContactRecord NewSimRecord(std::string_view name, std::string_view number)
{
    ContactRecord r{};
    r.memory = kMemorySim;
    (void)SetText(r, Field::SimName, name);
    (void)SetText(r, Field::SimNumber, number);
    return r;
}

std::string DisplayName(const ContactRecord& r)
{
    return GetText(r, r.memory == kMemorySim ? Field::SimName : Field::Name);
}

void NormaliseDefault(ContactRecord& r)
{
    if (r.defaultField >= kKindFirstDetail && r.defaultField <= 10 && !GetText(r, DetailField(r.defaultField)).empty())
        return;
    if (r.defaultField == kDefaultIsNumber && r.defaultNumber >= 1 && r.defaultNumber <= 5 &&
        HasNumber(r, r.defaultNumber - 1))
        return;
    for (int i = 0; i < 4; ++i) {
        if (HasNumber(r, i)) {
            r.defaultField = kDefaultIsNumber;
            r.defaultNumber = static_cast<uint8_t>(i + 1);
            return;
        }
    }
    for (int kind = kKindFirstDetail; kind <= 10; ++kind) {
        if (!GetText(r, DetailField(kind)).empty()) {
            r.defaultField = static_cast<uint8_t>(kind);
            r.defaultNumber = 0;
            return;
        }
    }
    r.defaultField = 0;
    r.defaultNumber = 0;
}

void GsmToPc(std::string& text)
{
    ConvertSingleBytes(text, &CUcs2::Gsm0338ToAsc);
}

void PcToGsm(std::string& text)
{
    ConvertSingleBytes(text, &CUcs2::AscToGsm0338);
}

void HandsetFieldsToPc(ContactRecord& r)
{
    for (Field f : kGsmFields) {
        std::string t = GetText(r, f);
        GsmToPc(t);
        (void)SetText(r, f, t);
    }
}

void HandsetFieldsToPhone(ContactRecord& r)
{
    for (Field f : kGsmFields) {
        std::string t = GetText(r, f);
        PcToGsm(t);
        (void)SetText(r, f, t);
    }
}

}  // namespace phonebook

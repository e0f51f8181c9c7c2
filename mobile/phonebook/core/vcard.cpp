#include "mobile/phonebook/core/vcard.h"

#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <vector>

namespace phonebook {

namespace {

// ---- writing ------------------------------------------------------------------

struct TypeRow {
    uint8_t kind;
    std::string_view type;  // empty: a plain TEL
};
constexpr TypeRow kTelTypes[] = {{0, ""}, {1, "CELL"}, {2, "HOME"}, {3, "WORK"}, {4, "FAX"}, {5, "VOICE"}};

std::string Escape(std::string_view utf8)
{
    std::string out;
    for (const char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case ',': out += "\\,"; break;
        case ';': out += "\\;"; break;
        case '\n': out += "\\n"; break;
        case '\r': break;
        default: out += c;
        }
    }
    return out;
}

// Writes one content line folded at 75 octets, never inside a UTF-8 sequence.
void Line(std::string& out, std::string_view line)
{
    size_t width = 0;
    for (size_t i = 0; i < line.size();) {
        size_t len = 1;
        const auto b = static_cast<unsigned char>(line[i]);
        if (b >= 0xF0)
            len = 4;
        else if (b >= 0xE0)
            len = 3;
        else if (b >= 0xC0)
            len = 2;
        len = std::min(len, line.size() - i);
        if (width + len > 75) {
            out += "\r\n ";
            width = 1;
        }
        out.append(line.substr(i, len));
        width += len;
        i += len;
    }
    out += "\r\n";
}

[[nodiscard]] std::string Utf8Field(const ContactRecord& r, Field f)
{
    return Escape(PcToUtf8(GetText(r, f)));
}

[[nodiscard]] bool IsDate(std::string_view s)
{
    if (s.size() != 8 || !OnlyFrom(s, kDigits))
        return false;
    const int month = (s[4] - '0') * 10 + (s[5] - '0');
    const int day = (s[6] - '0') * 10 + (s[7] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

void EncodeOne(std::string& out, const ContactRecord& r, const TextFn& text)
{
    Line(out, "BEGIN:VCARD");
    Line(out, "VERSION:3.0");
    const std::string name = Escape(PcToUtf8(DisplayName(r)));
    Line(out, "FN:" + name);
    Line(out, "N:" + name + ";;;;");
    if (r.memory == kMemorySim) {
        const std::string number = GetText(r, Field::SimNumber);
        if (!number.empty())
            Line(out, "TEL:" + Escape(number));
        Line(out, "X-TELVANE-MEMORY:SIM");
        Line(out, "END:VCARD");
        return;
    }
    for (int i = 0; i < kNumberCount; ++i) {
        if (!HasNumber(r, i))
            continue;
        std::string types;
        for (const TypeRow& t : kTelTypes)
            if (t.kind == r.numbers[i].kind)
                types = t.type;
        const bool pref = r.defaultField == kDefaultIsNumber && r.defaultNumber == i + 1;
        if (pref)
            types += types.empty() ? "PREF" : ",PREF";
        Line(out, "TEL" + (types.empty() ? std::string() : ";TYPE=" + types) + ":" + Escape(GetNumber(r, i)));
    }
    if (const std::string v = Utf8Field(r, Field::Detail6); !v.empty())
        Line(out, "EMAIL;TYPE=INTERNET:" + v);
    if (const std::string v = Utf8Field(r, Field::Detail7); !v.empty())
        Line(out, "ORG:" + v);
    const std::string street = Utf8Field(r, Field::Detail8);
    const std::string code = Utf8Field(r, Field::Detail9);
    if (!street.empty() || !code.empty())
        Line(out, "ADR:;;" + street + ";;;" + code + ";");
    if (const std::string v = Utf8Field(r, Field::Detail10); !v.empty())
        Line(out, "NOTE:" + v);
    const std::string birthday = GetText(r, Field::Detail11);
    if (IsDate(birthday))
        Line(out, "BDAY:" + birthday.substr(0, 4) + "-" + birthday.substr(4, 2) + "-" + birthday.substr(6, 2));
    else if (!birthday.empty())
        Line(out, "X-TELVANE-BIRTHDAY:" + Escape(PcToUtf8(birthday)));
    if (r.group != 0)  // group 0 is no group
        Line(out, "CATEGORIES:" + Escape(text(GroupLabel(r.group))));
    Line(out, "X-TELVANE-GROUP:" + std::to_string(r.group));
    Line(out, "X-TELVANE-DEFAULT:" + std::to_string(r.defaultField) + "," + std::to_string(r.defaultNumber));
    Line(out, "END:VCARD");
}

// ---- reading --------------------------------------------------------------------

std::string Upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

struct Property {
    std::string name;  // upper case, group prefix removed
    std::vector<std::string> types;  // upper case: TYPE values and bare parameters
    std::string encoding;  // upper case
    std::string charset;  // upper case
    std::string value;  // raw
};

// Splits the unfolded text into logical lines. Quoted-printable values
// continue on the next line after a trailing '='.
std::vector<std::string> LogicalLines(std::string_view text)
{
    std::vector<std::string> physical;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find_first_of("\r\n", i);
        if (end == std::string_view::npos)
            end = text.size();
        physical.emplace_back(text.substr(i, end - i));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        i = end + 1;
    }
    std::vector<std::string> lines;
    bool qpContinues = false;
    for (std::string& p : physical) {
        if (!lines.empty() && !p.empty() && (p[0] == ' ' || p[0] == '\t')) {
            lines.back() += p.substr(1);
        } else if (!lines.empty() && qpContinues) {
            lines.back().pop_back();  // the soft line break '='
            lines.back() += p;
        } else {
            lines.push_back(std::move(p));
        }
        const std::string& l = lines.back();
        const size_t colon = l.find(':');
        qpContinues = !l.empty() && l.back() == '=' && colon != std::string::npos &&
            Upper(l.substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
    }
    return lines;
}

std::optional<Property> ParseLine(std::string_view line)
{
    // The value starts after the first ':' outside a quoted parameter value.
    bool quoted = false;
    size_t colon = std::string_view::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string_view::npos)
        return std::nullopt;
    Property p;
    p.value = std::string(line.substr(colon + 1));
    std::vector<std::string> parts;
    std::string part;
    quoted = false;
    for (const char c : line.substr(0, colon)) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ';' && !quoted) {
            parts.push_back(std::move(part));
            part.clear();
        } else
            part += c;
    }
    parts.push_back(std::move(part));
    std::string name = Upper(parts[0]);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos)
        name = name.substr(dot + 1);
    p.name = name;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string param = parts[i];
        const size_t eq = param.find('=');
        const std::string key = Upper(param.substr(0, eq));
        if (eq == std::string::npos) {
            // vCard 2.1 bare parameters: "TEL;CELL;PREF", "NOTE;QUOTED-PRINTABLE".
            if (key == "QUOTED-PRINTABLE" || key == "BASE64")
                p.encoding = key;
            else
                p.types.push_back(key);
            continue;
        }
        const std::string val = Upper(param.substr(eq + 1));
        if (key == "TYPE") {
            size_t from = 0;
            while (from <= val.size()) {
                const size_t comma = std::min(val.find(',', from), val.size());
                p.types.push_back(val.substr(from, comma - from));
                from = comma + 1;
            }
        } else if (key == "ENCODING") {
            p.encoding = val;
        } else if (key == "CHARSET") {
            p.charset = val;
        }
    }
    return p;
}

[[nodiscard]] int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string QuotedPrintable(std::string_view v)
{
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '=' && i + 2 < v.size() && HexValue(v[i + 1]) >= 0 && HexValue(v[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(v[i + 1]) << 4 | HexValue(v[i + 2]));
            i += 2;
        } else if (v[i] == '=' && i + 1 == v.size()) {
            break;  // a soft line break at the end
        } else {
            out += v[i];
        }
    }
    return out;
}

// Splits a structured value at unescaped separators and unescapes each part.
std::vector<std::string> Components(std::string_view v, char separator)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '\\' && i + 1 < v.size()) {
            const char n = v[++i];
            parts.back() += (n == 'n' || n == 'N') ? '\n' : n;
        } else if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string Unescape(std::string_view v)
{
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char n = v[++i];
            out += (n == 'n' || n == 'N') ? '\n' : n;
        } else {
            out += v[i];
        }
    }
    return out;
}

std::string Join(const std::vector<std::string>& parts, std::string_view with)
{
    std::string out;
    for (const auto& p : parts) {
        if (p.empty())
            continue;
        if (!out.empty())
            out += with;
        out += p;
    }
    return out;
}

[[nodiscard]] bool Has(const std::vector<std::string>& types, std::string_view t)
{
    return std::find(types.begin(), types.end(), t) != types.end();
}

// The kind of a number from its types; a fax line wins over its place.
[[nodiscard]] uint8_t KindOfTypes(const std::vector<std::string>& types)
{
    if (Has(types, "FAX"))
        return 4;
    if (Has(types, "CELL") || Has(types, "MOBILE") || Has(types, "IPHONE"))
        return 1;
    if (Has(types, "HOME"))
        return 2;
    if (Has(types, "WORK"))
        return 3;
    for (const auto& t : types)
        if (t != "PREF" && !t.empty())
            return 5;  // voice, pager, car, ...: "other"
    return 0;
}

class CardReader {
public:
    CardReader(int entry, const TextFn& text, ImportResult& result) : entry_(entry), text_(text), result_(result)
    {
        r_ = NewHandsetRecord();
    }

    void take(const Property& p)
    {
        if (p.encoding == "B" || p.encoding == "BASE64") {
            later_.push_back({ImportNote::NotImported, 0, p.name});  // photos, sounds, keys
            return;
        }
        const std::string v = Decode(p);
        const std::string& n = p.name;
        if (n == "FN")
            fn_ = Unescape(v);
        else if (n == "N")
            n_ = Components(v, ';');
        else if (n == "TEL")
            tels_.push_back({Unescape(v), KindOfTypes(p.types), Has(p.types, "PREF")});
        else if (n == "EMAIL")
            detail(6, Unescape(v));
        else if (n == "ORG")
            detail(7, Join(Components(v, ';'), ", "));
        else if (n == "ADR")
            address(Components(v, ';'));
        else if (n == "NOTE")
            detail(10, Unescape(v));
        else if (n == "BDAY")
            birthday(Unescape(v));
        else if (n == "X-TELVANE-BIRTHDAY")
            birthdayText_ = Unescape(v);
        else if (n == "CATEGORIES")
            categories_ = Components(v, ',');
        else if (n == "X-TELVANE-GROUP")
            ownGroup_ = Small(v);
        else if (n == "X-TELVANE-DEFAULT")
            ownDefault_ = Unescape(v);
        else if (n == "X-TELVANE-MEMORY")
            sim_ = Upper(v) == "SIM";
        else if (n != "VERSION" && n != "PRODID" && n != "REV" && n != "UID" && n != "SORT-STRING" && n != "BEGIN" &&
                 n != "END")
            later_.push_back({ImportNote::NotImported, 0, n});
    }

    void finish()
    {
        std::string name = fn_;
        if (name.empty() && !n_.empty())
            name = NameFromParts();
        if (sim_)
            finishSim(name);
        else
            finishHandset(name);
    }

private:
    struct Tel {
        std::string text;
        uint8_t kind;
        bool pref;
    };
    struct Later {
        ImportNote::Kind kind;
        int label;
        std::string value;  // UTF-8
    };

    [[nodiscard]] static int Small(std::string_view v)
    {
        int x = -1;
        const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
        (void)p;
        return ec == std::errc{} ? x : -1;
    }

    // The value in UTF-8, whatever its transfer encoding and character set.
    [[nodiscard]] std::string Decode(const Property& p) const
    {
        std::string raw = p.encoding == "QUOTED-PRINTABLE" ? QuotedPrintable(p.value) : p.value;
        const std::string& cs = p.charset;
        if (cs == "GB2312" || cs == "GBK" || cs == "GB18030" || cs == "CP936")
            return PcToUtf8(raw);
        if (cs == "ISO-8859-1" || cs == "LATIN1" || cs == "WINDOWS-1252") {
            std::u16string u;
            for (const char c : raw)
                u += static_cast<char16_t>(static_cast<unsigned char>(c));
            return quorlink::codecs::Ucs2ToUtf8(u);
        }
        return raw;
    }

    [[nodiscard]] std::string NameFromParts() const
    {
        auto part = [&](size_t i) { return i < n_.size() ? n_[i] : std::string(); };
        const std::string family = part(0), given = part(1);
        const bool wide = std::any_of(family.begin(), family.end(), [](char c) { return (c & 0x80) != 0; }) ||
            std::any_of(given.begin(), given.end(), [](char c) { return (c & 0x80) != 0; });
        if (wide)
            return family + given;
        return Join({part(3), given, part(2), family, part(4)}, " ");
    }

    void detail(int kind, std::string v)
    {
        if (v.empty())
            return;
        std::string& slot = details_[static_cast<size_t>(kind - kKindFirstDetail)];
        if (!slot.empty()) {
            later_.push_back({ImportNote::NoRoom, KindLabel(kind), v});
            return;
        }
        slot = std::move(v);
    }

    void address(const std::vector<std::string>& parts)
    {
        auto part = [&](size_t i) { return i < parts.size() ? parts[i] : std::string(); };
        std::string street = Join({part(0), part(1), part(2), part(3), part(4), part(6)}, ", ");
        const std::string code = part(5);
        if (!details_[2].empty() || !details_[3].empty()) {
            later_.push_back({ImportNote::NoRoom, KindLabel(8), Join({street, code}, ", ")});
            return;
        }
        if (!code.empty() && (code.size() > SpecOf(Field::Detail9).maxChars || !OnlyFrom(code, kDigits))) {
            street = Join({street, code}, ", ");  // a postcode with letters stays with the address
            details_[2] = street;
            return;
        }
        details_[2] = street;
        details_[3] = code;
    }

    void birthday(std::string v)
    {
        v = v.substr(0, v.find('T'));
        std::erase(v, '-');
        if (v.empty() || !OnlyFrom(v, kDigits)) {
            later_.push_back({ImportNote::NotImported, KindLabel(11), v});
            return;
        }
        detail(11, v);
    }

    void note(ImportNote::Kind kind, int label, const std::string& utf8Value)
    {
        result_.notes.push_back({entry_, DisplayName(r_), kind, label, Utf8ToPc(utf8Value)});
    }

    // Stores UTF-8 text into a field; notes characters the PC code page
    // lacks and text that had to be cut.
    void put(Field f, const std::string& utf8, int label)
    {
        if (!FitsPc(utf8))
            note(ImportNote::Replaced, label, utf8);
        if (!SetText(r_, f, Utf8ToPc(utf8)))
            note(ImportNote::Cut, label, utf8);
    }

    void flushLater()
    {
        for (const Later& l : later_)
            note(l.kind, l.label, l.value);
    }

    void finishSim(const std::string& name)
    {
        r_ = NewSimRecord({}, {});
        put(Field::SimName, name, res::IDS_FIELD_NAME);
        bool placed = false;
        for (const Tel& t : tels_) {
            const auto clean = CleanNumber(StripUri(t.text), 20);
            if (placed || !clean) {
                note(placed ? ImportNote::NoRoom : ImportNote::NumberDropped, res::IDS_NUMBER, t.text);
                continue;
            }
            (void)SetText(r_, Field::SimNumber, *clean);
            placed = true;
        }
        for (size_t d = 0; d < details_.size(); ++d)
            if (!details_[d].empty())
                note(ImportNote::NotImported, KindLabel(kKindFirstDetail + static_cast<int>(d)), details_[d]);
        flushLater();
        result_.records.push_back(r_);
    }

    [[nodiscard]] static std::string StripUri(std::string_view v)
    {
        if (v.size() >= 4 && Upper(v.substr(0, 4)) == "TEL:")
            v.remove_prefix(4);
        return std::string(v.substr(0, v.find(';')));
    }

    void finishHandset(const std::string& name)
    {
        put(Field::Name, name, res::IDS_FIELD_NAME);
        int next = 0;
        int pref = 0;
        for (const Tel& t : tels_) {
            const auto clean = CleanNumber(StripUri(t.text), kNumberFieldChars);
            if (!clean) {
                note(ImportNote::NumberDropped, KindLabel(t.kind), t.text);
                continue;
            }
            if (next == kNumberCount) {
                note(ImportNote::NoRoom, KindLabel(t.kind), t.text);
                continue;
            }
            (void)SetNumber(r_, next, *clean, t.kind);
            if (t.pref && pref == 0)
                pref = next + 1;
            ++next;
        }
        if (!birthdayText_.empty() && details_[5].empty())
            details_[5] = birthdayText_;
        for (size_t d = 0; d < details_.size(); ++d)
            if (!details_[d].empty())
                put(DetailField(kKindFirstDetail + static_cast<int>(d)), details_[d],
                    KindLabel(kKindFirstDetail + static_cast<int>(d)));
        if (ownGroup_ >= 0 && ownGroup_ < kGroupCount) {
            r_.group = static_cast<uint8_t>(ownGroup_);
        } else {
            bool matched = false;
            for (const std::string& c : categories_) {
                bool known = false;
                for (int g = 0; g < kGroupCount && !matched; ++g)
                    if (c == text_(GroupLabel(g))) {
                        r_.group = static_cast<uint8_t>(g);
                        matched = known = true;
                    }
                if (!known && !c.empty())
                    note(ImportNote::NotImported, res::IDS_GROUP, c);
            }
        }
        if (pref != 0) {
            r_.defaultField = kDefaultIsNumber;
            r_.defaultNumber = static_cast<uint8_t>(pref);
        }
        if (const size_t comma = ownDefault_.find(','); comma != std::string::npos) {
            const int field = Small(ownDefault_.substr(0, comma));
            const int number = Small(ownDefault_.substr(comma + 1));
            if (field >= 0 && field <= kDefaultIsNumber && number >= 0 && number <= kNumberCount) {
                r_.defaultField = static_cast<uint8_t>(field);
                r_.defaultNumber = static_cast<uint8_t>(number);
            }
        }
        NormaliseDefault(r_);
        flushLater();
        bool nothing = DisplayName(r_).empty() && next == 0;
        for (int kind = kKindFirstDetail; kind < kKindCount; ++kind)
            nothing = nothing && GetText(r_, DetailField(kind)).empty();
        if (nothing) {
            note(ImportNote::EntryDropped, res::IDS_PB_EMPTY_ENTRY, {});
            return;
        }
        result_.records.push_back(r_);
    }

    int entry_;
    const TextFn& text_;
    ImportResult& result_;
    ContactRecord r_{};
    std::string fn_;
    std::vector<std::string> n_;
    std::vector<Tel> tels_;
    std::array<std::string, 6> details_;
    std::string birthdayText_;
    std::vector<std::string> categories_;
    int ownGroup_ = -1;
    std::string ownDefault_;
    bool sim_ = false;
    std::vector<Later> later_;
};

}  // namespace

std::string EncodeVcards(std::span<const ContactRecord* const> records, const TextFn& text)
{
    std::string out;
    for (const ContactRecord* r : records)
        EncodeOne(out, *r, text);
    return out;
}

ImportResult DecodeVcards(std::string_view bytes, const TextFn& text)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    ImportResult result;
    std::optional<CardReader> card;
    int entry = 0;
    int depth = 0;  // cards nested inside a card (vCard 2.1 AGENT) are skipped
    for (const std::string& line : LogicalLines(bytes)) {
        const auto p = ParseLine(line);
        if (!p)
            continue;
        if (p->name == "BEGIN" && Upper(p->value) == "VCARD") {
            if (card) {
                ++depth;
                continue;
            }
            card.emplace(++entry, text, result);
            continue;
        }
        if (p->name == "END" && Upper(p->value) == "VCARD") {
            if (depth > 0) {
                --depth;
                continue;
            }
            if (card) {
                card->finish();
                card.reset();
            }
            continue;
        }
        if (card && depth == 0)
            card->take(*p);
    }
    return result;
}

}  // namespace phonebook

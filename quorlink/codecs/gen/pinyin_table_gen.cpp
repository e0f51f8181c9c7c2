// Generator of the pinyin collation table: 8837 GBK codes, ascending, with
// their ranks in pinyin order.
//
// Usage: pinyin_table_gen OUTPUT.cpp
//
// The characters are
//  * all 6763 GB2312 characters (lead bytes 0xB0..0xF7, trail bytes
//    0xA1..0xFE, the five empty positions D7FA..D7FE left out), and
//  * 2074 further GBK characters: the traditional forms of GB2312
//    characters, taken in GBK code order from 0x8147 upwards. A character
//    qualifies when ICU's "Traditional-Simplified" transliterator turns it
//    into one other character that is in the GB2312 set, and ICU's
//    "Han-Latin" transliterator gives it a reading. These are the
//    traditional characters people meet in names and messages, and the
//    choice depends on nothing but ICU's data.
// The ranks order the 8837 characters by ICU's "zh@collation=pinyin"
// collator (simplified and traditional forms of a reading interleave);
// characters the collator finds equal keep GBK code order.
//
// GBK codes are turned into Unicode with glibc iconv "CP936". The output
// depends on the ICU version (recorded in the file); the committed copy is
// checked against a fresh run by the codecs_pinyin_table_current test.

#include <iconv.h>
#include <unicode/coll.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uvernum.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace {

constexpr int kGb2312Count = 6763;
constexpr int kExtraCount = 2074;
constexpr unsigned kFirstExtra = 0x8147;

std::optional<char32_t> FromGbk(iconv_t cd, unsigned code)
{
    char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    char out[16];
    char* ip = in;
    char* op = out;
    std::size_t il = 2;
    std::size_t ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0 || sizeof out - ol != 4)
        return std::nullopt;
    std::uint32_t v;
    std::memcpy(&v, out, 4);
    return static_cast<char32_t>(v);
}

bool IsGbkTrail(unsigned t)
{
    return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE);
}
bool IsGb2312Position(unsigned code)
{
    const unsigned lead = code >> 8, trail = code & 0xFF;
    return lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE;
}

struct Entry {
    std::uint16_t code;
    char32_t ch;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pinyin_table_gen OUTPUT.cpp\n");
        return 2;
    }
    iconv_t cd = iconv_open("UCS-4LE", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "pinyin_table_gen: iconv has no CP936 converter\n");
        return 1;
    }
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> toSimplified(
        icu::Transliterator::createInstance("Traditional-Simplified", UTRANS_FORWARD, err));
    std::unique_ptr<icu::Transliterator> toLatin(icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, err));
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("zh@collation=pinyin"), err));
    if (U_FAILURE(err)) {
        std::fprintf(stderr, "pinyin_table_gen: ICU: %s\n", u_errorName(err));
        return 1;
    }

    std::vector<Entry> entries;
    std::set<char32_t> gb2312;
    for (unsigned code = 0xB0A1; code <= 0xF7FE; ++code) {
        if (!IsGb2312Position(code))
            continue;
        if (auto ch = FromGbk(cd, code)) {
            entries.push_back({static_cast<std::uint16_t>(code), *ch});
            gb2312.insert(*ch);
        }
    }
    if (entries.size() != kGb2312Count) {
        std::fprintf(stderr, "pinyin_table_gen: %zu GB2312 characters, expected %d\n", entries.size(), kGb2312Count);
        return 1;
    }

    int extras = 0;
    for (unsigned code = kFirstExtra; code <= 0xFEFE && extras < kExtraCount; ++code) {
        if (!IsGbkTrail(code & 0xFF) || IsGb2312Position(code))
            continue;
        auto ch = FromGbk(cd, code);
        if (!ch || u_getIntPropertyValue(*ch, UCHAR_SCRIPT) != USCRIPT_HAN)
            continue;
        icu::UnicodeString simplified(static_cast<UChar32>(*ch));
        toSimplified->transliterate(simplified);
        if (simplified.countChar32() != 1)
            continue;
        const char32_t s = static_cast<char32_t>(simplified.char32At(0));
        if (s == *ch || gb2312.count(s) == 0)
            continue;
        icu::UnicodeString latin(static_cast<UChar32>(*ch));
        toLatin->transliterate(latin);
        if (latin.length() == 0 || u_getIntPropertyValue(latin.char32At(0), UCHAR_SCRIPT) == USCRIPT_HAN)
            continue;
        entries.push_back({static_cast<std::uint16_t>(code), *ch});
        ++extras;
    }
    iconv_close(cd);
    if (extras != kExtraCount) {
        std::fprintf(stderr, "pinyin_table_gen: only %d traditional forms found\n", extras);
        return 1;
    }

    // Pinyin order, ties in code order.
    std::vector<Entry> order = entries;
    std::sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) { return a.code < b.code; });
    std::stable_sort(order.begin(), order.end(), [&](const Entry& a, const Entry& b) {
        UErrorCode e = U_ZERO_ERROR;
        return collator->compare(icu::UnicodeString(static_cast<UChar32>(a.ch)),
                                 icu::UnicodeString(static_cast<UChar32>(b.ch)), e) == UCOL_LESS;
    });
    std::vector<std::pair<std::uint16_t, int>> table;  // (code, rank)
    for (std::size_t rank = 0; rank < order.size(); ++rank)
        table.emplace_back(order[rank].code, static_cast<int>(rank));
    std::sort(table.begin(), table.end());

    std::FILE* f = std::fopen(argv[1], "w");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(f,
                 "// Generated by gen/pinyin_table_gen.cpp with ICU %s; do not edit.\n"
                 "// Regenerate with the target regenerate_pinyin_table.\n"
                 "#include \"quorlink/codecs/pinyin_table.h\"\n\n"
                 "namespace quorlink::codecs {\n\n"
                 "const std::uint16_t kPinyinCodes[kPinyinEntries] = {",
                 U_ICU_VERSION);
    for (std::size_t i = 0; i < table.size(); ++i)
        std::fprintf(f, "%s0x%04X,", i % 12 == 0 ? "\n    " : " ", table[i].first);
    std::fprintf(f, "\n};\n\nconst std::uint16_t kPinyinRanks[kPinyinEntries] = {");
    for (std::size_t i = 0; i < table.size(); ++i)
        std::fprintf(f, "%s%d,", i % 12 == 0 ? "\n    " : " ", table[i].second);
    std::fprintf(f, "\n};\n\n}  // namespace quorlink::codecs\n");
    if (std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}

// Build-time generator of the three GBK tables (code page 936).
//
// Usage: gbk_tables_gen OUTPUT.cpp
//
// Every double-byte position (lead 0x81..0xFE, trail 0x40..0x7E or
// 0x80..0xFE, 23940 positions) gets exactly one UCS2 value:
//
//  * the standard GBK characters come from glibc iconv "CP936" (21791
//    positions with glibc 2.36);
//  * every position CP936 leaves unmapped takes the Private Use Area value
//    that code page 936 assigns, which follows one fixed scheme:
//      - the user-defined areas AAA1..AFFE, F8A1..FEFE, A140..A7A0 (in that
//        order, each in code order) take U+E000..U+E765;
//      - the remaining unmapped positions, in code order (A2AB..A2B0, A2E3,
//        ..., D7FA..D7FE, FE50..FEA0), take U+E766..U+E864.
//
// The scheme is cross-checked against glibc iconv "GB18030" at every
// position: wherever GB18030 gives a Private Use Area value it must equal
// ours, or generation fails. GB18030 differs on purpose at 106 positions
// where later editions of that standard replaced the PUA value by a real
// character: A2E3 (U+20AC), A6D9..A6DF, A6EC, A6ED, A6F3 (U+FE10..U+FE19),
// A8BC (U+1E3F), A8BF (U+01F9), A989..A995 (U+303E, U+2FF0..U+2FFB) and
// FE50..FEA0 (radicals and CJK extension characters, some outside the BMP).
// Code page 936 keeps the PUA values there, and so do these tables (the
// euro sign of code page 936 is the single byte 0x80, not A2E3). The
// generator prints the number of such positions so a change of glibc shows.
//
// The tables also guarantee that every UCS2 key is unique; the generator
// fails otherwise.

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr int kPositions = 23940;

struct Converter {
    iconv_t cd;
    explicit Converter(const char* from) : cd(iconv_open("UCS-4LE", from)) { }
    ~Converter()
    {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }

    // The one code point the two bytes give, or nothing.
    std::optional<std::uint32_t> Convert(unsigned lead, unsigned trail)
    {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        char out[16];
        char* ip = in;
        char* op = out;
        std::size_t il = sizeof in;
        std::size_t ol = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0)
            return std::nullopt;
        if (sizeof out - ol != 4)
            return std::nullopt;
        std::uint32_t v;
        std::memcpy(&v, out, 4);
        return v;
    }
};

unsigned LeadOf(int pos)
{
    return 0x81 + pos / 190;
}
unsigned TrailOf(int pos)
{
    int col = pos % 190;
    return col < 0x3F ? 0x40 + col : 0x41 + col;
}

// The user-defined areas, in the order their PUA values are handed out.
int UserAreaRank(unsigned lead, unsigned trail)
{
    if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1)
        return 0;
    if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1)
        return 1;
    if (lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0)
        return 2;
    return -1;
}

bool IsPua(std::uint32_t v)
{
    return v >= 0xE000 && v <= 0xF8FF;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gbk_tables_gen OUTPUT.cpp\n");
        return 2;
    }
    Converter cp936("CP936");
    Converter gb18030("GB18030");
    if (!cp936.ok() || !gb18030.ok()) {
        std::fprintf(stderr, "gbk_tables_gen: iconv has no CP936 or GB18030 converter\n");
        return 1;
    }

    std::vector<std::uint16_t> table(kPositions, 0);
    std::vector<bool> mapped(kPositions, false);
    int standard = 0;
    for (int pos = 0; pos < kPositions; ++pos) {
        auto v = cp936.Convert(LeadOf(pos), TrailOf(pos));
        if (v && *v <= 0xFFFF && !IsPua(*v)) {
            table[pos] = static_cast<std::uint16_t>(*v);
            mapped[pos] = true;
            ++standard;
        }
    }

    // Private Use Area: user-defined areas first, then the other gaps.
    std::uint32_t next = 0xE000;
    for (int area = 0; area < 3; ++area) {
        for (int pos = 0; pos < kPositions; ++pos) {
            if (!mapped[pos] && UserAreaRank(LeadOf(pos), TrailOf(pos)) == area) {
                table[pos] = static_cast<std::uint16_t>(next++);
                mapped[pos] = true;
            }
        }
    }
    if (next != 0xE766) {
        std::fprintf(stderr, "gbk_tables_gen: user-defined areas end at U+%04X, expected U+E766\n", next);
        return 1;
    }
    for (int pos = 0; pos < kPositions; ++pos) {
        if (!mapped[pos]) {
            table[pos] = static_cast<std::uint16_t>(next++);
            mapped[pos] = true;
        }
    }
    if (next != 0xE865) {
        std::fprintf(stderr, "gbk_tables_gen: gaps end at U+%04X, expected U+E865\n", next);
        return 1;
    }

    int differ = 0;
    for (int pos = 0; pos < kPositions; ++pos) {
        auto g = gb18030.Convert(LeadOf(pos), TrailOf(pos));
        if (!g) {
            std::fprintf(stderr, "gbk_tables_gen: GB18030 has no value for %02X%02X\n", LeadOf(pos), TrailOf(pos));
            return 1;
        }
        if (*g == table[pos])
            continue;
        if (IsPua(*g) || IsPua(table[pos]) == false) {
            std::fprintf(stderr, "gbk_tables_gen: %02X%02X is U+%04X here but U+%04X in GB18030\n", LeadOf(pos),
                         TrailOf(pos), table[pos], *g);
            return 1;
        }
        ++differ;
    }

    std::vector<std::pair<std::uint16_t, std::uint16_t>> keys;  // (ucs2, gbk)
    keys.reserve(kPositions);
    for (int pos = 0; pos < kPositions; ++pos)
        keys.emplace_back(table[pos], static_cast<std::uint16_t>(LeadOf(pos) << 8 | TrailOf(pos)));
    std::sort(keys.begin(), keys.end());
    for (int i = 1; i < kPositions; ++i) {
        if (keys[i].first == keys[i - 1].first) {
            std::fprintf(stderr, "gbk_tables_gen: U+%04X appears twice\n", keys[i].first);
            return 1;
        }
    }

    std::FILE* f = std::fopen(argv[1], "w");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(f,
                 "// Generated by gbk_tables_gen from glibc iconv CP936 and the code page 936\n"
                 "// Private Use Area scheme; do not edit. %d standard positions, %d PUA\n"
                 "// positions, %d positions where GB18030 gives a non-PUA value instead.\n"
                 "#include \"quorlink/codecs/gbk_tables.h\"\n\n"
                 "namespace quorlink::codecs {\n",
                 standard, kPositions - standard, differ);
    auto emit = [f](const char* name, auto value) {
        std::fprintf(f, "\nconst std::uint16_t %s[kGbkPositions] = {", name);
        for (int i = 0; i < kPositions; ++i)
            std::fprintf(f, "%s0x%04X,", i % 12 == 0 ? "\n    " : " ", static_cast<unsigned>(value(i)));
        std::fprintf(f, "\n};\n");
    };
    emit("kGbkToUcs2", [&](int i) { return table[i]; });
    emit("kUcs2Keys", [&](int i) { return keys[i].first; });
    emit("kGbkCodes", [&](int i) { return keys[i].second; });
    std::fprintf(f, "\n}  // namespace quorlink::codecs\n");
    if (std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("gbk_tables_gen: %d standard, %d PUA, %d differ from GB18030\n", standard, kPositions - standard,
                differ);
    return 0;
}

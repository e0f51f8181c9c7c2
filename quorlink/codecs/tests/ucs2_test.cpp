#include "quorlink/codecs/ucs2.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/gbk_tables.h"

namespace qc = quorlink::codecs;

namespace {

std::vector<unsigned short> ToUcs2(const char* mixed)
{
    std::vector<unsigned short> out(std::strlen(mixed) + 1, 0xAAAA);
    CUcs2::GB2UcsString(reinterpret_cast<const unsigned char*>(mixed), out.data());
    std::vector<unsigned short> v;
    for (unsigned short c : out) {
        if (c == 0)
            break;
        v.push_back(c);
    }
    return v;
}

std::string ToMixed(std::vector<unsigned short> ucs2)
{
    ucs2.push_back(0);
    std::string out(2 * ucs2.size() + 1, '\x7F');
    CUcs2::Ucs2GBString(ucs2.data(), reinterpret_cast<unsigned char*>(out.data()));
    return out.c_str();
}

TEST(GsmAlphabet, CodesAndCharacters)
{
    struct Case {
        unsigned char gsm;
        unsigned short ucs2;
    } cases[] = {
        {0x00, 0x0000}, {0x01, 0x00A3}, {0x02, 0x0024}, {0x09, 0x00E7}, {0x10, 0x0394}, {0x11, 0x005F},
        {0x1B, 0x00A0}, {0x24, 0x00A4}, {0x40, 0x00A1}, {0x41, 'A'},    {0x5F, 0x00A7}, {0x60, 0x00BF},
        {0x7F, 0x00E0}, {0x80, 0x0040}, {0x81, 0xFFFF}, {0xFF, 0xFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CUcs2::Gsm0338ToUcs2(c.gsm), c.ucs2) << std::hex << int(c.gsm);
}

TEST(GsmAlphabet, Ucs2ToGsmAndMembership)
{
    struct Case {
        unsigned short ucs2;
        unsigned char gsm;
        unsigned char isGsm;
    } cases[] = {
        {'a', 'a', 1},     {'$', 0x02, 1},    {'@', 0x80, 1},    {0x00A1, 0x40, 1}, {0x00A4, 0x24, 1}, {'_', 0x11, 1},
        {0x0394, 0x10, 1}, {0x00E7, 0x09, 1}, {0x00C4, 0x5B, 1}, {0x00E0, 0x7F, 1}, {0x00A7, 0x5F, 1}, {'\n', '\n', 1},
        {'[', '?', 0},     {'\\', '?', 0},    {']', '?', 0},     {'^', '?', 0},     {'`', '?', 0},     {'{', '?', 0},
        {'|', '?', 0},     {'}', '?', 0},     {'~', '?', 0},     {0x4E2D, '?', 0},  {0x00E9, 0x05, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CUcs2::Ucs2ToGsm0338(c.ucs2), c.gsm) << std::hex << c.ucs2;
        EXPECT_EQ(CUcs2::IsGsm0338(c.ucs2), c.isGsm) << std::hex << c.ucs2;
    }
}

TEST(GbkTables, PublishedSamplesAndRanges)
{
    struct Case {
        unsigned short gbk, ucs2;
    } cases[] = {
        {0xA1A1, 0x3000}, {0x8140, 0x4E02}, {0xB0A1, 0x554A}, {0xD6D0, 0x4E2D}, {0xCEC4, 0x6587},
        {0xA3C1, 0xFF21}, {0xAAA1, 0xE000},  // first user-defined position
        {0xA140, 0xE4C6},  // third user-defined area
        {0xA2AB, 0xE766}, {0xFEA0, 0xE864},  // gaps after the user-defined areas
        {0xA2E3, 0xE76C},  // kept in the Private Use Area
        {0x8040, 0xFFFF}, {0xFF40, 0xFFFF}, {0x817F, 0xFFFF}, {0x81FF, 0xFFFF}, {0x813F, 0xFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CUcs2::Gb2Unicode(c.gbk), c.ucs2) << std::hex << c.gbk;
    EXPECT_EQ(CUcs2::Unicode2GB(0x4E2D), 0xD6D0);
    EXPECT_EQ(CUcs2::Unicode2GB(0x3000), 0xA1A1);
    EXPECT_EQ(CUcs2::Unicode2GB(0x0041), 0xFFFF);  // single-byte characters are not in the table
    EXPECT_EQ(CUcs2::Unicode2GB(0x0E01), 0xFFFF);  // Thai: not in GBK
}

TEST(GbkTables, EveryPositionRoundTripsAndKeysAreSortedAndUnique)
{
    int mismatches = 0;
    for (int pos = 0; pos < qc::kGbkPositions; ++pos) {
        const unsigned lead = 0x81 + pos / 190;
        const unsigned col = pos % 190;
        const unsigned trail = col < 0x3F ? 0x40 + col : 0x41 + col;
        const auto code = static_cast<unsigned short>(lead << 8 | trail);
        const unsigned short u = CUcs2::Gb2Unicode(code);
        if (u == 0xFFFF || CUcs2::Unicode2GB(u) != code)
            ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
    for (int i = 1; i < qc::kGbkPositions; ++i)
        ASSERT_LT(qc::kUcs2Keys[i - 1], qc::kUcs2Keys[i]) << i;
}

TEST(MixedText, ToUcs2)
{
    struct Case {
        const char* mixed;
        std::vector<unsigned short> ucs2;
    } cases[] = {
        {"", {}},
        {"\x80", {0x0040}},
        {"a\x02\x11", {'a', '$', '_'}},
        {"\xD6\xD0"
         "A",
         {0x4E2D, 'A'}},
        {"\xFF"
         "A",
         {'A'}},  // 0xFF is skipped
        {"\xD6 ", {' '}},  // a lead byte without a valid trail is skipped
        {"\xD6", {}},  // a lead byte at the end reads no further
        {"\x81\x7F", {0x00E0}},  // 0x7F is no trail: the lead goes, 0x7F is GSM a-grave
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToUcs2(c.mixed), c.ucs2) << c.mixed;
}

TEST(MixedText, FromUcs2)
{
    EXPECT_EQ(ToMixed({'a', '$', '@', '_'}), "a\x02\x80\x11");
    EXPECT_EQ(ToMixed({}), "");
    EXPECT_EQ(ToMixed({0x4E2D, 'A'}),
              "\xD6\xD0"
              "A");
    EXPECT_EQ(ToMixed({0x0E01}), "\xFF\xFF");  // absent from the table
    EXPECT_EQ(ToMixed({'['}), "?");
    EXPECT_EQ(ToMixed({0x0080}), "\x80");
}

TEST(MixedText, HexadecimalForms)
{
    char in[] = "\xD6\xD0"
                "A\x80";
    char out[64];
    CUcs2::AscGB2UcsString(in, out, 63);
    EXPECT_STREQ(out, "4e2d00410040");
    CUcs2::AscGB2UcsString(in, out, 11);  // only whole values that fit
    EXPECT_STREQ(out, "4e2d0041");

    struct Case {
        const char* hex;
        int limit;
        const char* mixed;
    } cases[] = {
        {"4E2D0041", 256,
         "\xD6\xD0"
         "A"},
        {"4e2d0041", 256,
         "\xD6\xD0"
         "A"},  // lower-case digits read as hexadecimal
        {"4E2D0041", 1, "\xD6\xD0"},
        {"4E2D004", 256, "\xD6\xD0"},  // an incomplete group is left out
        {"00410G42", 256, "A"},  // a group that is not hexadecimal ends the text
        {"", 256, ""},
        {"00410000004", 256, "A"},
    };
    for (const Case& c : cases) {
        std::string in2 = c.hex;
        std::vector<char> out2(2 * in2.size() + 1, '\x7F');
        CUcs2::AscUcs2GBString(in2.data(), out2.data(), c.limit);
        EXPECT_STREQ(out2.data(), c.mixed) << c.hex;
    }
}

TEST(MixedText, InPlaceGsmSubstitutions)
{
    char a[] = "a@b_c$";
    CUcs2::AscToGsm0338(a);
    EXPECT_STREQ(a,
                 "a\x80"
                 "b\x11"
                 "c\x02");
    CUcs2::Gsm0338ToAsc(a);
    EXPECT_STREQ(a, "a@b_c$");
}

TEST(Utf8, EncodesShortestForm)
{
    struct Case {
        unsigned short v;
        std::string utf8;
    } cases[] = {
        {0x0041, "A"},
        {0x00E9, "\xC3\xA9"},
        {0x07FF, "\xDF\xBF"},
        {0x0800, "\xE0\xA0\x80"},
        {0x4E2D, "\xE4\xB8\xAD"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0xD800, "\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        char out[3];
        const int n = CChineseCodeLib::UnicodeToUTF_8(out, &c.v);
        EXPECT_EQ(std::string(out, n), c.utf8) << std::hex << c.v;
        unsigned short back = 0;
        EXPECT_EQ(CChineseCodeLib::UTF_8ToUnicode(&back, c.utf8.c_str()), n);
        EXPECT_EQ(back, c.v == 0xD800 ? 0xFFFD : c.v);
    }
}

TEST(Utf8, RejectsMalformedInputOneByteAtATime)
{
    struct Case {
        const char* in;
        int taken;
    } cases[] = {
        {"\xE4\xB8", 1},  // truncated at the NUL
        {"\xC0\x81", 1},  // overlong
        {"\xE0\x81\x81", 1},  // overlong three-byte form
        {"\xED\xA0\x80", 1},  // surrogate
        {"\x80", 1},  // stray continuation
        {"\xF0\x9F\x98\x80", 4},
    };
    for (const Case& c : cases) {
        unsigned short v = 0;
        EXPECT_EQ(CChineseCodeLib::UTF_8ToUnicode(&v, c.in), c.taken) << c.in;
        EXPECT_EQ(v, 0xFFFD);
    }
}

TEST(Utf8, GbkConversionsBothWays)
{
    std::string out;
    const std::string gbk = "a\xD6\xD0\xCE\xC4"
                            "b\xA1\xA4";  // a, zhong, wen, b, middle dot
    CChineseCodeLib::GB2312ToUTF_8(out, gbk.data(), static_cast<int>(gbk.size()));
    EXPECT_EQ(out,
              "a\xE4\xB8\xAD\xE6\x96\x87"
              "b\xC2\xB7");
    std::string back;
    CChineseCodeLib::UTF_8ToGB2312(back, out.data(), static_cast<int>(out.size()));
    EXPECT_EQ(back, gbk);

    // A lead byte cut off by the length reads nothing beyond it.
    CChineseCodeLib::GB2312ToUTF_8(out, "a\xD6\xD0", 2);
    EXPECT_EQ(out, "a?");
    // A sequence cut off by the length likewise.
    CChineseCodeLib::UTF_8ToGB2312(back, "a\xE4\xB8\xAD", 3);
    EXPECT_EQ(back, "a??");
    // Characters outside GBK become "?".
    CChineseCodeLib::UTF_8ToGB2312(back, "\xE0\xB8\x81", 3);
    EXPECT_EQ(back, "?");

    char* ansi = CUcs2::Utf8ToAsc("x\xE4\xB8\xAD");
    ASSERT_NE(ansi, nullptr);
    EXPECT_STREQ(ansi, "x\xD6\xD0");
    std::free(ansi);
}

TEST(Utf8, SingleCharactersThroughTheCodePage)
{
    unsigned short u = 0;
    EXPECT_EQ(CChineseCodeLib::Gb2312ToUnicode(&u, "\xD6\xD0"), 2);
    EXPECT_EQ(u, 0x4E2D);
    EXPECT_EQ(CChineseCodeLib::Gb2312ToUnicode(&u, "\xD6\x20"), 1);
    EXPECT_EQ(u, '?');
    char out[2];
    EXPECT_EQ(CChineseCodeLib::UnicodeToGB2312(out, 0x6587), 2);
    EXPECT_EQ(std::string(out, 2), "\xCE\xC4");
    EXPECT_EQ(CChineseCodeLib::UnicodeToGB2312(out, 'z'), 1);
    EXPECT_EQ(out[0], 'z');
}

TEST(Helpers, FormUnicodeStringAndByteSwaps)
{
    char out[16];
    std::memset(out, 0x7F, sizeof out);
    EXPECT_EQ(FormUnicodeString("ab", out), 2);
    EXPECT_EQ(std::string(out, 6), std::string("a\0b\0\0\0", 6));
    EXPECT_EQ(ReverseShort(0x1234), 0x3412);
    EXPECT_EQ(ReverseLong(0x12345678u), 0x78563412u);
    EXPECT_EQ(ReverseLong(0xFF000001u), 0x010000FFu);
}

}  // namespace

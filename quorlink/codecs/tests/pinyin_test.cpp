#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/pinyin_table.h"

namespace qc = quorlink::codecs;

namespace {

// GBK bytes of a few characters.
const std::string kA = "\xB0\xA1";  // a (ah)
const std::string kAi = "\xB0\xAE";  // ai (love)
const std::string kAiTrad = "\x90\xDB";  // ai, traditional form
const std::string kDong = "\xB6\xAB";  // dong (east)
const std::string kDongTrad = "\x96\x7C";
const std::string kGuo = "\xB9\xFA";  // guo (country)
const std::string kWen = "\xCE\xC4";  // wen (writing)
const std::string kZhong = "\xD6\xD0";  // zhong (middle)
const std::string kZuo = "\xD7\xF6";  // zuo (do), the last reading

TEST(PinyinTable, ShapeAndContents)
{
    std::set<int> ranks;
    int gb2312 = 0;
    for (int i = 0; i < qc::kPinyinEntries; ++i) {
        if (i > 0) {
            ASSERT_LT(qc::kPinyinCodes[i - 1], qc::kPinyinCodes[i]);
        }
        ranks.insert(qc::kPinyinRanks[i]);
        const unsigned lead = qc::kPinyinCodes[i] >> 8, trail = qc::kPinyinCodes[i] & 0xFF;
        if (lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1)
            ++gb2312;
        else
            EXPECT_GE(qc::kPinyinCodes[i], 0x8147);
    }
    EXPECT_EQ(gb2312, 6763);
    EXPECT_EQ(ranks.size(), 8837u);
    EXPECT_EQ(*ranks.begin(), 0);
    EXPECT_EQ(*ranks.rbegin(), 8836);
}

TEST(PinyinCompare, Rules)
{
    struct Case {
        const char* name;
        std::string a, b;
        int expected;
    } cases[] = {
        {"identical", "abc" + kZhong, "abc" + kZhong, 0},
        {"text before its extension", "abc", "abcd", -1},
        {"extension after its text", kZhong + kWen, kZhong, 1},
        {"Chinese before Latin at the start", kZhong, "a", -1},
        {"Latin after Chinese at the start", "zz", kA, 1},
        {"digits are Latin too at the start", "1", kZuo, 1},
        {"Latin before Chinese after a common start", "ab", "a" + kA, -1},
        {"Chinese after Latin after a common start", kZhong + kWen, kZhong + "x", 1},
        {"readings in pinyin order", kA, kAi, -1},
        {"dong before zhong", kDong, kZhong, -1},
        {"guo before wen", kGuo, kWen, -1},
        {"traditional form interleaved", kAiTrad, kDong, -1},
        {"traditional form near its simplified one", kA, kAiTrad, -1},
        {"traditional and simplified forms differ", kDong, kDongTrad, -1},
        {"upper case before lower case", "A", "a", -1},
        {"lower case before the next letter", "a", "B", -1},
        {"digits before letters", "9", "A", -1},
        {"accented letter after its base letters", "a", "\x7B", -1},  // GSM a-umlaut
        {"letters before the at sign", "z", "\x80", -1},
        {"at sign before space", "\x80", " ", -1},
        {"underscore last", "?", "\x11", -1},
        {"unranked bytes rank like 0", "\n", "0", 0},
        {"empty", "", "", 0},
        {"empty before text", "", "a", -1},
        {"text after empty", "a", "", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PINYINCodeStrcmp(c.a.c_str(), c.b.c_str()), c.expected) << c.name;
        EXPECT_EQ(PINYINCodeStrcmp(c.b.c_str(), c.a.c_str()), -c.expected) << c.name << " (reversed)";
    }
    EXPECT_EQ(PINYINCodeStrcmp(nullptr, "a"), -1);
    EXPECT_EQ(PINYINCodeStrcmp("a", nullptr), 1);
    EXPECT_EQ(PINYINCodeStrcmp(nullptr, nullptr), 0);
}

TEST(PinyinCompare, Limits)
{
    struct Case {
        std::string a, b;
        int n, expected;
    } cases[] = {
        {"abc", "abd", 2, 0},
        {"abc", "abd", 3, -1},
        {"abc", "abd", 0, 0},
        {kZhong + "a", kZhong + "b", 2, 0},  // a GBK character counts 2
        {kZhong + "a", kZhong + "b", 3, -1},
        {kZhong + kWen, kZhong + kGuo, 3, 1},  // a limit inside a character takes it whole
        {kZhong + kWen, kZhong + kGuo, 1, 0},
        {"ab", "abc", 2, 0},  // the end only counts within the limit
        {"ab", "abc", 3, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PINYINCodeStrncmp(c.a.c_str(), c.b.c_str(), c.n), c.expected) << c.n;
}

TEST(PinyinCompare, SortsAContactList)
{
    std::vector<std::string> names = {"bob",
                                      "\xD5\xC5\xC8\xFD",  // zhang san
                                      "Bob",
                                      "\xC0\xEE\xCB\xC4",  // li si
                                      "123",
                                      "\xB0\xA2\xC3\xF7",  // a ming
                                      "\xCD\xF5\xCE\xE5",  // wang wu
                                      "Bo"};
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return PINYINCodeStrcmp(a.c_str(), b.c_str()) < 0;
    });
    const std::vector<std::string> expected = {
        "\xB0\xA2\xC3\xF7", "\xC0\xEE\xCB\xC4", "\xCD\xF5\xCE\xE5", "\xD5\xC5\xC8\xFD", "123", "Bo", "Bob", "bob"};
    EXPECT_EQ(names, expected);
}

}  // namespace

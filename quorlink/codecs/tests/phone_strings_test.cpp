#include "quorlink/codecs/phone_strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quorlink/codecs/ucs2.h"

namespace {

std::string Encode(const std::string& s)
{
    std::vector<char> buf(s.size() * 8 / 3 + 4, '\0');
    std::memcpy(buf.data(), s.c_str(), s.size() + 1);
    StringToPosix(buf.data());
    return buf.data();
}

std::string EncodeUcs2(const std::vector<unsigned short>& v)
{
    char* out = nullptr;
    EXPECT_TRUE(strCF_CnvUcs2ToPosix(v.data(), static_cast<unsigned char>(v.size()), &out));
    std::string s = out;
    std::free(out);
    return s;
}

TEST(PosixNames, LengthsAndKnownEncodings)
{
    struct Case {
        const char* name;
        const char* encoded;
    } cases[] = {
        {"", ""},
        {"a", "-50"},  // 0x0061: 000000 000110 0001
        {"ab", "-53-N1"},  // 0x0061 0x0062
        {"abc", "-53-NV0Y"},  // 0x0061 0x0062 0x0063
        {"abcd", "-53-NV0Y-53"},
    };
    for (const Case& c : cases) {
        const std::string e = Encode(c.name);
        EXPECT_EQ(e, c.encoded) << c.name;
    }
    EXPECT_EQ(Encode("a").size(), 3u);
    EXPECT_EQ(Encode("ab").size(), 6u);
    EXPECT_EQ(Encode("abc").size(), 8u);
    // At most 49 bytes are encoded.
    EXPECT_EQ(Encode(std::string(60, 'x')).size(), 16u * 8 + 3);
}

TEST(PosixNames, RoundTrips)
{
    for (const char* name : {"a", "ab", "abc", "smstab", "user001.amr", "Photo 12.jpg", "~!#$%&()"}) {
        std::string e = Encode(name);
        std::vector<char> buf(e.begin(), e.end());
        buf.push_back(0);
        EXPECT_EQ(PosixToString(buf.data()), static_cast<int>(std::strlen(name))) << name;
        EXPECT_STREQ(buf.data(), name);
    }
    // Chinese names from UCS2 come back whole in GBK.
    std::string e = EncodeUcs2({0x4E2D, 0x6587, 0x0041});
    std::vector<char> buf(e.begin(), e.end());
    buf.push_back(0);
    EXPECT_EQ(PosixToString(buf.data()), 5);
    EXPECT_STREQ(buf.data(),
                 "\xD6\xD0\xCE\xC4"
                 "A");
}

TEST(PosixNames, InvalidNamesStayUnchanged)
{
    for (const char* bad : {"abcde", "a", "abcdefg", "-5.", "-53-NV0+"}) {
        char buf[16];
        std::strcpy(buf, bad);
        EXPECT_EQ(PosixToString(buf), 0) << bad;
        EXPECT_STREQ(buf, bad);
    }
}

TEST(PosixNames, EncodedNamesSortLikeTheirValues)
{
    std::mt19937 rng(7);
    std::vector<std::vector<unsigned short>> names;
    for (int i = 0; i < 200; ++i) {
        std::vector<unsigned short> v(1 + rng() % 6);
        for (auto& c : v)
            c = static_cast<unsigned short>(rng() % 3 == 0 ? rng() % 0x10000 : 0x4E00 + rng() % 64);
        names.push_back(v);
    }
    for (std::size_t i = 1; i < names.size(); ++i) {
        const auto& a = names[i - 1];
        const auto& b = names[i];
        if (a.size() != b.size())
            continue;  // same value count: same length, byte order is value order
        EXPECT_EQ(a < b, EncodeUcs2(a) < EncodeUcs2(b));
    }
}

TEST(PosixNames, UnicodeNameOfAPhoneFile)
{
    char wide[64];
    const int n = FormUnicodeString("smstab", wide);
    std::vector<unsigned short> v(n);
    std::memcpy(v.data(), wide, 2 * n);
    const std::string e = EncodeUcs2(v);
    EXPECT_EQ(e.size(), 16u);
    EXPECT_EQ(e, Encode("smstab"));
}

TEST(DialStrings, PackAndUnpack)
{
    struct Case {
        const char* dial;
        std::vector<unsigned char> packed;
        const char* replaced;
    } cases[] = {
        {"12#", {3, 0x12, 0x3E, 0}, "12>"},
        {"1234", {4, 0x12, 0x34, 0}, "1234"},
        {"+8613", {5, 0xC8, 0x61, 0x33, 0}, "<8613"},
        {"*31#p5w", {7, 0xD3, 0x1E, 0xA5, 0x3B, 0}, "=31>:5;"},
        {"", {0, 0}, ""},
    };
    for (const Case& c : cases) {
        char s[32];
        std::strcpy(s, c.dial);
        unsigned char out[32];
        std::memset(out, 0xEE, sizeof out);
        dir6_1ascii2bcd(s, out);
        EXPECT_EQ(std::vector<unsigned char>(out, out + c.packed.size()), c.packed) << c.dial;
        EXPECT_STREQ(s, c.replaced);
        char back[32];
        std::memset(back, 0x7F, sizeof back);
        EXPECT_EQ(dir6_2bcd2ascii(out, back), 0);
        EXPECT_STREQ(back, c.dial);
    }
}

TEST(ModulePath, IsTheProgramDirectory)
{
    const char* old = std::getenv("TELVANE_HOME");
    const std::string saved = old ? old : "";
    const std::string dir = ::testing::TempDir() + "telvane-home-test";
    setenv("TELVANE_HOME", dir.c_str(), 1);
    std::string path;
    GetModulePath(path);
    EXPECT_EQ(path, dir + "/");
    if (old)
        setenv("TELVANE_HOME", saved.c_str(), 1);
    else
        unsetenv("TELVANE_HOME");
}

}  // namespace

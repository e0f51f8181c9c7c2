#include "quorlink/codecs/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qc = quorlink::codecs;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

TEST(Base64, Rfc4648Vectors)
{
    struct Case {
        const char* plain;
        const char* encoded;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qc::Base64Encode(Bytes(c.plain)), c.encoded);
        EXPECT_EQ(qc::Base64Decode(c.encoded), Bytes(c.plain)) << c.encoded;
    }
}

TEST(Base64, AllByteValuesRoundTrip)
{
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(255 - i);
    for (std::size_t n : {0u, 1u, 2u, 3u, 107u, 108u, 109u, 256u}) {
        std::vector<std::uint8_t> part(all.begin(), all.begin() + n);
        const std::string text = qc::Base64Encode(part);
        EXPECT_EQ(text.size(), qc::Base64EncodedLength(n));
        EXPECT_EQ(qc::Base64Decode(text), part) << n;
    }
    // A full transfer block of 108 bytes is 144 characters.
    EXPECT_EQ(qc::Base64EncodedLength(108), 144u);
}

TEST(Base64, DecodingRules)
{
    struct Case {
        const char* text;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"Zm9v", Bytes("foo")},
        {"Zm=9v", Bytes("foo")},  // "=" is skipped wherever it stands
        {"Zg", Bytes("f")},  // padding is optional
        {"Zh", Bytes("f")},  // leftover bits are dropped
        {"Z", {}},  // six bits make no byte
        {"Zm9v!", {}},  // one character outside the alphabet voids it all
        {"Zm 9v", {}},
        {"Zm9v\r", {}},
        {"////", {0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qc::Base64Decode(c.text), c.bytes) << c.text;
}

TEST(Base64, CallerBuffersStayBounded)
{
    std::uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(qc::Base64Decode("Zm9vYmFy", std::span<std::uint8_t>(out, 2)), 2u);
    EXPECT_EQ(out[0], 'f');
    EXPECT_EQ(out[2], 0xEE);
    EXPECT_EQ(qc::Base64Decode("Zm9v*", std::span<std::uint8_t>(out)), 0u);

    char text[5];
    const auto foo = Bytes("foo");
    EXPECT_EQ(qc::Base64Encode(foo, std::span<char>(text, 4)), 0u);  // no room for the NUL
    EXPECT_EQ(qc::Base64Encode(foo, std::span<char>(text, 5)), 4u);
    EXPECT_STREQ(text, "Zm9v");
}

TEST(BlockCheck, ExclusiveOrOfTheBlock)
{
    EXPECT_EQ(qc::BlockCheck({}), 0);
    EXPECT_EQ(qc::BlockCheck(Bytes("\x01\x02\x04")), 0x07);
    EXPECT_EQ(qc::BlockCheck(Bytes("\x5A\x5A")), 0x00);  // bytes that cancel out
    EXPECT_EQ(qc::BlockCheck(Bytes("\xFF\x0F")), 0xF0);
    EXPECT_EQ(qc::BlockCheckBase64(Bytes("\x5A\x5A")), "AA==");
    EXPECT_EQ(qc::BlockCheckBase64(Bytes("\xFF")), "/w==");
    EXPECT_EQ(qc::BlockCheckBase64(Bytes("abc")), "YA==");  // 0x61 ^ 0x62 ^ 0x63 = 0x60
}

}  // namespace

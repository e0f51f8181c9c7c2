// The handset's own text, Base64 and PDU code, checked against known values
// and against the client's codecs where both exist.
#include <cstring>

#include <gtest/gtest.h>

#include "base64.h"
#include "pdu.h"
#include "quorlink/codecs/pdu.h"
#include "text.h"

namespace simphone {
namespace {

TEST(TextTest, MixedTextRoundTrips)
{
    struct Case {
        std::u16string text;
        std::string mixed;
    } cases[] = {
        {u"abc", "abc"}, {u"a$@_", "a\x02\x80\x11"}, {u"中", "\xD6\xD0"}, {u"Hi 你好", "Hi \xC4\xE3\xBA\xC3"},
        {u"~", "?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ucs2ToMixed(c.text), c.mixed);
        if (c.mixed != "?") {
            EXPECT_EQ(MixedToUcs2(c.mixed), c.text);
        }
    }
}

// The septets of a PDU: code 0 is "@", the escape 0x1B and characters outside
// the default alphabet have no code (such text goes out as UCS2).
TEST(TextTest, GsmSeptetsBothWays)
{
    struct Case {
        char16_t unicode;
        std::optional<uint8_t> code;
    } cases[] = {
        {u'@', 0x00},           {u'$', 0x02},           {u'_', 0x11},          {u'ç', 0x09},
        {u'Ç', 0x09},           {u'A', 0x41},           {u'¡', 0x40},          {u'§', 0x5F},
        {u'à', 0x7F},           {u'Ω', 0x15},           {u'\n', 0x0A},         {u'€', std::nullopt},
        {0x00A0, std::nullopt}, {0x0000, std::nullopt}, {u'中', std::nullopt}, {u'~', std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.unicode));
        EXPECT_EQ(UnicodeToGsm(c.unicode), c.code);
        if (c.code && c.unicode != u'Ç') {
            EXPECT_EQ(GsmToUnicode(*c.code), c.unicode);
        }
    }
    EXPECT_EQ(GsmToUnicode(0x1B), char16_t{0xFFFF});
    EXPECT_EQ(GsmToUnicode(0x80), char16_t{0xFFFF});
    EXPECT_TRUE(FitsGsm7(u"price 5€ [x]"));  // the extension table's characters
    EXPECT_FALSE(FitsGsm7(u"a`b"));
    EXPECT_TRUE(FitsGsm7(u"a@b$c_ç"));
}

TEST(TextTest, Utf8AndHex)
{
    EXPECT_EQ(Utf8ToUcs2("a\xC3\xA9\xE4\xB8\xAD"), u"aé中");
    EXPECT_EQ(Ucs2ToUtf8(u"aé中"), "a\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(Utf8ToUcs2("\xF0\x9F\x98\x80"), u"\uFFFD");
    EXPECT_EQ(Ucs2ToHex(u"中A"), "4E2D0041");
    EXPECT_EQ(HexToUcs2("4e2d0041"), u"中A");
    EXPECT_FALSE(HexToUcs2("4E2"));
    EXPECT_FALSE(HexToUcs2("4E2G"));
}

TEST(TextTest, FileNamesAndDialStrings)
{
    EXPECT_EQ(EncodeFileName("a").size(), 3u);
    EXPECT_EQ(EncodeFileName("ab").size(), 6u);
    EXPECT_EQ(EncodeFileName("abc").size(), 8u);
    EXPECT_NE(EncodeFileName("user000.jpg"), EncodeFileName("user001.jpg"));
    EXPECT_EQ(PackDialString("12#"), (std::vector<uint8_t>{3, 0x12, 0x3E, 0}));
    EXPECT_EQ(PackDialString("+8613"), (std::vector<uint8_t>{5, 0xC8, 0x61, 0x33, 0}));
    EXPECT_FALSE(PackDialString("12a"));
    EXPECT_FALSE(PackDialString(std::string(21, '1')));
    for (std::string n : {"12#", "+8613912345678", "10086", "*21#p1w2"}) {
        auto packed = *PackDialString(n);
        packed.resize(22, 0);
        EXPECT_EQ(UnpackDialString(packed), n);
    }
    // A count larger than the field reads only the field.
    struct Short {
        std::vector<uint8_t> field;
        std::string expected;
    } shorts[] = {
        {{}, ""},
        {{9}, ""},  // a count and no digits
        {{20, 0x12}, "12"},  // the one byte holds two digits
        {{4, 0x12, 0x34}, "1234"},  // an even count filling the field exactly
    };
    for (const auto& c : shorts)
        EXPECT_EQ(UnpackDialString(c.field), c.expected);
}

TEST(Base64Test, StrictDecodeAndBlockCheck)
{
    const std::vector<uint8_t> abc = {'a', 'b', 'c'};
    EXPECT_EQ(Base64Encode(abc), "YWJj");
    EXPECT_EQ(Base64Decode("YWJj"), abc);
    EXPECT_EQ(Base64Decode("YQ=="), (std::vector<uint8_t>{'a'}));
    EXPECT_EQ(Base64Decode(""), std::vector<uint8_t>{});
    for (const char* bad : {"YWJ", "YW!j", "Y===", "YQ=a", "=YWJ", "YW=j", "Y\xC3==", "AAAA-AAA"})
        EXPECT_FALSE(Base64Decode(bad)) << bad;
    EXPECT_EQ(BlockCheck(abc), 'a' ^ 'b' ^ 'c');
    const std::vector<uint8_t> cancel = {0x5A, 0x5A};
    EXPECT_EQ(BlockCheck(cancel), 0);
}

TEST(PduTest, SevenBitPackingOfHello)
{
    SmsMessage m;
    m.submit = true;
    m.address = "+8613912345678";
    m.text = u"hello";
    size_t tpdu = 0;
    auto pdu = EncodePdu(m, &tpdu);
    ASSERT_TRUE(pdu);
    const std::string hex = BytesToHex(*pdu);
    EXPECT_EQ(hex.substr(hex.size() - 12), "05E8329BFD06");  // length 5, then the packed septets
    EXPECT_EQ(tpdu, pdu->size() - 1);  // no service centre: one length octet
}

TEST(PduTest, DeliverPartsDecodeWithTheClientCodec)
{
    struct Case {
        std::u16string text;
        size_t parts;
        unsigned dcs;
    } cases[] = {
        {u"Short text", 1, 0}, {std::u16string(160, u'a'), 1, 0}, {std::u16string(161, u'b'), 2, 0},
        {u"中文短信", 1, 8},   {std::u16string(71, u'中'), 2, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parts);
        SmsMessage whole;
        whole.smsc = "+8613800100500";
        whole.address = "+8613711112222";
        whole.time = {4, 10, 11, 9, 15, 30, 32};
        whole.text = c.text;
        const auto parts = SplitForDelivery(whole, 7);
        ASSERT_EQ(parts.size(), c.parts);
        std::u16string joined;
        for (size_t i = 0; i < parts.size(); ++i) {
            auto pdu = EncodePdu(parts[i], nullptr);
            ASSERT_TRUE(pdu);
            SM_PARAM sm{};
            ASSERT_GT(CPDU::gsmDecodePdu(BytesToHex(*pdu).c_str(), &sm), 0);
            EXPECT_EQ(sm.dataCoding, c.dcs);
            EXPECT_STREQ(sm.serviceCentre, "+8613800100500");
            EXPECT_STREQ(sm.timeStamp, "04101109153032");  // zone +32 quarters
            if (c.parts > 1) {
                EXPECT_EQ(sm.concatReference, 7);
                EXPECT_EQ(sm.concatTotal, c.parts);
                EXPECT_EQ(sm.concatSequence, i + 1);
            }
            joined += MixedToUcs2(sm.userData);
            auto back = DecodePdu(*pdu);  // and with the handset's own decoder
            ASSERT_TRUE(back);
            EXPECT_EQ(back->text, parts[i].text);
            EXPECT_EQ(back->concat.sequence, parts[i].concat.sequence);
        }
        EXPECT_EQ(joined, c.text);
    }
}

TEST(PduTest, SubmitFromTheClientCodecDecodes)
{
    struct Case {
        const char* text;
        unsigned char dcs;
        std::u16string expected;
    } cases[] = {{"Hello", 0, u"Hello"}, {"\xC4\xE3\xBA\xC3", 8, u"你好"}};
    for (const auto& c : cases) {
        SM_PARAM p{};
        std::strcpy(p.serviceCentre, "8613800100500");
        std::strcpy(p.address, "8613912345678");
        std::strcpy(p.userData, c.text);
        p.dataCoding = c.dcs;
        char hex[CPDU::kMaxPduText] = {};
        CPDU::gsmEncodePdu(&p, hex);
        auto bytes = HexToBytes(hex);
        ASSERT_TRUE(bytes);
        auto m = DecodePdu(*bytes);
        ASSERT_TRUE(m);
        EXPECT_TRUE(m->submit);
        EXPECT_EQ(m->address, "+8613912345678");
        EXPECT_EQ(m->smsc, "+8613800100500");
        EXPECT_EQ(m->text, c.expected);
    }
}

TEST(PduTest, MalformedPdusAreRejected)
{
    const char* const bad[] = {
        "",  // nothing
        "07",  // service centre cut short
        "0002",  // status report type
        "0011000B916831",  // address cut short
        "0011000B916831214365F70000AA",  // no user-data length
        "0011000B916831214365F70000AA05E832",  // user data cut short
        "0051000B916831214365F70000AA020509",  // header longer than the data
        "0011000B916831214365F70008AA03000102",  // odd UCS2 length
    };
    for (const char* h : bad) {
        auto bytes = HexToBytes(h);
        ASSERT_TRUE(bytes) << h;
        EXPECT_FALSE(DecodePdu(*bytes)) << h;
    }
}

}  // namespace
}  // namespace simphone

#include "quorlink/codecs/pdu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

SM_PARAM Decode(const std::string& pdu, unsigned char status, int* length = nullptr)
{
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    p.status = status;
    const int n = CPDU::gsmDecodePdu(pdu.c_str(), &p);
    if (length)
        *length = n;
    return p;
}

std::string Hex(const std::vector<unsigned char>& bytes)
{
    std::string s(2 * bytes.size() + 1, '\0');
    CPDU::gsmBytes2String(bytes.data(), s.data(), static_cast<int>(bytes.size()));
    s.resize(2 * bytes.size());
    return s;
}

// A reference model of GSM 7-bit user data: the header octets followed by
// the septets, as one little-endian bit stream with the septets starting at
// the next septet boundary.
std::vector<unsigned char> PackUserData(const std::vector<unsigned char>& header, const std::string& text)
{
    std::vector<bool> bits;
    for (unsigned char b : header)
        for (int i = 0; i < 8; ++i)
            bits.push_back((b >> i) & 1);
    while (bits.size() % 7 != 0)
        bits.push_back(false);
    for (char c : text)
        for (int i = 0; i < 7; ++i)
            bits.push_back((c >> i) & 1);
    std::vector<unsigned char> out((bits.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            out[i / 8] |= static_cast<unsigned char>(1 << (i % 8));
    return out;
}

TEST(PduDecode, PublishedReceivedMessage)
{
    // A received SMS-DELIVER as commonly published with GSM 03.40 tutorials.
    const std::string pdu = "07"
                            "91"
                            "1326040000F0"  // service centre +31624000000
                            "04"  // first octet: SMS-DELIVER, no more messages waiting
                            "0B"
                            "91"
                            "1346610089F6"  // originator +31641600986
                            "00"  // protocol identifier
                            "00"  // data coding: GSM 7-bit
                            "20806291731408"  // time stamp 02-08-26 19:37:41, zone +2 hours
                            "0C"  // 12 septets
                            "C8F71D14969741F977FD07";  // "How are you?"
    int length = 0;
    const SM_PARAM p = Decode(pdu, 1, &length);
    EXPECT_STREQ(p.serviceCentre, "+31624000000");
    EXPECT_EQ(p.firstOctet, 0x04);
    EXPECT_STREQ(p.address, "+31641600986");
    EXPECT_EQ(p.protocolId, 0x00);
    EXPECT_EQ(p.dataCoding, 0x00);
    EXPECT_STREQ(p.timeStamp, "02082619374180");
    EXPECT_STREQ(p.userData, "How are you?");
    EXPECT_EQ(length, 12);
    EXPECT_EQ(p.concatReference, 0);
    EXPECT_EQ(p.concatTotal, 0);
}

TEST(PduDecode, ReceivedVariants)
{
    struct Case {
        const char* name;
        std::string pdu;
        const char* serviceCentre;
        const char* address;
        const char* text;
        int length;
    } cases[] = {
        {"national originator, no plus",
         "07917283010010F5"
         "04"
         "0BC87238880900F1"
         "00"
         "00"
         "99309251619580"
         "0A"
         "E8329BFD4697D9EC37",
         "+27381000015", "27838890001", "hellohello", 10},
        {"no service centre",
         "00"
         "04"
         "0B911346610089F6"
         "00"
         "00"
         "20806291731408"
         "05"
         "E8329BFD06",
         "", "+31641600986", "hello", 5},
        {"lower-case hexadecimal reads the same",
         "07911326040000f0"
         "04"
         "0b911346610089f6"
         "00"
         "00"
         "20806291731408"
         "05"
         "e8329bfd06",
         "+31624000000", "+31641600986", "hello", 5},
        {"alphanumeric originator",
         "00"
         "04"
         "0DD0D432DB1E769701"
         "00"
         "00"
         "20806291731408"
         "05"
         "E8329BFD06",
         "", "Telvane", "hello", 5},
        {"an at sign does not end the text",
         "00"
         "04"
         "0B911346610089F6"
         "00"
         "00"
         "20806291731408"
         "03"
         "614018",
         "", "+31641600986",
         "a\x80"
         "a",
         3},
    };
    for (const Case& c : cases) {
        int length = 0;
        const SM_PARAM p = Decode(c.pdu, 0, &length);
        EXPECT_STREQ(p.serviceCentre, c.serviceCentre) << c.name;
        EXPECT_STREQ(p.address, c.address) << c.name;
        EXPECT_STREQ(p.userData, c.text) << c.name;
        EXPECT_EQ(length, c.length) << c.name;
    }
}

TEST(PduDecode, StoredSentLayout)
{
    const std::string pdu = "07911326040000F0"  // service centre
                            "11"  // first octet: SMS-SUBMIT, relative validity period
                            "2A"  // message reference
                            "0B911346610089F6"  // destination +31641600986
                            "00"
                            "00"  // protocol identifier, data coding
                            "AA"  // validity period (relative): no time stamp here
                            "05"
                            "E8329BFD06";  // "hello"
    for (unsigned char status : {2, 3}) {
        int length = 0;
        const SM_PARAM p = Decode(pdu, status, &length);
        EXPECT_EQ(p.firstOctet, 0x11) << int(status);
        EXPECT_STREQ(p.address, "+31641600986");
        EXPECT_STREQ(p.timeStamp, "");
        EXPECT_STREQ(p.userData, "hello");
        EXPECT_EQ(length, 5);
    }
    // Without a validity period (first octet 0x01) nothing is skipped.
    const SM_PARAM q = Decode("00"
                              "01"
                              "00"
                              "0B911346610089F6"
                              "00"
                              "00"
                              "05"
                              "E8329BFD06",
                              2);
    EXPECT_STREQ(q.userData, "hello");
    // An empty destination has a type octet and no digits.
    const SM_PARAM r = Decode("00"
                              "11"
                              "00"
                              "00"
                              "81"
                              "00"
                              "00"
                              "AA"
                              "05"
                              "E8329BFD06",
                              2);
    EXPECT_STREQ(r.address, "");
    EXPECT_STREQ(r.userData, "hello");
}

TEST(PduDecode, ConcatenationHeaders)
{
    struct Case {
        const char* name;
        std::vector<unsigned char> header;  // length octet first
        unsigned short reference;
        unsigned char total, sequence;
    } cases[] = {
        {"8-bit reference", {0x05, 0x00, 0x03, 0xA7, 0x03, 0x02}, 0xA7, 3, 2},
        {"16-bit reference", {0x06, 0x08, 0x04, 0x12, 0x34, 0x02, 0x01}, 0x1234, 2, 1},
        {"port element first", {0x0B, 0x05, 0x04, 0x0B, 0x84, 0x23, 0xF0, 0x00, 0x03, 0x11, 0x02, 0x02}, 0x11, 2, 2},
        {"no concatenation element", {0x04, 0x05, 0x02, 0x0B, 0x84}, 0, 0, 0},
    };
    const std::string text = "Concatenated part!";
    for (const Case& c : cases) {
        const auto ud = PackUserData(c.header, text);
        const std::size_t headerSeptets = (c.header.size() * 8 + 6) / 7;
        const std::string pdu = "00"
                                "44"
                                "0B911346610089F6"
                                "00"
                                "00"
                                "20806291731408" +
            Hex({static_cast<unsigned char>(headerSeptets + text.size())}) + Hex(ud);
        int length = 0;
        const SM_PARAM p = Decode(pdu, 0, &length);
        EXPECT_STREQ(p.userData, text.c_str()) << c.name;
        EXPECT_EQ(length, static_cast<int>(text.size())) << c.name;
        EXPECT_EQ(p.concatReference, c.reference) << c.name;
        EXPECT_EQ(p.concatTotal, c.total) << c.name;
        EXPECT_EQ(p.concatSequence, c.sequence) << c.name;

        // The same header before UCS2 text.
        std::vector<unsigned char> ucs2 = c.header;
        for (unsigned char ch : {0x4E, 0x2D, 0x00, 0x41})
            ucs2.push_back(ch);
        const std::string pdu2 = "00"
                                 "44"
                                 "0B911346610089F6"
                                 "00"
                                 "08"
                                 "20806291731408" +
            Hex({static_cast<unsigned char>(ucs2.size())}) + Hex(ucs2);
        const SM_PARAM q = Decode(pdu2, 0, &length);
        EXPECT_STREQ(q.userData,
                     "\xD6\xD0"
                     "A")
            << c.name;
        EXPECT_EQ(length, 3);
        EXPECT_EQ(q.concatReference, c.reference) << c.name;
        EXPECT_EQ(q.concatSequence, c.sequence) << c.name;
    }
}

TEST(PduDecode, SevenBitTextAfterTheHeaderHasUdlMinusSevenCharacters)
{
    // Header length 5 (identifier 0): six octets, seven septets with the fill bit.
    const std::string text = "0123456789";
    const auto ud = PackUserData({0x05, 0x00, 0x03, 0x01, 0x02, 0x01}, text);
    const std::string pdu = "00"
                            "40"
                            "0B911346610089F6"
                            "00"
                            "00"
                            "20806291731408" +
        Hex({static_cast<unsigned char>(7 + text.size())}) + Hex(ud);
    int length = 0;
    const SM_PARAM p = Decode(pdu, 0, &length);
    EXPECT_EQ(length, static_cast<int>(7 + text.size()) - 7);
    EXPECT_STREQ(p.userData, text.c_str());
}

struct Guarded {
    SM_PARAM p;
    unsigned char guard[64];
};

TEST(PduDecode, HostilePdusStayWithinTheRecord)
{
    const std::string longDigits(300, '1');
    const std::string ffs(600, 'F');
    const std::vector<std::string> pdus = {
        "",
        "0",
        "FF" + ffs,  // every length at its maximum
        "FF91" + longDigits,  // service centre longer than its field
        "00"
        "04"
        "FF91" +
            longDigits,  // address longer than its field
        "00"
        "04"
        "0B911346610089F6"
        "00"
        "00"
        "2080629173140",  // truncated time stamp
        "00"
        "04"
        "0B911346610089F6"
        "00"
        "00"
        "20806291731408"
        "FF"
        "E832",  // UDL larger than the data
        "00"
        "04"
        "0B911346610089F6"
        "00"
        "04"
        "20806291731408"
        "FF" +
            ffs,  // 8-bit, 255 octets
        "00"
        "04"
        "0B911346610089F6"
        "00"
        "08"
        "20806291731408"
        "FF" +
            ffs,  // UCS2, 255 octets
        "00"
        "04"
        "0B911346610089F6"
        "00"
        "08"
        "20806291731408"
        "03"
        "4E2D00",  // odd UCS2 length
        "00"
        "44"
        "0B911346610089F6"
        "00"
        "00"
        "20806291731408"
        "FF"
        "FF00",  // header longer than data
        "00"
        "44"
        "0B911346610089F6"
        "00"
        "00"
        "20806291731408"
        "0A"
        "0900FF",  // element longer than header
        "00"
        "44"
        "0B911346610089F6"
        "00"
        "04"
        "20806291731408"
        "00",  // header flag, no data
        "00"
        "04"
        "0B911346610089F6"
        "00"
        "00"
        "20806291731408"
        "05"
        "E8329BFD0",  // odd text length
        "zz"
        "04"
        "0B91134661008",
    };
    for (unsigned char status : {0, 1, 2, 3, 4}) {
        for (const std::string& pdu : pdus) {
            Guarded g;
            std::memset(&g, 0, sizeof g.p);
            std::memset(g.guard, 0xA5, sizeof g.guard);
            g.p.status = status;
            const int n = CPDU::gsmDecodePdu(pdu.c_str(), &g.p);
            EXPECT_GE(n, 0) << pdu;
            EXPECT_LE(n, 160) << pdu;
            EXPECT_LT(strnlen(g.p.serviceCentre, 16), 16u) << pdu;
            EXPECT_LT(strnlen(g.p.address, 16), 16u) << pdu;
            EXPECT_LT(strnlen(g.p.timeStamp, 16), 16u) << pdu;
            EXPECT_EQ(g.p.userData[n < 160 ? n : 160], 0) << pdu;
            EXPECT_EQ(g.p.status, status) << pdu;
            for (unsigned char b : g.guard)
                ASSERT_EQ(b, 0xA5) << pdu;
        }
    }
}

TEST(PduEncode, HelloAndThirteenDigitServiceCentre)
{
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strcpy(p.serviceCentre, "8613800100500");  // 13 digits
    std::strcpy(p.address, "8613912345678");
    std::strcpy(p.userData, "hello");
    char out[CPDU::kMaxPduText];
    const int n = CPDU::gsmEncodePdu(&p, out);
    const std::string expected = "08"
                                 "91"
                                 "683108100005F0"  // 13 digits: 7 octets plus the type
                                 "11"
                                 "00"  // SMS-SUBMIT, message reference
                                 "0D"
                                 "91"
                                 "683119325476F8"  // destination
                                 "00"
                                 "00"
                                 "00"  // protocol identifier, data coding, validity period
                                 "05"
                                 "E8329BFD06";  // "hello"
    EXPECT_EQ(std::string(out), expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()));
}

TEST(PduEncode, PlusSignsAndEmptyServiceCentre)
{
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strcpy(p.address, "+4917");
    std::strcpy(p.userData, "A");
    char out[CPDU::kMaxPduText];
    CPDU::gsmEncodePdu(&p, out);
    EXPECT_STREQ(out,
                 "00"
                 "1100"
                 "04"
                 "91"
                 "9471"
                 "000000"
                 "01"
                 "41");
}

TEST(PduRoundTrip, SevenEightBitAndUcs2)
{
    struct Case {
        const char* name;
        unsigned char dcs;
        std::string text;
        int length;
    } cases[] = {
        {"7-bit", 0x00, "Hello, world: 7 bit text", 24},
        {"7-bit with at sign", 0x00,
         "a\x80"
         "b",
         3},
        {"7-bit, 8 characters", 0x00, "12345678", 8},
        {"7-bit, 160 characters", 0x00, std::string(160, 'x'), 160},
        {"8-bit", 0x04, "\x01\x02\xFE binary", 10},
        {"UCS2 Chinese", 0x08, "\xD6\xD0\xCE\xC4\xB6\xCC\xD0\xC5 ok", 11},  // zhong wen duan xin
    };
    for (const Case& c : cases) {
        SM_PARAM in;
        std::memset(&in, 0, sizeof in);
        std::strcpy(in.serviceCentre, "8613800100500");
        std::strcpy(in.address, "8613912345678");
        in.dataCoding = c.dcs;
        std::memcpy(in.userData, c.text.data(), c.text.size());
        char pdu[CPDU::kMaxPduText];
        CPDU::gsmEncodePdu(&in, pdu);
        int length = 0;
        const SM_PARAM out = Decode(pdu, 2, &length);
        EXPECT_STREQ(out.serviceCentre, "+8613800100500") << c.name;
        EXPECT_STREQ(out.address, "+8613912345678") << c.name;
        EXPECT_EQ(out.dataCoding, c.dcs) << c.name;
        EXPECT_EQ(std::string(out.userData, length), c.text) << c.name;
        EXPECT_EQ(length, c.length) << c.name;
    }
}

TEST(PduEncode, UserDataNeverExceedsOneMessage)
{
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strcpy(p.address, "1");
    std::memset(p.userData, 'a', 160);
    char out[CPDU::kMaxPduText];
    p.dataCoding = 0x08;  // 160 characters of UCS2 would need 320 octets
    int n = CPDU::gsmEncodePdu(&p, out);
    EXPECT_EQ(std::string(out + 18, 2), "8C");  // 140 octets
    EXPECT_EQ(n, 20 + 280);
    p.dataCoding = 0x04;
    n = CPDU::gsmEncodePdu(&p, out);
    EXPECT_EQ(std::string(out + 18, 2), "8C");
    EXPECT_EQ(n, 20 + 280);
}

TEST(PduPrimitives, NumbersAndHex)
{
    char out[32];
    EXPECT_EQ(CPDU::gsmInvertNumbers("8613", out, 4), 4);
    EXPECT_STREQ(out, "6831");
    EXPECT_EQ(CPDU::gsmInvertNumbers("123", out, 3), 4);
    EXPECT_STREQ(out, "21F3");
    EXPECT_EQ(CPDU::gsmSerializeNumbers("21F3", out, 4), 3);
    EXPECT_STREQ(out, "123");
    EXPECT_EQ(CPDU::gsmSerializeNumbers("6831", out, 4), 4);
    EXPECT_STREQ(out, "8613");

    unsigned char bytes[4];
    EXPECT_EQ(CPDU::gsmString2Bytes("0aFf7B", bytes, 6), 3);
    EXPECT_EQ(bytes[0], 0x0A);  // a lower-case digit is ten, not 42
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0x7B);
    EXPECT_EQ(CPDU::gsmBytes2String(bytes, out, 3), 6);
    EXPECT_STREQ(out, "0AFF7B");
}

TEST(PduPrimitives, SevenBitPacking)
{
    unsigned char octets[16];
    EXPECT_EQ(CPDU::gsmEncode7bit("hello", octets, 6), 5);
    EXPECT_EQ(std::vector<unsigned char>(octets, octets + 5),
              (std::vector<unsigned char>{0xE8, 0x32, 0x9B, 0xFD, 0x06}));
    char text[32];
    EXPECT_EQ(CPDU::gsmDecode7bit(octets, text, 5), 5);
    EXPECT_STREQ(text, "hello");
    // Eight characters fill seven octets exactly; the eighth comes from the leftover bits.
    EXPECT_EQ(CPDU::gsmEncode7bit("abcdefgh", octets, 9), 7);
    EXPECT_EQ(CPDU::gsmDecode7bit(octets, text, 7), 8);
    EXPECT_STREQ(text, "abcdefgh");
    // Seven characters in seven octets: the zero fill is no character.
    EXPECT_EQ(CPDU::gsmEncode7bit("abcdefg", octets, 8), 7);
    EXPECT_EQ(CPDU::gsmDecode7bit(octets, text, 7), 7);
    EXPECT_STREQ(text, "abcdefg");
}

TEST(PduPrimitives, Ucs2TextStaysWithin160Bytes)
{
    std::vector<unsigned char> octets;
    for (int i = 0; i < 81; ++i) {  // 81 Chinese characters: 162 bytes of GBK
        octets.push_back(0x4E);
        octets.push_back(0x2D);
    }
    char text[161];
    EXPECT_EQ(CPDU::gsmDecodeUcs2(octets.data(), text, static_cast<int>(octets.size())), 160);
    EXPECT_EQ(text[160], 0);
    octets[0] = 0x00;  // an 'A' first: 1 + 79 * 2 = 159 bytes, the 80th character would not fit whole
    octets[1] = 0x41;
    EXPECT_EQ(CPDU::gsmDecodeUcs2(octets.data(), text, static_cast<int>(octets.size())), 159);
    unsigned char out[256];
    EXPECT_EQ(CPDU::gsmEncodeUcs2("\xD6\xD0"
                                  "A",
                                  out, 3),
              4);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 4), (std::vector<unsigned char>{0x4E, 0x2D, 0x00, 0x41}));
}

}  // namespace

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/pdu_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qc = quorlink::codecs;

namespace {

std::string Utf8(std::u16string_view s)
{
    return qc::Ucs2ToUtf8(s);
}

// SMS-SUBMIT PDUs (service centre 8613800100500, destination 8613912345678)
// built by a packer written separately from the GSM tables and decoded back
// to these texts by an independent PDU library. The encoder must produce
// them byte for byte, and the decoder must read their texts back.
struct Golden {
    const char* name;
    const char* utf8;
    unsigned short reference;  // concatenation: 0 with total 0 for a single message
    unsigned char total, sequence;
    const char* pdu;
};
const Golden kGolden[] = {
    {"printable ASCII but the backtick",
     " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_abcdefghijklmnopqrstuvwxyz{|}~", 0, 0, 0,
     "0891683108100005F011000D91683119325476F800000066A090682428994EA8946AC56AB95EB0986C46ABD96EB89C6EC7EBF97E80A070"
     "482C1A8FC8A472C96C3A9FD0A8744AAD5AAFD8AC76C3DBBC36BE0D2512168FC965F3199D56AFD96DF71B1E97CFE975FB1D9FD76F501BE0"
     "26B5E901"},
    {"at, dollar, low line, brackets", "mail a@b.cn, pay $5_x [ok]", 0, 0, 0,
     "0891683108100005F011000D91683119325476F80000001CED709A0D0A03C4AEB19B058287F320412D82076D78EFF5C607"},
    {"extension table and euro", "[]{}~^\\|\xE2\x82\xAC", 0, 0, 0,
     "0891683108100005F011000D91683119325476F8000000121BDEC6B7416D529BDE86B2796D809B32"},
    {"Chinese in UCS2", "\xE4\xB8\xAD\xE6\x96\x87\xE7\x9F\xAD\xE4\xBF\xA1 ok", 0, 0, 0,
     "0891683108100005F011000D91683119325476F80008000E4E2D658777ED4FE10020006F006B"},
    {"a backtick has no GSM form", "a`b", 0, 0, 0, "0891683108100005F011000D91683119325476F800080006006100600062"},
    {"7-bit part, 8-bit reference", "part one [x]", 42, 2, 1,
     "0891683108100005F051000D91683119325476F8000000150500032A0201E061391DF47697411B1E7EE303"},
    {"UCS2 part, 16-bit reference", "\xE7\xAC\xAC\xE4\xBA\x8C\xE9\x83\xA8\xE5\x88\x86", 0x1234, 2, 2,
     "0891683108100005F051000D91683119325476F80008000F060804123402027B2C4E8C90E85206"},
};

TEST(PduText, GoldenPdusEncodeAndDecodeExactly)
{
    for (const Golden& g : kGolden) {
        const std::u16string wide = qc::Utf8ToUcs2(g.utf8);
        SM_PARAM in{};
        std::strcpy(in.serviceCentre, "8613800100500");
        std::strcpy(in.address, "8613912345678");
        in.concatReference = g.reference;
        in.concatTotal = g.total;
        in.concatSequence = g.sequence;
        if (const auto gsm = qc::Ucs2ToGsmText(wide)) {
            std::memcpy(in.userData, gsm->data(), gsm->size());
        } else {
            in.dataCoding = 8;
            const std::string gbk = qc::Ucs2ToAnsi(wide);
            std::memcpy(in.userData, gbk.data(), gbk.size());
        }
        char pdu[CPDU::kMaxPduText];
        CPDU::gsmEncodePdu(&in, pdu);
        EXPECT_STREQ(pdu, g.pdu) << g.name;

        SM_PARAM out{};
        const qc::PduDecode d = qc::DecodePdu(g.pdu, out);
        EXPECT_TRUE(d.complete) << g.name;
        EXPECT_EQ(Utf8(qc::AnsiToUcs2(qc::DecodedText(out, d.length))), g.utf8) << g.name;
        EXPECT_EQ(out.concatReference, g.reference) << g.name;
        EXPECT_EQ(out.concatTotal, g.total) << g.name;
        EXPECT_EQ(out.concatSequence, g.sequence) << g.name;
    }
}

TEST(PduText, PhoneTextConversions)
{
    // GSM codes with '@' as 0x80, an escape to the extension table, an
    // escape to nothing (its code reads as itself), and a GBK pair.
    const std::string phone = std::string("\x80\x01\x02\x11") + "\x1B\x3C" + "\x1B" + "A" + "\xD6\xD0" + "\x1B";
    EXPECT_EQ(Utf8(qc::PhoneTextToUcs2(phone)), "@\xC2\xA3$_[A\xE4\xB8\xAD");
    EXPECT_EQ(qc::PhoneTextToAnsi("\x1B\x65"), "\x80");  // the euro sign, code page 936's 0x80

    EXPECT_EQ(qc::Ucs2ToGsmText(u"@$_\u00C7\u00E7\u0394"), std::string("\x80\x02\x11\x09\x09\x10"));
    EXPECT_FALSE(qc::Ucs2ToGsmText(u"a\u00A0b"));  // shown for the escape, but not a character of its own
    EXPECT_FALSE(qc::Ucs2ToGsmText(u"\u4E2D"));
}

TEST(PduText, AlphabetByCodingGroup)
{
    struct Case {
        unsigned char dcs;
        qc::SmsAlphabet alphabet;
    } cases[] = {
        {0x00, qc::SmsAlphabet::Gsm7},     {0x08, qc::SmsAlphabet::Ucs2}, {0x04, qc::SmsAlphabet::EightBit},
        {0x24, qc::SmsAlphabet::EightBit},  // compressed
        {0x48, qc::SmsAlphabet::Ucs2},  // automatic deletion
        {0xC8, qc::SmsAlphabet::Gsm7},  // message waiting: bits 2-3 are the indication, not the alphabet
        {0xE8, qc::SmsAlphabet::Ucs2},     {0xF1, qc::SmsAlphabet::Gsm7}, {0xF5, qc::SmsAlphabet::EightBit},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qc::AlphabetOf(c.dcs), c.alphabet) << int(c.dcs);
}

// A SIM that has been in other phones can file a message under a status
// its PDU contradicts; the first octet's message type decides the layout.
TEST(PduText, LayoutComesFromTheMessageTypeNotTheStoredStatus)
{
    const std::string deliver = std::string("00") + "04" + "0B91" + "3176983210F5" + "0000" + "62211141255400" +
        "05E8329BFD06";  // "hello" from +13678923015
    const std::string submit =
        std::string("00") + "11" + "00" + "0B91" + "3176983210F5" + "0000" + "AA" + "05E8329BFD06";
    for (unsigned char status : {0, 1, 2, 3, 4}) {
        for (const std::string& pdu : {deliver, submit}) {
            SM_PARAM p{};
            p.status = status;
            const int n = CPDU::gsmDecodePdu(pdu.c_str(), &p);
            EXPECT_EQ(std::string(p.userData, n), "hello") << pdu << " status " << int(status);
            EXPECT_STREQ(p.address, "+13678923015");
            EXPECT_EQ(p.status, status);  // the box stays the stored one
            EXPECT_STREQ(p.timeStamp, pdu == deliver ? "26121114524500" : "");
        }
    }
}

TEST(PduText, CutOffPdusAreReportedIncomplete)
{
    const std::string whole = kGolden[1].pdu;
    struct Case {
        std::string pdu;
        bool complete;
    } cases[] = {
        {whole, true},
        {"0891", false},  // the service centre's number missing
        {whole.substr(0, 30), false},  // the destination cut
        {whole.substr(0, whole.size() - 2), false},  // the last user-data octet missing
        {"00", false},
    };
    for (const Case& c : cases) {
        SM_PARAM p{};
        EXPECT_EQ(qc::DecodePdu(c.pdu.c_str(), p).complete, c.complete) << c.pdu;
    }
}

TEST(PduText, EightBitDataShowsAsHexNeverAsText)
{
    // A WAP push: 8-bit data with a port header, zero octets in the content.
    const std::string pdu = std::string("00") + "44" + "0B91" + "3176983210F5" + "00" + "F5" + "62211141255400" + "0D" +
        "0605040B8423F0" + "0006002E0000";
    SM_PARAM p{};
    const int n = CPDU::gsmDecodePdu(pdu.c_str(), &p);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(qc::DecodedText(p, n), "0006002E0000");
}

TEST(PduText, LongTextsSplitIntoParts)
{
    const std::u16string chinese(71, u'\u4E2D');
    struct Case {
        const char* name;
        std::u16string text;
        qc::MessageSize size;
        std::vector<std::size_t> partLengths;
    } cases[] = {
        {"empty", u"", {true, 0, 0, 0}, {}},
        {"one full message", std::u16string(160, u'a'), {true, 160, 1, 0}, {160}},
        {"one septet more", std::u16string(161, u'a'), {true, 161, 2, 145}, {153, 8}},
        {"extension characters count twice", std::u16string(80, u'['), {true, 160, 1, 0}, {80}},
        // 152 septets, then an escape pair that would straddle the cut.
        {"an escape stays with its code",
         std::u16string(152, u'a') + u"[" + std::u16string(10, u'a'),
         {true, 164, 2, 141},
         {152, 11}},
        {"UCS2 message", std::u16string(70, u'\u4E2D'), {false, 70, 1, 0}, {70}},
        {"UCS2 parts", chinese, {false, 71, 2, 63}, {67, 4}},
        {"ten parts", std::u16string(1530, u'a'), {true, 1530, 10, 0}, std::vector<std::size_t>(10, 153)},
        {"eleven parts are refused", std::u16string(1531, u'a'), {true, 1531, 11, 152}, {}},
    };
    for (const Case& c : cases) {
        const qc::MessageSize s = qc::MeasureMessage(c.text);
        EXPECT_EQ(s.gsm, c.size.gsm) << c.name;
        EXPECT_EQ(s.units, c.size.units) << c.name;
        EXPECT_EQ(s.parts, c.size.parts) << c.name;
        EXPECT_EQ(s.left, c.size.left) << c.name;
        std::vector<std::size_t> lengths;
        std::u16string joined;
        for (const auto& part : qc::SplitMessage(c.text)) {
            lengths.push_back(part.size());
            joined += part;
        }
        EXPECT_EQ(lengths, c.partLengths) << c.name;
        if (!lengths.empty()) {
            EXPECT_EQ(joined, c.text) << c.name;
        }
    }
}

}  // namespace

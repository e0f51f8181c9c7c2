// Phone services over the line: identification, the SIM phonebook in both
// character sets, SIM messages in PDU and text mode, sending, incoming
// messages, and the handset's AT*SYPH and AT*SYFILE file updates.
#include <cstring>
#include <map>
#include <set>

#include "base64.h"
#include "pdu.h"
#include "phone_fixture.h"
#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/ucs2.h"
#include "records.h"
#include "text.h"

namespace simphone::testing {
namespace {

class ServicesTest : public PhoneFixture {
protected:
    std::string upload(const std::string& phone, std::span<const uint8_t> data)
    {
        if (last("AT*STARTDL=" + phone + "," + std::to_string(data.size())) != "OK")
            return "start";
        for (size_t off = 0, i = 0; off < data.size(); off += 108, ++i) {
            const auto block = data.subspan(off, std::min<size_t>(108, data.size() - off));
            const uint8_t check = BlockCheck(block);
            const auto r = last("AT*PUT=" + std::to_string(i) + "," + std::to_string(block.size()) + "," +
                                Base64Encode(block) + "," + Base64Encode(std::span(&check, 1)));
            if (r != "OK")
                return r;
        }
        return last("AT*END");
    }
    std::vector<uint8_t> file(const std::string& phone)
    {
        return ReadFileBytes(phonePath(phone)).value_or(std::vector<uint8_t>{});
    }
};

TEST_F(ServicesTest, IdentityComesFromTheSettings)
{
    EXPECT_EQ(at("AT+CGMI"), (std::vector<std::string>{"Telvane", "OK"}));
    EXPECT_EQ(at("AT+CGMM"), (std::vector<std::string>{"V318", "OK"}));
    EXPECT_EQ(at("AT+CGSN").front(), "356938035643809");
    EXPECT_EQ(at("ATI"), (std::vector<std::string>{"Telvane", "V318", "Revision: V318_R2.31", "OK"}));
    PhoneConfig cfg = PhoneConfig::load(state_);
    cfg.revision = "V318_R9.99";
    cfg.safebox = "PIC,SMS";
    ASSERT_TRUE(cfg.save(state_));
    ASSERT_EQ(control("poweron"), "OK");  // a power cycle rereads the settings
    ASSERT_EQ(last("ATE0"), "OK");
    EXPECT_EQ(at("AT+CGMR").front(), "V318_R9.99");
    EXPECT_EQ(at("AT*GETVER").front(), "*GETVER: V318_R9.99");
    EXPECT_EQ(at("AT*SAFEBOXSTAT").front(), "*SAFEBOXSTAT: PIC,SMS");
}

TEST_F(ServicesTest, ClientInitialisationSequenceIsAccepted)
{
    for (const char* c : {"AT*CONNECT", "AT+CMGF=0", "AT+CSMP=,,,8", "AT+CSCS=\"GSM\"", "AT+CSDH=1", "AT+CNMI=2,2,0,0",
                          "AT*MASKCALL=1", "AT*MASKCALL=0", "AT+CPBS=\"SM\"", "AT+CPBW=?"})
        EXPECT_EQ(last(c), "OK") << c;
    EXPECT_EQ(at("AT+CNMI?").front(), "+CNMI: 2,2,0,0,0");
    EXPECT_EQ(at("AT+CSMP?").front(), "+CSMP: 17,167,0,8");
    EXPECT_EQ(last("AT+CSCS=\"KOI8\""), "+CME ERROR: 4");
    EXPECT_EQ(last("AT+CPBS=\"XX\""), "+CME ERROR: 4");
}

TEST_F(ServicesTest, ErrorReportingChainingAndStandardQueries)
{
    struct Case {
        const char* command;
        std::vector<std::string> expected;
    } cases[] = {
        {"AT+CPIN?", {"+CPIN: READY", "OK"}},
        {"AT+CSCA?", {"+CSCA: \"+8613800100500\",145", "OK"}},
        {"AT+CMEE=0", {"OK"}},
        {"AT+CPBR=999", {"ERROR"}},
        {"AT+CMEE=2", {"OK"}},
        {"AT+CPBR=999", {"+CME ERROR: invalid index"}},
        {"AT+CMEE=1", {"OK"}},
        {"AT+CMGF=1;+CSCS=\"UCS2\"", {"OK"}},
        {"AT+CMGF?;+CSCS?", {"+CMGF: 1", "+CSCS: \"UCS2\"", "OK"}},
        {"AT+CMGF=7;+CSCS=\"GSM\"", {"+CME ERROR: 50"}},  // the chain stops at the first failure
        {"AT+CSCS?", {"+CSCS: \"UCS2\"", "OK"}},
        {"ATZ", {"OK"}},
        {"AT+CSCS?", {"AT+CSCS?", "+CSCS: \"GSM\"", "OK"}},  // ATZ reset the set and turned echo on
    };
    for (const auto& c : cases)
        EXPECT_EQ(at(c.command), c.expected) << c.command;
}

TEST_F(ServicesTest, TextModeSendAndWrite)
{
    ASSERT_EQ(last("AT+CMGF=1"), "OK");
    EXPECT_EQ(at("AT+CMGW=\"+8613900000001\"").back(), "> ");
    client_->write("Note to self\x1a");
    const auto w = client_->answer();
    ASSERT_EQ(w.back(), "OK");
    ASSERT_EQ(w.front().rfind("+CMGW: ", 0), 0u);
    const int idx = std::stoi(w.front().substr(7));
    const auto r = at("AT+CMGR=" + std::to_string(idx));
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], "+CMGR: \"STO UNSENT\",\"+8613900000001\",");
    EXPECT_EQ(r[1], "Note to self");
    EXPECT_EQ(at("AT+CMGS=\"+8613900000002\"").back(), "> ");
    client_->write("Sent in text mode\x1a");
    EXPECT_EQ(client_->answer().back(), "OK");
    EXPECT_EQ(last("AT+CMGS=\"12ab\""), "+CMS ERROR: 304");
}

TEST_F(ServicesTest, SimPhonebookInBothCharacterSets)
{
    SimStore sim(state_);
    const auto& [index, contact] = *std::find_if(sim.contacts().begin(), sim.contacts().end(),
                                                 [](const auto& kv) { return !FitsGsm7(kv.second.name); });
    EXPECT_EQ(at("AT+CPBS?").front(), "+CPBS: \"SM\"," + std::to_string(sim.contacts().size()) + ",250");

    ASSERT_EQ(last("AT+CSCS=\"UCS2\""), "OK");
    const auto ucs2 = at("AT+CPBR=" + std::to_string(index));
    ASSERT_EQ(ucs2.size(), 2u);
    EXPECT_EQ(ucs2[0],
              "+CPBR: " + std::to_string(index) + ",\"" + contact.number + "\",129,\"" + Ucs2ToHex(contact.name) +
                  "\"");
    // The client's own conversion of that hex gives the GBK name.
    std::string hex = Ucs2ToHex(contact.name);
    char gbk[64] = {};
    CUcs2::AscUcs2GBString(hex.data(), gbk, 32);
    EXPECT_EQ(std::string(gbk), Ucs2ToMixed(contact.name));

    ASSERT_EQ(last("AT+CSCS=\"GSM\""), "OK");
    EXPECT_EQ(at("AT+CPBR=" + std::to_string(index))[0],
              "+CPBR: " + std::to_string(index) + ",\"" + contact.number + "\",129,\"" + Ucs2ToMixed(contact.name) +
                  "\"");

    const auto all = at("AT+CPBR=1,250");
    EXPECT_EQ(all.size(), sim.contacts().size() + 1);
    EXPECT_EQ(last("AT+CPBR=0"), "+CME ERROR: 21");
    EXPECT_EQ(last("AT+CPBR=251"), "+CME ERROR: 21");
    EXPECT_EQ(last("AT+CPBR=9,3"), "+CME ERROR: 21");
}

TEST_F(ServicesTest, SimPhonebookWritesChangeTheSim)
{
    ASSERT_EQ(last("AT+CSCS=\"UCS2\""), "OK");
    const std::u16string name = u"中文名";
    ASSERT_EQ(last("AT+CPBW=200,\"13900001111\",129,\"" + Ucs2ToHex(name) + "\""), "OK");
    EXPECT_EQ(SimStore(state_).contacts().at(200).name, name);
    EXPECT_EQ(at("AT+CPBR=200")[0], "+CPBR: 200,\"13900001111\",129,\"" + Ucs2ToHex(name) + "\"");
    EXPECT_EQ(last("AT+CPBW=201,\"139\",129,\"12G4\""), "+CME ERROR: 25");
    EXPECT_EQ(last("AT+CPBW=201,\"139\",129,\"" + Ucs2ToHex(u"一二三四五六七") + "\""), "+CME ERROR: 24");
    EXPECT_EQ(last("AT+CPBW=201,\"13x9\",129,\"0041\""), "+CME ERROR: 27");
    EXPECT_EQ(last("AT+CPBW=201,\"123456789012345678901\",129,\"0041\""), "+CME ERROR: 26");
    EXPECT_EQ(last("AT+CPBW=300,\"139\",129,\"0041\""), "+CME ERROR: 21");
    ASSERT_EQ(last("AT+CPBW=200"), "OK");
    EXPECT_EQ(SimStore(state_).contacts().count(200), 0u);
    EXPECT_EQ(at("AT+CPBR=200"), (std::vector<std::string>{"OK"}));
}

TEST_F(ServicesTest, SimMessagesListInPduAndTextMode)
{
    SimStore sim(state_);
    EXPECT_EQ(at("AT+CPMS?").front(), "+CPMS: \"SM\",7,50,\"SM\",7,50,\"SM\",7,50");
    const auto pdu = at("AT+CMGL=4");
    ASSERT_EQ(pdu.size(), 2 * sim.messages().size() + 1);
    size_t received = 0;
    for (size_t i = 0; i + 1 < pdu.size(); i += 2) {
        ASSERT_EQ(pdu[i].rfind("+CMGL: ", 0), 0u) << pdu[i];
        const int stat = std::stoi(pdu[i].substr(pdu[i].find(',') + 1));
        SM_PARAM p{};
        p.status = static_cast<unsigned char>(stat);
        ASSERT_GT(CPDU::gsmDecodePdu(pdu[i + 1].c_str(), &p), 0) << pdu[i + 1];
        if (stat <= 1)
            ++received;
        if (std::string(p.userData).find("parcel") != std::string::npos) {
            EXPECT_EQ(stat, 0);
        }
    }
    EXPECT_EQ(received, 5u);
    // Listing marked the unread message read.
    EXPECT_EQ(at("AT+CMGL=0"), (std::vector<std::string>{"OK"}));

    ASSERT_EQ(last("AT+CMGF=1"), "OK");
    const auto text = at("AT+CMGR=1");
    ASSERT_EQ(text.size(), 3u);
    EXPECT_EQ(text[0].rfind("+CMGR: \"REC READ\",\"+86", 0), 0u) << text[0];
    EXPECT_EQ(text[1], "Meeting moved to 3pm, room 402.");
    EXPECT_EQ(last("AT+CMGR=49"), "+CMS ERROR: 321");
    EXPECT_EQ(last("AT+CMGR=0"), "+CMS ERROR: 321");

    // The same messages in the UCS2 character set: texts as hex.
    ASSERT_EQ(last("AT+CSCS=\"UCS2\""), "OK");
    const auto chinese = at("AT+CMGR=3");
    ASSERT_EQ(chinese.size(), 3u);
    EXPECT_EQ(chinese[1], Ucs2ToHex(u"明天见！"));
    EXPECT_EQ(at("AT+CMGR=1")[1], Ucs2ToHex(u"Meeting moved to 3pm, room 402."));
    ASSERT_EQ(last("AT+CSCS=\"GSM\""), "OK");
    EXPECT_EQ(at("AT+CMGR=3")[1], Ucs2ToMixed(u"明天见！"));

    ASSERT_EQ(last("AT+CMGD=1"), "OK");
    EXPECT_EQ(at("AT+CPMS?").front(), "+CPMS: \"SM\",6,50,\"SM\",6,50,\"SM\",6,50");
    EXPECT_EQ(SimStore(state_).messages().count(1), 0u);
}

TEST_F(ServicesTest, SentMessageIsStoredAmongTheHandsetsSentMessages)
{
    // Encode as the PC does.
    SM_PARAM p{};
    std::strcpy(p.serviceCentre, "8613800100500");
    std::strcpy(p.address, "8613912345678");
    std::strcpy(p.userData, "Hello from the PC");
    char hex[CPDU::kMaxPduText] = {};
    const int len = CPDU::gsmEncodePdu(&p, hex);
    const int tpdu = len / 2 - (1 + std::stoi(std::string(hex, 2), nullptr, 16));
    EXPECT_EQ(at("AT+CMGS=" + std::to_string(tpdu)).back(), "> ");
    client_->write(std::string(hex) + "\x1a");
    const auto r = client_->answer();
    ASSERT_EQ(r.back(), "OK");
    EXPECT_EQ(r.front().rfind("+CMGS: ", 0), 0u);

    // The newest smstab entry is a sent message whose item holds number and text.
    auto tab = file("/app/sms/smstab0");
    ASSERT_EQ(tab.size(), 3600u);
    const SmsTabEntry* best = nullptr;
    for (size_t i = 0; i < 300; ++i) {
        const auto* e = reinterpret_cast<const SmsTabEntry*>(tab.data() + i * 12);
        if ((GetBe16(e->item) & 0x8000) && (!best || GetBe32(e->sequence) > GetBe32(best->sequence)))
            best = e;
    }
    ASSERT_NE(best, nullptr);
    EXPECT_EQ(best->status, 5);
    EXPECT_EQ(best->concatenated, 0);
    const unsigned item = GetBe16(best->item) & 0x7FFF;
    auto items = file("/app/sms/items" + std::to_string(item / 20));
    ASSERT_EQ(items.size(), 4640u);
    const auto rec = FromBytes<SmsItem>(std::span(items).subspan((item % 20) * sizeof(SmsItem)));
    EXPECT_EQ(GetText(rec.number), "+8613912345678");
    EXPECT_EQ(GetText(rec.text), "Hello from the PC");

    // A length that disagrees with the PDU, and a cancelled prompt.
    EXPECT_EQ(at("AT+CMGS=" + std::to_string(tpdu + 1)).back(), "> ");
    client_->write(std::string(hex) + "\x1a");
    EXPECT_EQ(client_->answer().back(), "+CMS ERROR: 304");
    EXPECT_EQ(at("AT+CMGS=5").back(), "> ");
    client_->write("00\x1b");
    EXPECT_EQ(client_->answer().back(), "OK");
}

// The parts of a long message the PC sends one by one are filed as one
// concatenated sent message once the last has gone; extension characters
// ("[", "~", the euro sign) are read from their escapes and kept as such.
TEST_F(ServicesTest, LongMessageSentInPartsIsFiledAsOneSentMessage)
{
    const std::vector<std::u16string> parts = {u"first [part] ~ \u20AC", u"second part"};
    for (uint8_t seq : {uint8_t{2}, uint8_t{1}}) {  // in any order
        SM_PARAM p{};
        std::strcpy(p.serviceCentre, "8613800100500");
        std::strcpy(p.address, "8613912345678");
        const std::string gsm = MessageTextToMixed(parts[seq - 1]);  // GSM codes and escapes, as the PC packs them
        std::memcpy(p.userData, gsm.data(), gsm.size());
        p.concatReference = 77;
        p.concatTotal = 2;
        p.concatSequence = seq;
        char hex[CPDU::kMaxPduText] = {};
        const int len = CPDU::gsmEncodePdu(&p, hex);
        const int tpdu = len / 2 - (1 + std::stoi(std::string(hex, 2), nullptr, 16));
        ASSERT_EQ(at("AT+CMGS=" + std::to_string(tpdu)).back(), "> ");
        client_->write(std::string(hex) + "\x1a");
        ASSERT_EQ(client_->answer().back(), "OK");
    }
    const auto concat = file("/app/sms/smsconcattab");
    const SmsConcatEntry* entry = nullptr;
    for (size_t i = 0; i < 30; ++i) {
        const auto* e = reinterpret_cast<const SmsConcatEntry*>(concat.data() + 4 + i * sizeof(SmsConcatEntry));
        if (e->used && e->parts == 2)
            entry = e;  // the sample phone's are three-part messages
    }
    ASSERT_NE(entry, nullptr);
    std::u16string joined;
    for (const auto& word : {entry->partItems[0], entry->partItems[1]}) {
        const unsigned item = GetBe16(word) & 0x7FFF;
        const auto items = file("/app/sms/items" + std::to_string(item / 20));
        const auto rec = FromBytes<SmsItem>(std::span(items).subspan((item % 20) * sizeof(SmsItem)));
        joined += MixedToUcs2(GetText(rec.text));
        if (joined.size() < parts[0].size()) {
            EXPECT_EQ(GetText(rec.text), "first \x1B<part\x1B> \x1B= \x1B\x65");
        }
    }
    EXPECT_EQ(joined.substr(parts[0].size()), parts[1]);
}

// Raw PDUs from the control socket reach the line in the order given.
TEST_F(ServicesTest, RawPdusAreDeliveredInTheOrderGiven)
{
    ASSERT_EQ(last("AT+CNMI=2,2,0,0"), "OK");
    // Two parts of one message, the second first.
    const std::string second = "0891683108100005F0440D91683117112122F20000626011016225000C0500034C0202E061395D06";
    const std::string first = "0891683108100005F0440D91683117112122F20000626011016225000C0500034C0201E061393D06";
    ASSERT_EQ(control("deliver-pdu " + second + " " + first), "OK");
    ASSERT_TRUE(client_->readUntil([&](const std::string& b) { return b.find(first + "\r\n") != std::string::npos; }));
    const std::string line = client_->take();
    EXPECT_LT(line.find("+CMT: ,31\r\n" + second), line.find("+CMT: ,31\r\n" + first)) << line;

    EXPECT_EQ(control("deliver-pdu"), "ERROR unknown command");
    EXPECT_EQ(control("deliver-pdu 0891"), "ERROR not a PDU: 0891");
    const std::string submit = "0891683108100005F011000D91683119325476F8000000"
                               "02E834";
    EXPECT_EQ(control("deliver-pdu " + submit), "ERROR not an SMS-DELIVER PDU: " + submit);
}

TEST_F(ServicesTest, IncomingMessageArrivesAsCmtWithItsPdu)
{
    ASSERT_EQ(last("AT+CNMI=2,2,0,0"), "OK");
    struct Case {
        std::string utf8;
        std::string expectedPcText;  // as the client's decoder gives it
        size_t parts;
    } cases[] = {
        {"Hello from simphone", "Hello from simphone", 1},
        {"你好，世界", Ucs2ToMixed(u"你好，世界"), 1},
        {std::string(200, 'x'), std::string(200, 'x'), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        ASSERT_EQ(control("sms +8613711112222 " + c.utf8), "OK");
        // Each part is a "+CMT: ,<length>" line and a PDU line.
        auto pairs = [](const std::string& b) {
            std::vector<std::pair<std::string, std::string>> out;
            for (size_t p = b.find("+CMT: "); p != std::string::npos; p = b.find("+CMT: ", p + 1)) {
                const auto e1 = b.find("\r\n", p);
                const auto e2 = e1 == std::string::npos ? e1 : b.find("\r\n", e1 + 2);
                if (e2 == std::string::npos)
                    break;
                out.emplace_back(b.substr(p, e1 - p), b.substr(e1 + 2, e2 - e1 - 2));
            }
            return out;
        };
        ASSERT_TRUE(client_->readUntil([&](const std::string& b) { return pairs(b).size() == c.parts; }));
        std::string joined;
        int seq = 0;
        for (const auto& [head, pdu] : pairs(client_->take())) {
            SM_PARAM sm{};
            ASSERT_GT(CPDU::gsmDecodePdu(pdu.c_str(), &sm), 0) << pdu;
            EXPECT_STREQ(sm.address, "+8613711112222");
            EXPECT_EQ(head, "+CMT: ," + std::to_string(pdu.size() / 2 - 1 - std::stoi(pdu.substr(0, 2), nullptr, 16)));
            if (c.parts > 1) {
                EXPECT_EQ(sm.concatTotal, c.parts);
                EXPECT_EQ(sm.concatSequence, ++seq);
            }
            joined += sm.userData;
        }
        EXPECT_EQ(joined, c.expectedPcText);
    }
    EXPECT_EQ(control("sms notanumber hi"), "ERROR bad number");
    EXPECT_EQ(control("sms +86137"), "ERROR usage: sms FROM TEXT");
}

TEST_F(ServicesTest, IncomingMessageIsStoredWhenNotRouted)
{
    ASSERT_EQ(last("AT+CNMI=2,1,0,0"), "OK");
    ASSERT_EQ(control("sms 10086 Your balance is low"), "OK");
    ASSERT_TRUE(client_->readUntil([](const std::string& b) {
        return b.find("+CMTI: \"SM\",") != std::string::npos && b.find("\r\n", b.find("+CMTI")) != std::string::npos;
    }));
    const std::string b = client_->take();
    const int idx = std::stoi(b.substr(b.find(',') + 1));
    EXPECT_EQ(at("AT+CPMS?").front(), "+CPMS: \"SM\",8,50,\"SM\",8,50,\"SM\",8,50");
    ASSERT_EQ(last("AT+CMGF=1"), "OK");
    const auto r = at("AT+CMGR=" + std::to_string(idx));
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].rfind("+CMGR: \"REC UNREAD\",\"10086\"", 0), 0u) << r[0];
    EXPECT_EQ(r[1], "Your balance is low");
}

PhonebookRecord MakeRecord(const std::string& name, const std::string& number)
{
    PhonebookRecord r{};
    PutText(r.name, name);
    auto packed = PackDialString(number);
    std::copy(packed->begin(), packed->end(), r.numbers[0].bcd);
    r.numbers[0].kind = 2;
    r.defaultField = 11;
    r.defaultNumber = 1;
    return r;
}

// Used slots of smpbtab with their list places; fails the test when entry i
// does not name slot i + 1 or the places are not 0..n-1.
std::map<int, int> TablePlaces(const std::vector<uint8_t>& tab)
{
    std::map<int, int> places;
    std::set<int> seen;
    for (size_t i = 0; i + 24 <= tab.size(); i += 24) {
        const int slot = GetBe16(&tab[i]);
        if (slot == 0xFFFF)
            continue;
        EXPECT_EQ(slot, static_cast<int>(i / 24 + 1));
        places[slot] = GetBe16(&tab[i + 2]);
        seen.insert(places[slot]);
    }
    EXPECT_EQ(seen.size(), places.size());
    if (!seen.empty()) {
        EXPECT_EQ(*seen.rbegin(), static_cast<int>(seen.size()) - 1);
    }
    return places;
}

TEST_F(ServicesTest, SyphAddModifyDeleteChangeTableAndRecords)
{
    auto places = TablePlaces(file("/app/dir/smpbtab"));
    ASSERT_EQ(places.size(), 60u);

    const auto rec = MakeRecord("Zoe New", "13712345678");
    ASSERT_EQ(upload("/app/dir/tmp.dat", AsBytes(rec)), "OK");
    ASSERT_EQ(last("AT*SYPH=0,1,61,2,"), "+CME ERROR: 50");  // five fields
    ASSERT_EQ(last("AT*SYPH=0,1,61,2"), "OK");
    places = TablePlaces(file("/app/dir/smpbtab"));
    ASSERT_EQ(places.size(), 61u);
    EXPECT_EQ(places[61], 2);
    EXPECT_EQ(places[3], 3);  // moved down by the insertion
    EXPECT_EQ(places[2], 1);
    auto smpb3 = file("/app/dir/smpb3");
    ASSERT_EQ(smpb3.size(), 7400u);
    EXPECT_EQ(0, std::memcmp(smpb3.data(), &rec, sizeof rec));
    EXPECT_FALSE(std::filesystem::exists(phonePath("/app/dir/tmp.dat")));  // consumed

    EXPECT_EQ(last("AT*SYPH=0,1,61,0"), "+CME ERROR: 3");  // slot taken
    const auto changed = MakeRecord("Zoe Changed", "13800000000");
    ASSERT_EQ(upload("/app/dir/tmp.dat", AsBytes(changed)), "OK");
    ASSERT_EQ(last("AT*SYPH=1,1,61,61"), "OK");  // 1-based: the last place
    places = TablePlaces(file("/app/dir/smpbtab"));
    EXPECT_EQ(places[61], 60);
    EXPECT_EQ(places[3], 2);
    EXPECT_EQ(0, std::memcmp(file("/app/dir/smpb3").data(), &changed, sizeof changed));

    ASSERT_EQ(last("AT*SYPH=2,1,5"), "OK");
    places = TablePlaces(file("/app/dir/smpbtab"));
    EXPECT_EQ(places.count(5), 0u);
    EXPECT_EQ(places.size(), 60u);
    const auto smpb0 = file("/app/dir/smpb0");
    EXPECT_TRUE(std::all_of(smpb0.begin() + 4 * 370, smpb0.begin() + 5 * 370, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(last("AT*SYPH=2,1,5"), "+CME ERROR: 22");
    EXPECT_EQ(last("AT*SYPH=1,1,5,1"), "+CME ERROR: 22");
    EXPECT_EQ(last("AT*SYPH=2,1,501"), "+CME ERROR: 21");
    EXPECT_EQ(last("AT*SYPH=3,1,5"), "+CME ERROR: 50");

    // A wrong-sized drop file is refused and changes nothing.
    ASSERT_EQ(upload("/app/dir/tmp.dat", std::vector<uint8_t>(100, 1)), "OK");
    EXPECT_EQ(last("AT*SYPH=0,1,5,0"), "+CME ERROR: 50");
    EXPECT_EQ(TablePlaces(file("/app/dir/smpbtab")).size(), 60u);

    // The freed slot is used again by the next add.
    ASSERT_EQ(upload("/app/dir/tmp.dat", AsBytes(rec)), "OK");
    ASSERT_EQ(last("AT*SYPH=0,1,5,0"), "OK");
    EXPECT_EQ(TablePlaces(file("/app/dir/smpbtab"))[5], 0);
}

TEST_F(ServicesTest, SyphRefusesWhatThePhoneCannotHold)
{
    // A slot whose record file does not exist yet needs room in the file
    // system; the SIM has 250 locations.
    PhoneConfig cfg = PhoneConfig::load(state_);
    cfg.volumeBytes = PhoneFs(state_).usedBytes() + 2000;
    ASSERT_TRUE(cfg.save(state_));
    ASSERT_EQ(control("poweron"), "OK");
    ASSERT_EQ(last("ATE0"), "OK");
    const auto rec = MakeRecord("Far Away", "1");
    ASSERT_EQ(upload("/app/dir/tmp.dat", AsBytes(rec)), "OK");
    EXPECT_EQ(last("AT*SYPH=0,1,481,0"), "+CME ERROR: 20");
    EXPECT_FALSE(std::filesystem::exists(phonePath("/app/dir/smpb24")));
    ASSERT_EQ(last("AT*SYPH=2,1,5"), "OK");
    EXPECT_EQ(last("AT*SYPH=0,1,5,0"), "OK");  // smpb0 exists already
    SimDropRecord d{};
    PutText(d.name, "Sim");
    PutText(d.number, "1");
    ASSERT_EQ(upload("/app/dir/tmp.dat", AsBytes(d)), "OK");
    EXPECT_EQ(last("AT*SYPH=0,0,251,0"), "+CME ERROR: 21");
}

TEST_F(ServicesTest, SyphOnSimMemoryUsesTheSimDropRecord)
{
    SimDropRecord d{};
    PutText(d.name, "Dr Who");
    PutText(d.number, "+8613000000001");
    ASSERT_EQ(upload("/app/dir/tmp.dat", AsBytes(d)), "OK");
    ASSERT_EQ(last("AT*SYPH=0,0,100,0"), "OK");
    const auto c = SimStore(state_).contacts().at(100);
    EXPECT_EQ(c.name, u"Dr Who");
    EXPECT_EQ(c.number, "+8613000000001");
    ASSERT_EQ(last("AT*SYPH=2,0,100"), "OK");
    EXPECT_EQ(SimStore(state_).contacts().count(100), 0u);
}

TEST_F(ServicesTest, SyfileRegistersAndClearsSlots)
{
    const std::string index = "/app/jpeg/" + EncodeFileName("index");
    const std::string slot3 = "/app/jpeg/" + EncodeFileName("user003.jpg");
    const std::vector<uint8_t> jpeg(777, 0xAB);
    EXPECT_EQ(last("AT*SYFILE=17,3,Missing,777"), "+CME ERROR: 22");
    ASSERT_EQ(upload(slot3, jpeg), "OK");
    EXPECT_EQ(last("AT*SYFILE=17,3,Wrong size,778"), "+CME ERROR: 50");
    ASSERT_EQ(last("AT*SYFILE=17,3,My, picture,777"), "OK");
    auto idx = file(index);
    ASSERT_EQ(idx.size(), 360u);
    auto r = FromBytes<SlotRecord>(std::span(idx).subspan(3 * 36));
    EXPECT_EQ(GetBe32(r.size), 777u);
    EXPECT_EQ(GetText(r.fileName), "user003.jpg");
    EXPECT_EQ(GetText(r.displayName), "My, picture");
    EXPECT_EQ(r.used, 1);

    ASSERT_EQ(last("AT*REMOVE=" + slot3), "OK");
    ASSERT_EQ(last("AT*SYFILE=18,3"), "OK");
    idx = file(index);
    r = FromBytes<SlotRecord>(std::span(idx).subspan(3 * 36));
    EXPECT_EQ(r.used, 0);
    EXPECT_EQ(GetBe32(r.size), 0u);
    EXPECT_EQ(r.displayName[0], 0);
    EXPECT_EQ(last("AT*SYFILE=18,10"), "+CME ERROR: 21");
    EXPECT_EQ(last("AT*SYFILE=18"), "+CME ERROR: 50");
    EXPECT_EQ(last("AT*SYFILE=17,3,Name that is far too long,5"), "+CME ERROR: 24");

    // Ringtones: the slots share 102400 bytes.
    const std::string tone = "/app/midi/" + EncodeFileName("user005.mid");
    ASSERT_EQ(upload(tone, std::vector<uint8_t>(102000, 1)), "OK");
    EXPECT_EQ(last("AT*SYFILE=33,5,Too big,102000"), "+CME ERROR: 20");
    ASSERT_EQ(upload(tone, std::vector<uint8_t>(2000, 1)), "OK");
    EXPECT_EQ(last("AT*SYFILE=33,5,Fits,2000"), "OK");
    idx = file("/app/midi/" + EncodeFileName("index"));
    r = FromBytes<SlotRecord>(std::span(idx).subspan(5 * 36));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.fileName) + 8, 3), "mid");
}

}  // namespace
}  // namespace simphone::testing

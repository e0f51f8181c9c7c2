// The message store without a window: the handset's tables, loading and
// joining, list order, the psm file, the incoming assembly and the parts a
// long text is sent in.

#include "mobile/messages/core/exports.h"
#include "mobile/messages/core/handset_files.h"
#include "mobile/messages/core/incoming.h"
#include "mobile/messages/core/message_flows.h"
#include "mobile/messages/core/message_store.h"
#include "mobile/messages/core/sim_file.h"
#include "quorlink/codecs/code_page.h"
#include "quorlink/media/byte_order.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

using namespace messages;
namespace fs = std::filesystem;
namespace qm = quorlink::media;

namespace {

// The handset's message files, built field by field.
struct Handset {
    std::string tables[kTableFiles];
    std::string concat = std::string(kConcatFileSize, '\0');
    std::map<unsigned, std::string> items;  // by file number

    Handset()
    {
        for (auto& t : tables)
            t.assign(kTableFileSize, '\0');
    }
    void entry(size_t n, uint8_t status, uint16_t itemWord, bool concatenated = false, uint8_t concatIndex = 0)
    {
        auto* e = reinterpret_cast<uint8_t*>(tables[n / kTableEntries].data()) + (n % kTableEntries) * kTableEntrySize;
        e[4] = status;
        e[6] = static_cast<uint8_t>(itemWord >> 8);
        e[7] = static_cast<uint8_t>(itemWord);
        e[8] = concatenated ? 1 : 0;
        e[9] = concatIndex;
    }
    void concatEntry(size_t i, uint8_t parts, std::vector<uint16_t> words)
    {
        auto* e = reinterpret_cast<uint8_t*>(concat.data()) + 4 + i * kConcatEntrySize;
        e[3] = parts;
        for (size_t p = 0; p < words.size() && p < kMaxParts; ++p) {
            e[12 + 2 * p] = static_cast<uint8_t>(words[p] >> 8);
            e[13 + 2 * p] = static_cast<uint8_t>(words[p]);
        }
    }
    // An item with a packed stamp of 2006-mm-dd hh:mi.
    void item(unsigned number, const std::string& from, const std::string& text, unsigned day = 1, unsigned hour = 9)
    {
        std::string& f = items[number / kItemsPerFile];
        f.resize(kItemFileSize, '\0');
        auto* r = reinterpret_cast<uint8_t*>(f.data()) + (number % kItemsPerFile) * kItemSize;
        qm::PutBe32(r + 4, 2006u << 20 | 3u << 16 | day << 11 | hour << 6 | 30u);
        std::memcpy(r + 20, from.data(), std::min<size_t>(from.size(), 40));
        std::memcpy(r + 62, text.data(), std::min<size_t>(text.size(), 167));
    }
    void write(const fs::path& dir) const
    {
        for (size_t i = 0; i < kTableFiles; ++i)
            std::ofstream(dir / TableFileName(i), std::ios::binary) << tables[i];
        std::ofstream(dir / kConcatFileName, std::ios::binary) << concat;
        for (const auto& [n, bytes] : items)
            std::ofstream(dir / ItemFileName(n), std::ios::binary) << bytes;
    }
};

class MessageCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("msgcore" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Dir() const { return dir.string() + "/"; }
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::vector<std::string> Texts(const MessageStore& store) const
    {
        std::vector<std::string> v;
        for (const auto& m : store.items())
            v.emplace_back(FieldText(m.record->text));
        return v;
    }
    fs::path dir;
};

}  // namespace

TEST_F(MessageCore, TableScanFindsTheItemFilesOfMessagesInUse)
{
    struct Case {
        const char* name;
        std::function<void(Handset&)> setup;
        std::set<unsigned> files;
    } cases[] = {
        {"empty phone", [](Handset&) {}, {}},
        {"single messages; in-use bit and item limit",
         [](Handset& h) {
             h.entry(0, 3, kInUse | 5);  // file 0
             h.entry(1, 3, kInUse | 1300);  // file 65
             h.entry(2, 3, kInUse | 1301);  // beyond the last item
             h.entry(3, 3, 45);  // not in use
         },
         {0, 65}},
        {"concatenated: twelve parts use ten, a missing part and a bad index",
         [](Handset& h) {
             h.entry(0, 1, kInUse | 0, true, 0);
             std::vector<uint16_t> words;
             for (uint16_t p = 0; p < 12; ++p)
                 words.push_back(kInUse | static_cast<uint16_t>(20 * p));
             words[1] = 0;  // part 2 missing
             h.concatEntry(0, 12, words);
             h.entry(1, 1, kInUse | 0, true, 30);  // names no entry
             h.entry(2, 1, kInUse | 0, true, 1);
             h.concatEntry(1, 0, {kInUse | 999});  // no parts
         },
         {0, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        Handset h;
        c.setup(h);
        h.write(dir);
        const auto scan = ScanTables(Dir());
        ASSERT_TRUE(scan) << c.name;
        EXPECT_EQ(scan->itemFiles, c.files) << c.name;
    }
    // A table of the wrong size fails; a missing concatenation table needs nothing.
    Write(TableFileName(2), std::string(3599, '\0'));
    EXPECT_FALSE(ScanTables(Dir()));
    Handset().write(dir);
    fs::remove(dir / kConcatFileName);
    ASSERT_TRUE(ScanTables(Dir()));
    EXPECT_TRUE(ScanTables(Dir())->itemFiles.empty());
}

TEST_F(MessageCore, LoadJoinsPartsSortsByDateAndCounts)
{
    Write(kSimFileName,
          "50,3\r\n"
          " 1,REC READ,+8613800001111,26/03/02,10:00:00,sim read, with comma\r\n"
          " 2,STO SENT,10086,sent from SIM\r\n"
          " 3,REC UNREAD,+8613800002222,26/03/02,10:00:00,same date\nsecond line\r\n");
    Handset h;
    h.entry(0, 1, kInUse | 0);
    h.item(0, "+8613911112222", "handset \x1B<single\x1B>", 5);  // escapes of the extension table
    h.entry(1, 3, kInUse | 0, true, 4);
    h.concatEntry(4, 3, {kInUse | 21, 0, kInUse | 23});  // middle part missing
    h.item(21, "+8613933334444", "first ", 3);
    h.item(23, "+8613933334444", "third", 4);
    h.entry(2, 5, kInUse | 40);  // its file is damaged
    h.write(dir);
    Write(ItemFileName(2), std::string(100, 'x'));

    MessageStore store;
    ASSERT_EQ(store.load(Dir()), LoadError::None);
    // The SIM's stamps say 2026, the handset's 2006; the SIM's sent message has no date.
    EXPECT_EQ(Texts(store),
              (std::vector<std::string>{"sim read, with comma", "same date\nsecond line", "handset [single]",
                                        "first third", "sent from SIM"}));
    const MessageRecord& joined = *std::next(store.items().begin(), 3)->record;
    EXPECT_STREQ(joined.number, "+8613933334444");
    EXPECT_STREQ(joined.date, "06/03/04  09:30");  // the last part read
    EXPECT_EQ(joined.status, kStatusUnread);
    EXPECT_EQ(joined.fromHandset, 1);
    EXPECT_EQ(store.counts().simCapacity, 50);
    EXPECT_EQ(store.counts().simUsed, 3);
    EXPECT_EQ(store.counts().handsetSingleUsed, 1);
    EXPECT_EQ(store.counts().handsetConcatUsed, 1);

    // No SIM file, or no concatenation table: the load fails.
    MessageStore other;
    fs::remove(dir / kConcatFileName);
    EXPECT_EQ(other.load(Dir()), LoadError::ConcatTable);
    fs::remove(dir / kSimFileName);
    EXPECT_EQ(other.load(Dir()), LoadError::SimFile);
}

TEST(MessageStoreOrder, NewestFirstUndatedLastEqualDatesInArrivalOrder)
{
    MessageStore store;
    const char* dates[][2] = {
        {"", "undated"},
        {"06/03/02  10:00", "handset 10:00"},
        {"06/03/02,10:00:30", "received 10:00:30"},  // another form of date: compared by its digits
        {"06/03/02  10:00:00", "sim 10:00:00"},
        {"06/03/01  23:59", "the day before"},
        {"06/03/02  10:00", "handset 10:00, second"},
    };
    for (const auto& [date, text] : dates)
        store.add(MakeRecord(kStatusRead, "1", date, text, true), kNoPhoneIndex, kOrderByDate);
    store.add(MakeRecord(kStatusSent, "1", "", "head", false), kNoPhoneIndex, kOrderHead);
    std::vector<std::string> order;
    for (const auto& m : store.items())
        order.emplace_back(FieldText(m.record->text));
    EXPECT_EQ(order,
              (std::vector<std::string>{"head", "received 10:00:30", "handset 10:00", "sim 10:00:00",
                                        "handset 10:00, second", "the day before", "undated"}));
    store.removeBox(Box::Outbox);
    EXPECT_EQ(store.items().size(), 6u);
}

TEST_F(MessageCore, PsmRoundTripDuplicatesAndDamagedFiles)
{
    MessageStore store;
    store.add(MakeRecord(kStatusRead, "+861", "06/03/02  10:00", "hello", true), 7, kOrderByDate);
    store.add(MakeRecord(kStatusUnsent, "+862", "", std::string(1668, 'L'), false), kNoPhoneIndex, kOrderByDate);
    const std::string path = (dir / "all.psm").string();
    ASSERT_TRUE(store.savePsm(path));
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_EQ(bytes.size(), kPsmHeaderSize + 2 * sizeof(MessageRecord));
    EXPECT_EQ(bytes.substr(0, kPsmHeaderSize), PsmHeader());
    EXPECT_EQ(PsmHeader().substr(0, 26), std::string("SMS\0\0\0\0\0\0\0\0\0V318\0\0\0\0\0\0\0\0\x01\0", 26));

    // The same record again with another status, a record that differs
    // only after the first 160 characters of text, another version in the
    // header, a record without terminators, and half a record at the end.
    std::string twice = bytes;
    twice[24] = 2;
    MessageRecord again{};
    std::memcpy(&again, bytes.data() + kPsmHeaderSize, sizeof again);
    again.status = kStatusUnread;
    twice.append(reinterpret_cast<const char*>(&again), sizeof again);
    MessageRecord longer{};
    std::memcpy(&longer, bytes.data() + kPsmHeaderSize + sizeof(MessageRecord), sizeof longer);
    longer.text[1000] = 'M';
    twice.append(reinterpret_cast<const char*>(&longer), sizeof longer);
    twice.append(std::string(sizeof(MessageRecord), 'Z'));
    twice.append(std::string(100, 'Y'));
    std::ofstream(path, std::ios::binary) << twice;

    MessageStore loaded;
    const PsmLoad r = loaded.loadPsm(path);
    EXPECT_EQ(r.result, PsmLoad::Loaded);
    EXPECT_EQ(r.added, 4);
    EXPECT_EQ(r.duplicates, 1);
    EXPECT_TRUE(r.cutOff);
    ASSERT_EQ(loaded.items().size(), 4u);
    EXPECT_EQ(loaded.items().front().record->status, kStatusUnread);  // the repeat's status
    EXPECT_EQ(loaded.items().front().phoneIndex, kNoPhoneIndex);
    for (const auto& m : loaded.items())
        EXPECT_LT(FieldText(m.record->text).size(), sizeof m.record->text);

    std::ofstream(path, std::ios::binary) << "PHONEBOOK";
    EXPECT_EQ(loaded.loadPsm(path).result, PsmLoad::NotMessageFile);
    EXPECT_EQ(loaded.loadPsm((dir / "missing.psm").string()).result, PsmLoad::CannotOpen);
}

TEST(SimFile, FieldsByStatusAndCount)
{
    const auto f = ParseSimFile("50,0");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->capacity, 50);
    EXPECT_TRUE(f->messages.empty());
    const auto g =
        ParseSimFile("30,2\r\n 4,REC UNREAD,+861,26/01/02,03:04:05,a,b\r\n 9,BOGUS,x,y\r\n 10,STO SENT,1,z\r\n");
    ASSERT_TRUE(g);
    ASSERT_EQ(g->messages.size(), 2u);  // as many as the header counts
    EXPECT_EQ(g->messages[0].index, 4);
    EXPECT_EQ(g->messages[0].date, "26/01/02  03:04:05");
    EXPECT_EQ(g->messages[0].text, "a,b");
    EXPECT_EQ(g->messages[1].status, 0);
    EXPECT_FALSE(ParseSimFile("garbage"));
}

TEST(SimFile, PartsOfLongMessagesJoinBySequence)
{
    const auto sim = ParseSimFile("50,6\r\n"
                                  " 1,REC READ,+861,26/01/02,03:04:05,B\r\n"
                                  " 2,REC UNREAD,+861,26/01/02,03:04:00,A\r\n"
                                  " 3,REC READ,+862,26/01/02,03:05:00,single\r\n"
                                  " 4,REC READ,+863,26/01/02,03:06:00,other sender, same reference\r\n"
                                  " 5,REC READ,+861,26/01/02,03:07:00,D\r\n"
                                  " 6,REC READ,+861,26/01/02,03:07:00,D again\r\n");
    ASSERT_TRUE(sim);
    // Part 3 of the first message never came; 5 and 6 are one part twice.
    const auto parts = ParseSimParts("1,7,4,2\r\n2,7,4,1\r\n4,7,4,1\r\n5,7,4,4\r\n6,7,4,4\r\nbad,1\r\n3,1,1,1\r\n");
    const auto joined = JoinSimParts(sim->messages, parts);
    std::vector<std::string> texts;
    for (const auto& m : joined)
        texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"ABD", "single", "other sender, same reference"}));
    EXPECT_EQ(joined[0].index, 2);
    EXPECT_EQ(joined[0].status, kStatusUnread);
    EXPECT_EQ(joined[0].date, "26/01/02  03:04:00");
}

namespace {

// A received part as the listener hands it over: "+CMT:" line, PDU line, end.
std::vector<MessageRecord> Deliver(IncomingAssembly& a, const std::string& pdu)
{
    a.line("+CMT: ,30");
    a.line(pdu);
    return a.end();
}

// A 7-bit delivery from +8613711112222 at 26/06/10 16:22:52; with a
// concatenation header when total > 0 (an 8-bit reference, or a 16-bit one
// above 255).
std::string Part(const std::string& text, unsigned ref = 0, unsigned total = 0, unsigned seq = 0)
{
    std::vector<uint8_t> header;
    if (total > 0) {
        header = ref > 255
            ? std::vector<uint8_t>{6, 8, 4, uint8_t(ref >> 8), uint8_t(ref), uint8_t(total), uint8_t(seq)}
            : std::vector<uint8_t>{5, 0, 3, uint8_t(ref), uint8_t(total), uint8_t(seq)};
    }
    std::vector<bool> bits;
    for (uint8_t b : header)
        for (int i = 0; i < 8; ++i)
            bits.push_back((b >> i) & 1);
    while (bits.size() % 7)
        bits.push_back(false);
    for (char c : text)
        for (int i = 0; i < 7; ++i)
            bits.push_back((c >> i) & 1);
    std::vector<uint8_t> ud((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            ud[i / 8] |= uint8_t(1 << (i % 8));
    char hex[8];
    std::string pdu = std::string("00") + (total ? "44" : "04") + "0D91683117112122F2" + "0000" + "62600161222500";
    std::snprintf(hex, sizeof hex, "%02X", unsigned(bits.size() / 7));
    pdu += hex;
    for (uint8_t b : ud) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        pdu += hex;
    }
    return pdu;
}

std::vector<std::string> TextsOf(const std::vector<MessageRecord>& records)
{
    std::vector<std::string> v;
    for (const auto& r : records)
        v.emplace_back(FieldText(r.text));
    return v;
}

}  // namespace

TEST(Incoming, PartsJoinBySequenceWhateverTheirOrder)
{
    struct Case {
        const char* name;
        std::vector<std::string> pdus;
        std::vector<std::string> completed;  // texts, in the order they complete
        size_t pending;
    } cases[] = {
        {"single", {Part("hi")}, {"hi"}, 0},
        {"in order", {Part("one ", 7, 3, 1), Part("two ", 7, 3, 2), Part("three", 7, 3, 3)}, {"one two three"}, 0},
        {"out of order", {Part("three", 7, 3, 3), Part("one ", 7, 3, 1), Part("two ", 7, 3, 2)}, {"one two three"}, 0},
        {"interleaved, nothing dropped",
         {Part("A1 ", 1, 2, 1), Part("B1 ", 2, 2, 1), Part("single"), Part("B2", 2, 2, 2), Part("A2", 1, 2, 2)},
         {"single", "B1 B2", "A1 A2"},
         0},
        {"16-bit reference", {Part("y", 0x1234, 2, 2), Part("x", 0x1234, 2, 1)}, {"xy"}, 0},
        {"a part repeated, one never completing", {Part("a", 9, 3, 1), Part("a", 9, 3, 1), Part("c", 9, 3, 3)}, {}, 1},
    };
    for (const Case& c : cases) {
        IncomingAssembly a;
        std::vector<MessageRecord> done;
        for (const auto& pdu : c.pdus)
            for (auto& r : Deliver(a, pdu))
                done.push_back(r);
        EXPECT_EQ(TextsOf(done), c.completed) << c.name;
        EXPECT_EQ(a.pending(), c.pending) << c.name;
        for (const auto& r : done) {
            EXPECT_EQ(r.status, kStatusUnread);
            EXPECT_STREQ(r.number, "+8613711112222");
            EXPECT_STREQ(r.date, "26/06/10,16:22:52");
        }
    }
    // Unfinished messages are kept up to a bound; beyond it the oldest
    // comes out with the parts it has rather than being dropped.
    IncomingAssembly a;
    for (unsigned ref = 1; ref <= IncomingAssembly::kMaxPending; ++ref)
        EXPECT_TRUE(Deliver(a, Part("p" + std::to_string(ref), ref, 2, 1)).empty());
    EXPECT_EQ(TextsOf(Deliver(a, Part("new", 200, 2, 1))), std::vector<std::string>{"p1"});
    EXPECT_EQ(a.flush().size(), IncomingAssembly::kMaxPending);
}

TEST(Sending, TextsSplitIntoPartsWithinTheSendBlock)
{
    struct Case {
        const char* name;
        std::u16string text;
        std::vector<size_t> partBytes;
    } cases[] = {
        {"empty", u"", {}},
        {"one message", std::u16string(160, u'a'), {160}},
        {"two parts", std::u16string(161, u'a'), {153, 8}},
        {"Chinese", std::u16string(71, u'\u4E2D'), {134, 8}},
        // GSM letters that take two PC bytes: the block's 160 bytes cut first.
        {"Greek capitals", std::u16string(100, u'\u0394'), {160, 40}},
        {"eleven parts", std::u16string(1531, u'a'), {}},
    };
    for (const Case& c : cases) {
        std::vector<size_t> bytes;
        for (const auto& p : SendParts(c.text))
            bytes.push_back(p.size());
        EXPECT_EQ(bytes, c.partBytes) << c.name;
    }
    EXPECT_TRUE(ValidRecipient("+86139*#wp0"));
    EXPECT_FALSE(ValidRecipient("139-1234"));
    EXPECT_FALSE(ValidRecipient(std::string(21, '1')));
}

TEST(Exports, CsvFieldsSurviveCommasQuotesAndLineBreaks)
{
    MessageStore store;
    store.add(MakeRecord(kStatusRead, "+8613800001111", "06/03/02  10:00", "say \"hi\", then\nbye", true),
              kNoPhoneIndex, kOrderByDate);
    store.add(MakeRecord(kStatusUnsent, "10086", "", "\xD6\xD0\xCE\xC4", false), kNoPhoneIndex, kOrderByDate);
    store.add(MakeRecord(99, "hidden", "", "not listed", false), kNoPhoneIndex, kOrderByDate);
    EXPECT_EQ(ExportCsv(store, BoxFilter::All, false),
              "number,name,box,status,date,text\r\n"
              "+8613800001111,,inbox,read,06/03/02  10:00,\"say \"\"hi\"\", then\nbye\"\r\n"
              "10086,,outbox,unsent,,\xE4\xB8\xAD\xE6\x96\x87\r\n");
    EXPECT_EQ(ListTable(store, BoxFilter::Outbox, false), "outbox\tunsent\t\t10086\t\xE4\xB8\xAD\xE6\x96\x87\n");
    EXPECT_EQ(ExportText(store, BoxFilter::Inbox, false),
              "From: +8613800001111\nDate: 06/03/02  10:00\nStatus: read\n\nsay \"hi\", then\nbye\n");
    EXPECT_EQ(FormatForPath("/a/b.TXT"), ExportFormat::Text);
    EXPECT_FALSE(FormatForPath("/a.b/c"));
}

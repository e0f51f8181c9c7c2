// The phone's files as the store loads them, and the local files (phb,
// CSV, vCard) both ways.

#include "mobile/phonebook/core/local_files.h"
#include "mobile/phonebook/core/phonebook_store.h"
#include "mobile/phonebook/core/vcard.h"
#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace phonebook;
namespace fs = std::filesystem;

namespace {

std::string Gbk(std::u16string_view s)
{
    return quorlink::codecs::Ucs2ToAnsi(s);
}

std::string English(int id)
{
    switch (id) {
    case res::IDS_PB_GROUP_FAMILY: return "Family";
    case res::IDS_PB_GROUP_FRIENDS: return "Friends";
    default: return "#" + std::to_string(id);
    }
}

std::array<std::string, kCsvColumns> Captions()
{
    std::array<std::string, kCsvColumns> c;
    for (int i = 0; i < kCsvColumns; ++i)
        c[static_cast<size_t>(i)] = "cap" + std::to_string(i);
    return c;
}

std::vector<const ContactRecord*> Ptrs(const std::vector<ContactRecord>& v)
{
    std::vector<const ContactRecord*> p;
    for (const auto& r : v)
        p.push_back(&r);
    return p;
}

// A handset entry that uses every field.
ContactRecord Full()
{
    ContactRecord r = NewHandsetRecord();
    (void)SetText(r, Field::Name, Gbk(u"张伟, \"Zhang\""));
    EXPECT_TRUE(SetNumber(r, 0, "13800001111", 2));
    EXPECT_TRUE(SetNumber(r, 1, "+8602155556666", 2));
    EXPECT_TRUE(SetNumber(r, 2, "*31#p1w2", 0));
    EXPECT_TRUE(SetNumber(r, 3, "010555", 4));
    (void)SetText(r, Field::Detail6, "zhang@example.com");
    (void)SetText(r, Field::Detail7, "Harbour; Tech, Ltd");
    (void)SetText(r, Field::Detail8, "12 Nanjing Road\\Shanghai");
    (void)SetText(r, Field::Detail9, "200001");
    (void)SetText(r, Field::Detail10, "Birthday");
    (void)SetText(r, Field::Detail11, "19800229");
    r.group = 2;
    r.defaultField = kDefaultIsNumber;
    r.defaultNumber = 2;
    return r;
}

class PhoneCopies : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pbfiles" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& name, std::string_view bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string Dir() const { return dir.string() + "/"; }
    fs::path dir;
};

std::string Table(std::initializer_list<int> usedSlots)
{
    std::string t(kSmpbtabSize, '\xFF');
    for (int s : usedSlots) {
        t[static_cast<size_t>(s - 1) * kSmpbtabEntrySize] = static_cast<char>(s >> 8);
        t[static_cast<size_t>(s - 1) * kSmpbtabEntrySize + 1] = static_cast<char>(s & 0xFF);
    }
    return t;
}

}  // namespace

TEST(PhoneFiles, SlotTableCountsFilesUpToTheLastUsedEntry)
{
    struct Case {
        std::string table;
        int files;
    } cases[] = {
        {"", 0},
        {std::string(kSmpbtabSize - 1, '\xFF'), -1},
        {Table({}), 0},
        {Table({1, 2, 20}), 1},
        {Table({21}), 2},
        // The first slot free (deleted on the phone): every file is still read.
        {Table({45}), 3},
        {Table({500}), 25},
    };
    for (const auto& c : cases) {
        const auto t = ParseSmpbtab({reinterpret_cast<const uint8_t*>(c.table.data()), c.table.size()});
        EXPECT_EQ(t.fileCount, c.files);
    }
}

TEST(PhoneFiles, PbSimLines)
{
    const auto pb = ParsePbSim("250,3\r\n1,13800001111,Anna\r\n 7,+8613900002222,Smith, J.\r\n9,,\x80home\r\n");
    ASSERT_TRUE(pb);
    EXPECT_EQ(pb->capacity, 250);
    ASSERT_EQ(pb->entries.size(), 3u);
    EXPECT_EQ(pb->entries[1].index, 7);
    EXPECT_EQ(pb->entries[1].name, "Smith, J.");  // a name may hold commas
    EXPECT_EQ(pb->entries[2].name, "@home");  // GSM text to PC text
    // Fewer lines than announced, or no header: refused.
    for (const char* bad : {"250,3\r\n1,1,a\r\n", "", "abc\r\n", "250\r\n"})
        EXPECT_FALSE(ParsePbSim(bad)) << bad;
    const auto none = ParsePbSim("180,0\r\n");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->capacity, 180);
}

TEST_F(PhoneCopies, LoadReadsBothMemoriesAndDeletesTheCopies)
{
    Write("pb.sim", "180,0\r\n");
    Write("smpbtab", Table({45}));
    std::string files[3] = {std::string(kRecordFileSize, '\0'), std::string(kRecordFileSize, '\0'),
                            std::string(kRecordFileSize, '\0')};
    ContactRecord r = Full();
    HandsetFieldsToPhone(r);
    std::memcpy(files[2].data() + 4 * kPhoneRecordSize, r.bytes().data() + 1, kPhoneRecordSize);
    for (int i = 0; i < 3; ++i)
        Write("smpb" + std::to_string(i), files[i]);

    PhonebookStore s;
    ASSERT_EQ(s.load(Dir()), LoadError::None);
    EXPECT_EQ(s.simSlots().capacity(), 180);
    ASSERT_EQ(s.entries().size(), 1u);
    EXPECT_EQ(s.entries()[0].slot, 45);
    const ContactRecord full = Full();
    EXPECT_EQ(std::memcmp(s.entries()[0].record.get(), &full, sizeof(ContactRecord)), 0);
    EXPECT_EQ(s.entries()[0].state, ItemState::Synced);
    EXPECT_TRUE(fs::is_empty(dir));

    // An empty table: SIM entries only. A record file of the wrong size:
    // nothing, and every copy is gone.
    Write("pb.sim", "250,1\r\n3,555,Bob\r\n");
    Write("smpbtab", "");
    ASSERT_EQ(s.load(Dir()), LoadError::None);
    EXPECT_EQ(s.entries().size(), 1u);
    Write("pb.sim", "250,1\r\n3,555,Bob\r\n");
    Write("smpbtab", Table({1, 30}));
    Write("smpb0", "short");
    Write("smpb1", files[0]);
    EXPECT_EQ(s.load(Dir()), LoadError::BadRecordFile);
    EXPECT_TRUE(s.entries().empty());
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(s.load(Dir()), LoadError::MissingSimFile);
}

TEST(LocalFiles, PhbVersions)
{
    const std::vector<ContactRecord> records = {Full(), NewSimRecord("Bob", "555")};
    const auto bytes = EncodePhb(Ptrs(records));
    ASSERT_EQ(bytes.size(), kPhbHeaderSize + 2 * sizeof(ContactRecord));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 9), "PHONEBOOK");
    const auto back = DecodePhb(bytes);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ(std::memcmp(back->data(), records.data(), 2 * sizeof(ContactRecord)), 0);

    // Version 2: 334-byte records, the rest zero.
    std::vector<uint8_t> v2(bytes.begin(), bytes.begin() + kPhbHeaderSize);
    v2[24] = 2;
    v2.insert(v2.end(), records[0].bytes().begin(), records[0].bytes().begin() + kPhbV2RecordSize);
    const auto old = DecodePhb(v2);
    ASSERT_TRUE(old);
    ASSERT_EQ(old->size(), 1u);
    EXPECT_EQ(GetText((*old)[0], Field::Detail9), "200001");
    EXPECT_EQ(GetText((*old)[0], Field::Detail10), "");

    v2[24] = 3;
    EXPECT_FALSE(DecodePhb(v2));
    v2[24] = 2;
    v2[0] = 'X';
    EXPECT_FALSE(DecodePhb(v2));
}

TEST(LocalFiles, CsvNumberColumnsAndRoundTrip)
{
    const std::vector<ContactRecord> records = {Full(), NewSimRecord("Bob", "+555")};
    const auto captions = Captions();
    const std::string csv = EncodeCsv(Ptrs(records), captions);
    // Two numbers of kind 2: the first into column 2, the second into the
    // first free column (1); the plain number after them; the fax into 4.
    // The default (the second number) is named by its column, 1.
    const std::string row = Gbk(u"\"张伟, \"\"Zhang\"\"\"") +
        ",\"+8602155556666\",\"13800001111\",\"*31#p1w2\",\"010555\",\"\","
        "\"zhang@example.com\",\"Harbour; Tech, Ltd\",\"12 Nanjing Road\\Shanghai\",\"200001\",\"Birthday\","
        "\"19800229\",\"2\",\"1\",\"1\"\r\n";
    const std::string sim = "\"Bob\",\"+555\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"0\",\"\"\r\n";
    EXPECT_EQ(csv, "cap0,cap1,cap2,cap3,cap4,cap5,cap6,cap7,cap8,cap9,cap10,cap11,cap12,cap13,cap14\r\n" + row + sim);

    const auto table = ReadCsv(csv);
    ASSERT_TRUE(table);
    const auto result = RecordsFromCsv(*table, DefaultCsvMapping(*table, captions));
    EXPECT_TRUE(result.notes.empty());
    ASSERT_EQ(result.records.size(), 2u);
    const ContactRecord& h = result.records[0];
    EXPECT_EQ(GetText(h, Field::Name), GetText(Full(), Field::Name));  // comma and quotes survive
    EXPECT_EQ(GetNumber(h, h.defaultNumber - 1), "+8602155556666");  // still the default
    EXPECT_EQ(h.numbers[1].kind, 2);
    EXPECT_EQ(GetText(h, Field::Detail7), "Harbour; Tech, Ltd");
    EXPECT_EQ(h.group, 2);
    EXPECT_EQ(result.records[1].memory, kMemorySim);
    // The file is its own fixed point.
    EXPECT_EQ(EncodeCsv(Ptrs(result.records), captions), csv);
}

TEST(LocalFiles, CsvHeaderAndLimits)
{
    const std::string h14 = "a,b,c,d,e,f,g,h,i,j,k,l,m,n\r\n";
    const std::string h16 = "a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p\r\n";
    EXPECT_FALSE(ReadCsv(h14));
    EXPECT_FALSE(ReadCsv(h16));
    EXPECT_FALSE(ReadCsv(""));

    const auto captions = Captions();
    const std::string header = "cap0,cap1,cap2,cap3,cap4,cap5,cap6,cap7,cap8,cap9,cap10,cap11,cap12,cap13,x\r\n";
    const std::string longName(45, 'n');
    const std::string csv = header + "\"" + longName +
        "\",\"138-0000 1111\",\"12ab\"\r\n\r\n\"Sim\",\"(01) 23\",,,,,,,,,,,,\"0\"\r\n" + "\"" +
        std::string(3000, 'x') + "\"\r\n\"never\"\r\n";
    const auto table = ReadCsv(csv);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->stopped);
    const auto result = RecordsFromCsv(*table, DefaultCsvMapping(*table, captions));
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_EQ(GetText(result.records[0], Field::Name), std::string(40, 'n'));
    EXPECT_EQ(GetNumber(result.records[0], 0), "13800001111");  // separators dropped
    EXPECT_FALSE(HasNumber(result.records[0], 1));
    EXPECT_EQ(GetText(result.records[1], Field::SimNumber), "0123");
    std::vector<ImportNote::Kind> kinds;
    for (const auto& n : result.notes)
        kinds.push_back(n.kind);
    EXPECT_EQ(kinds, (std::vector<ImportNote::Kind>{ImportNote::Cut, ImportNote::NumberDropped, ImportNote::Stopped}));
}

TEST(LocalFiles, VcardRoundTripKeepsEveryField)
{
    ContactRecord odd = Full();
    (void)SetText(odd, Field::Detail11, "1234");  // not a date
    odd.defaultField = 7;
    odd.defaultNumber = 0;
    odd.numbers[4].kind = 5;
    ASSERT_TRUE(SetNumber(odd, 4, "777", 5));
    const std::vector<ContactRecord> records = {Full(), odd, NewSimRecord(Gbk(u"李娜"), "+8613900002222")};
    const std::string vcf = EncodeVcards(Ptrs(records), English);
    EXPECT_NE(vcf.find("TEL;TYPE=HOME,PREF:+8602155556666\r\n"), std::string::npos);
    EXPECT_NE(vcf.find("BDAY:1980-02-29\r\n"), std::string::npos);
    EXPECT_NE(vcf.find("CATEGORIES:Friends\r\n"), std::string::npos);
    EXPECT_NE(vcf.find("ORG:Harbour\\; Tech\\, Ltd\r\n"), std::string::npos);
    const auto back = DecodeVcards(vcf, English);
    EXPECT_TRUE(back.notes.empty()) << DescribeNotes(back.notes, English);
    ASSERT_EQ(back.records.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(&back.records[i], &records[i], sizeof(ContactRecord)), 0) << i;
}

TEST(LocalFiles, VcardFromAnotherProgram)
{
    // vCard 2.1 with quoted-printable UTF-8, a folded line, grouped and
    // unknown properties, six numbers, two e-mail addresses.
    const std::string vcf = "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                            "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E7=8E=8B;=E8=8A=B3;;;\r\n"
                            "TEL;CELL;PREF:+86 138-0000-1111\r\n"
                            "TEL;WORK;VOICE:(010) 5555 6666\r\n"
                            "TEL;WORK;FAX:010 5555 6667\r\n"
                            "item1.TEL;TYPE=CELL:139 0000 2222\r\n"
                            "TEL;HOME:021-1234\r\n"
                            "TEL;CELL:137 0000 3333\r\n"
                            "EMAIL;INTERNET:wang@example.com\r\n"
                            "EMAIL;INTERNET:fang@example.com\r\n"
                            "NOTE:A note that is much longer than twelve\r\n  characters\r\n"
                            "URL:http://example.com\r\n"
                            "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQ\r\n"
                            "CATEGORIES:Family,Hiking\r\n"
                            "ADR;HOME:;;Flat 3, 5 High St;London;;SW1A 1AA;UK\r\n"
                            "BDAY:1990-05-17\r\n"
                            "END:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Plain\r\nTEL:555\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:x\r\nEND:VCARD\r\n";
    const auto r = DecodeVcards(vcf, English);
    ASSERT_EQ(r.records.size(), 2u);
    const ContactRecord& w = r.records[0];
    EXPECT_EQ(GetText(w, Field::Name), Gbk(u"王芳"));
    const std::pair<std::string, int> numbers[] = {
        {"+8613800001111", 1}, {"01055556666", 3}, {"01055556667", 4}, {"13900002222", 1}, {"0211234", 2}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(GetNumber(w, i), numbers[i].first);
        EXPECT_EQ(w.numbers[i].kind, numbers[i].second);
    }
    EXPECT_EQ(w.defaultNumber, 1);
    EXPECT_EQ(GetText(w, Field::Detail6), "wang@example.com");
    EXPECT_EQ(GetText(w, Field::Detail8), "Flat 3, 5 High St, London, UK, SW1A 1AA");
    EXPECT_EQ(GetText(w, Field::Detail9), "");
    EXPECT_EQ(GetText(w, Field::Detail10), "A note that ");
    EXPECT_EQ(GetText(w, Field::Detail11), "19900517");
    EXPECT_EQ(w.group, 1);
    EXPECT_EQ(GetNumber(r.records[1], 0), "555");
    EXPECT_EQ(r.records[1].numbers[0].kind, 0);

    // Every value that did not fit is reported, and the empty card too.
    std::vector<std::pair<ImportNote::Kind, std::string>> notes;
    for (const auto& n : r.notes)
        notes.emplace_back(n.kind, n.value);
    const std::vector<std::pair<ImportNote::Kind, std::string>> want = {
        {ImportNote::NoRoom, "137 0000 3333"}, {ImportNote::Cut, "A note that is much longer than twelve characters"},
        {ImportNote::NotImported, "Hiking"},   {ImportNote::NoRoom, "fang@example.com"},
        {ImportNote::NotImported, "URL"},      {ImportNote::NotImported, "PHOTO"},
        {ImportNote::EntryDropped, ""},
    };
    EXPECT_EQ(notes, want);
}

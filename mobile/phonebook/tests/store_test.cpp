// The contact record, the store and its write-back plan, with tables of
// cases.

#include "mobile/phonebook/core/editing.h"
#include "mobile/phonebook/core/phonebook_store.h"
#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace phonebook;

namespace {

std::string Gbk(std::u16string_view s)
{
    return quorlink::codecs::Ucs2ToAnsi(s);
}

ContactRecord Handset(std::string_view name, std::vector<std::pair<std::string, uint8_t>> numbers = {})
{
    ContactRecord r = NewHandsetRecord();
    (void)SetText(r, Field::Name, name);
    for (size_t i = 0; i < numbers.size(); ++i)
        EXPECT_TRUE(SetNumber(r, static_cast<int>(i), numbers[i].first, numbers[i].second));
    NormaliseDefault(r);
    return r;
}

std::vector<std::string> Names(const PhonebookStore& s)
{
    std::vector<std::string> v;
    for (const auto& e : s.entries())
        v.push_back((e.memory == kMemorySim ? "S:" : "H:") + DisplayName(*e.record));
    return v;
}

std::vector<std::string> Commands(const std::vector<SyncOp>& ops)
{
    std::vector<std::string> v;
    for (const auto& op : ops)
        v.push_back(op.command());
    return v;
}

}  // namespace

TEST(ContactRecord, LayoutAndFieldLimits)
{
    // {field, text, stored, cut}: text is cut at the field's limit, never
    // inside a double-byte character.
    const std::string zhang = Gbk(u"张");  // two bytes
    struct Case {
        Field field;
        std::string text;
        std::string stored;
        bool whole;
    } cases[] = {
        {Field::Name, std::string(40, 'a'), std::string(40, 'a'), true},
        {Field::Name, std::string(41, 'a'), std::string(40, 'a'), false},
        {Field::SimName, std::string(11, 'a') + zhang, std::string(11, 'a'), false},
        {Field::SimName, zhang + zhang + zhang + zhang + zhang + zhang, zhang + zhang + zhang + zhang + zhang + zhang,
         true},
        {Field::Detail10, "Birthday", "Birthday", true},
        {Field::Detail11, std::string(16, '1'), std::string(15, '1'), false},
        {Field::SimNumber, std::string(22, '1'), std::string(21, '1'), false},
    };
    for (const auto& c : cases) {
        ContactRecord r{};
        EXPECT_EQ(SetText(r, c.field, c.text), c.whole) << c.text;
        EXPECT_EQ(GetText(r, c.field), c.stored);
    }
    // Texts stay inside their fields: detail8 filled to its end does not
    // touch detail9.
    ContactRecord r{};
    (void)SetText(r, Field::Detail8, std::string(80, 'x'));
    EXPECT_EQ(GetText(r, Field::Detail9), "");
    // An empty view without data (a value an import left out) clears the field.
    EXPECT_TRUE(SetText(r, Field::Detail8, std::string_view{}));
    EXPECT_EQ(GetText(r, Field::Detail8), "");
}

TEST(ContactRecord, NumbersPackAndUnpack)
{
    ContactRecord r = NewHandsetRecord();
    for (const std::string& n :
         std::vector<std::string>{"1", "12#", "+8613800001111", "*31#p123w4", std::string(40, '9')}) {
        ASSERT_TRUE(SetNumber(r, 2, n, 3)) << n;
        EXPECT_EQ(GetNumber(r, 2), n);
        EXPECT_EQ(r.numbers[2].kind, 3);
    }
    // Refused: letters, separators, and more than the field holds.
    for (const std::string& n : std::vector<std::string>{"", "12a", "138 0000", std::string(41, '1')})
        EXPECT_FALSE(SetNumber(r, 0, n, 1)) << n;
    // A count byte from outside that claims more than the field reads only
    // the field.
    r.numbers[0].bcd[0] = 0xFF;
    std::memset(r.numbers[0].bcd + 1, 0x12, 21);
    EXPECT_EQ(GetNumber(r, 0).size(), 42u);
}

TEST(ContactRecord, DefaultFieldNormalises)
{
    struct Case {
        uint8_t field, number;
        bool numbers[5];
        const char* detail6;
        uint8_t wantField, wantNumber;
    } cases[] = {
        {11, 2, {true, true, false, false, false}, "", 11, 2},  // valid: stays
        {11, 3, {false, true, false, false, false}, "", 11, 2},  // empty number: first non-empty
        {6, 0, {true, false, false, false, false}, "a@b", 6, 0},  // valid detail stays
        {6, 0, {false, false, false, false, true}, "", 0, 0},  // number 5 is never picked
        {0, 0, {false, false, false, false, true}, "a@b", 6, 0},
    };
    for (const auto& c : cases) {
        ContactRecord r = NewHandsetRecord();
        for (int i = 0; i < 5; ++i) {
            if (c.numbers[i]) {
                ASSERT_TRUE(SetNumber(r, i, "123", 1));
            }
        }
        (void)SetText(r, Field::Detail6, c.detail6);
        r.defaultField = c.field;
        r.defaultNumber = c.number;
        NormaliseDefault(r);
        EXPECT_EQ(r.defaultField, c.wantField);
        EXPECT_EQ(r.defaultNumber, c.wantNumber);
    }
}

TEST(ContactRecord, GsmConversionKeepsDoubleByteCharacters)
{
    // 0x81 0x40 and 0x81 0x80 are whole GBK characters whose trail bytes are
    // '@' and the GSM code of '@': only the lone characters change.
    std::string text = "\x81\x40@_\x81\x80\x80";
    PcToGsm(text);
    EXPECT_EQ(text, "\x81\x40\x80\x11\x81\x80\x80");
    GsmToPc(text);
    EXPECT_EQ(text, "\x81\x40@_\x81\x80@");
}

TEST(PhonebookStore, SortedOrder)
{
    // Arrival order in, display order out: pinyin order (Chinese names
    // first, capitals before small letters), a SIM entry before handset
    // entries of the same name, otherwise arrival order.
    PhonebookStore s;
    (void)s.add(Handset("Zoe"));
    (void)s.add(Handset(Gbk(u"张伟")));
    (void)s.add(Handset("anna"));
    (void)s.add(Handset("Ben"));
    (void)s.add(NewSimRecord("Ben", "1"));
    (void)s.add(Handset("Ben"));
    (void)s.add(Handset(Gbk(u"阿明")));
    (void)s.add(Handset("Anna"));
    const std::vector<std::string> want = {
        "H:" + Gbk(u"阿明"), "H:" + Gbk(u"张伟"), "H:Anna", "H:anna", "S:Ben", "H:Ben", "H:Ben", "H:Zoe"};
    EXPECT_EQ(Names(s), want);

    // A modified entry moves to its new place.
    const ContactKey zoe = s.entries()[7].key;
    ASSERT_TRUE(s.modify(zoe, Handset("Aaron")));
    EXPECT_EQ(Names(s)[2], "H:Aaron");
    EXPECT_EQ(s.item(zoe)->state, ItemState::Modified);
}

TEST(PhonebookStore, SlotsAreReusedAndWrittenBackInOrder)
{
    PhonebookStore s;
    // Three entries as read from the phone.
    std::vector<ContactKey> keys;
    for (const char* n : {"Anna", "Carl", "Eve"}) {
        keys.push_back(*s.add(Handset(n, {{"123", 1}}), static_cast<int>(keys.size()) + 1));
        s.markSynced(keys.back());
    }
    const ContactKey sim = *s.add(NewSimRecord("Bob", "555"), 7);
    s.markSynced(sim);

    ASSERT_TRUE(s.remove(keys[0]));  // slot 1 on the phone
    const ContactKey dora = *s.add(Handset("Dora", {{"456", 2}}));
    EXPECT_EQ(s.item(dora)->slot, 1);  // the lowest free slot again
    const ContactKey sim2 = *s.add(NewSimRecord("Al", "999"));
    EXPECT_EQ(s.item(sim2)->slot, 1);
    ASSERT_TRUE(s.modify(keys[2], Handset("Eve", {{"789", 1}})));
    ASSERT_TRUE(s.modify(keys[1], Handset("Carl", {{"000", 1}})));

    const StoreCounts c = s.counts();
    EXPECT_EQ(c.deletes, 1);
    EXPECT_EQ(c.adds, 2);
    EXPECT_EQ(c.modifies, 2);
    // List: Al(S), Bob(S), Carl, Dora, Eve. Deletes first, additions from the
    // head with 0-based places, modifications from the tail with 1-based ones.
    const std::vector<std::string> want = {
        "AT*SYPH=2,1,1\r", "AT*SYPH=0,0,1,0\r", "AT*SYPH=0,1,1,3\r", "AT*SYPH=1,1,3,5\r", "AT*SYPH=1,1,2,3\r",
    };
    const auto ops = s.planWriteBack();
    EXPECT_EQ(Commands(ops), want);
    EXPECT_EQ(ops[1].upload.size(), kSimUploadSize);
    EXPECT_EQ(ops[2].upload.size(), kPhoneRecordSize);

    // Planning changes nothing; confirming does.
    EXPECT_EQ(Commands(s.planWriteBack()), want);
    for (const auto& op : ops)
        s.confirm(op);
    EXPECT_TRUE(s.planWriteBack().empty());
    EXPECT_TRUE(s.item(dora)->onPhone);
}

TEST(PhonebookStore, FullMemoryAndCapacity)
{
    PhonebookStore s;
    s.clearAll();
    std::vector<ContactKey> keys;
    for (int i = 0; i < kHandsetCapacity; ++i)
        keys.push_back(*s.add(Handset("x")));
    const ContactKey extra = *s.add(Handset("y"));
    EXPECT_EQ(s.item(extra)->slot, kNoSlot);
    EXPECT_TRUE(s.overCapacity());
    EXPECT_TRUE(s.planWriteBack().empty());

    // Once a slot is free again the entry without one gets it at write-back.
    ASSERT_TRUE(s.remove(keys[41]));
    EXPECT_FALSE(s.overCapacity());
    const auto ops = s.planWriteBack();
    ASSERT_EQ(ops.size(), static_cast<size_t>(kHandsetCapacity));
    EXPECT_EQ(s.item(extra)->slot, 42);

    ContactRecord bad = Handset("z");
    bad.memory = 2;
    EXPECT_FALSE(s.add(bad).has_value());
}

TEST(PhonebookStore, RemoveKeepsOneDeletePerSlot)
{
    PhonebookStore s;
    const ContactKey a = *s.add(Handset("a"), 5);
    s.markSynced(a);
    ASSERT_TRUE(s.remove(a));
    const ContactKey b = *s.add(Handset("b"), 5);
    s.markSynced(b);
    s.removeAll();
    EXPECT_EQ(s.pendingDeletes().size(), 1u);
    // A new entry that never reached the phone leaves nothing to delete.
    (void)s.add(Handset("c"));
    s.removeAll();
    EXPECT_EQ(s.pendingDeletes().size(), 1u);
    s.clear(kMemoryHandset);
    EXPECT_EQ(s.pendingDeletes().size(), 1u);
    s.clearAll();
    EXPECT_TRUE(s.pendingDeletes().empty());
}

TEST(PhonebookStore, NameForNumber)
{
    PhonebookStore s;
    (void)s.add(Handset("Anna", {{"13800001111", 1}, {"02155556666", 2}}));
    (void)s.add(Handset("Bert", {{"+8613800001111", 1}}));
    (void)s.add(NewSimRecord("Carl", "+8613900002222"));
    (void)s.add(NewSimRecord("Dora", "13900002222"));
    (void)s.add(Handset("Emil", {{"13900002222", 1}}));
    (void)s.add(Handset("Finn", {{"12345", 1}}));
    struct Case {
        const char* number;
        const char* name;
    } cases[] = {
        {"13800001111", "Bert"},  // last handset match wins
        {"55556666", "Anna"},  // the last seven digits
        {"13900002222", "Carl"},  // the first SIM match ends the walk
        {"12345", "Finn"},  // a short number compares from the start
        {"9912345", ""},  // an entry shorter than seven never matches a long key
        {"", ""},
        {"00000000", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(s.nameForNumber(c.number), c.name) << c.number;
}

TEST(Editing, RulesAnswerWithTheirMessages)
{
    // The first step.
    struct First {
        uint8_t memory;
        const char* name;
        const char* number;
        int message;
    } first[] = {
        {kMemoryHandset, "", "", res::IDS_ENTER_NAME},
        {kMemoryHandset, "a", "", 0},
        {kMemorySim, "a", "", res::IDS_SIM_ENTRY_NEEDS_NUMBER},
        {kMemorySim, "a", "12a", res::IDS_TEXT_CONTAINS_CHARACTER_PHONE},
        {kMemorySim, "a", "+86139p1w2#*", 0},
    };
    for (const auto& c : first)
        EXPECT_EQ(CheckFirstStep(c.memory, c.name, c.number).message, c.message) << c.name << c.number;
    EXPECT_EQ(CheckTypedText("Zoë").message, res::IDS_TEXT_CONTAINS_CHARACTER_PHONE);
    EXPECT_TRUE(CheckTypedText("张伟 Zoe"));

    // The second step, one value after the other into the same entry.
    struct Step {
        int kind;
        const char* text;
        int message;
        int kindInMessage;
    } steps[] = {
        {-1, "1", res::IDS_ENTER_TEXT_CHOOSE_KIND, -1},
        {1, "", res::IDS_ENTER_TEXT_CHOOSE_KIND, -1},
        {1, "123#", res::IDS_NUMBER_MAY_ONLY_CONTAIN, -1},  // '#' is typed but not added
        {1, "1", 0, -1},
        {2, "2", 0, -1},
        {2, "3", 0, -1},
        {0, "4", 0, -1},
        {5, "+5p", 0, -1},
        {3, "6", res::IDS_ALL_D_NUMBER_FIELDS, -1},  // a sixth number
        {6, "a@b", 0, -1},
        {6, "c@d", res::IDS_ALREADY_VALUE, 6},
        {9, "12a", res::IDS_NUMBER_MAY_ONLY_CONTAIN, -1},
        {10, "Note", 0, -1},
    };
    ContactRecord r = NewHandsetRecord();
    for (const auto& s : steps) {
        const EditCheck c = AddField(r, s.kind, s.text);
        EXPECT_EQ(c.message, s.message) << s.kind << " " << s.text;
        EXPECT_EQ(c.kind, s.kindInMessage);
    }
    EXPECT_EQ(GetNumber(r, 4), "+5p");
    EXPECT_EQ(CheckFields(r).message, res::IDS_FILL_BOTH_FIELDS_PAIR);  // note without birthday
    EXPECT_TRUE(AddField(r, 11, "19800101"));
    EXPECT_TRUE(CheckFields(r));
    EXPECT_EQ(MakeDefault(r, {6, -1}).message, res::IDS_ONLY_NUMBER_CAN_DEFAULT);
    EXPECT_TRUE(MakeDefault(r, {2, 2}));
    EXPECT_EQ(ChangeField(r, {2, 2}, "").message, res::IDS_ENTER_VALUE);
    EXPECT_TRUE(ChangeField(r, {2, 2}, "33#"));
    RemoveField(r, {6, -1});
    EXPECT_EQ(FieldsOf(r).size(), 7u);
    EXPECT_EQ(CheckFields(NewHandsetRecord()).message, res::IDS_FILL_LEAST_ONE_FIELD);

    // Memory changes keep the name and the default number.
    ContactRecord longName = r;
    (void)SetText(longName, Field::Name, Gbk(u"欧阳张伟李娜芳"));  // 14 bytes
    const ContactRecord sim = ToSim(longName);
    EXPECT_EQ(GetText(sim, Field::SimName), Gbk(u"欧阳张伟李娜"));
    EXPECT_EQ(GetText(sim, Field::SimNumber), "33#");
    const ContactRecord back = ToHandset(sim);
    EXPECT_EQ(GetNumber(back, 0), "33#");
    EXPECT_EQ(back.numbers[0].kind, 0);
}

// `telvane phonebook` against the emulated handset (its sample phonebook:
// 30 SIM entries, 60 handset entries, Chinese names): entries added,
// edited and deleted reach the phone's files, and the phonebook survives a
// trip through each file form and back onto the phone.

#include "cli/cli.h"
#include "mobile/phonebook/core/local_files.h"
#include "mobile/phonebook/core/phone_files.h"
#include "cli_run.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using linktest::SimPhone;
namespace fs = std::filesystem;
using namespace phonebook;

using clitest::Result;

class CliPhonebook : public clitest::PhoneTest {
protected:
    CliPhonebook() : PhoneTest("clipb") {}
    Result Telvane(std::vector<std::string> args)
    {
        args.insert(args.begin(), "phonebook");
        return clitest::RunInProcess(std::move(args), stdin);
    }
    std::vector<uint8_t> PhoneFile(const std::string& path) const
    {
        return ReadWholeFile(phone->state().string() + path).value_or(std::vector<uint8_t>{});
    }
    // The phone's phonebook as records, in a fixed order.
    std::vector<std::string> PhoneRecords(const std::string& name)
    {
        const auto path = (phone->dir() / name).string();
        EXPECT_EQ(Telvane({"export", path}).exit, 0);
        const auto records = DecodePhb(ReadWholeFile(path).value_or(std::vector<uint8_t>{}));
        std::vector<std::string> v;
        for (const auto& r : records.value_or(std::vector<ContactRecord>{}))
            v.emplace_back(reinterpret_cast<const char*>(r.bytes().data()), sizeof r);
        std::sort(v.begin(), v.end());
        return v;
    }
};

// What a CSV file carries of an entry: its memory, name, the numbers'
// digits, the details and the group.
std::vector<std::string> CsvView(const std::vector<std::string>& records)
{
    std::vector<std::string> v;
    for (const std::string& bytes : records) {
        ContactRecord r;
        std::memcpy(&r, bytes.data(), sizeof r);
        std::string view = std::to_string(r.memory) + "|" + DisplayName(r) + "|";
        if (r.memory == kMemorySim) {
            view += GetText(r, Field::SimNumber);
        } else {
            std::vector<std::string> numbers;
            for (int i = 0; i < kNumberCount; ++i)
                numbers.push_back(GetNumber(r, i));
            std::sort(numbers.begin(), numbers.end());
            for (const auto& n : numbers)
                view += n + ",";
            for (Field f :
                 {Field::Detail6, Field::Detail7, Field::Detail8, Field::Detail9, Field::Detail10, Field::Detail11})
                view += "|" + GetText(r, f);
            view += "|" + std::to_string(r.group);
        }
        v.push_back(view);
    }
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

TEST_F(CliPhonebook, AddEditAndDeleteReachThePhonesFiles)
{
    Result r = Telvane({"add", "--name", "Zoe Test", "--number", "mobile:13800001111,fax:0105556", "--email",
                        "zoe@example.com", "--group", "2"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "handset:61\n");
    // Slot 61: entry 60 of the table, record 0 of smpb3.
    auto table = PhoneFile("/app/dir/smpbtab");
    ASSERT_EQ(table.size(), kSmpbtabSize);
    EXPECT_EQ(table[60 * kSmpbtabEntrySize + 1], 61);
    auto record = RecordFromFile(PhoneFile("/app/dir/smpb3"), 0);
    ASSERT_TRUE(record);
    EXPECT_EQ(GetText(*record, Field::Name), "Zoe Test");
    EXPECT_EQ(GetNumber(*record, 1), "0105556");
    EXPECT_EQ(record->numbers[1].kind, 4);
    EXPECT_EQ(GetText(*record, Field::Detail6), "zoe@example.com");

    r = Telvane({"edit", "Zoe Test", "--name", "Zoe Changed", "--note", "Birthday", "--birthday", "19800101"});
    ASSERT_EQ(r.exit, 0) << r.err;
    record = RecordFromFile(PhoneFile("/app/dir/smpb3"), 0);
    EXPECT_EQ(GetText(*record, Field::Name), "Zoe Changed");
    EXPECT_EQ(GetText(*record, Field::Detail11), "19800101");

    // The rules refuse before anything reaches the phone.
    r = Telvane({"edit", "Zoe Changed", "--birthday", "1980-01-01"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("A number may only contain"), std::string::npos) << r.err;
    r = Telvane({"add", "--sim", "--name", "Too long a SIM name", "--number", "1"});
    EXPECT_EQ(r.exit, 1);
    r = Telvane({"delete", "nobody"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "telvane: no entry is called nobody\n");

    r = Telvane({"add", "--sim", "--name", "Dr Who", "--number", "+8613000000001"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "sim:26\n");  // the first free SIM location
    EXPECT_NE(SimPhone::ReadAll(phone->state() / "sim" / "phonebook").find("26\t+8613000000001\tDr Who"),
              std::string::npos);

    ASSERT_EQ(Telvane({"delete", "handset:61"}).exit, 0);
    table = PhoneFile("/app/dir/smpbtab");
    EXPECT_EQ(table[60 * kSmpbtabEntrySize], 0xFF);
    EXPECT_EQ(table[60 * kSmpbtabEntrySize + 1], 0xFF);
    ASSERT_EQ(Telvane({"delete", "Dr Who"}).exit, 0);
    EXPECT_EQ(SimPhone::ReadAll(phone->state() / "sim" / "phonebook").find("Dr Who"), std::string::npos);

    r = Telvane({"usage"});
    EXPECT_EQ(r.out, "SIM\t30/250\t12%\nHandset\t60/500\t12%\n");
}

TEST_F(CliPhonebook, EveryFileFormRoundTripsThroughThePhone)
{
    const auto before = PhoneRecords("before.phb");
    ASSERT_EQ(before.size(), 90u);
    for (const char* form : {"book.phb", "book.vcf", "book.csv"}) {
        const std::string path = (phone->dir() / form).string();
        ASSERT_EQ(Telvane({"export", path}).exit, 0);
        Result r = Telvane({"import", path, "--replace"});
        ASSERT_EQ(r.exit, 0) << form << r.err;
        EXPECT_NE(r.err.find("90 entries were imported."), std::string::npos) << r.err;
        const auto after = PhoneRecords(std::string("after_") + form + ".phb");
        if (std::string_view(form).ends_with("csv"))
            EXPECT_EQ(CsvView(after), CsvView(before)) << form;
        else
            EXPECT_EQ(after, before) << form;
    }
    // A dry run says what would change and changes nothing.
    const std::string path = (phone->dir() / "book.vcf").string();
    Result r = Telvane({"import", path, "--dry-run"});
    ASSERT_EQ(r.exit, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 90);
    EXPECT_TRUE(r.out.starts_with("add\t"));
    EXPECT_EQ(PhoneRecords("again.phb").size(), 90u);
}

// The pure pieces of file transfer and phone services: reply parsers, the
// block command, the numbers of a message to send, the version list, the
// file lines and the header rewrite of the message file.

#include "quorlink/codecs/pdu.h"
#include "quorlink/link/file_transfer.h"
#include "quorlink/link/phone_services.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace quorlink::link;

TEST(TransferParsers, GetReplyFields)
{
    struct Case {
        std::string_view line;
        bool parsed;
        long count;
        std::string_view data;
    } cases[] = {
        {"*GET: 3,QUJD,QQ==", true, 3, "QUJD"},
        {"*GET:3,QUJD", true, 3, "QUJD"},  // no check field
        {"*GET: 0,", true, 0, ""},  // end of file
        {"*GET: 0,QUJD,xx", true, 0, "QUJD"},  // data on the end line (ignored by the caller)
        {"*GET: 12", true, 12, ""},  // no comma at all
        {"*GET: ,QUJD", false, 0, ""},  // no count
        {"*GET QUJD", false, 0, ""},  // no colon
        {"*GET: 1024,AAAA,AAAA,extra", true, 1024, "AAAA"},
    };
    for (const auto& c : cases) {
        const auto r = ParseGetReply(c.line);
        ASSERT_EQ(r.has_value(), c.parsed) << c.line;
        if (!r)
            continue;
        EXPECT_EQ(r->count, c.count) << c.line;
        EXPECT_EQ(r->data, c.data) << c.line;
    }
}

TEST(TransferParsers, StartUploadSize)
{
    const std::pair<std::string_view, long> cases[] = {
        {"*STARTUL: 100000", 100000},
        {"*STARTUL:7", 7},
        {"*STARTUL", 0},
        {"*STARTUL: x", 0},
        {"*STARTUL: 12,3", 12},
        {"*STARTUL: 99999999999999999999", 2147483647}};  // held to what a record can carry
    for (const auto& [line, size] : cases)
        EXPECT_EQ(StartUploadSize(line), size) << line;
}

TEST(TransferParsers, PutCommandCarriesIndexCountDataAndCheck)
{
    const uint8_t abc[] = {'A', 'B', 'C'};
    EXPECT_EQ(PutCommand(0, abc), "AT*PUT=0,3,QUJD,QA==\r");  // 0x41^0x42^0x43 = 0x40
    const uint8_t cancel[] = {0x5A, 0x5A};
    EXPECT_EQ(PutCommand(7, cancel), "AT*PUT=7,2,Wlo=,AA==\r");  // bytes that cancel: check 0
    std::vector<uint8_t> full(kPutBlockBytes, 0xFF);
    const std::string command = PutCommand(1, full);
    EXPECT_EQ(command.size(), std::string("AT*PUT=1,108,").size() + 144 + 1 + 4 + 1);
    EXPECT_EQ(command.substr(command.size() - 6), ",AA==\r");  // an even count of 0xFF cancels
}

TEST(ServiceParsers, FieldsOfResultLines)
{
    EXPECT_EQ(NumberAfterComma("+CPBS: \"SM\",30,250", 1), 30);
    EXPECT_EQ(NumberAfterComma("+CPBS: \"SM\",30,250", 2), 250);
    EXPECT_EQ(NumberAfterComma("+CPBS: \"SM\",30", 2), 0);
    EXPECT_EQ(NumberAfterComma("+CPMS: 1,123456789012", 1), 2147483647);
    EXPECT_EQ(NumberAfterComma("+CPMS: \"SM\", 7, 50,\"SM\",7,50", 2), 50);
    EXPECT_EQ(IndexField("+CPBR: 12,\"1\",129,\"00\"").value_or("?"), " 12");
    EXPECT_FALSE(IndexField("+CPBR: 12"));
    EXPECT_EQ(QuotedField("+CSCA: \"+8613800100500\",145", 1).value_or("?"), "+8613800100500");
    EXPECT_EQ(QuotedField("a \"x\" b \"y\"", 2).value_or("?"), "y");
    EXPECT_FALSE(QuotedField("a \"x\" b \"y", 2));
}

TEST(ServiceParsers, PhonebookLines)
{
    struct Case {
        std::string_view cpbr;
        std::optional<std::string> line;
    } cases[] = {
        // Name in UCS2 hexadecimal: ASCII and two GBK characters (C4E3 BAC3).
        {"+CPBR: 1,\"13800000001\",129,\"0041004200430020\"", " 1,13800000001,ABC \r\n"},
        {"+CPBR: 250,\"+8613900000002\",145,\"4F60597D\"", " 250,+8613900000002,\xC4\xE3\xBA\xC3\r\n"},
        {"+CPBR: 3,\"\",129,\"\"", " 3,,\r\n"},
        {"+CPBR: 4,\"1\",129", std::nullopt},  // no name
        {"+CPBR: 5", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PhonebookLine(c.cpbr), c.line) << c.cpbr;
}

TEST(ServiceParsers, StatusWordsAndTimeStamps)
{
    EXPECT_EQ(StatusWord(0).value_or("?"), "REC UNREAD");
    EXPECT_EQ(StatusWord(3).value_or("?"), "STO SENT");
    EXPECT_EQ(StatusWord(4).value_or("?"), "ALL");
    EXPECT_FALSE(StatusWord(5));
    EXPECT_FALSE(StatusWord(-1));
    EXPECT_EQ(MessageTimeStamp("26121114524532").value_or("?"), "26/12/11,14:52:45");
    EXPECT_EQ(MessageTimeStamp("261211145245").value_or("?"), "26/12/11,14:52:45");
    EXPECT_FALSE(MessageTimeStamp("2612111452"));
    EXPECT_FALSE(MessageTimeStamp("26121114524x"));
}

TEST(ServiceParsers, MessageFieldsKeepLineBreaksAsLfAndStampOnlyReceived)
{
    SM_PARAM m{};
    std::strcpy(m.address, "+8613800001111");
    std::strcpy(m.timeStamp, "26120801020300");
    std::strcpy(m.userData, "one\r\ntwo\rthre\x04\r\n");  // 7-bit: GSM codes, 0x04 e grave
    m.status = 1;
    const int n = static_cast<int>(std::strlen(m.userData));
    EXPECT_EQ(MessageFields(m, n), "+8613800001111,26/12/08,01:02:03,one\ntwo\nthre\xA8\xA8\n");
    m.status = 2;
    EXPECT_EQ(MessageFields(m, n), "+8613800001111,one\ntwo\nthre\xA8\xA8\n");
    // Filed as received without a stamp of its own (a submit): the date and
    // time fields are there, empty, so the text stays the text.
    m.status = 0;
    m.timeStamp[0] = 0;
    std::strcpy(m.userData, "a,b");
    EXPECT_EQ(MessageFields(m, 3), "+8613800001111,,,a,b");
}

TEST(SendNumbers, ServiceCentreAndDestinationRules)
{
    struct Case {
        std::string_view centre, destination, wantCentre, wantDestination;
    } cases[] = {
        // "+" and 86: eleven national digits get 86 in front; "+" is only dropped.
        {"+8613800100500", "13912345678", "8613800100500", "8613912345678"},
        {"+8613800100500", "+447700900123", "8613800100500", "447700900123"},
        {"+8613800100500", "8613912345678", "8613800100500", "8613912345678"},
        // The country prefix is the first two digits of an international centre.
        {"+447785016005", "07700900123", "447785016005", "4407700900123"},
        // Without "+": from the first "86" on, else 86 and at most 13 characters.
        {"008613800100500", "13912345678", "8613800100500", "8613912345678"},
        {"13800100500", "13912345678", "8613800100500", "8613912345678"},
        {"12345678901234567", "1", "861234567890123", "861"},
    };
    for (const auto& c : cases) {
        const SendNumbers n = NumbersForSend(c.centre, c.destination);
        EXPECT_EQ(n.serviceCentre, c.wantCentre) << c.centre << " " << c.destination;
        EXPECT_EQ(n.destination, c.wantDestination) << c.centre << " " << c.destination;
    }
}

TEST(VersionList, EntriesArePrefixesWithoutCase)
{
    struct Case {
        std::string_view version, list;
        bool accepted;
    } cases[] = {
        {"V318_R1.2", "V318", true}, {"v318_r1.2", "V317\rV318_R", true}, {"V318_R1.2", "V317\rV319", false},
        {"V3", "V318", false},  // the version must be at least as long as the entry
        {"V318", "V317\r", true},  // a trailing carriage return leaves an empty entry
        {"anything", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionAccepted(c.version, c.list), c.accepted) << c.version;
}

class HeaderRewrite : public ::testing::TestWithParam<std::pair<std::string, std::string>> { };

TEST_P(HeaderRewrite, KeepsEveryMessageLine)
{
    const auto path = (std::filesystem::temp_directory_path() / ("hdr" + std::to_string(::getpid()))).string();
    const std::string body = "\r\n 1,REC READ,+861,26/12/08,01:02:03,hello\r\n 2,STO SENT,+862,x\r\n";
    std::ofstream(path, std::ios::binary) << GetParam().first << body;
    ASSERT_TRUE(ReplaceFileHeader(path, GetParam().second));
    std::stringstream got;
    got << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(got.str(), GetParam().second + body);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Counts, HeaderRewrite,
                         ::testing::Values(std::pair{std::string("50,9"), std::string("50,8")},  // same digits
                                           std::pair{std::string("50,9"), std::string("50,10")},  // one more
                                           std::pair{std::string("50,10"), std::string("50,9")},  // one fewer
                                           std::pair{std::string("0,0"), std::string("250,120")}));

TEST(HeaderRewriteAlone, FileWithoutMessages)
{
    const auto path = (std::filesystem::temp_directory_path() / ("hdr1" + std::to_string(::getpid()))).string();
    std::ofstream(path, std::ios::binary) << "50,0";
    ASSERT_TRUE(ReplaceFileHeader(path, "50,12"));
    std::stringstream got;
    got << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(got.str(), "50,12");
    std::filesystem::remove(path);
    EXPECT_FALSE(ReplaceFileHeader(path, "1,1"));  // gone: failure, nothing created
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace

// Result tables, result records and how results reach a caller.
#include "brindel/dwl_result.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

struct TextCase {
    int family;
    int code;
    const char* expected;
};

TEST(ResultTexts, ExactTextsOfEveryTable)
{
    const TextCase cases[] = {
        {0, 0, "DOWNLOAD SUCCESSFULL"},
        {0, 57, "DOWNLOAD SUCCESSFULL"},
        {1, 3, "Error during the download"},
        {2, 2, "The file flash.txt not found"},
        {2, 3, "Problem with parameter NEW_FLASH in the file flash.txt"},
        {2, 11, "Problem with parameter START_SECTOR_DESCRIPTION in the file flash.txt"},
        {2, 14, "Problem with parameter BAD_SECTOR_END in the file flash.txt"},
        {2, 17, "A flash description has to many number of sector"},
        {2, 20, "Not enough sector to download this software"},
        {3, 2, "There is no configuration file"},
        {3, 3, "Impossible to find the sofware file"},
        {3, 14, "Bad download type description in configuration file"},
        {4, 4, "The size of the SPM is too long"},
        {4, 5, "Bad length when you want to convert Little - big indien"},
        {4, 7, "PC uart problem"},
        {5, 4, "TIME OUT"},
        {5, 5, "BOOT FROM A PCF5085. Please select a project specific to a PCF5085"},
        {5, 11, "Problem with program in external RAM : StackPointer not set"},
        {5, 15, "The terminal GSM flash id is unknown"},
        {6, 10, "The address of packdata must be different of 0x0 or must begin at the start sector"},
        {6, 12, "Compatibility problem: Bad mobile manufacturer"},
        {7, 2, "Bad command acknowledge"},
        {7, 15, "Erase processing failed DQ6 bis"},
        {7, 24, "Bad download type"},
        {8, 1, "Problem : Bad acknowledge when the sector download start"},
        {9, 0, "Problem : Error during the sector donwload"},
        {10, 0xC3, "Problem : Error acknowledge during the sector donwload"},
        {11, 204, "Problem : Bad checksum"},
        {12, 0, "Timeout during the download"},
        {13, 8, "File size is over first bank size. It can not be loaded in the dual bank Flash Memory"},
        {14, 4, "Size of block file is NULL"},
        {15, 0, "Bad Mobile Manufacturer"},
        {17, 0, "Problem3_11 Not define vl_SoftCodeErr Problem"},
        {-1, 1, "Problem3_11 Not define vl_SoftCodeErr Problem"},
        {5, 99, "Unknown code"},
        {5, -1, "Unknown code"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(dwl_GetResultMessage(c.family, c.code), c.expected) << "family " << c.family << " code " << c.code;
}

// Every code table runs from its _NOK name through its _OK name to its _END
// name, all with the same prefix, so that a shifted row shows up here.
TEST(ResultTexts, TablesAreFramedByTheirNames)
{
    struct Frame {
        int family;
        const char* prefix;
        int endCode;
    };
    const Frame frames[] = {
        {2, "DWL_FLASH", 21}, {3, "DWL_CONF", 15},    {4, "DWL_PCLIB", 8}, {5, "DWL_BOOT", 16},
        {6, "DWL_COMP", 13},  {7, "DWL_COMMAND", 25}, {13, "DWL_5085", 9}, {14, "DWL_DLL", 5},
    };
    for (const auto& f : frames) {
        const std::string p = f.prefix;
        EXPECT_EQ(dwl_GetCodeCount(f.family), f.endCode + 1) << p;
        EXPECT_EQ(dwl_GetResultMessage(f.family, 0), p + "_NOK");
        EXPECT_EQ(dwl_GetResultMessage(f.family, 1), p + "_OK");
        EXPECT_EQ(dwl_GetResultMessage(f.family, f.endCode), p + "_END");
    }
}

TEST(ResultTexts, FamilyNames)
{
    EXPECT_STREQ(dwl_GetFamilyName(0), "DWL_SOFT_OK");
    EXPECT_STREQ(dwl_GetFamilyName(5), "DWL_SOFT_BOOT_ERR");
    EXPECT_STREQ(dwl_GetFamilyName(11), "DWL_SOFT_DOWNLOAD_SECTOR_CHECKSUM");
    EXPECT_STREQ(dwl_GetFamilyName(15), "DWL_SOFT_BAD_MOBILE_MANUFAC");
    EXPECT_STREQ(dwl_GetFamilyName(16), "DWL_SOFT_END");
    EXPECT_EQ(dwl_GetFamilyName(17), nullptr);
    EXPECT_EQ(dwl_GetFamilyName(-1), nullptr);
}

TEST(ResultRecord, DefaultsToNoComment)
{
    static_assert(sizeof(DownloadResult) == 100);
    DownloadResult r;
    std::memset(&r, 0x5A, sizeof r);
    dwl_SetResult(&r, 5, 4);
    EXPECT_EQ(r.family, 5);
    EXPECT_EQ(r.code, 4);
    EXPECT_STREQ(r.comment, "no comment");
    EXPECT_EQ(r.comment[sizeof r.comment - 1], '\0');
}

std::vector<DownloadResult> g_Received;
void Collect(const DownloadResult* r)
{
    g_Received.push_back(*r);
}

TEST(DisplayResult, WithoutOperatorWindowGoesToTheCallback)
{
    g_Received.clear();
    sg_DownloadContext.resultCallback = &Collect;
    dwl52_10DisplayResult(11, 204);
    dwl52_10DisplayResult(0, 0);
    dwl52_10DisplayResult(40, 1);
    sg_DownloadContext.resultCallback = nullptr;
    dwl52_10DisplayResult(5, 4);  // no callback: nothing happens

    ASSERT_EQ(g_Received.size(), 3u);
    EXPECT_EQ(g_Received[0].family, 11);
    EXPECT_EQ(g_Received[0].code, 204);
    EXPECT_STREQ(g_Received[0].comment, "Problem : Bad checksum");
    EXPECT_STREQ(g_Received[1].comment, "DOWNLOAD SUCCESSFULL");
    EXPECT_STREQ(g_Received[2].comment, "Problem3_11 Not define vl_SoftCodeErr Problem");
}

}  // namespace

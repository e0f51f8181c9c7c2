// "flash.txt" reading and the sector queries.
#include "brindel/dwl10fla.h"
#include "brindel/dwl_result.h"
#include "tools/simphone/boot/flash_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Parse(const std::string& text)
{
    return dwl10_102ParseFlashDescription(text.data(), text.size());
}

// One description with CR LF line ends; `sectorLines` go between the start
// and end lines of the sector map.
std::string Description(int manufacturer, int device, int sectors, const std::vector<std::string>& sectorLines,
                        const std::string& deviceName = "DEV")
{
    std::string s = "NEW_FLASH\r\nMANUFACTURER_NAME : MAKER\r\nDEVICE_NAME : " + deviceName +
        "\r\nPHILIPS_PRODUCT : PCF5087\r\nMANUFACTURER_ID : " + std::to_string(manufacturer) +
        "\r\nDEVICE_ID : " + std::to_string(device) + "\r\nNB_BANKS : 1\r\nNB_SECTORS : " + std::to_string(sectors) +
        "\r\nSTART_SECTOR_DESCRITPION\r\n";
    for (const auto& l : sectorLines)
        s += l + "\r\n";
    return s + "END_SECTOR_DESCRIPTION\r\nEND_FLASH\r\n";
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// A broken line in a file whose first description is sound: the error code,
// and the first description stays usable.
TEST(FlashFile, EachBrokenLineGivesItsCode)
{
    const std::string good = Description(1, 2, 4, {"0-3*65536*0"});
    const std::string second = Description(3, 4, 4, {"0-3*65536*0"});
    struct Case {
        std::string from, to;
        int expected;
    };
    const Case cases[] = {
        {"NEW_FLASH", "NEW_FLASK", DWL_FLASH_NEW_FLASH},
        {"MANUFACTURER_NAME : ", "MANUFACTURER_NAME: ", DWL_FLASH_MANUFACTURER_NAME},
        {"DEVICE_NAME : ", "DEVICE NAME : ", DWL_FLASH_DEVICE_NAME},
        {"PHILIPS_PRODUCT : ", "PRODUCT : ", DWL_FLASH_PHILIPS_PRODUCT},
        {"MANUFACTURER_ID : ", "MANUFACTURER_ID = ", DWL_FLASH_MANUFACTURER_ID},
        {"DEVICE_ID : ", "DEVICEID : ", DWL_FLASH_DEVICE_ID},
        {"NB_BANKS : ", "NB_BANK : ", DWL_FLASH_NB_BANKS},
        {"NB_SECTORS : ", "NB_SECTOR : ", DWL_FLASH_NB_SECTORS},
        {"START_SECTOR_DESCRITPION", "START_SECTOR_DESCRIPTION", DWL_FLASH_START_SECTOR},
        {"END_FLASH", "END_FLASHES_NOT", DWL_OK},  // only the start of the line counts
        {"END_FLASH", "ENDFLASH", DWL_FLASH_END_FLASH},
        {"0-3*65536*0", "4*65536*0", DWL_FLASH_BAD_SECTOR_START},
        {"0-3*65536*0", "0-4*65536*0", DWL_FLASH_BAD_SECTOR_END},
        {"0-3*65536*0", "*65536*0", DWL_FLASH_BAD_SECTOR_START},
        {"NB_SECTORS : 4", "NB_SECTORS : 513", DWL_FLASH_TOO_MANY_SECTORS},
        {"NB_SECTORS : 4", "NB_SECTORS : 65540", DWL_FLASH_TOO_MANY_SECTORS},
        {"MANUFACTURER_ID : 3", "MANUFACTURER_ID : 259", DWL_FLASH_MANUFACTURER_ID},
        {"DEVICE_ID : 4", "DEVICE_ID : 260", DWL_FLASH_DEVICE_ID},
    };
    for (const auto& c : cases) {
        const int rc = Parse(good + "# between\r\n\r\n" + Replace(second, c.from, c.to));
        EXPECT_EQ(rc, c.expected) << c.from << " -> " << c.to;
        uint8_t index = 99;
        EXPECT_EQ(dwl10_500GetFlashIndex(1, 2, &index), DWL_OK);
        EXPECT_EQ(index, 0);
        if (c.expected != DWL_OK) {
            EXPECT_EQ(vg_FlashDescritpion.numberOfDescriptions, 1) << c.from;
        }
    }
}

TEST(FlashFile, EndsEarlyWithoutItsEndLines)
{
    const std::string d = Description(1, 2, 4, {"0-3*65536*0"});
    EXPECT_EQ(Parse(d.substr(0, d.find("END_SECTOR"))), DWL_FLASH_END_FLASH);
    EXPECT_EQ(Parse(d.substr(0, d.find("END_FLASH"))), DWL_FLASH_END_FLASH);
    EXPECT_EQ(Parse(d.substr(0, d.find("NB_BANKS"))), DWL_FLASH_NB_BANKS);
    EXPECT_EQ(vg_FlashDescritpion.numberOfDescriptions, 0);
}

TEST(FlashFile, CommentsEmptyLinesAndLineEnds)
{
    EXPECT_EQ(Parse(""), DWL_OK);
    EXPECT_EQ(vg_FlashDescritpion.numberOfDescriptions, 0);
    EXPECT_EQ(Parse("# only a comment\r\n\r\n#another"), DWL_OK);
    // LF-only lines and a last line without its line end are read the same way.
    std::string lf = Description(1, 2, 2, {"0-1*8192*0"});
    std::string unix_text;
    for (char c : lf)
        if (c != '\r')
            unix_text += c;
    unix_text.pop_back();
    EXPECT_EQ(Parse("#x\n" + unix_text), DWL_OK);
    EXPECT_EQ(vg_FlashDescritpion.numberOfDescriptions, 1);
    // A comment inside a description is not allowed.
    EXPECT_EQ(Parse(Replace(lf, "DEVICE_NAME", "# note\r\nDEVICE_NAME")), DWL_FLASH_DEVICE_NAME);
}

TEST(FlashFile, TwentyDescriptionsAtMost)
{
    std::string text;
    for (int i = 0; i < 21; ++i)
        text += Description(1, i, 1, {"0*8192*0"});
    EXPECT_EQ(Parse(text), DWL_FLASH_TOO_MANY);
    EXPECT_EQ(vg_FlashDescritpion.numberOfDescriptions, 20);
    uint8_t index = 0;
    EXPECT_EQ(dwl10_500GetFlashIndex(1, 19, &index), DWL_OK);
    EXPECT_EQ(index, 19);
    EXPECT_EQ(dwl10_500GetFlashIndex(1, 20, &index), DWL_FLASH_ID_UNKNOWN);
}

TEST(FlashFile, FieldsNamesAndIds)
{
    ASSERT_EQ(Parse(Description(137, 24, 512, {"0-511*131072*0"}, "A_VERY_LONG_DEVICE_NAME")), DWL_OK);
    const T_FlashEntry& e = vg_FlashDescritpion.descriptions[0];
    EXPECT_EQ(e.manufacturerId, 0x89);  // written in decimal
    EXPECT_EQ(e.deviceId, 24);
    EXPECT_EQ(e.numberOfSectors, 512);
    char man[DWL_FLASH_NAME_LENGTH], dev[DWL_FLASH_NAME_LENGTH];
    ASSERT_EQ(dwl10_6GetManufacturerAndFlashName(0x89, 24, man, dev), DWL_OK);
    EXPECT_STREQ(man, "MAKER");
    EXPECT_STREQ(dev, "A_VERY_LONG_DE");  // 14 characters kept
    uint32_t size = 0;
    EXPECT_EQ(dwl10_5GetFlashSize(0x89, 24, &size), DWL_OK);
    EXPECT_EQ(size, 512u * 131072u);
    EXPECT_EQ(dwl10_6GetManufacturerAndFlashName(0x89, 25, man, dev), DWL_FLASH_ID_UNKNOWN);
}

TEST(FlashFile, SameIdentificationTwiceUsesTheFirst)
{
    ASSERT_EQ(Parse(Description(1, 2, 1, {"0*8192*0"}, "FIRST") + Description(1, 2, 1, {"0*4096*0"}, "SECOND")),
              DWL_OK);
    char man[DWL_FLASH_NAME_LENGTH], dev[DWL_FLASH_NAME_LENGTH];
    ASSERT_EQ(dwl10_6GetManufacturerAndFlashName(1, 2, man, dev), DWL_OK);
    EXPECT_STREQ(dev, "FIRST");
    int32_t size = 0;
    EXPECT_EQ(dwl10_0GetSectorSize(1, 2, 0, &size), DWL_OK);
    EXPECT_EQ(size, 8192);
}

TEST(FlashFile, LaterSectorLinesOverwriteAndUnnamedSectorsAreEmpty)
{
    ASSERT_EQ(Parse(Description(1, 2, 6, {"0-4*65536*0", "2*8192*1", "3 - 3 * 4096 * 1"})), DWL_OK);
    const int32_t expectedSize[] = {65536, 65536, 8192, 4096, 65536, 0};
    const uint8_t expectedBank[] = {0, 0, 1, 1, 0, 0};
    for (uint16_t s = 0; s < 6; ++s) {
        int32_t size = -1;
        uint8_t bank = 9;
        EXPECT_EQ(dwl10_0GetSectorSize(1, 2, s, &size), DWL_OK);
        EXPECT_EQ(dwl10_4GetSectorBank(1, 2, s, &bank), DWL_OK);
        EXPECT_EQ(size, expectedSize[s]) << s;
        EXPECT_EQ(bank, expectedBank[s]) << s;
    }
    uint32_t total = 0, count = 0;
    EXPECT_EQ(dwl10_5GetFlashSize(1, 2, &total), DWL_OK);
    EXPECT_EQ(total, 3u * 65536 + 8192 + 4096);
    EXPECT_EQ(dwl10_1GetNumberOfSector(1, 2, &count), DWL_OK);
    EXPECT_EQ(count, 6u);
    int32_t size = 0;
    uint8_t bank = 0;
    EXPECT_EQ(dwl10_0GetSectorSize(1, 2, 6, &size), DWL_FLASH_BAD_SECTOR_NUMBER);
    EXPECT_EQ(dwl10_4GetSectorBank(1, 2, 600, &bank), DWL_FLASH_BAD_SECTOR_NUMBER);
    EXPECT_EQ(dwl10_0GetSectorSize(9, 9, 0, &size), DWL_FLASH_ID_UNKNOWN);
}

TEST(SectorQueries, SectorStartingAtAnOffset)
{
    // Four 8 KiB sectors, then two of 64 KiB.
    ASSERT_EQ(Parse(Description(1, 2, 6, {"0-3*8192*0", "4-5*65536*0"})), DWL_OK);
    struct Case {
        uint32_t offset;
        int rc;
        uint16_t sector;
    };
    const Case cases[] = {
        {0, DWL_OK, 0},
        {8192, DWL_OK, 1},
        {16384, DWL_OK, 2},
        {10000, DWL_FLASH_NO_SECTOR_AT_ADDR, 0},
        {32768, DWL_OK, 4},
        {32768 + 65536, DWL_OK, 5},
        {32768 + 2 * 65536, DWL_FLASH_NO_SECTOR_AT_ADDR, 0},  // the end of the flash
        {0xFFFFFFFF, DWL_FLASH_NO_SECTOR_AT_ADDR, 0},
    };
    for (const auto& c : cases) {
        uint16_t sector = 777;
        EXPECT_EQ(dwl10_2GetSectorNumberWithStartAddr(1, 2, c.offset, &sector), c.rc) << c.offset;
        if (c.rc == DWL_OK) {
            EXPECT_EQ(sector, c.sector) << c.offset;
        }
    }
    uint16_t sector = 0;
    EXPECT_EQ(dwl10_2GetSectorNumberWithStartAddr(3, 3, 0, &sector), DWL_FLASH_ID_UNKNOWN);
}

TEST(SectorQueries, SectorsCoveringARange)
{
    ASSERT_EQ(Parse(Description(1, 2, 6, {"0-3*8192*0", "4-5*65536*0"})), DWL_OK);
    struct Case {
        uint32_t offset, length;
        int rc;
        std::vector<uint16_t> sectors;
        uint32_t total;
    };
    const Case cases[] = {
        {32768, 1, DWL_OK, {4}, 65536},
        {0, 8192, DWL_OK, {0}, 8192},
        {0, 8193, DWL_OK, {0, 1}, 16384},
        {8192, 3 * 8192 + 1, DWL_OK, {1, 2, 3, 4}, 3 * 8192 + 65536},
        {0, 32768 + 2 * 65536, DWL_OK, {0, 1, 2, 3, 4, 5}, 32768 + 2 * 65536},
        {0, 32768 + 2 * 65536 + 1, DWL_FLASH_NOT_ENOUGH_SECTORS, {}, 0},
        {4096, 10, DWL_FLASH_NO_SECTOR_AT_ADDR, {}, 0},
        {8192, 0, DWL_OK, {}, 0},
    };
    for (const auto& c : cases) {
        T_SectorList list{};
        EXPECT_EQ(dwl10_3GetSectorList(1, 2, c.offset, c.length, &list), c.rc) << c.offset << "+" << c.length;
        if (c.rc != DWL_OK)
            continue;
        EXPECT_EQ(std::vector<uint16_t>(list.sectors, list.sectors + list.count), c.sectors);
        EXPECT_EQ(list.totalSize, c.total);
    }
    T_SectorList list{};
    EXPECT_EQ(dwl10_3GetSectorList(7, 7, 0, 1, &list), DWL_FLASH_ID_UNKNOWN);
}

TEST(SectorQueries, WholeFiveHundredTwelveSectorFlash)
{
    ASSERT_EQ(Parse(Description(1, 2, 512, {"0-511*131072*0"})), DWL_OK);
    T_SectorList list{};
    ASSERT_EQ(dwl10_3GetSectorList(1, 2, 0, 512u * 131072u, &list), DWL_OK);
    EXPECT_EQ(list.count, 512);
    EXPECT_EQ(list.sectors[511], 511);
    EXPECT_EQ(dwl10_3GetSectorList(1, 2, 0, 512u * 131072u + 1, &list), DWL_FLASH_NOT_ENOUGH_SECTORS);
}

TEST(FlashFile, MissingFile)
{
    ASSERT_EQ(Parse(Description(1, 2, 1, {"0*8192*0"})), DWL_OK);
    EXPECT_EQ(dwl10_101InitFlashDescriptionFromFile("/nonexistent/flash.txt"), DWL_FLASH_NOT_FOUND);
    EXPECT_EQ(vg_FlashDescritpion.numberOfDescriptions, 0);  // reading again starts empty
}

// The file shipped with the engine: every description reads, and the sample
// phone's flash (128 KiB sectors) is there.
TEST(ShippedFlashFile, DescribesTheKnownChips)
{
    ASSERT_EQ(dwl10_101InitFlashDescriptionFromFile(BRINDEL_FLASH_TXT), DWL_OK);
    EXPECT_GE(vg_FlashDescritpion.numberOfDescriptions, 10);
    uint32_t count = 0, size = 0;
    ASSERT_EQ(dwl10_1GetNumberOfSector(0x89, 0x18, &count), DWL_OK);
    ASSERT_EQ(dwl10_5GetFlashSize(0x89, 0x18, &size), DWL_OK);
    EXPECT_EQ(count, 128u);
    EXPECT_EQ(size, 16u << 20);
    uint16_t sector = 0;
    EXPECT_EQ(dwl10_2GetSectorNumberWithStartAddr(0x89, 0x18, 0x20000, &sector), DWL_OK);
    EXPECT_EQ(sector, 1);
    // The chips whose flash identification has a third byte are described.
    EXPECT_EQ(dwl10_1GetNumberOfSector(0x01, 0xE3, &count), DWL_OK);
    EXPECT_EQ(dwl10_1GetNumberOfSector(0x01, 0xE4, &count), DWL_OK);
    // Every description uses only accepted manufacturers, has no empty
    // sector, and two-bank chips have sectors in both banks.
    bool twoBanks = false;
    for (uint8_t i = 0; i < vg_FlashDescritpion.numberOfDescriptions; ++i) {
        const T_FlashEntry& e = vg_FlashDescritpion.descriptions[i];
        const uint8_t m = e.manufacturerId;
        EXPECT_TRUE(m == 0x01 || m == 0x04 || m == 0x07 || m == 0x20 || m == 0x2C || m == 0x89 || m == 0x98)
            << e.deviceName;
        bool bank1 = false;
        for (uint16_t s = 0; s < e.numberOfSectors; ++s) {
            EXPECT_GT(e.sectors[s].size, 0u) << e.deviceName << " sector " << s;
            EXPECT_LT(e.sectors[s].bank, e.numberOfBanks) << e.deviceName << " sector " << s;
            bank1 = bank1 || e.sectors[s].bank == 1;
        }
        if (e.numberOfBanks == 2) {
            EXPECT_TRUE(bank1) << e.deviceName;
            twoBanks = true;
        }
        // The emulator's flash of that chip is as large as described, so every
        // sector the engine programs or reads exists on the phone side.
        EXPECT_EQ(simphone::boot::KnownFlashSize(m, e.deviceId), e.flashSize) << e.deviceName;
    }
    EXPECT_TRUE(twoBanks);
}

}  // namespace

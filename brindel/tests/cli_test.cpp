// The brindel program end to end: flash-info and config on files, boot on a
// pseudo-terminal with the emulator's boot ROM.
#include "support/boot_phone.h"
#include "support/cli_run.h"
#include "support/pty_phone.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using brindel_test::CliResult;

CliResult Brindel(const std::string& args)
{
    return brindel_test::RunProgram(BRINDEL_CLI, args);
}

std::string LastLine(const std::string& text)
{
    std::string t = text;
    while (!t.empty() && t.back() == '\n')
        t.pop_back();
    return t.substr(t.rfind('\n') == std::string::npos ? 0 : t.rfind('\n') + 1);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_.Enter();
        ::setenv("TELVANE_SERIAL_DIR", dir_.path().c_str(), 1);
        dir_.Write("loader.spm", std::vector<uint8_t>(512, 0x11));
    }
    void TearDown() override { ::unsetenv("TELVANE_SERIAL_DIR"); }

    std::unique_ptr<brindel_test::PtyPhone> Serve(const std::string& chip, bool withId = false, uint8_t man = 0,
                                                  uint8_t dev = 0)
    {
        auto phone =
            std::make_unique<brindel_test::PtyPhone>(brindel_test::BootPhone(chip, withId, man, dev), dir_.path(), 6);
        EXPECT_TRUE(phone->ok());
        return phone;
    }

    brindel_test::TempDir dir_;
};

TEST_F(CliTest, BootPrintsChipFlashAndResult)
{
    auto phone = Serve("pcf5087");
    const CliResult r =
        Brindel("boot --port 6 --project 4 --spm " + dir_.path() + "/loader.spm --flash-file " + BRINDEL_FLASH_TXT);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "BOOT FROM A PCF5087\n Flash INTEL 28F128J3\nDWL_SOFT_OK: DOWNLOAD SUCCESSFULL\n");
}

TEST_F(CliTest, BootFailuresAreResults)
{
    {
        auto phone = Serve("pcf5085");
        const CliResult r = Brindel("boot --port 6 --project 3 --spm " + dir_.path() + "/loader.spm");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(LastLine(r.out),
                  "DWL_SOFT_BOOT_ERR: BOOT FROM A PCF5085. Please select a project specific to a PCF5085");
    }
    {
        auto phone = Serve("pcf5087", true, 0x89, 0x99);
        const CliResult r =
            Brindel("boot --port 6 --project 4 --spm " + dir_.path() + "/loader.spm --flash-file " + BRINDEL_FLASH_TXT);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(LastLine(r.out),
                  "DWL_SOFT_FLASH_ERR: The flash id is not known (Not description in the file flash.txt)");
    }
    {
        auto phone = Serve("pcf5087");
        const CliResult r = Brindel("boot --port 6 --project 4 --spm " + dir_.path() + "/none.spm");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(LastLine(r.out), "DWL_SOFT_LIB_PC_ERR: File not found");
    }
    const CliResult noPhone = Brindel("boot --port 7 --project 4");
    EXPECT_EQ(noPhone.exitCode, 1);
    EXPECT_EQ(LastLine(noPhone.out), "DWL_SOFT_LIB_PC_ERR: PC uart problem");
    EXPECT_EQ(Brindel("boot --port 6").exitCode, 2);
    EXPECT_EQ(Brindel("boot --port 6 --project 9").exitCode, 2);
}

TEST_F(CliTest, FlashInfoAndConfig)
{
    CliResult r = Brindel(std::string("flash-info --file ") + BRINDEL_FLASH_TXT);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("INTEL 28F128J3: manufacturer 0x89, device 0x18, 1 bank(s), 128 sectors, 16777216 bytes\n"
                         "  sectors 0-127: 131072 bytes each, bank 0\n"),
              std::string::npos);
    EXPECT_EQ(LastLine(r.out), "DWL_SOFT_OK: DOWNLOAD SUCCESSFULL");

    dir_.WriteText("bad.txt",
                   "NEW_FLASH\r\nMANUFACTURER_NAME : X\r\nDEVICE_NAME : Y\r\nPHILIPS_PRODUCT : Z\r\n"
                   "MANUFACTURER_ID : 1\r\nDEVICE_ID : 2\r\nNB_BANKS : 1\r\nNB_SECTORS : 1\r\n"
                   "START_SECTOR_DESCRIPTION\r\n");
    r = Brindel("flash-info --file " + dir_.path() + "/bad.txt");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(LastLine(r.out),
              "DWL_SOFT_FLASH_ERR: Problem with parameter START_SECTOR_DESCRIPTION in the file flash.txt");

    dir_.WriteText("config.txt", "CLA File : a.cla\r\nBIN File : b.bin\r\nCOM : 5\r\n");
    r = Brindel("config check");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "DWL_SOFT_CONF_ERR: The com number in configuration file is not rigth\n");
    dir_.WriteText("c2.txt",
                   "CLA File : a.cla\r\nBIN File : b.bin\r\nCOM : 2\r\nSimlock keys : 0\r\nPMU : 1\r\n"
                   "Product Type : 4\r\nDownload Type : 1\r\nBaudrate Index: 5\r\n");
    r = Brindel("config show --file c2.txt");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Port          : COM2\n"), std::string::npos);
    EXPECT_NE(r.out.find("Software file : a.cla (not loaded)\n"), std::string::npos);
    EXPECT_EQ(LastLine(r.out), "DWL_SOFT_OK: DOWNLOAD SUCCESSFULL");
    EXPECT_EQ(Brindel("config").exitCode, 2);
    EXPECT_EQ(Brindel("nonsense").exitCode, 2);
}

}  // namespace

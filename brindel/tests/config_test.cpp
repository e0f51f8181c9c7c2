// "config.txt": restore, save and their edge cases.
#include "brindel/dwl50dev.h"
#include "brindel/dwl56conf.h"
#include "brindel/dwl_result.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dwl50_0ResetContext();
        char pattern[] = "/tmp/brindel-config-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        cla_ = dir_ + "/soft.cla";
        bin_ = dir_ + "/pack.bin";
        std::ofstream(cla_, std::ios::binary) << "CLA-IMAGE";
        std::ofstream(bin_, std::ios::binary) << "PKG";  // odd size: rounded up
    }
    void TearDown() override
    {
        dwl50_0ResetContext();
        std::remove(cla_.c_str());
        std::remove(bin_.c_str());
        std::remove((dir_ + "/config.txt").c_str());
        ::rmdir(dir_.c_str());
    }

    std::string Lines(const std::string& com = "1", const std::string& download = "0", bool withSpeed = true) const
    {
        std::string s = "* ***********************\r\n* Configuration save file\r\n"
                        "* ***********************\r\nCLA File : " +
            cla_ + "\r\nBIN File : " + bin_ + "\r\nCOM : " + com +
            "\r\nSimlock keys : 1\r\nPMU : 1\r\nProduct Type : 2\r\nDownload Type : " + download + "\r\n";
        if (withSpeed)
            s += "Baudrate Index: 7\r\n";
        return s;
    }

    static int Restore(const std::string& text)
    {
        return dwl56_4ParseConfig(&sg_DownloadContext, text.data(), text.size());
    }

    std::string dir_, cla_, bin_;
};

TEST_F(ConfigTest, RestoresEveryValueAndLoadsTheFiles)
{
    ASSERT_EQ(Restore(Lines("4")), DWL_OK);
    const T_DownloadContext& c = sg_DownloadContext;
    EXPECT_EQ(c.port, 4);
    EXPECT_EQ(c.simlockOption, 1);
    EXPECT_EQ(c.pmuOption, 1);
    EXPECT_EQ(c.projectType, 2);
    EXPECT_EQ(c.downloadType, 0);
    EXPECT_EQ(c.speedIndex, 7);
    EXPECT_EQ(std::string(c.softwarePath), cla_);
    EXPECT_EQ(std::string(c.packagePath), bin_);
    ASSERT_NE(c.softwareImage, nullptr);
    EXPECT_EQ(c.softwareSize, 9u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(c.softwareImage), 9), "CLA-IMAGE");
    ASSERT_NE(c.packageImage, nullptr);
    EXPECT_EQ(c.packageSize, 4u);
    EXPECT_EQ(c.packageImage[3], 0);
    EXPECT_EQ(std::string(c.directory), dir_ + "/");
}

TEST_F(ConfigTest, ValueAndLineErrors)
{
    struct Case {
        std::string from, to;
        int expected;
    };
    const Case cases[] = {
        {"COM : 1", "COM : 5", DWL_CONF_COM_VALUE},
        {"COM : 1", "COM : x", DWL_CONF_COM_VALUE},
        {"COM : 1", "COM : -1", DWL_CONF_COM_VALUE},
        {"COM : 1", "COM: 1", DWL_CONF_COM_LINE},
        {"Simlock keys : 1", "Simlock keys : 2", DWL_CONF_SIMLOCK_VALUE},
        {"Simlock keys : 1", "Simlock : 1", DWL_CONF_SIMLOCK_LINE},
        {"PMU : 1", "PMU : 2", DWL_CONF_PMU_VALUE},
        {"PMU : 1", "PMU 1", DWL_CONF_PMU_LINE},
        {"Product Type : 2", "Product Type : 5", DWL_CONF_PRODUCT_VALUE},
        {"Product Type : 2", "Product type : 2", DWL_CONF_PRODUCT_LINE},
        {"Download Type : 0", "Download Type : 7", DWL_CONF_DOWNLOAD_VALUE},
        {"Download Type : 0", "Download Type: 0", DWL_CONF_DOWNLOAD_LINE},
        {"Baudrate Index: 7", "Baudrate Index : 7", DWL_CONF_DOWNLOAD_LINE},
        {"Baudrate Index: 7", "Baudrate Index: 32", DWL_CONF_DOWNLOAD_LINE},
        {"CLA File : ", "CLA file : ", DWL_CONF_NO_SOFTWARE},
        {"BIN File : ", "BIN: ", DWL_CONF_NO_PACKAGE},
    };
    for (const auto& c : cases) {
        std::string text = Lines();
        const size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, c.from.size(), c.to);
        EXPECT_EQ(Restore(text), c.expected) << c.to;
    }
}

TEST_F(ConfigTest, ValuesBeforeAFailureStay)
{
    ASSERT_EQ(Restore(Lines("3", "9")), DWL_CONF_DOWNLOAD_VALUE);
    EXPECT_EQ(sg_DownloadContext.port, 3);
    EXPECT_EQ(sg_DownloadContext.projectType, 2);
    EXPECT_NE(sg_DownloadContext.softwareImage, nullptr);
    EXPECT_EQ(sg_DownloadContext.speedIndex, 1);  // not reached
}

TEST_F(ConfigTest, MissingSpeedLineGivesTheDownloadLineCode)
{
    EXPECT_EQ(Restore(Lines("1", "0", false)), DWL_CONF_DOWNLOAD_LINE);
}

TEST_F(ConfigTest, ComparedFileIsOptionalAndSwitchesComparingOff)
{
    sg_DownloadContext.comparedOption = 1;
    std::string text = Lines();
    text.insert(text.find("CLA File"), "CMP File : /tmp/prev.cla\r\n");
    ASSERT_EQ(Restore(text), DWL_OK);
    EXPECT_STREQ(sg_DownloadContext.comparedPath, "/tmp/prev.cla");
    EXPECT_EQ(sg_DownloadContext.comparedOption, 0);
    // Without the line the file starts directly with the software file.
    EXPECT_EQ(Restore(Lines().substr(Lines().find("CLA File"))), DWL_OK);
}

TEST_F(ConfigTest, EmptyFileAndOverlongPath)
{
    EXPECT_EQ(Restore(""), DWL_CONF_NO_SOFTWARE);
    EXPECT_EQ(Restore("* only comments\r\n\r\n"), DWL_CONF_NO_SOFTWARE);
    std::string text = Lines();
    text.insert(text.find(cla_), std::string(600, 'a'));
    EXPECT_EQ(Restore(text), DWL_CONF_NO_SOFTWARE);
}

TEST_F(ConfigTest, AMissingSoftwareFileDoesNotStopTheRestore)
{
    std::remove(cla_.c_str());
    EXPECT_EQ(Restore(Lines()), DWL_OK);
    EXPECT_EQ(sg_DownloadContext.softwareImage, nullptr);
}

TEST_F(ConfigTest, SaveWritesCrLfLinesThatRestore)
{
    ASSERT_EQ(Restore(Lines("2", "6")), DWL_OK);
    const std::string path = dir_ + "/config.txt";
    ASSERT_EQ(dwl56_3SaveConfigToFile(&sg_DownloadContext, path.c_str()), DWL_OK);
    std::ifstream in(path, std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string expected = "* ***********************\r\n* Configuration save file\r\n"
                                 "* ***********************\r\nCMP File : \r\nCLA File : " +
        cla_ + "\r\nBIN File : " + bin_ +
        "\r\nCOM : 2\r\nSimlock keys : 1\r\nPMU : 1\r\nProduct Type : 2\r\n"
        "Download Type : 6\r\nBaudrate Index: 7\r\n";
    EXPECT_EQ(saved, expected);

    dwl50_0ResetContext();
    EXPECT_EQ(dwl56_2RestoreConfigFromFile(&sg_DownloadContext, path.c_str()), DWL_OK);
    EXPECT_EQ(sg_DownloadContext.port, 2);
    EXPECT_EQ(sg_DownloadContext.downloadType, 6);
    EXPECT_EQ(sg_DownloadContext.speedIndex, 7);
}

TEST_F(ConfigTest, FileErrors)
{
    EXPECT_EQ(dwl56_2RestoreConfigFromFile(&sg_DownloadContext, (dir_ + "/none.txt").c_str()), DWL_CONF_NO_FILE);
    EXPECT_EQ(dwl56_3SaveConfigToFile(&sg_DownloadContext, (dir_ + "/no/such/dir/config.txt").c_str()),
              DWL_CONF_NO_FILE);
}

}  // namespace

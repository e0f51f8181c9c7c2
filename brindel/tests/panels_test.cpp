// The operator windows' logic without a window: the project and download
// type rules, the configuration menu, the rows of the sector and description
// tables, the port list, the program's argument, one instance, the
// information windows and the block size that shares the package's field.
#include "brindel/dwl10fla.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/panels/dwl53ser.h"
#include "brindel/panels/dwl55info.h"
#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using brindel_test::Bytes;

struct Shown {
    std::vector<std::string> lines;
};

void OnMessage(const char* title, const char* text, void* user)
{
    static_cast<Shown*>(user)->lines.push_back(title ? std::string(title) + "|" + text : std::string(text));
}

void OnLine(const char* label, const char* value, void* user)
{
    static_cast<Shown*>(user)->lines.push_back(label ? std::string(label) + ":" + value : std::string(value));
}

class PanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dwl50_0ResetContext();
        dir_.Enter();
        T_DisplaySink sink{};
        sink.message = &OnMessage;
        sink.user = &shown_;
        dwl52_0SetDisplaySink(&sink);
    }
    void TearDown() override
    {
        dwl52_0SetDisplaySink(nullptr);
        dwl50_0ResetContext();
    }
    brindel_test::TempDir dir_;
    Shown shown_;
};

TEST_F(PanelsTest, ProjectAndDownloadTypeRules)
{
    struct Case {
        int project, type;
        int ok;
        int storedType;  // the type the context holds afterwards
        T_MmiControls controls;  // typeList, software, package, dump, service
        const char* problem;
    };
    const Case cases[] = {
        {4, 0, 1, 0, {1, 1, 0, 0, 1}, nullptr},
        {2, 1, 1, 1, {1, 0, 1, 0, 1}, nullptr},
        {4, 2, 1, 2, {1, 1, 1, 0, 1}, nullptr},
        {1, 3, 1, 3, {1, 1, 0, 0, 1}, nullptr},
        {4, 5, 1, 5, {1, 0, 0, 1, 1}, nullptr},
        {3, 6, 1, 6, {1, 0, 0, 1, 1}, nullptr},
        {0, 2, 1, 0, {0, 1, 0, 0, 0}, nullptr},  // the PCF5085 takes software only
        {4, 4, 0, 3, {}, "DOWNLOAD |Problem0_3 Bad download type "},
        {4, 7, 0, 3, {}, "DOWNLOAD |Problem0_3 Bad download type "},
        {5, 0, 0, 3, {}, "DOWNLOAD |Problem0_3 Bad project type "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.project) + "/" + std::to_string(c.type));
        shown_.lines.clear();
        sg_DownloadContext.downloadType = 3;
        T_MmiControls controls{};
        EXPECT_EQ(dwl51_12ChooseProjectAndType(&sg_DownloadContext, c.project, c.type, &controls), c.ok);
        EXPECT_EQ(sg_DownloadContext.downloadType, c.storedType);
        if (c.ok) {
            EXPECT_EQ(std::memcmp(&controls, &c.controls, sizeof controls), 0);
            EXPECT_TRUE(shown_.lines.empty());
        } else {
            EXPECT_EQ(shown_.lines, std::vector<std::string>{c.problem});
        }
    }
    EXPECT_STREQ(dwl51_10ProjectName(1), "5087_RAM 8 bits");
    EXPECT_STREQ(dwl51_11DownloadTypeName(5), "Read Block");
    EXPECT_EQ(dwl51_11DownloadTypeName(4), nullptr);
}

TEST_F(PanelsTest, WaitStateMenu)
{
    EXPECT_STREQ(dwl51_20ChipSelectMenuName(2), "Chip select 2 (Flash high)");
    char name[32];
    dwl51_22WaitStateItemName(3, 3, name, sizeof name);
    EXPECT_STREQ(name, "CS3_3 Wait State");
    EXPECT_EQ(dwl51_21WaitStateItemCount(0), 5);
    EXPECT_EQ(dwl51_21WaitStateItemCount(3), 4);
    EXPECT_EQ(dwl51_23ChooseWaitState(&sg_DownloadContext, 2, 1), 1);
    EXPECT_EQ(dwl51_23ChooseWaitState(&sg_DownloadContext, 3, 4), 0);  // chip select 3 stops at 3
    EXPECT_EQ(dwl51_23ChooseWaitState(&sg_DownloadContext, 4, 0), 0);
    EXPECT_EQ(sg_DownloadContext.waitStates[2], 1);
    EXPECT_EQ(sg_DownloadContext.waitStates[3], 0);
    EXPECT_EQ(shown_.lines, std::vector<std::string>{"1 wait state on the chip select 2"});
}

TEST_F(PanelsTest, SectorAndDescriptionRows)
{
    char row[128];
    dwl52_12FormatSectorRow(row, sizeof row, 3, 0x20000, 1, 0, 0, "N. A.");
    EXPECT_STREQ(row, "    3 |     131072 |   1 |         - |   - | N. A. ");
    dwl52_12FormatSectorRow(row, sizeof row, 12, 8192, 0, 5000, 2, "Downloaded");
    EXPECT_STREQ(row, "   12 |       8192 |   0 |      5000 |   2 | Downloaded ");
    ASSERT_EQ(dwl10_101InitFlashDescriptionFromFile(BRINDEL_FLASH_TXT), DWL_OK);
    uint8_t index = 0;
    ASSERT_EQ(dwl10_500GetFlashIndex(0x89, 0x18, &index), DWL_OK);
    dwl53_10FormatDescriptionRow(&vg_FlashDescritpion.descriptions[index], row, sizeof row);
    const T_FlashEntry& e = vg_FlashDescritpion.descriptions[index];
    char expected[128];
    std::snprintf(expected, sizeof expected, "%15s | %13s |            0x89 |      0x18 |      %2d |     128 ",
                  e.manufacturerName, e.deviceName, e.numberOfBanks);
    EXPECT_STREQ(row, expected);
}

TEST_F(PanelsTest, PortsComeFromTheSystem)
{
    const std::string serial = dir_.path() + "/serial";
    std::filesystem::create_directories(serial);
    for (const char* name : {"COM3", "COM12", "COMx", "COM", "modem"})
        dir_.WriteText("serial/" + std::string(name), "");
    const std::string sysfs = dir_.path() + "/sys";
    for (const char* name : {"ttyUSB0", "ttyUSB2", "ttyS0", "ttyUSBx"})
        std::filesystem::create_directories(sysfs + "/class/tty/" + name);
    int ports[8] = {};
    ::setenv("TELVANE_SERIAL_DIR", serial.c_str(), 1);
    ASSERT_EQ(dwl51_30ListPorts(ports, 8), 2);
    EXPECT_EQ(ports[0], 3);
    EXPECT_EQ(ports[1], 12);
    ::unsetenv("TELVANE_SERIAL_DIR");
    ::setenv("TELVANE_SYSFS_ROOT", sysfs.c_str(), 1);
    ASSERT_EQ(dwl51_30ListPorts(ports, 8), 2);
    EXPECT_EQ(ports[0], 1);
    EXPECT_EQ(ports[1], 3);
    ::unsetenv("TELVANE_SYSFS_ROOT");
}

TEST_F(PanelsTest, TheProgramsArgumentAndOneInstance)
{
    dir_.Write("soft.cla", Bytes(100, 1));
    dir_.Write("pack", Bytes(11, 2));
    ASSERT_EQ(dwl51_40TakeArgument(&sg_DownloadContext, (dir_.path() + "/soft.cla").c_str()), DWL_OK);
    EXPECT_EQ(sg_DownloadContext.softwareSize, 100u);
    EXPECT_EQ(sg_DownloadContext.downloadType, 0);
    ASSERT_EQ(dwl51_40TakeArgument(&sg_DownloadContext, (dir_.path() + "/pack").c_str()), DWL_OK);
    EXPECT_EQ(sg_DownloadContext.packageSize, 12u);
    EXPECT_EQ(sg_DownloadContext.downloadType, 1);
    EXPECT_EQ(dwl51_40TakeArgument(&sg_DownloadContext, (dir_.path() + "/none.cla").c_str()), DWL_PCLIB_FILE_NOT_FOUND);

    // Another process holds the program's lock: this one is refused.
    int toChild[2], toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const char claimed = static_cast<char>('0' + dwl51_41ClaimInstance());
        (void)!::write(toParent[1], &claimed, 1);
        char done;
        (void)!::read(toChild[0], &done, 1);
        ::_exit(0);
    }
    char claimed = 0;
    ASSERT_EQ(::read(toParent[0], &claimed, 1), 1);
    EXPECT_EQ(claimed, '1');
    EXPECT_EQ(dwl51_41ClaimInstance(), 0);
    (void)!::write(toChild[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]})
        ::close(fd);
    EXPECT_EQ(dwl51_41ClaimInstance(), 1);  // the other one has gone
}

TEST_F(PanelsTest, InformationWindows)
{
    const Bytes software =
        brindel_test::MakeSoftware(4000, brindel_test::MakeTag(2, 0x1234, 0x0102, 0x40000, 0x200000));
    Shown info;
    EXPECT_EQ(dwl55_0SoftwareInformation(software.data(), 4000, &OnLine, &info), DWL_OK);
    EXPECT_EQ(info.lines,
              (std::vector<std::string>{"Structure ID: 0x0202 ", "Family: 0x1234 ", "Edition: 0x0102 ",
                                        "Pack size: 262144 ", "Pack address: 0x00200000 "}));
    info.lines.clear();
    Bytes foreign = brindel_test::MakeSoftware(4000, Bytes{0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(dwl55_0SoftwareInformation(foreign.data(), 4000, &OnLine, &info), DWL_COMP_BAD_MANUFACTURER);
    EXPECT_EQ(info.lines.back(), "Bad struct ID.");

    // Version 3: the pack table of the image, one row per pack.
    Bytes v3 = brindel_test::MakeSoftware(4000, brindel_test::MakeTag(3, 0x1234, 0x0102, 2, 0x800));
    brindel_test::PutPackTable(v3, 0x800, {{0x8000, 0x200000, 3}, {0x40000, 0x300000, 0}});
    T_PackRow rows[4];
    ASSERT_EQ(dwl55_2PackList(v3.data(), 4000, rows, 4), 2);
    char size[24], address[24], mandatory[24];
    dwl55_3FormatPackRow(&rows[1], size, address, mandatory, sizeof size);
    EXPECT_STREQ(size, " 262144 ");
    EXPECT_STREQ(address, " 0x00300000 ");
    EXPECT_STREQ(mandatory, " 0x00000000 ");
    dwl55_4ChoosePack(&sg_DownloadContext, &rows[1]);
    EXPECT_EQ(sg_DownloadContext.blockAddress, 0x300000);
    EXPECT_EQ(sg_DownloadContext.downloadType, 1);

    struct PackageCase {
        std::vector<uint32_t> items;
        std::vector<std::string> missing;
    };
    for (const PackageCase& c : {PackageCase{{1, 2, 5}, {}}, PackageCase{{2}, {"No dictionary"}},
                                 PackageCase{{3}, {"No dictionary", "No language"}}}) {
        info.lines.clear();
        const Bytes package = brindel_test::MakePackage(0x1234, 0x0102, c.items, 100);
        EXPECT_EQ(dwl55_1PackageInformation(package.data(), static_cast<uint32_t>(package.size()), 2, &OnLine, &info),
                  DWL_OK);
        EXPECT_EQ(info.lines[1], "Family: 0x1234 ");
        const std::vector<std::string> tail(info.lines.end() - static_cast<std::ptrdiff_t>(c.missing.size()),
                                            info.lines.end());
        EXPECT_EQ(tail, c.missing);
    }
    const Bytes notAPackage(64, 0x33);
    EXPECT_EQ(dwl55_1PackageInformation(notAPackage.data(), 64, 2, &OnLine, &info), DWL_COMP_SIGNATURE);
    EXPECT_EQ(shown_.lines, std::vector<std::string>{"Download|Problem 13_1 Bad structure packdata"});
}

// The read block's size lives in the package size field: a package loaded
// before must not be programmed with that size (it would be read past its
// end), so choosing a block size drops it and a package download then asks
// for the package again.
TEST_F(PanelsTest, ABlockSizeDropsThePackageItNoLongerDescribes)
{
    dir_.Write("pack.bin", brindel_test::MakePackage(0x1234, 0x0102, {1}, 100));
    std::strcpy(sg_DownloadContext.packagePath, (dir_.path() + "/pack.bin").c_str());
    ASSERT_EQ(dwl51_1InitPackageFile(&sg_DownloadContext), DWL_OK);
    const uint32_t packageSize = sg_DownloadContext.packageSize;
    dwl51_13SetBlockSize(&sg_DownloadContext, packageSize);
    EXPECT_NE(sg_DownloadContext.packageImage, nullptr);  // the same size still describes it
    dwl51_13SetBlockSize(&sg_DownloadContext, 0x100000);
    EXPECT_EQ(sg_DownloadContext.packageImage, nullptr);
    EXPECT_EQ(sg_DownloadContext.packageSize, 0x100000u);
    sg_DownloadContext.downloadType = 1;
    shown_.lines.clear();
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_CONF_ERR);
    EXPECT_EQ(r.code, DWL_CONF_NO_PACKAGE);
    EXPECT_EQ(shown_.lines, std::vector<std::string>{"DOWNLOAD|PLEASE LOAD A PACKAGE BEFORE START"});
}

}  // namespace

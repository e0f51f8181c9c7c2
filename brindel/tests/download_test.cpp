// Complete downloads from the operator's start against the emulator's boot
// ROM and resident loader on an in-process line: every download type of
// project type 4, the PCF5085 download, a PCF5087 project type 2, compared
// downloads, the retry rules and the refusals before the boot.
#include "brindel/dwl10fla.h"
#include "brindel/dwl11command.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl3spm87.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl52display.h"
#include "platform/clock.h"
#include "support/boot_phone.h"
#include "support/fake_line.h"
#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using brindel_test::Bytes;
using brindel_test::FakeLine;
using brindel_test::MakePackage;
using brindel_test::MakeSoftware;
using brindel_test::MakeTag;
using brindel_test::TempDir;

constexpr uint32_t kSector = 0x20000;  // the sample phone's flash: 128 sectors of 128 KiB
constexpr uint32_t kPackAddress = 0x200000;
constexpr uint16_t kFamily = 0x1234;
constexpr uint16_t kEdition = 0x0102;

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Slice(const Bytes& b, size_t at, size_t n)
{
    if (at + n > b.size())
        return {};
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

struct Screen {
    std::vector<std::string> rows;
    std::vector<std::pair<int, uint32_t>> table;
    std::vector<std::string> messages;
    std::string blockFile;
    std::function<void(const std::string&)> onMessage;
};

void OnMessage(const char* title, const char* text, void* user)
{
    auto* s = static_cast<Screen*>(user);
    s->messages.push_back(title ? std::string(title) + ": " + text : std::string(text));
    if (s->onMessage)
        s->onMessage(text);
}

void OnTable(int sector, uint32_t size, const char* state, const char*, void* user)
{
    EXPECT_STREQ(state, "N. A.");
    static_cast<Screen*>(user)->table.emplace_back(sector, size);
}

void OnRow(const char* row, void* user)
{
    static_cast<Screen*>(user)->rows.emplace_back(row);
}

int OnSelect(const char*, const char*, char* out, size_t outSize, void* user)
{
    const auto* s = static_cast<Screen*>(user);
    if (s->blockFile.empty() || s->blockFile.size() >= outSize)
        return 0;
    std::memcpy(out, s->blockFile.c_str(), s->blockFile.size() + 1);
    return 1;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dwl50_0ResetContext();
        dir_.Enter();
        for (const char* name : {"dwl8586.spm", "dwl87.spm", "dwl874_5.spm", "dwl874_7.spm"})
            dir_.Write(name, Bytes(300, 0x11));
        ASSERT_EQ(dwl10_101InitFlashDescriptionFromFile(BRINDEL_FLASH_TXT), DWL_OK);
        T_DisplaySink sink{};
        sink.message = &OnMessage;
        sink.sectorRow = &OnRow;
        sink.sectorTable = &OnTable;
        sink.selectFile = &OnSelect;
        sink.user = &screen_;
        dwl52_0SetDisplaySink(&sink);
        flashPath_ = dir_.path() + "/flash.img";
    }
    void TearDown() override
    {
        dwl52_0SetDisplaySink(nullptr);
        line_.reset();
        dwl50_0ResetContext();
    }

    FakeLine& Connect(const std::string& chip = "pcf5087", bool withId = false, uint8_t man = 0, uint8_t dev = 0)
    {
        line_ = std::make_unique<FakeLine>(brindel_test::BootPhone(chip, withId, man, dev, flashPath_));
        line_->Install();
        return *line_;
    }

    // Sets the context as the operator would and loads the files given.
    void Choose(uint8_t project, uint8_t type, const Bytes* software, const Bytes* package)
    {
        T_DownloadContext& c = sg_DownloadContext;
        c.port = 2;
        c.projectType = project;
        c.downloadType = type;
        c.speedIndex = 5;
        if (software) {
            dir_.Write("soft.cla", *software);
            std::strcpy(c.softwarePath, (dir_.path() + "/soft.cla").c_str());
            ASSERT_EQ(dwl51_0InitLoadFile(), DWL_OK);
        }
        if (package) {
            dir_.Write("pack.bin", *package);
            std::strcpy(c.packagePath, (dir_.path() + "/pack.bin").c_str());
            ASSERT_EQ(dwl51_1InitPackageFile(&sg_DownloadContext), DWL_OK);
        }
    }

    // Ends the session (the emulator writes its flash back) and reads the flash.
    Bytes FlashAfter()
    {
        line_.reset();
        return ReadFile(flashPath_);
    }

    std::string Control(const std::string& line) { return line_->device()->control(line); }

    int Count(const std::string& state) const
    {
        return static_cast<int>(std::count_if(screen_.rows.begin(), screen_.rows.end(), [&](const std::string& r) {
            return r.find("| " + state) != std::string::npos;
        }));
    }

    TempDir dir_;
    Screen screen_;
    std::string flashPath_;
    std::unique_ptr<FakeLine> line_;
};

const Bytes kTag2 = MakeTag(2, kFamily, kEdition, 0x40000, kPackAddress);

// A whole flash of the sample phone holding `software` and SIM-lock data.
Bytes FlashWith(const Bytes& software)
{
    Bytes flash(128 * kSector, 0xFF);
    std::copy(software.begin(), software.end(), flash.begin());
    const Bytes simlock = brindel_test::Pattern(256, 77);
    std::copy(simlock.begin(), simlock.end(), flash.end() - kSector);
    return flash;
}

TEST_F(DownloadTest, SoftwareLandsInFlashByteForByte)
{
    const Bytes software = MakeSoftware(300000, kTag2);
    Connect();
    Choose(4, 0, &software, nullptr);
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    ASSERT_EQ(r.family, DWL_SOFT_OK) << r.code;
    EXPECT_EQ(vg_SectorsTransferred, 3u);
    EXPECT_EQ(Control("sectors"), "OK 3");
    // Three sectors, the last one partial; the rows as the sector table shows them.
    ASSERT_EQ(Count("Downloaded"), 3);
    EXPECT_NE(screen_.rows[2].find("    2 |     131072 |   0 |     37856 |"), std::string::npos) << screen_.rows[2];
    EXPECT_EQ(vg_SoftPourcent, 100);
    // The table was filled with every sector of the flash first.
    ASSERT_EQ(screen_.table.size(), 128u);
    EXPECT_EQ(screen_.table[127], std::make_pair(127, kSector));
    const Bytes flash = FlashAfter();
    EXPECT_EQ(Slice(flash, 0, software.size()), software);
    EXPECT_EQ(flash[software.size()], 0xFF);
    EXPECT_NE(std::find(screen_.messages.begin(), screen_.messages.end(),
                        "You do not need to remove the battery to start the mobile"),
              screen_.messages.end());
}

// Each download type of project type 4, the phone holding an older software
// of the same tag where the type checks the phone.
TEST_F(DownloadTest, EveryDownloadTypeOfProjectType4)
{
    struct Case {
        uint8_t type;
        bool software;
        bool package;
        bool softwareInFlash;
        bool packageInFlash;
    };
    const Case cases[] = {
        {0, true, false, true, false},
        {1, false, true, false, true},
        {2, true, true, true, true},
        {3, true, false, true, false},
    };
    const Bytes old = MakeSoftware(200000, kTag2, 0x100, 9);
    const Bytes software = MakeSoftware(250000, kTag2, 0x100, 3);
    const Bytes package = MakePackage(kFamily, kEdition, {1, 2}, 5000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        dwl50_0ResetContext();
        dir_.Write("flash.img", FlashWith(old));
        Connect();
        Choose(4, c.type, c.software ? &software : nullptr, c.package ? &package : nullptr);
        const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
        ASSERT_EQ(r.family, DWL_SOFT_OK) << r.code;
        const Bytes flash = FlashAfter();
        EXPECT_EQ(Slice(flash, 0, software.size()) == software, c.softwareInFlash);
        if (!c.softwareInFlash) {
            EXPECT_EQ(Slice(flash, 0, old.size()), old);
        }
        EXPECT_EQ(Slice(flash, kPackAddress, package.size()) == package, c.packageInFlash);
    }
}

// Without an address from the operator, each package goes to the pack area
// of the software it was checked with, also in a later download of the
// same process.
TEST_F(DownloadTest, EachPackageGoesToItsSoftwaresPackArea)
{
    const Bytes package = MakePackage(kFamily, kEdition, {1, 2}, 5000);
    for (const uint32_t packAddress : {kPackAddress, 2 * kPackAddress}) {
        SCOPED_TRACE(packAddress);
        const Bytes software = MakeSoftware(250000, MakeTag(2, kFamily, kEdition, 0x40000, packAddress));
        line_.reset();
        dir_.Write("flash.img", FlashWith({}));
        Connect();
        Choose(4, 2, &software, &package);
        ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
        EXPECT_EQ(Slice(FlashAfter(), packAddress, package.size()), package);
    }
}

TEST_F(DownloadTest, ReadBlockWritesWhatTheFlashHolds)
{
    const Bytes content = brindel_test::Pattern(5 * kSector, 4);
    dir_.Write("flash.img", content);
    Connect();
    Choose(4, 5, nullptr, nullptr);
    sg_DownloadContext.blockAddress = static_cast<int32_t>(kSector);
    sg_DownloadContext.packageSize = 2 * kSector;
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    ASSERT_EQ(r.family, DWL_SOFT_OK) << r.code;
    EXPECT_EQ(ReadFile(dir_.path() + "/" DWL_DUMP_FILE), Slice(content, kSector, 2 * kSector));
    EXPECT_EQ(vg_SoftPourcent, 100);
}

TEST_F(DownloadTest, ReadBlockRangeChecks)
{
    struct Case {
        uint32_t address, size;
        int family, code;
    };
    const Case cases[] = {
        {kSector, kSector, DWL_SOFT_OK, 0},  // one sector: no end check
        {kSector + 4, kSector, DWL_SOFT_FLASH_ERR, DWL_FLASH_NO_SECTOR_AT_ADDR},  // not a sector start
        {kSector, kSector - 1, DWL_SOFT_COMMAND_ERR, DWL_COMMAND_DUMP_TOO_SMALL},
        {kSector, kSector + 100, DWL_SOFT_FLASH_ERR, DWL_FLASH_NO_SECTOR_AT_ADDR},  // ends inside a sector
        {127 * kSector, kSector, DWL_SOFT_OK, 0},  // the last sector
        {126 * kSector, 2 * kSector, DWL_SOFT_OK, 0},  // up to the end of the flash
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        SCOPED_TRACE(c.size);
        dwl50_0ResetContext();
        Connect();
        Choose(4, 5, nullptr, nullptr);
        sg_DownloadContext.blockAddress = static_cast<int32_t>(c.address);
        sg_DownloadContext.packageSize = c.size;
        const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
        EXPECT_EQ(r.family, c.family);
        EXPECT_EQ(r.code, c.code);
    }
}

// A sector read is tried five times, 1 s and then 2 s apart (a faster
// program clock keeps the waits short).
TEST_F(DownloadTest, ReadBlockRetriesEachSector)
{
    plat::SetClockScaleForTesting(200.0);
    struct Case {
        int faults;
        int family, code;
    };
    for (const Case& c : {Case{4, DWL_SOFT_OK, 0}, Case{5, DWL_SOFT_COMMAND_ERR, DWL_COMMAND_READ_CHECKSUM}}) {
        SCOPED_TRACE(c.faults);
        dwl50_0ResetContext();
        Connect();
        ASSERT_EQ(Control("fault read-checksum " + std::to_string(c.faults)), "OK");
        Choose(4, 5, nullptr, nullptr);
        sg_DownloadContext.blockAddress = static_cast<int32_t>(kSector);
        sg_DownloadContext.packageSize = kSector;
        const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
        EXPECT_EQ(r.family, c.family);
        EXPECT_EQ(r.code, c.code);
    }
    plat::SetClockScaleForTesting(1.0);
}

TEST_F(DownloadTest, WriteBlockProgramsTheDumpFileAtTheBlockAddress)
{
    const Bytes block = brindel_test::Pattern(kSector + 1000, 5);
    dir_.Write("block.dum", block);
    screen_.blockFile = dir_.path() + "/block.dum";
    Connect();
    Choose(4, 6, nullptr, nullptr);
    sg_DownloadContext.blockAddress = static_cast<int32_t>(3 * kSector);
    ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_EQ(vg_PackPourcent, 100);
    EXPECT_EQ(Slice(FlashAfter(), 3 * kSector, block.size()), block);

    // No file chosen: family 7, code 23.
    dwl50_0ResetContext();
    screen_.blockFile.clear();
    Connect();
    Choose(4, 6, nullptr, nullptr);
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_COMMAND_ERR);
    EXPECT_EQ(r.code, DWL_COMMAND_DUMP_FILE);
}

TEST_F(DownloadTest, MissingFilesAreRefusedBeforeTheBoot)
{
    struct Case {
        uint8_t type;
        bool software, package;
        int code;  // DWL_CONF code, 0 for accepted
    };
    const Bytes software = MakeSoftware(20000, kTag2);
    const Case cases[] = {
        {1, true, false, DWL_CONF_NO_PACKAGE},   {2, true, false, DWL_CONF_NO_PACKAGE},
        {2, false, false, DWL_CONF_NO_SOFTWARE}, {0, false, false, DWL_CONF_NO_SOFTWARE},
        {3, false, false, DWL_CONF_NO_SOFTWARE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        dwl50_0ResetContext();
        FakeLine& line = Connect();
        Choose(4, c.type, c.software ? &software : nullptr, nullptr);
        const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
        EXPECT_EQ(r.family, DWL_SOFT_CONF_ERR);
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(line.events().empty()) << "the port was opened";
        EXPECT_TRUE(line.sent().empty());
    }
    // The operator sees the file loaded, then the refusal.
    ASSERT_GE(screen_.messages.size(), 2u);
    EXPECT_EQ(screen_.messages[0], "Loading CLA File: " + dir_.path() + "/soft.cla");
    EXPECT_EQ(screen_.messages[1], "DOWNLOAD: PLEASE LOAD A PACKAGE BEFORE START");
}

// A phone without an identification area loses its SIM-lock keys: each
// download says so once, however many downloads the process has run.
TEST_F(DownloadTest, EveryDownloadToAPhoneWithoutTagWarnsOnce)
{
    const Bytes software = MakeSoftware(kSector, kTag2);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        line_.reset();
        dir_.Write("flash.img", FlashWith({}));
        dwl50_0ResetContext();
        Connect();
        Choose(4, 0, &software, nullptr);
        screen_.messages.clear();
        ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
        EXPECT_EQ(
            std::count(screen_.messages.begin(), screen_.messages.end(), "Tag not found. Simlock keys will be lost."),
            1);
    }
}

TEST_F(DownloadTest, ComparedDownloadOfTheSameImageTransfersNothing)
{
    const Bytes software = MakeSoftware(3 * kSector + 500, kTag2);
    dir_.Write("flash.img", FlashWith({}));
    Connect();
    Choose(4, 0, &software, nullptr);
    sg_DownloadContext.comparedOption = 1;
    ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_EQ(vg_SectorsTransferred, 4u);  // nothing to compare with yet
    EXPECT_EQ(ReadFile(dir_.path() + "/_Compared.cla"), software);

    // A new process: the compared file of the last download is loaded.
    dwl50_0ResetContext();
    Connect();
    sg_DownloadContext.comparedOption = 1;
    Choose(4, 0, &software, nullptr);
    ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_EQ(vg_SectorsTransferred, 0u);
    EXPECT_EQ(Control("sectors"), "OK 0");
    EXPECT_EQ(Count("Downloaded"), 4 + 4);

    // With the option switched off, the compared image still loaded is not
    // used: every sector is sent.
    Connect();
    sg_DownloadContext.comparedOption = 0;
    Choose(4, 0, &software, nullptr);
    ASSERT_NE(sg_DownloadContext.comparedImage, nullptr);
    ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_EQ(vg_SectorsTransferred, 4u);

    // One changed byte in sector 2 sends that sector only.
    Bytes changed = software;
    changed[2 * kSector + 10] ^= 0x5A;
    dwl50_0ResetContext();
    Connect();
    sg_DownloadContext.comparedOption = 1;
    Choose(4, 0, &changed, nullptr);
    ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_EQ(vg_SectorsTransferred, 1u);
    EXPECT_EQ(Slice(FlashAfter(), 0, changed.size()), changed);
}

// The retry rules: three failures of one sector in a row, or five in the
// image, end the download; a success resets only the in-a-row count.
TEST_F(DownloadTest, SectorRetryRules)
{
    struct Case {
        const char* name;
        std::vector<std::string> faults;
        int family, code;
        int retries;  // "wait..." rows
    };
    const Case cases[] = {
        {"twice then fine", {"fault checksum 1 2"}, DWL_SOFT_OK, 0, 2},
        {"three in a row", {"fault checksum 1 3"}, DWL_SOFT_DOWNLOAD_SECTOR_CHECKSUM, 0xCC, 2},
        {"fifth in the image",
         {"fault checksum 0 2", "fault checksum 1 2", "fault checksum 3 1"},
         DWL_SOFT_DOWNLOAD_SECTOR_CHECKSUM,
         0xCC,
         4},
        {"sector errors",
         {"fault sector-error 0 0x42 2", "fault sector-error 2 0x42 2", "fault sector-error 3 0x43"},
         DWL_SOFT_DOWNLOAD_SECTOR_ERR,
         0x43,
         4},
        {"four failures pass", {"fault sector-error 0 7 2", "fault checksum 2 2"}, DWL_SOFT_OK, 0, 4},
    };
    const Bytes software = MakeSoftware(4 * kSector + 10, kTag2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dwl50_0ResetContext();
        screen_.rows.clear();
        dir_.Write("flash.img", FlashWith({}));
        Connect();
        for (const auto& f : c.faults)
            ASSERT_EQ(Control(f), "OK") << f;
        Choose(4, 0, &software, nullptr);
        const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
        EXPECT_EQ(r.family, c.family);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(Count("wait..."), c.retries);
        EXPECT_EQ(Count("Error"), c.family == DWL_SOFT_OK ? 0 : 1);
        const Bytes flash = FlashAfter();
        if (c.family == DWL_SOFT_OK) {
            EXPECT_EQ(Slice(flash, 0, software.size()), software);
        }
    }
}

TEST_F(DownloadTest, SilentPhoneTimesOutTheSector)
{
    const Bytes software = MakeSoftware(kSector, kTag2);
    Connect();
    Choose(4, 0, &software, nullptr);
    screen_.onMessage = [this](const std::string& text) {
        if (text == "Download sector by sector") {
            EXPECT_EQ(Control("fault silence 30"), "OK");
        }
    };
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_DOWNLOAD_TIMEOUT);
    EXPECT_NE(std::find(screen_.messages.begin(), screen_.messages.end(), "Remove the battery of the mobile "),
              screen_.messages.end());
}

TEST_F(DownloadTest, ProjectType2Software)
{
    const Bytes software = MakeSoftware(150000, kTag2);
    Connect("pcf5087");
    Choose(2, 0, &software, nullptr);
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    ASSERT_EQ(r.family, DWL_SOFT_OK) << r.code;
    EXPECT_EQ(Slice(FlashAfter(), 0, software.size()), software);
}

TEST_F(DownloadTest, Pcf5085DownloadAndBankLimit)
{
    // Device 0x95 (AMD/Fujitsu 29DL322): the first bank holds 1.5 MiB - 1.
    const Bytes fits = MakeSoftware(0x17FFFF, kTag2);
    Connect("pcf5085", true, 0x04, 0x95);
    Choose(0, 0, &fits, nullptr);
    DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    ASSERT_EQ(r.family, DWL_SOFT_OK) << r.code;
    EXPECT_EQ(vg_SoftPourcent, 100);
    EXPECT_EQ(Slice(FlashAfter(), 0, fits.size()), fits);
    // The operator is told about the battery, as after every download.
    EXPECT_EQ(screen_.messages.back(), "You do not need to remove the battery to start the mobile");

    const Bytes tooBig = MakeSoftware(0x180000, kTag2);
    dwl50_0ResetContext();
    Connect("pcf5085", true, 0x04, 0x95);
    Choose(0, 0, &tooBig, nullptr);
    screen_.messages.clear();
    r = dwl51_50MMIStart(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_5085_ERR);
    EXPECT_EQ(r.code, 8);
    EXPECT_NE(std::find(screen_.messages.begin(), screen_.messages.end(),
                        "Softwares download: File size is over 1.5 Mbytes. It can not be loaded in the dual bank "
                        "Flash Memory"),
              screen_.messages.end());
}

TEST_F(DownloadTest, Pcf5085Failures)
{
    struct Case {
        const char* fault;
        int code;
        uint32_t bytesShown;  // the software figure after the failure
    };
    const Case cases[] = {
        {"fault checksum 2", 7, 2 * 8192},  // a block's checksum differs
        // The loader reports a write error halfway into block 1: the offset it
        // gives is counted from the start of that block.
        {"fault sector-error 1 4", 4, 8192 + 4096},
        {"fault erase 243", 2, 0},  // 0xF3: the erase failed
    };
    const Bytes software = MakeSoftware(40000, kTag2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        dwl50_0ResetContext();
        Connect("pcf5085", true, 0x04, 0x95);
        ASSERT_EQ(Control(c.fault), "OK");
        Choose(0, 0, &software, nullptr);
        screen_.messages.clear();
        const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
        EXPECT_EQ(r.family, DWL_SOFT_5085_ERR);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(vg_NbrSoftCharSent, c.bytesShown);
        ASSERT_FALSE(screen_.messages.empty());
        EXPECT_EQ(screen_.messages.back(), "Remove the battery of the mobile ");
    }
}

TEST_F(DownloadTest, IncompatiblePackageStopsBeforeProgramming)
{
    const Bytes software = MakeSoftware(100000, kTag2);
    const Bytes otherFamily = MakePackage(kFamily + 1, kEdition, {1}, 300);
    Connect();
    Choose(4, 2, &software, &otherFamily);
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_COMPATIBILITY_ERR);
    EXPECT_EQ(r.code, DWL_COMP_FAMILY);
    EXPECT_EQ(Control("sectors"), "OK 0");
    // The phone stays in its loader: the operator is told to remove the battery.
    EXPECT_NE(std::find(screen_.messages.begin(), screen_.messages.end(), "Remove the battery of the mobile "),
              screen_.messages.end());
}

// A version 3 software in the phone: its pack table is read from the phone's
// flash, and the package goes to the first pack area that can hold it.
TEST_F(DownloadTest, PackageForVersion3SoftwareInThePhone)
{
    const Bytes tag3 = MakeTag(3, kFamily, kEdition, 2, 0x800);
    Bytes inPhone = MakeSoftware(0x10000, tag3);
    brindel_test::PutPackTable(inPhone, 0x800, {{0x100, 2 * kSector, 0x1}, {0x8000, 6 * kSector, 0x1}});
    dir_.Write("flash.img", FlashWith(inPhone));
    const Bytes package = MakePackage(kFamily, kEdition, {1}, 0x400);
    Connect();
    Choose(4, 1, nullptr, &package);
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    ASSERT_EQ(r.family, DWL_SOFT_OK) << r.code;
    EXPECT_EQ(vg_ClaNbPack, 2u);
    EXPECT_EQ(pg_BinPackSizeTooLargeForClaPackSize[0], 1);
    EXPECT_EQ(sg_DownloadContext.blockAddress, 0);  // the choice was this download's only
    const Bytes flash = FlashAfter();
    EXPECT_EQ(Slice(flash, 6 * kSector, package.size()), package);
    EXPECT_EQ(Slice(flash, 0, inPhone.size()), inPhone);
    EXPECT_EQ(flash[2 * kSector], 0xFF);
}

TEST_F(DownloadTest, Uart1BootUsesTheUart1SpeedParameters)
{
    const Bytes software = MakeSoftware(50000, kTag2);
    FakeLine& line = Connect("pcf5087-uart1");
    Choose(4, 0, &software, nullptr);
    sg_DownloadContext.uartSelect = 1;
    vg_BaseAddress = 0x200000;  // left by an earlier boot of another project type
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    ASSERT_EQ(r.family, DWL_SOFT_OK) << r.code;
    EXPECT_EQ(Control("speed"), "OK 10 FF F9");
    EXPECT_EQ(line.events()[1], "line 115200 0");
    // After the "D", the speed change comes first: no GPIO command on UART1.
    ASSERT_GE(line.sent().size(), 2u);
    EXPECT_EQ(line.sent()[0], 0x44);
    EXPECT_EQ(line.sent()[1], 0xE0);
    // The first sector goes to the flash base of project type 4.
    const Bytes firstSector = {0xEA, 0x00, 0x02, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};
    EXPECT_NE(std::search(line.sent().begin(), line.sent().end(), firstSector.begin(), firstSector.end()),
              line.sent().end());
    EXPECT_EQ(Slice(FlashAfter(), 0, software.size()), software);
}

// The flash download bridge's calling order, step by step through the exports.
TEST_F(DownloadTest, BridgeSequenceThroughTheExports)
{
    Connect();
    ASSERT_EQ(init_DownloadContext(), DWL_OK);
    ASSERT_EQ(init_serial_port_first(3, 60), DWL_OK);
    ASSERT_EQ(start_boot_loader((dir_.path() + "/dwl874_7.spm").c_str()), DWL_OK);
    ASSERT_EQ(vc_setGPIO(), 1);
    ASSERT_EQ(vc_changeSPEED(), 1);
    EXPECT_EQ(Control("speed"), "OK 60 FF FD");
    const Bytes data = brindel_test::Pattern(kSector + 20000, 8);
    for (uint32_t n = 0; n < 2; ++n) {
        const uint32_t at = n * kSector;
        const uint32_t bytes = std::min<uint32_t>(kSector, static_cast<uint32_t>(data.size()) - at);
        EXPECT_EQ(vc_DownloadSectorCommand(static_cast<int>(0x8000000 + at), 0x20000, static_cast<int>(bytes)), 0xCB);
        uint32_t sum = 0;
        for (uint32_t done = 0; done < bytes; done += 8192) {
            const uint32_t piece = std::min<uint32_t>(8192, bytes - done);
            EXPECT_EQ(vc_write_buffer(data.data() + at + done, static_cast<int>(piece)), static_cast<int>(piece));
            for (uint32_t i = 0; i < piece; ++i)
                sum += data[at + done + i];
        }
        EXPECT_EQ(vc_rd_sector_end(), 0xCC);
        EXPECT_EQ(vc_CheckSumReceived(), sum);
    }
    Bytes back(0x20000, 0);
    EXPECT_EQ(vc_ReadSector(0x8020000, 0x20000, back.data()), DWL_OK);
    EXPECT_EQ(Slice(back, 0, 20000), Slice(data, kSector, 20000));
    EXPECT_EQ(back[20000], 0xFF);
    EXPECT_EQ(vc_dwl11_51SpeedControl(), 202);
    EXPECT_EQ(vc_power_off(), 0xC0);
    EXPECT_EQ(vc_dwl12_1UartStop(3), DWL_OK);
    EXPECT_EQ(Slice(FlashAfter(), 0, data.size()), data);
}

// A download on a context of the caller's own: nothing of it comes from the
// process-wide context, whose choices would each break this download (UART1
// speed parameters, project type 0, a read-block type, another port), and
// nothing of it lands there.
TEST_F(DownloadTest, ACallersOwnContextIsTheOnlyOneUsed)
{
    T_DownloadContext& global = sg_DownloadContext;
    global.port = 9;
    global.uartSelect = 1;
    global.projectType = 0;
    global.downloadType = 5;
    global.checkSimlockOption = 1;
    std::fill(std::begin(global.waitStates), std::end(global.waitStates), uint8_t{7});
    const T_DownloadContext before = global;
    vg_BaseAddress = 0x200000;  // a base of another project type

    const Bytes software = MakeSoftware(kSector + 5000, kTag2);
    dir_.Write("own.cla", software);
    Connect();
    T_DownloadContext own;
    dwl50_3InitialContext(&own);
    own.port = 2;
    own.projectType = 4;
    own.downloadType = 0;
    own.speedIndex = 5;
    std::strcpy(own.softwarePath, (dir_.path() + "/own.cla").c_str());
    ASSERT_EQ(dwl51_0InitLoadFile_ctx(&own), DWL_OK);
    const DownloadResult r = dwl51_50MMIStart(&own);
    EXPECT_EQ(r.family, DWL_SOFT_OK) << r.code;
    EXPECT_EQ(Control("speed"), "OK 60 FF FD");  // the UART0 row
    EXPECT_EQ(line_->events()[0], "open COM2");
    dwl50_4FreeContext(&own);
    EXPECT_EQ(Slice(FlashAfter(), 0, software.size()), software);
    EXPECT_EQ(std::memcmp(&before, &global, sizeof before), 0);

    // The bridge's steps on a context of its own.
    Connect();
    dwl50_3InitialContext(&own);
    ASSERT_EQ(init_DownloadContext_ctx(&own), DWL_OK);
    ASSERT_EQ(init_serial_port_first_ctx(&own, 3, 60), DWL_OK);
    ASSERT_EQ(start_boot_loader_ctx(&own, (dir_.path() + "/dwl874_7.spm").c_str()), DWL_OK);
    ASSERT_EQ(vc_setGPIO_ctx(&own), DWL_OK);
    ASSERT_EQ(vc_changeSPEED_ctx(&own), DWL_OK);
    EXPECT_EQ(Control("speed"), "OK 60 FF FD");
    const Bytes data = brindel_test::Pattern(9000, 4);
    ASSERT_EQ(vc_DownloadSectorCommand_ctx(&own, 0x8020000, 0x20000, 9000), 0xCB);
    EXPECT_EQ(vc_write_buffer_ctx(&own, data.data(), 8192), 8192);
    EXPECT_EQ(vc_write_buffer_ctx(&own, data.data() + 8192, 808), 808);
    EXPECT_EQ(vc_rd_sector_end_ctx(&own), 0xCC);
    uint32_t sum = 0;
    for (uint8_t b : data)
        sum += b;
    EXPECT_EQ(vc_CheckSumReceived_ctx(&own), sum);
    Bytes back(9000);
    EXPECT_EQ(vc_ReadSector_ctx(&own, 0x8020000, 9000, back.data()), DWL_OK);
    EXPECT_EQ(back, data);
    EXPECT_EQ(vc_dwl11_51SpeedControl_ctx(&own), 202);
    EXPECT_EQ(vc_power_off_ctx(&own), 0xC0);
    EXPECT_EQ(vc_dwl12_1UartStop(3), DWL_OK);
    EXPECT_EQ(std::memcmp(&before, &global, sizeof before), 0);
}

// A port that stops taking bytes (a cable pulled) ends the step that wrote,
// as "PC uart problem", wherever it happens: nothing goes on to wait for an
// answer to bytes that never left.
TEST_F(DownloadTest, APortThatCannotBeWrittenEndsTheDownloadAtOnce)
{
    const Bytes software = MakeSoftware(kSector, kTag2);
    Connect();
    Choose(4, 0, &software, nullptr);
    ASSERT_EQ(dwl51_50MMIStart(&sg_DownloadContext).family, DWL_SOFT_OK);
    const Bytes sent = line_->sent();
    auto at = [&sent](const Bytes& pattern) {
        return static_cast<size_t>(std::search(sent.begin(), sent.end(), pattern.begin(), pattern.end()) -
                                   sent.begin());
    };
    const size_t jump = at({0x60, 0x00});  // the end of the boot
    const size_t sector = at({0xEA, 0x00, 0x02, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00});
    ASSERT_LT(sector, sent.size());
    struct Case {
        const char* stage;
        size_t failFrom;
    };
    const Case cases[] = {
        {"the boot's D", 0},
        {"the boot configuration", 5},
        {"the GPIO command", jump + 2},
        {"the sector command", sector},
        {"the sector data", sector + 13 + 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        dir_.Write("flash.img", FlashWith({}));
        Connect().FailWritesAfter(c.failFrom);
        Choose(4, 0, &software, nullptr);
        const uint32_t start = line_->nowMs();
        const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
        EXPECT_EQ(r.family, DWL_SOFT_LIB_PC_ERR);
        EXPECT_EQ(r.code, DWL_PCLIB_UART);
        EXPECT_LT(line_->nowMs() - start, 10000u) << "waited for an answer";
    }

    // The bridge's steps give the port's error instead of a reply byte.
    dir_.Write("flash.img", FlashWith({}));
    Connect();
    ASSERT_EQ(init_DownloadContext(), DWL_OK);
    ASSERT_EQ(init_serial_port_first(3, 60), DWL_OK);
    ASSERT_EQ(start_boot_loader((dir_.path() + "/dwl874_7.spm").c_str()), DWL_OK);
    line_->FailWritesAfter(line_->sent().size());
    EXPECT_LT(vc_setGPIO(), 0);
    EXPECT_LT(vc_DownloadSectorCommand(0x8000000, 0x20000, 10), 0);
    EXPECT_EQ(sg_ResultDownload.family, DWL_SOFT_LIB_PC_ERR);
    EXPECT_LT(vc_power_off(), 0);
}

}  // namespace

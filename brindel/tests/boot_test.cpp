// The boot protocol against the emulator's boot ROM, on an in-process line.
#include "brindel/dwl12pclib.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"
#include "support/boot_phone.h"
#include "support/fake_line.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using brindel_test::FakeLine;
using brindel_test::ScriptedDevice;
using brindel_test::TempDir;

constexpr uint8_t kPort = 1;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes SetAddress(uint32_t a)
{
    return {0x00, 0x03, uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a)};
}

Bytes Block(const Bytes& data)
{
    const size_t last = data.size() - 1;
    return Concat({{uint8_t(0x40 | (last >> 8)), uint8_t(last & 0xFF)}, data});
}

std::unique_ptr<simphone::Device> Phone(const std::string& chip, bool withId = false, uint8_t man = 0, uint8_t dev = 0)
{
    auto d = brindel_test::BootPhone(chip, withId, man, dev);
    EXPECT_NE(d, nullptr) << chip;
    return d;
}

class BootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dwl50_0ResetContext();
        dir_.Enter();
        spm_ = Pattern(100);
        for (const char* name : {"dwl8586.spm", "dwl87.spm", "dwl874_5.spm", "dwl874_7.spm"})
            dir_.Write(name, spm_);
    }
    void TearDown() override
    {
        dwl17_1CloseDebugTrace();
        line_.reset();
        dwl50_0ResetContext();
    }

    static Bytes Pattern(size_t n)
    {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = static_cast<uint8_t>(i * 7 + 1);
        return b;
    }

    // Connects the engine to a device and opens the port as the operator does for UART0.
    FakeLine& Connect(std::unique_ptr<simphone::Device> device, unsigned timeoutSeconds = 5)
    {
        line_ = std::make_unique<FakeLine>(std::move(device));
        line_->Install();
        sg_DownloadContext.port = kPort;
        EXPECT_EQ(dwl12_0UartInit(kPort, 38400, RT_PARITY_EVEN, timeoutSeconds), DWL_OK);
        return *line_;
    }

    // What the engine sent after the "D".
    Bytes AfterD() const
    {
        const Bytes& s = line_->sent();
        EXPECT_FALSE(s.empty());
        if (s.empty())
            return {};
        EXPECT_EQ(s[0], 0x44);
        return Bytes(s.begin() + 1, s.end());
    }

    TempDir dir_;
    Bytes spm_;
    std::unique_ptr<FakeLine> line_;
};

// Each project type's chip selects, register writes, SPM transfer and jump.
TEST_F(BootTest, ProjectTypesOnTheWire)
{
    struct Case {
        uint8_t type;
        const char* chip;
        uint8_t ws[4];
        Bytes expected;
        uint32_t base;
    };
    const Bytes jump = {0x60, 0x00};
    const uint32_t size = 0x00123456;
    const Case cases[] = {
        {0,
         "pcf5085",
         {3, 3, 3, 3},
         Concat({{0xC6, 0x03, 0x0E, 0x84, 0xD7, 0x06, 0xD7, 0x86},
                 SetAddress(0x200000),
                 Block(spm_),
                 SetAddress(0x203000),
                 {0x40, 0x03, 0x00, 0x12, 0x34, 0x56},
                 SetAddress(0x200000),
                 jump}),
         0x200000},
        {1,
         "pcf5087",
         {1, 2, 3, 4},
         Concat({{0xC6, 0x81, 0xCE, 0x02, 0xD7, 0x03, 0xD7, 0x84}, SetAddress(0), Block(spm_), SetAddress(0), jump}),
         0x200000},
        {2,
         "pcf5087",
         {0, 0, 0, 0},
         Concat({{0xC6, 0x80, 0x96, 0x00, 0xC7, 0x00, 0xD7, 0x80}, SetAddress(0), Block(spm_), SetAddress(0), jump}),
         0x200000},
        {3,
         "pcf5087",
         {0, 0, 0, 0},
         Concat({{0xC7, 0x00, 0x56, 0x00, 0x06, 0x40, 0x07, 0x80},
                 SetAddress(0xFFFF8003),
                 {0x40, 0x00, 0x70},
                 SetAddress(0),
                 Block(spm_),
                 SetAddress(0),
                 jump}),
         0x2000000},
        // Wait states 9 and 15: only their low three bits are sent.
        {4,
         "pcf5087",
         {9, 0, 15, 0},
         Concat({{0xC6, 0x81, 0xD6, 0x00, 0x07, 0x07, 0x07, 0x80},
                 SetAddress(0xFFFF8002),
                 {0x80, 0x01, 0x01, 0x00},
                 SetAddress(0),
                 Block(spm_),
                 SetAddress(0),
                 jump}),
         0x8000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type));
        dwl50_0ResetContext();
        FakeLine& line = Connect(Phone(c.chip));
        sg_DownloadContext.projectType = c.type;
        sg_DownloadContext.softwareSize = size;
        std::copy(std::begin(c.ws), std::end(c.ws), sg_DownloadContext.waitStates);

        const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
        EXPECT_EQ(r.family, DWL_SOFT_OK);
        EXPECT_EQ(r.code, 0);
        EXPECT_STREQ(r.comment, "no comment");
        EXPECT_EQ(AfterD(), c.expected);
        EXPECT_EQ(vg_BaseAddress, c.base);
        EXPECT_EQ(sg_DownloadContext.manufacturerId, 0x89);
        EXPECT_EQ(sg_DownloadContext.deviceId, 0x18);
        EXPECT_EQ(line.pending(), 0u);  // every byte of the loader was consumed
        EXPECT_EQ(line.device()->control("status"), "OK state=loader variant=" + std::to_string(c.type));

        // DTR is driven around the acknowledge for the PCF5087 types only.
        const auto& ev = line.events();
        const bool raised = std::find(ev.begin(), ev.end(), "dtr 1") != ev.end();
        EXPECT_EQ(raised, c.type != 0);
        EXPECT_EQ(ev.back(), "dtr 0");
    }
}

TEST_F(BootTest, SoftwareSizeReachesThePcf5085Ram)
{
    FakeLine& line = Connect(Phone("pcf5085"));
    sg_DownloadContext.projectType = 0;
    sg_DownloadContext.softwareSize = 0x01A2B3C4;
    ASSERT_EQ(dwl1_0boot(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_EQ(line.device()->control("peek 0x203000 4"), "OK 01 A2 B3 C4");
    EXPECT_EQ(line.device()->control("peek 0x200000 2"), "OK 01 08");
}

TEST_F(BootTest, RegisterWritesReachTheRom)
{
    FakeLine& line = Connect(Phone("pcf5087"));
    sg_DownloadContext.projectType = 4;
    ASSERT_EQ(dwl1_0boot(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_EQ(line.device()->control("register 0xFFFF8002"), "OK 01 00");
}

TEST(BootCoherence, AcknowledgeAgainstProjectType)
{
    struct Case {
        uint8_t ack;
        int type0;
        int types1to4;
    };
    const Case cases[] = {
        {0xCC, DWL_OK, DWL_BOOT_FROM_5085},
        {0x28, DWL_OK, DWL_BOOT_FROM_5086},
        {0xBE, DWL_BOOT_FROM_5087, DWL_OK},
        {0xEB, DWL_BOOT_FROM_5087, DWL_OK},
        {0x49, DWL_OK, DWL_OK},
        {0x9D, DWL_BOOT_UNKNOWN_ACK, DWL_BOOT_UNKNOWN_ACK},
        {0x00, DWL_BOOT_UNKNOWN_ACK, DWL_BOOT_UNKNOWN_ACK},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dwl1_2BootCoherence(c.ack, 0), c.type0) << int(c.ack);
        for (uint8_t t = 1; t <= 4; ++t)
            EXPECT_EQ(dwl1_2BootCoherence(c.ack, t), c.types1to4) << int(c.ack) << " type " << int(t);
    }
    EXPECT_STREQ(dwl1_60BootChipName(0x28), "BOOT FROM A PCF5086");
    EXPECT_STREQ(dwl1_60BootChipName(0x49), "BOOT FROM A PCF5087");
    EXPECT_STREQ(dwl1_60BootChipName(0xBE), "BOOT FROM A PCF5087");
    EXPECT_STREQ(dwl1_60BootChipName(0xCC), "BOOT FROM A PCF5085");
    EXPECT_STREQ(dwl1_60BootChipName(0x12), "Unknown boot");
}

TEST_F(BootTest, CoherenceThroughTheRom)
{
    struct Case {
        const char* chip;
        uint8_t type;
        int family, code;
    };
    const Case cases[] = {
        {"pcf5085", 3, DWL_SOFT_BOOT_ERR, DWL_BOOT_FROM_5085}, {"pcf5085", 0, DWL_SOFT_OK, 0},
        {"pcf5086", 1, DWL_SOFT_BOOT_ERR, DWL_BOOT_FROM_5086}, {"pcf5086", 0, DWL_SOFT_OK, 0},
        {"pcf5087", 0, DWL_SOFT_BOOT_ERR, DWL_BOOT_FROM_5087},
    };
    for (const auto& c : cases) {
        dwl50_0ResetContext();
        Connect(Phone(c.chip));
        sg_DownloadContext.projectType = c.type;
        const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
        EXPECT_EQ(r.family, c.family) << c.chip << " type " << int(c.type);
        EXPECT_EQ(r.code, c.code) << c.chip << " type " << int(c.type);
    }
}

// "I" is the UART1 acknowledge: the UART0 handshake discards it as noise,
// and a phone sending only noise ends in TIME OUT after one time-out.
TEST_F(BootTest, Uart1AcknowledgeIsNoiseOnUart0)
{
    FakeLine& line = Connect(Phone("pcf5087-uart1"), 5);
    sg_DownloadContext.projectType = 4;
    const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_BOOT_ERR);
    EXPECT_EQ(r.code, DWL_BOOT_TIME_OUT);
    EXPECT_EQ(sg_DownloadContext.bootAcknowledge, 0x9D);
    EXPECT_GE(line.nowMs(), 5000u);
    EXPECT_LT(line.nowMs(), 6000u);
}

TEST_F(BootTest, Uart1Boot)
{
    FakeLine& line = Connect(Phone("pcf5087-uart1"));
    sg_DownloadContext.projectType = 4;
    sg_DownloadContext.uartSelect = 1;
    vg_BaseAddress = 0x200000;  // left by an earlier boot of another project type
    const DownloadResult r = dwl1_4bootUart1(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_OK);
    EXPECT_EQ(line.sent(), Bytes{0x44});  // no chip selects, no SPM
    EXPECT_EQ(vg_BaseAddress, 0x8000000u);  // the flash base of the project type all the same
    EXPECT_EQ(sg_DownloadContext.bootAcknowledge, 0x49);
    EXPECT_EQ(line.pending(), 0u);

    // A UART0 phone never says "I".
    Connect(Phone("pcf5087"));
    EXPECT_EQ(dwl1_4bootUart1(&sg_DownloadContext).code, DWL_BOOT_TIME_OUT);
}

TEST_F(BootTest, SilentPhone)
{
    Connect(nullptr);
    sg_DownloadContext.projectType = 4;
    DownloadResult r = dwl1_0boot(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_BOOT_ERR);
    EXPECT_EQ(r.code, DWL_BOOT_TIME_OUT);
    EXPECT_STREQ(dwl_GetResultMessage(r.family, r.code), "TIME OUT");
    EXPECT_EQ(line_->events().back(), "dtr 0");

    auto phone = Phone("pcf5087");
    phone->control("fault silent");
    Connect(std::move(phone));
    EXPECT_EQ(dwl1_0boot(&sg_DownloadContext).code, DWL_BOOT_TIME_OUT);
}

TEST_F(BootTest, SpmSizeLimits)
{
    dir_.Write("dwl874_7.spm", Pattern(8191));
    FakeLine& line = Connect(Phone("pcf5087"));
    sg_DownloadContext.projectType = 4;
    ASSERT_EQ(dwl1_0boot(&sg_DownloadContext).family, DWL_SOFT_OK);
    // After the chip selects, the register write and the set address: one block.
    const Bytes after = AfterD();
    const size_t header = 8 + 6 + 4 + 6;
    ASSERT_GT(after.size(), header + 2 + 8191);
    EXPECT_EQ(after[header], 0x5F);
    EXPECT_EQ(after[header + 1], 0xFE);
    EXPECT_EQ(after.size(), header + 2 + 8191 + 6 + 2);
    EXPECT_EQ(line.device()->control("peek 0 1"), "OK 01");

    dir_.Write("dwl874_7.spm", Pattern(8192));
    Connect(Phone("pcf5087"));
    DownloadResult r = dwl1_0boot(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_LIB_PC_ERR);
    EXPECT_EQ(r.code, DWL_PCLIB_SPM_TOO_LONG);
    EXPECT_TRUE(line_->sent().empty());

    dir_.Remove("dwl874_7.spm");
    Connect(Phone("pcf5087"));
    r = dwl1_0boot(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_LIB_PC_ERR);
    EXPECT_EQ(r.code, DWL_PCLIB_FILE_NOT_FOUND);

    sg_DownloadContext.projectType = 7;
    r = dwl1_0boot(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_LIB_PC_ERR);
    EXPECT_EQ(r.code, DWL_PCLIB_UNKNOWN_SPM);
}

TEST_F(BootTest, EmptySpmSendsNoBlockAndTheLoaderNeverStarts)
{
    dir_.Write("dwl87.spm", {});
    Connect(Phone("pcf5087"));
    sg_DownloadContext.projectType = 1;
    const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
    EXPECT_EQ(AfterD(),
              Concat({{0xC6, 0x80, 0xCE, 0x00, 0xD7, 0x00, 0xD7, 0x80}, SetAddress(0), SetAddress(0), {0x60, 0x00}}));
    EXPECT_EQ(r.family, DWL_SOFT_BOOT_ERR);
    EXPECT_EQ(r.code, DWL_BOOT_STACK_POINTER);
}

TEST_F(BootTest, UnknownChipSelectSetSendsNothing)
{
    Connect(nullptr);
    const uint8_t size[4] = {};
    EXPECT_EQ(dwl1_1ConfigurationBootstrap(kPort, 5, sg_DownloadContext.waitStates, spm_.data(), 100, size),
              DWL_BOOT_CHIP_SELECT);
    EXPECT_TRUE(line_->sent().empty());
}

// The resident loader's identification: the manufacturers it accepts, the
// third byte of two chips, and a genuine 0x9D that is data, not a time-out.
TEST_F(BootTest, FlashIdentificationVariants)
{
    struct Case {
        uint8_t man, dev;
        int family, code;
    };
    const Case cases[] = {
        {0x01, 0xE3, DWL_SOFT_OK, 0},
        {0x01, 0xE4, DWL_SOFT_OK, 0},
        {0x01, 0x4F, DWL_SOFT_OK, 0},
        {0x04, 0x95, DWL_SOFT_OK, 0},
        {0x07, 0x01, DWL_SOFT_OK, 0},
        {0x20, 0xB7, DWL_SOFT_OK, 0},
        {0x2C, 0x16, DWL_SOFT_OK, 0},
        {0x89, 0x9D, DWL_SOFT_OK, 0},
        {0x98, 0x9C, DWL_SOFT_OK, 0},
        {0x55, 0x01, DWL_SOFT_BOOT_ERR, DWL_BOOT_FLASH_ID},
        {0x9D, 0x01, DWL_SOFT_BOOT_ERR, DWL_BOOT_FLASH_ID},
    };
    for (const auto& c : cases) {
        dwl50_0ResetContext();
        FakeLine& line = Connect(Phone("pcf5087", true, c.man, c.dev));
        sg_DownloadContext.projectType = 2;
        const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
        EXPECT_EQ(r.family, c.family) << int(c.man) << "/" << int(c.dev);
        EXPECT_EQ(r.code, c.code) << int(c.man) << "/" << int(c.dev);
        EXPECT_EQ(sg_DownloadContext.manufacturerId, c.man);
        if (c.family == DWL_SOFT_OK) {
            EXPECT_EQ(sg_DownloadContext.deviceId, c.dev);
            EXPECT_EQ(line.pending(), 0u) << int(c.man) << "/" << int(c.dev);
        }
    }
}

TEST_F(BootTest, ExtraIdentificationByteOnlyForTheTwoChips)
{
    // Read directly: after a 01/4F identification nothing else is consumed,
    // so a byte that follows stays for the next command.
    Connect(std::make_unique<ScriptedDevice>(0xEB, 0, Bytes{0xC2, 0x01, 0x4F, 0x77}));
    sg_DownloadContext.projectType = 4;
    uint8_t ack = 0xEB;
    (void)dwl12_11ReadUntil(kPort, &ack, 1);
    (void)dwl12_8WriteByte(kPort, 0x44);
    ASSERT_EQ(dwl12_7ReadByte(kPort), 0x44);
    EXPECT_EQ(dwl1_3GetTypeFlash(&sg_DownloadContext), DWL_OK);
    EXPECT_EQ(dwl12_7ReadByte(kPort), 0x77);

    Connect(std::make_unique<ScriptedDevice>(0xEB, 0, Bytes{0xC2, 0x01, 0xE3, 0x77, 0x66}));
    (void)dwl12_11ReadUntil(kPort, &ack, 1);
    (void)dwl12_8WriteByte(kPort, 0x44);
    ASSERT_EQ(dwl12_7ReadByte(kPort), 0x44);
    EXPECT_EQ(dwl1_3GetTypeFlash(&sg_DownloadContext), DWL_OK);
    EXPECT_EQ(dwl12_7ReadByte(kPort), 0x66);
}

TEST_F(BootTest, LoaderFaults)
{
    struct Case {
        const char* chip;
        uint8_t type;
        const char* fault;
        int code;
    };
    const Case cases[] = {
        {"pcf5087", 4, "fault no-loader", DWL_BOOT_STACK_POINTER},
        {"pcf5087", 4, "fault bad-identification", DWL_BOOT_FLASH_ID_ACK},
        {"pcf5087", 4, "fault no-identification", DWL_BOOT_FLASH_ID_ACK},
        {"pcf5085", 0, "fault no-identification", DWL_BOOT_FLASH_ID_TIMEOUT},
    };
    for (const auto& c : cases) {
        dwl50_0ResetContext();
        auto phone = Phone(c.chip);
        ASSERT_EQ(phone->control(c.fault), "OK");
        Connect(std::move(phone));
        sg_DownloadContext.projectType = c.type;
        const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
        EXPECT_EQ(r.family, DWL_SOFT_BOOT_ERR) << c.fault;
        EXPECT_EQ(r.code, c.code) << c.fault;
    }
    // No "D" echo at all: a transmission problem.
    Connect(std::make_unique<ScriptedDevice>(0xEB, 0, Bytes{}, false));
    sg_DownloadContext.projectType = 4;
    EXPECT_EQ(dwl1_0boot(&sg_DownloadContext).code, DWL_BOOT_BAD_ACK);
    // A time-out on the device id is a time-out, not device 0x9D.
    Connect(std::make_unique<ScriptedDevice>(0xEB, 0, Bytes{0xA0, 0, 0, 0xC2, 0x89}));
    EXPECT_EQ(dwl1_0boot(&sg_DownloadContext).code, DWL_BOOT_FLASH_ID_TIMEOUT);
}

TEST_F(BootTest, StartBootLoader)
{
    init_DownloadContext();
    EXPECT_EQ(sg_DownloadContext.projectType, 4);
    EXPECT_EQ(sg_DownloadContext.speedIndex, 5);
    EXPECT_EQ(std::string(sg_DownloadContext.softwarePath), dir_.path() + "/default.cla");

    const std::string spm = dir_.path() + "/bridge.spm";
    dir_.Write("bridge.spm", spm_);
    sg_DownloadContext.projectType = 1;
    sg_DownloadContext.speedIndex = 0;
    FakeLine& line = Connect(Phone("pcf5087"), 60);
    EXPECT_EQ(start_boot_loader(spm.c_str()), 1);
    EXPECT_EQ(sg_DownloadContext.projectType, 4);
    EXPECT_EQ(sg_DownloadContext.speedIndex, 5);
    EXPECT_EQ(line.device()->control("status"), "OK state=loader variant=4");
    EXPECT_EQ(line.pending(), 0u);

    EXPECT_EQ(start_boot_loader((dir_.path() + "/none.spm").c_str()), 3);

    Connect(nullptr, 60);
    EXPECT_EQ(start_boot_loader(spm.c_str()), 157);
    EXPECT_EQ(line_->events().back(), "dtr 0");

    auto silent = Phone("pcf5087");
    silent->control("fault silent");
    Connect(std::move(silent), 60);
    EXPECT_EQ(start_boot_loader(spm.c_str()), 157);

    auto noId = Phone("pcf5087");
    noId->control("fault no-identification");
    Connect(std::move(noId), 60);
    EXPECT_EQ(start_boot_loader(spm.c_str()), 12);

    Connect(Phone("pcf5087", true, 0x42, 0x01), 60);
    EXPECT_EQ(start_boot_loader(spm.c_str()), 15);
}

// The bridge's boot reads the coherence bytes but does not stop on them.
TEST_F(BootTest, StartBootLoaderIgnoresAMismatchedChip)
{
    const std::string spm = dir_.path() + "/bridge.spm";
    dir_.Write("bridge.spm", spm_);
    const size_t configuration = 8 + 6 + 4 + 6 + 2 + spm_.size() + 6 + 2;
    Connect(std::make_unique<ScriptedDevice>(0xCC, configuration, Bytes{0xA0, 0, 0, 0xC2, 0x89, 0x18}), 60);
    EXPECT_EQ(start_boot_loader(spm.c_str()), 1);
    EXPECT_EQ(sg_DownloadContext.bootAcknowledge, 0xCC);
}

TEST_F(BootTest, OverlongSpmForTheBridgeSendsNoProgram)
{
    dir_.Write("big.spm", Pattern(9000));
    Connect(Phone("pcf5087"), 60);
    EXPECT_EQ(start_boot_loader((dir_.path() + "/big.spm").c_str()), 12);
    const Bytes after = AfterD();
    EXPECT_EQ(after.size(), 8u + 6 + 4 + 6 + 6 + 2);  // no block command
}

std::vector<std::string> g_Trace;
void Collect(const char* line, void*)
{
    g_Trace.emplace_back(line);
}

TEST_F(BootTest, TraceLines)
{
    g_Trace.clear();
    dwl17_0OpenDebugTrace(&Collect, nullptr);
    Connect(Phone("pcf5087"));
    sg_DownloadContext.projectType = 4;
    ASSERT_EQ(dwl1_0boot(&sg_DownloadContext).family, DWL_SOFT_OK);
    dwl17_1CloseDebugTrace();

    auto steps = [] {
        std::vector<std::string> boot;
        for (const auto& l : g_Trace)
            if (l.starts_with("BOOT"))
                boot.push_back(l);
        return boot;
    };
    const std::vector<std::string> expected = {
        "BOOT : Start the boot sequence ",
        "BOOT : Configurate chip select and jump at the rigth address ",
        "BOOT : Chip select 0 ",
        "BOOT : Chip select 1 ",
        "BOOT : Chip select 2 ",
        "BOOT : Chip select 3 ",
        "BOOT : Send command SetStartCommand ",
        "BOOT : Transfert the SPM file ",
        "BOOT : Jump to Start address ",
        "BOOT : Get the type of flash ",
    };
    EXPECT_EQ(steps(), expected);
    EXPECT_NE(std::find(g_Trace.begin(), g_Trace.end(), "< EB"), g_Trace.end());
    EXPECT_NE(std::find(g_Trace.begin(), g_Trace.end(), "> 44"), g_Trace.end());
    EXPECT_NE(std::find(g_Trace.begin(), g_Trace.end(), "> 01 08 0F 16 1D 24 2B 32 39 40...   Length(100)"),
              g_Trace.end());
    EXPECT_NE(std::find(g_Trace.begin(), g_Trace.end(), "> 80 01 01 00...   Length(4)"), g_Trace.end());

    // The bridge's boot traces the same steps.
    g_Trace.clear();
    dwl17_0OpenDebugTrace(&Collect, nullptr);
    Connect(Phone("pcf5087"), 60);
    ASSERT_EQ(start_boot_loader("dwl874_7.spm"), DWL_OK);
    dwl17_1CloseDebugTrace();
    EXPECT_EQ(steps(), expected);

    // Closed: nothing is traced.
    g_Trace.clear();
    Connect(Phone("pcf5087"));
    ASSERT_EQ(dwl1_0boot(&sg_DownloadContext).family, DWL_SOFT_OK);
    EXPECT_TRUE(g_Trace.empty());
}

}  // namespace

// The command layer on the wire: the bytes each command sends, and the code
// each answer of the phone gives, against a phone that answers from a script.
#include "brindel/dwl11command.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl2spm85.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/runtime/dwl_rt.h"
#include "support/fake_line.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using brindel_test::Bytes;
using brindel_test::FakeLine;

constexpr uint8_t kPort = 1;

// Answers `reply` once the phone has received `after` bytes in all.
struct Step {
    size_t after;
    Bytes reply;
};

class ScriptPhone : public simphone::Device {
public:
    explicit ScriptPhone(std::vector<Step> steps) : steps_(std::move(steps)) { }
    void receive(std::span<const uint8_t> in, std::vector<uint8_t>& out) override
    {
        received_ += in.size();
        tick(0, out);
    }
    void tick(uint32_t, std::vector<uint8_t>& out) override
    {
        while (next_ < steps_.size() && received_ >= steps_[next_].after) {
            out.insert(out.end(), steps_[next_].reply.begin(), steps_[next_].reply.end());
            ++next_;
        }
    }

private:
    std::vector<Step> steps_;
    size_t next_ = 0;
    size_t received_ = 0;
};

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Marker()
{
    const std::string m = "download identification area";
    return Cat({{28}, Bytes(m.begin(), m.end())});
}

Bytes Le32(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override { dwl50_0ResetContext(); }
    void TearDown() override
    {
        dwl52_0SetDisplaySink(nullptr);
        line_.reset();
        dwl50_0ResetContext();
    }
    FakeLine& Phone(std::vector<Step> steps)
    {
        line_ = std::make_unique<FakeLine>(std::make_unique<ScriptPhone>(std::move(steps)));
        line_->Install();
        sg_DownloadContext.port = kPort;
        EXPECT_EQ(dwl12_0UartInit(kPort, 38400, RT_PARITY_EVEN, 10), DWL_OK);
        return *line_;
    }
    std::unique_ptr<FakeLine> line_;
};

TEST_F(CommandTest, SpeedChangeSendsTheParametersWithTheirSumAndReopensThePort)
{
    struct Case {
        uint8_t index, uart;
        Bytes parameters;
        uint32_t baud;
    };
    const Case cases[] = {
        {5, 0, {0x60, 0xFF, 0xFD, 0x02, 0x5C}, 230400},
        {0, 1, {0x50, 0xFF, 0xD6, 0x02, 0x25}, 38400},
        {31, 1, {0xC0, 0xFF, 0xFF, 0x02, 0xBE}, 921600},
        {1, 0, {0x00, 0xFF, 0xF9, 0x01, 0xF8}, 115200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.index));
        FakeLine& line = Phone({{1, {0xC0}}, {6, {0xC3, 0x00}}, {7, {0xCA}}});
        sg_DownloadContext.uartSelect = c.uart;
        EXPECT_EQ(dwl11_50ChangeSpeed(10, kPort, c.index, sg_DownloadContext.uartSelect), DWL_OK);
        EXPECT_EQ(line.sent(), Cat({{0xE0}, c.parameters, {0xE9}}));
        EXPECT_NE(std::find(line.events().begin(), line.events().end(), "line " + std::to_string(c.baud) + " 0"),
                  line.events().end());
        EXPECT_EQ(rt_GetComTimeMs(kPort), 10000);
    }
}

TEST_F(CommandTest, AnswersGiveTheirCodes)
{
    struct Case {
        const char* name;
        std::vector<Step> script;
        std::function<int()> run;
        int expected;
    };
    auto speed = [] { return dwl11_50ChangeSpeed(10, kPort, 5, sg_DownloadContext.uartSelect); };
    auto pmu = [] { return dwl11_52SetPMU(kPort); };
    auto gpio = [] { return dwl11_53SetGPIO(kPort); };
    auto eraseResult = [] { return dwl11_5FlashEraseResult(kPort, &sg_DownloadContext); };
    auto off = [] { return dwl11_7SwitchOffCommand(kPort); };
    auto restore = [] { return dwl11_2RestoreSimlockKeys(kPort, sg_DownloadContext.checkSimlockOption); };
    auto restoreChecked = [] {
        sg_DownloadContext.checkSimlockOption = 1;
        return dwl11_2RestoreSimlockKeys(kPort, sg_DownloadContext.checkSimlockOption);
    };
    const size_t m = 1 + 29;  // restore command and marker
    const Case cases[] = {
        {"speed refused", {{1, {0xC1}}}, speed, DWL_COMMAND_BAD_ACK},
        {"speed parameters refused", {{1, {0xC0}}, {6, {0xC4}}}, speed, DWL_COMMAND_BAD_SPEED_ACK},
        {"speed checksum", {{1, {0xC0}}, {6, {0xC3, 0x01}}}, speed, DWL_COMMAND_BAD_SPEED_CHECKSUM},
        {"speed control silent", {{1, {0xC0}}, {6, {0xC3, 0x00}}}, speed, DWL_COMMAND_SPEED_CONTROL},
        {"speed control late", {{1, {0xC0}}, {6, {0xC3, 0x00}}, {9, {0xCA}}}, speed, DWL_OK},
        {"pmu", {{1, {0xC0, 0xCF, 0x00}}}, pmu, DWL_OK},
        {"pmu refused", {{1, {0xC1}}}, pmu, DWL_COMMAND_BAD_ACK},
        {"pmu not set", {{1, {0xC0, 0xC0}}}, pmu, DWL_COMMAND_BAD_PMU_ACK},
        {"gpio", {{1, {0xC0, 0xC9}}}, gpio, DWL_OK},
        {"gpio refused", {{1, {0x00}}}, gpio, DWL_COMMAND_BAD_ACK},
        {"gpio not set", {{1, {0xC0, 0xCA}}}, gpio, DWL_COMMAND_BAD_GPIO_ACK},
        {"erase done", {{0, {0xC5, 0xF6}}}, eraseResult, DWL_OK},
        {"erase not started", {{0, {0xC4, 0xF6}}}, eraseResult, DWL_COMMAND_ERASE_ABORTED},
        {"erase failed", {{0, {0xC5, 0xF3}}}, eraseResult, DWL_COMMAND_ERASE_FAILED},
        {"erase DQ6", {{0, {0xC5, 0xF4}}}, eraseResult, DWL_COMMAND_ERASE_FAILED_DQ6},
        {"erase DQ6 bis", {{0, {0xC5, 0xF5}}}, eraseResult, DWL_COMMAND_ERASE_FAILED_DQ6_BIS},
        {"erase other", {{0, {0xC5, 0x9D}}}, eraseResult, DWL_COMMAND_ERASE_DEFAULT},
        {"erase time-out", {{0, {0xC5}}}, eraseResult, DWL_COMMAND_ERASE_DEFAULT},
        {"switch off", {{1, {0xC0}}}, off, DWL_OK},
        {"switch off refused", {{1, {0xC1}}}, off, DWL_COMMAND_SWITCH_OFF},
        {"restored", {{1, {0xC0}}, {m, {0xC8, 0}}}, restore, DWL_OK},
        {"not stored", {{1, {0xC0}}, {m, {0xC8, 1}}}, restore, DWL_COMMAND_SIMLOCK_NOT_STORED},
        {"tag not found", {{1, {0xC0}}, {m, {0xC8, 2}}}, restore, DWL_COMMAND_TAG_NOT_FOUND},
        {"status 3", {{1, {0xC0}}, {m, {0xC8, 3}}}, restore, DWL_OK},
        {"status 3 checked", {{1, {0xC0}}, {m, {0xC8, 3}}}, restoreChecked, DWL_COMMAND_SIMLOCK_NOT_STORED},
        {"bad status", {{1, {0xC0}}, {m, {0xC8, 4}}}, restore, DWL_COMMAND_BAD_SIMLOCK_STATUS},
        {"restore not acknowledged", {{1, {0xC0}}, {m, {0xC7, 0}}}, restore, DWL_COMMAND_BAD_SIMLOCK_ACK},
        {"restore refused", {{1, {0xC1}}}, restore, DWL_COMMAND_BAD_ACK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dwl50_0ResetContext();
        sg_DownloadContext.projectType = 4;
        Phone(c.script);
        EXPECT_EQ(c.run(), c.expected);
    }
}

TEST_F(CommandTest, EraseParametersFollowOnlyAnAcceptedCommand)
{
    struct Case {
        uint8_t command;
        uint8_t ack;
        Bytes sent;
        int rc;
    };
    const Case cases[] = {
        {0xE4, 0xC0, {0xE4, 0x01, 0x00, 0x02, 0x00, 0x00, 0x08, 0x06, 0x00, 0x00}, DWL_OK},
        {0xE4, 0xC1, {0xE4}, DWL_COMMAND_BAD_ERASE_ACK},
        {0xE4, 0xC3, {0xE4, 0x01, 0x00, 0x02, 0x00, 0x00, 0x08, 0x06, 0x00, 0x00}, DWL_COMMAND_BAD_ERASE_ACK},
        {0xE3, 0xC0, {0xE3, 0x08, 0x06, 0x00, 0x00}, DWL_OK},
        {0xE3, 0xC1, {0xE3}, DWL_COMMAND_BAD_ERASE_ACK},
        {0xE2, 0xC0, {0xE2}, DWL_OK},
    };
    for (const Case& c : cases) {
        FakeLine& line = Phone({{1, {c.ack}}});
        EXPECT_EQ(dwl11_4EraseFlash(c.command, 0x8060000, 0x20000, 1, kPort), c.rc);
        EXPECT_EQ(line.sent(), c.sent);
    }
}

TEST_F(CommandTest, ReadChecksTheSumAndMovesTheProgress)
{
    struct Case {
        uint32_t size;
        int moves;
    };
    int moves = 0;
    T_DisplaySink sink{};
    sink.progress = [](void* user) { ++*static_cast<int*>(user); };
    sink.user = &moves;
    dwl52_0SetDisplaySink(&sink);
    for (const Case& c : {Case{100, 100}, Case{1u << 20, 64}, Case{4096 * 3 + 5, 3}}) {
        SCOPED_TRACE(c.size);
        const Bytes data = brindel_test::Pattern(c.size, c.size);
        uint32_t sum = 0;
        for (uint8_t b : data)
            sum += b;
        FakeLine& line = Phone({{1, {0xC0}}, {9, Cat({{0xC7}, data, Le32(sum)})}});
        sg_DownloadContext.downloadType = 5;
        moves = 0;
        Bytes out(c.size);
        EXPECT_EQ(dwl11_6ReadCommand(0x8000100, c.size, out.data(), kPort, sg_DownloadContext.downloadType), DWL_OK);
        EXPECT_EQ(out, data);
        EXPECT_EQ(moves, c.moves);
        if (c.size % c.moves == 0) {
            EXPECT_EQ(vg_PackPourcent, 100);
        }
        Bytes expected = {0xE6};
        Bytes params(8);
        brindel_test::PutBe32(params, 0, c.size);
        brindel_test::PutBe32(params, 4, 0x8000100);
        EXPECT_EQ(line.sent(), Cat({expected, params}));
    }
    // Other download types leave the bar alone.
    moves = 0;
    Phone({{1, {0xC0}}, {9, {0xC7, 1, 2, 3, 6, 0, 0, 0}}});
    sg_DownloadContext.downloadType = 0;
    Bytes out(3);
    EXPECT_EQ(dwl11_6ReadCommand(0, 3, out.data(), kPort, sg_DownloadContext.downloadType), DWL_OK);
    EXPECT_EQ(moves, 0);

    struct Bad {
        const char* name;
        std::vector<Step> script;
        int rc;
    };
    const Bad bad[] = {
        {"refused", {{1, {0xC1}}}, DWL_COMMAND_BAD_READ_ACK},
        {"bad parameter", {{1, {0xC0}}, {9, {0xC6}}}, DWL_COMMAND_BAD_READ_PARAMETER},
        {"short data", {{1, {0xC0}}, {9, {0xC7, 1, 2}}}, DWL_COMMAND_BAD_READ_PARAMETER},
        {"wrong sum", {{1, {0xC0}}, {9, {0xC7, 1, 2, 3, 7, 0, 0, 0}}}, DWL_COMMAND_READ_CHECKSUM},
        {"sum cut short", {{1, {0xC0}}, {9, {0xC7, 1, 2, 3, 6, 0}}}, DWL_COMMAND_READ_CHECKSUM},
    };
    for (const Bad& b : bad) {
        Phone(b.script);
        EXPECT_EQ(dwl11_6ReadCommand(0, 3, out.data(), kPort, sg_DownloadContext.downloadType), b.rc) << b.name;
    }
}

TEST_F(CommandTest, IdentificationArea)
{
    struct Case {
        const char* name;
        std::vector<Step> script;
        Bytes tag;  // empty: none
    };
    const size_t m = 1 + 29;
    const Case cases[] = {
        {"three bytes", {{1, {0xC0}}, {m, {0xC4, 0, 0, 0, 3, 0xAA, 0xBB, 0xCC}}}, {0xAA, 0xBB, 0xCC}},
        {"empty", {{1, {0xC0}}, {m, {0xC4, 0, 0, 0, 0}}}, {}},
        {"absurd length", {{1, {0xC0}}, {m, {0xC4, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2}}}, {}},
        {"cut short", {{1, {0xC0}}, {m, {0xC4, 0, 0, 0, 4, 1, 2}}}, {}},
        {"refused", {{1, {0xC1}}}, {}},
        {"no area", {{1, {0xC0}}, {m, {0xC3}}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLine& line = Phone(c.script);
        uint32_t length = 99;
        uint8_t* tag = dwl11_1GetTagInfoInEmbCla(kPort, &length);
        EXPECT_EQ(tag == nullptr, c.tag.empty());
        if (tag != nullptr) {
            EXPECT_EQ(Bytes(tag, tag + length), c.tag);
        } else {
            EXPECT_EQ(length, 0u);
        }
        std::free(tag);
        if (line.sent().size() > 1) {
            EXPECT_EQ(line.sent(), Cat({{0xE1}, Marker()}));
        }
    }
}

TEST_F(CommandTest, BridgeExports)
{
    FakeLine& line = Phone({{13, {0xCB}}, {13 + 4, Cat({{0xCC}, {0x78, 0x56, 0x34, 0x12}})}});
    EXPECT_EQ(vc_DownloadSectorCommand(0x8020000, 0x20000, 100), 0xCB);
    EXPECT_EQ(line.sent(), (Bytes{0xEA, 0x00, 0x02, 0x00, 0x00, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64}));
    const Bytes piece = {1, 2, 3, 4};
    EXPECT_EQ(vc_write_buffer(piece.data(), 4), 4);
    EXPECT_EQ(vc_rd_sector_end(), 0xCC);
    EXPECT_EQ(vc_CheckSumReceived(), 0x12345678u);

    // Time-outs give the code of the last stored result, never the awaited byte.
    Phone({});
    dwl_SetResult(&sg_ResultDownload, DWL_SOFT_OK, 0xCB);
    EXPECT_EQ(vc_DownloadSectorCommand(0x8000000, 0x20000, 1), 0);
    EXPECT_EQ(sg_ResultDownload.family, DWL_SOFT_DOWNLOAD_TIMEOUT);
    EXPECT_EQ(vc_rd_sector_end(), 0);

    struct Case {
        const char* name;
        std::vector<Step> script;
        std::function<int()> run;
        int expected;
        size_t sent;
    };
    const Case cases[] = {
        {"speed control", {{1, {0xCA}}}, [] { return vc_dwl11_51SpeedControl(); }, 202, 1},
        {"speed control twice", {{2, {0xCA}}}, [] { return vc_dwl11_51SpeedControl(); }, 202, 2},
        {"speed control lost", {}, [] { return vc_dwl11_51SpeedControl(); }, 9, 2},
        {"power off", {{1, {0xC0}}}, [] { return vc_power_off(); }, 0xC0, 1},
        {"power off refused", {{1, {0x5A}}}, [] { return vc_power_off(); }, 0x5A, 1},
        {"gpio", {{1, {0xC0, 0xC9}}}, [] { return vc_setGPIO(); }, 1, 1},
        {"gpio at any speed",
         {{1, {0xC0, 0xC9}}},
         [] {
             sg_DownloadContext.speedIndex = 1;
             return vc_setGPIO();
         },
         1,
         1},
        {"no gpio at low speed",
         {},
         [] {
             sg_DownloadContext.speedIndex = 2;
             return dwl11_8SetGPIO(&sg_DownloadContext);
         },
         1,
         0},
        {"change speed with PMU",
         {{1, {0xC0}}, {6, {0xC3, 0}}, {7, {0xCA}}, {8, {0xC0, 0xCF, 0x00}}},
         [] {
             sg_DownloadContext.speedIndex = 5;
             sg_DownloadContext.pmuOption = 1;
             return vc_changeSPEED();
         },
         1,
         8},
        {"speed change retried",
         {{1, {0xC1}}, {2, {0xC1}}, {3, {0xC0}}, {8, {0xC3, 0}}, {9, {0xCA}}},
         [] {
             sg_DownloadContext.speedIndex = 5;
             return vc_changeSPEED();
         },
         1,
         9},
        {"speed change four times",
         {{1, {0xC1}}, {2, {0xC1}}, {3, {0xC1}}, {4, {0xC1}}},
         [] {
             sg_DownloadContext.speedIndex = 5;
             return vc_changeSPEED();
         },
         DWL_COMMAND_BAD_ACK,
         4},
        {"pmu three times",
         {{1, {0xC0}}, {6, {0xC3, 0}}, {7, {0xCA, 0xC1}}, {9, {0xC1}}, {10, {0xC1}}},
         [] {
             sg_DownloadContext.speedIndex = 5;
             sg_DownloadContext.pmuOption = 1;
             return vc_changeSPEED();
         },
         DWL_COMMAND_BAD_ACK,
         10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dwl50_0ResetContext();
        sg_DownloadContext.speedIndex = 5;
        FakeLine& l = Phone(c.script);
        EXPECT_EQ(c.run(), c.expected);
        EXPECT_EQ(l.sent().size(), c.sent);
    }
}

TEST(BankLimit, FirstBankOfTheDualBankFlashes)
{
    struct Case {
        uint8_t device;
        uint32_t size;
        int rc;
    };
    const Case cases[] = {
        {0x95, 0x17FFFF, DWL_OK}, {0x95, 0x180000, 8}, {0x28, 0x17FFFF, DWL_OK}, {0x28, 0x180000, 8},
        {0xB7, 0x2FFFFF, DWL_OK}, {0xB7, 0x300000, 8}, {0x18, 0x400000, DWL_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dwl2_2CheckBankLimit(c.device, c.size), c.rc) << int(c.device) << " " << c.size;
}

}  // namespace

// Byte order, SPM loading and port set-up.
#include "brindel/dwl12pclib.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"
#include "support/fake_line.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ConversionLittleBig, EveryWidth)
{
    struct Case {
        uint32_t value;
        int width;
        int rc;
        uint32_t out;
    };
    const Case cases[] = {
        {0x12345678, 1, DWL_OK, 0x12345678},      {0x12345678, 2, DWL_OK, 0x7856},
        {0x0000ABCD, 2, DWL_OK, 0xCDAB},          {0x12345678, 3, DWL_OK, 0x785634},
        {0x00010203, 3, DWL_OK, 0x030201},        {0x12345678, 4, DWL_OK, 0x78563412},
        {0x000000FF, 4, DWL_OK, 0xFF000000},      {0x12345678, 0, DWL_PCLIB_BAD_LENGTH, 0},
        {0x12345678, 5, DWL_PCLIB_BAD_LENGTH, 0}, {0x12345678, -1, DWL_PCLIB_BAD_LENGTH, 0},
    };
    for (const auto& c : cases) {
        uint32_t out = 0xDEADBEEF;
        EXPECT_EQ(dwl12_5ConversionLittleBig(c.value, &out, c.width), c.rc) << c.width;
        EXPECT_EQ(out, c.out) << std::hex << c.value << " width " << c.width;
    }
}

TEST(SpmFile, SizesAndNames)
{
    brindel_test::TempDir dir;
    dir.Enter();
    std::vector<uint8_t> buffer(DWL_SPM_BUFFER_SIZE);
    struct Case {
        size_t bytes;
        int rc;
        uint32_t size;
    };
    const Case cases[] = {{0, DWL_OK, 0},
                          {1, DWL_OK, 1},
                          {8191, DWL_OK, 8191},
                          {8192, DWL_PCLIB_SPM_TOO_LONG, 0},
                          {20000, DWL_PCLIB_SPM_TOO_LONG, 0}};
    for (const auto& c : cases) {
        dir.Write("dwl87.spm", std::vector<uint8_t>(c.bytes, 0x5A));
        uint32_t size = 12345;
        EXPECT_EQ(dwl12_4LoadSpmFile(&size, buffer.data(), 1), c.rc) << c.bytes;
        EXPECT_EQ(size, c.size) << c.bytes;
        size = 0;
        EXPECT_EQ(dwl12_4VcLoadSpmFile(&size, buffer.data(), 4, (dir.path() + "/dwl87.spm").c_str()), c.rc);
    }
    uint32_t size = 0;
    EXPECT_EQ(dwl12_4LoadSpmFile(&size, buffer.data(), 0), DWL_PCLIB_FILE_NOT_FOUND);
    EXPECT_EQ(dwl12_4VcLoadSpmFile(&size, buffer.data(), 0, nullptr), DWL_PCLIB_FILE_NOT_FOUND);
    EXPECT_EQ(dwl12_4LoadSpmFile(&size, buffer.data(), 5), DWL_PCLIB_UNKNOWN_SPM);

    EXPECT_STREQ(dwl12_40SpmFileName(0), "dwl8586.spm");
    EXPECT_STREQ(dwl12_40SpmFileName(2), "dwl87.spm");
    EXPECT_STREQ(dwl12_40SpmFileName(3), "dwl874_5.spm");
    EXPECT_EQ(std::string(dwl12_40SpmFileName(4)), dir.path() + "/dwl874_7.spm");
}

TEST(PortSetUp, OpensWithTheEngineFraming)
{
    brindel_test::FakeLine line(nullptr);
    line.Install();
    EXPECT_EQ(init_serial_port_first(3, 60), DWL_OK);
    EXPECT_EQ(sg_DownloadContext.port, 3);
    const std::vector<std::string> expected = {"open COM3", "line 38400 2", "flush in", "flush out", "dtr 0"};
    EXPECT_EQ(line.events(), expected);
    EXPECT_EQ(rt_GetComTimeMs(3), 60000);
    EXPECT_EQ(vc_dwl12_1UartStop(3), DWL_OK);
    EXPECT_EQ(rt_GetInQLen(3), RT_ERR_NOT_OPEN);
    // Stopping a port that is not open is a PC uart problem.
    EXPECT_EQ(vc_dwl12_1UartStop(3), DWL_PCLIB_UART);
}

// A line whose DTR cannot be cleared any more is still closed, so that it
// can be opened again.
TEST(PortSetUp, StopClosesEvenWhenDtrFails)
{
    struct DeadLine final : dwlrt::ComBackend {
        int Configure(uint32_t, int, int, int) override { return 0; }
        int FlushInput() override { return 0; }
        int FlushOutput() override { return 0; }
        int SetDtr(bool on) override { return on ? 0 : -1; }
        int Read(uint8_t*, size_t, int) override { return -1; }
        int Write(const uint8_t*, size_t, int) override { return -1; }
        int InputLength() override { return -1; }
        int OutputLength() override { return -1; }
    };
    int opens = 0;
    dwlrt::SetComFactoryForTesting([&opens](int) {
        ++opens;
        return std::unique_ptr<dwlrt::ComBackend>(std::make_unique<DeadLine>());
    });
    ASSERT_EQ(rt_OpenComConfig(4, 38400, RT_PARITY_EVEN, 8, 1, DWL_QUEUE_SIZE, DWL_QUEUE_SIZE), 0);
    EXPECT_EQ(dwl12_1UartStop(4), DWL_PCLIB_UART);
    EXPECT_EQ(rt_GetComTimeMs(4), RT_ERR_NOT_OPEN);
    ASSERT_EQ(rt_OpenComConfig(4, 38400, RT_PARITY_EVEN, 8, 1, DWL_QUEUE_SIZE, DWL_QUEUE_SIZE), 0);
    EXPECT_EQ(opens, 2);
    dwlrt::SetComFactoryForTesting(nullptr);
}

TEST(PortSetUp, FailureIsAPcUartProblem)
{
    dwlrt::SetComFactoryForTesting([](int) { return std::unique_ptr<dwlrt::ComBackend>(); });
    EXPECT_EQ(dwl12_0UartInit(2, 115200, RT_PARITY_NONE, 10), DWL_PCLIB_UART);
    EXPECT_EQ(init_serial_port_first(2, 60), DWL_PCLIB_UART);
    EXPECT_EQ(init_serial_port_first(300, 60), DWL_PCLIB_UART);
    dwlrt::SetComFactoryForTesting(nullptr);
}

TEST(RunTime, ReadsKeepTimeOutsApartFromData)
{
    // A phone that sends 0x9D: the byte is data.
    brindel_test::FakeLine line(std::make_unique<brindel_test::ScriptedDevice>(0x9D, 0, std::vector<uint8_t>{}));
    line.Install();
    ASSERT_EQ(dwl12_0UartInit(1, 38400, RT_PARITY_EVEN, 1), DWL_OK);
    EXPECT_EQ(dwl12_7ReadByte(1), 0x9D);
    EXPECT_EQ(rt_ComRdByte(1), 0x9D);
    (void)dwl12_8WriteByte(1, 0x44);
    EXPECT_EQ(dwl12_7ReadByte(1), 0x44);
    EXPECT_EQ(dwl12_7ReadByte(1), DWL_READ_TIMEOUT);
    EXPECT_EQ(rt_ComRdByte(1), RT_ERR_TIMEOUT);
    uint8_t buf[4];
    EXPECT_EQ(rt_ComRd(1, buf, sizeof buf), 0);
    EXPECT_EQ(rt_CloseCom(1), 0);
    EXPECT_EQ(rt_ComRdByte(1), RT_ERR_NOT_OPEN);
    EXPECT_EQ(dwl12_7ReadByte(1), DWL_READ_TIMEOUT);
}

}  // namespace

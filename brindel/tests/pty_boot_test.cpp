// Boots through a real pseudo-terminal and the platform serial port, with
// the emulator's boot ROM on the far end.
#include "brindel/dwl12pclib.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "platform/clock.h"
#include "support/boot_phone.h"
#include "support/pty_phone.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kPort = 5;

class PtyBootTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Port time-outs of 5 to 60 s pass in a fraction of that.
        plat::SetClockScaleForTesting(40.0);
    }
    static void TearDownTestSuite() { plat::SetClockScaleForTesting(1.0); }

    void SetUp() override
    {
        dwl50_0ResetContext();
        dir_.Enter();
        ::setenv("TELVANE_SERIAL_DIR", dir_.path().c_str(), 1);
        std::vector<uint8_t> spm(3000);
        for (size_t i = 0; i < spm.size(); ++i)
            spm[i] = static_cast<uint8_t>(i);
        dir_.Write("dwl874_7.spm", spm);
        dir_.Write("dwl874_5.spm", spm);
    }
    void TearDown() override
    {
        (void)dwl12_1UartStop(kPort);
        ::unsetenv("TELVANE_SERIAL_DIR");
        dwl50_0ResetContext();
    }

    std::unique_ptr<brindel_test::PtyPhone> Serve(const std::string& chip)
    {
        auto phone = std::make_unique<brindel_test::PtyPhone>(brindel_test::BootPhone(chip), dir_.path(), kPort);
        EXPECT_TRUE(phone->ok());
        return phone;
    }

    brindel_test::TempDir dir_;
};

TEST_F(PtyBootTest, BridgeSequence)
{
    auto phone = Serve("pcf5087");
    ASSERT_EQ(init_DownloadContext(), 1);
    ASSERT_EQ(init_serial_port_first(kPort, 60), 1);
    EXPECT_EQ(start_boot_loader((dir_.path() + "/dwl874_7.spm").c_str()), 1);
    EXPECT_EQ(sg_DownloadContext.manufacturerId, 0x89);
    EXPECT_EQ(sg_DownloadContext.deviceId, 0x18);
    EXPECT_EQ(phone->Control("status"), "OK state=loader variant=4");
    EXPECT_EQ(phone->Control("register 0xFFFF8002"), "OK 01 00");
    EXPECT_EQ(vc_dwl12_1UartStop(kPort), 1);
}

TEST_F(PtyBootTest, OperatorUart0Boot)
{
    auto phone = Serve("pcf5087");
    // The whole boot, SPM included, must fit in one port time-out of the
    // real-time phone thread: 5 s at 40x is too tight on a busy machine.
    plat::SetClockScaleForTesting(5.0);
    sg_DownloadContext.port = kPort;
    sg_DownloadContext.projectType = 3;
    ASSERT_EQ(dwl12_0UartInit(kPort, 38400, 2, 5), DWL_OK);
    const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
    EXPECT_EQ(r.family, DWL_SOFT_OK);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(phone->Control("peek 0 4"), "OK 00 01 02 03");
    EXPECT_EQ(phone->Control("register 0xFFFF8003"), "OK 70");
    plat::SetClockScaleForTesting(40.0);
}

TEST_F(PtyBootTest, SilentPhone)
{
    auto phone = Serve("pcf5087");
    phone->Control("fault silent");
    ASSERT_EQ(init_serial_port_first(kPort, 60), 1);
    EXPECT_EQ(start_boot_loader((dir_.path() + "/dwl874_7.spm").c_str()), 157);
}

TEST_F(PtyBootTest, NoDevice)
{
    EXPECT_EQ(init_serial_port_first(kPort, 60), DWL_PCLIB_UART);
}

}  // namespace

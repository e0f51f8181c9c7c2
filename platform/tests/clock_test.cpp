#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(Clock, ScaleSpeedsUpSleepsAndTicksAlike)
{
    plat::SetClockScaleForTesting(50.0);
    const auto realStart = std::chrono::steady_clock::now();
    const uint32_t tickStart = plat::GetTickCount();
    plat::Sleep(5000);
    const uint32_t ticks = plat::GetTickCount() - tickStart;
    const auto realMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - realStart).count();
    plat::SetClockScaleForTesting(1.0);
    EXPECT_GE(ticks, 5000u);
    EXPECT_LT(realMs, 2000);  // 100 ms expected; generous for a loaded machine
    EXPECT_EQ(plat::RealTimeoutMs(1), 1);
}

}  // namespace

#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <thread>

namespace plat {
namespace {

using Steady = std::chrono::steady_clock;

// The tick count is base + (real time since anchor) * scale; changing the
// scale moves the anchor so that the count never jumps.
struct ClockState {
    std::mutex mutex;
    Steady::time_point anchor = Steady::now();
    double baseMs = 0.0;
    double scale = 1.0;
};

ClockState& State()
{
    static ClockState state;
    return state;
}

double NowVirtualMs(ClockState& s)
{
    const auto real = std::chrono::duration<double, std::milli>(Steady::now() - s.anchor).count();
    return s.baseMs + real * s.scale;
}

}  // namespace

uint32_t GetTickCount()
{
    auto& s = State();
    std::lock_guard lock(s.mutex);
    return static_cast<uint32_t>(static_cast<uint64_t>(NowVirtualMs(s)));
}

double ClockScale()
{
    auto& s = State();
    std::lock_guard lock(s.mutex);
    return s.scale;
}

void SetClockScaleForTesting(double scale)
{
    if (!(scale > 0.0))
        scale = 1.0;
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.baseMs = NowVirtualMs(s);
    s.anchor = Steady::now();
    s.scale = scale;
}

int RealTimeoutMs(int64_t virtualMs)
{
    if (virtualMs <= 0)
        return 0;
    const double real = std::ceil(static_cast<double>(virtualMs) / ClockScale());
    if (real > 2147483647.0)
        return 2147483647;
    return real < 1.0 ? 1 : static_cast<int>(real);
}

void Sleep(uint32_t ms)
{
    if (ms == 0) {
        std::this_thread::yield();
        return;
    }
    const double realUs = static_cast<double>(ms) * 1000.0 / ClockScale();
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(std::ceil(realUs))));
}

TimeOfDay LocalTimeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace plat

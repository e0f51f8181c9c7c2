#pragma once
// One clock for every tick count, sleep and time-out of the program.
//
// Time is counted in "virtual" milliseconds. In a normal run virtual and real
// milliseconds are the same. Tests may speed the clock up with
// SetClockScaleForTesting(): then every tick count advances, and every sleep
// and wait finishes, that many times faster, so a 20 s time-out takes 200 ms
// at scale 100 without any change in the logic that measures it.
//
// Thread-safe: all functions may be called from any thread.

#include <cstdint>

namespace plat {

// Milliseconds since the process started, on the program's clock. Wraps like
// a 32-bit tick count; compare with differences (now - then), never with <.
[[nodiscard]] uint32_t GetTickCount();

// Sleeps for ms milliseconds of program time.
void Sleep(uint32_t ms);

// Converts a program-time interval to the real milliseconds to wait in
// poll()/condition waits; rounds up so that a non-zero interval never
// becomes zero.
[[nodiscard]] int RealTimeoutMs(int64_t virtualMs);

// Virtual milliseconds per real millisecond (1 unless a test changed it).
[[nodiscard]] double ClockScale();

// Speeds the program clock up (scale > 1). Call before starting the threads
// under test; the tick count keeps counting from its current value.
void SetClockScaleForTesting(double scale);

// Local time of day (hours 0-23, minutes, seconds), from the real wall clock.
struct TimeOfDay {
    int hour;
    int minute;
    int second;
};
[[nodiscard]] TimeOfDay LocalTimeOfDay();

}  // namespace plat

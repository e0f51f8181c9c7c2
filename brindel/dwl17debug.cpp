// The debug trace sink.
//
// The trace is process-wide: the debug window opens and closes it on its own
// thread while downloads on other threads write to it. The sink is called
// under a lock, one line at a time, and never after the close returns, so the
// window can go away once it has closed the trace. The open flag is read
// atomically on every byte; when it is closed the trace costs nothing more.
#include "brindel/dwl17debug.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace {
std::mutex pg_TraceLock;
T_TraceSink pg_TraceSink = nullptr;
void* pg_TraceUser = nullptr;
thread_local bool v_ThreadMuted = false;

bool Open()
{
    return !v_ThreadMuted && __atomic_load_n(&v_PanelDebug, __ATOMIC_ACQUIRE) != -1;
}

void Emit(const char* line)
{
    const std::lock_guard lock(pg_TraceLock);
    if (__atomic_load_n(&v_PanelDebug, __ATOMIC_RELAXED) != -1 && pg_TraceSink != nullptr)
        pg_TraceSink(line, pg_TraceUser);
}
}  // namespace

extern "C" {

int v_PanelDebug = -1;

void dwl17_0OpenDebugTrace(T_TraceSink sink, void* user)
{
    const std::lock_guard lock(pg_TraceLock);
    pg_TraceSink = sink;
    pg_TraceUser = user;
    __atomic_store_n(&v_PanelDebug, sink != nullptr ? 1 : -1, __ATOMIC_RELEASE);
}

void dwl17_1CloseDebugTrace(void)
{
    const std::lock_guard lock(pg_TraceLock);
    __atomic_store_n(&v_PanelDebug, -1, __ATOMIC_RELEASE);
    pg_TraceSink = nullptr;
    pg_TraceUser = nullptr;
}

void dwl17_5SetThreadTrace(int on)
{
    v_ThreadMuted = on == 0;
}

void dwl17_2TraceStep(const char* message)
{
    if (!Open())
        return;
    const std::string line = std::string(message) + " ";
    Emit(line.c_str());
}

void dwl17_3TraceByte(const char* label, uint8_t byte)
{
    if (!Open())
        return;
    char line[32];
    std::snprintf(line, sizeof line, "%s %02X", label, byte);
    Emit(line);
}

void dwl17_4TraceBuffer(const char* label, const uint8_t* data, size_t length)
{
    if (!Open())
        return;
    char line[128];
    int used = std::snprintf(line, sizeof line, "%s", label);
    for (size_t i = 0; i < length && i < 10; ++i)
        used += std::snprintf(line + used, sizeof line - static_cast<size_t>(used), " %02X", data[i]);
    std::snprintf(line + used, sizeof line - static_cast<size_t>(used), "%s...   Length(%zu)", "", length);
    Emit(line);
}

}  // extern "C"

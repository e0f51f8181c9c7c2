// The debug trace sink.
#include "brindel/dwl17debug.h"

#include <cstdio>
#include <string>

namespace {
T_TraceSink pg_TraceSink = nullptr;
void* pg_TraceUser = nullptr;

void Emit(const char* line)
{
    if (v_PanelDebug != -1 && pg_TraceSink != nullptr)
        pg_TraceSink(line, pg_TraceUser);
}
}  // namespace

extern "C" {

int v_PanelDebug = -1;

void dwl17_0OpenDebugTrace(T_TraceSink sink, void* user)
{
    pg_TraceSink = sink;
    pg_TraceUser = user;
    v_PanelDebug = sink != nullptr ? 1 : -1;
}

void dwl17_1CloseDebugTrace(void)
{
    v_PanelDebug = -1;
    pg_TraceSink = nullptr;
    pg_TraceUser = nullptr;
}

void dwl17_2TraceStep(const char* message)
{
    if (v_PanelDebug == -1)
        return;
    const std::string line = std::string(message) + " ";
    Emit(line.c_str());
}

void dwl17_3TraceByte(const char* label, uint8_t byte)
{
    if (v_PanelDebug == -1)
        return;
    char line[32];
    std::snprintf(line, sizeof line, "%s %02X", label, byte);
    Emit(line);
}

void dwl17_4TraceBuffer(const char* label, const uint8_t* data, size_t length)
{
    if (v_PanelDebug == -1)
        return;
    char line[128];
    int used = std::snprintf(line, sizeof line, "%s", label);
    for (size_t i = 0; i < length && i < 10; ++i)
        used += std::snprintf(line + used, sizeof line - static_cast<size_t>(used), " %02X", data[i]);
    std::snprintf(line + used, sizeof line - static_cast<size_t>(used), "%s...   Length(%zu)", "", length);
    Emit(line);
}

}  // extern "C"

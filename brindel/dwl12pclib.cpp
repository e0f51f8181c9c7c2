// PC-side services: port set-up and stop, SPM loading, byte order, traced I/O.
#include "brindel/dwl12pclib.h"

#include "brindel/dwl17debug.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"
#include "platform/program_dir.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace {

// Reads a whole SPM file of at most 8191 bytes into buffer.
int LoadSpm(const char* path, uint32_t* size, uint8_t* buffer)
{
    *size = 0;
    if (path == nullptr)
        return DWL_PCLIB_FILE_NOT_FOUND;
    const dwlrt::FilePtr file = dwlrt::OpenFile(path, "rb");
    if (!file)
        return DWL_PCLIB_FILE_NOT_FOUND;
    // Reading one byte more than the buffer holds tells an over-long file apart.
    const size_t n = std::fread(buffer, 1, DWL_SPM_BUFFER_SIZE, file.get());
    if (n > DWL_SPM_MAX_SIZE)
        return DWL_PCLIB_SPM_TOO_LONG;
    *size = static_cast<uint32_t>(n);
    return DWL_OK;
}

}  // namespace

extern "C" {

int dwl12_0UartInit(uint8_t port, uint32_t baud, int parity, unsigned timeoutSeconds)
{
    if (rt_OpenComConfig(port, baud, parity, 8, 1, DWL_QUEUE_SIZE, DWL_QUEUE_SIZE) < 0)
        return DWL_PCLIB_UART;
    if (rt_SetCTSMode(port, 0) < 0 || rt_SetXMode(port, 0) < 0)
        return DWL_PCLIB_UART;
    if (rt_FlushInQ(port) < 0 || rt_FlushOutQ(port) < 0)
        return DWL_PCLIB_UART;
    if (rt_SetDTR(port, 0) < 0)
        return DWL_PCLIB_UART;
    if (rt_SetComTime(port, static_cast<double>(timeoutSeconds)) < 0)
        return DWL_PCLIB_UART;
    return DWL_OK;
}

int dwl12_1UartStop(uint8_t port)
{
    // The port is closed even when DTR cannot be cleared (a line that went
    // away), so that it can be opened again.
    const bool dtr = rt_SetDTR(port, 0) >= 0;
    const bool closed = rt_CloseCom(port) >= 0;
    return dtr && closed ? int{DWL_OK} : int{DWL_PCLIB_UART};
}

namespace {
// The operator's choice, read by every download thread.
std::mutex pg_SpmOverrideLock;
std::string pg_SpmOverride;
}  // namespace

void dwl12_41SetSpmFile(const char* path)
{
    const std::lock_guard lock(pg_SpmOverrideLock);
    pg_SpmOverride = path != nullptr ? path : "";
}

const char* dwl12_40SpmFileName(uint8_t projectType)
{
    // The name returned stays valid on the calling thread until its next call.
    static thread_local std::string v_Name;
    if (projectType > 4)
        return nullptr;
    {
        const std::lock_guard lock(pg_SpmOverrideLock);
        v_Name = pg_SpmOverride;
    }
    if (!v_Name.empty())
        return v_Name.c_str();
    switch (projectType) {
    case 0: return "dwl8586.spm";
    case 1:
    case 2: return "dwl87.spm";
    case 3: return "dwl874_5.spm";
    default: v_Name = plat::ProgramDirectory() + "dwl874_7.spm"; return v_Name.c_str();
    }
}

int dwl12_4LoadSpmFile(uint32_t* size, uint8_t* buffer, uint8_t projectType)
{
    const char* name = dwl12_40SpmFileName(projectType);
    if (name == nullptr) {
        *size = 0;
        return DWL_PCLIB_UNKNOWN_SPM;
    }
    return LoadSpm(name, size, buffer);
}

int dwl12_4VcLoadSpmFile(uint32_t* size, uint8_t* buffer, uint8_t projectType, const char* path)
{
    (void)projectType;
    return LoadSpm(path, size, buffer);
}

int dwl12_5ConversionLittleBig(uint32_t value, uint32_t* out, int width)
{
    switch (width) {
    case 1: *out = value; return DWL_OK;
    case 2: *out = ((value & 0xFFu) << 8) | ((value >> 8) & 0xFFu); return DWL_OK;
    case 3: *out = ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu); return DWL_OK;
    case 4:
        *out = ((value & 0xFFu) << 24) | ((value & 0xFF00u) << 8) | ((value >> 8) & 0xFF00u) | (value >> 24);
        return DWL_OK;
    default: *out = 0; return DWL_PCLIB_BAD_LENGTH;
    }
}

int dwl12_7ReadByte(uint8_t port)
{
    const int value = rt_ComRdByte(port);
    if (value < 0) {
        dwl17_2TraceStep("< TIME OUT");
        return DWL_READ_TIMEOUT;
    }
    dwl17_3TraceByte("<", static_cast<uint8_t>(value));
    return value;
}

int dwl12_11ReadUntil(uint8_t port, const uint8_t* awaited, size_t count)
{
    const uint32_t start = rt_ComClockMs(port);
    const int limit = rt_GetComTimeMs(port);
    for (;;) {
        const int value = dwl12_7ReadByte(port);
        if (value == DWL_READ_TIMEOUT)
            return value;
        for (size_t i = 0; i < count; ++i)
            if (value == awaited[i])
                return value;
        if (limit >= 0 && static_cast<int64_t>(rt_ComClockMs(port) - start) >= limit) {
            dwl17_2TraceStep("< TIME OUT");
            return DWL_READ_TIMEOUT;
        }
    }
}

int dwl12_8WriteByte(uint8_t port, uint8_t byte)
{
    dwl17_3TraceByte(">", byte);
    return rt_ComWrtByte(port, byte);
}

int dwl12_9WriteBuffer(uint8_t port, const uint8_t* data, size_t length)
{
    dwl17_4TraceBuffer(">", data, length);
    return rt_ComWrt(port, data, length);
}

void dwl12_6InitializeDefaultPath(T_DownloadContext* context, const char* path)
{
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr)
        (void)dwl50_2SetPath(context->directory, "", 0);
    else
        (void)dwl50_2SetPath(context->directory, path, static_cast<size_t>(slash - path + 1));
}

}  // extern "C"

// What the operator window shows, through the display sink of the calling
// thread; a result goes to the sink's result window when it has one,
// otherwise to the result callback of the download context.
#include "brindel/panels/dwl52display.h"

#include "brindel/dwl10fla.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl_result.h"

#include <cstdio>
#include <cstring>

namespace {
// Each download thread shows through the sink its front end installed on it.
thread_local T_DisplaySink pg_Sink{};
thread_local bool v_HasSink = false;
}  // namespace

extern "C" {

void dwl52_11DisplayContextResult(const T_DownloadContext* context, int family, int code)
{
    const char* message = dwl_GetResultMessage(family, code);
    if (v_HasSink && pg_Sink.result != nullptr) {
        const char* name = dwl_GetFamilyName(family);
        pg_Sink.result(family, code, name != nullptr ? name : "", message, pg_Sink.user);
        return;
    }
    const T_ResultCallback callback = context != nullptr ? context->resultCallback : nullptr;
    if (callback == nullptr)
        return;
    DownloadResult result;
    result.family = family;
    result.code = code;
    std::memset(result.comment, 0, sizeof result.comment);
    std::snprintf(result.comment, sizeof result.comment, "%s", message);
    callback(&result);
}

void dwl52_10DisplayResult(int family, int code)
{
    dwl52_11DisplayContextResult(&sg_DownloadContext, family, code);
}

thread_local int32_t vg_SoftPourcent = 0;
thread_local int32_t vg_PackPourcent = 0;
thread_local uint32_t vg_NbrSoftCharSent = 0;
thread_local uint32_t vg_SizeSoftware = 0;
thread_local uint32_t vg_NbrPackCharSent = 0;
thread_local uint32_t vg_SizePackData = 0;

void dwl52_0SetDisplaySink(const T_DisplaySink* sink)
{
    v_HasSink = sink != nullptr;
    pg_Sink = sink != nullptr ? *sink : T_DisplaySink{};
}

void dwl52_1DisplayMessage(const char* text)
{
    dwl17_2TraceStep(text);
    if (v_HasSink && pg_Sink.message != nullptr)
        pg_Sink.message(nullptr, text, pg_Sink.user);
}

void dwl52_2MessageBox(const char* title, const char* text)
{
    if (v_HasSink && pg_Sink.message != nullptr)
        pg_Sink.message(title, text, pg_Sink.user);
}

size_t dwl52_12FormatSectorRow(char* out, size_t outSize, int sector, uint32_t size, int bank, uint32_t bytes,
                               int seconds, const char* state)
{
    // A sector not yet touched has no byte count and no time.
    const bool untouched = std::strcmp(state, DWL_SECTOR_NOT_APPLICABLE) == 0;
    int n = 0;
    if (untouched)
        n = std::snprintf(out, outSize, " %4d | %10d | %3d | %9s | %3s | %s ", sector, static_cast<int>(size), bank,
                          "-", "-", state);
    else
        n = std::snprintf(out, outSize, " %4d | %10d | %3d | %9d | %3d | %s ", sector, static_cast<int>(size), bank,
                          static_cast<int>(bytes), seconds, state);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

void dwl52_3AddSectorRow(int sector, uint32_t size, int bank, uint32_t bytes, int seconds, const char* state)
{
    char row[128];
    dwl52_12FormatSectorRow(row, sizeof row, sector, size, bank, bytes, seconds, state);
    if (v_HasSink && pg_Sink.sectorRow != nullptr)
        pg_Sink.sectorRow(row, pg_Sink.user);
}

static int32_t Percent(uint32_t done, uint32_t total)
{
    if (total == 0)
        return 0;
    return static_cast<int32_t>(static_cast<uint64_t>(done) * 100u / total);
}

void dwl52_4SetProgress(int kind, uint32_t done, uint32_t total)
{
    if (kind == 0) {
        vg_NbrSoftCharSent = done;
        vg_SizeSoftware = total;
        vg_SoftPourcent = Percent(done, total);
    } else {
        vg_NbrPackCharSent = done;
        vg_SizePackData = total;
        vg_PackPourcent = Percent(done, total);
    }
    if (v_HasSink && pg_Sink.progress != nullptr)
        pg_Sink.progress(pg_Sink.user);
}

void dwl52_5ResetProgress(void)
{
    vg_SoftPourcent = vg_PackPourcent = 0;
    vg_NbrSoftCharSent = vg_SizeSoftware = vg_NbrPackCharSent = vg_SizePackData = 0;
}

int dwl52_6SelectFile(const char* title, const char* pattern, char* out, size_t outSize)
{
    if (!v_HasSink || pg_Sink.selectFile == nullptr || out == nullptr || outSize == 0)
        return 0;
    return pg_Sink.selectFile(title, pattern, out, outSize, pg_Sink.user);
}

int dwl52_8FillSectorTable(uint8_t manufacturerId, uint8_t deviceId)
{
    uint32_t count = 0;
    int rc = dwl10_1GetNumberOfSector(manufacturerId, deviceId, &count);
    if (rc != DWL_OK)
        return rc;
    for (uint32_t s = 0; s < count; ++s) {
        const auto sector = static_cast<uint16_t>(s);
        int32_t size = 0;
        rc = dwl10_0GetSectorSize(manufacturerId, deviceId, sector, &size);
        if (rc != DWL_OK)
            return rc;
        uint8_t bank = 0;
        (void)dwl10_4GetSectorBank(manufacturerId, deviceId, sector, &bank);
        if (v_HasSink && pg_Sink.sectorTable != nullptr) {
            char row[128];
            dwl52_12FormatSectorRow(row, sizeof row, sector, static_cast<uint32_t>(size), bank, 0, 0,
                                    DWL_SECTOR_NOT_APPLICABLE);
            pg_Sink.sectorTable(sector, static_cast<uint32_t>(size), DWL_SECTOR_NOT_APPLICABLE, row, pg_Sink.user);
        }
    }
    return DWL_OK;
}

void dwl52_7DisplayElapsed(uint32_t seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%u min %u sec", seconds / 60u, seconds % 60u);
    dwl52_1DisplayMessage(text);
}

}  // extern "C"

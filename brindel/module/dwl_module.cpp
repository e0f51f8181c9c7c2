// The multi-download module (dwl_dll.h): one whole download per call, on the
// calling thread, through the engine of the process that loaded it. Each call
// works on a context of its own and shows through its own thread's display
// sink, so any number of calls run at once, one per port.
#include "brindel/dwl17debug.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/panels/dwl_dll.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define DWL_EXPORT __attribute__((visibility("default")))

namespace {

// Set by the loading program; read by every download thread.
std::atomic<bool> v_Traced{false};

// The call running on this thread, for the engine's callbacks.
thread_local const T_DllDownloadParameters* v_Current = nullptr;

void Report(const T_DllDownloadParameters* p, const DownloadResult* r)
{
    if (p->callback != nullptr)
        p->callback(p->port, r, p->user);
}

void OnResult(const DownloadResult* r)
{
    if (v_Current != nullptr)
        Report(v_Current, r);
}

void OnProgress(void*)
{
    if (v_Current != nullptr && v_Current->progress != nullptr)
        v_Current->progress(v_Current->port, vg_SoftPourcent, vg_PackPourcent, v_Current->user);
}

// A write block's block is the package image of the parameters.
int BlockIsGiven(const char*, const char*, char*, size_t, void*)
{
    return 2;
}

int Refuse(const T_DllDownloadParameters* p, int family, int code)
{
    DownloadResult r = dwl_MakeResult(family, code);
    std::snprintf(r.comment, sizeof r.comment, "%s", dwl_GetResultMessage(family, code));
    Report(p, &r);
    return family;
}

// A copy the context owns (with the zero byte the engine's loads leave after
// an image).
uint8_t* Copy(const uint8_t* data, uint32_t size)
{
    auto* copy = static_cast<uint8_t*>(std::calloc(size + 2u, 1));
    if (copy != nullptr && size != 0)
        std::memcpy(copy, data, size);
    return copy;
}

}  // namespace

extern "C" {

DWL_EXPORT void dwl_SetDllDebugPanelHandle(int debugPanel, int mainPanel)
{
    (void)mainPanel;
    v_Traced = debugPanel != -1;
}

DWL_EXPORT int dwl_Download(const T_DllDownloadParameters* p)
{
    if (p == nullptr || p->size < sizeof(T_DllDownloadParameters) || p->version != DWL_DLL_PARAMETERS_VERSION)
        return DWL_SOFT_DLL_DOWNLOAD_ERR;
    if (p->projectType < 1 || p->projectType > 4)
        return Refuse(p, DWL_SOFT_DLL_DOWNLOAD_ERR, DWL_DLL_BAD_PRODUCT);
    const uint8_t type = p->downloadType;
    // A read block writes its dump file in the working directory, which
    // downloads running side by side would share.
    if (type > 6 || type == 4 || type == 5)
        return Refuse(p, DWL_SOFT_COMMAND_ERR, 24);
    const bool needsSoftware = type == 0 || type == 2 || type == 3;
    const bool needsPackage = type == 1 || type == 2;
    const bool hasSoftware = p->softwareImage != nullptr && p->softwareSize != 0;
    const bool hasPackage = p->packageImage != nullptr && p->packageSize != 0;
    if (type == 6 && !hasPackage)
        return Refuse(p, DWL_SOFT_DLL_DOWNLOAD_ERR, DWL_DLL_EMPTY_BLOCK);
    if ((needsSoftware && !hasSoftware) || (needsPackage && !hasPackage))
        return Refuse(p, DWL_SOFT_DLL_DOWNLOAD_ERR, DWL_DLL_NO_FILE);

    T_DownloadContext c;
    dwl50_3InitialContext(&c);
    c.port = p->port;
    c.uartSelect = p->uartSelect;
    c.simlockOption = p->simlockOption;
    c.checkSimlockOption = p->checkSimlockOption;
    c.pmuOption = p->pmuOption;
    c.speedIndex = p->speedIndex;
    c.projectType = p->projectType;
    c.downloadType = type;
    std::memcpy(c.waitStates, p->waitStates, sizeof c.waitStates);
    c.blockAddress = p->blockAddress;
    if (hasSoftware) {
        c.softwareImage = Copy(p->softwareImage, p->softwareSize);
        c.softwareSize = c.softwareImage != nullptr ? p->softwareSize : 0;
    }
    if (hasPackage) {
        c.packageImage = Copy(p->packageImage, p->packageSize);
        c.packageSize = c.packageImage != nullptr ? p->packageSize : 0;
    }
    c.resultCallback = &OnResult;

    T_DisplaySink sink{};
    sink.progress = &OnProgress;
    sink.selectFile = &BlockIsGiven;
    v_Current = p;
    dwl17_5SetThreadTrace(v_Traced ? 1 : 0);
    dwl52_0SetDisplaySink(&sink);
    const DownloadResult r = dwl51_50MMIStart(&c);
    dwl52_0SetDisplaySink(nullptr);
    dwl17_5SetThreadTrace(1);
    v_Current = nullptr;
    dwl50_4FreeContext(&c);
    return r.family;
}

}  // extern "C"

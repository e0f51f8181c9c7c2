// The process-wide download context and the exported start-up functions.
#include "brindel/dwl50dev.h"

#include "brindel/dwl12pclib.h"
#include "brindel/dwl_result.h"
#include "platform/program_dir.h"

#include <cstdlib>
#include <cstring>
#include <string>

static_assert(offsetof(T_DownloadContext, waitStates) == 8);
static_assert(offsetof(T_DownloadContext, bootAcknowledge) == 13);
static_assert(offsetof(T_DownloadContext, manufacturerId) == 14);
static_assert(offsetof(T_DownloadContext, startTime) == 16);
static_assert(offsetof(T_DownloadContext, blockAddress) == 24);
static_assert(offsetof(T_DownloadContext, softwarePath) == 29);
static_assert(offsetof(T_DownloadContext, comparedPath) == 29 + 3 * DWL_PATH_LENGTH);
static_assert(sizeof(void*) != 4 || sizeof(T_DownloadContext) == 2124);

namespace {
void SetInitialValues(T_DownloadContext& c)
{
    c = T_DownloadContext{};
    c.port = 1;
    c.speedIndex = 1;
    c.projectType = 3;
    c.softwareHandle = -1;
    c.packageHandle = -1;
}

T_DownloadContext MakeInitial()
{
    T_DownloadContext c;
    SetInitialValues(c);
    return c;
}
}  // namespace

extern "C" {

T_DownloadContext sg_DownloadContext = MakeInitial();

void dwl50_4FreeContext(T_DownloadContext* context)
{
    std::free(context->softwareImage);
    std::free(context->comparedImage);
    std::free(context->packageImage);
    context->softwareImage = context->comparedImage = context->packageImage = nullptr;
    context->softwareSize = context->comparedSize = context->packageSize = 0;
}

void dwl50_3InitialContext(T_DownloadContext* context)
{
    SetInitialValues(*context);
}

void dwl50_0ResetContext(void)
{
    dwl50_4FreeContext(&sg_DownloadContext);
    SetInitialValues(sg_DownloadContext);
}

const char* dwl50_1DefaultSoftwarePath(void)
{
    // Per thread: each caller reads its own copy until its next call.
    static thread_local std::string v_Path;
    v_Path = plat::ProgramDirectory() + "default.cla";
    return v_Path.c_str();
}

int dwl50_2SetPath(char* field, const char* text, size_t textLength)
{
    if (textLength >= DWL_PATH_LENGTH) {
        field[0] = '\0';
        return 0;
    }
    std::memcpy(field, text, textLength);
    field[textLength] = '\0';
    return 1;
}

int init_DownloadContext_ctx(T_DownloadContext* context)
{
    context->projectType = 4;
    context->speedIndex = 5;
    context->bootAcknowledge = 0;
    const char* path = dwl50_1DefaultSoftwarePath();
    dwl50_2SetPath(context->softwarePath, path, std::strlen(path));
    return DWL_OK;
}

int init_DownloadContext(void)
{
    return init_DownloadContext_ctx(&sg_DownloadContext);
}

int init_serial_port_first_ctx(T_DownloadContext* context, int port, int timeoutSeconds)
{
    if (port < 0 || port > 255 || timeoutSeconds < 0)
        return DWL_PCLIB_UART;
    context->port = static_cast<uint8_t>(port);
    return dwl12_0UartInit(context->port, 38400, 2, static_cast<unsigned>(timeoutSeconds));
}

int init_serial_port_first(int port, int timeoutSeconds)
{
    return init_serial_port_first_ctx(&sg_DownloadContext, port, timeoutSeconds);
}

int vc_dwl12_1UartStop(int port)
{
    if (port < 0 || port > 255)
        return DWL_PCLIB_UART;
    return dwl12_1UartStop(static_cast<uint8_t>(port));
}

const char* brindel_version(void)
{
    return "0.1";
}

}  // extern "C"

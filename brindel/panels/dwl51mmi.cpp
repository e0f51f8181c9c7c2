// Operator front end: loading the software, compared and package files into
// the download context.
#include "brindel/panels/dwl51mmi.h"

#include "brindel/dwl10fla.h"
#include "brindel/dwl11command.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl2spm85.h"
#include "brindel/dwl3spm87.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/runtime/dwl_rt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Reads a whole file into a new malloc'ed buffer of size + extra bytes (the
// extra bytes zeroed). The old image is freed only once the new one is read.
int LoadImage(const char* path, size_t extra, uint8_t** image, uint32_t* size)
{
    // Only regular files: a device or a pipe named here could block or never end.
    if (rt_GetFileSize(path) < 0)
        return DWL_PCLIB_FILE_NOT_FOUND;
    const dwlrt::FilePtr file = dwlrt::OpenFile(path, "rb");
    if (!file)
        return DWL_PCLIB_FILE_NOT_FOUND;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return DWL_PCLIB_FILE_SIZE;
    const long length = std::ftell(file.get());
    if (length < 0 || static_cast<unsigned long>(length) > 0xFFFFFFF0ul || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return DWL_PCLIB_FILE_SIZE;
    const size_t n = static_cast<size_t>(length);
    auto* data = static_cast<uint8_t*>(std::calloc(n + extra, 1));
    if (data == nullptr)
        return DWL_PCLIB_FILE_SIZE;
    if (std::fread(data, 1, n, file.get()) != n) {
        std::free(data);
        return DWL_PCLIB_FILE_SIZE;
    }
    std::free(*image);
    *image = data;
    *size = static_cast<uint32_t>(n);
    return DWL_OK;
}

// Remembers the directory of the last file chosen.
void RememberDirectory(T_DownloadContext* context, const char* path)
{
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr)
        dwl50_2SetPath(context->directory, "", 0);
    else
        dwl50_2SetPath(context->directory, path, static_cast<size_t>(slash - path + 1));
}

void ShowLoading(const char* label, const char* path)
{
    dwl52_1DisplayMessage((std::string(label) + path).c_str());
}

}  // namespace

extern "C" {

int dwl51_0InitLoadFile_ctx(T_DownloadContext* context)
{
    T_DownloadContext& c = *context;
    int rc = LoadImage(c.softwarePath, 1, &c.softwareImage, &c.softwareSize);
    if (rc != DWL_OK)
        return rc;
    ShowLoading("Loading CLA File: ", c.softwarePath);
    RememberDirectory(context, c.softwarePath);
    if (c.comparedOption == 1 && c.comparedPath[0] != '\0') {
        rc = LoadImage(c.comparedPath, 1, &c.comparedImage, &c.comparedSize);
        if (rc != DWL_OK)
            return rc;
        ShowLoading("Loading Compared File: ", c.comparedPath);
    }
    return DWL_OK;
}

int dwl51_0InitLoadFile(void)
{
    return dwl51_0InitLoadFile_ctx(&sg_DownloadContext);
}

int dwl51_1InitPackageFile(T_DownloadContext* context)
{
    T_DownloadContext& c = *context;
    const int rc = LoadImage(c.packagePath, 2, &c.packageImage, &c.packageSize);
    if (rc != DWL_OK)
        return rc;
    // The package is handled in 16-bit units: an odd size gets one zero byte.
    if (c.packageSize % 2 != 0)
        ++c.packageSize;
    ShowLoading("Loading BIN File: ", c.packagePath);
    RememberDirectory(context, c.packagePath);
    return DWL_OK;
}

int dwl51_2InitBlockFile(T_DownloadContext* context, const char* path)
{
    if (path == nullptr)
        return DWL_PCLIB_FILE_NOT_FOUND;
    const int rc = LoadImage(path, 1, &context->packageImage, &context->packageSize);
    if (rc == DWL_OK)
        RememberDirectory(context, path);
    return rc;
}

void dwl6_200GenerateCompInfo(T_DownloadContext* context)
{
    T_DownloadContext& c = *context;
    if (c.comparedOption != 1)
        return;
    if (c.comparedPath[0] == '\0') {
        const char* name = "_Compared.cla";
        if (!rt_FileExists(name))
            return;
        dwl50_2SetPath(c.comparedPath, name, std::strlen(name));
    }
    if (LoadImage(c.comparedPath, 1, &c.comparedImage, &c.comparedSize) == DWL_OK)
        ShowLoading("Loading Compared File: ", c.comparedPath);
}

}  // extern "C"

namespace {

DownloadResult Make(int family, int code)
{
    return dwl_MakeLayerResult(family, code);
}

void TraceChoice(const char* label, const char* text)
{
    dwl17_2TraceStep((std::string(label) + text).c_str());
}

void TraceChoice(const char* format, int value)
{
    char line[64];
    std::snprintf(line, sizeof line, format, value);
    dwl17_2TraceStep(line);
}

// The files each download type needs; a refusal is shown as the operator
// window's message box.
bool FilesPresent(const T_DownloadContext& c, DownloadResult& refusal)
{
    const bool software = c.softwareImage != nullptr;
    const bool package = c.packageImage != nullptr;
    switch (c.downloadType) {
    case 1:
        if (!package) {
            dwl52_2MessageBox("DOWNLOAD", "PLEASE LOAD A PACKAGE BEFORE START");
            refusal = Make(DWL_SOFT_CONF_ERR, DWL_CONF_NO_PACKAGE);
            return false;
        }
        return true;
    case 2:
        if (!software) {
            dwl52_2MessageBox("DOWNLOAD", "PLEASE LOAD A FILE BEFORE START");
            refusal = Make(DWL_SOFT_CONF_ERR, DWL_CONF_NO_SOFTWARE);
            return false;
        }
        if (!package) {
            dwl52_2MessageBox("DOWNLOAD", "PLEASE LOAD A PACKAGE BEFORE START");
            refusal = Make(DWL_SOFT_CONF_ERR, DWL_CONF_NO_PACKAGE);
            return false;
        }
        return true;
    case 5:
    case 6: return true;
    default:
        if (!software) {
            dwl52_2MessageBox("DOWNLOAD", "PLEASE LOAD A FILE BEFORE START");
            refusal = Make(DWL_SOFT_CONF_ERR, DWL_CONF_NO_SOFTWARE);
            return false;
        }
        return true;
    }
}

void Finish(T_DownloadContext* context, const DownloadResult& result)
{
    dwl52_11DisplayContextResult(context, result.family, result.code);
    (void)dwl12_1UartStop(context->port);
    dwl17_2TraceStep("**************** End of Download ********************");
}

// The battery advice. A phone left in its loader (any failure after the
// boot) needs its battery removed to start again, so the advice is shown for
// a failed preparation too, and after a PCF5085 download as after any other.
void ShowBatteryAdvice(const T_DownloadContext* context, const DownloadResult& result)
{
    if (result.family != DWL_SOFT_OK || context->pmuOption == 1)
        dwl52_1DisplayMessage("Remove the battery of the mobile ");
    else
        dwl52_1DisplayMessage("You do not need to remove the battery to start the mobile");
}

// The elapsed time and the battery advice.
void ShowEndOfDownload(T_DownloadContext* context, const DownloadResult& result)
{
    context->endTime = rt_TimeSeconds();
    dwl52_7DisplayElapsed(context->endTime - context->startTime);
    ShowBatteryAdvice(context, result);
}

// Package downloads without a chosen block address go to the first pack
// area of the software just checked that can hold the package. True when the
// address was chosen here: it belongs to this download only, and is given
// back afterwards so that the next software's own pack area is used.
bool ChoosePackAddress(T_DownloadContext* context)
{
    if (context->blockAddress != 0)
        return false;
    context->blockAddress = static_cast<int32_t>(dwl3_6DefaultPackAddress());
    return true;
}

}  // namespace

extern "C" {

DownloadResult dwl51_63MMIChooseDownloadType(T_DownloadContext* context)
{
    DownloadResult result;
    dwl52_1DisplayMessage("Download sector by sector");
    switch (context->downloadType) {
    case 0: result = dwl3_1DownloadSoftware(context); break;
    case 3: result = dwl3_3DownloadSoftWithoutPack(context); break;
    case 1:
    case 2: {
        const bool chosen = ChoosePackAddress(context);
        result = context->downloadType == 1 ? dwl3_2DownloadPackdata(context) : dwl3_4DownloadSoftWithNewPack(context);
        if (chosen)
            context->blockAddress = 0;
        break;
    }
    case 5: result = dwl3_5ReadBlock(context); break;
    case 6: {
        char path[DWL_PATH_LENGTH] = {};
        if (dwl52_6SelectFile("File to Load", "*.dum", path, sizeof path) != 1 ||
            dwl51_2InitBlockFile(context, path) != DWL_OK) {
            result = Make(DWL_SOFT_COMMAND_ERR, DWL_COMMAND_DUMP_FILE);
            break;
        }
        result = dwl3_2DownloadPackdata(context);
        break;
    }
    default: result = Make(DWL_SOFT_COMMAND_ERR, DWL_COMMAND_BAD_DOWNLOAD_TYPE); break;
    }
    ShowEndOfDownload(context, result);
    if (result.family == DWL_SOFT_OK) {
        const int rc = dwl11_7SwitchOffCommand(context->port);
        if (rc != DWL_OK)
            result = Make(DWL_SOFT_COMMAND_ERR, rc);
    }
    return result;
}

DownloadResult dwl51_50MMIStart(T_DownloadContext* c)
{
    DownloadResult result = Make(DWL_SOFT_OK, 0);
    if (!FilesPresent(*c, result)) {
        dwl52_11DisplayContextResult(c, result.family, result.code);
        return result;
    }
    c->startTime = rt_TimeSeconds();
    dwl52_5ResetProgress();
    TraceChoice("Cla file :", c->softwarePath);
    TraceChoice("Bin File :", c->packagePath);
    TraceChoice("Simlock key option :%d", c->simlockOption);
    TraceChoice("PMU option :%d", c->pmuOption);
    TraceChoice("Com option :%d", c->port);
    TraceChoice("Type of download option :%d", c->downloadType);
    TraceChoice("Type of product option :%d", c->projectType);
    TraceChoice("Type of uart :%d", c->uartSelect);
    if (c->comparedOption == 1)
        dwl6_200GenerateCompInfo(c);

    const int open = c->uartSelect == 1 ? dwl12_0UartInit(c->port, 115200, RT_PARITY_NONE, 10)
                                        : dwl12_0UartInit(c->port, 38400, RT_PARITY_EVEN, 5);
    if (open != DWL_OK) {
        result = Make(DWL_SOFT_LIB_PC_ERR, open);
        Finish(c, result);
        return result;
    }
    result = c->uartSelect == 1 ? dwl1_4bootUart1(c) : dwl1_0boot(c);
    if (result.family != DWL_SOFT_OK) {
        Finish(c, result);
        return result;
    }
    dwl52_1DisplayMessage(dwl1_60BootChipName(c->bootAcknowledge));
    char man[DWL_FLASH_NAME_LENGTH] = {}, dev[DWL_FLASH_NAME_LENGTH] = {};
    if (dwl10_6GetManufacturerAndFlashName(c->manufacturerId, c->deviceId, man, dev) == DWL_OK) {
        char line[64];
        std::snprintf(line, sizeof line, " Flash %s %s", man, dev);
        dwl52_1DisplayMessage(line);
    }
    if (c->projectType == 0) {
        // The PCF5085 download shows its own elapsed times.
        result = dwl2_1DownLoad(c);
        c->endTime = rt_TimeSeconds();
        ShowBatteryAdvice(c, result);
    } else {
        result = dwl3_0Generic5087(c);
        if (result.family == DWL_SOFT_OK)
            result = dwl51_63MMIChooseDownloadType(c);
        else
            ShowEndOfDownload(c, result);
    }
    Finish(c, result);
    return result;
}

}  // extern "C"

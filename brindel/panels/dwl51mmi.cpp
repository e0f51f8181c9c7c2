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

#include "brindel/panels/dwl_dll.h"
#include "platform/program_dir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

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
    dwl12_6InitializeDefaultPath(context, c.softwarePath);
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
    dwl12_6InitializeDefaultPath(context, c.packagePath);
    return DWL_OK;
}

int dwl51_2InitBlockFile(T_DownloadContext* context, const char* path)
{
    if (path == nullptr)
        return DWL_PCLIB_FILE_NOT_FOUND;
    const int rc = LoadImage(path, 1, &context->packageImage, &context->packageSize);
    if (rc == DWL_OK)
        dwl12_6InitializeDefaultPath(context, path);
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
        const int picked = dwl52_6SelectFile("File to Load", "*.dum", path, sizeof path);
        const bool given = picked == 2 && context->packageImage != nullptr && context->packageSize != 0;
        if (!given && (picked != 1 || dwl51_2InitBlockFile(context, path) != DWL_OK)) {
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

// ---- the main window's lists and rules ----

namespace {

constexpr const char* pg_ProjectNames[DWL_PROJECT_COUNT] = {"5085/86", "5087_RAM 8 bits", "5087_RAM 16 bits",
                                                            "50874-5/6_RAM 16 bits", "50874-7_RAM 16 bits"};

struct DownloadTypeRow {
    uint8_t type;
    const char* name;
    bool software, package, dump;  // the controls the type needs
};

constexpr DownloadTypeRow pg_DownloadTypes[DWL_DOWNLOAD_TYPE_COUNT] = {
    {0, "Software", true, false, false},
    {1, "Package", false, true, false},
    {2, "Software with new package", true, true, false},
    {3, "Software without package", true, false, false},
    {5, "Read Block", false, false, true},
    {6, "Write Block", false, false, true},
};

const DownloadTypeRow* FindType(int type)
{
    for (const DownloadTypeRow& row : pg_DownloadTypes)
        if (row.type == type)
            return &row;
    return nullptr;
}

constexpr const char* pg_ChipSelectMenus[4] = {"Chip select 0 (Flash low)", "Chip select 1 (RAM)",
                                               "Chip select 2 (Flash high)", "Chip select 3 (Not used)"};

}  // namespace

extern "C" {

const uint8_t a_DownloadTypes[DWL_DOWNLOAD_TYPE_COUNT] = {0, 1, 2, 3, 5, 6};

const char* dwl51_10ProjectName(int project)
{
    return project >= 0 && project < DWL_PROJECT_COUNT ? pg_ProjectNames[project] : nullptr;
}

const char* dwl51_11DownloadTypeName(int downloadType)
{
    const DownloadTypeRow* row = FindType(downloadType);
    return row != nullptr ? row->name : nullptr;
}

int dwl51_12ChooseProjectAndType(T_DownloadContext* context, int project, int downloadType, T_MmiControls* controls)
{
    if (dwl51_10ProjectName(project) == nullptr) {
        dwl52_2MessageBox("DOWNLOAD ", "Problem0_3 Bad project type ");
        return 0;
    }
    // The PCF5085 loader takes a software image and nothing else.
    const DownloadTypeRow* row = FindType(project == 0 ? 0 : downloadType);
    if (row == nullptr) {
        dwl52_2MessageBox("DOWNLOAD ", "Problem0_3 Bad download type ");
        return 0;
    }
    context->projectType = static_cast<uint8_t>(project);
    context->downloadType = row->type;
    *controls = T_MmiControls{static_cast<uint8_t>(project != 0), row->software, row->package, row->dump,
                              static_cast<uint8_t>(project != 0)};
    return 1;
}

void dwl51_13SetBlockSize(T_DownloadContext* context, uint32_t size)
{
    if (context->packageImage != nullptr && context->packageSize != size) {
        std::free(context->packageImage);
        context->packageImage = nullptr;
    }
    context->packageSize = size;
}

const char* dwl51_20ChipSelectMenuName(int chipSelect)
{
    return chipSelect >= 0 && chipSelect < 4 ? pg_ChipSelectMenus[chipSelect] : nullptr;
}

int dwl51_21WaitStateItemCount(int chipSelect)
{
    if (chipSelect < 0 || chipSelect > 3)
        return 0;
    return chipSelect == 3 ? 4 : 5;
}

void dwl51_22WaitStateItemName(int chipSelect, int waitStates, char* out, size_t outSize)
{
    std::snprintf(out, outSize, "CS%d_%d Wait State", chipSelect, waitStates);
}

int dwl51_23ChooseWaitState(T_DownloadContext* context, int chipSelect, int waitStates)
{
    if (waitStates < 0 || waitStates >= dwl51_21WaitStateItemCount(chipSelect))
        return 0;
    context->waitStates[chipSelect] = static_cast<uint8_t>(waitStates);
    char line[64];
    std::snprintf(line, sizeof line, "%d wait state on the chip select %d", waitStates, chipSelect);
    dwl52_1DisplayMessage(line);
    return 1;
}

}  // extern "C"

namespace {

// The number n in name when it is prefix followed by decimal digits only.
int NumberAfter(const std::string& name, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (name.size() <= n || name.size() > n + 3 || name.compare(0, n, prefix) != 0)
        return -1;
    int value = 0;
    for (size_t i = n; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        value = value * 10 + (name[i] - '0');
    }
    return value;
}

}  // namespace

extern "C" {

int dwl51_30ListPorts(int* ports, int max)
{
    std::vector<int> found;
    std::error_code ec;
    if (const char* serialDir = std::getenv("TELVANE_SERIAL_DIR"); serialDir != nullptr && *serialDir != '\0') {
        for (const auto& entry : std::filesystem::directory_iterator(serialDir, ec)) {
            const int n = NumberAfter(entry.path().filename().string(), "COM");
            if (n >= 1 && n <= RT_MAX_PORT)
                found.push_back(n);
        }
    } else {
        const char* root = std::getenv("TELVANE_SYSFS_ROOT");
        const std::string ttys = std::string(root != nullptr && *root != '\0' ? root : "/sys") + "/class/tty";
        for (const auto& entry : std::filesystem::directory_iterator(ttys, ec)) {
            const int k = NumberAfter(entry.path().filename().string(), "ttyUSB");
            if (k >= 0 && k + 1 <= RT_MAX_PORT)
                found.push_back(k + 1);
        }
    }
    std::sort(found.begin(), found.end());
    for (size_t i = 0; i < found.size() && static_cast<int>(i) < max; ++i)
        ports[i] = found[i];
    return static_cast<int>(found.size());
}

int dwl51_40TakeArgument(T_DownloadContext* context, const char* argument)
{
    const std::string_view arg(argument != nullptr ? argument : "");
    if (arg.size() >= 4 && arg.substr(arg.size() - 4) == ".cla") {
        if (!dwl50_2SetPath(context->softwarePath, arg.data(), arg.size()))
            return DWL_PCLIB_FILE_NOT_FOUND;
        return dwl51_0InitLoadFile_ctx(context);
    }
    if (!dwl50_2SetPath(context->packagePath, arg.data(), arg.size()))
        return DWL_PCLIB_FILE_NOT_FOUND;
    context->downloadType = 1;
    return dwl51_1InitPackageFile(context);
}

int dwl51_41ClaimInstance(void)
{
    // The descriptor stays open (and the lock held) until the process ends.
    static int v_LockFd = -1;
    if (v_LockFd >= 0)
        return 1;
    const std::string path = plat::ProgramDirectory() + "brindel-operator.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return 1;  // no place for the lock: nothing to refuse with
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return 0;
    }
    v_LockFd = fd;
    return 1;
}

}  // extern "C"

// ---- multi-download ----

struct T_DllModule {
    void* handle = nullptr;
    std::mutex lock;
    std::vector<std::thread> threads;
};

namespace {

std::mutex pg_DllOutputLock;
void (*pg_DllOutput)(uint8_t, int, const char*, void*) = nullptr;
void* pg_DllOutputUser = nullptr;

// One started download: its parameters and the copies of the images they
// point to, owned by the download's thread.
struct DllLaunch {
    T_DllDownloadParameters parameters{};
    std::vector<uint8_t> software;
    std::vector<uint8_t> package;
};

std::string ProgramDir()
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    const std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

}  // namespace

extern "C" {

int dwl51_80FindDll(char* dir, size_t dirSize)
{
    for (const std::string& candidate : {std::string("."), ProgramDir()}) {
        if (candidate.empty() || !rt_FileExists((candidate + "/" DWL_DLL_FILE_NAME).c_str()))
            continue;
        if (candidate.size() >= dirSize)
            return 0;
        std::memcpy(dir, candidate.c_str(), candidate.size() + 1);
        return 1;
    }
    return 0;
}

T_DllModule* dwl51_81LoadDll(const char* dir, int port, int alreadyStarted, int debugPanel, int mainPanel)
{
    std::string path = std::string(dir) + "/" DWL_DLL_FILE_NAME;
    if (alreadyStarted != 0) {
        // A copy of its own for this port, when the workshop keeps one there.
        const std::string copy = std::string(dir) + "/com0" + std::to_string(port) + "/" DWL_DLL_FILE_NAME;
        if (rt_FileExists(copy.c_str()))
            path = copy;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return nullptr;
    if (auto setHandles = reinterpret_cast<T_DllSetDebugPanelHandle>(::dlsym(handle, "dwl_SetDllDebugPanelHandle")))
        setHandles(debugPanel, mainPanel);
    auto* module = new (std::nothrow) T_DllModule;
    if (module == nullptr) {
        ::dlclose(handle);
        return nullptr;
    }
    module->handle = handle;
    return module;
}

int dwl51_82StartDllDownload(T_DllModule* module, const T_DownloadContext* c, uint8_t port,
                             void (*progress)(uint8_t, int32_t, int32_t, void*), void* user)
{
    const auto download = reinterpret_cast<T_DllDownload>(::dlsym(module->handle, "dwl_Download"));
    if (download == nullptr)
        return 0;
    auto launch = std::make_unique<DllLaunch>();
    if (c->softwareImage != nullptr)
        launch->software.assign(c->softwareImage, c->softwareImage + c->softwareSize);
    if (c->packageImage != nullptr)
        launch->package.assign(c->packageImage, c->packageImage + c->packageSize);
    T_DllDownloadParameters& p = launch->parameters;
    p.size = sizeof p;
    p.version = DWL_DLL_PARAMETERS_VERSION;
    p.port = port;
    p.uartSelect = c->uartSelect;
    p.simlockOption = c->simlockOption;
    p.speedIndex = c->speedIndex;
    p.projectType = c->projectType;
    p.downloadType = c->downloadType;
    p.pmuOption = c->pmuOption;
    p.checkSimlockOption = c->checkSimlockOption;
    std::memcpy(p.waitStates, c->waitStates, sizeof p.waitStates);
    p.blockAddress = c->blockAddress;
    p.softwareImage = c->softwareImage != nullptr ? launch->software.data() : nullptr;
    p.softwareSize = static_cast<uint32_t>(launch->software.size());
    p.packageImage = c->packageImage != nullptr ? launch->package.data() : nullptr;
    p.packageSize = static_cast<uint32_t>(launch->package.size());
    p.callback = &dwl51_5DllDwlCallbackFunction;
    p.progress = progress;
    p.user = user;
    try {
        const std::lock_guard lock(module->lock);
        module->threads.emplace_back(
            [download, owned = std::shared_ptr<DllLaunch>(std::move(launch))] { (void)download(&owned->parameters); });
    } catch (...) {
        return 0;  // no thread could be started
    }
    return 1;
}

void dwl51_83WaitDllDownloads(T_DllModule* module)
{
    std::vector<std::thread> threads;
    {
        const std::lock_guard lock(module->lock);
        threads.swap(module->threads);
    }
    for (std::thread& t : threads)
        t.join();
}

void dwl51_84UnloadDll(T_DllModule* module)
{
    if (module == nullptr)
        return;
    dwl51_83WaitDllDownloads(module);
    ::dlclose(module->handle);
    delete module;
}

void dwl51_85SetDllOutput(void (*output)(uint8_t port, int family, const char* text, void* user), void* user)
{
    const std::lock_guard lock(pg_DllOutputLock);
    pg_DllOutput = output;
    pg_DllOutputUser = user;
}

void dwl51_5DllDwlCallbackFunction(uint8_t port, const DownloadResult* result, void*)
{
    const std::string text = std::string(dwl_GetResultMessage(result->family, result->code)) + "\n";
    const std::lock_guard lock(pg_DllOutputLock);
    if (pg_DllOutput != nullptr) {
        pg_DllOutput(port, result->family, text.c_str(), pg_DllOutputUser);
    } else {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }
}

}  // extern "C"

// brindel: the download engine's operator program on the command line.
//
//   brindel boot --port N --project T [--uart1] [--spm FILE] [--flash-file F] [--trace]
//   brindel flash-info [--file flash.txt]
//   brindel config show|check [--file config.txt]
//   brindel download --port N --project T --type D [--cla FILE] [--bin FILE] [--speed I]
//                    [--compared] [--address A --size S] [--spm FILE] [--config FILE]
//                    [--uart1] [--pmu] [--flash-file F] [--trace]
//   brindel download --ports N,N,... (the same download on several ports at once,
//                    through the multi-download module)
//   brindel read --port N --project T --address A --size S --out FILE [--speed I] [--spm FILE]
//   brindel tag FILE.cla
//   brindel package FILE.bin [--version V | --cla FILE.cla]
//
// Every result is printed as "FAMILY_NAME: message"; the exit code is 0 only
// for DWL_SOFT_OK, 1 for any other result and 2 for a usage error.
#include "brindel/brindel.h"
#include "brindel/dwl10fla.h"
#include "brindel/dwl11command.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl3spm87.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl56conf.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/panels/dwl_dll.h"
#include "brindel/runtime/dwl_rt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: brindel boot --port N --project T [--uart1] [--spm FILE] [--flash-file FILE] [--trace]\n"
    "       brindel flash-info [--file FILE]\n"
    "       brindel config show|check [--file FILE]\n"
    "       brindel download --port N --project T --type D [--cla FILE] [--bin FILE] [--speed I]\n"
    "                        [--compared] [--address A --size S] [--spm FILE] [--config FILE]\n"
    "                        [--uart1] [--pmu] [--flash-file FILE] [--trace]\n"
    "       brindel download --ports N,N,... (instead of --port: all ports at once)\n"
    "       brindel read --port N --project T --address A --size S --out FILE [--speed I] [--spm FILE]\n"
    "       brindel tag FILE.cla\n"
    "       brindel package FILE.bin [--version V | --cla FILE.cla]\n";

int Usage(const char* problem)
{
    if (problem != nullptr)
        std::fprintf(stderr, "brindel: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

int PrintResult(int family, int code)
{
    const char* name = dwl_GetFamilyName(family);
    std::printf("%s: %s\n", name != nullptr ? name : "DWL_SOFT_UNKNOWN", dwl_GetResultMessage(family, code));
    return family == DWL_SOFT_OK ? 0 : 1;
}

// Options after the command word: "--name value" pairs and flags.
struct Options {
    std::vector<std::string> words;
    std::string Get(std::string_view name, std::string fallback = {}) const
    {
        for (size_t i = 0; i + 1 < words.size(); ++i)
            if (words[i] == name)
                return words[i + 1];
        return fallback;
    }
    bool Has(std::string_view name) const
    {
        for (const auto& w : words)
            if (w == name)
                return true;
        return false;
    }
};

bool ParseNumber(const std::string& text, long low, long high, long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high)
        return false;
    out = v;
    return true;
}

// The flash descriptions: the given file, else "flash.txt" in the current
// directory, else the one installed beside the program.
std::string FlashFile(const std::string& given)
{
    if (!given.empty() || rt_FileExists("flash.txt"))
        return given.empty() ? "flash.txt" : given;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "flash.txt";
    std::string dir(self, static_cast<size_t>(n));
    return dir.substr(0, dir.rfind('/') + 1) + "flash.txt";
}

void TraceToStderr(const char* line, void*)
{
    std::fprintf(stderr, "%s\n", line);
}

// The trace, the SPM file and the flash descriptions, as the line commands
// share them. A broken description file is reported and the engine goes on
// with the descriptions read before the fault.
void SetUpEngineFiles(const Options& o)
{
    if (o.Has("--trace"))
        dwl17_0OpenDebugTrace(&TraceToStderr, nullptr);
    const std::string spm = o.Get("--spm");
    if (!spm.empty())
        dwl12_41SetSpmFile(spm.c_str());
    const std::string flashFile = FlashFile(o.Get("--flash-file"));
    const int flashRc = dwl10_101InitFlashDescriptionFromFile(flashFile.c_str());
    if (flashRc != DWL_OK)
        std::fprintf(stderr, "brindel: %s: %s\n", flashFile.c_str(), dwl_GetResultMessage(DWL_SOFT_FLASH_ERR, flashRc));
}

void PrintSectorMap(const T_FlashEntry& e)
{
    uint16_t s = 0;
    while (s < e.numberOfSectors) {
        uint16_t last = s;
        while (last + 1 < e.numberOfSectors && e.sectors[last + 1].size == e.sectors[s].size &&
               e.sectors[last + 1].bank == e.sectors[s].bank)
            ++last;
        if (last == s)
            std::printf("  sector %u: %u bytes, bank %u\n", s, e.sectors[s].size, e.sectors[s].bank);
        else
            std::printf("  sectors %u-%u: %u bytes each, bank %u\n", s, last, e.sectors[s].size, e.sectors[s].bank);
        s = static_cast<uint16_t>(last + 1);
    }
}

int FlashInfo(const Options& o)
{
    const std::string file = FlashFile(o.Get("--file"));
    const int rc = dwl10_101InitFlashDescriptionFromFile(file.c_str());
    for (uint8_t i = 0; i < vg_FlashDescritpion.numberOfDescriptions; ++i) {
        const T_FlashEntry& e = vg_FlashDescritpion.descriptions[i];
        std::printf("%s %s: manufacturer 0x%02X, device 0x%02X, %u bank(s), %u sectors, %u bytes\n", e.manufacturerName,
                    e.deviceName, e.manufacturerId, e.deviceId, e.numberOfBanks, e.numberOfSectors, e.flashSize);
        PrintSectorMap(e);
    }
    return rc == DWL_OK ? PrintResult(DWL_SOFT_OK, 0) : PrintResult(DWL_SOFT_FLASH_ERR, rc);
}

int Config(const std::string& action, const Options& o)
{
    const std::string file = o.Get("--file", "config.txt");
    const int rc = dwl56_2RestoreConfigFromFile(&sg_DownloadContext, file.c_str());
    if (action == "show") {
        const T_DownloadContext& c = sg_DownloadContext;
        std::printf("Compared file : %s\n", c.comparedPath);
        std::printf("Software file : %s (%s)\n", c.softwarePath, c.softwareImage ? "loaded" : "not loaded");
        std::printf("Package file  : %s (%s)\n", c.packagePath, c.packageImage ? "loaded" : "not loaded");
        std::printf("Port          : COM%d\n", c.port);
        std::printf("Simlock keys  : %d\n", c.simlockOption);
        std::printf("PMU           : %d\n", c.pmuOption);
        std::printf("Product type  : %d\n", c.projectType);
        std::printf("Download type : %d\n", c.downloadType);
        std::printf("Speed index   : %d\n", c.speedIndex);
    }
    return rc == DWL_OK ? PrintResult(DWL_SOFT_OK, 0) : PrintResult(DWL_SOFT_CONF_ERR, rc);
}

int Boot(const Options& o)
{
    long port = 0, project = 0;
    if (!ParseNumber(o.Get("--port"), 0, RT_MAX_PORT, port))
        return Usage("boot needs --port N (0..32)");
    if (!ParseNumber(o.Get("--project"), 0, 4, project))
        return Usage("boot needs --project T (0..4)");
    const bool uart1 = o.Has("--uart1");
    SetUpEngineFiles(o);

    T_DownloadContext& c = sg_DownloadContext;
    c.port = static_cast<uint8_t>(port);
    c.projectType = static_cast<uint8_t>(project);
    c.uartSelect = uart1 ? 1 : 0;
    const int open =
        uart1 ? dwl12_0UartInit(c.port, 115200, RT_PARITY_NONE, 10) : dwl12_0UartInit(c.port, 38400, RT_PARITY_EVEN, 5);
    if (open != DWL_OK) {
        (void)dwl12_1UartStop(c.port);
        return PrintResult(DWL_SOFT_LIB_PC_ERR, open);
    }
    const DownloadResult r = uart1 ? dwl1_4bootUart1(&c) : dwl1_0boot(&c);
    (void)dwl12_1UartStop(c.port);
    if (r.family != DWL_SOFT_OK)
        return PrintResult(r.family, r.code);

    std::printf("%s\n", dwl1_60BootChipName(c.bootAcknowledge));
    char man[DWL_FLASH_NAME_LENGTH], dev[DWL_FLASH_NAME_LENGTH];
    const int named = dwl10_6GetManufacturerAndFlashName(c.manufacturerId, c.deviceId, man, dev);
    if (named != DWL_OK) {
        std::printf(" Flash unknown (manufacturer 0x%02X, device 0x%02X)\n", c.manufacturerId, c.deviceId);
        return PrintResult(DWL_SOFT_FLASH_ERR, named);
    }
    std::printf(" Flash %s %s\n", man, dev);
    return PrintResult(DWL_SOFT_OK, 0);
}

// A 32-bit number in decimal or with 0x.
bool ParseAddress(const std::string& text, uint32_t& out)
{
    if (text.empty() || text[0] == '-')
        return false;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || v > 0xFFFFFFFFull)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

// What the operator window would show, as lines on stdout.
struct Screen {
    int soft = -1;
    int pack = -1;
    std::string blockFile;
};

void ShowMessage(const char* title, const char* text, void*)
{
    if (title != nullptr)
        std::printf("%s: %s\n", title, text);
    else
        std::printf("%s\n", text);
    std::fflush(stdout);
}

void ShowRow(const char* row, void*)
{
    std::printf("%s\n", row);
    std::fflush(stdout);
}

void ShowProgress(void* user)
{
    auto* screen = static_cast<Screen*>(user);
    if (vg_SizeSoftware != 0 && vg_SoftPourcent != screen->soft) {
        screen->soft = vg_SoftPourcent;
        std::printf("Software %d %%\n", vg_SoftPourcent);
    }
    if (vg_SizePackData != 0 && vg_PackPourcent != screen->pack) {
        screen->pack = vg_PackPourcent;
        std::printf("Package %d %%\n", vg_PackPourcent);
    }
    std::fflush(stdout);
}

int SelectBlockFile(const char*, const char*, char* out, size_t outSize, void* user)
{
    const auto* screen = static_cast<Screen*>(user);
    if (screen->blockFile.empty() || screen->blockFile.size() >= outSize)
        return 0;
    std::memcpy(out, screen->blockFile.c_str(), screen->blockFile.size() + 1);
    return 1;
}

// The options shared by download and read: port, project, speed, SPM, flash
// descriptions, trace. 0 when set, else the usage exit code.
int SetUpLine(const Options& o)
{
    T_DownloadContext& c = sg_DownloadContext;
    long port = 0, project = 0, speed = 5;
    if (o.Has("--ports"))
        port = c.port;
    else if (!ParseNumber(o.Get("--port"), 0, RT_MAX_PORT, port))
        return Usage("needs --port N (0..32)");
    if (!ParseNumber(o.Get("--project"), 0, 4, project))
        return Usage("needs --project T (0..4)");
    if (o.Has("--speed") && !ParseNumber(o.Get("--speed"), 0, DWL_SPEED_COUNT - 1, speed))
        return Usage("--speed takes an index 0..31");
    c.port = static_cast<uint8_t>(port);
    c.projectType = static_cast<uint8_t>(project);
    if (o.Has("--speed") || !o.Has("--config"))
        c.speedIndex = static_cast<uint8_t>(speed);
    if (o.Has("--uart1"))
        c.uartSelect = 1;
    if (o.Has("--pmu"))
        c.pmuOption = 1;
    SetUpEngineFiles(o);
    return 0;
}

int RunDownload(Screen& screen)
{
    T_DisplaySink sink{};
    sink.message = &ShowMessage;
    sink.sectorRow = &ShowRow;
    sink.progress = &ShowProgress;
    sink.selectFile = &SelectBlockFile;
    sink.user = &screen;
    dwl52_0SetDisplaySink(&sink);
    const DownloadResult r = dwl51_50MMIStart(&sg_DownloadContext);
    dwl52_0SetDisplaySink(nullptr);
    return PrintResult(r.family, r.code);
}

// "1,2,3,4": distinct port numbers 1..32.
bool ParsePorts(const std::string& text, std::vector<uint8_t>& ports)
{
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        long n = 0;
        if (!ParseNumber(text.substr(at, comma - at), 1, RT_MAX_PORT, n))
            return false;
        if (std::find(ports.begin(), ports.end(), n) != ports.end())
            return false;
        ports.push_back(static_cast<uint8_t>(n));
        at = comma + 1;
    }
    return !ports.empty();
}

struct ParallelResults {
    std::mutex lock;
    std::map<uint8_t, int> families;
};

void PrintPortResult(uint8_t port, int family, const char* text, void* user)
{
    auto* results = static_cast<ParallelResults*>(user);
    {
        const std::lock_guard lock(results->lock);
        results->families[port] = family;
    }
    const char* name = dwl_GetFamilyName(family);
    std::printf("COM%u: %s: %s", port, name != nullptr ? name : "DWL_SOFT_UNKNOWN", text);
    std::fflush(stdout);
}

// The same download on every port of --ports at once: the multi-download
// module on a thread per port, each with its own copy of the files.
int RunParallel(const Options& o)
{
    std::vector<uint8_t> ports;
    if (!ParsePorts(o.Get("--ports"), ports))
        return Usage("--ports takes distinct port numbers 1..32, as 1,2,3,4");
    char dir[4096];
    if (dwl51_80FindDll(dir, sizeof dir) != 1) {
        std::fprintf(stderr, "brindel: no %s in the working directory or beside the program\n", DWL_DLL_FILE_NAME);
        return 1;
    }
    ParallelResults results;
    dwl51_85SetDllOutput(&PrintPortResult, &results);
    std::vector<T_DllModule*> modules;
    for (uint8_t port : ports) {
        T_DllModule* module = dwl51_81LoadDll(dir, port, modules.empty() ? 0 : 1, o.Has("--trace") ? 1 : -1, -1);
        if (module == nullptr) {
            std::fprintf(stderr, "brindel: cannot load %s/%s\n", dir, DWL_DLL_FILE_NAME);
            break;
        }
        modules.push_back(module);
        if (dwl51_82StartDllDownload(module, &sg_DownloadContext, port, nullptr, nullptr) != 1)
            std::fprintf(stderr, "brindel: the download on COM%u did not start\n", port);
    }
    for (T_DllModule* module : modules)
        dwl51_84UnloadDll(module);
    dwl51_85SetDllOutput(nullptr, nullptr);
    bool all = modules.size() == ports.size();
    for (uint8_t port : ports) {
        const auto it = results.families.find(port);
        all = all && it != results.families.end() && it->second == DWL_SOFT_OK;
    }
    return all ? 0 : 1;
}

int Download(const Options& o)
{
    T_DownloadContext& c = sg_DownloadContext;
    (void)init_DownloadContext();
    c.softwarePath[0] = '\0';
    if (o.Has("--config")) {
        const std::string file = o.Get("--config");
        const int rc = dwl56_2RestoreConfigFromFile(&sg_DownloadContext, file.c_str());
        if (rc != DWL_OK)
            std::fprintf(stderr, "brindel: %s: %s\n", file.c_str(), dwl_GetResultMessage(DWL_SOFT_CONF_ERR, rc));
    }
    if (const int usage = SetUpLine(o); usage != 0)
        return usage;
    long type = 0;
    if (!ParseNumber(o.Get("--type"), 0, 255, type))
        return Usage("download needs --type D (0, 1, 2, 3, 5 or 6)");
    c.downloadType = static_cast<uint8_t>(type);
    Screen screen;
    if (o.Has("--address")) {
        uint32_t a = 0;
        if (!ParseAddress(o.Get("--address"), a))
            return Usage("--address takes a number");
        c.blockAddress = static_cast<int32_t>(a);
    }
    const std::string cla = o.Get("--cla");
    if (!cla.empty()) {
        dwl50_2SetPath(c.softwarePath, cla.c_str(), cla.size());
        const int rc = dwl51_0InitLoadFile();
        if (rc != DWL_OK)
            return PrintResult(DWL_SOFT_LIB_PC_ERR, rc);
    }
    const std::string bin = o.Get("--bin");
    if (!bin.empty() && c.downloadType == 6) {
        screen.blockFile = bin;
    } else if (!bin.empty()) {
        dwl50_2SetPath(c.packagePath, bin.c_str(), bin.size());
        const int rc = dwl51_1InitPackageFile(&sg_DownloadContext);
        if (rc != DWL_OK)
            return PrintResult(DWL_SOFT_LIB_PC_ERR, rc);
    }
    if (o.Has("--size")) {
        uint32_t size = 0;
        if (!ParseAddress(o.Get("--size"), size))
            return Usage("--size takes a number");
        dwl51_13SetBlockSize(&c, size);
    }
    if (o.Has("--compared"))
        c.comparedOption = 1;
    if (o.Has("--ports"))
        return RunParallel(o);
    return RunDownload(screen);
}

int Read(const Options& o)
{
    T_DownloadContext& c = sg_DownloadContext;
    (void)init_DownloadContext();
    c.softwarePath[0] = '\0';
    if (const int usage = SetUpLine(o); usage != 0)
        return usage;
    uint32_t address = 0, size = 0;
    if (!ParseAddress(o.Get("--address"), address) || !ParseAddress(o.Get("--size"), size))
        return Usage("read needs --address A and --size S");
    const std::string out = o.Get("--out");
    if (out.empty())
        return Usage("read needs --out FILE");
    c.downloadType = 5;
    c.blockAddress = static_cast<int32_t>(address);
    dwl51_13SetBlockSize(&c, size);
    Screen screen;
    std::error_code ec;
    std::filesystem::remove(DWL_DUMP_FILE, ec);
    const int rc = RunDownload(screen);
    if (rc != 0)
        return rc;
    std::filesystem::rename(DWL_DUMP_FILE, out, ec);
    if (ec) {
        std::filesystem::copy_file(DWL_DUMP_FILE, out, std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) {
            std::fprintf(stderr, "brindel: cannot write %s\n", out.c_str());
            return 1;
        }
        std::filesystem::remove(DWL_DUMP_FILE, ec);
    }
    return 0;
}

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes)
{
    if (rt_GetFileSize(path.c_str()) < 0)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

uint32_t Be32At(const std::vector<uint8_t>& b, uint64_t at)
{
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

int Tag(const Options& o)
{
    if (o.words.empty())
        return Usage("tag needs a FILE");
    std::vector<uint8_t> image;
    if (!ReadWhole(o.words[0], image)) {
        std::fprintf(stderr, "brindel: cannot read %s\n", o.words[0].c_str());
        return 1;
    }
    uint32_t length = 0;
    uint8_t* tag = dwl12_3GetTagInfoInFileCla(image.data(), static_cast<uint32_t>(image.size()), &length);
    if (tag == nullptr)
        return PrintResult(DWL_SOFT_COMPATIBILITY_ERR, DWL_COMP_NO_TAG_IN_FILE);
    T_TagInfo info;
    const int rc = dwl16_10ParseTag(tag, length, &info);
    std::free(tag);
    std::printf("Tag length      : %u\n", length);
    std::printf("Structure id    : %u (version %d)\n", info.structId, info.version);
    if (rc != DWL_OK)
        return PrintResult(DWL_SOFT_COMPATIBILITY_ERR, rc);
    std::printf("Family          : 0x%04X\n", info.familyId);
    if (info.version != 1)
        std::printf("Edition         : 0x%04X\n", info.edition);
    if (info.version != 3) {
        std::printf("Pack size       : %u\n", info.packSize);
        std::printf("Pack address    : 0x%08X\n", info.packAddress);
    } else {
        std::printf("Number of packs : %u\n", info.packCount);
        std::printf("Pack table      : 0x%08X\n", info.packTableAddress);
        for (uint32_t i = 0; i < info.packCount && i < DWL_MAX_PACKS; ++i) {
            const uint64_t at = uint64_t{info.packTableAddress} + 12u * i;
            if (at + 12 > image.size()) {
                std::printf("  pack %u: outside the image\n", i);
                break;
            }
            std::printf("  pack %u: size %u, address 0x%08X, mandatory items 0x%08X\n", i, Be32At(image, at),
                        Be32At(image, at + 4), Be32At(image, at + 8));
        }
    }
    return PrintResult(DWL_SOFT_OK, 0);
}

int Package(const Options& o)
{
    if (o.words.empty())
        return Usage("package needs a FILE");
    long version = 2;
    if (o.Has("--version") && !ParseNumber(o.Get("--version"), 1, 3, version))
        return Usage("--version takes 1, 2 or 3");
    const std::string cla = o.Get("--cla");
    if (!cla.empty()) {
        std::vector<uint8_t> image;
        uint32_t length = 0;
        uint8_t* tag = ReadWhole(cla, image)
            ? dwl12_3GetTagInfoInFileCla(image.data(), static_cast<uint32_t>(image.size()), &length)
            : nullptr;
        T_TagInfo info;
        const bool found = tag != nullptr;
        const int rc = dwl16_10ParseTag(tag, length, &info);
        std::free(tag);
        if (rc != DWL_OK)
            return PrintResult(DWL_SOFT_COMPATIBILITY_ERR, found ? rc : int{DWL_COMP_NO_TAG_IN_FILE});
        version = info.version;
    }
    std::vector<uint8_t> package;
    if (!ReadWhole(o.words[0], package)) {
        std::fprintf(stderr, "brindel: cannot read %s\n", o.words[0].c_str());
        return 1;
    }
    const uint32_t fileSize = static_cast<uint32_t>(package.size() + package.size() % 2);
    T_PackageHeader h;
    const int rc = dwl16_11ParsePackageHeader(package.data(), static_cast<uint32_t>(package.size()),
                                              static_cast<int>(version), &h);
    std::printf("Layout          : version %ld software\n", version);
    if (rc != DWL_OK)
        return PrintResult(DWL_SOFT_COMPATIBILITY_ERR, rc);
    std::printf("Family          : 0x%04X\n", h.family & 0xFFFFu);
    if (version != 1)
        std::printf("Edition         : 0x%04X\n", h.edition);
    std::printf("Package size    : %u (file %u)\n", h.size, fileSize);
    if (version != 1) {
        std::printf("Items           : %u\n", h.itemCount);
        std::printf("Item mask       : 0x%08X\n", h.itemMask);
    }
    if (h.size != fileSize)
        return PrintResult(DWL_SOFT_COMPATIBILITY_ERR, DWL_COMP_PACKAGE_SIZE);
    return PrintResult(DWL_SOFT_OK, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage(nullptr);
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options o;
    for (int i = 2; i < argc; ++i)
        o.words.emplace_back(argv[i]);
    if (o.Has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "boot")
        return Boot(o);
    if (command == "flash-info")
        return FlashInfo(o);
    if (command == "download")
        return Download(o);
    if (command == "read")
        return Read(o);
    if (command == "tag")
        return Tag(o);
    if (command == "package")
        return Package(o);
    if (command == "config") {
        if (o.words.empty() || (o.words[0] != "show" && o.words[0] != "check"))
            return Usage("config needs show or check");
        return Config(o.words[0], o);
    }
    return Usage(("unknown command " + command).c_str());
}

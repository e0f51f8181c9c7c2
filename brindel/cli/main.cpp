// brindel: the download engine's operator program on the command line.
//
//   brindel boot --port N --project T [--uart1] [--spm FILE] [--flash-file F] [--trace]
//   brindel flash-info [--file flash.txt]
//   brindel config show|check [--file config.txt]
//
// Every result is printed as "FAMILY_NAME: message"; the exit code is 0 only
// for DWL_SOFT_OK, 1 for any other result and 2 for a usage error.
#include "brindel/brindel.h"
#include "brindel/dwl10fla.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl56conf.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: brindel boot --port N --project T [--uart1] [--spm FILE] [--flash-file FILE] [--trace]\n"
    "       brindel flash-info [--file FILE]\n"
    "       brindel config show|check [--file FILE]\n";

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
            std::printf("  sectors %u-%u: %u bytes each, bank %u\n", s, last, e.sectors[s].size,
                        e.sectors[s].bank);
        s = static_cast<uint16_t>(last + 1);
    }
}

int FlashInfo(const Options& o)
{
    const std::string file = FlashFile(o.Get("--file"));
    const int rc = dwl10_101InitFlashDescriptionFromFile(file.c_str());
    for (uint8_t i = 0; i < vg_FlashDescritpion.numberOfDescriptions; ++i) {
        const T_FlashEntry& e = vg_FlashDescritpion.descriptions[i];
        std::printf("%s %s: manufacturer 0x%02X, device 0x%02X, %u bank(s), %u sectors, %u bytes\n",
                    e.manufacturerName, e.deviceName, e.manufacturerId, e.deviceId, e.numberOfBanks,
                    e.numberOfSectors, e.flashSize);
        PrintSectorMap(e);
    }
    return rc == DWL_OK ? PrintResult(DWL_SOFT_OK, 0) : PrintResult(DWL_SOFT_FLASH_ERR, rc);
}

int Config(const std::string& action, const Options& o)
{
    const std::string file = o.Get("--file", "config.txt");
    const int rc = dwl56_2RestoreConfigFromFile(file.c_str());
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
    if (o.Has("--trace"))
        dwl17_0OpenDebugTrace(&TraceToStderr, nullptr);
    const std::string spm = o.Get("--spm");
    if (!spm.empty())
        dwl12_41SetSpmFile(spm.c_str());

    const std::string flashFile = FlashFile(o.Get("--flash-file"));
    const int flashRc = dwl10_101InitFlashDescriptionFromFile(flashFile.c_str());
    if (flashRc != DWL_OK)
        std::fprintf(stderr, "brindel: %s: %s\n", flashFile.c_str(),
                     dwl_GetResultMessage(DWL_SOFT_FLASH_ERR, flashRc));

    T_DownloadContext& c = sg_DownloadContext;
    c.port = static_cast<uint8_t>(port);
    c.projectType = static_cast<uint8_t>(project);
    c.uartSelect = uart1 ? 1 : 0;
    const int open = uart1 ? dwl12_0UartInit(c.port, 115200, RT_PARITY_NONE, 10)
                           : dwl12_0UartInit(c.port, 38400, RT_PARITY_EVEN, 5);
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
    if (command == "config") {
        if (o.words.empty() || (o.words[0] != "show" && o.words[0] != "check"))
            return Usage("config needs show or check");
        return Config(o.words[0], o);
    }
    return Usage(("unknown command " + command).c_str());
}

// Several phones at once: one software image downloaded into 1, 2 and 4
// emulated basebands in parallel through the multi-download module, each
// baseband the simphone program pacing its own line as an 8N1 wire would.
// Each line is its own wire, so 4 phones should take about the time of one:
// counter "vs_one" is the wall time against the 1-phone run of the same
// program run; "wire_s" is one line's wire time at the download speed.
#include "brindel/dwl10fla.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl_dll.h"
#include "support/images.h"
#include "support/simphone_process.h"
#include "support/temp_dir.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kImageSize = 256 * 1024;
constexpr uint8_t kSpeedIndex = 5;  // 230400 baud
double g_oneSeconds = 0;

void CountSuccess(uint8_t, int family, const char*, void* user)
{
    if (family == DWL_SOFT_OK)
        static_cast<std::atomic<int>*>(user)->fetch_add(1);
}

void BM_ParallelDownload(benchmark::State& state)
{
    const int phones = static_cast<int>(state.range(0));
    brindel_test::TempDir dir;
    dir.Enter();
    ::setenv("TELVANE_SERIAL_DIR", dir.path().c_str(), 1);
    dir.Write("loader.spm", brindel_test::Bytes(512, 0x5A));
    dwl12_41SetSpmFile((dir.path() + "/loader.spm").c_str());
    char moduleDir[4096];
    if (dwl10_101InitFlashDescriptionFromFile(BRINDEL_FLASH_TXT) != DWL_OK ||
        dwl51_80FindDll(moduleDir, sizeof moduleDir) != 1) {
        state.SkipWithError("no flash.txt or no module");
        return;
    }
    const brindel_test::Bytes software =
        brindel_test::MakeSoftware(kImageSize, brindel_test::MakeTag(2, 0x1234, 0x0102, 0x40000, 0x200000));
    dir.Write("soft.cla", software);
    dwl50_0ResetContext();
    T_DownloadContext& c = sg_DownloadContext;
    c.projectType = 4;
    c.downloadType = 0;
    c.speedIndex = kSpeedIndex;
    std::strcpy(c.softwarePath, (dir.path() + "/soft.cla").c_str());
    (void)dwl51_0InitLoadFile();

    double seconds = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<brindel_test::SimphoneProcess>> lines;
        for (int p = 1; p <= phones; ++p)
            lines.push_back(std::make_unique<brindel_test::SimphoneProcess>(
                SIMPHONE_BIN, dir.path(), p, dir.path() + "/flash" + std::to_string(p) + ".img", 38400));
        std::atomic<int> succeeded{0};
        dwl51_85SetDllOutput(&CountSuccess, &succeeded);
        const auto start = std::chrono::steady_clock::now();
        std::vector<T_DllModule*> modules;
        for (int p = 1; p <= phones; ++p) {
            T_DllModule* m = dwl51_81LoadDll(moduleDir, p, p > 1 ? 1 : 0, -1, -1);
            if (m == nullptr)
                break;
            modules.push_back(m);
            (void)dwl51_82StartDllDownload(m, &c, static_cast<uint8_t>(p), nullptr, nullptr);
        }
        for (T_DllModule* m : modules)
            dwl51_84UnloadDll(m);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        dwl51_85SetDllOutput(nullptr, nullptr);
        state.SetIterationTime(seconds);
        if (succeeded.load() != phones) {
            state.SkipWithError("a download failed");
            break;
        }
    }
    if (phones == 1)
        g_oneSeconds = seconds;
    state.counters["phones"] = phones;
    state.counters["seconds"] = seconds;
    state.counters["wire_s"] = software.size() * 10.0 / 230400.0;
    state.counters["vs_one"] = g_oneSeconds > 0 ? seconds / g_oneSeconds : 0;
    dwl12_41SetSpmFile(nullptr);
    dwl50_0ResetContext();
    ::unsetenv("TELVANE_SERIAL_DIR");
}
BENCHMARK(BM_ParallelDownload)->Arg(1)->Arg(2)->Arg(4)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

// Costs of the boot path and the flash description reader.
#include "brindel/dwl10fla.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "support/fake_line.h"
#include "support/pty_phone.h"
#include "support/temp_dir.h"
#include "tools/simphone/boot/boot_mode.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ShippedFlashTxt()
{
    std::ifstream in(BRINDEL_FLASH_TXT, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void BM_ParseShippedFlashTxt(benchmark::State& state)
{
    const std::string text = ShippedFlashTxt();
    for (auto _ : state)
        benchmark::DoNotOptimize(dwl10_102ParseFlashDescription(text.data(), text.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseShippedFlashTxt);

// A full UART0 boot of project type 4 with an 8191-byte SPM, engine and
// emulator in one process (no line time).
void BM_BootInProcess(benchmark::State& state)
{
    brindel_test::TempDir dir;
    dir.Enter();
    dir.Write("dwl874_7.spm", std::vector<uint8_t>(8191, 0x5A));
    for (auto _ : state) {
        simphone::BootOptions o;
        brindel_test::FakeLine line(simphone::MakeBootDevice(o));
        line.Install();
        dwl50_0ResetContext();
        sg_DownloadContext.port = 1;
        sg_DownloadContext.projectType = 4;
        (void)dwl12_0UartInit(1, 38400, 2, 5);
        const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
        if (r.family != 0)
            state.SkipWithError("boot failed");
    }
}
BENCHMARK(BM_BootInProcess)->Unit(benchmark::kMicrosecond);

// The same boot through a real pseudo-terminal and the platform serial port
// (unpaced: the figure is the PC-side cost, the wire time at 38400 baud 8E1
// for these 8232 bytes would be about 2.4 s).
void BM_BootOverPty(benchmark::State& state)
{
    brindel_test::TempDir dir;
    dir.Enter();
    ::setenv("TELVANE_SERIAL_DIR", dir.path().c_str(), 1);
    dir.Write("dwl874_7.spm", std::vector<uint8_t>(8191, 0x5A));
    for (auto _ : state) {
        simphone::BootOptions o;
        brindel_test::PtyPhone phone(simphone::MakeBootDevice(o), dir.path(), 4);
        dwl50_0ResetContext();
        sg_DownloadContext.port = 4;
        sg_DownloadContext.projectType = 4;
        if (dwl12_0UartInit(4, 38400, 2, 5) != 1) {
            state.SkipWithError("open failed");
            break;
        }
        const DownloadResult r = dwl1_0boot(&sg_DownloadContext);
        (void)dwl12_1UartStop(4);
        if (r.family != 0)
            state.SkipWithError("boot failed");
    }
    ::unsetenv("TELVANE_SERIAL_DIR");
}
BENCHMARK(BM_BootOverPty)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();

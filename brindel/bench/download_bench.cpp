// Programming throughput against the paced emulator: 1 MiB written sector by
// sector at speed index 5 (230400 baud), the simphone program on a real
// pseudo-terminal pacing the line as an 8N1 wire would. The figure that
// matters is measured time / wire time (counter "ratio").
#include "brindel/dwl10fla.h"
#include "brindel/dwl11command.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "support/images.h"
#include "support/temp_dir.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPort = 5;

pid_t StartEmulator(const std::string& dir)
{
    const std::string state = dir + "/state";
    const std::string flash = dir + "/flash.img";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(SIMPHONE_BIN, SIMPHONE_BIN, "--state", state.c_str(), "--serial-dir", dir.c_str(), "--port", "5",
                "--boot", "--chip", "pcf5087", "--flash-image", flash.c_str(), "--line-rate", "38400",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait (bounded) for the terminal's link to appear.
    for (int i = 0; i < 500 && !std::filesystem::exists(dir + "/COM5"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
}

void StopEmulator(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

void BM_Write1MiBAt230400(benchmark::State& state)
{
    brindel_test::TempDir dir;
    dir.Enter();
    ::setenv("TELVANE_SERIAL_DIR", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir.path() + "/state");
    dir.Write("dwl874_7.spm", brindel_test::Bytes(512, 0x5A));
    if (dwl10_101InitFlashDescriptionFromFile(BRINDEL_FLASH_TXT) != 1) {
        state.SkipWithError("no flash.txt");
        return;
    }
    const brindel_test::Bytes image = brindel_test::Pattern(1u << 20, 3);
    const double wireSeconds = image.size() * 10.0 / 230400.0;
    double measured = 0;
    for (auto _ : state) {
        const pid_t pid = StartEmulator(dir.path());
        dwl50_0ResetContext();
        (void)init_DownloadContext();
        bool ok = init_serial_port_first(kPort, 60) == 1 &&
            start_boot_loader((dir.path() + "/dwl874_7.spm").c_str()) == 1 && vc_setGPIO() == 1 &&
            vc_changeSPEED() == 1;
        if (ok) {
            const auto start = std::chrono::steady_clock::now();
            const DownloadResult r = dwl11_54Download(&sg_DownloadContext, static_cast<uint32_t>(image.size()),
                                                      image.data(), dwl1_62ContextBaseAddress(&sg_DownloadContext), 0);
            const auto end = std::chrono::steady_clock::now();
            measured = std::chrono::duration<double>(end - start).count();
            state.SetIterationTime(measured);
            ok = r.family == 0;
            (void)vc_power_off();
        }
        (void)vc_dwl12_1UartStop(kPort);
        StopEmulator(pid);
        if (!ok) {
            state.SkipWithError("download failed");
            break;
        }
    }
    state.counters["wire_s"] = wireSeconds;
    state.counters["measured_s"] = measured;
    state.counters["ratio"] = measured / wireSeconds;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
    ::unsetenv("TELVANE_SERIAL_DIR");
}
BENCHMARK(BM_Write1MiBAt230400)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();

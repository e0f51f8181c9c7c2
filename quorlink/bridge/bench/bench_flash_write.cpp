// Writing a 1 MiB encoded sound into an MP3 slot of the emulated phone's
// flash through the bridge and the download engine, on a line paced at the
// speed the loader runs at, against the wire time of the sound's bytes at
// that speed (8N1: 10 bits per byte).
#include "boot_mode.h"
#include "platform/program_dir.h"
#include "quorlink/bridge/flash_bridge.h"
#include "support/sim_phone.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>

unsigned LineRate(const std::string& device);

namespace {

namespace qb = quorlink::bridge;

void BM_WriteMp3SlotOfOneMiB(benchmark::State& st)
{
    linktest::SimPhone phone("bench-flash", 115200, 11, [](const std::filesystem::path& state) {
        simphone::BootOptions o;
        o.flashImage = (state / "flash.bin").string();
        return simphone::MakeBootDevice(o);
    });
    if (!phone.ok() || phone.Control("poweron boot") != "OK") {
        st.SkipWithError("no emulated phone");
        return;
    }
    const std::filesystem::path sound = phone.dir() / "encoded.mp3";
    {
        std::string bytes = linktest::Pattern(1 << 20, 7);
        std::ofstream(sound, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const std::filesystem::path loader = phone.dir() / qb::kBootFileName;
    {
        std::string image = "SPM\x04";
        image.resize(4096, 'L');
        std::ofstream(loader, std::ios::binary) << image;
    }
    qb::FlashBridge bridge(1, qb::MakeBrindelEngine());
    if (!bridge.open() || !bridge.boot(loader.string()) || !bridge.highSpeed()) {
        st.SkipWithError("the loader did not start");
        return;
    }
    const unsigned rate = LineRate((phone.serialDir() / "COM1").string());
    double ratio = 0;
    for (auto _ : st) {
        const auto start = std::chrono::steady_clock::now();
        if (!bridge.writeFile(sound.string(), qb::SlotSector(0), qb::kSlotBytes)) {
            st.SkipWithError("the write failed");
            break;
        }
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double wireSecs = (1 << 20) * 10.0 / rate;
        ratio = secs / wireSecs;
        st.counters["baud"] = rate;
        st.counters["wire_s"] = wireSecs;
        st.counters["elapsed_s"] = secs;
    }
    st.counters["elapsed_over_wire"] = ratio;
    bridge.shutDown(true);
}
BENCHMARK(BM_WriteMp3SlotOfOneMiB)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

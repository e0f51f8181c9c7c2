// A 100000-byte download at a paced 115200 baud, against the wire time of
// every byte it moves in both directions (8N1: 10 bits per byte).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "phone_fixture.h"

namespace simphone::testing {
namespace {

void BM_Download100000At115200(benchmark::State& st)
{
    const auto dir = std::filesystem::temp_directory_path() / ("simphone-bench-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::string error;
    if (!InitState(dir / "state", 1, error)) {
        st.SkipWithError(error.c_str());
        return;
    }
    std::vector<uint8_t> data(100000);
    std::mt19937 g(1);
    for (auto& b : data)
        b = static_cast<uint8_t>(g());
    if (!WriteFileBytes(dir / "state/app/mms/big.bin", data)) {
        st.SkipWithError("write");
        return;
    }
    TransportOptions opt;
    opt.stateDir = dir / "state";
    opt.serialDir = dir / "serial";
    opt.lineRate = 115200;
    const auto sd = opt.stateDir;
    opt.makeDevice = [sd](bool) -> std::unique_ptr<Device> { return std::make_unique<AtPhone>(sd); };
    Transport t(opt);
    if (!t.start(error)) {
        st.SkipWithError(error.c_str());
        return;
    }
    std::thread server([&] { t.run(); });
    {
        LineClient c(t.linkPath(), B115200);
        c.at("ATE0");
        double ratio = 0;
        for (auto _ : st) {
            size_t wire = 0;
            const auto start = std::chrono::steady_clock::now();
            auto exchange = [&](const std::string& cmd) {
                auto lines = c.at(cmd);
                wire += cmd.size() + 1;
                for (const auto& l : lines)
                    wire += l.size() + 4;  // each line arrives as CR LF text CR LF
                return lines;
            };
            exchange("AT*STARTUL=/app/mms/big.bin");
            for (;;) {
                auto r = exchange("AT*GET");
                if (r.empty() || r[0] == "*GET: 0,")
                    break;
            }
            exchange("AT*END");
            const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double wireSecs = wire * 10.0 / 115200.0;
            ratio = secs / wireSecs;
            st.counters["wire_s"] = wireSecs;
            st.counters["elapsed_s"] = secs;
        }
        st.counters["elapsed_over_wire"] = ratio;
    }
    t.stop();
    server.join();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Download100000At115200)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace simphone::testing

BENCHMARK_MAIN();

// Transfers and the SIM phonebook read through the worker against the
// emulated handset on a line paced at 115200 baud (11520 bytes/s, 8N1):
// a 100000-byte download and upload, and a full SIM phonebook (250
// entries). Each reports the measured time over the wire time of every byte
// that crossed the line in both directions (counted at the worker's port):
// "ratio" near 1 means the PC's turnaround between a reply and its next
// command is negligible.

#include "quorlink/link/comm_thread.h"
#include "quorlink/link/file_transfer.h"
#include "quorlink/link/link_port.h"
#include "quorlink/link/link_protocol.h"
#include "support/result_sink.h"
#include "support/sim_phone.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <random>

namespace {

using namespace quorlink::link;

constexpr double kLineBytesPerSecond = 115200.0 / 10.0;

// The real port, counting the bytes that cross it.
class CountingPort final : public LinkPort {
public:
    static inline std::atomic<uint64_t> bytes{0};

    bool Open(int n) override { return port_.Open(n); }
    void Close() override { port_.Close(); }
    [[nodiscard]] bool IsOpen() const override { return port_.IsOpen(); }
    [[nodiscard]] bool CanOpen(int n) override { return port_.CanOpen(n); }
    int Read(std::span<uint8_t> b, int ms) override
    {
        const int n = port_.Read(b, ms);
        if (n > 0)
            bytes += static_cast<uint64_t>(n);
        return n;
    }
    bool Write(std::span<const uint8_t> d, int ms) override
    {
        const bool ok = port_.Write(d, ms);
        if (ok)
            bytes += d.size();
        return ok;
    }
    void PurgeBoth() override { port_.PurgeBoth(); }
    void ClearErrors() override { port_.ClearErrors(); }
    [[nodiscard]] int WaitFd() const override { return port_.WaitFd(); }

private:
    SerialLinkPort port_;
};

struct Rig {
    std::unique_ptr<linktest::SimPhone> phone;
    std::unique_ptr<linktest::ResultSink> sink;
    std::unique_ptr<CommThread> worker;
    std::filesystem::path local;
    bool ok = false;

    Rig()
    {
        phone = std::make_unique<linktest::SimPhone>("benchxfer", 115200);
        if (!phone->ok())
            return;
        local = phone->dir() / "pc";
        std::filesystem::create_directories(local);
        ::setenv("TELVANE_HOME", local.c_str(), 1);
        // A full SIM: 250 entries, names of 12 GSM characters.
        {
            std::ofstream sim(phone->state() / "sim" / "phonebook");
            for (int i = 1; i <= 250; ++i)
                sim << i << "\t1390000" << (1000 + i) << "\tName " << (100000 + i) << "\n";
        }
        std::mt19937 g(5);
        std::string data(100000, '\0');
        for (auto& c : data)
            c = static_cast<char>(g());
        std::ofstream(phone->PhoneFile("/app/camera/bench"), std::ios::binary) << data;
        std::ofstream(local / "bench", std::ios::binary) << data;
        if (phone->Control("poweron") != "OK")
            return;
        sink = std::make_unique<linktest::ResultSink>();
        worker = CommThread::Start(LinkTarget{plat::CurrentThreadId(), sink->window()},
                                   std::make_unique<CountingPort>(), "");
        ok = Run(REQ_SCAN_AND_CONNECT, "", 0) && sink->Results().back().current == 1;
    }
    ~Rig()
    {
        if (worker) {
            plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0);
            worker->WaitForEnd(60000);
        }
    }

    size_t finals = 0;
    bool Run(int32_t code, const std::string& text, uint32_t argument)
    {
        plat::PostThreadMessage(worker->threadId(), WM_LINK_REQUEST, static_cast<uintptr_t>(code),
                                reinterpret_cast<intptr_t>(linktest::NewRequest(text, sink->window(), argument)));
        size_t before = 0;
        for (const auto& r : sink->Results())
            before += r.wParam == static_cast<uint32_t>(code) && r.status != LINK_INTERMEDIATE;
        if (!sink->WaitForFinal(static_cast<uint32_t>(code), 120000, before + 1))
            return false;
        const auto all = sink->Results();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (it->wParam == static_cast<uint32_t>(code) && it->status != LINK_INTERMEDIATE)
                return it->status == LINK_SUCCEEDED;
        return false;
    }
};

Rig& TheRig()
{
    static Rig rig;
    return rig;
}

uint32_t Block(const std::string& a, const std::string& b)
{
    return NewTransferBlock(a, b);
}

template <typename Request>
void Measure(benchmark::State& state, Request request)
{
    Rig& rig = TheRig();
    if (!rig.ok) {
        state.SkipWithError("the emulated phone did not connect");
        return;
    }
    double measured = 0, wire = 0;
    for (auto _ : state) {
        CountingPort::bytes = 0;
        const auto start = std::chrono::steady_clock::now();
        if (!request(rig)) {
            state.SkipWithError("the request failed");
            return;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(s);
        measured += s;
        wire += static_cast<double>(CountingPort::bytes.load()) / kLineBytesPerSecond;
        state.counters["line_bytes"] = static_cast<double>(CountingPort::bytes.load());
    }
    state.counters["wire_s"] = wire / static_cast<double>(state.iterations());
    state.counters["ratio"] = measured / wire;
}

void BM_Download100000(benchmark::State& state)
{
    Measure(state,
            [](Rig& r) { return r.Run(REQ_DOWNLOAD, "", Block("/app/camera/bench", (r.local / "down").string())); });
}
void BM_Upload100000(benchmark::State& state)
{
    Measure(state, [](Rig& r) { return r.Run(REQ_UPLOAD, "", Block((r.local / "bench").string(), "/app/camera/up")); });
}
void BM_SimPhonebook250(benchmark::State& state)
{
    Measure(state, [](Rig& r) { return r.Run(REQ_READ_SIM_PHONEBOOK, (r.local / "pb.sim").string(), 0); });
}

BENCHMARK(BM_Download100000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Upload100000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimPhonebook250)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Reading every message of a full handset through the messages core's read
// batch (the SIM's messages, the concatenation table, the five tables and
// all 66 item files), run as the page runs it, against the emulated phone
// on a line paced at 115200 baud (11520 bytes/s, 8N1). Reports the measured
// time over the wire time of every byte that crossed the line in both
// directions: "ratio" near 1 means the PC adds next to nothing between a
// reply and its next command.

#include "mobile/messages/core/handset_files.h"
#include "mobile/messages/core/message_flows.h"
#include "mobile/shell/core/batch_loop.h"
#include "quorlink/link/comm_thread.h"
#include "quorlink/link/link_port.h"
#include "quorlink/media/byte_order.h"
#include "support/result_sink.h"
#include "support/sim_phone.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>

namespace {

using namespace quorlink::link;
using namespace messages;

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

// A full handset: 1001 single messages (items 0-1000) and 30 concatenated
// ones of 10 parts (items 1001-1300), so every one of the 66 item files is
// needed.
void FillHandset(const linktest::SimPhone& phone)
{
    std::string tables[kTableFiles];
    for (auto& t : tables)
        t.assign(kTableFileSize, '\0');
    std::string concat(kConcatFileSize, '\0');
    std::vector<std::string> items(66, std::string(kItemFileSize, '\0'));
    auto entry = [&](size_t n, uint16_t item, bool concatenated, uint8_t index) {
        auto* e = reinterpret_cast<uint8_t*>(tables[n / kTableEntries].data()) + (n % kTableEntries) * kTableEntrySize;
        e[4] = 1;
        e[6] = static_cast<uint8_t>((kInUse | item) >> 8);
        e[7] = static_cast<uint8_t>(kInUse | item);
        e[8] = concatenated ? 1 : 0;
        e[9] = index;
    };
    for (unsigned item = 0; item <= 1300; ++item) {
        auto* r = reinterpret_cast<uint8_t*>(items[item / kItemsPerFile].data()) + (item % kItemsPerFile) * kItemSize;
        quorlink::media::PutBe32(r + 4, 2006u << 20 | 5u << 16 | (1 + item % 28) << 11 | (item % 24) << 6 | item % 60);
        const std::string number = "+86139" + std::to_string(10000000 + item);
        std::memcpy(r + 20, number.data(), number.size());
        std::string text = "Message " + std::to_string(item) + ": ";
        while (text.size() < 160)
            text += "the quick brown fox jumps over the lazy dog ";
        std::memcpy(r + 62, text.data(), 160);
    }
    size_t n = 0;
    for (unsigned item = 0; item <= 1000; ++item)
        entry(n++, static_cast<uint16_t>(item), false, 0);
    for (uint8_t c = 0; c < kConcatEntries; ++c) {
        entry(n++, static_cast<uint16_t>(1001 + 10 * c), true, c);
        auto* e = reinterpret_cast<uint8_t*>(concat.data()) + 4 + c * kConcatEntrySize;
        e[2] = 1;
        e[3] = 10;
        for (unsigned p = 0; p < 10; ++p) {
            const unsigned word = kInUse | (1001 + 10 * c + p);
            e[12 + 2 * p] = static_cast<uint8_t>(word >> 8);
            e[13 + 2 * p] = static_cast<uint8_t>(word);
        }
    }
    for (size_t i = 0; i < kTableFiles; ++i)
        std::ofstream(phone.PhoneFile(std::string(kPhoneSmsDir) + TableFileName(i)), std::ios::binary) << tables[i];
    std::ofstream(phone.PhoneFile(std::string(kPhoneSmsDir) + kConcatFileName), std::ios::binary) << concat;
    for (unsigned f = 0; f < items.size(); ++f)
        std::ofstream(phone.PhoneFile(std::string(kPhoneSmsDir) + ItemFileName(f)), std::ios::binary) << items[f];
}

struct Rig {
    std::unique_ptr<linktest::SimPhone> phone;
    std::unique_ptr<linktest::ResultSink> sink;
    std::unique_ptr<CommThread> worker;
    std::string local;
    bool ok = false;

    Rig()
    {
        phone = std::make_unique<linktest::SimPhone>("benchmsg", 115200);
        if (!phone->ok())
            return;
        local = (phone->dir() / "pc").string() + "/";
        std::filesystem::create_directories(local);
        FillHandset(*phone);
        sink = std::make_unique<linktest::ResultSink>();
        worker = CommThread::Start(LinkTarget{plat::CurrentThreadId(), sink->window()},
                                   std::make_unique<CountingPort>(), "");
        plat::PostThreadMessage(worker->threadId(), WM_LINK_REQUEST, REQ_SCAN_AND_CONNECT,
                                reinterpret_cast<intptr_t>(linktest::NewRequest("", sink->window(), 0)));
        ok = sink->WaitForFinal(REQ_SCAN_AND_CONNECT, 60000, 1) && sink->Results().back().current == 1;
    }
    ~Rig()
    {
        if (worker) {
            plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0);
            worker->WaitForEnd(60000);
        }
    }
};

void BM_ReadFullHandset(benchmark::State& state)
{
    static Rig rig;
    if (!rig.ok) {
        state.SkipWithError("the emulated phone did not connect");
        return;
    }
    double measured = 0, wire = 0;
    for (auto _ : state) {
        MessageStore store;
        CountingPort::bytes = 0;
        const auto start = std::chrono::steady_clock::now();
        shell::BatchPlan plan = ReadPlan(store, rig.local);
        shell::ThreadBatchOptions options;
        options.worker = rig.worker->threadId();
        options.mainWindow = rig.sink->window();
        options.phoneMode = true;  // bracketed by MASKCALL as the page's batch is
        shell::ThreadBatchRunner runner(options);
        runner.batch().setBatch(std::move(plan.steps));
        runner.batch().setStepCount(plan.stepCount);
        const int result = runner.run();
        if (FinishRead(store, rig.local, result) != 0 || store.counts().handsetSingleUsed != 1001 ||
            store.counts().handsetConcatUsed != 30) {
            state.SkipWithError("the read failed");
            return;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(s);
        measured += s;
        wire += static_cast<double>(CountingPort::bytes.load()) / kLineBytesPerSecond;
        state.counters["line_bytes"] = static_cast<double>(CountingPort::bytes.load());
        state.counters["messages"] = static_cast<double>(store.items().size());
    }
    state.counters["wire_s"] = wire / static_cast<double>(state.iterations());
    state.counters["ratio"] = measured / wire;
}

BENCHMARK(BM_ReadFullHandset)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

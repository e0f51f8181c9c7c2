// Backing up and restoring the whole sample phone (every box ticked) through
// the real worker and the emulated phone on a line paced at 115200 baud
// (11520 bytes/s, 8N1). Each run reports its time over the wire time of
// every byte that crossed the line in both directions (counted by the
// emulator): "ratio" 1.0 means the PC and the phone add nothing to what the
// line itself needs.

#include "support/backup_rig.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr double kLineBytesPerSecond = 115200.0 / 10.0;

uint64_t LineBytes(backuptest::PhoneRig& rig)
{
    unsigned long long in = 0, out = 0;
    if (std::sscanf(rig.phone().Control("stats").c_str(), "OK %llu %llu", &in, &out) != 2)
        return 0;
    return in + out;
}

backuptest::PhoneRig& Rig()
{
    static backuptest::PhoneRig rig("benchbackup", 115200);
    return rig;
}

const backup::KindSet kAll =
    backup::KindSet::Of({backup::BackupKind::Pictures, backup::BackupKind::Sounds, backup::BackupKind::Phonebook,
                         backup::BackupKind::Messages, backup::BackupKind::Video});

// Runs one flow, timing it against the line's bytes.
template <typename Flow>
void Measure(benchmark::State& state, Flow&& flow)
{
    backuptest::PhoneRig& rig = Rig();
    if (!rig.ok()) {
        state.SkipWithError("the emulated phone did not answer");
        return;
    }
    double seconds = 0, wire = 0;
    size_t files = 0;
    for (auto _ : state) {
        const uint64_t before = LineBytes(rig);
        const auto t0 = std::chrono::steady_clock::now();
        const backup::FlowOutcome o = flow(rig);
        rig.Settle();  // the last file's closing exchange belongs to the run
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (o.result != backup::FlowResult::Done) {
            state.SkipWithError("the flow failed");
            return;
        }
        state.SetIterationTime(s);
        seconds += s;
        wire += static_cast<double>(LineBytes(rig) - before) / kLineBytesPerSecond;
        files = o.files;
    }
    state.counters["files"] = static_cast<double>(files);
    state.counters["wire_s"] = wire / static_cast<double>(state.iterations());
    state.counters["ratio"] = wire > 0 ? seconds / wire : 0;
}

void BM_BackupWholePhone(benchmark::State& state)
{
    Measure(state, [](backuptest::PhoneRig& rig) {
        backup::BackupCategory categories;
        return backup::RunBackup(rig, categories, {rig.home() + "bench.bak", kAll, rig.home()});
    });
}

void BM_RestoreWholePhone(benchmark::State& state)
{
    Measure(state, [](backuptest::PhoneRig& rig) {
        rig.WipeFiles();
        return backup::RunRestore(rig, {rig.home() + "bench.bak", rig.home()});
    });
}

}  // namespace

BENCHMARK(BM_BackupWholePhone)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_RestoreWholePhone)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();

// A full phone (250 SIM entries, 500 handset entries) read into the store
// and 100 changes written back (40 edits, 30 deletions, 30 additions), over
// the emulated handset at a paced 115200 baud, against the wire time of
// every byte the line carried in both directions (8N1: 10 bits a byte),
// counted from the emulator's transcript.

#include "at_phone.h"
#include "init_state.h"
#include "mobile/phonebook/core/phonebook_flows.h"
#include "mobile/shell/core/phone_session.h"
#include "resources/strings.h"
#include "records.h"
#include "state.h"
#include "transport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace phonebook;

constexpr int kLineRate = 115200;

// Bytes the transcript's RECV and SEND lines carry, from offset on.
size_t WireBytes(const fs::path& transcript, std::streamoff from)
{
    std::ifstream in(transcript);
    in.seekg(from);
    size_t bytes = 0;
    std::string line;
    while (std::getline(in, line)) {
        const size_t dir = line.find(' ');
        if (dir == std::string::npos ||
            (line.compare(dir + 1, 5, "RECV ") != 0 && line.compare(dir + 1, 5, "SEND ") != 0))
            continue;
        const std::string_view text = std::string_view(line).substr(dir + 6);
        for (size_t i = 0; i < text.size(); ++i, ++bytes)
            if (text[i] == '\\')
                i += text[i + 1] == 'x' ? 3 : 1;
    }
    return bytes;
}

// A phone whose SIM and handset phonebooks are full.
bool FillPhone(const fs::path& state)
{
    std::string error;
    if (!simphone::InitState(state, 3, error))
        return false;
    std::ofstream sim(state / "sim" / "phonebook", std::ios::trunc);
    for (int i = 1; i <= 250; ++i)
        sim << i << "\t13" << (900000000 + i) << "\t"
            << (i % 3 == 0 ? "联系人" + std::to_string(i) : "Sim " + std::to_string(i)) << "\n";
    std::vector<uint8_t> table(kSmpbtabSize);
    std::vector<std::vector<uint8_t>> files(25, std::vector<uint8_t>(kRecordFileSize));
    for (int slot = 1; slot <= 500; ++slot) {
        ContactRecord r = NewHandsetRecord();
        (void)SetText(r, Field::Name, "Handset " + std::to_string(slot));
        for (int n = 0; n < 1 + slot % 5; ++n)
            (void)SetNumber(r, n, "139" + std::to_string(10000000 + slot * 7 + n), static_cast<uint8_t>(n + 1));
        (void)SetText(r, Field::Detail6, "h" + std::to_string(slot) + "@example.com");
        NormaliseDefault(r);
        const auto bytes = UploadRecord(r);
        std::copy(bytes.begin(), bytes.end(),
                  files[size_t(slot - 1) / 20].begin() + ((slot - 1) % 20) * kPhoneRecordSize);
        uint8_t* e = table.data() + size_t(slot - 1) * kSmpbtabEntrySize;
        e[0] = uint8_t(slot >> 8);
        e[1] = uint8_t(slot & 0xFF);
        e[2] = uint8_t((slot - 1) >> 8);
        e[3] = uint8_t((slot - 1) & 0xFF);
    }
    bool ok = simphone::WriteFileBytes(state / "app/dir/smpbtab", table);
    for (size_t f = 0; f < files.size(); ++f)
        ok = ok && simphone::WriteFileBytes(state / ("app/dir/smpb" + std::to_string(f)), files[f]);
    return ok;
}

// 40 edits, 30 deletions and 30 additions, half of each in either memory
// (both memories are full: the deletions make room for the additions).
void HundredChanges(PhonebookStore& store)
{
    std::vector<ContactKey> sim, handset;
    for (const auto& e : store.entries())
        (e.memory == kMemorySim ? sim : handset).push_back(e.key);
    for (int i = 0; i < 20; ++i) {
        ContactRecord s = *store.find(sim[size_t(i)]);
        (void)SetText(s, Field::SimName, "Edited " + std::to_string(i));
        (void)store.modify(sim[size_t(i)], s);
        ContactRecord h = *store.find(handset[size_t(i)]);
        (void)SetText(h, Field::Detail7, "Company " + std::to_string(i));
        (void)store.modify(handset[size_t(i)], h);
    }
    for (size_t i = 20; i < 35; ++i) {
        (void)store.remove(sim[i]);
        (void)store.remove(handset[i]);
    }
    for (int i = 0; i < 15; ++i) {
        (void)store.add(NewSimRecord("New " + std::to_string(i), "138" + std::to_string(20000000 + i)));
        ContactRecord r = NewHandsetRecord();
        (void)SetText(r, Field::Name, "New handset " + std::to_string(i));
        (void)SetNumber(r, 0, "137" + std::to_string(30000000 + i), 1);
        NormaliseDefault(r);
        (void)store.add(r);
    }
}

void BM_FullPhoneReadAndHundredChangesAt115200(benchmark::State& st)
{
    const fs::path dir = fs::temp_directory_path() / ("pb-bench-" + std::to_string(getpid()));
    fs::remove_all(dir);
    if (!FillPhone(dir / "state")) {
        st.SkipWithError("cannot write the phone's state");
        return;
    }
    fs::create_directories(dir / "home");
    ::setenv("TELVANE_HOME", (dir / "home").c_str(), 1);
    ::setenv("TELVANE_SERIAL_DIR", (dir / "serial").c_str(), 1);
    simphone::TransportOptions opt;
    opt.stateDir = dir / "state";
    opt.serialDir = dir / "serial";
    opt.lineRate = kLineRate;
    const auto sd = opt.stateDir;
    opt.makeDevice = [sd](bool) -> std::unique_ptr<simphone::Device> {
        return std::make_unique<simphone::AtPhone>(sd);
    };
    simphone::Transport transport(opt);
    std::string error;
    if (!transport.start(error)) {
        st.SkipWithError(error.c_str());
        return;
    }
    std::thread server([&] { transport.run(); });
    {
        shell::PhoneSession session;
        if (session.connect()) {
            st.SkipWithError("no connection");
        } else {
            const fs::path transcript = dir / "state" / "simphone.log";
            const std::string work = WorkDir();
            for (auto _ : st) {
                const auto from = static_cast<std::streamoff>(fs::file_size(transcript));
                const auto start = std::chrono::steady_clock::now();
                PhonebookStore store;
                const int read = FinishRead(store, work, session.runBatch(ReadPlan(store, work)));
                const auto readDone = std::chrono::steady_clock::now();
                const size_t readBytes = WireBytes(transcript, from);
                HundredChanges(store);
                WriteBack flow = PlanWriteBack(store, work, WriteMode::Save);
                const int written = FinishWriteBack(flow, session.runBatch(flow.takePlan()));
                const auto end = std::chrono::steady_clock::now();
                if (read != 0 || store.entries().size() != 750 || flow.ops().size() != 100 ||
                    written != res::IDS_PHONEBOOK_WRITTEN) {
                    st.SkipWithError("the read or the write-back failed");
                    break;
                }
                const size_t bytes = WireBytes(transcript, from);
                const double secs = std::chrono::duration<double>(end - start).count();
                const double readSecs = std::chrono::duration<double>(readDone - start).count();
                const double wire = bytes * 10.0 / kLineRate;
                const double readWire = readBytes * 10.0 / kLineRate;
                st.counters["wire_s"] = wire;
                st.counters["elapsed_s"] = secs;
                st.counters["elapsed_over_wire"] = secs / wire;
                st.counters["read_over_wire"] = readSecs / readWire;
                st.counters["write_over_wire"] = (secs - readSecs) / (wire - readWire);
                st.counters["line_bytes"] = double(bytes);
            }
        }
    }
    transport.stop();
    server.join();
    ::unsetenv("TELVANE_SERIAL_DIR");
    ::unsetenv("TELVANE_HOME");
    fs::remove_all(dir);
}
BENCHMARK(BM_FullPhoneReadAndHundredChangesAt115200)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

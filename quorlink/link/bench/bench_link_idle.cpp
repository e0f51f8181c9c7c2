// Idle cost of a connected worker: connects to a scripted phone on a
// pseudo-terminal, lets the link sit idle (keep-alive once a second) and
// reports the CPU time the process spent as a share of one core.
//
//   bench_link_idle [seconds]     (default 10)

#include "quorlink/link/comm_thread.h"
#include "quorlink/link/link_protocol.h"
#include "support/pty_peer.h"
#include "support/result_sink.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

namespace {

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::string tmpl = (std::filesystem::temp_directory_path() / "linkbenchXXXXXX").string();
    const std::filesystem::path dir = ::mkdtemp(tmpl.data());
    ::setenv("TELVANE_SERIAL_DIR", dir.c_str(), 1);
    ::setenv("TELVANE_HOME", dir.c_str(), 1);

    int rc = 0;
    {
        linktest::PtyPeer phone(dir.string(), 1, linktest::PtyPeer::Behaviour::Phone);
        linktest::ResultSink sink;
        quorlink::link::CommThreadPtr worker(StartCommThread(plat::CurrentThreadId(), sink.window()));
        plat::PostThreadMessage(worker->threadId(), WM_LINK_REQUEST, REQ_SCAN_AND_CONNECT,
                                reinterpret_cast<intptr_t>(linktest::NewRequest("", sink.window())));
        if (!sink.WaitForFinal(REQ_SCAN_AND_CONNECT, 60000) || sink.Results().back().current != 1) {
            std::fprintf(stderr, "the worker did not connect\n");
            rc = 1;
        } else {
            const size_t probesBefore = phone.Count("AT*CONNECT");
            const double cpu0 = ProcessCpuSeconds();
            const auto wall0 = std::chrono::steady_clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            const double cpu = ProcessCpuSeconds() - cpu0;
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            std::printf("idle worker: %.1f s wall, %.4f s CPU (whole process, peer included), %.3f%% of one core, "
                        "%zu keep-alives\n",
                        wall, cpu, 100.0 * cpu / wall, phone.Count("AT*CONNECT") - probesBefore);
        }
        plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0);
        worker->WaitForEnd(20000);
    }
    std::filesystem::remove_all(dir);
    return rc;
}

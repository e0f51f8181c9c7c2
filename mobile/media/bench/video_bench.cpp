// Converting a 300-frame 320 x 240 motion-JPEG clip into an AVI file of
// raw BGR24 frames: `telvane mjp2avi` against ffmpeg doing the same work
// (`ffmpeg -i clip -c:v rawvideo -pix_fmt bgr24 out.avi`), each as a
// program started from scratch, and the converter in this process.
//
// ffmpeg does not read the phone's format (only the first frame carries a
// start-of-image marker and the tables), so it is given the same 300
// frames as complete JPEG pictures one after another: the same pictures to
// decode and the same file to write. Counters: frames per second, and for
// telvane the ratio to ffmpeg's frames per second measured in the same run.
#include "clip_maker.h"

#include "mobile/media/core/clip_convert.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 300;

struct Clip {
    fs::path dir;
    std::string mjp, jpegs;
    Clip()
    {
        char tmpl[] = "/tmp/telvane_video_bench_XXXXXX";
        dir = ::mkdtemp(tmpl);
        mjp = (dir / "clip.mjp").string();
        jpegs = (dir / "clip.mjpeg").string();
        const auto made = mediatest::MakeClip({.width = 320, .height = 240, .frames = kFrames, .intervalMs = 100});
        std::ofstream(mjp, std::ios::binary)
            .write(reinterpret_cast<const char*>(made->mjp.data()), static_cast<std::streamsize>(made->mjp.size()));
        std::ofstream all(jpegs, std::ios::binary);
        for (const auto& j : made->frameJpegs)
            all.write(reinterpret_cast<const char*>(j.data()), static_cast<std::streamsize>(j.size()));
    }
    ~Clip() { fs::remove_all(dir); }
};

const Clip& TheClip()
{
    static const Clip clip;
    return clip;
}

double ffmpegSecondsPerClip = 0;

// CPU seconds (user and system) of the children that have ended so far.
double ChildrenCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// Runs a command line per iteration, timed by the wall clock. Counters:
// fps (wall clock) and cpu_fps (the program's own CPU time, steadier on a
// busy machine).
double RunCommand(benchmark::State& state, const std::string& command)
{
    double total = 0;
    const double cpuBefore = ChildrenCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int rc = std::system(command.c_str());
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (rc != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            return 0;
        }
        state.SetIterationTime(s);
        total += s;
    }
    const double frames = double(kFrames) * double(state.iterations());
    state.counters["fps"] = benchmark::Counter(frames / total);
    state.counters["cpu_fps"] = benchmark::Counter(frames / (ChildrenCpuSeconds() - cpuBefore));
    return total / double(state.iterations());
}

void BM_Ffmpeg(benchmark::State& state)
{
    const Clip& c = TheClip();
    ffmpegSecondsPerClip = RunCommand(state,
                                      "ffmpeg -nostdin -v error -y -i '" + c.jpegs +
                                          "' -c:v rawvideo -pix_fmt bgr24 '" + (c.dir / "ffmpeg.avi").string() + "'");
}

void BM_TelvaneMjp2Avi(benchmark::State& state)
{
    const Clip& c = TheClip();
    const double s = RunCommand(state,
                                std::string(TELVANE_BINARY) + " mjp2avi '" + c.mjp + "' '" +
                                    (c.dir / "telvane.avi").string() + "' >/dev/null");
    if (s > 0 && ffmpegSecondsPerClip > 0)
        state.counters["x_ffmpeg_fps"] = benchmark::Counter(ffmpegSecondsPerClip / s);
}

void BM_ConvertInProcess(benchmark::State& state)
{
    const Clip& c = TheClip();
    const std::string avi = (c.dir / "inprocess.avi").string();
    for (auto _ : state) {
        const auto r = media::ConvertMjpegFile(c.mjp, avi);
        if (!r.ok()) {
            state.SkipWithError("conversion failed");
            return;
        }
    }
    state.counters["fps"] =
        benchmark::Counter(double(kFrames) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// ffmpeg first: telvane's ratio needs its figure.
BENCHMARK(BM_Ffmpeg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_TelvaneMjp2Avi)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ConvertInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

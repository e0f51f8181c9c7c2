// Making the slot JPEG (128 x 160, under 8192 bytes) from a 1600 x 1200
// photo in each frame mode, against ImageMagick's `convert` making a
// 128 x 160 JPEG from the same photo in the same run. Both include reading
// the photo from disk and writing the result. At the end the program
// prints each mode's time as a ratio of convert's.
#include "mobile/media/core/wallpaper.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path& WorkDir()
{
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("bench_wallpaper_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// A photo-like 1600 x 1200 picture: smooth gradients with texture, JPEG at 90.
const std::string& Photo()
{
    static const std::string path = [] {
        const int w = 1600, h = 1200;
        std::vector<uint8_t> rgb(size_t(w) * h * 3);
        uint32_t seed = 7;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                seed = seed * 1664525 + 1013904223;
                const int noise = int(seed >> 28) - 8;
                uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
                p[0] = uint8_t(std::clamp(int(128 + 100 * std::sin(x / 97.0)) + noise, 0, 255));
                p[1] = uint8_t(std::clamp(y * 255 / h + noise, 0, 255));
                p[2] = uint8_t(std::clamp(int(128 + 100 * std::cos((x + y) / 151.0)) + noise, 0, 255));
            }
        const std::string file = (WorkDir() / "photo.jpg").string();
        quorlink::media::CDIB::SaveAsJpegFile(file, rgb.data(), w, h, 90, 1);
        return file;
    }();
    return path;
}

std::map<std::string, double> g_seconds;  // mean seconds per iteration, by benchmark

void Record(benchmark::State& state, const std::string& name, double seconds)
{
    if (state.iterations() > 0)
        g_seconds[name] = seconds / double(state.iterations());
}

void SlotJpeg(benchmark::State& state, media::FrameMode mode, const char* name)
{
    const std::string photo = Photo();
    const fs::path out = WorkDir() / "jpeg.jpg";
    double total = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        media::WallpaperFrame frame;
        if (!frame.load(photo).ok) {
            state.SkipWithError("photo not loaded");
            return;
        }
        frame.setMode(mode);
        if (mode == media::FrameMode::Free)
            frame.setFrame({736, 520});  // the middle of the photo
        const auto made = frame.makeJpeg(out);
        if (!made.ok) {
            state.SkipWithError("slot JPEG not made");
            return;
        }
        bytes = made.size;
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["jpeg_bytes"] = double(bytes);
    Record(state, name, total);
}

void BM_SlotJpegFree(benchmark::State& s)
{
    SlotJpeg(s, media::FrameMode::Free, "free");
}
void BM_SlotJpegStretch(benchmark::State& s)
{
    SlotJpeg(s, media::FrameMode::Stretch, "stretch");
}
void BM_SlotJpegFit(benchmark::State& s)
{
    SlotJpeg(s, media::FrameMode::Fit, "fit");
}

// convert PHOTO -resize 128x160 -background white -gravity center -extent 128x160 -quality 75 OUT
void BM_ImageMagickConvert(benchmark::State& state)
{
    const std::string photo = Photo();
    const std::string out = (WorkDir() / "convert.jpg").string();
    std::vector<std::string> args = {"convert", photo,     "-resize", "128x160",  "-background", "white", "-gravity",
                                     "center",  "-extent", "128x160", "-quality", "75",          out};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = -1;
        int status = 0;
        if (posix_spawnp(&pid, "convert", nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("ImageMagick's convert did not run (apt-get install imagemagick)");
            return;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::error_code ec;
    state.counters["jpeg_bytes"] = double(fs::file_size(out, ec));
    Record(state, "convert", total);
}

BENCHMARK(BM_SlotJpegFree)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SlotJpegStretch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SlotJpegFit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImageMagickConvert)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_seconds.count("convert")) {
        for (const char* mode : {"free", "stretch", "fit"})
            if (g_seconds.count(mode))
                std::printf("slot JPEG, %s mode: %.1f ms, convert %.1f ms: %.2f x convert's time\n", mode,
                            g_seconds[mode] * 1e3, g_seconds["convert"] * 1e3, g_seconds[mode] / g_seconds["convert"]);
    }
    std::error_code ec;
    fs::remove_all(WorkDir(), ec);
    return 0;
}

// The AVI files read back by an independent reader (ffprobe and ffmpeg
// from the distribution): one raw BGR24 video stream of the clip's size,
// frame count and rate, and frames that match ffmpeg's own decoding of
// each source JPEG as closely as two JPEG decoders can.
#include "clip_maker.h"

#include "mobile/media/core/clip_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace media {
namespace {

namespace fs = std::filesystem;

// Runs a shell command; its standard output, or nothing when it failed.
std::optional<std::string> Shell(const std::string& command)
{
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return std::nullopt;
    std::string out;
    char buffer[1 << 14];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    return ::pclose(p) == 0 ? std::optional(out) : std::nullopt;
}

// Per pixel: the brightness of blue-green-red, or its three channels.
std::vector<double> Luma(const uint8_t* p)
{
    return {0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]};
}
std::vector<double> Channels(const uint8_t* p)
{
    return {double(p[0]), double(p[1]), double(p[2])};
}

double Psnr(const std::string& a, const std::string& b, std::vector<double> (*measure)(const uint8_t*))
{
    double squared = 0;
    size_t n = 0;
    for (size_t i = 0; i + 3 <= a.size() && i + 3 <= b.size(); i += 3) {
        const auto x = measure(reinterpret_cast<const uint8_t*>(a.data() + i));
        const auto y = measure(reinterpret_cast<const uint8_t*>(b.data() + i));
        for (size_t k = 0; k < x.size(); ++k, ++n)
            squared += (x[k] - y[k]) * (x[k] - y[k]);
    }
    const double mse = squared / double(std::max<size_t>(n, 1));
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

class AviProbe : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Shell("command -v ffprobe >/dev/null && command -v ffmpeg >/dev/null"))
            << "ffprobe and ffmpeg are needed (scripts/setup.sh installs them)";
        char tmpl[] = "/tmp/telvane_avi_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override
    {
        if (!dir_.empty())
            fs::remove_all(dir_);
    }

    // Converts a generated clip; the path of the AVI file.
    std::string Convert(const mediatest::ClipShape& shape, mediatest::MadeClip& made)
    {
        auto clip = mediatest::MakeClip(shape);
        EXPECT_TRUE(clip);
        made = std::move(*clip);
        const std::string mjp = (dir_ / "clip.mjp").string(), avi = (dir_ / "clip.avi").string();
        std::ofstream(mjp, std::ios::binary)
            .write(reinterpret_cast<const char*>(made.mjp.data()), static_cast<std::streamsize>(made.mjp.size()));
        const ConvertResult r = ConvertMjpegFile(mjp, avi);
        EXPECT_TRUE(r.ok()) << int(r.error);
        return avi;
    }

    // "key=value" lines of ffprobe's stream section.
    static std::map<std::string, std::string> Stream(const std::string& avi)
    {
        std::map<std::string, std::string> fields;
        const auto out =
            Shell("ffprobe -v error -count_frames -select_streams v -show_streams -of default=nw=1 '" + avi + "'");
        EXPECT_TRUE(out);
        std::istringstream lines(out.value_or(""));
        for (std::string line; std::getline(lines, line);)
            if (const size_t eq = line.find('='); eq != std::string::npos)
                fields[line.substr(0, eq)] = line.substr(eq + 1);
        return fields;
    }

    // Decodes with ffmpeg into packed top-down BGR24 frames.
    static std::string Bgr24(const std::string& input)
    {
        return Shell("ffmpeg -v error -i '" + input +
                     "' -sws_flags bicubic+accurate_rnd+full_chroma_int+full_chroma_inp -f rawvideo -pix_fmt bgr24 -")
            .value_or("");
    }

    fs::path dir_;
};

TEST_F(AviProbe, StreamIsRawBgr24WithTheClipsSizeCountAndRate)
{
    struct Row {
        int width, height, frames;
        uint16_t interval;
        const char* rate;
        const char* duration;
    };
    for (const Row r : {Row{160, 120, 10, 200, "5/1", "2.000000"}, Row{128, 96, 4, 250, "4/1", "1.000000"}}) {
        mediatest::MadeClip made;
        const auto avi =
            Convert({.width = r.width, .height = r.height, .frames = r.frames, .intervalMs = r.interval}, made);
        auto s = Stream(avi);
        EXPECT_EQ(s["codec_type"], "video");
        EXPECT_EQ(s["codec_name"], "rawvideo");
        EXPECT_EQ(s["pix_fmt"], "bgr24");
        EXPECT_EQ(s["width"], std::to_string(r.width));
        EXPECT_EQ(s["height"], std::to_string(r.height));
        EXPECT_EQ(s["nb_frames"], std::to_string(r.frames));  // the header's count
        EXPECT_EQ(s["nb_read_frames"], std::to_string(r.frames));  // the frames there are
        EXPECT_EQ(s["r_frame_rate"], r.rate);
        EXPECT_EQ(s["duration"], r.duration);
    }
}

// Every frame against ffmpeg's decoding of its source JPEG, for a colour
// clip of a width that needs row padding and for a one-channel clip.
TEST_F(AviProbe, FramesMatchAnIndependentDecoder)
{
    for (const mediatest::ClipShape shape :
         {mediatest::ClipShape{.width = 130, .height = 96, .frames = 4},
          mediatest::ClipShape{.width = 64, .height = 48, .frames = 2, .grey = true}}) {
        mediatest::MadeClip made;
        const std::string frames = Bgr24(Convert(shape, made));
        const size_t frameBytes = size_t(shape.width) * shape.height * 3;
        ASSERT_EQ(frames.size(), frameBytes * shape.frames) << shape.width;
        for (int f = 0; f < shape.frames; ++f) {
            const std::string jpeg = (dir_ / ("frame" + std::to_string(f) + ".jpg")).string();
            std::ofstream(jpeg, std::ios::binary)
                .write(reinterpret_cast<const char*>(made.frameJpegs[f].data()),
                       static_cast<std::streamsize>(made.frameJpegs[f].size()));
            const std::string reference = Bgr24(jpeg);
            ASSERT_EQ(reference.size(), frameBytes);
            // The decoders upsample the half-resolution colour planes with
            // different filters, which alone costs a few dB at sharp colour
            // edges: brightness is held to the strict bound, the colours to
            // one that still catches swapped channels, rows or strides.
            EXPECT_GT(Psnr(reference, frames.substr(f * frameBytes, frameBytes), Luma), 40.0)
                << "frame " << f << " of the " << shape.width << "-pixel clip";
            EXPECT_GT(Psnr(reference, frames.substr(f * frameBytes, frameBytes), Channels), 30.0)
                << "frame " << f << " of the " << shape.width << "-pixel clip";
        }
    }
}

}  // namespace
}  // namespace media

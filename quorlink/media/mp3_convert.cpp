#include "quorlink/media/mp3_convert.h"

#include "platform/process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace quorlink::media {

namespace {

struct RunRow {
    Mp3Run run;
    const char* output;
    int64_t limitMs;
};
constexpr RunRow kRuns[] = {
    {Mp3Run::Resample, "resample.mp3", 120000},
    {Mp3Run::Decode, "decoded.wav", 60000},
    {Mp3Run::Encode, "encoded.mp3", 60000},
};

const RunRow& Row(Mp3Run run)
{
    for (const RunRow& r : kRuns)
        if (r.run == run)
            return r;
    return kRuns[0];
}

}  // namespace

Mp3RunCommand Mp3Command(Mp3Run run, const std::string& input, const std::string& dir)
{
    const RunRow& row = Row(run);
    Mp3RunCommand c;
    c.output = dir + row.output;
    c.limitMs = row.limitMs;
    switch (run) {
    case Mp3Run::Resample: c.args = {"--resample", "8", input, c.output}; break;
    case Mp3Run::Decode: c.args = {"--decode", input, c.output}; break;
    case Mp3Run::Encode: c.args = {"-m", "m", "-b", "32", "--resample", "8", dir + "decoded.wav", c.output}; break;
    }
    return c;
}

std::string EncoderProgram()
{
    const char* env = std::getenv("TELVANE_LAME");
    return env && *env ? env : "lame";
}

int RunEncoder(Mp3Run run, const std::string& input, const std::string& dir)
{
    const Mp3RunCommand c = Mp3Command(run, input, dir);
    ::unlink(c.output.c_str());
    plat::ChildProcess encoder;
    if (!encoder.start(EncoderProgram(), c.args))
        return kRunTimeout;
    if (encoder.wait(c.limitMs) != plat::kWaitEnded) {
        // A run past its limit is ended: left alone it could still write
        // its file while the next run, or the next slot, uses the name.
        encoder.kill();
        ::unlink(c.output.c_str());
        return kRunTimeout;
    }
    struct stat st { };
    if (encoder.exitStatus() != 0 || ::stat(c.output.c_str(), &st) != 0 || st.st_size == 0) {
        ::unlink(c.output.c_str());
        return kRunFailed;
    }
    return kRunOk;
}

}  // namespace quorlink::media

// `telvane video list`, `telvane video save NUMBER OUT.avi` and the offline
// `telvane mjp2avi IN.mjp OUT.avi`. The conversion is the media core's, the
// same the video page runs; a progress bar counts the frames on a terminal.
#include "cli/video_commands.h"

#include "cli/progress_bar.h"
#include "mobile/media/core/clip_convert.h"

#include <string>

namespace telvane::cli {

namespace {

// "OUT.avi: 40 frames of 128x96, 200 ms apart (5.00 frames per second)"
void PrintConverted(const Io& io, const std::string& avi, const media::ConvertResult& r)
{
    std::fprintf(io.out, "%s: %d frame%s of %dx%d, %u ms apart (%.2f frames per second)\n", avi.c_str(),
                 r.framesWritten, r.framesWritten == 1 ? "" : "s", r.width, r.height, r.intervalMs,
                 1000.0 / r.intervalMs);
}

std::string Reason(const media::ConvertResult& r)
{
    std::string why(media::ClipErrorInfo(r.error).english);
    if (!r.detail.empty())
        why += " (" + r.detail + ")";
    return why;
}

int Mjp2Avi(const Args& args, const Io& io)
{
    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];
    ProgressBar bar(io, "mjp2avi");
    media::ConvertOptions options;
    options.progress = [&bar](int done, int total) { bar.Update(done, total); };
    const media::ConvertResult r = media::ConvertMjpegFile(in, out, options);
    bar.Done();
    if (r.framesWritten > 0)
        PrintConverted(io, out, r);
    if (!r.ok())
        return Fail(io, (r.error == media::ClipError::CannotWrite ? out : in) + ": " + Reason(r));
    return kExitOk;
}

const Command kVideoCommands[] = {
    {"mjp2avi-placeholder", "", "", {}, 0, 0, nullptr, {}},
};

const Command kTopLevel[] = {
    {"mjp2avi",
     "convert a motion-JPEG clip (.mjp) into an AVI file of uncompressed frames",
     "IN.mjp OUT.avi",
     {},
     2,
     2,
     Mjp2Avi,
     {}},
};

}  // namespace

std::span<const Command> VideoCommands()
{
    return kVideoCommands;
}

std::span<const Command> VideoTopLevelCommands()
{
    return kTopLevel;
}

}  // namespace telvane::cli

// `telvane video list`, `telvane video save NUMBER OUT.avi` and the offline
// `telvane mjp2avi IN.mjp OUT.avi`. The conversion is the media core's, the
// same the video page runs; a progress bar counts the frames on a terminal.
#include "cli/video_commands.h"

#include "cli/phone_commands.h"
#include "cli/progress_bar.h"
#include "mobile/media/core/clip_convert.h"
#include "mobile/media/core/video_flows.h"
#include "platform/program_dir.h"
#include "resources/strings.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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
    std::string why = Text(media::ClipErrorInfo(r.error).stringId);
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

// Connects and reads the clip index; the library is then connected.
// Batches' progress goes to `bar` once it is set (the clip's parts).
struct Phone {
    std::unique_ptr<shell::PhoneSession> session;
    int rc = kExitOk;
    media::VideoLibrary library{plat::ProgramDirectory()};
    ProgressBar* bar = nullptr;
};
bool ReadIndex(const Io& io, Phone& p)
{
    shell::PhoneSessionOptions options;
    options.onProgress = [&p](int position, const std::string&) {
        if (p.bar)
            p.bar->Update(position, 100);
    };
    p.session = ConnectSession(io, std::move(options), p.rc);
    if (!p.session)
        return false;
    if (!p.library.refresh(*p.session)) {
        p.rc = Fail(io, Text(res::IDS_VIDEO_LIST_FAILED) + " " + SessionFailure(*p.session));
        return false;
    }
    return true;
}

// NUMBER<TAB>NAME<TAB>LENGTH<TAB>RESOLUTION<TAB>SIZE for every clip.
int List(const Args&, const Io& io)
{
    Phone p;
    if (!ReadIndex(io, p))
        return p.rc;
    for (const media::ClipRow& r : p.library.rows(Text))
        if (r.clipNumber != 0)
            std::fprintf(io.out, "%s\t%s\t%s\t%s\t%s\n", r.number.c_str(), EscapedField(r.name).c_str(),
                         r.length.c_str(), r.resolution.c_str(), r.size.c_str());
    return kExitOk;
}

int Save(const Args& args, const Io& io)
{
    char* end = nullptr;
    const long number = std::strtol(args.positional[0].c_str(), &end, 10);
    if (*end != 0 || number < 1 || number > 99)
        return std::fprintf(io.err, "telvane: NUMBER is a clip number from 1 to 99\n"), kExitUsage;
    const std::string avi = media::WithExtension(args.positional[1], ".avi");
    const std::string parent = std::filesystem::path(avi).parent_path().string();
    if (::access(parent.empty() ? "." : parent.c_str(), W_OK) != 0)
        return Fail(io, "cannot write " + avi + ": " + std::strerror(errno));

    Phone p;
    if (!ReadIndex(io, p))
        return p.rc;
    switch (p.library.checkSave(static_cast<int>(number))) {
    case media::SaveStatus::Saved: break;
    case media::SaveStatus::Private:
        return Fail(io, "clip " + args.positional[0] + ": " + Text(res::IDS_CLIP_PRIVATE_PHONES_PRIVACY));
    default: return Fail(io, "the phone has no clip " + args.positional[0]);
    }
    ProgressBar fetch(io, "copy");
    ProgressBar convert(io, "convert");
    p.bar = &fetch;
    media::ConvertOptions options;
    options.progress = [&](int done, int total) {
        fetch.Done();
        convert.Update(done, total);
    };
    const media::SaveOutcome saved = p.library.save(*p.session, static_cast<int>(number), avi, options);
    p.bar = nullptr;
    fetch.Done();
    convert.Done();
    if (saved.status == media::SaveStatus::DownloadFailed)
        return Fail(io, "the clip could not be copied from the phone: " + SessionFailure(*p.session));
    if (saved.convert.framesWritten > 0)
        PrintConverted(io, saved.aviPath, saved.convert);
    if (saved.status != media::SaveStatus::Saved)
        return Fail(io, saved.aviPath + ": " + Reason(saved.convert));
    return kExitOk;
}

const Command kVideoCommands[] = {
    {"list", "list the phone's video clips: number, name, length, resolution, size", "", {}, 0, 0, List, {}},
    {"save", "save a clip of the phone as an AVI file of uncompressed frames", "NUMBER OUT.avi", {}, 2, 2, Save, {}},
};

const Command kTopLevel[] = {
    {"video", "the phone's video clips", "SUBCOMMAND [ARGS...]", {}, 0, 0, nullptr, kVideoCommands},
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

// `telvane pictures`, `telvane picture put|clear|save` and the offline
// `telvane image wallpaper|convert`: the pictures page's flows from the
// shell, through the same media core (listings, slot flows, saving in
// parts, the wallpaper frame) as the page.
#include "cli/cli.h"
#include "cli/phone_commands.h"
#include "mobile/media/core/media_parts.h"
#include "mobile/media/core/wallpaper.h"
#include "platform/program_dir.h"
#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace telvane::cli {
namespace {

// ---- offline: the wallpaper and conversion ----------------------------------

struct Framing {
    media::FrameMode mode = media::FrameMode::Fit;
    int zoomNumerator = 1, zoomDenominator = 1;
    std::optional<media::FramePoint> at;
};

// --mode fit|stretch|free, --zoom N or 1/N (free mode), --at X,Y (free
// mode: the frame's top-left corner on the zoomed picture).
std::optional<Framing> ParseFraming(const Args& a, const Io& io)
{
    Framing f;
    const std::string mode = a.Get("mode").value_or(a.Has("zoom") || a.Has("at") ? "free" : "fit");
    if (mode == "free")
        f.mode = media::FrameMode::Free;
    else if (mode == "stretch")
        f.mode = media::FrameMode::Stretch;
    else if (mode != "fit")
        return std::fprintf(io.err, "telvane: --mode is fit, stretch or free\n"), std::nullopt;
    if (auto z = a.Get("zoom")) {
        char* end = nullptr;
        const bool fraction = z->rfind("1/", 0) == 0;
        const long n = std::strtol(z->c_str() + (fraction ? 2 : 0), &end, 10);
        if (*end != 0 || n < 1 || n > 8)
            return std::fprintf(io.err, "telvane: --zoom is 1 to 8 or 1/2 to 1/8\n"), std::nullopt;
        (fraction ? f.zoomDenominator : f.zoomNumerator) = int(n);
    }
    if (auto at = a.Get("at")) {
        int x = 0, y = 0;
        char tail = 0;
        if (std::sscanf(at->c_str(), "%d,%d%c", &x, &y, &tail) != 2)
            return std::fprintf(io.err, "telvane: --at is X,Y\n"), std::nullopt;
        f.at = media::FramePoint{x, y};
    }
    if (f.mode != media::FrameMode::Free && (a.Has("zoom") || a.Has("at")))
        return std::fprintf(io.err, "telvane: --zoom and --at go with --mode free\n"), std::nullopt;
    return f;
}

// Loads the picture into a frame set up as the options say.
int LoadFramed(const std::string& path, const Framing& f, media::WallpaperFrame& frame, const Io& io)
{
    const auto loaded = frame.load(path);
    if (!loaded.ok)
        return Fail(io, path + ": " + Text(loaded.messageId));
    frame.setMode(f.mode);
    if (f.mode == media::FrameMode::Free) {
        (void)frame.setZoom(f.zoomNumerator, f.zoomDenominator);
        if (f.at)
            frame.setFrame(*f.at);
    }
    return kExitOk;
}

int RunImageWallpaper(const Args& a, const Io& io)
{
    const auto framing = ParseFraming(a, io);
    if (!framing)
        return kExitUsage;
    media::WallpaperFrame frame;
    if (int rc = LoadFramed(a.positional[0], *framing, frame, io))
        return rc;
    const media::MakeResult made = frame.makeJpeg(a.positional[1]);
    if (!made.ok)
        return Fail(io, Text(made.messageId));
    std::fprintf(io.out, "%s: %u bytes, 128x160\n", a.positional[1].c_str(), made.size);
    return kExitOk;
}

int RunImageConvert(const Args& a, const Io& io)
{
    quorlink::media::CDIB picture;
    bool damaged = false;
    if (!picture.Load(a.positional[0], &damaged))
        return Fail(io,
                    a.positional[0] + ": " +
                        Text(damaged ? res::IDS_PICTURE_DAMAGED_UNSUPPORTED_KIND : res::IDS_PICTURE_FILE_OPEN_FAILED));
    if (!picture.Save(a.positional[1]))
        return Fail(io, a.positional[1] + ": " + Text(res::IDS_FILE_WRITE_FAILED));
    std::fprintf(io.out, "%s: %dx%d, 24-bit BMP\n", a.positional[1].c_str(), picture.GetWidth(), picture.GetHeight());
    return kExitOk;
}

// ---- on the phone -----------------------------------------------------------

struct CategoryName {
    const char* name;
    media::MediaList list;
};
constexpr CategoryName kCategories[] = {
    {"user", media::MediaList::UserPictures},
    {"camera", media::MediaList::Camera},
    {"wap", media::MediaList::WapPictures},
    {"mms", media::MediaList::MmsPictures},
};

std::optional<media::MediaList> CategoryOf(std::string_view name)
{
    for (const auto& c : kCategories)
        if (name == c.name)
            return c.list;
    return std::nullopt;
}

// A connected phone with the local copy of one list fresh from it.
struct Phone {
    std::unique_ptr<shell::PhoneSession> session;
    bool picturesLocked = false;  // the phone's privacy lock covers pictures
    int rc = kExitOk;
};

Phone Connect(const Io& io, std::span<const media::MediaList> lists)
{
    Phone p;
    shell::PhoneSessionOptions o;
    o.text = Text;
    o.onProgress = [&io](int position, const std::string&) {
        if (::isatty(::fileno(io.err)))
            std::fprintf(io.err, "\r%3d%%", position);
    };
    p.session = ConnectSession(io, std::move(o), p.rc);
    if (p.rc != kExitOk || !p.session)
        return p;
    // The lists, then the privacy lock that decides what they may show.
    shell::BatchPlan plan = media::IndexDownloadPlan(plat::ProgramDirectory(), lists);
    plan.steps.push_back(shell::BatchStep::Request(REQ_PRIVACY_LOCK, shell::NewRequest(plat::CurrentThreadId())));
    plan.effects.onPrivacyLock = [&p](bool pictures, bool) { p.picturesLocked = pictures; };
    if (p.session->runBatch(std::move(plan)) != shell::kBatchOk)
        p.rc = Fail(io, Text(res::IDS_MEDIA_LIST_FAILED) + " (" + SessionFailure(*p.session) + ")");
    if (::isatty(::fileno(io.err)))
        std::fprintf(io.err, "\r     \r");
    return p;
}

std::string RowName(const media::MediaRow& r)
{
    return r.nameId ? Text(r.nameId) : r.name;
}

int Report(const Io& io, const media::FlowResult& r)
{
    if (!r.ok)
        return Fail(io, r.messageId ? Text(r.messageId) : "nothing to do");
    if (r.messageId)
        std::fprintf(io.out, "%s\n", Text(r.messageId).c_str());
    return kExitOk;
}

int RunPictures(const Args& a, const Io& io)
{
    const auto list = CategoryOf(a.Get("category").value_or("user"));
    if (!list)
        return std::fprintf(io.err, "telvane: --category is user, camera, wap or mms\n"), kExitUsage;
    const media::MediaList lists[] = {*list};
    Phone p = Connect(io, lists);
    if (p.rc)
        return p.rc;
    const auto rows = media::LoadListing(plat::ProgramDirectory(), *list, p.picturesLocked);
    if (!rows)
        return Fail(io, Text(res::IDS_MEDIA_LIST_FAILED));
    for (const auto& r : *rows)
        std::fprintf(io.out, "%d\t%s\t%s\t%s\n", r.number, RowName(r).c_str(), r.sizeText.c_str(),
                     r.used ? (r.isPrivate ? "private" : "used") : "empty");
    if (rows->empty())
        std::fprintf(io.out, "%s\n", Text(res::IDS_LIST_EMPTY).c_str());
    return kExitOk;
}

int RunPicturePut(const Args& a, const Io& io)
{
    const auto slot = NumberInRange(a.positional[0], 1, 10);
    if (!slot)
        return std::fprintf(io.err, "telvane: SLOT is 1 to 10\n"), kExitUsage;
    const auto framing = ParseFraming(a, io);
    if (!framing)
        return kExitUsage;
    media::WallpaperFrame frame;
    if (int rc = LoadFramed(a.positional[1], *framing, frame, io))
        return rc;
    const media::MediaList lists[] = {media::MediaList::UserPictures};
    Phone p = Connect(io, lists);
    if (p.rc)
        return p.rc;
    const std::string dir = plat::ProgramDirectory();
    const std::string jpeg = dir + "jpeg.jpg";
    const media::MakeResult made = frame.makeJpeg(jpeg);
    if (!made.ok)
        return Fail(io, Text(made.messageId));
    // At most 12 characters, as the page's name dialog takes.
    std::u16string wide = quorlink::codecs::Utf8ToUcs2(a.Get("name").value_or(media::ShortName(a.positional[1], 12)));
    wide.resize(std::min<size_t>(wide.size(), 12));
    const std::string name = media::SlotNameFromUser(quorlink::codecs::Ucs2ToUtf8(wide));
    media::SlotFlows flows(dir, *p.session);
    return Report(io, flows.putPicture(*slot, name, jpeg, p.picturesLocked));
}

int RunPictureClear(const Args& a, const Io& io)
{
    const auto slot = NumberInRange(a.positional[0], 1, 10);
    if (!slot)
        return std::fprintf(io.err, "telvane: SLOT is 1 to 10\n"), kExitUsage;
    const media::MediaList lists[] = {media::MediaList::UserPictures};
    Phone p = Connect(io, lists);
    if (p.rc)
        return p.rc;
    media::SlotFlows flows(plat::ProgramDirectory(), *p.session);
    return Report(io, flows.emptySlot(media::SlotTableKind::Pictures, *slot, p.picturesLocked));
}

int RunPictureSave(const Args& a, const Io& io)
{
    const auto list = CategoryOf(a.positional[0]);
    const auto row = NumberInRange(a.positional[1], 1, 60);
    if (!list || *list == media::MediaList::UserPictures || !row)
        return std::fprintf(io.err, "telvane: CATEGORY is camera, wap or mms; ROW a number of its listing\n"),
               kExitUsage;
    const media::MediaList lists[] = {*list};
    Phone p = Connect(io, lists);
    if (p.rc)
        return p.rc;
    const std::string dir = plat::ProgramDirectory();
    const auto rows = media::LoadListing(dir, *list, p.picturesLocked);
    if (!rows || size_t(*row) > rows->size())
        return Fail(io, "no row " + a.positional[1] + " in that list");
    return Report(io, media::SaveItem(*p.session, dir, *list, (*rows)[size_t(*row - 1)], a.positional[2]));
}

constexpr OptionSpec kFramingOptions[] = {{"mode", true}, {"zoom", true}, {"at", true}};
constexpr OptionSpec kPutOptions[] = {{"name", true}, {"mode", true}, {"zoom", true}, {"at", true}};
constexpr OptionSpec kListOptions[] = {{"category", true}};

const Command kPictureCommands[] = {
    {"put",
     "make a picture into the slot JPEG and put it into slot 1-10",
     "SLOT FILE [--name NAME] [--mode fit|stretch|free] [--zoom N|1/N] [--at X,Y]",
     kPutOptions,
     2,
     2,
     RunPicturePut,
     {}},
    {"clear", "empty picture slot 1-10", "SLOT", {}, 1, 1, RunPictureClear, {}},
    {"save", "copy a camera, WAP or MMS picture to the PC", "camera|wap|mms ROW OUT", {}, 3, 3, RunPictureSave, {}},
};

const Command kImageCommands[] = {
    {"wallpaper",
     "make the 128x160 slot JPEG (under 8192 bytes) from a picture",
     "IN OUT.jpg [--mode fit|stretch|free] [--zoom N|1/N] [--at X,Y]",
     kFramingOptions,
     2,
     2,
     RunImageWallpaper,
     {}},
    {"convert",
     "write any BMP, JPEG, GIF or WBMP picture as an uncompressed 24-bit BMP",
     "IN OUT.bmp",
     {},
     2,
     2,
     RunImageConvert,
     {}},
};

const Command kTopLevel[] = {
    {"pictures",
     "list the phone's picture slots, camera photos or WAP/MMS pictures",
     "[--category user|camera|wap|mms]",
     kListOptions,
     0,
     0,
     RunPictures,
     {}},
    {"picture", "put, clear or save the phone's pictures", "SUBCOMMAND [ARGS...]", {}, 0, 0, nullptr, kPictureCommands},
    {"image", "offline picture tools (wallpaper, convert)", "SUBCOMMAND [ARGS...]", {}, 0, 0, nullptr, kImageCommands},
};

}  // namespace

std::span<const Command> PicturesCommands()
{
    return kTopLevel;
}

}  // namespace telvane::cli

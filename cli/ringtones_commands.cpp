// `telvane ringtones`, `telvane ringtone put|clear|save` and `telvane play`:
// the ringtones page's work from the shell, through the same media core
// (sound file checks, slot flows, saved parts) and the same phone session.
#include "cli/cli.h"
#include "cli/phone_commands.h"
#include "mobile/media/core/media_parts.h"
#include "mobile/media/core/media_slots.h"
#include "mobile/media/core/ringtone_list.h"
#include "mobile/media/core/sound_file.h"
#include "platform/messages.h"
#include "platform/program_dir.h"
#include "quorlink/codecs/code_page.h"
#include "quorlink/media/mci_device.h"
#include "quorlink/media/sound_output.h"
#include "resources/strings.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace telvane::cli {

namespace {

namespace qm = quorlink::media;

struct CategoryName {
    const char* name;
    media::SoundCategory category;
};
constexpr CategoryName kCategories[] = {
    {"user", media::SoundCategory::User},
    {"wap", media::SoundCategory::Wap},
    {"mms", media::SoundCategory::Mms},
};

std::optional<media::SoundCategory> ParseCategory(std::string_view name)
{
    for (const CategoryName& c : kCategories)
        if (name == c.name)
            return c.category;
    return std::nullopt;
}

// Connects and reads one list afresh from the phone.
struct Listed {
    std::unique_ptr<shell::PhoneSession> session;
    int rc = kExitOk;
    std::vector<media::MediaRow> rows;
};
Listed ConnectAndList(const Io& io, media::SoundCategory category)
{
    Listed l;
    l.session = ConnectSession(io, {}, l.rc);
    if (!l.session)
        return l;
    const std::string dir = plat::ProgramDirectory();
    const media::MediaList lists[] = {*media::SoundList(category)};
    if (l.session->runBatch(media::IndexDownloadPlan(dir, lists)) != shell::kBatchOk) {
        l.rc = Fail(io, SessionFailure(*l.session));
        return l;
    }
    media::SoundListing listing = media::LoadSoundList(dir, category, false, *l.session);
    if (listing.messageId != 0)
        l.rc = Fail(io, Text(listing.messageId));
    l.rows = std::move(listing.rows);
    return l;
}

int Ringtones(const Args& args, const Io& io)
{
    const auto category = ParseCategory(args.Get("category").value_or("user"));
    if (!category) {
        std::fprintf(io.err, "telvane ringtones: --category is user, wap or mms\n");
        return kExitUsage;
    }
    Listed l = ConnectAndList(io, *category);
    if (l.rc != kExitOk)
        return l.rc;
    for (const media::MediaRow& r : l.rows) {
        const std::string name = r.nameId == res::IDS_EMPTY ? "(empty)" : r.name;
        std::fprintf(io.out, "%d\t%s\t%s\n", r.number, name.c_str(), r.sizeText.c_str());
    }
    return kExitOk;
}

int RingtonePut(const Args& args, const Io& io)
{
    const auto slot = NumberInRange(args.positional[0], 1, 10);
    if (!slot) {
        std::fprintf(io.err, "telvane ringtone put: SLOT is 1 to 10\n");
        return kExitUsage;
    }
    const std::string file = std::filesystem::absolute(args.positional[1]).string();
    const media::SoundCheck check = media::CheckSoundFile(file);
    if (!check.accepted) {
        if (check.messageId == res::IDS_FILE_TOO_LARGE_MOST)
            return Fail(io,
                        "the file is too large: at most " + std::to_string(check.limitKb) +
                            " KB of this kind fit in a ringtone slot");
        if (check.messageId == 0)
            return Fail(io, file + " is not a ringtone (.mid, .amr, .vmd or .adp)");
        return Fail(io, Text(check.messageId));
    }
    if (!media::SlotFileByTypeWord(check.sound.typeWord))
        return Fail(io, "an " + check.sound.typeWord + " file goes into the MP3 slots (telvane mp3 put)");
    std::string name = args.Get("name").value_or(media::ShortName(file, 12));
    if (quorlink::codecs::Utf8ToUcs2(name).size() > 12) {
        std::fprintf(io.err, "telvane ringtone put: --name holds at most 12 characters\n");
        return kExitUsage;
    }
    name = media::SlotNameFromUser(name);

    Listed l = ConnectAndList(io, media::SoundCategory::User);
    if (l.rc != kExitOk)
        return l.rc;
    const bool replaced = l.rows[static_cast<size_t>(*slot - 1)].used;
    media::SlotFlows flows(plat::ProgramDirectory(), *l.session);
    const media::FlowResult r = flows.putRingtone(*slot, name, file, check.sound.typeWord);
    if (!r.ok)
        return Fail(io,
                    Text(r.messageId) +
                        (l.session->lastFailure().kind ? " (" + SessionFailure(*l.session) + ")" : std::string()));
    std::fprintf(io.out, "slot %d: %s (%u bytes, %s)%s\n", *slot, name.c_str(), check.sound.size,
                 check.sound.typeWord.c_str(), replaced ? ", replacing the ringtone it held" : "");
    return kExitOk;
}

int RingtoneClear(const Args& args, const Io& io)
{
    const auto slot = NumberInRange(args.positional[0], 1, 10);
    if (!slot) {
        std::fprintf(io.err, "telvane ringtone clear: SLOT is 1 to 10\n");
        return kExitUsage;
    }
    Listed l = ConnectAndList(io, media::SoundCategory::User);
    if (l.rc != kExitOk)
        return l.rc;
    if (!l.rows[static_cast<size_t>(*slot - 1)].used) {
        std::fprintf(io.out, "slot %d is already empty\n", *slot);
        return kExitOk;
    }
    media::SlotFlows flows(plat::ProgramDirectory(), *l.session);
    const media::FlowResult r = flows.emptySlot(media::SlotTableKind::Ringtones, *slot, false);
    if (!r.ok)
        return Fail(io, r.messageId ? Text(r.messageId) : "the slot holds a file of a kind this program does not know");
    std::fprintf(io.out, "slot %d emptied\n", *slot);
    return kExitOk;
}

int RingtoneSave(const Args& args, const Io& io)
{
    const auto category = ParseCategory(args.positional[0]);
    if (!category || *category == media::SoundCategory::User) {
        std::fprintf(io.err, "telvane ringtone save: CATEGORY is wap or mms\n");
        return kExitUsage;
    }
    const auto row = NumberInRange(args.positional[1], 1, 30);
    if (!row) {
        std::fprintf(io.err, "telvane ringtone save: ROW is a number from the list\n");
        return kExitUsage;
    }
    const std::string out = std::filesystem::absolute(args.positional[2]).string();
    Listed l = ConnectAndList(io, *category);
    if (l.rc != kExitOk)
        return l.rc;
    if (static_cast<size_t>(*row) > l.rows.size() || !l.rows[static_cast<size_t>(*row - 1)].used)
        return Fail(io, "the list has no sound in row " + std::to_string(*row));
    const media::MediaRow& item = l.rows[static_cast<size_t>(*row - 1)];
    const media::FlowResult r =
        media::SaveItem(*l.session, plat::ProgramDirectory(), *media::SoundList(*category), item, out);
    if (!r.ok)
        return Fail(io, Text(r.messageId));
    std::fprintf(io.out, "%s: %u bytes written to %s\n", item.name.c_str(), item.size, out.c_str());
    return kExitOk;
}

// ---- play ------------------------------------------------------------------

std::string Clock(uint32_t ms)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u:%02u", ms / 60000, ms / 1000 % 60);
    return buf;
}

int Play(const Args& args, const Io& io)
{
    const std::string file = args.positional[0];
    const media::SoundCheck check = media::CheckSoundFile(file);
    // Any playable sound: the ringtone limits do not matter on the PC.
    if (!check.accepted && check.messageId != res::IDS_FILE_TOO_LARGE_MOST)
        return Fail(io, check.messageId ? Text(check.messageId) : file + " is not a MIDI or MP3 file");
    std::string ext = file.size() > 3 ? file.substr(file.size() - 3) : "";
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (check.accepted && !media::PlayableOnPc(check.sound.typeWord))
        return Fail(io, check.sound.typeWord + " sounds are played by the phone only");

    if (const auto wav = args.Get("wav")) {
        qm::SetSoundOutput({qm::SoundOutput::Kind::Wav, *wav});
    }
    // Notifications come to this thread's queue.
    const plat::ThreadId self = plat::CurrentThreadId();
    const plat::WindowHandle window = plat::RegisterWindow(
        [self](const plat::Message& m) { plat::PostThreadMessage(self, m.message, m.wParam, m.lParam); });
    std::string error;
    qm::CMciDevice::SetErrorReporter([&](uint32_t, const std::string& text, const std::string&) { error = text; });
    qm::CSequencer seq(ext == "mp3" ? "MP3" : "");
    seq.SetCallbackWnd(window);
    seq.ReportErrors(true);
    int rc = kExitOk;
    if (seq.Open(file) != 0 || seq.SetTimeFormat(qm::CMciDevice::FormatMilliseconds) != 0 || seq.Play(true) != 0) {
        rc = Fail(io, "cannot play " + file + ": " + error);
    } else {
        const uint32_t length = seq.GetSongLength();
        const bool terminal = ::isatty(::fileno(io.err)) == 1 && !args.Has("wav");
        for (bool ended = false; !ended;) {
            plat::WaitForMessageOrFd(-1, 0, 200);
            while (const auto m = plat::PeekMessage())
                ended = ended || m->message == qm::mci::MM_MCINOTIFY;
            if (terminal) {
                std::fprintf(io.err, "\r%s/%s", Clock(seq.GetCurrentPos()).c_str(), Clock(length).c_str());
                std::fflush(io.err);
            }
        }
        if (terminal)
            std::fputc('\n', io.err);
        if (const auto wav = args.Get("wav"))
            std::fprintf(io.out, "%s: %s rendered to %s\n", file.c_str(), Clock(length).c_str(), wav->c_str());
        else
            std::fprintf(io.out, "%s: %s played\n", file.c_str(), Clock(length).c_str());
    }
    qm::CMciDevice::CloseAll();
    qm::CMciDevice::SetErrorReporter({});
    plat::UnregisterWindow(window);
    return rc;
}

constexpr OptionSpec kCategoryOption[] = {{"category", true}};
constexpr OptionSpec kNameOption[] = {{"name", true}};
constexpr OptionSpec kWavOption[] = {{"wav", true}};

const Command kRingtoneCommands[] = {
    {"put",
     "put a sound file (.mid .amr .vmd .adp) into ringtone slot 1-10",
     "SLOT FILE [--name NAME]",
     kNameOption,
     2,
     2,
     RingtonePut,
     {}},
    {"clear", "empty ringtone slot 1-10", "SLOT", {}, 1, 1, RingtoneClear, {}},
    {"save", "copy a sound received by WAP or MMS to the PC", "wap|mms ROW OUT", {}, 3, 3, RingtoneSave, {}},
};

const Command kSoundCommands[] = {
    {"ringtones",
     "list the ringtone slots, or the sounds received by WAP or MMS",
     "[--category user|wap|mms]",
     kCategoryOption,
     0,
     0,
     Ringtones,
     {}},
    {"ringtone",
     "change the phone's ringtone slots, save received sounds",
     "SUBCOMMAND [ARGS...]",
     {},
     0,
     0,
     nullptr,
     kRingtoneCommands},
    {"play",
     "play a MIDI or MP3 file on the PC, or render it to a WAV file",
     "FILE [--wav OUT]",
     kWavOption,
     1,
     1,
     Play,
     {}},
};

}  // namespace

std::span<const Command> SoundCommands()
{
    return kSoundCommands;
}

}  // namespace telvane::cli

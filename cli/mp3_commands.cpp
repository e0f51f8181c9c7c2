// `telvane mp3 list|put|clear`: MP3 mode from the shell. Each command
// boots the switched-off phone into its loader through the flash bridge
// (the same handshake as the connection dialog's MP3 mode), works on the
// MP3 slots through the media core, and ends the session, which switches
// the phone off. The sectors written are counted on stderr.
#include "cli/cli.h"
#include "cli/phone_commands.h"
#include "mobile/media/core/media_slots.h"
#include "mobile/media/core/mp3_flows.h"
#include "mobile/media/core/sound_file.h"
#include "platform/program_dir.h"
#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace telvane::cli {

namespace {

// A session in MP3 mode, or the reason on stderr.
struct Mp3Session {
    std::unique_ptr<shell::PhoneSession> session;
    int rc = kExitOk;
};
Mp3Session ConnectMp3(const Args& args, const Io& io)
{
    Mp3Session s;
    int port = 0;
    if (const auto p = args.Get("port")) {
        const auto n = NumberInRange(*p, 1, 8);
        if (!n) {
            std::fprintf(io.err, "telvane mp3: --port is 1 to 8\n");
            s.rc = kExitUsage;
            return s;
        }
        port = *n;
    } else {
        const char* root = std::getenv("TELVANE_SYSFS_ROOT");
        const std::string cable = CableDetection(root && *root ? root : "/sys");
        if (cable.rfind("COM", 0) == 0)
            port = NumberInRange(cable.substr(3), 1, 8).value_or(0);
    }
    shell::PhoneSessionOptions options;
    options.text = Text;
    options.onRecord = [err = io.err](int32_t kind, const LinkResult& r) {
        if (kind == REQ_BRIDGE_WRITE_MP3 && r.status == LINK_INTERMEDIATE && r.progress.total > 0)
            std::fprintf(err, "sector %d of %d written\n", r.progress.current, r.progress.total);
    };
    s.session = std::make_unique<shell::PhoneSession>(std::move(options));
    if (const auto failure = s.session->connectMp3(port)) {
        s.rc = Fail(io, ConnectFailureText(*failure));
        s.session.reset();
    }
    return s;
}

void PrintRows(const Io& io, const std::vector<media::MediaRow>& rows)
{
    for (const media::MediaRow& r : rows) {
        const std::string name = r.used ? r.name : "(empty)";
        std::fprintf(io.out, "%d\t%s\t%s\n", r.number, name.c_str(), r.sizeText.c_str());
    }
}

int Mp3List(const Args& args, const Io& io)
{
    Mp3Session s = ConnectMp3(args, io);
    if (!s.session)
        return s.rc;
    const media::Mp3Listing listing = media::LoadMp3List(plat::ProgramDirectory());
    if (listing.messageId != 0)
        return Fail(io, Text(listing.messageId));
    PrintRows(io, listing.rows);
    return kExitOk;
}

int Mp3Put(const Args& args, const Io& io)
{
    const auto slot = NumberInRange(args.positional[0], 1, 5);
    if (!slot) {
        std::fprintf(io.err, "telvane mp3 put: SLOT is 1 to 5\n");
        return kExitUsage;
    }
    const std::string file = std::filesystem::absolute(args.positional[1]).string();
    const media::SoundCheck check = media::CheckSoundFile(file);
    if (!check.accepted || check.sound.typeWord != "MP3")
        return Fail(io, check.accepted || check.messageId == 0 ? file + " is not an MP3 file" : Text(check.messageId));
    std::string name = args.Get("name").value_or(media::ShortName(file, media::kMp3NameChars));
    if (quorlink::codecs::Utf8ToUcs2(name).size() > media::kMp3NameChars) {
        std::fprintf(io.err, "telvane mp3 put: NAME has at most %zu characters\n", media::kMp3NameChars);
        return kExitUsage;
    }
    name = media::SlotNameFromUser(name);
    Mp3Session s = ConnectMp3(args, io);
    if (!s.session)
        return s.rc;
    const std::string dir = plat::ProgramDirectory();
    media::Mp3Flows flows(dir, *s.session);
    const media::FlowResult r = flows.put(*slot, name, file);
    if (!r.ok)
        return Fail(io, Text(r.messageId));
    PrintRows(io, media::LoadMp3List(dir).rows);
    return kExitOk;
}

int Mp3Clear(const Args& args, const Io& io)
{
    const auto slot = NumberInRange(args.positional[0], 1, 5);
    if (!slot) {
        std::fprintf(io.err, "telvane mp3 clear: SLOT is 1 to 5\n");
        return kExitUsage;
    }
    Mp3Session s = ConnectMp3(args, io);
    if (!s.session)
        return s.rc;
    media::Mp3Flows flows(plat::ProgramDirectory(), *s.session);
    const media::FlowResult r = flows.empty(*slot);
    if (!r.ok)
        return Fail(io, Text(r.messageId));
    std::fprintf(io.out, "MP3 slot %d emptied\n", *slot);
    return kExitOk;
}

constexpr OptionSpec kPortOption[] = {{"port", true}};
constexpr OptionSpec kPutOptions[] = {{"name", true}, {"port", true}};

const Command kMp3Commands[] = {
    {"list", "list the five MP3 slots in the phone's flash", "[--port N]", kPortOption, 0, 0, Mp3List, {}},
    {"put",
     "convert an MP3 file and write it into MP3 slot 1-5",
     "SLOT FILE [--name NAME] [--port N]",
     kPutOptions,
     2,
     2,
     Mp3Put,
     {}},
    {"clear", "empty MP3 slot 1-5", "SLOT [--port N]", kPortOption, 1, 1, Mp3Clear, {}},
};

const Command kMp3Group[] = {
    {"mp3",
     "MP3 mode: the phone switched off, booted into its loader, MP3 slots in its flash",
     "SUBCOMMAND [ARGS...]",
     {},
     0,
     0,
     nullptr,
     kMp3Commands},
};

}  // namespace

std::span<const Command> Mp3Commands()
{
    return kMp3Group;
}

}  // namespace telvane::cli

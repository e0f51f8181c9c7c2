// telvane backup, restore, unpack and backup-info: the backup core's flows
// on a phone session, what they say on the terminal.
#include "cli/backup_commands.h"

#include "cli/phone_commands.h"
#include "mobile/backup/core/backup_flows.h"
#include "mobile/shell/core/phone_session.h"
#include "platform/program_dir.h"
#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <unistd.h>

#include <cstdio>

namespace telvane::cli {

namespace {

namespace qc = quorlink::codecs;

// A phone path (PC code page) for the terminal (UTF-8), with the readable
// form of an encoded slot name after it.
std::string ShownPath(const std::string& path)
{
    // Control bytes are shown escaped; other text is PC code page text.
    std::string shown = backup::CheckPhonePath(path) == backup::NameProblem::BadByte
        ? backup::PrintableHeader(path)
        : qc::Ucs2ToUtf8(qc::AnsiToUcs2(path));
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        if (const auto decoded = DecodedSlotName(path.substr(0, slash), path.substr(slash + 1)))
            shown += " (" + *decoded + ")";
    return shown;
}

// The flows' view of the terminal: batches on the session, errors on
// stderr, other messages on stdout. Running the command is the user's
// go-ahead, so questions are answered OK.
class TerminalUi final : public backup::FlowUi {
public:
    TerminalUi(const Io& io, shell::PhoneSession* session) : io_(io), session_(session) { }

    int runBatch(shell::BatchPlan plan) override
    {
        const int rc = session_ ? session_->runBatch(std::move(plan)) : shell::kBatchCancel;
        endStatus();
        return rc;
    }
    void message(const backup::Notice& n) override
    {
        endStatus();
        const std::string text = backup::NoticeText(n, Text);
        if (n.icon == shell::Icon::Error)
            std::fprintf(io_.err, "telvane: %s\n", text.c_str());
        else
            std::fprintf(io_.out, "%s\n", text.c_str());
        std::fflush(io_.out);
    }
    bool ask(int) override { return true; }
    [[nodiscard]] bool phoneModeConnected() const override { return session_ && session_->state().phoneMode; }

    // The batch's status line ("Backing up(/app/dir/smpb0 : 1024/7400)"),
    // redrawn in place on a terminal.
    void status(const std::string& text)
    {
        if (!tty_)
            return;
        std::fprintf(io_.err, "\r\033[K%s", text.c_str());
        std::fflush(io_.err);
        drawn_ = true;
    }

private:
    void endStatus()
    {
        if (drawn_)
            std::fputc('\n', io_.err);
        drawn_ = false;
    }

    const Io& io_;
    shell::PhoneSession* session_;
    bool tty_ = ::isatty(::fileno(io_.err)) == 1;
    bool drawn_ = false;
};

int ExitCode(const backup::FlowOutcome& o)
{
    return o.result == backup::FlowResult::Done ? kExitOk : kExitFailure;
}

// Runs a flow on a connected session; the session's failure to connect is
// reported instead.
template <typename Flow>
int WithPhone(const Io& io, Flow&& flow)
{
    TerminalUi* ui = nullptr;
    shell::PhoneSessionOptions options;
    options.text = Text;
    options.onStatus = [&ui](const std::string& s) {
        if (ui)
            ui->status(s);
    };
    int rc = kExitOk;
    const auto session = ConnectSession(io, std::move(options), rc);
    if (!session)
        return rc;
    TerminalUi terminal(io, session.get());
    ui = &terminal;
    return flow(terminal);
}

// ---- the commands ----

constexpr OptionSpec kBackupOptions[] = {{"only", true}};
constexpr OptionSpec kRestoreOptions[] = {{"dry-run", false}};

int Backup(const Args& args, const Io& io)
{
    backup::KindSet kinds = backup::kDefaultKinds;
    if (const auto only = args.Get("only"); only && !backup::ParseKinds(*only, kinds)) {
        std::fprintf(io.err, "telvane backup: --only takes pictures, sounds, phonebook, messages, video\n");
        return kExitUsage;
    }
    return WithPhone(io, [&](TerminalUi& ui) {
        backup::BackupCategory categories;
        const backup::FlowOutcome o =
            backup::RunBackup(ui, categories, {args.positional[0], kinds, plat::ProgramDirectory()});
        for (const std::string& dir : o.missingDirectories)
            ui.message({res::IDS_BACKUP_DIR_NOT_ON_PHONE, shell::Icon::Information, {dir}});
        if (o.result == backup::FlowResult::Done && o.files > 0)
            std::fprintf(io.out, "%zu files (%d empty) in %s\n", o.files, o.emptyFiles, o.backupPath.c_str());
        return ExitCode(o);
    });
}

// A backup that cannot be restored says why; nothing else is printed.
bool Refuse(TerminalUi& ui, const backup::OpenScan& s)
{
    if (!s.opened) {
        ui.message({res::IDS_BACKUP_FILE_OPEN_FAILED, shell::Icon::Error});
        return true;
    }
    if (const auto refusal = backup::RestoreRefusal(s.scan)) {
        ui.message(*refusal);
        return true;
    }
    return false;
}

int Restore(const Args& args, const Io& io)
{
    const std::string& path = args.positional[0];
    if (!args.Has("dry-run"))
        return WithPhone(io, [&](TerminalUi& ui) {
            const backup::FlowOutcome o = backup::RunRestore(ui, {path, plat::ProgramDirectory()});
            if (o.result == backup::FlowResult::Done)
                std::fprintf(io.out, "%zu files written to the phone\n", o.files);
            return ExitCode(o);
        });
    // What a restore would write, from the same checks; the phone is not asked.
    TerminalUi ui(io, nullptr);
    const backup::OpenScan s = backup::ScanBackupFile(path);
    if (Refuse(ui, s))
        return kExitFailure;
    for (const backup::BackupEntry& e : s.scan.entries)
        std::fprintf(io.out, "%u\t%s\n", e.size, ShownPath(e.name).c_str());
    std::fprintf(io.out, "%zu files, %llu bytes would be written\n", s.scan.entries.size(),
                 static_cast<unsigned long long>(s.scan.dataBytes()));
    return kExitOk;
}

int Unpack(const Args& args, const Io& io)
{
    TerminalUi ui(io, nullptr);
    return ExitCode(backup::RunUnpack(ui, args.positional[0], args.positional[1]));
}

int Info(const Args& args, const Io& io)
{
    TerminalUi ui(io, nullptr);
    const backup::OpenScan s = backup::ScanBackupFile(args.positional[0]);
    if (!s.opened) {
        ui.message({res::IDS_BACKUP_FILE_OPEN_FAILED, shell::Icon::Error});
        return kExitFailure;
    }
    const backup::BackupScan& scan = s.scan;
    if (scan.damage == backup::Damage::NotBackup) {
        ui.message(backup::DamageNotice(scan));
        return kExitFailure;
    }
    std::fprintf(io.out, "files: %u\n", scan.count);
    for (size_t i = 0; i < scan.entries.size(); ++i) {
        const backup::BackupEntry& e = scan.entries[i];
        const std::string size = e.hasData ? std::to_string(e.size) : "-";
        const int problem = backup::NameProblemText(e.problem);
        std::fprintf(io.out, "%s\t%s%s%s\n", size.c_str(), ShownPath(e.name).c_str(), problem ? "\t" : "",
                     problem ? Text(problem).c_str() : "");
    }
    std::fprintf(io.out, "data bytes: %llu\n", static_cast<unsigned long long>(scan.dataBytes()));
    if (!scan.whole()) {
        std::fprintf(io.out, "whole: no\n");
        ui.message(backup::DamageNotice(scan));
        return kExitFailure;
    }
    std::fprintf(io.out, "whole: yes\n");
    return scan.restorable() ? kExitOk : kExitFailure;
}

const Command kBackupCommands[] = {
    {"backup",
     "back the phone's files up into one backup file (by default pictures, sounds, phonebook and messages)",
     "FILE [--only pictures,sounds,phonebook,messages,video]",
     kBackupOptions,
     1,
     1,
     Backup,
     {}},
    {"restore",
     "write every file of a backup back to the phone; --dry-run lists what would be written",
     "FILE [--dry-run]",
     kRestoreOptions,
     1,
     1,
     Restore,
     {}},
    {"unpack",
     "unpack a backup into plain files named after their phone paths (\"/\" becomes \"_\")",
     "FILE DIR",
     {},
     2,
     2,
     Unpack,
     {}},
    {"backup-info",
     "the files a backup holds, their sizes, and whether the backup is whole",
     "FILE",
     {},
     1,
     1,
     Info,
     {}},
};

}  // namespace

std::span<const Command> BackupCommands()
{
    return kBackupCommands;
}

}  // namespace telvane::cli

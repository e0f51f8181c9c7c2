// `telvane messages list|export|show`, `telvane send` and `telvane watch`:
// the messages page's flows from the shell, through the same messages core
// (the read batch, the store with its joining and order, the exports, the
// parts of a long message, the incoming assembly) as the page.
#include "cli/messages_commands.h"

#include "cli/phone_commands.h"
#include "mobile/messages/core/exports.h"
#include "mobile/messages/core/incoming.h"
#include "mobile/messages/core/message_flows.h"
#include "mobile/phonebook/core/phonebook_flows.h"
#include "platform/program_dir.h"
#include "quorlink/codecs/code_page.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace telvane::cli {
namespace {

using namespace messages;
namespace qc = quorlink::codecs;

// The batch's percentage on stderr when it is a terminal.
shell::PhoneSessionOptions WithProgress(const Io& io)
{
    shell::PhoneSessionOptions options;
    if (::isatty(::fileno(io.err)) == 1) {
        options.onProgress = [&io](int position, const std::string& percent) {
            std::fprintf(io.err, "\rreading messages %3d%% %s", position, percent.c_str());
            std::fflush(io.err);
        };
    }
    return options;
}

std::optional<BoxFilter> ParseBox(const Args& args, const Io& io)
{
    const std::string box = args.Get("box").value_or("all");
    if (box == "in")
        return BoxFilter::Inbox;
    if (box == "out")
        return BoxFilter::Outbox;
    if (box == "all")
        return BoxFilter::All;
    std::fprintf(io.err, "telvane: --box is in, out or all\n");
    return std::nullopt;
}

// Reads every message of the phone (and with names, the phonebook that
// names the senders) into store. kExitOk, or the failure reported.
int ReadPhone(const Io& io, MessageStore& store, phonebook::PhonebookStore& contacts, bool names, bool& locked)
{
    int rc = kExitOk;
    auto session = ConnectSession(io, WithProgress(io), rc);
    if (!session)
        return rc;
    const std::string dir = plat::ProgramDirectory();
    shell::BatchPlan plan = ReadPlan(store, dir);
    // Messages behind the phone's own lock are shown only while it is open.
    plan.steps.insert(plan.steps.begin(),
                      shell::BatchStep::Request(REQ_PRIVACY_LOCK, shell::NewRequest(session->thread())));
    plan.effects.onPrivacyLock = [&locked](bool, bool messages) { locked = messages; };
    const int result = session->runBatch(std::move(plan));
    if (::isatty(::fileno(io.err)) == 1)
        std::fputc('\n', io.err);
    if (FinishRead(store, dir, result) != 0)
        return Fail(io, "reading the messages failed: " + SessionFailure(*session));
    if (names) {
        const int read = session->runBatch(phonebook::ReadPlan(contacts, dir));
        if (phonebook::FinishRead(contacts, dir, read) != 0)
            return Fail(io, "reading the phonebook for the names failed: " + SessionFailure(*session));
        store.refreshNames(&contacts);
    }
    return kExitOk;
}

int Print(const Io& io, const MessageStore& store, const Args& args, bool locked)
{
    const auto box = ParseBox(args, io);
    if (!box)
        return kExitUsage;
    const std::string format = args.Get("format").value_or("table");
    std::string out;
    if (format == "table")
        out = ListTable(store, *box, locked);
    else if (format == "csv")
        out = ExportCsv(store, *box, locked);
    else if (format == "text")
        out = ExportText(store, *box, locked);
    else
        return std::fprintf(io.err, "telvane: --format is table, csv or text\n"), kExitUsage;
    std::fwrite(out.data(), 1, out.size(), io.out);
    return kExitOk;
}

int List(const Args& args, const Io& io)
{
    if (!ParseBox(args, io))
        return kExitUsage;
    MessageStore store;
    phonebook::PhonebookStore contacts;
    bool locked = false;
    if (const int rc = ReadPhone(io, store, contacts, args.Has("names"), locked); rc != kExitOk)
        return rc;
    return Print(io, store, args, locked);
}

int Export(const Args& args, const Io& io)
{
    const std::string path = args.positional[0];
    const auto format = FormatForPath(path);
    if (!format) {
        std::fprintf(io.err, "telvane: FILE must end in .psm, .csv or .txt\n");
        return kExitUsage;
    }
    MessageStore store;
    phonebook::PhonebookStore contacts;
    bool locked = false;
    if (const int rc = ReadPhone(io, store, contacts, args.Has("names"), locked); rc != kExitOk)
        return rc;
    if (!WriteExport(store, path, *format, locked))
        return Fail(io, "cannot write " + path);
    std::fprintf(io.out, "%zu messages written to %s\n", store.items().size(), path.c_str());
    return kExitOk;
}

int Show(const Args& args, const Io& io)
{
    MessageStore store;
    const PsmLoad r = store.loadPsm(args.positional[0]);
    if (r.result == PsmLoad::CannotOpen)
        return Fail(io, "cannot read " + args.positional[0]);
    if (r.result == PsmLoad::NotMessageFile)
        return Fail(io, args.positional[0] + " is not a message file");
    if (r.cutOff)
        std::fprintf(io.err, "telvane: %s ends inside a message; the %d messages before it are shown\n",
                     args.positional[0].c_str(), r.added + r.duplicates);
    return Print(io, store, args, false);
}

int Send(const Args& args, const Io& io)
{
    std::string_view number = args.positional[0];
    const bool plus = !number.empty() && number.front() == '+';
    const std::string_view digits = plus ? number.substr(1) : number;
    if (digits.empty() || number.size() > 20 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        std::fprintf(io.err, "telvane: NUMBER must be digits with an optional leading '+', at most 20 characters\n");
        return kExitUsage;
    }
    const std::u16string text = qc::Utf8ToUcs2(args.positional[1]);
    const std::vector<std::string> parts = SendParts(text);
    if (parts.empty()) {
        std::fprintf(io.err,
                     text.empty() ? "telvane: TEXT is empty\n"
                                  : "telvane: TEXT is too long: a message goes in at most 10 parts (1530 "
                                    "GSM characters, or 670 with any other character)\n");
        return kExitUsage;
    }
    int rc = kExitOk;
    auto session = ConnectSession(io, {}, rc);
    if (!session)
        return rc;
    shell::BatchPlan plan = SendPlan(number, parts, NextReference());
    if (plan.steps.empty())
        return Fail(io, "out of memory");
    if (session->runBatch(std::move(plan)) != shell::kBatchOk)
        return Fail(io, session->linkLost() ? SessionFailure(*session) : "the phone did not send the message");
    if (parts.size() > 1)
        std::fprintf(io.out, "sent in %zu parts\n", parts.size());
    return kExitOk;
}

int Watch(const Args& args, const Io& io)
{
    long count = 0;
    double timeoutS = -1;
    if (const auto n = args.Get("count")) {
        char* end = nullptr;
        count = std::strtol(n->c_str(), &end, 10);
        if (n->empty() || *end != 0 || count < 1) {
            std::fprintf(io.err, "telvane: --count needs a positive number\n");
            return kExitUsage;
        }
    }
    if (const auto t = args.Get("timeout")) {
        char* end = nullptr;
        timeoutS = std::strtod(t->c_str(), &end);
        if (t->empty() || *end != 0 || !(timeoutS > 0)) {
            std::fprintf(io.err, "telvane: --timeout needs a positive number of seconds\n");
            return kExitUsage;
        }
    }
    int rc = kExitOk;
    auto session = ConnectSession(io, {}, rc);
    if (!session)
        return rc;
    if (!session->registerListener(kIncomingPrefix, kIncomingCode, true))
        return Fail(io, "the phone link did not answer");
    std::fprintf(io.err, "telvane: watching COM%d for incoming messages\n", session->port());
    std::fflush(io.err);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    IncomingAssembly assembly;
    long printed = 0;
    auto print = [&](const MessageRecord& m) {
        std::fprintf(io.out, "%s\t%s\t%s\n", EscapedField(Utf8(FieldText(m.number))).c_str(),
                     EscapedField(Utf8(FieldText(m.date))).c_str(), EscapedField(Utf8(FieldText(m.text))).c_str());
        std::fflush(io.out);
        return count > 0 && ++printed >= count;
    };
    for (;;) {
        int limit = -1;
        if (timeoutS > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            limit = static_cast<int>(left.count());
        }
        const auto r = session->nextRecord(limit);
        if (!r)
            break;
        if (r->message == WM_LINK_LOST)
            return Fail(io, SessionFailure(*session));
        if (r->code != kIncomingCode)
            continue;
        if (r->status == LINK_INTERMEDIATE) {
            assembly.line(r->text);
            continue;
        }
        for (const MessageRecord& m : assembly.end())
            if (print(m))
                return kExitOk;
    }
    // Parts of a message that never completed are shown with what came.
    if (assembly.pending() > 0)
        std::fprintf(io.err, "telvane: %zu messages came only in part\n", assembly.pending());
    for (const MessageRecord& m : assembly.flush())
        if (print(m))
            return kExitOk;
    if (count > 0)
        return Fail(io, "timed out after " + std::to_string(printed) + " of " + std::to_string(count) + " messages");
    return kExitOk;
}

constexpr OptionSpec kListOptions[] = {{"box", true}, {"format", true}, {"names", false}};
constexpr OptionSpec kExportOptions[] = {{"names", false}};
constexpr OptionSpec kShowOptions[] = {{"box", true}, {"format", true}};
constexpr OptionSpec kWatchOptions[] = {{"count", true}, {"timeout", true}};

constexpr Command kMessagesSubcommands[] = {
    {"list",
     "read the SIM's and the handset's messages, joined, newest first (--names: sender names from the phonebook)",
     "[--box in|out|all] [--format table|csv|text] [--names]",
     kListOptions,
     0,
     0,
     List,
     {}},
    {"export",
     "read the messages and write them as .psm, .csv or .txt (UTF-8) by FILE's extension",
     "FILE [--names]",
     kExportOptions,
     1,
     1,
     Export,
     {}},
    {"show",
     "print the messages of a saved .psm file",
     "FILE [--box in|out|all] [--format table|csv|text]",
     kShowOptions,
     1,
     1,
     Show,
     {}},
};

const Command kMessagesCommands[] = {
    {"messages", "the phone's short messages", "SUBCOMMAND [ARGS...]", {}, 0, 0, nullptr, kMessagesSubcommands},
    {"send",
     "send a short message (TEXT in UTF-8; a long text goes in up to 10 parts)",
     "NUMBER TEXT",
     {},
     2,
     2,
     Send,
     {}},
    {"watch",
     "print incoming messages as FROM<TAB>TIME<TAB>TEXT lines, long ones joined",
     "[--count N] [--timeout SECONDS]",
     kWatchOptions,
     0,
     0,
     Watch,
     {}},
};

}  // namespace

std::span<const Command> MessagesCommands()
{
    return kMessagesCommands;
}

}  // namespace telvane::cli

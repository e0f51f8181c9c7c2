// The phone commands of `telvane`: each connects through a window-less
// phone session of the shell core (port scan, as the GUI does), runs its
// requests as transfer batches and disconnects.
// Results go to stdout, errors to stderr as one line, progress bars to
// stderr when it is a terminal.
#include "cli/phone_commands.h"

#include "cli/cli.h"
#include "cli/progress_bar.h"
#include "mobile/shell/core/phone_session.h"
#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/ucs2.h"
#include "quorlink/link/link_protocol.h"
#include "quorlink/link/link_tables.h"
#include "quorlink/link/phone_services.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

namespace qc = quorlink::codecs;
namespace ql = quorlink::link;

namespace telvane::cli {

using ql::ClassifyFinal;
using ql::FinalKind;

// ------------------------------------------------------------ helpers

std::string CableDetection(const std::string& sysfsRoot)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path devices = fs::path(sysfsRoot) / "bus" / "usb" / "devices";
    std::vector<fs::path> cables;
    for (const auto& entry : fs::directory_iterator(devices, ec)) {
        const auto read = [&](const char* name) {
            std::string v;
            std::ifstream(entry.path() / name) >> v;
            return v;
        };
        if (read("idVendor") == "067b" && read("idProduct") == "2303")
            cables.push_back(entry.path());
    }
    if (ec)
        return {};
    if (cables.empty())
        return "ERROR_NON";
    if (cables.size() > 1)
        return "ERROR_TOO_MANY";
    for (auto it = fs::recursive_directory_iterator(cables[0], fs::directory_options::follow_directory_symlink, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it.depth() > 3) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string name = it->path().filename().string();
        if (name.rfind("ttyUSB", 0) == 0 && name.size() > 6) {
            const int k = std::atoi(name.c_str() + 6);
            return "COM" + std::to_string(k + 1);
        }
    }
    return {};
}

std::optional<std::string> DecodedSlotName(std::string_view dir, std::string_view name)
{
    while (dir.size() > 1 && dir.back() == '/')
        dir.remove_suffix(1);
    if ((dir != "/app/jpeg" && dir != "/app/midi") || name.empty())
        return std::nullopt;
    std::string buffer(name);
    if (PosixToString(buffer.data()) <= 0)
        return std::nullopt;
    return qc::Ucs2ToUtf8(qc::AnsiToUcs2(buffer.c_str()));
}

std::string PhonePath(std::string_view path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return std::string(path);
    const std::string_view dir = path.substr(0, slash);
    const std::string_view name = path.substr(slash + 1);
    if ((dir != "/app/jpeg" && dir != "/app/midi") || name.empty() || DecodedSlotName(dir, name))
        return std::string(path);
    // The phone's names are GBK text in its encoded form.
    return std::string(path.substr(0, slash + 1)) + shell::PhoneFileName(qc::Ucs2ToAnsi(qc::Utf8ToUcs2(name)));
}

namespace {

// One line per message: tabs and line breaks inside a field are escaped.
std::string Field(std::string_view s)
{
    std::string out;
    for (const char c : s) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

// Why a local file cannot be read / created, for the user.
std::string CannotRead(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return "cannot read " + path + ": " + ErrnoText(errno);
    if (S_ISDIR(st.st_mode))
        return "cannot read " + path + ": " + ErrnoText(EISDIR);
    if (::access(path.c_str(), R_OK) != 0)
        return "cannot read " + path + ": " + ErrnoText(errno);
    return "cannot read " + path;
}

// Empty when path can be created or replaced, else why not.
std::string WriteProblem(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return "cannot write " + path + ": " + ErrnoText(EISDIR);
        if (::access(path.c_str(), W_OK) != 0)
            return "cannot write " + path + ": " + ErrnoText(errno);
    }
    const std::string parent = std::filesystem::path(path).parent_path().string();
    if (::access(parent.empty() ? "." : parent.c_str(), W_OK) != 0)
        return "cannot write " + path + ": " + ErrnoText(errno);
    return {};
}

std::string CannotWrite(const std::string& path)
{
    const std::string problem = WriteProblem(path);
    return problem.empty() ? "cannot write " + path : problem;
}

std::string Absolute(const std::string& path)
{
    std::error_code ec;
    const auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.string();
}

// ------------------------------------------------ the phone's answers

// The phone's error numbers in words.
struct ErrorWords {
    int number;
    std::string_view words;
};
constexpr ErrorWords kCmeWords[] = {
    {1, "a file transfer is already open"},
    {3, "not allowed"},
    {4, "not supported"},
    {20, "memory full"},
    {21, "invalid index"},
    {22, "not found"},
    {23, "memory failure"},
    {24, "text too long"},
    {25, "invalid characters in the text"},
    {26, "number too long"},
    {27, "invalid characters in the number"},
    {50, "incorrect parameters"},
};
constexpr ErrorWords kCmsWords[] = {
    {302, "not allowed"},    {303, "not supported"},         {304, "invalid message"},
    {320, "memory failure"}, {321, "invalid message index"}, {322, "memory full"},
};

std::string_view Words(std::span<const ErrorWords> table, int number)
{
    for (const auto& row : table)
        if (row.number == number)
            return row.words;
    return "refused";
}

// What the phone said in a final line, in words with the line in brackets;
// nothing when the line is no final error.
std::optional<std::string> PhoneSaid(std::string_view line)
{
    const auto final = ClassifyFinal(line);
    if (!final)
        return std::nullopt;
    switch (final->kind) {
    case FinalKind::Ok: return std::nullopt;
    case FinalKind::Error: return std::string("refused (ERROR)");
    case FinalKind::CmeError: return std::string(Words(kCmeWords, final->number)) + " (" + std::string(line) + ")";
    case FinalKind::CmsError: return std::string(Words(kCmsWords, final->number)) + " (" + std::string(line) + ")";
    }
    return std::nullopt;
}

// The reason a failed batch gives the user.
std::string FailureText(const shell::PhoneSession& s)
{
    const shell::BatchFailure& f = s.lastFailure();
    if (const auto said = PhoneSaid(f.text))
        return "phone refused: " + *said;
    if (s.linkLost())
        return "the phone link was lost (phone switched off or cable unplugged)";
    switch (f.code) {
    case LINK_ERR_TIMEOUT: return "no answer: the phone did not answer in time";
    case LINK_ERR_SEND:
    case LINK_ERR_SEND_202: return "no answer: the phone stopped answering";
    case LINK_ERR_TOO_LONG: return "the command is too long (at most 770 characters)";
    case LINK_ERR_SWITCHED_OFF: return "the phone is switched off";
    default: break;
    }
    if (f.kind == 0)
        return "the phone link did not answer";
    return "phone refused: " + (f.text.empty() ? std::string("ERROR") : f.text);
}

int Refused(const Io& io, const shell::PhoneSession& s)
{
    return Fail(io, FailureText(s));
}

// --------------------------------------------------------- sessions

std::string ConnectText(const shell::ConnectError& e)
{
    switch (e.failure) {
    case shell::ConnectFailure::NoWorker: return "cannot start the phone link";
    case shell::ConnectFailure::NoAnswerFromLink: return "the phone link did not answer";
    case shell::ConnectFailure::NoPort: return "no cable found";
    case shell::ConnectFailure::PortPermission: return e.detail;
    case shell::ConnectFailure::NoPhone: return "no phone answered on COM1..COM8";
    case shell::ConnectFailure::SetupRefused: return "the phone answered but did not accept its setup commands";
    case shell::ConnectFailure::SwitchedOff: return "the phone is switched off";
    case shell::ConnectFailure::PhoneAnswered:
        return "a phone answered in phone mode: switch it off, keep it on the cable and try again";
    case shell::ConnectFailure::Mp3HandshakeFailed: return "the phone's boot loader could not be started";
    }
    return "cannot connect";
}

// A connected session, or the reason on stderr.
struct Connected {
    std::unique_ptr<shell::PhoneSession> session;
    int rc = kExitOk;
};
Connected ConnectOrFail(const Io& io, shell::PhoneSessionOptions options = {})
{
    Connected c;
    c.session = std::make_unique<shell::PhoneSession>(std::move(options));
    if (const auto failure = c.session->connect())
        c.rc = Fail(io, ConnectText(*failure));
    return c;
}

// A plan of plain requests.
struct Request {
    int32_t code;
    std::string text;
    uint32_t argument = 0;
};
shell::BatchPlan Plan(const shell::PhoneSession& s, std::initializer_list<Request> requests)
{
    shell::BatchPlan plan;
    for (const auto& r : requests)
        plan.steps.push_back(shell::BatchStep::Request(r.code, shell::NewRequest(s.thread(), r.text, r.argument)));
    return plan;
}

std::string RecordText(const LinkResult& r)
{
    return std::string(r.text, strnlen(r.text, sizeof r.text));
}

// --------------------------------------------------------- commands

int Ports(const Args&, const Io& io)
{
    const char* root = std::getenv("TELVANE_SYSFS_ROOT");
    const std::string cable = CableDetection(root && *root ? root : "/sys");
    if (cable == "ERROR_NON")
        std::fprintf(io.out, "cable: none\n");
    else if (cable == "ERROR_TOO_MANY")
        std::fprintf(io.out, "cable: more than one\n");
    else if (cable.empty())
        std::fprintf(io.out, "cable: unknown\n");
    else
        std::fprintf(io.out, "cable: %s\n", cable.c_str());

    int32_t mask = 0;
    shell::PhoneSession session({.onRecord = [&](int32_t kind, const LinkResult& r) {
        if (kind == REQ_LIST_PORTS && r.status == LINK_INTERMEDIATE)
            mask = r.progress.current;
    }});
    if (!session.started())
        return Fail(io, "cannot start the phone link");
    if (session.runBatch(Plan(session, {{REQ_LIST_PORTS, ""}})) != shell::kBatchOk)
        return Fail(io, "the phone link did not answer");
    std::string list;
    for (int n = 1; n <= 8; ++n)
        if (mask & (1 << n))
            list += (list.empty() ? "" : " ") + std::string("COM") + std::to_string(n);
    std::fprintf(io.out, "ports: %s\n", list.empty() ? "none" : list.c_str());
    if (list.empty()) {
        const std::string permission = shell::PortPermissionProblem();
        if (!permission.empty())
            std::fprintf(io.err, "telvane: %s\n", permission.c_str());
    }
    return kExitOk;
}

int Info(const Args&, const Io& io)
{
    std::string version;
    std::optional<std::pair<int, int>> counts, lock;
    auto c = ConnectOrFail(io, {.onRecord = [&](int32_t kind, const LinkResult& r) {
                               if (r.status != LINK_INTERMEDIATE)
                                   return;
                               if (kind == REQ_LONG_COMMAND && ql::StartsWithNoCase(RecordText(r), "*GETVER:")) {
                                   std::string_view v = std::string_view(r.text).substr(8);
                                   while (!v.empty() && v.front() == ' ')
                                       v.remove_prefix(1);
                                   version = v;
                               } else if (kind == REQ_STORAGE_COUNTS) {
                                   counts = std::pair{r.progress.current, r.progress.total};
                               } else if (kind == REQ_PRIVACY_LOCK) {
                                   lock = std::pair{r.progress.current, r.progress.total};
                               }
                           }});
    if (c.rc != kExitOk)
        return c.rc;
    shell::PhoneSession& s = *c.session;
    std::fprintf(io.out, "port: COM%d\n", s.port());

    // Each answer is shown whether or not the one before it came.
    (void)s.runBatch(Plan(s, {{REQ_LONG_COMMAND, "AT*GETVER\r"}}));
    if (s.linkLost())
        return Refused(io, s);
    std::fprintf(io.out, "version: %s\n", version.empty() ? "unknown" : version.c_str());
    (void)s.runBatch(Plan(s, {{REQ_STORAGE_COUNTS, ""}}));
    if (s.linkLost())
        return Refused(io, s);
    if (counts)
        std::fprintf(io.out, "messages: %d of %d\n", counts->first, counts->second);
    else
        std::fprintf(io.out, "messages: unknown\n");
    (void)s.runBatch(Plan(s, {{REQ_PRIVACY_LOCK, ""}}));
    if (s.linkLost())
        return Refused(io, s);
    if (lock)
        std::fprintf(io.out, "privacy lock: pictures %s, messages %s\n", lock->first ? "locked" : "open",
                     lock->second ? "locked" : "open");
    else
        std::fprintf(io.out, "privacy lock: unknown\n");
    return kExitOk;
}

int At(const Args& args, const Io& io)
{
    bool prompted = false;
    auto c = ConnectOrFail(io, {.onRecord = [&](int32_t kind, const LinkResult& r) {
                               if (kind != REQ_LONG_COMMAND || (r.status != LINK_INTERMEDIATE && r.text[0] == 0))
                                   return;
                               const std::string line = RecordText(r);
                               prompted = prompted || line == "> ";
                               std::fprintf(io.out, "%s\n", line.c_str());
                               std::fflush(io.out);
                           }});
    if (c.rc != kExitOk)
        return c.rc;
    shell::BatchPlan plan;
    for (const std::string& command : args.positional)
        plan.steps.push_back(
            shell::BatchStep::Request(REQ_LONG_COMMAND, shell::NewRequest(c.session->thread(), command + "\r")));
    const int result = c.session->runBatch(std::move(plan));
    if (prompted)
        return Fail(io, "the phone asked for message text, which this command cannot give; the prompt was cancelled");
    return result == shell::kBatchOk ? kExitOk : Refused(io, *c.session);
}

int Ls(const Args& args, const Io& io)
{
    const std::string& dir = args.positional[0];
    auto c = ConnectOrFail(io, {.onRecord = [&](int32_t kind, const LinkResult& r) {
                               if (kind != REQ_RAW_LIST || r.status != LINK_INTERMEDIATE)
                                   return;
                               const std::string text = RecordText(r);
                               if (ql::StartsWithNoCase(text, "*LIST"))
                                   return;  // the entry count
                               // kind,name,size: directories get a trailing "/".
                               const size_t first = text.find(','), last = text.rfind(',');
                               if (first == std::string::npos || last == first) {
                                   std::fprintf(io.out, "%s\n", text.c_str());
                                   return;
                               }
                               const std::string name = text.substr(first + 1, last - first - 1);
                               if (text.substr(0, first) == "1") {
                                   std::fprintf(io.out, "%s/\n", name.c_str());
                                   return;
                               }
                               // The first column stays the name the phone knows; a slot file's
                               // readable name follows as a third one.
                               const auto decoded = DecodedSlotName(dir, name);
                               std::fprintf(io.out, "%s\t%s%s%s\n", name.c_str(), text.substr(last + 1).c_str(),
                                            decoded ? "\t" : "", decoded ? Field(*decoded).c_str() : "");
                           }});
    if (c.rc != kExitOk)
        return c.rc;
    if (c.session->runBatch(Plan(*c.session, {{REQ_RAW_LIST, "AT*LIST=" + dir + "\r"}})) != shell::kBatchOk)
        return Refused(io, *c.session);
    return kExitOk;
}

// The text of a transfer that failed, for the user.
std::string TransferFailure(const shell::PhoneSession& s, bool toPhone, const std::string& phone)
{
    const std::string what = std::string(toPhone ? "copying to " : "copying from ") + phone + " failed: ";
    const shell::BatchFailure& f = s.lastFailure();
    if (const auto said = PhoneSaid(f.text))
        return what + "the phone said " + *said;
    if (s.linkLost())
        return what + "the phone link was lost (phone switched off or cable unplugged)";
    if (!f.text.empty())
        return what + f.text;  // the worker's own reason (a short file, a name too long, ...)
    return what + "no answer from the phone";
}

int Transfer(const Io& io, int32_t code, const std::string& local, const std::string& phonePath)
{
    const bool toPhone = code == REQ_UPLOAD;
    const std::string phone = PhonePath(phonePath);
    // A name that does not fit its field would be cut into another file.
    if (!FitsTransferField(local))
        return Fail(io, "the local path is too long (at most " + std::to_string(kTransferFieldMax) + " bytes)");
    if (!FitsTransferField(phone))
        return Fail(io, "the phone file name is too long (at most " + std::to_string(kTransferFieldMax) + " bytes)");
    if (toPhone && ::access(local.c_str(), R_OK) != 0)
        return Fail(io, CannotRead(local));
    // A download goes beside the target and replaces it only when complete:
    // a refusal or a broken transfer leaves the target as it was.
    std::string part;
    if (!toPhone) {
        if (const std::string problem = WriteProblem(local); !problem.empty())
            return Fail(io, problem);
        part = local + ".part" + std::to_string(::getpid());
        if (!FitsTransferField(part))
            return Fail(io,
                        "the local path is too long (at most " + std::to_string(kTransferFieldMax - 16) + " bytes)");
    }
    ProgressBar bar(io, toPhone ? "put" : "get");
    auto c = ConnectOrFail(io, {.onRecord = [&](int32_t kind, const LinkResult& r) {
                               if (kind == code && r.status == LINK_INTERMEDIATE)
                                   bar.Update(r.progress.current, r.progress.total);
                           }});
    if (c.rc != kExitOk)
        return c.rc;
    const uint32_t block = toPhone ? NewTransferBlock(local, phone) : NewTransferBlock(phone, part);
    const int result = c.session->runBatch(Plan(*c.session, {{code, "", block}}));
    bar.Done();
    if (result == shell::kBatchOk) {
        if (toPhone)
            return kExitOk;
        if (std::rename(part.c_str(), local.c_str()) == 0)
            return kExitOk;
        const int err = errno;
        std::remove(part.c_str());
        return Fail(io, "cannot write " + local + ": " + ErrnoText(err));
    }
    if (!toPhone)
        std::remove(part.c_str());
    if (c.session->lastFailure().code == LINK_ERR_LOCAL_FILE)
        return Fail(io, toPhone ? CannotRead(local) : CannotWrite(local));
    return Fail(io, TransferFailure(*c.session, toPhone, phonePath));
}

int Get(const Args& args, const Io& io)
{
    return Transfer(io, REQ_DOWNLOAD, Absolute(args.positional[1]), args.positional[0]);
}
int Put(const Args& args, const Io& io)
{
    return Transfer(io, REQ_UPLOAD, Absolute(args.positional[0]), args.positional[1]);
}

int Rm(const Args& args, const Io& io)
{
    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk)
        return c.rc;
    const std::string command = "AT*REMOVE=" + PhonePath(args.positional[0]) + "\r";
    if (c.session->runBatch(Plan(*c.session, {{REQ_FINAL_LINE_TEXT, command}})) != shell::kBatchOk)
        return Refused(io, *c.session);
    return kExitOk;
}

int ReadIntoFile(const Io& io, int32_t code, const std::string& path, const char* what)
{
    ProgressBar bar(io, what);
    long count = 0;
    auto c = ConnectOrFail(io, {.onRecord = [&](int32_t kind, const LinkResult& r) {
                               if (kind == code && r.status == LINK_INTERMEDIATE) {
                                   count = r.progress.current;
                                   bar.Update(r.progress.current, r.progress.total);
                               }
                           }});
    if (c.rc != kExitOk)
        return c.rc;
    const int result = c.session->runBatch(Plan(*c.session, {{code, path}}));
    bar.Done();
    if (result != shell::kBatchOk) {
        if (::access(path.c_str(), F_OK) != 0)
            return Fail(io, "reading the " + std::string(what) + " failed (" + CannotWrite(path) + ")");
        return Fail(io, "reading the " + std::string(what) + " failed; " + path + " holds what was read");
    }
    std::fprintf(io.out, "%ld %s written to %s\n", count, what, path.c_str());
    return kExitOk;
}

int SimPhonebook(const Args& args, const Io& io)
{
    return ReadIntoFile(io, REQ_READ_SIM_PHONEBOOK, Absolute(args.positional[0]), "entries");
}
int SimMessages(const Args& args, const Io& io)
{
    return ReadIntoFile(io, REQ_READ_MESSAGES, Absolute(args.positional[0]), "messages");
}

const Command kPhoneCommands[] = {
    {"ports", "show the cable detection result and the serial ports that open", "", {}, 0, 0, Ports, {}},
    {"info", "connect and show the port, software version, message counts and privacy lock", "", {}, 0, 0, Info, {}},
    {"at", "send AT commands and print every line the phone answers", "CMD...", {}, 1, 64, At, {}},
    {"ls",
     "list a directory of the phone (directories end in '/', files show their size, slot files their readable name)",
     "DIR",
     {},
     1,
     1,
     Ls,
     {}},
    {"get", "copy a phone file to the PC", "PHONE LOCAL", {}, 2, 2, Get, {}},
    {"put", "copy a PC file to the phone", "LOCAL PHONE", {}, 2, 2, Put, {}},
    {"rm", "remove a phone file", "PHONE", {}, 1, 1, Rm, {}},
    {"sim-phonebook", "read the SIM phonebook into a file", "OUT", {}, 1, 1, SimPhonebook, {}},
    {"sim-messages", "read every stored message into a file", "OUT", {}, 1, 1, SimMessages, {}},
};

}  // namespace

std::unique_ptr<shell::PhoneSession> ConnectSession(const Io& io, shell::PhoneSessionOptions options, int& rc)
{
    auto c = ConnectOrFail(io, std::move(options));
    rc = c.rc;
    return std::move(c.session);
}

std::string ConnectFailureText(const shell::ConnectError& error)
{
    return ConnectText(error);
}

std::string SessionFailure(const shell::PhoneSession& session)
{
    return FailureText(session);
}

namespace {
struct EnglishRow {
    int id;
    const char* text;
};
constexpr EnglishRow kEnglish[] = {
#include "resources/strings_en.inc"
};
}  // namespace

std::string Text(int stringId)
{
    for (const auto& r : kEnglish)
        if (r.id == stringId)
            return r.text;
    return "#" + std::to_string(stringId);
}

std::string EscapedField(std::string_view text)
{
    return Field(text);
}

std::span<const Command> PhoneCommands()
{
    return kPhoneCommands;
}

}  // namespace telvane::cli

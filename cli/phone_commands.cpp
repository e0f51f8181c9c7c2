// The phone commands of `telvane`: each connects through the phone-link
// worker (port scan, as the GUI does), runs its requests and disconnects.
// Results go to stdout, errors to stderr as one line, progress bars to
// stderr when it is a terminal.
#include "cli/phone_commands.h"

#include "cli/cli.h"
#include "cli/phone_session.h"
#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/ucs2.h"
#include "quorlink/link/file_transfer.h"
#include "quorlink/link/link_protocol.h"
#include "quorlink/link/link_tables.h"
#include "quorlink/link/phone_services.h"
#include "platform/messages.h"

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

std::optional<std::string> MessageToSend(std::string_view utf8)
{
    const std::string text = qc::Ucs2ToAnsi(qc::Utf8ToUcs2(utf8));
    bool wide = false;
    for (const char c : text)
        wide = wide || static_cast<unsigned char>(c) >= 0x80;
    if (!wide)
        return text.size() <= 159 ? std::optional(text) : std::nullopt;
    // UCS2: 70 characters in one message.
    return qc::AnsiToUcs2(text).size() <= 70 ? std::optional(text) : std::nullopt;
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

std::string MessageTextAsUtf8(const SM_PARAM& m)
{
    const std::string_view text(m.userData, strnlen(m.userData, sizeof m.userData));
    if ((m.dataCoding & 0x0C) == 0) {
        std::u16string wide;
        for (const char c : text)
            wide.push_back(CUcs2::Gsm0338ToUcs2(static_cast<unsigned char>(c)));
        return qc::Ucs2ToUtf8(wide);
    }
    return qc::Ucs2ToUtf8(qc::AnsiToUcs2(text));
}

std::optional<IncomingMessage> MessageJoiner::Add(const SM_PARAM& part)
{
    IncomingMessage m;
    m.from = std::string(part.address, strnlen(part.address, sizeof part.address));
    const std::string_view stamp(part.timeStamp, strnlen(part.timeStamp, sizeof part.timeStamp));
    m.timeStamp = ql::MessageTimeStamp(stamp).value_or(std::string(stamp));
    m.text = MessageTextAsUtf8(part);
    if (part.concatTotal <= 1 || part.concatSequence < 1 || part.concatSequence > part.concatTotal)
        return m;
    auto& pending = pending_[{m.from, part.concatReference, part.concatTotal}];
    if (pending.parts.empty())
        pending.first = m;
    pending.parts[part.concatSequence] = m.text;
    if (pending.parts.size() < part.concatTotal)
        return std::nullopt;
    IncomingMessage joined = pending.first;
    joined.text.clear();
    for (const auto& [sequence, text] : pending.parts)
        joined.text += text;
    pending_.erase({m.from, part.concatReference, part.concatTotal});
    return joined;
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

class ProgressBar {
public:
    ProgressBar(const Io& io, std::string label)
        : io_(io), label_(std::move(label)), shown_(::isatty(::fileno(io.err)) == 1)
    {
    }
    ~ProgressBar() { Done(); }
    void Update(long current, long total)
    {
        if (!shown_)
            return;
        constexpr int kWidth = 30;
        const int filled = total > 0 ? static_cast<int>(std::min<long>(kWidth, current * kWidth / total)) : kWidth;
        const int percent = total > 0 ? static_cast<int>(std::min<long>(100, current * 100 / total)) : 100;
        std::fprintf(io_.err, "\r%s [%.*s%*s] %3d%% %ld/%ld", label_.c_str(), filled, "##############################",
                     kWidth - filled, "", percent, current, total);
        std::fflush(io_.err);
        drawn_ = true;
    }
    void Done()
    {
        if (drawn_)
            std::fputc('\n', io_.err);
        drawn_ = false;
    }

private:
    const Io& io_;
    std::string label_;
    bool shown_;
    bool drawn_ = false;
};

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

std::string CannotWrite(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return "cannot write " + path + ": " + ErrnoText(EISDIR);
        if (::access(path.c_str(), W_OK) != 0)
            return "cannot write " + path + ": " + ErrnoText(errno);
        return "cannot write " + path;
    }
    const std::string parent = std::filesystem::path(path).parent_path().string();
    if (::access(parent.empty() ? "." : parent.c_str(), W_OK) != 0)
        return "cannot write " + path + ": " + ErrnoText(errno);
    return "cannot write " + path;
}

std::string Absolute(const std::string& path)
{
    std::error_code ec;
    const auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.string();
}

// A connected session, or the reason on stderr.
struct Connected {
    std::unique_ptr<PhoneSession> session;
    int rc = kExitOk;
};
Connected ConnectOrFail(const Io& io)
{
    Connected c;
    c.session = std::make_unique<PhoneSession>();
    if (!c.session->started()) {
        c.rc = Fail(io, "cannot start the phone link");
        return c;
    }
    const std::string problem = c.session->Connect();
    if (!problem.empty())
        c.rc = Fail(io, problem);
    return c;
}

int LinkLost(const Io& io)
{
    return Fail(io, "the phone link was lost (phone switched off or cable unplugged)");
}

uint32_t TransferArgument(const std::string& first, const std::string& second)
{
    auto* block = static_cast<ql::TransferBlock*>(std::calloc(1, sizeof(ql::TransferBlock)));
    if (!block)
        return 0;
    std::memcpy(block->first, first.data(), std::min(first.size(), sizeof block->first - 1));
    std::memcpy(block->second, second.data(), std::min(second.size(), sizeof block->second - 1));
    return plat::PutBlock(block);
}

// A final record of a generic request, for the user.
int Refused(const Io& io, const Record& r)
{
    // The phone's own error number may be any value, also one of the local
    // codes (its "+CME ERROR: 50" is "incorrect parameters"); its record
    // carries the phone's line, a local failure never does.
    const std::string_view text = r.text;
    if (text.starts_with("+CME ERROR:") || text.starts_with("+CMS ERROR:") || text.starts_with("ERROR"))
        return Fail(io, "phone refused: " + r.text);
    if (r.code == LINK_ERR_TIMEOUT)
        return Fail(io, "the phone did not answer in time");
    if (r.code == LINK_ERR_SEND || r.code == LINK_ERR_SEND_202)
        return Fail(io, "cannot send the command to the phone");
    if (r.code == LINK_ERR_TOO_LONG)
        return Fail(io, "the command is too long (at most 770 characters)");
    return Fail(io, "phone refused: " + (r.text.empty() ? std::string("ERROR") : r.text));
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

    PhoneSession session;
    if (!session.started())
        return Fail(io, "cannot start the phone link");
    int32_t mask = 0;
    const Outcome o = session.Run(REQ_LIST_PORTS, "", 0, [&](const Record& r) {
        if (r.message == WM_LINK_RESULT && r.status == LINK_INTERMEDIATE)
            mask = r.current;
    });
    if (!o.finished)
        return Fail(io, "the phone link did not answer");
    std::string list;
    for (int n = 1; n <= 8; ++n)
        if (mask & (1 << n))
            list += (list.empty() ? "" : " ") + std::string("COM") + std::to_string(n);
    std::fprintf(io.out, "ports: %s\n", list.empty() ? "none" : list.c_str());
    if (list.empty()) {
        const std::string permission = PortPermissionProblem();
        if (!permission.empty())
            std::fprintf(io.err, "telvane: %s\n", permission.c_str());
    }
    return kExitOk;
}

int Info(const Args&, const Io& io)
{
    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk)
        return c.rc;
    PhoneSession& s = *c.session;
    std::fprintf(io.out, "port: COM%d\n", s.port());

    std::string version;
    Outcome o = s.Run(REQ_LONG_COMMAND, "AT*GETVER\r", 0, [&](const Record& r) {
        if (r.message == WM_LINK_RESULT && r.status == LINK_INTERMEDIATE && ql::StartsWithNoCase(r.text, "*GETVER:")) {
            std::string_view v = std::string_view(r.text).substr(8);
            while (!v.empty() && v.front() == ' ')
                v.remove_prefix(1);
            version = v;
        }
    });
    if (o.linkLost)
        return LinkLost(io);
    std::fprintf(io.out, "version: %s\n", version.empty() ? "unknown" : version.c_str());

    std::optional<std::pair<int, int>> counts;
    o = s.Run(REQ_STORAGE_COUNTS, "", 0, [&](const Record& r) {
        if (r.message == WM_LINK_RESULT && r.status == LINK_INTERMEDIATE)
            counts = std::pair{r.current, r.total};
    });
    if (o.linkLost)
        return LinkLost(io);
    if (counts)
        std::fprintf(io.out, "messages: %d of %d\n", counts->first, counts->second);
    else
        std::fprintf(io.out, "messages: unknown\n");

    std::optional<std::pair<int, int>> lock;
    o = s.Run(REQ_PRIVACY_LOCK, "", 0, [&](const Record& r) {
        if (r.message == WM_LINK_RESULT && r.status == LINK_INTERMEDIATE)
            lock = std::pair{r.current, r.total};
    });
    if (o.linkLost)
        return LinkLost(io);
    if (lock)
        std::fprintf(io.out, "privacy lock: pictures %s, messages %s\n", lock->first ? "locked" : "open",
                     lock->second ? "locked" : "open");
    else
        std::fprintf(io.out, "privacy lock: unknown\n");
    return kExitOk;
}

int At(const Args& args, const Io& io)
{
    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk)
        return c.rc;
    for (const std::string& command : args.positional) {
        const Outcome o = c.session->Run(REQ_LONG_COMMAND, command + "\r", 0, [&](const Record& r) {
            if (r.message == WM_LINK_RESULT && r.status == LINK_INTERMEDIATE && r.wParam == REQ_LONG_COMMAND)
                std::fprintf(io.out, "%s\n", r.text.c_str());
        });
        if (o.linkLost && !o.finished)
            return LinkLost(io);
        if (!o.finished)
            return Fail(io, "the phone did not answer");
        if (!o.final.text.empty())
            std::fprintf(io.out, "%s\n", o.final.text.c_str());
        std::fflush(io.out);
        if (o.final.status != LINK_SUCCEEDED)
            return Refused(io, o.final);
    }
    return kExitOk;
}

int Ls(const Args& args, const Io& io)
{
    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk)
        return c.rc;
    const Outcome o = c.session->Run(REQ_RAW_LIST, "AT*LIST=" + args.positional[0] + "\r", 0, [&](const Record& r) {
        if (r.message != WM_LINK_RESULT || r.status != LINK_INTERMEDIATE || r.wParam != REQ_RAW_LIST)
            return;
        if (ql::StartsWithNoCase(r.text, "*LIST"))
            return;  // the entry count
        // kind,name,size: directories get a trailing "/".
        const size_t first = r.text.find(','), last = r.text.rfind(',');
        if (first == std::string::npos || last == first) {
            std::fprintf(io.out, "%s\n", r.text.c_str());
            return;
        }
        const std::string name = r.text.substr(first + 1, last - first - 1);
        if (r.text.substr(0, first) == "1") {
            std::fprintf(io.out, "%s/\n", name.c_str());
            return;
        }
        // The first column stays the name the phone knows (for get and
        // rm); a slot file's readable name follows as a third one.
        const auto decoded = DecodedSlotName(args.positional[0], name);
        std::fprintf(io.out, "%s\t%s%s%s\n", name.c_str(), r.text.substr(last + 1).c_str(), decoded ? "\t" : "",
                     decoded ? Field(*decoded).c_str() : "");
    });
    if (o.linkLost && !o.finished)
        return LinkLost(io);
    if (!o.finished)
        return Fail(io, "the phone did not answer");
    return o.final.status == LINK_SUCCEEDED ? kExitOk : Refused(io, o.final);
}

int Transfer(const Io& io, int32_t code, const std::string& local, const std::string& phone)
{
    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk)
        return c.rc;
    const bool toPhone = code == REQ_UPLOAD;
    const uint32_t block = toPhone ? TransferArgument(local, phone) : TransferArgument(phone, local);
    ProgressBar bar(io, toPhone ? "put" : "get");
    const Outcome o = c.session->Run(code, "", block, [&](const Record& r) {
        if (r.message == WM_LINK_RESULT && r.status == LINK_INTERMEDIATE && r.wParam == static_cast<uint32_t>(code))
            bar.Update(r.current, r.total);
    });
    bar.Done();
    if (!o.finished)
        return o.linkLost ? LinkLost(io) : Fail(io, "the phone link did not answer");
    if (o.final.status == LINK_SUCCEEDED)
        return kExitOk;
    if (o.final.code == LINK_ERR_LOCAL_FILE)
        return Fail(io, toPhone ? CannotRead(local) : CannotWrite(local));
    if (o.linkLost)
        return LinkLost(io);
    return Fail(io,
                std::string(toPhone ? "copying to " : "copying from ") + phone +
                    " broke off: the phone refused or stopped answering");
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
    const Outcome o = c.session->Run(REQ_FINAL_LINE_TEXT, "AT*REMOVE=" + args.positional[0] + "\r");
    if (!o.finished)
        return o.linkLost ? LinkLost(io) : Fail(io, "the phone did not answer");
    return o.final.status == LINK_SUCCEEDED ? kExitOk : Refused(io, o.final);
}

int ReadIntoFile(const Io& io, int32_t code, const std::string& path, const char* what)
{
    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk)
        return c.rc;
    ProgressBar bar(io, what);
    long count = 0;
    const Outcome o = c.session->Run(code, path, 0, [&](const Record& r) {
        if (r.message == WM_LINK_RESULT && r.status == LINK_INTERMEDIATE && r.wParam == static_cast<uint32_t>(code)) {
            count = r.current;
            bar.Update(r.current, r.total);
        }
    });
    bar.Done();
    if (!o.finished)
        return o.linkLost ? LinkLost(io) : Fail(io, "the phone link did not answer");
    if (o.final.status != LINK_SUCCEEDED) {
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

int Send(const Args& args, const Io& io)
{
    std::string_view number = args.positional[0];
    const bool plus = !number.empty() && number.front() == '+';
    const std::string_view digits = plus ? number.substr(1) : number;
    if (digits.empty() || number.size() > 20 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        std::fprintf(io.err, "telvane: NUMBER must be digits with an optional leading '+', at most 20 characters\n");
        return kExitUsage;
    }
    const auto text = MessageToSend(args.positional[1]);
    if (!text) {
        std::fprintf(io.err,
                     "telvane: TEXT is too long for one message (159 plain characters, or 70 with any "
                     "other character)\n");
        return kExitUsage;
    }
    auto* block = static_cast<ql::MessageBlock*>(std::calloc(1, sizeof(ql::MessageBlock)));
    if (!block)
        return Fail(io, "out of memory");
    std::memcpy(block->destination, number.data(), number.size());
    std::memcpy(block->text, text->data(), text->size());
    block->trailer = 0;  // the text's terminator slot

    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk) {
        std::free(block);
        return c.rc;
    }
    const Outcome o = c.session->Run(REQ_SEND_MESSAGE, "", plat::PutBlock(block));
    if (!o.finished)
        return o.linkLost ? LinkLost(io) : Fail(io, "the phone link did not answer");
    if (o.final.status != LINK_SUCCEEDED)
        return Fail(io, "the phone did not send the message");
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
    auto c = ConnectOrFail(io);
    if (c.rc != kExitOk)
        return c.rc;
    PhoneSession& s = *c.session;

    constexpr uint32_t kMessageCode = 215;
    auto* listenerSpec = static_cast<ListenerSpec*>(std::malloc(sizeof(ListenerSpec)));
    if (!listenerSpec)
        return Fail(io, "out of memory");
    *listenerSpec = ListenerSpec{kMessageCode, 1};
    if (!s.Run(REQ_REGISTER_LISTENER, "+CMT:", plat::PutBlock(listenerSpec)).finished)
        return Fail(io, "the phone link did not answer");
    std::fprintf(io.err, "telvane: watching COM%d for incoming messages\n", s.port());
    std::fflush(io.err);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    MessageJoiner joiner;
    std::vector<std::string> lines;  // the "+CMT:" line and the PDU of one part
    long printed = 0;
    for (;;) {
        int limit = -1;
        if (timeoutS > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            limit = static_cast<int>(left.count());
        }
        const auto r = s.Next(limit);
        if (!r)
            break;
        if (r->message == WM_LINK_LOST)
            return LinkLost(io);
        if (r->message != WM_LINK_RESULT || r->wParam != kMessageCode)
            continue;
        if (r->status == LINK_INTERMEDIATE) {
            lines.push_back(r->text);
            continue;
        }
        // The end of one delivery: the second line is the PDU.
        if (lines.size() >= 2) {
            SM_PARAM part{};
            part.status = 0;  // received
            CPDU::gsmDecodePdu(lines.back().c_str(), &part);
            if (const auto m = joiner.Add(part)) {
                std::fprintf(io.out, "%s\t%s\t%s\n", Field(m->from).c_str(), Field(m->timeStamp).c_str(),
                             Field(m->text).c_str());
                std::fflush(io.out);
                if (count > 0 && ++printed >= count)
                    return kExitOk;
            }
        }
        lines.clear();
    }
    if (count > 0)
        return Fail(io, "timed out after " + std::to_string(printed) + " of " + std::to_string(count) + " messages");
    return kExitOk;
}

constexpr OptionSpec kWatchOptions[] = {{"count", true}, {"timeout", true}};

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
    {"send", "send a short message (TEXT in UTF-8)", "NUMBER TEXT", {}, 2, 2, Send, {}},
    {"watch",
     "print incoming messages as FROM<TAB>TIME<TAB>TEXT lines",
     "[--count N] [--timeout SECONDS]",
     kWatchOptions,
     0,
     0,
     Watch,
     {}},
};

}  // namespace

std::span<const Command> PhoneCommands()
{
    return kPhoneCommands;
}

}  // namespace telvane::cli

#include "at_phone.h"

#include <map>
#include <tuple>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ctime>
#include <functional>

#include "base64.h"
#include "pdu.h"
#include "text.h"

namespace fs = std::filesystem;

namespace simphone {
namespace {

enum class Form { Exec, Read, Test, Set };
enum class Charset { Gsm, Ucs2, Ira };

constexpr uint8_t kCtrlZ = 0x1A;
constexpr uint8_t kEsc = 0x1B;

bool IEquals(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}
bool IStartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}
std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}
std::string_view Unquote(std::string_view s)
{
    s = Trim(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}

// Comma-separated arguments; commas inside double quotes do not split.
std::vector<std::string_view> SplitArgs(std::string_view s)
{
    std::vector<std::string_view> out;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        if (s[i] == ',' && !quoted) {
            out.push_back(Trim(s.substr(start, i - start)));
            start = i + 1;
        }
    }
    out.push_back(Trim(s.substr(start)));
    return out;
}

std::optional<int64_t> ToInt(std::string_view s)
{
    s = Trim(s);
    if (s.empty())
        return std::nullopt;
    int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return v;
}
std::optional<int> ToSmallInt(std::string_view s, int lo, int hi)
{
    auto v = ToInt(s);
    if (!v || *v < lo || *v > hi)
        return std::nullopt;
    return static_cast<int>(*v);
}

SmsTime NowPlus8()
{
    const std::time_t t = std::time(nullptr) + 8 * 3600;
    std::tm tm{};
    gmtime_r(&t, &tm);
    return {tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 32};
}

// One command's answer: information lines and a final result.
struct Reply {
    std::vector<std::string> lines;
    enum class Final { Ok, Error, Cme, Cms, Prompt, None } final = Final::Ok;
    int code = 0;

    void cme(int n) { final = Final::Cme, code = n; }
    void cms(int n) { final = Final::Cms, code = n; }
    void error() { final = Final::Error; }
};

constexpr const char* kStatWords[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT", "ALL"};

struct CmeText {
    int code;
    const char* text;
};
constexpr CmeText kCmeTexts[] = {
    {1, "transfer already open"},
    {3, "operation not allowed"},
    {4, "operation not supported"},
    {20, "memory full"},
    {21, "invalid index"},
    {22, "not found"},
    {23, "memory failure"},
    {24, "text string too long"},
    {25, "invalid characters in text string"},
    {26, "dial string too long"},
    {27, "invalid characters in dial string"},
    {50, "incorrect parameters"},
    {100, "unknown"},
};

}  // namespace

struct AtPhone::Impl {
    explicit Impl(fs::path dir)
        : dir(std::move(dir)), files(this->dir), config(PhoneConfig::load(this->dir)), sim(this->dir)
    {
    }

    fs::path dir;
    PhoneFs files;
    PhoneConfig config;
    SimStore sim;

    // Settings a power cycle or ATZ resets.
    bool echo = true;
    int cmee = 1;
    Charset charset = Charset::Gsm;
    bool textMode = false;
    int cnmiMode = 0, cnmiMt = 0;
    int csdh = 0;
    int csmp[4] = {17, 167, 0, 0};
    int maskCall = 0;
    uint8_t messageRef = 0;
    uint8_t concatRef = 0;
    // Parts of long messages sent so far, by destination, reference and
    // part count: the handset files a long message among its sent ones
    // once every part has gone out.
    std::map<std::tuple<std::string, uint8_t, uint8_t>, std::map<uint8_t, std::u16string>> sentParts;

    // Line assembly.
    std::string line;
    bool overflow = false;
    bool lastWasCr = false;

    // Message text after a "> " prompt.
    enum class Prompt { None, SendPdu, WritePdu, SendText, WriteText } prompt = Prompt::None;
    size_t promptLength = 0;
    int promptStat = 2;
    std::string promptNumber;
    std::string promptBody;

    // Open file transfer.
    enum class Transfer { None, ToPhone, FromPhone } transfer = Transfer::None;
    fs::path transferPath;
    size_t transferSize = 0;
    int nextBlock = 0;
    std::vector<uint8_t> transferData;
    size_t transferOffset = 0;

    std::vector<std::string> errorPrefixes;  // "fault error": next matching command fails
    std::vector<uint8_t> pending;  // unsolicited bytes waiting for tick()

    void resetSettings()
    {
        echo = true;
        cmee = 1;
        charset = Charset::Gsm;
        textMode = false;
        cnmiMode = cnmiMt = 0;
        csdh = 0;
        maskCall = 0;
    }

    // ---- text in the selected character set ----
    std::string encodeText(std::u16string_view t) const
    {
        switch (charset) {
        case Charset::Ucs2: return Ucs2ToHex(t);
        case Charset::Ira: {
            std::string s;
            for (char16_t u : t)
                s.push_back(u < 0x80 ? static_cast<char>(u) : '?');
            return s;
        }
        case Charset::Gsm: break;
        }
        return Ucs2ToMixed(t);
    }
    std::optional<std::u16string> decodeText(std::string_view s) const
    {
        switch (charset) {
        case Charset::Ucs2: return HexToUcs2(s);
        case Charset::Ira: {
            std::u16string u;
            for (char c : s) {
                if (static_cast<unsigned char>(c) >= 0x80)
                    return std::nullopt;
                u.push_back(static_cast<char16_t>(c));
            }
            return u;
        }
        case Charset::Gsm: break;
        }
        return MixedToUcs2(s);
    }

    // ---- output ----
    void emit(std::vector<uint8_t>& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }

    void finish(const Reply& r, std::vector<uint8_t>& out)
    {
        if (!r.lines.empty()) {
            emit(out, "\r\n");
            for (const auto& l : r.lines) {
                emit(out, l);
                emit(out, "\r\n");
            }
        }
        switch (r.final) {
        case Reply::Final::Ok: emit(out, "\r\nOK\r\n"); break;
        case Reply::Final::Error: emit(out, "\r\nERROR\r\n"); break;
        case Reply::Final::Cme:
        case Reply::Final::Cms: {
            if (cmee == 0) {
                emit(out, "\r\nERROR\r\n");
                break;
            }
            std::string text = std::to_string(r.code);
            if (cmee == 2 && r.final == Reply::Final::Cme)
                for (const auto& t : kCmeTexts)
                    if (t.code == r.code)
                        text = t.text;
            emit(out, r.final == Reply::Final::Cme ? "\r\n+CME ERROR: " : "\r\n+CMS ERROR: ");
            emit(out, text);
            emit(out, "\r\n");
            break;
        }
        case Reply::Final::Prompt: emit(out, "\r\n> "); break;
        case Reply::Final::None: break;
        }
    }

    // ---- bytes in ----
    void receive(std::span<const uint8_t> in, std::vector<uint8_t>& out)
    {
        for (uint8_t b : in) {
            if (prompt != Prompt::None) {
                promptByte(b, out);
                continue;
            }
            // ESC outside a prompt cancels nothing and is dropped, as
            // handsets do, so a client may send it to close a prompt that
            // might be open.
            if (b == kEsc)
                continue;
            if (echo)
                out.push_back(b);
            if (b == '\r') {
                lastWasCr = true;
                endOfLine(out);
                continue;
            }
            if (b == '\n') {
                // A bare line feed also ends a line; after a carriage return it is part of it.
                if (!lastWasCr)
                    endOfLine(out);
                lastWasCr = false;
                continue;
            }
            lastWasCr = false;
            if (b == 0x08 || b == 0x7F) {
                if (!line.empty())
                    line.pop_back();
                continue;
            }
            if (b == 0)
                continue;
            if (line.size() >= kMaxLine) {
                overflow = true;
                continue;
            }
            line.push_back(static_cast<char>(b));
        }
    }

    void endOfLine(std::vector<uint8_t>& out)
    {
        std::string l = std::move(line);
        line.clear();
        const bool tooLong = overflow;
        overflow = false;
        if (tooLong) {
            finish(Reply{{}, Reply::Final::Error, 0}, out);
            return;
        }
        if (Trim(l).empty())
            return;
        command(l, out);
    }

    void promptByte(uint8_t b, std::vector<uint8_t>& out)
    {
        if (echo)
            out.push_back(b);
        if (b == kEsc) {
            prompt = Prompt::None;
            promptBody.clear();
            finish(Reply{}, out);
            return;
        }
        if (b == kCtrlZ) {
            const Prompt p = prompt;
            prompt = Prompt::None;
            Reply r;
            messageBody(p, r);
            promptBody.clear();
            finish(r, out);
            return;
        }
        const bool pdu = prompt == Prompt::SendPdu || prompt == Prompt::WritePdu;
        if (pdu && (b == '\r' || b == '\n' || b == ' '))
            return;
        if (promptBody.size() >= 2 * kMaxLine)
            return;  // over-long body: the send then fails its length check
        promptBody.push_back(static_cast<char>(b));
    }

    // ---- commands ----
    void command(std::string_view l, std::vector<uint8_t>& out);
    void runExtended(std::string_view cmd, Reply& r);
    bool runBasic(std::string_view& rest, Reply& r);

    void messageBody(Prompt p, Reply& r);
    void deliver(const SmsMessage& whole, std::string& result);
    void deliverPdus(const std::vector<std::vector<uint8_t>>& pdus, std::string& result);
};

// ---- command table -----------------------------------------------------------

using Handler = void (*)(AtPhone::Impl&, Form, std::string_view, Reply&);

struct CommandRow {
    const char* name;
    Handler handler;
};

namespace cmd {

using Impl = AtPhone::Impl;

void Identity(const std::string& value, Form f, Reply& r)
{
    if (f == Form::Exec)
        r.lines.push_back(value);
    else if (f != Form::Test)
        r.error();
}
void Cgmi(Impl& p, Form f, std::string_view, Reply& r)
{
    Identity(p.config.manufacturer, f, r);
}
void Cgmm(Impl& p, Form f, std::string_view, Reply& r)
{
    Identity(p.config.model, f, r);
}
void Cgmr(Impl& p, Form f, std::string_view, Reply& r)
{
    Identity(p.config.revision, f, r);
}
void Cgsn(Impl& p, Form f, std::string_view, Reply& r)
{
    Identity(p.config.imei, f, r);
}
void Cimi(Impl& p, Form f, std::string_view, Reply& r)
{
    Identity(p.config.imsi, f, r);
}

// Integer setting with a read form "+NAME: v" and a test form "+NAME: (lo-hi)".
void IntSetting(const char* name, int& value, int lo, int hi, Form f, std::string_view a, Reply& r)
{
    switch (f) {
    case Form::Read: r.lines.push_back(std::string(name) + ": " + std::to_string(value)); break;
    case Form::Test:
        r.lines.push_back(std::string(name) + ": (" + std::to_string(lo) + "-" + std::to_string(hi) + ")");
        break;
    case Form::Set:
        if (auto v = ToSmallInt(a, lo, hi))
            value = *v;
        else
            r.cme(kCmeBadParameters);
        break;
    case Form::Exec: r.error(); break;
    }
}
void Cmee(Impl& p, Form f, std::string_view a, Reply& r)
{
    IntSetting("+CMEE", p.cmee, 0, 2, f, a, r);
}
void Csdh(Impl& p, Form f, std::string_view a, Reply& r)
{
    IntSetting("+CSDH", p.csdh, 0, 1, f, a, r);
}
void Maskcall(Impl& p, Form f, std::string_view a, Reply& r)
{
    IntSetting("*MASKCALL", p.maskCall, 0, 1, f, a, r);
}
void Cmgf(Impl& p, Form f, std::string_view a, Reply& r)
{
    int v = p.textMode ? 1 : 0;
    IntSetting("+CMGF", v, 0, 1, f, a, r);
    p.textMode = v == 1;
}

void Cscs(Impl& p, Form f, std::string_view a, Reply& r)
{
    static constexpr std::pair<const char*, Charset> kSets[] = {
        {"GSM", Charset::Gsm}, {"UCS2", Charset::Ucs2}, {"IRA", Charset::Ira}};
    if (f == Form::Test) {
        r.lines.push_back("+CSCS: (\"GSM\",\"UCS2\",\"IRA\")");
    } else if (f == Form::Read) {
        for (auto& [n, c] : kSets)
            if (c == p.charset)
                r.lines.push_back(std::string("+CSCS: \"") + n + "\"");
    } else if (f == Form::Set) {
        for (auto& [n, c] : kSets)
            if (IEquals(Unquote(a), n)) {
                p.charset = c;
                return;
            }
        r.cme(kCmeNotSupported);
    } else {
        r.error();
    }
}

void Simple(const std::string& line, Form f, Reply& r)
{
    if (f == Form::Read || f == Form::Exec)
        r.lines.push_back(line);
    else if (f == Form::Set)
        r.cme(kCmeNotSupported);
}
void Cpin(Impl&, Form f, std::string_view, Reply& r)
{
    Simple("+CPIN: READY", f, r);
}
void Creg(Impl&, Form f, std::string_view, Reply& r)
{
    Simple("+CREG: 0,1", f, r);
}
void Csq(Impl&, Form f, std::string_view, Reply& r)
{
    Simple("+CSQ: 24,99", f, r);
}
void Cfun(Impl&, Form f, std::string_view, Reply& r)
{
    Simple("+CFUN: 1", f, r);
}
void Cops(Impl& p, Form f, std::string_view, Reply& r)
{
    Simple("+COPS: 0,0,\"" + p.config.operatorName + "\"", f, r);
}
void Getver(Impl& p, Form f, std::string_view, Reply& r)
{
    Simple("*GETVER: " + p.config.revision, f, r);
}
void Safebox(Impl& p, Form f, std::string_view, Reply& r)
{
    Simple("*SAFEBOXSTAT: " + p.config.safebox, f, r);
}
void Okay(Impl&, Form f, std::string_view, Reply& r)
{
    if (f == Form::Set)
        r.cme(kCmeBadParameters);
}

// ---- SIM phonebook ----

void Cpbs(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Test)
        r.lines.push_back("+CPBS: (\"SM\")");
    else if (f == Form::Read)
        r.lines.push_back("+CPBS: \"SM\"," + std::to_string(p.sim.contacts().size()) + "," +
                          std::to_string(SimStore::kPhonebookCapacity));
    else if (f == Form::Set) {
        if (!IEquals(Unquote(a), "SM"))
            r.cme(kCmeNotSupported);
    } else
        r.error();
}

std::string ContactLine(Impl& p, const char* prefix, int index, const SimContact& c)
{
    const int type = !c.number.empty() && c.number[0] == '+' ? 145 : 129;
    return std::string(prefix) + std::to_string(index) + ",\"" + c.number + "\"," + std::to_string(type) + ",\"" +
        p.encodeText(c.name) + "\"";
}

void Cpbr(Impl& p, Form f, std::string_view a, Reply& r)
{
    const int cap = SimStore::kPhonebookCapacity;
    if (f == Form::Test) {
        r.lines.push_back("+CPBR: (1-" + std::to_string(cap) + ")," + std::to_string(SimStore::kNumberChars) + "," +
                          std::to_string(SimStore::kNameChars));
        return;
    }
    if (f != Form::Set)
        return r.error();
    const auto args = SplitArgs(a);
    if (args.size() > 2)
        return r.cme(kCmeBadParameters);
    const auto first = ToSmallInt(args[0], 1, cap);
    const auto last = args.size() == 2 ? ToSmallInt(args[1], 1, cap) : first;
    if (!first || !last || *last < *first)
        return r.cme(kCmeInvalidIndex);
    for (auto it = p.sim.contacts().lower_bound(*first); it != p.sim.contacts().end() && it->first <= *last; ++it)
        r.lines.push_back(ContactLine(p, "+CPBR: ", it->first, it->second));
}

void Cpbf(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Test) {
        r.lines.push_back("+CPBF: " + std::to_string(SimStore::kNumberChars) + "," +
                          std::to_string(SimStore::kNameChars));
        return;
    }
    if (f != Form::Set)
        return r.error();
    auto key = p.decodeText(Unquote(a));
    if (!key)
        return r.cme(kCmeInvalidText);
    auto lower = [](std::u16string s) {
        for (auto& c : s)
            if (c < 0x80)
                c = static_cast<char16_t>(std::tolower(c));
        return s;
    };
    const std::u16string k = lower(*key);
    for (const auto& [i, c] : p.sim.contacts())
        if (lower(c.name).starts_with(k))
            r.lines.push_back(ContactLine(p, "+CPBF: ", i, c));
    if (r.lines.empty())
        r.cme(kCmeNotFound);
}

void Cpbw(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Test) {
        r.lines.push_back("+CPBW: (1-" + std::to_string(SimStore::kPhonebookCapacity) + ")," +
                          std::to_string(SimStore::kNumberChars) + ",(129,145)," +
                          std::to_string(SimStore::kNameChars));
        return;
    }
    if (f != Form::Set)
        return r.error();
    const auto args = SplitArgs(a);
    int index = 0;
    if (!args[0].empty()) {
        auto v = ToSmallInt(args[0], 1, SimStore::kPhonebookCapacity);
        if (!v)
            return r.cme(kCmeInvalidIndex);
        index = *v;
    }
    if (args.size() == 1) {
        if (index == 0)
            return r.cme(kCmeBadParameters);
        if (Outcome o = p.sim.eraseContact(index))
            r.cme(o);
        return;
    }
    if (args.size() > 4)
        return r.cme(kCmeBadParameters);
    SimContact c;
    c.number = std::string(Unquote(args[1]));
    if (args.size() >= 3 && !args[2].empty()) {
        auto type = ToSmallInt(args[2], 128, 255);
        if (!type)
            return r.cme(kCmeBadParameters);
        if (*type == 145 && !c.number.empty() && c.number[0] != '+')
            c.number.insert(c.number.begin(), '+');
    }
    if (args.size() == 4) {
        auto name = p.decodeText(Unquote(args[3]));
        if (!name)
            return r.cme(kCmeInvalidText);
        c.name = *name;
    }
    if (Outcome o = p.sim.writeContact(index, c))
        r.cme(o);
}

// ---- messages ----

void Cpms(Impl& p, Form f, std::string_view a, Reply& r)
{
    const std::string counts =
        std::to_string(p.sim.messages().size()) + "," + std::to_string(SimStore::kMessageCapacity);
    if (f == Form::Test)
        r.lines.push_back("+CPMS: (\"SM\"),(\"SM\"),(\"SM\")");
    else if (f == Form::Read)
        r.lines.push_back("+CPMS: \"SM\"," + counts + ",\"SM\"," + counts + ",\"SM\"," + counts);
    else if (f == Form::Set) {
        const auto args = SplitArgs(a);
        if (args.size() > 3)
            return r.cms(302);
        for (auto m : args)
            if (!IEquals(Unquote(m), "SM"))
                return r.cms(302);
        std::string line = "+CPMS: " + counts;
        for (size_t i = 1; i < args.size(); ++i)
            line += "," + counts;
        r.lines.push_back(line);
    } else
        r.error();
}

void Csca(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Read) {
        const int type = !p.config.smsc.empty() && p.config.smsc[0] == '+' ? 145 : 129;
        r.lines.push_back("+CSCA: \"" + p.config.smsc + "\"," + std::to_string(type));
    } else if (f == Form::Set) {
        const auto args = SplitArgs(a);
        std::string n(Unquote(args[0]));
        if (n.empty() || CheckSimContact({n, {}}) != 0 || n.find_first_of("*#pw") != std::string::npos)
            return r.cms(304);
        if (args.size() > 1 && ToInt(args[1]).value_or(0) == 145 && n[0] != '+')
            n.insert(n.begin(), '+');
        p.config.smsc = n;
        if (!p.config.save(p.dir))
            r.cms(320);
    } else if (f == Form::Exec)
        r.error();
}

void Csmp(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Read) {
        r.lines.push_back("+CSMP: " + std::to_string(p.csmp[0]) + "," + std::to_string(p.csmp[1]) + "," +
                          std::to_string(p.csmp[2]) + "," + std::to_string(p.csmp[3]));
    } else if (f == Form::Set) {
        const auto args = SplitArgs(a);
        if (args.size() > 4)
            return r.cms(304);
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i].empty())
                continue;
            auto v = ToSmallInt(args[i], 0, 255);
            if (!v)
                return r.cms(304);
            p.csmp[i] = *v;
        }
    } else if (f == Form::Exec)
        r.error();
}

void Cnmi(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Test)
        r.lines.push_back("+CNMI: (0-2),(0-3),(0,2),(0-1),(0-1)");
    else if (f == Form::Read)
        r.lines.push_back("+CNMI: " + std::to_string(p.cnmiMode) + "," + std::to_string(p.cnmiMt) + ",0,0,0");
    else if (f == Form::Set) {
        const auto args = SplitArgs(a);
        static constexpr int kMax[] = {2, 3, 2, 1, 1};
        if (args.size() > 5)
            return r.cms(303);
        int v[5] = {p.cnmiMode, p.cnmiMt, 0, 0, 0};
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i].empty())
                continue;
            auto x = ToSmallInt(args[i], 0, kMax[i]);
            if (!x || (i == 2 && *x == 1))
                return r.cms(303);
            v[i] = *x;
        }
        p.cnmiMode = v[0];
        p.cnmiMt = v[1];
    } else
        r.error();
}

std::string TimeText(const SmsTime& t)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d,%02d:%02d:%02d%+03d", t.year % 100, t.month, t.day, t.hour, t.minute,
                  t.second, t.zoneQuarters);
    return buf;
}

// Appends the listing lines of one stored message.
void MessageLines(Impl& p, const char* prefix, int index, const SimMessage& m, Reply& r)
{
    const std::string idx = index > 0 ? std::to_string(index) + "," : "";
    if (!p.textMode) {
        const size_t scaLen = m.pdu.empty() ? 0 : m.pdu[0] + 1u;
        const size_t tpdu = m.pdu.size() > scaLen ? m.pdu.size() - scaLen : 0;
        r.lines.push_back(std::string(prefix) + idx + std::to_string(m.stat) + ",," + std::to_string(tpdu));
        r.lines.push_back(BytesToHex(m.pdu));
        return;
    }
    const auto msg = DecodePdu(m.pdu);
    std::string head =
        std::string(prefix) + idx + "\"" + kStatWords[m.stat] + "\",\"" + (msg ? msg->address : "") + "\",";
    if (msg && !msg->submit)
        head += ",\"" + TimeText(msg->time) + "\"";
    r.lines.push_back(head);
    r.lines.push_back(msg ? p.encodeText(msg->text) : "");
}

std::optional<int> StatArg(Impl& p, std::string_view a, int dflt)
{
    a = Trim(a);
    if (a.empty())
        return dflt;
    if (!p.textMode)
        return ToSmallInt(a, 0, 4);
    for (int i = 0; i < 5; ++i)
        if (IEquals(Unquote(a), kStatWords[i]))
            return i;
    return std::nullopt;
}

void Cmgl(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Test) {
        r.lines.push_back(p.textMode ? "+CMGL: (\"REC UNREAD\",\"REC READ\",\"STO UNSENT\",\"STO SENT\",\"ALL\")"
                                     : "+CMGL: (0-4)");
        return;
    }
    if (f == Form::Read)
        return r.error();
    const auto stat = StatArg(p, f == Form::Set ? a : "", 0);
    if (!stat)
        return r.cms(304);
    std::vector<int> listed;
    for (const auto& [i, m] : p.sim.messages())
        if (*stat == 4 || m.stat == *stat) {
            MessageLines(p, "+CMGL: ", i, m, r);
            listed.push_back(i);
        }
    for (int i : listed)
        p.sim.markRead(i);
}

void Cmgr(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Test)
        return;
    if (f != Form::Set)
        return r.error();
    const auto idx = ToSmallInt(a, 1, SimStore::kMessageCapacity);
    if (!idx)
        return r.cms(321);
    auto it = p.sim.messages().find(*idx);
    if (it == p.sim.messages().end())
        return r.cms(321);
    MessageLines(p, "+CMGR: ", 0, it->second, r);
    p.sim.markRead(*idx);
}

void Cmgd(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f == Form::Test) {
        r.lines.push_back("+CMGD: (1-" + std::to_string(SimStore::kMessageCapacity) + "),(0-4)");
        return;
    }
    if (f != Form::Set)
        return r.error();
    const auto args = SplitArgs(a);
    const auto flag = args.size() > 1 ? ToSmallInt(args[1], 0, 4) : std::optional<int>(0);
    if (!flag || args.size() > 2)
        return r.cms(304);
    if (*flag == 0) {
        const auto idx = ToSmallInt(args[0], 1, SimStore::kMessageCapacity);
        if (!idx)
            return r.cms(321);
        if (p.sim.messages().count(*idx) && !p.sim.eraseMessage(*idx))
            r.cms(320);
        return;
    }
    // Flags 1-4: delete read; read and sent; read, sent and unsent; all.
    std::vector<int> doomed;
    for (const auto& [i, m] : p.sim.messages())
        if (*flag == 4 || m.stat == 1 || (*flag >= 2 && m.stat == 3) || (*flag >= 3 && m.stat == 2))
            doomed.push_back(i);
    for (int i : doomed)
        if (!p.sim.eraseMessage(i))
            return r.cms(320);
}

void StartMessage(Impl& p, Form f, std::string_view a, Reply& r, bool send)
{
    if (f == Form::Test)
        return;
    const auto args = SplitArgs(f == Form::Set ? a : "");
    if (!p.textMode) {
        if (f != Form::Set)
            return r.cms(304);
        const auto len = ToSmallInt(args[0], 1, 164);
        if (!len)
            return r.cms(304);
        p.promptLength = static_cast<size_t>(*len);
        p.promptStat = 2;
        if (!send && args.size() > 1) {
            auto st = ToSmallInt(args[1], 0, 3);
            if (!st)
                return r.cms(304);
            p.promptStat = *st;
        }
        p.prompt = send ? Impl::Prompt::SendPdu : Impl::Prompt::WritePdu;
    } else {
        if (send && f != Form::Set)
            return r.cms(304);
        p.promptNumber = args.empty() ? "" : std::string(Unquote(args[0]));
        if (send && (p.promptNumber.empty() || CheckSimContact({p.promptNumber, {}}) != 0))
            return r.cms(304);
        p.promptStat = 2;
        p.prompt = send ? Impl::Prompt::SendText : Impl::Prompt::WriteText;
    }
    p.promptBody.clear();
    r.final = Reply::Final::Prompt;
}
void Cmgs(Impl& p, Form f, std::string_view a, Reply& r)
{
    StartMessage(p, f, a, r, true);
}
void Cmgw(Impl& p, Form f, std::string_view a, Reply& r)
{
    StartMessage(p, f, a, r, false);
}

// ---- handset file system ----

std::optional<fs::path> PathArg(Impl& p, std::string_view a)
{
    return p.files.resolve(Unquote(a));
}

void Startdl(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    if (p.transfer != Impl::Transfer::None)
        return r.cme(kCmeTransferOpen);
    const auto comma = a.rfind(',');
    if (comma == std::string_view::npos)
        return r.cme(kCmeBadParameters);
    const auto path = PathArg(p, a.substr(0, comma));
    const auto size = ToInt(a.substr(comma + 1));
    if (!path || !size || *size < 0)
        return r.cme(kCmeBadParameters);
    std::error_code ec;
    if (!fs::is_directory(path->parent_path(), ec) || fs::is_directory(*path, ec))
        return r.cme(kCmeNotFound);
    const uint64_t existing = fs::is_regular_file(*path, ec) ? fs::file_size(*path, ec) : 0;
    if (p.files.usedBytes() - existing + static_cast<uint64_t>(*size) > p.config.volumeBytes)
        return r.cme(kCmeMemoryFull);
    p.transfer = Impl::Transfer::ToPhone;
    p.transferPath = *path;
    p.transferSize = static_cast<size_t>(*size);
    p.nextBlock = 0;
    p.transferData.clear();
}

void Put(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (p.transfer != Impl::Transfer::ToPhone)
        return r.cme(kCmeNotAllowed);
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    const auto args = SplitArgs(a);
    if (args.size() != 4)
        return r.cme(kCmeBadParameters);
    const auto index = ToInt(args[0]);
    const auto count = ToInt(args[1]);
    if (!index || !count || *count < 0)
        return r.cme(kCmeBadParameters);
    if (*index != p.nextBlock)
        return r.cme(kCmeInvalidIndex);
    const auto data = Base64Decode(args[2]);
    const auto check = Base64Decode(args[3]);
    if (!data || !check || check->size() != 1 || static_cast<int64_t>(data->size()) != *count)
        return r.cme(kCmeBadParameters);
    if ((*check)[0] != BlockCheck(*data))
        return r.cme(kCmeMemoryFailure);
    if (p.transferData.size() + data->size() > p.transferSize)
        return r.cme(kCmeMemoryFull);
    p.transferData.insert(p.transferData.end(), data->begin(), data->end());
    ++p.nextBlock;
}

void Startul(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    if (p.transfer != Impl::Transfer::None)
        return r.cme(kCmeTransferOpen);
    const auto path = PathArg(p, a);
    if (!path)
        return r.cme(kCmeBadParameters);
    auto data = ReadFileBytes(*path);
    if (!data)
        return r.cme(kCmeNotFound);
    p.transfer = Impl::Transfer::FromPhone;
    p.transferPath = *path;
    p.transferData = std::move(*data);
    p.transferOffset = 0;
    r.lines.push_back("*STARTUL: " + std::to_string(p.transferData.size()));
}

void Get(Impl& p, Form f, std::string_view, Reply& r)
{
    if (f != Form::Exec)
        return r.cme(kCmeBadParameters);
    if (p.transfer != Impl::Transfer::FromPhone)
        return r.cme(kCmeNotAllowed);
    const size_t n = std::min(AtPhone::kGetBlockSize, p.transferData.size() - p.transferOffset);
    if (n == 0) {
        r.lines.push_back("*GET: 0,");
        return;
    }
    const std::span<const uint8_t> block(p.transferData.data() + p.transferOffset, n);
    const uint8_t check = BlockCheck(block);
    r.lines.push_back("*GET: " + std::to_string(n) + "," + Base64Encode(block) + "," +
                      Base64Encode(std::span(&check, 1)));
    p.transferOffset += n;
}

void End(Impl& p, Form f, std::string_view, Reply& r)
{
    if (f != Form::Exec)
        return r.cme(kCmeBadParameters);
    const auto kind = p.transfer;
    p.transfer = Impl::Transfer::None;
    std::vector<uint8_t> data = std::move(p.transferData);
    p.transferData.clear();
    if (kind != Impl::Transfer::ToPhone)
        return;
    // Only a complete file replaces what the phone had.
    if (data.size() != p.transferSize)
        return r.cme(kCmeBadParameters);
    if (!WriteFileBytes(p.transferPath, data))
        r.cme(kCmeMemoryFailure);
}

std::string EntryLine(const fs::directory_entry& e)
{
    std::error_code ec;
    const bool dir = e.is_directory(ec);
    const uint64_t size = dir ? 0 : e.file_size(ec);
    return std::string(dir ? "1," : "0,") + e.path().filename().string() + "," + std::to_string(size);
}

void List(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    const std::string_view path = Unquote(a);
    std::vector<std::string> entries;
    std::error_code ec;
    if (path == "/") {
        entries.push_back("1,app,0");
    } else {
        const auto dir = p.files.resolve(path);
        if (!dir)
            return r.cme(kCmeBadParameters);
        if (!fs::is_directory(*dir, ec))
            return r.cme(kCmeNotFound);
        std::vector<fs::directory_entry> items;
        for (const auto& e : fs::directory_iterator(*dir, ec))
            if (!e.path().filename().string().ends_with(".part~"))
                items.push_back(e);
        std::sort(items.begin(), items.end(),
                  [](const auto& x, const auto& y) { return x.path().filename() < y.path().filename(); });
        for (const auto& e : items)
            entries.push_back(EntryLine(e));
    }
    // The header names the directory listed, so that a client joining it
    // with "/" and an entry's name gets the entry's full path.
    std::string_view shown = path;
    while (shown.size() > 1 && shown.back() == '/')
        shown.remove_suffix(1);
    r.lines.push_back("*LIST:" + std::string(shown));
    r.lines.insert(r.lines.end(), entries.begin(), entries.end());
}

void Fileinfo(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    const auto path = PathArg(p, a);
    if (!path)
        return r.cme(kCmeBadParameters);
    std::error_code ec;
    if (!fs::exists(*path, ec))
        return r.cme(kCmeNotFound);
    r.lines.push_back("*FILEINFO: " + EntryLine(fs::directory_entry(*path, ec)));
}

void Remove(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    const auto path = PathArg(p, a);
    if (!path)
        return r.cme(kCmeBadParameters);
    std::error_code ec;
    if (fs::is_directory(*path, ec))
        return r.cme(kCmeNotAllowed);
    if (!fs::is_regular_file(*path, ec))
        return r.cme(kCmeNotFound);
    if (!fs::remove(*path, ec))
        r.cme(kCmeMemoryFailure);
}

void Mkdir(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    const auto path = PathArg(p, a);
    if (!path)
        return r.cme(kCmeBadParameters);
    std::error_code ec;
    if (fs::exists(*path, ec))
        return r.cme(kCmeNotAllowed);
    if (!fs::is_directory(path->parent_path(), ec))
        return r.cme(kCmeNotFound);
    if (!fs::create_directory(*path, ec))
        r.cme(kCmeMemoryFailure);
}

void Rmdir(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    const auto path = PathArg(p, a);
    if (!path)
        return r.cme(kCmeBadParameters);
    std::error_code ec;
    if (!fs::is_directory(*path, ec))
        return r.cme(kCmeNotFound);
    if (*path == p.files.app("") || path->filename() == "app" || !fs::is_empty(*path, ec))
        return r.cme(kCmeNotAllowed);
    if (!fs::remove(*path, ec))
        r.cme(kCmeMemoryFailure);
}

void Volume(Impl& p, Form f, std::string_view, Reply& r)
{
    if (f != Form::Exec && f != Form::Read)
        return r.cme(kCmeBadParameters);
    const uint64_t used = p.files.usedBytes();
    const uint64_t total = p.config.volumeBytes;
    r.lines.push_back("*VOLUME: " + std::to_string(total) + "," + std::to_string(used > total ? 0 : total - used));
}

void Syph(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    const auto args = SplitArgs(a);
    if (args.size() < 3 || args.size() > 4)
        return r.cme(kCmeBadParameters);
    const auto op = ToSmallInt(args[0], 0, 2);
    const auto mem = ToSmallInt(args[1], 0, 1);
    const auto slot = ToInt(args[2]);
    const auto pos = args.size() == 4 ? ToInt(args[3]) : std::optional<int64_t>(0);
    if (!op || !mem || !slot || !pos || (*op != 2 && args.size() != 4) || (*op == 2 && args.size() != 3))
        return r.cme(kCmeBadParameters);
    if (*slot < 1 || *slot > 65535)
        return r.cme(kCmeInvalidIndex);
    const int position = static_cast<int>(std::clamp<int64_t>(*pos, 0, 100000));
    if (Outcome o = ApplySyph(p.files, p.sim, *op, *mem, static_cast<int>(*slot), position, p.config.volumeBytes))
        r.cme(o);
}

void Syfile(Impl& p, Form f, std::string_view a, Reply& r)
{
    if (f != Form::Set)
        return r.cme(kCmeBadParameters);
    // "code,k" or "code,k,name,size"; the name may itself hold commas.
    const auto c1 = a.find(',');
    if (c1 == std::string_view::npos)
        return r.cme(kCmeBadParameters);
    const auto code = ToSmallInt(a.substr(0, c1), 0, 255);
    const std::string_view rest = a.substr(c1 + 1);
    const auto c2 = rest.find(',');
    const auto k = ToInt(rest.substr(0, c2));
    if (!code || !k)
        return r.cme(kCmeBadParameters);
    std::optional<std::string> name;
    std::optional<int64_t> size;
    if (c2 != std::string_view::npos) {
        const std::string_view tail = rest.substr(c2 + 1);
        const auto c3 = tail.rfind(',');
        if (c3 == std::string_view::npos)
            return r.cme(kCmeBadParameters);
        name = std::string(Unquote(tail.substr(0, c3)));
        size = ToInt(tail.substr(c3 + 1));
        if (!size)
            return r.cme(kCmeBadParameters);
    }
    const bool clear = *code == 18 || *code == 34;
    if (clear != !name.has_value())
        return r.cme(kCmeBadParameters);
    if (*k < 0 || *k > 9)
        return r.cme(kCmeInvalidIndex);
    if (Outcome o = ApplySyfile(p.files, *code, static_cast<int>(*k), name, size))
        r.cme(o);
}

}  // namespace cmd

// Extended commands, looked up by name (case-insensitive), first match wins.
constexpr CommandRow kCommands[] = {
    {"+CGMI", cmd::Cgmi},       {"+GMI", cmd::Cgmi},      {"+CGMM", cmd::Cgmm},           {"+GMM", cmd::Cgmm},
    {"+CGMR", cmd::Cgmr},       {"+GMR", cmd::Cgmr},      {"+CGSN", cmd::Cgsn},           {"+GSN", cmd::Cgsn},
    {"+CIMI", cmd::Cimi},       {"+CMEE", cmd::Cmee},     {"+CSCS", cmd::Cscs},           {"+CPIN", cmd::Cpin},
    {"+CREG", cmd::Creg},       {"+CSQ", cmd::Csq},       {"+CFUN", cmd::Cfun},           {"+COPS", cmd::Cops},
    {"+CPBS", cmd::Cpbs},       {"+CPBR", cmd::Cpbr},     {"+CPBW", cmd::Cpbw},           {"+CPBF", cmd::Cpbf},
    {"+CMGF", cmd::Cmgf},       {"+CSMP", cmd::Csmp},     {"+CSDH", cmd::Csdh},           {"+CNMI", cmd::Cnmi},
    {"+CPMS", cmd::Cpms},       {"+CMGL", cmd::Cmgl},     {"+CMGR", cmd::Cmgr},           {"+CMGD", cmd::Cmgd},
    {"+CMGS", cmd::Cmgs},       {"+CMGW", cmd::Cmgw},     {"+CSCA", cmd::Csca},           {"*CONNECT", cmd::Okay},
    {"*DISCONNECT", cmd::Okay}, {"*GETVER", cmd::Getver}, {"*SAFEBOXSTAT", cmd::Safebox}, {"*MASKCALL", cmd::Maskcall},
    {"*STARTDL", cmd::Startdl}, {"*PUT", cmd::Put},       {"*STARTUL", cmd::Startul},     {"*GET", cmd::Get},
    {"*END", cmd::End},         {"*LIST", cmd::List},     {"*FILEINFO", cmd::Fileinfo},   {"*REMOVE", cmd::Remove},
    {"*MKDIR", cmd::Mkdir},     {"*RMDIR", cmd::Rmdir},   {"*VOLUME", cmd::Volume},       {"*SYPH", cmd::Syph},
    {"*SYFILE", cmd::Syfile},
};

void AtPhone::Impl::runExtended(std::string_view c, Reply& r)
{
    size_t nameEnd = 1;
    while (nameEnd < c.size() && c[nameEnd] != '=' && c[nameEnd] != '?')
        ++nameEnd;
    const std::string_view name = Trim(c.substr(0, nameEnd));
    std::string_view tail = c.substr(nameEnd);
    Form form = Form::Exec;
    std::string_view args;
    if (tail == "?") {
        form = Form::Read;
    } else if (tail == "=?") {
        form = Form::Test;
    } else if (tail.starts_with("=")) {
        form = Form::Set;
        args = tail.substr(1);
    } else if (!Trim(tail).empty()) {
        return r.error();
    }
    for (const auto& row : kCommands)
        if (IEquals(name, row.name))
            return row.handler(*this, form, args, r);
    r.error();
}

// Basic commands at the front of the line (E, V, Q, Z, I, &F). Returns false on an error.
bool AtPhone::Impl::runBasic(std::string_view& rest, Reply& r)
{
    while (!rest.empty() && rest[0] != '+' && rest[0] != '*') {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
        rest.remove_prefix(1);
        if (c == ' ')
            continue;
        if (c == '&') {
            if (rest.empty())
                return false;
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
            rest.remove_prefix(1);
            if (c != 'F')
                return false;
            while (!rest.empty() && rest[0] == '0')
                rest.remove_prefix(1);
            resetSettings();
            continue;
        }
        int value = 0;
        bool hasValue = false;
        while (!rest.empty() && rest[0] >= '0' && rest[0] <= '9') {
            value = std::min(value * 10 + (rest[0] - '0'), 1000);
            hasValue = true;
            rest.remove_prefix(1);
        }
        switch (c) {
        case 'E':
            if (value > 1)
                return false;
            echo = value == 1;
            break;
        case 'V':
        case 'Q':
            // Verbose results and result codes on are this handset's only modes.
            if ((c == 'V' && hasValue && value != 1) || (c == 'Q' && value != 0))
                return false;
            break;
        case 'Z':
            if (value != 0)
                return false;
            resetSettings();
            break;
        case 'I':
            r.lines.push_back(config.manufacturer);
            r.lines.push_back(config.model);
            r.lines.push_back("Revision: " + config.revision);
            break;
        default: return false;
        }
    }
    return true;
}

void AtPhone::Impl::command(std::string_view l, std::vector<uint8_t>& out)
{
    std::string_view s = Trim(l);
    for (auto it = errorPrefixes.begin(); it != errorPrefixes.end(); ++it)
        if (IStartsWith(s, *it) || (IStartsWith(s, "AT") && IStartsWith(s.substr(2), *it))) {
            errorPrefixes.erase(it);
            finish(Reply{{}, Reply::Final::Error, 0}, out);
            return;
        }
    if (!IStartsWith(s, "AT")) {
        finish(Reply{{}, Reply::Final::Error, 0}, out);
        return;
    }
    std::string_view rest = s.substr(2);
    Reply r;
    if (!runBasic(rest, r)) {
        finish(Reply{{}, Reply::Final::Error, 0}, out);
        return;
    }
    // Extended commands may be chained with ";" (outside quotes); the first failure ends the line.
    // The file-transfer commands carry free text and are never split.
    const bool splittable = !rest.empty() && rest[0] == '+';
    while (!rest.empty() && r.final == Reply::Final::Ok) {
        size_t end = rest.size();
        if (splittable) {
            bool quoted = false;
            for (size_t i = 0; i < rest.size(); ++i) {
                if (rest[i] == '"')
                    quoted = !quoted;
                if (rest[i] == ';' && !quoted) {
                    end = i;
                    break;
                }
            }
        }
        std::string_view one = Trim(rest.substr(0, end));
        rest = end < rest.size() ? Trim(rest.substr(end + 1)) : std::string_view{};
        if (one.empty())
            continue;
        if (one[0] != '+' && one[0] != '*')
            one = std::string_view{};  // ";" then a basic command
        if (one.empty()) {
            r.error();
            break;
        }
        runExtended(one, r);
    }
    finish(r, out);
}

// ---- messages in and out ---------------------------------------------------

void AtPhone::Impl::messageBody(Prompt p, Reply& r)
{
    std::vector<uint8_t> pdu;
    if (p == Prompt::SendPdu || p == Prompt::WritePdu) {
        auto bytes = HexToBytes(promptBody);
        if (!bytes || bytes->empty())
            return r.cms(304);
        const size_t sca = (*bytes)[0] + 1u;
        if (bytes->size() < sca || bytes->size() - sca != promptLength)
            return r.cms(304);
        auto msg = DecodePdu(*bytes);
        if (!msg || (p == Prompt::SendPdu && !msg->submit))
            return r.cms(304);
        pdu = std::move(*bytes);
    } else {
        auto text = decodeText(promptBody);
        if (!text)
            return r.cms(304);
        SmsMessage m;
        m.submit = true;
        m.address = promptNumber;
        m.dcs = FitsGsm7(*text) ? 0 : 8;
        m.text = *text;
        auto enc = EncodePdu(m, nullptr);
        if (!enc)
            return r.cms(304);
        pdu = std::move(*enc);
    }
    if (p == Prompt::WritePdu || p == Prompt::WriteText) {
        const int idx = sim.storeMessage({promptStat, pdu});
        if (idx == 0)
            return r.cms(322);
        r.lines.push_back("+CMGW: " + std::to_string(idx));
        return;
    }
    // Sent: the handset keeps a copy among its own sent messages, a long
    // message as one concatenated message when its last part has gone.
    auto msg = DecodePdu(pdu);
    const std::string number = msg->address;
    std::vector<std::string> parts;
    if (msg->concat.total > 1 && msg->concat.sequence >= 1 && msg->concat.sequence <= msg->concat.total) {
        const auto key = std::make_tuple(number, msg->concat.reference, msg->concat.total);
        auto& pending = sentParts[key];
        pending[msg->concat.sequence] = msg->text;
        if (pending.size() == msg->concat.total) {
            for (const auto& [sequence, text] : pending)
                parts.push_back(MessageTextToMixed(text));
            sentParts.erase(key);
        }
    } else {
        parts.push_back(MessageTextToMixed(msg->text));
    }
    if (!parts.empty()) {
        const Outcome kept = StoreHandsetMessage(files, 5, number, parts, NowPlus8());
        (void)kept;  // the message went out either way; a full memory only loses the copy
    }
    r.lines.push_back("+CMGS: " + std::to_string(messageRef++));
}

void AtPhone::Impl::deliver(const SmsMessage& whole, std::string& result)
{
    const auto parts = SplitForDelivery(whole, ++concatRef);
    std::vector<std::vector<uint8_t>> pdus;
    for (const auto& part : parts) {
        auto pdu = EncodePdu(part, nullptr);
        if (!pdu) {
            result = "ERROR bad number";
            return;
        }
        pdus.push_back(std::move(*pdu));
    }
    deliverPdus(pdus, result);
}

void AtPhone::Impl::deliverPdus(const std::vector<std::vector<uint8_t>>& pdus, std::string& result)
{
    std::vector<size_t> lengths;
    for (const auto& pdu : pdus)
        lengths.push_back(pdu.size() - (pdu[0] + 1u));  // octets after the service-centre part
    for (size_t i = 0; i < pdus.size(); ++i) {
        if (cnmiMt == 2 || cnmiMt == 3) {
            const std::string line = "\r\n+CMT: ," + std::to_string(lengths[i]) + "\r\n" + BytesToHex(pdus[i]) + "\r\n";
            pending.insert(pending.end(), line.begin(), line.end());
            continue;
        }
        const int idx = sim.storeMessage({0, pdus[i]});
        if (idx == 0) {
            result = "ERROR SIM message memory full";
            return;
        }
        if (cnmiMt == 1) {
            const std::string line = "\r\n+CMTI: \"SM\"," + std::to_string(idx) + "\r\n";
            pending.insert(pending.end(), line.begin(), line.end());
        }
    }
    result = "OK";
}

// ---- AtPhone -----------------------------------------------------------------

AtPhone::AtPhone(fs::path stateDir) : impl_(std::make_unique<Impl>(std::move(stateDir))) { }
AtPhone::~AtPhone() = default;

void AtPhone::receive(std::span<const uint8_t> in, std::vector<uint8_t>& out)
{
    if (off_)
        return;
    impl_->receive(in, out);
}

void AtPhone::lineDropped()
{
    Impl& p = *impl_;
    p.transfer = Impl::Transfer::None;
    p.transferData.clear();
    p.line.clear();
    p.overflow = false;
    p.lastWasCr = false;
    p.prompt = Impl::Prompt::None;
    p.promptBody.clear();
}

void AtPhone::tick(uint32_t, std::vector<uint8_t>& out)
{
    // Unsolicited lines wait while the user types a message after "> "; the
    // last line of a switched-off phone ("SWITCHOFF") still goes out.
    if ((!off_ && impl_->prompt != Impl::Prompt::None) || impl_->pending.empty())
        return;
    out.insert(out.end(), impl_->pending.begin(), impl_->pending.end());
    impl_->pending.clear();
}

void AtPhone::commandForTesting(std::string_view line, std::vector<uint8_t>& out)
{
    if (impl_->prompt != Impl::Prompt::None) {
        impl_->receive({reinterpret_cast<const uint8_t*>(line.data()), line.size()}, out);
        return;
    }
    impl_->command(line, out);
}

std::string AtPhone::control(std::string_view line)
{
    line = Trim(line);
    if (line == "switchoff") {
        if (off_)
            return "ERROR already off";
        off_ = true;
        impl_->pending.clear();
        const std::string_view s = "\r\nSWITCHOFF\r\n";
        for (char c : s)
            impl_->pending.push_back(static_cast<uint8_t>(c));
        return "OK";
    }
    if (line.starts_with("fault error ")) {
        const std::string_view prefix = Trim(line.substr(12));
        if (prefix.empty())
            return "ERROR missing prefix";
        impl_->errorPrefixes.emplace_back(prefix);
        return "OK";
    }
    if (line.starts_with("deliver-pdu ")) {
        // Raw SMS-DELIVER PDUs (service-centre part first), delivered in the
        // order given: parts out of order, interleaved or never completed.
        if (off_)
            return "ERROR phone is off";
        std::vector<std::vector<uint8_t>> pdus;
        std::string_view rest = Trim(line.substr(12));
        while (!rest.empty()) {
            const size_t space = rest.find(' ');
            const std::string_view hex = rest.substr(0, space);
            auto bytes = HexToBytes(hex);
            if (!bytes || bytes->empty() || bytes->size() < (*bytes)[0] + 1u)
                return "ERROR not a PDU: " + std::string(hex);
            const auto msg = DecodePdu(*bytes);
            if (!msg || msg->submit)
                return "ERROR not an SMS-DELIVER PDU: " + std::string(hex);
            pdus.push_back(std::move(*bytes));
            rest = space == std::string_view::npos ? std::string_view{} : Trim(rest.substr(space));
        }
        if (pdus.empty())
            return "ERROR usage: deliver-pdu HEX [HEX...]";
        std::string result;
        impl_->deliverPdus(pdus, result);
        return result;
    }
    if (line.starts_with("sms ")) {
        if (off_)
            return "ERROR phone is off";
        std::string_view rest = Trim(line.substr(4));
        const auto space = rest.find(' ');
        if (space == std::string_view::npos)
            return "ERROR usage: sms FROM TEXT";
        SmsMessage m;
        m.smsc = impl_->config.smsc;
        m.address = std::string(rest.substr(0, space));
        m.time = NowPlus8();
        m.text = Utf8ToUcs2(rest.substr(space + 1));
        std::string result;
        impl_->deliver(m, result);
        return result;
    }
    return "ERROR unknown command";
}

}  // namespace simphone

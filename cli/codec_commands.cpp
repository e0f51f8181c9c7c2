// `telvane codec ...`: the offline codec tools. Text arguments and output
// are UTF-8; the codecs themselves work in GBK and GSM codes.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/gbk_tables.h"
#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/pdu_text.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/ucs2.h"

namespace qc = quorlink::codecs;

namespace telvane::cli {
namespace {

bool IsHex(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

bool IsDialNumber(std::string_view s)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One line per field: line breaks and backslashes in text are escaped so
// that every field stays on its line.
std::string Escaped(std::string_view s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c; break;
        }
    }
    return out;
}

// An address holds digits and "+", or GSM text for an alphanumeric sender.
std::string AddressAsUtf8(const SM_PARAM& p)
{
    return qc::Ucs2ToUtf8(qc::PhoneTextToUcs2(std::string_view(p.address, strnlen(p.address, sizeof p.address))));
}

constexpr const char* kTypeNames[] = {"deliver", "submit", "status-report"};

int PduDecode(const Args& args, const Io& io)
{
    const std::string& hex = args.positional[0];
    if (!IsHex(hex) || hex.size() % 2 != 0)
        return Fail(io, "the PDU must be an even number of hexadecimal digits");
    // The message type comes from the PDU's first octet; --status files the
    // PDU as received (0, 1), stored (2, 3) and reads it in that layout.
    std::optional<qc::TpduType> layout;
    int status = -1;
    if (auto s = args.Get("status")) {
        if (s->size() != 1 || (*s)[0] < '0' || (*s)[0] > '4') {
            std::fprintf(io.err, "telvane: --status must be 0 to 4\n");
            return kExitUsage;
        }
        status = (*s)[0] - '0';
        if (status <= 1)
            layout = qc::TpduType::Deliver;
        else if (status <= 3)
            layout = qc::TpduType::Submit;
    }
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    p.status = static_cast<unsigned char>(status < 0 ? 0 : status);
    const qc::PduDecode d = qc::DecodePdu(hex.c_str(), p, layout);
    if (!d.complete)
        return Fail(io, "the PDU ends before the fields and user data it announces");
    const qc::TpduType type = layout.value_or(qc::TpduTypeOf(p.firstOctet));
    const std::string text = qc::Ucs2ToUtf8(qc::AnsiToUcs2(qc::DecodedText(p, d.length)));
    std::fprintf(io.out,
                 "service_centre=%s\nmessage_type=%s\nfirst_octet=%02X\naddress=%s\nprotocol_id=%02X\n"
                 "data_coding=%02X\ntime_stamp=%s\ntext=%s\nconcat_reference=%u\nconcat_total=%u\n"
                 "concat_sequence=%u\nlength=%d\n",
                 p.serviceCentre, kTypeNames[static_cast<int>(type)], p.firstOctet, Escaped(AddressAsUtf8(p)).c_str(),
                 p.protocolId, p.dataCoding, p.timeStamp, Escaped(text).c_str(), p.concatReference, p.concatTotal,
                 p.concatSequence, d.length);
    return kExitOk;
}

int PduEncode(const Args& args, const Io& io)
{
    const auto sca = args.Get("sca");
    const auto to = args.Get("to");
    const auto text = args.Get("text");
    if (!sca || !to || !text) {
        std::fprintf(io.err, "telvane: --sca, --to and --text are required\n");
        return kExitUsage;
    }
    if (!IsDialNumber(*sca) || !IsDialNumber(*to))
        return Fail(io, "numbers are digits with an optional leading '+'");
    const std::string_view scaDigits = (*sca)[0] == '+' ? std::string_view(*sca).substr(1) : std::string_view(*sca);
    const std::string_view toDigits = (*to)[0] == '+' ? std::string_view(*to).substr(1) : std::string_view(*to);
    if (scaDigits.size() > 15 || toDigits.size() > 15)
        return Fail(io, "numbers have at most 15 digits");

    const std::u16string wide = qc::Utf8ToUcs2(*text);
    if (wide.find(u'\0') != std::u16string::npos)
        return Fail(io, "the text contains a NUL");
    // By default the text goes as the phone link sends it: GSM 7-bit when
    // every character has a GSM form, else UCS2.
    const std::string gbk = qc::Ucs2ToAnsi(wide);
    const std::optional<std::string> gsm = qc::Ucs2ToGsmText(wide);
    int dcs = gsm ? 0 : 8;
    if (auto d = args.Get("dcs")) {
        if (*d != "0" && *d != "8") {
            std::fprintf(io.err, "telvane: --dcs must be 0 or 8\n");
            return kExitUsage;
        }
        dcs = (*d)[0] - '0';
    }

    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::memcpy(p.serviceCentre, scaDigits.data(), scaDigits.size());
    std::memcpy(p.address, toDigits.data(), toDigits.size());
    p.dataCoding = static_cast<unsigned char>(dcs);
    if (dcs == 0) {
        if (!gsm)
            return Fail(io, "the text has characters that GSM 7-bit cannot carry (use --dcs 8)");
        if (gsm->size() > qc::kSingleSeptets)
            return Fail(io, "a 7-bit message holds at most 160 septets (an extension character takes two)");
        std::memcpy(p.userData, gsm->data(), gsm->size());
    } else {
        if (wide.size() > qc::kSingleUcs2)
            return Fail(io, "a UCS2 message holds at most 70 characters");
        if (gbk.size() > 160)
            return Fail(io, "the text does not fit");
        std::memcpy(p.userData, gbk.data(), gbk.size());
    }
    char pdu[CPDU::kMaxPduText];
    CPDU::gsmEncodePdu(&p, pdu);
    std::fprintf(io.out, "%s\n", pdu);
    return kExitOk;
}

int GbkTable(const Args&, const Io& io)
{
    std::string out;
    out.reserve(qc::kGbkPositions * 10);
    char line[16];
    for (int pos = 0; pos < qc::kGbkPositions; ++pos) {
        const unsigned lead = 0x81 + pos / 190;
        const unsigned col = pos % 190;
        const unsigned trail = col < 0x3F ? 0x40 + col : 0x41 + col;
        std::snprintf(line, sizeof line, "%02X%02X %04X\n", lead, trail, qc::kGbkToUcs2[pos]);
        out += line;
    }
    std::fwrite(out.data(), 1, out.size(), io.out);
    return kExitOk;
}

int PosixEncode(const Args& args, const Io& io)
{
    const std::string& text = args.positional[0];
    if (text.size() > 49)
        return Fail(io, "a name has at most 49 bytes");
    std::vector<char> buf(text.size() * 8 / 3 + 4, '\0');
    std::memcpy(buf.data(), text.data(), text.size());
    StringToPosix(buf.data());
    std::fprintf(io.out, "%s\n", buf.data());
    return kExitOk;
}

int PosixDecode(const Args& args, const Io& io)
{
    const std::string& text = args.positional[0];
    const std::size_t tail = text.size() % 8;
    if ((tail != 0 && tail != 3 && tail != 6) ||
        text.find_first_not_of("-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz") != std::string::npos)
        return Fail(io, "not an encoded name");
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back(0);
    PosixToString(buf.data());
    std::fprintf(io.out, "%s\n", qc::Ucs2ToUtf8(qc::AnsiToUcs2(buf.data())).c_str());
    return kExitOk;
}

int PinyinSort(const Args&, const Io& io)
{
    struct Line {
        std::string utf8, gbk;
    };
    std::vector<Line> lines;
    std::string current;
    int c;
    auto finish = [&] {
        if (!current.empty() && current.back() == '\r')
            current.pop_back();
        lines.push_back({current, qc::Ucs2ToAnsi(qc::Utf8ToUcs2(current))});
        current.clear();
    };
    while ((c = std::fgetc(io.in)) != EOF) {
        if (c == '\n')
            finish();
        else
            current.push_back(static_cast<char>(c));
    }
    if (!current.empty())
        finish();
    if (std::ferror(io.in))
        return Fail(io, "cannot read standard input");
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line& a, const Line& b) { return PINYINCodeStrcmp(a.gbk.c_str(), b.gbk.c_str()) < 0; });
    for (const Line& l : lines)
        std::fprintf(io.out, "%s\n", qc::Ucs2ToUtf8(qc::AnsiToUcs2(l.gbk)).c_str());
    return kExitOk;
}

constexpr OptionSpec kPduDecodeOptions[] = {{"status", true}};
constexpr OptionSpec kPduEncodeOptions[] = {{"sca", true}, {"to", true}, {"text", true}, {"dcs", true}};

constexpr Command kCodecCommands[] = {
    {"pdu-decode",
     "decode an SMS PDU into field=value lines (the layout by its message type, or by --status: 0/1 received, "
     "2/3 stored)",
     "HEX [--status N]",
     kPduDecodeOptions,
     1,
     1,
     PduDecode,
     {}},
    {"pdu-encode",
     "encode an SMS-SUBMIT PDU (data coding 0 GSM 7-bit or 8 UCS2; default by the text)",
     "--sca NUMBER --to NUMBER --text UTF8 [--dcs 0|8]",
     kPduEncodeOptions,
     0,
     0,
     PduEncode,
     {}},
    {"gbk-table", "print the GBK table, one 'GBKCODE UCS2' line per position", "", {}, 0, 0, GbkTable, {}},
    {"posix-encode", "encode TEXT (its bytes, at most 49) as a phone file name", "TEXT", {}, 1, 1, PosixEncode, {}},
    {"posix-decode", "decode a phone file name", "TEXT", {}, 1, 1, PosixDecode, {}},
    {"pinyin-sort", "sort UTF-8 lines from stdin in pinyin order", "", {}, 0, 0, PinyinSort, {}},
};

}  // namespace

std::span<const Command> CodecCommands()
{
    return kCodecCommands;
}

}  // namespace telvane::cli

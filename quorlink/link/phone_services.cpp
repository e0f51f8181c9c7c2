#include "quorlink/link/phone_services.h"

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/pdu_text.h"
#include "quorlink/codecs/ucs2.h"
#include "quorlink/link/file_transfer.h"
#include "quorlink/link/link_tables.h"
#include "platform/messages.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace quorlink::link {
namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

constexpr uint32_t kMessageListLineMs = 20000;
constexpr size_t kMaxNameCharacters = 256;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool SendAndWaitOk(RequestContext& ctx, std::string_view command)
{
    return ctx.Send(command) && ctx.WaitFinal();
}

bool WriteAll(std::FILE* file, std::string_view text)
{
    return text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// How the answer to a command ended.
enum class Answer {
    Ok,  // "OK"
    Error,  // "ERROR", "+CME ..." or "+CMS ERROR:"
    Silence,  // no line in time (or the phone switched off)
    Stopped,  // the line handler gave up
};

// Reads the answer to the command just sent, timeoutMs for each line,
// handing every line that is not final to onLine until "OK", an error,
// silence, or onLine returning false. The line is valid only during the
// call.
template <typename OnLine>
Answer ReadAnswer(RequestContext& ctx, uint32_t timeoutMs, OnLine&& onLine)
{
    for (;;) {
        const auto c = ctx.WaitLine(timeoutMs);
        if (!c)
            return Answer::Silence;
        if (c->isError())
            return Answer::Error;
        if (c->isOk())
            return Answer::Ok;
        if (!onLine(c->line))
            return Answer::Stopped;
    }
}

// Sends "AT+CPMS?" and reads its counts until "OK": first = the number
// after the first comma, second = after the second. Nothing on an error
// or silence.
struct Counts {
    long first = 0;
    long second = 0;
};
std::optional<Counts> ReadStorageCounts(RequestContext& ctx)
{
    if (!ctx.Send("AT+CPMS?\r"))
        return std::nullopt;
    Counts counts;
    const Answer a = ReadAnswer(ctx, RequestContext::kLineTimeoutMs, [&](std::string_view line) {
        if (StartsWith(line, "+CPMS")) {
            counts.first = NumberAfterComma(line, 1);
            counts.second = NumberAfterComma(line, 2);
        }
        return true;
    });
    if (a != Answer::Ok)
        return std::nullopt;
    return counts;
}

void PostDone(RequestContext& ctx, bool ok)
{
    ctx.PostText(ok ? LINK_SUCCEEDED : LINK_FAILED, 0, {});
}

}  // namespace

// ------------------------------------------------------------ helpers

long NumberAfterComma(std::string_view line, int n)
{
    size_t pos = 0;
    for (int i = 0; i < n; ++i) {
        pos = line.find(',', pos);
        if (pos == std::string_view::npos)
            return 0;
        ++pos;
    }
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    long value = 0;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos)
        value = std::min<long>(value * 10 + (line[pos] - '0'), INT32_MAX);  // records carry 32-bit counts
    return value;
}

std::optional<std::string_view> IndexField(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const size_t comma = line.find(',', colon + 1);
    if (comma == std::string_view::npos)
        return std::nullopt;
    return line.substr(colon + 1, comma - colon - 1);
}

std::optional<std::string_view> QuotedField(std::string_view line, int n)
{
    size_t pos = 0;
    for (int i = 1;; ++i) {
        const size_t open = line.find('"', pos);
        if (open == std::string_view::npos)
            return std::nullopt;
        const size_t close = line.find('"', open + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        if (i == n)
            return line.substr(open + 1, close - open - 1);
        pos = close + 1;
    }
}

std::optional<std::string> PhonebookLine(std::string_view cpbrLine)
{
    const auto index = IndexField(cpbrLine);
    const auto number = QuotedField(cpbrLine, 1);
    const auto name = QuotedField(cpbrLine, 2);
    if (!index || !number || !name)
        return std::nullopt;
    // The name is UCS2 in hexadecimal text; at most 256 characters of it.
    std::string hex(name->substr(0, 4 * kMaxNameCharacters));
    std::vector<char> gbk(2 * kMaxNameCharacters + 1, 0);
    CUcs2::AscUcs2GBString(hex.data(), gbk.data(), static_cast<int>(kMaxNameCharacters));
    std::string out;
    out.reserve(index->size() + number->size() + 32);
    out.append(*index).append(",").append(*number).append(",").append(gbk.data()).append("\r\n");
    return out;
}

std::optional<std::string_view> StatusWord(long status)
{
    static constexpr std::string_view kWords[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT", "ALL"};
    if (status < 0 || status > 4)
        return std::nullopt;
    return kWords[status];
}

std::optional<std::string> MessageTimeStamp(std::string_view stamp)
{
    if (stamp.size() < 12)
        return std::nullopt;
    for (size_t i = 0; i < 12; ++i)
        if (stamp[i] < '0' || stamp[i] > '9')
            return std::nullopt;
    std::string out;
    const char separators[] = {'/', '/', ',', ':', ':'};
    for (size_t part = 0; part < 6; ++part) {
        if (part > 0)
            out += separators[part - 1];
        out.append(stamp.substr(2 * part, 2));
    }
    return out;
}

std::string MessageFields(const SM_PARAM& message, int length)
{
    // An alphanumeric sender is GSM text like 7-bit message text.
    std::string out = quorlink::codecs::PhoneTextToAnsi(
        std::string_view(message.address, strnlen(message.address, sizeof message.address)));
    out += ',';
    if (message.status == 0 || message.status == 1) {
        // Received messages have a date and a time field; a message without
        // a readable stamp (a submit filed as received) has both empty.
        const std::string_view stamp(message.timeStamp, strnlen(message.timeStamp, sizeof message.timeStamp));
        out += MessageTimeStamp(stamp).value_or(",");
        out += ',';
    }
    // The text in the PC code page. A line of the file ends at CR: line
    // breaks inside the text are kept as LF alone.
    const std::string text = quorlink::codecs::DecodedText(message, length);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r')
            out += text[i];
        else if (i + 1 >= text.size() || text[i + 1] != '\n')
            out += '\n';
    }
    return out;
}

std::string MessagePartsPath(std::string_view messageFile)
{
    return std::string(messageFile) + ".parts";
}

std::string MessagePartText(const MessagePart& part)
{
    return "part " + std::to_string(part.reference) + " " + std::to_string(part.total) + " " +
        std::to_string(part.sequence);
}

std::optional<MessagePart> ParseMessagePart(std::string_view text)
{
    constexpr std::string_view kPrefix = "part ";
    if (!StartsWith(text, kPrefix))
        return std::nullopt;
    text.remove_prefix(kPrefix.size());
    long values[3] = {};
    for (long& v : values) {
        std::size_t digits = 0;
        while (digits < text.size() && digits < 6 && text[digits] >= '0' && text[digits] <= '9')
            v = v * 10 + (text[digits++] - '0');
        if (digits == 0)
            return std::nullopt;
        text.remove_prefix(digits);
        if (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
    }
    if (!text.empty() || values[0] > 0xFFFF || values[1] < 2 || values[1] > quorlink::codecs::kMaxParts ||
        values[2] < 1 || values[2] > values[1])
        return std::nullopt;
    return MessagePart{static_cast<uint16_t>(values[0]), static_cast<uint8_t>(values[1]),
                       static_cast<uint8_t>(values[2])};
}

std::optional<OutgoingText> TextForSend(std::string_view pcText, bool part)
{
    namespace qc = quorlink::codecs;
    const std::u16string wide = qc::AnsiToUcs2(pcText);
    if (const auto gsm = qc::Ucs2ToGsmText(wide)) {
        if (gsm->size() <= static_cast<size_t>(part ? qc::kPartSeptets : qc::kSingleSeptets))
            return OutgoingText{0, *gsm};
    }
    if (wide.size() <= static_cast<size_t>(part ? qc::kPartUcs2 : qc::kSingleUcs2))
        return OutgoingText{8, std::string(pcText)};
    return std::nullopt;
}

SendNumbers NumbersForSend(std::string_view serviceCentre, std::string_view destination)
{
    SendNumbers n;
    std::string country;
    if (StartsWith(serviceCentre, "+")) {
        n.serviceCentre = serviceCentre.substr(1);
        country = n.serviceCentre.substr(0, 2);
    } else if (const size_t at = serviceCentre.find("86"); at != std::string_view::npos) {
        n.serviceCentre = serviceCentre.substr(at);
        country = "86";
    } else {
        n.serviceCentre = "86" + std::string(serviceCentre.substr(0, 13));
        country = "86";
    }
    if (StartsWith(destination, "+"))
        n.destination = destination.substr(1);
    else if (!StartsWith(destination, country))
        n.destination = country + std::string(destination);
    else
        n.destination = destination;
    return n;
}

bool VersionAccepted(std::string_view version, std::string_view acceptedList)
{
    for (;;) {
        const size_t cr = acceptedList.find('\r');
        const std::string_view entry = acceptedList.substr(0, cr);
        if (StartsWithNoCase(version, entry))
            return true;
        if (cr == std::string_view::npos)
            return false;
        acceptedList.remove_prefix(cr + 1);
    }
}

bool ReplaceFileHeader(const std::string& path, std::string_view header)
{
    std::string content;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        std::ostringstream all;
        all << in.rdbuf();
        content = std::move(all).str();
    }
    const size_t end = std::min(content.find("\r\n"), content.size());
    if (end == header.size()) {
        // Same length: overwrite at the start, nothing else moves.
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        if (!f)
            return false;
        const bool ok = WriteAll(f, header);
        return (std::fclose(f) == 0) && ok;
    }
    const std::string temp = path + ".tmp";
    {
        FilePtr f(std::fopen(temp.c_str(), "wb"), &std::fclose);
        if (!f)
            return false;
        const bool ok = WriteAll(f.get(), header) && WriteAll(f.get(), std::string_view(content).substr(end));
        if (!ok || std::fclose(f.release()) != 0) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// ------------------------------------------------------ SIM phonebook

namespace {

// Everything between switching to UCS2 and the phonebook file closed.
bool ReadPhonebookInto(RequestContext& ctx, const std::string& path)
{
    if (!ctx.Send("AT+CPBS?\r"))
        return false;
    long used = 0, locations = 0;
    const Answer status = ReadAnswer(ctx, RequestContext::kLineTimeoutMs, [&](std::string_view line) {
        if (StartsWith(line, "+CPBS")) {
            used = NumberAfterComma(line, 1);
            locations = NumberAfterComma(line, 2);
        }
        return true;
    });
    if (status != Answer::Ok || !SendAndWaitOk(ctx, "AT+CPBW=?\r"))
        return false;

    FilePtr file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        return false;
    if (!WriteAll(file.get(), std::to_string(locations) + "," + std::to_string(used) + "\r\n"))
        return false;
    if (used == 0)
        return std::fclose(file.release()) == 0;

    if (!ctx.Send("AT+CPBR=1," + std::to_string(locations) + "\r"))
        return false;
    long entries = 0;
    const Answer list = ReadAnswer(ctx, RequestContext::kLineTimeoutMs, [&](std::string_view cpbr) {
        if (!StartsWith(cpbr, "+CPBR"))
            return true;
        const auto line = PhonebookLine(cpbr);
        if (!line)
            return true;  // fields not found: skipped
        if (!WriteAll(file.get(), *line))
            return false;
        ctx.MarkProgress();
        ++entries;
        ctx.PostProgress(LINK_INTERMEDIATE, 0, static_cast<int32_t>(entries), static_cast<int32_t>(used));
        return true;
    });
    if (list != Answer::Ok)
        return false;
    const bool closed = std::fclose(file.release()) == 0;
    return closed && entries == used;
}

}  // namespace

Disposition RunReadPhonebook(RequestContext& ctx, int32_t, LinkRequest& request)
{
    const std::string path(RequestText(request));
    if (!SendAndWaitOk(ctx, "AT+CPBS=\"SM\"\r") || !SendAndWaitOk(ctx, "AT+CSCS=\"UCS2\"\r")) {
        PostDone(ctx, false);
        return Disposition::Completed;
    }
    const bool ok = ReadPhonebookInto(ctx, path);
    // The rest of the link speaks the GSM character set: switch back after
    // a failed read too, or later commands would send and read UCS2. One
    // final record, after the switch: a batch takes a second one for the
    // next step's.
    const bool restored = SendAndWaitOk(ctx, "AT+CSCS=\"GSM\"\r");
    PostDone(ctx, ok && restored);
    return Disposition::Completed;
}

// ----------------------------------------------------------- messages

namespace {

bool ReadMessagesInto(RequestContext& ctx, const std::string& path)
{
    // The parts of long messages, beside the message file (none left from
    // an earlier read).
    const std::string partsPath = MessagePartsPath(path);
    std::remove(partsPath.c_str());
    std::string parts;
    std::string index;
    const auto counts = ReadStorageCounts(ctx);
    if (!counts)
        return false;
    const long stored = counts->first;
    const std::string header = std::to_string(counts->second) + "," + std::to_string(stored);
    FilePtr file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file || !WriteAll(file.get(), header))
        return false;
    if (stored == 0)
        return std::fclose(file.release()) == 0;

    if (!ctx.Send("AT+CMGL=4\r"))
        return false;
    long seen = 0;
    bool awaitingPdu = false;  // a message header came and its PDU is next
    long awaitingStatus = 0;
    const Answer list = ReadAnswer(ctx, kMessageListLineMs, [&](std::string_view line) {
        if (StartsWith(line, "+CMGL:")) {
            ctx.MarkProgress();
            ++seen;
            if (seen <= stored)
                ctx.PostProgress(LINK_INTERMEDIATE, 0, static_cast<int32_t>(seen), static_cast<int32_t>(stored));
            const size_t comma = line.find(',');
            const bool hasStatus = comma != std::string_view::npos && comma + 1 < line.size() &&
                line[comma + 1] >= '0' && line[comma + 1] <= '9';
            const long status = hasStatus ? NumberAfterComma(line, 1) : -1;
            std::string head = "\r\n";
            index = std::string(IndexField(line).value_or(std::string_view{}));
            head.append(index).append(",");
            if (const auto word = StatusWord(status))
                head.append(*word).append(",");
            awaitingPdu = true;
            awaitingStatus = status;
            return WriteAll(file.get(), head);
        }
        if (!awaitingPdu)
            return true;  // a line that belongs to no message
        SM_PARAM message{};
        message.status = static_cast<unsigned char>(awaitingStatus);
        awaitingPdu = false;
        const std::string pdu(line);
        // The PDU's own message type gives its layout; the stored status
        // only says which box it belongs to (a SIM that has been in other
        // phones can hold a received message filed as sent).
        const int length = CPDU::gsmDecodePdu(pdu.c_str(), &message);
        if (message.concatTotal > 1 && message.concatSequence >= 1 && message.concatSequence <= message.concatTotal)
            parts += index + "," + std::to_string(message.concatReference) + "," + std::to_string(message.concatTotal) +
                "," + std::to_string(message.concatSequence) + "\r\n";
        return WriteAll(file.get(), MessageFields(message, length));
    });
    if (!parts.empty()) {
        FilePtr partsFile(std::fopen(partsPath.c_str(), "wb"), &std::fclose);
        if (!partsFile || !WriteAll(partsFile.get(), parts) || std::fclose(partsFile.release()) != 0)
            return false;
    }
    if (list != Answer::Ok)
        return false;  // the file keeps what was written
    if (!WriteAll(file.get(), "\r\n") || std::fclose(file.release()) != 0)
        return false;

    const auto fresh = ReadStorageCounts(ctx);
    if (!fresh)
        return false;
    return ReplaceFileHeader(path, std::to_string(fresh->second) + "," + std::to_string(fresh->first));
}

}  // namespace

Disposition RunReadMessages(RequestContext& ctx, int32_t, LinkRequest& request)
{
    PostDone(ctx, ReadMessagesInto(ctx, std::string(RequestText(request))));
    return Disposition::Completed;
}

// -------------------------------------------------------- send message

namespace {

bool SendMessage(RequestContext& ctx, const MessageBlock& block, std::string_view requestText)
{
    // The text is judged before anything goes to the phone: one that fits
    // no message is refused rather than cut.
    const std::optional<MessagePart> part = ParseMessagePart(requestText);
    if (!requestText.empty() && !part)
        return false;
    const std::string_view text(block.text, strnlen(block.text, sizeof block.text));
    const std::optional<OutgoingText> outgoing = TextForSend(text, part.has_value());
    if (!outgoing)
        return false;

    if (!ctx.Send("AT+CSCA?\r"))
        return false;
    std::string centre;
    const Answer a = ReadAnswer(ctx, RequestContext::kLineTimeoutMs, [&](std::string_view line) {
        if (StartsWith(line, "+CSCA"))
            centre = std::string(QuotedField(line, 1).value_or(std::string_view{}));
        return true;
    });
    if (a != Answer::Ok)
        return false;

    const std::string_view destination(block.destination, strnlen(block.destination, sizeof block.destination));
    const SendNumbers numbers = NumbersForSend(centre, destination);

    SM_PARAM message{};
    // A number cut to fit the record would send the message to someone
    // else: refuse it instead.
    if (numbers.serviceCentre.size() >= sizeof message.serviceCentre ||
        numbers.destination.size() >= sizeof message.address)
        return false;
    std::memcpy(message.serviceCentre, numbers.serviceCentre.data(),
                std::min(numbers.serviceCentre.size(), sizeof message.serviceCentre - 1));
    std::memcpy(message.address, numbers.destination.data(),
                std::min(numbers.destination.size(), sizeof message.address - 1));
    message.protocolId = 0;
    // 7-bit text goes as GSM codes, so that "[", "$" or "@" arrive as typed
    // and not as whatever GSM character shares their PC byte.
    message.dataCoding = outgoing->dataCoding;
    std::memcpy(message.userData, outgoing->userData.data(),
                std::min(outgoing->userData.size(), sizeof message.userData - 1));
    message.userData[sizeof block.text] = static_cast<char>(block.trailer);
    if (part) {
        message.concatReference = part->reference;
        message.concatTotal = part->total;
        message.concatSequence = part->sequence;
    }

    char pdu[CPDU::kMaxPduText + 1] = {};
    const int length = CPDU::gsmEncodePdu(&message, pdu);
    if (length < 2)
        return false;
    unsigned char centreOctets = 0;
    CPDU::gsmString2Bytes(pdu, &centreOctets, 2);
    const int tpduLength = length / 2 - (1 + centreOctets);
    std::string body(pdu, static_cast<size_t>(length));
    body += '\x1A';

    if (!ctx.Send("AT+CMGS=" + std::to_string(tpduLength) + "\r"))
        return false;
    for (;;) {
        const auto c = ctx.WaitLine();
        if (!c || c->isError())
            return false;
        if (c->line == "> ")
            break;
    }
    if (!ctx.Send(body))
        return false;
    // "+CMGS:" means sent; its "OK" is read too, so that it is not left
    // behind as the answer to the next command.
    bool sent = false;
    for (;;) {
        const auto c = ctx.WaitLine();
        if (!c)
            return sent;
        if (c->isError())
            return false;
        if (c->isOk())
            return true;
        if (StartsWith(c->line, "+CMGS:"))
            sent = true;
    }
}

}  // namespace

Disposition RunSendMessage(RequestContext& ctx, int32_t, LinkRequest& request)
{
    std::unique_ptr<MessageBlock, decltype(&std::free)> block(
        static_cast<MessageBlock*>(plat::TakeBlock(request.argument)), &std::free);
    PostDone(ctx, block && SendMessage(ctx, *block, RequestText(request)));
    return Disposition::Completed;
}

// ------------------------------------------------------ version check

Disposition RunCheckVersion(RequestContext& ctx, int32_t, LinkRequest& request)
{
    if (!ctx.Send("AT*GETVER\r")) {
        PostDone(ctx, false);
        return Disposition::Completed;
    }
    std::optional<std::string> version;
    // Whatever ends the answer, the version is judged by what came before.
    (void)ReadAnswer(ctx, RequestContext::kLineTimeoutMs, [&](std::string_view line) {
        constexpr std::string_view kPrefix = "*GETVER:";
        if (StartsWithNoCase(line, kPrefix)) {
            std::string_view v = line.substr(kPrefix.size());
            while (!v.empty() && v.front() == ' ')
                v.remove_prefix(1);
            version = std::string(v);
        }
        return true;
    });
    if (version && VersionAccepted(*version, RequestText(request))) {
        PostDone(ctx, true);
        return Disposition::Completed;
    }
    // A phone whose software is not in the list is not used.
    PostDone(ctx, false);
    if (ctx.LinkAlive())
        ctx.DropLink();  // not again when a switch-off has closed it already
    return Disposition::Completed;
}

// ------------------------------------------------- counts and lock

Disposition RunStorageCounts(RequestContext& ctx, int32_t, LinkRequest&)
{
    if (ctx.Send("AT+CPMS?\r")) {
        long used = 0, total = 0;
        const Answer a = ReadAnswer(ctx, RequestContext::kLineTimeoutMs, [&](std::string_view line) {
            if (StartsWith(line, "+CPMS")) {
                used = NumberAfterComma(line, 1);
                total = NumberAfterComma(line, 2);
            }
            return true;
        });
        if (a != Answer::Error)
            ctx.PostProgress(LINK_INTERMEDIATE, 0, static_cast<int32_t>(used), static_cast<int32_t>(total));
    }
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunPrivacyLock(RequestContext& ctx, int32_t, LinkRequest&)
{
    if (ctx.Send("AT*SAFEBOXSTAT\r")) {
        int pictures = 0, messages = 0;
        bool settled = false;  // "NON" seen: the flags stay 0
        const Answer a = ReadAnswer(ctx, RequestContext::kLineTimeoutMs, [&](std::string_view line) {
            // After "NON" the rest of the answer is read but not used, so
            // that its final line is not left for the next command.
            if (settled || !StartsWith(line, "*SAFEBOXSTAT:"))
                return true;
            if (line.find("NON") != std::string_view::npos) {
                pictures = messages = 0;
                settled = true;
                return true;
            }
            pictures = pictures || line.find("PIC") != std::string_view::npos;
            messages = messages || line.find("SMS") != std::string_view::npos;
            return true;
        });
        // "NON" settles the answer; only an error before it leaves the
        // flags unknown.
        if (a != Answer::Error || settled)
            ctx.PostProgress(LINK_INTERMEDIATE, 0, pictures, messages);
    }
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

}  // namespace quorlink::link

#include "mobile/messages/core/exports.h"

#include "quorlink/codecs/code_page.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace messages {
namespace {

namespace qc = quorlink::codecs;

// Stable words for the files (the window shows the translated labels).
std::string_view StatusWord(uint8_t status)
{
    switch (status) {
    case kStatusUnread: return "unread";
    case kStatusRead:
    case kStatusLocked: return "read";
    case kStatusUnsent: return "unsent";
    case kStatusSent: return "sent";
    default: return "";
    }
}

std::string_view BoxWord(Box box)
{
    return box == Box::Inbox ? "inbox" : "outbox";
}

// Calls fn(item, box) for each listed message the filter takes.
template <typename Fn>
void ForEachListed(const MessageStore& store, BoxFilter filter, bool locked, Fn&& fn)
{
    for (const MessageItem& m : store.items()) {
        const auto box = BoxOf(m.record->status, locked);
        if (!box || (filter == BoxFilter::Inbox && *box != Box::Inbox) ||
            (filter == BoxFilter::Outbox && *box != Box::Outbox))
            continue;
        fn(m, *box);
    }
}

std::string CsvField(std::string_view s)
{
    if (s.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(s);
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string OneLine(std::string_view s)
{
    std::string out;
    for (const char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += ' ';
        else if (c == '\\')
            out += "\\\\";
        else if (c != '\r')
            out += c;
    }
    return out;
}

}  // namespace

std::string Utf8(std::string_view pcText)
{
    return qc::Ucs2ToUtf8(qc::AnsiToUcs2(pcText));
}

std::optional<ExportFormat> FormatForPath(std::string_view path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
        return std::nullopt;
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "psm")
        return ExportFormat::Psm;
    if (ext == "csv")
        return ExportFormat::Csv;
    if (ext == "txt")
        return ExportFormat::Text;
    return std::nullopt;
}

std::string ExportCsv(const MessageStore& store, BoxFilter filter, bool locked)
{
    std::string out = "number,name,box,status,date,text\r\n";
    ForEachListed(store, filter, locked, [&](const MessageItem& m, Box box) {
        const MessageRecord& r = *m.record;
        out += CsvField(Utf8(FieldText(r.number))) + ',' + CsvField(Utf8(m.name)) + ',' + std::string(BoxWord(box)) +
            ',' + std::string(StatusWord(r.status)) + ',' + CsvField(Utf8(FieldText(r.date))) + ',' +
            CsvField(Utf8(FieldText(r.text))) + "\r\n";
    });
    return out;
}

std::string ExportText(const MessageStore& store, BoxFilter filter, bool locked)
{
    std::string out;
    ForEachListed(store, filter, locked, [&](const MessageItem& m, Box box) {
        const MessageRecord& r = *m.record;
        if (!out.empty())
            out += '\n';
        const std::string number = Utf8(FieldText(r.number));
        out += box == Box::Inbox ? "From: " : "To: ";
        out += m.name.empty() ? number : Utf8(m.name) + " <" + number + ">";
        out += '\n';
        if (r.date[0] != 0)
            out += "Date: " + Utf8(FieldText(r.date)) + '\n';
        out += "Status: " + std::string(StatusWord(r.status)) + '\n';
        out += '\n';
        out += Utf8(FieldText(r.text));
        out += '\n';
    });
    return out;
}

std::string ListTable(const MessageStore& store, BoxFilter filter, bool locked)
{
    std::string out;
    ForEachListed(store, filter, locked, [&](const MessageItem& m, Box box) {
        const MessageRecord& r = *m.record;
        const std::string who = m.name.empty() ? Utf8(FieldText(r.number)) : Utf8(m.name);
        out += std::string(BoxWord(box)) + '\t' + std::string(StatusWord(r.status)) + '\t' +
            OneLine(Utf8(FieldText(r.date))) + '\t' + OneLine(who) + '\t' + OneLine(Utf8(FieldText(r.text))) + '\n';
    });
    return out;
}

bool WriteExport(const MessageStore& store, const std::string& path, ExportFormat format, bool locked)
{
    if (format == ExportFormat::Psm)
        return store.savePsm(path);
    const std::string text = format == ExportFormat::Csv ? ExportCsv(store, BoxFilter::All, locked)
                                                         : ExportText(store, BoxFilter::All, locked);
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
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

}  // namespace messages

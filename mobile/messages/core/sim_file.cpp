#include "mobile/messages/core/sim_file.h"

#include "mobile/messages/core/message_record.h"

#include <algorithm>
#include <charconv>
#include <tuple>

namespace messages {
namespace {

struct StatusWord {
    std::string_view word;
    uint8_t status;
};
constexpr StatusWord kStatusWords[] = {
    {"REC UNREAD", kStatusUnread},
    {"REC READ", kStatusRead},
    {"STO UNSENT", kStatusUnsent},
    {"STO SENT", kStatusSent},
};

// Splits off the text up to the next comma (all of it when there is none).
std::string_view TakeField(std::string_view& line)
{
    const size_t comma = line.find(',');
    const std::string_view field = line.substr(0, comma);
    line = comma == std::string_view::npos ? std::string_view{} : line.substr(comma + 1);
    return field;
}

std::optional<int> Number(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end == s.data() || v < 0)
        return std::nullopt;
    return v;
}

}  // namespace

std::optional<SimFile> ParseSimFile(std::string_view content)
{
    size_t end = content.find("\r\n");
    std::string_view header = content.substr(0, end);
    SimFile file;
    const auto capacity = Number(TakeField(header));
    const auto used = Number(header);
    if (!capacity || !used)
        return std::nullopt;
    file.capacity = *capacity;
    file.used = *used;
    while (end != std::string_view::npos && static_cast<int>(file.messages.size()) < file.used) {
        const size_t start = end + 2;
        end = content.find("\r\n", start);
        std::string_view line = content.substr(start, end == std::string_view::npos ? end : end - start);
        if (line.empty() && end == std::string_view::npos)
            break;  // the closing line end
        SimMessage m;
        m.index = static_cast<uint16_t>(std::min(Number(TakeField(line)).value_or(0), 0xFFFF));
        const std::string_view word = TakeField(line);
        for (const StatusWord& w : kStatusWords)
            if (w.word == word)
                m.status = w.status;
        m.number = std::string(TakeField(line).substr(0, 40));
        if (m.status == kStatusUnread || m.status == kStatusRead) {
            const std::string_view date = TakeField(line);
            const std::string_view time = TakeField(line);
            if (!date.empty() || !time.empty())
                m.date = FormatSimDate(date, time);
        }
        // The text runs to the end of the line; a CR inside it ends it.
        m.text = std::string(line.substr(0, line.find('\r')));
        file.messages.push_back(std::move(m));
    }
    return file;
}

std::map<uint16_t, SimPart> ParseSimParts(std::string_view content)
{
    std::map<uint16_t, SimPart> parts;
    while (!content.empty()) {
        const size_t end = content.find("\r\n");
        std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 2);
        const auto index = Number(TakeField(line));
        const auto reference = Number(TakeField(line));
        const auto total = Number(TakeField(line));
        const auto sequence = Number(line);
        if (!index || !reference || !total || !sequence || *index > 0xFFFF || *reference > 0xFFFF || *total < 2 ||
            *total > 255 || *sequence < 1 || *sequence > *total)
            continue;
        parts[static_cast<uint16_t>(*index)] = {static_cast<uint16_t>(*reference), static_cast<uint8_t>(*total),
                                                static_cast<uint8_t>(*sequence)};
    }
    return parts;
}

std::vector<SimMessage> JoinSimParts(std::vector<SimMessage> messages, const std::map<uint16_t, SimPart>& parts)
{
    using Key = std::tuple<std::string, uint16_t, uint8_t>;
    std::map<Key, size_t> first;  // where each long message goes
    std::map<Key, std::map<uint8_t, size_t>> bySequence;
    std::vector<SimMessage> out;
    std::vector<bool> partOf;
    for (size_t i = 0; i < messages.size(); ++i) {
        const auto p = parts.find(messages[i].index);
        if (p == parts.end()) {
            out.push_back(std::move(messages[i]));
            continue;
        }
        const Key key{messages[i].number, p->second.reference, p->second.total};
        if (!first.count(key)) {
            first[key] = out.size();
            out.push_back(messages[i]);
        }
        bySequence[key].emplace(p->second.sequence, i);
    }
    for (const auto& [key, sequence] : bySequence) {
        SimMessage& joined = out[first[key]];
        const SimMessage& lowest = messages[sequence.begin()->second];
        joined.index = lowest.index;
        joined.date = lowest.date;
        joined.text.clear();
        for (const auto& [seq, i] : sequence) {
            joined.text += messages[i].text;
            if (messages[i].status == kStatusUnread)
                joined.status = kStatusUnread;
        }
    }
    return out;
}

}  // namespace messages

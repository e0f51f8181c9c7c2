#include "mobile/messages/core/sim_file.h"

#include "mobile/messages/core/message_record.h"

#include <algorithm>
#include <charconv>

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

}  // namespace messages

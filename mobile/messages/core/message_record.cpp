#include "mobile/messages/core/message_record.h"

#include "quorlink/codecs/code_page.h"
#include "resources/strings.h"

#include <cstdio>
#include <cstring>

namespace messages {

std::optional<Box> BoxOf(uint8_t status, bool messagesLocked)
{
    switch (status) {
    case kStatusUnread:
    case kStatusRead: return Box::Inbox;
    case kStatusUnsent:
    case kStatusSent: return Box::Outbox;
    case kStatusLocked: return messagesLocked ? std::nullopt : std::optional(Box::Inbox);
    default: return std::nullopt;
    }
}

int StatusLabel(uint8_t status)
{
    switch (status) {
    case kStatusUnread: return res::IDS_UNREAD;
    case kStatusRead:
    case kStatusLocked: return res::IDS_READ;
    case kStatusUnsent: return res::IDS_NOT_SENT;
    case kStatusSent: return res::IDS_SENT;
    default: return 0;
    }
}

bool SetField(char* field, size_t size, std::string_view text)
{
    std::memset(field, 0, size);
    if (size == 0)
        return text.empty();
    size_t n = 0;
    while (n < text.size()) {
        const auto b = static_cast<unsigned char>(text[n]);
        if (b == 0)
            break;
        const size_t width = quorlink::codecs::IsGbkLead(b) && n + 1 < text.size() ? 2 : 1;
        if (n + width > size - 1)
            break;
        n += width;
    }
    std::memcpy(field, text.data(), n);
    return n == text.size();
}

MessageRecord MakeRecord(uint8_t status, std::string_view number, std::string_view date, std::string_view text,
                         bool fromHandset)
{
    MessageRecord r{};
    r.status = status;
    SetField(r.number, number);
    SetField(r.date, date);
    SetField(r.text, text);
    r.fromHandset = fromHandset ? 1 : 0;
    return r;
}

std::string FormatHandsetDate(uint32_t stamp)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u/%02u/%02u  %02u:%02u", (stamp >> 20) % 100, (stamp >> 16) & 0xF,
                  (stamp >> 11) & 0x1F, (stamp >> 6) & 0x1F, stamp & 0x3F);
    return text;
}

std::string FormatSimDate(std::string_view date, std::string_view time)
{
    return std::string(date.substr(0, 19)) + "  " + std::string(time.substr(0, 19));
}

std::string DateKey(std::string_view date)
{
    std::string key;
    for (const char c : date.substr(0, 19))
        if (c >= '0' && c <= '9')
            key.push_back(c);
    if (key.empty())
        return key;
    key.resize(12, '0');
    return key;
}

}  // namespace messages

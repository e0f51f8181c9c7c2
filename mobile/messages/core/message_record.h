#pragma once
// One short message as the program keeps it, and as the local message file
// (psm) stores it: a 1734-byte record whose text is 8-bit PC code page
// (GBK), NUL-terminated inside its field and zero-filled after it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace messages {

// Status byte: the values of a stored short message's status on a SIM.
constexpr uint8_t kStatusUnread = 3;
constexpr uint8_t kStatusRead = 1;
constexpr uint8_t kStatusUnsent = 7;
constexpr uint8_t kStatusSent = 5;
// Behind the phone's own message lock: listed in the inbox as read, and
// only while the phone's messages are not locked.
constexpr uint8_t kStatusLocked = 37;

#pragma pack(push, 1)
struct MessageRecord {
    uint8_t status;  // 0
    char number[41];  // 1: sender or recipient
    uint8_t reserved1;  // 42
    char date[20];  // 43: see FormatHandsetDate and friends; empty when undated
    char text[1669];  // 63: PC code page, NUL-terminated
    uint8_t reserved2;  // 1732
    uint8_t fromHandset;  // 1733: read from the handset memory or received while running
};
#pragma pack(pop)
static_assert(sizeof(MessageRecord) == 1734);
static_assert(offsetof(MessageRecord, number) == 1);
static_assert(offsetof(MessageRecord, date) == 43);
static_assert(offsetof(MessageRecord, text) == 63);
static_assert(offsetof(MessageRecord, fromHandset) == 1733);

enum class Box { Inbox = 0, Outbox = 1 };

// The box a status is listed in; nothing for a status that is not listed
// (counted as hidden), or a locked message while the phone's messages are
// locked.
[[nodiscard]] std::optional<Box> BoxOf(uint8_t status, bool messagesLocked);
// The string id of a status's label (57861-57864); 0 when it has none.
[[nodiscard]] int StatusLabel(uint8_t status);

// Copies text into a fixed field, NUL-terminated and zero-filled, cut at a
// character boundary of the PC code page (never half a two-byte character).
// Returns false when it had to cut.
bool SetField(char* field, size_t size, std::string_view text);
template <size_t N>
bool SetField(char (&field)[N], std::string_view text)
{
    return SetField(field, N, text);
}
// The text of a field up to its NUL (or its end when it has none).
template <size_t N>
[[nodiscard]] std::string_view FieldText(const char (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n] != 0)
        ++n;
    return std::string_view(field, n);
}

// A zeroed record with these fields.
[[nodiscard]] MessageRecord MakeRecord(uint8_t status, std::string_view number, std::string_view date,
                                       std::string_view text, bool fromHandset);

// Date texts: the handset's "yy/mm/dd  hh:mm" from its packed time stamp
// (bits 31-20 year, 19-16 month, 15-11 day, 10-6 hour, 5-0 minute), the
// SIM file's date and time joined by two spaces, and a received message's
// service-centre stamp "yy/mm/dd,hh:mm:ss".
[[nodiscard]] std::string FormatHandsetDate(uint32_t stamp);
[[nodiscard]] std::string FormatSimDate(std::string_view date, std::string_view time);
// The digits of a date text as a sortable key "yymmddhhmmss" (missing
// parts zero); empty dates give an empty key, which sorts last.
[[nodiscard]] std::string DateKey(std::string_view date);

}  // namespace messages

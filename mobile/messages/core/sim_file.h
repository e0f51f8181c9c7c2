#pragma once
// The SIM's messages as the phone link writes them into "sms.sim": a
// header "capacity,used", then after each CR LF one message
// "index,STATUS WORD,number[,date,time],text" (date and time for received
// messages only), the text in the PC code page with its line breaks as LF.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace messages {

inline constexpr char kSimFileName[] = "sms.sim";

struct SimMessage {
    uint16_t index = 0;
    uint8_t status = 0;  // 3, 1, 7, 5, or 0 for an unknown word
    std::string number;
    std::string date;  // "date  time" for received messages, else empty
    std::string text;
};

struct SimFile {
    int capacity = 0;
    int used = 0;
    std::vector<SimMessage> messages;  // at most `used` of them
};

// Nothing when the header has no "capacity,used" numbers.
[[nodiscard]] std::optional<SimFile> ParseSimFile(std::string_view content);

}  // namespace messages

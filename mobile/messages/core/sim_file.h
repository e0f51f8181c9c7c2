#pragma once
// The SIM's messages as the phone link writes them into "sms.sim": a
// header "capacity,used", then after each CR LF one message
// "index,STATUS WORD,number[,date,time],text" (date and time for received
// messages only), the text in the PC code page with its line breaks as LF.

#include <cstdint>
#include <map>
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

// The parts of long messages the phone link found beside sms.sim
// ("sms.sim.parts": "index,reference,total,sequence" lines), by SIM index.
inline constexpr char kSimPartsFileName[] = "sms.sim.parts";
struct SimPart {
    uint16_t reference = 0;
    uint8_t total = 0;
    uint8_t sequence = 0;
};
[[nodiscard]] std::map<uint16_t, SimPart> ParseSimParts(std::string_view content);
// The messages with the parts of each long message (same number, reference
// and part count) joined in sequence order into the place of its first
// part: unread when any part is, the first part's index and date. A
// missing part leaves its text out; a repeated part counts once.
[[nodiscard]] std::vector<SimMessage> JoinSimParts(std::vector<SimMessage> messages,
                                                   const std::map<uint16_t, SimPart>& parts);

}  // namespace messages

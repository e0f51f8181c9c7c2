#pragma once
// New messages that the phone announces while the program runs: the
// "+CMT:" listener (request 210, notification code 215) hands each part
// over as its "+CMT:" line and its PDU line (type 2 records), then an end
// mark (type 1). IncomingAssembly decodes the parts and joins the parts
// of a long message by their sequence numbers, whatever order they arrive
// in and whatever other messages arrive between them; a message is
// complete when every part is there.
//
// Thread affinity: the thread that owns the store.

#include "mobile/messages/core/message_record.h"

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace messages {

// Notification code of the "+CMT:" listener.
constexpr uint32_t kIncomingCode = 215;
inline constexpr char kIncomingPrefix[] = "+CMT:";

class IncomingAssembly {
public:
    // Unfinished messages kept at most; one more completes the oldest with
    // the parts it has (its missing parts left out), so nothing received is
    // dropped and memory stays bounded.
    static constexpr size_t kMaxPending = 30;

    // One type 2 line of the listener.
    void line(std::string_view text);
    // The end of an indication: the message it completes, if any (status
    // unread, date from the service centre's stamp, fromHandset 1; the
    // sender's number). A record displaced by kMaxPending comes out too.
    [[nodiscard]] std::vector<MessageRecord> end();
    // Completes every unfinished message with the parts it has.
    [[nodiscard]] std::vector<MessageRecord> flush();
    [[nodiscard]] size_t pending() const { return pending_.size(); }

private:
    struct Part {
        std::string text;  // PC code page
        std::string stamp;  // date text
    };
    struct Pending {
        std::string number;
        std::map<unsigned, Part> parts;  // by sequence number
        unsigned total = 0;
    };
    using Key = std::tuple<std::string, unsigned, unsigned>;  // sender, reference, total

    [[nodiscard]] static MessageRecord Join(const Pending& p);

    std::optional<std::string> pdu_;  // the PDU line of the indication under way
    std::list<std::pair<Key, Pending>> pending_;  // oldest first
};

}  // namespace messages

#pragma once
// The receivers of unsolicited lines ("+CMT:", "RING", ...): a line that
// starts with a registered prefix goes to that listener's window instead
// of to the running request. Worker thread only.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quorlink::link {

struct UnsolicitedListener {
    uint32_t guiThreadId = 0;
    uint32_t window = 0;
    uint32_t messageCode = 0;  // wParam of the records it gets
    char prefix[16] = {};  // NUL-terminated, at most 15 characters
    uint8_t wantsNextLine = 0;  // with "+CMT:": the PDU line that follows too
};

class ListenerRegistry {
public:
    static constexpr size_t kMaxPrefix = 15;

    // Adds a listener, or updates the one with the same prefix; false when
    // the prefix is too long.
    bool Register(const UnsolicitedListener& listener);
    void Remove(std::string_view prefix);
    // Gives a received line to the first listener whose prefix it starts
    // with (or, after a "+CMT:" line, to the listener waiting for its PDU
    // line); true when a listener took it.
    bool Offer(std::string_view line);
    void Clear();
    [[nodiscard]] const std::vector<UnsolicitedListener>& Entries() const { return listeners_; }

private:
    std::vector<UnsolicitedListener> listeners_;
    bool continuationPending_ = false;
};

}  // namespace quorlink::link

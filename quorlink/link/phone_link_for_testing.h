#pragma once
// Test-only access to a PhoneLink, for tests and fuzz targets that drive
// its steps (dispatch a request, route a line to the pending request) from
// their own thread instead of through Run()'s queue. Production code never
// includes this header.

#include "quorlink/link/phone_link.h"

namespace quorlink::link {

class PhoneLinkForTesting {
public:
    explicit PhoneLinkForTesting(PhoneLink& link) : link_(link) { }

    void Dispatch(int32_t code, LinkRequest* request) { link_.Dispatch(code, request); }
    void RouteToPending(const std::optional<std::string_view>& line) { link_.RouteToPending(line); }
    std::optional<std::string_view> PollLine(int readWaitMs = 0) { return link_.PollLine(readWaitMs); }
    std::optional<std::string_view> WaitLine(uint32_t timeoutMs) { return link_.WaitLine(timeoutMs); }
    RequestContext& Context() { return link_.context_; }
    LinkPort& Port() { return *link_.port_; }

    // Opens COMn and marks the link up, as a finished scan leaves it.
    [[nodiscard]] bool Connect(int comNumber = 1)
    {
        link_.linkState_ = PhoneLink::kLinkOpen;
        return link_.port_->Open(comNumber);
    }
    [[nodiscard]] bool LinkUp() const { return link_.linkState_ == PhoneLink::kLinkOpen; }
    [[nodiscard]] bool RequestPending() const { return link_.requestPending_; }
    [[nodiscard]] int32_t CurrentRequest() const { return link_.currentRequest_; }
    [[nodiscard]] bool AcceptWhileBusy() const { return link_.acceptWhileBusy_; }
    [[nodiscard]] uint32_t ResponseTimeoutMs() const { return link_.responseTimeoutMs_; }
    [[nodiscard]] const std::vector<UnsolicitedListener>& Listeners() const { return link_.listeners_.Entries(); }

private:
    PhoneLink& link_;
};

}  // namespace quorlink::link

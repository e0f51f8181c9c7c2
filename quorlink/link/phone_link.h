#pragma once
// The phone-link worker: one PhoneLink per worker thread, created when the
// thread starts and destroyed when it ends. It alone touches the port, the
// receive buffer, the listeners and the transcript; all of that is private.
//
// Run() serves the thread's queue. Each WM_LINK_REQUEST is dispatched to
// the handler its code has in the request table (link_requests.cpp); the
// handler gets the link's RequestContext (request_context.h), the narrow
// view of the link that handlers work through. A handler that leaves its
// request pending has the lines that follow routed to the response handler
// of its code, until a final line or the response time-out ends it.
//
// Everything here runs on the worker thread.

#include "quorlink/link/line_assembler.h"
#include "quorlink/link/link_port.h"
#include "quorlink/link/link_protocol.h"
#include "quorlink/link/listener_registry.h"
#include "quorlink/link/request_context.h"
#include "quorlink/link/transcript.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

namespace quorlink::bridge {
class BridgeRequests;
}

namespace quorlink::link {

class PhoneLinkForTesting;

class PhoneLink {
public:
    static constexpr int32_t kNoRequest = 0xFFFF;
    static constexpr int32_t kNoRememberedPort = LinkConnection::kNoRememberedPort;
    static constexpr uint32_t kKeepAliveTimerId = 22;
    static constexpr uint32_t kKeepAliveMs = 1000;
    static constexpr uint32_t kResponseTimeoutMs = 6000;
    static constexpr uint32_t kLongResponseTimeoutMs = 20000;
    static constexpr uint32_t kLineTimeoutMs = RequestContext::kLineTimeoutMs;
    static constexpr int kSendLimitMs = 5000;
    // A pending request whose lines keep coming without its final line ends
    // (code 53) after this many response time-outs.
    static constexpr uint32_t kPendingLimitFactor = 10;

    // target: where results and the link-lost notice go. The transcript is
    // created (emptied) at transcriptPath; an empty path means none.
    PhoneLink(LinkTarget target, std::unique_ptr<LinkPort> port, const std::string& transcriptPath);
    ~PhoneLink();
    PhoneLink(const PhoneLink&) = delete;
    PhoneLink& operator=(const PhoneLink&) = delete;

    // The main loop: serves the thread's queue until WM_QUIT, then closes
    // the port, ends the thread's queue (freeing what is still queued) and
    // returns the thread's exit code 0.
    //
    // Each turn polls the port for a line, checks the pending request's
    // time-out and takes one message, in that order. When a turn finds
    // nothing to do the loop does not spin: it blocks in one poll on the
    // port and the thread queue (only on the port while a pending request
    // keeps the queue closed), limited by the pending request's time-out
    // and the keep-alive timer. Any byte, message or deadline wakes it, so
    // orders and time-outs are those of a loop that polls without pause.
    int Run();

private:
    friend class RequestContext;
    friend class LinkConnection;
    friend class PhoneLinkForTesting;

    // Runs a request: replaces any pending one (which gets no record), sets
    // the request's target and time-out, and calls its handler.
    void Dispatch(int32_t code, LinkRequest* request);
    // Gives a line (or, with none, the time-out) to the pending request's
    // response handler.
    void RouteToPending(const std::optional<std::string_view>& line);
    // Returns false on WM_QUIT.
    bool HandleMessage(const plat::Message& message);
    void WaitForWork(bool takeMessages, bool lineCame);
    // The keep-alive run on each WM_TIMER.
    void KeepAlive();
    // After the keep-alive of each WM_TIMER: an open flash bridge whose
    // phone stopped answering is dropped, and the link with it.
    void FlashBridgeWatchdog();

    // Writes a command within kSendLimitMs; logged as SEND.
    [[nodiscard]] bool Send(std::string_view command);
    [[nodiscard]] bool SendShortCommand(int code);
    // Reads once, waiting up to waitMs for bytes; the bytes read.
    int ReadOnce(int waitMs);
    // The next assembled line for the request; "RING", "NO CARRIER" and
    // the listeners' lines are taken out of the way.
    std::optional<std::string_view> Extract();
    // Polling form: extract a line; if none, read once (waiting up to
    // readWaitMs for bytes) and extract again. A "SWITCHOFF" closes the
    // link, posts WM_LINK_LOST and clears the pending request (failing it
    // first when it waits in the main loop); the line is still returned.
    std::optional<std::string_view> PollLine(int readWaitMs = 0);
    // Waiting form: a line within timeoutMs, or none.
    std::optional<std::string_view> WaitLine(uint32_t timeoutMs);
    // A line and its keyword code within timeoutMs; none (and the port's
    // errors cleared) when no line came.
    std::optional<ClassifiedLine> WaitClassified(uint32_t timeoutMs);
    // The request's wait: a classified line unless the request made no
    // progress for timeoutMs; "SWITCHOFF" closes the link.
    std::optional<ClassifiedLine> WaitForProgress(uint32_t timeoutMs);
    [[nodiscard]] bool WaitExactLine(std::string_view expected, uint32_t timeoutMs);
    [[nodiscard]] ProbeResult ConnectProbe();
    [[nodiscard]] bool RunSteps(std::span<const CommandStep> steps);

    // Records to the result target, wParam replyCode_.
    void PostText(int32_t status, int32_t code, std::string_view text);
    void PostProgress(int32_t status, int32_t code, int32_t current, int32_t total);
    void PostLinkLost();
    // Closes the port and marks the link closed; with notify, also posts
    // WM_LINK_LOST and clears the pending request.
    void CloseLink(bool notify);
    // Back to idle: not pending, no current request.
    void ClearPending();
    void MarkProgress();

    // Debug builds check that only the thread that made the object uses it.
    [[nodiscard]] bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

    static constexpr int32_t kLinkOpen = 1;
    static constexpr int32_t kLinkClosed = 2;

    std::thread::id owner_ = std::this_thread::get_id();
    int32_t currentRequest_ = kNoRequest;
    bool requestPending_ = false;
    bool acceptWhileBusy_ = false;
    LineAssembler receive_;
    std::unique_ptr<LinkPort> port_;
    int32_t linkState_ = kLinkClosed;
    int32_t rememberedPort_ = kNoRememberedPort;
    LinkTarget resultTarget_{};
    LinkTarget lostTarget_{};
    uint32_t responseTimeoutMs_ = kResponseTimeoutMs;
    // When the pending request last heard a line its handler counts (the
    // response time-out runs from here).
    uint32_t lastActivity_ = 0;
    uint32_t requestStart_ = 0;  // when the pending request was dispatched
    // When the running request last moved forward: a final line, or a line
    // its handler counted (MarkProgress). Waits inside handlers end when no
    // progress came for their line time-out, whatever other lines arrive.
    uint32_t lastProgress_ = 0;
    bool inDispatch_ = false;  // a handler is running inside Dispatch
    ListenerRegistry listeners_;
    Transcript transcript_;
    // wParam of the records a running request posts; kept when a switch-off
    // clears the pending request in the middle of it.
    int32_t replyCode_ = kNoRequest;
    // MP3 mode's flash bridge (requests 223-231), made by the first of them
    // (RequestContext::FlashBridge). A bridge still open when the worker
    // ends switches the phone off.
    std::unique_ptr<bridge::BridgeRequests> flashBridge_;
    RequestContext context_{*this};
};

}  // namespace quorlink::link

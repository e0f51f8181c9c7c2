#pragma once
// What a request handler may do with the link, and nothing more.
//
// The worker (PhoneLink) runs one request at a time. It looks the request's
// code up in the request table (link_requests.cpp) and calls the handler
// with the RequestContext of the link:
//
//     Disposition RunSomething(RequestContext& ctx, int32_t code, LinkRequest& request);
//
// A handler sends lines, waits for classified lines and posts records
// through the context, and returns Completed once it has posted its final
// record (it runs to completion inside the dispatch, holding the link), or
// Pending when it sent a command whose lines go to the response handler of
// its code from the main loop. Records go to the window that sent the
// request, with the request's code as wParam.
//
// Every wait of WaitLine/WaitFinal ends when the request has made no
// progress for its time-out (a final line, or a line the handler counted
// with MarkProgress), however many other lines arrive; so a handler that
// waits only through them ends, whatever the phone sends.
//
// A handler outside this directory needs only this header and a row in
// kRequestTable. Everything here runs on the worker thread.

#include "quorlink/link/link_protocol.h"
#include "quorlink/link/link_tables.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quorlink::bridge {
class BridgeRequests;
}

namespace quorlink::link {

class PhoneLink;
class ListenerRegistry;

enum class Disposition {
    Completed,  // ran to completion and posted its own records
    Pending,  // sent; its lines go to the response handler of its code
};

class RequestContext;
using RequestHandler = Disposition (*)(RequestContext& ctx, int32_t code, LinkRequest& request);

// The command text of a request: up to its NUL, never past the record.
[[nodiscard]] std::string_view RequestText(const LinkRequest& request);

struct ClassifiedLine {
    int code;  // the keyword code (link_tables.h)
    std::string_view line;  // valid until the next wait
    std::optional<FinalResult> final;  // set when the line ends a command's answer

    [[nodiscard]] bool isOk() const { return final && final->ok(); }
    [[nodiscard]] bool isError() const { return final && !final->ok(); }
};

// One step of a multi-command operation: the command, the time its answer
// may take, and what a classified line means.
enum class StepVerdict { Continue, Done, Failed };
using StepLineHandler = StepVerdict (*)(int code, std::string_view line);
struct CommandStep {
    std::string_view command;
    uint32_t lineTimeoutMs;
    StepLineHandler onLine;
};
// Reusable step handler: done on "OK", failed on a final error, other
// lines skipped.
StepVerdict WaitForOk(int code, std::string_view line);

enum class ProbeResult { Success, Failure, SwitchedOff };

// The port and link state that finding and connecting the phone needs
// (disconnect, reconnect, port list, scan). Reached through
// RequestContext::Connection().
class LinkConnection {
public:
    static constexpr int kNoRememberedPort = 0xFFFFFF;

    // Opens COMn (closing any open port); false when it does not open.
    [[nodiscard]] bool Open(int comNumber);
    // Whether COMn could be opened, leaving the open port alone.
    [[nodiscard]] bool CanOpen(int comNumber);
    // Closes the port; the link's state stays as it is.
    void ClosePort();
    void ClearErrors();
    // Drops everything not yet read, in the port and in the line buffer.
    void DiscardInput();
    // Drops the line buffer's unread bytes only.
    void ClearReceived();
    // Whether the link counts as up (keep-alives run only then).
    [[nodiscard]] bool IsUp() const;
    void SetUp(bool up);
    // The port the last scan found the phone on; kNoRememberedPort when none.
    [[nodiscard]] int RememberedPort() const;
    void Remember(int comNumber);

    // After "AT*CONNECT\r": the phone's answer. Its echo is skipped; other
    // lines for 5 s, or no line in 10 s, are a failure.
    [[nodiscard]] ProbeResult AwaitProbeAnswer();
    // Lines until one equals expected (true) or timeoutMs passes (false);
    // other lines are dropped.
    [[nodiscard]] bool WaitExactLine(std::string_view expected, uint32_t timeoutMs);

private:
    friend class PhoneLink;
    friend class RequestContext;
    explicit LinkConnection(PhoneLink& link) : link_(link) { }
    PhoneLink& link_;
};

class RequestContext {
public:
    static constexpr uint32_t kLineTimeoutMs = 10000;

    RequestContext(const RequestContext&) = delete;
    RequestContext& operator=(const RequestContext&) = delete;

    // ---- lines ----

    // Writes a command (its terminator included) within 5 s; logged as
    // SEND. A new command starts a new exchange: its answer gets a whole
    // time-out. False for an empty command, a closed port or a write that
    // did not finish.
    [[nodiscard]] bool Send(std::string_view command);
    // "AT<keyword>\r" for a keyword code; false when the code has no
    // command or the send fails.
    [[nodiscard]] bool SendShortCommand(int code);
    // The next line of the answer and its keyword code; none when the
    // request made no progress for timeoutMs, or the port is closed. A
    // "SWITCHOFF" closes the link (WM_LINK_LOST posted) and counts as no
    // line, so a request whose phone is gone ends at once.
    [[nodiscard]] std::optional<ClassifiedLine> WaitLine(uint32_t timeoutMs = kLineTimeoutMs);
    // Lines until the final one: true on "OK", false on an error or none.
    [[nodiscard]] bool WaitFinal(uint32_t timeoutMs = kLineTimeoutMs);
    // The request moved forward: the waits measure their time-out from now.
    void MarkProgress();
    // Sends each step's command and reads its answer within the step's
    // time-out (lines that do not end it do not extend it); false at the
    // first step that fails.
    [[nodiscard]] bool RunSteps(std::span<const CommandStep> steps);

    // ---- records to the requesting window ----

    void PostText(int32_t status, int32_t code, std::string_view text);
    void PostProgress(int32_t status, int32_t code, int32_t current, int32_t total);
    // A progress record under another request's code, for a series of
    // requests that the window follows as one (the flash writes).
    void PostProgressUnder(int32_t requestCode, int32_t status, int32_t code, int32_t current, int32_t total);

    // ---- the link ----

    // Whether the link is up or its port open.
    [[nodiscard]] bool LinkAlive() const;
    // Closes the port, posts WM_LINK_LOST and ends the pending request.
    void DropLink();
    LinkConnection& Connection() { return connection_; }
    ListenerRegistry& Listeners();
    // MP3 mode's flash bridge, which the link owns from its first use to
    // the worker's end (its watchdog runs on the link's timer tick).
    bridge::BridgeRequests& FlashBridge();

    // ---- a pending request (response handlers) ----

    // The request's response time-out starts again from now.
    void RestartResponseTimer();
    // The request is over: the link takes the next one.
    void FinishRequest();
    // Whether the main loop takes new requests while one is pending.
    void SetAcceptWhileBusy(bool accept);

private:
    friend class PhoneLink;
    explicit RequestContext(PhoneLink& link) : link_(link), connection_(link) { }
    PhoneLink& link_;
    LinkConnection connection_;
};

}  // namespace quorlink::link

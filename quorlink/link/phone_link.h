#pragma once
// The phone-link worker: one PhoneLink per worker thread, created when the
// thread starts and destroyed when it ends. It alone touches the port, the
// receive buffer, the listeners and the transcript.
//
// Everything here runs on the worker thread. The member functions below
// the fields are the primitives that request handlers (connection, file
// transfer, phone services, flash bridge) build on; a handler gets the
// PhoneLink of its thread and runs to completion inside the dispatch, or
// leaves a sent request pending for the response handler of its code.

#include "quorlink/link/line_assembler.h"
#include "quorlink/link/link_port.h"
#include "quorlink/link/link_protocol.h"
#include "quorlink/link/link_tables.h"
#include "quorlink/link/transcript.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quorlink::link {

// A registered receiver of unsolicited lines.
struct UnsolicitedListener {
    uint32_t guiThreadId = 0;
    uint32_t window = 0;
    uint32_t messageCode = 0;
    char prefix[16] = {};  // NUL-terminated, at most 15 characters
    uint8_t wantsNextLine = 0;
};

struct ClassifiedLine {
    int code;
    std::string_view line;  // valid until the next read or extraction
    std::optional<FinalResult> final;  // set when the line ends a command's answer

    [[nodiscard]] bool isOk() const { return final && final->ok(); }
    [[nodiscard]] bool isError() const { return final && !final->ok(); }
};

enum class ProbeResult { Success, Failure, SwitchedOff };

// One step of a multi-command operation: the command, the time allowed for
// each line, and what a classified line means.
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

class PhoneLink {
public:
    static constexpr int32_t kNoRequest = 0xFFFF;
    static constexpr int32_t kLinkOpen = 1;
    static constexpr int32_t kLinkClosed = 2;
    static constexpr int32_t kNoRememberedPort = 0xFFFFFF;
    static constexpr uint32_t kKeepAliveTimerId = 22;
    static constexpr uint32_t kKeepAliveMs = 1000;
    static constexpr uint32_t kResponseTimeoutMs = 6000;
    static constexpr uint32_t kLongResponseTimeoutMs = 20000;
    static constexpr uint32_t kLineTimeoutMs = 10000;
    static constexpr int kSendLimitMs = 5000;
    static constexpr size_t kMaxListenerPrefix = 15;
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

    // ---- fields (worker thread only) ----
    int32_t currentRequest = kNoRequest;
    bool requestPending = false;
    bool acceptWhileBusy = false;
    bool answered = false;
    LineAssembler receive;
    std::unique_ptr<LinkPort> port;
    int32_t linkState = kLinkClosed;
    int32_t rememberedPort = kNoRememberedPort;
    LinkTarget resultTarget{};
    LinkTarget lostTarget{};
    uint32_t responseTimeoutMs = kResponseTimeoutMs;
    uint32_t lastActivity = 0;
    uint32_t requestStart = 0;  // when the pending request was dispatched
    // When the running request last moved forward: a final line, or a line
    // its handler counted (MarkProgress). Waits inside handlers end when no
    // progress came for their line time-out, whatever other lines arrive.
    uint32_t lastProgress = 0;
    bool inDispatch = false;  // a handler is running inside Dispatch
    std::vector<UnsolicitedListener> listeners;
    uint8_t portMask = 0;
    bool continuationPending = false;
    Transcript transcript;
    // wParam of the records a running request posts; kept when a switch-off
    // clears the pending request in the middle of it.
    int32_t replyCode = kNoRequest;

    // ---- primitives for request handlers ----

    // Writes a command (its terminator included) within 5000 ms; logged as
    // SEND. False for an empty command, a closed port or a write that did
    // not finish.
    [[nodiscard]] bool Send(std::string_view command);
    // "AT<keyword>\r" for a keyword code (ShortCommand); false when the code
    // has no command or the send fails.
    [[nodiscard]] bool SendShortCommand(int code);

    // Polling form: extract a line; if none, read once (waiting up to
    // readWaitMs for bytes) and extract again. A "SWITCHOFF" closes the
    // link, posts WM_LINK_LOST and clears the pending request; the line is
    // still returned.
    std::optional<std::string_view> PollLine(int readWaitMs = 0);
    // Waiting form: a line within timeoutMs, or none.
    std::optional<std::string_view> WaitLine(uint32_t timeoutMs);
    // A line and its keyword code within timeoutMs; none (and the port's
    // errors cleared) when no line came.
    std::optional<ClassifiedLine> WaitClassified(uint32_t timeoutMs = kLineTimeoutMs);
    // Lines until "OK" (true) or "ERROR"/"+CME" (false); no line in 10 s is
    // false.
    [[nodiscard]] bool WaitFinalResponse(uint32_t lineTimeoutMs = kLineTimeoutMs);
    // Polls until a line equal to expected arrives (true) or timeoutMs
    // passes (false); other lines are dropped.
    [[nodiscard]] bool WaitExactLine(std::string_view expected, uint32_t timeoutMs);
    // After "AT*CONNECT\r": the phone's answer.
    [[nodiscard]] ProbeResult ConnectProbe();
    // Runs the steps in order; false at the first that fails.
    [[nodiscard]] bool RunSteps(std::span<const CommandStep> steps);

    // Result records to the result target, wParam replyCode.
    void PostText(int32_t status, int32_t code, std::string_view text);
    void PostProgress(int32_t status, int32_t code, int32_t current, int32_t total);
    // A record to any window; freed here when the window is gone.
    static void PostTextTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, std::string_view text);
    static void PostProgressTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, int32_t current,
                               int32_t total);
    void PostLinkLost();

    // Closes the port and marks the link closed; with notify, also posts
    // WM_LINK_LOST and clears the pending request.
    void CloseLink(bool notify);
    // Back to idle: not pending, no current request.
    void ClearPending();
    // The running request moved forward (see lastProgress).
    void MarkProgress();

    // Registers or updates a listener; false when the prefix is too long.
    bool RegisterListener(const UnsolicitedListener& listener);
    void RemoveListener(std::string_view prefix);

    // The keep-alive run on each WM_TIMER.
    void KeepAlive();

    // Message handling of the main loop, public for the dispatch tests.
    void Dispatch(int32_t code, LinkRequest* request);
    void RouteToPending(const std::optional<std::string_view>& line);

private:
    // Debug builds check that only the thread that made the object uses it.
    [[nodiscard]] bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

    std::thread::id owner_ = std::this_thread::get_id();
    std::optional<std::string_view> Extract();
    bool OfferToListeners(std::string_view line);
    int ReadOnce(int waitMs);
    // Returns false on WM_QUIT.
    bool HandleMessage(const plat::Message& message);
    void WaitForWork(bool takeMessages, bool lineCame);
};

}  // namespace quorlink::link

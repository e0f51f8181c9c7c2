#include "quorlink/link/phone_link.h"

#include "quorlink/link/link_requests.h"
#include "quorlink/link/link_tables.h"
#include "platform/clock.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace quorlink::link {
namespace {

constexpr std::string_view kCmtPrefix = "+CMT:";

LinkResult* NewResult(int32_t status, int32_t code)
{
    auto* r = static_cast<LinkResult*>(std::calloc(1, sizeof(LinkResult)));
    if (r) {
        r->status = status;
        r->code = code;
    }
    return r;
}

void Deliver(uint32_t window, uint32_t wParam, LinkResult* r)
{
    if (!r)
        return;
    if (!plat::PostMessage(window, WM_LINK_RESULT, wParam, reinterpret_cast<intptr_t>(r)))
        std::free(r);  // the window is gone; the record is ours again
}

uint32_t Elapsed(uint32_t since)
{
    return plat::GetTickCount() - since;
}

// Frees the record of a thread message that will never be handled.
void DiscardMessage(const plat::Message& m)
{
    if (m.message == WM_LINK_REQUEST) {
        FreeLinkRequest(static_cast<int32_t>(m.wParam), reinterpret_cast<LinkRequest*>(m.lParam));
    } else if (m.message == WM_LINK_SET_TARGET && m.lParam) {
        std::free(plat::TakeBlock(static_cast<uint32_t>(m.lParam)));
    }
}

}  // namespace

StepVerdict WaitForOk(int, std::string_view line)
{
    const auto final = ClassifyFinal(line);
    if (!final)
        return StepVerdict::Continue;
    return final->ok() ? StepVerdict::Done : StepVerdict::Failed;
}

PhoneLink::PhoneLink(LinkTarget target, std::unique_ptr<LinkPort> linkPort, const std::string& transcriptPath)
    : port(std::move(linkPort)), resultTarget(target), lostTarget(target)
{
    if (!transcriptPath.empty())
        transcript.Open(transcriptPath);
}

PhoneLink::~PhoneLink()
{
    if (port)
        port->Close();
}

// ---------------------------------------------------------------- sending

bool PhoneLink::Send(std::string_view command)
{
    assert(OnOwnerThread());
    if (command.empty())
        return false;
    // A new command starts a new exchange: its answer gets a full time-out.
    MarkProgress();
    transcript.Sent(command);
    if (!port || !port->IsOpen())
        return false;
    return port->Write(std::span(reinterpret_cast<const uint8_t*>(command.data()), command.size()), kSendLimitMs);
}

bool PhoneLink::SendShortCommand(int code)
{
    const auto command = ShortCommand(code);
    return command && Send(*command);
}

// -------------------------------------------------------- receiving lines

int PhoneLink::ReadOnce(int waitMs)
{
    assert(OnOwnerThread());
    auto room = receive.WritableSpan();
    if (!port || room.empty())
        return 0;
    if (!port->IsOpen()) {
        if (waitMs > 0)
            plat::Sleep(static_cast<uint32_t>(waitMs));
        return 0;
    }
    const int n = port->Read(room, waitMs);
    if (n <= 0)
        return 0;
    receive.Commit(static_cast<size_t>(n));
    return n;
}

bool PhoneLink::OfferToListeners(std::string_view line)
{
    for (const auto& l : listeners) {
        const std::string_view prefix(l.prefix);
        if (!continuationPending && line.substr(0, prefix.size()) != prefix)
            continue;
        PostTextTo(l.window, l.messageCode, LINK_INTERMEDIATE, 0, line);
        if (continuationPending) {
            PostTextTo(l.window, l.messageCode, LINK_SUCCEEDED, 0, {});
            continuationPending = false;
        } else if (l.wantsNextLine && prefix == kCmtPrefix) {
            continuationPending = true;
        }
        return true;
    }
    return false;
}

std::optional<std::string_view> PhoneLink::Extract()
{
    for (;;) {
        const auto e = receive.Next();
        switch (e.kind) {
        case LineAssembler::Kind::None: return std::nullopt;
        case LineAssembler::Kind::SwitchOff: transcript.Received(e.text); return e.text;
        case LineAssembler::Kind::Prompt:
            transcript.Received(e.text);
            if (OfferToListeners(e.text))
                return std::nullopt;
            return e.text;
        case LineAssembler::Kind::Line:
            transcript.Received(e.text);
            if (e.text == "RING" || e.text == "NO CARRIER")
                continue;
            if (OfferToListeners(e.text))
                continue;
            return e.text;
        }
    }
}

std::optional<std::string_view> PhoneLink::PollLine(int readWaitMs)
{
    auto line = Extract();
    if (!line && ReadOnce(readWaitMs) > 0)
        line = Extract();
    if (line && *line == "SWITCHOFF") {
        // A request waiting in the main loop for its lines would get no
        // record at all: fail it before the link goes. (A handler running
        // inside the dispatch posts its own.)
        if (requestPending && !inDispatch) {
            replyCode = currentRequest;
            PostText(LINK_FAILED, LINK_ERR_SEND, {});
        }
        CloseLink(true);
    }
    return line;
}

std::optional<std::string_view> PhoneLink::WaitLine(uint32_t timeoutMs)
{
    const uint32_t start = plat::GetTickCount();
    if (auto line = Extract())
        return line;
    for (;;) {
        const uint32_t elapsed = Elapsed(start);
        const int left = elapsed >= timeoutMs ? 1 : static_cast<int>(timeoutMs - elapsed);
        if (ReadOnce(left) > 0) {
            if (auto line = Extract())
                return line;
        } else if (Elapsed(start) >= timeoutMs) {
            return std::nullopt;
        }
    }
}

std::optional<ClassifiedLine> PhoneLink::WaitClassified(uint32_t timeoutMs)
{
    const auto line = WaitLine(timeoutMs);
    if (!line) {
        if (port)
            port->ClearErrors();
        return std::nullopt;
    }
    return ClassifiedLine{ClassifyLine(*line), *line, ClassifyFinal(*line)};
}

bool PhoneLink::WaitFinalResponse(uint32_t lineTimeoutMs)
{
    // Lines that are not final do not extend the wait.
    const uint32_t start = plat::GetTickCount();
    for (;;) {
        const uint32_t elapsed = Elapsed(start);
        if (elapsed >= lineTimeoutMs)
            return false;
        const auto c = WaitClassified(lineTimeoutMs - elapsed);
        if (!c)
            return false;
        if (c->final)
            return c->final->ok();
    }
}

bool PhoneLink::WaitExactLine(std::string_view expected, uint32_t timeoutMs)
{
    const uint32_t start = plat::GetTickCount();
    for (;;) {
        const uint32_t elapsed = Elapsed(start);
        const int left = elapsed >= timeoutMs ? 1 : static_cast<int>(timeoutMs - elapsed);
        const auto line = PollLine(left);
        if (line && *line == expected)
            return true;
        if (Elapsed(start) > timeoutMs)
            return false;
    }
}

ProbeResult PhoneLink::ConnectProbe()
{
    const uint32_t start = plat::GetTickCount();
    for (;;) {
        const auto c = WaitClassified(kLineTimeoutMs);
        if (!c)
            return ProbeResult::Failure;
        if (c->final)
            return c->final->ok() ? ProbeResult::Success : ProbeResult::Failure;
        if (c->code == kRespSwitchOff)
            return ProbeResult::SwitchedOff;
        // The echo of the probe is expected; anything else for 5 s means the
        // port has something other than a phone of ours on it.
        if (c->line.substr(0, 10) != "AT*CONNECT" && Elapsed(start) > 4999)
            return ProbeResult::Failure;
    }
}

bool PhoneLink::RunSteps(std::span<const CommandStep> steps)
{
    for (const auto& step : steps) {
        if (!Send(step.command))
            return false;
        // A step's answer must end within its time-out: lines that do not
        // end it (unsolicited ones) do not extend the wait.
        const uint32_t start = plat::GetTickCount();
        for (bool done = false; !done;) {
            const uint32_t elapsed = Elapsed(start);
            if (elapsed >= step.lineTimeoutMs)
                return false;
            const auto c = WaitClassified(step.lineTimeoutMs - elapsed);
            if (!c)
                return false;
            switch (step.onLine(c->code, c->line)) {
            case StepVerdict::Continue: break;
            case StepVerdict::Done: done = true; break;
            case StepVerdict::Failed: return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------- posting

void PhoneLink::PostTextTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, std::string_view text)
{
    LinkResult* r = NewResult(status, code);
    if (!r)
        return;
    const size_t n = std::min(text.size(), kLinkResultTextSize - 1);
    if (n > 0)
        std::memcpy(r->text, text.data(), n);
    r->text[n] = 0;
    Deliver(window, wParam, r);
}

void PhoneLink::PostProgressTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, int32_t current,
                               int32_t total)
{
    LinkResult* r = NewResult(status, code);
    if (!r)
        return;
    r->progress.current = current;
    r->progress.total = total;
    Deliver(window, wParam, r);
}

void PhoneLink::PostText(int32_t status, int32_t code, std::string_view text)
{
    PostTextTo(resultTarget.window, static_cast<uint32_t>(replyCode), status, code, text);
}

void PhoneLink::PostProgress(int32_t status, int32_t code, int32_t current, int32_t total)
{
    PostProgressTo(resultTarget.window, static_cast<uint32_t>(replyCode), status, code, current, total);
}

void PhoneLink::PostLinkLost()
{
    plat::PostMessage(lostTarget.window, WM_LINK_LOST, 0, 0);
}

// ------------------------------------------------------------------ state

void PhoneLink::CloseLink(bool notify)
{
    if (port)
        port->Close();
    linkState = kLinkClosed;
    if (notify) {
        PostLinkLost();
        ClearPending();
    }
}

void PhoneLink::MarkProgress()
{
    lastProgress = plat::GetTickCount();
}

void PhoneLink::ClearPending()
{
    requestPending = false;
    currentRequest = kNoRequest;
}

bool PhoneLink::RegisterListener(const UnsolicitedListener& listener)
{
    const std::string_view prefix(listener.prefix, strnlen(listener.prefix, sizeof listener.prefix));
    for (auto& l : listeners) {
        if (std::string_view(l.prefix) == prefix) {
            l.guiThreadId = listener.guiThreadId;
            l.window = listener.window;
            l.messageCode = listener.messageCode;
            l.wantsNextLine = listener.wantsNextLine;
            return true;
        }
    }
    if (prefix.size() > kMaxListenerPrefix)
        return false;
    UnsolicitedListener added = listener;
    added.prefix[kMaxListenerPrefix] = 0;
    listeners.push_back(added);
    return true;
}

void PhoneLink::RemoveListener(std::string_view prefix)
{
    const auto it = std::find_if(listeners.begin(), listeners.end(),
                                 [&](const UnsolicitedListener& l) { return std::string_view(l.prefix) == prefix; });
    if (it != listeners.end())
        listeners.erase(it);
}

void PhoneLink::KeepAlive()
{
    if (linkState == kLinkClosed)
        return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (port)
            port->ClearErrors();
        (void)SendShortCommand(kRespConnect);
        switch (ConnectProbe()) {
        case ProbeResult::Success: return;
        case ProbeResult::SwitchedOff: CloseLink(true); return;
        case ProbeResult::Failure: break;
        }
    }
    PostLinkLost();
    CloseLink(false);
}

// -------------------------------------------------------------- main loop

bool PhoneLink::HandleMessage(const plat::Message& m)
{
    switch (m.message) {
    case plat::WM_QUIT: return false;
    case WM_LINK_SET_TARGET:
        if (void* block = plat::TakeBlock(static_cast<uint32_t>(m.lParam))) {
            std::memcpy(&resultTarget, block, sizeof resultTarget);
            std::free(block);
        }
        return true;
    case plat::WM_TIMER:
        KeepAlive();
        // The flash bridge's periodic check goes here once the bridge exists.
        return true;
    case WM_LINK_REQUEST:
        Dispatch(static_cast<int32_t>(m.wParam), reinterpret_cast<LinkRequest*>(m.lParam));
        return true;
    default: return true;
    }
}

void PhoneLink::WaitForWork(bool takeMessages, bool lineCame)
{
    // Lines already assembled, or a line just routed: look again at once.
    if (lineCame)
        return;
    int64_t limit = -1;
    if (requestPending) {
        const uint32_t elapsed = Elapsed(lastActivity);
        limit = elapsed > responseTimeoutMs ? 0 : static_cast<int64_t>(responseTimeoutMs - elapsed) + 1;
        const uint32_t total = Elapsed(requestStart);
        const uint32_t cap = kPendingLimitFactor * responseTimeoutMs;
        limit = std::min<int64_t>(limit, total > cap ? 0 : static_cast<int64_t>(cap - total) + 1);
    }
    const int fd = port ? port->WaitFd() : -1;
    if (takeMessages) {
        plat::WaitForMessageOrFd(fd, POLLIN, static_cast<int>(limit));
        return;
    }
    // A pending request leaves the queue alone: wait for the port or for
    // the request's time-out only.
    if (limit == 0)
        return;
    if (fd >= 0) {
        pollfd pfd{fd, POLLIN, 0};
        ::poll(&pfd, 1, plat::RealTimeoutMs(limit));
    } else {
        plat::Sleep(static_cast<uint32_t>(limit));
    }
}

int PhoneLink::Run()
{
    assert(OnOwnerThread());
    if (resultTarget.guiThreadId == 0 || resultTarget.window == 0) {
        plat::CloseThreadQueue(DiscardMessage);
        return 0;
    }
    plat::SetThreadTimer(kKeepAliveTimerId, kKeepAliveMs);
    for (;;) {
        const auto line = PollLine();
        const bool lineCame = line.has_value();
        if (line)
            RouteToPending(line);
        if (requestPending) {
            if (Elapsed(lastActivity) > responseTimeoutMs ||
                Elapsed(requestStart) > kPendingLimitFactor * responseTimeoutMs) {
                RouteToPending(std::nullopt);
            } else if (!acceptWhileBusy) {
                WaitForWork(false, lineCame);
                continue;
            }
        }
        if (const auto m = plat::PeekMessage()) {
            if (!HandleMessage(*m))
                break;
            continue;
        }
        WaitForWork(true, lineCame);
    }
    if (port)
        port->Close();
    plat::KillThreadTimer(kKeepAliveTimerId);
    transcript.Close();
    listeners.clear();
    plat::CloseThreadQueue(DiscardMessage);
    return 0;
}

}  // namespace quorlink::link

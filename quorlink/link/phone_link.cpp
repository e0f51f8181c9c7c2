#include "quorlink/link/phone_link.h"

#include "quorlink/bridge/bridge_requests.h"
#include "quorlink/link/link_records.h"
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

PhoneLink::PhoneLink(LinkTarget target, std::unique_ptr<LinkPort> linkPort, const std::string& transcriptPath)
    : port_(std::move(linkPort)), resultTarget_(target), lostTarget_(target)
{
    if (!transcriptPath.empty())
        transcript_.Open(transcriptPath);
}

PhoneLink::~PhoneLink()
{
    if (port_)
        port_->Close();
}

// ---------------------------------------------------------------- sending

bool PhoneLink::Send(std::string_view command)
{
    assert(OnOwnerThread());
    if (command.empty())
        return false;
    // A new command starts a new exchange: its answer gets a full time-out.
    MarkProgress();
    transcript_.Sent(command);
    if (!port_ || !port_->IsOpen())
        return false;
    return port_->Write(std::span(reinterpret_cast<const uint8_t*>(command.data()), command.size()), kSendLimitMs);
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
    auto room = receive_.WritableSpan();
    if (!port_ || room.empty())
        return 0;
    if (!port_->IsOpen()) {
        if (waitMs > 0)
            plat::Sleep(static_cast<uint32_t>(waitMs));
        return 0;
    }
    const int n = port_->Read(room, waitMs);
    if (n <= 0)
        return 0;
    receive_.Commit(static_cast<size_t>(n));
    return n;
}

std::optional<std::string_view> PhoneLink::Extract()
{
    for (;;) {
        const auto e = receive_.Next();
        switch (e.kind) {
        case LineAssembler::Kind::None: return std::nullopt;
        case LineAssembler::Kind::SwitchOff: transcript_.Received(e.text); return e.text;
        case LineAssembler::Kind::Prompt:
            transcript_.Received(e.text);
            if (listeners_.Offer(e.text))
                return std::nullopt;
            return e.text;
        case LineAssembler::Kind::Line:
            transcript_.Received(e.text);
            if (e.text == "RING" || e.text == "NO CARRIER")
                continue;
            if (listeners_.Offer(e.text))
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
        if (requestPending_ && !inDispatch_) {
            replyCode_ = currentRequest_;
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
        if (port_)
            port_->ClearErrors();
        return std::nullopt;
    }
    return ClassifiedLine{ClassifyLine(*line), *line, ClassifyFinal(*line)};
}

std::optional<ClassifiedLine> PhoneLink::WaitForProgress(uint32_t timeoutMs)
{
    if (!port_ || !port_->IsOpen())
        return std::nullopt;
    // The wait ends when the request has made no progress for timeoutMs,
    // however many other lines (unsolicited reports, noise) arrive.
    const uint32_t idle = Elapsed(lastProgress_);
    if (idle >= timeoutMs)
        return std::nullopt;
    auto c = WaitClassified(timeoutMs - idle);
    if (c && c->code == kRespSwitchOff) {
        CloseLink(true);
        return std::nullopt;
    }
    if (c && c->final)
        MarkProgress();
    return c;
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

void PhoneLink::PostText(int32_t status, int32_t code, std::string_view text)
{
    PostTextTo(resultTarget_.window, static_cast<uint32_t>(replyCode_), status, code, text);
}

void PhoneLink::PostProgress(int32_t status, int32_t code, int32_t current, int32_t total)
{
    PostProgressTo(resultTarget_.window, static_cast<uint32_t>(replyCode_), status, code, current, total);
}

void PhoneLink::PostLinkLost()
{
    plat::PostMessage(lostTarget_.window, WM_LINK_LOST, 0, 0);
}

// ------------------------------------------------------------------ state

void PhoneLink::CloseLink(bool notify)
{
    if (port_)
        port_->Close();
    linkState_ = kLinkClosed;
    if (notify) {
        PostLinkLost();
        ClearPending();
    }
}

void PhoneLink::MarkProgress()
{
    lastProgress_ = plat::GetTickCount();
}

void PhoneLink::FlashBridgeWatchdog()
{
    if (flashBridge_ && flashBridge_->watchdog())
        CloseLink(true);
}

void PhoneLink::ClearPending()
{
    requestPending_ = false;
    currentRequest_ = kNoRequest;
}

void PhoneLink::KeepAlive()
{
    if (linkState_ == kLinkClosed)
        return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (port_)
            port_->ClearErrors();
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

void PhoneLink::Dispatch(int32_t code, LinkRequest* raw)
{
    // The record and the block it owns are freed when the request has run.
    const auto free = [code](LinkRequest* r) { FreeLinkRequest(code, r); };
    std::unique_ptr<LinkRequest, decltype(free)> request(raw, free);
    // A request still pending is replaced; it gets no record.
    ClearPending();
    if (!request)
        return;
    resultTarget_ = {request->guiThreadId, request->window};
    requestPending_ = true;
    currentRequest_ = code;
    replyCode_ = code;
    responseTimeoutMs_ = code == REQ_LONG_COMMAND ? kLongResponseTimeoutMs : kResponseTimeoutMs;
    lastActivity_ = plat::GetTickCount();
    requestStart_ = lastActivity_;
    lastProgress_ = lastActivity_;

    inDispatch_ = true;
    const Disposition d = HandlerFor(code)(context_, code, *request);
    inDispatch_ = false;
    if (d == Disposition::Completed)
        ClearPending();
}

void PhoneLink::RouteToPending(const std::optional<std::string_view>& line)
{
    if (!requestPending_)
        return;
    replyCode_ = currentRequest_;
    ResponseHandlerFor(currentRequest_)(context_, line);
}

bool PhoneLink::HandleMessage(const plat::Message& m)
{
    switch (m.message) {
    case plat::WM_QUIT: return false;
    case WM_LINK_SET_TARGET:
        if (void* block = plat::TakeBlock(static_cast<uint32_t>(m.lParam))) {
            std::memcpy(&resultTarget_, block, sizeof resultTarget_);
            std::free(block);
        }
        return true;
    case plat::WM_TIMER:
        KeepAlive();
        FlashBridgeWatchdog();
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
    if (requestPending_) {
        const uint32_t elapsed = Elapsed(lastActivity_);
        limit = elapsed > responseTimeoutMs_ ? 0 : static_cast<int64_t>(responseTimeoutMs_ - elapsed) + 1;
        const uint32_t total = Elapsed(requestStart_);
        const uint32_t cap = kPendingLimitFactor * responseTimeoutMs_;
        limit = std::min<int64_t>(limit, total > cap ? 0 : static_cast<int64_t>(cap - total) + 1);
    }
    const int fd = port_ ? port_->WaitFd() : -1;
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
    if (resultTarget_.guiThreadId == 0 || resultTarget_.window == 0) {
        plat::CloseThreadQueue(DiscardMessage);
        return 0;
    }
    plat::SetThreadTimer(kKeepAliveTimerId, kKeepAliveMs);
    for (;;) {
        const auto line = PollLine();
        const bool lineCame = line.has_value();
        if (line)
            RouteToPending(line);
        if (requestPending_) {
            if (Elapsed(lastActivity_) > responseTimeoutMs_ ||
                Elapsed(requestStart_) > kPendingLimitFactor * responseTimeoutMs_) {
                RouteToPending(std::nullopt);
            } else if (!acceptWhileBusy_) {
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
    if (flashBridge_)
        flashBridge_->workerExit();
    if (port_)
        port_->Close();
    plat::KillThreadTimer(kKeepAliveTimerId);
    transcript_.Close();
    listeners_.Clear();
    plat::CloseThreadQueue(DiscardMessage);
    return 0;
}

// ------------------------------------------------------ handler context

StepVerdict WaitForOk(int, std::string_view line)
{
    const auto final = ClassifyFinal(line);
    if (!final)
        return StepVerdict::Continue;
    return final->ok() ? StepVerdict::Done : StepVerdict::Failed;
}

bool RequestContext::Send(std::string_view command)
{
    return link_.Send(command);
}

bool RequestContext::SendShortCommand(int code)
{
    return link_.SendShortCommand(code);
}

std::optional<ClassifiedLine> RequestContext::WaitLine(uint32_t timeoutMs)
{
    return link_.WaitForProgress(timeoutMs);
}

bool RequestContext::WaitFinal(uint32_t timeoutMs)
{
    for (;;) {
        const auto c = link_.WaitForProgress(timeoutMs);
        if (!c)
            return false;
        if (c->final)
            return c->final->ok();
    }
}

void RequestContext::MarkProgress()
{
    link_.MarkProgress();
}

bool RequestContext::RunSteps(std::span<const CommandStep> steps)
{
    return link_.RunSteps(steps);
}

void RequestContext::PostText(int32_t status, int32_t code, std::string_view text)
{
    link_.PostText(status, code, text);
}

void RequestContext::PostProgress(int32_t status, int32_t code, int32_t current, int32_t total)
{
    link_.PostProgress(status, code, current, total);
}

bool RequestContext::LinkAlive() const
{
    return link_.linkState_ == PhoneLink::kLinkOpen || (link_.port_ && link_.port_->IsOpen());
}

void RequestContext::DropLink()
{
    link_.CloseLink(true);
}

void RequestContext::PostProgressUnder(int32_t requestCode, int32_t status, int32_t code, int32_t current,
                                       int32_t total)
{
    PostProgressTo(link_.resultTarget_.window, static_cast<uint32_t>(requestCode), status, code, current, total);
}

bridge::BridgeRequests& RequestContext::FlashBridge()
{
    if (!link_.flashBridge_)
        link_.flashBridge_ = std::make_unique<bridge::BridgeRequests>();
    return *link_.flashBridge_;
}

ListenerRegistry& RequestContext::Listeners()
{
    return link_.listeners_;
}

void RequestContext::RestartResponseTimer()
{
    link_.lastActivity_ = plat::GetTickCount();
}

void RequestContext::FinishRequest()
{
    link_.ClearPending();
}

void RequestContext::SetAcceptWhileBusy(bool accept)
{
    link_.acceptWhileBusy_ = accept;
}

bool LinkConnection::Open(int comNumber)
{
    return link_.port_ && link_.port_->Open(comNumber);
}

bool LinkConnection::CanOpen(int comNumber)
{
    return link_.port_ && link_.port_->CanOpen(comNumber);
}

void LinkConnection::ClosePort()
{
    if (link_.port_)
        link_.port_->Close();
}

void LinkConnection::ClearErrors()
{
    if (link_.port_)
        link_.port_->ClearErrors();
}

void LinkConnection::DiscardInput()
{
    if (link_.port_)
        link_.port_->PurgeBoth();
    link_.receive_.Clear();
}

void LinkConnection::ClearReceived()
{
    link_.receive_.Clear();
}

bool LinkConnection::IsUp() const
{
    return link_.linkState_ == PhoneLink::kLinkOpen;
}

void LinkConnection::SetUp(bool up)
{
    link_.linkState_ = up ? PhoneLink::kLinkOpen : PhoneLink::kLinkClosed;
}

int LinkConnection::RememberedPort() const
{
    return link_.rememberedPort_;
}

void LinkConnection::Remember(int comNumber)
{
    link_.rememberedPort_ = comNumber;
}

ProbeResult LinkConnection::AwaitProbeAnswer()
{
    return link_.ConnectProbe();
}

bool LinkConnection::WaitExactLine(std::string_view expected, uint32_t timeoutMs)
{
    return link_.WaitExactLine(expected, timeoutMs);
}

}  // namespace quorlink::link

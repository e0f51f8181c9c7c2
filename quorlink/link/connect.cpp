// Finding the phone, connecting and initialising it, and letting it go:
// requests 89, 204, 221 and 222.

#include "quorlink/link/link_requests.h"
#include "quorlink/link/link_tables.h"
#include "platform/clock.h"

namespace quorlink::link {
namespace {

constexpr int kPortCount = 8;
constexpr int kScanAttempts = 2;
constexpr uint32_t kScanAttemptDelayMs = 500;
constexpr uint32_t kSettleMs = 1000;
constexpr uint32_t kEchoOffTimeoutMs = 6000;
constexpr int32_t kReconnectTotal = 24;
constexpr std::string_view kCancelPrompt = "\x1b";

// New messages go to the PC at once ("+CMT" line, then the PDU line).
constexpr CommandStep kInitialisation[] = {
    {"AT+CMGF=0\r", RequestContext::kLineTimeoutMs, &WaitForOk},
    {"AT+CSMP=,,,8\r", RequestContext::kLineTimeoutMs, &WaitForOk},
    {"AT+CSCS=\"GSM\"\r", RequestContext::kLineTimeoutMs, &WaitForOk},
    {"AT+CSDH=1\r", RequestContext::kLineTimeoutMs, &WaitForOk},
    {"AT+CNMI=2,2,0,0\r", RequestContext::kLineTimeoutMs, &WaitForOk},
};

bool Answered(ProbeResult r)
{
    return r == ProbeResult::Success || r == ProbeResult::SwitchedOff;
}

// A connection probe. ESC first: a phone left at its "> " prompt (by a
// client that died or never cancelled it) takes everything else as message
// text and would never answer; ESC closes the prompt, and a phone in
// command state ignores it.
ProbeResult Probe(RequestContext& ctx)
{
    (void)ctx.Send(kCancelPrompt);
    (void)ctx.SendShortCommand(kRespConnect);
    return ctx.Connection().AwaitProbeAnswer();
}

// The phone answered on the open port: settle, echo off, initialise.
// Posts the failure record itself; true when the link is up.
bool FinishConnection(RequestContext& ctx, ProbeResult answer)
{
    LinkConnection& connection = ctx.Connection();
    plat::Sleep(kSettleMs);
    connection.DiscardInput();
    const bool ok = ctx.Send("ATE0\r") && connection.WaitExactLine("OK", kEchoOffTimeoutMs) && InitialisePhone(ctx);
    if (!ok) {
        connection.ClosePort();
        connection.SetUp(false);
        // A "SWITCHOFF" that answered the probe explains the silence after it.
        ctx.PostText(LINK_FAILED, answer == ProbeResult::SwitchedOff ? LINK_ERR_SWITCHED_OFF : 0, {});
        return false;
    }
    connection.ClearReceived();
    connection.SetUp(true);
    return true;
}

}  // namespace

bool InitialisePhone(RequestContext& ctx)
{
    return ctx.RunSteps(kInitialisation);
}

Disposition RunDisconnect(RequestContext& ctx, int32_t, LinkRequest&)
{
    ctx.DropLink();
    return Disposition::Completed;
}

Disposition RunScanAndConnect(RequestContext& ctx, int32_t, LinkRequest&)
{
    LinkConnection& connection = ctx.Connection();
    ProbeResult answer = ProbeResult::Failure;
    bool answered = false;
    uint8_t portMask = 0;  // the ports that opened
    connection.Remember(LinkConnection::kNoRememberedPort);
    for (int n = 1; n <= kPortCount && !answered; ++n) {
        if (!connection.Open(n)) {
            ctx.PostProgress(LINK_INTERMEDIATE, 0, n, kPortCount);
            continue;
        }
        portMask = static_cast<uint8_t>(portMask | (1u << (n - 1)));
        for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
            plat::Sleep(kScanAttemptDelayMs);
            answer = Probe(ctx);
            if (Answered(answer)) {
                connection.Remember(n);
                answered = true;
                ctx.PostProgress(LINK_INTERMEDIATE, 0, kPortCount, kPortCount);
                break;
            }
            ctx.PostProgress(LINK_INTERMEDIATE, 0, n, kPortCount);
            connection.ClearErrors();
        }
        if (!answered)
            connection.ClosePort();
    }
    if (!answered) {
        ctx.PostProgress(LINK_SUCCEEDED, 0, 0, portMask);
        return Disposition::Completed;
    }
    if (FinishConnection(ctx, answer))
        ctx.PostProgress(LINK_SUCCEEDED, 0, 1, portMask);
    return Disposition::Completed;
}

Disposition RunReconnect(RequestContext& ctx, int32_t, LinkRequest&)
{
    LinkConnection& connection = ctx.Connection();
    const auto fail = [&] {
        ctx.PostProgress(LINK_FAILED, 0, 0, kReconnectTotal);
        return Disposition::Completed;
    };
    if (connection.IsUp()) {
        connection.ClosePort();
        connection.SetUp(false);
    }
    ProbeResult answer = ProbeResult::Failure;
    const int remembered = connection.RememberedPort();
    if (remembered >= 1 && remembered < kPortCount) {
        if (!connection.Open(remembered))
            return fail();
        answer = Probe(ctx);
        if (!Answered(answer)) {
            ctx.PostProgress(LINK_INTERMEDIATE, 0, 3 * remembered, kReconnectTotal);
            connection.ClearErrors();
            connection.ClosePort();
            return fail();
        }
    } else {
        bool found = false;
        for (int n = 1; n <= kPortCount && !found; ++n) {
            if (!connection.Open(n))
                continue;
            for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
                answer = Probe(ctx);
                if (Answered(answer)) {
                    found = true;
                    connection.Remember(n);
                    break;
                }
                ctx.PostProgress(LINK_INTERMEDIATE, 0, 3 * n + attempt, kReconnectTotal);
            }
            if (!found)
                connection.ClosePort();
        }
        if (!found)
            return fail();
    }
    ctx.PostProgress(LINK_INTERMEDIATE, 0, kReconnectTotal, kReconnectTotal);
    if (FinishConnection(ctx, answer))
        ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunListPorts(RequestContext& ctx, int32_t, LinkRequest&)
{
    // Each port is opened on its own handle and closed again; the link's
    // open port is left alone (and counts as in use).
    int32_t mask = 0;
    for (int n = 1; n <= kPortCount; ++n) {
        if (ctx.Connection().CanOpen(n))
            mask |= 1 << n;
    }
    ctx.PostProgress(LINK_INTERMEDIATE, 0, mask, 0);
    ctx.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

}  // namespace quorlink::link

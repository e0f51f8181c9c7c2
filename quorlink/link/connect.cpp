// Finding the phone, connecting and initialising it, and letting it go:
// requests 89, 204, 221 and 222.

#include "quorlink/link/link_requests.h"
#include "quorlink/link/link_tables.h"
#include "quorlink/link/phone_link.h"
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
    {"AT+CMGF=0\r", PhoneLink::kLineTimeoutMs, &WaitForOk},
    {"AT+CSMP=,,,8\r", PhoneLink::kLineTimeoutMs, &WaitForOk},
    {"AT+CSCS=\"GSM\"\r", PhoneLink::kLineTimeoutMs, &WaitForOk},
    {"AT+CSDH=1\r", PhoneLink::kLineTimeoutMs, &WaitForOk},
    {"AT+CNMI=2,2,0,0\r", PhoneLink::kLineTimeoutMs, &WaitForOk},
};

bool Answered(ProbeResult r)
{
    return r == ProbeResult::Success || r == ProbeResult::SwitchedOff;
}

// A connection probe. ESC first: a phone left at its "> " prompt (by a
// client that died or never cancelled it) takes everything else as message
// text and would never answer; ESC closes the prompt, and a phone in
// command state ignores it.
ProbeResult Probe(PhoneLink& link)
{
    (void)link.Send(kCancelPrompt);
    (void)link.SendShortCommand(kRespConnect);
    return link.ConnectProbe();
}

// The phone answered on the open port: settle, echo off, initialise.
// Posts the failure record itself; true when the link is up.
bool FinishConnection(PhoneLink& link, ProbeResult answer)
{
    plat::Sleep(kSettleMs);
    link.port->PurgeBoth();
    link.receive.Clear();
    const bool ok = link.Send("ATE0\r") && link.WaitExactLine("OK", kEchoOffTimeoutMs) && InitialisePhone(link);
    if (!ok) {
        link.port->Close();
        link.linkState = PhoneLink::kLinkClosed;
        // A "SWITCHOFF" that answered the probe explains the silence after it.
        link.PostText(LINK_FAILED, answer == ProbeResult::SwitchedOff ? LINK_ERR_SWITCHED_OFF : 0, {});
        return false;
    }
    link.receive.Clear();
    link.linkState = PhoneLink::kLinkOpen;
    return true;
}

}  // namespace

bool InitialisePhone(PhoneLink& link)
{
    return link.RunSteps(kInitialisation);
}

Disposition RunDisconnect(PhoneLink& link, int32_t, LinkRequest&)
{
    link.port->Close();
    link.linkState = PhoneLink::kLinkClosed;
    link.PostLinkLost();
    return Disposition::Completed;
}

Disposition RunScanAndConnect(PhoneLink& link, int32_t, LinkRequest&)
{
    ProbeResult answer = ProbeResult::Failure;
    link.rememberedPort = PhoneLink::kNoRememberedPort;
    link.answered = false;
    link.portMask = 0;
    for (int n = 1; n <= kPortCount && !link.answered; ++n) {
        if (!link.port->Open(n)) {
            link.PostProgress(LINK_INTERMEDIATE, 0, n, kPortCount);
            continue;
        }
        link.portMask = static_cast<uint8_t>(link.portMask | (1u << (n - 1)));
        for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
            plat::Sleep(kScanAttemptDelayMs);
            answer = Probe(link);
            if (Answered(answer)) {
                link.rememberedPort = n;
                link.answered = true;
                link.PostProgress(LINK_INTERMEDIATE, 0, kPortCount, kPortCount);
                break;
            }
            link.PostProgress(LINK_INTERMEDIATE, 0, n, kPortCount);
            link.port->ClearErrors();
        }
        if (!link.answered)
            link.port->Close();
    }
    if (!link.answered) {
        link.PostProgress(LINK_SUCCEEDED, 0, 0, link.portMask);
        return Disposition::Completed;
    }
    if (FinishConnection(link, answer))
        link.PostProgress(LINK_SUCCEEDED, 0, 1, link.portMask);
    return Disposition::Completed;
}

Disposition RunReconnect(PhoneLink& link, int32_t, LinkRequest&)
{
    const auto fail = [&] {
        link.PostProgress(LINK_FAILED, 0, 0, kReconnectTotal);
        return Disposition::Completed;
    };
    if (link.linkState == PhoneLink::kLinkOpen) {
        link.port->Close();
        link.linkState = PhoneLink::kLinkClosed;
    }
    ProbeResult answer = ProbeResult::Failure;
    const int remembered = link.rememberedPort;
    if (remembered >= 1 && remembered < kPortCount) {
        if (!link.port->Open(remembered))
            return fail();
        answer = Probe(link);
        if (!Answered(answer)) {
            link.PostProgress(LINK_INTERMEDIATE, 0, 3 * remembered, kReconnectTotal);
            link.port->ClearErrors();
            link.port->Close();
            return fail();
        }
    } else {
        bool found = false;
        for (int n = 1; n <= kPortCount && !found; ++n) {
            if (!link.port->Open(n))
                continue;
            for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
                answer = Probe(link);
                if (Answered(answer)) {
                    found = true;
                    link.rememberedPort = n;
                    break;
                }
                link.PostProgress(LINK_INTERMEDIATE, 0, 3 * n + attempt, kReconnectTotal);
            }
            if (!found)
                link.port->Close();
        }
        if (!found)
            return fail();
    }
    link.PostProgress(LINK_INTERMEDIATE, 0, kReconnectTotal, kReconnectTotal);
    if (FinishConnection(link, answer))
        link.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

Disposition RunListPorts(PhoneLink& link, int32_t, LinkRequest&)
{
    // Each port is opened on its own handle and closed again; the link's
    // open port is left alone (and counts as in use).
    int32_t mask = 0;
    for (int n = 1; n <= kPortCount; ++n) {
        if (link.port->CanOpen(n))
            mask |= 1 << n;
    }
    link.PostProgress(LINK_INTERMEDIATE, 0, mask, 0);
    link.PostText(LINK_SUCCEEDED, 0, {});
    return Disposition::Completed;
}

}  // namespace quorlink::link

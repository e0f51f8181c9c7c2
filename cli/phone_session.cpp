#include "cli/phone_session.h"

#include "platform/messages.h"
#include "platform/serial_port.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace telvane::cli {

PhoneSession::PhoneSession()
{
    window_ = plat::RegisterWindow([this](const plat::Message& m) { Deliver(m); });
    worker_.reset(StartCommThread(plat::CurrentThreadId(), window_));
}

PhoneSession::~PhoneSession()
{
    if (worker_) {
        if (connected_)
            Disconnect();
        plat::PostThreadMessage(worker_->threadId(), plat::WM_QUIT, 0, 0);
        worker_->WaitForEnd(30000);
        worker_.reset();
    }
    plat::UnregisterWindow(window_);
}

void PhoneSession::Deliver(const plat::Message& m)
{
    Record r;
    r.message = m.message;
    r.wParam = static_cast<uint32_t>(m.wParam);
    if (m.message == WM_LINK_RESULT) {
        auto* result = reinterpret_cast<LinkResult*>(m.lParam);
        r.status = result->status;
        r.code = result->code;
        r.text.assign(result->text, strnlen(result->text, sizeof result->text));
        r.current = result->progress.current;
        r.total = result->progress.total;
        std::free(result);
    }
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(r));
    arrived_.notify_one();
}

std::optional<Record> PhoneSession::Next(int limitMs)
{
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return !queue_.empty(); };
    if (limitMs < 0)
        arrived_.wait(lock, ready);
    else if (!arrived_.wait_for(lock, std::chrono::milliseconds(limitMs), ready))
        return std::nullopt;
    Record r = std::move(queue_.front());
    queue_.pop_front();
    return r;
}

Outcome PhoneSession::Run(int32_t code, const std::string& text, uint32_t argument, const RecordFn& onRecord,
                          int idleLimitMs)
{
    Outcome outcome;
    auto* request = static_cast<LinkRequest*>(std::calloc(1, sizeof(LinkRequest)));
    if (!request || !worker_) {
        std::free(request);
        std::free(plat::TakeBlock(argument));
        return outcome;
    }
    request->guiThreadId = plat::CurrentThreadId();
    request->window = window_;
    request->argument = argument;
    std::memcpy(request->text, text.data(), std::min(text.size(), sizeof request->text - 1));
    if (!plat::PostThreadMessage(worker_->threadId(), WM_LINK_REQUEST, static_cast<uintptr_t>(code),
                                 reinterpret_cast<intptr_t>(request))) {
        std::free(request);
        std::free(plat::TakeBlock(argument));
        return outcome;
    }
    for (;;) {
        const auto r = Next(idleLimitMs);
        if (!r)
            return outcome;
        if (r->message == WM_LINK_LOST) {
            connected_ = false;
            outcome.linkLost = true;
            if (onRecord)
                onRecord(*r);
            // A request still running gets its final record after the
            // notice (a switch-off in the middle of a transfer); one that
            // the closure ended gets none, so do not wait long for it.
            idleLimitMs = idleLimitMs < 0 ? 2000 : std::min(idleLimitMs, 2000);
            continue;
        }
        if (r->wParam != static_cast<uint32_t>(code)) {
            if (onRecord)
                onRecord(*r);
            continue;
        }
        if (r->status == LINK_INTERMEDIATE) {
            if (onRecord)
                onRecord(*r);
            continue;
        }
        outcome.finished = true;
        outcome.final = *r;
        return outcome;
    }
}

std::string PhoneSession::Connect()
{
    if (!worker_)
        return "cannot start the phone link";
    const Outcome o = Run(REQ_SCAN_AND_CONNECT, "");
    if (!o.finished)
        return "the phone link did not answer";
    const Record& r = o.final;
    if (r.status == LINK_SUCCEEDED && r.current == 1) {
        connected_ = true;
        // The scan stops at the answering port: it is the highest port
        // that opened.
        for (int n = 8; n >= 1; --n)
            if (r.total & (1 << (n - 1))) {
                port_ = n;
                break;
            }
        return {};
    }
    if (r.status == LINK_SUCCEEDED) {
        if (r.total == 0) {
            const std::string permission = PortPermissionProblem();
            return permission.empty() ? "no cable found" : permission;
        }
        return "no phone answered on COM1..COM8";
    }
    return "the phone answered but did not accept its setup commands";
}

void PhoneSession::Disconnect()
{
    if (!worker_)
        return;
    auto* request = static_cast<LinkRequest*>(std::calloc(1, sizeof(LinkRequest)));
    if (!request)
        return;
    request->guiThreadId = plat::CurrentThreadId();
    request->window = window_;
    if (!plat::PostThreadMessage(worker_->threadId(), WM_LINK_REQUEST, REQ_DISCONNECT,
                                 reinterpret_cast<intptr_t>(request)))
        std::free(request);
    connected_ = false;
    // Request 89 posts no result, only the link-lost notice.
    for (auto r = Next(5000); r; r = Next(5000))
        if (r->message == WM_LINK_LOST)
            break;
}

std::string PortPermissionProblem()
{
    for (int n = 1; n <= 8; ++n) {
        const std::string path = plat::ResolvePortName(n);
        struct stat st { };
        if (path.empty() || ::stat(path.c_str(), &st) != 0)
            continue;
        plat::SerialPort port;
        const plat::SerialStatus status = port.Open(n);
        if (status.error == plat::SerialError::PermissionDenied)
            return status.message;
    }
    return {};
}

}  // namespace telvane::cli

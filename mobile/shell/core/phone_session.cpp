#include "mobile/shell/core/phone_session.h"

#include "mobile/shell/core/batch_loop.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

namespace shell {

namespace {

constexpr int kPortCount = 8;
constexpr uint32_t kDisconnectWaitMs = 5000;

// The scan stops at the port that answered, so it is the highest port
// that opened.
int AnsweringPort(uint8_t openablePorts)
{
    for (int n = kPortCount; n >= 1; --n)
        if (openablePorts & (1u << (n - 1)))
            return n;
    return 0;
}

}  // namespace

PhoneSession::PhoneSession(PhoneSessionOptions options) : opt_(std::move(options)), thread_(plat::CurrentThreadId())
{
    const plat::ThreadId self = thread_;
    // The worker posts from its own thread: hand everything over to this
    // thread's queue, where runBatch and nextRecord take it.
    window_ = plat::RegisterWindow([self](const plat::Message& m) {
        if (!plat::PostThreadMessage(self, m.message, m.wParam, m.lParam) && m.message == WM_LINK_RESULT)
            std::free(reinterpret_cast<void*>(m.lParam));
    });
    worker_ = opt_.startWorker ? opt_.startWorker(thread_, window_) : StartLinkWorker(thread_, window_);
}

PhoneSession::~PhoneSession()
{
    if (worker_) {
        if (state_.phoneMode)
            disconnect();
        StopLinkThread(worker_);
    }
    plat::UnregisterWindow(window_);
    // Records still queued for this thread are ours to free.
    while (const auto m = plat::PeekMessage()) {
        if (m->message == WM_LINK_RESULT || IsBatchRecordMessage(m->message))
            std::free(reinterpret_cast<void*>(m->lParam));
    }
}

void PhoneSession::handleMessage(const plat::Message& m)
{
    if (m.message == WM_LINK_LOST) {
        state_.phoneMode = false;
        state_.mp3Mode = false;
        linkLost_ = true;
        records_.push_back({WM_LINK_LOST, 0, 0, 0, {}});
        return;
    }
    if (IsBatchRecordMessage(m.message)) {
        std::free(reinterpret_cast<void*>(m.lParam));  // a finished batch's late record
        return;
    }
    if (m.message != WM_LINK_RESULT)
        return;
    ResultPtr record(reinterpret_cast<LinkResult*>(m.lParam));
    // The closing MASKCALL of each batch answers to this window.
    if (!record || m.wParam == static_cast<uintptr_t>(REQ_COMMAND))
        return;
    SessionRecord r;
    r.message = WM_LINK_RESULT;
    r.code = static_cast<uint32_t>(m.wParam);
    r.status = record->status;
    r.resultCode = record->code;
    if (record->status != LINK_INTERMEDIATE || record->text[0] != 0)
        r.text.assign(record->text, strnlen(record->text, sizeof record->text));
    records_.push_back(std::move(r));
}

int PhoneSession::runBatch(BatchPlan plan)
{
    lastFailure_ = {};
    if (!worker_)
        return kBatchCancel;
    ThreadBatchOptions o;
    o.worker = worker_->threadId();
    o.mainWindow = window_;
    o.phoneMode = state_.phoneMode;
    o.text = opt_.text;
    o.onStatus = opt_.onStatus;
    o.onProgress = opt_.onProgress;
    o.onOtherMessage = [this](const plat::Message& m) { handleMessage(m); };
    BatchEffects effects = std::move(plan.effects);
    if (opt_.onRecord) {
        effects.onRecord = [own = std::move(effects.onRecord), all = opt_.onRecord](int32_t kind, const LinkResult& r) {
            if (own)
                own(kind, r);
            all(kind, r);
        };
    }
    ThreadBatchRunner runner(std::move(o), std::move(effects));
    TransferBatch& batch = runner.batch();
    batch.setBatch(std::move(plan.steps));
    batch.setStepCount(plan.stepCount);
    batch.setShowCancelOnHandshake(plan.showCancelOnHandshake);
    if (plan.titleId != 0)
        batch.setTitle(plan.titleId);
    const int result = runner.run();
    lastFailure_ = batch.failure();
    return result;
}

std::optional<ConnectError> PhoneSession::connect()
{
    if (!worker_)
        return ConnectError{ConnectFailure::NoWorker, {}};
    bool scanEnded = false;
    const int result = runBatch(ScanPlan(thread_, 0, [&](bool answered, uint8_t ports) {
        scanEnded = true;
        state_.phoneAnswered = answered;
        state_.openablePorts = ports;
    }));
    if (result == kBatchOk && scanEnded && state_.phoneAnswered) {
        state_.phoneMode = true;
        linkLost_ = false;
        port_ = AnsweringPort(state_.openablePorts);
        return std::nullopt;
    }
    if (result == kBatchOk && scanEnded) {
        if (state_.openablePorts != 0)
            return ConnectError{ConnectFailure::NoPhone, {}};
        std::string permission = PortPermissionProblem();
        if (permission.empty())
            return ConnectError{ConnectFailure::NoPort, {}};
        return ConnectError{ConnectFailure::PortPermission, std::move(permission)};
    }
    if (lastFailure_.kind == REQ_SCAN_AND_CONNECT)
        return ConnectError{lastFailure_.code == LINK_ERR_SWITCHED_OFF ? ConnectFailure::SwitchedOff
                                                                       : ConnectFailure::SetupRefused,
                            {}};
    return ConnectError{ConnectFailure::NoAnswerFromLink, {}};
}

std::optional<ConnectError> PhoneSession::connectMp3(int port)
{
    if (!worker_)
        return ConnectError{ConnectFailure::NoWorker, {}};
    bool scanEnded = false;
    const auto runScan = [&] {
        scanEnded = false;
        return runBatch(ScanPlan(thread_, port, [&](bool answered, uint8_t ports) {
            scanEnded = true;
            state_.phoneAnswered = answered;
            state_.openablePorts = ports;
        }));
    };
    int scan = runScan();
    // The "SWITCHOFF" a phone sends as it is switched off, left unread on
    // the line, answers the first probe. The phone is off, as MP3 mode
    // wants: look again on the line that is quiet now.
    if (scan != kBatchOk && lastFailure_.code == LINK_ERR_SWITCHED_OFF)
        scan = runScan();
    if (scan != kBatchOk || !scanEnded)
        return ConnectError{ConnectFailure::NoAnswerFromLink, {}};
    if (state_.phoneAnswered) {
        // The scan connected it in phone mode: end that before reporting.
        state_.phoneMode = true;
        return ConnectError{ConnectFailure::PhoneAnswered, {}};
    }
    if (state_.openablePorts == 0) {
        std::string permission = PortPermissionProblem();
        if (permission.empty())
            return ConnectError{ConnectFailure::NoPort, {}};
        return ConnectError{ConnectFailure::PortPermission, std::move(permission)};
    }
    if (port == 0)
        for (int n = 1; n <= kPortCount && port == 0; ++n)
            if (state_.openablePorts & (1u << (n - 1)))
                port = n;
    if (runBatch(Mp3HandshakePlan(thread_, port)) != kBatchOk)
        return ConnectError{ConnectFailure::Mp3HandshakeFailed, {}};
    state_.mp3Mode = true;
    linkLost_ = false;
    port_ = port;
    return std::nullopt;
}

std::optional<SessionRecord> PhoneSession::nextRecord(int limitMs)
{
    const uint32_t start = plat::GetTickCount();
    for (;;) {
        while (records_.empty()) {
            const auto m = plat::PeekMessage();
            if (!m)
                break;
            handleMessage(*m);
        }
        if (!records_.empty()) {
            SessionRecord r = std::move(records_.front());
            records_.pop_front();
            return r;
        }
        int wait = -1;
        if (limitMs >= 0) {
            const uint32_t elapsed = plat::GetTickCount() - start;
            if (elapsed >= static_cast<uint32_t>(limitMs))
                return std::nullopt;
            wait = limitMs - static_cast<int>(elapsed);
        }
        (void)plat::WaitForMessageOrFd(-1, 0, wait);
    }
}

bool PhoneSession::registerListener(std::string_view prefix, uint32_t messageCode, bool wantsNextLine)
{
    if (!worker_)
        return false;
    const uint32_t block = NewListenerBlock(messageCode, wantsNextLine);
    if (block == 0 ||
        !PostRequest(worker_->threadId(), REQ_REGISTER_LISTENER, NewRequest(thread_, prefix, block), window_))
        return false;
    // Its one record comes to this window; records of other listeners
    // that arrive first are kept for nextRecord.
    std::deque<SessionRecord> others;
    bool confirmed = false;
    for (;;) {
        auto r = nextRecord(kDisconnectWaitMs);
        if (!r)
            break;
        if (r->message == WM_LINK_RESULT && r->code == static_cast<uint32_t>(REQ_REGISTER_LISTENER)) {
            confirmed = r->status == LINK_SUCCEEDED;
            break;
        }
        others.push_back(std::move(*r));
    }
    records_.insert(records_.begin(), others.begin(), others.end());
    return confirmed;
}

void PhoneSession::disconnect()
{
    if (!worker_ || !state_.phoneMode)
        return;
    state_.phoneMode = false;
    if (!PostRequest(worker_->threadId(), REQ_DISCONNECT, NewRequest(thread_), window_))
        return;
    // Request 89 posts no result, only the link-lost notice.
    const uint32_t start = plat::GetTickCount();
    for (;;) {
        const uint32_t elapsed = plat::GetTickCount() - start;
        if (elapsed >= kDisconnectWaitMs)
            return;
        const auto r = nextRecord(static_cast<int>(kDisconnectWaitMs - elapsed));
        if (!r || r->message == WM_LINK_LOST)
            return;
    }
}

std::string PortPermissionProblem()
{
    for (int n = 1; n <= kPortCount; ++n) {
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

}  // namespace shell

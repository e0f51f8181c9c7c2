#pragma once
// A connection to the phone without a window: the command line, scripts
// and tests drive the phone through it exactly as the desktop program
// does. It starts the phone-link worker (StartLinkWorker), connects with
// the program's port-scan batch (ScanPlan), runs every flow's BatchPlan as
// a transfer batch on the calling thread (ThreadBatchRunner, with the
// MASKCALL bracket once connected), and at the end disconnects (request 89)
// and stops the worker.
//
// Usage (from a command of the `telvane` program):
//
//     shell::PhoneSession session({.onRecord = [&](int32_t kind, const LinkResult& r) { bar.update(r); }});
//     if (const auto failure = session.connect())
//         return Fail(io, MyText(*failure));          // no phone, permission, ...
//     BatchPlan plan = myarea::ReadPlan(store);        // or any steps of your own
//     if (session.runBatch(std::move(plan)) != shell::kBatchOk)
//         return Fail(io, MyText(session.lastFailure()));
//     // session destroyed: disconnect, worker stopped
//
// Records that reach the session's window outside a batch's own requests
// (listeners registered with request 210, the link-lost notice) are kept
// in arrival order and taken with nextRecord(); `telvane watch` reads
// incoming messages that way.
//
// Thread affinity: the thread that made the session; records come back to
// it through its own message queue, nothing is shared with the worker.

#include "mobile/shell/core/batch_runner.h"
#include "mobile/shell/core/connection.h"
#include "mobile/shell/core/link_thread.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace shell {

// Why connect() did not connect.
enum class ConnectFailure {
    NoWorker,  // the phone-link worker could not be started
    NoAnswerFromLink,  // the scan ended without its final record
    NoPort,  // no serial port could be opened
    PortPermission,  // a port exists but this user may not open it (detail: the system's message)
    NoPhone,  // ports opened, no phone answered the probe
    SetupRefused,  // a phone answered but did not accept its setup commands
    SwitchedOff,  // the phone said it is switched off
    PhoneAnswered,  // MP3 mode: a phone answered in phone mode (it must be switched off)
    Mp3HandshakeFailed,  // MP3 mode: the loader could not be started or the index read
};

struct ConnectError {
    ConnectFailure failure;
    std::string detail;
};

// One record that reached the session's window: a listener's line, or the
// link-lost notice (message WM_LINK_LOST).
struct SessionRecord {
    uint32_t message = 0;  // WM_LINK_RESULT or WM_LINK_LOST
    uint32_t code = 0;  // wParam: the listener's message code
    int32_t status = 0;
    int32_t resultCode = 0;
    std::string text;
};

struct PhoneSessionOptions {
    std::function<std::string(int)> text;  // string resources (status lines); ids as text when unset
    std::function<void(const std::string&)> onStatus;
    std::function<void(int position, const std::string& percent)> onProgress;
    // Every record of a batch's own requests, before the batch acts on it:
    // progress counts, reply lines.
    std::function<void(int32_t kind, const LinkResult&)> onRecord;
    // Starts the worker; the quorlink worker when unset (tests pass a fake).
    std::function<std::unique_ptr<LinkThread>(plat::ThreadId, plat::WindowHandle)> startWorker;
};

class PhoneSession final : public BatchRunner {
public:
    explicit PhoneSession(PhoneSessionOptions options = {});
    ~PhoneSession() override;  // disconnects when connected, stops the worker
    PhoneSession(const PhoneSession&) = delete;
    PhoneSession& operator=(const PhoneSession&) = delete;

    // Scans COM1..COM8 and connects in phone mode; nothing on success.
    [[nodiscard]] std::optional<ConnectError> connect();
    // MP3 mode on serial port n (0: the first port that opens): the scan
    // must find no phone answering, then the flash bridge boots the phone
    // into its loader and reads the MP3 index into the program directory.
    // The worker switches the phone off when the session ends.
    [[nodiscard]] std::optional<ConnectError> connectMp3(int port);
    // Runs a plan to its end (kBatchOk or kBatchCancel); bracketed by
    // MASKCALL while connected. Plans run one after the other.
    int runBatch(BatchPlan plan) override;
    // The final record that failed the last batch (kind 0 when the batch
    // ended without one, e.g. a callback step stopped it).
    [[nodiscard]] const BatchFailure& lastFailure() const { return lastFailure_; }
    // True when the link-lost notice came since the session was connected.
    [[nodiscard]] bool linkLost() const { return linkLost_; }

    // The next record of the session's window (listeners, link lost),
    // waiting up to limitMs of program time (-1: no limit).
    [[nodiscard]] std::optional<SessionRecord> nextRecord(int limitMs);

    // Request 210: lines beginning with prefix come to window() as records
    // with messageCode (and, for "+CMT:", the line after it); false when
    // the worker did not confirm.
    [[nodiscard]] bool registerListener(std::string_view prefix, uint32_t messageCode, bool wantsNextLine);

    // Request 89 and its link-lost notice.
    void disconnect();

    [[nodiscard]] bool started() const { return worker_ != nullptr; }
    [[nodiscard]] const ConnectionState& state() const { return state_; }
    [[nodiscard]] plat::ThreadId workerThread() const { return worker_ ? worker_->threadId() : 0; }
    [[nodiscard]] plat::ThreadId thread() const { return thread_; }
    // Reply window for requests whose records the caller reads with
    // nextRecord (request 210's listeners).
    [[nodiscard]] plat::WindowHandle window() const { return window_; }
    // The COM number of the connected phone (0 before).
    [[nodiscard]] int port() const { return port_; }

private:
    void handleMessage(const plat::Message& m);

    PhoneSessionOptions opt_;
    plat::ThreadId thread_;
    plat::WindowHandle window_ = 0;
    std::unique_ptr<LinkThread> worker_;
    ConnectionState state_;
    BatchFailure lastFailure_;
    std::deque<SessionRecord> records_;
    bool linkLost_ = false;
    int port_ = 0;
};

// Why no COM port could be opened, when one of them exists and refuses this
// user (the serial layer's message naming the device and the dialout
// group); empty otherwise.
[[nodiscard]] std::string PortPermissionProblem();

}  // namespace shell

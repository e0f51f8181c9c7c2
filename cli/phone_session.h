#pragma once
// The command line's side of the phone-link worker: it starts the worker
// as the GUI does (StartCommThread with a window of its own), connects
// with the port scan (request 222), runs requests one at a time and reads
// their records, and disconnects (request 89) and stops the worker at the
// end.
//
// A PhoneSession belongs to the thread that made it; records arrive on the
// worker's thread and are handed over through a locked queue.

#include "quorlink/link/comm_thread.h"
#include "quorlink/link/link_protocol.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace telvane::cli {

// One record the worker posted to the session's window.
struct Record {
    uint32_t message = 0;  // WM_LINK_RESULT or WM_LINK_LOST
    uint32_t wParam = 0;
    int32_t status = 0;
    int32_t code = 0;
    std::string text;
    int32_t current = 0;
    int32_t total = 0;
};

// How a request ended.
struct Outcome {
    bool finished = false;  // a final record came (else: link lost or the wait ran out)
    bool linkLost = false;
    Record final;
};

class PhoneSession {
public:
    PhoneSession();
    ~PhoneSession();  // disconnects when connected, stops the worker
    PhoneSession(const PhoneSession&) = delete;
    PhoneSession& operator=(const PhoneSession&) = delete;

    [[nodiscard]] bool started() const { return worker_ != nullptr; }
    [[nodiscard]] uint32_t window() const { return window_; }

    // Scans COM1..COM8 and connects. Empty on success, else the one-line
    // reason for the user.
    [[nodiscard]] std::string Connect();
    // The COM number of the connected phone (0 before).
    [[nodiscard]] int port() const { return port_; }

    // Posts a request and hands every record for it (and every record for
    // `alsoCode`, such as a listener's) to onRecord until its final record.
    // A link-lost notice ends the wait too. idleLimitMs bounds the silence
    // between two records (-1: none).
    using RecordFn = std::function<void(const Record&)>;
    Outcome Run(int32_t code, const std::string& text, uint32_t argument = 0, const RecordFn& onRecord = {},
                int idleLimitMs = 120000);
    // Waits for the next record of any kind, up to limitMs (-1: no limit).
    std::optional<Record> Next(int limitMs);

    // Request 89: close the port (no record comes back).
    void Disconnect();

private:
    void Deliver(const plat::Message& m);

    uint32_t window_ = 0;
    quorlink::link::CommThreadPtr worker_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Record> queue_;
    bool connected_ = false;
    int port_ = 0;
};

// Why no COM port could be opened, when one of them exists and refuses the
// user (the serial layer's message naming the device and the dialout
// group); empty otherwise.
[[nodiscard]] std::string PortPermissionProblem();

}  // namespace telvane::cli

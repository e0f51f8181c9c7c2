#pragma once
// A stand-in for the phone-link worker: a thread with its own queue that
// answers WM_LINK_REQUEST through the same protocol (malloc'ed LinkResult
// records posted to the request's reply window), following a script.

#include "mobile/shell/core/link_thread.h"
#include "quorlink/link/link_protocol.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace shelltest {

struct Reply {
    int32_t status;
    int32_t code = 0;
    std::string text;  // text layout when progress is false
    bool progress = false;
    int32_t current = 0;
    int32_t total = 0;

    static Reply Text(int32_t status, std::string text, int32_t code = 0) { return {status, code, std::move(text)}; }
    static Reply Progress(int32_t status, int32_t current, int32_t total)
    {
        return {status, 0, {}, true, current, total};
    }
};

struct SeenRequest {
    int32_t code;
    std::string text;
    uint32_t argument;
    uint32_t window;
    std::string first, second;  // transfer block of 200/201
};

class FakeWorker final : public shell::LinkThread {
public:
    using Script = std::function<std::vector<Reply>(const SeenRequest&)>;
    // lostTarget: window that gets WM_LINK_LOST on request 89 (0: none).
    explicit FakeWorker(Script script, plat::WindowHandle lostTarget = 0);
    ~FakeWorker() override;

    [[nodiscard]] plat::ThreadId threadId() const override { return id_.load(); }
    [[nodiscard]] bool isRunning() const override { return running_.load(); }

    [[nodiscard]] std::vector<SeenRequest> seen() const;
    [[nodiscard]] std::vector<int32_t> seenCodes() const;
    // Lets the worker handle everything posted so far, then ends it.
    void stop();
    // Posts WM_LINK_LOST to the lost target from the worker thread.
    void loseLink();

private:
    void run();

    Script script_;
    plat::WindowHandle lostTarget_;
    std::atomic<plat::ThreadId> id_{0};
    std::atomic<bool> running_{true};
    mutable std::mutex mutex_;
    std::vector<SeenRequest> seen_;
    std::thread thread_;
};

constexpr uint32_t WM_FAKE_LOSE_LINK = plat::WM_USER + 0x300;

}  // namespace shelltest

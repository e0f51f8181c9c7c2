#pragma once
// Starting and stopping the phone-link worker thread.
//
// StartCommThread() starts the worker and returns its thread object. The
// caller posts requests to threadId(), asks it to stop with WM_QUIT, waits
// with WaitForEnd(), and deletes the object with DeleteCommThread() - in
// C++ simply by holding it in a CommThreadPtr:
//
//     CommThreadPtr worker(StartCommThread(plat::CurrentThreadId(), window));
//     ...
//     plat::PostThreadMessage(worker->threadId(), plat::WM_QUIT, 0, 0);
//     worker->WaitForEnd(5000);
//     // worker deleted at end of scope
//
// Deleting a worker that still runs posts WM_QUIT to it and waits for it.
// The object's functions may be called from any thread.

#include "quorlink/link/link_port.h"
#include "quorlink/link/link_protocol.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quorlink::link {

class CommThread {
public:
    // Starts a worker on the given port (tests pass a fake); the transcript
    // goes to transcriptPath (empty: none). Returns once the worker's queue
    // exists, so posts to threadId() are never refused before it ends.
    static std::unique_ptr<CommThread> Start(LinkTarget target, std::unique_ptr<LinkPort> port,
                                             std::string transcriptPath);
    ~CommThread();
    CommThread(const CommThread&) = delete;
    CommThread& operator=(const CommThread&) = delete;

    [[nodiscard]] plat::ThreadId threadId() const { return threadId_; }
    [[nodiscard]] bool isRunning() const;
    // Waits up to limitMs of program time; true when the thread has ended.
    bool WaitForEnd(uint32_t limitMs);
    [[nodiscard]] int exitCode() const;

private:
    CommThread() = default;

    plat::ThreadId threadId_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool running_ = true;
    int exitCode_ = 0;
    std::thread thread_;
};

}  // namespace quorlink::link

extern "C" {
// Starts the worker for the GUI thread guiThreadId and its window (results
// and the link-lost notice go there); the transcript is "log.txt" in the
// program directory. Null only when no thread could be started.
__attribute__((visibility("default"))) quorlink::link::CommThread* StartCommThread(uint32_t guiThreadId,
                                                                                   uint32_t window);
// Deletes a thread object returned by StartCommThread (null is fine).
__attribute__((visibility("default"))) void DeleteCommThread(quorlink::link::CommThread* thread);
}

namespace quorlink::link {
struct CommThreadDeleter {
    void operator()(CommThread* thread) const { DeleteCommThread(thread); }
};
using CommThreadPtr = std::unique_ptr<CommThread, CommThreadDeleter>;
}  // namespace quorlink::link

#pragma once
// The thread the download engine runs on in the operator program. Jobs run
// one at a time, in the order posted; while one runs the GUI thread does not
// touch the download context (the choice controls are dimmed), and the
// engine reaches the windows only through queued calls (its display sink).
//
// Thread affinity: post() and the destructor on the GUI thread; jobs on the
// worker thread.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace brindelui {

class EngineWorker {
public:
    // `setUp` runs first on the worker thread (installs its display sink).
    explicit EngineWorker(std::function<void()> setUp);
    ~EngineWorker();  // finishes the running job, drops the others, joins
    EngineWorker(const EngineWorker&) = delete;
    EngineWorker& operator=(const EngineWorker&) = delete;

    void post(std::function<void()> job);

private:
    void Run(std::function<void()> setUp);

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace brindelui

#include "engine_worker.h"

namespace brindelui {

EngineWorker::EngineWorker(std::function<void()> setUp)
    : thread_([this, s = std::move(setUp)]() mutable { Run(std::move(s)); })
{
}

EngineWorker::~EngineWorker()
{
    {
        const std::lock_guard lock(lock_);
        stop_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void EngineWorker::post(std::function<void()> job)
{
    {
        const std::lock_guard lock(lock_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void EngineWorker::Run(std::function<void()> setUp)
{
    if (setUp)
        setUp();
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(lock_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace brindelui

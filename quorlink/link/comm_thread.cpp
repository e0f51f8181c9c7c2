#include "quorlink/link/comm_thread.h"

#include "quorlink/link/phone_link.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/program_dir.h"

#include <chrono>
#include <exception>
#include <future>

namespace quorlink::link {

std::unique_ptr<CommThread> CommThread::Start(LinkTarget target, std::unique_ptr<LinkPort> port,
                                              std::string transcriptPath)
{
    std::unique_ptr<CommThread> t(new CommThread());
    std::promise<plat::ThreadId> started;
    auto startedId = started.get_future();
    CommThread* self = t.get();
    self->thread_ = std::thread([self, target, started = std::move(started), port = std::move(port),
                                 path = std::move(transcriptPath)]() mutable {
        int code = 0;
        {
            started.set_value(plat::CurrentThreadId());
            PhoneLink link(target, std::move(port), path);
            code = link.Run();
        }
        std::lock_guard lock(self->mutex_);
        self->exitCode_ = code;
        self->running_ = false;
        self->ended_.notify_all();
    });
    t->threadId_ = startedId.get();
    return t;
}

CommThread::~CommThread()
{
    if (thread_.joinable()) {
        if (isRunning())
            plat::PostThreadMessage(threadId_, plat::WM_QUIT, 0, 0);
        thread_.join();
    }
}

bool CommThread::isRunning() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

int CommThread::exitCode() const
{
    std::lock_guard lock(mutex_);
    return exitCode_;
}

bool CommThread::WaitForEnd(uint32_t limitMs)
{
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, std::chrono::milliseconds(plat::RealTimeoutMs(limitMs)), [this] { return !running_; });
}

}  // namespace quorlink::link

extern "C" quorlink::link::CommThread* StartCommThread(uint32_t guiThreadId, uint32_t window)
{
    using namespace quorlink::link;
    try {
        return CommThread::Start(LinkTarget{guiThreadId, window}, std::make_unique<SerialLinkPort>(),
                                 plat::ProgramDirectory() + "log.txt")
            .release();
    } catch (const std::exception&) {
        return nullptr;  // no exception crosses the C interface
    }
}

extern "C" void DeleteCommThread(quorlink::link::CommThread* thread)
{
    std::unique_ptr<quorlink::link::CommThread> owned(thread);
}

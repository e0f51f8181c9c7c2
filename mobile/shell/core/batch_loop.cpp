#include "mobile/shell/core/batch_loop.h"

#include <cstdlib>
#include <memory>

namespace shell {

ThreadBatchRunner::ThreadBatchRunner(ThreadBatchOptions options, BatchEffects effects)
    : opt_(std::move(options)), thread_(plat::CurrentThreadId()), batch_(*this, std::move(effects))
{
    const plat::ThreadId self = thread_;
    // Each runner's records travel under an id of their own, so records that
    // arrive after a runner ended are never taken for the next runner's.
    auto id = std::make_shared<uint32_t>(0);
    window_ = plat::RegisterWindow([self, id](const plat::Message& m) {
        const uint32_t message = m.message == WM_LINK_RESULT ? *id : m.message;
        if (!plat::PostThreadMessage(self, message, m.wParam, m.lParam) && m.message == WM_LINK_RESULT)
            std::free(reinterpret_cast<void*>(m.lParam));
    });
    *id = BatchRecordMessage(window_);
    recordMessage_ = *id;
}

ThreadBatchRunner::~ThreadBatchRunner()
{
    plat::UnregisterWindow(window_);
}

int ThreadBatchRunner::run()
{
    batch_.start();
    while (!batch_.isFinished()) {
        (void)plat::WaitForMessageOrFd(-1, 0, -1);
        while (auto m = plat::PeekMessage()) {
            if (m->message == recordMessage_)
                batch_.onResult(int32_t(m->wParam), reinterpret_cast<LinkResult*>(m->lParam));
            else if (IsBatchRecordMessage(m->message))
                std::free(reinterpret_cast<void*>(m->lParam));  // a finished runner's late record
            else if (opt_.onOtherMessage)
                opt_.onOtherMessage(*m);
            if (batch_.isFinished())
                break;
        }
    }
    return batch_.result();
}

std::string ThreadBatchRunner::text(int id) const
{
    return opt_.text ? opt_.text(id) : std::to_string(id);
}

void ThreadBatchRunner::showStatus(const std::string& text)
{
    if (opt_.onStatus)
        opt_.onStatus(text);
}

void ThreadBatchRunner::showProgress(int position, const std::string& percent)
{
    if (opt_.onProgress)
        opt_.onProgress(position, percent);
}

void ThreadBatchRunner::showError(int stringId)
{
    if (opt_.onError)
        opt_.onError(stringId);
}

}  // namespace shell

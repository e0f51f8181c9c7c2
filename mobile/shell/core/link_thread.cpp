#include "mobile/shell/core/link_thread.h"

#include "platform/clock.h"

namespace shell {

void StopLinkThread(std::unique_ptr<LinkThread>& thread)
{
    if (!thread)
        return;
    (void)plat::PostThreadMessage(thread->threadId(), plat::WM_QUIT, 0, 0);
    while (thread->isRunning())
        plat::Sleep(1);
    thread.reset();
}

}  // namespace shell

#pragma once
// The program's handle on the phone-link worker thread.

#include "platform/messages.h"

#include <memory>

namespace shell {

class LinkThread {
public:
    virtual ~LinkThread() = default;
    [[nodiscard]] virtual plat::ThreadId threadId() const = 0;
    // True while the thread has not ended.
    [[nodiscard]] virtual bool isRunning() const = 0;
};

// Shutdown: posts WM_QUIT to the worker, waits (1 ms polls) until it has
// ended, then deletes the thread object. Nothing happens for a null thread.
void StopLinkThread(std::unique_ptr<LinkThread>& thread);

}  // namespace shell

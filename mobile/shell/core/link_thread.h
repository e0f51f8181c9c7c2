#pragma once
// The program's handle on the phone-link worker thread.

#include "platform/messages.h"

#include <memory>
#include <string>
#include <string_view>

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

// Starts the quorlink phone-link worker for this thread and window (results
// and the link-lost notice go there); null when no thread could be started.
[[nodiscard]] std::unique_ptr<LinkThread> StartLinkWorker(plat::ThreadId guiThread, plat::WindowHandle window);

// The phone's file-name form of a plain name (at most 49 characters of it).
[[nodiscard]] std::string PhoneFileName(std::string_view name);

}  // namespace shell

#pragma once
// Starting the phone-link worker of quorlink for the main window.

#include "mobile/shell/core/link_thread.h"

#include <memory>
#include <string>
#include <string_view>

namespace shellui {

// The worker for this GUI thread and window; null when this build has no
// phone link.
[[nodiscard]] std::unique_ptr<shell::LinkThread> StartLinkWorker(plat::ThreadId guiThread, plat::WindowHandle window);
// The phone's file-name form of a plain ASCII name.
[[nodiscard]] std::string PhoneFileName(std::string_view name);

}  // namespace shellui

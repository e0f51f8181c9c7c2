#pragma once
// What the screenshot scenes share.

#include "mobile/shell/ui/main_frame.h"

#include <memory>

namespace scene {

// Handles the window's events for ms of real time, so that pages draw and
// the emulated phone's answers arrive before a picture is taken.
void Settle(int ms);

// The main window with every page, shown on the pictures page and not
// connected; the link worker is quorlink's and the cable the default one.
[[nodiscard]] std::unique_ptr<shellui::CMainFrame> ShowFrame(shellui::FrameOptions options);

// The same window connected in phone mode to the emulated phone that runs.
[[nodiscard]] std::unique_ptr<shellui::CMainFrame> ConnectedFrame(shellui::FrameOptions options);

}  // namespace scene

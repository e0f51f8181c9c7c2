#pragma once
// What the screenshot scenes share.

namespace scene {

// Handles the window's events for ms of real time, so that pages draw and
// the emulated phone's answers arrive before a picture is taken.
void Settle(int ms);

}  // namespace scene

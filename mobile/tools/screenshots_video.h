#pragma once
// The video page's documentation screenshots (mobile_screenshots).

#include <QString>

// Renders "main_video<suffix>.png" into dir: page 5 against the emulated
// phone after a refresh, with a clip saved. False when a scene failed.
bool VideoScreenshots(const QString& dir, const QString& suffix);

#pragma once
// `telvane video list|save` (the phone's clips) and the offline
// `telvane mjp2avi`, on the media core's clip flows and converter.

#include "cli/cli.h"

#include <span>

namespace telvane::cli {

// The "video" group's table.
[[nodiscard]] std::span<const Command> VideoCommands();
// Top-level rows: the "video" group and "mjp2avi".
[[nodiscard]] std::span<const Command> VideoTopLevelCommands();

}  // namespace telvane::cli

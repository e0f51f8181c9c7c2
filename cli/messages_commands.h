#pragma once
// `telvane messages list|export|show`, `send` and `watch`.

#include "cli/cli.h"

#include <span>

namespace telvane::cli {

std::span<const Command> MessagesCommands();

}  // namespace telvane::cli

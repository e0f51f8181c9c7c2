#pragma once
// The backup commands of `telvane`: backup, restore, unpack, backup-info.

#include "cli/cli.h"

#include <span>

namespace telvane::cli {

std::span<const Command> BackupCommands();

}  // namespace telvane::cli

#pragma once
// `telvane phonebook list|export|import|add|edit|delete|usage`.

#include "cli/cli.h"

#include <span>

namespace telvane::cli {

std::span<const Command> PhonebookCommands();

}  // namespace telvane::cli

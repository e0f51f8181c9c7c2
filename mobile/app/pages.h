#pragma once
// The pages and area commands of the desktop program: one registration per
// page command, each made by its area's ui library.

#include "mobile/shell/ui/page.h"

#include <vector>

namespace app {

[[nodiscard]] std::vector<shellui::PageRegistration> AllPages();
[[nodiscard]] std::vector<shellui::CommandRegistration> AllCommands();

}  // namespace app

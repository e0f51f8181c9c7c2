#include "mobile/app/pages.h"

namespace app {

// Each area's ui library exports a factory for its page(s); a page listed
// here replaces the frame's placeholder pane for its command.
std::vector<shellui::PageRegistration> AllPages()
{
    return {};
}

std::vector<shellui::CommandRegistration> AllCommands()
{
    return {};
}

}  // namespace app

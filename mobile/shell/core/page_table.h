#pragma once
// The main frame's pages as one table: the toolbar command that shows a
// page, its page number, whether it fills one pane or two, the connected
// mode it works in, and the control-bar mode it starts with.
//
// Every page can be shown while nothing is connected. A page shown while
// the phone is connected in the other mode first ends that connection
// (the frame asks before it does).

#include <cstdint>
#include <span>

namespace shell {

enum class PageConnection { PhoneMode, Mp3Mode };

struct PageRow {
    int command;  // toolbar command (32772-32776, 32792)
    int page;  // 1 pictures, 2 ringtones (both forms), 3 phonebook, 4 messages, 5 video
    bool twoPanes;
    PageConnection works;
    uint32_t firstMode;  // control-bar mode of the page's first category
    // Put into slot (1043) and empty slot (1051) are checked by the frame:
    // they need the page's connected mode.
    bool slotCommands;
};

[[nodiscard]] std::span<const PageRow> PageRows();
// The row of a toolbar command; nullptr for any other command.
[[nodiscard]] const PageRow* FindPageRow(int command);

}  // namespace shell

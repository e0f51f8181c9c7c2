#include "mobile/shell/core/page_table.h"

#include "mobile/shell/core/connection.h"
#include "mobile/shell/core/control_modes.h"

namespace shell {

namespace {

constexpr PageRow kPages[] = {
    {kCmdPictures, 1, true, PageConnection::PhoneMode, kModePictureSlots, true},
    {kCmdRingtones, 2, true, PageConnection::PhoneMode, kModeSoundSlots, true},
    {kCmdMp3Ringtones, 2, true, PageConnection::Mp3Mode, kModeSoundSlots, true},
    {kCmdPhonebook, 3, false, PageConnection::PhoneMode, kModePhonebook, false},
    {kCmdMessages, 4, false, PageConnection::PhoneMode, kModeMessages, false},
    {kCmdVideo, 5, false, PageConnection::PhoneMode, kModeVideo, false},
};

}  // namespace

std::span<const PageRow> PageRows()
{
    return kPages;
}

const PageRow* FindPageRow(int command)
{
    for (const PageRow& row : kPages) {
        if (row.command == command)
            return &row;
    }
    return nullptr;
}

}  // namespace shell

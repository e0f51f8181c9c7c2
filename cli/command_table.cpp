// The top-level commands of `telvane`. Phone commands join this table as
// their capabilities arrive; the codec tools form a group of their own.
#include "cli/backup_commands.h"
#include "cli/cli.h"
#include "cli/messages_commands.h"
#include "cli/phone_commands.h"
#include "cli/phonebook_commands.h"
#include "cli/video_commands.h"

#include <vector>

namespace telvane::cli {

namespace {

const Command kTopLevel[] = {
    {"codec",
     "offline codec tools (PDUs, GBK, phone file names, pinyin order)",
     "SUBCOMMAND [ARGS...]",
     {},
     0,
     0,
     nullptr,
     CodecCommands()},
    {"phonebook",
     "the phone's phonebook: list, export, import, add, edit, delete, usage",
     "SUBCOMMAND [ARGS...]",
     {},
     0,
     0,
     nullptr,
     PhonebookCommands()},
};

// The phone commands first, then the groups.
const std::vector<Command>& AllTopLevel()
{
    static const std::vector<Command> all = [] {
        std::vector<Command> v(PhoneCommands().begin(), PhoneCommands().end());
        v.insert(v.end(), MessagesCommands().begin(), MessagesCommands().end());
        v.insert(v.end(), PicturesCommands().begin(), PicturesCommands().end());
        v.insert(v.end(), SoundCommands().begin(), SoundCommands().end());
        v.insert(v.end(), VideoTopLevelCommands().begin(), VideoTopLevelCommands().end());
        v.insert(v.end(), BackupCommands().begin(), BackupCommands().end());
        v.insert(v.end(), Mp3Commands().begin(), Mp3Commands().end());
        v.insert(v.end(), std::begin(kTopLevel), std::end(kTopLevel));
        return v;
    }();
    return all;
}

}  // namespace

std::span<const Command> TopLevelCommands()
{
    return AllTopLevel();
}

}  // namespace telvane::cli

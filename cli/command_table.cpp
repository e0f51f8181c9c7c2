// The top-level commands of `telvane`. Phone commands join this table as
// their capabilities arrive; the codec tools form a group of their own.
#include "cli/cli.h"

namespace telvane::cli {

namespace {

const Command kTopLevel[] = {
    {"codec", "offline codec tools (PDUs, GBK, phone file names, pinyin order)", "SUBCOMMAND [ARGS...]", {}, 0, 0,
     nullptr, CodecCommands()},
};

}  // namespace

std::span<const Command> TopLevelCommands() { return kTopLevel; }

}  // namespace telvane::cli

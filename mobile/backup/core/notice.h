#pragma once
// A message for the user from the backup core: a string id, its icon and
// the values of its %s / %d fields in order. The core never shows anything
// itself; the window puts a notice in a message box, the command line on
// stderr.

#include "mobile/shell/core/connection.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace backup {

struct Notice {
    Notice() = default;
    Notice(int stringId, shell::Icon kind, std::vector<std::string> values = {}, std::vector<int> more = {})
        : id(stringId), icon(kind), args(std::move(values)), moreIds(std::move(more))
    {
    }

    int id = 0;
    shell::Icon icon = shell::Icon::Error;
    std::vector<std::string> args;
    // Further strings, each on a line of its own, whose fields take the
    // arguments left over by the lines before.
    std::vector<int> moreIds;
};

// Replaces each %s, %d or %u of `pattern` with the next argument; "%%" is
// a percent sign. Fields without an argument are left out.
[[nodiscard]] std::string FormatText(std::string_view pattern, std::span<const std::string> args,
                                     size_t* used = nullptr);

// The notice in words, given the text of a string id.
template <typename TextFn>
[[nodiscard]] std::string NoticeText(const Notice& n, TextFn&& text)
{
    size_t used = 0;
    std::string s = FormatText(text(n.id), n.args, &used);
    for (const int id : n.moreIds) {
        size_t more = 0;
        s += "\n" + FormatText(text(id), std::span(n.args).subspan(used), &more);
        used += more;
    }
    return s;
}

}  // namespace backup

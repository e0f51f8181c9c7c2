#pragma once
// Shortening of progress status texts for the width of the progress window.

#include <string>
#include <string_view>

namespace shell {

// When the first ':' of the text lies beyond character 45, the part before
// it is cut so that the whole fits in 45 characters plus the joining space:
// "<head cut to 45 - len(tail)> <tail>", tail being ":" to the end. Other
// texts come back whole. Counts characters (UTF-8 code points), never
// splitting one.
[[nodiscard]] std::string ShortenStatusText(std::string_view utf8);

}  // namespace shell

#include "mobile/shell/core/status_text.h"

#include <vector>

namespace shell {

namespace {
constexpr size_t kLimit = 45;

// Byte offsets at which each code point starts (continuation bytes skipped).
[[nodiscard]] std::vector<size_t> CharStarts(std::string_view s)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    }
    return starts;
}
}  // namespace

std::string ShortenStatusText(std::string_view text)
{
    const size_t colonByte = text.find(':');
    if (colonByte == std::string_view::npos)
        return std::string(text);
    const std::vector<size_t> starts = CharStarts(text);
    size_t colon = 0;  // character index of the colon
    while (colon < starts.size() && starts[colon] != colonByte)
        ++colon;
    if (colon <= kLimit)
        return std::string(text);
    const size_t tailChars = starts.size() - colon;
    const size_t keep = tailChars >= kLimit ? 0 : kLimit - tailChars;
    std::string out(text.substr(0, starts[keep]));
    out += ' ';
    out += text.substr(colonByte);
    return out;
}

}  // namespace shell

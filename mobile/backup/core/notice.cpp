#include "mobile/backup/core/notice.h"

namespace backup {

std::string FormatText(std::string_view pattern, std::span<const std::string> args, size_t* used)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out += c;
            continue;
        }
        const char f = pattern[i + 1];
        if (f == '%') {
            out += '%';
            ++i;
        } else if (f == 's' || f == 'd' || f == 'u') {
            if (next < args.size())
                out += args[next++];
            ++i;
        } else {
            out += c;
        }
    }
    if (used)
        *used = next;
    return out;
}

}  // namespace backup

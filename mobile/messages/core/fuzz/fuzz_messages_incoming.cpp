// The incoming assembly fed arbitrary listener lines: each line of the
// input is a type 2 record, an empty line the end of an indication. Every
// completed message fits its record, and the unfinished ones stay bounded.
#include "mobile/messages/core/incoming.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    messages::IncomingAssembly a;
    std::string_view in(reinterpret_cast<const char*>(data), size);
    while (!in.empty()) {
        const size_t nl = in.find('\n');
        const std::string_view line = in.substr(0, nl);
        in = nl == std::string_view::npos ? std::string_view{} : in.substr(nl + 1);
        if (line.empty()) {
            for (const auto& r : a.end())
                if (messages::FieldText(r.text).size() >= sizeof r.text)
                    std::abort();
        } else {
            a.line(line);
        }
        if (a.pending() > messages::IncomingAssembly::kMaxPending)
            std::abort();
    }
    (void)a.flush();
    return 0;
}

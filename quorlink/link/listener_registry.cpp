#include "quorlink/link/listener_registry.h"

#include "quorlink/link/link_records.h"
#include "quorlink/link/link_protocol.h"

#include <algorithm>
#include <cstring>

namespace quorlink::link {
namespace {

constexpr std::string_view kCmtPrefix = "+CMT:";

}  // namespace

bool ListenerRegistry::Offer(std::string_view line)
{
    for (const auto& l : listeners_) {
        const std::string_view prefix(l.prefix);
        if (!continuationPending_ && line.substr(0, prefix.size()) != prefix)
            continue;
        PostTextTo(l.window, l.messageCode, LINK_INTERMEDIATE, 0, line);
        if (continuationPending_) {
            PostTextTo(l.window, l.messageCode, LINK_SUCCEEDED, 0, {});
            continuationPending_ = false;
        } else if (l.wantsNextLine && prefix == kCmtPrefix) {
            continuationPending_ = true;
        }
        return true;
    }
    return false;
}

bool ListenerRegistry::Register(const UnsolicitedListener& listener)
{
    const std::string_view prefix(listener.prefix, strnlen(listener.prefix, sizeof listener.prefix));
    for (auto& l : listeners_) {
        if (std::string_view(l.prefix) == prefix) {
            l.guiThreadId = listener.guiThreadId;
            l.window = listener.window;
            l.messageCode = listener.messageCode;
            l.wantsNextLine = listener.wantsNextLine;
            return true;
        }
    }
    if (prefix.size() > kMaxPrefix)
        return false;
    UnsolicitedListener added = listener;
    added.prefix[kMaxPrefix] = 0;
    listeners_.push_back(added);
    return true;
}

void ListenerRegistry::Remove(std::string_view prefix)
{
    const auto it = std::find_if(listeners_.begin(), listeners_.end(),
                                 [&](const UnsolicitedListener& l) { return std::string_view(l.prefix) == prefix; });
    if (it != listeners_.end())
        listeners_.erase(it);
}

void ListenerRegistry::Clear()
{
    listeners_.clear();
}

}  // namespace quorlink::link

#include "quorlink/link/link_records.h"

#include "quorlink/link/link_protocol.h"
#include "platform/messages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quorlink::link {
namespace {

LinkResult* NewResult(int32_t status, int32_t code)
{
    auto* r = static_cast<LinkResult*>(std::calloc(1, sizeof(LinkResult)));
    if (r) {
        r->status = status;
        r->code = code;
    }
    return r;
}

void Deliver(uint32_t window, uint32_t wParam, LinkResult* r)
{
    if (!r)
        return;
    if (!plat::PostMessage(window, WM_LINK_RESULT, wParam, reinterpret_cast<intptr_t>(r)))
        std::free(r);  // the window is gone; the record is ours again
}

}  // namespace

void PostTextTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, std::string_view text)
{
    LinkResult* r = NewResult(status, code);
    if (!r)
        return;
    const size_t n = std::min(text.size(), kLinkResultTextSize - 1);
    if (n > 0)
        std::memcpy(r->text, text.data(), n);
    r->text[n] = 0;
    Deliver(window, wParam, r);
}

void PostProgressTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, int32_t current, int32_t total)
{
    LinkResult* r = NewResult(status, code);
    if (!r)
        return;
    r->progress.current = current;
    r->progress.total = total;
    Deliver(window, wParam, r);
}

}  // namespace quorlink::link

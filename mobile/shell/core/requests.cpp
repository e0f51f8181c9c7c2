#include "mobile/shell/core/requests.h"

#include <algorithm>
#include <cstring>

namespace shell {

RequestPtr NewRequest(plat::ThreadId guiThread, std::string_view text, uint32_t argument)
{
    RequestPtr r(static_cast<LinkRequest*>(std::calloc(1, sizeof(LinkRequest))));
    if (!r)
        return r;
    r->guiThreadId = guiThread;
    r->argument = argument;
    const size_t n = std::min(text.size(), sizeof r->text - 1);
    if (n != 0)  // an empty view may have no data pointer at all
        std::memcpy(r->text, text.data(), n);
    return r;
}

bool PostRequest(plat::ThreadId worker, int32_t code, RequestPtr request, plat::WindowHandle replyTo)
{
    if (!request)
        return false;
    request->window = replyTo;
    LinkRequest* raw = request.get();
    if (!plat::PostThreadMessage(worker, WM_LINK_REQUEST, static_cast<uintptr_t>(code),
                                 reinterpret_cast<intptr_t>(raw))) {
        DiscardRequest(code, std::move(request));
        return false;
    }
    (void)request.release();
    return true;
}

void DiscardRequest(int32_t code, RequestPtr request)
{
    FreeLinkRequest(code, request.release());
}

}  // namespace shell

#include "mobile/shell/core/requests.h"

#include <algorithm>
#include <cstring>

namespace shell {

namespace {
constexpr size_t kTransferField = 256;

void CopyBounded(char* dst, size_t capacity, std::string_view src)
{
    const size_t n = std::min(src.size(), capacity - 1);
    if (n != 0)  // an empty view may have no data pointer at all
        std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}
}  // namespace

RequestPtr NewRequest(plat::ThreadId guiThread, std::string_view text, uint32_t argument)
{
    RequestPtr r(static_cast<LinkRequest*>(std::calloc(1, sizeof(LinkRequest))));
    if (!r)
        return r;
    r->guiThreadId = guiThread;
    r->argument = argument;
    CopyBounded(r->text, sizeof r->text, text);
    return r;
}

uint32_t NewTransferBlock(std::string_view first, std::string_view second)
{
    auto* block = static_cast<char*>(std::calloc(2, kTransferField));
    if (!block)
        return 0;
    CopyBounded(block, kTransferField, first);
    CopyBounded(block + kTransferField, kTransferField, second);
    const uint32_t handle = plat::PutBlock(block);
    if (handle == 0)
        std::free(block);
    return handle;
}

void FreeRequestBlock(uint32_t argument)
{
    if (argument != 0)
        std::free(plat::TakeBlock(argument));
}

bool PostRequest(plat::ThreadId worker, int32_t code, RequestPtr request, plat::WindowHandle replyTo, bool ownsBlock)
{
    if (!request)
        return false;
    request->window = replyTo;
    LinkRequest* raw = request.get();
    if (!plat::PostThreadMessage(worker, WM_LINK_REQUEST, static_cast<uintptr_t>(code),
                                 reinterpret_cast<intptr_t>(raw))) {
        if (ownsBlock)
            FreeRequestBlock(request->argument);
        return false;
    }
    (void)request.release();
    return true;
}

}  // namespace shell

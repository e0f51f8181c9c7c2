#pragma once
// Building the request records the front ends post to the phone-link
// worker.
//
// A LinkRequest is malloc'ed and zero-filled, word 0 carries the front
// end's thread id; whoever posts it fills word 1 (reply window). Argument
// blocks come from the builders in link_protocol.h. Ownership passes to the
// worker with a successful post; until then a RequestPtr frees the record,
// and whoever drops a request unsent frees it with DiscardRequest (which
// frees its block when its code owns one).

#include "quorlink/link/link_protocol.h"

#include <cstdlib>
#include <memory>
#include <string_view>

namespace shell {

struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};
using RequestPtr = std::unique_ptr<LinkRequest, FreeDeleter>;
using ResultPtr = std::unique_ptr<LinkResult, FreeDeleter>;

// Kind of a batch step that runs a callback instead of a request.
constexpr int32_t kCallbackStep = 301;

// Zero-filled record; text is cut to the record's 771 usable characters.
[[nodiscard]] RequestPtr NewRequest(plat::ThreadId guiThread, std::string_view text = {}, uint32_t argument = 0);

// Posts a request to the worker thread with the given reply window. On a
// refused post (worker gone) the record and the block it owns are freed
// here, and false is returned.
bool PostRequest(plat::ThreadId worker, int32_t code, RequestPtr request, plat::WindowHandle replyTo);

// Frees a request that will not be sent, with the block it owns.
void DiscardRequest(int32_t code, RequestPtr request);

}  // namespace shell

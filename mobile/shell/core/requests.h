#pragma once
// Building the request records the GUI posts to the phone-link worker.
//
// A LinkRequest is malloc'ed and zero-filled, word 0 carries the GUI thread
// id; whoever posts it fills word 1 (reply window). Ownership passes to the
// worker with a successful post; until then a RequestPtr frees it.

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

// Request code of a plain command sent as a generic request.
constexpr int32_t REQ_COMMAND = 95;
// Kind of a batch step that runs a callback instead of a request.
constexpr int32_t kCallbackStep = 301;

// Zero-filled record; text is cut to the record's 771 usable characters.
[[nodiscard]] RequestPtr NewRequest(plat::ThreadId guiThread, std::string_view text = {}, uint32_t argument = 0);

// Transfer block of requests 200 and 201: two NUL-terminated 256-byte
// strings. For 201 first is the phone file and second the PC file; for 200
// the other way round. Returns the plat::PutBlock handle (0 on failure);
// each string is cut to 255 bytes.
[[nodiscard]] uint32_t NewTransferBlock(std::string_view first, std::string_view second);

// Frees the block a request's argument names, if it names one.
void FreeRequestBlock(uint32_t argument);

// Posts a request to the worker thread with the given reply window. On a
// refused post (worker gone) the record and its block are freed here, and
// false is returned.
bool PostRequest(plat::ThreadId worker, int32_t code, RequestPtr request, plat::WindowHandle replyTo,
                 bool ownsBlock = false);

}  // namespace shell

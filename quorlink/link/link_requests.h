#pragma once
// The worker's request table: one row per request code with the handler
// that serves it, plus the send/response pairs of the codes whose lines are
// handled specially. Codes without a row take the generic handling: the
// request's text is sent and every line that follows is posted until the
// final one.
//
// To serve a new request, write its handler against RequestContext
// (request_context.h) in the area's own file, declare it in that area's
// header and give it a row in kRequestTable in link_requests.cpp.
//
// All of it runs on the worker thread.

#include "quorlink/link/link_protocol.h"
#include "quorlink/link/request_context.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorlink::link {

// The first line goes out with the request; the lines that follow (or,
// with none, the response time-out) go to the response handler until it
// finishes the request.
using SendHandler = bool (*)(RequestContext& ctx, const LinkRequest& request);
using ResponseHandler = void (*)(RequestContext& ctx, const std::optional<std::string_view>& line);

struct RequestRow {
    int32_t code;
    RequestHandler run;
};

struct ResponseHandlerRow {
    int32_t code;
    SendHandler send;
    ResponseHandler response;
};

// The row of a request code, or nullptr (generic handling).
[[nodiscard]] const RequestRow* FindRequestRow(int32_t code);
// The send/response row of a code, or nullptr (generic handlers).
[[nodiscard]] const ResponseHandlerRow* FindResponseHandlerRow(int32_t code);
// The handler of a code: its row's, or the generic one.
[[nodiscard]] RequestHandler HandlerFor(int32_t code);
[[nodiscard]] ResponseHandler ResponseHandlerFor(int32_t code);

// Handlers of this area.
Disposition RunGeneric(RequestContext& ctx, int32_t code, LinkRequest& request);
Disposition RunDisconnect(RequestContext& ctx, int32_t code, LinkRequest& request);
Disposition RunReconnect(RequestContext& ctx, int32_t code, LinkRequest& request);
Disposition RunListPorts(RequestContext& ctx, int32_t code, LinkRequest& request);
Disposition RunScanAndConnect(RequestContext& ctx, int32_t code, LinkRequest& request);

// The initialisation after echo is off: data of the connection.
[[nodiscard]] bool InitialisePhone(RequestContext& ctx);

}  // namespace quorlink::link

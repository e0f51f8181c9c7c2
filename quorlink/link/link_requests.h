#pragma once
// The worker's request table: one row per request code with the function
// that serves it, plus the send/response pairs of the codes whose lines are
// handled specially. Codes without a row take the generic handling.
//
// To serve a new request, write its handler in the area's own file (with
// the PhoneLink primitives), declare it below and give it a row in
// kRequestTable in link_requests.cpp.
//
// All of it runs on the worker thread.

#include "quorlink/link/link_protocol.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorlink::link {

class PhoneLink;

enum class Disposition {
    Completed,  // ran to completion and posted its own records
    Pending,  // sent; its lines go to the response handler of its code
};

using RequestHandler = Disposition (*)(PhoneLink& link, int32_t code, LinkRequest& request);
using SendHandler = bool (*)(PhoneLink& link, const LinkRequest& request);
using ResponseHandler = void (*)(PhoneLink& link, const std::optional<std::string_view>& line);

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

// The command text of a request: up to its NUL, never past the record.
[[nodiscard]] std::string_view RequestText(const LinkRequest& request);

// Handlers of this area.
Disposition RunGeneric(PhoneLink& link, int32_t code, LinkRequest& request);
Disposition RunDisconnect(PhoneLink& link, int32_t code, LinkRequest& request);
Disposition RunReconnect(PhoneLink& link, int32_t code, LinkRequest& request);
Disposition RunListPorts(PhoneLink& link, int32_t code, LinkRequest& request);
Disposition RunScanAndConnect(PhoneLink& link, int32_t code, LinkRequest& request);

// The initialisation after echo is off: data of the connection.
bool InitialisePhone(PhoneLink& link);

}  // namespace quorlink::link

#pragma once
// The flash bridge as a request handler of the phone-link worker: the rows
// of 223-231 in the request table run RunBridgeRequest, which serves them
// with the link's bridge (RequestContext::FlashBridge). The link itself runs
// the bridge's watchdog on its timer tick and switches the phone off at its
// exit.
//
// Thread affinity: the phone-link worker.

#include "quorlink/link/request_context.h"

namespace quorlink::bridge {

link::Disposition RunBridgeRequest(link::RequestContext& ctx, int32_t code, LinkRequest& request);

}  // namespace quorlink::bridge

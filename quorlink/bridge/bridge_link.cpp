#include "quorlink/bridge/bridge_link.h"

#include "quorlink/bridge/bridge_requests.h"

namespace quorlink::bridge {

namespace {

// Records of a bridge request go to the requesting window. The sector
// progress of a file write is reported under 230 whichever write runs, so
// the index write after a sound continues the sound's progress.
class LinkReplies final : public BridgeReplies {
public:
    LinkReplies(link::RequestContext& ctx, int32_t code) : ctx_(ctx), code_(code) { }
    void post(int32_t status, int32_t code, int32_t current, int32_t total) override
    {
        if (status == LINK_INTERMEDIATE && code_ == REQ_BRIDGE_WRITE_INDEX)
            ctx_.PostProgressUnder(REQ_BRIDGE_WRITE_MP3, status, code, current, total);
        else
            ctx_.PostProgress(status, code, current, total);
    }
    void linkLost() override { ctx_.DropLink(); }

private:
    link::RequestContext& ctx_;
    int32_t code_;
};

}  // namespace

link::Disposition RunBridgeRequest(link::RequestContext& ctx, int32_t code, LinkRequest& request)
{
    LinkReplies replies(ctx, code);
    ctx.FlashBridge().serve(code, request, replies);
    return link::Disposition::Completed;
}

}  // namespace quorlink::bridge

#include "quorlink/bridge/bridge_requests.h"

#include "platform/messages.h"
#include "platform/program_dir.h"
#include "quorlink/media/mp3_convert.h"

#include <cstdlib>
#include <cstring>
#include <optional>

namespace quorlink::bridge {

namespace {

using BlockPtr = std::unique_ptr<void, decltype(&std::free)>;

BlockPtr TakeArgument(const LinkRequest& request)
{
    return BlockPtr(request.argument ? plat::TakeBlock(request.argument) : nullptr, &std::free);
}

// The heap string of 227 and 228 (NewPathBlock ends it within its limit).
std::optional<std::string> TakePath(const LinkRequest& request)
{
    const BlockPtr block = TakeArgument(request);
    if (!block)
        return std::nullopt;
    const char* text = static_cast<const char*>(block.get());
    return std::string(text, strnlen(text, kPathBlockMax));
}

// The slot of 230, when it names one of the five.
std::optional<int> TakeSlot(const LinkRequest& request)
{
    const BlockPtr block = TakeArgument(request);
    if (!block)
        return std::nullopt;
    int32_t k = -1;
    std::memcpy(&k, block.get(), sizeof k);
    if (k < 0 || k >= kSlotCount)
        return std::nullopt;
    return k;
}

struct EncoderRow {
    int32_t code;
    media::Mp3Run run;
};
constexpr EncoderRow kEncoderRuns[] = {
    {REQ_BRIDGE_RESAMPLE, media::Mp3Run::Resample},
    {REQ_BRIDGE_DECODE, media::Mp3Run::Decode},
    {REQ_BRIDGE_ENCODE, media::Mp3Run::Encode},
};

}  // namespace

BridgeRequests::BridgeRequests(EngineFactory makeEngine, std::string programDirectory)
    : makeEngine_(std::move(makeEngine)), programDirectory_(std::move(programDirectory))
{
}

BridgeRequests::~BridgeRequests() = default;

std::string BridgeRequests::dir() const
{
    return programDirectory_.empty() ? plat::ProgramDirectory() : programDirectory_;
}

void BridgeRequests::succeed(BridgeReplies& replies, bool withProgress)
{
    if (withProgress)
        replies.post(LINK_INTERMEDIATE, 0, 100, 100);
    replies.post(LINK_SUCCEEDED, 0, 0, 0);
}

void BridgeRequests::teardown(BridgeReplies& replies, int32_t code)
{
    replies.post(LINK_FAILED, code, 0, 0);
    if (bridge_) {
        bridge_->shutDown(true);
        bridge_.reset();
    }
    replies.linkLost();
}

void BridgeRequests::serve(int32_t code, LinkRequest& request, BridgeReplies& replies)
{
    // Everything after 223 works on an open bridge: without one nothing is
    // run (no encoder, no port), and the request fails as a lost bridge does.
    if (code != REQ_BRIDGE_OPEN && !bridge_) {
        (void)TakeArgument(request);
        if (code == REQ_BRIDGE_WRITE_INDEX)
            return replies.post(LINK_FAILED, 0, 0, 0);
        return teardown(replies, 0);
    }
    switch (code) {
    case REQ_BRIDGE_OPEN:
        if (bridge_) {
            replies.post(LINK_SUCCEEDED, 0, 0, 0);
            return;
        }
        bridge_ = std::make_unique<FlashBridge>(request.argument, makeEngine_());
        return bridge_->open() ? succeed(replies, true) : teardown(replies, 0);
    case REQ_BRIDGE_BOOT: {
        const std::string loader = BootFilePath(dir());
        return bridge_ && bridge_->boot(loader.empty() ? dir() + kBootFileName : loader) ? succeed(replies, true)
                                                                                         : teardown(replies, 0);
    }
    case REQ_BRIDGE_SPEED: return bridge_ && bridge_->highSpeed() ? succeed(replies, true) : teardown(replies, 0);
    case REQ_BRIDGE_READ_INDEX:
        return bridge_ && bridge_->readIndex(dir() + kIndexFileName) ? succeed(replies, true) : teardown(replies, 0);
    case REQ_BRIDGE_WRITE_MP3: {
        const std::optional<int> k = TakeSlot(request);
        const auto progress = [&](int done, int total) { replies.post(LINK_INTERMEDIATE, 0, done, total); };
        if (!bridge_ || !k || !bridge_->writeFile(dir() + kEncodedFileName, SlotSector(*k), kSlotBytes, progress))
            return teardown(replies, 0);
        return succeed(replies, false);
    }
    case REQ_BRIDGE_WRITE_INDEX: {
        const auto progress = [&](int done, int total) { replies.post(LINK_INTERMEDIATE, 0, done, total); };
        if (bridge_ && bridge_->writeFile(dir() + kIndexFileName, kIndexSector, kIndexBytes, progress))
            return succeed(replies, false);
        replies.post(LINK_FAILED, 0, 0, 0);
        return;
    }
    default: break;
    }
    for (const EncoderRow& row : kEncoderRuns) {
        if (row.code != code)
            continue;
        std::string input;
        if (row.run != media::Mp3Run::Encode) {
            const std::optional<std::string> path = TakePath(request);
            if (!path)
                return teardown(replies, media::kRunTimeout);
            input = *path;
        }
        const int result = media::RunEncoder(row.run, input, dir());
        return result == media::kRunOk ? succeed(replies, true) : teardown(replies, result);
    }
}

bool BridgeRequests::watchdog()
{
    // Between the open (223) and the boot (224) the phone is still in its
    // boot ROM, which does not know the question: a tick that falls there
    // must not end MP3 mode before it has started. The question holds the
    // worker while a silent phone lets each of its four tries time out (up
    // to 20 s); that is borne, since in MP3 mode the worker serves only the
    // bridge, the window only posts to it, and a silent phone ends the mode.
    if (!bridge_ || !bridge_->loaderRunning() || bridge_->stillAnswering())
        return false;
    bridge_->shutDown(false);
    bridge_.reset();
    return true;
}

void BridgeRequests::workerExit()
{
    if (!bridge_)
        return;
    bridge_->shutDown(true);
    bridge_.reset();
}

}  // namespace quorlink::bridge

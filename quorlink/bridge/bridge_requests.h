#pragma once
// Requests 223-231, MP3 mode's work on the phone-link worker: open the
// bridge on a port (223), boot the phone into its loader (224), go to high
// speed (225), read the MP3 index into "mp3.idx" (226), the three encoder
// runs (227 resample, 228 decode, 229 encode), write "encoded.mp3" into MP3
// slot k (230) and write "mp3.idx" back (231). Plus the bridge's part of the
// worker's timer tick (the watchdog) and of its exit (the phone switched off).
//
// A failure of 223-230 tears the bridge down: one failure record, the phone
// switched off, the port stopped, the bridge deleted and the link reported
// lost. A failure of 231 reports (0, 0) and keeps the bridge.
//
// BridgeRequests is the state the worker owns (at most one FlashBridge);
// the link reaches the requesting window through BridgeReplies.
//
// Thread affinity: the phone-link worker.

#include "quorlink/bridge/flash_bridge.h"
#include "quorlink/link/link_protocol.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorlink::bridge {

class BridgeReplies {
public:
    virtual ~BridgeReplies() = default;
    // A record to the requesting window (progress layout; final records
    // carry current = total = 0).
    virtual void post(int32_t status, int32_t code, int32_t current, int32_t total) = 0;
    // The link is gone: closed, WM_LINK_LOST posted, no request pending.
    virtual void linkLost() = 0;
};

class BridgeRequests {
public:
    using EngineFactory = std::function<std::unique_ptr<FlashEngine>()>;

    // programDirectory with its trailing '/'; empty: plat::ProgramDirectory()
    // at each request.
    explicit BridgeRequests(EngineFactory makeEngine = MakeBrindelEngine, std::string programDirectory = {});
    ~BridgeRequests();
    BridgeRequests(const BridgeRequests&) = delete;
    BridgeRequests& operator=(const BridgeRequests&) = delete;

    [[nodiscard]] static bool Handles(int32_t code) { return code >= REQ_BRIDGE_FIRST && code <= REQ_BRIDGE_LAST; }

    // Serves one of 223-231; takes (and frees) the request's argument block.
    void serve(int32_t code, LinkRequest& request, BridgeReplies& replies);
    // The timer tick: when a bridge's loader runs and the phone no longer answers,
    // the port is stopped (the phone is not switched off: it is gone) and
    // the bridge deleted. True then; the link must report itself lost.
    [[nodiscard]] bool watchdog();
    // Worker exit: a bridge still open switches the phone off and stops its port.
    void workerExit();

    [[nodiscard]] bool open() const { return bridge_ != nullptr; }

private:
    [[nodiscard]] std::string dir() const;
    void succeed(BridgeReplies& replies, bool withProgress);
    void teardown(BridgeReplies& replies, int32_t code);

    EngineFactory makeEngine_;
    std::string programDirectory_;
    std::unique_ptr<FlashBridge> bridge_;
};

}  // namespace quorlink::bridge

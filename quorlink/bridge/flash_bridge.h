#pragma once
// The flash download bridge: MP3 mode's way into the phone. The download
// engine boots the phone's baseband into its loader over the serial port,
// and the bridge writes sounds and their index straight into fixed flash
// sectors of 128 KiB: the MP3 index in the first 884 bytes of sector 60,
// MP3 slot k in sectors 64 + 9k to 72 + 9k (at most 0x120000 bytes).
// Sector s lies at flash address 0x08000000 + s x 0x20000.
//
// Only the engine's success results count as success: 1 for its
// operations, 0xCB / 0xCC for a sector taken / written, the length for a
// piece sent, 202 for "still answering". Every sector written is checked
// against the byte sum the phone reports as received.
//
// Thread affinity: the phone-link worker, which owns the bridge.

#include "quorlink/bridge/flash_engine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorlink::bridge {

inline constexpr uint32_t kSectorSize = 0x20000;
inline constexpr uint32_t kFlashBase = 0x08000000;
inline constexpr int kIndexSector = 60;
inline constexpr uint32_t kIndexBytes = 884;
inline constexpr int kFirstSlotSector = 64;
inline constexpr int kSectorsPerSlot = 9;
inline constexpr int kSlotCount = 5;
inline constexpr uint32_t kSlotBytes = kSectorsPerSlot * kSectorSize;  // 0x120000
inline constexpr uint32_t kWriteChunk = 8192;
inline constexpr int kPortTimeoutSeconds = 60;

inline constexpr int kEngineOk = 1;
inline constexpr int kSectorReady = 0xCB;
inline constexpr int kSectorDone = 0xCC;
inline constexpr int kStillAnswering = 202;

inline constexpr char kBootFileName[] = "dwl874_7.spm";
inline constexpr char kIndexFileName[] = "mp3.idx";
inline constexpr char kEncodedFileName[] = "encoded.mp3";

[[nodiscard]] constexpr uint32_t SectorAddress(int sector)
{
    return kFlashBase + static_cast<uint32_t>(sector) * kSectorSize;
}
[[nodiscard]] constexpr int SlotSector(int k)
{
    return kFirstSlotSector + kSectorsPerSlot * k;
}

class FlashBridge {
public:
    // Progress of a file write: sector d of n sent and checked.
    using Progress = std::function<void(int done, int total)>;

    // port: COMn; only its low byte is used.
    FlashBridge(uint32_t port, std::unique_ptr<FlashEngine> engine);

    [[nodiscard]] int port() const { return port_; }
    // The engine's context and the serial port.
    [[nodiscard]] bool open();
    // The loader from the boot file. A failed boot stops the port at once,
    // so that the power-off of the teardown does not wait on a dead line.
    [[nodiscard]] bool boot(const std::string& bootFile);
    // The loader's GPIO set-up, then its high speed.
    [[nodiscard]] bool highSpeed();
    // Sector 60 into a zeroed buffer; its first 884 bytes go to indexFile
    // (created anew) whatever the read gave. True when the read succeeded
    // and the file was written.
    [[nodiscard]] bool readIndex(const std::string& indexFile);
    // At most maxBytes of file from startSector on, sector by sector in
    // pieces of at most 8192 bytes. Stops at the first sector that fails
    // (not taken, a piece not sent, not written, or a byte sum that differs);
    // the sectors before it stay written. An empty or unreadable file fails.
    [[nodiscard]] bool writeFile(const std::string& file, int startSector, uint32_t maxBytes,
                                 const Progress& progress = {});
    // Whether the loader runs (boot succeeded): only it answers the
    // watchdog's question.
    [[nodiscard]] bool loaderRunning() const { return loaderRunning_; }
    // The watchdog's question: does the phone still answer?
    [[nodiscard]] bool stillAnswering();
    // Optionally switches the phone off, then stops the port.
    void shutDown(bool powerOff);

private:
    int port_;
    std::unique_ptr<FlashEngine> engine_;
    bool loaderRunning_ = false;
};

// The boot file in the program directory (dir, with its trailing '/').
// A missing one is first copied from the one shipped beside the program
// (its directory, or ../share/telvane). Empty when neither exists.
[[nodiscard]] std::string BootFilePath(const std::string& dir);

}  // namespace quorlink::bridge

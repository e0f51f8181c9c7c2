// The loader program the PC downloads into RAM, once it runs: it announces
// itself, identifies the flash, then serves one-byte commands over the flash
// image (PCF5087 loaders), or erases and takes the software in blocks by
// itself (PCF5085 loaders).
//
// Commands are rows of a table (command byte -> handler). A handler is fed
// the bytes that follow its command byte and says when it has what it needs;
// this keeps a command's parameters together however the bytes are split
// across reads.
//
// Flash areas: the identification area is the block that follows the marker
// "download identification area" in the first 64 KiB of the flash (it comes
// with the software); the SIM-lock area is the first 256 bytes of the last
// 128 KiB of the flash, kept aside when the loader starts (blank or not) and
// written back by the restore command; "not stored" (status 1) and the other
// statuses come only as faults.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "flash_image.h"

namespace simphone::boot {

struct LoaderFaults {
    bool badIdentificationAck = false;  // 0x55 instead of 0xC2
    bool silentIdentification = false;  // nothing after the start bytes
};

class ResidentLoader {
public:
    static constexpr uint32_t kSimlockSize = 256;
    static constexpr uint32_t kSimlockFromEnd = 0x20000;

    // with5087Bytes: the PCF5087 loaders send two bytes after the
    // stack-pointer byte and 0xC2 before the identification, and serve
    // commands; the others are PCF5085 loaders.
    ResidentLoader(FlashImage& flash, uint8_t manufacturer, uint8_t device, bool with5087Bytes);
    ~ResidentLoader();

    // The size of the software a PCF5085 loader will receive (from the RAM
    // block the PC wrote at 0x203000).
    void SetSoftwareSize(uint32_t size) { softwareSize_ = size; }
    // The flash base of the memory set-up the boot ROM was given: addresses
    // below it are not flash. Without one (a UART1 boot, which sets up
    // nothing) the base is taken from the address's own range.
    void SetFlashBase(uint32_t base) { flashBase_ = base; }

    // The loader starts: stack-pointer byte, the 5087 bytes, identification.
    void Start(const LoaderFaults& faults, std::vector<uint8_t>& out);
    void Receive(std::span<const uint8_t> in, std::vector<uint8_t>& out);
    void Tick(uint32_t nowMs, std::vector<uint8_t>& out);

    // "fault checksum SECTOR [COUNT]", "fault sector-error SECTOR STATUS
    // [COUNT]", "fault read-checksum [COUNT]", "fault erase STATUS",
    // "fault simlock-status STATUS",
    // "fault none"; "speed". Empty when the line is not the loader's.
    std::string Control(const std::string& verb, const std::string& what, std::istringstream& rest);

    [[nodiscard]] bool switchedOff() const { return switchedOff_; }
    [[nodiscard]] uint32_t sectorsProgrammed() const { return sectorsProgrammed_; }

    // Handler outcome: Need more bytes, or Done with this command.
    enum class Step { NeedMore, Done };
    using Handler = Step (ResidentLoader::*)(std::vector<uint8_t>& out);

private:
    Step SwitchOff(std::vector<uint8_t>& out);
    Step SpeedControl(std::vector<uint8_t>& out);
    Step ChangeSpeed(std::vector<uint8_t>& out);
    Step GetTag(std::vector<uint8_t>& out);
    Step EraseAll(std::vector<uint8_t>& out);
    Step EraseAddress(std::vector<uint8_t>& out);
    Step EraseSectors(std::vector<uint8_t>& out);
    Step Read(std::vector<uint8_t>& out);
    Step RestoreSimlock(std::vector<uint8_t>& out);
    Step DownloadSector(std::vector<uint8_t>& out);
    Step SetGpio(std::vector<uint8_t>& out);
    Step SetPmu(std::vector<uint8_t>& out);

    // The identification and SIM-lock requests: accepted at once, then a
    // length byte and that many bytes (the marker). NeedMore until all are in.
    Step TakeMarkerRequest(std::vector<uint8_t>& out);
    void Receive5085(std::span<const uint8_t> in, std::vector<uint8_t>& out);
    // Flash offset of an absolute address, or -1 when [address, +length) is
    // not in the flash.
    int64_t Offset(uint32_t address, uint32_t length);
    uint32_t BaseFor(uint32_t address) const;
    void Erase(uint64_t offset, uint64_t length);
    void EraseResult(std::vector<uint8_t>& out);
    // Finds the identification area: offset of its length field, or -1.
    int64_t FindTag();
    bool TakeFault(std::map<uint32_t, int>& faults, uint32_t sector);

    FlashImage& flash_;
    uint8_t manufacturer_;
    uint8_t device_;
    bool with5087Bytes_;
    bool started_ = false;
    bool switchedOff_ = false;
    bool dirty_ = false;
    Handler current_ = nullptr;
    std::vector<uint8_t> params_;  // bytes after the current command byte
    uint32_t sectorsProgrammed_ = 0;
    uint32_t flashBase_ = 0;  // 0: from the address
    std::vector<uint8_t> speedParameters_;

    // SIM-lock area kept at start.
    std::vector<uint8_t> simlock_;
    bool simlockStored_ = false;

    // Faults.
    std::map<uint32_t, int> checksumFaults_;  // sector -> times left
    std::map<uint32_t, std::pair<uint8_t, int>> sectorErrors_;  // sector -> status, times left
    int readChecksumFaults_ = 0;
    int eraseStatus_ = -1;
    int simlockStatus_ = -1;

    // PCF5085 loader.
    uint32_t softwareSize_ = 0;
    bool eraseReported_ = false;
    int64_t eraseDueMs_ = -1;
    uint32_t received5085_ = 0;
    uint32_t block5085_ = 0;
    std::vector<uint8_t> blockBuffer_;
};

}  // namespace simphone::boot

#pragma once
// The download engine as the flash bridge uses it: the sector-level calls of
// brindel (boot the baseband into its loader, change speed, read a sector,
// write a sector with its byte sum, ask whether the phone still answers,
// switch it off). Results are the engine's own numbers; the bridge decides
// what counts as success.
//
// BrindelEngine owns a download context of its own and passes it to the
// engine's `_ctx` calls, so the bridge never shares the engine's
// process-wide context with another download (the operator program, a
// download per port). Tests give the bridge a scripted engine instead.
//
// Thread affinity: the thread that drives the bridge (the phone-link
// worker); the engine blocks it during its serial waits.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quorlink::bridge {

class FlashEngine {
public:
    virtual ~FlashEngine() = default;
    // init_DownloadContext: 1 when ready.
    virtual int initContext() = 0;
    // init_serial_port_first: 1 when COMn is open.
    virtual int openPort(int port, int timeoutSeconds) = 0;
    // start_boot_loader with the loader file: 1 when the loader runs.
    virtual int bootLoader(const std::string& spmPath) = 0;
    // vc_setGPIO, vc_changeSPEED: 1 when done.
    virtual int setGpio() = 0;
    virtual int changeSpeed() = 0;
    // vc_ReadSector of out.size() bytes: 1 when read.
    virtual int readSector(uint32_t address, std::span<uint8_t> out) = 0;
    // vc_DownloadSectorCommand: 0xCB when the phone takes the sector.
    virtual int sectorCommand(uint32_t address, uint32_t sectorSize, uint32_t length) = 0;
    // vc_write_buffer of at most 8192 bytes: the length once sent.
    virtual int writeBuffer(std::span<const uint8_t> data) = 0;
    // vc_rd_sector_end: 0xCC when the phone wrote the sector.
    virtual int sectorEnd() = 0;
    // vc_CheckSumReceived: the byte sum the phone received for the sector.
    virtual uint32_t checksumReceived() = 0;
    // vc_dwl11_51SpeedControl: 202 while the phone answers.
    virtual int speedControl() = 0;
    // vc_power_off, vc_dwl12_1UartStop: not checked.
    virtual int powerOff() = 0;
    virtual int stopPort(int port) = 0;
};

// The engine over brindel, with a download context of its own (freed with it).
[[nodiscard]] std::unique_ptr<FlashEngine> MakeBrindelEngine();

}  // namespace quorlink::bridge

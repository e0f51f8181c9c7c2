#include "quorlink/bridge/flash_engine.h"

#include "brindel/brindel.h"

namespace quorlink::bridge {

namespace {

class BrindelEngine final : public FlashEngine {
public:
    BrindelEngine() { dwl50_3InitialContext(&context_); }
    ~BrindelEngine() override { dwl50_4FreeContext(&context_); }
    BrindelEngine(const BrindelEngine&) = delete;
    BrindelEngine& operator=(const BrindelEngine&) = delete;

    int initContext() override { return init_DownloadContext_ctx(&context_); }
    int openPort(int port, int timeoutSeconds) override
    {
        return init_serial_port_first_ctx(&context_, port, timeoutSeconds);
    }
    int bootLoader(const std::string& spmPath) override { return start_boot_loader_ctx(&context_, spmPath.c_str()); }
    int setGpio() override { return vc_setGPIO_ctx(&context_); }
    int changeSpeed() override { return vc_changeSPEED_ctx(&context_); }
    int readSector(uint32_t address, std::span<uint8_t> out) override
    {
        return vc_ReadSector_ctx(&context_, static_cast<int>(address), static_cast<int>(out.size()), out.data());
    }
    int sectorCommand(uint32_t address, uint32_t sectorSize, uint32_t length) override
    {
        return vc_DownloadSectorCommand_ctx(&context_, static_cast<int>(address), static_cast<int>(sectorSize),
                                            static_cast<int>(length));
    }
    int writeBuffer(std::span<const uint8_t> data) override
    {
        return vc_write_buffer_ctx(&context_, data.data(), static_cast<int>(data.size()));
    }
    int sectorEnd() override { return vc_rd_sector_end_ctx(&context_); }
    uint32_t checksumReceived() override { return vc_CheckSumReceived_ctx(&context_); }
    int speedControl() override { return vc_dwl11_51SpeedControl_ctx(&context_); }
    int powerOff() override { return vc_power_off_ctx(&context_); }
    int stopPort(int port) override { return vc_dwl12_1UartStop(port); }

private:
    T_DownloadContext context_{};
};

}  // namespace

std::unique_ptr<FlashEngine> MakeBrindelEngine()
{
    return std::make_unique<BrindelEngine>();
}

}  // namespace quorlink::bridge

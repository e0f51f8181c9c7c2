// Run-time services of the engine over the platform layer.
#include "brindel/runtime/dwl_rt.h"

#include "platform/clock.h"
#include "platform/serial_port.h"

#include <array>
#include <cmath>
#include <sys/stat.h>

namespace dwlrt {

uint32_t ComBackend::NowMs()
{
    return plat::GetTickCount();
}

namespace {

class PlatformBackend final : public ComBackend {
public:
    explicit PlatformBackend(plat::SerialPort port) : port_(std::move(port)) { }

    int Configure(uint32_t baud, int parity, int dataBits, int stopBits) override
    {
        plat::SerialSettings settings;
        settings.baud = baud;
        settings.dataBits = dataBits;
        settings.stopBits = stopBits;
        settings.parity = parity == RT_PARITY_EVEN ? plat::Parity::Even
            : parity == RT_PARITY_ODD              ? plat::Parity::Odd
                                                   : plat::Parity::None;
        return port_.Configure(settings).ok() ? 0 : RT_ERR_SETTINGS;
    }
    int FlushInput() override { return port_.Purge(plat::PurgeWhich::Input).ok() ? 0 : RT_ERR_IO; }
    int FlushOutput() override { return port_.Purge(plat::PurgeWhich::Output).ok() ? 0 : RT_ERR_IO; }
    int SetDtr(bool on) override { return port_.SetDtr(on).ok() ? 0 : RT_ERR_IO; }
    int Read(uint8_t* data, size_t length, int timeoutMs) override
    {
        const plat::SerialIo io = port_.Read(std::span<uint8_t>(data, length), timeoutMs);
        if (!io.ok())
            return RT_ERR_IO;
        return static_cast<int>(io.bytes);
    }
    int Write(const uint8_t* data, size_t length, int timeoutMs) override
    {
        const plat::SerialIo io = port_.Write(std::span<const uint8_t>(data, length), timeoutMs);
        if (!io.ok())
            return RT_ERR_IO;
        return static_cast<int>(io.bytes);
    }
    int InputLength() override
    {
        const auto n = port_.BytesInInput();
        return n ? static_cast<int>(*n) : RT_ERR_IO;
    }
    int OutputLength() override
    {
        const auto n = port_.BytesInOutput();
        return n ? static_cast<int>(*n) : RT_ERR_IO;
    }

private:
    plat::SerialPort port_;
};

std::unique_ptr<ComBackend> OpenPlatformPort(int port)
{
    plat::SerialPort serial;
    if (!serial.Open(port).ok())
        return nullptr;
    return std::make_unique<PlatformBackend>(std::move(serial));
}

struct PortSlot {
    std::unique_ptr<ComBackend> backend;
    int timeoutMs = 10000;
};

// The engine is single-threaded by contract (one boot or download at a time).
std::array<PortSlot, RT_MAX_PORT + 1> a_Ports;
ComFactory v_Factory;

PortSlot* OpenSlot(int port)
{
    if (port < 0 || port > RT_MAX_PORT)
        return nullptr;
    PortSlot& slot = a_Ports[static_cast<size_t>(port)];
    return slot.backend ? &slot : nullptr;
}

}  // namespace

bool ReadWholeFile(const char* path, std::string& text)
{
    const FilePtr file = OpenFile(path, "rb");
    if (!file)
        return false;
    text.clear();
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        text.append(chunk, n);
    return true;
}

void SetComFactoryForTesting(ComFactory factory)
{
    for (auto& slot : a_Ports)
        slot.backend.reset();
    v_Factory = std::move(factory);
}

}  // namespace dwlrt

using dwlrt::OpenSlot;
using dwlrt::PortSlot;

extern "C" {

int rt_OpenComConfig(int port, uint32_t baud, int parity, int dataBits, int stopBits, int inQueueSize, int outQueueSize)
{
    (void)inQueueSize;  // the kernel's tty buffers are fixed; nothing to size
    (void)outQueueSize;
    if (port < 0 || port > RT_MAX_PORT)
        return RT_ERR_BAD_PORT;
    auto& slot = dwlrt::a_Ports[static_cast<size_t>(port)];
    // Re-opening an open port (a speed change) keeps the device and changes
    // the line settings, as re-opening a COM port with new settings does.
    if (!slot.backend) {
        slot.backend = dwlrt::v_Factory ? dwlrt::v_Factory(port) : dwlrt::OpenPlatformPort(port);
        if (!slot.backend)
            return RT_ERR_OPEN;
    }
    return slot.backend->Configure(baud, parity, dataBits, stopBits);
}

int rt_CloseCom(int port)
{
    PortSlot* slot = OpenSlot(port);
    if (!slot)
        return RT_ERR_NOT_OPEN;
    slot->backend.reset();
    return 0;
}

int rt_SetCTSMode(int port, int on)
{
    (void)on;  // ports are opened with the modem-control lines ignored
    return OpenSlot(port) ? 0 : RT_ERR_NOT_OPEN;
}

int rt_SetXMode(int port, int on)
{
    (void)on;  // raw mode: software flow control is never on
    return OpenSlot(port) ? 0 : RT_ERR_NOT_OPEN;
}

int rt_FlushInQ(int port)
{
    PortSlot* slot = OpenSlot(port);
    return slot ? slot->backend->FlushInput() : RT_ERR_NOT_OPEN;
}

int rt_FlushOutQ(int port)
{
    PortSlot* slot = OpenSlot(port);
    return slot ? slot->backend->FlushOutput() : RT_ERR_NOT_OPEN;
}

int rt_SetDTR(int port, int on)
{
    PortSlot* slot = OpenSlot(port);
    return slot ? slot->backend->SetDtr(on != 0) : RT_ERR_NOT_OPEN;
}

int rt_SetComTime(int port, double seconds)
{
    PortSlot* slot = OpenSlot(port);
    if (!slot)
        return RT_ERR_NOT_OPEN;
    if (!(seconds >= 0.0) || seconds > 2.0e6)
        return RT_ERR_SETTINGS;
    slot->timeoutMs = static_cast<int>(std::lround(seconds * 1000.0));
    return 0;
}

int rt_ComWrtByte(int port, uint8_t byte)
{
    const int n = rt_ComWrt(port, &byte, 1);
    return n < 0 ? n : 1;
}

int rt_ComWrt(int port, const uint8_t* data, size_t length)
{
    PortSlot* slot = OpenSlot(port);
    if (!slot)
        return RT_ERR_NOT_OPEN;
    if (length == 0)
        return 0;
    // A write may take as long as the line needs; the time-out only bounds a
    // line that stopped moving.
    const int limit = slot->timeoutMs > 0 ? slot->timeoutMs : 1;
    return slot->backend->Write(data, length, limit);
}

int rt_ComRdByte(int port)
{
    PortSlot* slot = OpenSlot(port);
    if (!slot)
        return RT_ERR_NOT_OPEN;
    uint8_t byte = 0;
    const int n = slot->backend->Read(&byte, 1, slot->timeoutMs);
    if (n < 0)
        return n;
    if (n == 0)
        return RT_ERR_TIMEOUT;
    return byte;
}

int rt_ComRd(int port, uint8_t* data, size_t length)
{
    PortSlot* slot = OpenSlot(port);
    if (!slot)
        return RT_ERR_NOT_OPEN;
    size_t done = 0;
    while (done < length) {
        const int n = slot->backend->Read(data + done, length - done, slot->timeoutMs);
        if (n < 0)
            return n;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int>(done);
}

int rt_ComRdByteWithin(int port, int timeoutMs)
{
    PortSlot* slot = OpenSlot(port);
    if (!slot)
        return RT_ERR_NOT_OPEN;
    uint8_t byte = 0;
    const int n = slot->backend->Read(&byte, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (n < 0)
        return n;
    if (n == 0)
        return RT_ERR_TIMEOUT;
    return byte;
}

int rt_WaitOutQEmpty(int port, int timeoutMs)
{
    PortSlot* slot = OpenSlot(port);
    if (!slot)
        return RT_ERR_NOT_OPEN;
    const uint32_t start = slot->backend->NowMs();
    for (;;) {
        const int n = slot->backend->OutputLength();
        if (n < 0)
            return n;
        if (n == 0)
            return 0;
        if (static_cast<int64_t>(slot->backend->NowMs() - start) >= timeoutMs)
            return RT_ERR_TIMEOUT;
        plat::Sleep(1);
    }
}

int rt_GetInQLen(int port)
{
    PortSlot* slot = OpenSlot(port);
    return slot ? slot->backend->InputLength() : RT_ERR_NOT_OPEN;
}

int rt_GetOutQLen(int port)
{
    PortSlot* slot = OpenSlot(port);
    return slot ? slot->backend->OutputLength() : RT_ERR_NOT_OPEN;
}

int rt_GetComTimeMs(int port)
{
    PortSlot* slot = OpenSlot(port);
    return slot ? slot->timeoutMs : RT_ERR_NOT_OPEN;
}

uint32_t rt_ComClockMs(int port)
{
    PortSlot* slot = OpenSlot(port);
    return slot ? slot->backend->NowMs() : plat::GetTickCount();
}

long rt_GetFileSize(const char* path)
{
    struct stat st { };
    if (path == nullptr || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<long>(st.st_size);
}

int rt_FileExists(const char* path)
{
    return rt_GetFileSize(path) >= 0 ? 1 : 0;
}

void rt_Delay(double seconds)
{
    if (!(seconds > 0.0))
        return;
    plat::Sleep(static_cast<uint32_t>(std::lround(seconds * 1000.0)));
}

uint32_t rt_TimeSeconds(void)
{
    return plat::GetTickCount() / 1000u;
}

}  // extern "C"

#pragma once
// The worker's view of a serial port, so that unit tests can put a scripted
// fake in place of the device. The real one (SerialLinkPort) wraps
// plat::SerialPort with the phone's fixed line settings.
//
// A port object belongs to the worker thread.

#include "platform/serial_port.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace quorlink::link {

class LinkPort {
public:
    virtual ~LinkPort() = default;

    // Opens COMn at 115200 baud, 8 data bits, no parity, 1 stop bit, raw,
    // 2048-byte queues, DTR and RTS on. Closes any port already open. False
    // (and the port closed) when any step fails.
    virtual bool Open(int comNumber) = 0;
    // Turns DTR and RTS off and closes; harmless when closed.
    virtual void Close() = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;
    // Whether COMn could be opened now, without touching the open port (the
    // port this object holds open counts as in use).
    [[nodiscard]] virtual bool CanOpen(int comNumber) = 0;

    // Waits up to timeoutMs (program time) for input; bytes read, 0 when
    // nothing came, -1 on an error (closed port, device gone).
    virtual int Read(std::span<uint8_t> buffer, int timeoutMs) = 0;
    // Writes everything within totalMs; false otherwise.
    virtual bool Write(std::span<const uint8_t> data, int totalMs) = 0;
    virtual void PurgeBoth() = 0;
    virtual void ClearErrors() = 0;

    // A descriptor that polls readable when input is waiting, for the
    // worker's combined wait; -1 when there is none to wait on (closed, or
    // a device that keeps reporting an error).
    [[nodiscard]] virtual int WaitFd() const = 0;
};

class SerialLinkPort final : public LinkPort {
public:
    bool Open(int comNumber) override;
    void Close() override;
    [[nodiscard]] bool IsOpen() const override { return port_.isOpen(); }
    [[nodiscard]] bool CanOpen(int comNumber) override;
    int Read(std::span<uint8_t> buffer, int timeoutMs) override;
    bool Write(std::span<const uint8_t> data, int totalMs) override;
    void PurgeBoth() override;
    void ClearErrors() override;
    [[nodiscard]] int WaitFd() const override { return broken_ ? -1 : port_.fd(); }

    // Why the last Open() failed (device, permission, busy, ...).
    [[nodiscard]] const plat::SerialStatus& lastOpenStatus() const { return openStatus_; }

private:
    plat::SerialPort port_;
    plat::SerialStatus openStatus_;
    int openNumber_ = 0;
    bool broken_ = false;
};

}  // namespace quorlink::link

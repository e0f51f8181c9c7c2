#include "quorlink/link/link_port.h"

#include "platform/clock.h"

namespace quorlink::link {

bool SerialLinkPort::Open(int comNumber)
{
    Close();
    broken_ = false;
    openStatus_ = port_.Open(comNumber);
    if (!openStatus_.ok())
        return false;
    plat::SerialSettings s;  // 115200 8N1
    plat::SerialStatus st = port_.Configure(s);
    if (st.ok())
        st = port_.SetQueueSizes(2048, 2048);
    if (st.ok())
        st = port_.SetDtr(true);
    if (st.ok())
        st = port_.SetRts(true);
    if (!st.ok()) {
        openStatus_ = st;
        Close();
        return false;
    }
    openNumber_ = comNumber;
    return true;
}

bool SerialLinkPort::CanOpen(int comNumber)
{
    if (port_.isOpen() && comNumber == openNumber_)
        return false;
    plat::SerialPort probe;
    return probe.Open(comNumber).ok();
}

void SerialLinkPort::Close()
{
    if (port_.isOpen()) {
        (void)port_.SetDtr(false);
        (void)port_.SetRts(false);
        port_.Close();
    }
    openNumber_ = 0;
    broken_ = false;
}

int SerialLinkPort::Read(std::span<uint8_t> buffer, int timeoutMs)
{
    if (!port_.isOpen())
        return -1;
    if (broken_) {
        // The device keeps failing: wait out the time without touching it,
        // so a caller's read loop does not spin.
        if (timeoutMs > 0)
            plat::Sleep(static_cast<uint32_t>(timeoutMs));
        return -1;
    }
    const plat::SerialIo io = port_.Read(buffer, timeoutMs);
    if (!io.ok()) {
        broken_ = true;
        return -1;
    }
    return static_cast<int>(io.bytes);
}

bool SerialLinkPort::Write(std::span<const uint8_t> data, int totalMs)
{
    if (!port_.isOpen())
        return false;
    return port_.Write(data, totalMs).ok();
}

void SerialLinkPort::PurgeBoth()
{
    if (port_.isOpen())
        (void)port_.Purge(plat::PurgeWhich::Both);
}

void SerialLinkPort::ClearErrors()
{
    if (port_.isOpen())
        (void)port_.ClearErrors();
}

}  // namespace quorlink::link

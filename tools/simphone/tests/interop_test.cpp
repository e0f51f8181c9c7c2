// The emulator through the client's own serial layer: open, configure, talk,
// close and reopen, as the phone link does it.
#include "phone_fixture.h"
#include "platform/serial_port.h"

namespace simphone::testing {
namespace {

class InteropTest : public PhoneFixture {
protected:
    // Sends a command and collects bytes until "OK\r\n" (bounded).
    static std::string Exchange(plat::SerialPort& port, std::string_view command)
    {
        const auto w = port.Write({reinterpret_cast<const uint8_t*>(command.data()), command.size()});
        EXPECT_TRUE(w.ok()) << w.status.message;
        std::string got;
        for (int i = 0; i < 2000 && got.find("OK\r\n") == std::string::npos && got.find("ERROR") == std::string::npos;
             ++i) {
            uint8_t buf[512];
            const auto r = port.Read(buf, 5);
            if (!r.ok())
                break;
            got.append(reinterpret_cast<const char*>(buf), r.bytes);
        }
        return got;
    }
};

TEST_F(InteropTest, ClientSerialLayerConnectsClosesAndReopens)
{
    client_.reset();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        plat::SerialPort port;
        const auto open = port.OpenPath(transport_->linkPath().string());
        ASSERT_TRUE(open.ok()) << open.message;
        ASSERT_TRUE(port.Configure({}).ok());
        ASSERT_TRUE(port.SetDtr(true).ok());
        ASSERT_TRUE(port.Purge(plat::PurgeWhich::Both).ok());
        EXPECT_NE(Exchange(port, "AT*CONNECT\r").find("\r\nOK\r\n"), std::string::npos);
        EXPECT_NE(Exchange(port, "AT+CGMM\r").find("\r\nV318\r\n\r\nOK\r\n"), std::string::npos);
        port.Close();
    }
}

}  // namespace
}  // namespace simphone::testing

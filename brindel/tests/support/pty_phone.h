// A phone-side Device served on a real pseudo-terminal, linked as
// DIR/COMn so that the engine opens it through the platform serial port
// with TELVANE_SERIAL_DIR=DIR. The device runs on its own thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/simphone/device.h"

namespace brindel_test {

class PtyPhone {
public:
    // Creates the terminal and the link dir/COM<port>; check ok().
    PtyPhone(std::unique_ptr<simphone::Device> device, const std::string& dir, int port);
    ~PtyPhone();

    [[nodiscard]] bool ok() const { return master_ >= 0; }
    // A control command, run on the device under its lock.
    std::string Control(const std::string& line);

private:
    void Serve();

    std::unique_ptr<simphone::Device> device_;
    std::mutex mutex_;
    int master_ = -1;
    int slave_ = -1;  // held open so the line stays up between the engine's opens
    std::string link_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace brindel_test

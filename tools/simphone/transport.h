// The serial side of the emulator: a pseudo-terminal linked as SDIR/COMn,
// paced like an 8N1 line when asked, a Unix control socket, and a transcript
// of every byte in the state directory. Serves one Device at a time.
//
// Thread affinity: run() owns everything; stop() may be called from any
// thread or a signal handler.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device.h"

namespace simphone {

struct TransportOptions {
    std::filesystem::path stateDir;
    std::filesystem::path serialDir;
    int port = 1;
    int lineRate = 0;  // baud; 0: no pacing
    std::filesystem::path controlSocket;  // empty: none
    // Makes the device after power-on: boot false the handset, true the boot ROM
    // (returns null when boot mode is not built in).
    std::function<std::unique_ptr<Device>(bool boot)> makeDevice;
    bool startInBoot = false;
};

class Transport {
public:
    explicit Transport(TransportOptions options);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Creates the terminal, its link and the control socket. False with a reason.
    [[nodiscard]] bool start(std::string& error);
    // Serves until stop(). Returns 0 on a clean stop.
    int run();
    // Async-signal-safe.
    void stop();

    [[nodiscard]] std::filesystem::path linkPath() const;
    // One control command, as from the socket; for in-process tests.
    std::string controlForTesting(std::string_view line);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Baud rate set on a terminal (works on a pseudo-terminal master), 0 if unknown.
[[nodiscard]] int ReadLineSpeed(int fd);
// Sets any baud rate on a terminal; false when refused.
bool SetLineSpeed(int fd, int baud);

}  // namespace simphone

#pragma once
// A scripted phone on the master side of a pseudo-terminal, served by its
// own thread, so the worker talks to a real tty through the real serial
// layer. The slave appears as COMn in a directory for $TELVANE_SERIAL_DIR.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

class PtyPeer {
public:
    // Answers: echo until "ATE0"; "OK" to AT*CONNECT, ATE0 and the setup
    // commands; "ERROR" to anything else. A silent peer never answers.
    enum class Behaviour { Phone, Silent };

    PtyPeer(const std::string& portDir, int comNumber, Behaviour behaviour);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    [[nodiscard]] bool ok() const { return master_ >= 0; }
    // Bytes to the worker, as if the phone sent them on its own.
    void Send(const std::string& bytes);
    // Commands received so far (without their carriage return).
    [[nodiscard]] std::vector<std::string> Commands() const;
    [[nodiscard]] size_t Count(const std::string& command) const;
    // Waits (real time) until command has arrived count times.
    bool WaitFor(const std::string& command, size_t count, int realMs = 20000);

private:
    void Serve();
    void Handle(const std::string& command);

    Behaviour behaviour_;
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hangup
    int stopFd_ = -1;
    bool echo_ = true;
    std::string pending_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> commands_;
    std::thread thread_;
};

}  // namespace linktest

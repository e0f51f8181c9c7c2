#pragma once
// Outside programs (the MP3 encoder): started without a terminal, waited
// for with a limit on the program's clock.
//
// Thread-safe; a ChildProcess belongs to the thread that started it.

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Wait results, as the program's waits report them.
constexpr int kWaitEnded = 0;
constexpr int kWaitTimeout = 258;

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // a process still running is ended (and reaped)
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program (looked up on PATH when it has no '/') with argv
    // [program, args...], in a session of its own, standard input and
    // output on /dev/null. False with error() when it cannot be started.
    [[nodiscard]] bool start(const std::string& program, const std::vector<std::string>& args);
    // Waits up to limitMs of program time: kWaitEnded or kWaitTimeout.
    [[nodiscard]] int wait(int64_t limitMs);
    // Ends a process still running (SIGKILL) and reaps it.
    void kill();

    [[nodiscard]] bool running() const { return pid_ > 0; }
    // After kWaitEnded: the exit status (128 + signal for a killed process).
    [[nodiscard]] int exitStatus() const { return exitStatus_; }
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    void reapIfEnded();

    int pid_ = -1;
    int pidfd_ = -1;
    int exitStatus_ = -1;
    std::string error_;
};

// The full path of program on PATH (or program itself when it holds a
// '/'), empty when there is no such executable.
[[nodiscard]] std::string FindProgram(const std::string& program);

}  // namespace plat

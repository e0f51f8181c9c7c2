// The emulator program as a baseband in its boot ROM, on its own
// pseudo-terminal SDIR/COMn: started with fork/exec, stopped with SIGTERM
// (it then writes its flash image back and removes the link).
#pragma once

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace brindel_test {

class SimphoneProcess {
public:
    // lineRate 0: unpaced.
    SimphoneProcess(const std::string& program, const std::string& serialDir, int port, const std::string& flashImage,
                    unsigned lineRate = 0)
        : link_(serialDir + "/COM" + std::to_string(port))
    {
        const std::string state = serialDir + "/state" + std::to_string(port);
        std::filesystem::create_directories(state);
        std::vector<std::string> args = {
            program,  "--state", state,     "--serial-dir",  serialDir, "--port", std::to_string(port),
            "--boot", "--chip",  "pcf5087", "--flash-image", flashImage};
        if (lineRate != 0) {
            args.push_back("--line-rate");
            args.push_back(std::to_string(lineRate));
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        // Bounded wait for the terminal's link.
        for (int i = 0; i < 500 && !std::filesystem::exists(link_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SimphoneProcess() { Stop(); }
    SimphoneProcess(const SimphoneProcess&) = delete;
    SimphoneProcess& operator=(const SimphoneProcess&) = delete;

    [[nodiscard]] bool ok() const { return pid_ > 0 && std::filesystem::exists(link_); }

    // Ends the emulator; its flash image is written when this returns.
    void Stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    std::string link_;
    pid_t pid_ = -1;
};

}  // namespace brindel_test

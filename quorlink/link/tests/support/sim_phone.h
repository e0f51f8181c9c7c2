#pragma once
// The emulated handset served in-process: a sample phone state, the
// emulator's transport on a pseudo-terminal linked as SDIR/COM1, and its
// control socket. Header-only so that the worker's and the command line's
// integration tests share it.

#include "at_phone.h"
#include "init_state.h"
#include "transport.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace linktest {

// n reproducible bytes of noise (any byte value may occur), for transfers.
inline std::string Pattern(size_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(g());
    return s;
}

class SimPhone {
public:
    // lineRate 0: no pacing. The serial directory is exported as
    // $TELVANE_SERIAL_DIR for the worker (and the programs) of the test.
    // The device "poweron boot" starts (the baseband boot ROM, given the
    // state directory); none when unset.
    using BootFactory = std::function<std::unique_ptr<simphone::Device>(const std::filesystem::path& state)>;

    explicit SimPhone(const std::string& tag, int lineRate = 0, uint32_t seed = 11, BootFactory bootDevice = {})
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / (tag + "XXXXXX")).string();
        dir_ = ::mkdtemp(tmpl.data());
        state_ = dir_ / "state";
        std::string error;
        if (!simphone::InitState(state_, seed, error))
            return;
        simphone::TransportOptions opt;
        opt.stateDir = state_;
        opt.serialDir = dir_ / "serial";
        opt.controlSocket = dir_ / "ctl";
        opt.lineRate = lineRate;
        const auto st = state_;
        opt.makeDevice = [st, bootDevice](bool boot) -> std::unique_ptr<simphone::Device> {
            if (boot)
                return bootDevice ? bootDevice(st) : nullptr;
            return std::make_unique<simphone::AtPhone>(st);
        };
        transport_ = std::make_unique<simphone::Transport>(opt);
        if (!transport_->start(error)) {
            transport_.reset();
            return;
        }
        thread_ = std::thread([this] { transport_->run(); });
        ::setenv("TELVANE_SERIAL_DIR", serialDir().c_str(), 1);
    }
    ~SimPhone()
    {
        if (transport_)
            transport_->stop();
        if (thread_.joinable())
            thread_.join();
        transport_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    SimPhone(const SimPhone&) = delete;
    SimPhone& operator=(const SimPhone&) = delete;

    [[nodiscard]] bool ok() const { return transport_ != nullptr; }
    [[nodiscard]] std::filesystem::path dir() const { return dir_; }
    [[nodiscard]] std::filesystem::path state() const { return state_; }
    [[nodiscard]] std::filesystem::path serialDir() const { return dir_ / "serial"; }
    [[nodiscard]] std::filesystem::path controlSocket() const { return dir_ / "ctl"; }
    // "/app/x" on the line is this file.
    [[nodiscard]] std::filesystem::path PhoneFile(const std::string& phonePath) const
    {
        return state_ / phonePath.substr(1);
    }
    [[nodiscard]] std::string Transcript() const { return ReadAll(state_ / "simphone.log"); }

    // One control command; its one-line answer ("OK" or "ERROR ...").
    std::string Control(const std::string& command) const
    {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (s < 0)
            return "ERROR socket";
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, controlSocket().c_str(), sizeof addr.sun_path - 1);
        if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(s);
            return "ERROR connect";
        }
        const std::string line = command + "\n";
        (void)!::write(s, line.data(), line.size());
        std::string answer;
        char c;
        pollfd p{s, POLLIN, 0};
        while (::poll(&p, 1, 20000) > 0 && ::read(s, &c, 1) == 1 && c != '\n')
            answer.push_back(c);
        ::close(s);
        return answer;
    }

    static std::string ReadAll(const std::filesystem::path& p)
    {
        std::stringstream s;
        s << std::ifstream(p, std::ios::binary).rdbuf();
        return s.str();
    }

private:
    std::filesystem::path dir_, state_;
    std::unique_ptr<simphone::Transport> transport_;
    std::thread thread_;
};

}  // namespace linktest

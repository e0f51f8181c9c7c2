// simphone: the phone emulator.
//   simphone --state DIR --serial-dir SDIR [--port N] [--line-rate BAUD] [--control SOCKET]
//            [--boot [--chip X] [--flash-image FILE] [--flash-id MAN:DEV]]
//   simphone init-state DIR [--seed N]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "at_phone.h"
#include "init_state.h"
#include "transport.h"
#ifdef SIMPHONE_HAVE_BOOT
#include "boot/boot_mode.h"
#endif

namespace {

simphone::Transport* g_transport = nullptr;

void OnSignal(int)
{
    if (g_transport)
        g_transport->stop();
}

// The usage text: on stderr with exit status 2 after a mistake, on stdout
// with 0 when asked for (--help).
int Usage(const char* why)
{
    std::FILE* out = why ? stderr : stdout;
    if (why)
        std::fprintf(stderr, "simphone: %s\n", why);
    std::fprintf(out,
                 "usage: simphone --state DIR --serial-dir SDIR [--port N] [--line-rate BAUD] [--control SOCKET]"
#ifdef SIMPHONE_HAVE_BOOT
                 " [--boot [--chip X] [--flash-image FILE] [--flash-id MAN:DEV]]"
#endif
                 "\n       simphone init-state DIR [--seed N]\n");
    return why ? 2 : 0;
}

bool ParseInt(const char* s, long lo, long hi, long& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s, &end, 10);
    return errno == 0 && end && *end == 0 && end != s && out >= lo && out <= hi;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Usage(nullptr);
    if (argc >= 2 && std::strcmp(argv[1], "init-state") == 0) {
        if (argc < 3)
            return Usage("init-state needs a directory");
        long seed = 1;
        for (int i = 3; i < argc; ++i) {
            if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
                if (!ParseInt(argv[++i], 0, 0x7FFFFFFF, seed))
                    return Usage("bad --seed");
            } else {
                return Usage("unknown option");
            }
        }
        std::string error;
        if (!simphone::InitState(argv[2], static_cast<uint32_t>(seed), error)) {
            std::fprintf(stderr, "simphone: init-state failed: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }

    simphone::TransportOptions opt;
    bool boot = false;
#ifdef SIMPHONE_HAVE_BOOT
    simphone::BootOptions bootOptions;
#endif
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        long v = 0;
        if (a == "--state" && hasValue)
            opt.stateDir = argv[++i];
        else if (a == "--serial-dir" && hasValue)
            opt.serialDir = argv[++i];
        else if (a == "--control" && hasValue)
            opt.controlSocket = argv[++i];
        else if (a == "--port" && hasValue) {
            if (!ParseInt(argv[++i], 1, 99, v))
                return Usage("bad --port");
            opt.port = static_cast<int>(v);
        } else if (a == "--line-rate" && hasValue) {
            if (!ParseInt(argv[++i], 50, 4000000, v))
                return Usage("bad --line-rate");
            opt.lineRate = static_cast<int>(v);
        }
#ifdef SIMPHONE_HAVE_BOOT
        else if (a == "--boot")
            boot = true;
        else if (a == "--chip" && hasValue)
            bootOptions.chip = argv[++i];
        else if (a == "--flash-image" && hasValue)
            bootOptions.flashImage = argv[++i];
        else if (a == "--flash-id" && hasValue) {
            unsigned man = 0, dev = 0;
            if (std::sscanf(argv[++i], "%x:%x", &man, &dev) != 2 || man > 0xFF || dev > 0xFF)
                return Usage("bad --flash-id (MAN:DEV in hex)");
            bootOptions.hasFlashId = true;
            bootOptions.manufacturer = static_cast<uint8_t>(man);
            bootOptions.device = static_cast<uint8_t>(dev);
        }
#endif
        else
            return Usage(("unknown option " + a).c_str());
    }
    if (opt.stateDir.empty() || opt.serialDir.empty())
        return Usage("--state and --serial-dir are required");

    const std::filesystem::path stateDir = opt.stateDir;
#ifdef SIMPHONE_HAVE_BOOT
    // The phone's own flash lives in its state directory.
    if (bootOptions.flashImage.empty())
        bootOptions.flashImage = (stateDir / "flash.bin").string();
#endif
    opt.startInBoot = boot;
    opt.makeDevice = [=](bool bootMode) -> std::unique_ptr<simphone::Device> {
        if (!bootMode)
            return std::make_unique<simphone::AtPhone>(stateDir);
#ifdef SIMPHONE_HAVE_BOOT
        return simphone::MakeBootDevice(bootOptions);
#else
        return nullptr;
#endif
    };

    simphone::Transport transport(opt);
    std::string error;
    if (!transport.start(error)) {
        std::fprintf(stderr, "simphone: %s\n", error.c_str());
        return 1;
    }
    g_transport = &transport;
    struct sigaction sa { };
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("simphone: serving %s\n", transport.linkPath().c_str());
    std::fflush(stdout);
    const int rc = transport.run();
    g_transport = nullptr;
    return rc;
}

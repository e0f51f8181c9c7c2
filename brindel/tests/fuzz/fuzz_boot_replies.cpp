// The boot handshakes and flash identification reading whatever a phone
// sends: a result, never a crash or a hang. The first input byte chooses the
// boot (project type, UART); the rest is the phone's byte stream.
#include "brindel/dwl12pclib.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "support/fake_line.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class ReplayDevice : public simphone::Device {
public:
    explicit ReplayDevice(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) { }
    void receive(std::span<const uint8_t>, std::vector<uint8_t>&) override { }
    void tick(uint32_t, std::vector<uint8_t>& out) override
    {
        // A few bytes per tick, so that reads see the stream arrive over time.
        for (int i = 0; i < 3 && next_ < bytes_.size(); ++i)
            out.push_back(bytes_[next_++]);
    }

private:
    std::vector<uint8_t> bytes_;
    size_t next_ = 0;
};

void PrepareSpmFiles()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    char pattern[] = "/tmp/brindel-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr || ::chdir(pattern) != 0)
        std::abort();
    ::setenv("TELVANE_HOME", pattern, 1);
    for (const char* name : {"dwl8586.spm", "dwl87.spm", "dwl874_5.spm", "dwl874_7.spm"})
        std::ofstream(name, std::ios::binary) << std::string(64, '\x5A');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    PrepareSpmFiles();
    const uint8_t mode = data[0];
    brindel_test::FakeLine line(std::make_unique<ReplayDevice>(std::vector<uint8_t>(data + 1, data + size)));
    line.Install();
    dwl50_0ResetContext();
    sg_DownloadContext.port = 1;
    sg_DownloadContext.projectType = static_cast<uint8_t>(mode % 6);  // 5: unknown type
    if (dwl12_0UartInit(1, 38400, 2, 1) != 1)
        std::abort();
    switch ((mode / 6) % 3) {
    case 0: (void)dwl1_0boot(&sg_DownloadContext); break;
    case 1: (void)dwl1_4bootUart1(&sg_DownloadContext); break;
    default: (void)start_boot_loader("dwl874_7.spm"); break;
    }
    (void)dwl12_1UartStop(1);
    return 0;
}

// Feeds arbitrary bytes to the handset's line assembly and command parser, in
// a scratch state directory that starts as the sample phone.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "at_phone.h"
#include "init_state.h"

namespace {
// The scratch phone, removed again when the fuzzer exits.
struct ScratchPhone {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("simphone-fuzz-" + std::to_string(getpid()));
    ScratchPhone()
    {
        std::string error;
        if (!simphone::InitState(dir, 7, error))
            __builtin_trap();
    }
    ~ScratchPhone()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};
const std::filesystem::path& StateDir()
{
    static const ScratchPhone phone;
    return phone.dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    simphone::AtPhone phone(StateDir());
    std::vector<uint8_t> out;
    // The first byte picks how the input is cut into reads, as a line would deliver it.
    const size_t step = size ? 1 + data[0] % 64 : 1;
    for (size_t off = size ? 1 : 0; off < size; off += step) {
        phone.receive({data + off, std::min(step, size - off)}, out);
        phone.tick(0, out);
        if (out.size() > (1u << 22))
            out.clear();
    }
    return 0;
}

// "config.txt" reader: a result code, never a crash. The files it names are
// loaded only when they are regular files.
#include "brindel/dwl50dev.h"
#include "brindel/dwl56conf.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    dwl50_0ResetContext();
    (void)dwl56_4ParseConfig(&sg_DownloadContext, reinterpret_cast<const char*>(data), size);
    std::vector<char> out(4096);
    (void)dwl56_5FormatConfig(&sg_DownloadContext, out.data(), out.size());
    dwl50_0ResetContext();
    return 0;
}

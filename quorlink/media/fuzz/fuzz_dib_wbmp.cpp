// Any bytes as WBMP files: a picture or a refusal, never a crash.
#include "fuzz_dib_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ExerciseDib(quorlink::media::CDIB::DecodeWbmp({data, size}));
    return 0;
}

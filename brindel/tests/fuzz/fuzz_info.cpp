// Software images and packages from outside through the information
// windows: every field printed, every pack row read, never past the input.
#include "brindel/panels/dwl55info.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
void Line(const char* label, const char* value, void*)
{
    // Touch both texts so that a dangling or unterminated one shows.
    volatile size_t n = (label ? std::strlen(label) : 0) + (value ? std::strlen(value) : 0);
    (void)n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int version = data[0] % 4;  // 0: no software says
    // An exact-size copy, so that any read past the input is caught.
    const std::vector<uint8_t> bytes(data + 1, data + size);
    const auto n = static_cast<uint32_t>(bytes.size());

    (void)dwl55_0SoftwareInformation(bytes.data(), n, Line, nullptr);
    (void)dwl55_1PackageInformation(bytes.data(), n, version, Line, nullptr);
    T_PackRow rows[8];
    const int count = dwl55_2PackList(bytes.data(), n, rows, 8);
    char sizeText[24];
    char address[24];
    char mandatory[24];
    for (int i = 0; i < count; ++i)
        dwl55_3FormatPackRow(&rows[i], sizeText, address, mandatory, sizeof sizeText);
    return 0;
}

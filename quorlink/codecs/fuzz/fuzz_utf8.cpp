// UTF-8 <-> GBK conversions on arbitrary bytes: bounded reads, and GBK text
// that came from UTF-8 converts back to UTF-8 that converts to the same GBK.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quorlink/codecs/ucs2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* text = reinterpret_cast<const char*>(data);
    std::string gbk, utf8, again;
    CChineseCodeLib::UTF_8ToGB2312(gbk, text, static_cast<int>(size));
    CChineseCodeLib::GB2312ToUTF_8(utf8, gbk.data(), static_cast<int>(gbk.size()));
    CChineseCodeLib::UTF_8ToGB2312(again, utf8.data(), static_cast<int>(utf8.size()));
    if (again != gbk)
        std::abort();
    CChineseCodeLib::GB2312ToUTF_8(utf8, text, static_cast<int>(size));

    std::string terminated(text, size);
    char* ansi = CUcs2::Utf8ToAsc(terminated.c_str());
    if (ansi == nullptr)
        std::abort();
    std::free(ansi);
    unsigned short v;
    CChineseCodeLib::UTF_8ToUnicode(&v, terminated.c_str());
    return 0;
}

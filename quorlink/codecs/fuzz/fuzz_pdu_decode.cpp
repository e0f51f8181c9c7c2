// gsmDecodePdu on arbitrary text, in every storage status: the record's
// fields must stay NUL-terminated within their sizes; the text as shown and
// a decode in a forced layout stay bounded too.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/pdu_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    p.status = data[0] % 5;
    const int n = CPDU::gsmDecodePdu(text.c_str(), &p);
    if (n < 0 || n > 160)
        std::abort();
    if (strnlen(p.serviceCentre, 16) == 16 || strnlen(p.address, 16) == 16 || strnlen(p.timeStamp, 16) == 16)
        std::abort();
    if (p.userData[n] != 0 || p.status != data[0] % 5)
        std::abort();
    // The text as shown: 8-bit data in at most 160 hexadecimal characters.
    const std::string shown = quorlink::codecs::DecodedText(p, n);
    if (quorlink::codecs::AlphabetOf(p.dataCoding) == quorlink::codecs::SmsAlphabet::EightBit && shown.size() > 160)
        std::abort();
    SM_PARAM q{};
    (void)quorlink::codecs::DecodePdu(text.c_str(), q, quorlink::codecs::TpduType::Submit);
    return 0;
}

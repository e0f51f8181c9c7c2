#include "quorlink/codecs/pdu.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/pdu_text.h"

namespace qc = quorlink::codecs;

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Most user-data octets one message carries.
constexpr int kMaxUserDataOctets = 140;
// Most characters userData holds (plus its terminator).
constexpr int kMaxText = 160;

constexpr int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

// Reads a PDU's hexadecimal text front to back. Reads past the end give
// zeros or short strings and mark the PDU as cut off; nothing is ever read
// beyond the text.
class HexReader {
public:
    explicit HexReader(std::string_view text) : text_(text) { }

    unsigned Octet()
    {
        if (text_.size() - pos_ < 2) {
            pos_ = text_.size();
            short_ = true;
            return 0;
        }
        const unsigned v = static_cast<unsigned>(HexValue(text_[pos_]) << 4 | HexValue(text_[pos_ + 1]));
        pos_ += 2;
        return v;
    }
    std::string_view Chars(std::size_t n)
    {
        if (n > text_.size() - pos_) {
            short_ = true;
            n = text_.size() - pos_;
        }
        std::string_view s = text_.substr(pos_, n);
        pos_ += n;
        return s;
    }
    void Skip(std::size_t octets) { Chars(2 * octets); }
    std::size_t OctetsLeft() const { return (text_.size() - pos_) / 2; }
    // True once a read wanted more than the text held.
    bool CutOff() const { return short_; }
    void MarkCutOff() { short_ = true; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool short_ = false;
};

// Writes swapped digits as a number into a fixed field: "+" first when the
// type of number says international, a final "F" dropped, and as many
// digits as fit before the NUL.
void StoreNumber(std::string_view swapped, unsigned type, char* field, std::size_t fieldSize)
{
    std::string digits;
    digits.reserve(swapped.size());
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) {
        digits.push_back(swapped[i + 1]);
        digits.push_back(swapped[i]);
    }
    if (swapped.size() % 2 != 0)
        digits.push_back(swapped.back());
    if (!digits.empty() && (digits.back() == 'F' || digits.back() == 'f'))
        digits.pop_back();
    std::size_t o = 0;
    if ((type & 0x10) != 0 && type != 0xFF)
        field[o++] = '+';
    for (char c : digits) {
        if (o + 1 >= fieldSize)
            break;
        field[o++] = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    }
    field[o] = 0;
}

// An alphanumeric address (type of number 101): GSM 7-bit text packed into
// the semi-octets, stored as GSM codes (0x80 for '@') like message text.
void StoreAlphanumeric(std::string_view hex, std::size_t semiOctets, char* field, std::size_t fieldSize)
{
    unsigned char octets[128];
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < hex.size() && n < sizeof octets; i += 2)
        octets[n++] = static_cast<unsigned char>(HexValue(hex[i]) << 4 | HexValue(hex[i + 1]));
    const std::size_t chars = semiOctets * 4 / 7;
    std::size_t o = 0;
    for (std::size_t i = 0; i < chars && o + 1 < fieldSize; ++i) {
        const std::size_t bit = 7 * i;
        if (bit / 8 >= n)
            break;
        unsigned v = octets[bit / 8] >> (bit % 8);
        if (bit % 8 > 1 && bit / 8 + 1 < n)
            v |= static_cast<unsigned>(octets[bit / 8 + 1]) << (8 - bit % 8);
        v &= 0x7F;
        field[o++] = static_cast<char>(v == 0 ? 0x80 : v);
    }
    field[o] = 0;
}

// The digits of a number field for encoding: a leading "+" left out, never
// more than the field holds.
std::string_view NumberDigits(const char* field, std::size_t fieldSize)
{
    std::string_view s(field, strnlen(field, fieldSize));
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    return s;
}

class HexWriter {
public:
    explicit HexWriter(char* out) : out_(out) { }
    void Octet(unsigned v)
    {
        out_[n_++] = kHexDigits[(v >> 4) & 0xF];
        out_[n_++] = kHexDigits[v & 0xF];
    }
    void Octets(const unsigned char* p, int n)
    {
        for (int i = 0; i < n; ++i)
            Octet(p[i]);
    }
    void SwappedDigits(std::string_view digits)
    {
        char swapped[32];
        const int n =
            CPDU::gsmInvertNumbers(digits.data(), swapped, static_cast<int>(std::min<std::size_t>(digits.size(), 30)));
        for (int i = 0; i < n; ++i)
            out_[n_++] = swapped[i];
    }
    int Finish()
    {
        out_[n_] = 0;
        return n_;
    }

private:
    char* out_;
    int n_ = 0;
};

// Septet i of packed 7-bit data (bit offset 7 * i); the caller keeps i
// within the data.
unsigned Septet(const unsigned char* octets, std::size_t count, std::size_t i)
{
    const std::size_t bit = 7 * i;
    const std::size_t byte = bit / 8;
    const unsigned shift = bit % 8;
    unsigned v = octets[byte] >> shift;
    if (shift > 1 && byte + 1 < count)
        v |= static_cast<unsigned>(octets[byte + 1]) << (8 - shift);
    return v & 0x7F;
}

int EncodeUcs2Limited(const char* src, unsigned char* dst, int srcLength, std::size_t maxChars)
{
    if (srcLength <= 0)
        return 0;
    std::u16string wide = qc::AnsiToUcs2(std::string_view(src, static_cast<std::size_t>(srcLength)));
    if (wide.size() > maxChars)
        wide.resize(maxChars);
    int n = 0;
    for (char16_t c : wide) {
        dst[n++] = static_cast<unsigned char>(c >> 8);
        dst[n++] = static_cast<unsigned char>(c & 0xFF);
    }
    return n;
}

}  // namespace

int CPDU::gsmString2Bytes(const char* src, unsigned char* dst, int srcLength)
{
    const int n = srcLength / 2;
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<unsigned char>(HexValue(src[2 * i]) << 4 | HexValue(src[2 * i + 1]));
    return n;
}

int CPDU::gsmBytes2String(const unsigned char* src, char* dst, int srcLength)
{
    int n = 0;
    for (int i = 0; i < srcLength; ++i) {
        dst[n++] = kHexDigits[src[i] >> 4];
        dst[n++] = kHexDigits[src[i] & 0xF];
    }
    dst[n] = 0;
    return n;
}

int CPDU::gsmInvertNumbers(const char* src, char* dst, int srcLength)
{
    int n = 0;
    for (int i = 0; i + 1 < srcLength; i += 2) {
        dst[n++] = src[i + 1];
        dst[n++] = src[i];
    }
    if (srcLength > 0 && srcLength % 2 != 0) {
        dst[n++] = 'F';
        dst[n++] = src[srcLength - 1];
    }
    dst[n] = 0;
    return n;
}

int CPDU::gsmSerializeNumbers(const char* src, char* dst, int srcLength)
{
    int n = 0;
    for (int i = 0; i + 1 < srcLength; i += 2) {
        dst[n++] = src[i + 1];
        dst[n++] = src[i];
    }
    if (n > 0 && dst[n - 1] == 'F')
        --n;
    dst[n] = 0;
    return n;
}

int CPDU::gsmEncode7bit(const char* src, unsigned char* dst, int srcLength)
{
    int n = 0;
    unsigned carry = 0;
    for (int i = 0; i < srcLength; ++i) {
        // Only the low 7 bits are a septet: the program's 0x80 for '@' becomes
        // GSM 0x00, and no stray high bit reaches the next septet.
        const unsigned septet = static_cast<unsigned char>(src[i]) & 0x7F;
        const int k = i % 8;
        if (k == 0) {
            carry = septet;
        } else {
            dst[n++] = static_cast<unsigned char>(carry | (septet << (8 - k)));
            carry = septet >> k;
        }
    }
    return n;
}

int CPDU::gsmDecode7bit(const unsigned char* src, char* dst, int srcLength)
{
    if (srcLength <= 0) {
        dst[0] = 0;
        return 0;
    }
    const auto count = static_cast<std::size_t>(srcLength);
    std::size_t chars = count * 8 / 7;
    // Seven octets leave room for an eighth septet; when it is zero it is the
    // fill of a text of 7k characters, not an '@'.
    if (count % 7 == 0 && Septet(src, count, chars - 1) == 0)
        --chars;
    for (std::size_t i = 0; i < chars; ++i) {
        const unsigned v = Septet(src, count, i);
        dst[i] = static_cast<char>(v == 0 ? 0x80 : v);
    }
    dst[chars] = 0;
    return static_cast<int>(chars);
}

int CPDU::gsmEncode8bit(const char* src, unsigned char* dst, int length)
{
    if (length <= 0)
        return 0;
    std::memcpy(dst, src, static_cast<std::size_t>(length));
    return length;
}

int CPDU::gsmDecode8bit(const unsigned char* src, char* dst, int length)
{
    if (length <= 0)
        return 0;
    std::memcpy(dst, src, static_cast<std::size_t>(length));
    return length;
}

int CPDU::gsmEncodeUcs2(const char* src, unsigned char* dst, int srcLength)
{
    return EncodeUcs2Limited(src, dst, srcLength, 128);
}

int CPDU::gsmDecodeUcs2(const unsigned char* src, char* dst, int srcLength)
{
    int n = 0;
    for (int i = 0; i + 1 < srcLength; i += 2) {
        char bytes[2];
        const int k = qc::Ucs2ToAnsiChar(static_cast<std::uint16_t>(src[i] << 8 | src[i + 1]), bytes);
        if (n + k > kMaxText)
            break;
        std::memcpy(dst + n, bytes, static_cast<std::size_t>(k));
        n += k;
    }
    dst[n] = 0;
    return n;
}

int CPDU::gsmEncodePdu(const SM_PARAM* src, char* dst)
{
    HexWriter out(dst);

    const std::string_view sca = NumberDigits(src->serviceCentre, sizeof src->serviceCentre);
    if (sca.empty()) {
        out.Octet(0x00);  // no number: the phone uses its own service centre
    } else {
        out.Octet(static_cast<unsigned>((sca.size() + 1) / 2 + 1));
        out.Octet(0x91);
        out.SwappedDigits(sca);
    }

    // One part of a concatenated message carries a header naming its
    // reference, the number of parts and its own number: 8-bit references
    // in the short element, larger ones in the 16-bit element.
    const bool concatenated = src->concatTotal > 1 && src->concatSequence >= 1;
    unsigned char header[7];
    std::size_t headerOctets = 0;  // with its length octet
    if (concatenated) {
        if (src->concatReference > 0xFF) {
            const unsigned char h[] = {6,
                                       0x08,
                                       4,
                                       static_cast<unsigned char>(src->concatReference >> 8),
                                       static_cast<unsigned char>(src->concatReference & 0xFF),
                                       src->concatTotal,
                                       src->concatSequence};
            std::memcpy(header, h, sizeof h);
            headerOctets = sizeof h;
        } else {
            const unsigned char h[] = {
                5, 0x00, 3, static_cast<unsigned char>(src->concatReference), src->concatTotal, src->concatSequence};
            std::memcpy(header, h, sizeof h);
            headerOctets = sizeof h;
        }
    }

    const std::string_view to = NumberDigits(src->address, sizeof src->address);
    out.Octet(concatenated ? 0x51 : 0x11);  // SMS-SUBMIT, relative validity period, header indicator
    out.Octet(0x00);  // message reference chosen by the phone
    out.Octet(static_cast<unsigned>(to.size()));
    out.Octet(0x91);
    out.SwappedDigits(to);

    out.Octet(src->protocolId);
    out.Octet(src->dataCoding);
    out.Octet(0x00);  // validity period

    const int textLength = static_cast<int>(strnlen(src->userData, kMaxText));
    unsigned char data[kMaxUserDataOctets + 8] = {};
    std::memcpy(data, header, headerOctets);
    const auto room = static_cast<int>(kMaxUserDataOctets - headerOctets);
    int octets = 0;
    int udl = 0;
    switch (qc::AlphabetOf(src->dataCoding)) {
    case qc::SmsAlphabet::Gsm7: {
        // The header fills whole septets (fill bits after it); the text's
        // septets follow. Packing from septet 0 of a zeroed buffer leaves the
        // header octets as they are.
        const std::size_t first = (headerOctets * 8 + 6) / 7;
        const std::size_t septets = std::min<std::size_t>(textLength, 160 - first);
        for (std::size_t i = 0; i < septets; ++i) {
            const unsigned septet = static_cast<unsigned char>(src->userData[i]) & 0x7F;
            const std::size_t bit = 7 * (first + i);
            data[bit / 8] |= static_cast<unsigned char>(septet << (bit % 8));
            if (bit % 8 > 1)
                data[bit / 8 + 1] |= static_cast<unsigned char>(septet >> (8 - bit % 8));
        }
        udl = static_cast<int>(first + septets);
        octets = (udl * 7 + 7) / 8;
        break;
    }
    case qc::SmsAlphabet::Ucs2:
        octets = static_cast<int>(headerOctets) +
            EncodeUcs2Limited(src->userData, data + headerOctets, textLength, static_cast<std::size_t>(room / 2));
        udl = octets;
        break;
    case qc::SmsAlphabet::EightBit:
        octets = static_cast<int>(headerOctets) +
            gsmEncode8bit(src->userData, data + headerOctets, std::min(textLength, room));
        udl = octets;
        break;
    }
    out.Octet(static_cast<unsigned>(udl));
    out.Octets(data, octets);
    return out.Finish();
}

namespace {

// Decodes a PDU into dst. The layout follows `layout`: the first octet's
// message type unless the caller forces one. Sets *complete to whether the
// text held every field and octet the PDU announced.
int DecodeInto(std::string_view src, SM_PARAM* dst, std::optional<qc::TpduType> layout, bool* complete)
{
    HexReader in(src);

    // 1. Service centre.
    const unsigned scaLength = in.Octet();
    if (scaLength != 0) {
        const unsigned type = in.Octet();
        const std::string_view digits = in.Chars(2 * (scaLength - 1));
        StoreNumber(digits, type, dst->serviceCentre, sizeof dst->serviceCentre);
    }

    // 2-3. First octet (and, for a submit, the message reference), then the
    // originating or destination address. The first octet's message type
    // says which fields follow, whatever box the message is stored in.
    const unsigned firstOctet = in.Octet();
    dst->firstOctet = static_cast<unsigned char>(firstOctet);
    const qc::TpduType type = layout.value_or(qc::TpduTypeOf(static_cast<std::uint8_t>(firstOctet)));
    if (type != qc::TpduType::Deliver)
        in.Skip(1);  // message reference
    const unsigned addressLength = in.Octet();  // digits, or semi-octets of text
    const unsigned addressType = in.Octet();
    if (addressLength != 0) {
        const unsigned addressDigits = addressLength + addressLength % 2;
        const std::string_view field = in.Chars(addressDigits);
        if ((addressType & 0x70) == 0x50) {
            StoreAlphanumeric(field, addressLength, dst->address, sizeof dst->address);
        } else {
            StoreNumber(field, addressType, dst->address, sizeof dst->address);
        }
    }

    if (type == qc::TpduType::StatusReport) {
        // A delivery report: the service centre's time stamp of the message
        // it reports on, the discharge time and the status; no text.
        const std::string_view stamp = in.Chars(14);
        StoreNumber(stamp, 0, dst->timeStamp, sizeof dst->timeStamp);
        in.Skip(7 + 1);
        dst->userData[0] = 0;
        *complete = !in.CutOff();
        return 0;
    }

    // 4. Protocol identifier and data coding.
    dst->protocolId = static_cast<unsigned char>(in.Octet());
    dst->dataCoding = static_cast<unsigned char>(in.Octet());

    // 5. Time stamp of a delivery, validity period of a submit.
    if (type == qc::TpduType::Deliver) {
        const std::string_view stamp = in.Chars(14);
        StoreNumber(stamp, 0, dst->timeStamp, sizeof dst->timeStamp);
    } else {
        switch (firstOctet & 0x18) {
        case 0x00: break;  // no validity period
        case 0x10: in.Skip(1); break;  // relative
        default: in.Skip(7); break;  // absolute or enhanced
        }
    }

    // 6. User data, bounded by what the text really holds.
    const unsigned udl = in.Octet();
    const qc::SmsAlphabet alphabet = qc::AlphabetOf(dst->dataCoding);
    const bool sevenBit = alphabet == qc::SmsAlphabet::Gsm7;
    const std::size_t declaredOctets = std::min<std::size_t>(sevenBit ? (udl * 7 + 7) / 8 : udl, 255);
    unsigned char ud[255];
    const std::size_t udOctets = std::min(declaredOctets, in.OctetsLeft());
    if (udOctets < declaredOctets)
        in.MarkCutOff();
    for (std::size_t i = 0; i < udOctets; ++i)
        ud[i] = static_cast<unsigned char>(in.Octet());
    *complete = !in.CutOff();

    // 7. Concatenation header.
    std::size_t headerOctets = 0;  // octets of header, its length octet included
    bool concatenationSeen = false;
    if ((firstOctet & 0x40) != 0 && firstOctet != 0xFF) {
        if (udOctets == 0) {
            dst->userData[0] = 0;
            return 0;
        }
        const std::size_t h = ud[0];
        headerOctets = h + 1;
        if (headerOctets > udOctets) {
            // A header longer than the data: there is no text to show.
            dst->userData[0] = 0;
            return 0;
        }
        for (std::size_t p = 1; p + 1 < headerOctets;) {
            const unsigned iei = ud[p];
            const std::size_t iel = ud[p + 1];
            const unsigned char* data = ud + p + 2;
            if (p + 2 + iel > headerOctets)
                break;
            if (iei == 0x00 && iel >= 3 && !concatenationSeen) {
                concatenationSeen = true;
                dst->concatReference = data[0];
                dst->concatTotal = data[1];
                dst->concatSequence = data[2];
            } else if (iei == 0x08 && iel >= 4 && !concatenationSeen) {
                concatenationSeen = true;
                dst->concatReference = static_cast<unsigned short>(data[0] << 8 | data[1]);
                dst->concatTotal = data[2];
                dst->concatSequence = data[3];
            }
            p += 2 + iel;
        }
    }

    // 8. Text.
    if (sevenBit) {
        const std::size_t available = std::min<std::size_t>(udl, udOctets * 8 / 7);
        // The header fills whole septets; fill bits pad it to the next one.
        const std::size_t first = (headerOctets * 8 + 6) / 7;
        std::size_t n = 0;
        for (std::size_t i = first; i < available && n < kMaxText; ++i) {
            const unsigned v = Septet(ud, udOctets, i);
            dst->userData[n++] = static_cast<char>(v == 0 ? 0x80 : v);
        }
        dst->userData[n] = 0;
        return static_cast<int>(n);
    }
    const unsigned char* text = ud + headerOctets;
    const std::size_t textOctets = udOctets - headerOctets;
    if (alphabet == qc::SmsAlphabet::Ucs2)
        return CPDU::gsmDecodeUcs2(text, dst->userData, static_cast<int>(textOctets));
    const std::size_t n = std::min<std::size_t>(textOctets, kMaxText);
    std::memcpy(dst->userData, text, n);
    dst->userData[n] = 0;
    return static_cast<int>(n);
}

}  // namespace

int CPDU::gsmDecodePdu(const char* src, SM_PARAM* dst)
{
    bool complete = false;
    return DecodeInto(std::string_view(src, std::strlen(src)), dst, std::nullopt, &complete);
}

qc::PduDecode qc::DecodePdu(const char* pdu, SM_PARAM& out, std::optional<TpduType> layout)
{
    PduDecode result;
    result.length = DecodeInto(std::string_view(pdu, std::strlen(pdu)), &out, layout, &result.complete);
    return result;
}

#include "pdu.h"

#include "text.h"

#include <algorithm>
#include <iterator>

namespace simphone {
namespace {

constexpr char kDigitNibbles[] = "0123456789*#abc";

// The GSM 03.38 extension table: 0x1B followed by the code.
struct ExtensionChar {
    uint8_t code;
    char16_t u;
};
constexpr ExtensionChar kExtension[] = {
    {0x0A, 0x000C}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'},
    {0x3C, u'['},   {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'}, {0x65, 0x20AC},
};
constexpr uint8_t kEscape = 0x1B;

std::optional<uint8_t> ExtensionCode(char16_t u)
{
    for (const auto& e : kExtension)
        if (e.u == u)
            return e.code;
    return std::nullopt;
}

// The septets of text in the default alphabet and its extension table;
// "?" for a character neither holds.
std::vector<uint8_t> Septets(std::u16string_view text)
{
    std::vector<uint8_t> out;
    for (char16_t u : text) {
        if (const auto code = UnicodeToGsm(u)) {
            out.push_back(*code);
        } else if (const auto ext = ExtensionCode(u)) {
            out.push_back(kEscape);
            out.push_back(*ext);
        } else {
            out.push_back(0x3F);
        }
    }
    return out;
}

size_t SeptetCount(char16_t u)
{
    return (!UnicodeToGsm(u) && ExtensionCode(u)) ? 2 : 1;
}

// Swapped semi-octets with "F" fill. nullopt for characters other than digits.
std::optional<std::vector<uint8_t>> SwapDigits(std::string_view digits)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        auto nib = [&](size_t k) -> int {
            if (k >= digits.size())
                return 0xF;
            const char c = digits[k];
            return (c >= '0' && c <= '9') ? c - '0' : -1;
        };
        const int lo = nib(i), hi = nib(i + 1);
        if (lo < 0 || hi < 0)
            return std::nullopt;
        out.push_back(static_cast<uint8_t>((hi << 4) | lo));
    }
    return out;
}

std::optional<std::vector<uint8_t>> EncodeAddress(std::string_view number, bool serviceCentre)
{
    const bool intl = !number.empty() && number[0] == '+';
    const std::string_view digits = intl ? number.substr(1) : number;
    if (digits.size() > 20)
        return std::nullopt;
    auto swapped = SwapDigits(digits);
    if (!swapped)
        return std::nullopt;
    std::vector<uint8_t> out;
    if (serviceCentre) {
        if (digits.empty())
            return std::vector<uint8_t>{0};
        out.push_back(static_cast<uint8_t>(swapped->size() + 1));
    } else {
        out.push_back(static_cast<uint8_t>(digits.size()));
    }
    out.push_back(intl ? 0x91 : 0x81);
    out.insert(out.end(), swapped->begin(), swapped->end());
    return out;
}

uint8_t Bcd(int v)
{
    v = ((v % 100) + 100) % 100;
    return static_cast<uint8_t>(((v % 10) << 4) | (v / 10));
}
int FromBcd(uint8_t b)
{
    return (b & 0x0F) * 10 + ((b >> 4) & 0x0F);
}

class Reader {
public:
    explicit Reader(std::span<const uint8_t> d) : d_(d) { }
    bool take(uint8_t& v)
    {
        if (pos_ >= d_.size())
            return false;
        v = d_[pos_++];
        return true;
    }
    bool take(size_t n, std::span<const uint8_t>& out)
    {
        if (d_.size() - pos_ < n)
            return false;
        out = d_.subspan(pos_, n);
        pos_ += n;
        return true;
    }
    std::span<const uint8_t> rest() const { return d_.subspan(pos_); }

private:
    std::span<const uint8_t> d_;
    size_t pos_ = 0;
};

std::string SemiOctets(std::span<const uint8_t> bytes, size_t digits)
{
    std::string s;
    for (size_t i = 0; i < digits; ++i) {
        const int nib = (i % 2 == 0) ? (bytes[i / 2] & 0x0F) : (bytes[i / 2] >> 4);
        if (nib == 0xF)
            break;
        s.push_back(kDigitNibbles[nib]);
    }
    return s;
}

// Unpacks count septets starting at bit offset startBit; an escape takes
// the next septet from the extension table (an unknown one reads as the
// default character, as handsets show it).
std::u16string UnpackSeptets(std::span<const uint8_t> data, size_t startBit, size_t count)
{
    std::u16string out;
    bool escaped = false;
    for (size_t i = 0; i < count; ++i) {
        const size_t bit = startBit + 7 * i;
        uint32_t v = 0;
        for (size_t k = 0; k < 7; ++k) {
            const size_t b = bit + k;
            if (b / 8 >= data.size())
                return out;
            v |= ((data[b / 8] >> (b % 8)) & 1u) << k;
        }
        if (v == kEscape && !escaped) {
            escaped = true;
            continue;
        }
        if (escaped) {
            escaped = false;
            const auto ext = std::find_if(std::begin(kExtension), std::end(kExtension),
                                          [&](const ExtensionChar& e) { return e.code == v; });
            if (ext != std::end(kExtension)) {
                out.push_back(ext->u);
                continue;
            }
        }
        const char16_t u = GsmToUnicode(static_cast<uint8_t>(v));
        if (u != 0xFFFF)
            out.push_back(u);
    }
    return out;
}

bool DecodeAddress(Reader& r, bool serviceCentre, std::string& out)
{
    uint8_t len = 0, type = 0;
    if (!r.take(len))
        return false;
    if (serviceCentre && len == 0)
        return true;
    if (!r.take(type))
        return false;
    const size_t octets = serviceCentre ? len - 1u : (len + 1u) / 2;
    if (serviceCentre && len < 1)
        return false;
    std::span<const uint8_t> b;
    if (!r.take(octets, b))
        return false;
    if ((type & 0x70) == 0x50) {  // alphanumeric originator, GSM 7-bit packed
        out = Ucs2ToUtf8(UnpackSeptets(b, 0, octets * 8 / 7));
        return true;
    }
    out = SemiOctets(b, serviceCentre ? octets * 2 : len);
    if ((type & 0x70) == 0x10)
        out.insert(out.begin(), '+');
    return true;
}

}  // namespace

std::string MessageTextToMixed(std::u16string_view text)
{
    std::string out;
    for (char16_t u : text) {
        if (!UnicodeToGsm(u)) {
            if (const auto ext = ExtensionCode(u)) {
                out.push_back(static_cast<char>(kEscape));
                out.push_back(static_cast<char>(*ext));
                continue;
            }
        }
        out += Ucs2ToMixed(std::u16string_view(&u, 1));
    }
    return out;
}

bool FitsGsm7(std::u16string_view text)
{
    for (char16_t u : text)
        if (!UnicodeToGsm(u) && !ExtensionCode(u))
            return false;
    return true;
}

std::vector<SmsMessage> SplitForDelivery(const SmsMessage& whole, uint8_t ref)
{
    const bool gsm = FitsGsm7(whole.text);
    const size_t single = gsm ? 160 : 70;
    const size_t part = gsm ? 153 : 67;
    SmsMessage m = whole;
    m.dcs = gsm ? 0x00 : 0x08;
    auto units = [&](char16_t u) { return gsm ? SeptetCount(u) : 1; };
    size_t length = 0;
    for (char16_t u : whole.text)
        length += units(u);
    if (length <= single) {
        m.concat = {};
        return {m};
    }
    // Parts of at most `part` units; an escape never ends a part.
    std::vector<std::u16string> texts(1);
    size_t used = 0;
    for (char16_t u : whole.text) {
        if (used + units(u) > part) {
            if (texts.size() == 255)
                break;
            texts.emplace_back();
            used = 0;
        }
        texts.back().push_back(u);
        used += units(u);
    }
    std::vector<SmsMessage> parts;
    for (size_t i = 0; i < texts.size(); ++i) {
        SmsMessage p = m;
        p.text = texts[i];
        p.concat = {ref, static_cast<uint8_t>(texts.size()), static_cast<uint8_t>(i + 1)};
        parts.push_back(std::move(p));
    }
    return parts;
}

std::optional<std::vector<uint8_t>> EncodePdu(const SmsMessage& m, size_t* tpduLength)
{
    auto sca = EncodeAddress(m.smsc, true);
    auto addr = EncodeAddress(m.address, false);
    if (!sca || !addr)
        return std::nullopt;
    std::vector<uint8_t> header;  // user-data header, without its length octet
    if (m.concat.total > 0)
        header = {0x00, 0x03, m.concat.reference, m.concat.total, m.concat.sequence};

    std::vector<uint8_t> ud;
    size_t udl = 0;
    const bool ucs2 = (m.dcs & 0x0C) == 0x08;
    const size_t hdrOctets = header.empty() ? 0 : header.size() + 1;
    if (ucs2) {
        if (hdrOctets + 2 * m.text.size() > 140)
            return std::nullopt;
        if (!header.empty()) {
            ud.push_back(static_cast<uint8_t>(header.size()));
            ud.insert(ud.end(), header.begin(), header.end());
        }
        for (char16_t u : m.text) {
            ud.push_back(static_cast<uint8_t>(u >> 8));
            ud.push_back(static_cast<uint8_t>(u & 0xFF));
        }
        udl = ud.size();
    } else {
        const size_t startSeptet = (hdrOctets * 8 + 6) / 7;
        const std::vector<uint8_t> septets = Septets(m.text);
        udl = startSeptet + septets.size();
        if (udl > 160)
            return std::nullopt;
        ud.assign((udl * 7 + 7) / 8, 0);
        if (!header.empty()) {
            ud[0] = static_cast<uint8_t>(header.size());
            std::copy(header.begin(), header.end(), ud.begin() + 1);
        }
        for (size_t i = 0; i < septets.size(); ++i) {
            const uint8_t sept = septets[i];
            const size_t bit = (startSeptet + i) * 7;
            for (size_t k = 0; k < 7; ++k)
                if (sept & (1u << k))
                    ud[(bit + k) / 8] |= static_cast<uint8_t>(1u << ((bit + k) % 8));
        }
    }

    std::vector<uint8_t> out = *sca;
    const size_t tpduStart = out.size();
    const uint8_t udhi = header.empty() ? 0 : 0x40;
    if (m.submit) {
        out.push_back(0x11 | udhi);  // SMS-SUBMIT, relative validity period
        out.push_back(0x00);  // message reference
    } else {
        out.push_back(0x04 | udhi);  // SMS-DELIVER, no more messages waiting
    }
    out.insert(out.end(), addr->begin(), addr->end());
    out.push_back(m.pid);
    out.push_back(m.dcs);
    if (m.submit) {
        out.push_back(0xA7);  // 24 hours
    } else {
        const SmsTime& t = m.time;
        for (int v : {t.year, t.month, t.day, t.hour, t.minute, t.second})
            out.push_back(Bcd(v));
        uint8_t zone = Bcd(t.zoneQuarters < 0 ? -t.zoneQuarters : t.zoneQuarters);
        if (t.zoneQuarters < 0)
            zone |= 0x08;
        out.push_back(zone);
    }
    out.push_back(static_cast<uint8_t>(udl));
    out.insert(out.end(), ud.begin(), ud.end());
    if (tpduLength)
        *tpduLength = out.size() - tpduStart;
    return out;
}

std::optional<SmsMessage> DecodePdu(std::span<const uint8_t> pdu)
{
    Reader r(pdu);
    SmsMessage m;
    if (!DecodeAddress(r, true, m.smsc))
        return std::nullopt;
    uint8_t fo = 0;
    if (!r.take(fo))
        return std::nullopt;
    const uint8_t mti = fo & 0x03;
    if (mti == 1) {
        m.submit = true;
        uint8_t mr = 0;
        if (!r.take(mr))
            return std::nullopt;
    } else if (mti != 0) {
        return std::nullopt;  // status reports and reserved types are not stored as messages
    }
    if (!DecodeAddress(r, false, m.address))
        return std::nullopt;
    if (!r.take(m.pid) || !r.take(m.dcs))
        return std::nullopt;
    std::span<const uint8_t> skip;
    if (m.submit) {
        const uint8_t vpf = (fo >> 3) & 0x03;
        const size_t vpLen = vpf == 2 ? 1 : (vpf == 0 ? 0 : 7);
        if (!r.take(vpLen, skip))
            return std::nullopt;
    } else {
        std::span<const uint8_t> ts;
        if (!r.take(7, ts))
            return std::nullopt;
        m.time = {FromBcd(ts[0]),
                  FromBcd(ts[1]),
                  FromBcd(ts[2]),
                  FromBcd(ts[3]),
                  FromBcd(ts[4]),
                  FromBcd(ts[5]),
                  FromBcd(ts[6] & 0xF7) * ((ts[6] & 0x08) ? -1 : 1)};
    }
    uint8_t udl = 0;
    if (!r.take(udl))
        return std::nullopt;
    const std::span<const uint8_t> rest = r.rest();

    int alphabet = (m.dcs >> 2) & 0x03;  // 0 GSM, 1 8-bit, 2 UCS2
    if ((m.dcs & 0xF0) == 0xF0)
        alphabet = (m.dcs & 0x04) ? 1 : 0;
    const size_t udOctets = alphabet == 0 ? (udl * 7u + 7) / 8 : udl;
    if (udOctets > rest.size() || udOctets > 140)
        return std::nullopt;
    const std::span<const uint8_t> ud = rest.first(udOctets);

    size_t hdrOctets = 0;
    if (fo & 0x40) {
        if (ud.empty())
            return std::nullopt;
        hdrOctets = ud[0] + 1u;
        if (hdrOctets > ud.size())
            return std::nullopt;
        for (size_t i = 1; i + 1 < hdrOctets;) {
            const uint8_t iei = ud[i], len = ud[i + 1];
            if (i + 2 + len > hdrOctets)
                return std::nullopt;
            if (iei == 0x00 && len == 3)
                m.concat = {ud[i + 2], ud[i + 3], ud[i + 4]};
            if (iei == 0x08 && len == 4)
                m.concat = {ud[i + 3], ud[i + 4], ud[i + 5]};
            i += 2 + len;
        }
    }
    if (alphabet == 0) {
        const size_t startSeptet = (hdrOctets * 8 + 6) / 7;
        if (startSeptet > udl)
            return std::nullopt;
        m.text = UnpackSeptets(ud, startSeptet * 7, udl - startSeptet);
    } else if (alphabet == 2) {
        if ((ud.size() - hdrOctets) % 2 != 0)
            return std::nullopt;
        for (size_t i = hdrOctets; i + 1 < ud.size(); i += 2)
            m.text.push_back(static_cast<char16_t>((ud[i] << 8) | ud[i + 1]));
    } else {
        for (size_t i = hdrOctets; i < ud.size(); ++i)
            m.text.push_back(ud[i]);
    }
    return m;
}

}  // namespace simphone

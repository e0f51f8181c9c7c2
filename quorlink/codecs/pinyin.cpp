// Pinyin collation of mixed phone text.

#include <algorithm>
#include <array>
#include <cstdint>

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/pinyin_table.h"

namespace qc = quorlink::codecs;

namespace {

// The single-byte GSM codes in collation order: digits, then letters with
// their accented and Greek neighbours, then symbols. 0x0A, 0x0D, 0x1B,
// 0x24 and 0x5F are not ranked.
constexpr unsigned char kSingleByteOrder[] = {
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39,  // digits
    0x41, 0x61, 0x5B, 0x7B, 0x7F, 0x0E, 0x0F, 0x1C, 0x1D,  // A a Ä ä à Å å Æ æ
    0x42, 0x62, 0x43, 0x63, 0x09, 0x44, 0x64, 0x10,  // B b C c ç D d Δ
    0x45, 0x65, 0x1F, 0x04, 0x05, 0x46, 0x66, 0x12,  // E e É è é F f Φ
    0x47, 0x67, 0x13, 0x48, 0x68, 0x49, 0x69, 0x07,  // G g Γ H h I i ì
    0x4A, 0x6A, 0x4B, 0x6B, 0x4C, 0x6C, 0x14, 0x4D, 0x6D,  // J j K k L l Λ M m
    0x4E, 0x6E, 0x5D, 0x7D, 0x4F, 0x6F, 0x5C, 0x7C, 0x0B, 0x0C, 0x08,  // N n Ñ ñ O o Ö ö Ø ø ò
    0x50, 0x70, 0x16, 0x51, 0x71, 0x52, 0x72, 0x19,  // P p Π Q q R r Θ
    0x53, 0x73, 0x1E, 0x18, 0x54, 0x74,  // S s ß Σ T t
    0x55, 0x75, 0x5E, 0x7E, 0x06, 0x56, 0x76, 0x57, 0x77,  // U u Ü ü ù V v W w
    0x58, 0x78, 0x1A, 0x59, 0x79, 0x17, 0x5A, 0x7A, 0x15,  // X x Ξ Y y Ψ Z z Ω
    0x80, 0x01, 0x02, 0x03,  // @ £ $ ¥
    0x20, 0x21, 0x22, 0x23,  // space ! " #
    0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x60, 0x11,  // ¡ ¿ _
};
static_assert(sizeof kSingleByteOrder == 123);

// Rank by byte value; bytes not in the order rank 0.
constexpr std::array<std::uint8_t, 256> MakeSingleByteRanks()
{
    std::array<std::uint8_t, 256> ranks{};
    for (std::size_t i = 0; i < sizeof kSingleByteOrder; ++i)
        ranks[kSingleByteOrder[i]] = static_cast<std::uint8_t>(i);
    return ranks;
}
constexpr std::array<std::uint8_t, 256> kSingleByteRanks = MakeSingleByteRanks();

constexpr int kMissingGbkRank = qc::kPinyinEntries;

bool IsGbkAt(const unsigned char* p)
{
    return qc::IsGbkLead(p[0]) && qc::IsGbkTrail(p[1]);
}

int GbkRank(const unsigned char* p)
{
    const auto code = static_cast<std::uint16_t>(p[0] << 8 | p[1]);
    const std::uint16_t* end = qc::kPinyinCodes + qc::kPinyinEntries;
    const std::uint16_t* it = std::lower_bound(qc::kPinyinCodes, end, code);
    return it != end && *it == code ? qc::kPinyinRanks[it - qc::kPinyinCodes] : kMissingGbkRank;
}

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

// limit < 0: no limit.
int Compare(const char* a, const char* b, long limit)
{
    if (limit == 0)
        return 0;
    const bool aEmpty = a == nullptr || *a == 0;
    const bool bEmpty = b == nullptr || *b == 0;
    if (aEmpty || bEmpty)
        return aEmpty && bEmpty ? 0 : (aEmpty ? -1 : 1);
    auto pa = reinterpret_cast<const unsigned char*>(a);
    auto pb = reinterpret_cast<const unsigned char*>(b);

    // At the start a Chinese character sorts before a Latin one.
    const bool ga0 = IsGbkAt(pa);
    const bool gb0 = IsGbkAt(pb);
    if (!ga0 && gb0)
        return 1;
    if (ga0 && !gb0)
        return -1;

    while (*pa != 0 && *pb != 0) {
        const bool ga = IsGbkAt(pa);
        const bool gb = IsGbkAt(pb);
        if (ga && gb) {
            const int d = Sign(GbkRank(pa) - GbkRank(pb));
            if (d != 0)
                return d;
            pa += 2;
            pb += 2;
            // A limit inside a character ends after that whole character.
            if (limit > 0 && (limit -= 2) <= 0)
                return 0;
        } else if (ga != gb) {
            // After a common start a Latin character sorts before a Chinese one.
            return ga ? 1 : -1;
        } else {
            const int d = Sign(kSingleByteRanks[*pa] - kSingleByteRanks[*pb]);
            if (d != 0)
                return d;
            ++pa;
            ++pb;
            if (limit > 0 && --limit == 0)
                return 0;
        }
    }
    return Sign(static_cast<int>(*pa) - static_cast<int>(*pb));
}

}  // namespace

extern "C" int PINYINCodeStrcmp(const char* a, const char* b)
{
    return Compare(a, b, -1);
}

extern "C" int PINYINCodeStrncmp(const char* a, const char* b, int n)
{
    return Compare(a, b, n <= 0 ? 0 : n);
}

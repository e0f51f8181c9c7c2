// Software images (".cla") and packages (".bin") made for tests: a pattern
// of bytes with an identification block, and packages with their header.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace brindel_test {

using Bytes = std::vector<uint8_t>;

inline void PutBe16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

inline void PutBe32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}

// A tag of structure version 1..3 (16 bytes). For version 1, `edition` is
// not stored and packSize fills bytes 4-7; for version 3, packSize and
// packAddress are the number of packs and the pack-table address.
inline Bytes MakeTag(int version, uint16_t family, uint16_t edition, uint32_t packSize, uint32_t packAddress)
{
    Bytes t(16, 0);
    t[0] = 0x02;
    t[1] = uint8_t(version);
    PutBe16(t, 2, family);
    if (version == 1) {
        PutBe32(t, 4, packSize);
        PutBe32(t, 8, packAddress);
    } else {
        PutBe16(t, 6, edition);
        PutBe32(t, 8, packSize);
        PutBe32(t, 12, packAddress);
    }
    return t;
}

inline Bytes Pattern(size_t n, uint32_t seed = 1)
{
    Bytes b(n);
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = uint8_t(x >> 16);
    }
    return b;
}

// A software image of `size` bytes with the marker, length and tag at `at`.
inline Bytes MakeSoftware(size_t size, const Bytes& tag, size_t at = 0x100, uint32_t seed = 1)
{
    Bytes image = Pattern(size, seed);
    static const char kMarker[] = "download identification area";
    if (at + 28 + 4 + tag.size() <= size) {
        std::memcpy(image.data() + at, kMarker, 28);
        PutBe32(image, at + 28, uint32_t(tag.size()));
        std::memcpy(image.data() + at + 32, tag.data(), tag.size());
    }
    return image;
}

struct PackEntry {
    uint32_t size, address, mandatory;
};

// Writes a version 3 pack table into an image at `at`.
inline void PutPackTable(Bytes& image, size_t at, const std::vector<PackEntry>& packs)
{
    for (size_t i = 0; i < packs.size(); ++i) {
        PutBe32(image, at + 12 * i, packs[i].size);
        PutBe32(image, at + 12 * i + 4, packs[i].address);
        PutBe32(image, at + 12 * i + 8, packs[i].mandatory);
    }
}

// A package for software of version 2 or 3 with `items` (ids) and `payload`
// bytes after the header; declaredSize 0 declares the even-rounded file size.
inline Bytes MakePackage(uint16_t family, uint16_t edition, const std::vector<uint32_t>& items, size_t payload,
                         uint32_t declaredSize = 0)
{
    Bytes p(32 + 8 * items.size(), 0);
    std::memcpy(p.data(), "599:", 4);
    PutBe16(p, 4, family);
    PutBe16(p, 6, edition);
    PutBe32(p, 28, uint32_t(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
        PutBe32(p, 32 + 8 * i, items[i]);
        PutBe32(p, 36 + 8 * i, 0x1000 + uint32_t(i));
    }
    const Bytes rest = Pattern(payload, 7);
    p.insert(p.end(), rest.begin(), rest.end());
    PutBe32(p, 12, declaredSize != 0 ? declaredSize : uint32_t(p.size() + p.size() % 2));
    return p;
}

}  // namespace brindel_test

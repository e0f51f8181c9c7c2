#pragma once
// Explicit byte order for the clip files: the phone's numbers (index
// records, JPEG segments) are big-endian, the AVI file's little-endian.
// The field types are plain byte arrays, so records built from them are
// packed by construction and read the same on any host.

#include <cstddef>
#include <cstdint>
#include <span>

namespace media {

struct Be16 {
    uint8_t b[2];
    [[nodiscard]] uint16_t get() const { return static_cast<uint16_t>(b[0] << 8 | b[1]); }
};

struct Be32 {
    uint8_t b[4];
    [[nodiscard]] uint32_t get() const
    {
        return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    }
};

struct Le16 {
    uint8_t b[2];
    Le16& operator=(uint16_t v)
    {
        b[0] = static_cast<uint8_t>(v);
        b[1] = static_cast<uint8_t>(v >> 8);
        return *this;
    }
};

struct Le32 {
    uint8_t b[4];
    Le32& operator=(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<uint8_t>(v >> (8 * i));
        return *this;
    }
    [[nodiscard]] uint32_t get() const
    {
        return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
    }
};

static_assert(sizeof(Be16) == 2 && sizeof(Be32) == 4 && sizeof(Le16) == 2 && sizeof(Le32) == 4);

// A 16-bit big-endian number at an offset the caller has checked.
[[nodiscard]] inline uint16_t ReadBe16(std::span<const uint8_t> d, size_t at)
{
    return static_cast<uint16_t>(d[at] << 8 | d[at + 1]);
}

}  // namespace media

// Fixed-size records of the handset's own files. Multi-byte numbers in them
// are big-endian and kept as byte arrays, read and written through Be16/Be32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace simphone {

inline uint16_t GetBe16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t GetBe32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline void PutBe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void PutBe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// Copies text into a fixed field, NUL-terminated and zero-filled; cut to fit.
template <size_t N>
void PutText(uint8_t (&field)[N], std::string_view text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}
template <size_t N>
std::string GetText(const uint8_t (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(field), n);
}

// Packed date of the handset: bits 31-20 year, 19-16 month, 15-11 day,
// 10-6 hour, 5-0 minute.
inline uint32_t PackDate(int year, int month, int day, int hour, int minute)
{
    return (static_cast<uint32_t>(year) << 20) | (static_cast<uint32_t>(month) << 16) |
        (static_cast<uint32_t>(day) << 11) | (static_cast<uint32_t>(hour) << 6) | static_cast<uint32_t>(minute);
}

#pragma pack(push, 1)

// One handset phonebook record (smpb files hold 20 of them).
struct PhonebookRecord {
    uint8_t name[41];
    struct Number {
        uint8_t bcd[22];
        uint8_t kind;
    } numbers[5];
    uint8_t detail6[51];
    uint8_t detail7[51];
    uint8_t detail8[61];
    uint8_t detail9[11];
    uint8_t group;
    uint8_t defaultField;
    uint8_t defaultNumber;
    uint8_t reserved[5];
    uint8_t detail10[13];
    uint8_t detail11[19];
};
static_assert(sizeof(PhonebookRecord) == 370);
static_assert(offsetof(PhonebookRecord, detail6) == 156);
static_assert(offsetof(PhonebookRecord, group) == 330);
static_assert(offsetof(PhonebookRecord, detail10) == 338);

// Entry i of smpbtab describes handset slot i + 1.
struct PhonebookTabEntry {
    uint8_t slot[2];  // i + 1 when the slot is used, 0xFFFF when free
    uint8_t position[2];  // 0-based place of the entry in the handset's own list
    uint8_t sortKey[20];  // the first characters of the name, NUL-terminated
};
static_assert(sizeof(PhonebookTabEntry) == 24);

// SIM record of the tmp.dat drop file.
struct SimDropRecord {
    uint8_t name[51];
    uint8_t number[42];
};
static_assert(sizeof(SimDropRecord) == 93);

// One entry of the smstab files.
struct SmsTabEntry {
    uint8_t sequence[4];  // arrival counter
    uint8_t status;
    uint8_t memory;  // 1: handset
    uint8_t item[2];  // bit 15 in use, bits 0-14 item number
    uint8_t concatenated;
    uint8_t concatIndex;
    uint8_t reserved[2];
};
static_assert(sizeof(SmsTabEntry) == 12);

struct SmsConcatEntry {
    uint8_t reference[2];
    uint8_t used;
    uint8_t parts;
    uint8_t reserved1[4];
    uint8_t sequence[4];
    uint8_t partItems[10][2];  // bit 15 set + item number; 0 = part missing
    uint8_t reserved2[44];
};
static_assert(sizeof(SmsConcatEntry) == 76);

struct SmsItem {
    uint8_t reserved1[4];
    uint8_t date[4];
    uint8_t reserved2[12];
    uint8_t number[41];
    uint8_t reserved3;
    uint8_t text[167];
    uint8_t reserved4[3];
};
static_assert(sizeof(SmsItem) == 232);
static_assert(offsetof(SmsItem, text) == 62);

// Picture and ringtone slot index record.
struct SlotRecord {
    uint8_t size[4];
    uint8_t fileName[12];
    uint8_t displayName[16];
    uint8_t used;
    uint8_t isPrivate;
    uint8_t reserved[2];
};
static_assert(sizeof(SlotRecord) == 36);

struct CameraRecord {
    uint8_t number[2];
    uint8_t isPrivate;
    uint8_t reserved1;
    uint8_t displayName[16];
    uint8_t fileName[16];
    uint8_t size[4];
    uint8_t reserved2;
    uint8_t resolution;
    uint8_t reserved3[2];
    uint8_t date[4];
};
static_assert(sizeof(CameraRecord) == 48);

// WAP and MMS item index record.
struct ItemRecord {
    uint8_t fileName[12];
    uint8_t displayName[84];
    uint8_t reserved1[2];
    uint8_t isPrivate;
    uint8_t reserved2[5];
    uint8_t size[4];
};
static_assert(sizeof(ItemRecord) == 108);

struct VideoRecord {
    uint8_t number[2];
    uint8_t name[16];
    uint8_t isPrivate;
    uint8_t reserved;
    uint8_t size[4];
    uint8_t seconds[4];
};
static_assert(sizeof(VideoRecord) == 28);

#pragma pack(pop)

inline constexpr size_t kSmpbtabSize = 12000;
inline constexpr size_t kSmpbtabEntries = 500;
inline constexpr size_t kRecordsPerSmpb = 20;
inline constexpr size_t kSmsTabFiles = 5;
inline constexpr size_t kSmsTabEntries = 300;
inline constexpr size_t kSmsConcatSize = 2316;
inline constexpr size_t kSmsConcatEntries = 30;
inline constexpr size_t kItemsPerFile = 20;
inline constexpr size_t kMaxSmsItem = 1300;
inline constexpr size_t kSlotCount = 10;
inline constexpr size_t kClipPartSize = 20480;

template <typename T>
std::span<const uint8_t> AsBytes(const T& t)
{
    return {reinterpret_cast<const uint8_t*>(&t), sizeof(T)};
}
template <typename T>
T FromBytes(std::span<const uint8_t> b)
{
    T t{};
    std::memcpy(&t, b.data(), std::min(b.size(), sizeof(T)));
    return t;
}

}  // namespace simphone

#include "mobile/media/core/media_index.h"

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/codecs/ucs2.h"
#include "quorlink/media/byte_order.h"
#include "resources/strings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace media {

namespace fs = std::filesystem;
using quorlink::media::GetBe32;

namespace {

constexpr IndexFileInfo kIndexFiles[] = {
    {MediaList::UserPictures, "jpeg.idx", "/app/jpeg/", "index", true},
    {MediaList::UserRingtones, "midi.idx", "/app/midi/", "index", true},
    {MediaList::Camera, "cam.idx", "/app/camera/", "cam.idx", false},
    {MediaList::WapPictures, "WapImg.idx", "/app/wp/", "imgIndex.txt", false},
    {MediaList::MmsPictures, "MMSImg.idx", "/app/mms/", "imgIndex.txt", false},
    {MediaList::WapSounds, "WapAudi.idx", "/app/wp/", "audIndex.txt", false},
    {MediaList::MmsSounds, "MMSAudi.idx", "/app/mms/", "audIndex.txt", false},
};

// Trailers of the WAP lists: where the count lives.
constexpr size_t kWapPictureCountAt = 3270;
constexpr size_t kWapSoundCountAt = 1090;

constexpr const char* kResolutions[] = {"128x96", "128x128", "320x240", "640x480", "1024x768", "1280x1024"};

}  // namespace

const IndexFileInfo& IndexInfo(MediaList list)
{
    return kIndexFiles[static_cast<size_t>(list)];
}

std::string PhoneFileName(std::string_view plain)
{
    // The encoded name is at most ceil(8 * n / 3) + 1 bytes; the phone's
    // names are short, and the encoder reads at most 49 bytes.
    std::vector<char> buffer(std::max<size_t>(plain.size() * 3 + 8, 160), 0);
    std::memcpy(buffer.data(), plain.data(), std::min<size_t>(plain.size(), 49));
    StringToPosix(buffer.data());
    return buffer.data();
}

std::string PhoneIndexPath(MediaList list)
{
    const IndexFileInfo& f = IndexInfo(list);
    std::string path(f.directory);
    path += f.encodedName ? PhoneFileName(f.phoneName) : std::string(f.phoneName);
    return path;
}

std::string LocalIndexPath(std::string_view programDirectory, MediaList list)
{
    return std::string(programDirectory) + std::string(IndexInfo(list).local);
}

shell::BatchPlan IndexDownloadPlan(std::string_view programDirectory, std::span<const MediaList> lists)
{
    shell::BatchPlan plan;
    plan.titleId = res::IDS_READING_MEDIA_LIST;
    plan.stepCount = static_cast<int>(lists.size());
    const plat::ThreadId self = plat::CurrentThreadId();
    for (MediaList list : lists) {
        const uint32_t block = NewTransferBlock(PhoneIndexPath(list), LocalIndexPath(programDirectory, list));
        plan.steps.push_back(shell::BatchStep::Request(REQ_DOWNLOAD, shell::NewRequest(self, {}, block)));
    }
    return plan;
}

// ---- slot tables ----------------------------------------------------------

SlotTable ParseSlotTable(std::span<const uint8_t> bytes, SlotTableKind kind)
{
    SlotTable table{};
    const size_t present = std::min(bytes.size() / sizeof(SlotRecord), kSlotCount);
    if (present > 0)
        std::memcpy(table.data(), bytes.data(), present * sizeof(SlotRecord));
    for (size_t i = present; i < kSlotCount; ++i)
        std::snprintf(table[i].fileName, sizeof table[i].fileName, "%s%03zu%s", "User", i,
                      kind == SlotTableKind::Pictures ? ".jpg" : ".mid");
    return table;
}

std::optional<SlotTable> ReadSlotTable(const fs::path& file, SlotTableKind kind)
{
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    if (!f)
        return std::nullopt;
    std::vector<uint8_t> bytes(kSlotTableSize);
    f.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(static_cast<size_t>(f.gcount()));
    SlotTable table = ParseSlotTable(bytes, kind);
    if (bytes.size() / sizeof(SlotRecord) < kSlotCount) {
        f.clear();
        f.seekp(0);
        f.write(reinterpret_cast<const char*>(table.data()), std::streamsize(kSlotTableSize));
        if (!f.flush())
            return std::nullopt;
    }
    return table;
}

bool WriteSlotTable(const fs::path& file, const SlotTable& table)
{
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    if (!f)
        f.open(file, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!f)
        return false;
    f.seekp(0);
    f.write(reinterpret_cast<const char*>(table.data()), std::streamsize(kSlotTableSize));
    return bool(f.flush());
}

// ---- read-only lists ------------------------------------------------------

std::vector<CameraRecord> ParseCameraIndex(std::span<const uint8_t> bytes)
{
    const size_t n = std::min(bytes.size() / sizeof(CameraRecord), kCameraRecordsMax);
    std::vector<CameraRecord> records(n);
    if (n > 0)
        std::memcpy(records.data(), bytes.data(), n * sizeof(CameraRecord));
    return records;
}

std::vector<ItemRecord> ParseItemIndex(std::span<const uint8_t> bytes, MediaList list)
{
    size_t count = 0;
    switch (list) {
    case MediaList::WapPictures:
        if (bytes.size() > kWapPictureCountAt + 1)
            count = uint8_t(bytes[kWapPictureCountAt] - bytes[kWapPictureCountAt + 1]);
        count = std::min(count, kItemRecordsMax);
        break;
    case MediaList::WapSounds:
        if (bytes.size() > kWapSoundCountAt)
            count = std::min<size_t>(bytes[kWapSoundCountAt], kWapSoundRecordsMax);
        break;
    case MediaList::MmsPictures:
    case MediaList::MmsSounds: count = std::min(bytes.size() / sizeof(ItemRecord), kItemRecordsMax); break;
    default: break;
    }
    // A count from a trailer never reaches past the records the file holds.
    count = std::min(count, bytes.size() / sizeof(ItemRecord));
    std::vector<ItemRecord> records(count);
    if (count > 0)
        std::memcpy(records.data(), bytes.data(), count * sizeof(ItemRecord));
    return records;
}

std::string CameraDateText(uint32_t packed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u/%02u/%02u  %02u:%02u", (packed >> 20) % 100, (packed >> 16) & 0xF,
                  (packed >> 11) & 0x1F, (packed >> 6) & 0x1F, packed & 0x3F);
    return text;
}

std::string_view CameraResolutionText(uint8_t code)
{
    return code < std::size(kResolutions) ? kResolutions[code] : "?";
}

// ---- text -----------------------------------------------------------------

std::string PhoneTextToUtf8(std::span<const char> field)
{
    std::string text(field.data(), strnlen(field.data(), field.size()));
    std::vector<unsigned short> ucs2(text.size() + 1);
    CUcs2::GB2UcsString(reinterpret_cast<const unsigned char*>(text.c_str()), ucs2.data());
    return quorlink::codecs::Ucs2ToUtf8(std::u16string(ucs2.begin(), std::find(ucs2.begin(), ucs2.end(), 0)));
}

std::string Utf8ToPhoneText(std::string_view utf8, size_t maxBytes)
{
    std::string out;
    for (char16_t c : quorlink::codecs::Utf8ToUcs2(utf8)) {
        const unsigned short one[2] = {c, 0};
        unsigned char encoded[3] = {};
        CUcs2::Ucs2GBString(one, encoded);
        std::string piece(reinterpret_cast<const char*>(encoded));
        if (piece.empty() || static_cast<unsigned char>(piece[0]) == 0xFF)
            piece = "?";  // no code in the phone's character sets
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
    }
    return out;
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const fs::path& file)
{
    std::ifstream f(file, std::ios::binary);
    if (!f)
        return std::nullopt;
    // Whole blocks rather than a byte at a time: clips run to megabytes.
    std::vector<uint8_t> bytes;
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    bytes.reserve(ec ? 0 : static_cast<size_t>(size));
    char block[1 << 16];
    while (f.read(block, sizeof block) || f.gcount() > 0)
        bytes.insert(bytes.end(), block, block + f.gcount());
    if (f.bad())
        return std::nullopt;
    return bytes;
}

}  // namespace media

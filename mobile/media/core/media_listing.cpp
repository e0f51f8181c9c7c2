#include "mobile/media/core/media_listing.h"

#include "quorlink/media/byte_order.h"
#include "resources/strings.h"

#include <cstring>

namespace media {

using quorlink::media::GetBe32;

namespace {

// Fills the shown columns of a used row from its record's fields.
void ShowItem(MediaRow& row, bool locked, bool roundUp)
{
    row.used = true;
    if (locked && row.isPrivate) {
        row.nameId = res::IDS_PRIVATE;
        row.sizeText = "0";
        return;
    }
    row.name = row.displayName;
    row.sizeText = KilobyteText(row.size, roundUp);
}

MediaRow EmptyRow(int number)
{
    MediaRow row;
    row.number = number;
    row.record = number - 1;
    row.nameId = res::IDS_EMPTY;
    row.sizeText = "0K";
    return row;
}

}  // namespace

std::string KilobyteText(uint32_t bytes, bool roundUp)
{
    const uint32_t kb = bytes / 1024 + (roundUp && bytes % 1024 != 0 ? 1 : 0);
    return std::to_string(kb) + "K";
}

std::vector<MediaRow> EmptyRows(size_t count)
{
    std::vector<MediaRow> rows;
    for (size_t i = 0; i < count; ++i)
        rows.push_back(EmptyRow(static_cast<int>(i + 1)));
    return rows;
}

std::vector<MediaRow> SlotRows(MediaList list, const SlotTable& table, bool picturesLocked)
{
    std::vector<MediaRow> rows;
    for (size_t k = 0; k < table.size(); ++k) {
        const SlotRecord& r = table[k];
        MediaRow row = EmptyRow(static_cast<int>(k + 1));
        row.fileName = std::string(r.fileName, strnlen(r.fileName, sizeof r.fileName));
        if (r.used) {
            row.nameId = 0;
            row.displayName = PhoneTextToUtf8(std::span(r.displayName, 15));
            row.size = GetBe32(r.size);
            row.isPrivate = r.isPrivate == 1;
            ShowItem(row, picturesLocked, list != MediaList::UserRingtones);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<MediaRow> ListRows(MediaList list, std::span<const uint8_t> bytes, bool picturesLocked)
{
    std::vector<MediaRow> rows;
    if (list == MediaList::UserPictures || list == MediaList::UserRingtones)
        return SlotRows(
            list,
            ParseSlotTable(bytes, list == MediaList::UserPictures ? SlotTableKind::Pictures : SlotTableKind::Ringtones),
            picturesLocked);
    if (list == MediaList::Camera) {
        const auto records = ParseCameraIndex(bytes);
        for (size_t i = 0; i < records.size(); ++i) {
            const CameraRecord& r = records[i];
            if (r.fileName[0] == 0)
                continue;
            MediaRow row;
            row.number = static_cast<int>(rows.size() + 1);
            row.record = static_cast<int>(i);
            row.fileName = std::string(r.fileName, strnlen(r.fileName, sizeof r.fileName));
            row.displayName = PhoneTextToUtf8(std::span(r.displayName, 15));
            row.size = GetBe32(r.size);
            row.isPrivate = r.isPrivate == 1;
            row.detail = CameraDateText(GetBe32(r.taken)) + "  " + std::string(CameraResolutionText(r.resolution));
            ShowItem(row, picturesLocked, true);
            rows.push_back(std::move(row));
        }
        return rows;
    }
    const bool mms = list == MediaList::MmsPictures || list == MediaList::MmsSounds;
    const auto records = ParseItemIndex(bytes, list);
    for (size_t i = 0; i < records.size(); ++i) {
        const ItemRecord& r = records[i];
        if (mms && r.fileName[0] == 0)
            continue;
        MediaRow row;
        row.number = static_cast<int>(rows.size() + 1);
        row.record = static_cast<int>(i);
        row.fileName = std::string(r.fileName, strnlen(r.fileName, sizeof r.fileName));
        row.displayName = PhoneTextToUtf8(std::span(r.displayName, 84));
        row.size = GetBe32(r.size);
        row.isPrivate = r.isPrivate == 1;
        ShowItem(row, picturesLocked, true);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<std::vector<MediaRow>> LoadListing(std::string_view programDirectory, MediaList list, bool picturesLocked)
{
    const std::string path = LocalIndexPath(programDirectory, list);
    if (list == MediaList::UserPictures || list == MediaList::UserRingtones) {
        const auto table =
            ReadSlotTable(path, list == MediaList::UserPictures ? SlotTableKind::Pictures : SlotTableKind::Ringtones);
        if (!table)
            return std::nullopt;
        return SlotRows(list, *table, picturesLocked);
    }
    const auto bytes = ReadFileBytes(path);
    if (!bytes)
        return std::nullopt;
    return ListRows(list, *bytes, picturesLocked);
}

}  // namespace media

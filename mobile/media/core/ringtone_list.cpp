#include "mobile/media/core/ringtone_list.h"

#include "resources/strings.h"

namespace media {

std::optional<MediaList> SoundList(SoundCategory category)
{
    static constexpr struct {
        SoundCategory category;
        MediaList list;
    } kLists[] = {
        {SoundCategory::User, MediaList::UserRingtones},
        {SoundCategory::Wap, MediaList::WapSounds},
        {SoundCategory::Mms, MediaList::MmsSounds},
    };
    for (const auto& row : kLists)
        if (row.category == category)
            return row.list;
    return std::nullopt;
}

SoundListing LoadSoundList(std::string_view programDirectory, SoundCategory category, bool phoneMode,
                           shell::BatchRunner& runner)
{
    const std::optional<MediaList> list = SoundList(category);
    if (!list)
        return {{}, res::IDS_MEDIA_LIST_FAILED};
    auto rows = LoadListing(programDirectory, *list, false);
    if (!rows && phoneMode) {
        const MediaList again[] = {*list};
        if (runner.runBatch(IndexDownloadPlan(programDirectory, again)) == shell::kBatchOk)
            rows = LoadListing(programDirectory, *list, false);
    }
    if (!rows)
        return {{}, res::IDS_MEDIA_LIST_FAILED};
    return {std::move(*rows), 0};
}

}  // namespace media

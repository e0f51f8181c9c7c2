#include "mobile/media/core/video_flows.h"

#include "mobile/media/core/media_parts.h"
#include "platform/messages.h"
#include "resources/strings.h"

#include <cstdio>
#include <filesystem>

namespace media {

namespace {

// Local parts left by a failed download or join.
void RemoveLocalParts(const ClipInfo& clip, const std::string& dir)
{
    std::error_code ec;
    for (int i = 0; i < PartCount(clip.size); ++i)
        std::filesystem::remove(dir + LocalPartName(ClipFileName(clip.number), i), ec);
}

}  // namespace

shell::BatchPlan ClipIndexPlan(const std::string& programDir)
{
    shell::BatchPlan plan;
    plan.titleId = res::IDS_READING_VIDEO_LIST;
    const uint32_t block = NewTransferBlock(std::string(kClipDirectory) + kClipIndexName, programDir + kClipIndexName);
    plan.steps.push_back(
        shell::BatchStep::Request(REQ_DOWNLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, block)));
    return plan;
}

shell::BatchPlan ClipPartsPlan(const ClipInfo& clip, const std::string& programDir)
{
    shell::BatchPlan plan = PartsDownloadPlan(kClipDirectory, ClipFileName(clip.number), clip.size, programDir);
    plan.titleId = res::IDS_COPYING_CLIP_PC;
    return plan;
}

int SaveOutcome::messageId() const
{
    switch (status) {
    case SaveStatus::Saved: return res::IDS_CLIP_SAVED;
    case SaveStatus::Private: return res::IDS_CLIP_PRIVATE_PHONES_PRIVACY;
    case SaveStatus::DownloadFailed:
    case SaveStatus::ConvertFailed: return res::IDS_CLIP_CONVERT_FAILED;
    case SaveStatus::NotConnected:
    case SaveStatus::NoSuchClip: break;
    }
    return 0;
}

VideoLibrary::VideoLibrary(std::string programDir) : dir_(std::move(programDir)) { }

bool VideoLibrary::refresh(shell::BatchRunner& runner)
{
    connected_ = runner.runBatch(ClipIndexPlan(dir_)) == shell::kBatchOk;
    if (!connected_)
        clips_.clear();
    (void)load();
    return connected_;
}

void VideoLibrary::disconnect()
{
    connected_ = false;
    clips_.clear();
}

IndexLoad VideoLibrary::load()
{
    if (!connected_)
        return IndexLoad::Missing;
    LoadedClipIndex loaded = LoadClipIndex(indexPath());
    if (loaded.status == IndexLoad::Ok)
        clips_ = std::move(loaded.clips);
    return loaded.status;
}

std::vector<ClipRow> VideoLibrary::rows(const std::function<std::string(int)>& text) const
{
    if (!connected_)
        return BlankClipRows();
    return ClipRows(clips_, text, known_);
}

SaveStatus VideoLibrary::checkSave(int number, ClipInfo* clip) const
{
    if (!connected_)
        return SaveStatus::NotConnected;
    const LoadedClipIndex index = LoadClipIndex(indexPath());
    for (const ClipInfo& c : index.clips) {
        if (c.number != number || c.empty())
            continue;
        if (clip)
            *clip = c;
        return c.isPrivate ? SaveStatus::Private : SaveStatus::Saved;
    }
    return SaveStatus::NoSuchClip;
}

SaveOutcome VideoLibrary::save(shell::BatchRunner& runner, int number, const std::string& chosenPath,
                               const ConvertOptions& options)
{
    SaveOutcome outcome;
    ClipInfo clip;
    outcome.status = checkSave(number, &clip);
    if (outcome.status != SaveStatus::Saved)
        return outcome;
    // The joined clip is a working file of the program directory, never a
    // file beside the user's choice (which may be someone's own ".mjp").
    const std::string mjp = dir_ + ClipFileName(clip.number) + ".mjp";
    if (runner.runBatch(ClipPartsPlan(clip, dir_)) != shell::kBatchOk ||
        !JoinParts(dir_, ClipFileName(clip.number), PartCount(clip.size), mjp)) {
        RemoveLocalParts(clip, dir_);
        outcome.status = SaveStatus::DownloadFailed;
        return outcome;
    }
    outcome.aviPath = WithExtension(chosenPath, ".avi");
    outcome.convert = ConvertMjpegFile(mjp, outcome.aviPath, options);
    std::remove(mjp.c_str());
    if (outcome.convert.width > 0) {
        std::erase_if(known_, [&](const KnownClipSize& k) { return k.number == clip.number; });
        known_.push_back({clip.number, clip.size, outcome.convert.width, outcome.convert.height});
    }
    outcome.status = outcome.convert.ok() ? SaveStatus::Saved : SaveStatus::ConvertFailed;
    return outcome;
}

}  // namespace media

#include "mobile/media/core/mp3_flows.h"

#include "mobile/media/core/mp3_index.h"
#include "mobile/shell/core/requests.h"
#include "platform/messages.h"
#include "resources/strings.h"

#include <algorithm>
#include <system_error>

namespace media {

namespace fs = std::filesystem;

namespace {

constexpr char kDecodedFile[] = "decoded.wav";
constexpr char kEncodedFile[] = "encoded.mp3";

shell::BatchStep Step(int32_t code, uint32_t argument = 0)
{
    return shell::BatchStep::Request(code, shell::NewRequest(plat::CurrentThreadId(), {}, argument));
}

shell::BatchPlan WriteIndexPlan()
{
    shell::BatchPlan plan;
    plan.titleId = res::IDS_WRITING_MP3_LIST;
    plan.stepCount = 1;
    plan.steps.push_back(Step(REQ_BRIDGE_WRITE_INDEX));
    return plan;
}

bool ValidMp3Slot(int n)
{
    return n >= 1 && n <= static_cast<int>(kMp3Slots);
}

}  // namespace

Mp3Listing LoadMp3List(const std::string& programDirectory)
{
    const std::optional<Mp3Index> index = LoadMp3Index(programDirectory);
    if (!index)
        return {Mp3Rows(FreshMp3Index()), res::IDS_MP3_LIST_OPEN_FAILED};
    return {Mp3Rows(*index), 0};
}

Mp3Flows::Mp3Flows(std::string programDirectory, shell::BatchRunner& runner)
    : dir_(std::move(programDirectory)), runner_(runner)
{
}

bool Mp3Flows::clearRecord(int n) const
{
    std::optional<Mp3Index> index = LoadMp3Index(dir_);
    if (!index)
        return false;
    ClearMp3Record(*index, static_cast<size_t>(n - 1));
    return SaveMp3Index(dir_, *index);
}

FlowResult Mp3Flows::empty(int n)
{
    using shell::Icon;
    if (!ValidMp3Slot(n) || !clearRecord(n))
        return {false, res::IDS_MP3_LIST_OPEN_FAILED, Icon::Error};
    if (runner_.runBatch(WriteIndexPlan()) != shell::kBatchOk)
        return {false, res::IDS_MP3_LIST_WRITE_FAILED, Icon::Error};
    return {true, res::IDS_MP3_LIST_WRITTEN, Icon::Information};
}

FlowResult Mp3Flows::put(int n, std::string_view name, const fs::path& source)
{
    using shell::Icon;
    const FlowResult failed{false, res::IDS_FILE_NOT_ACCEPTED, Icon::Error};
    const std::optional<Mp3Index> before = LoadMp3Index(dir_);
    if (!before)
        return {false, res::IDS_MP3_LIST_OPEN_FAILED, Icon::Error};
    if (!ValidMp3Slot(n))
        return failed;
    if (Mp3Rows(*before)[static_cast<size_t>(n - 1)].used && !empty(n).ok)
        return failed;

    const uint32_t pathBlock = NewPathBlock(source.string());
    if (pathBlock == 0)
        return failed;
    shell::BatchPlan plan;
    plan.titleId = res::IDS_CONVERTING_MP3_FILE;
    plan.stepCount = 4;
    plan.steps.push_back(Step(REQ_BRIDGE_DECODE, pathBlock));
    plan.steps.push_back(Step(REQ_BRIDGE_ENCODE));
    plan.steps.push_back(Step(REQ_BRIDGE_WRITE_MP3, NewSlotBlock(n - 1)));
    plan.steps.push_back(Step(REQ_BRIDGE_WRITE_INDEX));
    // Once the sound is encoded its record goes into the local index, so
    // that the index written after the sound lists it. A damaged local
    // index is rebuilt first rather than losing the new record.
    bool filled = false;
    plan.effects.onMp3SlotFilled = [&](int, const std::string&) {
        std::error_code ec;
        const uintmax_t size = fs::file_size(dir_ + kEncodedFile, ec);
        std::optional<Mp3Index> index = LoadMp3Index(dir_);
        if (ec || !index)
            return;
        FillMp3Record(*index, static_cast<size_t>(n - 1), name,
                      static_cast<uint32_t>(std::min<uintmax_t>(size, kMp3SlotBytes)));
        filled = SaveMp3Index(dir_, *index);
    };
    const bool ok = runner_.runBatch(std::move(plan)) == shell::kBatchOk && filled;
    if (!ok)
        (void)clearRecord(n);
    std::error_code ec;
    fs::remove(dir_ + kDecodedFile, ec);
    fs::remove(dir_ + kEncodedFile, ec);
    return ok ? FlowResult{true, res::IDS_DONE, Icon::Information} : failed;
}

}  // namespace media

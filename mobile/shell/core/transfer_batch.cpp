#include "mobile/shell/core/transfer_batch.h"
#include "resources/strings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace shell {

namespace {

// Status texts of the flash-bridge steps, shown on their success.
struct BridgeStatusRow {
    int32_t kind;
    int stringId;
};
constexpr BridgeStatusRow kBridgeStatus[] = {
    {REQ_BRIDGE_OPEN, res::IDS_PHONE_BOOTING_PRESS_PHONES}, {REQ_BRIDGE_BOOT, res::IDS_LOADING_FLASH_DRIVER},
    {REQ_BRIDGE_SPEED, res::IDS_READING_MP3_LIST},          {REQ_BRIDGE_RESAMPLE, res::IDS_CONVERTING_MP3_FILE},
    {REQ_BRIDGE_DECODE, res::IDS_ERASING_MP3_SLOT},         {REQ_BRIDGE_ENCODE, res::IDS_WRITING_MP3_FILE},
};

// Kinds whose records move the bar (progress records and step counting).
[[nodiscard]] bool HasCommonProgress(int32_t kind)
{
    switch (kind) {
    case REQ_LONG_COMMAND:
    case REQ_UPLOAD:
    case REQ_DOWNLOAD:
    case REQ_RECONNECT:
    case REQ_READ_SIM_PHONEBOOK:
    case REQ_READ_MESSAGES: return true;
    default: return kind >= REQ_SCAN_AND_CONNECT && kind <= REQ_BRIDGE_LAST;
    }
}

[[nodiscard]] std::string RecordText(const LinkResult& r)
{
    return std::string(r.text, strnlen(r.text, sizeof r.text));
}

[[nodiscard]] std::string FileLine(const std::string& name, int32_t current, int32_t total)
{
    return "(" + name + " : " + std::to_string(current) + "/" + std::to_string(total) + ")";
}

}  // namespace

std::string PercentText(int percent)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d%c", percent, '%');
    return buf;
}

BatchStep BatchStep::Request(int32_t kind, RequestPtr request)
{
    BatchStep s;
    s.kind = kind;
    s.request = std::move(request);
    return s;
}

BatchStep& BatchStep::operator=(BatchStep&& other) noexcept
{
    if (this != &other) {
        DiscardRequest(kind, std::move(request));
        kind = other.kind;
        request = std::move(other.request);
        callback = std::move(other.callback);
    }
    return *this;
}

BatchStep::~BatchStep()
{
    DiscardRequest(kind, std::move(request));
}

BatchStep BatchStep::Callback(BatchCallback callback)
{
    BatchStep s;
    s.kind = kCallbackStep;
    s.callback = std::move(callback);
    return s;
}

TransferBatch::TransferBatch(BatchHost& host, BatchEffects effects) : host_(host), effects_(std::move(effects)) { }

TransferBatch::~TransferBatch()
{
    discardRemaining();
}

void TransferBatch::setBatch(std::vector<BatchStep> steps)
{
    discardRemaining();
    for (auto& s : steps)
        steps_.push_back(std::move(s));
    stepCount_ = 1;
    stepsDone_ = 0;
}

void TransferBatch::setTitle(int stringId)
{
    host_.showStatus(host_.text(stringId));
}

void TransferBatch::start()
{
    if (started_ || finished_)
        return;
    started_ = true;
    if (host_.phoneModeConnected()) {
        // The first step starts when this command's final record arrives.
        if (!PostRequest(host_.workerThread(), REQ_COMMAND, NewRequest(host_.guiThread(), "AT*MASKCALL=1\r"),
                         host_.batchWindow())) {
            close(kBatchCancel);
        }
        return;
    }
    startNext();
}

void TransferBatch::startNext()
{
    while (!steps_.empty() && !finished_) {
        BatchStep step = std::move(steps_.front());
        steps_.pop_front();
        if (step.kind == kCallbackStep) {
            const bool goOn = step.callback && step.callback(*this);
            if (finished_)
                return;
            if (!goOn) {
                close(kBatchCancel);
                return;
            }
            if (steps_.empty()) {
                close(kBatchOk);
                return;
            }
            continue;
        }
        if (!PostRequest(host_.workerThread(), step.kind, std::move(step.request), host_.batchWindow())) {
            // The worker is gone: nothing will ever answer this step.
            close(kBatchCancel);
        }
        return;
    }
    // Only an empty batch gets here; it has nothing to wait for.
    if (!finished_)
        close(kBatchOk);
}

void TransferBatch::onResult(int32_t kind, LinkResult* record)
{
    ResultPtr owned(record);
    if (!record || finished_)
        return;
    const LinkResult& r = *record;
    if (effects_.onRecord)
        effects_.onRecord(kind, r);
    int32_t status = r.status;
    const int32_t current = r.progress.current;
    const int32_t total = r.progress.total;

    switch (kind) {
    case REQ_RAW_REMOVE:
        if (effects_.backup)
            status = LINK_SUCCEEDED;
        break;
    case REQ_RAW_LIST:
        if (status == LINK_FAILED && effects_.backup && effects_.backup->acceptsFailedListing(r.code))
            status = LINK_SUCCEEDED;
        listingWork(status, r);
        break;
    case REQ_CHECK_VERSION:
        if (status == LINK_FAILED)
            versionCheckFailed_ = true;
        break;
    case REQ_STORAGE_COUNTS:
        if (status != LINK_SUCCEEDED && effects_.onStorageCount)
            effects_.onStorageCount(current);
        break;
    case REQ_PRIVACY_LOCK:
        if (status == LINK_INTERMEDIATE && effects_.onPrivacyLock)
            effects_.onPrivacyLock(current != 0, total != 0);
        break;
    case REQ_SCAN_AND_CONNECT:
        if (status == LINK_SUCCEEDED && effects_.onScanResult)
            effects_.onScanResult(current != 0, static_cast<uint8_t>(total));
        break;
    default: break;
    }
    if (status == LINK_SUCCEEDED) {
        for (const auto& row : kBridgeStatus) {
            if (row.kind != kind)
                continue;
            host_.showStatus(host_.text(row.stringId));
            if (kind == REQ_BRIDGE_OPEN && showCancelOnHandshake_)
                host_.showCancelButton(true);
            if (kind == REQ_BRIDGE_BOOT)
                host_.showCancelButton(false);
            if (kind == REQ_BRIDGE_ENCODE && effects_.onMp3SlotFilled)
                effects_.onMp3SlotFilled(slotIndex_ - 1, slotName_);
        }
    }

    if (HasCommonProgress(kind))
        commonProgress(kind, status, current, total);
    if ((kind == REQ_UPLOAD || kind == REQ_DOWNLOAD) && effects_.backup)
        status = backupLines(kind, status, r);

    const int32_t code = r.code;
    if (status != LINK_INTERMEDIATE && status != LINK_SUCCEEDED)
        failure_ = {kind, code, RecordText(r)};
    owned.reset();
    if (status == LINK_INTERMEDIATE)
        return;
    if (status == LINK_SUCCEEDED) {
        if (!steps_.empty())
            startNext();
        else
            close(kBatchOk);
        return;
    }
    // Any other status is a failure: the rest of the batch is dropped unsent.
    discardRemaining();
    if (code == LINK_ERR_DISK_FULL)
        host_.showError(res::IDS_DISK_FULL);
    else if (code == LINK_ERR_WRITE_FAILED)
        host_.showError(res::IDS_FILE_WRITE_FAILED);
    close(kBatchCancel);
}

void TransferBatch::listingWork(int32_t status, const LinkResult& r)
{
    if (status == LINK_SUCCEEDED) {
        ++stepsDone_;
        if (stepCount_ != 0) {
            const int64_t percent = int64_t(stepsDone_) * 100 / stepCount_;
            if (percent <= 100)
                setPercent(percent);
        }
        if (effects_.backup)
            effects_.backup->nextCategory();
        return;
    }
    if (status != LINK_INTERMEDIATE)
        return;
    const std::string line = RecordText(r);
    if (line.rfind("0,", 0) == 0) {
        const size_t end = line.find(',', 2);
        const std::string name = line.substr(2, end == std::string::npos ? std::string::npos : end - 2);
        if (effects_.backup && !effects_.backup->acceptsListedName(name))
            return;
        const std::string path = listedDirectory_.value_or("") + "/" + name;
        if (std::find(collectedPaths_.begin(), collectedPaths_.end(), path) == collectedPaths_.end())
            collectedPaths_.push_back(path);
        return;
    }
    if (const size_t at = line.find("*LIST:"); at != std::string::npos)
        listedDirectory_ = line.substr(at + 6);
}

void TransferBatch::commonProgress(int32_t kind, int32_t status, int32_t current, int32_t total)
{
    if (status == LINK_SUCCEEDED && stepCount_ != 1)
        ++stepsDone_;
    if (kind == REQ_LONG_COMMAND) {
        current = 100;
        total = 100;
    }
    if ((status == LINK_INTERMEDIATE || kind == REQ_LONG_COMMAND) && total != 0 && stepCount_ != 0) {
        // Byte counts of large files overflow 32 bits once multiplied by 100.
        const int64_t percent =
            int64_t(current) * 100 / (int64_t(total) * stepCount_) + int64_t(stepsDone_) * 100 / stepCount_;
        if (percent > position_ || position_ == 100)
            setPercent(percent);
    }
}

int32_t TransferBatch::backupLines(int32_t kind, int32_t status, const LinkResult& r)
{
    BatchBackupHooks& engine = *effects_.backup;
    if (status == LINK_SUCCEEDED && kind == REQ_DOWNLOAD) {
        if (!engine.appendData(fileIndex_))
            return LINK_FAILED;
        engine.log(fileLine_);
        ++fileIndex_;
    } else if (status == LINK_SUCCEEDED && kind == REQ_UPLOAD) {
        if (!engine.prepareNext())
            return LINK_FAILED;
        engine.log(fileLine_);
        engine.countRestoredFile();
    } else if (status == LINK_INTERMEDIATE && kind == REQ_UPLOAD) {
        fileLine_ = FileLine(engine.currentUploadName(), r.progress.current, r.progress.total);
        host_.showStatus(host_.text(res::IDS_RESTORING) + fileLine_);
    } else if (status == LINK_INTERMEDIATE && kind == REQ_DOWNLOAD) {
        fileLine_ = FileLine(engine.downloadNameAt(fileIndex_), r.progress.current, r.progress.total);
        host_.showStatus(host_.text(res::IDS_BACKING_UP) + fileLine_);
    }
    return status;
}

void TransferBatch::setPercent(int64_t percent)
{
    position_ = int(std::clamp<int64_t>(percent, 0, 100));
    host_.showProgress(position_, PercentText(position_));
}

void TransferBatch::discardRemaining()
{
    steps_.clear();  // each step frees its request and block
}

void TransferBatch::close(int result)
{
    if (finished_)
        return;
    finished_ = true;
    result_ = result;
    discardRemaining();
    // Sent whatever the connection state is; the main window frees its record.
    (void)PostRequest(host_.workerThread(), REQ_COMMAND, NewRequest(host_.guiThread(), "AT*MASKCALL=0\r"),
                      host_.mainWindow());
    if (result == kBatchCancel)
        showCancelOnHandshake_ = false;
    host_.finished(result);
}

void TransferBatch::cancel()
{
    close(kBatchCancel);
}

}  // namespace shell

#pragma once
// The transfer batch: an ordered list of link requests fed to the phone-link
// worker one at a time, stopping at the first failure, bracketed by
// "AT*MASKCALL=1\r" / "AT*MASKCALL=0\r" so the phone takes no calls during
// a transfer. Callback steps run between two requests and may replace the
// rest of the list.
//
// Plain C++: the runner knows nothing about widgets. It talks to whoever
// presents it (the progress window of the GUI, a terminal loop of the CLI,
// a test) through BatchHost. Thread affinity: one thread (the GUI thread);
// the worker's records reach it as posted messages on that thread.

#include "mobile/shell/core/requests.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace shell {

class TransferBatch;

// Returns false to stop the batch (it then ends with Cancel).
using BatchCallback = std::function<bool(TransferBatch&)>;

struct BatchStep {
    int32_t kind = 0;
    RequestPtr request;  // null for a callback step; frees its argument block (RequestOwnsBlock)
    BatchCallback callback;  // set for a callback step (kind 301)

    [[nodiscard]] static BatchStep Request(int32_t kind, RequestPtr request);
    [[nodiscard]] static BatchStep Callback(BatchCallback callback);

    BatchStep() = default;
    BatchStep(BatchStep&&) = default;
    BatchStep& operator=(BatchStep&& other) noexcept;
    // A step dropped unsent frees its request and the block the request owns.
    ~BatchStep();
};

// What a running batch needs from its surroundings.
class BatchHost {
public:
    virtual ~BatchHost() = default;
    [[nodiscard]] virtual plat::ThreadId workerThread() const = 0;
    [[nodiscard]] virtual plat::ThreadId guiThread() const = 0;
    // Reply window of the batch's own requests.
    [[nodiscard]] virtual plat::WindowHandle batchWindow() const = 0;
    // Reply window of the closing "AT*MASKCALL=0" (the main window frees its record).
    [[nodiscard]] virtual plat::WindowHandle mainWindow() const = 0;
    [[nodiscard]] virtual bool phoneModeConnected() const = 0;
    [[nodiscard]] virtual std::string text(int stringId) const = 0;
    virtual void showStatus(const std::string& text) = 0;
    virtual void showProgress(int position, const std::string& percentText) = 0;
    virtual void showCancelButton(bool visible) = 0;
    virtual void showError(int stringId) = 0;
    // The batch is over: 1 (OK) or 2 (Cancel). Called exactly once.
    virtual void finished(int result) = 0;
};

// The backup engine's part in a batch (backup and restore runs only).
class BatchBackupHooks {
public:
    virtual ~BatchBackupHooks() = default;
    // A downloaded file is complete: append it to the backup. False fails the step.
    [[nodiscard]] virtual bool appendData(int fileIndex) = 0;
    // An uploaded file is complete: ready the next one. False fails the step.
    [[nodiscard]] virtual bool prepareNext() = 0;
    virtual void log(const std::string& line) = 0;
    [[nodiscard]] virtual std::string currentUploadName() const = 0;
    [[nodiscard]] virtual std::string downloadNameAt(int fileIndex) const = 0;
    virtual void countRestoredFile() = 0;
    // A listing request ended: move to the next enabled category.
    virtual void nextCategory() = 0;
    // True when the current category keeps a listed file of this name.
    [[nodiscard]] virtual bool acceptsListedName(const std::string& name) const = 0;
    // A listing request failed with this code: true to go on as if the
    // directory were listed empty (a phone without that directory).
    [[nodiscard]] virtual bool acceptsFailedListing(int32_t /*code*/) { return false; }
};

// Effects of particular results on the program's state; all optional.
struct BatchEffects {
    std::function<void(bool answered, uint8_t openablePorts)> onScanResult;  // 222
    std::function<void(bool pictures, bool messages)> onPrivacyLock;  // 219
    std::function<void(int32_t value)> onStorageCount;  // 99
    std::function<void(int slot, const std::string& name)> onMp3SlotFilled;  // 229
    BatchBackupHooks* backup = nullptr;
    // Every record of the batch's own requests, before the batch acts on
    // it (the command line's progress bar and reply lines).
    std::function<void(int32_t kind, const LinkResult& record)> onRecord;
};

// The final record that failed a batch.
struct BatchFailure {
    int32_t kind = 0;  // request code; 0 when no record failed the batch
    int32_t code = 0;
    std::string text;
};

constexpr int kBatchOk = 1;
constexpr int kBatchCancel = 2;

class TransferBatch {
public:
    explicit TransferBatch(BatchHost& host, BatchEffects effects = {});
    ~TransferBatch();
    TransferBatch(const TransferBatch&) = delete;
    TransferBatch& operator=(const TransferBatch&) = delete;

    // Replaces the steps not yet started (those are freed unsent); step
    // count 1, steps done 0. May be called from a callback step.
    void setBatch(std::vector<BatchStep> steps);
    // Denominator of the percentage; 0 hides the bar.
    void setStepCount(int n) { stepCount_ = n; }
    [[nodiscard]] int stepCount() const { return stepCount_; }
    void setTitle(int stringId);
    void setShowCancelOnHandshake(bool on) { showCancelOnHandshake_ = on; }
    [[nodiscard]] bool showCancelOnHandshake() const { return showCancelOnHandshake_; }
    void setSlot(int index, std::string name)
    {
        slotIndex_ = index;
        slotName_ = std::move(name);
    }

    // The window has opened: bracket with MASKCALL=1 in phone mode, then run.
    void start();
    // A record for this batch's window; takes ownership of it.
    void onResult(int32_t kind, LinkResult* record);
    // The user pressed Cancel.
    void cancel();

    [[nodiscard]] bool isFinished() const { return finished_; }
    [[nodiscard]] int result() const { return result_; }
    [[nodiscard]] int position() const { return position_; }
    [[nodiscard]] int stepsDone() const { return stepsDone_; }
    [[nodiscard]] size_t remaining() const { return steps_.size(); }
    [[nodiscard]] bool versionCheckFailed() const { return versionCheckFailed_; }
    [[nodiscard]] const std::vector<std::string>& collectedPaths() const { return collectedPaths_; }
    [[nodiscard]] const std::optional<std::string>& listedDirectory() const { return listedDirectory_; }
    [[nodiscard]] const BatchFailure& failure() const { return failure_; }

private:
    void startNext();
    void listingWork(int32_t status, const LinkResult& r);
    void commonProgress(int32_t kind, int32_t status, int32_t current, int32_t total);
    [[nodiscard]] int32_t backupLines(int32_t kind, int32_t status, const LinkResult& r);
    void setPercent(int64_t percent);
    void discardRemaining();
    void close(int result);

    BatchHost& host_;
    BatchEffects effects_;
    std::deque<BatchStep> steps_;
    int stepCount_ = 1;
    int stepsDone_ = 0;
    int position_ = 0;
    int slotIndex_ = 0;
    std::string slotName_;
    int fileIndex_ = 0;
    std::string fileLine_;
    bool versionCheckFailed_ = false;
    bool showCancelOnHandshake_ = false;
    std::vector<std::string> collectedPaths_;
    std::optional<std::string> listedDirectory_;
    BatchFailure failure_;
    bool started_ = false;
    bool finished_ = false;
    int result_ = 0;
};

// "%d%c" with '%'.
[[nodiscard]] std::string PercentText(int percent);

}  // namespace shell

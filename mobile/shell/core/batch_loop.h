#pragma once
// Running a transfer batch on a thread without a GUI (the command-line
// front end, tests): the batch gets a window handle whose records are
// handed to the calling thread's queue, and run() takes messages until the
// batch ends.

#include "mobile/shell/core/transfer_batch.h"

#include <functional>
#include <string>

namespace shell {

// Message ids under which a runner's records reach its thread's queue: one
// per runner window, far above the window-message range.
[[nodiscard]] constexpr uint32_t BatchRecordMessage(plat::WindowHandle window)
{
    return 0x40000000u | (window & 0x3FFFFFFFu);
}
[[nodiscard]] constexpr bool IsBatchRecordMessage(uint32_t message)
{
    return (message & 0xC0000000u) == 0x40000000u;
}

struct ThreadBatchOptions {
    plat::ThreadId worker = 0;
    plat::WindowHandle mainWindow = 0;  // reply window of the closing MASKCALL
    bool phoneMode = false;
    std::function<std::string(int)> text;  // string resources
    std::function<void(const std::string&)> onStatus;  // status texts
    std::function<void(int position, const std::string&)> onProgress;
    std::function<void(int stringId)> onError;
    std::function<void(const plat::Message&)> onOtherMessage;  // anything else on this thread's queue
};

class ThreadBatchRunner final : private BatchHost {
public:
    explicit ThreadBatchRunner(ThreadBatchOptions options, BatchEffects effects = {});
    ~ThreadBatchRunner() override;
    ThreadBatchRunner(const ThreadBatchRunner&) = delete;
    ThreadBatchRunner& operator=(const ThreadBatchRunner&) = delete;

    [[nodiscard]] TransferBatch& batch() { return batch_; }
    // Starts the batch and serves this thread's queue until it ends;
    // returns kBatchOk or kBatchCancel.
    int run();
    [[nodiscard]] plat::WindowHandle window() const { return window_; }

private:
    [[nodiscard]] plat::ThreadId workerThread() const override { return opt_.worker; }
    [[nodiscard]] plat::ThreadId guiThread() const override { return thread_; }
    [[nodiscard]] plat::WindowHandle batchWindow() const override { return window_; }
    [[nodiscard]] plat::WindowHandle mainWindow() const override { return opt_.mainWindow; }
    [[nodiscard]] bool phoneModeConnected() const override { return opt_.phoneMode; }
    [[nodiscard]] std::string text(int id) const override;
    void showStatus(const std::string& text) override;
    void showProgress(int position, const std::string& percent) override;
    void showCancelButton(bool) override { }
    void showError(int stringId) override;
    void finished(int) override { }

    ThreadBatchOptions opt_;
    plat::ThreadId thread_;
    plat::WindowHandle window_ = 0;
    uint32_t recordMessage_ = 0;
    TransferBatch batch_;
};

}  // namespace shell

#pragma once
// CProgressBar: the modal progress window (dialog 161) that runs a
// transfer batch. Title and status line, the skinned bar, the "%d%c"
// percentage and the Cancel button; keyboard input is swallowed so Enter
// and Esc cannot end a transfer.

#include "mobile/shell/core/transfer_batch.h"
#include "mobile/shell/ui/link_window.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace shellui {

struct ProgressContext {
    plat::ThreadId worker = 0;
    plat::WindowHandle mainWindow = 0;
    std::function<bool()> phoneMode;
    std::function<void(const QString&)> mainStatus;  // the main window's status bar
};

class CProgressBar final : public QDialog, private shell::BatchHost {
public:
    CProgressBar(ProgressContext context, shell::BatchEffects effects, QWidget* parent = nullptr);
    ~CProgressBar() override;

    [[nodiscard]] shell::TransferBatch& batch() { return *batch_; }
    // Shows the window modally until the batch ends: 1 OK, 2 Cancel.
    int run();
    [[nodiscard]] plat::WindowHandle window() const { return link_->handle(); }

    [[nodiscard]] QString statusText() const;
    [[nodiscard]] QString percentText() const;
    [[nodiscard]] int barPosition() const;
    [[nodiscard]] bool cancelVisible() const;
    // Starts the batch without a modal loop (tests and screenshots drive it).
    void startForTesting();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void reject() override { }
    void closeEvent(QCloseEvent* e) override;

private:
    [[nodiscard]] plat::ThreadId workerThread() const override { return ctx_.worker; }
    [[nodiscard]] plat::ThreadId guiThread() const override;
    [[nodiscard]] plat::WindowHandle batchWindow() const override { return link_->handle(); }
    [[nodiscard]] plat::WindowHandle mainWindow() const override { return ctx_.mainWindow; }
    [[nodiscard]] bool phoneModeConnected() const override { return ctx_.phoneMode && ctx_.phoneMode(); }
    [[nodiscard]] std::string text(int stringId) const override;
    void showStatus(const std::string& text) override;
    void showProgress(int position, const std::string& percentText) override;
    void showCancelButton(bool visible) override;
    void showError(int stringId) override;
    void finished(int result) override;

    ProgressContext ctx_;
    std::unique_ptr<LinkWindow> link_;
    std::unique_ptr<shell::TransferBatch> batch_;
    QLabel* status_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* percent_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool started_ = false;
    bool ended_ = false;
};

}  // namespace shellui

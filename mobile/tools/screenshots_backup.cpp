// Screenshots of the backup and restore window: both pages of the sheet
// over the connected main window, and the progress window half-way
// through a backup.

#include "mobile/tools/screenshot_scene.h"
#include "mobile/backup/ui/back_restore_sheet.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/progress_dialog.h"
#include "resources/strings.h"
#include "support/fake_worker.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

using shelltest::FakeWorker;
using shelltest::Reply;
using shelltest::SeenRequest;

namespace {

std::vector<Reply> Phone(const SeenRequest& s)
{
    switch (s.code) {
    case REQ_SCAN_AND_CONNECT: return {Reply::Progress(2, 8, 8), Reply::Progress(1, 1, 0x01)};
    case REQ_DOWNLOAD: return {Reply::Progress(2, 360, 360), Reply::Text(1, "")};
    case REQ_PRIVACY_LOCK: return {Reply::Progress(2, 0, 0), Reply::Text(1, "")};
    default: return {Reply::Text(1, "OK")};
    }
}

}  // namespace

namespace {

// The sheet and the progress window, opened for the frame as its command would.
using SaveFn = std::function<bool(const QImage&, const QString&)>;
using ComposeFn = std::function<QImage(const QImage&, const QImage&)>;

bool ShootSheet(shellui::PageHost& host, shellui::CMainFrame& frame, const QImage& back, const SaveFn& save,
                const ComposeFn& over)
{
    bool ok = true;
    backupui::CBackRestoreSheet sheet(host, &frame);
    sheet.backupPage().setPath("/home/lin/backups/phone-2004-11-02.bak");
    sheet.restorePage().setPath("/home/lin/backups/phone-2004-11-02.bak(break /home/lin/unpacked)");
    sheet.show();
    sheet.showPage(0);
    scene::Settle(150);
    ok &= save(over(back, sheet.grab().toImage()), "backup_page");
    sheet.showPage(1);
    scene::Settle(150);
    ok &= save(over(back, sheet.grab().toImage()), "restore_page");
    sheet.hide();
    // A backup caught on its third file, into a scratch backup file.
    QTemporaryDir scratch;
    backup::BackupEngine engine([](const backup::Notice&) {});
    const std::vector<std::string> files = {"/app/dir/smpbtab", "/app/dir/smpb0", "/app/dir/smpb1"};
    ok &= engine.createBackup(scratch.filePath("shot.bak").toStdString()) && engine.writeFileList(files);
    QFile(QString::fromStdString(engine.tempPath())).open(QIODevice::WriteOnly);  // what the downloads "wrote"
    FakeWorker slow([](const SeenRequest& s) -> std::vector<Reply> {
        if (s.code == REQ_DOWNLOAD && s.first == "/app/dir/smpb1")
            return {Reply::Progress(2, 4096, 7400)};
        return {Reply::Text(1, "")};
    });
    shellui::ProgressContext ctx;
    ctx.mainWindow = frame.window();
    ctx.worker = slow.threadId();
    shell::BatchEffects effects;
    effects.backup = &engine;
    shellui::CProgressBar progress(ctx, effects, &frame);
    std::vector<shell::BatchStep> steps;
    for (const auto& f : files)
        steps.push_back(shell::BatchStep::Request(
            REQ_DOWNLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, NewTransferBlock(f, engine.tempPath()))));
    progress.batch().setBatch(std::move(steps));
    progress.batch().setStepCount(3);
    progress.batch().setTitle(res::IDS_BACKING_UP);
    progress.show();
    progress.startForTesting();
    scene::Settle(400);
    ok &= save(over(back, progress.grab().toImage()), "backup_progress");
    progress.batch().cancel();
    return ok;
}

}  // namespace

bool BackupScreenshots(const SaveFn& save, const ComposeFn& compose)
{
    shellui::FrameOptions o;
    o.splash = false;
    o.detectCable = [] { return std::string("COM1"); };
    o.startWorker = [](plat::ThreadId, plat::WindowHandle window) -> std::unique_ptr<shell::LinkThread> {
        return std::make_unique<FakeWorker>(Phone, window);
    };
    bool ok = false;
    shellui::CMainFrame* frameRef = nullptr;
    QImage back;
    o.commands = {{backupui::kCmdBackupRestore,
                   [&](shellui::PageHost& host) { ok = ShootSheet(host, *frameRef, back, save, compose); }}};
    shellui::CMainFrame frame(o);
    frameRef = &frame;
    frame.show();
    frame.command(shell::kCmdPictures);
    scene::Settle(150);
    frame.controller().connectCommand(shell::kModePhone);
    scene::Settle(150);
    back = frame.grab().toImage();
    const bool connected = frame.state().phoneMode;
    frame.command(backupui::kCmdBackupRestore);
    return ok && connected;
}

#pragma once
// CBackRestoreSheet: the backup and restore window, a sheet of two pages.
// CPPBackup ticks what to back up and names the backup file; CPPRestore
// names a backup to restore (or a service form: FILE(break /dir) unpacks,
// FILE(save /app/...) uploads one file). Both start the core's flows, which
// run their batches in the frame's progress window.
//
// Thread affinity: the GUI thread.

#include "mobile/backup/core/backup_flows.h"
#include "mobile/shell/ui/page.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace backupui {

// The flows' view of the window: batches in the frame's progress window,
// messages and questions in boxes over the sheet.
class SheetUi final : public backup::FlowUi {
public:
    SheetUi(shellui::PageHost& host, QWidget* parent) : host_(host), parent_(parent) { }
    int runBatch(shell::BatchPlan plan) override { return host_.runBatch(std::move(plan)); }
    void message(const backup::Notice& notice) override;
    [[nodiscard]] bool ask(int stringId) override;
    [[nodiscard]] bool phoneModeConnected() const override { return host_.connection().phoneMode; }

private:
    shellui::PageHost& host_;
    QWidget* parent_;
};

[[nodiscard]] QString NoticeQText(const backup::Notice& notice);

class CPPBackup final : public QWidget {
public:
    CPPBackup(shellui::PageHost& host, backup::BackupCategory& categories, QWidget* parent);

    [[nodiscard]] backup::KindSet kinds() const;
    void setKinds(backup::KindSet kinds);
    [[nodiscard]] QString path() const;
    // The browse dialog's choice (the field cannot be typed into).
    void setPath(const QString& path);
    void browse();
    backup::FlowOutcome start();

private:
    shellui::PageHost& host_;
    backup::BackupCategory& categories_;
    std::array<QCheckBox*, backup::kKindCount> boxes_{};
    QLineEdit* path_ = nullptr;
};

class CPPRestore final : public QWidget {
public:
    CPPRestore(shellui::PageHost& host, QWidget* parent);

    [[nodiscard]] QString path() const;
    void setPath(const QString& path);
    void browse();
    backup::FlowOutcome start();

private:
    shellui::PageHost& host_;
    QLineEdit* path_ = nullptr;
};

class CBackRestoreSheet final : public QDialog {
public:
    CBackRestoreSheet(shellui::PageHost& host, QWidget* parent);

    [[nodiscard]] CPPBackup& backupPage() { return *backup_; }
    [[nodiscard]] CPPRestore& restorePage() { return *restore_; }
    void showPage(int index);

private:
    // Persist between runs of one sheet; reset from the boxes at each backup.
    backup::BackupCategory categories_;
    QTabWidget* tabs_ = nullptr;
    CPPBackup* backup_ = nullptr;
    CPPRestore* restore_ = nullptr;
};

// Frame command 32788: opens the sheet modally.
inline constexpr int kCmdBackupRestore = 32788;
[[nodiscard]] shellui::CommandRegistration BackRestoreCommand();

}  // namespace backupui

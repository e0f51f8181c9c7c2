#pragma once
// The backup and restore flows, shared by the backup and restore window
// and the command line. Each flow builds its transfer batches (listing,
// downloads, uploads) as BatchPlans and runs them on the front end's
// BatchRunner; everything it has to say goes through FlowUi as Notices.

#include "mobile/backup/core/backup_category.h"
#include "mobile/backup/core/backup_engine.h"
#include "mobile/backup/core/backup_file.h"
#include "mobile/backup/core/notice.h"
#include "mobile/backup/core/service_forms.h"
#include "mobile/shell/core/batch_runner.h"

#include <optional>
#include <string>
#include <vector>

namespace backup {

// What the flows need from the front end.
class FlowUi : public shell::BatchRunner {
public:
    virtual void message(const Notice& notice) = 0;
    // An OK/Cancel question; true for OK.
    [[nodiscard]] virtual bool ask(int stringId) = 0;
    [[nodiscard]] virtual bool phoneModeConnected() const = 0;
};

enum class FlowResult {
    Done,
    Failed,  // a batch or a file failed (reported)
    Refused,  // bad input or a damaged backup; the phone was not touched (reported)
    Cancelled,  // the user said Cancel, or a silent end
};

struct FlowOutcome {
    FlowResult result = FlowResult::Cancelled;
    std::string backupPath;  // the file written or read
    size_t files = 0;  // backed up / restored / unpacked
    int emptyFiles = 0;
    std::vector<std::string> missingDirectories;
};

struct BackupRequest {
    std::string path;  // ".bak" is added when missing
    KindSet kinds = kDefaultKinds;
    std::string programDir;  // with its trailing "/": where the log goes
};

struct RestoreRequest {
    std::string path;
    std::string programDir;
};

// The listing batch: one AT*LIST per enabled row, in row order.
[[nodiscard]] shell::BatchPlan ListingPlan(BackupEngine& engine, BackupCategory& categories,
                                           std::vector<std::string>& collected);
// One download per listed file into the temporary file, and one upload per
// stored file from it; nothing when a path is too long for a transfer
// (tooLong then names it).
[[nodiscard]] std::optional<shell::BatchPlan> DownloadPlan(BackupEngine& engine, std::string* tooLong = nullptr);
[[nodiscard]] std::optional<shell::BatchPlan> UploadPlan(BackupEngine& engine, std::string* tooLong = nullptr);

// Backs the phone up into request.path (the backup page's Start).
FlowOutcome RunBackup(FlowUi& ui, BackupCategory& categories, BackupRequest request);
// Restores a backup file (the restore page's Start for a plain path).
FlowOutcome RunRestore(FlowUi& ui, const RestoreRequest& request);
// The restore page's Start: a restore, a break or a save, by the field.
FlowOutcome RunRestoreField(FlowUi& ui, const std::string& field, const std::string& programDir);
// Unpacks a backup (the break form, `telvane unpack`).
FlowOutcome RunUnpack(FlowUi& ui, const std::string& backupPath, const std::string& targetDir);

// Why a scanned backup cannot be restored (nothing when it can).
[[nodiscard]] std::optional<Notice> RestoreRefusal(const BackupScan& scan);
// The damage of a scan as a notice (id 0 when whole).
[[nodiscard]] Notice DamageNotice(const BackupScan& scan);
// The text id of a name problem.
[[nodiscard]] int NameProblemText(NameProblem p);

}  // namespace backup

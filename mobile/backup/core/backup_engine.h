#pragma once
// BackupEngine: one backup or restore run. It holds the backup file and the
// log open for the whole run and does the per-file work the transfer batch
// calls back between requests: after each download it appends the file
// just received to the backup (appendData), after each upload it readies
// the next file from the backup (prepareNext). During a listing it applies
// the category table's name filter to the listed names.
//
// Files pass through one temporary data file beside the backup file
// ("backup_and_restore_tmp.dat"): downloads land there, uploads are read
// from there.
//
// Thread affinity: the thread that runs the batch (the GUI thread in the
// window).

#include "mobile/backup/core/backup_category.h"
#include "mobile/backup/core/backup_file.h"
#include "mobile/backup/core/notice.h"
#include "mobile/shell/core/transfer_batch.h"

#include <functional>
#include <string>
#include <vector>

namespace backup {

inline constexpr std::string_view kTempFileName = "backup_and_restore_tmp.dat";
inline constexpr std::string_view kUploadLog = "upload_log.txt";  // written by a backup
inline constexpr std::string_view kDownloadLog = "download_log.txt";  // written by a restore
inline constexpr std::string_view kBreakLog = "break_log.txt";  // written by unpacking

// The phone answers a listing of a directory it does not have with this
// error number.
inline constexpr int32_t kCmeNotFound = 22;

// "dir/backup_and_restore_tmp.dat" for a backup path "dir/name.bak" (the
// current directory for a bare name).
[[nodiscard]] std::string TempPathFor(const std::string& backupPath);

class BackupEngine final : public shell::BatchBackupHooks {
public:
    using Report = std::function<void(const Notice&)>;
    explicit BackupEngine(Report report);
    ~BackupEngine() override;
    BackupEngine(const BackupEngine&) = delete;
    BackupEngine& operator=(const BackupEngine&) = delete;

    // Creates (empties) the log; false when it cannot be created.
    [[nodiscard]] bool createLog(const std::string& path);
    void log(const std::string& line) override;
    [[nodiscard]] const std::string& backupPath() const { return backupPath_; }
    [[nodiscard]] const std::string& tempPath() const { return tempPath_; }

    // ---- backup ----
    // Creates the backup file and writes the magic; on failure the notice
    // has been reported.
    [[nodiscard]] bool createBackup(const std::string& path);
    // The rows whose listings the batch is about to run.
    void beginListing(BackupCategory& categories);
    // Writes N and the name table; the list becomes the download order.
    [[nodiscard]] bool writeFileList(std::vector<std::string> paths);
    // Closes the backup file (reporting a failed final write) and deletes
    // the temporary file.
    [[nodiscard]] bool finishBackup();
    [[nodiscard]] const std::vector<std::string>& fileList() const { return files_; }
    [[nodiscard]] int emptyFiles() const { return emptyFiles_; }
    [[nodiscard]] size_t appendedFiles() const { return appended_; }
    // Directories the phone said it does not have, in listing order.
    [[nodiscard]] const std::vector<std::string>& missingDirectories() const { return missing_; }

    // ---- restore ----
    // Opens a backup that scanned restorable; the entries become the upload order.
    [[nodiscard]] bool openForRestore(const std::string& path, BackupScan scan);
    [[nodiscard]] const std::vector<BackupEntry>& entries() const { return scan_.entries; }
    [[nodiscard]] size_t restoredFiles() const { return restored_; }

    // ---- the batch's hooks ----
    [[nodiscard]] bool appendData(int fileIndex) override;
    [[nodiscard]] bool prepareNext() override;
    [[nodiscard]] std::string currentUploadName() const override;
    [[nodiscard]] std::string downloadNameAt(int fileIndex) const override;
    void countRestoredFile() override { ++restored_; }
    void nextCategory() override;
    [[nodiscard]] bool acceptsListedName(const std::string& name) const override;
    [[nodiscard]] bool acceptsFailedListing(int32_t code) override;

private:
    void reportWrite(WriteError e);

    Report report_;
    std::string backupPath_;
    std::string tempPath_;
    FilePtr log_;
    // backup
    BackupWriter writer_;
    BackupCategory* categories_ = nullptr;
    std::vector<std::string> files_;
    size_t appended_ = 0;
    int emptyFiles_ = 0;
    std::vector<std::string> missing_;
    // restore
    FilePtr backup_;
    BackupScan scan_;
    size_t next_ = 0;  // entry that prepareNext readies next
    size_t uploading_ = 0;  // entry in the temporary file
    size_t restored_ = 0;
};

}  // namespace backup

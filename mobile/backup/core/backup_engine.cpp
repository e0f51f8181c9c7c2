#include "mobile/backup/core/backup_engine.h"

#include "resources/strings.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace backup {

std::string TempPathFor(const std::string& backupPath)
{
    const size_t slash = backupPath.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : backupPath.substr(0, slash + 1);
    return dir + std::string(kTempFileName);
}

BackupEngine::BackupEngine(Report report) : report_(std::move(report)) { }

BackupEngine::~BackupEngine() = default;

bool BackupEngine::createLog(const std::string& path)
{
    log_.reset(std::fopen(path.c_str(), "wb"));
    return log_ != nullptr;
}

void BackupEngine::log(const std::string& line)
{
    if (!log_)
        return;
    std::fwrite(line.data(), 1, line.size(), log_.get());
    std::fwrite("\r\n", 1, 2, log_.get());
    std::fflush(log_.get());
}

void BackupEngine::reportWrite(WriteError e)
{
    if (e == WriteError::DiskFull)
        report_({res::IDS_DISK_FULL, shell::Icon::Error});
    else if (e == WriteError::Failed)
        report_({res::IDS_FILE_WRITE_FAILED, shell::Icon::Error});
}

// ---- backup ----

bool BackupEngine::createBackup(const std::string& path)
{
    backupPath_ = path;
    tempPath_ = TempPathFor(path);
    if (!writer_.create(path)) {
        report_({res::IDS_BACKUP_FILE_OPEN_FAILED, shell::Icon::Error});
        return false;
    }
    const WriteError e = writer_.writeMagic();
    reportWrite(e);
    return e == WriteError::None;
}

void BackupEngine::beginListing(BackupCategory& categories)
{
    categories_ = &categories;
    categories_->start();
}

bool BackupEngine::writeFileList(std::vector<std::string> paths)
{
    files_ = std::move(paths);
    appended_ = 0;
    const WriteError e = writer_.writeNames(files_);
    reportWrite(e);
    return e == WriteError::None;
}

bool BackupEngine::finishBackup()
{
    const WriteError e = writer_.close();
    reportWrite(e);
    std::remove(tempPath_.c_str());
    return e == WriteError::None;
}

bool BackupEngine::appendData(int fileIndex)
{
    // Blocks must follow the name table's order: a download that arrives
    // for another file than the next one would misplace every later block.
    if (fileIndex < 0 || static_cast<size_t>(fileIndex) != appended_ || appended_ >= files_.size()) {
        report_({res::IDS_FILE_WRITE_FAILED, shell::Icon::Error});
        return false;
    }
    FilePtr temp(std::fopen(tempPath_.c_str(), "rb"));
    if (!temp || fseeko(temp.get(), 0, SEEK_END) != 0) {
        report_({res::IDS_TEMP_FILE_OPEN_FAILED, shell::Icon::Error});
        return false;
    }
    const off_t size = ftello(temp.get());
    if (size < 0 || static_cast<uint64_t>(size) > std::numeric_limits<uint32_t>::max()) {
        report_({res::IDS_TEMP_FILE_OPEN_FAILED, shell::Icon::Error});
        return false;
    }
    const std::string& path = files_[appended_];
    if (size == 0) {
        ++emptyFiles_;
        log("-----empty file " + std::to_string(emptyFiles_) + ": [" + path + "]-----");
    }
    std::vector<uint8_t> data(static_cast<size_t>(size));
    if (size > 0 &&
        (fseeko(temp.get(), 0, SEEK_SET) != 0 || std::fread(data.data(), 1, data.size(), temp.get()) != data.size())) {
        report_({res::IDS_TEMP_FILE_OPEN_FAILED, shell::Icon::Error});
        return false;
    }
    const WriteError e = writer_.writeBlock(data);
    if (e != WriteError::None) {
        reportWrite(e);
        return false;
    }
    ++appended_;
    return true;
}

std::string BackupEngine::downloadNameAt(int fileIndex) const
{
    return fileIndex >= 0 && static_cast<size_t>(fileIndex) < files_.size() ? files_[fileIndex] : std::string();
}

void BackupEngine::nextCategory()
{
    if (categories_)
        categories_->next();
}

bool BackupEngine::acceptsListedName(const std::string& name) const
{
    return !categories_ || !BackupCategory::Excludes(categories_->current(), name);
}

bool BackupEngine::acceptsFailedListing(int32_t code)
{
    // A directory the phone lacks holds nothing to back up; any other
    // failure (no answer, a broken line) still stops the backup.
    if (!categories_ || code != kCmeNotFound || categories_->current() >= kCategoryCount)
        return false;
    const std::string dir(BackupCategory::Rows()[categories_->current()].directory);
    missing_.push_back(dir);
    log("-----no directory: [" + dir + "]-----");
    return true;
}

// ---- restore ----

bool BackupEngine::openForRestore(const std::string& path, BackupScan scan)
{
    backupPath_ = path;
    tempPath_ = TempPathFor(path);
    backup_.reset(std::fopen(path.c_str(), "rb"));
    if (!backup_) {
        report_({res::IDS_BACKUP_FILE_OPEN_FAILED, shell::Icon::Error});
        return false;
    }
    scan_ = std::move(scan);
    next_ = 0;
    uploading_ = 0;
    restored_ = 0;
    return true;
}

bool BackupEngine::prepareNext()
{
    FilePtr temp(std::fopen(tempPath_.c_str(), "wb"));
    if (!temp) {
        report_({res::IDS_TEMP_FILE_CREATE_FAILED, shell::Icon::Error});
        return false;
    }
    // After the last file there is nothing more to ready: the temporary
    // file stays empty and no upload follows.
    if (next_ < scan_.entries.size()) {
        const BackupEntry& e = scan_.entries[next_];
        if (!e.hasData) {
            report_({res::IDS_BACKUP_DATA_MISSING,
                     shell::Icon::Error,
                     {std::to_string(scan_.count), std::to_string(next_)}});
            return false;
        }
        const CopyResult c = CopyRange(backup_.get(), e.dataOffset, e.size, temp.get());
        if (!c.ok) {
            if (c.writeError != WriteError::None)
                reportWrite(c.writeError);
            else
                report_({res::IDS_BACKUP_DATA_MISSING,
                         shell::Icon::Error,
                         {std::to_string(scan_.count), std::to_string(next_)}});
            return false;
        }
        uploading_ = next_;
        ++next_;
    }
    errno = 0;
    const bool flushed = std::fflush(temp.get()) == 0;
    const int err = errno;
    if (std::fclose(temp.release()) != 0 || !flushed) {
        reportWrite(ClassifyWriteError(flushed ? errno : err));
        return false;
    }
    return true;
}

std::string BackupEngine::currentUploadName() const
{
    return uploading_ < scan_.entries.size() ? scan_.entries[uploading_].name : std::string();
}

}  // namespace backup

#include "mobile/backup/core/backup_flows.h"

#include "mobile/shell/core/requests.h"
#include "platform/messages.h"
#include "resources/strings.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace backup {

namespace {

using shell::Icon;

[[nodiscard]] Notice Info(int id, std::vector<std::string> args = {})
{
    return {id, Icon::Information, std::move(args)};
}
[[nodiscard]] Notice Error(int id, std::vector<std::string> args = {})
{
    return {id, Icon::Error, std::move(args)};
}

[[nodiscard]] FlowOutcome Outcome(FlowResult r, std::string path = {})
{
    FlowOutcome o;
    o.result = r;
    o.backupPath = std::move(path);
    return o;
}

[[nodiscard]] bool IsFile(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

// ---- plans ----

shell::BatchPlan ListingPlan(BackupEngine& engine, BackupCategory& categories, std::vector<std::string>& collected)
{
    shell::BatchPlan plan;
    plan.titleId = res::IDS_LISTING_PHONES_FILES;
    for (size_t row = 0; row < kCategoryCount; ++row) {
        if (!categories.enabled(row))
            continue;
        const std::string dir(BackupCategory::Rows()[row].directory);
        plan.steps.push_back(shell::BatchStep::Request(
            REQ_RAW_LIST, shell::NewRequest(plat::CurrentThreadId(), "AT*LIST=" + dir + "\r")));
    }
    plan.stepCount = static_cast<int>(plan.steps.size());
    // The batch keeps what it collected; hand it over before it ends.
    plan.steps.push_back(shell::BatchStep::Callback([&collected](shell::TransferBatch& batch) {
        collected = batch.collectedPaths();
        return true;
    }));
    plan.effects.backup = &engine;
    return plan;
}

namespace {

// One transfer per path between the phone and the temporary file; nothing
// when a path does not fit a transfer block (the path is reported).
[[nodiscard]] std::optional<shell::BatchPlan> TransferPlan(BackupEngine& engine, int titleId, int32_t code,
                                                           const std::vector<std::string>& paths, std::string* tooLong)
{
    shell::BatchPlan plan;
    plan.titleId = titleId;
    for (const std::string& path : paths) {
        // Downloads name the phone file first, uploads the PC file first.
        const uint32_t block = code == REQ_DOWNLOAD ? NewTransferBlock(path, engine.tempPath())
                                                    : NewTransferBlock(engine.tempPath(), path);
        if (block == 0) {
            if (tooLong)
                *tooLong = FitsTransferField(path) ? engine.tempPath() : path;
            return std::nullopt;
        }
        plan.steps.push_back(shell::BatchStep::Request(code, shell::NewRequest(plat::CurrentThreadId(), {}, block)));
    }
    plan.stepCount = std::max<int>(1, static_cast<int>(paths.size()));
    plan.effects.backup = &engine;
    return plan;
}

}  // namespace

std::optional<shell::BatchPlan> DownloadPlan(BackupEngine& engine, std::string* tooLong)
{
    return TransferPlan(engine, res::IDS_BACKING_UP, REQ_DOWNLOAD, engine.fileList(), tooLong);
}

std::optional<shell::BatchPlan> UploadPlan(BackupEngine& engine, std::string* tooLong)
{
    std::vector<std::string> paths;
    paths.reserve(engine.entries().size());
    for (const BackupEntry& e : engine.entries())
        paths.push_back(e.name);
    return TransferPlan(engine, res::IDS_RESTORING, REQ_UPLOAD, paths, tooLong);
}

// ---- texts ----

int NameProblemText(NameProblem p)
{
    struct Row {
        NameProblem problem;
        int text;
    };
    static constexpr Row kRows[] = {
        {NameProblem::Empty, res::IDS_BACKUP_NAME_EMPTY},
        {NameProblem::TooLong, res::IDS_BACKUP_NAME_TOO_LONG},
        {NameProblem::NotUnderApp, res::IDS_BACKUP_NAME_NOT_UNDER_APP},
        {NameProblem::BadComponent, res::IDS_BACKUP_NAME_BAD_COMPONENT},
        {NameProblem::BadByte, res::IDS_BACKUP_NAME_BAD_BYTE},
        {NameProblem::Duplicate, res::IDS_BACKUP_NAME_DUPLICATE},
    };
    for (const Row& r : kRows)
        if (r.problem == p)
            return r.text;
    return 0;
}

Notice DamageNotice(const BackupScan& s)
{
    const std::string at = std::to_string(s.damagedEntry + 1);
    switch (s.damage) {
    case Damage::None: return {};
    case Damage::NotBackup: return Error(res::IDS_NOT_BACKUP_FILE);
    case Damage::NoCount:
    case Damage::NameCut: return Error(res::IDS_BACKUP_LIST_CUT, {std::to_string(s.damagedEntry)});
    case Damage::DataMissing:
        return Error(res::IDS_BACKUP_DATA_MISSING, {std::to_string(s.count), std::to_string(s.damagedEntry)});
    case Damage::DataCut:
        return Error(res::IDS_BACKUP_DATA_CUT,
                     {at, s.damagedEntry < s.entries.size() ? PrintableHeader(s.entries[s.damagedEntry].name) : ""});
    case Damage::TrailingBytes: return Error(res::IDS_BACKUP_TRAILING_BYTES);
    }
    return {};
}

std::optional<Notice> RestoreRefusal(const BackupScan& s)
{
    Notice n;
    if (!s.whole()) {
        n = DamageNotice(s);
    } else if (const size_t bad = s.firstBadName(); bad < s.entries.size()) {
        n = Error(res::IDS_BACKUP_BAD_NAME, {std::to_string(bad + 1), PrintableHeader(s.entries[bad].name)});
        n.moreIds.push_back(NameProblemText(s.entries[bad].problem));
    } else {
        return std::nullopt;
    }
    n.moreIds.push_back(res::IDS_BACKUP_PHONE_UNCHANGED);
    return n;
}

// ---- flows ----

FlowOutcome RunBackup(FlowUi& ui, BackupCategory& categories, BackupRequest req)
{
    if (req.kinds.empty()) {
        ui.message(Info(res::IDS_TICK_LEAST_ONE_KIND));
        return Outcome(FlowResult::Refused);
    }
    categories.setKinds(req.kinds);
    if (req.path.empty()) {
        ui.message(Info(res::IDS_CHOOSE_WHERE_SAVE_BACKUP));
        return Outcome(FlowResult::Refused);
    }
    if (!ui.ask(res::IDS_REPLACES_DATA_GO))
        return Outcome(FlowResult::Cancelled);
    if (!req.path.ends_with(".bak"))
        req.path += ".bak";
    if (!ui.phoneModeConnected()) {
        ui.message(Error(res::IDS_NEEDS_PHONE_MODE));
        return Outcome(FlowResult::Refused, req.path);
    }
    BackupEngine engine([&ui](const Notice& n) { ui.message(n); });
    const std::string logPath = req.programDir + std::string(kUploadLog);
    if (!engine.createLog(logPath)) {
        ui.message(Error(res::IDS_BACKUP_LOG_CREATE_FAILED, {logPath}));
        return Outcome(FlowResult::Failed, req.path);
    }
    if (!engine.createBackup(req.path))
        return Outcome(FlowResult::Failed, req.path);

    std::vector<std::string> collected;
    engine.beginListing(categories);
    const bool listed = ui.runBatch(ListingPlan(engine, categories, collected)) == shell::kBatchOk;
    if (!listed) {
        ui.message(Error(res::IDS_FILE_LIST_FAILED));
        collected.clear();
    }
    FlowOutcome out = Outcome(listed ? FlowResult::Done : FlowResult::Failed, req.path);
    out.missingDirectories = engine.missingDirectories();
    if (collected.empty()) {
        // A whole backup of no files, and the user is told it holds none.
        const bool written = engine.writeFileList({}) && engine.finishBackup();
        ui.message(Info(res::IDS_BACKUP_HOLDS_NO_FILES, {req.path}));
        if (!written)
            out.result = FlowResult::Failed;
        return out;
    }
    if (!engine.writeFileList(std::move(collected))) {
        (void)engine.finishBackup();
        ui.message(Error(res::IDS_BACKUP_FAILED));
        out.result = FlowResult::Failed;
        return out;
    }
    std::string tooLong;
    auto plan = DownloadPlan(engine, &tooLong);
    if (!plan)
        ui.message(Error(res::IDS_BACKUP_PATH_TOO_LONG, {PrintableHeader(tooLong)}));
    const bool transferred = plan && ui.runBatch(std::move(*plan)) == shell::kBatchOk;
    const bool closed = engine.finishBackup();
    out.files = engine.appendedFiles();
    out.emptyFiles = engine.emptyFiles();
    if (transferred && closed) {
        ui.message(Info(res::IDS_BACKUP_COMPLETE));
        out.result = FlowResult::Done;
    } else {
        ui.message(Error(res::IDS_BACKUP_FAILED));
        out.result = FlowResult::Failed;
    }
    return out;
}

FlowOutcome RunRestore(FlowUi& ui, const RestoreRequest& req)
{
    if (req.path.empty()) {
        ui.message(Info(res::IDS_CHOOSE_BACKUP_FILE));
        return Outcome(FlowResult::Refused);
    }
    if (!ui.ask(res::IDS_REPLACES_DATA_GO))
        return Outcome(FlowResult::Cancelled, req.path);
    if (!ui.phoneModeConnected()) {
        ui.message(Error(res::IDS_NEEDS_PHONE_MODE));
        return Outcome(FlowResult::Refused, req.path);
    }
    BackupEngine engine([&ui](const Notice& n) { ui.message(n); });
    const std::string logPath = req.programDir + std::string(kDownloadLog);
    if (!engine.createLog(logPath)) {
        ui.message(Error(res::IDS_BACKUP_LOG_CREATE_FAILED, {logPath}));
        return Outcome(FlowResult::Failed, req.path);
    }
    OpenScan opened = ScanBackupFile(req.path);
    if (!opened.opened) {
        ui.message(Error(res::IDS_BACKUP_FILE_OPEN_FAILED));
        return Outcome(FlowResult::Refused, req.path);
    }
    // The whole file is checked before the first upload: a damaged backup
    // must not overwrite the phone's files with empty or misplaced data.
    if (const auto refusal = RestoreRefusal(opened.scan)) {
        ui.message(*refusal);
        return Outcome(FlowResult::Refused, req.path);
    }
    if (!engine.openForRestore(req.path, std::move(opened.scan)))
        return Outcome(FlowResult::Failed, req.path);
    std::string tooLong;
    auto plan = UploadPlan(engine, &tooLong);
    if (!plan) {
        ui.message(Notice(res::IDS_BACKUP_PATH_TOO_LONG, Icon::Error, {PrintableHeader(tooLong)},
                          {res::IDS_BACKUP_PHONE_UNCHANGED}));
        return Outcome(FlowResult::Refused, req.path);
    }
    if (!engine.prepareNext())
        return Outcome(FlowResult::Failed, req.path);
    const bool ok = ui.runBatch(std::move(*plan)) == shell::kBatchOk;
    FlowOutcome out = Outcome(ok ? FlowResult::Done : FlowResult::Failed, req.path);
    out.files = engine.restoredFiles();
    ui.message(ok ? Info(res::IDS_DONE) : Error(res::IDS_RESTORE_FAILED));
    return out;
}

FlowOutcome RunUnpack(FlowUi& ui, const std::string& backupPath, const std::string& targetDir)
{
    const UnpackOutcome u = UnpackBackup(backupPath, targetDir, [&ui](const Notice& n) { ui.message(n); });
    FlowOutcome out = Outcome(u.done ? FlowResult::Done : FlowResult::Failed, backupPath);
    out.files = u.written;
    return out;
}

FlowOutcome RunRestoreField(FlowUi& ui, const std::string& field, const std::string& programDir)
{
    const RestoreField f = ParseRestoreField(field, IsFile);
    switch (f.form) {
    case RestoreField::Form::Restore: return RunRestore(ui, {f.file, programDir});
    case RestoreField::Form::Break:
        return RunUnpack(ui, f.file, f.target.empty() ? DefaultBreakDirectory(programDir) : f.target);
    case RestoreField::Form::Save: break;
    }
    const std::string phonePath = SavePhonePath(f.phonePath, f.encodeName);
    if (phonePath.empty()) {
        ui.message(Error(res::IDS_BACKUP_SAVE_PATH_UNUSABLE, {f.phonePath}));
        return Outcome(FlowResult::Refused);
    }
    std::ifstream in(f.file, std::ios::binary);
    std::vector<uint8_t> content;
    if (in)
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        ui.message(Error(res::IDS_BACKUP_LOCAL_READ_FAILED, {f.file}));
        return Outcome(FlowResult::Refused);
    }
    if (!IsFile(f.file) || content.size() > UINT32_MAX) {
        ui.message(Error(res::IDS_BACKUP_LOCAL_READ_FAILED, {f.file}));
        return Outcome(FlowResult::Refused);
    }
    const std::string single = programDir + "tmp.bak";
    if (const WriteError e = WriteSingleFileBackup(single, phonePath, content); e != WriteError::None) {
        ui.message(Error(e == WriteError::DiskFull ? res::IDS_DISK_FULL : res::IDS_FILE_WRITE_FAILED));
        return Outcome(FlowResult::Failed);
    }
    return RunRestore(ui, {single, programDir});
}

}  // namespace backup

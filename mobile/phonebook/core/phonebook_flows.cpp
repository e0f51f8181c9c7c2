#include "mobile/phonebook/core/phonebook_flows.h"

#include "mobile/shell/core/requests.h"
#include "platform/program_dir.h"
#include "resources/strings.h"

#include <filesystem>

namespace phonebook {

namespace {

constexpr char kPhoneDir[] = "/app/dir/";

[[nodiscard]] shell::BatchStep Download(const std::string& phonePath, const std::string& localPath)
{
    const uint32_t block = NewTransferBlock(phonePath, localPath);
    return shell::BatchStep::Request(REQ_DOWNLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, block));
}

[[nodiscard]] shell::BatchStep Upload(const std::string& localPath, const std::string& phonePath)
{
    const uint32_t block = NewTransferBlock(localPath, phonePath);
    return shell::BatchStep::Request(REQ_UPLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, block));
}

}  // namespace

std::string WorkDir()
{
    return plat::ProgramDirectory();
}

shell::BatchPlan ReadPlan(PhonebookStore& store, const std::string& dir)
{
    store.clearAll();
    shell::BatchPlan plan;
    plan.titleId = res::IDS_READING_PHONEBOOK;
    plan.steps.push_back(
        shell::BatchStep::Request(REQ_READ_SIM_PHONEBOOK, shell::NewRequest(plat::CurrentThreadId(), dir + "pb.sim")));
    plan.steps.push_back(Download(std::string(kPhoneDir) + "smpbtab", dir + "smpbtab"));
    plan.steps.push_back(shell::BatchStep::Callback([dir](shell::TransferBatch& batch) {
        const auto table = ReadTableFile(dir + "smpbtab");
        if (!table)
            return false;
        const int files = ParseSmpbtab(*table).fileCount;
        if (files < 0)
            return false;
        if (files == 0)
            return true;
        std::vector<shell::BatchStep> downloads;
        for (int r = 0; r < files; ++r) {
            const std::string name = "smpb" + std::to_string(r);
            downloads.push_back(Download(kPhoneDir + name, dir + name));
        }
        batch.setBatch(std::move(downloads));
        batch.setStepCount(files);
        return true;
    }));
    plan.stepCount = 2;
    return plan;
}

int FinishRead(PhonebookStore& store, const std::string& dir, int batchResult)
{
    if (batchResult != shell::kBatchOk) {
        // Whatever the batch left behind goes; the store stays empty.
        std::error_code ec;
        std::filesystem::remove(dir + "pb.sim", ec);
        std::filesystem::remove(dir + "smpbtab", ec);
        for (int r = 0; r * static_cast<int>(kRecordsPerFile) < kHandsetCapacity; ++r)
            std::filesystem::remove(dir + "smpb" + std::to_string(r), ec);
        store.clearAll();
        return res::IDS_PHONEBOOK_READ_FAILED;
    }
    if (store.load(dir) != LoadError::None) {
        store.clearAll();
        return res::IDS_PHONEBOOK_READ_FAILED;
    }
    return 0;
}

// ---- write-back -----------------------------------------------------------------

WriteBack::~WriteBack()
{
    removeFiles();
}

void WriteBack::removeFiles()
{
    std::error_code ec;
    for (const auto& f : files_)
        std::filesystem::remove(f, ec);
    files_.clear();
}

int WriteBack::capacityMessage() const
{
    return res::IDS_MORE_ENTRIES_THAN_PHONE;
}

WriteBack PlanWriteBack(PhonebookStore& store, const std::string& dir, WriteMode mode)
{
    WriteBack flow;
    flow.mode_ = mode;
    if (store.overCapacity()) {
        flow.status_ = WriteBack::OverCapacity;
        return flow;
    }
    flow.ops_ = store.planWriteBack();
    if (flow.ops_.empty())
        return flow;

    shell::BatchPlan& plan = flow.plan_;
    plan.titleId = mode == WriteMode::Save ? res::IDS_WRITING_PHONEBOOK_PHONE : res::IDS_DELETING_PHONES_PHONEBOOK;
    int requests = 0;
    for (const SyncOp& op : flow.ops_) {
        if (op.kind != SyncOp::Delete) {
            // Each upload file is named by the number of requests queued before it.
            const std::string path = dir + "sypb" + std::to_string(requests);
            if (!WriteWholeFile(path, op.upload)) {
                flow.removeFiles();
                flow.ops_.clear();
                flow.status_ = WriteBack::Nothing;
                return flow;
            }
            flow.files_.push_back(path);
            plan.steps.push_back(Upload(path, std::string(kPhoneDir) + "tmp.dat"));
            ++requests;
        }
        plan.steps.push_back(
            shell::BatchStep::Request(REQ_LONG_COMMAND, shell::NewRequest(plat::CurrentThreadId(), op.command())));
        ++requests;
        SyncOp confirmed = op;
        confirmed.upload.clear();
        plan.steps.push_back(shell::BatchStep::Callback([&store, confirmed](shell::TransferBatch&) {
            store.confirm(confirmed);
            return true;
        }));
    }
    plan.stepCount = requests;
    flow.status_ = WriteBack::Ready;
    return flow;
}

int FinishWriteBack(WriteBack& flow, int batchResult)
{
    flow.removeFiles();
    const bool ok = batchResult == shell::kBatchOk;
    if (flow.mode_ == WriteMode::Save)
        return ok ? res::IDS_PHONEBOOK_WRITTEN : res::IDS_PHONEBOOK_WRITE_FAILED;
    return ok ? res::IDS_ENTRIES_DELETED_PHONE : res::IDS_ENTRIES_DELETE_FAILED;
}

}  // namespace phonebook

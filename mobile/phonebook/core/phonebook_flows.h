#pragma once
// The phonebook's phone work as batches, for both front ends: the page runs
// a plan with PageHost::runBatch, `telvane phonebook` with its session.
//
//   read:        ReadPlan -> run -> FinishRead
//   write back:  PlanWriteBack -> run -> FinishWriteBack
//
// Each flow keeps its working files in dir (the program directory, with
// its trailing separator) and deletes them when it ends.
//
// Thread affinity: the thread that owns the store; the batch's callback
// steps run there too, between two requests.

#include "mobile/phonebook/core/phonebook_store.h"
#include "mobile/shell/core/batch_runner.h"

#include <memory>
#include <string>
#include <vector>

namespace phonebook {

// The program directory (working copies of the phone's files).
[[nodiscard]] std::string WorkDir();

// Empties the store (both memories, pending deletions, slot maps) and
// returns the batch that reads the SIM into pb.sim, downloads smpbtab, and
// then downloads the record files that the table needs.
[[nodiscard]] shell::BatchPlan ReadPlan(PhonebookStore& store, const std::string& dir);
// After the read batch: loads the working copies into the store. 0 on
// success, else the id of the message to show (the batch or the load
// failed; the store is then empty).
[[nodiscard]] int FinishRead(PhonebookStore& store, const std::string& dir, int batchResult);

enum class WriteMode { Save, Delete };

class WriteBack {
public:
    enum Status { Nothing, OverCapacity, Ready };
    [[nodiscard]] Status status() const { return status_; }
    // The message for an over-capacity store (the caller shows it as an error).
    [[nodiscard]] int capacityMessage() const;
    // Ready: the batch to run. Each AT*SYPH is followed by a step that
    // tells the store the phone took it, so a batch that fails part-way
    // leaves the rest pending for the next write-back.
    [[nodiscard]] shell::BatchPlan takePlan() { return std::move(plan_); }
    [[nodiscard]] const std::vector<SyncOp>& ops() const { return ops_; }

    WriteBack(const WriteBack&) = delete;
    WriteBack& operator=(const WriteBack&) = delete;
    WriteBack(WriteBack&&) = default;
    WriteBack& operator=(WriteBack&&) = default;
    ~WriteBack();

private:
    friend WriteBack PlanWriteBack(PhonebookStore&, const std::string&, WriteMode);
    friend int FinishWriteBack(WriteBack&, int);
    WriteBack() = default;
    void removeFiles();

    Status status_ = Nothing;
    WriteMode mode_ = WriteMode::Save;
    shell::BatchPlan plan_;
    std::vector<SyncOp> ops_;
    std::vector<std::string> files_;
};

[[nodiscard]] WriteBack PlanWriteBack(PhonebookStore& store, const std::string& dir, WriteMode mode);
// After the batch: deletes the upload files; returns the message to show
// (written / deleted, or the failure).
[[nodiscard]] int FinishWriteBack(WriteBack& flow, int batchResult);

}  // namespace phonebook

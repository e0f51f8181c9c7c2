// The read and write-back batches against a scripted worker: which
// requests they send and what the store keeps when the phone refuses one.

#include "mobile/phonebook/core/phonebook_flows.h"
#include "mobile/shell/core/batch_loop.h"
#include "resources/strings.h"
#include "support/fake_worker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace phonebook;
using shelltest::FakeWorker;
using shelltest::Reply;
using shelltest::SeenRequest;
namespace fs = std::filesystem;

namespace {

int RunPlan(shell::BatchPlan plan, const FakeWorker& worker)
{
    shell::ThreadBatchOptions opt;
    opt.worker = worker.threadId();
    shell::ThreadBatchRunner runner(opt);
    runner.batch().setBatch(std::move(plan.steps));
    runner.batch().setStepCount(plan.stepCount);
    return runner.run();
}

class Flows : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pbflows" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Dir() const { return dir.string() + "/"; }
    fs::path dir;
};

std::vector<std::string> Texts(const std::vector<SeenRequest>& seen)
{
    std::vector<std::string> v;
    for (const auto& s : seen)
        if (s.code != REQ_COMMAND)  // the closing MASKCALL
            v.push_back(s.code == REQ_DOWNLOAD ? "get " + s.first : s.code == REQ_UPLOAD ? "put " + s.second : s.text);
    return v;
}

ContactRecord Named(const char* name)
{
    ContactRecord r = NewHandsetRecord();
    (void)SetText(r, Field::Name, name);
    return r;
}

}  // namespace

TEST_F(Flows, ReadDownloadsEveryRecordFileEvenWhenTheFirstSlotIsFree)
{
    // The phone's table lists only slot 45: the first entries were deleted on
    // the phone. The record files 0..2 must all come.
    std::string table(kSmpbtabSize, '\xFF');
    table[44 * kSmpbtabEntrySize] = 0;
    table[44 * kSmpbtabEntrySize + 1] = 45;
    std::string records(kRecordFileSize, '\0');
    std::memcpy(records.data() + 4 * kPhoneRecordSize, "Zoe", 3);
    FakeWorker worker([&](const SeenRequest& s) {
        if (s.code == REQ_READ_SIM_PHONEBOOK)
            std::ofstream(s.text, std::ios::binary) << "250,1\r\n2,555,Bob\r\n";
        if (s.code == REQ_DOWNLOAD) {
            const std::string name = s.first.substr(s.first.rfind('/') + 1);
            std::ofstream(s.second, std::ios::binary) << (name == "smpbtab"     ? table
                                                              : name == "smpb2" ? records
                                                                                : std::string(kRecordFileSize, '\0'));
        }
        return std::vector<Reply>{Reply::Text(LINK_SUCCEEDED, "")};
    });
    PhonebookStore store;
    (void)store.add(Named("old"));
    const int result = RunPlan(ReadPlan(store, Dir()), worker);
    EXPECT_TRUE(store.empty());  // the read starts from nothing
    EXPECT_EQ(Texts(worker.seen()),
              (std::vector<std::string>{Dir() + "pb.sim", "get /app/dir/smpbtab", "get /app/dir/smpb0",
                                        "get /app/dir/smpb1", "get /app/dir/smpb2"}));
    ASSERT_EQ(FinishRead(store, Dir(), result), 0);
    ASSERT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(store.entries()[1].slot, 45);
    EXPECT_EQ(DisplayName(*store.entries()[1].record), "Zoe");
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(Flows, ReadOfABadOrMissingTableFails)
{
    // A table of the wrong size, and a download that left no file: the read
    // fails (the missing file after a bounded wait) and leaves nothing behind.
    for (const bool writeTable : {true, false}) {
        FakeWorker worker([&](const SeenRequest& s) {
            if (s.code == REQ_READ_SIM_PHONEBOOK)
                std::ofstream(s.text) << "250,0\r\n";
            if (s.code == REQ_DOWNLOAD && writeTable)
                std::ofstream(s.second) << "too short";
            return std::vector<Reply>{Reply::Text(LINK_SUCCEEDED, "")};
        });
        PhonebookStore store;
        const int result = RunPlan(ReadPlan(store, Dir()), worker);
        EXPECT_EQ(result, shell::kBatchCancel);
        EXPECT_NE(FinishRead(store, Dir(), result), 0);
        EXPECT_TRUE(fs::is_empty(dir));
    }
}

TEST_F(Flows, RefusedChangesStayPendingUntilThePhoneTakesThem)
{
    PhonebookStore store;
    const ContactKey gone = *store.add(Named("gone"), 3);
    store.markSynced(gone);
    const ContactKey kept = *store.add(Named("kept"), 4);
    store.markSynced(kept);
    ASSERT_TRUE(store.remove(gone));
    ASSERT_TRUE(store.modify(kept, Named("kept2")));
    (void)store.add(Named("a-new"));
    (void)store.add(Named("b-new"));

    // The phone refuses the second addition.
    int syph = 0;
    auto script = [&](const SeenRequest& s) {
        const bool refuse = s.code == REQ_LONG_COMMAND && ++syph == 3;
        return std::vector<Reply>{Reply::Text(refuse ? LINK_FAILED : LINK_SUCCEEDED, "", refuse ? 21 : 0)};
    };
    {
        FakeWorker worker(script);
        WriteBack flow = PlanWriteBack(store, Dir(), WriteMode::Save);
        ASSERT_EQ(flow.status(), WriteBack::Ready);
        EXPECT_EQ(Texts(worker.seen()).size(), 0u);
        const int result = RunPlan(flow.takePlan(), worker);
        EXPECT_EQ(FinishWriteBack(flow, result), res::IDS_PHONEBOOK_WRITE_FAILED);
        EXPECT_EQ(Texts(worker.seen()),
                  (std::vector<std::string>{"AT*SYPH=2,1,3\r", "put /app/dir/tmp.dat", "AT*SYPH=0,1,1,0\r",
                                            "put /app/dir/tmp.dat", "AT*SYPH=0,1,2,1\r"}));
        EXPECT_TRUE(fs::is_empty(dir));  // upload files gone
    }
    // The delete and the first addition were taken; the rest is still pending.
    const StoreCounts c = store.counts();
    EXPECT_EQ(c.deletes, 0);
    EXPECT_EQ(c.adds, 1);
    EXPECT_EQ(c.modifies, 1);

    FakeWorker worker([](const SeenRequest&) { return std::vector<Reply>{Reply::Text(LINK_SUCCEEDED, "")}; });
    WriteBack again = PlanWriteBack(store, Dir(), WriteMode::Delete);
    const int result = RunPlan(again.takePlan(), worker);
    EXPECT_EQ(FinishWriteBack(again, result), res::IDS_ENTRIES_DELETED_PHONE);
    EXPECT_EQ(Texts(worker.seen()),
              (std::vector<std::string>{"put /app/dir/tmp.dat", "AT*SYPH=0,1,2,1\r", "put /app/dir/tmp.dat",
                                        "AT*SYPH=1,1,4,3\r"}));
    EXPECT_EQ(PlanWriteBack(store, Dir(), WriteMode::Save).status(), WriteBack::Nothing);
}

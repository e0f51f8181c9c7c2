// The backup, restore and save flows through the real transfer batch and
// thread queues, against a scripted phone whose file system is a map.

#include "mobile/backup/core/backup_flows.h"
#include "mobile/shell/core/batch_loop.h"
#include "quorlink/codecs/phone_strings.h"
#include "resources/strings.h"
#include "support/fake_worker.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

namespace fs = std::filesystem;
using namespace backup;
using shelltest::FakeWorker;
using shelltest::Reply;
using shelltest::SeenRequest;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A phone file system answering listings, downloads and uploads the way
// the worker reports them.
class ScriptedPhone {
public:
    std::map<std::string, std::string> files;  // full path -> content
    std::set<std::string> dirs;
    int32_t listFailureCode = 0;  // answer every listing with this error

    std::vector<Reply> answer(const SeenRequest& s)
    {
        std::lock_guard lock(mutex_);
        switch (s.code) {
        case REQ_RAW_LIST: return list(s.text.substr(8, s.text.size() - 9));  // "AT*LIST=" ... "\r"
        case REQ_DOWNLOAD: {
            const auto it = files.find(s.first);
            if (it == files.end())
                return {Reply::Text(0, "", 52)};
            std::ofstream(s.second, std::ios::binary) << it->second;
            const auto n = static_cast<int32_t>(it->second.size());
            return {Reply::Progress(2, n, n), Reply::Text(1, "")};
        }
        case REQ_UPLOAD: {
            files[s.second] = ReadFile(s.first);
            const auto n = static_cast<int32_t>(files[s.second].size());
            return {Reply::Progress(2, n, n), Reply::Text(1, "")};
        }
        default: return {Reply::Text(1, "OK")};
        }
    }

private:
    std::vector<Reply> list(const std::string& dir)
    {
        if (listFailureCode != 0)
            return {Reply::Text(0, "", listFailureCode)};
        if (!dirs.count(dir))
            return {Reply::Text(0, "", 22)};
        std::vector<Reply> r{Reply::Text(2, "*LIST:" + dir)};
        for (const auto& [path, content] : files)
            if (path.rfind(dir + "/", 0) == 0 && path.find('/', dir.size() + 1) == std::string::npos)
                r.push_back(Reply::Text(2, "0," + path.substr(dir.size() + 1) + "," + std::to_string(content.size())));
        for (const std::string& d : dirs)
            if (d.rfind(dir + "/", 0) == 0)
                r.push_back(Reply::Text(2, "1," + d.substr(dir.size() + 1) + ",0"));
        r.push_back(Reply::Text(1, "OK"));
        return r;
    }
    std::mutex mutex_;
};

class TestUi final : public FlowUi {
public:
    explicit TestUi(FakeWorker& w) : worker_(w) { }
    std::vector<Notice> notices;
    bool answer = true;
    bool connected = true;

    [[nodiscard]] std::vector<int> ids() const
    {
        std::vector<int> v;
        for (const Notice& n : notices)
            v.push_back(n.id);
        return v;
    }
    int runBatch(shell::BatchPlan plan) override
    {
        shell::ThreadBatchOptions opt;
        opt.worker = worker_.threadId();
        opt.phoneMode = connected;
        shell::ThreadBatchRunner runner(opt, std::move(plan.effects));
        runner.batch().setBatch(std::move(plan.steps));
        runner.batch().setStepCount(plan.stepCount);
        return runner.run();
    }
    void message(const Notice& n) override { notices.push_back(n); }
    bool ask(int) override { return answer; }
    [[nodiscard]] bool phoneModeConnected() const override { return connected; }

private:
    FakeWorker& worker_;
};

class BackupFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string t = (fs::temp_directory_path() / "backupflowXXXXXX").string();
        dir_ = ::mkdtemp(t.data());
        home_ = (dir_ / "home").string() + "/";
        fs::create_directories(home_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    [[nodiscard]] std::string path(const std::string& name) const { return (dir_ / name).string(); }
    [[nodiscard]] std::vector<int32_t> codes() const
    {
        std::vector<int32_t> v;
        for (int32_t c : worker_.seenCodes())
            if (c != REQ_COMMAND)
                v.push_back(c);
        return v;
    }

    ScriptedPhone phone_;
    FakeWorker worker_{[this](const SeenRequest& s) { return phone_.answer(s); }};
    TestUi ui_{worker_};
    BackupCategory categories_;
    fs::path dir_;
    std::string home_;
};

}  // namespace

TEST_F(BackupFlowTest, BackupAndRestoreGiveThePhoneItsFilesBack)
{
    phone_.dirs = {"/app/dir", "/app/sms", "/app/jpeg", "/app/camera"};  // no /app/sms/dt on this phone
    phone_.files = {
        {"/app/dir/smpbtab", "table"},   {"/app/dir/smpb0", std::string(300, 'r')},
        {"/app/dir/tmp.dat", "scratch"}, {"/app/dir/owninfo", "me"},
        {"/app/sms/smstab0", "sms"},     {"/app/sms/empty", ""},
        {"/app/jpeg/pic", "jpeg"},       {"/app/camera/Video00", "clip"},
    };
    const auto before = phone_.files;
    const FlowOutcome b =
        RunBackup(ui_, categories_, {path("phone"), KindSet::Of({BackupKind::Phonebook, BackupKind::Messages}), home_});
    ASSERT_EQ(b.result, FlowResult::Done);
    EXPECT_EQ(ui_.ids(), std::vector<int>{res::IDS_BACKUP_COMPLETE});
    EXPECT_EQ(b.backupPath, path("phone.bak"));
    EXPECT_EQ(b.files, 4u);
    EXPECT_EQ(b.emptyFiles, 1);
    EXPECT_EQ(b.missingDirectories, std::vector<std::string>{"/app/sms/dt"});
    // Three listings (the missing directory counts as empty), then the downloads.
    EXPECT_EQ(codes(), (std::vector<int32_t>{86, 86, 86, 201, 201, 201, 201}));
    EXPECT_FALSE(fs::exists(path("backup_and_restore_tmp.dat")));

    const BackupScan s = ScanBackupFile(b.backupPath).scan;
    ASSERT_TRUE(s.restorable());
    std::vector<std::string> names;
    for (const auto& e : s.entries)
        names.push_back(e.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"/app/dir/smpb0", "/app/dir/smpbtab", "/app/sms/empty", "/app/sms/smstab0"}));
    const std::string log = ReadFile(home_ + "upload_log.txt");
    EXPECT_NE(log.find("-----empty file 1: [/app/sms/empty]-----\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("(/app/dir/smpb0 : 300/300)\r\n"), std::string::npos) << log;

    // Wipe what was backed up, restore, and the phone has it back byte for byte.
    for (const auto& n : names)
        phone_.files.erase(n);
    phone_.files["/app/dir/smpbtab"] = "changed since";
    ui_.notices.clear();
    const FlowOutcome r = RunRestore(ui_, {b.backupPath, home_});
    EXPECT_EQ(r.result, FlowResult::Done);
    EXPECT_EQ(r.files, 4u);
    EXPECT_EQ(ui_.ids(), std::vector<int>{res::IDS_DONE});
    EXPECT_EQ(phone_.files, before);
    EXPECT_NE(ReadFile(home_ + "download_log.txt").find("(/app/sms/smstab0 : 3/3)\r\n"), std::string::npos);
}

TEST_F(BackupFlowTest, DamagedOrHostileBackupsLeaveThePhoneUntouched)
{
    phone_.dirs = {"/app/dir"};
    phone_.files = {{"/app/dir/a", "aaaa"}, {"/app/dir/b", "bbbb"}};
    ASSERT_EQ(RunBackup(ui_, categories_, {path("good.bak"), KindSet::Of({BackupKind::Phonebook}), home_}).result,
              FlowResult::Done);
    const std::string good = ReadFile(path("good.bak"));
    struct Case {
        const char* what;
        std::string bytes;
        int notice;
    };
    std::string renamed = good;
    renamed.replace(renamed.find("/app/dir/b"), 10, "/app/../bb");  // same length
    const Case cases[] = {
        // A backup broken off by a failed download: names for both, data for one.
        {"broken off", good.substr(0, good.size() - 8), res::IDS_BACKUP_DATA_MISSING},
        {"one block cut", good.substr(0, good.size() - 2), res::IDS_BACKUP_DATA_CUT},
        {"a name leaving /app", renamed, res::IDS_BACKUP_BAD_NAME},
        {"not a backup", "hello", res::IDS_NOT_BACKUP_FILE},
    };
    const auto before = phone_.files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path("bad.bak"), std::ios::binary) << c.bytes;
        ui_.notices.clear();
        const size_t seen = worker_.seen().size();
        EXPECT_EQ(RunRestore(ui_, {path("bad.bak"), home_}).result, FlowResult::Refused);
        EXPECT_EQ(ui_.ids(), std::vector<int>{c.notice});
        EXPECT_EQ(worker_.seen().size(), seen);  // not even a MASKCALL
    }
    EXPECT_EQ(phone_.files, before);
}

TEST_F(BackupFlowTest, EmptyResultsAreToldAndWhole)
{
    // N = 0 restores nothing and reports success.
    phone_.dirs = {"/app/dir"};
    ASSERT_EQ(RunBackup(ui_, categories_, {path("none.bak"), KindSet::Of({BackupKind::Phonebook}), home_}).result,
              FlowResult::Done);
    EXPECT_EQ(ui_.ids(), std::vector<int>{res::IDS_BACKUP_HOLDS_NO_FILES});
    EXPECT_TRUE(ScanBackupFile(path("none.bak")).scan.restorable());
    ui_.notices.clear();
    EXPECT_EQ(RunRestore(ui_, {path("none.bak"), home_}).result, FlowResult::Done);
    EXPECT_EQ(ui_.ids(), std::vector<int>{res::IDS_DONE});

    // A listing that fails for another reason than a missing directory
    // stops the backup; the file is still whole and the user is told.
    phone_.listFailureCode = 53;
    ui_.notices.clear();
    EXPECT_EQ(RunBackup(ui_, categories_, {path("failed.bak"), kDefaultKinds, home_}).result, FlowResult::Failed);
    EXPECT_EQ(ui_.ids(), (std::vector<int>{res::IDS_FILE_LIST_FAILED, res::IDS_BACKUP_HOLDS_NO_FILES}));
    EXPECT_TRUE(ScanBackupFile(path("failed.bak")).scan.restorable());
}

TEST_F(BackupFlowTest, SaveFormUploadsOneLocalFile)
{
    std::ofstream(path("tone.mid"), std::ios::binary) << "MThd tune";
    const FlowOutcome o = RunRestoreField(ui_, path("tone.mid") + "(save -p/app/midi/user001.mid)", home_);
    EXPECT_EQ(o.result, FlowResult::Done);
    std::string name = "user001.mid";
    name.resize(64);
    StringToPosix(name.data());
    EXPECT_EQ(phone_.files.at("/app/midi/" + std::string(name.c_str())), "MThd tune");
    EXPECT_TRUE(fs::exists(home_ + "tmp.bak"));
}

TEST_F(BackupFlowTest, StartIsRefusedBeforeTouchingAnything)
{
    struct Case {
        const char* what;
        KindSet kinds;
        std::string path;
        bool answer, connected;
        std::vector<int> notices;
        FlowResult result;
    };
    const Case cases[] = {
        {"no box ticked", KindSet{}, "x", true, true, {res::IDS_TICK_LEAST_ONE_KIND}, FlowResult::Refused},
        {"no path", kDefaultKinds, "", true, true, {res::IDS_CHOOSE_WHERE_SAVE_BACKUP}, FlowResult::Refused},
        {"user cancels", kDefaultKinds, "x", false, true, {}, FlowResult::Cancelled},
        {"not connected", kDefaultKinds, "x", true, false, {res::IDS_NEEDS_PHONE_MODE}, FlowResult::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui_.notices.clear();
        ui_.answer = c.answer;
        ui_.connected = c.connected;
        EXPECT_EQ(RunBackup(ui_, categories_, {c.path.empty() ? "" : path(c.path), c.kinds, home_}).result, c.result);
        EXPECT_EQ(ui_.ids(), c.notices);
    }
    EXPECT_TRUE(worker_.seen().empty());
    EXPECT_FALSE(fs::exists(path("x.bak")));
}

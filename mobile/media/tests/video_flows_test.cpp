// The refresh and save flows against a scripted worker that serves files
// from a directory the way the phone does: which files are fetched, what
// the program directory keeps afterwards, and what a failure leaves.

#include "clip_maker.h"

#include "mobile/media/core/media_parts.h"
#include "mobile/media/core/video_flows.h"
#include "mobile/shell/core/batch_loop.h"
#include "resources/strings.h"
#include "support/fake_worker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace media {
namespace {

using shelltest::FakeWorker;
using shelltest::Reply;
using shelltest::SeenRequest;
namespace fs = std::filesystem;

class WorkerRunner final : public shell::BatchRunner {
public:
    explicit WorkerRunner(const FakeWorker& worker) : worker_(worker) { }
    int runBatch(shell::BatchPlan plan) override
    {
        shell::ThreadBatchOptions opt;
        opt.worker = worker_.threadId();
        shell::ThreadBatchRunner runner(opt);
        runner.batch().setBatch(std::move(plan.steps));
        runner.batch().setStepCount(plan.stepCount);
        return runner.run();
    }

private:
    const FakeWorker& worker_;
};

class VideoFlows : public ::testing::Test {
public:
    void SetUp() override
    {
        char tmpl[] = "/tmp/telvane_video_flows_XXXXXX";
        root = ::mkdtemp(tmpl);
        fs::create_directories(root / "phone/app/camera");
        fs::create_directories(root / "home");
    }
    void TearDown() override { fs::remove_all(root); }

    std::string Home() const { return (root / "home").string() + "/"; }
    void PutOnPhone(const std::string& name, std::span<const uint8_t> bytes) const
    {
        std::ofstream(root / "phone/app/camera" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // Serves downloads from the phone directory; a file that is not there fails.
    FakeWorker::Script Phone(std::vector<std::string>* fetched)
    {
        return [this, fetched](const SeenRequest& s) -> std::vector<Reply> {
            if (s.code != REQ_DOWNLOAD)
                return {Reply::Text(LINK_SUCCEEDED, "OK")};
            fetched->push_back(s.first);
            std::error_code ec;
            fs::copy_file(root / ("phone" + s.first), s.second, fs::copy_options::overwrite_existing, ec);
            return {ec ? Reply::Text(LINK_FAILED, "", 52) : Reply::Text(LINK_SUCCEEDED, "")};
        };
    }

    fs::path root;
};

// The index holds one clip of `size` bytes, split into parts on the phone.
void PhoneWithClip(VideoFlows& t, const std::vector<uint8_t>& clip, bool isPrivate = false)
{
    std::vector<uint8_t> index(kClipIndexSize, 0);
    index[1] = 1;
    std::memcpy(&index[2], "Lake walk", 9);
    index[18] = isPrivate ? 1 : 0;
    const auto size = static_cast<uint32_t>(clip.size());
    for (int k = 0; k < 4; ++k)
        index[20 + k] = uint8_t(size >> (24 - 8 * k));
    t.PutOnPhone(kClipIndexName, index);
    for (int i = 0; i < PartCount(size); ++i) {
        const size_t at = size_t(i) * kPartSize;
        t.PutOnPhone(PhonePartName("Video00", i), std::span(clip).subspan(at, std::min<size_t>(kPartSize, size - at)));
    }
}

TEST_F(VideoFlows, RefreshThenSaveAClipOfSeveralParts)
{
    auto made = mediatest::MakeClip({.width = 128, .height = 96, .frames = 6});
    ASSERT_TRUE(made);
    ASSERT_LT(made->mjp.size(), 2 * kPartSize);
    // Clips of 40960 and 40961 bytes (the phone pads nothing; the tail here
    // is bytes after the last frame, which the converter passes over).
    for (const auto& [size, parts] :
         {std::pair{40960u, std::vector<std::string>{"Video00", "Video00_1"}},
          std::pair{40961u, std::vector<std::string>{"Video00", "Video00_1", "Video00_2"}}}) {
        std::vector<uint8_t> clip = made->mjp;
        clip.resize(size, 0);
        PhoneWithClip(*this, clip);
        std::vector<std::string> fetched;
        FakeWorker worker(Phone(&fetched));
        WorkerRunner runner(worker);
        VideoLibrary library(Home());

        EXPECT_EQ(library.checkSave(1), SaveStatus::NotConnected);
        ASSERT_TRUE(library.refresh(runner));
        ASSERT_EQ(library.clips().size(), kClipRecordCount);
        EXPECT_EQ(library.clips()[0].name, "Lake walk");

        const SaveOutcome saved = library.save(runner, 1, (root / "clip.mov").string());
        EXPECT_EQ(saved.status, SaveStatus::Saved) << int(saved.convert.error);
        EXPECT_EQ(saved.messageId(), res::IDS_CLIP_SAVED);
        EXPECT_EQ(saved.aviPath, (root / "clip.avi").string());
        EXPECT_EQ(saved.convert.framesWritten, 6);
        std::vector<std::string> expected = {"/app/camera/VideoIndex"};
        for (const std::string& p : parts)
            expected.push_back("/app/camera/" + p);
        EXPECT_EQ(fetched, expected);
        // Only the index stays in the program directory.
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(Home()))
            left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{kClipIndexName});
    }
}

TEST_F(VideoFlows, FailuresLeaveNoWorkingFiles)
{
    auto made = mediatest::MakeClip({.width = 160, .height = 120, .frames = 12, .quality = 95});
    ASSERT_TRUE(made);
    PhoneWithClip(*this, made->mjp);
    fs::remove(root / "phone/app/camera/Video00_2");  // the last part cannot be fetched
    std::vector<std::string> fetched;
    FakeWorker worker(Phone(&fetched));
    WorkerRunner runner(worker);
    VideoLibrary library(Home());
    ASSERT_TRUE(library.refresh(runner));
    const SaveOutcome failed = library.save(runner, 1, (root / "clip.avi").string());
    EXPECT_EQ(failed.status, SaveStatus::DownloadFailed);
    EXPECT_EQ(failed.messageId(), res::IDS_CLIP_CONVERT_FAILED);
    EXPECT_FALSE(fs::exists(root / "clip.avi"));
    for (const auto& e : fs::directory_iterator(Home()))
        EXPECT_EQ(e.path().filename(), kClipIndexName);

    // A private clip is refused before anything is fetched; a failed
    // refresh blanks the list.
    PhoneWithClip(*this, made->mjp, true);
    ASSERT_TRUE(library.refresh(runner));
    fetched.clear();
    EXPECT_EQ(library.save(runner, 1, (root / "clip.avi").string()).status, SaveStatus::Private);
    EXPECT_TRUE(fetched.empty());
    fs::remove(root / "phone/app/camera/VideoIndex");
    EXPECT_FALSE(library.refresh(runner));
    EXPECT_EQ(library.rows([](int) { return std::string("x"); }).size(), size_t(kVideoListRows));
    EXPECT_EQ(library.rows([](int) { return std::string("x"); })[0].name, "");
}

}  // namespace
}  // namespace media

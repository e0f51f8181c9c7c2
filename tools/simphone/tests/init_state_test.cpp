// The sample phone: deterministic, and made of files the client can read as
// the real handset's (sizes, record layouts, real JPEG and MIDI, clips).
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "phone_fixture.h"
#include "records.h"
#include "text.h"

namespace simphone::testing {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Read(const fs::path& p)
{
    return ReadFileBytes(p).value_or(std::vector<uint8_t>{});
}

struct JpegInfo {
    int width = 0, height = 0;
};

struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};
void OnJpegError(j_common_ptr c)
{
    std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
}

// Decodes the whole picture; nullopt when libjpeg refuses it.
std::optional<JpegInfo> DecodeJpeg(const std::vector<uint8_t>& data)
{
    jpeg_decompress_struct d;
    JpegError err;
    d.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        return std::nullopt;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data.data(), data.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    std::vector<uint8_t> row(static_cast<size_t>(d.output_width) * d.output_components);
    while (d.output_scanline < d.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&d, &r, 1);
    }
    JpegInfo info{static_cast<int>(d.output_width), static_cast<int>(d.output_height)};
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return info;
}

class InitStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = ScratchDir("init");
        std::string error;
        ASSERT_TRUE(InitState(dir_ / "a", 5, error)) << error;
        pfs_ = std::make_unique<PhoneFs>(dir_ / "a");
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::vector<uint8_t> app(const std::string& rel) { return Read(pfs_->app(rel)); }

    fs::path dir_;
    std::unique_ptr<PhoneFs> pfs_;
};

TEST_F(InitStateTest, SameSeedSameFilesOtherSeedOtherFiles)
{
    std::string error;
    ASSERT_TRUE(InitState(dir_ / "b", 5, error));
    ASSERT_TRUE(InitState(dir_ / "c", 6, error));
    size_t files = 0, differ = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / "a")) {
        if (!e.is_regular_file())
            continue;
        const auto rel = fs::relative(e.path(), dir_ / "a");
        ++files;
        EXPECT_EQ(Read(e.path()), Read(dir_ / "b" / rel)) << rel;
        if (Read(e.path()) != Read(dir_ / "c" / rel))
            ++differ;
    }
    EXPECT_GT(files, 40u);
    EXPECT_GT(differ, 10u);
}

TEST_F(InitStateTest, SimHoldsAboutThirtyEntriesSomeChinese)
{
    SimStore sim(dir_ / "a");
    EXPECT_EQ(sim.contacts().size(), 30u);
    const auto chinese = std::count_if(sim.contacts().begin(), sim.contacts().end(),
                                       [](const auto& kv) { return !FitsGsm7(kv.second.name); });
    EXPECT_GE(chinese, 5);
    for (const auto& [i, c] : sim.contacts())
        EXPECT_EQ(CheckSimContact(c), 0) << i;
    size_t concatenated = 0;
    for (const auto& [i, m] : sim.messages()) {
        auto msg = DecodePdu(m.pdu);
        ASSERT_TRUE(msg) << i;
        if (msg->concat.total)
            ++concatenated;
    }
    EXPECT_EQ(concatenated, 2u);
}

TEST_F(InitStateTest, HandsetPhonebookUsesEveryNumberKind)
{
    const auto tab = app("dir/smpbtab");
    ASSERT_EQ(tab.size(), 12000u);
    int used = 0, maxSlot = 0;
    for (size_t i = 0; i < 500; ++i) {
        const int slot = GetBe16(&tab[i * 24]);
        if (slot == 0xFFFF)
            break;
        ++used;
        maxSlot = std::max(maxSlot, slot);
    }
    EXPECT_EQ(used, 60);
    std::set<int> kinds, groups;
    int withDetails = 0, defaults = 0;
    for (int f = 0; f < (maxSlot + 19) / 20; ++f) {
        const auto data = app("dir/smpb" + std::to_string(f));
        ASSERT_EQ(data.size(), 7400u);
        for (int k = 0; k < 20; ++k) {
            const auto r = FromBytes<PhonebookRecord>(std::span(data).subspan(k * 370));
            if (!r.name[0])
                continue;
            for (const auto& n : r.numbers)
                if (n.bcd[0]) {
                    kinds.insert(n.kind);
                    EXPECT_FALSE(UnpackDialString(n.bcd).empty());
                }
            groups.insert(r.group);
            if (r.detail6[0] || r.detail7[0] || r.detail8[0])
                ++withDetails;
            if (r.defaultField)
                ++defaults;
            EXPECT_EQ(r.detail10[0] != 0, r.detail11[0] != 0);
        }
    }
    for (int kind = 1; kind <= 5; ++kind)
        EXPECT_TRUE(kinds.count(kind)) << kind;
    EXPECT_EQ(groups.size(), 6u);
    EXPECT_GT(withDetails, 20);
    EXPECT_EQ(defaults, 60);
}

TEST_F(InitStateTest, HandsetMessagesIncludeAConcatenationWithAMissingPart)
{
    for (int f = 0; f < 5; ++f)
        EXPECT_EQ(app("sms/smstab" + std::to_string(f)).size(), 3600u);
    const auto concat = app("sms/smsconcattab");
    ASSERT_EQ(concat.size(), 2316u);
    const auto tab = app("sms/smstab0");
    int singles = 0, joined = 0, withGap = 0;
    for (size_t i = 0; i < 300; ++i) {
        const auto e = FromBytes<SmsTabEntry>(std::span(tab).subspan(i * 12));
        if (!(GetBe16(e.item) & 0x8000))
            continue;
        if (!e.concatenated) {
            ++singles;
            continue;
        }
        ++joined;
        const auto c = FromBytes<SmsConcatEntry>(std::span(concat).subspan(4 + e.concatIndex * 76u));
        ASSERT_EQ(c.parts, 3);
        for (int p = 0; p < c.parts; ++p) {
            const uint16_t w = GetBe16(c.partItems[p]);
            if (w == 0) {
                ++withGap;
                continue;
            }
            const unsigned item = w & 0x7FFF;
            const auto items = app("sms/items" + std::to_string(item / 20));
            ASSERT_EQ(items.size(), 4640u);
            EXPECT_NE(FromBytes<SmsItem>(std::span(items).subspan((item % 20) * 232)).text[0], 0);
        }
    }
    EXPECT_GE(singles, 10);
    EXPECT_EQ(joined, 2);
    EXPECT_EQ(withGap, 1);
}

TEST_F(InitStateTest, SlotsHoldRealJpegAndMidi)
{
    struct Table {
        const char* dir;
        const char* ext;
    } tables[] = {{"jpeg", "jpg"}, {"midi", "mid"}};
    for (const auto& t : tables) {
        const auto idx = app(std::string(t.dir) + "/" + EncodeFileName("index"));
        ASSERT_EQ(idx.size(), 360u);
        int filled = 0, empty = 0;
        for (int k = 0; k < 10; ++k) {
            const auto r = FromBytes<SlotRecord>(std::span(idx).subspan(k * 36));
            char name[16];
            std::snprintf(name, sizeof name, "user%03d.%s", k, t.ext);
            EXPECT_EQ(GetText(r.fileName), name);
            const auto file = app(std::string(t.dir) + "/" + EncodeFileName(name));
            if (!r.used) {
                ++empty;
                EXPECT_TRUE(file.empty());
                continue;
            }
            ++filled;
            EXPECT_EQ(GetBe32(r.size), file.size());
            if (t.ext == std::string("jpg")) {
                auto info = DecodeJpeg(file);
                ASSERT_TRUE(info) << name;
                EXPECT_EQ(info->width, 128);
                EXPECT_EQ(info->height, 160);
                EXPECT_LT(file.size(), 8192u);
            } else {
                ASSERT_GT(file.size(), 22u);
                EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "MThd");
                EXPECT_EQ(std::string(file.begin() + 14, file.begin() + 18), "MTrk");
                EXPECT_EQ(GetBe32(&file[18]), file.size() - 22);
                EXPECT_EQ(std::vector<uint8_t>(file.end() - 3, file.end()), (std::vector<uint8_t>{0xFF, 0x2F, 0x00}));
            }
        }
        EXPECT_GT(filled, 0);
        EXPECT_GT(empty, 0);
    }
}

TEST_F(InitStateTest, CameraWapAndMmsIndexesPointAtRealFiles)
{
    // Files over 20480 bytes lie in parts: name, name_1, name_2, ...
    size_t mostParts = 0;
    auto joined = [&](const std::string& dir, const std::string& name, size_t size) {
        std::vector<uint8_t> whole;
        const size_t parts = std::max<size_t>(1, (size + 20479) / 20480);
        mostParts = std::max(mostParts, parts);
        for (size_t p = 0; p < parts; ++p) {
            const auto part = app(dir + (p == 0 ? name : name + "_" + std::to_string(p)));
            EXPECT_EQ(part.size(), std::min<size_t>(20480, size - 20480 * p)) << name << " part " << p;
            whole.insert(whole.end(), part.begin(), part.end());
        }
        return whole;
    };
    const auto cam = app("camera/cam.idx");
    ASSERT_EQ(cam.size(), 60u * 48);
    int photos = 0;
    for (int i = 0; i < 60; ++i) {
        const auto r = FromBytes<CameraRecord>(std::span(cam).subspan(i * 48));
        if (!r.fileName[0])
            continue;
        ++photos;
        EXPECT_TRUE(DecodeJpeg(joined("camera/", GetText(r.fileName), GetBe32(r.size)))) << GetText(r.fileName);
    }
    EXPECT_GE(photos, 5);
    EXPECT_GE(mostParts, 2u);
    mostParts = 0;
    const auto wapImg = app("wp/imgIndex.txt");
    ASSERT_EQ(wapImg.size(), 3272u);
    ASSERT_EQ(app("wp/audIndex.txt").size(), 1092u);
    const int shown = wapImg[3270] - wapImg[3271];
    EXPECT_GT(shown, 0);
    for (int i = 0; i < shown; ++i) {
        const auto r = FromBytes<ItemRecord>(std::span(wapImg).subspan(i * 108));
        EXPECT_TRUE(DecodeJpeg(joined("wp/", GetText(r.fileName), GetBe32(r.size))));
    }
    const auto mmsImg = app("mms/imgIndex.txt");
    ASSERT_GT(mmsImg.size(), 0u);
    EXPECT_EQ(mmsImg.size() % 108, 0u);
    for (size_t i = 0; i < mmsImg.size() / 108; ++i) {
        const auto r = FromBytes<ItemRecord>(std::span(mmsImg).subspan(i * 108));
        EXPECT_TRUE(DecodeJpeg(joined("mms/", GetText(r.fileName), GetBe32(r.size))));
    }
    EXPECT_GE(mostParts, 2u);
}

TEST_F(InitStateTest, ClipsJoinIntoMotionJpegWithTimeStamps)
{
    const auto index = app("camera/VideoIndex");
    ASSERT_EQ(index.size(), 280u);
    int clips = 0;
    size_t mostParts = 0;
    for (int i = 0; i < 10; ++i) {
        const auto r = FromBytes<VideoRecord>(std::span(index).subspan(i * 28));
        const uint32_t size = GetBe32(r.size);
        if (!size)
            continue;
        ++clips;
        const int c = GetBe16(r.number);
        const size_t parts = size / 20480 + (size % 20480 ? 1 : 0);
        mostParts = std::max(mostParts, parts);
        std::vector<uint8_t> mjp;
        for (size_t p = 0; p < parts; ++p) {
            char name[32];
            if (p == 0)
                std::snprintf(name, sizeof name, "Video%02d", c - 1);
            else
                std::snprintf(name, sizeof name, "Video%02d_%zu", c - 1, p);
            const auto part = app(std::string("camera/") + name);
            EXPECT_EQ(part.size(), p + 1 < parts ? 20480u : size - 20480 * p) << name;
            mjp.insert(mjp.end(), part.begin(), part.end());
        }
        ASSERT_GE(mjp.size(), 2u);
        EXPECT_EQ(mjp[0], 0xFF);
        EXPECT_EQ(mjp[1], 0xD8);
        // Every frame: FF E8 00 04 time, then FF DA ... FF D9; the header holds SOF0.
        size_t firstSos = 0, frames = 0, stamps = 0;
        std::vector<int> times;
        for (size_t k = 0; k + 1 < mjp.size(); ++k) {
            if (mjp[k] != 0xFF)
                continue;
            if (mjp[k + 1] == 0xDA) {
                if (!firstSos)
                    firstSos = k;
                ++frames;
            }
            if (mjp[k + 1] == 0xE8 && k + 5 < mjp.size() && mjp[k + 2] == 0 && mjp[k + 3] == 4) {
                ++stamps;
                times.push_back(GetBe16(&mjp[k + 4]));
            }
        }
        EXPECT_EQ(frames, stamps);
        ASSERT_GE(times.size(), 2u);
        EXPECT_GT(times[1] - times[0], 0);
        const std::vector<uint8_t> header(mjp.begin(), mjp.begin() + static_cast<std::ptrdiff_t>(firstSos - 6));
        bool sof = false;
        for (size_t k = 0; k + 1 < header.size(); ++k)
            sof |= header[k] == 0xFF && header[k + 1] == 0xC0;
        EXPECT_TRUE(sof);
        // A frame rebuilt the way the client does it decodes.
        size_t sos = firstSos, eoi = sos;
        while (eoi + 1 < mjp.size() && !(mjp[eoi] == 0xFF && mjp[eoi + 1] == 0xD9))
            ++eoi;
        std::vector<uint8_t> frame = header;
        frame.insert(frame.end(), mjp.begin() + static_cast<std::ptrdiff_t>(sos),
                     mjp.begin() + static_cast<std::ptrdiff_t>(eoi + 2));
        auto info = DecodeJpeg(frame);
        ASSERT_TRUE(info);
        const bool qcif = c == 3;  // "Street" is recorded at 176 x 144
        EXPECT_EQ(info->width, qcif ? 176 : 128);
        EXPECT_EQ(info->height, qcif ? 144 : 96);
    }
    EXPECT_EQ(clips, 4);
    EXPECT_GE(mostParts, 3u);
}

}  // namespace
}  // namespace simphone::testing

// The media core without a window: index files, listings, local slot
// changes, the slot and save flows run on a runner that plays the phone's
// part over a directory.
#include "mobile/media/core/media_parts.h"

#include "quorlink/media/byte_order.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

namespace media {
namespace {

namespace fs = std::filesystem;
using quorlink::media::PutBe32;

struct TempDir {
    fs::path path;
    TempDir()
    {
        char pattern[] = "/tmp/media_core_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    [[nodiscard]] std::string dir() const { return path.string() + "/"; }
};

void WriteBytes(const fs::path& p, std::span<const uint8_t> bytes)
{
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

SlotRecord Slot(uint32_t size, const char* name, bool isPrivate = false)
{
    SlotRecord r{};
    PutBe32(r.size, size);
    std::strncpy(r.displayName, name, 15);
    r.used = size != 0;
    r.isPrivate = isPrivate;
    return r;
}

// The phone's side of a batch: uploads and downloads copy files between
// the program directory and a phone directory; commands are recorded and
// answered OK unless one of them is told to fail.
class PhoneDirRunner final : public shell::BatchRunner {
public:
    explicit PhoneDirRunner(fs::path phone) : phone_(std::move(phone)) { }
    std::vector<std::string> log;
    std::string failOn;  // a command or phone path that fails

    int runBatch(shell::BatchPlan plan) override
    {
        int result = shell::kBatchOk;
        for (auto& step : plan.steps) {
            if (result != shell::kBatchOk)
                continue;  // the step frees its request and block
            if (step.kind == REQ_UPLOAD || step.kind == REQ_DOWNLOAD) {
                std::unique_ptr<char, shell::FreeDeleter> block(
                    static_cast<char*>(plat::TakeBlock(step.request->argument)));
                const std::string first = block.get(), second = block.get() + 256;
                const bool up = step.kind == REQ_UPLOAD;
                const std::string phonePath = up ? second : first;
                log.push_back((up ? "put " : "get ") + phonePath);
                std::error_code ec;
                const fs::path onPhone = phone_ / phonePath.substr(1);
                fs::create_directories(onPhone.parent_path(), ec);
                if (phonePath == failOn ||
                    !fs::copy_file(up ? fs::path(first) : onPhone, up ? onPhone : fs::path(second),
                                   fs::copy_options::overwrite_existing, ec))
                    result = shell::kBatchCancel;
            } else {
                const std::string text = step.request->text;
                log.push_back(std::to_string(step.kind) + " " + text.substr(0, text.size() - 1));
                if (!failOn.empty() && text.find(failOn) != std::string::npos)
                    result = shell::kBatchCancel;
            }
        }
        return result;
    }

private:
    fs::path phone_;
};

TEST(MediaIndex, ShortSlotTableIsPaddedAndWrittenBack)
{
    TempDir t;
    const fs::path idx = t.path / "jpeg.idx";
    std::vector<uint8_t> seven(7 * sizeof(SlotRecord));
    const SlotRecord first = Slot(4000, "Sunset");
    std::memcpy(seven.data(), &first, sizeof first);
    WriteBytes(idx, seven);

    const auto table = ReadSlotTable(idx, SlotTableKind::Pictures);
    ASSERT_TRUE(table);
    EXPECT_EQ(fs::file_size(idx), kSlotTableSize);
    EXPECT_STREQ((*table)[7].fileName, "User007.jpg");
    EXPECT_STREQ((*table)[9].fileName, "User009.jpg");
    EXPECT_EQ((*table)[8].used, 0);
    EXPECT_STREQ((*table)[0].displayName, "Sunset");
    EXPECT_EQ(ParseSlotTable({}, SlotTableKind::Ringtones)[7].fileName, std::string("User007.mid"));
    EXPECT_FALSE(ReadSlotTable(t.path / "missing.idx", SlotTableKind::Pictures));
}

TEST(MediaIndex, PathsAndTexts)
{
    EXPECT_EQ(PhoneIndexPath(MediaList::Camera), "/app/camera/cam.idx");
    EXPECT_EQ(PhoneIndexPath(MediaList::UserPictures), "/app/jpeg/" + PhoneFileName("index"));
    EXPECT_EQ(SlotPhonePath(SlotFileKind::Picture, 1), "/app/jpeg/" + PhoneFileName("user000.jpg"));
    EXPECT_EQ(SlotPhonePath(SlotFileKind::Midi, 10), "/app/midi/" + PhoneFileName("user009.mid"));
    EXPECT_EQ(SlotPhonePath(SlotFileKind::Amr, 2), "/app/mms/" + PhoneFileName("user001.amr"));
    EXPECT_EQ(CameraDateText(0x7D4A5A4F), "04/10/11  09:15");
    // Mixed phone text both ways: GSM '@' and a GBK character, cut whole.
    EXPECT_EQ(Utf8ToPhoneText("a@\xE4\xB8\xAD", 3), "a\x80");
    EXPECT_EQ(PhoneTextToUtf8(std::string_view("a\x80\xD6\xD0")), "a@\xE4\xB8\xAD");
    EXPECT_EQ(ShortName("/home/u/\xE4\xB8\xAD\xE6\x96\x87\xE5\x90\x8D.jpg", 5), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(ShortName("C:\\pics\\holiday-2004.final.jpg", 12), "holiday-2004");
    EXPECT_EQ(SlotNameFromUser("a,b\"c\r"), "a_b_c_");
}

TEST(MediaListing, RowsOfEachKindOfList)
{
    SlotTable slots = ParseSlotTable({}, SlotTableKind::Pictures);
    slots[0] = Slot(2048, "Two");
    slots[1] = Slot(2049, "Round");
    slots[2] = Slot(5000, "Secret", true);
    auto rows = SlotRows(MediaList::UserPictures, slots, true);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0].sizeText, "2K");
    EXPECT_EQ(rows[1].sizeText, "3K");
    EXPECT_EQ(rows[2].nameId, res::IDS_PRIVATE);
    EXPECT_EQ(rows[2].sizeText, "0");
    EXPECT_EQ(rows[3].nameId, res::IDS_EMPTY);
    EXPECT_EQ(rows[3].sizeText, "0K");
    EXPECT_FALSE(rows[3].used);
    EXPECT_EQ(SlotRows(MediaList::UserRingtones, slots, false)[1].sizeText, "2K");  // rounded down
    EXPECT_EQ(SlotRows(MediaList::UserPictures, slots, false)[2].name, "Secret");

    // A WAP list shows its trailer's count, never more records than the file holds.
    std::vector<uint8_t> wap(3272);
    ItemRecord item{};
    std::strcpy(item.fileName, "wimg001.jpg");
    std::strcpy(item.displayName, "Flowers");
    PutBe32(item.size, 41000);
    std::memcpy(wap.data(), &item, sizeof item);
    wap[3270] = 3;
    wap[3271] = 2;
    rows = ListRows(MediaList::WapPictures, wap, false);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "Flowers");
    EXPECT_EQ(rows[0].sizeText, "41K");
    wap[3271] = 0;
    EXPECT_EQ(ListRows(MediaList::WapPictures, wap, false).size(), 3u);
    wap.resize(1092);  // a trailer cut off: no rows
    EXPECT_TRUE(ListRows(MediaList::WapPictures, wap, false).empty());

    // MMS and camera lists skip unused records.
    std::vector<uint8_t> mms(3 * sizeof(ItemRecord));
    std::memcpy(mms.data() + 2 * sizeof item, &item, sizeof item);
    rows = ListRows(MediaList::MmsPictures, mms, false);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(rows[0].record, 2);
    std::vector<uint8_t> cam(2 * sizeof(CameraRecord));
    CameraRecord photo{};
    std::strcpy(photo.fileName, "Photo0001.jpg");
    photo.resolution = 3;
    const uint8_t date[] = {0x7D, 0x4A, 0x5A, 0x4F};
    std::memcpy(photo.taken, date, 4);
    std::memcpy(cam.data() + sizeof photo, &photo, sizeof photo);
    rows = ListRows(MediaList::Camera, cam, false);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].detail, "04/10/11  09:15  640x480");
}

TEST(MediaSlots, RingtoneCapacityIsCheckedBeforeAnythingIsWritten)
{
    TempDir t;
    const fs::path idx = t.path / "midi.idx";
    SlotTable table = ParseSlotTable({}, SlotTableKind::Ringtones);
    table[0] = Slot(40000, "One");
    table[1] = Slot(40000, "Two");
    WriteBytes(idx, std::span(reinterpret_cast<const uint8_t*>(table.data()), kSlotTableSize));
    EXPECT_EQ(SetSlotLocally(idx, SlotFileKind::Midi, 3, "Three", 30000), SetSlotResult::CapacityExceeded);
    EXPECT_EQ(ReadSlotTable(idx, SlotTableKind::Ringtones)->at(2).used, 0);
    ASSERT_EQ(SetSlotLocally(idx, SlotFileKind::Amr, 3, "Three", 20000), SetSlotResult::Ok);
    const SlotRecord r = ReadSlotTable(idx, SlotTableKind::Ringtones)->at(2);
    EXPECT_EQ(std::string(r.fileName + 8, 3), "amr");
    EXPECT_STREQ(r.displayName, "Three");
}

TEST(MediaSlots, PutAndEmptyAPictureSlot)
{
    TempDir t, phone;
    const fs::path idx = t.path / "jpeg.idx";
    SlotTable table = ParseSlotTable({}, SlotTableKind::Pictures);
    table[4] = Slot(3000, "Old");
    ASSERT_TRUE(WriteSlotTable(idx, table));
    WriteBytes(t.path / "jpeg.jpg", std::vector<uint8_t>(5000, 7));
    PhoneDirRunner runner(phone.path);
    SlotFlows flows(t.dir(), runner);

    FlowResult r = flows.putPicture(5, "New", t.path / "jpeg.jpg", false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.messageId, res::IDS_DONE);
    const std::vector<std::string> put = {"96 AT*SYFILE=18,4", "put " + SlotPhonePath(SlotFileKind::Picture, 5),
                                          "96 AT*SYFILE=17,4,New,5000"};
    EXPECT_EQ(runner.log, put);
    EXPECT_EQ(fs::file_size(phone.path / SlotPhonePath(SlotFileKind::Picture, 5).substr(1)), 5000u);
    auto rows = LoadListing(t.dir(), MediaList::UserPictures, false);
    ASSERT_TRUE(rows);
    EXPECT_EQ((*rows)[4].name, "New");
    EXPECT_EQ((*rows)[4].size, 5000u);

    // A failed batch leaves the slot emptied locally.
    runner.log.clear();
    runner.failOn = "AT*SYFILE=17";
    r = flows.putPicture(1, "X", t.path / "jpeg.jpg", false);
    EXPECT_EQ(r.messageId, res::IDS_FILE_NOT_ACCEPTED);
    EXPECT_EQ(runner.log.front(), "put " + SlotPhonePath(SlotFileKind::Picture, 1));  // slot 1 was empty: no clear

    runner.log.clear();
    runner.failOn.clear();
    r = flows.emptySlot(SlotTableKind::Pictures, 5, false);
    EXPECT_EQ(r.messageId, res::IDS_SLOT_EMPTIED);
    const std::vector<std::string> empty = {"202 AT*REMOVE=" + SlotPhonePath(SlotFileKind::Picture, 5),
                                            "96 AT*SYFILE=18,4"};
    EXPECT_EQ(runner.log, empty);
    EXPECT_FALSE(LoadListing(t.dir(), MediaList::UserPictures, false)->at(4).used);
}

TEST(MediaSlots, RefusalsSayWhy)
{
    TempDir t, phone;
    const fs::path idx = t.path / "jpeg.idx";
    SlotTable table = ParseSlotTable({}, SlotTableKind::Pictures);
    table[1] = Slot(3000, "Private", true);
    ASSERT_TRUE(WriteSlotTable(idx, table));
    WriteBytes(t.path / "jpeg.jpg", std::vector<uint8_t>(100, 1));
    PhoneDirRunner runner(phone.path);
    SlotFlows flows(t.dir(), runner);
    EXPECT_EQ(flows.putPicture(2, "x", t.path / "jpeg.jpg", true).messageId, res::IDS_SLOT_PRIVATE_NO_REPLACE);
    EXPECT_EQ(flows.emptySlot(SlotTableKind::Pictures, 2, true).messageId, res::IDS_SLOT_PRIVATE_NO_EMPTY);
    EXPECT_TRUE(flows.putPicture(2, "x", t.path / "jpeg.jpg", false).ok);  // lock off

    // A local table of another length is reported, not silently ignored.
    std::ofstream(idx, std::ios::binary | std::ios::app).write("1234567890", 10);
    EXPECT_EQ(flows.putPicture(3, "x", t.path / "jpeg.jpg", false).messageId, res::IDS_PICTURE_LIST_DAMAGED);
    EXPECT_EQ(flows.emptySlot(SlotTableKind::Pictures, 2, false).messageId, res::IDS_PICTURE_LIST_DAMAGED);
    EXPECT_TRUE(runner.log.size() == 3u);  // only the one put reached the phone
}

TEST(MediaParts, CountsAndNames)
{
    const std::map<uint32_t, int> counts = {{0, 1}, {1, 1}, {20480, 1}, {20481, 2}, {40960, 2}, {40961, 3}};
    for (const auto& [size, parts] : counts)
        EXPECT_EQ(PartCount(size), parts) << size;
    EXPECT_EQ(PhonePartName("Photo0006.jpg", 2), "Photo0006.jpg_2");
    EXPECT_EQ(LocalPartName("Photo0006.jpg", 2), "Photo0006.jpg2");
    EXPECT_EQ(SaveExtension("mimg.001.jpg"), "001.jpg");
    EXPECT_EQ(SaveDefaultName("a/b:c?\"d"), "a_b_c__d");
    EXPECT_EQ(SaveFilter("jpg"), "jpg File(*.jpg)|*.jpg||");
}

TEST(MediaParts, SaveJoinsEveryPartAndRefusesPrivateItems)
{
    TempDir t, phone;
    std::vector<uint8_t> whole(45000);
    for (size_t i = 0; i < whole.size(); ++i)
        whole[i] = static_cast<uint8_t>(i * 7);
    fs::create_directories(phone.path / "app/camera");
    for (int i = 0; i < 3; ++i) {
        const size_t off = size_t(i) * kPartSize;
        WriteBytes(phone.path / "app/camera" / PhonePartName("Photo0006.jpg", i),
                   std::span(whole).subspan(off, std::min<size_t>(kPartSize, whole.size() - off)));
    }
    MediaRow row;
    row.used = true;
    row.fileName = "Photo0006.jpg";
    row.size = 45000;
    PhoneDirRunner runner(phone.path);
    const fs::path out = t.path / "photo.jpg";
    FlowResult r = SaveItem(runner, t.dir(), MediaList::Camera, row, out);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(runner.log.size(), 3u);
    EXPECT_EQ(ReadFileBytes(out), whole);
    EXPECT_FALSE(fs::exists(t.path / "Photo0006.jpg1"));  // local parts cleaned up

    // A missing part fails without touching the file already there.
    fs::remove(phone.path / "app/camera/Photo0006.jpg_2");
    r = SaveItem(runner, t.dir(), MediaList::Camera, row, out);
    EXPECT_EQ(r.messageId, res::IDS_BACKUP_FAILED);
    EXPECT_EQ(ReadFileBytes(out), whole);

    row.isPrivate = true;
    EXPECT_EQ(SaveItem(runner, t.dir(), MediaList::MmsPictures, row, out).messageId,
              res::IDS_ITEM_PRIVATE_PHONES_PRIVACY);
}

}  // namespace
}  // namespace media

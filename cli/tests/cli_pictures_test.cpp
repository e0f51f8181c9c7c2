// The pictures commands end to end against the emulated handset: a picture
// goes into a slot (the phone's file and index change, a second listing
// shows it), the slot is emptied, and a camera photo the phone keeps in
// parts is saved byte-identical to the phone's file; the offline tools.
#include "cli/cli.h"
#include "mobile/media/core/media_index.h"
#include "mobile/media/core/media_parts.h"
#include "mobile/media/core/wallpaper.h"
#include "quorlink/media/byte_order.h"
#include "quorlink/media/dib.h"
#include "cli_run.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using linktest::SimPhone;

using clitest::Result;

Result Telvane(std::vector<std::string> args)
{
    return clitest::RunInProcess(std::move(args));
}

std::vector<uint8_t> Bytes(const fs::path& p)
{
    return media::ReadFileBytes(p).value_or(std::vector<uint8_t>{});
}

class CliPictures : public clitest::PhoneTest {
protected:
    CliPictures() : PhoneTest("clipictures") {}
    // A 300 x 200 picture as a BMP file.
    fs::path Picture()
    {
        std::vector<uint8_t> rgb(300 * 200 * 3);
        for (size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = uint8_t(i * 31 / 7);
        const fs::path jpg = phone->dir() / "pic.jpg", bmp = phone->dir() / "pic.bmp";
        EXPECT_EQ(quorlink::media::CDIB::SaveAsJpegFile(jpg.string(), rgb.data(), 300, 200, 90, 1), 1);
        const Result r = Telvane({"image", "convert", jpg.string(), bmp.string()});
        EXPECT_EQ(r.exit, 0) << r.err;
        return bmp;
    }
    fs::path OnPhone(const std::string& path) { return phone->state() / path.substr(1); }

};

TEST_F(CliPictures, PutListClearAndSaveAMultiPartPhoto)
{
    const fs::path slotFile = OnPhone(media::SlotPhonePath(media::SlotFileKind::Picture, 4));
    const fs::path index = OnPhone(media::PhoneIndexPath(media::MediaList::UserPictures));
    ASSERT_FALSE(fs::exists(slotFile));

    Result r = Telvane({"picture", "put", "4", Picture().string(), "--name", "Lake, 2004", "--mode", "fit"});
    ASSERT_EQ(r.exit, 0) << r.err;
    // The phone's file is the slot JPEG this program made, its index says so.
    const auto jpeg = Bytes(slotFile);
    ASSERT_FALSE(jpeg.empty());
    EXPECT_LT(jpeg.size(), media::kSlotJpegLimit);
    EXPECT_EQ(jpeg, Bytes(home / "jpeg.jpg"));
    const auto idx = Bytes(index);
    ASSERT_EQ(idx.size(), media::kSlotTableSize);
    const auto* rec = reinterpret_cast<const media::SlotRecord*>(idx.data()) + 3;
    EXPECT_EQ(rec->used, 1);
    EXPECT_STREQ(rec->displayName, "Lake\x11 2004");  // ',' became '_' (GSM 0x11)
    EXPECT_EQ(quorlink::media::GetBe32(rec->size), jpeg.size());

    r = Telvane({"pictures"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("4\tLake_ 2004\t" + std::to_string((jpeg.size() + 1023) / 1024) + "K\tused\n"),
              std::string::npos)
        << r.out;

    r = Telvane({"picture", "clear", "4"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_FALSE(fs::exists(slotFile));
    EXPECT_EQ(reinterpret_cast<const media::SlotRecord*>(Bytes(index).data())[3].used, 0);
    r = Telvane({"pictures"});
    EXPECT_NE(r.out.find("4\t(empty)\t0K\tempty\n"), std::string::npos) << r.out;

    // Photo 6 lies on the phone in two parts; the saved file is the whole photo.
    r = Telvane({"pictures", "--category", "camera"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("6\tPhoto 6\t"), std::string::npos) << r.out;
    const fs::path out = phone->dir() / "photo6.jpg";
    r = Telvane({"picture", "save", "camera", "6", out.string()});
    ASSERT_EQ(r.exit, 0) << r.err;
    auto whole = Bytes(OnPhone("/app/camera/Photo0006.jpg"));
    const auto second = Bytes(OnPhone("/app/camera/Photo0006.jpg_1"));
    ASSERT_EQ(whole.size(), media::kPartSize);
    ASSERT_FALSE(second.empty());
    whole.insert(whole.end(), second.begin(), second.end());
    EXPECT_EQ(Bytes(out), whole);
}

TEST_F(CliPictures, RefusalsAndOfflineTools)
{
    Result r = Telvane({"picture", "put", "11", "x.bmp"});
    EXPECT_EQ(r.exit, 2);
    r = Telvane({"picture", "put", "5", Picture().string()});  // slot 5 holds a private picture: lock off here
    EXPECT_EQ(r.exit, 0) << r.err;
    r = Telvane({"picture", "save", "mms", "3", (phone->dir() / "x.jpg").string()});  // private MMS picture
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("private"), std::string::npos) << r.err;

    const fs::path wall = phone->dir() / "wall.jpg";
    r = Telvane(
        {"image", "wallpaper", Picture().string(), wall.string(), "--mode", "free", "--zoom", "2", "--at", "100,50"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_LT(fs::file_size(wall), media::kSlotJpegLimit);
    r = Telvane({"image", "convert", (phone->dir() / "missing.gif").string(), wall.string()});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("could not be opened"), std::string::npos) << r.err;
    r = Telvane({"image", "wallpaper", "a", "b", "--mode", "tile"});
    EXPECT_EQ(r.exit, 2);
}

}  // namespace

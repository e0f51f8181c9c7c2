// The backup file, the category filter, the restore field's forms and
// unpacking, without a phone.

#include "mobile/backup/core/backup_category.h"
#include "mobile/backup/core/backup_file.h"
#include "mobile/backup/core/backup_flows.h"
#include "mobile/backup/core/service_forms.h"
#include "quorlink/codecs/phone_strings.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using namespace backup;

namespace {

class TempDir {
public:
    TempDir()
    {
        std::string t = (fs::temp_directory_path() / "backupXXXXXX").string();
        path_ = ::mkdtemp(t.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    [[nodiscard]] std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    [[nodiscard]] const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Backup bytes built field by field.
struct Bytes {
    std::string b;
    Bytes& magic()
    {
        b += kMagic;
        return *this;
    }
    Bytes& u32(uint32_t v)
    {
        uint8_t x[4];
        PutLe32(x, v);
        b.append(reinterpret_cast<const char*>(x), 4);
        return *this;
    }
    Bytes& str(std::string_view s)
    {
        u32(static_cast<uint32_t>(s.size()));
        b += s;
        return *this;
    }
};

void WriteFile(const std::string& path, std::string_view data)
{
    std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

BackupScan Scan(const TempDir& dir, const std::string& bytes)
{
    WriteFile(dir / "t.bak", bytes);
    const OpenScan s = ScanBackupFile(dir / "t.bak");
    EXPECT_TRUE(s.opened);
    return s.scan;
}

std::string Encoded(std::string name)
{
    name.resize(name.size() * 3 + 2);
    StringToPosix(name.data());
    return name.c_str();
}

}  // namespace

// ---- the file ----

TEST(BackupFile, WrittenFileScansWholeWithItsNamesAndBlocks)
{
    TempDir dir;
    BackupWriter w;
    ASSERT_TRUE(w.create(dir / "a.bak"));
    const std::vector<std::string> names = {"/app/dir/smpbtab", "/app/sms/empty"};
    ASSERT_EQ(w.writeMagic(), WriteError::None);
    ASSERT_EQ(w.writeNames(names), WriteError::None);
    const std::string body = "phonebook bytes";
    ASSERT_EQ(w.writeBlock(std::span(reinterpret_cast<const uint8_t*>(body.data()), body.size())), WriteError::None);
    ASSERT_EQ(w.writeBlock({}), WriteError::None);
    ASSERT_EQ(w.close(), WriteError::None);

    // Byte layout: magic, count, names, then blocks; all little-endian.
    const std::string expected =
        Bytes().magic().u32(2).str("/app/dir/smpbtab").str("/app/sms/empty").str(body).str("").b;
    EXPECT_EQ(ReadFile(dir / "a.bak"), expected);

    const BackupScan s = ScanBackupFile(dir / "a.bak").scan;
    ASSERT_TRUE(s.restorable());
    ASSERT_EQ(s.entries.size(), 2u);
    EXPECT_EQ(s.entries[0].name, names[0]);
    EXPECT_EQ(s.entries[0].size, body.size());
    EXPECT_EQ(s.entries[1].size, 0u);
    EXPECT_TRUE(s.entries[1].hasData);
    EXPECT_EQ(s.dataBytes(), body.size());
}

TEST(BackupFile, DamagedAndHostileFilesAreReportedNotTrusted)
{
    struct Case {
        const char* what;
        std::string bytes;
        Damage damage;
        uint32_t at;
    };
    const std::string huge = Bytes().u32(0xFFFFFFFFu).b;
    const Case cases[] = {
        {"wrong magic", "$Telvane-BackupAndRestorX$" + Bytes().u32(0).b, Damage::NotBackup, 0},
        {"shorter than the magic", "$Telvane", Damage::NotBackup, 0},
        {"magic only (a failed listing)", Bytes().magic().b, Damage::NoCount, 0},
        {"count of 4 GiB, no names", Bytes().magic().u32(0xFFFFFFFFu).b, Damage::NameCut, 0},
        {"name length of 4 GiB", Bytes().magic().u32(1).b + huge + "/app/x", Damage::NameCut, 0},
        {"broken off after the first block",
         Bytes().magic().u32(3).str("/app/a").str("/app/b").str("/app/c").str("data").b, Damage::DataMissing, 1},
        {"no block at all", Bytes().magic().u32(1).str("/app/a").b, Damage::DataMissing, 0},
        {"data length of 4 GiB", Bytes().magic().u32(1).str("/app/a").b + huge + "xy", Damage::DataCut, 0},
        {"block cut short", Bytes().magic().u32(1).str("/app/a").u32(10).b + "12345", Damage::DataCut, 0},
        {"bytes after the last block", Bytes().magic().u32(1).str("/app/a").str("x").b + "zz", Damage::TrailingBytes,
         1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BackupScan s = Scan(dir, c.bytes);
        EXPECT_EQ(s.damage, c.damage);
        EXPECT_EQ(s.damagedEntry, c.at);
        EXPECT_FALSE(s.restorable());
        EXPECT_LE(s.entries.size(), 3u);  // never more than the file holds
        const auto refusal = RestoreRefusal(s);
        ASSERT_TRUE(refusal.has_value());
        EXPECT_NE(refusal->id, 0);
    }
    // N = 0 is a whole, empty backup.
    const BackupScan empty = Scan(dir, Bytes().magic().u32(0).b);
    EXPECT_TRUE(empty.restorable());
    EXPECT_TRUE(empty.entries.empty());
}

TEST(BackupFile, NamesThatAreNoPhonePathAreRefused)
{
    struct Case {
        std::string name;
        NameProblem problem;
    };
    const Case cases[] = {
        {"/app/jpeg/-A3Fe", NameProblem::None},
        {"/app/sms/dt/draft0", NameProblem::None},
        {"", NameProblem::Empty},
        {"/etc/passwd", NameProblem::NotUnderApp},
        {"/application/x", NameProblem::NotUnderApp},
        {"app/x", NameProblem::NotUnderApp},
        {"/app/../etc/passwd", NameProblem::BadComponent},
        {"/app/dir/..", NameProblem::BadComponent},
        {"/app//x", NameProblem::BadComponent},
        {"/app/x/", NameProblem::BadComponent},
        {std::string("/app/a\0b", 8), NameProblem::BadByte},
        {"/app/a\rAT*REMOVE=/app/dir/smpbtab", NameProblem::BadByte},
        {"/app/" + std::string(251, 'n'), NameProblem::TooLong},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckPhonePath(c.name), c.problem) << c.name;

    // The same path twice: the second one is refused.
    TempDir dir;
    const BackupScan s = Scan(dir, Bytes().magic().u32(2).str("/app/a").str("/app/a").str("1").str("2").b);
    EXPECT_TRUE(s.whole());
    EXPECT_EQ(s.entries[1].problem, NameProblem::Duplicate);
    EXPECT_EQ(s.firstBadName(), 1u);
    const auto refusal = RestoreRefusal(s);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->id, res::IDS_BACKUP_BAD_NAME);
    EXPECT_EQ(refusal->moreIds, (std::vector<int>{res::IDS_BACKUP_NAME_DUPLICATE, res::IDS_BACKUP_PHONE_UNCHANGED}));
}

// ---- categories ----

TEST(BackupCategory, PhonebookRowLeavesOutItsWorkingFiles)
{
    constexpr size_t kPhonebook = 6;
    for (const char* name : {"bigpicture", "owninfo", "smpbchartab", "tmp.dat"})
        EXPECT_TRUE(BackupCategory::Excludes(kPhonebook, name)) << name;
    for (const char* name : {"smpbtab", "smpb0", "smpb12"})
        EXPECT_FALSE(BackupCategory::Excludes(kPhonebook, name)) << name;
    // Camera: photos and clips go to their own boxes.
    EXPECT_TRUE(BackupCategory::Excludes(9, "Video00_1"));
    EXPECT_FALSE(BackupCategory::Excludes(9, "cam.idx"));
    EXPECT_TRUE(BackupCategory::Excludes(10, "cam.idx"));
    EXPECT_FALSE(BackupCategory::Excludes(10, "VideoIndex"));
}

TEST(BackupCategory, EncodedNamesAreDecodedBeforeMatching)
{
    const CategoryRow leaveOut{"/app/jpeg", {"index"}, {}, true, BackupKind::Pictures};
    const CategoryRow keepOnly{"/app/jpeg", {}, {".jpg"}, true, BackupKind::Pictures};
    const std::string index = Encoded("index"), picture = Encoded("user000.jpg");
    ASSERT_EQ(index.find("index"), std::string::npos);  // the pattern is not visible before decoding
    EXPECT_TRUE(ExcludesName(leaveOut, {}, index));
    EXPECT_FALSE(ExcludesName(leaveOut, {}, picture));
    EXPECT_TRUE(ExcludesName(keepOnly, {}, index));
    EXPECT_FALSE(ExcludesName(keepOnly, {}, picture));
    // A name that does not decode is matched as it is.
    EXPECT_FALSE(ExcludesName(leaveOut, {}, "plain"));
}

TEST(BackupCategory, SharedDirectoriesSplitByKindAndLoseNothing)
{
    // Rows 2 (pictures) and 3 (sounds) both list /app/mms.
    struct Case {
        const char* name;
        bool picture, sound;
    };
    const Case cases[] = {
        {"mimg001.jpg", true, false}, {"imgIndex.txt", true, false}, {"maud001.mid", false, true},
        {"x.amr", false, true},       {"audIndex.txt", false, true}, {"note.txt", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(!BackupCategory::Excludes(2, c.name), c.picture) << c.name;
        EXPECT_EQ(!BackupCategory::Excludes(3, c.name), c.sound) << c.name;
    }
}

TEST(BackupCategory, BoxesEnableRowsAndListingWalksThemInOrder)
{
    BackupCategory cat;
    cat.setKinds(KindSet::Of({BackupKind::Phonebook, BackupKind::Messages}));
    EXPECT_EQ(cat.enabledCount(), 3u);
    cat.start();
    std::vector<size_t> walked;
    for (; cat.current() < kCategoryCount; cat.next())
        walked.push_back(cat.current());
    EXPECT_EQ(walked, (std::vector<size_t>{6, 7, 8}));
    cat.setKinds(kDefaultKinds);
    EXPECT_EQ(cat.enabledCount(), 10u);  // all but the video row

    KindSet k;
    EXPECT_TRUE(ParseKinds("pictures,video", k));
    EXPECT_EQ(k, KindSet::Of({BackupKind::Pictures, BackupKind::Video}));
    EXPECT_FALSE(ParseKinds("pictures,,video", k));
    EXPECT_FALSE(ParseKinds("photos", k));
    EXPECT_FALSE(ParseKinds("", k));
}

// ---- the restore field ----

TEST(RestoreField, FormsAreToldApart)
{
    using Form = RestoreField::Form;
    struct Case {
        const char* text;
        Form form;
        const char* file;
        const char* target;  // break
        const char* phone;  // save
        bool encode;
    };
    const Case cases[] = {
        {"/home/u/a.bak", Form::Restore, "/home/u/a.bak", "", "", false},
        {"/home/u/a(1).bak", Form::Restore, "/home/u/a(1).bak", "", "", false},
        {"/home/u/a.bak(break)", Form::Break, "/home/u/a.bak", "", "", false},
        {"/home/u/a.bak(break /tmp/out)", Form::Break, "/home/u/a.bak", "/tmp/out/", "", false},
        {"/home/u/a.bak(break /tmp/out/ )", Form::Break, "/home/u/a.bak", "/tmp/out/", "", false},
        {"/home/u/a (2).bak(break /tmp/d(1))", Form::Break, "/home/u/a (2).bak", "/tmp/d(1)/", "", false},
        {"/home/u/p.jpg(save /app/jpeg/p.jpg)", Form::Save, "/home/u/p.jpg", "", "/app/jpeg/p.jpg", false},
        {"/home/u/saves/p.jpg(save -p/app/jpeg/user000.jpg)", Form::Save, "/home/u/saves/p.jpg", "",
         "/app/jpeg/user000.jpg", true},
        {"/home/u/a.bak(copy)", Form::Restore, "/home/u/a.bak", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const RestoreField f = ParseRestoreField(c.text);
        EXPECT_EQ(f.form, c.form);
        EXPECT_EQ(f.file, c.file);
        EXPECT_EQ(f.target, c.target);
        EXPECT_EQ(f.phonePath, c.phone);
        EXPECT_EQ(f.encodeName, c.encode);
    }
    // A file whose own name ends in ")" is restored whole when it exists.
    const auto exists = [](const std::string& p) { return p == "/home/u/b(1)"; };
    EXPECT_EQ(ParseRestoreField("/home/u/b(1)", exists).file, "/home/u/b(1)");

    EXPECT_EQ(SavePhonePath("/app/jpeg/user000.jpg", true), "/app/jpeg/" + Encoded("user000.jpg"));
    EXPECT_EQ(SavePhonePath("/app/jpeg/p.jpg", false), "/app/jpeg/p.jpg");
    EXPECT_EQ(SavePhonePath("/app/jpeg/", false), "");
    EXPECT_EQ(SavePhonePath("p.jpg", false), "");
    EXPECT_EQ(SavePhonePath("/app/jpeg/" + std::string(50, 'x'), true), "");
}

// ---- unpacking ----

namespace {

struct Unpacked {
    UnpackOutcome outcome;
    std::vector<Notice> notices;
};

Unpacked Unpack(const std::string& bak, const std::string& target)
{
    Unpacked u;
    u.outcome = UnpackBackup(bak, target, [&u](const Notice& n) { u.notices.push_back(n); });
    return u;
}

}  // namespace

TEST(Unpack, EachFileUnderItsJoinedNameWithTheLog)
{
    TempDir dir;
    WriteFile(dir / "a.bak",
              Bytes()
                  .magic()
                  .u32(3)
                  .str("/app/sms/smstab0")
                  .str("/app/sms/dt/draft0")
                  .str("/app/sms/empty")
                  .str("table")
                  .str("draft")
                  .str("")
                  .b);
    const Unpacked u = Unpack(dir / "a.bak", dir / "out");  // created, "/" added
    EXPECT_TRUE(u.outcome.done);
    EXPECT_EQ(u.outcome.written, 3u);
    EXPECT_EQ(ReadFile(dir / "out/_app_sms_smstab0"), "table");
    EXPECT_EQ(ReadFile(dir / "out/_app_sms_dt_draft0"), "draft");
    EXPECT_TRUE(fs::exists(dir / "out/_app_sms_empty"));
    const std::string log = ReadFile(dir / "out/break_log.txt");
    EXPECT_EQ(log.substr(0, log.find("break file")), "/app/sms/smstab0\r\n/app/sms/dt/draft0\r\n/app/sms/empty\r\n");
    EXPECT_NE(log.find("break file: " + (dir / "out/") + "_app_sms_smstab0\r\n"), std::string::npos);
    ASSERT_EQ(u.notices.size(), 1u);
    EXPECT_EQ(u.notices[0].id, res::IDS_BACKUP_UNPACKED);
}

TEST(Unpack, HostileEntriesAreSkippedAndNothingLandsOutsideTheTarget)
{
    TempDir dir;
    fs::create_directories(dir.path() / "out");
    // A link planted where an unpacked name would go is not followed.
    fs::create_symlink(dir / "victim", dir / "out/_app_link");
    WriteFile(dir / "victim", "untouched");
    WriteFile(dir / "h.bak",
              Bytes()
                  .magic()
                  .u32(6)
                  .str("/app/../../escape")
                  .str("")
                  .str(std::string("/app/a\0b", 8))
                  .str("/app/ok")
                  .str("/app/ok")
                  .str("/app/link")
                  .str("1")
                  .str("2")
                  .str("3")
                  .str("good")
                  .str("again")
                  .str("evil")
                  .b);
    const Unpacked u = Unpack(dir / "h.bak", dir / "out");
    EXPECT_EQ(u.outcome.skipped, 4u);  // "..", empty, NUL, the repeated path
    EXPECT_EQ(u.outcome.written, 1u);
    EXPECT_FALSE(u.outcome.done);  // stopped at the link
    EXPECT_EQ(ReadFile(dir / "out/_app_ok"), "good");
    EXPECT_EQ(ReadFile(dir / "victim"), "untouched");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(e.path().filename() == "out" || e.path().filename() == "victim" || e.path().extension() == ".bak")
            << e.path();
    ASSERT_FALSE(u.notices.empty());
    EXPECT_EQ(u.notices.back().id, res::IDS_BACKUP_UNPACK_WRITE_FAILED);
}

TEST(Unpack, DamagedAndForeignFilesAreReported)
{
    TempDir dir;
    // Broken off after the first of two blocks: the first is unpacked.
    WriteFile(dir / "cut.bak", Bytes().magic().u32(2).str("/app/a").str("/app/b").str("first").b);
    Unpacked u = Unpack(dir / "cut.bak", dir / "out");
    EXPECT_FALSE(u.outcome.done);
    EXPECT_EQ(ReadFile(dir / "out/_app_a"), "first");
    ASSERT_EQ(u.notices.size(), 1u);
    EXPECT_EQ(u.notices[0].id, res::IDS_BACKUP_DATA_MISSING);
    EXPECT_EQ(u.notices[0].moreIds, std::vector<int>{res::IDS_BACKUP_UNPACK_PARTIAL});

    WriteFile(dir / "x.bak", "not a backup at all, just text");
    u = Unpack(dir / "x.bak", dir / "out");
    ASSERT_EQ(u.notices.size(), 1u);
    EXPECT_EQ(u.notices[0].id, res::IDS_BACKUP_FILE_CRACKED);
    EXPECT_EQ(NoticeText(
                  u.notices[0],
                  [](int id) { return id == res::IDS_BACKUP_FILE_CRACKED ? "File cracked!" : "File header is :(%s)"; }),
              "File cracked!\nFile header is :(not a backup at all, just )");

    WriteFile(dir / "file", "");
    u = Unpack(dir / "cut.bak", dir / "file/sub");
    ASSERT_EQ(u.notices.size(), 1u);
    EXPECT_EQ(u.notices[0].id, res::IDS_BACKUP_CANT_CREATE_UNDER_DIR);
}

// End to end on the emulated phone: back up every category of the sample
// phone, wipe the phone's files, restore, and the phone's file tree is
// byte-identical; the same backup unpacks into one file per phone file.

#include "support/backup_rig.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace backup;

TEST(BackupOnTheEmulatedPhone, RoundTripRestoresEveryFileAndUnpacksThem)
{
    backuptest::PhoneRig rig("backupe2e");
    ASSERT_TRUE(rig.ok());
    std::ofstream(rig.phone().PhoneFile("/app/mms/empty.txt"));  // an empty file comes back empty
    // What a backup of every box takes: all but the phonebook's working files.
    auto kept = rig.Files();
    std::erase_if(kept, [](const auto& f) {
        return f.first.starts_with("/app/dir/") && BackupCategory::Excludes(6, f.first.substr(9));
    });
    ASSERT_TRUE(kept.count("/app/sms/dt/draft0"));

    const KindSet all = KindSet::Of(
        {BackupKind::Pictures, BackupKind::Sounds, BackupKind::Phonebook, BackupKind::Messages, BackupKind::Video});
    BackupCategory categories;
    const FlowOutcome b = RunBackup(rig, categories, {rig.home() + "phone", all, rig.home()});
    ASSERT_EQ(b.result, FlowResult::Done);
    EXPECT_EQ(b.files, kept.size());
    EXPECT_EQ(b.emptyFiles, 1);
    EXPECT_TRUE(b.missingDirectories.empty());

    rig.WipeFiles();
    ASSERT_TRUE(rig.Files().empty());
    const FlowOutcome r = RunRestore(rig, {b.backupPath, rig.home()});
    ASSERT_EQ(r.result, FlowResult::Done);
    rig.Settle();
    const auto restored = rig.Files();
    EXPECT_EQ(restored.size(), kept.size());
    for (const auto& [path, data] : kept) {
        const auto it = restored.find(path);
        ASSERT_NE(it, restored.end()) << path << " was not restored";
        EXPECT_TRUE(it->second == data) << path << ": " << it->second.size() << " bytes, expected " << data.size();
    }

    const std::string out = rig.home() + "unpacked/";
    ASSERT_EQ(RunUnpack(rig, b.backupPath, out).result, FlowResult::Done);
    for (const auto& [path, data] : kept)
        EXPECT_TRUE(linktest::SimPhone::ReadAll(out + UnpackedName(path)) == data) << path;
}

// Tags, package headers, pack tables and the compatibility checks.
#include "brindel/dwl10fla.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

using brindel_test::Bytes;
using brindel_test::MakePackage;
using brindel_test::MakeSoftware;
using brindel_test::MakeTag;
using brindel_test::PackEntry;

constexpr uint8_t kMan = 0x89, kDev = 0x18;  // 128 sectors of 128 KiB, 16 MiB
constexpr uint32_t kSector = 0x20000;

struct Freer {
    void operator()(uint8_t* p) const { std::free(p); }
};

class CompatTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dwl50_0ResetContext();
        ASSERT_EQ(dwl10_101InitFlashDescriptionFromFile(BRINDEL_FLASH_TXT), DWL_OK);
        sg_DownloadContext.manufacturerId = kMan;
        sg_DownloadContext.deviceId = kDev;
    }
    void TearDown() override { dwl50_0ResetContext(); }

    // The coherence check of a software tag (from a loaded image) and a package.
    int Coherence(const Bytes& tag, const Bytes& image, Bytes package)
    {
        T_DownloadContext& c = sg_DownloadContext;
        std::free(c.softwareImage);
        c.softwareImage = nullptr;
        c.softwareSize = 0;
        if (!image.empty()) {
            c.softwareImage = static_cast<uint8_t*>(std::malloc(image.size() + 1));
            std::memcpy(c.softwareImage, image.data(), image.size());
            c.softwareSize = static_cast<uint32_t>(image.size());
        }
        // The package as the loader keeps it: an odd size rounded up with a zero byte.
        if (package.size() % 2 != 0)
            package.push_back(0);
        return dwl16_2VerifyCoherence(tag.data(), static_cast<uint32_t>(tag.size()), &c, package.data(),
                                      static_cast<uint32_t>(package.size()));
    }
};

TEST_F(CompatTest, TagVersionsAndStructureIds)
{
    struct Case {
        Bytes tag;
        int rc;
        int version;
    };
    Bytes v1 = MakeTag(1, 0x0A0B, 0, 0x1000, 0x40000);
    const Bytes v2 = MakeTag(2, 1, 2, 3, 4);
    const Case cases[] = {
        {{0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DWL_COMP_BAD_MANUFACTURER, 0},  // 0x0201
        {{0x02, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DWL_COMP_BAD_MANUFACTURER, 0},
        // Each version needs the bytes of its own layout: 12 for version 1, 16 for 2 and 3.
        {Bytes(v1.begin(), v1.begin() + 11), DWL_COMP_BAD_MANUFACTURER, 0},
        {Bytes(v1.begin(), v1.begin() + 12), DWL_OK, 1},
        {Bytes(v2.begin(), v2.begin() + 15), DWL_COMP_BAD_MANUFACTURER, 0},
        {v1, DWL_OK, 1},
        {MakeTag(2, 1, 2, 3, 4), DWL_OK, 2},
        {MakeTag(3, 1, 2, 3, 4), DWL_OK, 3},
    };
    for (const Case& c : cases) {
        T_TagInfo info;
        EXPECT_EQ(dwl16_10ParseTag(c.tag.data(), static_cast<uint32_t>(c.tag.size()), &info), c.rc);
        EXPECT_EQ(info.version, c.version);
    }
    T_TagInfo info;
    ASSERT_EQ(dwl16_10ParseTag(v1.data(), 16, &info), DWL_OK);
    EXPECT_EQ(info.structId, 258);
    EXPECT_EQ(info.familyId, 0x0A0B);
    EXPECT_EQ(info.packSize, 0x1000u);
    EXPECT_EQ(info.packAddress, 0x40000u);
    // The complete check refuses a tag beginning 01 02 with 12.
    const Bytes foreign = {0x01, 0x02, 0x12, 0x34, 0, 0, 0, 1, 0, 0, 0, 1, 0, 4, 0, 0};
    EXPECT_EQ(dwl16_0CheckCompleteSoftwareCompatibility(foreign.data(), 16, kMan, kDev, nullptr, 0, nullptr),
              DWL_COMP_BAD_MANUFACTURER);
}

TEST_F(CompatTest, MarkerMustEndInsideTheFirst64KiB)
{
    const Bytes tag = MakeTag(2, 7, 8, 9, 10);
    struct Case {
        size_t at;
        bool found;
    };
    const Case cases[] = {{0, true}, {65536 - 28, true}, {65536 - 27, false}, {70000, false}};
    for (const Case& c : cases) {
        const Bytes image = MakeSoftware(80000, tag, c.at);
        uint32_t length = 0;
        std::unique_ptr<uint8_t, Freer> found(
            dwl12_3GetTagInfoInFileCla(image.data(), static_cast<uint32_t>(image.size()), &length));
        EXPECT_EQ(found != nullptr, c.found) << c.at;
        if (found) {
            EXPECT_EQ(Bytes(found.get(), found.get() + length), tag);
        }
    }
    // A length that runs past the image, or 0, is no tag.
    Bytes image = MakeSoftware(1000, tag, 100);
    brindel_test::PutBe32(image, 128, 2000);
    EXPECT_EQ(dwl12_3GetTagInfoInFileCla(image.data(), 1000, nullptr), nullptr);
    brindel_test::PutBe32(image, 128, 0);
    EXPECT_EQ(dwl12_3GetTagInfoInFileCla(image.data(), 1000, nullptr), nullptr);
}

TEST_F(CompatTest, SoftwareDescriptionFillsThePackTables)
{
    // Version 2: one pack, mask -1 until a package sets it.
    Bytes tag = MakeTag(2, 0x1234, 0x0102, 0x40000, 4 * kSector);
    ASSERT_EQ(dwl16_0CheckCompleteSoftwareCompatibility(tag.data(), 16, kMan, kDev, nullptr, 0, nullptr), DWL_OK);
    EXPECT_EQ(vg_ClaNbPack, 1u);
    EXPECT_EQ(pg_ClaPackSize[0], 0x40000u);
    EXPECT_EQ(pg_ClaPackAddr[0], 4 * kSector);
    EXPECT_EQ(pg_ClaPackMandatory[0], -1);
    EXPECT_EQ(vg_ClaEdition, 0x0102);

    struct Case {
        uint32_t packAddress;
        int rc;
    };
    for (const Case& c :
         {Case{0, DWL_COMP_PACK_ADDRESS}, Case{kSector + 2, DWL_COMP_PACK_ADDRESS}, Case{kSector, DWL_OK}}) {
        tag = MakeTag(1, 1, 0, 0x100, c.packAddress);
        EXPECT_EQ(dwl16_0CheckCompleteSoftwareCompatibility(tag.data(), 16, kMan, kDev, nullptr, 0, nullptr), c.rc)
            << c.packAddress;
    }

    // Version 3: the table comes from the image; its address must lie in it.
    tag = MakeTag(3, 0x1234, 0x0102, 2, 0x800);
    Bytes image = MakeSoftware(0x1000, tag);
    brindel_test::PutPackTable(image, 0x800, {{0x100, 2 * kSector, 0x3}, {0x8000, 6 * kSector, 0x1}});
    ASSERT_EQ(dwl16_0CheckCompleteSoftwareCompatibility(tag.data(), 16, kMan, kDev, image.data(), 0x1000, nullptr),
              DWL_OK);
    EXPECT_EQ(vg_ClaNbPack, 2u);
    EXPECT_EQ(pg_ClaPackAddr[1], 6 * kSector);
    EXPECT_EQ(pg_ClaPackSize[1], 0x8000u);
    EXPECT_EQ(pg_ClaPackMandatory[0], 3);
    const Bytes beyond = MakeTag(3, 0x1234, 0x0102, 2, 0x1000);
    EXPECT_EQ(dwl16_0CheckCompleteSoftwareCompatibility(beyond.data(), 16, kMan, kDev, image.data(), 0x1000, nullptr),
              DWL_COMP_PACKAGE_ADDRESS);
    // A table that starts inside the image but runs out of it.
    const Bytes runsOut = MakeTag(3, 0x1234, 0x0102, 2, 0xFF0);
    EXPECT_EQ(dwl16_0CheckCompleteSoftwareCompatibility(runsOut.data(), 16, kMan, kDev, image.data(), 0x1000, nullptr),
              DWL_COMP_PACKAGE_ADDRESS);
}

TEST_F(CompatTest, PackageCoherence)
{
    const uint16_t f = 0x1234, e = 0x0102;
    const Bytes tag2 = MakeTag(2, f, e, 0x10000, 8 * kSector);
    Bytes badSignature = MakePackage(f, e, {1}, 100);
    badSignature[3] = ';';
    struct Case {
        const char* name;
        Bytes tag;
        Bytes package;
        int rc;
    };
    const Case cases[] = {
        {"matching", tag2, MakePackage(f, e, {1, 2}, 1000), DWL_OK},
        {"signature", tag2, badSignature, DWL_COMP_SIGNATURE},
        {"family", tag2, MakePackage(f + 1, e, {1}, 100), DWL_COMP_FAMILY},
        {"edition", tag2, MakePackage(f, 0x0103, {1}, 100), DWL_COMP_EDITION},
        {"declared size differs", tag2, MakePackage(f, e, {1}, 100, 200), DWL_COMP_PACKAGE_SIZE},
        {"bigger than the pack", tag2, MakePackage(f, e, {1}, 0x10000), DWL_COMP_PACKAGE_SIZE},
        {"past the flash end", MakeTag(2, f, e, 0x100000, 127 * kSector), MakePackage(f, e, {1}, 0x30000),
         DWL_COMP_FLASH_TOO_SMALL},
        {"pack address not a sector", MakeTag(2, f, e, 0x10000, 0x1000), MakePackage(f, e, {1}, 10),
         DWL_COMP_PACK_ADDRESS},
        {"version 1 software", MakeTag(1, f, 0, 0x10000, kSector),
         [] {
             Bytes p = MakePackage(f, e, {}, 100);
             brindel_test::PutBe32(p, 4, f);  // family as 32 bits
             brindel_test::PutBe32(p, 8, 132);
             return p;
         }(),
         DWL_COMP_BAD_MANUFACTURER},
        {"header cut short", tag2, Bytes{'5', '9', '9', ':', 0x12, 0x34}, DWL_COMP_PACKAGE_SIZE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Coherence(c.tag, {}, c.package), c.rc) << c.name;
    // Version 2: the package's items become the pack's mandatory mask.
    EXPECT_EQ(Coherence(tag2, {}, MakePackage(f, e, {1, 3, 33}, 10)), DWL_OK);
    EXPECT_EQ(pg_ClaPackMandatory[0], 0x5);
}

TEST_F(CompatTest, OddPackageSizeCountsAsTheNextEvenSize)
{
    const Bytes tag = MakeTag(2, 0x1234, 0x0102, 0x10000, 8 * kSector);
    Bytes package = MakePackage(0x1234, 0x0102, {1}, 1001 - 40, 1001);
    ASSERT_EQ(package.size(), 1001u);
    EXPECT_EQ(Coherence(tag, {}, package), DWL_COMP_PACKAGE_SIZE);
    brindel_test::PutBe32(package, 12, 1002);
    EXPECT_EQ(Coherence(tag, {}, package), DWL_OK);
}

TEST_F(CompatTest, TwoPacksOneTooSmallPass)
{
    const Bytes tag = MakeTag(3, 0x1234, 0x0102, 2, 0x800);
    Bytes image = MakeSoftware(0x1000, tag);
    brindel_test::PutPackTable(image, 0x800, {{0x100, 2 * kSector, 0x1}, {0x8000, 6 * kSector, 0x1}});
    const Bytes package = MakePackage(0x1234, 0x0102, {1}, 0x400);
    EXPECT_EQ(Coherence(tag, image, package), DWL_OK);
    EXPECT_EQ(pg_BinPackSizeTooLargeForClaPackSize[0], 1);
    EXPECT_EQ(pg_BinPackSizeTooLargeForClaPackSize[1], 0);

    // A pack whose mandatory items the package lacks is unusable too.
    brindel_test::PutPackTable(image, 0x800, {{0x100, 2 * kSector, 0x1}, {0x8000, 6 * kSector, 0x6}});
    EXPECT_EQ(Coherence(tag, image, package), DWL_COMP_PACKAGE_SIZE);
    EXPECT_EQ(pg_BinPackSizeTooLargeForClaPackSize[1], 1);
}

TEST_F(CompatTest, PhoneAgainstFile)
{
    const Bytes phone2 = MakeTag(2, 0x1234, 0x0102, 0x10000, 8 * kSector);
    struct Case {
        const char* name;
        Bytes phone, file;
        int rc;
    };
    const Case cases[] = {
        {"same", phone2, phone2, DWL_OK},
        {"bigger pack in the file", phone2, MakeTag(2, 0x1234, 0x0102, 0x20000, 8 * kSector), DWL_OK},
        {"structure", phone2, MakeTag(3, 0x1234, 0x0102, 0x10000, 8 * kSector), DWL_COMP_STRUCTURE},
        {"family", phone2, MakeTag(2, 0x1235, 0x0102, 0x10000, 8 * kSector), DWL_COMP_FAMILY},
        {"edition", phone2, MakeTag(2, 0x1234, 0x0103, 0x10000, 8 * kSector), DWL_COMP_EDITION},
        {"smaller pack", phone2, MakeTag(2, 0x1234, 0x0102, 0xFFFF, 8 * kSector), DWL_COMP_PACKAGE_SIZE},
        {"other address", phone2, MakeTag(2, 0x1234, 0x0102, 0x10000, 9 * kSector), DWL_COMP_PACKAGE_ADDRESS},
        {"version 1 ignores the edition", MakeTag(1, 5, 0, 0x100, kSector), MakeTag(1, 5, 0, 0x100, kSector), DWL_OK},
        {"version 3 fewer packs", MakeTag(3, 5, 6, 3, 0x800), MakeTag(3, 5, 6, 2, 0x800), DWL_COMP_PACKAGE_SIZE},
        {"foreign", Bytes{1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         Bytes{1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DWL_COMP_BAD_MANUFACTURER},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dwl16_3CheckSoftCompatibility(c.phone.data(), 16, c.file.data(), 16), c.rc) << c.name;
}

}  // namespace

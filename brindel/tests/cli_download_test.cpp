// The brindel program's download, read, tag and package commands, end to end
// through a pseudo-terminal with the emulator's loader on the far side.
#include "support/boot_phone.h"
#include "support/cli_run.h"
#include "support/images.h"
#include "support/pty_phone.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using brindel_test::Bytes;

using brindel_test::CliResult;

CliResult Brindel(const std::string& args)
{
    return brindel_test::RunProgram(BRINDEL_CLI, args);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Slice(const Bytes& b, size_t at, size_t n)
{
    return at + n <= b.size()
        ? Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n))
        : Bytes{};
}

class CliDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_.Enter();
        ::setenv("TELVANE_SERIAL_DIR", dir_.path().c_str(), 1);
        dir_.Write("loader.spm", Bytes(512, 0x11));
        tag_ = brindel_test::MakeTag(2, 0x1234, 0x0102, 0x40000, 0x200000);
        software_ = brindel_test::MakeSoftware(300000, tag_);
        dir_.Write("soft.cla", software_);
        package_ = brindel_test::MakePackage(0x1234, 0x0102, {1, 3}, 4999);
        dir_.Write("pack.bin", package_);
    }
    void TearDown() override { ::unsetenv("TELVANE_SERIAL_DIR"); }

    std::unique_ptr<brindel_test::PtyPhone> Serve()
    {
        auto phone = std::make_unique<brindel_test::PtyPhone>(
            brindel_test::BootPhone("pcf5087", false, 0, 0, Path("flash.img")), dir_.path(), 6);
        EXPECT_TRUE(phone->ok());
        return phone;
    }

    std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
    std::string Common() const
    {
        return "--port 6 --project 4 --spm " + Path("loader.spm") + " --flash-file " + BRINDEL_FLASH_TXT;
    }

    brindel_test::TempDir dir_;
    Bytes tag_, software_, package_;
};

TEST_F(CliDownloadTest, SoftwareWithNewPackagePrintsProgressRowsAndResult)
{
    auto phone = Serve();
    const CliResult r =
        Brindel("download " + Common() + " --type 2 --cla " + Path("soft.cla") + " --bin " + Path("pack.bin"));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const auto lines = Lines(r.out);
    const std::regex row(R"( {1,4}\d+ \| {1,10}\d+ \| {1,3}\d+ \| {1,9}\d+ \| {1,3}\d+ \| Downloaded )");
    std::vector<std::string> rows;
    for (const auto& l : lines)
        if (std::regex_match(l, row))
            rows.push_back(l);
    ASSERT_EQ(rows.size(), 4u) << r.out;  // three software sectors, one package sector
    EXPECT_EQ(rows[2].substr(0, 38), "    2 |     131072 |   0 |     37856 |");
    EXPECT_EQ(rows[3].substr(0, 38), "   16 |     131072 |   0 |      5048 |");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Software 100 %"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Package 100 %"), lines.end());
    EXPECT_EQ(lines.back(), "DWL_SOFT_OK: DOWNLOAD SUCCESSFULL");
    phone.reset();
    const Bytes flash = ReadFile(Path("flash.img"));
    EXPECT_EQ(Slice(flash, 0, software_.size()), software_);
    Bytes even = package_;
    even.push_back(0);  // the package counts in 16-bit units
    EXPECT_EQ(Slice(flash, 0x200000, even.size()), even);
}

TEST_F(CliDownloadTest, ReadWritesTheBlockAndComparedDownloadSkipsEverySector)
{
    auto phone = Serve();
    CliResult r = Brindel("download " + Common() + " --type 0 --compared --cla " + Path("soft.cla"));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(phone->Control("sectors"), "OK 3");
    phone.reset();

    phone = Serve();
    r = Brindel("read " + Common() + " --address 0 --size 0x40000 --out " + Path("back.bin"));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(ReadFile(Path("back.bin")), Slice(ReadFile(Path("flash.img")), 0, 0x40000));
    EXPECT_EQ(Slice(ReadFile(Path("back.bin")), 0, 0x40000), Slice(software_, 0, 0x40000));
    phone.reset();

    phone = Serve();
    r = Brindel("download " + Common() + " --type 0 --compared --cla " + Path("soft.cla"));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(phone->Control("sectors"), "OK 0");
}

TEST_F(CliDownloadTest, RefusalsAndUsage)
{
    CliResult r = Brindel("download " + Common() + " --type 1");
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "DOWNLOAD: PLEASE LOAD A PACKAGE BEFORE START");
    EXPECT_EQ(lines.back(), "DWL_SOFT_CONF_ERR: Impossible to find the package file");
    r = Brindel("download " + Common() + " --type 0 --cla " + Path("missing.cla"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Lines(r.out).back(), "DWL_SOFT_LIB_PC_ERR: File not found");
    EXPECT_EQ(Brindel("download --port 6 --project 4").exitCode, 2);
    EXPECT_EQ(Brindel("download " + Common() + " --type 0 --speed 32").exitCode, 2);
    EXPECT_EQ(Brindel("read " + Common() + " --address 0 --size 4").exitCode, 2);
}

TEST_F(CliDownloadTest, TagAndPackageDecode)
{
    CliResult r = Brindel("tag " + Path("soft.cla"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "Tag length      : 16\n"
              "Structure id    : 514 (version 2)\n"
              "Family          : 0x1234\n"
              "Edition         : 0x0102\n"
              "Pack size       : 262144\n"
              "Pack address    : 0x00200000\n"
              "DWL_SOFT_OK: DOWNLOAD SUCCESSFULL\n");
    r = Brindel("package " + Path("pack.bin") + " --cla " + Path("soft.cla"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "Layout          : version 2 software\n"
              "Family          : 0x1234\n"
              "Edition         : 0x0102\n"
              "Package size    : 5048 (file 5048)\n"
              "Items           : 2\n"
              "Item mask       : 0x00000005\n"
              "DWL_SOFT_OK: DOWNLOAD SUCCESSFULL\n");

    Bytes v3 = brindel_test::MakeSoftware(0x2000, brindel_test::MakeTag(3, 7, 8, 2, 0x1000));
    brindel_test::PutPackTable(v3, 0x1000, {{0x100, 0x40000, 1}, {0x200, 0x60000, 3}});
    dir_.Write("v3.cla", v3);
    r = Brindel("tag " + Path("v3.cla"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Number of packs : 2\nPack table      : 0x00001000\n"
                         "  pack 0: size 256, address 0x00040000, mandatory items 0x00000001\n"
                         "  pack 1: size 512, address 0x00060000, mandatory items 0x00000003\n"),
              std::string::npos)
        << r.out;

    dir_.Write("foreign.cla",
               brindel_test::MakeSoftware(1000, Bytes{0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    r = Brindel("tag " + Path("foreign.cla"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Lines(r.out).back(), "DWL_SOFT_COMPATIBILITY_ERR: Compatibility problem: Bad mobile manufacturer");
    dir_.Write("odd.bin", brindel_test::MakePackage(0x1234, 0x0102, {1}, 1001 - 40, 1001));
    r = Brindel("package " + Path("odd.bin"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Lines(r.out).back(), "DWL_SOFT_COMPATIBILITY_ERR: Package size parameter problem");
}

// --ports runs the same download on every port at once through the module
// (found beside the program); each port's result is printed with its port.
TEST_F(CliDownloadTest, PortsDownloadToEveryPhoneAtOnce)
{
    std::vector<std::unique_ptr<brindel_test::PtyPhone>> phones;
    for (int port : {6, 7}) {
        phones.push_back(std::make_unique<brindel_test::PtyPhone>(
            brindel_test::BootPhone("pcf5087", false, 0, 0, Path("flash" + std::to_string(port) + ".img")), dir_.path(),
            port));
        ASSERT_TRUE(phones.back()->ok());
    }
    const std::string rest = " --project 4 --type 0 --spm " + Path("loader.spm") + " --flash-file " +
        BRINDEL_FLASH_TXT + " --cla " + Path("soft.cla");
    const CliResult r = Brindel("download --ports 6,7" + rest);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::vector<std::string> lines = Lines(r.out);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"COM6: DWL_SOFT_OK: DOWNLOAD SUCCESSFULL",
                                        "COM7: DWL_SOFT_OK: DOWNLOAD SUCCESSFULL"}));
    phones.clear();
    for (int port : {6, 7})
        EXPECT_EQ(Slice(ReadFile(Path("flash" + std::to_string(port) + ".img")), 0, software_.size()), software_);

    // A port without a phone fails on its own and the exit code says so.
    phones.push_back(std::make_unique<brindel_test::PtyPhone>(
        brindel_test::BootPhone("pcf5087", false, 0, 0, Path("flash6.img")), dir_.path(), 6));
    const CliResult partial = Brindel("download --ports 6,9" + rest);
    EXPECT_EQ(partial.exitCode, 1);
    EXPECT_NE(partial.out.find("COM6: DWL_SOFT_OK: DOWNLOAD SUCCESSFULL"), std::string::npos);
    EXPECT_NE(partial.out.find("COM9: DWL_SOFT_LIB_PC_ERR: PC uart problem"), std::string::npos);
    EXPECT_EQ(Brindel("download --ports 6,6" + rest).exitCode, 2);
}

}  // namespace

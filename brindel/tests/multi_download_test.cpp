// Several phones flashed at once: the multi-download module loaded with
// dlopen and run on a thread per port, each port a pseudo-terminal with the
// emulator's baseband on its far side. Runs in the TSan pass: the downloads
// share the engine, its trace and the operator's context and must not race.
#include "brindel/dwl10fla.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl_dll.h"
#include "support/boot_phone.h"
#include "support/images.h"
#include "support/pty_phone.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using brindel_test::Bytes;

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Seen {
    std::mutex lock;
    std::map<int, std::vector<std::string>> results;  // port -> "family text"
    std::map<int, int> softPercent;
};

void Output(uint8_t port, int family, const char* text, void* user)
{
    auto* seen = static_cast<Seen*>(user);
    const std::lock_guard lock(seen->lock);
    seen->results[port].push_back(std::to_string(family) + " " + text);
}

void Progress(uint8_t port, int32_t soft, int32_t, void* user)
{
    auto* seen = static_cast<Seen*>(user);
    const std::lock_guard lock(seen->lock);
    seen->softPercent[port] = soft;
}

void Trace(const char*, void* user)
{
    static_cast<std::atomic<int>*>(user)->fetch_add(1);
}

class MultiDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dwl50_0ResetContext();
        dir_.Enter();
        ::setenv("TELVANE_SERIAL_DIR", dir_.path().c_str(), 1);
        dir_.Write("loader.spm", Bytes(700, 0x22));
        dwl12_41SetSpmFile((dir_.path() + "/loader.spm").c_str());
        ASSERT_EQ(dwl10_101InitFlashDescriptionFromFile(BRINDEL_FLASH_TXT), DWL_OK);
        dwl51_85SetDllOutput(&Output, &seen_);
    }
    void TearDown() override
    {
        dwl51_85SetDllOutput(nullptr, nullptr);
        dwl17_1CloseDebugTrace();
        dwl12_41SetSpmFile(nullptr);
        ::unsetenv("TELVANE_SERIAL_DIR");
        dwl50_0ResetContext();
    }
    std::string Flash(int port) const { return dir_.path() + "/flash" + std::to_string(port) + ".img"; }

    brindel_test::TempDir dir_;
    Seen seen_;
};

TEST_F(MultiDownloadTest, EveryPortGetsTheSoftwareAtOnce)
{
    const std::vector<int> ports = {2, 3, 4};
    std::vector<std::unique_ptr<brindel_test::PtyPhone>> phones;
    for (int port : ports) {
        phones.push_back(std::make_unique<brindel_test::PtyPhone>(
            brindel_test::BootPhone("pcf5087", false, 0, 0, Flash(port)), dir_.path(), port));
        ASSERT_TRUE(phones.back()->ok());
    }
    const Bytes software =
        brindel_test::MakeSoftware(2 * 0x20000 + 3000, brindel_test::MakeTag(2, 0x1234, 0x0102, 0x40000, 0x200000));
    dir_.Write("soft.cla", software);
    T_DownloadContext& c = sg_DownloadContext;
    c.projectType = 4;
    c.downloadType = 0;
    c.speedIndex = 5;
    std::strcpy(c.softwarePath, (dir_.path() + "/soft.cla").c_str());
    ASSERT_EQ(dwl51_0InitLoadFile(), DWL_OK);

    // The debug window is open: every download thread traces into it.
    std::atomic<int> traced{0};
    dwl17_0OpenDebugTrace(&Trace, &traced);
    std::vector<T_DllModule*> modules;
    for (int port : ports) {
        T_DllModule* module = dwl51_81LoadDll(BRINDEL_DLL_DIR, port, modules.empty() ? 0 : 1, 2, 1);
        ASSERT_NE(module, nullptr) << dlerror();
        modules.push_back(module);
        ASSERT_EQ(dwl51_82StartDllDownload(module, &c, static_cast<uint8_t>(port), &Progress, &seen_), 1);
    }
    // Meanwhile the operator loads another software and closes the debug
    // window: the downloads keep the copies they started with.
    dir_.Write("other.cla", Bytes(5000, 0xEE));
    std::strcpy(c.softwarePath, (dir_.path() + "/other.cla").c_str());
    ASSERT_EQ(dwl51_0InitLoadFile(), DWL_OK);
    dwl17_1CloseDebugTrace();
    for (T_DllModule* module : modules)
        dwl51_84UnloadDll(module);

    EXPECT_GT(traced.load(), 0);
    for (int port : ports) {
        SCOPED_TRACE(port);
        EXPECT_EQ(seen_.results[port], std::vector<std::string>{"0 DOWNLOAD SUCCESSFULL\n"});
        EXPECT_EQ(seen_.softPercent[port], 100);
        const Bytes flash = ReadFile(Flash(port));
        ASSERT_GE(flash.size(), software.size());
        EXPECT_TRUE(std::equal(software.begin(), software.end(), flash.begin()));
    }
}

// What the module refuses before it opens a port, each with its code.
TEST_F(MultiDownloadTest, TheModuleRefusesWhatItCannotDownload)
{
    struct Case {
        uint8_t project, type;
        bool software, package;
        const char* result;
    };
    const Case cases[] = {
        {0, 0, true, false, "14 Bad product type\n"},           {4, 1, true, false, "14 No file found (cla or bin)\n"},
        {4, 0, false, true, "14 No file found (cla or bin)\n"}, {4, 6, false, false, "14 Size of block file is NULL\n"},
        {4, 5, false, false, "7 Bad download type\n"},
    };
    T_DllModule* module = dwl51_81LoadDll(BRINDEL_DLL_DIR, 9, 0, -1, -1);
    ASSERT_NE(module, nullptr);
    const Bytes image(4000, 0x44);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.project) + "/" + std::to_string(c.type));
        T_DownloadContext own;
        dwl50_3InitialContext(&own);
        own.projectType = c.project;
        own.downloadType = c.type;
        own.softwareImage = c.software ? const_cast<uint8_t*>(image.data()) : nullptr;
        own.softwareSize = c.software ? 4000 : 0;
        own.packageImage = c.package ? const_cast<uint8_t*>(image.data()) : nullptr;
        own.packageSize = c.package ? 4000 : 0;
        seen_.results.clear();
        ASSERT_EQ(dwl51_82StartDllDownload(module, &own, 9, nullptr, nullptr), 1);
        dwl51_83WaitDllDownloads(module);
        EXPECT_EQ(seen_.results[9], std::vector<std::string>{c.result});
    }
    dwl51_84UnloadDll(module);
}

}  // namespace

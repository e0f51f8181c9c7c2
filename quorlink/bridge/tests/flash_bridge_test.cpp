// The bridge's use of the download engine, against a scripted engine: the
// sectors a file goes to, its pieces and byte sums, which engine results
// count as success, and how a failed request tears the bridge down.

#include "quorlink/bridge/bridge_requests.h"
#include "quorlink/bridge/flash_bridge.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace qb = quorlink::bridge;
namespace fs = std::filesystem;

namespace {

// What the scripted engine saw, and what it answers.
struct Script {
    std::vector<std::pair<uint32_t, uint32_t>> sectorCommands;  // address, bytes to follow
    std::vector<size_t> pieces;
    uint32_t received = 0;  // byte sum of the current sector
    int corruptSector = -1;  // this sector's sum comes back wrong
    int shortPiece = -1;  // this piece is not fully sent
    int refusedSector = -1;  // this sector is not taken
    int bootResult = 1;
    int readResult = 1;
    int speedControl = 202;
    int uartStops = 0;
    int powerOffs = 0;
};

class ScriptedEngine final : public qb::FlashEngine {
public:
    explicit ScriptedEngine(Script& s) : s_(s) { }
    int initContext() override { return 1; }
    int openPort(int, int) override { return 1; }
    int bootLoader(const std::string&) override { return s_.bootResult; }
    int setGpio() override { return 1; }
    int changeSpeed() override { return 1; }
    int readSector(uint32_t, std::span<uint8_t> out) override
    {
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<uint8_t>(i * 7);
        return s_.readResult;
    }
    int sectorCommand(uint32_t address, uint32_t, uint32_t length) override
    {
        s_.sectorCommands.emplace_back(address, length);
        s_.received = 0;
        return static_cast<int>(s_.sectorCommands.size()) - 1 == s_.refusedSector ? 0xCD : 0xCB;
    }
    int writeBuffer(std::span<const uint8_t> data) override
    {
        s_.pieces.push_back(data.size());
        for (uint8_t b : data)
            s_.received += b;
        const int n = static_cast<int>(data.size());
        return static_cast<int>(s_.pieces.size()) - 1 == s_.shortPiece ? n - 1 : n;
    }
    int sectorEnd() override { return 0xCC; }
    uint32_t checksumReceived() override
    {
        return static_cast<int>(s_.sectorCommands.size()) - 1 == s_.corruptSector ? s_.received + 1 : s_.received;
    }
    int speedControl() override { return s_.speedControl; }
    int powerOff() override { return ++s_.powerOffs, 0xC0; }
    int stopPort(int) override { return ++s_.uartStops, 1; }

private:
    Script& s_;
};

struct Record {
    int32_t status, code, current, total;
    bool operator==(const Record&) const = default;
};

class RecordingReplies final : public qb::BridgeReplies {
public:
    void post(int32_t status, int32_t code, int32_t current, int32_t total) override
    {
        records.push_back({status, code, current, total});
    }
    void linkLost() override { ++lost; }
    std::vector<Record> records;
    int lost = 0;
};

class FlashBridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("telvane_bridge_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const char* name, size_t size)
    {
        std::vector<char> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 31 + 5);
        std::ofstream(dir_ / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        return (dir_ / name).string();
    }
    qb::FlashBridge bridge(uint32_t port = 3) { return qb::FlashBridge(port, std::make_unique<ScriptedEngine>(g_)); }
    // Serves a request with an argument word (223) or block (227, 228, 230).
    RecordingReplies serve(qb::BridgeRequests& requests, int32_t code, uint32_t argument = 0)
    {
        LinkRequest request{};
        request.argument = argument;
        RecordingReplies replies;
        requests.serve(code, request, replies);
        std::free(plat::TakeBlock(request.argument));  // what the link does after serving
        return replies;
    }

    Script g_;
    fs::path dir_;
};

TEST_F(FlashBridgeTest, FilesGoToTheirSectorsInPiecesWithByteSums)
{
    struct Case {
        const char* what;
        size_t size;
        int sector;
        uint32_t limit;
        std::vector<std::pair<uint32_t, uint32_t>> commands;
        size_t pieces;
    };
    std::vector<std::pair<uint32_t, uint32_t>> slot1;
    for (uint32_t s = 73; s < 82; ++s)
        slot1.emplace_back(0x08000000 + s * 0x20000, 0x20000);
    const std::vector<std::pair<uint32_t, uint32_t>> sectorAndABit = {{0x08920000, 0x20000}, {0x08940000, 5000}};
    const Case cases[] = {
        {"a full slot", 0x120000, qb::SlotSector(1), qb::kSlotBytes, slot1, 144},
        {"a longer file is cut", 0x120000 + 4096, qb::SlotSector(1), qb::kSlotBytes, slot1, 144},
        {"a sector and a bit", 0x20000 + 5000, qb::SlotSector(1), qb::kSlotBytes, sectorAndABit, 17},
        {"the index, one sector command", 884, qb::kIndexSector, qb::kIndexBytes, {{0x08780000, 884}}, 1},
    };
    for (const Case& c : cases) {
        g_ = Script{};
        std::vector<std::pair<int, int>> progress;
        EXPECT_TRUE(bridge().writeFile(file("f", c.size), c.sector, c.limit, [&](int d, int n) {
            progress.emplace_back(d, n);
        })) << c.what;
        EXPECT_EQ(g_.sectorCommands, c.commands) << c.what;
        EXPECT_EQ(g_.pieces.size(), c.pieces) << c.what;
        const int n = static_cast<int>(c.commands.size());
        EXPECT_EQ(progress.size(), c.commands.size()) << c.what;
        EXPECT_EQ(progress.back(), std::make_pair(n, n)) << c.what;
    }
    EXPECT_EQ(qb::SectorAddress(qb::SlotSector(0)), 0x08800000u);

    // A wrong sum, a piece not sent or a sector not taken stops at that sector.
    struct Stop {
        int Script::*fault;
        int at;
        size_t commands, pieces;
    };
    for (const Stop s : {Stop{&Script::corruptSector, 1, 2, 32}, Stop{&Script::shortPiece, 20, 2, 21},
                         Stop{&Script::refusedSector, 1, 2, 16}}) {
        g_ = Script{};
        g_.*s.fault = s.at;
        EXPECT_FALSE(bridge().writeFile(file("f", 0x60000), qb::SlotSector(0), qb::kSlotBytes));
        EXPECT_EQ(g_.sectorCommands.size(), s.commands);
        EXPECT_EQ(g_.pieces.size(), s.pieces);
    }
    EXPECT_FALSE(bridge().writeFile(file("empty", 0), qb::SlotSector(0), qb::kSlotBytes));
    EXPECT_FALSE(bridge().writeFile((dir_ / "missing").string(), qb::SlotSector(0), qb::kSlotBytes));
}

TEST_F(FlashBridgeTest, OnlyTheEnginesSuccessCounts)
{
    qb::FlashBridge b = bridge(0x103);
    EXPECT_EQ(b.port(), 3);  // only the low byte names the port
    EXPECT_TRUE(b.open());
    struct Case {
        int result;
        bool ok;
    };
    // A time-out (4, 13) or a port error fails a boot as much as 3, 12, 157.
    for (const Case c :
         {Case{1, true}, Case{3, false}, Case{4, false}, Case{13, false}, Case{157, false}, Case{-5, false}}) {
        g_.uartStops = 0;
        g_.bootResult = c.result;
        EXPECT_EQ(b.boot("dwl874_7.spm"), c.ok) << c.result;
        EXPECT_EQ(g_.uartStops, c.ok ? 0 : 1) << "a failed boot stops the port at once: " << c.result;
    }
    const std::string idx = (dir_ / "mp3.idx").string();
    for (const Case c : {Case{1, true}, Case{17, false}, Case{19, false}, Case{-5, false}}) {
        g_.readResult = c.result;
        fs::remove(idx);
        EXPECT_EQ(b.readIndex(idx), c.ok) << c.result;
        EXPECT_EQ(fs::file_size(idx), 884u) << "written whatever the read gave";
    }
    g_.speedControl = 9;
    EXPECT_FALSE(b.stillAnswering());
}

TEST_F(FlashBridgeTest, FailedRequestsTearTheBridgeDownExceptTheIndexWrite)
{
    qb::BridgeRequests requests([this] { return std::make_unique<ScriptedEngine>(g_); }, dir_.string() + "/");
    const Record ok{1, 0, 0, 0}, progress{2, 0, 100, 100}, failed{0, 0, 0, 0};

    // Without a bridge every request fails at once (no encoder runs), and
    // 223 opens one only once.
    for (int32_t code : {REQ_BRIDGE_SPEED, REQ_BRIDGE_ENCODE, REQ_BRIDGE_WRITE_INDEX})
        EXPECT_EQ(serve(requests, code).records, std::vector<Record>{failed}) << code;
    EXPECT_FALSE(fs::exists(dir_ / "encoded.mp3"));
    EXPECT_EQ(serve(requests, REQ_BRIDGE_OPEN, 3).records, (std::vector<Record>{progress, ok}));
    EXPECT_EQ(serve(requests, REQ_BRIDGE_OPEN, 3).records, std::vector<Record>{ok});
    EXPECT_EQ(serve(requests, REQ_BRIDGE_READ_INDEX).records, (std::vector<Record>{progress, ok}));

    // 231 fails alone; the bridge stays.
    auto r = serve(requests, REQ_BRIDGE_WRITE_INDEX);
    EXPECT_EQ(r.records, (std::vector<Record>{{2, 0, 1, 1}, ok}));
    fs::remove(dir_ / "mp3.idx");
    r = serve(requests, REQ_BRIDGE_WRITE_INDEX);
    EXPECT_EQ(r.records, std::vector<Record>{failed});
    EXPECT_EQ(r.lost, 0);
    EXPECT_TRUE(requests.open());

    // 230 writes encoded.mp3 into slot k with one record per sector; a slot
    // outside 0-4 ends MP3 mode like any other failure.
    file("encoded.mp3", 0x30000);
    g_.sectorCommands.clear();
    r = serve(requests, REQ_BRIDGE_WRITE_MP3, NewSlotBlock(1));
    EXPECT_EQ(r.records, (std::vector<Record>{{2, 0, 1, 2}, {2, 0, 2, 2}, ok}));
    EXPECT_EQ(g_.sectorCommands.front().first, qb::SectorAddress(73));
    r = serve(requests, REQ_BRIDGE_WRITE_MP3, NewSlotBlock(5));
    EXPECT_EQ(r.records, std::vector<Record>{failed});
    EXPECT_EQ(r.lost, 1);
    EXPECT_EQ(g_.powerOffs, 1);
    EXPECT_EQ(g_.uartStops, 1);
    EXPECT_FALSE(requests.open());

    // A failed boot: the port stops at once and again in the teardown.
    (void)serve(requests, REQ_BRIDGE_OPEN, 3);
    g_.bootResult = 157;
    r = serve(requests, REQ_BRIDGE_BOOT);
    EXPECT_EQ(r.records, std::vector<Record>{failed});
    EXPECT_EQ(r.lost, 1);
    EXPECT_FALSE(requests.open());

    // The watchdog drops a bridge whose loader no longer answers, without a
    // power-off; before the boot only the boot ROM is there, which does not
    // answer, and the bridge stays. The worker's exit switches a live phone off.
    g_.bootResult = 1;
    g_.speedControl = 9;
    (void)serve(requests, REQ_BRIDGE_OPEN, 3);
    EXPECT_FALSE(requests.watchdog());
    EXPECT_TRUE(requests.open());
    EXPECT_EQ(serve(requests, REQ_BRIDGE_BOOT).records, (std::vector<Record>{progress, ok}));
    g_.speedControl = 202;
    EXPECT_FALSE(requests.watchdog());
    g_.speedControl = 9;
    const int powerOffs = g_.powerOffs;
    EXPECT_TRUE(requests.watchdog());
    EXPECT_EQ(g_.powerOffs, powerOffs);
    EXPECT_FALSE(requests.open());
    (void)serve(requests, REQ_BRIDGE_OPEN, 3);
    requests.workerExit();
    EXPECT_EQ(g_.powerOffs, powerOffs + 1);
    EXPECT_FALSE(requests.open());
}

}  // namespace

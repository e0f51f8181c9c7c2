// The handset file system over the line: uploads and downloads with Base64
// blocks, listing, removing, directories, and the errors of malformed input.
#include <random>

#include "base64.h"
#include "phone_fixture.h"

namespace simphone::testing {
namespace {

std::vector<uint8_t> Pattern(size_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(g());
    return v;
}

std::string PutCommand(int index, std::span<const uint8_t> block)
{
    const uint8_t check = BlockCheck(block);
    return "AT*PUT=" + std::to_string(index) + "," + std::to_string(block.size()) + "," + Base64Encode(block) + "," +
        Base64Encode(std::span(&check, 1));
}

class TransferTest : public PhoneFixture {
protected:
    // PC to phone in 108-byte blocks, as the client sends them; returns the first failure line or "OK".
    std::string upload(const std::string& phone, std::span<const uint8_t> data)
    {
        auto start = at("AT*STARTDL=" + phone + "," + std::to_string(data.size()));
        if (start.back() != "OK")
            return start.back();
        for (size_t off = 0, i = 0; off < data.size(); off += 108, ++i) {
            auto r = at(PutCommand(static_cast<int>(i), data.subspan(off, std::min<size_t>(108, data.size() - off))));
            if (r.back() != "OK")
                return r.back();
        }
        return last("AT*END");
    }

    // Phone to PC; nullopt when the phone refuses or the blocks do not add up.
    std::optional<std::vector<uint8_t>> download(const std::string& phone)
    {
        auto start = at("AT*STARTUL=" + phone);
        if (start.back() != "OK" || start.size() != 2 || start[0].rfind("*STARTUL: ", 0) != 0)
            return std::nullopt;
        const size_t size = std::stoul(start[0].substr(10));
        std::vector<uint8_t> data;
        for (int guard = 0; guard < 10000; ++guard) {
            auto r = at("AT*GET");
            if (r.size() != 2 || r[1] != "OK" || r[0].rfind("*GET: ", 0) != 0)
                return std::nullopt;
            const std::string body = r[0].substr(6);
            const size_t c1 = body.find(',');
            const size_t count = std::stoul(body.substr(0, c1));
            if (count == 0)
                break;
            const size_t c2 = body.find(',', c1 + 1);
            auto block = Base64Decode(body.substr(c1 + 1, c2 - c1 - 1));
            auto check = Base64Decode(body.substr(c2 + 1));
            if (!block || block->size() != count || !check || check->size() != 1 || (*check)[0] != BlockCheck(*block))
                return std::nullopt;
            data.insert(data.end(), block->begin(), block->end());
        }
        if (last("AT*END") != "OK" || data.size() != size)
            return std::nullopt;
        return data;
    }
};

TEST_F(TransferTest, UploadsAndDownloadsAreByteIdentical)
{
    for (size_t size : {0u, 1u, 108u, 109u, 100000u}) {
        SCOPED_TRACE(size);
        const auto data = Pattern(size, static_cast<uint32_t>(size) + 1);
        const std::string name = "/app/mms/f" + std::to_string(size);
        ASSERT_EQ(upload(name, data), "OK");
        EXPECT_EQ(ReadFileBytes(phonePath(name)), data);
        EXPECT_EQ(download(name), data);
    }
}

TEST_F(TransferTest, GetBlocksFollowTheDocumentedSize)
{
    const auto data = Pattern(AtPhone::kGetBlockSize + 5, 9);
    ASSERT_EQ(upload("/app/mms/blocks", data), "OK");
    ASSERT_EQ(at("AT*STARTUL=/app/mms/blocks").front(), "*STARTUL: " + std::to_string(data.size()));
    EXPECT_EQ(at("AT*GET").front().substr(0, 11), "*GET: " + std::to_string(AtPhone::kGetBlockSize) + ",");
    EXPECT_EQ(at("AT*GET").front().substr(0, 8), "*GET: 5,");
    EXPECT_EQ(at("AT*GET").front(), "*GET: 0,");
    EXPECT_EQ(at("AT*GET").front(), "*GET: 0,");  // stays at the end
    EXPECT_EQ(last("AT*END"), "OK");
}

TEST_F(TransferTest, ListShowsEntriesWithNameAndSize)
{
    ASSERT_EQ(last("AT*MKDIR=/app/test"), "OK");
    ASSERT_EQ(upload("/app/test/b.bin", Pattern(300, 1)), "OK");
    ASSERT_EQ(upload("/app/test/a.bin", Pattern(12, 2)), "OK");
    ASSERT_EQ(last("AT*MKDIR=/app/test/sub"), "OK");
    EXPECT_EQ(at("AT*LIST=/app/test"),
              (std::vector<std::string>{"*LIST:/app/test", "0,a.bin,12", "0,b.bin,300", "1,sub,0", "OK"}));
    EXPECT_EQ(at("AT*FILEINFO=/app/test/b.bin"), (std::vector<std::string>{"*FILEINFO: 0,b.bin,300", "OK"}));
    EXPECT_EQ(at("AT*LIST=/"), (std::vector<std::string>{"*LIST:/", "1,app,0", "OK"}));
    EXPECT_EQ(at("AT*LIST=\"/app/test/\"").front(), "*LIST:/app/test");

    EXPECT_EQ(last("AT*RMDIR=/app/test"), "+CME ERROR: 3");  // not empty
    EXPECT_EQ(last("AT*REMOVE=/app/test/a.bin"), "OK");
    EXPECT_FALSE(std::filesystem::exists(phonePath("/app/test/a.bin")));
    EXPECT_EQ(last("AT*REMOVE=/app/test/a.bin"), "+CME ERROR: 22");
    EXPECT_EQ(last("AT*REMOVE=/app/test/sub"), "+CME ERROR: 3");
    EXPECT_EQ(last("AT*RMDIR=/app/test/sub"), "OK");
    EXPECT_EQ(at("AT*LIST=/app/test"), (std::vector<std::string>{"*LIST:/app/test", "0,b.bin,300", "OK"}));
    EXPECT_EQ(last("AT*LIST=/app/nowhere"), "+CME ERROR: 22");
}

TEST_F(TransferTest, MalformedTransferCommandsGetPhoneErrors)
{
    const auto block = Pattern(108, 5);
    const uint8_t check = BlockCheck(block);
    const std::string b64 = Base64Encode(block);
    const std::string goodCheck = Base64Encode(std::span(&check, 1));
    const uint8_t wrong = static_cast<uint8_t>(check ^ 0x5A);
    struct Case {
        const char* what;
        std::string command;
        std::string expected;
    } cases[] = {
        {"block before start", "AT*PUT=0,108," + b64 + "," + goodCheck, "+CME ERROR: 3"},
        {"start", "AT*STARTDL=/app/mms/x.bin,216", "OK"},
        {"second start while open", "AT*STARTDL=/app/mms/y.bin,1", "+CME ERROR: 1"},
        {"out-of-order index", "AT*PUT=1,108," + b64 + "," + goodCheck, "+CME ERROR: 21"},
        {"bad Base64", "AT*PUT=0,108," + b64.substr(0, 140) + "!!!!," + goodCheck, "+CME ERROR: 50"},
        {"count disagrees with data", "AT*PUT=0,107," + b64 + "," + goodCheck, "+CME ERROR: 50"},
        {"wrong block check", "AT*PUT=0,108," + b64 + "," + Base64Encode(std::span(&wrong, 1)), "+CME ERROR: 23"},
        {"missing fields", "AT*PUT=0,108", "+CME ERROR: 50"},
        {"good block after the errors", "AT*PUT=0,108," + b64 + "," + goodCheck, "OK"},
        {"repeated index", "AT*PUT=0,108," + b64 + "," + goodCheck, "+CME ERROR: 21"},
        {"end of an incomplete file", "AT*END", "+CME ERROR: 50"},
        {"download of a missing file", "AT*STARTUL=/app/mms/none", "+CME ERROR: 22"},
        {"get without start", "AT*GET", "+CME ERROR: 3"},
        {"path outside /app", "AT*STARTUL=/etc/passwd", "+CME ERROR: 50"},
        {"path climbing out", "AT*STARTUL=/app/../phone.conf", "+CME ERROR: 50"},
        {"size beyond the volume", "AT*STARTDL=/app/mms/huge,999999999", "+CME ERROR: 20"},
        {"unknown command", "AT*FROBNICATE", "ERROR"},
        {"unknown extended command", "AT+XYZZY=1", "ERROR"},
        {"no AT prefix", "HELLO", "ERROR"},
        {"garbage bytes", "\x01\x02\xfe\xff junk", "ERROR"},
        {"still serving", "AT", "OK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(last(c.command), c.expected);
    }
    // The incomplete upload left nothing behind.
    EXPECT_FALSE(std::filesystem::exists(phonePath("/app/mms/x.bin")));
}

TEST_F(TransferTest, FailedUploadKeepsThePreviousFile)
{
    const auto old = Pattern(50, 3);
    ASSERT_EQ(upload("/app/mms/keep", old), "OK");
    ASSERT_EQ(last("AT*STARTDL=/app/mms/keep,200"), "OK");
    const auto part = Pattern(108, 4);
    ASSERT_EQ(last(PutCommand(0, part)), "OK");
    EXPECT_EQ(last("AT*END"), "+CME ERROR: 50");
    EXPECT_EQ(ReadFileBytes(phonePath("/app/mms/keep")), old);
}

TEST_F(TransferTest, OverlongLineIsRefusedAndTheLineRecovers)
{
    client_->write(std::string(AtPhone::kMaxLine + 500, 'A') + "\r");
    EXPECT_EQ(client_->answer().back(), "ERROR");
    EXPECT_EQ(last("AT+CGMI"), "OK");
}

TEST_F(TransferTest, EchoIsOnUntilAte0)
{
    ASSERT_EQ(last("ATE1"), "OK");
    client_->write("AT+CGMM\r");
    ASSERT_TRUE(client_->readUntil([](const std::string& b) { return b.find("OK\r\n") != std::string::npos; }));
    EXPECT_EQ(client_->take(), "AT+CGMM\r\r\nV318\r\n\r\nOK\r\n");
    ASSERT_EQ(client_->at("ATE0").back(), "OK");
    client_->write("AT+CGMM\r");
    ASSERT_TRUE(client_->readUntil([](const std::string& b) { return b.find("OK\r\n") != std::string::npos; }));
    EXPECT_EQ(client_->take(), "\r\nV318\r\n\r\nOK\r\n");
}

}  // namespace
}  // namespace simphone::testing

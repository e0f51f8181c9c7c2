// The resident loaders as a client sees them: every command of the PCF5087
// loader over the flash image, the PCF5085 loader's own erase and block
// checksums, and the faults asked for through the control line.
#include "boot_mode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBase = 0x8000000;
constexpr uint32_t kSector = 0x20000;
constexpr uint32_t kFlash = 16u << 20;

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Be32(uint32_t v)
{
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

Bytes Le32(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

uint32_t Sum(const Bytes& b)
{
    uint32_t s = 0;
    for (uint8_t x : b)
        s += x;
    return s;
}

Bytes Pattern(size_t n, unsigned seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t((i * 131 + seed * 17) >> 3);
    return b;
}

const std::string kMarkerText = "download identification area";

Bytes Marker()
{
    return Cat({{28}, Bytes(kMarkerText.begin(), kMarkerText.end())});
}

Bytes MarkerInFlash()
{
    return Bytes(kMarkerText.begin(), kMarkerText.end());
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/simphone-loader-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/flash.img";
    }
    void TearDown() override
    {
        device_.reset();
        std::remove(path_.c_str());
        ::rmdir(dir_.c_str());
    }

    void WriteFlash(const Bytes& contents) const
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
    }
    Bytes ReadFlash() const
    {
        std::ifstream in(path_, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // A PCF5087 phone booted into its loader (project type 4).
    void Boot()
    {
        simphone::BootOptions o;
        o.chip = "pcf5087";
        o.flashImage = path_;
        device_ = simphone::MakeBootDevice(o);
        Feed({0x44});
        Feed({0xC6, 0x80, 0xD6, 0x00, 0x07, 0x00, 0x07, 0x80, 0x00, 0x03, 0xFF, 0xFF, 0x80, 0x02, 0x80, 0x01, 0x01,
              0x00});
        ASSERT_EQ(Feed({0x00, 0x03, 0, 0, 0, 0, 0x40, 0x00, 0xAA, 0x00, 0x03, 0, 0, 0, 0, 0x60, 0x00}),
                  (Bytes{0xA0, 0x00, 0x00, 0xC2, 0x89, 0x18}));
    }

    Bytes Feed(const Bytes& in)
    {
        Bytes out;
        device_->receive(in, out);
        device_->tick(now_, out);
        return out;
    }
    Bytes Tick(uint32_t ms)
    {
        Bytes out;
        for (uint32_t t = 0; t < ms; t += 5) {
            now_ += 5;
            device_->tick(now_, out);
        }
        return out;
    }

    Bytes Program(uint32_t address, const Bytes& data, uint32_t sectorSize = kSector)
    {
        const Bytes command = Cat({{0xEA}, Be32(sectorSize), Be32(address), Be32(uint32_t(data.size()))});
        Bytes reply = Feed(command);
        const Bytes end = Feed(data);
        reply.insert(reply.end(), end.begin(), end.end());
        return reply;
    }

    Bytes Read(uint32_t address, uint32_t size) { return Feed(Cat({{0xE6}, Be32(size), Be32(address)})); }

    std::string dir_, path_;
    std::unique_ptr<simphone::Device> device_;
    uint32_t now_ = 1000;
};

TEST_F(LoaderTest, ProgramReadAndEraseWorkOnTheFlashImage)
{
    Boot();
    const Bytes data = Pattern(1000, 1);
    EXPECT_EQ(Program(kBase + 2 * kSector, data), Cat({{0xCB, 0xCC}, Le32(Sum(data))}));
    // Programming erases the whole sector first.
    EXPECT_EQ(Read(kBase + 2 * kSector, 1002), Cat({{0xC0, 0xC7}, data, {0xFF, 0xFF}, Le32(Sum(data) + 0x1FE)}));
    // Erase of one sector (count, size, address) and of the whole chip.
    EXPECT_EQ(Feed(Cat({{0xE4, 1}, Be32(kSector), Be32(kBase + 2 * kSector)})), (Bytes{0xC0, 0xC5, 0xF6}));
    EXPECT_EQ(Read(kBase + 2 * kSector, 4), Cat({{0xC0, 0xC7, 0xFF, 0xFF, 0xFF, 0xFF}, Le32(0x3FC)}));
    EXPECT_EQ(Program(kBase, data), Cat({{0xCB, 0xCC}, Le32(Sum(data))}));
    EXPECT_EQ(Feed({0xE2}), (Bytes{0xC0, 0xC5, 0xF6}));
    EXPECT_EQ(Read(kBase, 1), Cat({{0xC0, 0xC7, 0xFF}, Le32(0xFF)}));
    // Outside the flash: a read is refused, a sector command reports an error.
    EXPECT_EQ(Read(kBase + kFlash - 2, 4), (Bytes{0xC0, 0x00}));
    // The memory set-up of project type 4 puts the flash at its base only:
    // another project type's base is not flash.
    EXPECT_EQ(Read(0x2000000, 4), (Bytes{0xC0, 0x00}));
    EXPECT_EQ(Feed(Cat({{0xEA}, Be32(kSector), Be32(kBase + kFlash), Be32(4)})), (Bytes{0xCB}));
    EXPECT_EQ(Feed({1, 2, 3, 4}), (Bytes{0xCD, 0xFF}));

    // Switch off writes the flash image back.
    EXPECT_EQ(Program(kBase + kSector, data), Cat({{0xCB, 0xCC}, Le32(Sum(data))}));
    EXPECT_EQ(Feed({0xE8}), Bytes{0xC0});
    EXPECT_TRUE(device_->poweredOff());
    const Bytes flash = ReadFlash();
    ASSERT_EQ(flash.size(), kFlash);
    EXPECT_EQ(Bytes(flash.begin() + kSector, flash.begin() + kSector + 1000), data);
    EXPECT_EQ(flash[0], 0xFF);
}

TEST_F(LoaderTest, SpeedPmuAndGpio)
{
    Boot();
    EXPECT_EQ(Feed({0xE0}), Bytes{0xC0});
    EXPECT_EQ(Feed({0x60, 0xFF, 0xFD, 0x02, 0x5C}), (Bytes{0xC3, 0x00}));
    EXPECT_EQ(device_->control("speed"), "OK 60 FF FD");
    EXPECT_EQ(Feed({0xE0, 0x60, 0xFF, 0xFD, 0x02, 0x5D}), (Bytes{0xC0, 0xC3, 0x01}));  // a wrong sum
    EXPECT_EQ(Feed({0xE9}), Bytes{0xCA});
    EXPECT_EQ(Feed({0xEF}), (Bytes{0xC0, 0xCF, 0x00}));
    EXPECT_EQ(Feed({0xEB}), (Bytes{0xC0, 0xC9}));
}

TEST_F(LoaderTest, IdentificationAndSimlockAreas)
{
    Bytes flash(kFlash, 0xFF);
    const Bytes tag = {0x02, 0x02, 0x12, 0x34, 0, 0, 1, 2, 0, 1, 0, 0, 0, 0x20, 0, 0};
    const Bytes block = Cat({MarkerInFlash(), Be32(16), tag});
    std::copy(block.begin(), block.end(), flash.begin() + 0x400);
    const Bytes simlock = Pattern(256, 3);
    std::copy(simlock.begin(), simlock.end(), flash.end() - kSector);
    WriteFlash(flash);
    Boot();

    EXPECT_EQ(Feed({0xE1}), Bytes{0xC0});
    EXPECT_EQ(Feed(Marker()), Cat({{0xC4}, Be32(16), tag}));
    // A wrong marker gets no answer.
    EXPECT_EQ(Feed({0xE1}), Bytes{0xC0});
    EXPECT_TRUE(Feed(Cat({{5}, {'x', 'x', 'x', 'x', 'x'}})).empty());

    // The chip erase loses the SIM-lock area; the restore brings it back once
    // a software with its tag is in the flash again.
    EXPECT_EQ(Feed({0xE2}), (Bytes{0xC0, 0xC5, 0xF6}));
    EXPECT_EQ(Feed(Cat({{0xE1}, Marker()})), Cat({{0xC0, 0xC4}, Be32(0)}));
    EXPECT_EQ(Feed(Cat({{0xE7}, Marker()})), (Bytes{0xC0, 0xC8, 0x02}));  // tag not found
    const Bytes software = Cat({Bytes(0x400, 0x11), block});
    EXPECT_EQ(Program(kBase, software), Cat({{0xCB, 0xCC}, Le32(Sum(software))}));
    EXPECT_EQ(Feed(Cat({{0xE7}, Marker()})), (Bytes{0xC0, 0xC8, 0x00}));
    EXPECT_EQ(Read(kBase + kFlash - kSector, 256), Cat({{0xC0, 0xC7}, simlock, Le32(Sum(simlock))}));
    EXPECT_EQ(device_->control("fault simlock-status 3"), "OK");
    EXPECT_EQ(Feed(Cat({{0xE7}, Marker()})), (Bytes{0xC0, 0xC8, 0x03}));
}

TEST_F(LoaderTest, BlankSimlockAreaIsRestoredAsIt)
{
    Bytes flash(kFlash, 0xFF);
    const Bytes block = Cat({MarkerInFlash(), Be32(2), {0x02, 0x02}});
    std::copy(block.begin(), block.end(), flash.begin());
    WriteFlash(flash);
    Boot();
    const Bytes data = Pattern(256, 4);
    EXPECT_EQ(Program(kBase + kFlash - kSector, data), Cat({{0xCB, 0xCC}, Le32(Sum(data))}));
    EXPECT_EQ(Feed(Cat({{0xE7}, Marker()})), (Bytes{0xC0, 0xC8, 0x00}));
    EXPECT_EQ(Read(kBase + kFlash - kSector, 2), Cat({{0xC0, 0xC7, 0xFF, 0xFF}, Le32(0x1FE)}));
    EXPECT_EQ(device_->control("fault simlock-status 1"), "OK");
    EXPECT_EQ(Feed(Cat({{0xE7}, Marker()})), (Bytes{0xC0, 0xC8, 0x01}));
}

TEST_F(LoaderTest, SectorFaultsLastTheirCount)
{
    Boot();
    const Bytes data = Pattern(300, 2);
    const Bytes good = Cat({{0xCB, 0xCC}, Le32(Sum(data))});
    ASSERT_EQ(device_->control("fault checksum 3 2"), "OK");
    ASSERT_EQ(device_->control("fault sector-error 4 0x42"), "OK");
    EXPECT_EQ(device_->control("fault checksum"), "ERROR fault checksum SECTOR [COUNT]");
    EXPECT_EQ(device_->control("fault sector-error 4"), "ERROR fault sector-error SECTOR STATUS [COUNT]");
    for (int i = 0; i < 2; ++i) {
        const Bytes r = Program(kBase + 3 * kSector, data);
        ASSERT_EQ(r.size(), 6u);
        EXPECT_EQ(r[1], 0xCC);
        EXPECT_NE(r, good);
    }
    EXPECT_EQ(Program(kBase + 3 * kSector, data), good);
    EXPECT_EQ(Program(kBase + 4 * kSector, data), (Bytes{0xCB, 0xCD, 0x42}));
    EXPECT_EQ(Program(kBase + 4 * kSector, data), good);
    EXPECT_EQ(device_->control("sectors"), "OK 4");  // a wrong checksum still programs

    // A phone that is silent for a while hears and says nothing.
    EXPECT_EQ(device_->control("fault silence 2"), "OK");
    Tick(5);
    EXPECT_TRUE(Feed({0xE9}).empty());
    Tick(2100);
    EXPECT_EQ(Feed({0xE9}), Bytes{0xCA});
}

TEST_F(LoaderTest, Pcf5085LoaderErasesAndTakesBlocks)
{
    const uint32_t size = 20000;  // two full blocks and a short one
    simphone::BootOptions o;
    o.chip = "pcf5085";
    o.flashImage = path_;
    o.hasFlashId = true;
    o.manufacturer = 0x04;
    o.device = 0x95;
    WriteFlash(Bytes(4u << 20, 0x00));
    device_ = simphone::MakeBootDevice(o);
    ASSERT_EQ(device_->control("fault checksum 1"), "OK");
    Feed({0x44});
    Feed({0xC6, 0x03, 0x0E, 0x84, 0xD7, 0x06, 0xD7, 0x86});
    const Bytes start = Feed(Cat({{0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x40, 0x00, 0x99},
                                  {0x00, 0x03, 0x00, 0x20, 0x30, 0x00, 0x40, 0x03},
                                  Be32(size),
                                  {0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x60, 0x00}}));
    EXPECT_EQ(start, (Bytes{0xA0, 0x04, 0x95}));
    // Bytes sent while it erases are lost; the erase report comes by itself.
    EXPECT_TRUE(Feed({1, 2, 3}).empty());
    EXPECT_EQ(Tick(400), Bytes{0xF6});
    const Bytes image = Pattern(size, 9);
    for (uint32_t block = 0; block < 3; ++block) {
        const uint32_t at = block * 8192;
        const Bytes piece(image.begin() + at, image.begin() + std::min(size, at + 8192));
        const Bytes reply = Feed(piece);
        if (block == 1) {
            EXPECT_NE(reply, Le32(Sum(piece)));
        } else {
            EXPECT_EQ(reply, Le32(Sum(piece)));
        }
    }
    device_.reset();
    const Bytes flash = ReadFlash();
    EXPECT_EQ(Bytes(flash.begin(), flash.begin() + size), image);
    EXPECT_EQ(flash[size], 0x00);  // only what the software needs is erased

    // A failure status: the offset of the failing byte, then the status.
    device_ = simphone::MakeBootDevice(o);
    ASSERT_EQ(device_->control("fault sector-error 0 5"), "OK");
    Feed({0x44});
    Feed({0xC6, 0x03, 0x0E, 0x84, 0xD7, 0x06, 0xD7, 0x86});
    Feed(Cat({{0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x40, 0x00, 0x99},
              {0x00, 0x03, 0x00, 0x20, 0x30, 0x00, 0x40, 0x03},
              Be32(size),
              {0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x60, 0x00}}));
    EXPECT_EQ(Tick(400), Bytes{0xF6});
    EXPECT_EQ(Feed(Bytes(image.begin(), image.begin() + 8192)), (Bytes{0x00, 0x10, 0x00, 0x05}));
}

}  // namespace

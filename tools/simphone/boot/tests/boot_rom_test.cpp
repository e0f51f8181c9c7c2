// The boot ROM and resident loader as a client sees them, byte by byte.
#include "boot_mode.h"
#include "flash_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::unique_ptr<simphone::Device> Make(const std::string& chip, bool id = false, uint8_t man = 0, uint8_t dev = 0)
{
    simphone::BootOptions o;
    o.chip = chip;
    o.hasFlashId = id;
    o.manufacturer = man;
    o.device = dev;
    return simphone::MakeBootDevice(o);
}

Bytes Feed(simphone::Device& d, const Bytes& in, uint32_t now = 1000)
{
    Bytes out;
    d.receive(in, out);
    d.tick(now, out);
    return out;
}

const Bytes kType4Setup = {0xC6, 0x80, 0xD6, 0x00, 0x07, 0x00, 0x07, 0x80,  // chip selects
                           0x00, 0x03, 0xFF, 0xFF, 0x80, 0x02, 0x80, 0x01, 0x01, 0x00};
const Bytes kLoadAndJump = {0x00, 0x03, 0, 0, 0, 0, 0x40, 0x02, 0xAA, 0xBB, 0xCC,  // 3-byte program at 0
                            0x00, 0x03, 0, 0, 0, 0, 0x60, 0x00};

TEST(BootRom, AcknowledgesPeriodicallyUntilD)
{
    struct Case {
        const char* chip;
        uint8_t ack;
    };
    for (const auto& c :
         {Case{"pcf5085", 0xCC}, Case{"pcf5086", 0x28}, Case{"pcf5087", 0xEB}, Case{"pcf5087-uart1", 0x49}}) {
        auto d = Make(c.chip);
        ASSERT_NE(d, nullptr) << c.chip;
        Bytes out;
        for (uint32_t t = 0; t <= 100; t += 5)
            d->tick(t, out);
        EXPECT_EQ(out, Bytes(6, c.ack)) << c.chip;  // every 20 ms
        out.clear();
        d->receive(Bytes{0x12, 0x44}, out);
        EXPECT_EQ(out.front(), 0x44) << c.chip;  // the "D" is answered
        out.clear();
        for (uint32_t t = 200; t <= 400; t += 5)
            d->tick(t, out);
        EXPECT_TRUE(out.empty()) << c.chip;
    }
    EXPECT_EQ(Make("pcf9999"), nullptr);
}

TEST(BootRom, LoadsAndStartsTheLoader)
{
    auto d = Make("pcf5087");
    EXPECT_EQ(Feed(*d, {0x44}), Bytes{0x44});
    EXPECT_TRUE(Feed(*d, kType4Setup).empty());
    EXPECT_EQ(d->control("status"), "OK state=commands variant=4");
    // The program arrives split across reads.
    EXPECT_TRUE(Feed(*d, Bytes(kLoadAndJump.begin(), kLoadAndJump.begin() + 8)).empty());
    const Bytes start = Feed(*d, Bytes(kLoadAndJump.begin() + 8, kLoadAndJump.end()));
    EXPECT_EQ(start, (Bytes{0xA0, 0x00, 0x00, 0xC2, 0x89, 0x18}));
    EXPECT_EQ(d->control("peek 0 3"), "OK AA BB CC");
    EXPECT_EQ(d->control("peek 0 4"), "ERROR not written");
    EXPECT_EQ(d->control("register 0xFFFF8002"), "OK 01 00");
    EXPECT_EQ(d->control("status"), "OK state=loader variant=4");
}

TEST(BootRom, RefusesWhatTheChipDoesNotHave)
{
    struct Case {
        const char* chip;
        Bytes chipSelects;
    };
    const Case cases[] = {
        {"pcf5085", {0xC6, 0x80, 0xD6, 0x00, 0x07, 0x00, 0x07, 0x80}},  // a PCF5087 set-up
        {"pcf5087", {0xC6, 0x03, 0x0E, 0x84, 0xD7, 0x06, 0xD7, 0x86}},  // the PCF5085 set-up
        {"pcf5087", {0xC6, 0x88, 0xD6, 0x00, 0x07, 0x00, 0x07, 0x80}},  // a fixed bit wrong
    };
    for (const auto& c : cases) {
        auto d = Make(c.chip);
        Feed(*d, {0x44});
        Feed(*d, c.chipSelects);
        EXPECT_EQ(d->control("status"), "OK state=halted variant=-1") << c.chip;
        EXPECT_TRUE(Feed(*d, kLoadAndJump).empty());
    }
    // A jump where nothing was loaded, and an unknown command byte.
    auto d = Make("pcf5087");
    Feed(*d, {0x44});
    Feed(*d, kType4Setup);
    EXPECT_TRUE(Feed(*d, {0x00, 0x03, 0, 0, 0x10, 0, 0x60, 0x00}).empty());
    EXPECT_EQ(d->control("status"), "OK state=halted variant=4");
    d = Make("pcf5087");
    Feed(*d, {0x44});
    Feed(*d, kType4Setup);
    Feed(*d, {0x33});
    EXPECT_EQ(d->control("status"), "OK state=halted variant=4");
}

TEST(BootRom, Pcf5085LoaderAndUart1Loader)
{
    auto d = Make("pcf5085", true, 0x01, 0xE3);
    Feed(*d, {0x44});
    Feed(*d, {0xC6, 0x03, 0x0E, 0x84, 0xD7, 0x06, 0xD7, 0x86});
    const Bytes start = Feed(*d, {0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x40, 0x00, 0x99,  //
                                  0x00, 0x03, 0x00, 0x20, 0x30, 0x00, 0x40, 0x03, 0,    0, 1, 0,  //
                                  0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x60, 0x00});
    EXPECT_EQ(start, (Bytes{0xA0, 0x01, 0xE3, 0x01}));  // no 5087 bytes; a third id byte
    EXPECT_EQ(d->control("peek 0x203000 4"), "OK 00 00 01 00");

    auto u = Make("pcf5087-uart1", true, 0x20, 0xCB);
    EXPECT_EQ(Feed(*u, {0x44}), (Bytes{0x44, 0xA0, 0x00, 0x00, 0xC2, 0x20, 0xCB}));
}

TEST(BootRom, FaultsAndLoaderCommands)
{
    auto d = Make("pcf5087");
    EXPECT_EQ(d->control("fault silent"), "OK");
    Bytes out;
    d->tick(0, out);
    d->receive(Bytes{0x44}, out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(d->control("fault none"), "OK");
    EXPECT_EQ(d->control("fault melt"), "ERROR unknown fault");
    EXPECT_EQ(d->control("peek zz 1"), "ERROR bad argument");
    EXPECT_EQ(d->control("jump"), "ERROR unknown command");

    EXPECT_EQ(d->control("fault bad-identification"), "OK");
    Feed(*d, {0x44});
    Feed(*d, kType4Setup);
    EXPECT_EQ(Feed(*d, kLoadAndJump), (Bytes{0xA0, 0x00, 0x00, 0x55, 0x89, 0x18}));
    // The loader answers the line check and switches off.
    EXPECT_EQ(Feed(*d, {0xE9}), Bytes{0xCA});
    EXPECT_FALSE(d->poweredOff());
    EXPECT_EQ(Feed(*d, {0x42, 0xE8}), Bytes{0xC0});
    EXPECT_TRUE(d->poweredOff());
    EXPECT_TRUE(Feed(*d, {0xE9}).empty());
}

TEST(FlashImage, FileIsTheFlashFromItsBase)
{
    char pattern[] = "/tmp/simphone-flash-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/flash.img";

    simphone::boot::FlashImage missing(path, 1024);
    EXPECT_EQ(missing.size(), 1024u);
    EXPECT_EQ(missing.bytes(), Bytes(1024, 0xFF));

    std::ofstream(path, std::ios::binary) << "ABC";
    simphone::boot::FlashImage shorter(path, 8);
    EXPECT_EQ(shorter.bytes(), (Bytes{'A', 'B', 'C', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    shorter.bytes()[7] = 0x00;
    ASSERT_TRUE(shorter.Save());
    simphone::boot::FlashImage again(path, 4);
    EXPECT_EQ(again.bytes(), (Bytes{'A', 'B', 'C', 0xFF}));  // a longer file is cut

    EXPECT_EQ(simphone::boot::KnownFlashSize(0x89, 0x18), 16u << 20);
    EXPECT_EQ(simphone::boot::KnownFlashSize(0x42, 0x42), 0u);
    std::remove(path.c_str());
    ::rmdir(pattern);
}

}  // namespace

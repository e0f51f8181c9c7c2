#include "flash_sample.h"

#include <algorithm>
#include <fstream>

namespace simphone {

namespace {

constexpr size_t kIndexBytes = 884;
constexpr size_t kRecordBytes = 88;
constexpr char kSampleName[] = "Sample Tune";
constexpr int kSampleFrames = 70;  // about five seconds

void PutBe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

}  // namespace

std::vector<uint8_t> SilentMp3(int frames)
{
    // MPEG 2.5 layer III, no CRC; 32 kbit/s, 8000 Hz, no padding; mono.
    // 72 x 32000 / 8000 = 288 bytes a frame; side information and main
    // data all zero decode as silence.
    constexpr uint8_t kHeader[4] = {0xFF, 0xE3, 0x48, 0xC0};
    constexpr size_t kFrameBytes = 288;
    std::vector<uint8_t> out(kFrameBytes * static_cast<size_t>(std::max(frames, 0)), 0);
    for (size_t at = 0; at < out.size(); at += kFrameBytes)
        std::copy(std::begin(kHeader), std::end(kHeader), out.begin() + static_cast<std::ptrdiff_t>(at));
    return out;
}

std::vector<uint8_t> Mp3IndexRecord(int k, const std::string& name, uint32_t size)
{
    std::vector<uint8_t> r(kRecordBytes, 0);
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 39), r.begin() + 31);
    r[71] = static_cast<uint8_t>(k + 1);
    r[73] = 1;
    PutBe32(&r[76], 0x800000u + static_cast<uint32_t>(k) * kMp3SlotBytes);
    PutBe32(&r[80], std::min(size, kMp3SlotBytes));
    uint32_t sum = 0;
    for (size_t i = 0; i < 84; ++i)
        sum += r[i];
    for (int i = 0; i < 4; ++i)
        r[84 + i] = static_cast<uint8_t>(sum >> (8 * i));
    return r;
}

bool WriteSampleFlash(const std::filesystem::path& dir, std::string& error)
{
    const std::vector<uint8_t> sound = SilentMp3(kSampleFrames);
    std::vector<uint8_t> image(kMp3SlotOffset + sound.size(), 0xFF);
    // The index: slot 1 used, slots 2-5 empty records with their numbers.
    std::fill_n(image.begin() + kMp3IndexOffset, kIndexBytes, 0);
    for (int k = 0; k < 5; ++k) {
        std::vector<uint8_t> record = Mp3IndexRecord(k, kSampleName, static_cast<uint32_t>(sound.size()));
        if (k > 0) {
            std::fill(record.begin(), record.end(), 0);
            record[71] = static_cast<uint8_t>(k + 1);
            record[84] = static_cast<uint8_t>(k + 1);  // the checksum of a record holding only its number
        }
        std::copy(record.begin(), record.end(), image.begin() + kMp3IndexOffset + k * kRecordBytes);
    }
    std::copy(sound.begin(), sound.end(), image.begin() + kMp3SlotOffset);
    const std::filesystem::path file = dir / kFlashImageName;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!out.flush())
        return error = "cannot write " + file.string(), false;
    return true;
}

}  // namespace simphone

#include "flash_image.h"

#include <fstream>

namespace simphone::boot {

namespace {
struct KnownFlash {
    uint8_t manufacturer;
    uint8_t device;
    uint32_t size;
};

constexpr KnownFlash kKnownFlashes[] = {
    {0x89, 0x18, 16u << 20},  // 128 sectors of 128 KiB: the sample phone
    {0x89, 0x17, 8u << 20},  {0x89, 0xC5, 4u << 20}, {0x89, 0xC4, 4u << 20}, {0x01, 0x49, 2u << 20},
    {0x01, 0x53, 4u << 20},  {0x01, 0xE3, 8u << 20}, {0x01, 0xE4, 8u << 20}, {0x04, 0x95, 4u << 20},
    {0x04, 0x28, 4u << 20},  {0x20, 0xB7, 8u << 20}, {0x20, 0xCB, 4u << 20}, {0x2C, 0x16, 4u << 20},
    {0x98, 0x9C, 4u << 20},  {0x07, 0x01, 1u << 20},
};
}  // namespace

uint32_t KnownFlashSize(uint8_t manufacturer, uint8_t device)
{
    for (const auto& f : kKnownFlashes)
        if (f.manufacturer == manufacturer && f.device == device)
            return f.size;
    return 0;
}

FlashImage::FlashImage(std::string path, uint32_t size) : path_(std::move(path)), size_(size) { }

std::vector<uint8_t>& FlashImage::bytes()
{
    if (loaded_)
        return bytes_;
    loaded_ = true;
    bytes_.assign(size_, 0xFF);
    if (!path_.empty()) {
        std::ifstream in(path_, std::ios::binary);
        if (in)
            in.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    }
    return bytes_;
}

bool FlashImage::Save()
{
    if (path_.empty())
        return true;
    (void)bytes();
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    return static_cast<bool>(out);
}

}  // namespace simphone::boot

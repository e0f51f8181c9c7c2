// The flash memory behind the resident loader, kept in a file: offset 0 of
// the file is the flash base address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simphone::boot {

// Size in bytes of the flash chips the emulator knows (0 for others).
uint32_t KnownFlashSize(uint8_t manufacturer, uint8_t device);

class FlashImage {
public:
    // A flash of `size` bytes holding the file at path (when it exists); a
    // missing or shorter file leaves the rest erased (0xFF), a longer one is
    // cut. The file is read on first use of the contents.
    FlashImage(std::string path, uint32_t size);

    [[nodiscard]] uint32_t size() const { return size_; }
    [[nodiscard]] std::vector<uint8_t>& bytes();
    // Writes the image back to its file (if it has one); false on failure.
    bool Save();

private:
    std::string path_;
    uint32_t size_;
    bool loaded_ = false;
    std::vector<uint8_t> bytes_;
};

}  // namespace simphone::boot

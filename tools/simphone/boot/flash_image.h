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
    // Reads path (when it exists) into a flash of `size` bytes; a missing or
    // shorter file leaves the rest erased (0xFF). A longer file is cut.
    FlashImage(std::string path, uint32_t size);

    [[nodiscard]] uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    [[nodiscard]] const std::vector<uint8_t>& bytes() const { return bytes_; }
    [[nodiscard]] std::vector<uint8_t>& bytes() { return bytes_; }
    // Writes the image back to its file (if it has one); false on failure.
    bool Save() const;

private:
    std::string path_;
    std::vector<uint8_t> bytes_;
};

}  // namespace simphone::boot

#include "mobile/shell/core/cable_detect.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace shell {

namespace fs = std::filesystem;

namespace {

[[nodiscard]] std::string ReadWord(const fs::path& file)
{
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

// k of a "ttyUSBk" directory name, if it is one.
[[nodiscard]] std::optional<int> TtyUsbIndex(const std::string& name)
{
    constexpr std::string_view prefix = "ttyUSB";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    int k = -1;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    auto [ptr, ec] = std::from_chars(first, last, k);
    if (ec != std::errc() || ptr != last || k < 0 || k > 254)
        return std::nullopt;
    return k;
}

// The serial port below a USB device: its interfaces hold the ttyUSBk node
// (directly, or under a "tty" directory on some kernels).
[[nodiscard]] std::optional<int> FindTtyUsb(const fs::path& device)
{
    std::error_code ec;
    fs::recursive_directory_iterator it(device, fs::directory_options::none, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (it.depth() > 2) {
            it.disable_recursion_pending();
            continue;
        }
        if (auto k = TtyUsbIndex(it->path().filename().string()))
            return k;
    }
    return std::nullopt;
}

}  // namespace

std::string DetectCable(const std::string& sysfsRoot)
{
    const fs::path devices = fs::path(sysfsRoot) / "bus" / "usb" / "devices";
    std::error_code ec;
    fs::directory_iterator it(devices, ec);
    if (ec)
        return {};
    std::vector<fs::path> cables;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (name.find(':') != std::string::npos)  // an interface, not a device
            continue;
        if (ReadWord(entry.path() / "idVendor") == "067b" && ReadWord(entry.path() / "idProduct") == "2303")
            cables.push_back(entry.path());
    }
    if (cables.empty())
        return std::string(kNoCable);
    if (cables.size() > 1)
        return std::string(kTooManyCables);
    const auto k = FindTtyUsb(cables.front());
    if (!k)
        return {};
    return "COM" + std::to_string(*k + 1);
}

std::string DetectCable()
{
    const char* root = std::getenv("TELVANE_SYSFS_ROOT");
    return DetectCable(root && *root ? root : "/sys");
}

std::optional<int> PortNumber(std::string_view detection)
{
    if (detection.size() <= 3 || detection.substr(0, 3) != "COM")
        return std::nullopt;
    int n = 0;
    const char* first = detection.data() + 3;
    const char* last = detection.data() + detection.size();
    auto [ptr, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || ptr != last || n < 1 || n > 255)
        return std::nullopt;
    return n;
}

std::string PortDevicePath(int n)
{
    if (const char* dir = std::getenv("TELVANE_SERIAL_DIR"); dir && *dir)
        return std::string(dir) + "/COM" + std::to_string(n);
    return "/dev/ttyUSB" + std::to_string(n - 1);
}

}  // namespace shell

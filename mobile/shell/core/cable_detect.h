#pragma once
// Detection of the phone's USB-serial cable (USB vendor 067b, product 2303).
//
// Walks <root>/bus/usb/devices: every USB device whose idVendor/idProduct
// read 067b/2303 counts. With exactly one, its ttyUSBk child names the port
// "COM(k+1)". The root is "/sys" unless $TELVANE_SYSFS_ROOT says otherwise,
// so tests can fake zero, one or two cables.

#include <optional>
#include <string>
#include <string_view>

namespace shell {

inline constexpr std::string_view kNoCable = "ERROR_NON";
inline constexpr std::string_view kTooManyCables = "ERROR_TOO_MANY";

// "COMn", "ERROR_NON", "ERROR_TOO_MANY", or "" when the device list cannot
// be read or the single cable has no serial port (yet).
[[nodiscard]] std::string DetectCable(const std::string& sysfsRoot);
// Same, with the root from the environment.
[[nodiscard]] std::string DetectCable();

// The port number of a "COMn" detection result (1..255), or nothing.
[[nodiscard]] std::optional<int> PortNumber(std::string_view detection);

// The device file of COMn: $TELVANE_SERIAL_DIR/COMn when set, else
// /dev/ttyUSB(n-1).
[[nodiscard]] std::string PortDevicePath(int n);

}  // namespace shell

// port_list_sysfs.cpp: the ports of a Linux system, read from sysfs: /sys/class/tty/<name> and, for
// each, the device behind it and that device's ancestors. Reads attributes only; opens no port.
// KV_SYSFS_ROOT, when set, replaces /sys (the tests give trees of their own).
#include "link/posix/port_list_sysfs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "utf_convert.h"

namespace kv::link {
namespace {

namespace fs = std::filesystem;

// An attribute's first line, without its line end; nullopt when missing or unreadable.
std::optional<std::string> Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

std::u16string Text(const std::optional<std::string>& value) { return value ? Utf16FromUtf8(*value) : u""; }

// A link's target's last part ("cp210x" for .../drivers/cp210x); empty when there is no link.
std::string LinkName(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  return error ? std::string() : target.filename().string();
}

int32_t HexId(const std::optional<std::string>& value) {
  if (!value || value->empty() || value->size() > 4) return -1;
  char* end = nullptr;
  const long id = std::strtol(value->c_str(), &end, 16);
  return *end == '\0' ? static_cast<int32_t>(id) : -1;
}

std::u16string UpperCase(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return text;
}

// The USB device a port hangs from: the nearest ancestor of its device with idVendor.
std::optional<fs::path> UsbDeviceOf(fs::path device, const fs::path& devicesRoot) {
  for (int depth = 0; depth < 8 && device.has_relative_path() && device != devicesRoot; ++depth) {
    if (fs::exists(device / "idVendor")) return device;
    device = device.parent_path();
  }
  return std::nullopt;
}

std::optional<PortDescription> Describe(const fs::path& entry, const fs::path& sysRoot) {
  const std::string tty = entry.filename().string();
  PortDescription port;
  port.name = Utf16FromUtf8("/dev/" + tty);
  if (tty.rfind("rfcomm", 0) == 0) {
    // Bound RFCOMM ports have no device link; the remote address (lower case) and channel are theirs.
    const std::optional<std::string> address = Attribute(entry / "address");
    if (!address) return std::nullopt;
    port.transport = Transport::kBluetooth;
    port.bluetoothAddress = UpperCase(Text(address));
    const std::optional<std::string> channel = Attribute(entry / "channel");
    port.description = u"Bluetooth serial port to " + port.bluetoothAddress + (channel ? u" channel " + Text(channel) : u"");
    return port;
  }
  // Consoles, virtual terminals and pseudo-terminals have no device behind them.
  std::error_code error;
  const fs::path deviceLink = entry / "device";
  if (!fs::is_symlink(deviceLink, error)) return std::nullopt;
  const fs::path device = fs::canonical(deviceLink, error);
  if (error) return std::nullopt;
  std::string driver = LinkName(device / "driver");
  // Kernels from 6.5 put a port and a controller device of the serial core (drivers "port" and
  // "ctrl") between a UART and its tty: the UART's own driver is two levels up.
  if (driver == "port" && LinkName(device.parent_path() / "driver") == "ctrl")
    driver = LinkName(device.parent_path().parent_path() / "driver");
  // A device without a driver stands for no hardware yet.
  if (driver.empty()) return std::nullopt;
  if (const std::optional<fs::path> usb = UsbDeviceOf(device, fs::weakly_canonical(sysRoot / "devices"))) {
    port.transport = Transport::kUsb;
    port.usbVendorId = HexId(Attribute(*usb / "idVendor"));
    port.usbProductId = HexId(Attribute(*usb / "idProduct"));
    port.usbSerialNumber = Text(Attribute(*usb / "serial"));
    port.manufacturer = Text(Attribute(*usb / "manufacturer"));
    port.product = Text(Attribute(*usb / "product"));
    // The interface's own string where the device names its interfaces (composite devices do).
    std::optional<std::string> interface = Attribute(device / "interface");
    if (!interface) interface = Attribute(device.parent_path() / "interface");
    port.description = interface ? Text(interface) : !port.product.empty() ? port.product : Utf16FromUtf8(driver);
    return port;
  }
  // Kernels register placeholder 8250 ports (type 0, an unknown UART) whether or not a UART is there.
  const std::optional<std::string> type = Attribute(entry / "type");
  if (type && *type == "0") return std::nullopt;
  port.transport = Transport::kNative;
  port.description = Utf16FromUtf8("Built-in serial port (" + driver + ")");
  return port;
}

}  // namespace

std::vector<PortDescription> ListSysfsPorts(const std::string& sysRoot) {
  std::vector<PortDescription> ports;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(sysRoot) / "class" / "tty", error)) {
    if (std::optional<PortDescription> port = Describe(entry.path(), sysRoot)) ports.push_back(std::move(*port));
  }
  return ports;
}

std::vector<PortDescription> ListNativePorts() {
  const char* root = std::getenv("KV_SYSFS_ROOT");
  return ListSysfsPorts(root != nullptr && *root != '\0' ? root : "/sys");
}

}  // namespace kv::link

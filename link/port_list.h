// port_list.h: the serial ports this computer has, as its system describes them (boundary: the
// record and the one call; one implementation per platform, in posix/ and win32/). Never opens a port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::link {

// As KVTransport.
enum class Transport : int32_t { kNative = 0, kUsb = 1, kBluetooth = 2, kOther = 3 };

struct PortDescription {
  std::u16string name;         // what KVOpenComport takes: "/dev/ttyUSB0", "COM5"
  std::u16string description;  // the system's words for it
  Transport transport = Transport::kOther;
  int32_t usbVendorId = -1;    // 0 to 65535 for USB, else -1
  int32_t usbProductId = -1;
  std::u16string usbSerialNumber;
  std::u16string manufacturer;
  std::u16string product;
  std::u16string bluetoothAddress;  // "00:80:E1:9D:74:75", upper case; empty when not Bluetooth
  friend bool operator==(const PortDescription&, const PortDescription&) = default;
};

// The ports of this computer with a device behind them, in no particular order.
std::vector<PortDescription> ListNativePorts();

}  // namespace kv::link

// device_ids_win32.cpp: reading a port device's instance id ("bus\device\instance") and hardware ids.
// Pure text rules; the calls that fetch the ids are port_list_win32.cpp's.
#include "link/win32/device_ids_win32.h"

#include <algorithm>
#include <optional>

namespace kv::link::win32 {
namespace {

constexpr size_t npos = std::u16string_view::npos;

struct IdParts {
  std::u16string bus;  // upper case: Windows compares enumerator names without regard to case
  std::u16string_view device;
  std::u16string_view instance;
};

std::u16string Upper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return upper;
}

std::optional<IdParts> Split(std::u16string_view id) {
  const size_t first = id.find(u'\\');
  const size_t last = id.rfind(u'\\');
  if (first == npos || last == first) return std::nullopt;
  return IdParts{Upper(id.substr(0, first)), id.substr(first + 1, last - first - 1), id.substr(last + 1)};
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// The four hex digits after tag ("VID_10C4" gives 0x10C4); -1 when absent or not hex.
int32_t HexAfter(std::u16string_view text, std::u16string_view tag) {
  const size_t at = text.find(tag);
  if (at == npos || text.size() < at + tag.size() + 4) return -1;
  int32_t value = 0;
  for (char16_t c : text.substr(at + tag.size(), 4)) {
    const int digit = HexDigit(c);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// "VID_xxxx" and "PID_xxxx" anywhere in text, whatever joins them: "&" in USB ids, "+" in FTDI's.
bool FindUsbIds(std::u16string_view text, DeviceIdentity& identity) {
  const std::u16string upper = Upper(text);
  const int32_t vendor = HexAfter(upper, u"VID_");
  const int32_t product = HexAfter(upper, u"PID_");
  if (vendor < 0 || product < 0) return false;
  identity.usbVendorId = vendor;
  identity.usbProductId = product;
  return true;
}

// Windows makes up an instance part with '&' in it ("5&2A3B4C&0&2") for a device without a serial number,
// and for every interface of a composite device.
std::u16string RealSerial(std::u16string_view part) {
  return part.empty() || part.find(u'&') != npos ? std::u16string() : std::u16string(part);
}

// FTDI's driver names its ports "VID_0403+PID_6001+A50285BIA": the device's serial number with the
// channel's letter after it ('A' for the first). Factory serial numbers have 8 characters, so a ninth that
// is a letter is the channel's; a serial number programmed to another length is given as it stands.
std::u16string FtdiSerial(std::u16string_view device) {
  const size_t plus = device.rfind(u'+');
  if (plus == npos) return {};
  std::u16string_view serial = device.substr(plus + 1);
  if (Upper(serial).rfind(u"PID_", 0) == 0) return {};
  if (serial.size() == 9 && serial.back() >= u'A' && serial.back() <= u'Z') serial.remove_suffix(1);
  return RealSerial(serial);
}

// A port of the Bluetooth enumerator ends "...&0080E19D7475_C00000000": the remote device's address
// between the last '&' and the '_'. The incoming port, which waits for any device, has an address of zeros.
std::u16string BluetoothAddress(std::u16string_view instance) {
  const size_t ampersand = instance.rfind(u'&');
  std::u16string_view digits = ampersand == npos ? instance : instance.substr(ampersand + 1);
  digits = digits.substr(0, digits.find(u'_'));
  if (digits.size() != 12 || !std::all_of(digits.begin(), digits.end(), [](char16_t c) { return HexDigit(c) >= 0; }))
    return {};
  if (digits.find_first_not_of(u'0') == npos) return {};
  const std::u16string upper = Upper(digits);
  std::u16string address;
  for (size_t i = 0; i < upper.size(); i += 2) {
    if (i > 0) address += u':';
    address += upper.substr(i, 2);
  }
  return address;
}

}  // namespace

DeviceIdentity IdentifyDevice(std::u16string_view instanceId, const std::vector<std::u16string>& hardwareIds) {
  DeviceIdentity identity;
  const std::optional<IdParts> parts = Split(instanceId);
  if (!parts) return identity;
  if (parts->bus == u"BTHENUM") {
    identity.transport = Transport::kBluetooth;
    identity.bluetoothAddress = BluetoothAddress(parts->instance);
    return identity;
  }
  // The PC's own ports are the ones its firmware describes ("ACPI\PNP0501\1"); a card's or a virtual
  // driver's port is some other kind.
  if (parts->bus == u"ACPI") {
    identity.transport = Transport::kNative;
    return identity;
  }
  bool found = FindUsbIds(parts->device, identity);
  for (size_t i = 0; !found && i < hardwareIds.size(); ++i) found = FindUsbIds(hardwareIds[i], identity);
  if (!found) return identity;
  identity.transport = Transport::kUsb;
  if (parts->bus == u"USB") {
    identity.isUsbDevice = Upper(parts->device).find(u"&MI_") == npos;  // "&MI_00": an interface's number
    identity.usbSerialNumber = RealSerial(parts->instance);
  } else if (parts->bus == u"FTDIBUS") {
    identity.usbSerialNumber = FtdiSerial(parts->device);
  }
  return identity;
}

std::u16string UsbSerialFromInstanceId(std::u16string_view instanceId) {
  const std::optional<IdParts> parts = Split(instanceId);
  return parts && parts->bus == u"USB" ? RealSerial(parts->instance) : std::u16string();
}

}  // namespace kv::link::win32

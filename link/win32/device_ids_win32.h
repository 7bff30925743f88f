// device_ids_win32.h: what the identifiers Windows gives a port's device say about it: the bus, the USB
// vendor and product ids and serial number, the Bluetooth address. Text in, values out: no system call and
// no Win32 type, so these rules build and read the same anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/port_list.h"

namespace kv::link::win32 {

struct DeviceIdentity {
  Transport transport = Transport::kOther;
  int32_t usbVendorId = -1;
  int32_t usbProductId = -1;
  std::u16string usbSerialNumber;   // empty when the port's own instance id carries none
  std::u16string bluetoothAddress;  // "00:80:E1:9D:74:75"
  // USB only: the port's device node is the USB device itself. Otherwise the USB device is its parent: the
  // port is an interface of a composite device, or a port a vendor's bus driver made for the device.
  bool isUsbDevice = false;
};

// From a device's instance id ("USB\VID_10C4&PID_EA60\0001") and its hardware ids, which give the USB ids
// when the instance id does not.
DeviceIdentity IdentifyDevice(std::u16string_view instanceId, const std::vector<std::u16string>& hardwareIds);

// The serial number in a USB device's instance id ("USB\VID_2341&PID_8036\HIDPC" gives "HIDPC"); empty for
// the ids Windows makes up: an interface's, and a device's without a serial number.
std::u16string UsbSerialFromInstanceId(std::u16string_view instanceId);

}  // namespace kv::link::win32

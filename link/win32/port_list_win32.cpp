// port_list_win32.cpp: the ports of a Windows system: the present devices of the Ports class, and the modems
// that are serial ports, with the texts SetupAPI keeps for them. Every call goes through
// port_entry_points_win32.h; what the device ids mean is device_ids_win32.cpp's. Opens no port.
#include <windows.h>
// initguid.h before the headers that declare the class GUIDs and property keys, so that this file defines them.
#include <initguid.h>

#include "link/win32/port_entry_points_win32.h"
// The entry points' headers first: the GUID and property key headers rely on their types.
#include <devguid.h>
#include <devpkey.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "link/port_list.h"
#include "link/win32/device_ids_win32.h"

namespace kv::link::win32 {
namespace {

constexpr DWORD kIdUnits = MAX_DEVICE_ID_LEN + 1;
// Room for any text a device keeps (names, descriptions, its list of hardware ids); two more units stay zero,
// so whatever the call wrote ends in a terminator, and a list in an empty text.
constexpr DWORD kTextUnits = 1024;

const PortEntryPoints& Calls() { return PortListEntryPoints(); }

struct ListDestroyer {
  void operator()(void* list) const { Calls().destroyDeviceInfoList(list); }
};
using DeviceList = std::unique_ptr<void, ListDestroyer>;

struct KeyCloser {
  void operator()(HKEY key) const { Calls().closeKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// Up to the first terminator.
std::u16string Text(const wchar_t* units) {
  std::u16string text;
  for (; *units != L'\0'; ++units) text += static_cast<char16_t>(*units);
  return text;
}

// Several texts one after the other, each ended by a zero, the last by two.
std::vector<std::u16string> Texts(const wchar_t* units) {
  std::vector<std::u16string> texts;
  for (std::u16string text = Text(units); !text.empty(); text = Text(units)) {
    units += text.size() + 1;
    texts.push_back(std::move(text));
  }
  return texts;
}

struct TextBuffer {
  wchar_t units[kTextUnits + 2] = {};
  PBYTE bytes() { return reinterpret_cast<PBYTE>(units); }
  static constexpr DWORD kBytes = kTextUnits * sizeof(wchar_t);
};

// A text property of a device (or a list of them); nullopt when the device has none.
std::optional<TextBuffer> Property(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  TextBuffer value;
  DWORD type = 0;
  if (!Calls().getRegistryProperty(list, &device, property, &type, value.bytes(), TextBuffer::kBytes, nullptr) ||
      (type != REG_SZ && type != REG_MULTI_SZ)) {
    return std::nullopt;
  }
  return value;
}

std::u16string TextProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  const std::optional<TextBuffer> value = Property(list, device, property);
  return value ? Text(value->units) : std::u16string();
}

// "COM5", from the value the port's driver keeps in the device's own registry key.
std::u16string PortName(HDEVINFO list, SP_DEVINFO_DATA& device) {
  const HKEY opened = Calls().openDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (opened == INVALID_HANDLE_VALUE || opened == nullptr) return {};
  const RegistryKey key(opened);
  TextBuffer value;
  DWORD type = 0;
  DWORD bytes = TextBuffer::kBytes;
  if (Calls().queryValue(opened, L"PortName", nullptr, &type, value.bytes(), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return Text(value.units);
}

std::u16string InstanceId(HDEVINFO list, SP_DEVINFO_DATA& device) {
  wchar_t id[kIdUnits + 1] = {};
  return Calls().getInstanceId(list, &device, id, kIdUnits, nullptr) ? Text(id) : std::u16string();
}

std::u16string DeviceId(DEVINST device) {
  wchar_t id[kIdUnits + 1] = {};
  return Calls().getDeviceId(device, id, kIdUnits, 0) == CR_SUCCESS ? Text(id) : std::u16string();
}

// What the device calls itself, as its bus reported it: a USB device's product string.
std::u16string BusReportedDescription(DEVINST device) {
  TextBuffer value;
  DEVPROPTYPE type = 0;
  ULONG bytes = TextBuffer::kBytes;
  if (Calls().getDevNodeProperty(device, &DEVPKEY_Device_BusReportedDeviceDesc, &type, value.bytes(), &bytes, 0) !=
          CR_SUCCESS ||
      type != DEVPROP_TYPE_STRING) {
    return {};
  }
  return Text(value.units);
}

std::optional<PortDescription> Describe(HDEVINFO list, SP_DEVINFO_DATA& device) {
  PortDescription port;
  port.name = PortName(list, device);
  // Printer ports share the class, and a modem without a serial port has no name at all.
  if (port.name.rfind(u"COM", 0) != 0) return std::nullopt;
  port.description = TextProperty(list, device, SPDRP_FRIENDLYNAME);
  if (port.description.empty()) port.description = TextProperty(list, device, SPDRP_DEVICEDESC);
  port.manufacturer = TextProperty(list, device, SPDRP_MFG);

  const std::optional<TextBuffer> hardwareIds = Property(list, device, SPDRP_HARDWAREID);
  const DeviceIdentity identity =
      IdentifyDevice(InstanceId(list, device), hardwareIds ? Texts(hardwareIds->units) : std::vector<std::u16string>());
  port.transport = identity.transport;
  port.usbVendorId = identity.usbVendorId;
  port.usbProductId = identity.usbProductId;
  port.usbSerialNumber = identity.usbSerialNumber;
  port.bluetoothAddress = identity.bluetoothAddress;
  if (identity.transport != Transport::kUsb) return port;

  std::optional<DEVINST> usbDevice;
  if (identity.isUsbDevice) {
    usbDevice = device.DevInst;
  } else if (DEVINST parent = 0; Calls().getParent(&parent, device.DevInst, 0) == CR_SUCCESS) {
    usbDevice = parent;
    if (port.usbSerialNumber.empty()) port.usbSerialNumber = UsbSerialFromInstanceId(DeviceId(parent));
  }
  if (usbDevice) port.product = BusReportedDescription(*usbDevice);
  return port;
}

}  // namespace

PortEntryPoints& PortListEntryPoints() {
  static PortEntryPoints entries{::SetupDiGetClassDevsW,
                                 ::SetupDiEnumDeviceInfo,
                                 ::SetupDiDestroyDeviceInfoList,
                                 ::SetupDiGetDeviceInstanceIdW,
                                 ::SetupDiGetDeviceRegistryPropertyW,
                                 ::SetupDiOpenDevRegKey,
                                 ::RegQueryValueExW,
                                 ::RegCloseKey,
                                 ::CM_Get_Parent,
                                 ::CM_Get_Device_IDW,
                                 ::CM_Get_DevNode_PropertyW};
  return entries;
}

}  // namespace kv::link::win32

namespace kv::link {

std::vector<PortDescription> ListNativePorts() {
  std::vector<PortDescription> ports;
  for (const GUID& setupClass : {GUID_DEVCLASS_PORTS, GUID_DEVCLASS_MODEM}) {
    const HDEVINFO opened = win32::Calls().getClassDevs(&setupClass, nullptr, nullptr, DIGCF_PRESENT);
    if (opened == INVALID_HANDLE_VALUE) continue;
    const win32::DeviceList list(opened);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; win32::Calls().enumDeviceInfo(opened, index, &device); ++index) {
      if (std::optional<PortDescription> port = win32::Describe(opened, device)) ports.push_back(std::move(*port));
    }
  }
  return ports;
}

}  // namespace kv::link

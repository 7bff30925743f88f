// port_list_win32_test.cpp: the Windows port lister over a computer of fake devices that its entry points
// answer for (SetupAPI lists, device texts, registry keys, device nodes), and over what Wine itself lists.
#include <windows.h>
// initguid.h before devpkey.h: this file defines the property key it compares with.
#include <initguid.h>

#include "link/win32/port_entry_points_win32.h"
// The entry points' headers first: the GUID and property key headers rely on their types.
#include <devguid.h>
#include <devpkey.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "link/port_list.h"

namespace kv::link::win32 {
namespace {

enum SetupClass { kPorts, kModems };
using Port = PortDescription;
constexpr Transport kNative = Transport::kNative;
constexpr Transport kUsb = Transport::kUsb;
constexpr Transport kBluetooth = Transport::kBluetooth;

struct FakeDevice {
  const char* name;
  SetupClass setupClass;
  const wchar_t* instanceId;
  const wchar_t* parentId;  // null: no parent
  std::vector<const wchar_t*> hardwareIds;
  const wchar_t* portName;      // null: the device's key has no PortName
  const wchar_t* friendlyName;  // null: the device has no such text
  const wchar_t* deviceDesc;
  const wchar_t* manufacturer;
  const wchar_t* ownBusText;                // the bus-reported description of the device's node
  const wchar_t* parentBusText;             // ... and of its parent's
  std::optional<PortDescription> expected;  // none: left out of the list
  bool present = true;
};

// clang-format off
const FakeDevice kComputer[] = {
  {"FtdiBusPort", kPorts, L"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", L"USB\\VID_0403&PID_6001\\A50285BI",
   {L"FTDIBUS\\COMPORT&VID_0403&PID_6001"}, L"COM5", L"USB Serial Port (COM5)", L"USB Serial Port", L"FTDI", nullptr,
   L"FT232R USB UART",
   Port{u"COM5", u"USB Serial Port (COM5)", kUsb, 0x0403, 0x6001, u"A50285BI", u"FTDI", u"FT232R USB UART", u""}},
  {"WholeUsbDevice", kPorts, L"USB\\VID_10C4&PID_EA60\\0001", L"USB\\ROOT_HUB30\\4&1A2B3C4D&0&0",
   {L"USB\\VID_10C4&PID_EA60&REV_0100"}, L"COM3", L"Silicon Labs CP210x USB to UART Bridge (COM3)", L"CP210x Bridge",
   L"Silicon Labs", L"CP2102 USB to UART Bridge Controller", L"USB Root Hub",
   Port{u"COM3", u"Silicon Labs CP210x USB to UART Bridge (COM3)", kUsb, 0x10C4, 0xEA60, u"0001",
        u"Silicon Labs", u"CP2102 USB to UART Bridge Controller", u""}},
  {"NoSerialNumberBehindHubWithOne", kPorts, L"USB\\VID_1A86&PID_7523\\5&2A3B4C&0&2",
   L"USB\\VID_2109&PID_2817\\000000000", {L"USB\\VID_1A86&PID_7523&REV_0263"}, L"COM4", L"USB-SERIAL CH340 (COM4)",
   L"USB-SERIAL CH340", L"wch.cn", L"USB Serial", L"USB2.0 Hub",
   Port{u"COM4", u"USB-SERIAL CH340 (COM4)", kUsb, 0x1A86, 0x7523, u"", u"wch.cn", u"USB Serial", u""}},
  {"CompositeInterface", kPorts, L"USB\\VID_2E8A&PID_000A&MI_00\\6&1B2C3D4E&0&0000",
   L"USB\\VID_2E8A&PID_000A\\E660583883724A32", {L"USB\\VID_2E8A&PID_000A&REV_0100&MI_00"}, L"COM8",
   L"USB Serial Device (COM8)", L"USB Serial Device", L"Microsoft", L"Board CDC", L"Pico",
   Port{u"COM8", u"USB Serial Device (COM8)", kUsb, 0x2E8A, 0x000A, u"E660583883724A32", u"Microsoft", u"Pico", u""}},
  {"VendorBusIdsInHardwareIds", kPorts, L"VCPBUS\\PORT_0\\7&1C2D3E4F&0&0", L"USB\\VID_067B&PID_2303\\8C12",
   {L"VCPBUS\\PORT_0", L"VCPBUS\\VID_067B&PID_2303&PORT_0"}, L"COM6", nullptr, L"Serial Adapter Port", L"Vendor",
   nullptr, L"USB-Serial Controller",
   Port{u"COM6", u"Serial Adapter Port", kUsb, 0x067B, 0x2303, u"8C12", u"Vendor", u"USB-Serial Controller", u""}},
  {"BluetoothOutgoing", kPorts,
   L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&3A2B1C0D&0&0080E19D7475_C00000000",
   L"BTH\\MS_BTHBRB\\6&1A2B&0&1", {L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002"}, L"COM10",
   L"Standard Serial over Bluetooth link (COM10)", L"Serial over Bluetooth", L"Microsoft", nullptr, nullptr,
   Port{u"COM10", u"Standard Serial over Bluetooth link (COM10)", kBluetooth, -1, -1, u"", u"Microsoft", u"",
        u"00:80:E1:9D:74:75"}},
  {"BluetoothIncoming", kPorts,
   L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\7&3A2B1C0D&0&000000000000_00000000", nullptr, {},
   L"COM11", L"Standard Serial over Bluetooth link (COM11)", nullptr, L"Microsoft", nullptr, nullptr,
   Port{u"COM11", u"Standard Serial over Bluetooth link (COM11)", kBluetooth, -1, -1, u"", u"Microsoft", u"", u""}},
  {"BuiltInUart", kPorts, L"ACPI\\PNP0501\\1", L"ACPI\\PNP0A08\\0", {L"ACPI\\PNP0501", L"*PNP0501"}, L"COM1",
   L"Communications Port (COM1)", L"Communications Port", L"(Standard port types)", nullptr, nullptr,
   Port{u"COM1", u"Communications Port (COM1)", kNative, -1, -1, u"", u"(Standard port types)", u"", u""}},
  {"PrinterPortLeftOut", kPorts, L"ACPI\\PNP0401\\1", nullptr, {L"*PNP0401"}, L"LPT1", L"ECP Printer Port (LPT1)",
   nullptr, L"(Standard port types)", nullptr, nullptr, std::nullopt},
  {"UnpluggedLeftOut", kPorts, L"USB\\VID_10C4&PID_EA60\\0002", nullptr, {}, L"COM9", L"CP210x (COM9)", nullptr,
   nullptr, nullptr, nullptr, std::nullopt, false},
  {"ModemWithPort", kModems, L"USB\\VID_0572&PID_1329\\24680246", nullptr, {L"USB\\VID_0572&PID_1329&REV_0100"},
   L"COM12", nullptr, L"Conexant USB CX93010 ACF Modem", L"Conexant", L"USB Modem", nullptr,
   Port{u"COM12", u"Conexant USB CX93010 ACF Modem", kUsb, 0x0572, 0x1329, u"24680246", u"Conexant",
        u"USB Modem", u""}},
};
// clang-format on
// The device nodes: 1 for the first device of the table, kParent + 1 for its parent.
constexpr DEVINST kParent = 1000;
int openLists = 0, openKeys = 0;

const FakeDevice& DeviceAt(DEVINST node) { return kComputer[node % kParent - 1]; }

// Texts one after the other, each ended by a zero, and a list by one more; fails when there is none or no room.
bool Answer(std::vector<const wchar_t*> texts, bool list, void* into, DWORD bytes) {
  if (texts.empty() || texts.front() == nullptr) return false;
  std::wstring value;
  for (const wchar_t* text : texts) (value += text) += L'\0';
  if (list) value += L'\0';
  if (value.size() * sizeof(wchar_t) > bytes) return false;
  std::memcpy(into, value.data(), value.size() * sizeof(wchar_t));
  return true;
}

// A list per class holds the present devices only, unless the lister asks for all.
HDEVINFO WINAPI GetClassDevs(const GUID* setupClass, PCWSTR, HWND, DWORD flags) {
  ++openLists;
  return reinterpret_cast<HDEVINFO>((*setupClass == GUID_DEVCLASS_MODEM ? 1 : 2) + (flags == DIGCF_PRESENT ? 0 : 4));
}
BOOL WINAPI EnumDeviceInfo(HDEVINFO list, DWORD index, PSP_DEVINFO_DATA data) {
  const auto token = reinterpret_cast<uintptr_t>(list);
  for (DWORD i = 0; i < std::size(kComputer) && data->cbSize == sizeof(SP_DEVINFO_DATA); ++i) {
    const FakeDevice& d = kComputer[i];
    if ((d.setupClass == kModems) == ((token & 1) != 0) && (d.present || (token & 4) != 0) && index-- == 0) {
      data->DevInst = i + 1;
      return TRUE;
    }
  }
  return FALSE;
}
BOOL WINAPI DestroyList(HDEVINFO) { return --openLists, TRUE; }
BOOL WINAPI GetInstanceId(HDEVINFO, PSP_DEVINFO_DATA data, PWSTR id, DWORD units, PDWORD) {
  return Answer({DeviceAt(data->DevInst).instanceId}, false, id, units * sizeof(wchar_t));
}
BOOL WINAPI GetProperty(HDEVINFO, PSP_DEVINFO_DATA data, DWORD property, PDWORD type, PBYTE value, DWORD bytes,
                        PDWORD) {
  const FakeDevice& d = DeviceAt(data->DevInst);
  *type = property == SPDRP_HARDWAREID ? REG_MULTI_SZ : REG_SZ;
  if (property == SPDRP_HARDWAREID) return Answer(d.hardwareIds, true, value, bytes);
  return Answer({property == SPDRP_FRIENDLYNAME ? d.friendlyName
                 : property == SPDRP_DEVICEDESC ? d.deviceDesc
                 : property == SPDRP_MFG        ? d.manufacturer
                                                : nullptr},
                false, value, bytes);
}
HKEY WINAPI OpenDevRegKey(HDEVINFO, PSP_DEVINFO_DATA data, DWORD scope, DWORD, DWORD keyType, REGSAM) {
  if (scope != DICS_FLAG_GLOBAL || keyType != DIREG_DEV) return static_cast<HKEY>(INVALID_HANDLE_VALUE);
  ++openKeys;
  return reinterpret_cast<HKEY>(static_cast<uintptr_t>(data->DevInst));
}
LONG WINAPI QueryValue(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE value, LPDWORD bytes) {
  *type = REG_SZ;
  const FakeDevice& d = DeviceAt(static_cast<DEVINST>(reinterpret_cast<uintptr_t>(key)));
  return std::wstring(name) == L"PortName" && Answer({d.portName}, false, value, *bytes) ? 0 : ERROR_FILE_NOT_FOUND;
}
LONG WINAPI CloseKey(HKEY) { return --openKeys, ERROR_SUCCESS; }
CONFIGRET WINAPI GetParent(PDEVINST parent, DEVINST node, ULONG) {
  *parent = node + kParent;
  return DeviceAt(node).parentId != nullptr ? CR_SUCCESS : CR_NO_SUCH_DEVNODE;
}
CONFIGRET WINAPI GetDeviceId(DEVINST node, PWCHAR id, ULONG units, ULONG) {
  return Answer({DeviceAt(node).parentId}, false, id, units * sizeof(wchar_t)) ? CR_SUCCESS : CR_BUFFER_SMALL;
}
CONFIGRET WINAPI GetDevNodeProperty(DEVINST node, const DEVPROPKEY* key, DEVPROPTYPE* type, PBYTE value, PULONG bytes,
                                    ULONG) {
  *type = DEVPROP_TYPE_STRING;
  const wchar_t* text = node > kParent ? DeviceAt(node).parentBusText : DeviceAt(node).ownBusText;
  const bool ok = IsEqualDevPropKey(*key, DEVPKEY_Device_BusReportedDeviceDesc) && Answer({text}, false, value, *bytes);
  return ok ? CR_SUCCESS : CR_NO_SUCH_VALUE;
}

class PortListWin32 : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = PortListEntryPoints(); }
  void TearDown() override { PortListEntryPoints() = saved_; }
  PortEntryPoints saved_{};
};

TEST_F(PortListWin32, DescribesEachPortOfTheComputer) {
  PortListEntryPoints() = {GetClassDevs, EnumDeviceInfo, DestroyList, GetInstanceId, GetProperty,       OpenDevRegKey,
                           QueryValue,   CloseKey,       GetParent,   GetDeviceId,   GetDevNodeProperty};
  const std::vector<PortDescription> ports = ListNativePorts();
  size_t expected = 0;
  for (const FakeDevice& device : kComputer) {
    SCOPED_TRACE(device.name);
    if (const std::optional<PortDescription>& want = device.expected) {
      ++expected;
      const auto found = std::find_if(ports.begin(), ports.end(), [&](const auto& p) { return p.name == want->name; });
      ASSERT_NE(ports.end(), found);
      EXPECT_EQ(want->description, found->description);
      EXPECT_EQ(want->transport, found->transport);
      EXPECT_EQ(want->usbVendorId, found->usbVendorId);
      EXPECT_EQ(want->usbProductId, found->usbProductId);
      EXPECT_EQ(want->usbSerialNumber, found->usbSerialNumber);
      EXPECT_EQ(want->manufacturer, found->manufacturer);
      EXPECT_EQ(want->product, found->product);
      EXPECT_EQ(want->bluetoothAddress, found->bluetoothAddress);
    }
  }
  EXPECT_EQ(expected, ports.size());
  EXPECT_EQ(0, openLists);
  EXPECT_EQ(0, openKeys);
}

// Wine keeps its COM ports as links among its DOS devices rather than as devices of the Ports class, so it
// may list none; whatever the system lists is a COM port.
TEST_F(PortListWin32, WhatTheSystemLists) {
  for (const PortDescription& port : ListNativePorts()) EXPECT_EQ(u"COM", port.name.substr(0, 3));
}

}  // namespace
}  // namespace kv::link::win32

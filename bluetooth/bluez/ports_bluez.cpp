// ports_bluez.cpp: the bound RFCOMM TTYs as the "ports" device list the setup searches by address.
#include <algorithm>

#include "bluetooth/bluez/platform_bluez.h"
#include "utf_convert.h"
#include "bluetooth/stack.h"

namespace kv::bt::bluez {
namespace {

bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) {
  const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

}  // namespace

bool BluezPlatform::ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) {
  classes.clear();
  if (!SameTextIgnoringCase(className, u"ports")) return false;
  classes.push_back(kPortsClass);
  return true;
}

BtPortList BluezPlatform::GetPresentDevices(const BtGuid& classId) {
  if (!(classId == kPortsClass)) return BtPortList::kNone;
  std::optional<std::vector<RfcommDevice>> devices = m_parts.rfcomm->List();
  if (!devices) return BtPortList::kNone;
  const std::lock_guard lock(m_mutex);
  const uintptr_t handle = m_nextHandle++;
  m_portLists[handle] = std::move(*devices);
  return static_cast<BtPortList>(handle);
}

bool BluezPlatform::GetListDetail(BtPortList list) {
  const std::lock_guard lock(m_mutex);
  return m_portLists.count(static_cast<uintptr_t>(list)) != 0;
}

bool BluezPlatform::EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) {
  const std::lock_guard lock(m_mutex);
  const auto found = m_portLists.find(static_cast<uintptr_t>(list));
  if (found == m_portLists.end() || index >= found->second.size()) return false;
  device.index = index;
  device.instance = static_cast<uint32_t>(found->second[index].id);
  return true;
}

bool BluezPlatform::PortOf(BtPortList list, const BtPortDevice& device, RfcommDevice& port) {
  const std::lock_guard lock(m_mutex);
  const auto found = m_portLists.find(static_cast<uintptr_t>(list));
  if (found == m_portLists.end() || device.index >= found->second.size()) return false;
  port = found->second[device.index];
  return true;
}

uint32_t BluezPlatform::GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) {
  RfcommDevice port;
  if (!PortOf(list, device, port)) return kErrorNotFound;
  id = u"RFCOMM\\" + AddressKey(port.address) + u"\\" + Utf16FromUtf8(std::to_string(port.id));
  return kErrorSuccess;
}

bool BluezPlatform::GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) {
  RfcommDevice port;
  if (!PortOf(list, device, port)) return false;
  name = u"Serial port over Bluetooth (COM" + Utf16FromUtf8(port.Path()) + u")";
  return true;
}

void BluezPlatform::DestroyDeviceList(BtPortList list) {
  const std::lock_guard lock(m_mutex);
  m_portLists.erase(static_cast<uintptr_t>(list));
}

}  // namespace kv::bt::bluez

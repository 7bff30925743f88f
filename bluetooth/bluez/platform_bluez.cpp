// platform_bluez.cpp: radios, device searches, the selection list, texts, prompts and installation
// state of the BlueZ platform. Pairing, the serial service and removal are in pairing_bluez.cpp, the
// port list in ports_bluez.cpp.
#include "bluetooth/bluez/platform_bluez.h"

#include <algorithm>
#include <thread>

#include "bluetooth/bluez/discovery.h"
#include "bluetooth/bluez/objects.h"
#include "utf_convert.h"
#include "bluetooth/stack.h"
#include "messages.h"

namespace kv::bt::bluez {
namespace {

thread_local uint32_t t_lastError = kErrorSuccess;

constexpr std::u16string_view kSelectCaption = u"Bluetooth devices";

bool Wanted(const BtDeviceSearch& search, const BtDeviceRecord& device) {
  return (search.returnAuthenticated && device.authenticated) || (search.returnRemembered && device.remembered) ||
         (search.returnConnected && device.connected) ||
         (search.returnUnknown && !device.remembered && !device.authenticated);
}

bool Shown(const BtSelectDialog& dialog, const BtDeviceRecord& device) {
  const bool kindShown = (dialog.showAuthenticated && device.authenticated) ||
                         (dialog.showRemembered && device.remembered) ||
                         (dialog.showUnknown && !device.remembered && !device.authenticated);
  return kindShown && (dialog.filter == nullptr || dialog.filter(dialog.filterContext, &device));
}

std::vector<DeviceObject> DevicesOn(const ObjectTree& tree, const std::vector<std::string>& adapters) {
  std::vector<DeviceObject> devices;
  for (const DeviceObject& device : tree.devices) {
    if (std::find(adapters.begin(), adapters.end(), device.adapterPath) != adapters.end()) devices.push_back(device);
  }
  // GetManagedObjects has no order of its own; the object path (adapter, then address) gives one.
  std::sort(devices.begin(), devices.end(),
            [](const DeviceObject& a, const DeviceObject& b) { return a.path < b.path; });
  return devices;
}

}  // namespace

BluezParts SystemBluezParts() {
  return {MakeKernelRfcommTty(), MakeUdevInstallQueue(), MakeZenityPrompter()};
}

BluezPlatform::BluezPlatform(BluezParts parts, BluezTimings timings)
    : m_parts(std::move(parts)), m_timings(timings) {}

uint32_t BluezPlatform::Fail(uint32_t code, std::u16string text) {
  t_lastError = code;
  if (!text.empty()) {
    const std::lock_guard lock(m_mutex);
    m_errorTexts[code] = std::move(text);
  }
  return code;
}

uint32_t BluezPlatform::Fail(const DbusError& error, Step step) {
  const uint32_t code = CodeOf(error, step);
  return Fail(code, code == kErrorSuccess ? std::u16string() : TextOf(error));
}

std::unique_ptr<Bus> BluezPlatform::OpenBus() {
  DbusError error;
  std::unique_ptr<Bus> bus = Bus::OpenSystem(error);
  if (!bus) Fail(kRpcServerUnavailable, TextOf(error));
  return bus;
}

std::optional<ObjectTree> BluezPlatform::Tree(Bus& bus) {
  DbusError error;
  std::optional<ObjectTree> tree = ReadObjectTree(bus, error);
  if (!tree) Fail(error, Step::kGeneral);
  return tree;
}

uint32_t BluezPlatform::OpenDevice(uint64_t address, std::unique_ptr<Bus>& bus, DeviceObject& device) {
  bus = OpenBus();
  if (!bus) return kRpcServerUnavailable;
  const std::optional<ObjectTree> tree = Tree(*bus);
  if (!tree) return t_lastError;
  const DeviceObject* found = tree->FindDevice(address);
  if (found == nullptr) return Fail(kErrorNotFound, {});
  device = *found;
  return kErrorSuccess;
}

uint32_t BluezPlatform::LastError() { return t_lastError; }

// ---- Radios ----

BtRadio BluezPlatform::NewRadio(const std::string& adapterPath) {
  const std::lock_guard lock(m_mutex);
  const uintptr_t handle = m_nextHandle++;
  m_radios[handle] = adapterPath;
  return static_cast<BtRadio>(handle);
}

std::string BluezPlatform::AdapterOf(BtRadio radio) {
  const std::lock_guard lock(m_mutex);
  const auto found = m_radios.find(static_cast<uintptr_t>(radio));
  return found == m_radios.end() ? std::string() : found->second;
}

BtRadioFind BluezPlatform::FindFirstRadio(BtRadio& radio) {
  radio = BtRadio::kNone;
  const std::unique_ptr<Bus> bus = OpenBus();
  if (!bus) return BtRadioFind::kNone;
  const std::optional<ObjectTree> tree = Tree(*bus);
  if (!tree) return BtRadioFind::kNone;
  if (tree->adapters.empty()) {
    Fail(kErrorNoMoreItems, {});
    return BtRadioFind::kNone;
  }
  RadioFind find;
  for (const AdapterObject& adapter : tree->adapters) find.adapters.push_back(adapter.path);
  std::sort(find.adapters.begin(), find.adapters.end());
  find.next = 1;
  radio = NewRadio(find.adapters.front());
  const std::lock_guard lock(m_mutex);
  const uintptr_t handle = m_nextHandle++;
  m_radioFinds[handle] = std::move(find);
  return static_cast<BtRadioFind>(handle);
}

bool BluezPlatform::FindNextRadio(BtRadioFind find, BtRadio& radio) {
  radio = BtRadio::kNone;
  std::string adapter;
  {
    const std::lock_guard lock(m_mutex);
    const auto found = m_radioFinds.find(static_cast<uintptr_t>(find));
    if (found == m_radioFinds.end() || found->second.next >= found->second.adapters.size()) {
      t_lastError = kErrorNoMoreItems;
      return false;
    }
    adapter = found->second.adapters[found->second.next++];
  }
  radio = NewRadio(adapter);
  return true;
}

void BluezPlatform::FindRadioClose(BtRadioFind find) {
  const std::lock_guard lock(m_mutex);
  m_radioFinds.erase(static_cast<uintptr_t>(find));
}

void BluezPlatform::CloseRadio(BtRadio radio) {
  const std::lock_guard lock(m_mutex);
  m_radios.erase(static_cast<uintptr_t>(radio));
}

uint32_t BluezPlatform::GetRadioInfo(BtRadio radio, BtRadioInfo& info) {
  const std::string path = AdapterOf(radio);
  if (path.empty()) return Fail(kResultInvalidHandle, {});
  const std::unique_ptr<Bus> bus = OpenBus();
  if (!bus) return kRpcServerUnavailable;
  const std::optional<ObjectTree> tree = Tree(*bus);
  if (!tree) return t_lastError;
  const AdapterObject* adapter = tree->FindAdapter(path);
  if (adapter == nullptr) return Fail(kResultInvalidHandle, {});
  info = BtRadioInfo{};
  info.address = adapter->address;
  info.name = Utf16FromUtf8(adapter->alias.empty() ? adapter->name : adapter->alias);
  info.classOfDevice = adapter->classOfDevice;
  return kErrorSuccess;  // BlueZ gives neither the manufacturer nor the LMP subversion: both stay 0
}

// ---- Devices ----

BtDeviceFind BluezPlatform::FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) {
  const std::unique_ptr<Bus> bus = OpenBus();
  if (!bus) return BtDeviceFind::kNone;
  std::optional<ObjectTree> tree = Tree(*bus);
  if (!tree) return BtDeviceFind::kNone;
  std::vector<std::string> adapters;
  if (search.radio != BtRadio::kNone) {
    const std::string path = AdapterOf(search.radio);
    if (!path.empty()) adapters.push_back(path);
  } else {
    for (const AdapterObject& adapter : tree->adapters) adapters.push_back(adapter.path);
  }
  if (adapters.empty()) {
    Fail(kResultInvalidHandle, u"No Bluetooth adapter is present.");
    return BtDeviceFind::kNone;
  }

  if (search.issueInquiry) {
    const auto duration = m_timings.inquiryUnit * search.timeoutMultiplier;
    DbusError error;
    if (!Discover(*bus, adapters, duration, duration, {}, error)) {
      Fail(error, Step::kDiscovery);
      return BtDeviceFind::kNone;
    }
    tree = Tree(*bus);
    if (!tree) return BtDeviceFind::kNone;
  }

  DeviceFind find;
  for (const DeviceObject& object : DevicesOn(*tree, adapters)) {
    if (Wanted(search, object.record)) find.devices.push_back(object.record);
  }
  if (find.devices.empty()) {
    Fail(kErrorNoMoreItems, {});
    return BtDeviceFind::kNone;
  }
  device = find.devices.front();
  find.next = 1;
  const std::lock_guard lock(m_mutex);
  const uintptr_t handle = m_nextHandle++;
  m_deviceFinds[handle] = std::move(find);
  t_lastError = kErrorSuccess;
  return static_cast<BtDeviceFind>(handle);
}

bool BluezPlatform::FindNextDevice(BtDeviceFind find, BtDeviceRecord& device) {
  const std::lock_guard lock(m_mutex);
  const auto found = m_deviceFinds.find(static_cast<uintptr_t>(find));
  if (found == m_deviceFinds.end() || found->second.next >= found->second.devices.size()) {
    t_lastError = kErrorNoMoreItems;
    return false;
  }
  device = found->second.devices[found->second.next++];
  return true;
}

void BluezPlatform::FindDeviceClose(BtDeviceFind find) {
  const std::lock_guard lock(m_mutex);
  m_deviceFinds.erase(static_cast<uintptr_t>(find));
}

uint32_t BluezPlatform::GetDeviceInfo(BtRadio /*radio*/, BtDeviceRecord& device) {
  std::unique_ptr<Bus> bus;
  DeviceObject found;
  const uint32_t code = OpenDevice(device.address, bus, found);
  if (code == kErrorSuccess) device = found.record;
  return code;
}

bool BluezPlatform::SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) {
  chosen.clear();
  const std::unique_ptr<Bus> bus = OpenBus();
  if (!bus) return false;
  const std::optional<ObjectTree> tree = Tree(*bus);
  if (!tree) return false;
  std::vector<std::string> adapters;
  for (const AdapterObject& adapter : tree->adapters) adapters.push_back(adapter.path);
  std::vector<BtDeviceRecord> candidates;
  std::vector<std::u16string> items;
  for (const DeviceObject& object : DevicesOn(*tree, adapters)) {
    if (!Shown(dialog, object.record)) continue;
    const std::u16string_view name = DeviceName(object.record);
    std::u16string item(name.empty() ? AddressText(object.record.address) : std::u16string(name));
    item += u" (" + AddressText(object.record.address) + u")";
    candidates.push_back(object.record);
    items.push_back(std::move(item));
  }
  if (candidates.empty()) {
    Fail(kErrorCancelled, {});
    return false;
  }
  const std::optional<size_t> index = m_parts.prompter->Choose(dialog.owner, kSelectCaption, dialog.info, items);
  if (!index || *index >= candidates.size()) {
    Fail(kErrorCancelled, {});
    return false;
  }
  BtDeviceRecord device = candidates[*index];
  // The pairing wizard pairs what it offers; the analysers answer the kit's PIN.
  if (dialog.forceAuthentication && !device.authenticated) {
    const std::u16string pin = ReadPin(*this);
    if (AuthenticateDevice(dialog.owner, BtRadio::kNone, device, pin) != kErrorSuccess) return false;
  }
  chosen.push_back(std::move(device));
  return true;
}

// ---- The newer pairing calls do not exist here ----

BtModule BluezPlatform::LoadModule(std::u16string_view /*name*/) { return BtModule::kNone; }
void BluezPlatform::FreeLoadedModule(BtModule /*module*/) {}
std::optional<uint32_t> BluezPlatform::RegisterForAuthenticationEx(BtModule, const BtDeviceRecord&, BtAuthCallback,
                                                                   void*, BtRegistration& registration) {
  registration = BtRegistration::kNone;
  return std::nullopt;
}
std::optional<uint32_t> BluezPlatform::AuthenticateDeviceEx(BtModule, KVWindowHandle, BtRadio, BtDeviceRecord&,
                                                            uint32_t) {
  return std::nullopt;
}
std::optional<uint32_t> BluezPlatform::SendAuthenticationResponseEx(BtModule, BtRadio, const BtAuthResponse&) {
  return std::nullopt;
}
bool BluezPlatform::UnregisterAuthentication(BtRegistration /*registration*/) { return false; }

// ---- Installation state, prompts, texts, pauses ----

std::optional<uint32_t> BluezPlatform::WaitNoPendingInstallEvents(uint32_t timeoutMilliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  for (;;) {
    const std::optional<bool> pending = m_parts.installs->Pending();
    if (!pending) return std::nullopt;
    if (!*pending) return kErrorSuccess;
    const Clock::time_point now = Clock::now();
    if (now >= end) return kWaitTimeout;
    std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(20)));
  }
}

int32_t BluezPlatform::ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                                   uint32_t style) {
  return m_parts.prompter->Ask(owner, text, caption, style);
}

bool BluezPlatform::LoadText(uint32_t number, std::u16string& text) {
  const std::u16string_view found = FindMessageText(number);
  text.assign(found);
  return !found.empty();
}

bool BluezPlatform::ErrorText(uint32_t code, std::u16string& text) {
  {
    const std::lock_guard lock(m_mutex);
    const auto found = m_errorTexts.find(code);
    if (found != m_errorTexts.end()) {
      text = found->second;
      return true;
    }
  }
  text = DefaultText(code);
  return !text.empty();
}

void BluezPlatform::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kv::bt::bluez

namespace kv::bt {

BtPlatform& DefaultBtPlatform() {
  static bluez::BluezPlatform platform(bluez::SystemBluezParts());
  return platform;
}

}  // namespace kv::bt

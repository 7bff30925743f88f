// fake_bt_platform.cpp: the scripted platform. Behaves as the platform's documentation describes where a
// flow depends on it (an empty enumeration gives no handle and 259, a cancelled dialog 1223, a wrong PIN
// fails the pairing), and records each call as "Name(arguments)" in the order made.
#include "fake_bt_platform.h"

#include <algorithm>
#include <cstdio>

#include "messages.h"

namespace kv::bt::fake {
namespace {

constexpr uint32_t kErrorNotFound = 1168;
constexpr uintptr_t kRadioHandleBase = 1000;
constexpr BtGuid kPortsClass{0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::u16string Widen(std::string_view text) { return {text.begin(), text.end()}; }

std::string Hex(uint64_t address) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%012llX", static_cast<unsigned long long>(address & 0xFFFFFFFFFFFFull));
  return buffer;
}

std::string Flag(bool value) { return value ? "1" : "0"; }
std::string Owner(KVWindowHandle owner) { return owner == nullptr ? "null" : "parent"; }

}  // namespace

std::u16string KeyOf(uint64_t address) { return Widen(Hex(address)); }

FakePortDevice BluetoothPort(uint64_t address, std::u16string_view portText) {
  FakePortDevice port;
  port.instanceId = u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A4F1E3C&0&" +
                    KeyOf(address) + u"_C00000000";
  port.friendlyName = u"Standard Serial over Bluetooth link (COM" + std::u16string(portText) + u")";
  return port;
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  return out;
}

FakeBtPlatform::FakeBtPlatform() { m_portClasses.push_back(FakePortClass{kPortsClass, false, false, {}}); }

// ---- Scenario ----

FakeBtPlatform& FakeBtPlatform::SimulateRadio(std::u16string name, uint16_t manufacturer, uint16_t lmpSubversion) {
  FakeRadio radio;
  radio.info.name = std::move(name);
  radio.info.manufacturer = manufacturer;
  radio.info.lmpSubversion = lmpSubversion;
  m_radios.push_back(radio);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateRadioWithNullHandle() {
  FakeRadio radio;
  radio.nullHandle = true;
  m_radios.push_back(radio);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateRadioInfoFails(uint32_t code) {
  for (FakeRadio& radio : m_radios) radio.infoResult = code;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateRadiosAppearAtLookup(uint32_t lookup) {
  m_radiosFromLookup = lookup;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateDevice(FakeDevice device) {
  m_devices.push_back(std::move(device));
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateDeviceInRange(std::u16string name, uint64_t address, bool authenticated,
                                                      uint32_t classOfDevice) {
  FakeDevice device;
  device.record.name = std::move(name);
  device.record.address = address;
  device.record.authenticated = authenticated;
  device.record.remembered = authenticated;
  device.record.classOfDevice = classOfDevice;
  return SimulateDevice(std::move(device));
}

FakeBtPlatform& FakeBtPlatform::SimulateEnumerationFails(uint32_t code, int times) {
  for (int i = 0; i < times; ++i) m_enumerationFailures.push_back(code);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateNoPairingModule() {
  m_pairingModule = false;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateMissingCall(std::string_view name) {
  m_missingCalls.insert(std::string(name));
  return *this;
}

FakeBtPlatform& FakeBtPlatform::QueueLegacyResult(uint32_t result) {
  m_legacyResults.push_back(result);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::QueueAuthenticateExResult(uint32_t result) {
  m_authExResults.push_back(result);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::QueueServiceResult(uint32_t result) {
  m_serviceResults.push_back(result);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SetRegisterResult(uint32_t result) {
  m_registerResult = result;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SetSendResponseResult(uint32_t result) {
  m_sendResult = result;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SetRequestMethod(uint32_t method) {
  m_requestMethod = method;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateRemovalFails(uint64_t address) {
  m_removalFails.insert(address);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulatePortDevice(FakePortDevice device, size_t classIndex) {
  m_portClasses.at(classIndex).devices.push_back(std::move(device));
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulatePortAppearsAfter(uint32_t lookups, uint64_t address,
                                                         std::u16string_view portText) {
  FakePortDevice port = BluetoothPort(address, portText);
  port.visibleFromLookup = lookups + 1;
  return SimulatePortDevice(std::move(port));
}

FakeBtPlatform& FakeBtPlatform::SimulatePortClass(FakePortClass portClass) {
  m_portClasses.push_back(std::move(portClass));
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateNoPortsClass() {
  m_portClasses.clear();
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateClassQueryFails() {
  m_classQueryFails = true;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulatePendingInstall(uint64_t durationMilliseconds) {
  m_pendingUntil = m_now + durationMilliseconds;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateNoInstallWaitFacility() {
  m_waitFacility = false;
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SetErrorText(uint32_t code, std::u16string text) {
  m_errorTexts[code] = std::move(text);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SimulateNoErrorText(uint32_t code) {
  m_noErrorText.insert(code);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::SetText(uint32_t number, std::u16string text) {
  m_texts[number] = std::move(text);
  return *this;
}

FakeBtPlatform& FakeBtPlatform::AnswerPrompts(std::initializer_list<int32_t> buttons) {
  m_answers.insert(m_answers.end(), buttons.begin(), buttons.end());
  return *this;
}

FakeBtPlatform& FakeBtPlatform::AnswerSelection(uint64_t address) {
  m_selections.push_back({Selection::kChoose, address});
  return *this;
}

FakeBtPlatform& FakeBtPlatform::AnswerSelectionCancelled() {
  m_selections.push_back({Selection::kCancel, 0});
  return *this;
}

FakeBtPlatform& FakeBtPlatform::AnswerSelectionWithNoDevice() {
  m_selections.push_back({Selection::kNoDevice, 0});
  return *this;
}

// ---- Observation ----

std::vector<std::string> FakeBtPlatform::CallsNamed(std::initializer_list<std::string_view> names) const {
  std::vector<std::string> out;
  for (const std::string& call : m_calls) {
    const std::string_view name = std::string_view(call).substr(0, call.find('('));
    if (std::find(names.begin(), names.end(), name) != names.end()) out.push_back(call);
  }
  return out;
}

size_t FakeBtPlatform::CountCalls(std::string_view name) const { return CallsNamed({name}).size(); }

std::u16string FakeBtPlatform::ErrorTextFor(uint32_t code) const {
  if (auto it = m_errorTexts.find(code); it != m_errorTexts.end()) return it->second;
  return Widen("Platform text of error " + std::to_string(code) + ".");
}

bool FakeBtPlatform::IsPaired(uint64_t address) const {
  for (const FakeDevice& device : m_devices) {
    if (device.record.address == address) return device.record.authenticated;
  }
  return false;
}

int FakeBtPlatform::OpenHandles() const {
  return m_openRadioFinds + static_cast<int>(m_openRadios.size() + m_deviceFinds.size() + m_registrations.size() +
                                             m_openLists.size()) +
         m_loadedModules;
}

// ---- Helpers ----

void FakeBtPlatform::Record(std::string call) { m_calls.push_back(std::move(call)); }

FakeDevice* FakeBtPlatform::Find(uint64_t address) {
  for (FakeDevice& device : m_devices) {
    if (device.record.address == address) return &device;
  }
  return nullptr;
}

std::optional<uint32_t> FakeBtPlatform::Pop(std::deque<uint32_t>& queue) {
  if (queue.empty()) return std::nullopt;
  const uint32_t value = queue.front();
  queue.pop_front();
  return value;
}

void FakeBtPlatform::MarkPaired(BtDeviceRecord& device) {
  device.authenticated = true;
  device.remembered = true;
  for (FakeDevice& known : m_devices) {
    if (known.record.address == device.address) {
      known.record.authenticated = true;
      known.record.remembered = true;
    }
  }
}

// ---- Radios ----

BtRadioFind FakeBtPlatform::FindFirstRadio(BtRadio& radio) {
  Record("FindFirstRadio()");
  ++m_radioLookups;
  radio = BtRadio::kNone;
  if (m_radios.empty() || m_radioLookups < m_radiosFromLookup) {
    m_lastError = kErrorNoMoreItems;
    return BtRadioFind::kNone;
  }
  ++m_openRadioFinds;
  m_radioCursor = 0;
  if (!m_radios[0].nullHandle) {
    radio = static_cast<BtRadio>(kRadioHandleBase);
    m_openRadios.insert(kRadioHandleBase);
  }
  return static_cast<BtRadioFind>(m_nextHandle++);
}

bool FakeBtPlatform::FindNextRadio(BtRadioFind, BtRadio& radio) {
  Record("FindNextRadio()");
  radio = BtRadio::kNone;
  if (++m_radioCursor >= m_radios.size()) {
    m_lastError = kErrorNoMoreItems;
    return false;
  }
  if (!m_radios[m_radioCursor].nullHandle) {
    radio = static_cast<BtRadio>(kRadioHandleBase + m_radioCursor);
    m_openRadios.insert(kRadioHandleBase + m_radioCursor);
  }
  return true;
}

void FakeBtPlatform::FindRadioClose(BtRadioFind) {
  Record("FindRadioClose()");
  --m_openRadioFinds;
}

uint32_t FakeBtPlatform::GetRadioInfo(BtRadio radio, BtRadioInfo& info) {
  Record("GetRadioInfo()");
  const size_t index = static_cast<uintptr_t>(radio) - kRadioHandleBase;
  if (index >= m_radios.size()) return kErrorBadUnit;
  if (m_radios[index].infoResult != 0) return m_radios[index].infoResult;
  info = m_radios[index].info;
  return kErrorSuccess;
}

void FakeBtPlatform::CloseRadio(BtRadio radio) {
  Record("CloseRadio()");
  m_openRadios.erase(static_cast<uintptr_t>(radio));
}

// ---- Devices ----

BtDeviceFind FakeBtPlatform::FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) {
  Record("FindFirstDevice(inquiry=" + Flag(search.issueInquiry) + ",timeout=" +
         std::to_string(search.timeoutMultiplier) + ",authenticated=" + Flag(search.returnAuthenticated) +
         ",remembered=" + Flag(search.returnRemembered) + ",unknown=" + Flag(search.returnUnknown) +
         ",connected=" + Flag(search.returnConnected) +
         ",radio=" + std::to_string(static_cast<uintptr_t>(search.radio)) + ")");
  if (std::optional<uint32_t> failure = Pop(m_enumerationFailures)) {
    m_lastError = *failure;
    return BtDeviceFind::kNone;
  }
  std::vector<BtDeviceRecord> listed;
  for (const FakeDevice& known : m_devices) {
    const BtDeviceRecord& record = known.record;
    const bool met = known.inRange && search.issueInquiry && (search.returnUnknown || search.returnConnected);
    if ((record.authenticated && search.returnAuthenticated) || (record.remembered && search.returnRemembered) ||
        met) {
      BtDeviceRecord given = record;
      if (known.enumeratedName) given.name = *known.enumeratedName;
      listed.push_back(given);
    }
  }
  if (listed.empty()) {
    m_lastError = kErrorNoMoreItems;
    return BtDeviceFind::kNone;
  }
  device = listed.front();
  const uintptr_t handle = m_nextHandle++;
  m_deviceFinds[handle] = {std::move(listed), 0};
  return static_cast<BtDeviceFind>(handle);
}

bool FakeBtPlatform::FindNextDevice(BtDeviceFind find, BtDeviceRecord& device) {
  Record("FindNextDevice()");
  auto it = m_deviceFinds.find(static_cast<uintptr_t>(find));
  if (it == m_deviceFinds.end()) return false;
  auto& [listed, cursor] = it->second;
  if (++cursor >= listed.size()) {
    m_lastError = kErrorNoMoreItems;
    return false;
  }
  device = listed[cursor];
  return true;
}

void FakeBtPlatform::FindDeviceClose(BtDeviceFind find) {
  Record("FindDeviceClose()");
  m_deviceFinds.erase(static_cast<uintptr_t>(find));
}

uint32_t FakeBtPlatform::GetDeviceInfo(BtRadio radio, BtDeviceRecord& device) {
  Record("GetDeviceInfo(radio=" + std::to_string(static_cast<uintptr_t>(radio)) + ",address=" +
         Hex(device.address) + ")");
  if (FakeDevice* known = Find(device.address)) {
    device = known->record;
    return kErrorSuccess;
  }
  return kErrorNotFound;
}

uint32_t FakeBtPlatform::LastError() {
  Record("LastError()");
  return m_lastError;
}

bool FakeBtPlatform::SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) {
  Record("SelectDevices(owner=" + Owner(dialog.owner) + ",force=" + Flag(dialog.forceAuthentication) +
         ",authenticated=" + Flag(dialog.showAuthenticated) + ",remembered=" + Flag(dialog.showRemembered) +
         ",unknown=" + Flag(dialog.showUnknown) + ",wizard=" + Flag(dialog.addNewDeviceWizard) +
         ",skipServices=" + Flag(dialog.skipServicesPage) + ",filter=" + Flag(dialog.filter != nullptr) +
         ",devices=" + std::to_string(dialog.numDevices) + ")");
  DialogShown shown{dialog, {}};
  for (const FakeDevice& known : m_devices) {
    const BtDeviceRecord& record = known.record;
    if (std::find(shown.offered.begin(), shown.offered.end(), record.address) != shown.offered.end()) continue;
    const bool kind = (record.authenticated && dialog.showAuthenticated) ||
                      (record.remembered && !record.authenticated && dialog.showRemembered) ||
                      (!record.remembered && !record.authenticated && known.inRange && dialog.showUnknown);
    BtDeviceRecord asSeen = record;
    if (known.enumeratedName) asSeen.name = *known.enumeratedName;
    if (kind && (dialog.filter == nullptr || dialog.filter(dialog.filterContext, &asSeen))) {
      shown.offered.push_back(record.address);
    }
  }
  m_dialogs.push_back(shown);
  Selection selection;
  if (!m_selections.empty()) {
    selection = m_selections.front();
    m_selections.pop_front();
  }
  switch (selection.kind) {
    case Selection::kNoDevice:
      chosen.clear();
      return true;
    case Selection::kChoose:
      if (std::find(shown.offered.begin(), shown.offered.end(), selection.address) != shown.offered.end()) {
        chosen = {Find(selection.address)->record};
        return true;
      }
      Record("SelectDevices:choice-not-offered(" + Hex(selection.address) + ")");
      [[fallthrough]];
    case Selection::kCancel:
      m_lastError = kErrorCancelled;
      return false;
  }
  return false;
}

// ---- Pairing ----

uint32_t FakeBtPlatform::AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                                            std::u16string_view pin) {
  Record("AuthenticateDevice(owner=" + Owner(owner) + ",radio=" + std::to_string(static_cast<uintptr_t>(radio)) +
         ",address=" + Hex(device.address) + ",pin=" + Narrow(pin) + ")");
  const FakeDevice* known = Find(device.address);
  uint32_t result = kErrorNotFound;
  if (std::optional<uint32_t> queued = Pop(m_legacyResults)) {
    result = *queued;
  } else if (known != nullptr) {
    result = pin == known->pin ? kErrorSuccess : kErrorNotAuthenticated;
  }
  if (result == kErrorSuccess) MarkPaired(device);
  return result;
}

BtModule FakeBtPlatform::LoadModule(std::u16string_view name) {
  Record("LoadModule(" + Narrow(name) + ")");
  if (!m_pairingModule || name != u"bthprops.cpl") return BtModule::kNone;
  ++m_loadedModules;
  return static_cast<BtModule>(50);
}

void FakeBtPlatform::FreeLoadedModule(BtModule) {
  Record("FreeLoadedModule()");
  --m_loadedModules;
}

std::optional<uint32_t> FakeBtPlatform::RegisterForAuthenticationEx(BtModule, const BtDeviceRecord& device,
                                                                    BtAuthCallback callback, void* context,
                                                                    BtRegistration& registration) {
  Record("RegisterForAuthenticationEx(address=" + Hex(device.address) +
         ",context=" + (context == nullptr ? "null" : "set") + ")");
  if (Missing("RegisterForAuthenticationEx")) return std::nullopt;
  if (m_registerResult == kErrorSuccess) {
    const uintptr_t handle = m_nextHandle++;
    m_registrations[handle] = {callback, context};
    registration = static_cast<BtRegistration>(handle);
  }
  return m_registerResult;
}

std::optional<uint32_t> FakeBtPlatform::AuthenticateDeviceEx(BtModule, KVWindowHandle owner, BtRadio radio,
                                                             BtDeviceRecord& device, uint32_t requirement) {
  Record("AuthenticateDeviceEx(owner=" + Owner(owner) + ",radio=" + std::to_string(static_cast<uintptr_t>(radio)) +
         ",address=" + Hex(device.address) + ",requirement=" + std::to_string(requirement) + ")");
  if (Missing("AuthenticateDeviceEx")) return std::nullopt;
  // The platform asks the registered callback for the PIN while this call runs.
  bool accepted = false;
  const FakeDevice* known = Find(device.address);
  const auto registrations = m_registrations;
  for (const auto& [handle, entry] : registrations) {
    BtAuthRequest request;
    request.device = device;
    request.method = m_requestMethod;
    const size_t before = m_responses.size();
    const bool answer = entry.first(*this, entry.second, &request);
    m_callbackAnswers.push_back(answer);
    if (answer && m_responses.size() > before && known != nullptr) {
      const BtAuthResponse& response = m_responses.back();
      const std::u16string sent(response.pin.begin(), response.pin.begin() + response.pinLength);
      accepted = response.remoteAddress == device.address && response.negativeResponse == 0 && sent == known->pin;
    }
  }
  uint32_t result = accepted ? kErrorSuccess : kErrorNotAuthenticated;
  if (std::optional<uint32_t> queued = Pop(m_authExResults)) result = *queued;
  if (result == kErrorSuccess || result == kErrorNoMoreItems) MarkPaired(device);
  return result;
}

std::optional<uint32_t> FakeBtPlatform::SendAuthenticationResponseEx(BtModule, BtRadio radio,
                                                                     const BtAuthResponse& response) {
  Record("SendAuthenticationResponseEx(radio=" + std::to_string(static_cast<uintptr_t>(radio)) +
         ",address=" + Hex(response.remoteAddress) + ")");
  if (Missing("SendAuthenticationResponseEx")) return std::nullopt;
  m_responses.push_back(response);
  return m_sendResult;
}

bool FakeBtPlatform::UnregisterAuthentication(BtRegistration registration) {
  Record("UnregisterAuthentication()");
  return m_registrations.erase(static_cast<uintptr_t>(registration)) != 0;
}

uint32_t FakeBtPlatform::SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service,
                                         bool enable) {
  Record("SetServiceState(radio=" + std::to_string(static_cast<uintptr_t>(radio)) + ",address=" +
         Hex(device.address) + ",service=" + (service == kSerialPortServiceClass ? "SPP" : "other") +
         ",enable=" + Flag(enable) + ")");
  const uint32_t result = Pop(m_serviceResults).value_or(kErrorSuccess);
  if (result == kErrorSuccess && enable) m_serviceEnabled.insert(device.address);
  return result;
}

uint32_t FakeBtPlatform::RemoveDevice(uint64_t address) {
  Record("RemoveDevice(" + Hex(address) + ")");
  if (m_removalFails.count(address) != 0) return kErrorNotFound;
  FakeDevice* known = Find(address);
  if (known == nullptr || !(known->record.authenticated || known->record.remembered)) return kErrorNotFound;
  for (FakeDevice& device : m_devices) {
    if (device.record.address == address) {
      device.record.authenticated = false;
      device.record.remembered = false;
    }
  }
  return kErrorSuccess;
}

// ---- Port devices ----

bool FakeBtPlatform::ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) {
  Record("ClassGuidsFromName(" + Narrow(className) + ")");
  ++m_portLookups;
  classes.clear();
  if (m_classQueryFails) return false;
  if (className != u"ports") return true;
  for (const FakePortClass& portClass : m_portClasses) classes.push_back(portClass.id);
  return true;
}

BtPortList FakeBtPlatform::GetPresentDevices(const BtGuid& classId) {
  size_t index = 0;
  while (index < m_portClasses.size() && !(m_portClasses[index].id == classId)) ++index;
  Record("GetPresentDevices(class=" + std::to_string(index) + ")");
  if (index == m_portClasses.size() || m_portClasses[index].listFails) return BtPortList::kNone;
  OpenList list{index, m_portLookups, {}};
  for (const FakePortDevice& device : m_portClasses[index].devices) {
    if (device.visibleFromLookup <= m_portLookups) list.visible.push_back(&device);
  }
  const uintptr_t handle = m_nextHandle++;
  m_openLists[handle] = std::move(list);
  return static_cast<BtPortList>(handle);
}

bool FakeBtPlatform::GetListDetail(BtPortList list) {
  Record("GetListDetail()");
  auto it = m_openLists.find(static_cast<uintptr_t>(list));
  return it != m_openLists.end() && !m_portClasses[it->second.classIndex].detailFails;
}

bool FakeBtPlatform::EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) {
  Record("EnumDevice(" + std::to_string(index) + ")");
  auto it = m_openLists.find(static_cast<uintptr_t>(list));
  if (it == m_openLists.end() || index >= it->second.visible.size()) {
    m_lastError = kErrorNoMoreItems;
    return false;
  }
  device.index = index;
  device.instance = 5000 + index;
  return true;
}

uint32_t FakeBtPlatform::GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) {
  Record("GetDeviceId(" + std::to_string(device.index) + ")");
  const FakePortDevice& port = *m_openLists.at(static_cast<uintptr_t>(list)).visible.at(device.index);
  if (port.idResult != 0) return port.idResult;
  id = port.instanceId;
  return kErrorSuccess;
}

bool FakeBtPlatform::GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) {
  Record("GetFriendlyName(" + std::to_string(device.index) + ")");
  const FakePortDevice& port = *m_openLists.at(static_cast<uintptr_t>(list)).visible.at(device.index);
  if (!port.hasFriendlyName) return false;
  name = port.friendlyName;
  return true;
}

void FakeBtPlatform::DestroyDeviceList(BtPortList list) {
  Record("DestroyDeviceList()");
  m_openLists.erase(static_cast<uintptr_t>(list));
}

std::optional<uint32_t> FakeBtPlatform::WaitNoPendingInstallEvents(uint32_t timeoutMilliseconds) {
  Record("WaitNoPendingInstallEvents(" + std::to_string(timeoutMilliseconds) + ")");
  if (!m_waitFacility) return std::nullopt;
  if (m_now >= m_pendingUntil) return 0u;
  if (m_pendingUntil <= m_now + timeoutMilliseconds) {
    m_now = m_pendingUntil;
    return 0u;
  }
  m_now += timeoutMilliseconds;
  return kWaitTimeout;
}

// ---- Prompts ----

int32_t FakeBtPlatform::ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                                    uint32_t style) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", style);
  Record(std::string("ShowMessage(style=") + buffer + ")");
  int32_t answer = kButtonCancel;
  if (!m_answers.empty()) {
    answer = m_answers.front();
    m_answers.pop_front();
  } else {
    ++m_unscriptedPrompts;
  }
  m_prompts.push_back({owner, std::u16string(text), std::u16string(caption), style, answer});
  return answer;
}

bool FakeBtPlatform::LoadText(uint32_t number, std::u16string& text) {
  Record("LoadText(" + std::to_string(number) + ")");
  if (auto it = m_texts.find(number); it != m_texts.end()) {
    text = it->second;
  } else {
    text = std::u16string(FindMessageText(number));
  }
  return !text.empty();
}

bool FakeBtPlatform::ErrorText(uint32_t code, std::u16string& text) {
  Record("ErrorText(" + std::to_string(code) + ")");
  if (m_noErrorText.count(code) != 0) return false;
  text = ErrorTextFor(code);
  return true;
}

void FakeBtPlatform::Sleep(uint32_t milliseconds) {
  Record("Sleep(" + std::to_string(milliseconds) + ")");
  m_now += milliseconds;
}

}  // namespace kv::bt::fake

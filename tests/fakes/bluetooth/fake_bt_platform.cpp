// fake_bt_platform.cpp: the scripted platform. Where a flow depends on it, it answers as the platform's
// documentation says: an empty enumeration gives no handle and 259, a cancelled dialog 1223.
#include "fake_bt_platform.h"

#include <algorithm>
#include <cstdio>

#include "messages.h"

namespace kv::bt::fake {
namespace {

constexpr uint32_t kErrorNotFound = 1168;

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}
std::string Bits(std::initializer_list<bool> bits) {
  std::string out;
  for (bool bit : bits) out.push_back(bit ? '1' : '0');
  return out;
}
std::u16string Widen(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

FakePort BluetoothPort(uint64_t address, std::u16string_view port) {
  char key[16];
  std::snprintf(key, sizeof key, "%012llX", static_cast<unsigned long long>(address));
  return {u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A4F1E3C&0&" + Widen(key) + u"_C00000000",
          u"Standard Serial over Bluetooth link (COM" + std::u16string(port) + u")"};
}

std::u16string ErrorTextFor(uint32_t code) { return u"Platform text of error " + Widen(std::to_string(code)); }

FakeBtPlatform& FakeBtPlatform::SimulateRadio(std::u16string name, uint16_t manufacturer, uint16_t lmp) {
  radios.push_back(BtRadioInfo{1, std::move(name), 0, lmp, manufacturer});
  return *this;
}
FakeBtPlatform& FakeBtPlatform::SimulateDeviceInRange(std::u16string name, uint64_t address, bool paired) {
  BtDeviceRecord record;
  record.address = address;
  record.name = std::move(name);
  record.authenticated = record.remembered = paired;
  devices.push_back({record});
  return *this;
}
FakeBtPlatform& FakeBtPlatform::SimulatePortDevice(FakePort port, size_t portClass) {
  portClasses.at(portClass).ports.push_back(std::move(port));
  return *this;
}
FakeBtPlatform& FakeBtPlatform::AnswerPrompts(std::initializer_list<int32_t> buttons) {
  answers.insert(answers.end(), buttons);
  return *this;
}
FakeBtPlatform& FakeBtPlatform::SimulatePendingInstall(uint64_t milliseconds) {
  pendingUntil = now + milliseconds;
  return *this;
}

std::vector<std::string> FakeBtPlatform::Named(std::initializer_list<std::string_view> names) const {
  std::vector<std::string> out;
  for (const std::string& call : calls) {
    if (std::find(names.begin(), names.end(), call.substr(0, call.find('('))) != names.end()) out.push_back(call);
  }
  return out;
}

bool FakeBtPlatform::IsPaired(uint64_t address) const {
  return std::any_of(devices.begin(), devices.end(),
                     [&](const FakeDevice& d) { return d.record.address == address && d.record.authenticated; });
}

FakeDevice* FakeBtPlatform::Find(uint64_t address) {
  for (FakeDevice& device : devices) {
    if (device.record.address == address) return &device;
  }
  return nullptr;
}

// ---- Radios: handle i + 1 is radio i ----

BtRadioFind FakeBtPlatform::FindFirstRadio(BtRadio& radio) {
  calls.push_back("FindFirstRadio()");
  radio = BtRadio::kNone;
  if (radios.empty()) return BtRadioFind::kNone;
  ++open;
  radioCursor = static_cast<size_t>(-1);
  FindNextRadio(BtRadioFind{1}, radio);
  return BtRadioFind{1};
}
bool FakeBtPlatform::FindNextRadio(BtRadioFind, BtRadio& radio) {
  calls.push_back("FindNextRadio()");
  radio = BtRadio::kNone;
  if (++radioCursor >= radios.size()) return false;
  if (radios[radioCursor]) {
    radio = static_cast<BtRadio>(radioCursor + 1);
    ++open;
  }
  return true;
}
void FakeBtPlatform::FindRadioClose(BtRadioFind) { calls.push_back("FindRadioClose()"); --open; }
uint32_t FakeBtPlatform::GetRadioInfo(BtRadio radio, BtRadioInfo& info) {
  calls.push_back("GetRadioInfo(" + std::to_string(static_cast<uintptr_t>(radio)) + ")");
  if (radioInfoResult == kErrorSuccess) info = *radios.at(static_cast<size_t>(radio) - 1);
  return radioInfoResult;
}
void FakeBtPlatform::CloseRadio(BtRadio) { calls.push_back("CloseRadio()"); --open; }

// ---- Devices ----

BtDeviceFind FakeBtPlatform::FindFirstDevice(const BtDeviceSearch& s, BtDeviceRecord& device) {
  calls.push_back("FindFirstDevice(" + Bits({s.issueInquiry}) + "," + std::to_string(s.timeoutMultiplier) + "," +
                  Bits({s.returnAuthenticated, s.returnRemembered, s.returnUnknown, s.returnConnected}) + "," +
                  std::to_string(static_cast<uintptr_t>(s.radio)) + ")");
  listed.clear();
  lastError = kErrorNoMoreItems;
  if (!findFailures.empty()) {
    lastError = findFailures.front();
    findFailures.pop_front();
    return BtDeviceFind::kNone;
  }
  for (const FakeDevice& known : devices) {
    const BtDeviceRecord& r = known.record;
    if ((r.authenticated && s.returnAuthenticated) || (r.remembered && s.returnRemembered) ||
        (known.inRange && s.issueInquiry && s.returnUnknown)) {
      listed.push_back(r);
      if (known.nameless) listed.back().name.clear();
    }
  }
  if (listed.empty()) return BtDeviceFind::kNone;
  device = listed[deviceCursor = 0];
  ++open;
  return BtDeviceFind{2};
}
bool FakeBtPlatform::FindNextDevice(BtDeviceFind, BtDeviceRecord& device) {
  calls.push_back("FindNextDevice()");
  if (++deviceCursor >= listed.size()) return false;
  device = listed[deviceCursor];
  return true;
}
void FakeBtPlatform::FindDeviceClose(BtDeviceFind) { calls.push_back("FindDeviceClose()"); --open; }
uint32_t FakeBtPlatform::GetDeviceInfo(BtRadio radio, BtDeviceRecord& device) {
  calls.push_back("GetDeviceInfo(" + std::to_string(static_cast<uintptr_t>(radio)) + "," + Hex(device.address) + ")");
  const FakeDevice* known = Find(device.address);
  if (known == nullptr) return kErrorNotFound;
  device = known->record;
  return kErrorSuccess;
}

bool FakeBtPlatform::SelectDevices(const BtSelectDialog& d, std::vector<BtDeviceRecord>& chosen) {
  calls.push_back("SelectDevices(" + std::string(d.owner ? "owner," : "null,") +
                  Bits({d.forceAuthentication, d.showAuthenticated, d.showRemembered, d.showUnknown,
                        d.addNewDeviceWizard, d.skipServicesPage, d.filter != nullptr}) +
                  "," + std::to_string(d.numDevices) + ")");
  std::vector<uint64_t>& shown = offered.emplace_back();
  for (const FakeDevice& known : devices) {
    const BtDeviceRecord& r = known.record;
    const bool kind = (r.authenticated && d.showAuthenticated) || (r.remembered && !r.authenticated && d.showRemembered) ||
                      (!r.remembered && known.inRange && d.showUnknown);
    if (kind && (d.filter == nullptr || d.filter(d.filterContext, &r))) shown.push_back(r.address);
  }
  std::optional<uint64_t> choice;
  if (!selections.empty()) {
    choice = selections.front();
    selections.pop_front();
  }
  lastError = kErrorCancelled;
  if (!choice) return false;
  chosen.clear();
  if (*choice == 0) return true;
  if (std::find(shown.begin(), shown.end(), *choice) == shown.end()) return false;  // not on offer
  chosen.push_back(Find(*choice)->record);
  return true;
}

// ---- Pairing ----

uint32_t FakeBtPlatform::AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                                            std::u16string_view pin) {
  calls.push_back("AuthenticateDevice(" + std::string(owner ? "owner," : "null,") +
                  std::to_string(static_cast<uintptr_t>(radio)) + "," + Hex(device.address) + "," +
                  std::string(pin.begin(), pin.end()) + ")");
  uint32_t result = kErrorSuccess;
  if (!legacyResults.empty()) {
    result = legacyResults.front();
    legacyResults.pop_front();
  }
  if (FakeDevice* known = Find(device.address); known && result == kErrorSuccess) known->record.authenticated = true;
  return result;
}
BtModule FakeBtPlatform::LoadModule(std::u16string_view name) {
  calls.push_back("LoadModule(" + std::string(name.begin(), name.end()) + ")");
  if (!pairingModule || name != u"bthprops.cpl") return BtModule::kNone;
  ++open;
  return BtModule{3};
}
void FakeBtPlatform::FreeLoadedModule(BtModule) { calls.push_back("FreeLoadedModule()"); --open; }
std::optional<uint32_t> FakeBtPlatform::RegisterForAuthenticationEx(BtModule, const BtDeviceRecord& device,
                                                                    BtAuthCallback callback, void* context,
                                                                    BtRegistration& registration) {
  calls.push_back("RegisterForAuthenticationEx(" + Hex(device.address) + (context ? ",context)" : ",null)"));
  if (missingCalls.count("RegisterForAuthenticationEx") != 0) return std::nullopt;
  if (registerResult == kErrorSuccess) {
    registered = callback;
    registration = BtRegistration{4};
    ++open;
  }
  return registerResult;
}
std::optional<uint32_t> FakeBtPlatform::AuthenticateDeviceEx(BtModule, KVWindowHandle owner, BtRadio radio,
                                                             BtDeviceRecord& device, uint32_t requirement) {
  calls.push_back("AuthenticateDeviceEx(" + std::string(owner ? "owner," : "null,") +
                  std::to_string(static_cast<uintptr_t>(radio)) + "," + std::to_string(requirement) + ")");
  if (missingCalls.count("AuthenticateDeviceEx") != 0) return std::nullopt;
  // While the call runs the platform asks the registered callback for the PIN.
  uint32_t result = kErrorNotAuthenticated;
  BtAuthRequest request;
  request.device = device;
  request.method = kAuthMethodLegacy;
  if (registered && (*registered)(*this, nullptr, &request)) {
    const BtAuthResponse& sent = responses.back();
    const std::u16string expected(FindMessageText(kMsgPairingPin));
    if (sent.remoteAddress == device.address && std::equal(expected.begin(), expected.end(), sent.pin.begin(),
                                                           sent.pin.begin() + sent.pinLength)) {
      result = kErrorSuccess;
    }
  }
  if (!authExResults.empty()) {
    result = authExResults.front();
    authExResults.pop_front();
  }
  if (FakeDevice* known = Find(device.address); known && (result == kErrorSuccess || result == kErrorNoMoreItems)) {
    known->record.authenticated = true;
  }
  return result;
}
std::optional<uint32_t> FakeBtPlatform::SendAuthenticationResponseEx(BtModule, BtRadio radio,
                                                                     const BtAuthResponse& response) {
  calls.push_back("SendAuthenticationResponseEx(" + std::to_string(static_cast<uintptr_t>(radio)) + ")");
  if (missingCalls.count("SendAuthenticationResponseEx") != 0) return std::nullopt;
  responses.push_back(response);
  return sendResult;
}
bool FakeBtPlatform::UnregisterAuthentication(BtRegistration registration) {
  calls.push_back("UnregisterAuthentication()");
  if (!registered || registration != BtRegistration{4}) return false;
  registered.reset();
  --open;
  return true;
}
uint32_t FakeBtPlatform::SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service,
                                         bool enable) {
  calls.push_back("SetServiceState(" + std::to_string(static_cast<uintptr_t>(radio)) + "," + Hex(device.address) +
                  (service == kSerialPortServiceClass ? ",SPP," : ",other,") + Bits({enable}) + ")");
  if (serviceResults.empty()) return kErrorSuccess;
  const uint32_t result = serviceResults.front();
  serviceResults.pop_front();
  return result;
}
uint32_t FakeBtPlatform::RemoveDevice(uint64_t address) {
  calls.push_back("RemoveDevice(" + Hex(address) + ")");
  FakeDevice* known = Find(address);
  if (known == nullptr || removalFails.count(address) != 0) return kErrorNotFound;
  known->record.authenticated = known->record.remembered = false;
  return kErrorSuccess;
}

// ---- Port devices: class i has the identifier {i + 1} ----

bool FakeBtPlatform::ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) {
  calls.push_back("ClassGuidsFromName(" + std::string(className.begin(), className.end()) + ")");
  ++portLookups;
  if (classQueryFails) return false;
  for (uint32_t i = 0; i < portClasses.size() && className == u"ports"; ++i) classes.push_back(BtGuid{i + 1});
  return true;
}
BtPortList FakeBtPlatform::GetPresentDevices(const BtGuid& classId) {
  calls.push_back("GetPresentDevices(" + std::to_string(classId.data1) + ")");
  const FakePortClass& portClass = portClasses.at(classId.data1 - 1);
  if (portClass.listFails) return BtPortList::kNone;
  std::vector<const FakePort*> visible;
  for (const FakePort& port : portClass.ports) {
    if (port.fromLookup <= portLookups) visible.push_back(&port);
  }
  ++open;
  lists[classId.data1] = visible;
  return BtPortList{classId.data1};
}
bool FakeBtPlatform::GetListDetail(BtPortList list) {
  calls.push_back("GetListDetail()");
  return !portClasses.at(static_cast<size_t>(list) - 1).detailFails;
}
bool FakeBtPlatform::EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) {
  calls.push_back("EnumDevice(" + std::to_string(index) + ")");
  if (index >= lists.at(static_cast<uintptr_t>(list)).size()) return false;
  device = {index, 5000 + index};
  return true;
}
const FakePort& FakeBtPlatform::PortOf(BtPortList list, uint32_t index) const {
  return *lists.at(static_cast<uintptr_t>(list)).at(index);
}
uint32_t FakeBtPlatform::GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) {
  calls.push_back("GetDeviceId(" + std::to_string(device.index) + ")");
  id = PortOf(list, device.index).id;
  return PortOf(list, device.index).idResult;
}
bool FakeBtPlatform::GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) {
  calls.push_back("GetFriendlyName(" + std::to_string(device.index) + ")");
  name = PortOf(list, device.index).friendlyName;
  return PortOf(list, device.index).hasFriendlyName;
}
void FakeBtPlatform::DestroyDeviceList(BtPortList list) {
  calls.push_back("DestroyDeviceList()");
  lists.erase(static_cast<uintptr_t>(list));
  --open;
}

std::optional<uint32_t> FakeBtPlatform::WaitNoPendingInstallEvents(uint32_t milliseconds) {
  calls.push_back("WaitNoPendingInstallEvents(" + std::to_string(milliseconds) + ")");
  if (!waitFacility) return std::nullopt;
  const uint64_t end = std::min<uint64_t>(pendingUntil, now + milliseconds);
  now = std::max(now, end);
  return now < pendingUntil ? kWaitTimeout : kErrorSuccess;
}

// ---- Prompts and texts ----

int32_t FakeBtPlatform::ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                                    uint32_t style) {
  calls.push_back("ShowMessage()");
  prompts.push_back({owner != nullptr, std::u16string(text), std::u16string(caption), style});
  if (answers.empty()) return kButtonCancel;
  const int32_t answer = answers.front();
  answers.pop_front();
  return answer;
}
bool FakeBtPlatform::LoadText(uint32_t number, std::u16string& text) {
  calls.push_back("LoadText(" + std::to_string(number) + ")");
  const auto it = texts.find(number);
  text = it != texts.end() ? it->second : std::u16string(FindMessageText(number));
  return !text.empty();
}
bool FakeBtPlatform::ErrorText(uint32_t code, std::u16string& text) {
  calls.push_back("ErrorText(" + std::to_string(code) + ")");
  text = ErrorTextFor(code);
  return noErrorText.count(code) == 0;
}
void FakeBtPlatform::Sleep(uint32_t milliseconds) {
  calls.push_back("Sleep(" + std::to_string(milliseconds) + ")");
  now += milliseconds;
}

}  // namespace kv::bt::fake

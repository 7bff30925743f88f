// fake_bt_platform.cpp: the scripted platform. Where a flow depends on it, it answers as the platform's
// documentation says: an empty enumeration gives no handle and 259, a cancelled dialog 1223.
#include "fake_bt_platform.h"

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
uint32_t Next(std::deque<uint32_t>& queue, uint32_t otherwise) {
  if (queue.empty()) return otherwise;
  const uint32_t front = queue.front();
  queue.pop_front();
  return front;
}

}  // namespace

FakePort BluetoothPort(uint64_t address, std::u16string_view port) {
  char key[16];
  std::snprintf(key, sizeof key, "%012llX", static_cast<unsigned long long>(address));
  return {u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A4F1E3C&0&" +
              std::u16string(key, key + 12) + u"_C00000000",
          u"Standard Serial over Bluetooth link (COM" + std::u16string(port) + u")"};
}

FakeBtPlatform& FakeBtPlatform::SimulateDeviceInRange(std::u16string name, uint64_t address, bool paired) {
  BtDeviceRecord record;
  record.address = address;
  record.name = std::move(name);
  record.authenticated = record.remembered = paired;
  devices.push_back({record});
  return *this;
}

std::vector<std::string> FakeBtPlatform::Named(std::initializer_list<std::string_view> names) const {
  std::vector<std::string> out;
  for (const std::string& call : calls) {
    if (std::find(names.begin(), names.end(), call.substr(0, call.find('('))) != names.end()) out.push_back(call);
  }
  return out;
}

FakeDevice* FakeBtPlatform::Find(uint64_t address) {
  for (FakeDevice& device : devices) {
    if (device.record.address == address) return &device;
  }
  return nullptr;
}

// ---- Radios: handle i + 1 is radio i ----

BtRadioFind FakeBtPlatform::FindFirstRadio(BtRadio& radio) {
  Log("FindFirstRadio");
  radio = BtRadio::kNone;
  if (radios.empty()) return BtRadioFind::kNone;
  ++open;
  radioCursor = static_cast<size_t>(-1);
  FindNextRadio(BtRadioFind{1}, radio);
  return BtRadioFind{1};
}
bool FakeBtPlatform::FindNextRadio(BtRadioFind, BtRadio& radio) {
  radio = BtRadio::kNone;
  if (++radioCursor >= radios.size()) return false;
  if (radios[radioCursor]) radio = static_cast<BtRadio>(radioCursor + 1), ++open;
  return true;
}
uint32_t FakeBtPlatform::GetRadioInfo(BtRadio radio, BtRadioInfo& info) {
  Log("GetRadioInfo");
  if (radioInfoResult == kErrorSuccess) info = *radios.at(static_cast<size_t>(radio) - 1);
  return radioInfoResult;
}

// ---- Devices ----

BtDeviceFind FakeBtPlatform::FindFirstDevice(const BtDeviceSearch& s, BtDeviceRecord& device) {
  Log("FindFirstDevice(" + Bits({s.issueInquiry}) + "," + std::to_string(s.timeoutMultiplier) + "," +
      Bits({s.returnAuthenticated, s.returnRemembered, s.returnUnknown, s.returnConnected}) + "," +
      std::to_string(static_cast<uintptr_t>(s.radio)) + ")");
  listed.clear();
  lastError = Next(findFailures, kErrorNoMoreItems);
  if (lastError != kErrorNoMoreItems) return BtDeviceFind::kNone;
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
uint32_t FakeBtPlatform::GetDeviceInfo(BtRadio, BtDeviceRecord& device) {
  Log("GetDeviceInfo");
  const FakeDevice* known = Find(device.address);
  if (known == nullptr) return kErrorNotFound;
  device = known->record;
  return kErrorSuccess;
}

bool FakeBtPlatform::SelectDevices(const BtSelectDialog& d, std::vector<BtDeviceRecord>& chosen) {
  Log("SelectDevices(" + std::string(d.owner ? "owner," : "null,") +
      Bits({d.forceAuthentication, d.showAuthenticated, d.showRemembered, d.showUnknown, d.addNewDeviceWizard,
            d.skipServicesPage, d.filter != nullptr}) +
      "," + std::to_string(d.numDevices) + ")");
  std::vector<uint64_t>& shown = offered.emplace_back();
  for (const FakeDevice& known : devices) {
    const BtDeviceRecord& r = known.record;
    const bool kind = (r.authenticated && d.showAuthenticated) || (r.remembered && !r.authenticated && d.showRemembered) ||
                      (!r.remembered && known.inRange && d.showUnknown);
    if (kind && (d.filter == nullptr || d.filter(d.filterContext, &r))) shown.push_back(r.address);
  }
  std::optional<uint64_t> choice;
  if (!selections.empty()) choice = selections.front(), selections.pop_front();
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
  Log("AuthenticateDevice(" + std::string(owner ? "owner," : "null,") + std::to_string(uintptr_t(radio)) + "," +
      std::string(pin.begin(), pin.end()) + ")");
  const uint32_t result = Next(legacyResults, kErrorSuccess);
  if (FakeDevice* known = Find(device.address); known && result == kErrorSuccess) known->record.authenticated = true;
  return result;
}
BtModule FakeBtPlatform::LoadModule(std::u16string_view name) {
  Log("LoadModule");
  if (!pairingModule || name != u"bthprops.cpl") return BtModule::kNone;
  ++open;
  return BtModule{3};
}
std::optional<uint32_t> FakeBtPlatform::RegisterForAuthenticationEx(BtModule, const BtDeviceRecord&,
                                                                    BtAuthCallback callback, void*,
                                                                    BtRegistration& registration) {
  if (Log("RegisterForAuthenticationEx")) return std::nullopt;
  if (registerResult == kErrorSuccess) registered = callback, registration = BtRegistration{4}, ++open;
  return registerResult;
}
std::optional<uint32_t> FakeBtPlatform::AuthenticateDeviceEx(BtModule, KVWindowHandle, BtRadio, BtDeviceRecord& device,
                                                             uint32_t) {
  if (Log("AuthenticateDeviceEx")) return std::nullopt;
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
  result = Next(authExResults, result);
  if (FakeDevice* known = Find(device.address); known && (result == kErrorSuccess || result == kErrorNoMoreItems)) {
    known->record.authenticated = true;
  }
  return result;
}
bool FakeBtPlatform::UnregisterAuthentication(BtRegistration registration) {
  Log("UnregisterAuthentication");
  if (!registered || registration != BtRegistration{4}) return false;
  registered.reset();
  --open;
  return true;
}
uint32_t FakeBtPlatform::SetServiceState(BtRadio radio, const BtDeviceRecord&, const BtGuid& service,
                                         bool enable) {
  Log("SetServiceState(" + std::to_string(uintptr_t(radio)) + (service == kSerialPortServiceClass ? ",SPP," : ",other,") +
      Bits({enable}) + ")");
  return Next(serviceResults, kErrorSuccess);
}
uint32_t FakeBtPlatform::RemoveDevice(uint64_t address) {
  Log("RemoveDevice(" + Hex(address) + ")");
  FakeDevice* known = Find(address);
  if (known == nullptr || removalFails.count(address) != 0) return kErrorNotFound;
  known->record.authenticated = known->record.remembered = false;
  return kErrorSuccess;
}

// ---- Port devices: class i has the identifier {i + 1}; only the "ports" class is known ----

bool FakeBtPlatform::ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) {
  Log("ClassGuidsFromName");
  ++portLookups;
  if (classQueryFails) return false;
  for (uint32_t i = 0; i < portClasses.size() && className == u"ports"; ++i) classes.push_back(BtGuid{i + 1});
  return true;
}
BtPortList FakeBtPlatform::GetPresentDevices(const BtGuid& classId) {
  Log("GetPresentDevices");
  const FakePortClass& portClass = portClasses.at(classId.data1 - 1);
  if (portClass.listFails) return BtPortList::kNone;
  std::vector<const FakePort*>& visible = lists[classId.data1];
  visible.clear();
  for (const FakePort& port : portClass.ports) {
    if (port.fromLookup <= portLookups) visible.push_back(&port);
  }
  ++open;
  return BtPortList{classId.data1};
}

std::optional<uint32_t> FakeBtPlatform::WaitNoPendingInstallEvents(uint32_t milliseconds) {
  Log("WaitNoPendingInstallEvents(" + std::to_string(milliseconds) + ")");
  if (!waitFacility) return std::nullopt;
  now = std::max(now, std::min<uint64_t>(pendingUntil, now + milliseconds));
  return now < pendingUntil ? kWaitTimeout : kErrorSuccess;
}

// ---- Prompts and texts ----

int32_t FakeBtPlatform::ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                                    uint32_t style) {
  prompts.push_back({owner != nullptr, std::u16string(text), std::u16string(caption), style});
  if (answers.empty()) return kButtonCancel;
  const int32_t answer = answers.front();
  answers.pop_front();
  return answer;
}
bool FakeBtPlatform::LoadText(uint32_t number, std::u16string& text) {
  const auto it = texts.find(number);
  text = it != texts.end() ? it->second : std::u16string(FindMessageText(number));
  return !text.empty();
}

}  // namespace kv::bt::fake

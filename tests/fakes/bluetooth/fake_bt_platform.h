// fake_bt_platform.h: a scripted BtPlatform for the Bluetooth setup tests, fuzzer and benchmarks. The scene and
// the user's answers are public fields; every call is logged in order by name, a few with the arguments the
// tests look at; it never sleeps. Where a flow depends on it, it answers as the platform's documentation says:
// an empty enumeration gives no handle and 259, a cancelled dialog 1223.
#pragma once

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "bluetooth/platform.h"
#include "messages.h"
#include "utf_convert.h"

namespace kv::bt::fake {

struct FakeDevice {
  BtDeviceRecord record;  // what a refresh (GetDeviceInfo) gives
  bool inRange = true;    // met by an inquiry
  bool nameless = false;  // the enumeration gives it without its name
};

struct FakePort {
  std::u16string id, friendlyName;
  uint32_t idResult = kErrorSuccess;
  bool hasFriendlyName = true;
  uint32_t fromLookup = 1;  // listed from this 1-based class query on
};

struct FakePortClass {
  std::vector<FakePort> ports;
  bool listFails = false, detailFails = false;
};

using Prompt = std::tuple<bool, std::u16string, std::u16string, uint32_t>;  // owned, text, caption, style

inline std::string Hex(uint64_t value, int width = 1) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llX", width, static_cast<unsigned long long>(value));
  return text;
}
inline std::string Bits(std::initializer_list<bool> bits) {
  std::string out;
  for (bool bit : bits) out.push_back(bit ? '1' : '0');
  return out;
}
template <class T>
T Next(std::deque<T>& queue, T otherwise) {
  if (!queue.empty()) otherwise = queue.front(), queue.pop_front();
  return otherwise;
}
// A Bluetooth serial port's instance identifier and friendly name, as the platform forms them.
inline FakePort BluetoothPort(uint64_t address, std::u16string_view port) {
  const std::string key = Hex(address, 12);
  return {u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A4F1E3C&0&" +
              std::u16string(key.begin(), key.end()) + u"_C00000000",
          u"Standard Serial over Bluetooth link (COM" + std::u16string(port) + u")"};
}
// The decimal digits of n.
inline std::u16string Text(int64_t n) { return Utf16FromUtf8(std::to_string(n)); }
// The platform's error text for code.
inline std::u16string ErrorTextFor(uint32_t code) { return u"Platform text of error " + Text(code); }

class FakeBtPlatform final : public BtPlatform {
 public:
  // ---- Scene ----
  std::vector<std::optional<BtRadioInfo>> radios;  // nullopt: listed with a null handle; handle i + 1 is radio i
  uint32_t radioInfoResult = kErrorSuccess;
  std::vector<FakeDevice> devices;
  std::deque<uint32_t> findFailures;  // the next device enumerations fail with these codes
  bool pairingModule = true;
  std::set<std::string> missingCalls;  // newer pairing calls the module lacks, by name
  std::deque<uint32_t> legacyResults;  // queued answers; legacy pairing succeeds otherwise
  std::deque<uint32_t> authExResults;  // queued answers; otherwise success when the callback sent the PIN
  std::deque<uint32_t> serviceResults;
  uint32_t registerResult = kErrorSuccess, sendResult = kErrorSuccess;
  std::set<uint64_t> removalFails;
  bool classQueryFails = false;
  std::vector<FakePortClass> portClasses{1};  // class i has the identifier {i + 1}
  bool waitFacility = true;
  uint64_t pendingUntil = 0, now = 0;        // on the fake clock
  std::map<uint32_t, std::u16string> texts;  // overrides of the message table
  std::set<uint32_t> noErrorText;
  // ---- Answers: buttons (Cancel when none is left), dialog choices (nullopt: cancelled, 0: none) ----
  std::deque<int32_t> answers;
  std::deque<std::optional<uint64_t>> selections;

  // The benchmarks' scene builders.
  FakeBtPlatform& SimulateRadio(std::u16string name = u"LAB-PC", uint16_t manufacturer = 15, uint16_t lmp = 4096) {
    return radios.push_back(BtRadioInfo{1, std::move(name), 0, lmp, manufacturer}), *this;
  }
  FakeBtPlatform& SimulateDeviceInRange(std::u16string name, uint64_t address, bool paired = false) {
    return devices.push_back({{address, 0, false, paired, paired, {}, {}, std::move(name)}}), *this;
  }
  FakeBtPlatform& SimulatePortDevice(FakePort port) {
    return portClasses.at(0).ports.push_back(std::move(port)), *this;
  }
  FakeBtPlatform& SimulatePendingInstall(uint64_t milliseconds) { return pendingUntil = now + milliseconds, *this; }

  // ---- Observation ----
  std::vector<std::string> calls;
  std::vector<Prompt> prompts;
  std::vector<std::vector<uint64_t>> offered;  // per dialog, the devices its filter let through
  std::vector<BtAuthResponse> responses;
  std::vector<std::string> Named(std::initializer_list<std::string_view> names) const {
    std::vector<std::string> out;
    for (const std::string& call : calls) {
      if (std::find(names.begin(), names.end(), call.substr(0, call.find('('))) != names.end()) out.push_back(call);
    }
    return out;
  }
  size_t Count(std::string_view name) const { return Named({name}).size(); }
  int open = 0;  // handles, modules, registrations and lists not yet given back
  bool IsPaired(uint64_t address) { return Find(address) && Find(address)->record.authenticated; }

  // ---- Radios ----
  BtRadioFind FindFirstRadio(BtRadio& radio) override {
    Log("FindFirstRadio");
    radio = BtRadio::kNone;
    if (radios.empty()) return BtRadioFind::kNone;
    radioCursor = static_cast<size_t>(-1);
    return ++open, FindNextRadio(BtRadioFind{1}, radio), BtRadioFind{1};
  }
  bool FindNextRadio(BtRadioFind, BtRadio& radio) override {
    radio = BtRadio::kNone;
    if (++radioCursor >= radios.size()) return false;
    if (radios[radioCursor]) radio = static_cast<BtRadio>(radioCursor + 1), ++open;
    return true;
  }
  void FindRadioClose(BtRadioFind) override { Log("FindRadioClose"), --open; }
  uint32_t GetRadioInfo(BtRadio radio, BtRadioInfo& info) override {
    if (Log("GetRadioInfo"), radioInfoResult == kErrorSuccess) info = *radios.at(static_cast<size_t>(radio) - 1);
    return radioInfoResult;
  }
  void CloseRadio(BtRadio) override { Log("CloseRadio"), --open; }

  // ---- Devices ----
  BtDeviceFind FindFirstDevice(const BtDeviceSearch& s, BtDeviceRecord& device) override {
    Log("FindFirstDevice(" + Bits({s.issueInquiry}) + "," + std::to_string(s.timeoutMultiplier) + "," +
        Bits({s.returnAuthenticated, s.returnRemembered, s.returnUnknown, s.returnConnected}) + "," +
        std::to_string(static_cast<uintptr_t>(s.radio)) + ")");
    listed.clear();
    if ((lastError = Next(findFailures, kErrorNoMoreItems)) != kErrorNoMoreItems) return BtDeviceFind::kNone;
    for (const FakeDevice& known : devices) {
      const BtDeviceRecord& r = known.record;
      if ((r.authenticated && s.returnAuthenticated) || (r.remembered && s.returnRemembered) ||
          (known.inRange && s.issueInquiry && s.returnUnknown)) {
        listed.push_back(r);
        if (known.nameless) listed.back().name.clear();
      }
    }
    if (listed.empty()) return BtDeviceFind::kNone;
    return device = listed[deviceCursor = 0], ++open, BtDeviceFind{2};
  }
  bool FindNextDevice(BtDeviceFind, BtDeviceRecord& device) override {
    Log("FindNextDevice");
    if (++deviceCursor >= listed.size()) return false;
    return device = listed[deviceCursor], true;
  }
  void FindDeviceClose(BtDeviceFind) override { Log("FindDeviceClose"), --open; }
  uint32_t GetDeviceInfo(BtRadio, BtDeviceRecord& device) override {
    Log("GetDeviceInfo");
    if (const FakeDevice* known = Find(device.address)) return device = known->record, kErrorSuccess;
    return kErrorNotFound;
  }
  uint32_t LastError() override { return lastError; }
  bool SelectDevices(const BtSelectDialog& d, std::vector<BtDeviceRecord>& chosen) override {
    Log("SelectDevices(" + std::string(d.owner ? "owner," : "null,") +
        Bits({d.forceAuthentication, d.showAuthenticated, d.showRemembered, d.showUnknown, d.addNewDeviceWizard,
              d.skipServicesPage, d.filter != nullptr}) +
        "," + std::to_string(d.numDevices) + ")");
    std::vector<uint64_t>& shown = offered.emplace_back();
    for (const FakeDevice& known : devices) {
      const BtDeviceRecord& r = known.record;
      const bool kind = (r.authenticated && d.showAuthenticated) ||
                        (r.remembered && !r.authenticated && d.showRemembered) ||
                        (!r.remembered && known.inRange && d.showUnknown);
      if (kind && (d.filter == nullptr || d.filter(d.filterContext, &r))) shown.push_back(r.address);
    }
    const std::optional<uint64_t> choice = Next(selections, std::optional<uint64_t>());
    lastError = kErrorCancelled;
    if (!choice) return false;
    chosen.clear();
    if (*choice == 0) return true;
    if (std::find(shown.begin(), shown.end(), *choice) == shown.end()) return false;  // not on offer
    return chosen.push_back(Find(*choice)->record), true;
  }

  // ---- Pairing: the module is handle 3, the registration handle 4 ----
  uint32_t AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                              std::u16string_view pin) override {
    Log("AuthenticateDevice(" + std::string(owner ? "owner," : "null,") + std::to_string(uintptr_t(radio)) + "," +
        std::string(pin.begin(), pin.end()) + ")");
    return Paired(device, Next(legacyResults, kErrorSuccess));
  }
  BtModule LoadModule(std::u16string_view name) override {
    if (Log("LoadModule"), !pairingModule || name != u"bthprops.cpl") return BtModule::kNone;
    return ++open, BtModule{3};
  }
  void FreeLoadedModule(BtModule) override { Log("FreeLoadedModule"), --open; }
  std::optional<uint32_t> RegisterForAuthenticationEx(BtModule, const BtDeviceRecord&, BtAuthCallback callback, void*,
                                                      BtRegistration& registration) override {
    if (Log("RegisterForAuthenticationEx")) return std::nullopt;
    if (registerResult == kErrorSuccess) registered = callback, registration = BtRegistration{4}, ++open;
    return registerResult;
  }
  std::optional<uint32_t> AuthenticateDeviceEx(BtModule, KVWindowHandle, BtRadio, BtDeviceRecord& device,
                                               uint32_t) override {
    if (Log("AuthenticateDeviceEx")) return std::nullopt;
    // While the call runs the platform asks the registered callback for the PIN.
    uint32_t result = kErrorNotAuthenticated;
    const BtAuthRequest request{device, kAuthMethodLegacy};
    if (registered && (*registered)(*this, nullptr, &request)) {
      const BtAuthResponse& sent = responses.back();
      const std::u16string_view expected = FindMessageText(kMsgPairingPin);
      if (sent.remoteAddress == device.address &&
          std::equal(expected.begin(), expected.end(), sent.pin.begin(), sent.pin.begin() + sent.pinLength)) {
        result = kErrorSuccess;
      }
    }
    result = Next(authExResults, result);
    Paired(device, result == kErrorNoMoreItems ? kErrorSuccess : result);
    return result;
  }
  std::optional<uint32_t> SendAuthenticationResponseEx(BtModule, BtRadio, const BtAuthResponse& response) override {
    if (Log("SendAuthenticationResponseEx")) return std::nullopt;
    return responses.push_back(response), sendResult;
  }
  bool UnregisterAuthentication(BtRegistration registration) override {
    if (Log("UnregisterAuthentication"), !registered || registration != BtRegistration{4}) return false;
    return registered.reset(), --open, true;
  }
  uint32_t SetServiceState(BtRadio radio, const BtDeviceRecord&, const BtGuid& service, bool enable) override {
    Log("SetServiceState(" + std::to_string(uintptr_t(radio)) +
        (service == kSerialPortServiceClass ? ",SPP," : ",other,") + Bits({enable}) + ")");
    return Next(serviceResults, kErrorSuccess);
  }
  uint32_t RemoveDevice(uint64_t address) override {
    Log("RemoveDevice(" + Hex(address) + ")");
    FakeDevice* known = Find(address);
    if (known == nullptr || removalFails.count(address) != 0) return kErrorNotFound;
    return known->record.authenticated = known->record.remembered = false, kErrorSuccess;
  }

  // ---- Port devices: only the "ports" class is known; list i is class i - 1 ----
  bool ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) override {
    if (Log("ClassGuidsFromName"), ++portLookups, classQueryFails) return false;
    for (uint32_t i = 0; i < portClasses.size() && className == u"ports"; ++i) classes.push_back(BtGuid{i + 1});
    return true;
  }
  BtPortList GetPresentDevices(const BtGuid& classId) override {
    const FakePortClass& portClass = portClasses.at(classId.data1 - 1);
    if (Log("GetPresentDevices"), portClass.listFails) return BtPortList::kNone;
    std::vector<const FakePort*>& visible = lists[classId.data1];
    visible.clear();
    for (const FakePort& port : portClass.ports) {
      if (port.fromLookup <= portLookups) visible.push_back(&port);
    }
    return ++open, BtPortList{classId.data1};
  }
  bool GetListDetail(BtPortList list) override {
    return Log("GetListDetail"), !portClasses.at(size_t(list) - 1).detailFails;
  }
  bool EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) override {
    if (Log("EnumDevice"), index >= lists.at(uintptr_t(list)).size()) return false;
    return device = {index, 5000 + index}, true;
  }
  uint32_t GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) override {
    return Log("GetDeviceId"), id = PortOf(list, device).id, PortOf(list, device).idResult;
  }
  bool GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) override {
    return Log("GetFriendlyName"), name = PortOf(list, device).friendlyName, PortOf(list, device).hasFriendlyName;
  }
  void DestroyDeviceList(BtPortList list) override { Log("DestroyDeviceList"), lists.erase(uintptr_t(list)), --open; }
  std::optional<uint32_t> WaitNoPendingInstallEvents(uint32_t milliseconds) override {
    if (Log("WaitNoPendingInstallEvents(" + std::to_string(milliseconds) + ")"), !waitFacility) return std::nullopt;
    now = std::max(now, std::min<uint64_t>(pendingUntil, now + milliseconds));
    return now < pendingUntil ? kWaitTimeout : kErrorSuccess;
  }

  // ---- Prompts and texts ----
  int32_t ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                      uint32_t style) override {
    prompts.push_back({owner != nullptr, std::u16string(text), std::u16string(caption), style});
    return Next(answers, kButtonCancel);
  }
  bool LoadText(uint32_t number, std::u16string& text) override {
    const auto it = texts.find(number);
    text = it != texts.end() ? it->second : std::u16string(FindMessageText(number));
    return !text.empty();
  }
  bool ErrorText(uint32_t code, std::u16string& text) override {
    return Log("ErrorText"), text = ErrorTextFor(code), noErrorText.count(code) == 0;
  }
  void Sleep(uint32_t milliseconds) override { Log("Sleep"), now += milliseconds; }

 private:
  static constexpr uint32_t kErrorNotFound = 1168;
  // Records the call; true when the module lacks it.
  bool Log(std::string call) {
    calls.push_back(call);
    return missingCalls.count(call) != 0;
  }
  FakeDevice* Find(uint64_t address) {
    const auto it = std::find_if(devices.begin(), devices.end(), [&](auto& d) { return d.record.address == address; });
    return it != devices.end() ? &*it : nullptr;
  }
  uint32_t Paired(const BtDeviceRecord& device, uint32_t result) {
    if (FakeDevice* known = Find(device.address); known && result == kErrorSuccess) known->record.authenticated = true;
    return result;
  }
  const FakePort& PortOf(BtPortList list, const BtPortDevice& device) const {
    return *lists.at(uintptr_t(list)).at(device.index);
  }

  uint32_t lastError = kErrorSuccess;
  size_t radioCursor = 0, deviceCursor = 0;
  std::vector<BtDeviceRecord> listed;
  std::optional<BtAuthCallback> registered;
  uint32_t portLookups = 0;
  std::map<uintptr_t, std::vector<const FakePort*>> lists;
};

}  // namespace kv::bt::fake

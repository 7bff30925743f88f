// fake_bt_platform.h: a scripted BtPlatform for the Bluetooth setup tests and benchmarks. The scene and the
// user's answers are public fields; every call is recorded in order by name, a few with the arguments the
// tests look at; it never sleeps.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bluetooth/platform.h"

namespace kv::bt::fake {

struct FakeDevice {
  BtDeviceRecord record;  // what a refresh (GetDeviceInfo) gives
  bool inRange = true;    // met by an inquiry
  bool nameless = false;  // the enumeration gives it without its name
};

struct FakePort {
  std::u16string id;
  std::u16string friendlyName;
  uint32_t idResult = kErrorSuccess;
  bool hasFriendlyName = true;
  uint32_t fromLookup = 1;  // listed from this 1-based class query on
};

struct FakePortClass {
  bool listFails = false;
  bool detailFails = false;
  std::vector<FakePort> ports;
};

struct Prompt {
  bool owned;
  std::u16string text;
  std::u16string caption;
  uint32_t style;
  friend bool operator==(const Prompt&, const Prompt&) = default;
};

// A Bluetooth serial port's instance identifier and friendly name, as the platform forms them.
FakePort BluetoothPort(uint64_t address, std::u16string_view port);
// The platform's error text for code.
inline std::u16string ErrorTextFor(uint32_t code) {
  const std::string digits = std::to_string(code);
  return u"Platform text of error " + std::u16string(digits.begin(), digits.end());
}

class FakeBtPlatform final : public BtPlatform {
 public:
  // ---- Scene ----
  std::vector<std::optional<BtRadioInfo>> radios;  // nullopt: listed with a null handle
  uint32_t radioInfoResult = kErrorSuccess;
  std::vector<FakeDevice> devices;
  std::deque<uint32_t> findFailures;  // the next device enumerations fail with these codes
  bool pairingModule = true;
  std::set<std::string> missingCalls;  // newer pairing calls the module lacks, by name
  std::deque<uint32_t> legacyResults;  // queued answers; legacy pairing succeeds otherwise
  std::deque<uint32_t> authExResults;  // queued answers; otherwise success when the callback sent the PIN
  std::deque<uint32_t> serviceResults;
  uint32_t registerResult = kErrorSuccess;
  uint32_t sendResult = kErrorSuccess;
  std::set<uint64_t> removalFails;
  bool classQueryFails = false;
  std::vector<FakePortClass> portClasses{1};
  bool waitFacility = true;
  uint64_t pendingUntil = 0;  // on the fake clock
  uint64_t now = 0;
  std::map<uint32_t, std::u16string> texts;  // overrides of the message table
  std::set<uint32_t> noErrorText;
  // ---- Answers: buttons (Cancel when none is left), dialog choices (nullopt: cancelled, 0: none) ----
  std::deque<int32_t> answers;
  std::deque<std::optional<uint64_t>> selections;

  // The benchmarks' scene builders.
  FakeBtPlatform& SimulateRadio(std::u16string name = u"LAB-PC", uint16_t manufacturer = 15, uint16_t lmp = 4096) {
    radios.push_back(BtRadioInfo{1, std::move(name), 0, lmp, manufacturer});
    return *this;
  }
  FakeBtPlatform& SimulateDeviceInRange(std::u16string name, uint64_t address, bool paired = false);
  FakeBtPlatform& SimulatePortDevice(FakePort port, size_t portClass = 0) {
    portClasses.at(portClass).ports.push_back(std::move(port));
    return *this;
  }
  FakeBtPlatform& AnswerPrompts(std::initializer_list<int32_t> buttons) {
    answers.insert(answers.end(), buttons);
    return *this;
  }
  FakeBtPlatform& SimulatePendingInstall(uint64_t milliseconds) {
    pendingUntil = now + milliseconds;
    return *this;
  }

  // ---- Observation ----
  std::vector<std::string> calls;
  std::vector<Prompt> prompts;
  std::vector<std::vector<uint64_t>> offered;  // per dialog, the devices its filter let through
  std::vector<BtAuthResponse> responses;
  std::vector<std::string> Named(std::initializer_list<std::string_view> names) const;
  size_t Count(std::string_view name) const { return Named({name}).size(); }
  int OpenHandles() const { return open; }
  bool IsPaired(uint64_t address) { return Find(address) && Find(address)->record.authenticated; }

  BtRadioFind FindFirstRadio(BtRadio& radio) override;
  bool FindNextRadio(BtRadioFind find, BtRadio& radio) override;
  void FindRadioClose(BtRadioFind) override { Log("FindRadioClose"), --open; }
  uint32_t GetRadioInfo(BtRadio radio, BtRadioInfo& info) override;
  void CloseRadio(BtRadio) override { Log("CloseRadio"), --open; }
  BtDeviceFind FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) override;
  bool FindNextDevice(BtDeviceFind, BtDeviceRecord& device) override {
    Log("FindNextDevice");
    if (++deviceCursor >= listed.size()) return false;
    return device = listed[deviceCursor], true;
  }
  void FindDeviceClose(BtDeviceFind) override { Log("FindDeviceClose"), --open; }
  uint32_t GetDeviceInfo(BtRadio radio, BtDeviceRecord& device) override;
  uint32_t LastError() override { return lastError; }
  bool SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) override;
  uint32_t AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                              std::u16string_view pin) override;
  BtModule LoadModule(std::u16string_view name) override;
  void FreeLoadedModule(BtModule) override { Log("FreeLoadedModule"), --open; }
  std::optional<uint32_t> RegisterForAuthenticationEx(BtModule, const BtDeviceRecord& device, BtAuthCallback callback,
                                                      void* context, BtRegistration& registration) override;
  std::optional<uint32_t> AuthenticateDeviceEx(BtModule, KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                                               uint32_t requirement) override;
  std::optional<uint32_t> SendAuthenticationResponseEx(BtModule, BtRadio, const BtAuthResponse& response) override {
    if (Log("SendAuthenticationResponseEx")) return std::nullopt;
    return responses.push_back(response), sendResult;
  }
  bool UnregisterAuthentication(BtRegistration registration) override;
  uint32_t SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service, bool enable) override;
  uint32_t RemoveDevice(uint64_t address) override;
  bool ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) override;
  BtPortList GetPresentDevices(const BtGuid& classId) override;
  bool GetListDetail(BtPortList list) override { return Log("GetListDetail"), !portClasses.at(size_t(list) - 1).detailFails; }
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
  std::optional<uint32_t> WaitNoPendingInstallEvents(uint32_t milliseconds) override;
  int32_t ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                      uint32_t style) override;
  bool LoadText(uint32_t number, std::u16string& text) override;
  bool ErrorText(uint32_t code, std::u16string& text) override {
    return Log("ErrorText"), text = ErrorTextFor(code), noErrorText.count(code) == 0;
  }
  void Sleep(uint32_t milliseconds) override { Log("Sleep"), now += milliseconds; }

 private:
  // Records the call; true when the module lacks it.
  bool Log(std::string call) {
    calls.push_back(call);
    return missingCalls.count(call) != 0;
  }
  FakeDevice* Find(uint64_t address);
  const FakePort& PortOf(BtPortList list, const BtPortDevice& device) const {
    return *lists.at(uintptr_t(list)).at(device.index);
  }

  int open = 0;  // handles, modules, registrations and lists not yet given back
  uint32_t lastError = kErrorSuccess;
  size_t radioCursor = 0;
  std::vector<BtDeviceRecord> listed;
  size_t deviceCursor = 0;
  std::optional<BtAuthCallback> registered;
  uint32_t portLookups = 0;
  std::map<uintptr_t, std::vector<const FakePort*>> lists;
};

}  // namespace kv::bt::fake

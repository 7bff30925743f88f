// fake_bt_platform.h: a scripted BtPlatform for the Bluetooth setup tests: radios, devices in range, pairing
// results, port devices that appear after k lookups, pending installations on a fake clock, and queues of
// answers for message boxes and the selection dialog. Records every call and prompt in order; never sleeps.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "bluetooth/platform.h"

namespace kv::bt::fake {

// A device the platform knows of or meets in an inquiry.
struct FakeDevice {
  BtDeviceRecord record;    // what a refresh (GetDeviceInfo) gives
  bool inRange = true;      // met by an inquiry
  std::optional<std::u16string> enumeratedName;  // the name the enumeration itself gives, when it differs
  std::u16string pin = u"73914";  // what the device accepts
};

// A device of the setup class "ports".
struct FakePortDevice {
  std::u16string instanceId;
  std::u16string friendlyName;
  uint32_t idResult = 0;          // answer of the identifier read
  bool hasFriendlyName = true;
  uint32_t visibleFromLookup = 1;  // 1-based lookup (class query) from which it is listed
};

struct FakePortClass {
  BtGuid id;
  bool listFails = false;    // GetPresentDevices answers the invalid handle
  bool detailFails = false;  // GetListDetail answers false
  std::vector<FakePortDevice> devices;
};

struct Prompt {
  KVWindowHandle owner = nullptr;
  std::u16string text;
  std::u16string caption;
  uint32_t style = 0;
  int32_t answer = 0;
};

struct DialogShown {
  BtSelectDialog dialog;
  std::vector<uint64_t> offered;  // the devices the dialog offered, after its filter
};

// The address key a port's instance identifier carries, written independently of the code under test.
std::u16string KeyOf(uint64_t address);
// A Bluetooth serial port's identifier and friendly name as the platform forms them.
FakePortDevice BluetoothPort(uint64_t address, std::u16string_view portText);
std::string Narrow(std::u16string_view text);

class FakeBtPlatform final : public BtPlatform {
 public:
  FakeBtPlatform();

  // ---- Scenario ----
  FakeBtPlatform& SimulateRadio(std::u16string name = u"LAB-PC", uint16_t manufacturer = 15,
                                uint16_t lmpSubversion = 4096);
  FakeBtPlatform& SimulateRadioWithNullHandle();
  FakeBtPlatform& SimulateRadioInfoFails(uint32_t code);
  // Radios are listed only from this 1-based radio enumeration on.
  FakeBtPlatform& SimulateRadiosAppearAtLookup(uint32_t lookup);

  FakeBtPlatform& SimulateDevice(FakeDevice device);
  FakeBtPlatform& SimulateDeviceInRange(std::u16string name, uint64_t address, bool authenticated = false,
                                        uint32_t classOfDevice = 0x001F00);
  // The next FindFirstDevice calls fail with these codes, one per call.
  FakeBtPlatform& SimulateEnumerationFails(uint32_t code, int times = 1);

  FakeBtPlatform& SimulateNoPairingModule();
  FakeBtPlatform& SimulateMissingCall(std::string_view name);  // "RegisterForAuthenticationEx", ...
  FakeBtPlatform& QueueLegacyResult(uint32_t result);
  FakeBtPlatform& QueueAuthenticateExResult(uint32_t result);
  FakeBtPlatform& QueueServiceResult(uint32_t result);
  FakeBtPlatform& SetRegisterResult(uint32_t result);
  FakeBtPlatform& SetSendResponseResult(uint32_t result);
  FakeBtPlatform& SetRequestMethod(uint32_t method);
  FakeBtPlatform& SimulateRemovalFails(uint64_t address);

  FakeBtPlatform& SimulatePortDevice(FakePortDevice device, size_t classIndex = 0);
  FakeBtPlatform& SimulatePortAppearsAfter(uint32_t lookups, uint64_t address, std::u16string_view portText);
  FakeBtPlatform& SimulatePortClass(FakePortClass portClass);
  FakeBtPlatform& SimulateNoPortsClass();
  FakeBtPlatform& SimulateClassQueryFails();

  FakeBtPlatform& SimulatePendingInstall(uint64_t durationMilliseconds);
  FakeBtPlatform& SimulateNoInstallWaitFacility();

  FakeBtPlatform& SetErrorText(uint32_t code, std::u16string text);
  FakeBtPlatform& SimulateNoErrorText(uint32_t code);
  FakeBtPlatform& SetText(uint32_t number, std::u16string text);

  // ---- Answers ----
  FakeBtPlatform& AnswerPrompts(std::initializer_list<int32_t> buttons);
  FakeBtPlatform& AnswerSelection(uint64_t address);
  FakeBtPlatform& AnswerSelectionCancelled();
  FakeBtPlatform& AnswerSelectionWithNoDevice();

  // ---- Observation ----
  const std::vector<std::string>& Calls() const { return m_calls; }
  // The calls whose name is one of names, in order.
  std::vector<std::string> CallsNamed(std::initializer_list<std::string_view> names) const;
  size_t CountCalls(std::string_view name) const;
  const std::vector<Prompt>& Prompts() const { return m_prompts; }
  const std::vector<DialogShown>& Dialogs() const { return m_dialogs; }
  const std::vector<BtAuthResponse>& Responses() const { return m_responses; }
  const std::vector<bool>& CallbackAnswers() const { return m_callbackAnswers; }
  std::u16string ErrorTextFor(uint32_t code) const;
  uint64_t NowMilliseconds() const { return m_now; }
  bool IsPaired(uint64_t address) const;
  bool ServiceEnabled(uint64_t address) const { return m_serviceEnabled.count(address) != 0; }
  // Handles, modules and registrations still open; 0 after every well-behaved flow.
  int OpenHandles() const;
  size_t UnusedAnswers() const { return m_answers.size() + m_selections.size(); }
  int UnscriptedPrompts() const { return m_unscriptedPrompts; }

  // ---- BtPlatform ----
  BtRadioFind FindFirstRadio(BtRadio& radio) override;
  bool FindNextRadio(BtRadioFind find, BtRadio& radio) override;
  void FindRadioClose(BtRadioFind find) override;
  uint32_t GetRadioInfo(BtRadio radio, BtRadioInfo& info) override;
  void CloseRadio(BtRadio radio) override;
  BtDeviceFind FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) override;
  bool FindNextDevice(BtDeviceFind find, BtDeviceRecord& device) override;
  void FindDeviceClose(BtDeviceFind find) override;
  uint32_t GetDeviceInfo(BtRadio radio, BtDeviceRecord& device) override;
  uint32_t LastError() override;
  bool SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) override;
  uint32_t AuthenticateDevice(KVWindowHandle owner, BtRadio radio, BtDeviceRecord& device,
                              std::u16string_view pin) override;
  BtModule LoadModule(std::u16string_view name) override;
  void FreeLoadedModule(BtModule module) override;
  std::optional<uint32_t> RegisterForAuthenticationEx(BtModule module, const BtDeviceRecord& device,
                                                      BtAuthCallback callback, void* context,
                                                      BtRegistration& registration) override;
  std::optional<uint32_t> AuthenticateDeviceEx(BtModule module, KVWindowHandle owner, BtRadio radio,
                                               BtDeviceRecord& device, uint32_t requirement) override;
  std::optional<uint32_t> SendAuthenticationResponseEx(BtModule module, BtRadio radio,
                                                       const BtAuthResponse& response) override;
  bool UnregisterAuthentication(BtRegistration registration) override;
  uint32_t SetServiceState(BtRadio radio, const BtDeviceRecord& device, const BtGuid& service, bool enable) override;
  uint32_t RemoveDevice(uint64_t address) override;
  bool ClassGuidsFromName(std::u16string_view className, std::vector<BtGuid>& classes) override;
  BtPortList GetPresentDevices(const BtGuid& classId) override;
  bool GetListDetail(BtPortList list) override;
  bool EnumDevice(BtPortList list, uint32_t index, BtPortDevice& device) override;
  uint32_t GetDeviceId(BtPortList list, const BtPortDevice& device, std::u16string& id) override;
  bool GetFriendlyName(BtPortList list, const BtPortDevice& device, std::u16string& name) override;
  void DestroyDeviceList(BtPortList list) override;
  std::optional<uint32_t> WaitNoPendingInstallEvents(uint32_t timeoutMilliseconds) override;
  int32_t ShowMessage(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                      uint32_t style) override;
  bool LoadText(uint32_t number, std::u16string& text) override;
  bool ErrorText(uint32_t code, std::u16string& text) override;
  void Sleep(uint32_t milliseconds) override;

 private:
  struct FakeRadio {
    bool nullHandle = false;
    BtRadioInfo info;
    uint32_t infoResult = 0;
  };
  struct Selection {
    enum Kind { kChoose, kCancel, kNoDevice } kind = kCancel;
    uint64_t address = 0;
  };
  struct OpenList {
    size_t classIndex = 0;
    uint32_t lookup = 0;
    std::vector<const FakePortDevice*> visible;
  };

  void Record(std::string call);
  FakeDevice* Find(uint64_t address);
  bool Missing(std::string_view call) const { return m_missingCalls.count(std::string(call)) != 0; }
  static std::optional<uint32_t> Pop(std::deque<uint32_t>& queue);
  void MarkPaired(BtDeviceRecord& device);

  std::vector<std::string> m_calls;
  std::vector<Prompt> m_prompts;
  std::vector<DialogShown> m_dialogs;
  std::vector<BtAuthResponse> m_responses;
  std::vector<bool> m_callbackAnswers;
  uint32_t m_lastError = 0;
  uint64_t m_now = 0;

  std::vector<FakeRadio> m_radios;
  uint32_t m_radioLookups = 0;
  uint32_t m_radiosFromLookup = 1;
  size_t m_radioCursor = 0;
  int m_openRadioFinds = 0;
  std::set<uintptr_t> m_openRadios;

  std::vector<FakeDevice> m_devices;
  std::deque<uint32_t> m_enumerationFailures;
  std::map<uintptr_t, std::pair<std::vector<BtDeviceRecord>, size_t>> m_deviceFinds;
  uintptr_t m_nextHandle = 100;

  bool m_pairingModule = true;
  std::set<std::string> m_missingCalls;
  std::deque<uint32_t> m_legacyResults;
  std::deque<uint32_t> m_authExResults;
  std::deque<uint32_t> m_serviceResults;
  uint32_t m_registerResult = 0;
  uint32_t m_sendResult = 0;
  uint32_t m_requestMethod = kAuthMethodLegacy;
  std::set<uint64_t> m_removalFails;
  std::set<uint64_t> m_serviceEnabled;
  int m_loadedModules = 0;
  std::map<uintptr_t, std::pair<BtAuthCallback, void*>> m_registrations;

  bool m_classQueryFails = false;
  std::vector<FakePortClass> m_portClasses;
  uint32_t m_portLookups = 0;
  std::map<uintptr_t, OpenList> m_openLists;

  bool m_waitFacility = true;
  uint64_t m_pendingUntil = 0;

  std::map<uint32_t, std::u16string> m_errorTexts;
  std::set<uint32_t> m_noErrorText;
  std::map<uint32_t, std::u16string> m_texts;

  std::deque<int32_t> m_answers;
  std::deque<Selection> m_selections;
  int m_unscriptedPrompts = 0;
};

}  // namespace kv::bt::fake

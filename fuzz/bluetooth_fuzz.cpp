// bluetooth_fuzz.cpp: the eight Bluetooth flows over a platform whose every answer comes from fuzz
// input: radios and devices in any number, names of 248 units with no terminator or with zeros
// inside, error codes of any value, message-box buttons outside the styles asked, friendly names
// and instance ids of any text, the pairing callback called with any request. Checks truth values,
// caller buffers kept to their capacities and terminated, bounded sleeping. Fuzzing only.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bluetooth/platform.h"
#include "bluetooth/setup.h"
#include "bluetooth/stack.h"

namespace {

using namespace kv::bt;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::printf("invariant broken: %s\n", what);
    std::abort();
  }
}

class FuzzBtPlatform : public BtPlatform {
 public:
  explicit FuzzBtPlatform(FuzzedDataProvider& in) : in_(in) {}

  uint64_t SleptMs() const { return slept_; }
  void ResetSleep() { slept_ = 0; }

  BtRadioFind FindFirstRadio(BtRadio& radio) override {
    Tick();
    if (Chance(4)) return BtRadioFind::kNone;
    radio = BtRadio{in_.ConsumeIntegralInRange<uintptr_t>(1, 3)};
    radiosLeft_ = in_.ConsumeIntegralInRange<int>(0, 3);
    return BtRadioFind{7};
  }
  bool FindNextRadio(BtRadioFind, BtRadio& radio) override {
    Tick();
    if (radiosLeft_-- <= 0) return false;
    radio = BtRadio{in_.ConsumeIntegralInRange<uintptr_t>(1, 3)};
    return true;
  }
  void FindRadioClose(BtRadioFind) override { Tick(); }
  uint32_t GetRadioInfo(BtRadio, BtRadioInfo& info) override {
    Tick();
    info.address = in_.ConsumeIntegral<uint64_t>();
    info.name = Text(300);
    info.classOfDevice = in_.ConsumeIntegral<uint32_t>();
    info.lmpSubversion = in_.ConsumeIntegral<uint16_t>();
    info.manufacturer = in_.ConsumeIntegral<uint16_t>();
    return Code();
  }
  void CloseRadio(BtRadio) override { Tick(); }

  BtDeviceFind FindFirstDevice(const BtDeviceSearch& search, BtDeviceRecord& device) override {
    Tick();
    Require(search.timeoutMultiplier <= 48, "inquiry of more than 48 units asked");
    if (Chance(4)) {
      lastError_ = Code();
      return BtDeviceFind::kNone;
    }
    device = Device();
    devicesLeft_ = in_.ConsumeIntegralInRange<int>(0, 90);
    return BtDeviceFind{9};
  }
  bool FindNextDevice(BtDeviceFind, BtDeviceRecord& device) override {
    Tick();
    if (devicesLeft_-- <= 0) return false;
    device = Device();
    return true;
  }
  void FindDeviceClose(BtDeviceFind) override { Tick(); }
  uint32_t GetDeviceInfo(BtRadio, BtDeviceRecord& device) override {
    Tick();
    if (in_.ConsumeBool()) {
      const uint64_t address = device.address;
      device = Device();
      if (in_.ConsumeBool()) device.address = address;
    }
    return Code();
  }
  uint32_t LastError() override { return lastError_; }

  bool SelectDevices(const BtSelectDialog& dialog, std::vector<BtDeviceRecord>& chosen) override {
    Tick();
    const int offered = in_.ConsumeIntegralInRange<int>(0, 5);
    for (int i = 0; i < offered; ++i) {
      BtDeviceRecord device = Device();
      const bool shown = dialog.filter == nullptr ||
                         dialog.filter(dialog.filterContext, in_.ConsumeIntegralInRange<int>(0, 7) == 0 ? nullptr : &device);
      if (shown && in_.ConsumeBool()) chosen.push_back(device);
    }
    return in_.ConsumeBool();
  }

  uint32_t AuthenticateDevice(KVWindowHandle, BtRadio, BtDeviceRecord&, std::u16string_view pin) override {
    Tick();
    Require(pin.size() <= 16, "a PIN longer than 16 units passed");
    return Code();
  }
  BtModule LoadModule(std::u16string_view) override {
    Tick();
    return Chance(4) ? BtModule::kNone : BtModule{5};
  }
  void FreeLoadedModule(BtModule) override { Tick(); }
  std::optional<uint32_t> RegisterForAuthenticationEx(BtModule, const BtDeviceRecord&, BtAuthCallback callback,
                                                      void* context, BtRegistration& registration) override {
    Tick();
    if (Chance(6)) return std::nullopt;
    callback_ = callback;
    context_ = context;
    registration = BtRegistration{in_.ConsumeIntegralInRange<uintptr_t>(0, 2)};
    return Code();
  }
  std::optional<uint32_t> AuthenticateDeviceEx(BtModule, KVWindowHandle, BtRadio, BtDeviceRecord& device,
                                               uint32_t) override {
    Tick();
    if (Chance(6)) return std::nullopt;
    if (callback_ != nullptr && in_.ConsumeBool()) {
      BtAuthRequest request;
      request.device = in_.ConsumeBool() ? device : Device();
      request.method = in_.ConsumeIntegralInRange<uint32_t>(0, 7);
      request.ioCapability = in_.ConsumeIntegral<uint32_t>();
      request.requirements = in_.ConsumeIntegral<uint32_t>();
      request.numericValue = in_.ConsumeIntegral<uint32_t>();
      callback_(*this, context_, in_.ConsumeIntegralInRange<int>(0, 7) == 0 ? nullptr : &request);
    }
    return Code();
  }
  std::optional<uint32_t> SendAuthenticationResponseEx(BtModule, BtRadio, const BtAuthResponse& response) override {
    Tick();
    Require(response.pinLength <= response.pin.size(), "a PIN length past the PIN field");
    if (Chance(6)) return std::nullopt;
    return Code();
  }
  bool UnregisterAuthentication(BtRegistration) override {
    Tick();
    callback_ = nullptr;
    return in_.ConsumeBool();
  }

  uint32_t SetServiceState(BtRadio, const BtDeviceRecord&, const BtGuid&, bool) override {
    Tick();
    return Code();
  }
  uint32_t RemoveDevice(uint64_t) override {
    Tick();
    return Code();
  }

  bool ClassGuidsFromName(std::u16string_view, std::vector<BtGuid>& classes) override {
    Tick();
    const size_t count = in_.ConsumeIntegralInRange<size_t>(0, 20);
    for (size_t i = 0; i < count; ++i) classes.push_back(BtGuid{in_.ConsumeIntegral<uint32_t>(), 0, 0, {}});
    return in_.ConsumeBool();
  }
  BtPortList GetPresentDevices(const BtGuid&) override {
    Tick();
    portsLeft_ = in_.ConsumeIntegralInRange<uint32_t>(0, 6);
    return Chance(4) ? BtPortList::kNone : BtPortList{3};
  }
  bool GetListDetail(BtPortList) override {
    Tick();
    return !Chance(8);
  }
  bool EnumDevice(BtPortList, uint32_t index, BtPortDevice& device) override {
    Tick();
    if (index >= portsLeft_) return false;
    device = {index, in_.ConsumeIntegral<uint32_t>()};
    return true;
  }
  uint32_t GetDeviceId(BtPortList, const BtPortDevice&, std::u16string& id) override {
    Tick();
    id = in_.ConsumeBool() ? u"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&" + Text(20)
                           : Text(300);
    return Code();
  }
  bool GetFriendlyName(BtPortList, const BtPortDevice&, std::u16string& name) override {
    Tick();
    name = in_.ConsumeBool() ? u"Standard Serial over Bluetooth link (COM" + Text(12) + u")" : Text(300);
    return in_.ConsumeBool();
  }
  void DestroyDeviceList(BtPortList) override { Tick(); }

  std::optional<uint32_t> WaitNoPendingInstallEvents(uint32_t timeoutMilliseconds) override {
    Tick();
    slept_ += timeoutMilliseconds == 0xFFFFFFFFu ? 0 : timeoutMilliseconds;
    if (Chance(6)) return std::nullopt;
    return in_.ConsumeBool() ? kWaitTimeout : Code();
  }

  int32_t ShowMessage(KVWindowHandle, std::u16string_view, std::u16string_view, uint32_t) override {
    Tick();
    return in_.ConsumeBool() ? in_.ConsumeIntegralInRange<int32_t>(0, 7) : in_.ConsumeIntegral<int32_t>();
  }
  bool LoadText(uint32_t number, std::u16string& text) override {
    Tick();
    if (Chance(16)) return false;
    // Mostly the real shape of a message (a pattern with %s or %d), sometimes any text.
    text = in_.ConsumeBool() ? u"Message %d: %s %%" : Text(600);
    if (number == 64 && in_.ConsumeBool()) text = Text(40);
    return true;
  }
  bool ErrorText(uint32_t, std::u16string& text) override {
    Tick();
    text = Text(2000);
    return in_.ConsumeBool();
  }
  void Sleep(uint32_t milliseconds) override {
    Tick();
    slept_ += milliseconds;
  }

 private:
  void Tick() { Require(++calls_ < 200'000, "the setup calls the platform without end"); }
  bool Chance(int oneIn) { return in_.ConsumeIntegralInRange<int>(0, oneIn - 1) == 0; }

  uint32_t Code() {
    static constexpr uint32_t kTelling[] = {kErrorSuccess, kErrorBadUnit, kWaitTimeout, kErrorNoMoreItems,
                                            kErrorCancelled, kErrorNotAuthenticated, kRpcServerUnavailable,
                                            kResultInvalidHandle, kResultInvalidArg, 0xFFFFFFFFu};
    if (in_.ConsumeIntegralInRange<int>(0, 3) != 0) return kErrorSuccess;
    return in_.ConsumeBool() ? in_.PickValueInArray(kTelling) : in_.ConsumeIntegral<uint32_t>();
  }

  std::u16string Text(size_t most) {
    std::u16string text;
    const size_t length = in_.ConsumeIntegralInRange<size_t>(0, most);
    static constexpr char16_t kTelling[] = {u'K', u'o', u'r', u'v', u'a', u'n', u't', u'%', u's', u'd',
                                            u'(', u')', u'C', u'O', u'M', u'1', 0, 0xD800};
    for (size_t i = 0; i < length && in_.remaining_bytes() > 0; ++i)
      text.push_back(in_.ConsumeBool() ? in_.PickValueInArray(kTelling) : in_.ConsumeIntegral<char16_t>());
    return text;
  }

  // Names of 248 units, one more than the platform's field holds with its terminator, among others.
  BtDeviceRecord Device() {
    BtDeviceRecord device;
    device.address = in_.ConsumeIntegral<uint64_t>();
    device.classOfDevice = in_.ConsumeIntegral<uint32_t>();
    device.connected = in_.ConsumeBool();
    device.remembered = in_.ConsumeBool();
    device.authenticated = in_.ConsumeBool();
    switch (in_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0: device.name = std::u16string(248, u'K'); break;
      case 1: device.name = u"Korvanta" + Text(250); break;
      default: device.name = Text(260); break;
    }
    return device;
  }

  FuzzedDataProvider& in_;
  uint64_t calls_ = 0;
  uint64_t slept_ = 0;
  uint32_t lastError_ = 0;
  int radiosLeft_ = 0;
  int devicesLeft_ = 0;
  uint32_t portsLeft_ = 0;
  BtAuthCallback callback_ = nullptr;
  void* context_ = nullptr;
};

// A caller buffer exactly as large as its stated capacity, so a unit past it is caught.
struct CallerBuffer {
  CallerBuffer(FuzzedDataProvider& in) {
    capacity = in.ConsumeIntegralInRange<int32_t>(-1, 40);
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) capacity = in.ConsumeIntegralInRange<int32_t>(-1, 600);
    units = std::make_unique<KVWChar[]>(capacity > 0 ? size_t(capacity) : 1);
    for (int32_t i = 0; i < capacity; ++i) units[size_t(i)] = 0x7777;
    if (capacity > 0 && in.ConsumeIntegralInRange<int>(0, 7) != 0) pointer = units.get();
  }
  // A buffer the flow wrote to holds a terminator within its capacity.
  void CheckTerminated() const {
    if (pointer == nullptr || units[0] == 0x7777) return;
    bool terminated = false;
    for (int32_t i = 0; i < capacity && !terminated; ++i) terminated = units[size_t(i)] == 0;
    Require(terminated, "a caller buffer written without its terminator");
  }
  int32_t capacity;
  std::unique_ptr<KVWChar[]> units;
  KVWChar* pointer = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FuzzBtPlatform platform(in);
  CBluetoothStack* held = nullptr;
  for (int step = 0; step < 8 && in.remaining_bytes() > 0; ++step) {
    platform.ResetSleep();
    const bool interactive = in.ConsumeBool();
    const uint16_t multiplier = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint16_t>(0, 50) : in.ConsumeIntegral<uint16_t>();
    int32_t truth = 0;
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0: truth = IsBTAvailable(platform, held); break;
      case 1: {
        CallerBuffer info(in);
        truth = GetBTStackInfo(platform, held, info.pointer, info.capacity);
        info.CheckTerminated();
        break;
      }
      case 2: {
        int32_t newCount = -7;
        int32_t pairedCount = -7;
        truth = SearchBTDevices(platform, held, in.ConsumeBool() ? &newCount : nullptr,
                                in.ConsumeBool() ? &pairedCount : nullptr, interactive, nullptr, multiplier);
        if (truth == 1 && newCount != -7) Require(newCount >= 0 && newCount <= kMaxFoundDevices, "new-device count out of range");
        if (truth == 1 && pairedCount != -7) Require(pairedCount >= 0 && pairedCount <= kMaxFoundDevices, "paired count out of range");
        break;
      }
      case 3: {
        CallerBuffer name(in), address(in), port(in);
        truth = GetBTKorvantaDevice(platform, held, name.pointer, name.capacity, address.pointer, address.capacity,
                                    port.pointer, port.capacity, multiplier);
        name.CheckTerminated();
        address.CheckTerminated();
        port.CheckTerminated();
        break;
      }
      case 4: truth = AuthenticateBTDevice(platform, held, nullptr, multiplier); break;
      case 5: truth = UnAuthenticateBTDevices(platform, held, interactive, nullptr, multiplier); break;
      case 6: truth = IsDeviceInstallInProgress(platform, in.ConsumeIntegral<uint32_t>()); break;
      default: {
        CallerBuffer port(in);
        truth = AutoSetupBT(platform, held, port.pointer, port.capacity, interactive, nullptr);
        port.CheckTerminated();
        break;
      }
    }
    Require(truth == 0 || truth == 1, "a Bluetooth export gave a truth value other than 1 or 0");
    // The longest waits: inquiries of 48 units of 1.28 s, a few minutes for the port, a
    // caller's own install time-out; a flow asleep for longer than an hour has hung.
    Require(platform.SleptMs() < 3'600'000ull + 0xFFFFFFFFull, "a Bluetooth flow slept without end");
  }
  delete held;
  return 0;
}

// bluetooth_fuzz.cpp: the eight Bluetooth flows over the tests' scripted platform with a scene drawn from
// fuzz input: radios and devices in any number, names of any 260 units, error codes of any value, buttons
// outside the styles asked, friendly names and instance ids of any text, any PIN text. Checks truth values,
// caller buffers kept to their capacities and terminated, and bounded waiting. Fuzzing only.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <memory>

#include "bluetooth/setup.h"
#include "fake_bt_platform.h"
#include "messages.h"
#include "require.h"

namespace {

using namespace kv::bt;

using kv::fuzz::Require;

// Text of up to `most` units made of a short drawn pattern repeated, with telling units at drawn places: a
// name of 260 units costs a dozen input bytes, so the input goes into the flows rather than into long names.
std::u16string Text(FuzzedDataProvider& in, size_t most) {
  static constexpr char16_t kTelling[] = {u'K', u'o', u'r', u'v', u'a', u'n', u't', u'%', u's',
                                          u'd', u'(', u')', u'C', u'O', u'M', u'1', 0,    0xD800};
  const size_t length =
      in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 12) : in.ConsumeIntegralInRange<size_t>(0, most);
  std::u16string pattern(in.ConsumeIntegralInRange<size_t>(1, 6), u'K');
  for (char16_t& unit : pattern)
    unit = in.ConsumeBool() ? in.PickValueInArray(kTelling) : in.ConsumeIntegral<char16_t>();
  std::u16string text(length, u'K');
  for (size_t i = 0; i < length; ++i) text[i] = pattern[i % pattern.size()];
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0 && length > 0; --n)
    text[in.ConsumeIntegralInRange<size_t>(0, length - 1)] = in.PickValueInArray(kTelling);
  return text;
}

uint32_t Code(FuzzedDataProvider& in) {
  static constexpr uint32_t kTelling[] = {
      kErrorSuccess,          kErrorBadUnit,         kWaitTimeout,         kErrorNoMoreItems, kErrorCancelled,
      kErrorNotAuthenticated, kRpcServerUnavailable, kResultInvalidHandle, kResultInvalidArg, 0xFFFFFFFFu};
  return in.ConsumeBool() ? in.PickValueInArray(kTelling) : in.ConsumeIntegral<uint32_t>();
}

void DrawScene(FuzzedDataProvider& in, fake::FakeBtPlatform& p) {
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) p.SimulateRadio(Text(in, 600));
  p.radioInfoResult = in.ConsumeBool() ? Code(in) : kErrorSuccess;
  for (int n = in.ConsumeIntegralInRange(0, 90); n > 0; --n) {
    fake::FakeDevice& d = p.SimulateDeviceInRange(in.ConsumeBool() ? u"Korvanta" + Text(in, 250) : Text(in, 260),
                                                  in.ConsumeIntegralInRange<uint64_t>(0, 40), in.ConsumeBool())
                              .devices.back();
    d.inRange = in.ConsumeBool(), d.nameless = in.ConsumeBool(),
    d.record.classOfDevice = in.ConsumeIntegral<uint32_t>();
    if (in.ConsumeBool()) p.SimulatePortDevice(fake::BluetoothPort(d.record.address, Text(in, 12)));
  }
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) p.SimulatePortDevice({Text(in, 300), Text(in, 300)});
  for (fake::FakePort& port : p.portClasses[0].ports) {
    port.idResult = in.ConsumeBool() ? Code(in) : kErrorSuccess, port.hasFriendlyName = in.ConsumeBool();
    port.fromLookup = in.ConsumeIntegralInRange(0u, 8u);
  }
  p.portClasses.resize(in.ConsumeIntegralInRange<size_t>(0, 20), {{}, in.ConsumeBool(), in.ConsumeBool()});
  p.classQueryFails = in.ConsumeIntegralInRange(0, 7) == 0;
  for (auto* queue : {&p.findFailures, &p.legacyResults, &p.authExResults, &p.serviceResults}) {
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) queue->push_back(Code(in));
  }
  p.pairingModule = in.ConsumeBool();
  for (const char* call : {"RegisterForAuthenticationEx", "AuthenticateDeviceEx", "SendAuthenticationResponseEx"}) {
    if (in.ConsumeIntegralInRange(0, 5) == 0) p.missingCalls.insert(call);
  }
  p.registerResult = in.ConsumeBool() ? Code(in) : kErrorSuccess,
  p.sendResult = in.ConsumeBool() ? Code(in) : kErrorSuccess;
  p.waitFacility = in.ConsumeBool();
  p.SimulatePendingInstall(in.ConsumeIntegralInRange<uint64_t>(0, 1u << 30));
  for (uint32_t number : {kv::kMsgPairingPin, kv::kMsgErrorCaption, kv::kMsgFoundNewDevice, kv::kMsgStackInfo}) {
    if (in.ConsumeBool()) p.texts[number] = in.ConsumeBool() ? u"Message %d: %s %%" : Text(in, 600);
  }
  if (in.ConsumeBool()) p.noErrorText.insert(Code(in));
  for (int n = in.ConsumeIntegralInRange(0, 12); n > 0; --n) {
    p.answers.push_back(in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 7) : in.ConsumeIntegral<int32_t>());
    if (in.ConsumeBool()) p.selections.push_back(in.ConsumeIntegralInRange<uint64_t>(0, 40));
  }
}

// A caller buffer exactly as large as its stated capacity, so a unit past it is caught.
struct CallerBuffer {
  explicit CallerBuffer(FuzzedDataProvider& in)
      : capacity(in.ConsumeIntegralInRange<int32_t>(-1, in.ConsumeIntegralInRange(0, 7) == 0 ? 600 : 40)),
        units(std::make_unique<KVWChar[]>(capacity > 0 ? size_t(capacity) : 1)) {
    std::fill(units.get(), units.get() + std::max(capacity, 1), KVWChar(0x7777));
    if (capacity > 0 && in.ConsumeIntegralInRange(0, 7) != 0) pointer = units.get();
  }
  // A buffer the flow wrote to holds a terminator within its capacity.
  void CheckTerminated() const {
    if (pointer == nullptr || units[0] == 0x7777) return;
    Require(std::find(units.get(), units.get() + capacity, KVWChar(0)) != units.get() + capacity,
            "a caller buffer written without its terminator");
  }
  int32_t capacity;
  std::unique_ptr<KVWChar[]> units;
  KVWChar* pointer = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  fake::FakeBtPlatform platform;
  DrawScene(in, platform);
  CBluetoothStack* held = nullptr;
  for (int step = 0; step < 8 && in.remaining_bytes() > 0; ++step) {
    const bool interactive = in.ConsumeBool();
    const uint16_t multiplier = in.ConsumeIntegral<uint16_t>();
    CallerBuffer one(in), two(in), three(in);
    int32_t fresh = -7, paired = -7;
    const int32_t truth = [&]() -> int32_t {
      switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
          return IsBTAvailable(platform, held);
        case 1:
          return GetBTStackInfo(platform, held, one.pointer, one.capacity);
        case 2: {
          const int32_t found = SearchBTDevices(platform, held, in.ConsumeBool() ? &fresh : nullptr,
                                                in.ConsumeBool() ? &paired : nullptr, interactive, nullptr, multiplier);
          Require(found == 0 || (fresh <= kMaxFoundDevices && paired <= kMaxFoundDevices), "a count out of range");
          return found;
        }
        case 3:
          return GetBTKorvantaDevice(platform, held, one.pointer, one.capacity, two.pointer, two.capacity,
                                     three.pointer, three.capacity, multiplier);
        case 4:
          return AuthenticateBTDevice(platform, held, nullptr, multiplier);
        case 5:
          return UnAuthenticateBTDevices(platform, held, interactive, nullptr, multiplier);
        case 6:
          return IsDeviceInstallInProgress(platform, in.ConsumeIntegral<uint32_t>());
        default:
          return AutoSetupBT(platform, held, one.pointer, one.capacity, interactive, nullptr);
      }
    }();
    for (const CallerBuffer* buffer : {&one, &two, &three}) buffer->CheckTerminated();
    Require(truth == 0 || truth == 1, "a Bluetooth export gave a truth value other than 1 or 0");
    Require(platform.calls.size() < 2'000'000, "the setup calls the platform without end");
    // A caller's install time-out of at most 49.7 days, plus a few minutes of port waits per step.
    Require(platform.now < (uint64_t{1} << 30) + 0xFFFFFFFFull + 8 * 200'000ull, "a Bluetooth flow waited without end");
  }
  delete held;
  return 0;
}

// pairing.cpp: confirming or choosing a new analyser, pairing it with its PIN (newer calls where the platform
// has them, the legacy call otherwise), enabling its serial port service, and removing analyser pairings.
// The module of the newer calls and the callback registration never outlive one attempt.
#include <algorithm>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "messages.h"

namespace kv::bt {
namespace {

constexpr std::u16string_view kPairingModule = u"bthprops.cpl";
constexpr uint32_t kNoProtectionRequired = 0;  // no man-in-the-middle protection asked for

uint32_t LegacyPairing(BtPlatform& platform, BtDeviceRecord& device, std::u16string_view pin) {
  return platform.AuthenticateDevice(nullptr, BtRadio::kNone, device, pin);
}

// One pairing attempt; the platform's code, 0 on success.
uint32_t PairOnce(BtPlatform& platform, BtDeviceRecord& device, KVWindowHandle parent, std::u16string_view pin) {
  const BtModule module = platform.LoadModule(kPairingModule);
  if (module == BtModule::kNone) return LegacyPairing(platform, device, pin);

  uint32_t result = kErrorCancelled;
  BtRegistration registration = BtRegistration::kNone;
  const std::optional<uint32_t> registered =
      platform.RegisterForAuthenticationEx(module, device, &AuthenticationCallback, nullptr, registration);
  if (!registered) {
    result = LegacyPairing(platform, device, pin);
  } else {
    // With the registration there but not the newer pairing call, the result stays "cancelled".
    if (const std::optional<uint32_t> answer =
            platform.AuthenticateDeviceEx(module, parent, BtRadio::kNone, device, kNoProtectionRequired)) {
      if (*answer == kErrorNotAuthenticated) {
        result = LegacyPairing(platform, device, pin);
      } else {
        result = (*answer == kErrorSuccess || *answer == kErrorNoMoreItems) ? kErrorSuccess : *answer;
      }
    }
    if (*registered == kErrorSuccess) platform.UnregisterAuthentication(registration);
  }
  platform.FreeLoadedModule(module);
  return result;
}

}  // namespace

bool AuthenticationCallback(BtPlatform& platform, void* /*context*/, const BtAuthRequest* request) {
  if (request == nullptr) return false;
  BtAuthResponse response;
  response.remoteAddress = request->device.address;
  response.method = request->method;
  // The analysers answer only a PIN, so it goes in the PIN member whatever method the request names.
  const std::u16string pin = ReadPin(platform);
  const size_t length = std::min(pin.size(), response.pin.size());
  for (size_t i = 0; i < length; ++i) response.pin[i] = static_cast<uint8_t>(pin[i] & 0xFF);
  response.pinLength = static_cast<uint8_t>(length);
  response.negativeResponse = 0;

  const BtModule module = platform.LoadModule(kPairingModule);
  if (module == BtModule::kNone) return false;
  const std::optional<uint32_t> sent = platform.SendAuthenticationResponseEx(module, BtRadio::kNone, response);
  platform.FreeLoadedModule(module);
  return sent.value_or(kErrorCancelled) == kErrorSuccess;
}

bool CBluetoothStackMicrosoft::AuthenticateDevice(BtDeviceRecord* device, bool interactive, KVWindowHandle parent,
                                                  bool waitForPort) {
  if (device == nullptr) return false;
  for (;;) {
    const std::u16string pin = ReadPin(m_platform);
    uint32_t result = PairOnce(m_platform, *device, parent, pin);
    uint32_t message = kMsgPairingFailed;
    if (result == kErrorSuccess) {
      const uint32_t service = m_platform.SetServiceState(BtRadio::kNone, *device, kSerialPortServiceClass, true);
      // 0x80070057 (E_INVALIDARG) counts as success, as for a service that is already enabled.
      if (service == kErrorSuccess || service == kResultInvalidArg) break;
      result = service;
      message = kMsgServiceFailed;
    }
    if (!interactive) return false;
    const std::u16string extra = LoadMessage(m_platform, message);
    if (ShowBluetoothErrorBox(m_platform, result, parent, kStyleRetryCancelWarning, extra) != kButtonRetry) {
      return false;
    }
  }

  // The port found here is not passed on: the caller looks it up again.
  const uint64_t address = device->address;
  KVWChar work[kPortWorkCapacity];
  if (FindComPort(&address, work, kPortWorkCapacity)) return true;
  if (!waitForPort) return true;
  WaitForComPort(*this, &address);
  return true;
}

bool CBluetoothStackMicrosoft::PairNewDevice(KVWindowHandle parent, bool waitForPort) {
  if (!m_bSearchDone) return false;
  if (m_nNewCount > 1) {
    const std::u16string text = LoadMessage(m_platform, kMsgSeveralNewDevices);
    const std::u16string caption = LoadMessage(m_platform, kMsgCaptionFoundNew);
    if (AskUser(m_platform, parent, text, caption, kStyleOkCancelInfo) != kButtonOk) return false;
    if (!SelectDevice(false, false, true, parent, true)) return false;
  } else if (m_nNewCount == 1) {
    const std::u16string text = FormatText(LoadMessage(m_platform, kMsgFoundNewDevice),
                                           {DeviceName(m_selectedDevice), AddressText(m_selectedDevice.address)});
    const std::u16string caption = LoadMessage(m_platform, kMsgCaptionFoundNew);
    if (AskUser(m_platform, parent, text, caption, kStyleYesNo) != kButtonYes) return false;
  } else {
    return false;
  }

  if (m_nPairedCount > 0) {
    const std::u16string text =
        FormatText(LoadMessage(m_platform, kMsgExistingPairings), {int64_t{m_nPairedCount}});
    const std::u16string caption = LoadMessage(m_platform, kMsgCaptionAuthentication);
    const int32_t answer = AskUser(m_platform, parent, text, caption, kStyleYesNoCancel);
    if (answer == kButtonYes) {
      RemoveAuthentications(true, parent);
    } else if (answer != kButtonNo) {
      return false;
    }
  }
  return AuthenticateDevice(&m_selectedDevice, true, parent, waitForPort);
}

bool CBluetoothStackMicrosoft::RemoveAuthentications(bool interactive, KVWindowHandle parent) {
  if (m_bSearchDone) {
    bool answer = true;
    for (int32_t i = 0; i < m_nFoundCount; ++i) {
      BtDeviceRecord& device = m_foundDevices[static_cast<size_t>(i)];
      if (!IsKorvantaDeviceName(device) || !device.authenticated) continue;
      if (m_platform.RemoveDevice(device.address) == kErrorSuccess) {
        device.authenticated = false;
        --m_nPairedCount;
      } else {
        answer = false;
      }
    }
    return answer;
  }

  // No search on this object: every analyser the platform already knows, without an inquiry.
  BtDeviceSearch search;
  search.returnAuthenticated = true;
  search.returnRemembered = true;
  search.returnUnknown = true;
  search.returnConnected = true;
  search.issueInquiry = false;
  search.timeoutMultiplier = 0;
  search.radio = BtRadio::kNone;
  BtDeviceRecord working;
  const BtDeviceFind find = m_platform.FindFirstDevice(search, working);
  if (find == BtDeviceFind::kNone) {
    const uint32_t code = m_platform.LastError();
    if (code != kErrorSuccess && interactive) {
      ShowBluetoothErrorBox(m_platform, code, parent, kStyleOkWarning, std::nullopt);
    }
    return false;
  }
  bool more = true;
  while (more) {
    m_platform.GetDeviceInfo(BtRadio::kNone, working);
    if (IsKorvantaDeviceName(working)) m_platform.RemoveDevice(working.address);
    more = m_platform.FindNextDevice(find, working);
  }
  m_platform.FindDeviceClose(find);
  return true;
}

int32_t AuthenticateBTDevice(BtPlatform& platform, CBluetoothStack*& held, KVWindowHandle parent,
                             uint16_t timeoutMultiplier) {
  CBluetoothStack* stack = StackWithSearch(platform, held, timeoutMultiplier);
  if (stack == nullptr) return 0;
  return stack->PairNewDevice(parent, true) ? 1 : 0;
}

int32_t UnAuthenticateBTDevices(BtPlatform& platform, CBluetoothStack*& held, bool interactive,
                                KVWindowHandle parent, uint16_t timeoutMultiplier) {
  // The search only proves that the platform can list devices; its results are discarded with the object.
  if (StackWithSearch(platform, held, timeoutMultiplier) == nullptr) return 0;
  CBluetoothStack* fresh = CreateStackWithRetry(platform, held, interactive, parent);
  if (fresh == nullptr) return 0;
  return fresh->RemoveAuthentications(interactive, parent) ? 1 : 0;
}

}  // namespace kv::bt

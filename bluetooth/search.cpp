// search.cpp: the inquiry that fills the found list and counts analysers, the platform's selection dialogs,
// and the two exports that report a search. Decisions only; every platform step goes through BtPlatform.
#include <algorithm>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "messages.h"
#include "wide_text.h"

namespace kv::bt {

bool CBluetoothStackMicrosoft::SearchDevices(uint16_t timeoutMultiplier, bool interactive, KVWindowHandle parent) {
  BtDeviceSearch search;
  search.returnAuthenticated = true;
  search.returnRemembered = true;
  search.returnUnknown = true;
  search.returnConnected = true;
  search.issueInquiry = true;
  search.timeoutMultiplier = static_cast<uint8_t>(std::min(timeoutMultiplier, kMaxTimeoutMultiplier));
  search.radio = BtRadio::kNone;

  BtDeviceRecord working;
  ResetDeviceLists();
  BtDeviceFind find = BtDeviceFind::kNone;
  for (;;) {
    find = m_platform.FindFirstDevice(search, working);
    m_nPairedCount = 0;
    m_nNewCount = 0;
    if (find != BtDeviceFind::kNone) break;
    const uint32_t code = m_platform.LastError();
    if ((code == kResultInvalidHandle || code == kRpcServerUnavailable) && interactive) {
      // These two mean the platform's Bluetooth service is not there: the missing-radio advice applies.
      const std::u16string noRadio = LoadMessage(m_platform, kMsgNoRadio);
      if (ShowBluetoothErrorBox(m_platform, code, parent, kStyleRetryCancelWarning, noRadio) == kButtonRetry) {
        continue;
      }
      return false;
    }
    if (code != kErrorSuccess && interactive) {
      ShowBluetoothErrorBox(m_platform, code, nullptr, kStyleOkWarning, std::nullopt);
    }
    return false;
  }

  bool more = true;
  while (more) {
    m_platform.GetDeviceInfo(BtRadio::kNone, working);
    const auto listed = m_foundDevices.begin() + m_nFoundCount;
    const bool known = std::any_of(m_foundDevices.begin(), listed, [&](const BtDeviceRecord& device) {
      return device.address == working.address;
    });
    // A device beyond the 64th distinct one is not listed, but it is still classified below.
    if (m_nFoundCount < kMaxFoundDevices && !known) m_foundDevices[static_cast<size_t>(m_nFoundCount++)] = working;
    if (IsKorvantaDeviceName(working)) {
      if (m_nNewCount == 0) m_selectedDevice = working;
      if (working.authenticated) {
        ++m_nPairedCount;
      } else {
        ++m_nNewCount;
      }
    }
    more = m_platform.FindNextDevice(find, working);
  }
  m_platform.FindDeviceClose(find);
  m_bSearchDone = true;
  return true;
}

bool CBluetoothStackMicrosoft::SelectDevice(bool showAuthenticated, bool showRemembered, bool showUnknown,
                                            KVWindowHandle parent, bool filterByName) {
  BtSelectDialog dialog;
  dialog.owner = parent;
  dialog.forceAuthentication = false;
  dialog.showAuthenticated = showAuthenticated;
  dialog.showRemembered = showRemembered;
  dialog.showUnknown = showUnknown;
  dialog.addNewDeviceWizard = false;
  dialog.skipServicesPage = true;
  dialog.filter = filterByName ? &DeviceSelectionFilter : nullptr;
  dialog.filterContext = nullptr;
  dialog.numDevices = 0;
  std::vector<BtDeviceRecord> chosen;
  // False is a cancel (last error 1223) or a failed dialog; the callers treat both as a refusal.
  if (!m_platform.SelectDevices(dialog, chosen)) return false;
  if (!chosen.empty()) m_selectedDevice = chosen.front();
  return true;
}

bool CBluetoothStackMicrosoft::RunAddDeviceWizard(KVWindowHandle parent) {
  BtSelectDialog dialog;
  dialog.owner = parent;
  dialog.forceAuthentication = true;
  dialog.showAuthenticated = true;
  dialog.showRemembered = true;
  dialog.showUnknown = true;
  dialog.addNewDeviceWizard = true;
  dialog.skipServicesPage = false;
  dialog.filter = &DeviceSelectionFilter;
  dialog.numDevices = 0;
  std::vector<BtDeviceRecord> chosen;
  return m_platform.SelectDevices(dialog, chosen);
}

int32_t SearchBTDevices(BtPlatform& platform, CBluetoothStack*& held, int32_t* newDeviceCount,
                        int32_t* pairedDeviceCount, bool interactive, KVWindowHandle parent,
                        uint16_t timeoutMultiplier) {
  if (newDeviceCount == nullptr || pairedDeviceCount == nullptr) return 0;
  *newDeviceCount = -1;
  *pairedDeviceCount = -1;
  CBluetoothStack* stack = GetStack(platform, held);
  if (stack == nullptr) return 0;
  if (!stack->SearchDevices(std::min(timeoutMultiplier, kMaxTimeoutMultiplier), interactive, parent)) return 0;
  *newDeviceCount = stack->GetNewDeviceCount();
  *pairedDeviceCount = stack->GetPairedDeviceCount();
  return 1;
}

int32_t GetBTKorvantaDevice(BtPlatform& platform, CBluetoothStack*& held, KVWChar* name, int32_t nameCapacity,
                            KVWChar* address, int32_t addressCapacity, KVWChar* comPort, int32_t comPortCapacity,
                            uint16_t timeoutMultiplier) {
  CBluetoothStack* stack = StackWithSearch(platform, held, timeoutMultiplier);
  if (stack == nullptr) return 0;
  const BtDeviceRecord* selected = stack->GetSelectedDevice();
  if (selected == nullptr || selected->address == 0) return 0;
  // A name buffer that cannot take the whole name is refused before anything is written.
  if (!CopyTerminated(DeviceName(*selected), name, nameCapacity)) return 0;
  FormatBluetoothAddress(selected->address, address, addressCapacity);
  // A port that cannot be found leaves its buffer untouched and does not make the call fail.
  const uint64_t selectedAddress = selected->address;
  stack->FindComPort(&selectedAddress, comPort, comPortCapacity);
  return 1;
}

}  // namespace kv::bt

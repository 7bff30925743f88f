// auto_setup.cpp: the guided setup, from a search to the port number as text, with its Retry/Cancel prompts.
// It only sequences the other operations; it shows messages 63 and 69 and nothing else itself.
#include <algorithm>

#include "bluetooth/setup.h"
#include "bluetooth/stack.h"
#include "messages.h"

namespace kv::bt {
namespace {
constexpr uint16_t kFirstTimeoutMultiplier = 7;  // about 9 seconds of inquiry
}  // namespace

bool CBluetoothStackMicrosoft::AutoSetup(KVWChar* port, int32_t capacity, bool interactive, KVWindowHandle parent,
                                         bool waitForPort) {
  uint16_t timeoutMultiplier = kFirstTimeoutMultiplier;
  for (;;) {
    if (!SearchDevices(timeoutMultiplier, interactive, parent)) return false;  // its own prompts were shown
    bool chosen = false;
    if (GetNewDeviceCount() > 0) {
      chosen = PairNewDevice(parent, waitForPort);
    } else if (GetPairedDeviceCount() > 1) {
      chosen = SelectDevice(true, true, false, parent, true);
    } else if (GetPairedDeviceCount() == 1) {
      chosen = true;  // the selected device is that analyser
    }
    if (chosen) break;
    if (!interactive) return false;
    const std::u16string text = LoadMessage(m_platform, kMsgNoDeviceFound);
    const std::u16string caption = LoadMessage(m_platform, kMsgCaptionSearch);
    const int32_t answer = AskUser(m_platform, parent, text, caption, kStyleRetryCancelWarning);
    timeoutMultiplier = std::min<uint16_t>(static_cast<uint16_t>(timeoutMultiplier * 2), kMaxTimeoutMultiplier);
    if (answer != kButtonRetry) return false;
  }

  for (;;) {
    const BtDeviceRecord* selected = GetSelectedDevice();
    const uint64_t address = selected != nullptr ? selected->address : 0;
    if (FindComPort(&address, port, capacity)) return true;
    if (!interactive) return false;
    const std::u16string text = LoadMessage(m_platform, kMsgPortNotFound);
    const std::u16string caption = LoadMessage(m_platform, kMsgCaptionAuthError);
    // A box that could not be shown counts as Cancel, so a host without a window system cannot loop here.
    if (AskUser(m_platform, parent, text, caption, kStyleRetryCancelWarning) != kButtonRetry) return false;
  }
}

int32_t AutoSetupBT(BtPlatform& platform, CBluetoothStack*& held, KVWChar* comPort, int32_t capacity,
                    bool interactive, KVWindowHandle parent) {
  // Without a buffer the flow could never succeed: refuse before any search or prompt.
  if (comPort == nullptr || capacity < 1) return 0;
  CBluetoothStack* stack = CreateStackWithRetry(platform, held, interactive, parent);
  if (stack == nullptr) return 0;
  return stack->AutoSetup(comPort, capacity, interactive, parent, true) ? 1 : 0;
}

}  // namespace kv::bt

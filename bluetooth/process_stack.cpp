// process_stack.cpp: building, replacing and reusing the stack object behind the pointer that holds it.
// A platform without a radio gets no object; the missing-radio box may offer Retry.
#include "bluetooth/process_stack.h"

#include "bluetooth/prompts.h"
#include "bluetooth/stack.h"
#include "messages.h"

namespace kv::bt {

CBluetoothStack* BuildStack(BtPlatform& platform) {
  auto stack = std::make_unique<CBluetoothStackMicrosoft>(platform);
  if (stack->GetRadioCount() == 0) return nullptr;
  return stack.release();
}

CBluetoothStack* CreateStack(BtPlatform& platform, CBluetoothStack*& held) {
  delete held;
  held = nullptr;
  held = BuildStack(platform);
  return held;
}

CBluetoothStack* CreateStackWithRetry(BtPlatform& platform, CBluetoothStack*& held, bool interactive,
                                      KVWindowHandle parent) {
  for (;;) {
    if (CBluetoothStack* stack = CreateStack(platform, held)) return stack;
    if (!interactive) return nullptr;
    const std::u16string noRadio = LoadMessage(platform, kMsgNoRadio);
    if (ShowBluetoothErrorBox(platform, kErrorBadUnit, parent, kStyleRetryCancelWarning, noRadio) != kButtonRetry) {
      return nullptr;
    }
  }
}

CBluetoothStack* GetStack(BtPlatform& platform, CBluetoothStack*& held) {
  if (held == nullptr) held = BuildStack(platform);
  return held;
}

CBluetoothStack* StackWithSearch(BtPlatform& platform, CBluetoothStack*& held, uint16_t timeoutMultiplier) {
  if (held == nullptr || !held->IsSearchDone()) {
    if (CBluetoothStack* stack = GetStack(platform, held)) stack->SearchDevices(timeoutMultiplier, false, nullptr);
  }
  if (held == nullptr || !held->IsSearchDone()) return nullptr;
  return held;
}

}  // namespace kv::bt

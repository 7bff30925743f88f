// process_stack.h: how the flows obtain and replace the stack object through the pointer that holds it,
// and LentStack, by which the process-wide object's owner (a std::unique_ptr) lends it to them.
#pragma once

#include <cstdint>
#include <memory>

#include "KorvantaSDK.h"
#include "bluetooth/platform.h"

namespace kv::bt {

class CBluetoothStack;

// A new object, or null (destroyed at once) when the platform has no radio.
CBluetoothStack* BuildStack(BtPlatform& platform);
// Destroys the held object, builds a new one and holds the result (object or null).
CBluetoothStack* CreateStack(BtPlatform& platform, CBluetoothStack*& held);
// CreateStack, offering Retry on the missing-radio box while interactive.
CBluetoothStack* CreateStackWithRetry(BtPlatform& platform, CBluetoothStack*& held, bool interactive,
                                      KVWindowHandle parent);
// The held object with its search results, else a new one held as CreateStack holds it.
CBluetoothStack* GetStack(BtPlatform& platform, CBluetoothStack*& held);
// An object with a completed search: the held one, else GetStack's after a silent search; null if none.
CBluetoothStack* StackWithSearch(BtPlatform& platform, CBluetoothStack*& held, uint16_t timeoutMultiplier);

// Lends the object a unique_ptr owns to one flow as the pointer the flows replace, and gives the owner
// whatever the flow leaves there when the lender goes, also when the flow throws. Use it as a
// temporary: Flow(platform, LentStack(owner).Held(), ...).
class LentStack {
 public:
  explicit LentStack(std::unique_ptr<CBluetoothStack>& owner) : m_owner(owner), m_held(owner.release()) {}
  LentStack(const LentStack&) = delete;
  LentStack& operator=(const LentStack&) = delete;
  ~LentStack() { m_owner.reset(m_held); }
  CBluetoothStack*& Held() { return m_held; }

 private:
  std::unique_ptr<CBluetoothStack>& m_owner;
  CBluetoothStack* m_held;
};

}  // namespace kv::bt

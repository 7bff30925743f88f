// exports_bluetooth.cpp: C shims of the Bluetooth setup over the linked platform backend.
// Owns the process-wide stack object: g_pBluetoothStack, a unique_ptr lent to each flow, which may replace
// the object; it is freed when the library unloads. No decision is taken here; nothing is thrown across
// the interface.
#include <memory>

#include "KorvantaSDK.h"
#include "bluetooth/setup.h"
#include "export_guard.h"

namespace {

std::unique_ptr<kv::bt::CBluetoothStack> g_pBluetoothStack;

// The object as the flows hold it, for one call (the lender lives until the end of the call's expression).
kv::bt::LentStack Lent() { return kv::bt::LentStack(g_pBluetoothStack); }

// A failure to allocate inside the setup answers false (0), as any other failure does.
constexpr int32_t kFalse = 0;

}  // namespace

extern "C" {

KV_API int32_t KV_CALL KVIsBTAvailable(void) noexcept {
  return kv::Guarded(kFalse, [] { return kv::bt::IsBTAvailable(kv::bt::DefaultBtPlatform(), Lent().Held()); });
}

KV_API int32_t KV_CALL KVGetBTStackInfo(KVWChar* info, int32_t capacity) noexcept {
  return kv::Guarded(
      kFalse, [&] { return kv::bt::GetBTStackInfo(kv::bt::DefaultBtPlatform(), Lent().Held(), info, capacity); });
}

KV_API int32_t KV_CALL KVSearchBTDevices(int32_t* newDeviceCount, int32_t* pairedDeviceCount, int32_t interactive,
                                         KVWindowHandle parent, uint16_t timeoutMultiplier) noexcept {
  return kv::Guarded(kFalse, [&] {
    return kv::bt::SearchBTDevices(kv::bt::DefaultBtPlatform(), Lent().Held(), newDeviceCount, pairedDeviceCount,
                                   interactive != 0, parent, timeoutMultiplier);
  });
}

KV_API int32_t KV_CALL KVGetBTKorvantaDevice(KVWChar* name, int32_t nameCapacity, KVWChar* address,
                                             int32_t addressCapacity, KVWChar* comPort, int32_t comPortCapacity,
                                             uint16_t timeoutMultiplier) noexcept {
  return kv::Guarded(kFalse, [&] {
    return kv::bt::GetBTKorvantaDevice(kv::bt::DefaultBtPlatform(), Lent().Held(), name, nameCapacity, address,
                                       addressCapacity, comPort, comPortCapacity, timeoutMultiplier);
  });
}

KV_API int32_t KV_CALL KVAuthenticateBTDevice(KVWindowHandle parent, uint16_t timeoutMultiplier) noexcept {
  return kv::Guarded(kFalse, [&] {
    return kv::bt::AuthenticateBTDevice(kv::bt::DefaultBtPlatform(), Lent().Held(), parent, timeoutMultiplier);
  });
}

KV_API int32_t KV_CALL KVUnAuthenticateBTDevices(int32_t interactive, KVWindowHandle parent,
                                                 uint16_t timeoutMultiplier) noexcept {
  return kv::Guarded(kFalse, [&] {
    return kv::bt::UnAuthenticateBTDevices(kv::bt::DefaultBtPlatform(), Lent().Held(), interactive != 0, parent,
                                           timeoutMultiplier);
  });
}

KV_API int32_t KV_CALL KVIsDeviceInstallInProgress(uint32_t timeoutMilliseconds) noexcept {
  return kv::Guarded(
      kFalse, [&] { return kv::bt::IsDeviceInstallInProgress(kv::bt::DefaultBtPlatform(), timeoutMilliseconds); });
}

KV_API int32_t KV_CALL KVAutoSetupBT(KVWChar* comPort, int32_t capacity, int32_t interactive,
                                     KVWindowHandle parent) noexcept {
  return kv::Guarded(kFalse, [&] {
    return kv::bt::AutoSetupBT(kv::bt::DefaultBtPlatform(), Lent().Held(), comPort, capacity, interactive != 0,
                               parent);
  });
}

}  // extern "C"

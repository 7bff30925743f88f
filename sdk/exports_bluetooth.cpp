// exports_bluetooth.cpp: C shims of the Bluetooth setup. NOT IMPLEMENTED YET (placeholder: no radio).
#include "KorvantaSDK.h"

extern "C" {

KV_API int32_t KV_CALL KVIsBTAvailable(void) noexcept { return 0; }
KV_API int32_t KV_CALL KVGetBTStackInfo(KVWChar*, int32_t) noexcept { return 0; }
KV_API int32_t KV_CALL KVSearchBTDevices(int32_t*, int32_t*, int32_t, KVWindowHandle, uint16_t) noexcept { return 0; }
KV_API int32_t KV_CALL KVGetBTKorvantaDevice(KVWChar*, int32_t, KVWChar*, int32_t, KVWChar*, int32_t, uint16_t) noexcept { return 0; }
KV_API int32_t KV_CALL KVAuthenticateBTDevice(KVWindowHandle, uint16_t) noexcept { return 0; }
KV_API int32_t KV_CALL KVUnAuthenticateBTDevices(int32_t, KVWindowHandle, uint16_t) noexcept { return 0; }
KV_API int32_t KV_CALL KVIsDeviceInstallInProgress(uint32_t) noexcept { return 0; }
KV_API int32_t KV_CALL KVAutoSetupBT(KVWChar*, int32_t, int32_t, KVWindowHandle) noexcept { return 0; }

}  // extern "C"

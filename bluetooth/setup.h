// setup.h: the eight Bluetooth exports as functions over a platform and the pointer holding the stack.
// The shims in sdk/exports_bluetooth.cpp pass DefaultBtPlatform() and the process-wide object, lent by its
// unique_ptr (LentStack); tests pass a fake and a pointer of their own.
// Truth values come back as 1 or 0, as the exports return them.
#pragma once

#include <cstdint>

#include "KorvantaSDK.h"
#include "bluetooth/platform.h"
#include "bluetooth/stack.h"

namespace kv::bt {

int32_t IsBTAvailable(BtPlatform& platform, CBluetoothStack*& held);
int32_t GetBTStackInfo(BtPlatform& platform, CBluetoothStack*& held, KVWChar* info, int32_t capacity);
int32_t SearchBTDevices(BtPlatform& platform, CBluetoothStack*& held, int32_t* newDeviceCount,
                        int32_t* pairedDeviceCount, bool interactive, KVWindowHandle parent,
                        uint16_t timeoutMultiplier);
int32_t GetBTKorvantaDevice(BtPlatform& platform, CBluetoothStack*& held, KVWChar* name, int32_t nameCapacity,
                            KVWChar* address, int32_t addressCapacity, KVWChar* comPort, int32_t comPortCapacity,
                            uint16_t timeoutMultiplier);
int32_t AuthenticateBTDevice(BtPlatform& platform, CBluetoothStack*& held, KVWindowHandle parent,
                             uint16_t timeoutMultiplier);
int32_t UnAuthenticateBTDevices(BtPlatform& platform, CBluetoothStack*& held, bool interactive,
                                KVWindowHandle parent, uint16_t timeoutMultiplier);
int32_t IsDeviceInstallInProgress(BtPlatform& platform, uint32_t timeoutMilliseconds);
int32_t AutoSetupBT(BtPlatform& platform, CBluetoothStack*& held, KVWChar* comPort, int32_t capacity,
                    bool interactive, KVWindowHandle parent);

}  // namespace kv::bt

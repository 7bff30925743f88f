// entry_points_win32.h: the platform calls through which the backend hands the platform its callbacks, as
// replaceable pointers, so that a test can see what the backend passes and call back as the platform does.
// The product never changes them: each is the platform's own function.
#pragma once

#include <windows.h>
// windows.h first: the Bluetooth header relies on its types.
#include <bluetoothapis.h>

namespace kv::bt::win32 {

struct EntryPoints {
  BOOL(WINAPI* selectDevices)(BLUETOOTH_SELECT_DEVICE_PARAMS* params);
  BOOL(WINAPI* unregisterAuthentication)(HBLUETOOTH_AUTHENTICATION_REGISTRATION registration);
  // Finds the functions looked up at run time (the newer pairing calls, the installation wait).
  FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
};

// The backend's entry points, shared by every Win32BtPlatform of the process.
EntryPoints& BackendEntryPoints();

}  // namespace kv::bt::win32

// port_entry_points_win32.h: every system call the Windows port lister makes (SetupAPI, the device
// registry key, the configuration manager), as replaceable pointers, so that a test can play a computer's
// devices. The product never changes them: each is the system's own function.
#pragma once

#include <windows.h>
// windows.h first: the setup and configuration manager headers rely on its types.
#include <cfgmgr32.h>
#include <setupapi.h>

namespace kv::link::win32 {

struct PortEntryPoints {
  HDEVINFO(WINAPI* getClassDevs)(const GUID* setupClass, PCWSTR enumerator, HWND parent, DWORD flags);
  BOOL(WINAPI* enumDeviceInfo)(HDEVINFO list, DWORD index, PSP_DEVINFO_DATA device);
  BOOL(WINAPI* destroyDeviceInfoList)(HDEVINFO list);
  BOOL(WINAPI* getInstanceId)(HDEVINFO list, PSP_DEVINFO_DATA device, PWSTR id, DWORD units, PDWORD needed);
  BOOL(WINAPI* getRegistryProperty)
  (HDEVINFO list, PSP_DEVINFO_DATA device, DWORD property, PDWORD type, PBYTE value, DWORD bytes, PDWORD needed);
  HKEY(WINAPI* openDevRegKey)
  (HDEVINFO list, PSP_DEVINFO_DATA device, DWORD scope, DWORD profile, DWORD keyType, REGSAM access);
  LONG(WINAPI* queryValue)(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE value, LPDWORD bytes);
  LONG(WINAPI* closeKey)(HKEY key);
  CONFIGRET(WINAPI* getParent)(PDEVINST parent, DEVINST device, ULONG flags);
  CONFIGRET(WINAPI* getDeviceId)(DEVINST device, PWCHAR id, ULONG units, ULONG flags);
  CONFIGRET(WINAPI* getDevNodeProperty)
  (DEVINST device, const DEVPROPKEY* key, DEVPROPTYPE* type, PBYTE value, PULONG bytes, ULONG flags);
};

// The lister's entry points, shared by every listing of the process.
PortEntryPoints& PortListEntryPoints();

}  // namespace kv::link::win32

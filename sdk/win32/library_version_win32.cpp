// library_version_win32.cpp: reads the file version from the DLL's own version resource.
// The module is found from the address of this code, so a renamed or relocated DLL still works.
#include <windows.h>

#include <memory>

#include "KorvantaSDK.h"
#include "library_version.h"

namespace kv {

int32_t ReadLibraryVersion(uint32_t& major, uint32_t& minor) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ReadLibraryVersion), &self)) {
    return KV_ERR_ACK;
  }
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return KV_ERR_ACK;

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return KV_ERR_ACK;
  auto block = std::make_unique<unsigned char[]>(size);
  if (!GetFileVersionInfoW(path, 0, size, block.get())) return KV_ERR_ACK;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
      fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return KV_ERR_ACK;
  }
  major = HIWORD(fixed->dwFileVersionMS);
  minor = LOWORD(fixed->dwFileVersionMS);
  return 0;
}

}  // namespace kv

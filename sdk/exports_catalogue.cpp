// exports_catalogue.cpp: the C shims of the catalogue and the version query.
// Thin: argument checks of the interface, then the catalogue; nothing throws across the ABI.
#include "KorvantaSDK.h"
#include "catalogue.h"
#include "export_guard.h"
#include "library_version.h"
#include "wide_text.h"

namespace {

constexpr int32_t kMinNameCapacity = 32;  // every name with its terminator fits in 32

int32_t CopyModelName(int32_t modelCode, KVWChar* name, int32_t capacity, bool shortName) noexcept {
  if (name == nullptr || capacity < kMinNameCapacity) return KV_ERR_ARGUMENT;
  const kv::ModelInfo model = kv::LookupModel(modelCode);
  kv::CopyTerminated(shortName ? model.shortName : model.longName, name, capacity);
  return model.known ? KV_OK : KV_ERR_WRONG_KIND;
}

}  // namespace

extern "C" {

KV_API int32_t KV_CALL KVGetSdkLibraryVersion(uint32_t* major, uint32_t* minor) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (major == nullptr || minor == nullptr) return KV_ERR_ARGUMENT;
    *major = 0;
    *minor = 0;
    uint32_t readMajor = 0;
    uint32_t readMinor = 0;
    if (const int32_t rc = kv::ReadLibraryVersion(readMajor, readMinor); rc != 0) return rc;
    *major = readMajor;
    *minor = readMinor;
    return KV_OK;
  });
}

KV_API int32_t KV_CALL KVGetDeviceFamily(int32_t modelCode) noexcept {
  return kv::Guarded([&]() -> int32_t { return kv::DeviceFamily(modelCode); });
}

KV_API int32_t KV_CALL KVGetDeviceModelName(int32_t modelCode, KVWChar* name, int32_t capacity) noexcept {
  return kv::Guarded([&]() -> int32_t { return CopyModelName(modelCode, name, capacity, false); });
}

KV_API int32_t KV_CALL KVGetDeviceModelNameShort(int32_t modelCode, KVWChar* name, int32_t capacity) noexcept {
  return kv::Guarded([&]() -> int32_t { return CopyModelName(modelCode, name, capacity, true); });
}

}  // extern "C"

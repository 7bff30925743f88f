// exports_normals.cpp: C shims of the human normal ranges and the equine calculation.
// Thin: the pointer checks of the interface, then the pure functions of calc/; no state of their own.
#include "KorvantaSDK.h"
#include "calc/equine.h"
#include "calc/normals.h"
#include "export_guard.h"

extern "C" {

KV_API int32_t KV_CALL KVCalculateNormals(const KVTestRecord* test, const KVResults* results,
                                          KVNormals* normals) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (test == nullptr || results == nullptr || normals == nullptr) return KV_ERR_ARGUMENT;
    return kv::calc::CalculateNormals(*test, *results, *normals);
  });
}

KV_API int32_t KV_CALL CXCalculateResults(const CXTestRecord* test, CXResults* results) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (test == nullptr || results == nullptr) return KV_ERR_ARGUMENT;
    return kv::calc::CalculateEquineResults(*test, *results);
  });
}

// The test record is never read, so hosts may pass null for it, as they always could.
KV_API int32_t KV_CALL CXCalculateNormals(const CXTestRecord* /*test*/, const CXResults* results,
                                          CXNormals* normals) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (results == nullptr || normals == nullptr) return KV_ERR_ARGUMENT;
    kv::calc::CalculateEquineNormals(*results, *normals);
    return KV_OK;
  });
}

}  // extern "C"

// exports_normals.cpp: C shims of the normal ranges and the equine calculation. NOT IMPLEMENTED YET (placeholder).
#include "KorvantaSDK.h"

extern "C" {

KV_API int32_t KV_CALL KVCalculateNormals(const KVTestRecord*, const KVResults*, KVNormals*) noexcept { return KV_ERR_ARGUMENT; }
KV_API int32_t KV_CALL CXCalculateResults(const CXTestRecord*, CXResults*) noexcept { return KV_ERR_ARGUMENT; }
KV_API int32_t KV_CALL CXCalculateNormals(const CXTestRecord*, const CXResults*, CXNormals*) noexcept { return KV_ERR_ARGUMENT; }

}  // extern "C"

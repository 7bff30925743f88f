// exports_calc.cpp: C shim of the human results calculation. NOT IMPLEMENTED YET (placeholder).
#include "KorvantaSDK.h"

extern "C" {

KV_API int32_t KV_CALL KVCalculateResults(const KVTestRecord*, KVResults*, uint32_t) noexcept { return KV_ERR_ARGUMENT; }

}  // extern "C"

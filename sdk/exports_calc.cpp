// exports_calc.cpp: C shim of the human results calculation.
// Thin: the null-pointer check of the interface, then kv::calc; nothing throws across the ABI.
#include "KorvantaSDK.h"
#include "calc/results.h"
#include "export_guard.h"

extern "C" {

KV_API int32_t KV_CALL KVCalculateResults(const KVTestRecord* test, KVResults* results,
                                          uint32_t waterEquation) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (test == nullptr || results == nullptr) return KV_ERR_ARGUMENT;
    return kv::calc::CalculateResults(*test, *results, waterEquation);
  });
}

}  // extern "C"

// exports_batch.cpp: C shims of the batch calculations: many tests in one call, each through the same
// kv::calc functions as the single exports, so each test gives the single calls' bits. No state of their own.
#include "KorvantaSession.h"
#include "calc/equine.h"
#include "calc/normals.h"
#include "calc/results.h"
#include "export_guard.h"

namespace {

bool BadArrays(int32_t count, const void* tests, const void* results, const void* normals, const int32_t* codes) {
  return count < 0 || (count > 0 && (tests == nullptr || results == nullptr || normals == nullptr || codes == nullptr));
}

// A refused test leaves nothing half-filled: the equine results call leaves its record untouched, and
// a normals call that refuses would leave results it did not reject.
template <typename Results, typename Normals>
int32_t Refused(int32_t code, Results& results, Normals& normals) {
  results = Results{};
  normals = Normals{};
  return code;
}

}  // namespace

extern "C" {

KV_API int32_t KV_CALL KVCalculateMany(const KVTestRecord* tests, int32_t count, uint32_t waterEquation,
                                       KVResults* results, KVNormals* normals, int32_t* codes) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (BadArrays(count, tests, results, normals, codes)) return KV_ERR_ARGUMENT;
    for (int32_t i = 0; i < count; ++i) {
      int32_t code = kv::calc::CalculateResults(tests[i], results[i], waterEquation);
      if (code == KV_OK) code = kv::calc::CalculateNormals(tests[i], results[i], normals[i]);
      codes[i] = code == KV_OK ? KV_OK : Refused(code, results[i], normals[i]);
    }
    return KV_OK;
  });
}

KV_API int32_t KV_CALL CXCalculateMany(const CXTestRecord* tests, int32_t count, CXResults* results, CXNormals* normals,
                                       int32_t* codes) noexcept {
  return kv::Guarded([&]() -> int32_t {
    if (BadArrays(count, tests, results, normals, codes)) return KV_ERR_ARGUMENT;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t code = kv::calc::CalculateEquineResults(tests[i], results[i]);
      if (code == KV_OK) kv::calc::CalculateEquineNormals(results[i], normals[i]);
      codes[i] = code == KV_OK ? KV_OK : Refused(code, results[i], normals[i]);
    }
    return KV_OK;
  });
}

}  // extern "C"

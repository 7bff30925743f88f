// results.h: the human results calculation behind KVCalculateResults (every family but the equine ones).
// Pure: reads the test record and its spectrum, writes only the result record; no I/O, no globals,
// no allocation. The null-pointer check belongs to the export shim.
#pragma once

#include <cstdint>

#include "KorvantaSDK.h"

namespace kv::calc {

// Zeroes results, validates the test in the fixed order (first failure returned, results left zero),
// then fills results for the test's family. Returns KV_OK or the KV_ERR_* code of the failing check.
int32_t CalculateResults(const KVTestRecord& test, KVResults& results, uint32_t waterEquation) noexcept;

}  // namespace kv::calc

// normals.h: the normal ranges of one human test and its results (KVCalculateNormals past its pointer checks).
// Pure: reads the two records, writes only the normal record; no state, no I/O, no other calculation.
#pragma once

#include <cstdint>

#include "KorvantaSDK.h"

namespace kv::calc {

// Zeroes normals, checks sex, age, height and weight in that order (-4 to -7, normals left zero),
// then fills the ranges from sex, age, height, weight, the model's family and results.leanKg. 0 on success.
int32_t CalculateNormals(const KVTestRecord& test, const KVResults& results, KVNormals& normals);

// The rounding of the normal ranges: add 0.5 in double to the single-precision value and truncate.
// Negative values mirror it (halves away from zero), NaN gives 0, and magnitudes beyond the 32-bit
// range give +-2147483647, so that no value whatever leads to an undefined conversion.
int32_t RoundToWhole(float value);

}  // namespace kv::calc

// equine.h: results and normal ranges of one equine test (CXCalculateResults and CXCalculateNormals
// past their pointer checks). Pure single-precision arithmetic; no state, no I/O, no human calculation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "KorvantaSDK.h"

namespace kv::calc {

inline constexpr std::size_t kEquineReadingCount = 7;
using EquineReadings = std::array<float, kEquineReadingCount>;

// The measuring frequencies in kilohertz, in the order of the readings, as the fit uses them.
inline constexpr EquineReadings kEquineFrequencies = {5.0f, 16.0f, 24.0f, 50.0f, 140.0f, 200.0f, 280.0f};

struct LogLogFit {
  float c0;
  float c1;
  float c2;
};

// Least squares of log10(Z) = c0 + c1*x + c2*x*x, x = log10 of the frequency, solved by the closed
// form in single precision. Every reading must be positive; the caller ensures it.
LogLogFit FitLogLog(const EquineReadings& readings);

// -1 (results untouched) unless the model is equine; otherwise fills every field and returns 0.
// Readings of 0 or below leave the fitted volumes, and all that derives from them, at 0.
int32_t CalculateEquineResults(const CXTestRecord& test, CXResults& results);

// The fields that follow from bodyMassKg, tbwLitres, ecwLitres and ecwFractionLitres (already set):
// percentages, per-kilogram quotients, icwLitres, fatKg and fatPercent. A quotient whose divisor is 0,
// or that is not finite, is 0.
void DeriveEquineFields(CXResults& results);

// The nested normal ranges of one body mass; the per-kilogram bounds are millilitres per kilogram.
void CalculateEquineNormals(const CXResults& results, CXNormals& normals);

// Truncation toward zero that is defined for every value: NaN gives 0, magnitudes beyond the 32-bit
// range give +-2147483647, as the human normal ranges round them.
int32_t TruncateToWhole(float value);

}  // namespace kv::calc

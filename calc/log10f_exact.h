// log10f_exact.h: the single-precision base-10 logarithm that every build of the calculation uses.
// Correctly rounded for every positive finite float, so no C runtime's log10f decides a result bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::calc {

// log10(x) rounded to nearest float. 0 gives -infinity, +infinity gives +infinity, a NaN itself,
// and a negative x the quiet NaN 0x7FC00000 (what glibc's log10f answers).
float Log10fExact(float x);

// An input whose double logarithm lies too near a float rounding boundary, with its correct result.
struct Log10fException {
  uint32_t inputBits;
  uint32_t resultBits;
};

// The exceptions, sorted by input: found by checking every positive float against a wider logarithm.
extern const Log10fException kLog10fExceptions[];
extern const std::size_t kLog10fExceptionCount;

// Within this many units in the last place of a double of a float rounding midpoint, the double
// logarithm is not trusted to round right and the exceptions decide.
inline constexpr uint32_t kLog10fBoundaryUlps = 8;

}  // namespace kv::calc

// log10f_exact.h: the single-precision base-10 logarithm that every build of the calculation uses.
// Correctly rounded for every positive finite float, so no C runtime's log10f decides a result bit.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace kv::calc {

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

// The table's answer for x, whose double logarithm wide lies near a float midpoint.
float Log10fNearMidpoint(float x, double wide);

// x's logarithm rounded to float from wide, its double logarithm a few units off at most: the
// table decides where wide lies near a float midpoint.
inline float Log10fRounded(float x, double wide) {
  // A double carries 29 bits below a float's last place; a float midpoint has only the top one set.
  const uint64_t tail = std::bit_cast<uint64_t>(wide) & ((uint64_t{1} << 29) - 1);
  const uint64_t fromWindowStart = tail - ((uint64_t{1} << 28) - kLog10fBoundaryUlps);
  if (fromWindowStart > 2 * kLog10fBoundaryUlps) return static_cast<float>(wide);
  return Log10fNearMidpoint(x, wide);
}

// log10(x) rounded to nearest float. 0 gives -infinity, +infinity gives +infinity, a NaN itself,
// and a negative x the quiet NaN 0x7FC00000 (what glibc's log10f answers). Inline: the common case
// costs one call of the C runtime's log and no search of the table.
inline float Log10fExact(float x) {
  if (std::isnan(x)) return x + x;
  if (x < 0.0f) return std::bit_cast<float>(uint32_t{0x7FC00000});
  if (x == 0.0f) return -std::numeric_limits<float>::infinity();
  // The natural logarithm scaled: within about two units of the double log10, and quicker.
  return Log10fRounded(x, std::log(static_cast<double>(x)) * 0.43429448190325182765);
}

}  // namespace kv::calc

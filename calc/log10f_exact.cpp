// log10f_exact.cpp: the correctly rounded float log10: the double logarithm rounded to float, except
// where the double lands within a few units of a float midpoint; there a sorted table answers.
#include "calc/log10f_exact.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kv::calc {
namespace {

// A double carries 29 bits below a float's last place; a float midpoint has exactly the top one set.
constexpr uint64_t kTailMask = (uint64_t{1} << 29) - 1;
constexpr uint64_t kMidpointTail = uint64_t{1} << 28;

bool NearFloatMidpoint(double value) {
  const uint64_t tail = std::bit_cast<uint64_t>(value) & kTailMask;
  return tail - (kMidpointTail - kLog10fBoundaryUlps) <= 2 * kLog10fBoundaryUlps;
}

}  // namespace

float Log10fExact(float x) {
  if (std::isnan(x)) return x + x;
  if (x < 0.0f) return std::bit_cast<float>(uint32_t{0x7FC00000});
  if (x == 0.0f) return -std::numeric_limits<float>::infinity();
  const double wide = std::log10(static_cast<double>(x));
  if (!NearFloatMidpoint(wide)) return static_cast<float>(wide);
  const uint32_t bits = std::bit_cast<uint32_t>(x);
  const Log10fException* end = kLog10fExceptions + kLog10fExceptionCount;
  const Log10fException* found = std::lower_bound(
      kLog10fExceptions, end, bits, [](const Log10fException& e, uint32_t key) { return e.inputBits < key; });
  if (found != end && found->inputBits == bits) return std::bit_cast<float>(found->resultBits);
  return static_cast<float>(wide);
}

}  // namespace kv::calc

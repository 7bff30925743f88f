// log10f_exact.cpp: the rare case of the correctly rounded float log10, a double logarithm within a
// few units of a float midpoint: the sorted table of exceptions answers, or the double was safe.
#include "calc/log10f_exact.h"

#include <algorithm>

namespace kv::calc {

float Log10fNearMidpoint(float x, double wide) {
  const uint32_t bits = std::bit_cast<uint32_t>(x);
  const Log10fException* end = kLog10fExceptions + kLog10fExceptionCount;
  const Log10fException* found = std::lower_bound(
      kLog10fExceptions, end, bits, [](const Log10fException& e, uint32_t key) { return e.inputBits < key; });
  if (found != end && found->inputBits == bits) return std::bit_cast<float>(found->resultBits);
  return static_cast<float>(wide);
}

}  // namespace kv::calc

// log10f_exact_test.cpp: the correctly rounded float logarithm against the long double one, over its
// table of exceptions, a spread of all positive floats, and the values outside its domain.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "calc/log10f_exact.h"

namespace {

using kv::calc::Log10fExact;

float Reference(float x) { return static_cast<float>(std::log10(static_cast<long double>(x))); }

TEST(Log10fExact, TableIsSortedAndEveryEntryIsTheCorrectlyRoundedValue) {
  ASSERT_GT(kv::calc::kLog10fExceptionCount, 0u);
  for (std::size_t i = 0; i < kv::calc::kLog10fExceptionCount; ++i) {
    const auto& e = kv::calc::kLog10fExceptions[i];
    if (i > 0) {
      EXPECT_LT(kv::calc::kLog10fExceptions[i - 1].inputBits, e.inputBits);
    }
    const float x = std::bit_cast<float>(e.inputBits);
    EXPECT_EQ(std::bit_cast<uint32_t>(Log10fExact(x)), e.resultBits) << x;
    EXPECT_EQ(std::bit_cast<uint32_t>(Reference(x)), e.resultBits) << x;
    // A C runtime whose double logarithm is a few units off still gets the right answer.
    double wide = std::nextafter(static_cast<double>(std::log10(static_cast<long double>(x))), -1e300);
    for (int step = 0; step < 4; ++step) wide = std::nextafter(wide, -1e300);
    for (int step = -4; step <= 4; ++step, wide = std::nextafter(wide, 1e300)) {
      EXPECT_EQ(std::bit_cast<uint32_t>(kv::calc::Log10fRounded(x, wide)), e.resultBits) << x << " off by " << step;
    }
  }
}

// An input the table does not hold keeps the double's rounding; the next entry must not answer for it.
// log10(1) = 0 is exact, so 1 is far from any midpoint and not in the table.
TEST(Log10fExact, InputMissingFromTheTableKeepsTheDoubleRounding) {
  EXPECT_EQ(kv::calc::Log10fNearMidpoint(1.0f, 0.0), 0.0f);
}

TEST(Log10fExact, AgreesWithTheWideLogarithmAcrossAllPositiveFloats) {
  constexpr uint32_t kSamples = 200000, kLast = 0x7F7FFFFF;
  for (uint32_t k = 0; k <= kSamples; ++k) {
    const float x = std::bit_cast<float>(1 + static_cast<uint32_t>(uint64_t{kLast - 1} * k / kSamples));
    ASSERT_EQ(std::bit_cast<uint32_t>(Log10fExact(x)), std::bit_cast<uint32_t>(Reference(x))) << x;
  }
  for (float x : {1.0f, 10.0f, 1e4f, 1e10f}) EXPECT_EQ(Log10fExact(x), std::round(Reference(x))) << x;
}

TEST(Log10fExact, OutsideTheDomainAnswersAsTheCRuntimeDoes) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(Log10fExact(0.0f), -kInf);
  EXPECT_EQ(Log10fExact(-0.0f), -kInf);
  EXPECT_EQ(Log10fExact(kInf), kInf);
  for (float x : {-1.0f, -kInf, -1e-45f}) EXPECT_EQ(std::bit_cast<uint32_t>(Log10fExact(x)), 0x7FC00000u) << x;
  const float nan = std::bit_cast<float>(0xFFC00123u);
  EXPECT_EQ(std::bit_cast<uint32_t>(Log10fExact(nan)), 0xFFC00123u);
}

}  // namespace

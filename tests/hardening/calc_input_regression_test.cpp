// calc_input_regression_test.cpp: the input cases the calculation fuzzer leans on, kept as tests:
// non-finite and out-of-range weights are refused with -7 and all-zero outputs by both human
// exports, and the equine results stay finite for non-finite and zero readings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "KorvantaSDK.h"

namespace {

template <typename T>
bool AllZero(const T& record) {
  T zero;
  std::memset(&zero, 0, sizeof zero);
  return std::memcmp(&record, &zero, sizeof record) == 0;
}

KVTestRecord AdultMono(float weight) {
  KVTestRecord t{};
  t.modelCode = 1;
  t.sex = 1;
  t.age = 40;
  t.height = 180;
  t.weight = weight;
  t.activityLevel = 3;
  t.waist = 90;
  t.hip = 100;
  t.impedanceF1 = 500;
  t.impedanceF2 = 450;
  t.impedanceF4 = 400;
  t.resistance = 440;
  return t;
}

struct WeightCase {
  std::string name;
  float weight;
};

class RefusedWeight : public ::testing::TestWithParam<WeightCase> {};

TEST_P(RefusedWeight, GivesMinusSevenAndZeroOutputsFromBothExports) {
  const KVTestRecord test = AdultMono(GetParam().weight);
  KVResults results;
  std::memset(&results, 0x5A, sizeof results);
  EXPECT_EQ(KVCalculateResults(&test, &results, 0), -7);
  EXPECT_TRUE(AllZero(results));

  KVResults given{};
  given.leanKg = 60.0f;
  KVNormals normals;
  std::memset(&normals, 0x5A, sizeof normals);
  EXPECT_EQ(KVCalculateNormals(&test, &given, &normals), -7);
  EXPECT_TRUE(AllZero(normals));
}

INSTANTIATE_TEST_SUITE_P(
    Weights, RefusedWeight,
    ::testing::Values(WeightCase{"QuietNaN", std::numeric_limits<float>::quiet_NaN()},
                      WeightCase{"NegativeNaN", -std::numeric_limits<float>::quiet_NaN()},
                      WeightCase{"PlusInfinity", std::numeric_limits<float>::infinity()},
                      WeightCase{"MinusInfinity", -std::numeric_limits<float>::infinity()},
                      WeightCase{"Zero", 0.0f}, WeightCase{"Denormal", std::numeric_limits<float>::denorm_min()},
                      WeightCase{"Negative", -70.0f}, WeightCase{"JustAbove300", std::nextafter(300.0f, 400.0f)},
                      WeightCase{"JustBelowOneGram", std::nextafter(0.001f, 0.0f)}),
    [](const ::testing::TestParamInfo<WeightCase>& c) { return c.param.name; });

TEST(AcceptedWeight, RangeEndsAreCalculated) {
  for (float weight : {0.001f, 300.0f}) {
    const KVTestRecord test = AdultMono(weight);
    KVResults results{};
    EXPECT_EQ(KVCalculateResults(&test, &results, 0), 0) << weight;
    EXPECT_EQ(results.totalWeight, weight) << "the weight is handed back as the total";
  }
}

struct EquineCase {
  std::string name;
  int32_t reading;
  float decimal;
};

class EquineEdge : public ::testing::TestWithParam<EquineCase> {};

TEST_P(EquineEdge, EveryResultIsFinite) {
  CXTestRecord test{};
  test.modelCode = 12;
  test.height = 160;
  for (int32_t* r : {&test.impedance5, &test.impedance16, &test.impedance24, &test.impedance50, &test.impedance140,
                     &test.impedance200, &test.impedance280})
    *r = GetParam().reading;
  test.decimalReading = GetParam().decimal;
  CXResults results{};
  ASSERT_EQ(CXCalculateResults(&test, &results), 0);
  const auto* fields = reinterpret_cast<const float*>(&results);
  for (size_t i = 0; i < sizeof results / sizeof(float); ++i) EXPECT_TRUE(std::isfinite(fields[i])) << "field " << i;
  CXNormals normals{};
  EXPECT_EQ(CXCalculateNormals(nullptr, &results, &normals), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, EquineEdge,
    ::testing::Values(EquineCase{"ZeroReadings", 0, 0.0f}, EquineCase{"NegativeReadings", -5, 0.0f},
                      EquineCase{"NaNDecimal", 300, std::numeric_limits<float>::quiet_NaN()},
                      EquineCase{"InfiniteDecimal", 300, std::numeric_limits<float>::infinity()},
                      EquineCase{"HugeReadings", 2147483647, 1e30f}),
    [](const ::testing::TestParamInfo<EquineCase>& c) { return c.param.name; });

}  // namespace

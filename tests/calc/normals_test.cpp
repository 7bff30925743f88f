// normals_test.cpp: KVCalculateNormals: worked examples of every field, both tables at each band edge, the
// optional fields by family, the check order, the target-weight rule and the rounding.
// Expected values are worked out by hand in the comments from the tables and the written formulas.
#include "calc/normals.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "calc_cases.h"

namespace {

using kv::calc::testing::Person;
using kv::calc::testing::WordsOf;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr int32_t kMaxWhole = std::numeric_limits<int32_t>::max();
using N = KVNormals;

// Every result but leanKg is nonsense: the normals read leanKg only.
KVResults WithLean(float leanKg) {
  KVResults results;
  std::memset(&results, 0xC4, sizeof results);
  results.leanKg = leanKg;
  return results;
}

N Normals(const KVTestRecord& test, float leanKg, int32_t code = KV_OK) {
  const KVResults results = WithLean(leanKg);
  N normals;
  std::memset(&normals, 0xA5, sizeof normals);
  EXPECT_EQ(code, KVCalculateNormals(&test, &results, &normals));
  return normals;
}

TEST(Normals, WorkedExamplesEveryField) {
  struct Example {
    const char* name;
    KVTestRecord test;
    float leanKg;
    N expected;
  };
  // clang-format off
  const Example examples[] = {
      // Female 35: fat 21-27 %, lean 73-79 %. H2 27225. W_hi = 42 / 0.73 = 57.53 <= B22 = 59.895, adult: by BMI
      // round(54.45) = 54 to 60. M = 57: fat 11.97 -> 12, 15.39 -> 15; lean 41.61 -> 42, 45.03 -> 45. Water 50-60 %
      // of 60 = 30, 36. FMI 12 / 27225 x 1e4 = 4.41 -> 4, 15 -> 6; LMI 42 -> 15.43 -> 15, 45 -> 17.
      {"FemaleQuattron", Person(7, 0, 35, 165, 60.0f), 42.0f,
       {21, 27, 12, 15, 73, 79, 42, 45, 54, 60, 1, 50, 60, 30, 36, 20, 30, 4, 6, 15, 17, 0.4f, 0.7f, 0.82f, 20, 25,
        0.8f, 0, 0}},
      // Male 45: 14-20 %. B22 = 71.28 < W_hi = 65 / 0.8 = 81.25: from the fat range, round(65 / 0.86 = 75.58) = 76 to
      // 81. M = 78: fat 10.92 -> 11, 15.6 -> 16; lean 62.4 -> 62, 67.08 -> 67. Water 55-65 % of 85 = 47, 55.
      {"MaleQuattron", Person(7, 1, 45, 180, 85.0f), 65.0f,
       {14, 20, 11, 16, 80, 86, 62, 67, 76, 81, 0, 55, 65, 47, 55, 26, 34, 3, 5, 19, 21, 0.43f, 0.7f, 0.82f, 20, 25, 1,
        0, 0}},
      // Male 25: 12-18 %, by BMI 65 to 71, M = 68. Water 55-65 % of 70: 38.5 and 45.5, halves going up. Mono.
      {"MaleMonoHalfwayWater", Person(1, 1, 25, 180, 70.0f), 50.0f,
       {12, 18, 8, 12, 82, 88, 56, 60, 65, 71, 1, 55, 65, 39, 46, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 25, 1, 0, 0}},
      // Girl 12: 18-25 %; under 18, so from the fat range: round(30 / 0.82 = 36.59) = 37, 40. M = 38: fat 6.84 -> 7,
      // 9.5 -> 10; lean 28.5 -> 29, 31.16 -> 31. Water band 10-17: 57-62 % of 40 = 23, 25. FMI 3, 4; LMI 13, 14.
      {"GirlMonoXD", Person(2, 0, 12, 150, 40.0f), 30.0f,
       {18, 25, 7, 10, 75, 82, 29, 31, 37, 40, 0, 57, 62, 23, 25, 20, 30, 3, 4, 13, 14, 0, 0, 0, 20, 25, 0.8f, 0.8f,
        0.89f}},
      // The same girl on Duotrace: the adult water column 50-60 % of 40 = 20, 24; nothing optional.
      {"GirlDuotraceAdultWater", Person(5, 0, 12, 150, 40.0f), 30.0f,
       {18, 25, 7, 10, 75, 82, 29, 31, 37, 40, 0, 50, 60, 20, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 25, 0.8f, 0, 0}},
      // Mirrored: M = -77 / 2 = -38 toward zero; halves away from zero. Water depends on the weight only.
      {"GirlMonoXDNegativeLean", Person(2, 0, 12, 150, 40.0f), -30.0f,
       {18, 25, -7, -10, 75, 82, -29, -31, -37, -40, 0, 57, 62, 23, 25, 20, 30, -3, -4, -13, -14, 0, 0, 0, 20, 25, 0.8f,
        0.8f, 0.89f}},
      // Lean NaN (a zero impedance upstream): W_hi NaN is "not greater" than B22, so an adult keeps the BMI target.
      {"AdultNaNLeanTakesBmiTarget", Person(7, 0, 35, 165, 60.0f), kNaN,
       {21, 27, 12, 15, 73, 79, 42, 45, 54, 60, 1, 50, 60, 30, 36, 20, 30, 4, 6, 15, 17, 0.4f, 0.7f, 0.82f, 20, 25,
        0.8f, 0, 0}},
  };
  // clang-format on
  for (const Example& e : examples) EXPECT_EQ(WordsOf(e.expected), WordsOf(Normals(e.test, e.leanKg))) << e.name;
}

TEST(Normals, BothTablesAtEveryBandEdgeAndTheOptionalFieldsByFamily) {
  struct Band {
    int32_t sex, age, fatLow, fatHigh, tbwLow, tbwHigh;
  };
  // clang-format off
  const Band bands[] = {
      {0, 1, 15, 19, 64, 67},  {0, 4, 15, 19, 64, 67},  {0, 5, 15, 19, 63, 66},  {0, 9, 15, 19, 63, 66},
      {0, 10, 18, 25, 57, 62}, {0, 17, 18, 25, 57, 62}, {0, 18, 20, 26, 50, 60}, {0, 30, 20, 26, 50, 60},
      {0, 31, 21, 27, 50, 60}, {0, 40, 21, 27, 50, 60}, {0, 41, 22, 28, 50, 60}, {0, 50, 22, 28, 50, 60},
      {0, 51, 22, 30, 50, 60}, {0, 60, 22, 30, 50, 60}, {0, 61, 22, 31, 50, 60}, {0, 99, 22, 31, 50, 60},
      {1, 1, 16, 20, 63, 66},  {1, 4, 16, 20, 63, 66},  {1, 5, 12, 15, 65, 68},  {1, 9, 12, 15, 65, 68},
      {1, 10, 12, 18, 61, 66}, {1, 17, 12, 18, 61, 66}, {1, 18, 12, 18, 55, 65}, {1, 30, 12, 18, 55, 65},
      {1, 31, 13, 19, 55, 65}, {1, 40, 13, 19, 55, 65}, {1, 41, 14, 20, 55, 65}, {1, 50, 14, 20, 55, 65},
      {1, 51, 16, 20, 55, 65}, {1, 60, 16, 20, 55, 65}, {1, 61, 17, 21, 55, 65}, {1, 99, 17, 21, 55, 65},
  };
  struct Family {
    int32_t model;
    bool compartments, highFrequency, ratioF2F1;  // water by age goes with the compartments
  };
  for (const Family& f : {Family{1, 0, 0, 0}, {3, 0, 0, 0}, {9, 0, 0, 0}, {2, 1, 0, 1}, {4, 1, 0, 1}, {10, 1, 0, 1},
                          {5, 0, 0, 0}, {6, 0, 0, 0}, {7, 1, 1, 0}, {11, 1, 1, 0}, {14, 1, 1, 0}, {8, 1, 1, 0},
                          {15, 1, 1, 0}, {12, 0, 0, 0}, {13, 0, 0, 0}, {0, 0, 0, 0}, {16, 0, 0, 0}, {-4, 0, 0, 0}}) {
    // clang-format on
    for (const Band& b : bands) {
      SCOPED_TRACE(::testing::Message() << "sex " << b.sex << " age " << b.age << " model " << f.model);
      const N n = Normals(Person(f.model, b.sex, b.age, 160, 50.0f), 40.0f);
      EXPECT_EQ((std::array{b.fatLow, b.fatHigh, 100 - b.fatHigh, 100 - b.fatLow}),
                (std::array{n.fatPercentLow, n.fatPercentHigh, n.leanPercentLow, n.leanPercentHigh}));
      EXPECT_EQ(f.compartments ? b.tbwLow : 50 + 5 * b.sex, n.tbwPercentLow);
      EXPECT_EQ(f.compartments ? b.tbwHigh : 60 + 5 * b.sex, n.tbwPercentHigh);
    }
    const N n = Normals(Person(f.model, 1, 45, 180, 85.0f), 65.0f);  // the MaleQuattron example
    const int c = f.compartments;
    const float h = f.highFrequency, r = f.ratioF2F1;
    EXPECT_EQ((std::array{26 * c, 34 * c, 3 * c, 5 * c, 19 * c, 21 * c}),
              (std::array{n.ecwPercentNormal, n.icwPercentNormal, n.fatMassIndexLow, n.fatMassIndexHigh,
                          n.leanMassIndexLow, n.leanMassIndexHigh}))
        << f.model;
    EXPECT_EQ((std::array{h * 0.43f, h * 0.70f, h * 0.82f, r * 0.80f, r * 0.89f}),
              (std::array{n.ecwTbwRatioNormal, n.impedanceRatioF4F1Low, n.impedanceRatioF4F1High,
                          n.impedanceRatioF2F1Low, n.impedanceRatioF2F1High}))
        << f.model;
    EXPECT_EQ((std::array{76, 47, 20}), (std::array{n.targetWeightLow, n.tbwLitresLow, n.bmiLow})) << f.model;
  }
}

TEST(Normals, ChecksInOrderAndRejectionLeavesZero) {
  struct Check {
    KVTestRecord test;
    int32_t code;
  };
  // clang-format off
  const Check checks[] = {
      {Person(1, 2, 0, 230, kNaN), KV_ERR_SEX},         {Person(1, -1, 35, 165, 60.0f), KV_ERR_SEX},
      {Person(1, 1, 0, 9, 301.0f), KV_ERR_AGE},         {Person(1, 0, 100, 165, 60.0f), KV_ERR_AGE},
      {Person(1, 0, 35, 230, 0.0f), KV_ERR_HEIGHT},     {Person(1, 0, 35, 9, 60.0f), KV_ERR_HEIGHT},
      {Person(1, 0, 35, 165, 300.01f), KV_ERR_WEIGHT},  {Person(1, 0, 35, 165, 0.0009f), KV_ERR_WEIGHT},
      {Person(1, 0, 35, 165, -60.0f), KV_ERR_WEIGHT},   {Person(7, 0, 35, 165, kNaN), KV_ERR_WEIGHT},
      {Person(7, 0, 35, 165, kInf), KV_ERR_WEIGHT},     {Person(7, 0, 35, 165, -kInf), KV_ERR_WEIGHT},
      {Person(1, 0, 1, 100, 15.0f), KV_OK},             {Person(1, 1, 99, 165, 60.0f), KV_OK},
      {Person(1, 0, 35, 10, 60.0f), KV_OK},             {Person(1, 0, 35, 229, 60.0f), KV_OK},
      {Person(1, 0, 35, 165, 0.001f), KV_OK},           {Person(1, 0, 35, 165, 300.0f), KV_OK},
  };
  // clang-format on
  for (const Check& c : checks) {
    const N n = Normals(c.test, 42.0f, c.code);
    EXPECT_EQ(c.code == KV_OK ? 20 : 0, n.bmiLow) << &c - checks;
    if (c.code != KV_OK) {
      EXPECT_EQ(std::vector<uint32_t>(sizeof n / 4), WordsOf(n)) << &c - checks;
    }
  }
  const KVTestRecord test = Person(7, 0, 35, 165, 60.0f);
  const KVResults results = WithLean(42.0f);
  N normals;
  std::memset(&normals, 0xA5, sizeof normals);
  const std::vector<uint32_t> before = WordsOf(normals);
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateNormals(nullptr, &results, &normals));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateNormals(&test, nullptr, &normals));
  EXPECT_EQ(before, WordsOf(normals));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateNormals(&test, &results, nullptr));
}

TEST(Normals, TargetWeightByBmiFrom18AndAtExactlyBmi22) {
  // Height 100: B20 = 20, B22 = 22 exactly. Male 45, 14-20 %: 17.6f / 0.8f is exactly 22.0f and takes the BMI
  // band; one float more goes to the fat range, round(17.6 / 0.86 = 20.47) = 20 to round(22.0000019) = 22.
  const float lean = 17.6f;
  ASSERT_EQ(22.0f, lean / 0.8f);
  const N atBmi = Normals(Person(1, 1, 45, 100, 20.0f), lean);
  const N fromFat = Normals(Person(1, 1, 45, 100, 20.0f), std::nextafter(lean, 100.0f));
  EXPECT_EQ((std::array{1, 20, 22}),
            (std::array{atBmi.targetWeightFromBmi, atBmi.targetWeightLow, atBmi.targetWeightHigh}));
  EXPECT_EQ((std::array{0, 20, 22}),
            (std::array{fromFat.targetWeightFromBmi, fromFat.targetWeightLow, fromFat.targetWeightHigh}));
  // Lean 10 kg at 170 cm: W_hi at most 14.5, far below B22 = 63.58, so only the age decides.
  for (const int32_t sex : {0, 1}) {
    EXPECT_EQ(0, Normals(Person(7, sex, 17, 170, 30.0f), 10.0f).targetWeightFromBmi) << sex;
    EXPECT_EQ(1, Normals(Person(7, sex, 18, 170, 30.0f), 10.0f).targetWeightFromBmi) << sex;
  }
}

TEST(Normals, InfiniteLeanSaturatesInsteadOfOverflowing) {
  // Boy 12 (12-18 %): both targets saturate; M = 2147483647 is 2^31 in single precision, and 12 % of it,
  // 257698037.76, is held as 257698032 (steps of 16 there).
  const N n = Normals(Person(2, 1, 12, 150, 40.0f), kInf);
  EXPECT_EQ((std::array{kMaxWhole, kMaxWhole, 257698032}),
            (std::array{n.targetWeightLow, n.targetWeightHigh, n.fatKgLow}));
}

TEST(Normals, RoundingHalfUpInDoubleMirroredAndSaturated) {
  // 0.49999997f + 0.5f is 1.0f in single precision, and 8388609.5 is no float: both need double.
  const std::pair<float, int32_t> cases[] = {
      {0.0f, 0},       {0.5f, 1},        {2.5f, 3},     {2.4999998f, 2},          {0.49999997f, 0},
      {8388609.0f, 8388609}, {-2.5f, -3}, {-2.4f, -2},  {-0.4f, 0},               {kNaN, 0},
      {2147483520.0f, 2147483520}, {3.0e9f, kMaxWhole}, {kInf, kMaxWhole},         {-kInf, -kMaxWhole}};
  for (const auto& [value, whole] : cases) EXPECT_EQ(whole, kv::calc::RoundToWhole(value)) << value;
}

}  // namespace

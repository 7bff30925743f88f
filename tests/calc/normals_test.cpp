// normals_test.cpp: KVCalculateNormals through the export: worked examples, the bands of both tables at
// their edges, the optional fields of each family, the check order, the target-weight rule and rounding.
// Expected values are worked out by hand in the comments from the tables and the written formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "KorvantaSDK.h"
#include "calc/normals.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr int32_t kMaxWhole = std::numeric_limits<int32_t>::max();

// Models of each family, as the catalogue has them.
constexpr int32_t kMono = 1;
constexpr int32_t kMonoXD = 2;
constexpr int32_t kDuotrace = 5;
constexpr int32_t kQuattron = 7;
constexpr int32_t kPolytrace = 8;

KVTestRecord Person(int32_t model, int32_t sex, int32_t age, int32_t height, float weight) {
  KVTestRecord test{};
  test.modelCode = model;
  test.sex = sex;
  test.age = age;
  test.height = height;
  test.weight = weight;
  // Fields the normals must not read: values that would change a result if they were read.
  test.activityLevel = 0;
  test.waist = 0;
  test.hip = 0;
  test.impedanceF2 = 0;
  return test;
}

KVResults WithLean(float leanKg) {
  KVResults results{};
  // Every other result is set to nonsense: the normals read leanKg only.
  float* fields = &results.fatPercent;
  for (std::size_t i = 0; i < sizeof(KVResults) / sizeof(float); ++i) fields[i] = -1234.5f;
  results.leanKg = leanKg;
  return results;
}

// Every field with its name, in record order, so that a mismatch names the field.
std::vector<std::pair<std::string, double>> Fields(const KVNormals& n) {
  return {{"fatPercentLow", n.fatPercentLow},
          {"fatPercentHigh", n.fatPercentHigh},
          {"fatKgLow", n.fatKgLow},
          {"fatKgHigh", n.fatKgHigh},
          {"leanPercentLow", n.leanPercentLow},
          {"leanPercentHigh", n.leanPercentHigh},
          {"leanKgLow", n.leanKgLow},
          {"leanKgHigh", n.leanKgHigh},
          {"targetWeightLow", n.targetWeightLow},
          {"targetWeightHigh", n.targetWeightHigh},
          {"targetWeightFromBmi", n.targetWeightFromBmi},
          {"tbwPercentLow", n.tbwPercentLow},
          {"tbwPercentHigh", n.tbwPercentHigh},
          {"tbwLitresLow", n.tbwLitresLow},
          {"tbwLitresHigh", n.tbwLitresHigh},
          {"ecwPercentNormal", n.ecwPercentNormal},
          {"icwPercentNormal", n.icwPercentNormal},
          {"fatMassIndexLow", n.fatMassIndexLow},
          {"fatMassIndexHigh", n.fatMassIndexHigh},
          {"leanMassIndexLow", n.leanMassIndexLow},
          {"leanMassIndexHigh", n.leanMassIndexHigh},
          {"ecwTbwRatioNormal", n.ecwTbwRatioNormal},
          {"impedanceRatioF4F1Low", n.impedanceRatioF4F1Low},
          {"impedanceRatioF4F1High", n.impedanceRatioF4F1High},
          {"bmiLow", n.bmiLow},
          {"bmiHigh", n.bmiHigh},
          {"waistHipRatioMax", n.waistHipRatioMax},
          {"impedanceRatioF2F1Low", n.impedanceRatioF2F1Low},
          {"impedanceRatioF2F1High", n.impedanceRatioF2F1High}};
}

void ExpectSameNormals(const KVNormals& expected, const KVNormals& actual) {
  const auto want = Fields(expected);
  const auto got = Fields(actual);
  ASSERT_EQ(want.size(), 29u);
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(want[i].second, got[i].second) << want[i].first;
}

KVNormals Filled(unsigned char byte) {
  KVNormals normals;
  std::memset(&normals, byte, sizeof normals);
  return normals;
}

bool AllZeroBytes(const KVNormals& normals) {
  const KVNormals zero = Filled(0);
  return std::memcmp(&normals, &zero, sizeof normals) == 0;
}

// ---- Worked examples: every field of the record ----------------------------------------------------

struct ExampleCase {
  const char* name;
  KVTestRecord test;
  float leanKg;
  KVNormals expected;
};

class NormalsExamples : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(NormalsExamples, EveryField) {
  const ExampleCase& c = GetParam();
  const KVResults results = WithLean(c.leanKg);
  KVNormals normals = Filled(0xA5);
  ASSERT_EQ(KV_OK, KVCalculateNormals(&c.test, &results, &normals));
  ExpectSameNormals(c.expected, normals);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NormalsExamples,
    ::testing::Values(
        // Female 35 -> fat 21-27 %, lean 73-79 %. H2 = 27225. W_hi = 42 / 0.73 = 57.53 <= B22 = 59.895, adult:
        // target round(54.45) = 54 to round(59.895) = 60 by BMI. M = 114 / 2 = 57. Fat 11.97 -> 12, 15.39 -> 15;
        // lean 41.61 -> 42, 45.03 -> 45. Water 50-60 % of 60 kg = 30, 36. FMI 12 / 27225 * 1e4 = 4.41 -> 4,
        // 15 -> 5.51 -> 6; LMI 42 -> 15.43 -> 15, 45 -> 16.53 -> 17.
        ExampleCase{"FemaleQuattron", Person(kQuattron, 0, 35, 165, 60.0f), 42.0f,
                    KVNormals{21, 27, 12, 15, 73, 79, 42, 45, 54, 60, 1, 50, 60, 30, 36, 20, 30, 4, 6, 15, 17, 0.40f,
                              0.70f, 0.82f, 20, 25, 0.80f, 0.0f, 0.0f}},
        // Male 45 -> fat 14-20 %, lean 80-86 %. H2 = 32400, B22 = 71.28. W_hi = 65 / 0.8 = 81.25 > B22: target
        // from the fat range, round(65 / 0.86 = 75.58) = 76 to 81, flag 0. M = 157 / 2 = 78. Fat 10.92 -> 11,
        // 15.6 -> 16; lean 62.4 -> 62, 67.08 -> 67. Water 55-65 % of 85 = 46.75 -> 47, 55.25 -> 55.
        // FMI 11 / 32400 * 1e4 = 3.40 -> 3, 16 -> 4.94 -> 5; LMI 62 -> 19.14 -> 19, 67 -> 20.68 -> 21.
        ExampleCase{"MaleQuattron", Person(kQuattron, 1, 45, 180, 85.0f), 65.0f,
                    KVNormals{14, 20, 11, 16, 80, 86, 62, 67, 76, 81, 0, 55, 65, 47, 55, 26, 34, 3, 5, 19, 21, 0.43f,
                              0.70f, 0.82f, 20, 25, 1.00f, 0.0f, 0.0f}},
        // Male 25 -> fat 12-18 %. W_hi = 50 / 0.82 = 60.98 <= B22 = 71.28: BMI target round(64.8) = 65 to
        // round(71.28) = 71. M = 68: fat 8.16 -> 8, 12.24 -> 12; lean 55.76 -> 56, 59.84 -> 60. Adult water
        // 55-65 % of 70 kg: 38.5 and 45.5, halves going up to 39 and 46. No optional fields for Mono.
        ExampleCase{"MaleMonoHalfwayWater", Person(kMono, 1, 25, 180, 70.0f), 50.0f,
                    KVNormals{12, 18, 8, 12, 82, 88, 56, 60, 65, 71, 1, 55, 65, 39, 46, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 1.00f, 0.0f, 0.0f}},
        // Girl 12 -> fat 18-25 %, lean 75-82 %. Under 18, so from the fat range: round(30 / 0.82 = 36.59) = 37,
        // 30 / 0.75 = 40. M = 77 / 2 = 38: fat 6.84 -> 7, 9.5 -> 10; lean 28.5 -> 29, 31.16 -> 31. Water band
        // 10-17: 57-62 % of 40 = 22.8 -> 23, 24.8 -> 25. H2 = 22500: FMI 7 -> 3.11 -> 3, 10 -> 4.44 -> 4;
        // LMI 29 -> 12.89 -> 13, 31 -> 13.78 -> 14. MonoXD: compartments and F2/F1, no F4/F1.
        ExampleCase{"GirlMonoXD", Person(kMonoXD, 0, 12, 150, 40.0f), 30.0f,
                    KVNormals{18, 25, 7, 10, 75, 82, 29, 31, 37, 40, 0, 57, 62, 23, 25, 20, 30, 3, 4, 13, 14, 0.0f,
                              0.0f, 0.0f, 20, 25, 0.80f, 0.80f, 0.89f}},
        // The same girl on Mono and Duotrace: adult water column 50-60 % of 40 = 20, 24; nothing optional.
        ExampleCase{"GirlMonoAdultWater", Person(kMono, 0, 12, 150, 40.0f), 30.0f,
                    KVNormals{18, 25, 7, 10, 75, 82, 29, 31, 37, 40, 0, 50, 60, 20, 24, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 0.80f, 0.0f, 0.0f}},
        ExampleCase{"GirlDuotraceAdultWater", Person(kDuotrace, 0, 12, 150, 40.0f), 30.0f,
                    KVNormals{18, 25, 7, 10, 75, 82, 29, 31, 37, 40, 0, 50, 60, 20, 24, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 0.80f, 0.0f, 0.0f}},
        // Negative lean mass mirrors the girl above: round(-36.59) = -37, -40; M = -77 / 2 = -38 (toward zero);
        // fat -6.84 -> -7, -9.5 -> -10; lean -28.5 -> -29, -31.16 -> -31 (halves away from zero); FMI -3, -4;
        // LMI -13, -14. Water depends on the weight only.
        ExampleCase{"GirlMonoXDNegativeLean", Person(kMonoXD, 0, 12, 150, 40.0f), -30.0f,
                    KVNormals{18, 25, -7, -10, 75, 82, -29, -31, -37, -40, 0, 57, 62, 23, 25, 20, 30, -3, -4, -13, -14,
                              0.0f, 0.0f, 0.0f, 20, 25, 0.80f, 0.80f, 0.89f}},
        // An equine model is not rejected and gets the fields of every family. Male 30 -> 12-18 %:
        // W_hi = 60 / 0.82 = 73.17 > B22 = 71.28, so round(60 / 0.88 = 68.18) = 68 to 73. M = 141 / 2 = 70:
        // fat 8.4 -> 8, 12.6 -> 13; lean 57.4 -> 57, 61.6 -> 62. Water 55-65 % of 80 = 44, 52.
        ExampleCase{"EquineModelGetsCommonFields", Person(12, 1, 30, 180, 80.0f), 60.0f,
                    KVNormals{12, 18, 8, 13, 82, 88, 57, 62, 68, 73, 0, 55, 65, 44, 52, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 1.00f, 0.0f, 0.0f}},
        ExampleCase{"UnknownModelGetsCommonFields", Person(99, 1, 30, 180, 80.0f), 60.0f,
                    KVNormals{12, 18, 8, 13, 82, 88, 57, 62, 68, 73, 0, 55, 65, 44, 52, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 1.00f, 0.0f, 0.0f}},
        // Lean mass 0 (a zeroed result record): an adult gets the BMI target, as in FemaleQuattron.
        ExampleCase{"AdultZeroLeanTakesBmiTarget", Person(kQuattron, 0, 35, 165, 60.0f), 0.0f,
                    KVNormals{21, 27, 12, 15, 73, 79, 42, 45, 54, 60, 1, 50, 60, 30, 36, 20, 30, 4, 6, 15, 17, 0.40f,
                              0.70f, 0.82f, 20, 25, 0.80f, 0.0f, 0.0f}},
        // A child gets 0 to 0 and every mass range 0.
        ExampleCase{"ChildZeroLeanGetsZeroTarget", Person(kMonoXD, 0, 12, 150, 40.0f), 0.0f,
                    KVNormals{18, 25, 0, 0, 75, 82, 0, 0, 0, 0, 0, 57, 62, 23, 25, 20, 30, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 0.80f, 0.80f, 0.89f}},
        // A negative lean mass puts an adult's W_hi below B22: the BMI target, all positive.
        ExampleCase{"AdultNegativeLeanTakesBmiTarget", Person(kQuattron, 0, 35, 165, 60.0f), -42.0f,
                    KVNormals{21, 27, 12, 15, 73, 79, 42, 45, 54, 60, 1, 50, 60, 30, 36, 20, 30, 4, 6, 15, 17, 0.40f,
                              0.70f, 0.82f, 20, 25, 0.80f, 0.0f, 0.0f}},
        // Lean mass NaN (a zero impedance upstream): W_hi NaN is "not greater" than B22, so an adult keeps
        // the BMI target; a child's NaN targets round to 0.
        ExampleCase{"AdultNaNLeanTakesBmiTarget", Person(kQuattron, 0, 35, 165, 60.0f), kNaN,
                    KVNormals{21, 27, 12, 15, 73, 79, 42, 45, 54, 60, 1, 50, 60, 30, 36, 20, 30, 4, 6, 15, 17, 0.40f,
                              0.70f, 0.82f, 20, 25, 0.80f, 0.0f, 0.0f}},
        ExampleCase{"ChildNaNLeanGetsZeroTarget", Person(kMonoXD, 0, 12, 150, 40.0f), kNaN,
                    KVNormals{18, 25, 0, 0, 75, 82, 0, 0, 0, 0, 0, 57, 62, 23, 25, 20, 30, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 0.80f, 0.80f, 0.89f}},
        // Weight at both accepted ends: 50-60 % of 300 = 150, 180; of 0.001 rounds to 0. Male 25, Mono,
        // height 180: W_hi = 50 / 0.82 <= 71.28, BMI target 65-71 as in MaleMonoHalfwayWater.
        ExampleCase{"HeaviestWeightAccepted", Person(kMono, 0, 25, 180, 300.0f), 50.0f,
                    KVNormals{20, 26, 14, 18, 74, 80, 50, 54, 65, 71, 1, 50, 60, 150, 180, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 0.80f, 0.0f, 0.0f}},
        ExampleCase{"LightestWeightAccepted", Person(kMono, 0, 25, 180, 0.001f), 50.0f,
                    KVNormals{20, 26, 14, 18, 74, 80, 50, 54, 65, 71, 1, 50, 60, 0, 0, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f,
                              0.0f, 20, 25, 0.80f, 0.0f, 0.0f}}),
    [](const auto& p) { return std::string(p.param.name); });
// HeaviestWeightAccepted: female 25 -> 20-26 %; W_hi = 50 / 0.74 = 67.57 <= 71.28, M = 68: fat 13.6 -> 14,
// 17.68 -> 18; lean 74 % = 50.32 -> 50, 80 % = 54.4 -> 54.

// ---- After the results calculation, as a host calls it -------------------------------------------

TEST(NormalsAfterResults, LeanMassComesFromTheResultsCalculation) {
  // Model 1, male 35, 180 cm, 80 kg, impedance 500: leanKg 65.4946. Fat 13-19 % (31-40). W_hi =
  // 65.4946 / 0.81 = 80.86 > B22 = 71.28: round(65.4946 / 0.87 = 75.28) = 75 to round(80.86) = 81.
  // M = 156 / 2 = 78: fat 10.14 -> 10, 14.82 -> 15; lean 63.18 -> 63, 67.86 -> 68. Water 55-65 % of 80.
  KVTestRecord test = Person(kMono, 1, 35, 180, 80.0f);
  test.activityLevel = 3;
  test.waist = 84;
  test.hip = 100;
  test.impedanceF2 = 500;
  KVResults results{};
  ASSERT_EQ(KV_OK, KVCalculateResults(&test, &results, 0));
  ASSERT_NEAR(65.4946, results.leanKg, 0.0001);
  KVNormals normals{};
  ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &results, &normals));
  ExpectSameNormals(KVNormals{13, 19, 10, 15, 81, 87, 63, 68, 75, 81, 0, 55, 65, 44, 52, 0, 0, 0, 0, 0, 0, 0.0f,
                              0.0f, 0.0f, 20, 25, 1.00f, 0.0f, 0.0f},
                    normals);
}

TEST(NormalsAfterResults, RejectedResultsStillGiveAnAdultTheBmiTarget) {
  // activityLevel 0 makes the results calculation answer -8 and leave leanKg 0; the normals do not check
  // it and give the BMI band: female 35, 165 cm, as in FemaleQuattron.
  const KVTestRecord test = Person(kQuattron, 0, 35, 165, 60.0f);
  KVResults results{};
  ASSERT_EQ(KV_ERR_ACTIVITY, KVCalculateResults(&test, &results, 0));
  KVNormals normals{};
  ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &results, &normals));
  EXPECT_EQ(1, normals.targetWeightFromBmi);
  EXPECT_EQ(54, normals.targetWeightLow);
  EXPECT_EQ(60, normals.targetWeightHigh);
}

// ---- Both tables at every band edge ----------------------------------------------------------------

struct BandCase {
  int32_t sex;
  int32_t age;
  int32_t fatLow;  // table 1
  int32_t fatHigh;
  int32_t tbwLow;  // table 2, the age band
  int32_t tbwHigh;
};

class NormalsAgeBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(NormalsAgeBands, FatBandByAgeAndWaterBandOnlyForCompartmentFamilies) {
  const BandCase& c = GetParam();
  const KVResults results = WithLean(40.0f);
  const int32_t adultTbwLow = c.sex == 0 ? 50 : 55;
  const int32_t adultTbwHigh = c.sex == 0 ? 60 : 65;
  for (const int32_t model : {kMono, kMonoXD, kDuotrace, kQuattron, kPolytrace, 14, 15, 12, 0}) {
    SCOPED_TRACE("model " + std::to_string(model));
    const KVTestRecord test = Person(model, c.sex, c.age, 160, 50.0f);
    KVNormals normals{};
    ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &results, &normals));
    EXPECT_EQ(c.fatLow, normals.fatPercentLow);
    EXPECT_EQ(c.fatHigh, normals.fatPercentHigh);
    EXPECT_EQ(100 - c.fatHigh, normals.leanPercentLow);
    EXPECT_EQ(100 - c.fatLow, normals.leanPercentHigh);
    const bool byAge = model == kMonoXD || model == kQuattron || model == kPolytrace || model == 14 || model == 15;
    EXPECT_EQ(byAge ? c.tbwLow : adultTbwLow, normals.tbwPercentLow);
    EXPECT_EQ(byAge ? c.tbwHigh : adultTbwHigh, normals.tbwPercentHigh);
  }
}

INSTANTIATE_TEST_SUITE_P(
    BandEdges, NormalsAgeBands,
    ::testing::Values(BandCase{0, 1, 15, 19, 64, 67}, BandCase{0, 4, 15, 19, 64, 67}, BandCase{0, 5, 15, 19, 63, 66},
                      BandCase{0, 9, 15, 19, 63, 66}, BandCase{0, 10, 18, 25, 57, 62}, BandCase{0, 17, 18, 25, 57, 62},
                      BandCase{0, 18, 20, 26, 50, 60}, BandCase{0, 30, 20, 26, 50, 60}, BandCase{0, 31, 21, 27, 50, 60},
                      BandCase{0, 40, 21, 27, 50, 60}, BandCase{0, 41, 22, 28, 50, 60}, BandCase{0, 50, 22, 28, 50, 60},
                      BandCase{0, 51, 22, 30, 50, 60}, BandCase{0, 60, 22, 30, 50, 60}, BandCase{0, 61, 22, 31, 50, 60},
                      BandCase{0, 99, 22, 31, 50, 60}, BandCase{1, 1, 16, 20, 63, 66}, BandCase{1, 4, 16, 20, 63, 66},
                      BandCase{1, 5, 12, 15, 65, 68}, BandCase{1, 9, 12, 15, 65, 68}, BandCase{1, 10, 12, 18, 61, 66},
                      BandCase{1, 17, 12, 18, 61, 66}, BandCase{1, 18, 12, 18, 55, 65}, BandCase{1, 30, 12, 18, 55, 65},
                      BandCase{1, 31, 13, 19, 55, 65}, BandCase{1, 40, 13, 19, 55, 65}, BandCase{1, 41, 14, 20, 55, 65},
                      BandCase{1, 50, 14, 20, 55, 65}, BandCase{1, 51, 16, 20, 55, 65}, BandCase{1, 60, 16, 20, 55, 65},
                      BandCase{1, 61, 17, 21, 55, 65}, BandCase{1, 99, 17, 21, 55, 65}),
    [](const auto& p) {
      return std::string(p.param.sex == 0 ? "Female" : "Male") + "Age" + std::to_string(p.param.age);
    });

// ---- Optional fields by family ---------------------------------------------------------------------

struct FamilyCase {
  const char* name;
  int32_t model;
  bool compartments;   // ECW/ICW normals and mass indices
  bool highFrequency;  // ECW/TBW ratio and F4/F1
  bool ratioF2F1;
};

class NormalsFamilies : public ::testing::TestWithParam<FamilyCase> {};

TEST_P(NormalsFamilies, OptionalFieldsFollowTheFamily) {
  const FamilyCase& c = GetParam();
  // Male Quattron example: FMI 3-5, LMI 19-21 (see MaleQuattron above).
  const KVTestRecord test = Person(c.model, 1, 45, 180, 85.0f);
  const KVResults results = WithLean(65.0f);
  KVNormals normals = Filled(0x11);
  ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &results, &normals));
  EXPECT_EQ(c.compartments ? 26 : 0, normals.ecwPercentNormal);
  EXPECT_EQ(c.compartments ? 34 : 0, normals.icwPercentNormal);
  EXPECT_EQ(c.compartments ? 3 : 0, normals.fatMassIndexLow);
  EXPECT_EQ(c.compartments ? 5 : 0, normals.fatMassIndexHigh);
  EXPECT_EQ(c.compartments ? 19 : 0, normals.leanMassIndexLow);
  EXPECT_EQ(c.compartments ? 21 : 0, normals.leanMassIndexHigh);
  EXPECT_EQ(c.highFrequency ? 0.43f : 0.0f, normals.ecwTbwRatioNormal);
  EXPECT_EQ(c.highFrequency ? 0.70f : 0.0f, normals.impedanceRatioF4F1Low);
  EXPECT_EQ(c.highFrequency ? 0.82f : 0.0f, normals.impedanceRatioF4F1High);
  EXPECT_EQ(c.ratioF2F1 ? 0.80f : 0.0f, normals.impedanceRatioF2F1Low);
  EXPECT_EQ(c.ratioF2F1 ? 0.89f : 0.0f, normals.impedanceRatioF2F1High);
  // The fields of every family do not depend on it.
  EXPECT_EQ(76, normals.targetWeightLow);
  EXPECT_EQ(47, normals.tbwLitresLow);
  EXPECT_EQ(1.00f, normals.waistHipRatioMax);
}

INSTANTIATE_TEST_SUITE_P(Models, NormalsFamilies,
                         ::testing::Values(FamilyCase{"Mono1", 1, false, false, false},
                                           FamilyCase{"Mono3", 3, false, false, false},
                                           FamilyCase{"Mono9", 9, false, false, false},
                                           FamilyCase{"MonoXD2", 2, true, false, true},
                                           FamilyCase{"MonoXD4", 4, true, false, true},
                                           FamilyCase{"MonoXD10", 10, true, false, true},
                                           FamilyCase{"Duotrace5", 5, false, false, false},
                                           FamilyCase{"Duotrace6", 6, false, false, false},
                                           FamilyCase{"Quattron7", 7, true, true, false},
                                           FamilyCase{"Quattron11", 11, true, true, false},
                                           FamilyCase{"QuattronPanel14", 14, true, true, false},
                                           FamilyCase{"Polytrace8", 8, true, true, false},
                                           FamilyCase{"PolytracePanel15", 15, true, true, false},
                                           FamilyCase{"CaballixPlus12", 12, false, false, false},
                                           FamilyCase{"CaballixBasic13", 13, false, false, false},
                                           FamilyCase{"Unknown0", 0, false, false, false},
                                           FamilyCase{"Unknown16", 16, false, false, false},
                                           FamilyCase{"UnknownMinus4", -4, false, false, false}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Check order and the record after a failure ----------------------------------------------------

struct RejectCase {
  const char* name;
  KVTestRecord test;
  int32_t code;
};

class NormalsRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(NormalsRejects, FirstFailingCheckAndAllZeroRecord) {
  const RejectCase& c = GetParam();
  const KVResults results = WithLean(42.0f);
  KVNormals normals = Filled(0xA5);
  EXPECT_EQ(c.code, KVCalculateNormals(&c.test, &results, &normals));
  EXPECT_TRUE(AllZeroBytes(normals));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, NormalsRejects,
    ::testing::Values(RejectCase{"SexBeforeEverything", Person(kMono, 2, 0, 230, kNaN), KV_ERR_SEX},
                      RejectCase{"SexNegative", Person(kMono, -1, 35, 165, 60.0f), KV_ERR_SEX},
                      RejectCase{"AgeBeforeHeightAndWeight", Person(kMono, 1, 0, 9, 301.0f), KV_ERR_AGE},
                      RejectCase{"AgeAbove99", Person(kMono, 0, 100, 165, 60.0f), KV_ERR_AGE},
                      RejectCase{"HeightBeforeWeight", Person(kMono, 0, 35, 230, 0.0f), KV_ERR_HEIGHT},
                      RejectCase{"HeightBelow10", Person(kMono, 0, 35, 9, 60.0f), KV_ERR_HEIGHT},
                      RejectCase{"WeightAbove300", Person(kMono, 0, 35, 165, 300.01f), KV_ERR_WEIGHT},
                      RejectCase{"WeightBelowLightest", Person(kMono, 0, 35, 165, 0.0009f), KV_ERR_WEIGHT},
                      RejectCase{"WeightZero", Person(kMono, 0, 35, 165, 0.0f), KV_ERR_WEIGHT},
                      RejectCase{"WeightNegative", Person(kMono, 0, 35, 165, -60.0f), KV_ERR_WEIGHT},
                      RejectCase{"WeightNaN", Person(kQuattron, 0, 35, 165, kNaN), KV_ERR_WEIGHT},
                      RejectCase{"WeightInfinite", Person(kQuattron, 0, 35, 165, kInfinity), KV_ERR_WEIGHT},
                      RejectCase{"WeightMinusInfinite", Person(kQuattron, 0, 35, 165, -kInfinity), KV_ERR_WEIGHT}),
    [](const auto& p) { return std::string(p.param.name); });

struct AcceptCase {
  const char* name;
  KVTestRecord test;
};

class NormalsAccepts : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(NormalsAccepts, BoundaryValuePasses) {
  const KVResults results = WithLean(42.0f);
  KVNormals normals{};
  EXPECT_EQ(KV_OK, KVCalculateNormals(&GetParam().test, &results, &normals));
  EXPECT_EQ(20, normals.bmiLow);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, NormalsAccepts,
                         ::testing::Values(AcceptCase{"Age1", Person(kMono, 0, 1, 100, 15.0f)},
                                           AcceptCase{"Age99", Person(kMono, 1, 99, 165, 60.0f)},
                                           AcceptCase{"Height10", Person(kMono, 0, 35, 10, 60.0f)},
                                           AcceptCase{"Height229", Person(kMono, 0, 35, 229, 60.0f)},
                                           AcceptCase{"WeightLightest", Person(kMono, 0, 35, 165, 0.001f)},
                                           AcceptCase{"WeightHeaviest", Person(kMono, 0, 35, 165, 300.0f)}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(NormalsPointers, AnyNullRecordGivesMinus18AndWritesNothing) {
  const KVTestRecord test = Person(kQuattron, 0, 35, 165, 60.0f);
  const KVResults results = WithLean(42.0f);
  KVNormals normals = Filled(0xA5);
  const KVNormals before = normals;
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateNormals(nullptr, &results, &normals));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateNormals(&test, nullptr, &normals));
  EXPECT_EQ(0, std::memcmp(&before, &normals, sizeof normals));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateNormals(&test, &results, nullptr));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateNormals(nullptr, nullptr, nullptr));
}

// ---- Target-weight rule ----------------------------------------------------------------------------

TEST(NormalsTargetWeight, HighEndExactlyAtBmi22TakesTheBmiBand) {
  // Height 100: H2 = 10000, B20 = 20, B22 = 22 exactly. Male 45: fat 14-20 %, q_hi = 0.8f, and
  // 17.6f / 0.8f rounds to exactly 22.0f; the next float above 17.6 gives 22.0000019.
  const float lean = 17.6f;
  const float q = 0.8f;
  ASSERT_EQ(22.0f, lean / q);
  const float above = std::nextafter(lean, 100.0f);
  ASSERT_GT(above / q, 22.0f);

  const KVTestRecord test = Person(kMono, 1, 45, 100, 20.0f);
  KVNormals atBmi{};
  const KVResults equal = WithLean(lean);
  ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &equal, &atBmi));
  EXPECT_EQ(1, atBmi.targetWeightFromBmi);
  EXPECT_EQ(20, atBmi.targetWeightLow);
  EXPECT_EQ(22, atBmi.targetWeightHigh);

  // One float more: from the fat range, round(17.6 / 0.86 = 20.47) = 20 and round(22.0000019) = 22.
  KVNormals fromFat{};
  const KVResults greater = WithLean(above);
  ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &greater, &fromFat));
  EXPECT_EQ(0, fromFat.targetWeightFromBmi);
  EXPECT_EQ(20, fromFat.targetWeightLow);
  EXPECT_EQ(22, fromFat.targetWeightHigh);
}

struct AdultAgeCase {
  int32_t age;
  int32_t fromBmi;
};

class NormalsAdultAge : public ::testing::TestWithParam<AdultAgeCase> {};

TEST_P(NormalsAdultAge, BmiTargetOnlyFrom18) {
  // Lean 10 kg at height 170: W_hi at most 10 / 0.69 = 14.5, far below B22 = 63.58 at every age.
  for (const int32_t sex : {0, 1}) {
    const KVTestRecord test = Person(kQuattron, sex, GetParam().age, 170, 30.0f);
    const KVResults results = WithLean(10.0f);
    KVNormals normals{};
    ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &results, &normals));
    EXPECT_EQ(GetParam().fromBmi, normals.targetWeightFromBmi) << "sex " << sex;
  }
}

INSTANTIATE_TEST_SUITE_P(Ages, NormalsAdultAge,
                         ::testing::Values(AdultAgeCase{1, 0}, AdultAgeCase{10, 0}, AdultAgeCase{17, 0},
                                           AdultAgeCase{18, 1}, AdultAgeCase{99, 1}),
                         [](const auto& p) { return "Age" + std::to_string(p.param.age); });

TEST(NormalsTargetWeight, InfiniteLeanSaturatesInsteadOfOverflowing) {
  // A zero impedance upstream makes leanKg infinite. Boy 12 (fat 12-18 %): both targets saturate at
  // 2147483647; M = 2147483647 becomes 2^31 in single precision; fat 12 % of it is 257698037.76,
  // held as 257698032 in single precision (steps of 16 there), and rounds to that.
  const KVTestRecord test = Person(kMonoXD, 1, 12, 150, 40.0f);
  const KVResults results = WithLean(kInfinity);
  KVNormals normals{};
  ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &results, &normals));
  EXPECT_EQ(kMaxWhole, normals.targetWeightLow);
  EXPECT_EQ(kMaxWhole, normals.targetWeightHigh);
  EXPECT_EQ(257698032, normals.fatKgLow);
}

// ---- Rounding ---------------------------------------------------------------------------------------

struct RoundCase {
  const char* name;
  float value;
  int32_t expected;
};

class NormalsRounding : public ::testing::TestWithParam<RoundCase> {};

TEST_P(NormalsRounding, HalfUpInDouble) { EXPECT_EQ(GetParam().expected, kv::calc::RoundToWhole(GetParam().value)); }

INSTANTIATE_TEST_SUITE_P(
    Values, NormalsRounding,
    ::testing::Values(RoundCase{"Zero", 0.0f, 0}, RoundCase{"HalfGoesUp", 0.5f, 1}, RoundCase{"TwoAndAHalf", 2.5f, 3},
                      RoundCase{"BelowHalf", 2.4999998f, 2},
                      // 0.49999997f + 0.5f rounds to 1.0f in single precision; in double it stays below 1.
                      RoundCase{"JustBelowHalfNeedsDouble", 0.49999997f, 0},
                      // 8388609.5 is not a float: single precision would give 8388610.
                      RoundCase{"OddIntegerNeedsDouble", 8388609.0f, 8388609},
                      RoundCase{"NegativeHalfAwayFromZero", -2.5f, -3}, RoundCase{"NegativeBelowHalf", -2.4f, -2},
                      RoundCase{"NegativeSmall", -0.4f, 0}, RoundCase{"NaNGivesZero", kNaN, 0},
                      RoundCase{"LargestWhole", 2147483520.0f, 2147483520},
                      RoundCase{"BeyondRangeSaturates", 3.0e9f, kMaxWhole},
                      RoundCase{"InfinitySaturates", kInfinity, kMaxWhole},
                      RoundCase{"MinusInfinitySaturates", -kInfinity, -kMaxWhole}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(NormalsRounding, NegatedLeanNegatesEveryMassField) {
  // Children take the fat-range target, so a negative lean mass reaches every rounding; the mirrored rule
  // must give exactly the negated fields, ages and heights across the bands.
  for (const int32_t age : {1, 5, 9, 10, 17}) {
    for (const float lean : {3.3f, 12.5f, 27.75f, 41.0f}) {
      SCOPED_TRACE("age " + std::to_string(age) + " lean " + std::to_string(lean));
      const KVTestRecord test = Person(kQuattron, 1, age, 90 + 4 * age, 30.0f);
      const KVResults positive = WithLean(lean);
      const KVResults negative = WithLean(-lean);
      KVNormals up{};
      KVNormals down{};
      ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &positive, &up));
      ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &negative, &down));
      EXPECT_GT(up.targetWeightHigh, 0);
      EXPECT_EQ(-up.targetWeightLow, down.targetWeightLow);
      EXPECT_EQ(-up.targetWeightHigh, down.targetWeightHigh);
      EXPECT_EQ(-up.fatKgLow, down.fatKgLow);
      EXPECT_EQ(-up.fatKgHigh, down.fatKgHigh);
      EXPECT_EQ(-up.leanKgLow, down.leanKgLow);
      EXPECT_EQ(-up.leanKgHigh, down.leanKgHigh);
      EXPECT_EQ(-up.fatMassIndexLow, down.fatMassIndexLow);
      EXPECT_EQ(-up.leanMassIndexHigh, down.leanMassIndexHigh);
      EXPECT_EQ(up.tbwLitresHigh, down.tbwLitresHigh);
    }
  }
}

}  // namespace

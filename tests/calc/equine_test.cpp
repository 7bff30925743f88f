// equine_test.cpp: CXCalculateResults and CXCalculateNormals through the exports, and the log-log fit.
// Expected values: the worked example's published figures, hand arithmetic in comments, and an
// independent double-precision least-squares solution for the fit.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "KorvantaSDK.h"
#include "calc/equine.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr int32_t kMaxWhole = std::numeric_limits<int32_t>::max();

constexpr std::array<int32_t, 7> kExampleReadings = {112, 106, 103, 97, 88, 85, 82};

CXTestRecord Horse(int32_t model, int32_t height, int32_t conditionScore,
                   const std::array<int32_t, 7>& z = kExampleReadings) {
  CXTestRecord test{};
  test.modelCode = model;
  test.serialNumber = 4711;
  test.height = height;
  test.conditionScore = conditionScore;
  test.impedance5 = z[0];
  test.impedance16 = z[1];
  test.impedance24 = z[2];
  test.impedance50 = z[3];
  test.impedance140 = z[4];
  test.impedance200 = z[5];
  test.impedance280 = z[6];
  test.decimalReading = 12.3f;
  return test;
}

template <typename Record>
Record Filled(unsigned char byte) {
  Record record;
  std::memset(&record, byte, sizeof record);
  return record;
}

template <typename Record>
bool SameBytes(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<std::pair<std::string, float>> Fields(const CXResults& r) {
  return {{"fatKg", r.fatKg},
          {"bodyMassKg", r.bodyMassKg},
          {"estimatedWeightKg", r.estimatedWeightKg},
          {"fatPercent", r.fatPercent},
          {"tbwLitres", r.tbwLitres},
          {"tbwPercent", r.tbwPercent},
          {"ecwLitres", r.ecwLitres},
          {"ecwPerKg", r.ecwPerKg},
          {"ecwPercentTbw", r.ecwPercentTbw},
          {"icwLitres", r.icwLitres},
          {"icwPerKg", r.icwPerKg},
          {"icwPercentTbw", r.icwPercentTbw},
          {"ecwFractionLitres", r.ecwFractionLitres},
          {"ecwFractionPercent", r.ecwFractionPercent},
          {"impedanceRatio280To5", r.impedanceRatio280To5}};
}

void ExpectAllFinite(const CXResults& results) {
  for (const auto& [name, value] : Fields(results)) EXPECT_TRUE(std::isfinite(value)) << name;
}

void ExpectSameNormals(const CXNormals& expected, const CXNormals& actual) {
  const int32_t* want = &expected.fatKgLow;
  const int32_t* got = &actual.fatKgLow;
  for (std::size_t i = 0; i < sizeof(CXNormals) / sizeof(int32_t); ++i) EXPECT_EQ(want[i], got[i]) << "field " << i + 1;
}

// ---- The log-log fit --------------------------------------------------------------------------------

// Least squares in double by the normal equations and Gaussian elimination: independent of the closed form.
std::array<double, 3> FitInDouble(const std::array<double, 7>& readings) {
  const double frequencies[7] = {5, 16, 24, 50, 140, 200, 280};
  double m[3][4] = {};
  for (int i = 0; i < 7; ++i) {
    const double x = std::log10(frequencies[i]);
    const double y = std::log10(readings[static_cast<std::size_t>(i)]);
    const double powers[3] = {1.0, x, x * x};
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) m[r][c] += powers[r] * powers[c];
      m[r][3] += powers[r] * y;
    }
  }
  for (int p = 0; p < 3; ++p) {
    for (int r = p + 1; r < 3; ++r) {
      const double f = m[r][p] / m[p][p];
      for (int c = p; c < 4; ++c) m[r][c] -= f * m[p][c];
    }
  }
  std::array<double, 3> coefficients{};
  for (int r = 2; r >= 0; --r) {
    double sum = m[r][3];
    for (int c = r + 1; c < 3; ++c) sum -= m[r][c] * coefficients[static_cast<std::size_t>(c)];
    coefficients[static_cast<std::size_t>(r)] = sum / m[r][r];
  }
  return coefficients;
}

TEST(EquineFit, ExampleReadingsGiveThePublishedCoefficients) {
  const kv::calc::LogLogFit fit = kv::calc::FitLogLog({112, 106, 103, 97, 88, 85, 82});
  EXPECT_NEAR(2.0677, fit.c0, 0.00005);
  EXPECT_NEAR(-0.010242, fit.c1, 0.0000005);
  EXPECT_NEAR(-0.021695, fit.c2, 0.0000005);
  const auto exact = FitInDouble({112, 106, 103, 97, 88, 85, 82});
  // Single precision stays within a few units of its last place of the exact solution.
  EXPECT_NEAR(exact[0], fit.c0, 2e-5);
  EXPECT_NEAR(exact[1], fit.c1, 5e-5);
  EXPECT_NEAR(exact[2], fit.c2, 2e-5);
}

struct CurveCase {
  const char* name;
  double c0;
  double c1;
  double c2;
};

class EquineFitCurves : public ::testing::TestWithParam<CurveCase> {};

TEST_P(EquineFitCurves, RecoversAnExactQuadratic) {
  const CurveCase& c = GetParam();
  kv::calc::EquineReadings readings{};
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const double x = std::log10(static_cast<double>(kv::calc::kEquineFrequencies[i]));
    readings[i] = static_cast<float>(std::pow(10.0, c.c0 + c.c1 * x + c.c2 * x * x));
  }
  const kv::calc::LogLogFit fit = kv::calc::FitLogLog(readings);
  EXPECT_NEAR(c.c0, fit.c0, 2e-4);
  EXPECT_NEAR(c.c1, fit.c1, 4e-4);
  EXPECT_NEAR(c.c2, fit.c2, 2e-4);
}

INSTANTIATE_TEST_SUITE_P(Curves, EquineFitCurves,
                         ::testing::Values(CurveCase{"Flat", 2.0, 0.0, 0.0}, CurveCase{"Line", 2.5, -0.1, 0.0},
                                           CurveCase{"Bowl", 1.8, -0.3, 0.08}, CurveCase{"Cap", 2.2, 0.05, -0.04}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- CXCalculateResults -----------------------------------------------------------------------------

TEST(EquineResults, WorkedExampleEveryField) {
  const CXTestRecord test = Horse(12, 160, 5);
  CXResults results = Filled<CXResults>(0x7F);
  ASSERT_EQ(KV_OK, CXCalculateResults(&test, &results));
  // Published figures, each within half a unit of its last decimal. A fit in double precision moves
  // bodyMassKg by about 0.08 kg, which these tolerances catch.
  EXPECT_NEAR(520.11, results.bodyMassKg, 0.005);
  EXPECT_NEAR(464.94, results.estimatedWeightKg, 0.005);
  EXPECT_NEAR(284.45, results.tbwLitres, 0.005);
  EXPECT_NEAR(54.69, results.tbwPercent, 0.005);
  EXPECT_NEAR(125.85, results.ecwLitres, 0.005);
  EXPECT_NEAR(44.24, results.ecwPercentTbw, 0.005);
  EXPECT_NEAR(0.2420, results.ecwPerKg, 0.00005);
  EXPECT_NEAR(158.60, results.icwLitres, 0.005);
  EXPECT_NEAR(55.76, results.icwPercentTbw, 0.005);
  EXPECT_NEAR(0.3049, results.icwPerKg, 0.00005);
  EXPECT_NEAR(20.05, results.ecwFractionLitres, 0.005);
  EXPECT_NEAR(15.93, results.ecwFractionPercent, 0.005);
  // 520.11 - 284.45 / 0.732 = 131.52, truncated to 131; 131 * 100 / 520.11 = 25.187.
  EXPECT_EQ(131.0f, results.fatKg);
  EXPECT_NEAR(25.19, results.fatPercent, 0.005);
  // 82 / 112 = 0.732142...
  EXPECT_NEAR(0.7321, results.impedanceRatio280To5, 0.00005);
}

TEST(EquineResults, ModelPlusAndBasicGiveTheSameResults) {
  const CXTestRecord plus = Horse(12, 150, 3);
  const CXTestRecord basic = Horse(13, 150, 3);
  CXResults fromPlus{};
  CXResults fromBasic = Filled<CXResults>(0x33);
  ASSERT_EQ(KV_OK, CXCalculateResults(&plus, &fromPlus));
  ASSERT_EQ(KV_OK, CXCalculateResults(&basic, &fromBasic));
  EXPECT_TRUE(SameBytes(fromPlus, fromBasic));
  EXPECT_NE(0.0f, fromPlus.bodyMassKg);
}

class EquineRejectsModel : public ::testing::TestWithParam<int32_t> {};

TEST_P(EquineRejectsModel, WrongKindLeavesResultsAsTheyWere) {
  const CXTestRecord test = Horse(GetParam(), 160, 5);
  CXResults results = Filled<CXResults>(0x5C);
  const CXResults before = results;
  EXPECT_EQ(KV_ERR_WRONG_KIND, CXCalculateResults(&test, &results));
  EXPECT_TRUE(SameBytes(before, results));
}

INSTANTIATE_TEST_SUITE_P(HumanAndUnknown, EquineRejectsModel,
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 0, 16, -1, -6, -7, 99),
                         [](const auto& p) {
                           return "Model" + std::string(p.param < 0 ? "Minus" : "") +
                                  std::to_string(std::abs(p.param));
                         });

TEST(EquineResults, NullPointersGiveMinus18AndWriteNothing) {
  const CXTestRecord test = Horse(12, 160, 5);
  CXResults results = Filled<CXResults>(0x5C);
  const CXResults before = results;
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateResults(nullptr, &results));
  EXPECT_TRUE(SameBytes(before, results));
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateResults(&test, nullptr));
  // The null check comes before the model check.
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateResults(nullptr, nullptr));
}

struct WeightCase {
  int32_t height;
  int32_t conditionScore;
  double expected;
};

class EquineEstimatedWeight : public ::testing::TestWithParam<WeightCase> {};

TEST_P(EquineEstimatedWeight, FromHeightAndConditionScore) {
  const CXTestRecord test = Horse(13, GetParam().height, GetParam().conditionScore);
  CXResults results{};
  ASSERT_EQ(KV_OK, CXCalculateResults(&test, &results));
  EXPECT_NEAR(GetParam().expected, results.estimatedWeightKg, 0.0005);
}

// height * 6.552 - 777.429 + score * 38.81: 160 gives 1048.32 - 777.429 = 270.891, 150 gives 205.371.
INSTANTIATE_TEST_SUITE_P(Scores, EquineEstimatedWeight,
                         ::testing::Values(WeightCase{160, 5, 464.941},  // 270.891 + 194.05
                                           WeightCase{160, 0, 464.941},  // 0 stands for 5
                                           WeightCase{160, 4, 426.131},  // 270.891 + 155.24
                                           WeightCase{160, 6, 503.751},  // 270.891 + 232.86
                                           WeightCase{160, 1, 309.701},  // 270.891 + 38.81
                                           WeightCase{150, 5, 399.421},  // 205.371 + 194.05
                                           WeightCase{150, 9, 554.661}   // 205.371 + 349.29
                                           ));

struct ReadingCase {
  const char* name;
  std::size_t index;  // which of the seven readings is replaced
  int32_t value;
  float ratio;  // impedanceRatio280To5
};

class EquineBadReading : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(EquineBadReading, FittedVolumesStayZeroAndNothingIsNotFinite) {
  const ReadingCase& c = GetParam();
  std::array<int32_t, 7> readings = kExampleReadings;
  readings[c.index] = c.value;
  const CXTestRecord test = Horse(12, 160, 5, readings);
  CXResults results = Filled<CXResults>(0x7F);
  ASSERT_EQ(KV_OK, CXCalculateResults(&test, &results));
  ExpectAllFinite(results);
  for (const auto& [name, value] : Fields(results)) {
    if (name == "estimatedWeightKg" || name == "impedanceRatio280To5") continue;
    EXPECT_EQ(0.0f, value) << name;
  }
  // The estimated weight does not depend on the readings: 464.941 as in the worked example.
  EXPECT_NEAR(464.941, results.estimatedWeightKg, 0.0005);
  EXPECT_FLOAT_EQ(c.ratio, results.impedanceRatio280To5);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, EquineBadReading,
    ::testing::Values(ReadingCase{"Z5Zero", 0, 0, 0.0f},                  // impedance5 0 gives ratio 0
                      ReadingCase{"Z5Negative", 0, -5, 82.0f / -5.0f},    // a plain quotient: -16.4
                      ReadingCase{"Z16Zero", 1, 0, 82.0f / 112.0f},       // 0.7321
                      ReadingCase{"Z24Negative", 2, -103, 82.0f / 112.0f},
                      ReadingCase{"Z50Zero", 3, 0, 82.0f / 112.0f},
                      ReadingCase{"Z140Negative", 4, -1, 82.0f / 112.0f},
                      ReadingCase{"Z200Zero", 5, 0, 82.0f / 112.0f},
                      ReadingCase{"Z280Zero", 6, 0, 0.0f},                 // 0 / 112
                      ReadingCase{"Z280MostNegative", 6, std::numeric_limits<int32_t>::min(),
                                  -2147483648.0f / 112.0f}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(EquineResults, AllReadingsZeroGivesOnlyTheEstimatedWeight) {
  const CXTestRecord test = Horse(12, 160, 0, {0, 0, 0, 0, 0, 0, 0});
  CXResults results = Filled<CXResults>(0x7F);
  ASSERT_EQ(KV_OK, CXCalculateResults(&test, &results));
  CXResults expected{};
  expected.estimatedWeightKg = results.estimatedWeightKg;
  EXPECT_TRUE(SameBytes(expected, results));
  EXPECT_NEAR(464.941, results.estimatedWeightKg, 0.0005);
}

TEST(EquineResults, ExtremeHeightsStayFinite) {
  // height is not checked; the squares and the equations must stay finite numbers.
  for (const int32_t height : {0, 1, 255, 100000, std::numeric_limits<int32_t>::max(), -160}) {
    const CXTestRecord test = Horse(12, height, 5);
    CXResults results{};
    ASSERT_EQ(KV_OK, CXCalculateResults(&test, &results));
    SCOPED_TRACE("height " + std::to_string(height));
    ExpectAllFinite(results);
    EXPECT_EQ(results.fatKg, std::trunc(results.fatKg));
  }
}

// ---- The derived fields ------------------------------------------------------------------------------

struct DerivedCase {
  const char* name;
  float bodyMass, tbw, ecw, ecwFraction;
  // Expected: fatKg, fatPercent, tbwPercent, ecwPercentTbw, icwLitres, icwPercentTbw, icwPerKg, ecwPerKg,
  // ecwFractionPercent.
  std::array<float, 9> expected;
};

class EquineDerived : public ::testing::TestWithParam<DerivedCase> {};

TEST_P(EquineDerived, QuotientsAndTruncatedFat) {
  const DerivedCase& c = GetParam();
  CXResults results{};
  results.bodyMassKg = c.bodyMass;
  results.tbwLitres = c.tbw;
  results.ecwLitres = c.ecw;
  results.ecwFractionLitres = c.ecwFraction;
  kv::calc::DeriveEquineFields(results);
  ExpectAllFinite(results);
  const std::array<std::pair<const char*, float>, 9> got = {{{"fatKg", results.fatKg},
                                                             {"fatPercent", results.fatPercent},
                                                             {"tbwPercent", results.tbwPercent},
                                                             {"ecwPercentTbw", results.ecwPercentTbw},
                                                             {"icwLitres", results.icwLitres},
                                                             {"icwPercentTbw", results.icwPercentTbw},
                                                             {"icwPerKg", results.icwPerKg},
                                                             {"ecwPerKg", results.ecwPerKg},
                                                             {"ecwFractionPercent", results.ecwFractionPercent}}};
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(c.expected[i], got[i].second, 0.0005 + 1e-6 * std::fabs(c.expected[i])) << got[i].first;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EquineDerived,
    ::testing::Values(
        // 300 - 289.5 / 0.732 = 300 - 395.4918 = -95.49, truncated toward zero to -95 (not -96);
        // -95 * 100 / 300 = -31.6667; 289.5 * 100 / 300 = 96.5; 120 * 100 / 289.5 = 41.4508; icw 169.5,
        // 58.5492 % of tbw, 0.565 per kg; ecw 0.4 per kg; 20 * 100 / 120 = 16.6667.
        DerivedCase{"NegativeFatTruncatesTowardZero", 300.0f, 289.5f, 120.0f, 20.0f,
                    {-95.0f, -31.6667f, 96.5f, 41.4508f, 169.5f, 58.5492f, 0.565f, 0.4f, 16.6667f}},
        // 500 - 300 / 0.732 = 500 - 409.8361 = 90.16 -> 90; 18 %; 60 %; 40 %; icw 180, 60 %, 0.36; 0.24; 25 %.
        DerivedCase{"PositiveFatTruncates", 500.0f, 300.0f, 120.0f, 30.0f,
                    {90.0f, 18.0f, 60.0f, 40.0f, 180.0f, 60.0f, 0.36f, 0.24f, 25.0f}},
        // Zero body mass: every quotient by it is 0; fat = trunc(0 - 300 / 0.732 = -409.84) = -409.
        DerivedCase{"ZeroBodyMass", 0.0f, 300.0f, 120.0f, 30.0f,
                    {-409.0f, 0.0f, 0.0f, 40.0f, 180.0f, 60.0f, 0.0f, 0.0f, 25.0f}},
        // Zero water: quotients by tbw are 0; icw = 0 - 120 = -120, -0.24 per kg; fat = 500.
        DerivedCase{"ZeroTotalWater", 500.0f, 0.0f, 120.0f, 30.0f,
                    {500.0f, 100.0f, 0.0f, 0.0f, -120.0f, 0.0f, -0.24f, 0.24f, 25.0f}},
        // Zero extracellular water: its fraction's percentage is 0; icw = tbw.
        DerivedCase{"ZeroExtracellularWater", 500.0f, 300.0f, 0.0f, 30.0f,
                    {90.0f, 18.0f, 60.0f, 0.0f, 300.0f, 100.0f, 0.6f, 0.0f, 0.0f}},
        // A divisor so small that the quotient overflows: 0 rather than infinity (300 * 100 / 1e-38).
        DerivedCase{"OverflowingQuotientIsZero", 1e-38f, 300.0f, 120.0f, 30.0f,
                    {-409.0f, 0.0f, 0.0f, 40.0f, 180.0f, 60.0f, 0.0f, 0.0f, 25.0f}}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- CXCalculateNormals -----------------------------------------------------------------------------

CXNormals NormalsOf(float bodyMass) {
  CXResults results{};
  results.bodyMassKg = bodyMass;
  CXNormals normals = Filled<CXNormals>(0xA5);
  EXPECT_EQ(KV_OK, CXCalculateNormals(nullptr, &results, &normals));
  return normals;
}

struct NormalsCase {
  const char* name;
  float bodyMass;
  CXNormals expected;
};

class EquineNormals : public ::testing::TestWithParam<NormalsCase> {};

TEST_P(EquineNormals, NestedTruncatedRanges) { ExpectSameNormals(GetParam().expected, NormalsOf(GetParam().bodyMass)); }

INSTANTIATE_TEST_SUITE_P(
    BodyMasses, EquineNormals,
    ::testing::Values(
        // 500: fat 35, 90; water 300, 340; M = 320: ecw 105.6 -> 105, 128; icw 192, 214.4 -> 214;
        // M2 = 233 / 2 = 116: 15.08 -> 15, 29. Per kg in ml: 105000 / 500 = 210, 256, 384, 428.
        NormalsCase{"FiveHundred", 500.0f,
                    CXNormals{35, 90, 7, 18, 300, 340, 60, 68, 105, 128, 210, 256, 33, 40, 192, 214, 384, 428, 60, 67,
                              15, 29, 13, 25}},
        // The worked example's 520.11: fat 36.41 -> 36, 93.62 -> 93; water 312.07 -> 312, 353.67 -> 353;
        // M = 665 / 2 = 332: ecw 109.56 -> 109, 132.8 -> 132; icw 199.2 -> 199, 222.44 -> 222; M2 = 120:
        // 15.6 -> 15, 30. Per kg in ml: 109000 / 520.11 = 209.57 -> 209, 253.79 -> 253, 382.61 -> 382,
        // 426.83 -> 426.
        NormalsCase{"WorkedExample", 520.11f,
                    CXNormals{36, 93, 7, 18, 312, 353, 60, 68, 109, 132, 209, 253, 33, 40, 199, 222, 382, 426, 60, 67,
                              15, 30, 13, 25}},
        // No body mass: every range 0 and no division by it; the percentages stay.
        NormalsCase{"ZeroBodyMass", 0.0f,
                    CXNormals{0, 0, 7, 18, 0, 0, 60, 68, 0, 0, 0, 0, 33, 40, 0, 0, 0, 0, 60, 67, 0, 0, 13, 25}},
        NormalsCase{"NaNBodyMass", kNaN,
                    CXNormals{0, 0, 7, 18, 0, 0, 60, 68, 0, 0, 0, 0, 33, 40, 0, 0, 0, 0, 60, 67, 0, 0, 13, 25}},
        NormalsCase{"InfiniteBodyMass", kInfinity,
                    CXNormals{0, 0, 7, 18, 0, 0, 60, 68, 0, 0, 0, 0, 33, 40, 0, 0, 0, 0, 60, 67, 0, 0, 13, 25}},
        // Negative mass truncates toward zero: fat -7, -18; water -60, -68; M = -64: ecw -21.12 -> -21,
        // -25.6 -> -25; icw -38.4 -> -38, -42.88 -> -42; M2 = -46 / 2 = -23: -2.99 -> -2, -5.75 -> -5.
        // Per kg: -21000 / -100 = 210, 250, 380, 420.
        NormalsCase{"NegativeBodyMass", -100.0f,
                    CXNormals{-7, -18, 7, 18, -60, -68, 60, 68, -21, -25, 210, 250, 33, 40, -38, -42, 380, 420, 60, 67,
                              -2, -5, 13, 25}}),
    [](const auto& p) { return std::string(p.param.name); });

struct TruncateCase {
  const char* name;
  float value;
  int32_t expected;
};

class EquineTruncation : public ::testing::TestWithParam<TruncateCase> {};

TEST_P(EquineTruncation, TowardZeroAndDefinedEverywhere) {
  EXPECT_EQ(GetParam().expected, kv::calc::TruncateToWhole(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Values, EquineTruncation,
    ::testing::Values(TruncateCase{"PositiveDropsFraction", 93.99f, 93}, TruncateCase{"NegativeTowardZero", -95.58f, -95},
                      TruncateCase{"SmallNegativeIsZero", -0.9f, 0}, TruncateCase{"NaNGivesZero", kNaN, 0},
                      TruncateCase{"LargestFloatBelowRange", 2147483520.0f, 2147483520},
                      TruncateCase{"BeyondRangeSaturates", 2147483648.0f, kMaxWhole},
                      TruncateCase{"MinusInfinitySaturates", -kInfinity, -kMaxWhole},
                      TruncateCase{"InfinitySaturates", kInfinity, kMaxWhole}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(EquineNormalsEdges, HugeBodyMassSaturatesInsteadOfOverflowing) {
  // 1e10 kg: 60 % and 68 % are beyond 32 bits and saturate; M = 2147483647 (the sum taken in 64 bits).
  const CXNormals normals = NormalsOf(1e10f);
  EXPECT_EQ(kMaxWhole, normals.tbwLitresLow);
  EXPECT_EQ(kMaxWhole, normals.tbwLitresHigh);
  // 7 % is 7e8 within single precision's 64-unit steps there.
  EXPECT_NEAR(7e8, normals.fatKgLow, 64);
  // M is 2^31 in single precision: 33 % = 708669603.84 -> 708669632 in steps of 64.
  EXPECT_EQ(708669632, normals.ecwLitresLow);
}

TEST(EquineNormalsEdges, PerKilogramBoundsMatchTheResultsInMillilitres) {
  // The worked example: results ecwPerKg 0.2420 and icwPerKg 0.3049 litres per kg are 242 and 305 ml per kg,
  // inside the bounds 209-253 and 382-426 of its normals.
  const CXTestRecord test = Horse(12, 160, 5);
  CXResults results{};
  ASSERT_EQ(KV_OK, CXCalculateResults(&test, &results));
  CXNormals normals{};
  ASSERT_EQ(KV_OK, CXCalculateNormals(&test, &results, &normals));
  EXPECT_EQ(209, normals.ecwPerKgLow);
  EXPECT_EQ(253, normals.ecwPerKgHigh);
  EXPECT_GE(results.ecwPerKg * 1000.0f, static_cast<float>(normals.ecwPerKgLow));
  EXPECT_LE(results.ecwPerKg * 1000.0f, static_cast<float>(normals.ecwPerKgHigh));
  // The intracellular water of this horse is below its normal range: 305 ml per kg against 382-426.
  EXPECT_EQ(382, normals.icwPerKgLow);
  EXPECT_EQ(426, normals.icwPerKgHigh);
  EXPECT_LT(results.icwPerKg * 1000.0f, static_cast<float>(normals.icwPerKgLow));
}

TEST(EquineNormalsEdges, TestRecordIsNeverRead) {
  CXResults results{};
  results.bodyMassKg = 500.0f;
  const CXTestRecord human = Horse(1, 0, 0, {0, 0, 0, 0, 0, 0, 0});
  const CXTestRecord horse = Horse(12, 160, 5);
  CXNormals withHuman = Filled<CXNormals>(0x01);
  CXNormals withHorse = Filled<CXNormals>(0x02);
  CXNormals withNull = Filled<CXNormals>(0x03);
  EXPECT_EQ(KV_OK, CXCalculateNormals(&human, &results, &withHuman));
  EXPECT_EQ(KV_OK, CXCalculateNormals(&horse, &results, &withHorse));
  EXPECT_EQ(KV_OK, CXCalculateNormals(nullptr, &results, &withNull));
  EXPECT_TRUE(SameBytes(withHuman, withHorse));
  EXPECT_TRUE(SameBytes(withHuman, withNull));
  EXPECT_EQ(35, withHuman.fatKgLow);
}

TEST(EquineNormalsEdges, NullResultsOrNormalsGiveMinus18AndWriteNothing) {
  const CXTestRecord test = Horse(12, 160, 5);
  CXResults results{};
  results.bodyMassKg = 500.0f;
  CXNormals normals = Filled<CXNormals>(0xA5);
  const CXNormals before = normals;
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateNormals(&test, nullptr, &normals));
  EXPECT_TRUE(SameBytes(before, normals));
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateNormals(&test, &results, nullptr));
}

}  // namespace

// spectrum_fit_test.cpp: the circle fit, the choice of the points beside the top of the arc, and the
// spectrum analysis of family -5 through KVCalculateResults: worked examples, bits, degenerate spectra.
#include "calc/spectrum_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "KorvantaSDK.h"
#include "spectrum_samples.h"

namespace {

using kv::calc::FindPointsNearestCentre;
using kv::calc::FitCircle;
using kv::calc::PlanePoint;
using kv::calc::testing::kColeSpectrum;
using kv::calc::testing::kDepressedSpectrum;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct NameOf {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& test) const {
    return test.param.name;
  }
};

// Resistance and reactance of each point, by the conversion the analysis states (double, then single).
std::vector<PlanePoint> InPlane(const KVSpectrumPoint* spectrum, int count) {
  std::vector<PlanePoint> points;
  for (int i = 0; i < count; ++i) {
    const double theta = spectrum[i].phase * 3.141592653589793 / 180.0;
    points.push_back({static_cast<float>(spectrum[i].magnitude * std::cos(theta)),
                      static_cast<float>(spectrum[i].magnitude * std::sin(theta))});
  }
  return points;
}

// ---- Circle fit ---------------------------------------------------------------------------------------

TEST(FitCircle, SymmetricPointsConvergeInTheFirstPass) {
  // Mean (0, 0); every unit vector cancels, so the first pass keeps the centre: 0 iterations, radius 1.
  const std::vector<PlanePoint> square{{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  const kv::calc::CircleFit fit = FitCircle(square);
  EXPECT_EQ(0, fit.iterations);
  EXPECT_EQ(0.0, fit.centreX);
  EXPECT_EQ(0.0, fit.centreY);
  EXPECT_EQ(1.0, fit.radius);
}

TEST(FitCircle, PointOnTheCentreIsSkippedButCounted) {
  // The fifth point lies on the centre: its distance 0 is not summed, yet n is 5, so radius 4 / 5.
  const std::vector<PlanePoint> points{{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {0, 0}};
  const kv::calc::CircleFit fit = FitCircle(points);
  EXPECT_EQ(0, fit.iterations);
  EXPECT_DOUBLE_EQ(0.8, fit.radius);
}

TEST(FitCircle, ArcOfAKnownCircleConvergesOnIt) {
  // Two thirds of the circle about (3, -4) with radius 5: the mean starts off the centre.
  std::vector<PlanePoint> arc;
  for (int degrees = 0; degrees <= 240; degrees += 30) {
    const double t = degrees * 3.141592653589793 / 180.0;
    arc.push_back({3.0 + 5.0 * std::cos(t), -4.0 + 5.0 * std::sin(t)});
  }
  const kv::calc::CircleFit fit = FitCircle(arc);
  EXPECT_GT(fit.iterations, 0);
  EXPECT_NEAR(3.0, fit.centreX, 1e-3);
  EXPECT_NEAR(-4.0, fit.centreY, 1e-3);
  EXPECT_NEAR(5.0, fit.radius, 1e-3);
}

TEST(FitCircle, ColeSpectrumConvergesAndDepressedOneRunsAllPasses) {
  const auto cole = InPlane(kColeSpectrum, 7);
  EXPECT_GT(FitCircle(cole).iterations, 0);
  const auto depressed = InPlane(kDepressedSpectrum, 8);
  const kv::calc::CircleFit fit = FitCircle(depressed);
  EXPECT_EQ(-1, fit.iterations);
  // The last centre is still given: near (500, 32) for this arc.
  EXPECT_NEAR(500.0, fit.centreX, 0.01);
  EXPECT_NEAR(32.48, fit.centreY, 0.01);
}

TEST(FitCircle, NoPointsGivesNoCentreAndNoConvergence) {
  const kv::calc::CircleFit fit = FitCircle({});
  EXPECT_EQ(-1, fit.iterations);
  EXPECT_TRUE(std::isnan(fit.centreX));
}

// ---- Points beside the top of the arc -------------------------------------------------------------

struct Nearest {
  const char* name;
  std::vector<double> resistances;
  double centreX;
  int32_t first;
  int32_t second;
};
void PrintTo(const Nearest& c, std::ostream* os) { *os << c.name; }

class NearestPoints : public ::testing::TestWithParam<Nearest> {};

TEST_P(NearestPoints, PicksByRoundedDistanceEarliestOnTies) {
  std::vector<PlanePoint> points;
  for (double x : GetParam().resistances) points.push_back({x, -1.0});
  const kv::calc::ArcTopPoints top = FindPointsNearestCentre(points, GetParam().centreX);
  EXPECT_EQ(GetParam().first, top.first);
  EXPECT_EQ(GetParam().second, top.second);
}

INSTANTIATE_TEST_SUITE_P(Cases, NearestPoints,
                         ::testing::Values(Nearest{"TieGoesToTheEarlier", {10, 4, 6, 20}, 5, 1, 2},
                                           Nearest{"SecondAmongTheOthers", {7, 5.5, 3}, 5, 1, 0},
                                           Nearest{"EqualOnlyInSinglePrecision", {1.0 + 1e-12, 1.0}, 0, 0, 1},
                                           Nearest{"SinglePointIsBoth", {42}, 0, 0, 0},
                                           Nearest{"NothingNearerThan1e7", {2e7, 3e7}, 0, 0, 0},
                                           Nearest{"NaNNeverNearest", {kNaN, 3, 9}, 4, 1, 2}),
                         NameOf());

// ---- The analysis through KVCalculateResults ------------------------------------------------------

// Model 15, height 170, weight 70.0, man of 40, resistance 500.
KVTestRecord Panel(const KVSpectrumPoint* spectrum, int32_t count) {
  KVTestRecord test{};
  test.modelCode = 15;
  test.sex = 1;
  test.age = 40;
  test.height = 170;
  test.weight = 70.0f;
  test.activityLevel = 3;
  test.waist = 84;
  test.hip = 100;
  test.impedanceF1 = 560;
  test.impedanceF2 = 500;
  test.impedanceF4 = 450;
  test.resistance = 500;
  test.spectrumCount = count;
  test.spectrum = spectrum;
  return test;
}

KVResults Calculate(const KVTestRecord& test) {
  KVResults results;
  std::memset(&results, 0x5A, sizeof results);
  EXPECT_EQ(KV_OK, KVCalculateResults(&test, &results, 0));
  return results;
}

TEST(SpectrumAnalysis, ColeSpectrumGivesItsParameters) {
  const KVResults r = Calculate(Panel(kColeSpectrum, 7));
  EXPECT_NEAR(600.0, r.resistanceZero, 0.05);
  EXPECT_NEAR(1200.0, r.resistanceIntracellular, 0.05);  // 1 / (1/400 - 1/600)
  EXPECT_NEAR(50.0, r.characteristicFrequency, 0.05);
  EXPECT_NEAR(1.0, r.alpha, 0.05);
  EXPECT_NEAR(1.7684e-6, r.membraneCapacitance, 0.00005e-6);  // (600 - 400) / (50 x 2 pi x 600 x 600)
  EXPECT_NEAR(16.153, r.ecwLitres, 0.0005);
  EXPECT_NEAR(22.752, r.icwLitres, 0.0005);
  EXPECT_NEAR(38.905, r.tbwLitres, 0.0005);
  EXPECT_NEAR(0.570, r.overhydrationLitres, 0.0005);
  // q = 28900 / 500 = 57: 57 x 0.401 + 3.825 - 40 x 0.071 + 5.102 = 28.944
  EXPECT_NEAR(28.944, r.skeletalMuscleKg, 0.0005);
}

TEST(SpectrumAnalysis, UnconvergedFitStillGivesTheArc) {
  const KVResults r = Calculate(Panel(kDepressedSpectrum, 8));
  EXPECT_NEAR(600.0, r.resistanceZero, 0.05);
  EXPECT_NEAR(0.809, r.alpha, 0.0005);
}

TEST(SpectrumAnalysis, CircleOnTheRealAxisCrossesAtCentrePlusAndMinusRadius) {
  const auto points = InPlane(kColeSpectrum, 7);
  const kv::calc::CircleFit fit = FitCircle(points);
  const KVResults r = Calculate(Panel(kColeSpectrum, 7));
  EXPECT_NEAR(fit.centreX + fit.radius, r.resistanceZero, 1e-3);
  const double rInfinity = fit.centreX - fit.radius;
  EXPECT_NEAR(1.0 / (1.0 / rInfinity - 1.0 / (fit.centreX + fit.radius)), r.resistanceIntracellular, 1e-2);
  EXPECT_NEAR(1.0, r.alpha, 1e-6);
}

TEST(SpectrumAnalysis, MirroredReactancesGiveTheSameResults) {
  for (const auto& [spectrum, count] : {std::pair{kColeSpectrum, 7}, std::pair{kDepressedSpectrum, 8}}) {
    std::vector<KVSpectrumPoint> mirrored(spectrum, spectrum + count);
    for (KVSpectrumPoint& p : mirrored) p.phase = -p.phase;
    const KVResults original = Calculate(Panel(spectrum, count));
    const KVResults flipped = Calculate(Panel(mirrored.data(), count));
    EXPECT_EQ(0, std::memcmp(&original, &flipped, sizeof original)) << count << " points";
  }
}

struct Muscle {
  const char* name;
  int32_t sex, age, height, resistance;
  float expected;  // by hand: q x 0.401 + m x 3.825 - 0.071 x age + 5.102
};
void PrintTo(const Muscle& c, std::ostream* os) { *os << c.name; }

class SkeletalMuscle : public ::testing::TestWithParam<Muscle> {};

TEST_P(SkeletalMuscle, IntegerQuotientOfHeightSquaredByResistance) {
  KVTestRecord test = Panel(kColeSpectrum, 7);
  test.sex = GetParam().sex;
  test.age = GetParam().age;
  test.height = GetParam().height;
  test.resistance = GetParam().resistance;
  EXPECT_NEAR(GetParam().expected, Calculate(test).skeletalMuscleKg, 2e-5);
}

INSTANTIATE_TEST_SUITE_P(Cases, SkeletalMuscle,
                         ::testing::Values(Muscle{"Height180Gives64", 1, 40, 180, 500,
                                                  64 * 0.401f + 3.825f - 40 * 0.071f + 5.102f},  // 32400/500 = 64.8
                                           Muscle{"WomanHasNoSexTerm", 0, 30, 170, 500,
                                                  57 * 0.401f - 30 * 0.071f + 5.102f},
                                           Muscle{"NegativeTruncatesTowardZero", 1, 40, 170, -500,
                                                  -57 * 0.401f + 3.825f - 40 * 0.071f + 5.102f},
                                           Muscle{"ZeroResistanceLeavesZero", 1, 40, 170, 0, 0.0f}),
                         NameOf());

// Expected bits from a separate evaluation of the analysis with every stored value rounded once at the
// end. Rounding the points' resistances and reactances, keeping R0, fc and Ri in double, and the
// single-precision square root of the weight all show here: each alternative moves one of these.
TEST(SpectrumAnalysis, ColeSpectrumBitForBit) {
  const KVResults r = Calculate(Panel(kColeSpectrum, 7));
  EXPECT_EQ(0x1.2bfffep+9f, r.resistanceZero);
  EXPECT_EQ(0x1.2c0004p+10f, r.resistanceIntracellular);
  EXPECT_EQ(0x1.900006p+5f, r.characteristicFrequency);
  EXPECT_EQ(0x1.fffffcp-1f, r.alpha);
  EXPECT_EQ(0x1.dab2aep-20f, r.membraneCapacitance);
  EXPECT_EQ(0x1.027198p+4f, r.ecwLitres);
  EXPECT_EQ(0x1.6c099ep+4f, r.icwLitres);
  EXPECT_EQ(0x1.373d9cp+5f, r.tbwLitres);
  EXPECT_EQ(0x1.23c76p-1f, r.overhydrationLitres);
  EXPECT_EQ(0x1.cf1aap+4f, r.skeletalMuscleKg);
}

TEST(SpectrumAnalysis, DepressedSpectrumBitForBit) {
  const KVResults r = Calculate(Panel(kDepressedSpectrum, 8));
  EXPECT_EQ(0x1.2bff78p+9f, r.resistanceZero);
  EXPECT_EQ(0x1.9e53aap-1f, r.alpha);
  EXPECT_EQ(0x1.90014ap+5f, r.characteristicFrequency);
  EXPECT_EQ(0x1.373c98p+5f, r.tbwLitres);
}

// ---- Spectra that determine no arc ------------------------------------------------------------------

struct Degenerate {
  const char* name;
  std::vector<KVSpectrumPoint> points;
};
void PrintTo(const Degenerate& c, std::ostream* os) { *os << c.name; }

class DegenerateSpectra : public ::testing::TestWithParam<Degenerate> {};

TEST_P(DegenerateSpectra, SucceedAndLeaveTheOtherResultsAlone) {
  const std::vector<KVSpectrumPoint>& points = GetParam().points;
  const KVResults good = Calculate(Panel(kColeSpectrum, 7));
  const KVResults r = Calculate(Panel(points.data(), static_cast<int32_t>(points.size())));
  for (float KVResults::*field :
       {&KVResults::leanKg, &KVResults::fatKg, &KVResults::bmrKcal, &KVResults::bmi, &KVResults::ecwRegressionLitres,
        &KVResults::tbwRegressionLitres, &KVResults::waistHipRatio}) {
    EXPECT_EQ(good.*field, r.*field);
  }
  EXPECT_EQ(good.skeletalMuscleKg, r.skeletalMuscleKg);  // from height and resistance only
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Spectra, DegenerateSpectra,
    ::testing::Values(Degenerate{"OnePoint", {{50, 500, -10}}}, Degenerate{"TwoPoints", {{5, 600, -2}, {50, 500, -10}}},
                      Degenerate{"SamePointThrice", {{50, 500, -10}, {50, 500, -10}, {50, 500, -10}}},
                      Degenerate{"AllOnTheRealAxis", {{5, 600, 0}, {50, 500, 0}, {500, 400, 0}}},
                      Degenerate{"ZeroMagnitudes", {{5, 0, 0}, {50, 0, 0}, {500, 0, 0}}},
                      Degenerate{"NaNMagnitude", {{5, 600, -2}, {50, kNaNf, -10}, {500, 400, -2}}},
                      Degenerate{"InfinitePhase", {{5, 600, kInf}, {50, 500, -10}, {500, 400, -2}}},
                      Degenerate{"InfiniteFrequency", {{kInf, 600, -2}, {50, 500, -10}, {500, 400, -2}}}),
    NameOf());

}  // namespace

// spectrum_fit_test.cpp: the circle fit, the points beside the top of the arc, and what the analysis of
// family -5 makes of mirrored, degenerate spectra and of the muscle inputs (the arc's worked example and
// bits are in results_test.cpp).
#include "calc/spectrum_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "KorvantaSDK.h"
#include "calc_cases.h"

namespace {

using namespace kv::calc::testing;
using kv::calc::PlanePoint;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(SpectrumFit, CircleFitPasses) {
  std::vector<PlanePoint> arc;  // two thirds of the circle about (3, -4) of radius 5: the mean is off centre
  for (int degrees = 0; degrees <= 240; degrees += 30) {
    const double angle = degrees * std::numbers::pi / 180.0;
    arc.push_back({3.0 + 5.0 * std::cos(angle), -4.0 + 5.0 * std::sin(angle)});
  }
  struct Case {
    std::vector<PlanePoint> points;
    int32_t iterations;  // 1 stands for "some"
    double x, y, radius;
  };
  // The fifth point of the second lies on the centre: not summed, yet counted, so the radius is 4 / 5. A fit
  // that never meets its tolerance (no points; the depressed spectrum's last arc is pinned in results_pins.txt)
  // reports -1.
  for (const Case& c : {Case{{{1, 0}, {0, 1}, {-1, 0}, {0, -1}}, 0, 0, 0, 1},
                        Case{{{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {0, 0}}, 0, 0, 0, 0.8}, Case{arc, 1, 3, -4, 5}}) {
    const kv::calc::CircleFit fit = kv::calc::FitCircle(c.points);
    EXPECT_EQ(c.iterations, std::min(fit.iterations, 1)) << c.points.size();
    EXPECT_NEAR(c.x, fit.centreX, 1e-2);
    EXPECT_NEAR(c.y, fit.centreY, 1e-2);
    EXPECT_NEAR(c.radius, fit.radius, c.iterations == 0 ? 1e-15 : 1e-2);
  }
  EXPECT_EQ(-1, kv::calc::FitCircle({}).iterations);
}

TEST(SpectrumFit, NearestByRoundedDistanceEarliestOnTies) {
  struct Case {
    std::vector<double> x;
    double centreX;
    int32_t first, second;
  };
  for (const Case& c : {Case{{10, 4, 6, 20}, 5, 1, 2}, Case{{7, 5.5, 3}, 5, 1, 0}, Case{{1.0 + 1e-12, 1.0}, 0, 0, 1},
                        Case{{42}, 0, 0, 0}, Case{{2e7, 3e7}, 0, 0, 0}, Case{{kNaN, 3, 9}, 4, 1, 2}}) {
    std::vector<PlanePoint> points;
    for (double x : c.x) points.push_back({x, -1.0});
    const kv::calc::ArcTopPoints top = kv::calc::FindPointsNearestCentre(points, c.centreX);
    EXPECT_EQ(c.first, top.first) << c.x[0];
    EXPECT_EQ(c.second, top.second) << c.x[0];
  }
}

KVResults Analyse(const KVSpectrumPoint* spectrum, int32_t count, int32_t sex = 1, int32_t height = 170,
                  int32_t resistance = 500) {
  const KVTestRecord test =
      Person(15, sex, 40, height, 70.0f, 3, 84, 100, {560, 500, 450, resistance}, spectrum, count);
  KVResults results;
  EXPECT_EQ(KV_OK, KVCalculateResults(&test, &results, 0));
  return results;
}

TEST(SpectrumFit, MirroredReactancesGiveTheSameResults) {
  for (const auto& [spectrum, count] : {std::pair{kColeSpectrum, 7}, std::pair{kDepressedSpectrum, 8}}) {
    std::vector<KVSpectrumPoint> mirrored(spectrum, spectrum + count);
    for (KVSpectrumPoint& p : mirrored) p.phase = -p.phase;
    const KVResults original = Analyse(spectrum, count);
    const KVResults flipped = Analyse(mirrored.data(), count);
    EXPECT_EQ(0, std::memcmp(&original, &flipped, sizeof original)) << count;
  }
}

TEST(SpectrumFit, SkeletalMuscleFromTheIntegerQuotientOfHeightSquaredByResistance) {
  // By hand: q x 0.401 + 3.825 for a man - 40 x 0.071 + 5.102; a man of 170 cm, 28900 / 500 = 57.8 giving
  // q 57, is pinned in results_pins.txt (Panel15Cole).
  EXPECT_NEAR(57 * 0.401 - 2.84 + 5.102, Analyse(kColeSpectrum, 7, 0).skeletalMuscleKg, 2e-5);
  EXPECT_NEAR(-57 * 0.401 + 3.825 - 2.84 + 5.102, Analyse(kColeSpectrum, 7, 1, 170, -500).skeletalMuscleKg, 2e-5);
  EXPECT_EQ(0.0f, Analyse(kColeSpectrum, 7, 1, 170, 0).skeletalMuscleKg);
}

TEST(SpectrumFit, SpectraWithoutAnArcSucceedAndLeaveTheOtherResultsAlone) {
  const KVResults good = Analyse(kColeSpectrum, 7);
  // clang-format off
  const std::vector<std::vector<KVSpectrumPoint>> spectra = {
      {{50, 500, -10}}, {{5, 600, -2}, {50, 500, -10}}, {{50, 500, -10}, {50, 500, -10}, {50, 500, -10}},
      {{5, 600, 0}, {50, 500, 0}, {500, 400, 0}}, {{5, 0, 0}, {50, 0, 0}, {500, 0, 0}},
      {{5, 600, -2}, {50, kNaN, -10}, {500, 400, -2}}, {{5, 600, kInf}, {50, 500, -10}, {500, 400, -2}},
      {{kInf, 600, -2}, {50, 500, -10}, {500, 400, -2}}};
  // clang-format on
  for (const auto& points : spectra) {
    const KVResults r = Analyse(points.data(), static_cast<int32_t>(points.size()));
    for (float KVResults::*field :
         {&KVResults::leanKg, &KVResults::fatKg, &KVResults::bmrKcal, &KVResults::bmi, &KVResults::ecwRegressionLitres,
          &KVResults::tbwRegressionLitres, &KVResults::waistHipRatio, &KVResults::skeletalMuscleKg}) {
      EXPECT_EQ(good.*field, r.*field) << &points - spectra.data();
    }
  }
}

}  // namespace

// results.cpp: one human test -> the 33 results, by the regression equations of the test's model family.
// Single precision, each operation rounded in the written order, except where double is named; the
// build forbids fused multiply-add. Pure: no I/O, no globals, no allocation.
#include "calc/results.h"

#include "calc/spectrum_fit.h"
#include "catalogue.h"

namespace kv::calc {
namespace {

constexpr int32_t kModelPolytracePanel = 15;

// Coefficient tables are indexed by sex: 0 female, 1 male.
struct LeanCoefficients {
  float c1, c2, c3, c4, c5;
};
constexpr LeanCoefficients kLean[2] = {{0.421625f, -0.038381f, 0.383446f, -0.14466f, -15.7811f},
                                       {0.352539f, -0.078607f, 0.481605f, -0.164665f, -6.43971f}};

struct WaterCoefficients {
  float d1, d2, d3;
};
constexpr WaterCoefficients kMainWater[2] = {{0.3821f, 0.1052f, 8.3148f}, {0.3963f, 0.143f, 8.4f}};
constexpr float kHighWaterMaleTerm = 3.2477f;

// Hydration fraction of children's lean mass by (age + 1) / 2, then sex; row 0 is never used.
constexpr float kChildHydration[10][2] = {{0.0f, 0.0f},     {0.785f, 0.786f}, {0.783f, 0.778f}, {0.78f, 0.77f},
                                          {0.776f, 0.768f}, {0.77f, 0.762f},  {0.766f, 0.754f}, {0.755f, 0.747f},
                                          {0.75f, 0.742f},  {0.745f, 0.738f}};

struct Line {
  float slope, intercept;
};
// Adult metabolic rate by sex, then age 41 and above.
constexpr Line kAdultBmr[2][2] = {{{24.039f, 434.38f}, {21.956f, 434.38f}}, {{27.717f, 188.21f}, {25.333f, 243.28f}}};
constexpr Line kChildBmr10To17[2] = {{13.4f, 692.0f}, {17.7f, 657.0f}};
constexpr Line kChildBmr3To9[2] = {{22.5f, 499.0f}, {22.7f, 495.0f}};
constexpr Line kChildBmr1To2[2] = {{61.0f, -51.0f}, {60.9f, -54.0f}};

// By activityLevel 1 to 5; entry 0 is never used.
constexpr float kActivityFactor[6] = {0.0f, 1.4f, 1.5f, 1.6f, 1.7f, 1.8f};

constexpr double kBodyCellMassDivisor = 0.7;

bool InRange(int32_t value, int32_t low, int32_t high) { return value >= low && value <= high; }

int32_t Validate(const KVTestRecord& test, int32_t family, uint32_t waterEquation) {
  if (IsEquineFamily(family)) return KV_ERR_WRONG_KIND;
  if (waterEquation > 3) return KV_ERR_WATER_EQUATION;
  if (test.sex != 0 && test.sex != 1) return KV_ERR_SEX;
  if (!InRange(test.age, 1, 99)) return KV_ERR_AGE;
  if (!InRange(test.height, 10, 229)) return KV_ERR_HEIGHT;
  // Stated as the condition to pass so that NaN, false in every comparison, is rejected as well.
  if (!(static_cast<double>(test.weight) >= 0.001 && test.weight <= 300.0f)) return KV_ERR_WEIGHT;
  if (!InRange(test.activityLevel, 1, 5)) return KV_ERR_ACTIVITY;
  if (!InRange(test.waist, 5, 648)) return KV_ERR_WAIST;
  if (!InRange(test.hip, 5, 648)) return KV_ERR_HIP;
  // More than 50 points is refused rather than cut short: the analysis holds no more.
  if (RequiresSpectrum(test.modelCode) &&
      (test.spectrumCount < 1 || test.spectrumCount > kMaxSpectrumPoints || test.spectrum == nullptr)) {
    return KV_ERR_ARGUMENT;
  }
  return KV_OK;
}

}  // namespace

int32_t CalculateResults(const KVTestRecord& test, KVResults& results, uint32_t waterEquation) noexcept {
  results = KVResults{};
  const int32_t family = DeviceFamily(test.modelCode);
  if (const int32_t rc = Validate(test, family, waterEquation); rc != KV_OK) return rc;

  const int32_t sex = test.sex;
  const int32_t age = test.age;
  const float w = test.weight;
  const auto h = static_cast<float>(test.height);
  const auto a = static_cast<float>(age);
  const auto h2 = static_cast<float>(test.height * test.height);
  const auto z1 = static_cast<float>(test.impedanceF1);
  const auto z2 = static_cast<float>(test.impedanceF2);
  const auto z4 = static_cast<float>(test.impedanceF4);
  const bool hasCompartments = HasWaterCompartments(family);
  const bool isQuattron = family == KV_FAMILY_QUATTRON;
  const bool isPolytrace = family == KV_FAMILY_POLYTRACE;

  const LeanCoefficients& lean = kLean[sex];
  results.leanKg = h2 * lean.c1 / z2 + h2 * lean.c2 / w + h * lean.c3 + a * lean.c4 + lean.c5;
  const WaterCoefficients& water = kMainWater[sex];
  float tbwMain = h2 * water.d1 / z2 + water.d2 * w + water.d3;
  float tbwHigh = 0.0f;
  if (isQuattron || isPolytrace) {
    const float sexTerm = sex == 1 ? kHighWaterMaleTerm : 0.0f;
    tbwHigh = h2 * 0.2714f / z4 + 0.2078f * w + sexTerm + 5.5029f;
  }

  if (isPolytrace) {
    // The analysis reads the body mass index, so it is stored before the analysis runs.
    results.bmi = w / h2 * 10000.0f;
    AnalyseSpectrum(test, results, test.spectrumCount, test.spectrum);
  }

  if (hasCompartments) {
    const float ecw = h2 * 0.1746f / z1 + w * 0.069f + 3.794f;
    if (test.modelCode == kModelPolytracePanel) {
      // The panel model keeps its spectrum compartments and reports the regression beside them.
      results.ecwRegressionLitres = ecw;
    } else {
      results.ecwLitres = ecw;
      results.icwLitres = tbwMain - ecw;
    }
    if (age <= 17) {
      const float hydration = kChildHydration[(age + 1) / 2][sex];
      const double h2d = h2;
      const double z2d = z2;
      const double wd = w;
      if (age >= 10) {
        results.leanKg = static_cast<float>(h2d * 0.61 / z2d + wd * 0.25 + 1.31);
        tbwMain = results.leanKg * hydration;
      } else {
        tbwMain = static_cast<float>(h2d * 0.593 / z2d + wd * 0.065 + 0.04);
        results.leanKg = tbwMain / hydration;
      }
    }
  }

  const bool reportHigh = waterEquation == 2;
  if (isPolytrace) {
    // tbwLitres keeps the spectrum's value.
    results.tbwRegressionLitres = reportHigh ? tbwHigh : tbwMain;
  } else if (isQuattron) {
    results.tbwLitres = reportHigh ? tbwHigh : tbwMain;
  } else {
    results.tbwLitres = tbwMain;
  }

  const float leanKg = results.leanKg;
  const float tbw = results.tbwLitres;
  results.leanPercent = leanKg * 100.0f / w;
  results.fatPercent = 100.0f - results.leanPercent;
  results.fatKg = w - leanKg;
  results.totalWeight = w;
  results.dryLeanKg = leanKg - tbw;
  results.tbwPercent = tbw * 100.0f / w;

  if (hasCompartments) {
    // tbwMain is by now the children's water for a child.
    if (isQuattron) results.icwLitres = tbwHigh - results.ecwLitres;
    if (family == KV_FAMILY_MONOXD) results.icwLitres = tbwMain - results.ecwLitres;
    results.ecwPercent = results.ecwLitres * 100.0f / w;
    results.icwPercent = results.icwLitres * 100.0f / w;
    if (isQuattron || isPolytrace) {
      results.tbwDifference = tbwMain - tbwHigh;
      results.bodyCellMass = static_cast<float>(static_cast<double>(results.icwLitres) / kBodyCellMassDivisor);
      results.ecwTbwRatio = results.ecwLitres / (isQuattron ? tbwHigh : results.tbwLitres);
      results.impedanceRatioF4F1 = z4 / z1;
    }
  }

  const Line adultBmr = kAdultBmr[sex][age >= 41 ? 1 : 0];
  float bmr = leanKg * adultBmr.slope + adultBmr.intercept;
  if (hasCompartments) {
    const float weight = results.totalWeight;
    if (age < 18) bmr = kChildBmr10To17[sex].slope * weight + kChildBmr10To17[sex].intercept;
    if (age < 10) bmr = kChildBmr3To9[sex].slope * weight + kChildBmr3To9[sex].intercept;
    if (age < 3) bmr = kChildBmr1To2[sex].slope * weight + kChildBmr1To2[sex].intercept;
  }
  results.bmrKcal = bmr;
  results.bmrPerKg = bmr / w;
  results.energyRequirementKcal = bmr * kActivityFactor[test.activityLevel];

  results.bmi = w / h2 * 10000.0f;
  if (hasCompartments) {
    results.leanMassIndex = results.leanKg / h2 * 10000.0f;
    results.fatMassIndex = results.fatKg / h2 * 10000.0f;
    if (!(w < results.leanKg)) results.bmi = results.leanMassIndex + results.fatMassIndex;
  }

  results.waistHipRatio = static_cast<float>(test.waist) / static_cast<float>(test.hip);
  if (family == KV_FAMILY_MONOXD) results.impedanceRatioF2F1 = z2 / z1;
  return KV_OK;
}

}  // namespace kv::calc

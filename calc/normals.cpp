// normals.cpp: normal ranges of one human test from sex, age, height, weight and the lean mass.
// Single precision in the written order unless a step says double; must read no result but leanKg.
#include "calc/normals.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "catalogue.h"

namespace kv::calc {
namespace {

struct PercentRange {
  int32_t low;
  int32_t high;
};

constexpr int32_t kFemale = 0;

// Table 1, normal fat percentage. An age belongs to the first band whose upper age it does not exceed.
constexpr int32_t kFatBandUpperAge[] = {4, 9, 17, 30, 40, 50, 60, 99};
constexpr PercentRange kFatPercent[2][8] = {
    {{15, 19}, {15, 19}, {18, 25}, {20, 26}, {21, 27}, {22, 28}, {22, 30}, {22, 31}},  // female
    {{16, 20}, {12, 15}, {12, 18}, {12, 18}, {13, 19}, {14, 20}, {16, 20}, {17, 21}},  // male
};

// Table 2, normal total body water percentage; the last band is the adult column.
constexpr int32_t kWaterBandUpperAge[] = {4, 9, 17, 99};
constexpr std::size_t kAdultWaterBand = 3;
constexpr PercentRange kTbwPercent[2][4] = {
    {{64, 67}, {63, 66}, {57, 62}, {50, 60}},  // female
    {{63, 66}, {65, 68}, {61, 66}, {55, 65}},  // male
};

constexpr int32_t kBmiLow = 20;
constexpr int32_t kBmiHigh = 25;
constexpr int32_t kAdultAge = 18;

template <std::size_t N>
std::size_t AgeBand(const int32_t (&upperAge)[N], int32_t age) {
  std::size_t band = 0;
  while (band + 1 < N && age > upperAge[band]) ++band;
  return band;
}

// (100 - percent) / 100 in double from the single-precision numerator, narrowed before it divides.
float LeanFraction(int32_t fatPercent) {
  const float numerator = static_cast<float>(100 - fatPercent);
  return static_cast<float>(static_cast<double>(numerator) / 100.0);
}

float PercentOf(int32_t percent, float value) { return static_cast<float>(percent) * value / 100.0f; }

int32_t IndexPerSquareMetre(int32_t kilograms, float heightSquared) {
  return RoundToWhole(static_cast<float>(kilograms) / heightSquared * 10000.0f);
}

}  // namespace

int32_t RoundToWhole(float value) {
  const double wide = value;
  if (std::isnan(wide)) return 0;
  const double magnitude = std::min(std::trunc(std::fabs(wide) + 0.5), 2147483647.0);
  const auto whole = static_cast<int32_t>(magnitude);
  return wide < 0.0 ? -whole : whole;
}

int32_t CalculateNormals(const KVTestRecord& test, const KVResults& results, KVNormals& normals) {
  normals = KVNormals{};

  if (test.sex != 0 && test.sex != 1) return KV_ERR_SEX;
  if (test.age < 1 || test.age > 99) return KV_ERR_AGE;
  if (test.height < 10 || test.height > 229) return KV_ERR_HEIGHT;
  // Both range comparisons are false for NaN, which would then be rounded: reject any non-finite weight.
  const double weight = test.weight;
  if (!std::isfinite(weight) || weight < 0.001 || weight > 300.0) return KV_ERR_WEIGHT;

  const bool female = test.sex == kFemale;
  const int32_t family = DeviceFamily(test.modelCode);

  normals.bmiLow = kBmiLow;
  normals.bmiHigh = kBmiHigh;

  const PercentRange fat = kFatPercent[test.sex][AgeBand(kFatBandUpperAge, test.age)];
  normals.fatPercentLow = fat.low;
  normals.fatPercentHigh = fat.high;
  normals.leanPercentHigh = 100 - fat.low;
  normals.leanPercentLow = 100 - fat.high;

  const float heightSquared = static_cast<float>(test.height * test.height);

  // Weights at which the present lean mass would make up the ends of the fat range.
  const float weightAtFatLow = results.leanKg / LeanFraction(fat.low);
  const float weightAtFatHigh = results.leanKg / LeanFraction(fat.high);
  const float weightAtBmi22 = heightSquared * 22.0f / 10000.0f;
  const float weightAtBmi20 = heightSquared * 20.0f / 10000.0f;

  // "Not greater": a high end exactly at BMI 22 takes the BMI band.
  if (!(weightAtFatHigh > weightAtBmi22) && test.age >= kAdultAge) {
    normals.targetWeightLow = RoundToWhole(weightAtBmi20);
    normals.targetWeightHigh = RoundToWhole(weightAtBmi22);
    normals.targetWeightFromBmi = 1;
  } else {
    normals.targetWeightLow = RoundToWhole(weightAtFatLow);
    normals.targetWeightHigh = RoundToWhole(weightAtFatHigh);
    normals.targetWeightFromBmi = 0;
  }

  // Integer halving drops the half of an odd sum; 64 bits keep saturated ends from overflowing.
  const auto middle =
      static_cast<float>((static_cast<int64_t>(normals.targetWeightLow) + normals.targetWeightHigh) / 2);
  normals.fatKgLow = RoundToWhole(PercentOf(fat.low, middle));
  normals.fatKgHigh = RoundToWhole(PercentOf(fat.high, middle));
  normals.leanKgLow = RoundToWhole(PercentOf(100 - fat.high, middle));
  normals.leanKgHigh = RoundToWhole(PercentOf(100 - fat.low, middle));

  const std::size_t waterBand = HasWaterCompartments(family) ? AgeBand(kWaterBandUpperAge, test.age) : kAdultWaterBand;
  const PercentRange water = kTbwPercent[test.sex][waterBand];
  normals.tbwPercentLow = water.low;
  normals.tbwPercentHigh = water.high;
  normals.tbwLitresLow = RoundToWhole(PercentOf(water.low, test.weight));
  normals.tbwLitresHigh = RoundToWhole(PercentOf(water.high, test.weight));

  if (HasWaterCompartments(family)) {
    // From the rounded whole kilograms, divided first and then scaled.
    normals.fatMassIndexLow = IndexPerSquareMetre(normals.fatKgLow, heightSquared);
    normals.fatMassIndexHigh = IndexPerSquareMetre(normals.fatKgHigh, heightSquared);
    normals.leanMassIndexLow = IndexPerSquareMetre(normals.leanKgLow, heightSquared);
    normals.leanMassIndexHigh = IndexPerSquareMetre(normals.leanKgHigh, heightSquared);
  }
  if (HasHighFrequency(family)) {
    normals.ecwTbwRatioNormal = female ? 0.40f : 0.43f;
    normals.impedanceRatioF4F1Low = 0.70f;
    normals.impedanceRatioF4F1High = 0.82f;
  }
  if (HasWaterCompartments(family)) {
    normals.ecwPercentNormal = female ? 20 : 26;
    normals.icwPercentNormal = female ? 30 : 34;
  }
  normals.waistHipRatioMax = female ? 0.80f : 1.00f;
  if (family == KV_FAMILY_MONOXD) {
    normals.impedanceRatioF2F1Low = 0.80f;
    normals.impedanceRatioF2F1High = 0.89f;
  }
  return KV_OK;
}

}  // namespace kv::calc

// equine.cpp: the equine body-composition estimate (log-log fit, four linear equations) and its normals.
// Single precision in the written order unless a step says double; must hand out no NaN or infinity.
#include "calc/equine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "calc/log10f_exact.h"
#include "catalogue.h"

namespace kv::calc {
namespace {

// One row per estimated volume; columns: 1, H², Z5, Z16, Z24, Z50, Z140, Z200, Z280, c0, c1, c2.
constexpr std::size_t kTermCount = 12;
using EquationRow = std::array<float, kTermCount>;
constexpr EquationRow kBodyMassRow = {-9405.984f, 0.0139f, -36.702f, 0.0f,    0.0f,    0.0f,
                                      0.0f,       0.0f,    13.957f,  5971.13f, 89.345f, -8807.726f};
constexpr EquationRow kTbwRow = {-162.45f, 0.0106f, 0.0f, 0.0f,     0.0f,    -4.134f,
                                 0.0f,     0.0f,    0.0f, 279.102f, -1.497f, 26.041f};
constexpr EquationRow kEcwRow = {55.904f, 0.00405f, -0.653f, 0.0f, 0.0f, 0.0f,
                                 0.0f,    0.0f,     0.483f,  0.0f, 0.0f, 9.235f};
constexpr EquationRow kEcwFractionRow = {151.431f, 0.000103f, 0.253f,   0.0f,  0.0f,     0.0f,
                                         0.0f,     0.0f,      -0.321f, -63.682f, 2.34f, 200.066f};

constexpr float kDefaultConditionScore = 5.0f;
constexpr double kWaterShareOfLeanMass = 0.732;
constexpr float kMillilitresPerLitre = 1000.0f;

// H² times its coefficient plus the constant, then each further term in column order.
float EvaluateRow(const EquationRow& coefficients, const EquationRow& terms) {
  float sum = terms[1] * coefficients[1] + coefficients[0];
  for (std::size_t column = 2; column < kTermCount; ++column) sum += coefficients[column] * terms[column];
  return sum;
}

float Quotient(float numerator, float denominator) {
  if (denominator == 0.0f) return 0.0f;
  const float quotient = numerator / denominator;
  return std::isfinite(quotient) ? quotient : 0.0f;
}

int32_t Percent(float mass, int32_t percent) { return TruncateToWhole(mass * static_cast<float>(percent) / 100.0f); }

float Middle(int32_t low, int32_t high) { return static_cast<float>((static_cast<int64_t>(low) + high) / 2); }

int32_t MillilitresPerKilogram(int32_t litres, float mass) {
  if (mass == 0.0f) return 0;
  return TruncateToWhole(static_cast<float>(litres) * kMillilitresPerLitre / mass);
}

}  // namespace

int32_t TruncateToWhole(float value) {
  if (std::isnan(value)) return 0;
  constexpr int32_t kLargest = std::numeric_limits<int32_t>::max();
  if (value >= 2147483648.0f) return kLargest;
  if (value <= -2147483648.0f) return -kLargest;
  return static_cast<int32_t>(value);
}

LogLogFit FitLogLog(const EquineReadings& readings) {
  float s1 = 0.0f, s2 = 0.0f, s3 = 0.0f, s4 = 0.0f, t0 = 0.0f, t1 = 0.0f, t2 = 0.0f;
  for (std::size_t i = 0; i < kEquineReadingCount; ++i) {
    const float x = Log10fExact(kEquineFrequencies[i]);
    const float y = Log10fExact(readings[i]);
    const float xx = x * x;
    s1 += x;
    s2 += xx;
    s3 += x * xx;
    s4 += xx * xx;
    t0 += y;
    t1 += y * x;
    t2 += xx * y;
  }
  const auto n = static_cast<float>(kEquineReadingCount);
  const float a = s4 * s2 - s3 * s3;
  const float b = s3 * s1 - s2 * s2;
  const float c = s4 * s1 - s3 * s2;
  const float d = s2 * s1 - s3 * n;
  // The frequencies are fixed and distinct, so the determinant never vanishes.
  const float determinant = a * n - c * s1 + b * s2;
  LogLogFit fit{};
  fit.c0 = (a * t0 - c * t1 + b * t2) / determinant;
  fit.c1 = ((s4 * n - s2 * s2) * t1 - c * t0 + d * t2) / determinant;
  fit.c2 = (d * t1 + b * t0 + (s2 * n - s1 * s1) * t2) / determinant;
  return fit;
}

void DeriveEquineFields(CXResults& results) {
  results.tbwPercent = Quotient(results.tbwLitres * 100.0f, results.bodyMassKg);
  results.ecwPercentTbw = Quotient(results.ecwLitres * 100.0f, results.tbwLitres);
  results.icwLitres = results.tbwLitres - results.ecwLitres;
  results.icwPercentTbw = Quotient(results.icwLitres * 100.0f, results.tbwLitres);
  results.icwPerKg = Quotient(results.icwLitres, results.bodyMassKg);
  results.ecwPerKg = Quotient(results.ecwLitres, results.bodyMassKg);
  results.ecwFractionPercent = Quotient(results.ecwFractionLitres * 100.0f, results.ecwLitres);
  // fatKg is a whole number, truncated toward zero also when it comes out negative.
  const double fat =
      std::trunc(static_cast<double>(results.bodyMassKg) - static_cast<double>(results.tbwLitres) / kWaterShareOfLeanMass);
  results.fatKg = std::isfinite(fat) ? static_cast<float>(fat) : 0.0f;
  results.fatPercent = Quotient(results.fatKg * 100.0f, results.bodyMassKg);
}

int32_t CalculateEquineResults(const CXTestRecord& test, CXResults& results) {
  if (!IsEquineFamily(DeviceFamily(test.modelCode))) return KV_ERR_WRONG_KIND;

  CXResults out{};
  const auto height = static_cast<float>(test.height);
  const float heightSquared = height * height;
  const float conditionScore =
      test.conditionScore == 0 ? kDefaultConditionScore : static_cast<float>(test.conditionScore);
  const EquineReadings readings = {
      static_cast<float>(test.impedance5),   static_cast<float>(test.impedance16),
      static_cast<float>(test.impedance24),  static_cast<float>(test.impedance50),
      static_cast<float>(test.impedance140), static_cast<float>(test.impedance200),
      static_cast<float>(test.impedance280)};

  // The logarithm of a reading of 0 or below is undefined, and so is every fitted volume: they stay 0.
  if (std::all_of(readings.begin(), readings.end(), [](float z) { return z > 0.0f; })) {
    const LogLogFit fit = FitLogLog(readings);
    const EquationRow terms = {1.0f,        heightSquared, readings[0], readings[1], readings[2], readings[3],
                               readings[4], readings[5],   readings[6], fit.c0,      fit.c1,      fit.c2};
    out.bodyMassKg = EvaluateRow(kBodyMassRow, terms);
    out.tbwLitres = EvaluateRow(kTbwRow, terms);
    out.ecwLitres = EvaluateRow(kEcwRow, terms);
    out.ecwFractionLitres = EvaluateRow(kEcwFractionRow, terms);
  }
  out.estimatedWeightKg = static_cast<float>(static_cast<double>(test.height) * 6.552 - 777.429 +
                                             static_cast<double>(conditionScore) * 38.81);
  DeriveEquineFields(out);
  out.impedanceRatio280To5 = test.impedance5 == 0 ? 0.0f : readings[6] / readings[0];

  results = out;
  return KV_OK;
}

void CalculateEquineNormals(const CXResults& results, CXNormals& normals) {
  normals = CXNormals{};
  normals.fatPercentLow = 7;
  normals.fatPercentHigh = 18;
  normals.tbwPercentLow = 60;
  normals.tbwPercentHigh = 68;
  normals.ecwPercentTbwLow = 33;
  normals.ecwPercentTbwHigh = 40;
  normals.icwPercentTbwLow = 60;
  normals.icwPercentTbwHigh = 67;
  normals.ecwFractionPercentLow = 13;
  normals.ecwFractionPercentHigh = 25;

  // A body mass that is no number at all gives no ranges rather than saturated ones.
  const float mass = std::isfinite(results.bodyMassKg) ? results.bodyMassKg : 0.0f;

  // Nested: total water from the body mass, the compartments from the middle of the total-water
  // range, the extracellular part from the middle of the extracellular range. All truncated.
  normals.tbwLitresLow = Percent(mass, normals.tbwPercentLow);
  normals.tbwLitresHigh = Percent(mass, normals.tbwPercentHigh);
  const float water = Middle(normals.tbwLitresLow, normals.tbwLitresHigh);
  normals.ecwLitresLow = Percent(water, normals.ecwPercentTbwLow);
  normals.ecwLitresHigh = Percent(water, normals.ecwPercentTbwHigh);
  normals.icwLitresLow = Percent(water, normals.icwPercentTbwLow);
  normals.icwLitresHigh = Percent(water, normals.icwPercentTbwHigh);
  const float extracellular = Middle(normals.ecwLitresLow, normals.ecwLitresHigh);
  normals.ecwFractionLitresLow = Percent(extracellular, normals.ecwFractionPercentLow);
  normals.ecwFractionLitresHigh = Percent(extracellular, normals.ecwFractionPercentHigh);
  normals.fatKgLow = Percent(mass, normals.fatPercentLow);
  normals.fatKgHigh = Percent(mass, normals.fatPercentHigh);

  // Litre bounds per kilogram truncate to 0 for any real horse; in millilitres per kilogram they
  // keep three figures and compare with 1000 times the results' ecwPerKg and icwPerKg.
  normals.ecwPerKgLow = MillilitresPerKilogram(normals.ecwLitresLow, mass);
  normals.ecwPerKgHigh = MillilitresPerKilogram(normals.ecwLitresHigh, mass);
  normals.icwPerKgLow = MillilitresPerKilogram(normals.icwLitresLow, mass);
  normals.icwPerKgHigh = MillilitresPerKilogram(normals.icwLitresHigh, mass);
}

}  // namespace kv::calc

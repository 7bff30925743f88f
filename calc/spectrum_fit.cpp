// spectrum_fit.cpp: impedance spectrum -> fitted arc -> Cole parameters -> water compartments (family -5).
// The intermediate values (centre, radius, R0, R-infinity, fc, Ri, kE, kI) stay in double; only what is
// stored in the result record is rounded to single precision. No I/O, no globals, no allocation.
#include "calc/spectrum_fit.h"

#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace kv::calc {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kTwoThirds = 0.6666666666666666;
constexpr double kFitTolerance = 1e-6;
constexpr float kNearestSearchStart = 1e7f;

// Resistance and reactance are rounded to single precision once and then used as doubles; results
// depend on that rounding. g++ 12's SLP vectoriser was seen to drop the rounding of two such adjacent
// conversions; a volatile single-precision store keeps it whatever the flags (at most 100 a call).
double RoundedToSingle(double value) {
  const volatile float rounded = static_cast<float>(value);
  return rounded;
}

int32_t NearestIndex(std::span<const PlanePoint> points, double centreX, int32_t excluded) {
  int32_t nearest = 0;
  float best = kNearestSearchStart;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const auto index = static_cast<int32_t>(i);
    if (index == excluded) continue;
    const auto distance = static_cast<float>(std::fabs(centreX - points[i].x));
    // Strictly smaller: of equally near points the earliest wins.
    if (distance < best) {
      best = distance;
      nearest = index;
    }
  }
  return nearest;
}

}  // namespace

CircleFit FitCircle(std::span<const PlanePoint> points) noexcept {
  const auto n = static_cast<double>(points.size());
  double sumX = 0.0;
  double sumY = 0.0;
  for (const PlanePoint& p : points) {
    sumX += p.x;
    sumY += p.y;
  }
  const double meanX = sumX / n;
  const double meanY = sumY / n;

  double a = meanX;
  double b = meanY;
  CircleFit fit{meanX, meanY, 0.0, -1};
  for (int32_t pass = 0; pass < kMaxCirclePasses; ++pass) {
    double sumL = 0.0;
    double sumA = 0.0;
    double sumB = 0.0;
    for (const PlanePoint& p : points) {
      const double dx = p.x - a;
      const double dy = p.y - b;
      const double distance = std::sqrt(dy * dy + dx * dx);
      // A point on the centre has no direction; it still counts in n below.
      if (distance > kFitTolerance) {
        sumL += distance;
        sumA -= dx / distance;
        sumB -= dy / distance;
      }
    }
    const double meanL = sumL / n;
    const double nextA = sumA / n * meanL + meanX;
    const double nextB = sumB / n * meanL + meanY;
    fit = {nextA, nextB, meanL, pass};
    if (std::fabs(nextA - a) <= kFitTolerance && std::fabs(nextB - b) <= kFitTolerance) return fit;
    a = nextA;
    b = nextB;
  }
  fit.iterations = -1;
  return fit;
}

ArcTopPoints FindPointsNearestCentre(std::span<const PlanePoint> points, double centreX) noexcept {
  const int32_t first = NearestIndex(points, centreX, -1);
  return {first, NearestIndex(points, centreX, first)};
}

void AnalyseSpectrum(const KVTestRecord& test, KVResults& results, int32_t count,
                     const KVSpectrumPoint* spectrum) noexcept {
  if (count < 1 || spectrum == nullptr) return;
  assert(count <= kMaxSpectrumPoints);
  assert(test.height >= 10 && test.height <= 229);  // validated: height squared fits 32 bits

  std::array<PlanePoint, kMaxSpectrumPoints> plane;
  const auto n = static_cast<std::size_t>(count);
  for (std::size_t i = 0; i < n; ++i) {
    const double theta = static_cast<double>(spectrum[i].phase) * kPi / 180.0;
    const double magnitude = spectrum[i].magnitude;
    plane[i] = {RoundedToSingle(magnitude * std::cos(theta)), RoundedToSingle(magnitude * std::sin(theta))};
  }
  const std::span<const PlanePoint> points(plane.data(), n);

  // An unconverged fit is used as it stands: its last centre and radius.
  const CircleFit fit = FitCircle(points);
  const double xc = fit.centreX;
  const double yc = fit.centreY;
  const double r = fit.radius;

  // Where the circle crosses the real axis: zero and infinite frequency.
  const double s = std::sqrt(4.0 * xc * xc - 4.0 * (xc * xc + yc * yc - r * r));
  const double r0 = (2.0 * xc + s) * 0.5;
  const double rInfinity = (2.0 * xc - s) * 0.5;
  // Only the centre's distance from the real axis counts, so mirrored reactances give the same arc.
  results.alpha = static_cast<float>((kHalfPi - std::atan(std::fabs(yc) / r)) / kHalfPi);

  // The top of the arc lies above the centre: interpolate the frequency between the two points
  // whose resistances are nearest the centre's x. The steps are single precision, the rest double.
  const ArcTopPoints top = FindPointsNearestCentre(points, xc);
  const auto r1 = static_cast<float>(points[static_cast<std::size_t>(top.first)].x);
  const auto r2 = static_cast<float>(points[static_cast<std::size_t>(top.second)].x);
  const float f1 = spectrum[top.first].frequency;
  const float f2 = spectrum[top.second].frequency;
  const float resistanceStep = r2 - r1;
  const float frequencyStep = f2 - f1;
  const double fc = (xc - r1) / resistanceStep * frequencyStep + f1;
  results.characteristicFrequency = static_cast<float>(fc);

  results.resistanceZero = static_cast<float>(r0);
  results.membraneCapacitance = static_cast<float>((r0 - rInfinity) / (fc * kTwoPi * r0 * r0));
  const double ri = 1.0 / (1.0 / rInfinity - 1.0 / r0);
  results.resistanceIntracellular = static_cast<float>(ri);

  const double bmi = results.bmi;
  const double kE = 0.188 / bmi + 0.2883;
  const double kI = 5.8758 / bmi + 0.4194;
  const double h2 = static_cast<double>(test.height) * static_cast<double>(test.height);
  const float sqrtW = std::sqrt(test.weight);
  results.ecwLitres = static_cast<float>(std::pow(sqrtW * h2 / r0, kTwoThirds) * kE);
  results.icwLitres = static_cast<float>(std::pow(sqrtW * h2 / ri, kTwoThirds) * kI);
  results.tbwLitres = results.ecwLitres + results.icwLitres;

  // From the compartments as stored, already rounded to single precision.
  const double e = results.ecwLitres;
  const double i = results.icwLitres;
  const double w = test.weight;
  results.overhydrationLitres = static_cast<float>((e - w * 0.127 - (i - w * 0.07) * 0.378746594) / 0.87951226158);

  // Integer quotient, truncated toward zero; a zero resistance leaves the estimate at 0.
  if (test.resistance != 0) {
    const int32_t q = test.height * test.height / test.resistance;
    const float male = test.sex == 1 ? 1.0f : 0.0f;
    results.skeletalMuscleKg =
        static_cast<float>(q) * 0.401f + male * 3.825f + static_cast<float>(test.age) * -0.071f + 5.102f;
  }
}

}  // namespace kv::calc

// spectrum_fit.h: the impedance-spectrum analysis of the spectrum analysers (family -5) and its circle fit.
// Pure functions over caller-owned data: no I/O, no globals, no allocation (a fixed 50-point stack array).
// Not exported; KVCalculateResults runs the analysis after it has stored the body mass index.
#pragma once

#include <cstdint>
#include <span>

#include "KorvantaSDK.h"
#include "catalogue.h"

namespace kv::calc {

// A circle fit stops after this many passes whether or not it met its tolerance.
constexpr int32_t kMaxCirclePasses = 256;

// One point in the resistance-reactance plane.
struct PlanePoint {
  double x;
  double y;
};

struct CircleFit {
  double centreX;
  double centreY;
  double radius;       // mean distance from the centre the last pass started from
  int32_t iterations;  // passes before the converging one (0: the first converged), or -1: never converged
};

// Iterative geometric least-squares circle through the points. The centre and radius of the last
// pass are given even when it did not converge. An empty span gives non-finite values and -1.
CircleFit FitCircle(std::span<const PlanePoint> points) noexcept;

// Indices of the point nearest the centre's x (by |centreX - x| rounded to single precision, the
// earliest on a tie) and of the nearest among the others; 0 where no point qualifies (a single
// point, or distances that are not finite or not below 1e7).
struct ArcTopPoints {
  int32_t first;
  int32_t second;
};
ArcTopPoints FindPointsNearestCentre(std::span<const PlanePoint> points, double centreX) noexcept;

// Cole parameters, water compartments, overhydration and skeletal muscle from the test's spectrum.
// Reads sex, age, height, weight and resistance of the test and bmi of the results; writes tbwLitres,
// ecwLitres, icwLitres, overhydrationLitres, skeletalMuscleKg (left alone when resistance is 0),
// membraneCapacitance, resistanceZero, resistanceIntracellular, characteristicFrequency and alpha.
// Does nothing for count below 1 or a null spectrum. count must not exceed kMaxSpectrumPoints.
// A spectrum that determines no arc gives values that are not finite or not meaningful, never a fault.
void AnalyseSpectrum(const KVTestRecord& test, KVResults& results, int32_t count,
                     const KVSpectrumPoint* spectrum) noexcept;

}  // namespace kv::calc

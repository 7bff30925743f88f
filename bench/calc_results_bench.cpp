// calc_results_bench.cpp: cost of KVCalculateResults per family, through the export as a host calls it,
// and for family -5 the cost per point per circle-fit pass. Figures only; nothing here asserts a speed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <vector>

#include "KorvantaSDK.h"
#include "calc/spectrum_fit.h"

namespace {

// A depressed Cole arc, R0 600, R-infinity 400, fc 50, sampled at count frequencies spread evenly
// in logarithm from 1 to 1000.
std::vector<KVSpectrumPoint> ColeArc(int count, double alpha) {
  std::vector<KVSpectrumPoint> points;
  for (int i = 0; i < count; ++i) {
    const double f = std::pow(10.0, 3.0 * i / (count - 1));
    const std::complex<double> z = 400.0 + 200.0 / (1.0 + std::pow(std::complex<double>(0.0, f / 50.0), alpha));
    points.push_back({static_cast<float>(f), static_cast<float>(std::abs(z)),
                      static_cast<float>(std::arg(z) * 180.0 / 3.141592653589793)});
  }
  return points;
}

// Passes the circle fit makes on a spectrum, converted as the analysis converts it.
int PassesOf(const std::vector<KVSpectrumPoint>& spectrum) {
  std::vector<kv::calc::PlanePoint> plane;
  for (const KVSpectrumPoint& p : spectrum) {
    const double theta = p.phase * 3.141592653589793 / 180.0;
    plane.push_back(
        {static_cast<float>(p.magnitude * std::cos(theta)), static_cast<float>(p.magnitude * std::sin(theta))});
  }
  const int iterations = kv::calc::FitCircle(plane).iterations;
  return iterations < 0 ? kv::calc::kMaxCirclePasses : iterations + 1;
}

KVTestRecord Adult(int32_t model, const std::vector<KVSpectrumPoint>& spectrum) {
  KVTestRecord test{};
  test.modelCode = model;
  test.sex = 1;
  test.age = 35;
  test.height = 180;
  test.weight = 80.0f;
  test.activityLevel = 3;
  test.waist = 84;
  test.hip = 100;
  test.impedanceF1 = 560;
  test.impedanceF2 = 500;
  test.impedanceF4 = 450;
  test.resistance = 480;
  test.spectrumCount = static_cast<int32_t>(spectrum.size());
  test.spectrum = spectrum.data();
  return test;
}

void Run(benchmark::State& state, const KVTestRecord& test) {
  KVResults results;
  for (auto _ : state) {
    benchmark::DoNotOptimize(KVCalculateResults(&test, &results, 0));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void WithoutSpectrum(benchmark::State& state, int32_t model) {
  const std::vector<KVSpectrumPoint> unused = ColeArc(2, 1.0);  // model 14 must carry one
  Run(state, Adult(model, unused));
}

void WithSpectrum(benchmark::State& state, int32_t model, int points, double alpha) {
  const std::vector<KVSpectrumPoint> spectrum = ColeArc(points, alpha);
  const int passes = PassesOf(spectrum);
  Run(state, Adult(model, spectrum));
  state.counters["passes"] = passes;
  // Seconds per point per pass: the whole call divided by passes x points.
  state.counters["per_point_pass"] =
      benchmark::Counter(static_cast<double>(passes) * points,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(WithoutSpectrum, Mono_model1, 1);
BENCHMARK_CAPTURE(WithoutSpectrum, MonoXD_model2, 2);
BENCHMARK_CAPTURE(WithoutSpectrum, Duotrace_model5, 5);
BENCHMARK_CAPTURE(WithoutSpectrum, Quattron_model7, 7);
BENCHMARK_CAPTURE(WithoutSpectrum, QuattronPanel_model14, 14);
BENCHMARK_CAPTURE(WithoutSpectrum, Unknown_model99, 99);
BENCHMARK_CAPTURE(WithSpectrum, Polytrace_7points_cole, 15, 7, 1.0);
BENCHMARK_CAPTURE(WithSpectrum, Polytrace_50points_alpha08, 8, 50, 0.8);

}  // namespace

BENCHMARK_MAIN();

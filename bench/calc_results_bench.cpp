// calc_results_bench.cpp: cost of KVCalculateResults per family, through the export as a host calls it,
// for family -5 the cost per point per circle-fit pass, and the cost per test of a downloaded block's
// results and normals, by the single calls and by one KVCalculateMany. Figures only; nothing here asserts a speed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <vector>

#include "KorvantaSDK.h"
#include "KorvantaSession.h"
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

// 100 tests, a full stored-test block, of every human family (with family -5 among them or not), ages and
// weights varied.
std::vector<KVTestRecord> Block(bool withPolytrace, const std::vector<KVSpectrumPoint>& spectrum) {
  static const int32_t kModels[] = {1, 2, 5, 7, 14, 8};
  std::vector<KVTestRecord> tests;
  for (int i = 0; i < 100; ++i) {
    tests.push_back(Adult(kModels[i % (withPolytrace ? 6 : 5)], spectrum));
    tests.back().age = 20 + i % 60;
    tests.back().weight = 50.0f + static_cast<float>(i % 64) * 0.5f;
  }
  return tests;
}

// Seconds per test, beside tests per second.
void PerTest(benchmark::State& state, size_t tests) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(tests));
  state.counters["per_test"] = benchmark::Counter(
      static_cast<double>(tests), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A block of tests with room for its outputs, shared by the two ways of calculating it.
struct BlockOfTests {
  explicit BlockOfTests(bool withPolytrace) : spectrum(ColeArc(7, 1.0)), tests(Block(withPolytrace, spectrum)) {}
  std::vector<KVSpectrumPoint> spectrum;
  std::vector<KVTestRecord> tests;
  std::vector<KVResults> results = std::vector<KVResults>(tests.size());
  std::vector<KVNormals> normals = std::vector<KVNormals>(tests.size());
  std::vector<int32_t> codes = std::vector<int32_t>(tests.size());
};

void BlockBySingleCalls(benchmark::State& state, bool withPolytrace) {
  BlockOfTests b(withPolytrace);
  for (auto _ : state) {
    for (size_t i = 0; i < b.tests.size(); ++i) {
      b.codes[i] = KVCalculateResults(&b.tests[i], &b.results[i], 0);
      if (b.codes[i] == KV_OK) b.codes[i] = KVCalculateNormals(&b.tests[i], &b.results[i], &b.normals[i]);
    }
    benchmark::ClobberMemory();
  }
  PerTest(state, b.tests.size());
}

void BlockByOneBatch(benchmark::State& state, bool withPolytrace) {
  BlockOfTests b(withPolytrace);
  for (auto _ : state) {
    benchmark::DoNotOptimize(KVCalculateMany(b.tests.data(), static_cast<int32_t>(b.tests.size()), 0, b.results.data(),
                                             b.normals.data(), b.codes.data()));
    benchmark::ClobberMemory();
  }
  PerTest(state, b.tests.size());
}

BENCHMARK_CAPTURE(BlockBySingleCalls, no_spectrum, false);
BENCHMARK_CAPTURE(BlockByOneBatch, no_spectrum, false);
BENCHMARK_CAPTURE(BlockBySingleCalls, with_polytrace_7points, true);
BENCHMARK_CAPTURE(BlockByOneBatch, with_polytrace_7points, true);
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

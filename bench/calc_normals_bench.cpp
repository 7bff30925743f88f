// calc_normals_bench.cpp: calls per second of KVCalculateNormals, CXCalculateResults and CXCalculateNormals.
// Measures the exports as a host calls them, on the worked examples; asserts nothing about speed.
#include <benchmark/benchmark.h>

#include "KorvantaSDK.h"

namespace {

KVTestRecord FemaleQuattron() {
  KVTestRecord test{};
  test.modelCode = 7;
  test.sex = 0;
  test.age = 35;
  test.height = 165;
  test.weight = 60.0f;
  return test;
}

CXTestRecord ExampleHorse() {
  CXTestRecord test{};
  test.modelCode = 12;
  test.height = 160;
  test.conditionScore = 5;
  test.impedance5 = 112;
  test.impedance16 = 106;
  test.impedance24 = 103;
  test.impedance50 = 97;
  test.impedance140 = 88;
  test.impedance200 = 85;
  test.impedance280 = 82;
  return test;
}

void BM_KVCalculateNormals(benchmark::State& state) {
  const KVTestRecord test = FemaleQuattron();
  KVResults results{};
  results.leanKg = 42.0f;
  KVNormals normals{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(KVCalculateNormals(&test, &results, &normals));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KVCalculateNormals);

void BM_CXCalculateResults(benchmark::State& state) {
  const CXTestRecord test = ExampleHorse();
  CXResults results{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(CXCalculateResults(&test, &results));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CXCalculateResults);

void BM_CXCalculateNormals(benchmark::State& state) {
  const CXTestRecord test = ExampleHorse();
  CXResults results{};
  CXCalculateResults(&test, &results);
  CXNormals normals{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(CXCalculateNormals(&test, &results, &normals));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CXCalculateNormals);

// The host's road for one horse: results, then normals from them.
void BM_EquineResultsThenNormals(benchmark::State& state) {
  const CXTestRecord test = ExampleHorse();
  CXResults results{};
  CXNormals normals{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(CXCalculateResults(&test, &results));
    benchmark::DoNotOptimize(CXCalculateNormals(&test, &results, &normals));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EquineResultsThenNormals);

}  // namespace

BENCHMARK_MAIN();

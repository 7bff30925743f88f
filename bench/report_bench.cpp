// report_bench.cpp: time to write the HTML report of a full analyser (100 calculated tests).
#include <benchmark/benchmark.h>

#include <sstream>

#include "report_html.h"

namespace {

kv::cli::TestSet HundredTests() {
  std::vector<kv::cli::HumanRow> rows(100);
  for (int i = 0; i < 100; ++i) {
    rows[i].slot = i;
    rows[i].test = {7, 1060882, 1707727277 + i * 3600, i % 2, 20 + i % 60, 150 + i % 45, 50.0f + float(i % 50),
                    1 + i % 5, 70 + i % 30, 90 + i % 20, 500 + i, 450 + i, 430 + i, 410 + i, 445 + i, 0, 0, 0, nullptr};
  }
  kv::cli::TestSet tests = std::move(rows);
  kv::cli::CalculateAll(tests, 0);
  return tests;
}

void BM_Report100Tests(benchmark::State& state) {
  const kv::cli::TestSet tests = HundredTests();
  size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    kv::cli::report::WriteReport(out, tests, {kv::cli::TimeStyle::kUtc});
    bytes = out.str().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["html_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Report100Tests)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

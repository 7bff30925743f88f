// sim_engine_bench.cpp: throughput of the simulator's protocol engine (bytes of reply produced per
// second) for the stored-test download, the largest reply, and for short identity exchanges.
#include <benchmark/benchmark.h>

#include "engine.h"

namespace {

using kv::sim::Engine;
using kv::sim::Micros;

void RunExchanges(benchmark::State& state, uint8_t command) {
  Engine engine(kv::sim::PresetScenario(7));
  Micros now{0};
  engine.HostAttached(now);
  engine.TakeDue(now);
  const uint8_t answer[] = {kv::sim::kHandshake};
  engine.Receive(answer, now);
  const uint8_t request[] = {kv::sim::kFrameStart, command};
  size_t bytes = 0;
  for (auto _ : state) {
    now += Micros(1);
    engine.Receive(request, now);
    auto reply = engine.TakeDue(now);
    bytes += reply.size();
    benchmark::DoNotOptimize(reply.data());
    if (engine.recording().Events().size() > 1'000'000) {
      state.PauseTiming();
      engine.recording().Clear();
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_StoredTestDownload(benchmark::State& state) { RunExchanges(state, kv::sim::kCmdStoredTests); }
void BM_SerialNumberExchange(benchmark::State& state) { RunExchanges(state, kv::sim::kCmdSerialNumber); }

BENCHMARK(BM_StoredTestDownload);
BENCHMARK(BM_SerialNumberExchange);

}  // namespace

BENCHMARK_MAIN();

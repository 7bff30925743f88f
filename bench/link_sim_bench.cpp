// link_sim_bench.cpp: the link through the exports against the simulator on a pseudo-terminal,
// real clock and backend. Reports a two-byte request exchange as a ratio to its 0.4 s floor
// (two bytes paced 200 ms each), a whole stored-test download against its 1.2 s floor with the
// processor time it takes, and the process's processor time during a 5 s KVConnect wait.
// The simulator runs on a thread of this process, so its processor time is counted too.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>

#include "KorvantaSDK.h"
#include "pty_runner.h"
#include "scenario.h"

namespace {

std::basic_string<KVWChar> Wide(const std::string& text) { return {text.begin(), text.end()}; }

// One exchange of command 0x23: request of two paced bytes, echo, 3 bytes, acknowledgement.
void BM_SerialNumberExchangeVsFloor(benchmark::State& state) {
  kv::sim::PtySimulator simulator(kv::sim::PresetScenario(7));
  std::string error;
  if (!simulator.Start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  if (KVOpenComport(Wide(simulator.PortPath()).c_str()) != 0 || KVConnect() != 0) {
    state.SkipWithError("could not open and connect to the simulator");
    return;
  }
  double seconds = 0;
  for (auto _ : state) {
    uint32_t serial = 0;
    const auto start = std::chrono::steady_clock::now();
    const int rc = KVReadSerialNumber(&serial);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (rc != 0) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  KVCloseComport();
  state.counters["floor_ratio"] = seconds / static_cast<double>(state.iterations()) / 0.4;
}
BENCHMARK(BM_SerialNumberExchangeVsFloor)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// KVReadStoredTestData: six request bytes paced 200 ms each, then the 3200-byte block.
void BM_DownloadVsFloor(benchmark::State& state) {
  kv::sim::PtySimulator simulator(kv::sim::PresetScenario(7));
  std::string error;
  if (!simulator.Start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  if (KVOpenComport(Wide(simulator.PortPath()).c_str()) != 0 || KVConnect() != 0) {
    state.SkipWithError("could not open and connect to the simulator");
    return;
  }
  static KVStoredTests stored;
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    stored = KVStoredTests{};
    stored.capacity = KV_STORED_TEST_CAPACITY;
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    const int rc = KVReadStoredTestData(&stored);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (rc != 0) {
      state.SkipWithError("download failed");
      break;
    }
  }
  KVCloseComport();
  state.counters["floor_ratio"] = wall / static_cast<double>(state.iterations()) / 1.2;
  state.counters["cpu_share"] = wall > 0 ? cpu / wall : 0;
}
BENCHMARK(BM_DownloadVsFloor)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// KVConnect while the analyser stays off for 5 s: the wait must sleep, not spin.
void BM_ConnectWaitCpuShare(benchmark::State& state) {
  kv::sim::Scenario scenario = kv::sim::PresetScenario(7);
  scenario.handshake.delay = std::chrono::seconds{5};
  kv::sim::PtySimulator simulator(scenario);
  std::string error;
  if (!simulator.Start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    if (KVOpenComport(Wide(simulator.PortPath()).c_str()) != 0) {
      state.SkipWithError("could not open the simulator's port");
      break;
    }
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    const int rc = KVConnect();
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    KVCloseComport();
    if (rc != 0) {
      state.SkipWithError("connect failed");
      break;
    }
  }
  state.counters["wait_s"] = wall / static_cast<double>(state.iterations());
  state.counters["cpu_share"] = wall > 0 ? cpu / wall : 0;
}
BENCHMARK(BM_ConnectWaitCpuShare)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// session_bench.cpp: sessions against simulators on pseudo-terminals, real clock and backend.
// - N analysers (1, 2, 4, 8) downloading at once, one connected session and thread each: the wall
//   time over one download's alone (measured in the same run), and the process's processor time
//   over the wall time (the simulators are threads of this process, so their share counts too).
// - 200 cancels at random moments of a connect-and-download (handshake wait, pacing pauses, reply
//   and block receives): the time from KVSessionCancel to the call's return, median and maximum.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <future>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "KorvantaSession.h"
#include "pty_runner.h"
#include "scenario.h"

namespace {

using Clock = std::chrono::steady_clock;

std::basic_string<KVWChar> Wide(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::unique_ptr<kv::sim::PtySimulator>> StartSimulators(int count, std::string* error) {
  std::vector<std::unique_ptr<kv::sim::PtySimulator>> simulators;
  for (int i = 0; i < count; ++i) {
    simulators.push_back(std::make_unique<kv::sim::PtySimulator>(kv::sim::PresetScenario(7)));
    if (!simulators.back()->Start(error)) return {};
  }
  return simulators;
}

// A session on the simulator, connected; null when it could not be.
KVSession* Connected(const kv::sim::PtySimulator& simulator) {
  KVSession* session = nullptr;
  if (KVSessionOpen(Wide(simulator.PortPath()).c_str(), &session) != 0) return nullptr;
  if (KVSessionConnect(session) == 0) return session;
  KVSessionClose(session);
  return nullptr;
}

int32_t Download(KVSession* session) {
  static thread_local KVStoredTests stored;
  stored = KVStoredTests{};
  stored.capacity = KV_STORED_TEST_CAPACITY;
  return KVSessionReadStoredTestData(session, &stored);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The sessions are opened and connected first (the handshake waits for the analyser's next 0xA5,
// which would add its own jitter): what is timed is the downloads themselves.
void BM_AnalysersAtOnce(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::string error;
  auto simulators = StartSimulators(count, &error);
  if (simulators.empty()) return state.SkipWithError(error.c_str());
  std::vector<KVSession*> sessions;
  for (auto& simulator : simulators) sessions.push_back(Connected(*simulator));
  if (std::count(sessions.begin(), sessions.end(), nullptr) != 0) return state.SkipWithError("a connect failed");
  // The lone download, three times on the first session: the mean is the yardstick.
  double alone = 0;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    if (Download(sessions[0]) != 0) return state.SkipWithError("the lone download failed");
    alone += Seconds(Clock::now() - start) / 3;
  }
  double wall = 0, cpu = 0;
  for (auto _ : state) {
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    std::vector<std::future<int32_t>> downloads;
    for (KVSession* session : sessions)
      downloads.push_back(std::async(std::launch::async, [session] { return Download(session); }));
    bool ok = true;
    for (auto& d : downloads) ok = d.get() == 0 && ok;
    wall += Seconds(Clock::now() - start);
    cpu += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!ok) return state.SkipWithError("a download failed");
  }
  for (KVSession* session : sessions) KVSessionClose(session);
  state.counters["one_alone_s"] = alone;
  state.counters["vs_one"] = wall / static_cast<double>(state.iterations()) / alone;
  state.counters["cpu_share"] = cpu / wall;
}
BENCHMARK(BM_AnalysersAtOnce)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// One cancel: a session connects and downloads; another thread cancels after `delay`.
// The latency is from the cancel's return to the call's return; none when the call ended first.
std::optional<double> CancelAfter(const kv::sim::PtySimulator& simulator, Clock::duration delay) {
  KVSession* session = nullptr;
  if (KVSessionOpen(Wide(simulator.PortPath()).c_str(), &session) != 0) return std::nullopt;
  auto stored = std::make_unique<KVStoredTests>();
  stored->capacity = KV_STORED_TEST_CAPACITY;
  std::promise<Clock::time_point> returned;
  std::thread call([&] {
    int32_t rc = KVSessionConnect(session);
    if (rc == 0) rc = KVSessionReadStoredTestData(session, stored.get());
    returned.set_value(rc == KV_ERR_CANCELLED ? Clock::now() : Clock::time_point{});
  });
  std::this_thread::sleep_for(delay);
  KVSessionCancel(session);
  const Clock::time_point cancelled = Clock::now();
  const Clock::time_point end = returned.get_future().get();
  call.join();
  KVSessionClose(session);
  if (end == Clock::time_point{}) return std::nullopt;
  return Seconds(end - std::min(end, cancelled));
}

void BM_CancelLatency(benchmark::State& state) {
  constexpr int kWorkers = 4, kCancelsEach = 50;
  std::string error;
  auto simulators = StartSimulators(kWorkers, &error);
  if (simulators.empty()) return state.SkipWithError(error.c_str());
  std::vector<double> latencies;
  for (auto _ : state) {
    std::vector<std::future<std::vector<double>>> workers;
    for (int w = 0; w < kWorkers; ++w) {
      workers.push_back(std::async(std::launch::async, [&, w] {
        std::mt19937 random(1234 + w);
        std::uniform_int_distribution<int> delayMs(0, 1900);  // connect about 0.4 s, download about 1.5 s
        std::vector<double> mine;
        for (int i = 0; i < kCancelsEach; ++i)
          if (auto l = CancelAfter(*simulators[w], std::chrono::milliseconds{delayMs(random)})) mine.push_back(*l);
        return mine;
      }));
    }
    for (auto& w : workers) {
      const auto mine = w.get();
      latencies.insert(latencies.end(), mine.begin(), mine.end());
    }
  }
  if (latencies.empty()) return state.SkipWithError("no call was cancelled");
  std::sort(latencies.begin(), latencies.end());
  state.counters["cancels"] = static_cast<double>(latencies.size());
  state.counters["median_ms"] = latencies[latencies.size() / 2] * 1e3;
  state.counters["max_ms"] = latencies.back() * 1e3;
}
BENCHMARK(BM_CancelLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// calc_threads_test.cpp: the calculation exports called from several threads at once, each on its own
// records, give bit for bit what one thread gives. Under the tsan preset (label tsan) ThreadSanitizer
// also reports any state they share; on the other builds the comparison still runs.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "seeded_cases.h"

namespace {

using kv::calc::testing::MakeCase;
using kv::calc::testing::Outputs;
using kv::calc::testing::RunExports;

// The identity dump's seeded records: every family, spectra of every length, refused ones among them.
TEST(CalcThreads, ConcurrentCallsOnDistinctRecordsMatchOneThread) {
  constexpr int kThreads = 4, kPerThread = 48, kRounds = 20;
  std::vector<Outputs> expected;
  int accepted = 0;
  for (int i = 0; i < kThreads * kPerThread; ++i) {
    expected.push_back(RunExports(MakeCase(i)));
    accepted += expected.back().codes[0] == KV_OK;
  }
  EXPECT_GT(accepted, kThreads * kPerThread / 2);
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Threads walk their records in different orders, so calls of different families overlap.
      for (int round = 0; round < kRounds; ++round) {
        for (int k = 0; k < kPerThread; ++k) {
          const int i = t * kPerThread + (k * (t + 1) + round) % kPerThread;
          const Outputs o = RunExports(MakeCase(i));
          mismatches[static_cast<size_t>(t)] += std::memcmp(&o, &expected[static_cast<size_t>(i)], sizeof o) != 0;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::vector<int>(kThreads, 0), mismatches);
}

}  // namespace

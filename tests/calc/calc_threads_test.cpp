// calc_threads_test.cpp: the calculation exports called from several threads at once, each on its own
// records, give bit for bit what one thread gives. Under the tsan preset (label tsan) ThreadSanitizer
// also reports any state they share; on the other builds the comparison still runs.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "KorvantaSDK.h"
#include "calc_cases.h"

namespace {

struct Outcome {
  int32_t codes[3];
  KVResults results;
  KVNormals normals;
  CXResults equine;
  CXNormals equineNormals;
};

// Every human family in turn on both spectra, and both equine models, varied by the index.
Outcome Calculate(int i) {
  using kv::calc::testing::kColeSpectrum;
  using kv::calc::testing::kDepressedSpectrum;
  const int32_t models[] = {1, 2, 5, 7, 8, 14, 15};
  const KVTestRecord human = kv::calc::testing::Person(
      models[i % 7], i % 2, 5 + i % 80, 140 + i % 60, 40.0f + static_cast<float>(i % 50), 1 + i % 5, 80, 100,
      {600 - i, 540 - i, 500 - i, 530 - i}, i % 2 ? kColeSpectrum : kDepressedSpectrum, i % 2 ? 7 : 8);
  const CXTestRecord horse{12 + i % 2, 0,       0,       120 + i % 60, i % 10, 400, 390 - i,
                           380 - i,    370 - i, 360 - i, 350,          340,    0};
  Outcome o;
  std::memset(&o, 0, sizeof o);
  o.codes[0] = KVCalculateResults(&human, &o.results, static_cast<uint32_t>(i % 4));
  o.codes[1] = KVCalculateNormals(&human, &o.results, &o.normals);
  o.codes[2] = CXCalculateResults(&horse, &o.equine);
  CXCalculateNormals(&horse, &o.equine, &o.equineNormals);
  return o;
}

TEST(CalcThreads, ConcurrentCallsOnDistinctRecordsMatchOneThread) {
  constexpr int kThreads = 4, kPerThread = 24, kRounds = 20;
  std::vector<Outcome> expected;
  for (int i = 0; i < kThreads * kPerThread; ++i) {
    expected.push_back(Calculate(i));
    ASSERT_EQ(0, expected.back().codes[0] | expected.back().codes[1] | expected.back().codes[2]) << i;
  }
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Threads walk their records in different orders, so calls of different families overlap.
      for (int round = 0; round < kRounds; ++round) {
        for (int k = 0; k < kPerThread; ++k) {
          const int i = t * kPerThread + (k * (t + 1) + round) % kPerThread;
          const Outcome o = Calculate(i);
          mismatches[static_cast<size_t>(t)] += std::memcmp(&o, &expected[static_cast<size_t>(i)], sizeof o) != 0;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::vector<int>(kThreads, 0), mismatches);
}

}  // namespace

// calc_threads_test.cpp: the calculation exports called from several threads at once, each on its
// own records, must give bit for bit what one thread gives. Run under the tsan preset (label tsan),
// where ThreadSanitizer reports any shared state they touch; on the other builds it still compares.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "KorvantaSDK.h"

namespace {

constexpr int kThreads = 4;
constexpr int kTestsPerThread = 24;
constexpr int kRounds = 20;

struct HumanCase {
  KVTestRecord test{};
  std::vector<KVSpectrumPoint> spectrum;
  uint32_t water = 0;
};

// The results and normals one call sequence gives, kept as bytes to compare NaNs as well.
struct Outcome {
  int32_t resultsCode = 0;
  int32_t normalsCode = 0;
  KVResults results{};
  KVNormals normals{};
  int32_t equineCode = 0;
  CXResults equine{};
  CXNormals equineNormals{};
  bool operator==(const Outcome& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

// A plain linear congruential sequence, so every run builds the same records.
struct Sequence {
  uint32_t state;
  int32_t Next(int32_t low, int32_t high) {
    state = state * 1664525u + 1013904223u;
    return low + static_cast<int32_t>((state >> 8) % static_cast<uint32_t>(high - low + 1));
  }
};

// Every human family in turn, with a Cole-shaped spectrum (R0 600, Rinf 400, fc 50, alpha 0.7)
// scaled per test for the spectrum family.
HumanCase MakeHumanCase(int index) {
  static constexpr int32_t kModels[] = {1, 2, 5, 7, 8, 14, 15};
  Sequence seq{static_cast<uint32_t>(index * 7919 + 13)};
  HumanCase c;
  KVTestRecord& t = c.test;
  t.modelCode = kModels[index % 7];
  t.sex = seq.Next(0, 1);
  t.age = seq.Next(6, 90);
  t.height = seq.Next(120, 200);
  t.weight = static_cast<float>(seq.Next(300, 1500)) / 10.0f;
  t.activityLevel = seq.Next(1, 5);
  t.waist = seq.Next(60, 120);
  t.hip = seq.Next(80, 130);
  t.impedanceF1 = seq.Next(450, 800);
  t.impedanceF2 = t.impedanceF1 - seq.Next(30, 80);
  t.impedanceF3 = t.impedanceF2 - 20;
  t.impedanceF4 = t.impedanceF2 - seq.Next(30, 60);
  t.resistance = t.impedanceF2 - 5;
  c.water = static_cast<uint32_t>(seq.Next(0, 3));
  const double scale = 1.0 + static_cast<double>(seq.Next(0, 40)) / 100.0;
  for (int i = 0; i < 30; ++i) {
    const double f = 5.0 * std::pow(10.0, i * 2.3 / 29.0);  // 5 to about 1000
    const std::complex<double> z =
        400.0 * scale + 200.0 * scale / (1.0 + std::pow(std::complex<double>(0.0, f / 50.0), 0.7));
    c.spectrum.push_back({static_cast<float>(f), static_cast<float>(std::abs(z)),
                          static_cast<float>(std::arg(z) * 180.0 / 3.14159265358979)});
  }
  t.spectrumCount = static_cast<int32_t>(c.spectrum.size());
  t.spectrum = c.spectrum.data();
  return c;
}

CXTestRecord MakeEquineCase(int index) {
  Sequence seq{static_cast<uint32_t>(index * 104729 + 7)};
  CXTestRecord t{};
  t.modelCode = 12 + index % 2;
  t.height = seq.Next(120, 180);
  t.conditionScore = seq.Next(0, 9);
  int32_t z = seq.Next(300, 500);
  for (int32_t* reading : {&t.impedance5, &t.impedance16, &t.impedance24, &t.impedance50, &t.impedance140,
                           &t.impedance200, &t.impedance280}) {
    *reading = z;
    z -= seq.Next(5, 30);
  }
  t.decimalReading = static_cast<float>(seq.Next(0, 100)) / 10.0f;
  return t;
}

Outcome Calculate(const HumanCase& human, const CXTestRecord& horse) {
  Outcome o;
  o.resultsCode = KVCalculateResults(&human.test, &o.results, human.water);
  o.normalsCode = KVCalculateNormals(&human.test, &o.results, &o.normals);
  o.equineCode = CXCalculateResults(&horse, &o.equine);
  CXCalculateNormals(&horse, &o.equine, &o.equineNormals);
  return o;
}

TEST(CalcThreads, ConcurrentCallsOnDistinctRecordsMatchOneThread) {
  const int total = kThreads * kTestsPerThread;
  std::vector<HumanCase> humans;
  std::vector<CXTestRecord> horses;
  for (int i = 0; i < total; ++i) {
    humans.push_back(MakeHumanCase(i));
    horses.push_back(MakeEquineCase(i));
  }
  // The vectors no longer move, so the spectrum pointers stay good.
  for (HumanCase& h : humans) h.test.spectrum = h.spectrum.data();

  std::vector<Outcome> expected;
  for (int i = 0; i < total; ++i) expected.push_back(Calculate(humans[size_t(i)], horses[size_t(i)]));
  int succeeded = 0;
  for (const Outcome& o : expected) succeeded += o.resultsCode == 0 && o.normalsCode == 0 && o.equineCode == 0;
  ASSERT_EQ(succeeded, total) << "every record is valid, so every call should succeed";

  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round)
        for (int k = 0; k < kTestsPerThread; ++k) {
          // Threads walk their records in different orders, so calls of different families overlap.
          const size_t i = size_t(t * kTestsPerThread + (k * (t + 1) + round) % kTestsPerThread);
          if (!(Calculate(humans[i], horses[i]) == expected[i])) ++mismatches[size_t(t)];
        }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[size_t(t)], 0) << "thread " << t;
}

}  // namespace

// link_download_bench.cpp: decoding the 3200-byte stored-test block, and a whole download over
// a replaying port whose clock costs nothing, so only the link's own work is measured.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <deque>
#include <memory>
#include <vector>

#include "KorvantaSDK.h"
#include "link/comm.h"
#include "link/commands.h"
#include "link/stored_tests.h"

namespace {

using kv::link::Duration;

// A clock whose sleeps end at once: the 200 ms pacing of each byte costs nothing here.
class InstantClock : public kv::link::Clock {
 public:
  Duration Now() override { return now_; }
  void Sleep(Duration duration) override { now_ += duration; }

 private:
  Duration now_{};
};

// A port that accepts every byte and hands out what it was loaded with, as fast as asked.
class ReplayPort : public kv::link::SerialPort {
 public:
  void Load(const std::vector<uint8_t>& bytes) { input_.insert(input_.end(), bytes.begin(), bytes.end()); }
  kv::link::PathStyle Style() const override { return kv::link::PathStyle::kWindows; }
  bool Open(std::u16string_view) override { return true; }
  bool SetQueueSizes(uint32_t, uint32_t) override { return true; }
  bool SetReadsReturnAtOnce() override { return true; }
  bool ReadLineSettings(kv::link::LineSettings&) override { return true; }
  bool WriteLineSettings(const kv::link::LineSettings&) override { return true; }
  bool QueryStatus(kv::link::PortStatus& status) override {
    status = {0, static_cast<uint32_t>(input_.size()), 0};
    return true;
  }
  void ClearBreak() override {}
  int ReadQueued(std::span<uint8_t> into) override {
    const size_t n = std::min(into.size(), input_.size());
    std::copy_n(input_.begin(), n, into.begin());
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int>(n);
  }
  int WriteByte(uint8_t) override { return 1; }
  bool WaitForInput(Duration) override { return !input_.empty(); }
  void PurgeInput() override { input_.clear(); }
  void Close() override {}

 private:
  std::deque<uint8_t> input_;
};

// 100 slots in use with distinct values and a valid packed date each.
std::vector<uint8_t> HumanBlock() {
  std::vector<uint8_t> block(kv::link::kBlockSize);
  for (size_t i = 0; i < kv::link::kSlotCount; ++i) {
    uint8_t* slot = block.data() + i * kv::link::kSlotSize;
    slot[0] = static_cast<uint8_t>(i % 5);
    slot[2] = static_cast<uint8_t>(20 + i % 60);
    slot[3] = static_cast<uint8_t>(150 + i % 50);
    slot[4] = 0x02;
    slot[5] = static_cast<uint8_t>(i);
    for (size_t w = 6; w < 32; w += 2) slot[w] = 0x01, slot[w + 1] = static_cast<uint8_t>(i + w);
    const uint8_t packed[6] = {0x30, 0x15, 0x09, static_cast<uint8_t>(0x10 + i % 9), 0x06, 0x24};
    std::copy(std::begin(packed), std::end(packed), slot + 12);
  }
  return block;
}

void BM_DecodeHumanBlock(benchmark::State& state) {
  const std::vector<uint8_t> block = HumanBlock();
  auto records = std::make_unique<std::array<KVTestRecord, kv::link::kSlotCount>>();
  const kv::link::AnalyserIdentity identity{7, 66051, state.range(0) != 0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(kv::link::DecodeHumanBlock(kv::link::BlockBytes{block.data(), kv::link::kBlockSize},
                                                        identity, *records));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kv::link::kBlockSize));
}
BENCHMARK(BM_DecodeHumanBlock)->ArgName("slotTimes")->Arg(1)->Arg(0);

void BM_DecodeEquineBlock(benchmark::State& state) {
  const std::vector<uint8_t> block = HumanBlock();
  auto records = std::make_unique<std::array<CXTestRecord, kv::link::kSlotCount>>();
  const kv::link::AnalyserIdentity identity{12, 66051, true};
  for (auto _ : state) {
    benchmark::DoNotOptimize(kv::link::DecodeEquineBlock(kv::link::BlockBytes{block.data(), kv::link::kBlockSize},
                                                         identity, *records));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kv::link::kBlockSize));
}
BENCHMARK(BM_DecodeEquineBlock);

// Model, serial number and block exchanges: 6 bytes out, 3221 in, then the decoding.
void BM_DownloadOverReplayPort(benchmark::State& state) {
  std::vector<uint8_t> answers = {0x5A, 0x21, 7, 1, 2, 0x5A, 0x00, 0x5A, 0x23, 1, 2, 3, 0x5A, 0x00, 0x5A, 0x30, 0, 0, 1};
  const std::vector<uint8_t> block = HumanBlock();
  answers.insert(answers.end(), block.begin(), block.end());
  answers.push_back(0x5A);
  answers.push_back(0x00);
  InstantClock clock;
  ReplayPort port;
  kv::link::CKVComm comm{port, clock};
  if (comm.Open(u"5") != 0) state.SkipWithError("open failed");
  auto stored = std::make_unique<KVStoredTests>();
  stored->capacity = KV_STORED_TEST_CAPACITY;
  for (auto _ : state) {
    state.PauseTiming();
    port.Load(answers);
    state.ResumeTiming();
    const int rc = kv::link::ReadStoredTestData(comm, stored.get());
    if (rc != 0) state.SkipWithError("download failed");
    benchmark::DoNotOptimize(stored->testCount);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(answers.size()));
}
BENCHMARK(BM_DownloadOverReplayPort);

}  // namespace

BENCHMARK_MAIN();

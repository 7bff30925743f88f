// link_comm_bench.cpp: cost of the link's own logic, without the line: exchanges through
// CKVComm over an in-memory analyser and a clock that costs nothing, so pacing adds no time.
// Reports bytes per second of the framing, receive and send logic.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "link/comm.h"
#include "link/exchange.h"
#include "link/serial_port.h"

namespace {

using kv::link::Duration;

// Time moves only when slept on, so a 200 ms pause costs one call.
class FreeClock final : public kv::link::Clock {
 public:
  Duration Now() override { return now_; }
  void Sleep(Duration d) override { now_ += d; }

 private:
  Duration now_{};
};

// An analyser in memory: answers each two-byte request with its echo, a fixed payload and
// the acknowledgement, all queued at once.
class LoopbackAnalyser final : public kv::link::SerialPort {
 public:
  explicit LoopbackAnalyser(size_t payloadBytes) : payload_(payloadBytes) {
    for (size_t i = 0; i < payload_.size(); ++i) payload_[i] = static_cast<uint8_t>(i);
  }
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
  int WriteByte(uint8_t byte) override {
    request_.push_back(byte);
    if (request_.size() == 2) {
      input_.insert(input_.end(), request_.begin(), request_.end());
      input_.insert(input_.end(), payload_.begin(), payload_.end());
      input_.push_back(0x5A);
      input_.push_back(0x00);
      request_.clear();
    }
    return 1;
  }
  bool WaitForInput(Duration) override { return !input_.empty(); }
  void PurgeInput() override { input_.clear(); }
  void Close() override {}

 private:
  std::vector<uint8_t> payload_;
  std::vector<uint8_t> request_;
  std::deque<uint8_t> input_;
};

// One read exchange per iteration; range(0) is the payload length (3: identity, 3203: block).
void BM_ReadExchange(benchmark::State& state) {
  const auto payloadBytes = static_cast<size_t>(state.range(0));
  FreeClock clock;
  LoopbackAnalyser analyser(payloadBytes);
  kv::link::CKVComm comm(analyser, clock);
  if (comm.Open(u"1") != 0) {
    state.SkipWithError("open failed");
    return;
  }
  std::vector<uint8_t> payload(payloadBytes);
  for (auto _ : state) {
    const int rc = kv::link::ReadExchange(comm, kv::link::kCmdStoredTests, payload);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(payload.data());
  }
  // Bytes on the wire per exchange: request, echo, payload, acknowledgement.
  const auto wireBytes = static_cast<int64_t>(2 + 2 + payloadBytes + 2);
  state.SetBytesProcessed(state.iterations() * wireBytes);
}
BENCHMARK(BM_ReadExchange)->Arg(3)->Arg(12)->Arg(3203);

// The send path alone: six paced units (the clock data of a write), queue check and pause each.
void BM_PacedSend(benchmark::State& state) {
  FreeClock clock;
  LoopbackAnalyser analyser(0);
  kv::link::CKVComm comm(analyser, clock);
  if (comm.Open(u"1") != 0) {
    state.SkipWithError("open failed");
    return;
  }
  const char16_t units[6] = {0x09, 0x07, 0x14, 0x05, 0x03, 0x24};
  for (auto _ : state) {
    benchmark::DoNotOptimize(comm.CommSend(units));
    analyser.PurgeInput();
  }
  state.SetBytesProcessed(state.iterations() * 6);
}
BENCHMARK(BM_PacedSend);

}  // namespace

BENCHMARK_MAIN();

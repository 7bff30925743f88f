// fuzz_port.h: the analyser's side of the serial line played from fuzz input, over the tests' fake
// clock (time moves only when the link sleeps or waits). Answers each request with an
// echo, payload and acknowledgement that the input may spoil, cut short or replace by a line
// error. Fuzzing only.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

#include "link/exchange.h"
#include "link/serial_port.h"
#include "fake_clock.h"
#include "require.h"

namespace kv::fuzz {

using FuzzClock = link::testing::FakeClock;

class FuzzPort : public link::SerialPort {
 public:
  FuzzPort(FuzzedDataProvider& in, FuzzClock& clock) : in_(in), clock_(clock) {}

  // The next handshake wait sees a burst of input bytes first (which may hold 0xA5).
  void ArmHandshake() { handshakePending_ = true; }
  // Chunks of bytes handed over and bytes written: the budget of a call's time.
  size_t Deliveries() const { return deliveries_; }
  size_t Written() const { return written_; }
  void SetStyle(link::PathStyle style) { style_ = style; }

  link::PathStyle Style() const override { return style_; }
  bool Open(std::u16string_view devicePath) override {
    Require(devicePath.size() <= 511, "device path longer than the 511 characters promised");
    return !open_ && !Fails() && (open_ = true);
  }
  bool SetQueueSizes(uint32_t, uint32_t) override { return open_ && !Fails(); }
  bool SetReadsReturnAtOnce() override { return open_ && !Fails(); }
  bool ReadLineSettings(link::LineSettings& settings) override { return settings = {}, open_ && !Fails(); }
  bool WriteLineSettings(const link::LineSettings&) override { return open_ && !Fails(); }
  bool QueryStatus(link::PortStatus& status) override {
    Require(++polls_ < 2'000'000, "the link polls without end");
    if (!open_ || Fails()) return false;
    if (std::exchange(handshakePending_, false)) {
      Queue(in_.ConsumeBytes<uint8_t>(in_.ConsumeIntegralInRange<size_t>(0, 80)));
      if (in_.ConsumeBool()) input_.push_back(link::kHandshakeByte);
    }
    status = {std::exchange(errors_, 0u), uint32_t(input_.size()), drainStuck_ ? 1u : 0u};
    return true;
  }
  void ClearBreak() override {}
  int ReadQueued(std::span<uint8_t> into) override {
    if (!open_ || (!input_.empty() && in_.ConsumeIntegralInRange<int>(0, 63) == 0)) return -1;
    size_t n = 0;
    for (; n < into.size() && !input_.empty(); ++n, input_.pop_front()) into[n] = input_.front();
    return static_cast<int>(n);
  }
  int WriteByte(uint8_t byte) override {
    if (!open_) return -1;
    drainStuck_ = in_.ConsumeIntegralInRange<int>(0, 31) == 0;
    if (in_.ConsumeIntegralInRange<int>(0, 31) == 0) return 0;
    ++written_;
    if (afterFrameStart_) Answer(byte);
    afterFrameStart_ = byte == link::kFrameStart;
    return 1;
  }
  bool WaitForInput(link::Duration limit) override {
    if (!input_.empty() || errors_ != 0) return true;
    clock_.Sleep(std::max(limit, link::Duration{1}));
    return false;
  }
  void PurgeInput() override { input_.clear(); }
  void Close() override { open_ = false, input_.clear(); }

 private:
  bool Fails() { return in_.ConsumeIntegralInRange<int>(0, 63) == 0; }
  void Queue(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) ++deliveries_, input_.insert(input_.end(), bytes.begin(), bytes.end());
  }

  // The analyser's answer to "Z" + command.
  void Answer(uint8_t command) {
    const size_t payload = link::PayloadBytes(command);
    std::vector<uint8_t> reply = {link::kFrameStart, command};
    const int kind = in_.ConsumeIntegralInRange<int>(0, 7);
    if (kind <= 2) {  // a well-formed answer, payload cut short when the input runs out
      std::vector<uint8_t> body = in_.ConsumeBytes<uint8_t>(payload);
      reply.insert(reply.end(), body.begin(), body.end());
      if (body.size() == payload) reply.insert(reply.end(), {link::kFrameStart, link::kAckSecond});
    } else if (kind == 3) {  // a payload of a few input bytes repeated (long blocks from short input)
      std::vector<uint8_t> pattern = in_.ConsumeBytes<uint8_t>(in_.ConsumeIntegralInRange<size_t>(1, 64));
      if (pattern.empty()) pattern.push_back(0);
      for (size_t i = 0; i < payload; ++i) reply.push_back(pattern[i % pattern.size()]);
      for (uint8_t b : in_.ConsumeBytes<uint8_t>(2)) reply.push_back(b);
    } else if (kind == 4) {  // some of the answer, then a line error
      for (uint8_t b : in_.ConsumeBytes<uint8_t>(in_.ConsumeIntegralInRange<size_t>(0, payload))) reply.push_back(b);
      errors_ = 1u << in_.ConsumeIntegralInRange<int>(0, 4);
    } else {  // any bytes at all, a wrong echo, or silence
      reply = in_.ConsumeBytes<uint8_t>(kind == 5 ? in_.ConsumeIntegralInRange<size_t>(0, 4000) : kind == 6 ? 2 : 0);
    }
    Queue(reply);
  }

  FuzzedDataProvider& in_;
  FuzzClock& clock_;
  link::PathStyle style_ = link::PathStyle::kWindows;
  std::deque<uint8_t> input_;
  uint32_t errors_ = 0;
  bool open_ = false, drainStuck_ = false, afterFrameStart_ = false, handshakePending_ = false;
  size_t deliveries_ = 0, written_ = 0, polls_ = 0;
};

}  // namespace kv::fuzz

// fake_serial_port.cpp: the scripted chat of FakeSerialPort. Time moves only on the FakeClock;
// a wait for input jumps the clock to the next reply instead of sleeping. Test code only.
#include "fake_serial_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace kv::link::testing {

FakeSerialPort& FakeSerialPort::Add(Step step) {
  // A reply or error scripted while the link waits counts its delay from now.
  if (step.kind != kExpect && cursor_ == steps_.size()) stepStart_ = clock_.Now();
  if (step.kind != kExpect || !step.bytes.empty()) steps_.push_back(std::move(step));
  return *this;
}

std::vector<uint8_t> FakeSerialPort::SentBytes() const {
  std::vector<uint8_t> bytes;
  for (const SentByte& sent : sent_) bytes.push_back(sent.byte);
  return bytes;
}

bool FakeSerialPort::Begin(Call call) {
  calls_.push_back(call);
  const int nth = CallCount(call);
  if (auto it = failAt_.find(call); it != failAt_.end() && it->second.count(nth) != 0) return false;
  if (auto it = failFrom_.find(call); it != failFrom_.end() && nth >= it->second) return false;
  return true;
}

std::optional<Duration> FakeSerialPort::NextDue() const {
  if (cursor_ == steps_.size() || steps_[cursor_].kind == kExpect) return std::nullopt;
  return stepStart_ + steps_[cursor_].after;
}

void FakeSerialPort::Pump() {
  while (cursor_ < steps_.size()) {
    const std::optional<Duration> due = NextDue();
    if (!due || *due > clock_.Now()) return;
    const Step& step = steps_[cursor_];
    if (step.kind == kReply) {
      // The analyser talks to whoever holds the line; with the port closed its bytes are lost.
      if (open_) input_.insert(input_.end(), step.bytes.begin(), step.bytes.end());
    } else {
      pendingErrors_ |= step.errors;
    }
    stepStart_ = *due;
    ++cursor_;
  }
}

bool FakeSerialPort::QueryStatus(PortStatus& status) {
  if (!Ok(Call::kQueryStatus)) return false;
  Pump();
  status = {std::exchange(pendingErrors_, 0u), uint32_t(input_.size()), drainLeft_ > 0 ? 1u : 0u};
  drainLeft_ = std::max(drainLeft_ - 1, 0);
  return true;
}

int FakeSerialPort::ReadQueued(std::span<uint8_t> into) {
  if (!Ok(Call::kReadQueued)) return -1;
  Pump();
  const size_t n = std::min(into.size(), input_.size());
  std::copy_n(input_.begin(), n, into.begin());
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
  return static_cast<int>(n);
}

int FakeSerialPort::WriteByte(uint8_t byte) {
  if (!Ok(Call::kWriteByte)) return 0;
  Pump();
  sent_.push_back(SentByte{byte, clock_.Now()});
  drainLeft_ = drainPolls_;
  if (acceptAnySent_) return 1;
  if (cursor_ == steps_.size() || steps_[cursor_].kind != kExpect) {
    ADD_FAILURE() << "unexpected byte 0x" << std::hex << int{byte} << " written (script step " << std::dec << cursor_
                  << " of " << steps_.size() << ")";
    return 1;
  }
  const Step& step = steps_[cursor_];
  EXPECT_EQ(int{step.bytes[expectPos_]}, int{byte}) << "byte " << expectPos_ << " of script step " << cursor_;
  if (++expectPos_ == step.bytes.size()) {
    expectPos_ = 0;
    ++cursor_;
    stepStart_ = clock_.Now();
    Pump();
  }
  return 1;
}

bool FakeSerialPort::WaitForInput(Duration limit) {
  if (!Begin(Call::kWaitForInput)) return false;
  Pump();
  if (!input_.empty() || pendingErrors_ != 0) return true;
  const Duration until = clock_.Now() + limit;
  if (const std::optional<Duration> due = NextDue(); due && *due <= until) {
    clock_.Advance(std::max(*due - clock_.Now(), Duration::zero()));
    Pump();
    return !input_.empty() || pendingErrors_ != 0;
  }
  clock_.Advance(limit > Duration::zero() ? limit : Duration::zero());
  return false;
}

void FakeSerialPort::PurgeInput() {
  if (!Ok(Call::kPurgeInput)) return;
  Pump();
  purged_.insert(purged_.end(), input_.begin(), input_.end());
  input_.clear();
}

void FakeSerialPort::Close() {
  Begin(Call::kClose);
  open_ = false;
  input_.clear();
  pendingErrors_ = 0;
}

}  // namespace kv::link::testing

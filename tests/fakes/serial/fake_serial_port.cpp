// fake_serial_port.cpp: the scripted chat of FakeSerialPort. Time moves only on the FakeClock;
// a wait for input jumps the clock to the next reply instead of sleeping. Test code only.
#include "fake_serial_port.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kv::link::testing {

FakeSerialPort& FakeSerialPort::Add(Step step) {
  // A reply or error scripted while the link waits counts its delay from now.
  if (step.kind != kExpect && cursor_ == steps_.size()) stepStart_ = clock_.Now();
  if (step.kind != kExpect || !step.bytes.empty()) steps_.push_back(std::move(step));
  return *this;
}

bool FakeSerialPort::ScriptDone() {
  Pump();
  return cursor_ == steps_.size();
}

size_t FakeSerialPort::InputQueued() {
  Pump();
  return input_.size();
}

std::vector<uint8_t> FakeSerialPort::SentBytes() const {
  std::vector<uint8_t> bytes;
  for (const SentByte& sent : sent_) bytes.push_back(sent.byte);
  return bytes;
}

bool FakeSerialPort::Begin(Call call) {
  calls_.push_back(call);
  const int nth = ++counts_[call];
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

bool FakeSerialPort::Open(std::u16string_view devicePath) {
  if (!Begin(Call::kOpen) || open_) return false;
  open_ = true;
  openedPath_ = std::u16string(devicePath);
  Pump();
  return true;
}

bool FakeSerialPort::SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) {
  if (!Begin(Call::kSetQueueSizes) || !open_) return false;
  queueSizes_ = {inputBytes, outputBytes};
  return true;
}

bool FakeSerialPort::ReadLineSettings(LineSettings& settings) {
  if (!Begin(Call::kReadLineSettings) || !open_) return false;
  settings = applied_.value_or(driverSettings_);
  return true;
}

bool FakeSerialPort::WriteLineSettings(const LineSettings& settings) {
  if (!Begin(Call::kWriteLineSettings) || !open_) return false;
  applied_ = settings;
  return true;
}

bool FakeSerialPort::QueryStatus(PortStatus& status) {
  if (!Begin(Call::kQueryStatus) || !open_) return false;
  Pump();
  status.errors = pendingErrors_;
  pendingErrors_ = 0;
  status.inputQueued = static_cast<uint32_t>(input_.size());
  status.outputQueued = drainLeft_ > 0 ? 1u : 0u;
  if (drainLeft_ > 0) --drainLeft_;
  return true;
}

int FakeSerialPort::ReadQueued(std::span<uint8_t> into) {
  if (!Begin(Call::kReadQueued) || !open_) return -1;
  Pump();
  const size_t n = std::min(into.size(), input_.size());
  std::copy_n(input_.begin(), n, into.begin());
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
  return static_cast<int>(n);
}

int FakeSerialPort::WriteByte(uint8_t byte) {
  if (!Begin(Call::kWriteByte) || !open_) return 0;
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
  if (!Begin(Call::kPurgeInput) || !open_) return;
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

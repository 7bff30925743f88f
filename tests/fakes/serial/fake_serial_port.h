// fake_serial_port.h: a SerialPort that plays a byte transcript against the link (bytes it must write,
// bytes sent back after a delay, line errors) over the fake clock, and fails the Nth call of an operation
// when told. Records calls and writes. Test code only.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fake_clock.h"

namespace kv::link::testing {

class FakeSerialPort : public SerialPort {
 public:
  enum class Call { kOpen, kSetQueueSizes, kSetReadsReturnAtOnce, kReadLineSettings, kWriteLineSettings,
                    kQueryStatus, kClearBreak, kReadQueued, kWriteByte, kWaitForInput, kPurgeInput, kClose };
  struct SentByte { uint8_t byte; Duration at; };
  explicit FakeSerialPort(FakeClock& clock) : clock_(clock), stepStart_(clock.Now()) {}

  // Appends to the transcript, played in order, each step starting when the one before is done:
  // "> 5A 21" the bytes the link must write next; "< 5A 21 07" bytes arriving in the input queue;
  // "+40" milliseconds before the next arrival; "!8" error flags for the next status query.
  // A reply or error appended while the link waits counts its delay from now.
  FakeSerialPort& Play(const std::string& transcript) {
    std::istringstream in(transcript);
    Duration after{};
    for (std::string token; in >> token;) {
      if (token[0] == '+') after = std::chrono::milliseconds{std::stol(token.substr(1))};
      if (token[0] == '<' || token[0] == '!' || token[0] == '>') {
        if (token[0] != '>' && cursor_ == steps_.size()) stepStart_ = clock_.Now();
        steps_.push_back({token[0], {}, std::exchange(after, {}), token[0] == '!' ? uint32_t(std::stoul(token.substr(1),
            nullptr, 16)) : 0});
      } else if (token[0] != '+') {
        steps_.back().bytes.push_back(uint8_t(std::stoul(token, nullptr, 16)));
      }
    }
    return *this;
  }
  void AcceptAnySent() { acceptAnySent_ = true; }                  // written bytes recorded, not checked
  bool ScriptDone() { return Pump(), cursor_ == steps_.size(); }  // every step done
  size_t InputQueued() { return Pump(), input_.size(); }           // bytes arrived and not yet read
  void FailCalls(Call call, int nth, int count = 1) { failAt_[call] = {nth, nth + count - 1}; }  // nth from 1
  void SetOutputDrainPolls(int polls) { drainPolls_ = polls; }  // status queries that see a written byte queued

  const std::vector<Call>& Calls() const { return calls_; }
  int CallCount(Call call) const { return int(std::count(calls_.begin(), calls_.end(), call)); }
  const std::vector<SentByte>& Sent() const { return sent_; }
  const std::optional<LineSettings>& AppliedSettings() const { return applied_; }
  const std::u16string& OpenedPath() const { return openedPath_; }
  bool PortOpen() const { return open_; }
  std::array<uint32_t, 2> QueueSizes() const { return queueSizes_; }
  const std::vector<uint8_t>& Purged() const { return purged_; }

  PathStyle Style() const override { return PathStyle::kWindows; }
  bool Open(std::u16string_view path) override {
    return Begin(Call::kOpen) && !open_ && (open_ = true, openedPath_ = path, Pump(), true);
  }
  bool SetQueueSizes(uint32_t in, uint32_t out) override { return Ok(Call::kSetQueueSizes) && (queueSizes_ = {in, out},
      true); }
  bool SetReadsReturnAtOnce() override { return Ok(Call::kSetReadsReturnAtOnce); }
  bool ReadLineSettings(LineSettings& s) override {
    return Ok(Call::kReadLineSettings) && (s = applied_.value_or(driver_), true);
  }
  bool WriteLineSettings(const LineSettings& s) override {
    return Ok(Call::kWriteLineSettings) && (applied_ = s, true);
  }
  bool QueryStatus(PortStatus& status) override {
    if (!Ok(Call::kQueryStatus)) return false;
    Pump();
    status = {std::exchange(errors_, 0u), uint32_t(input_.size()), drainLeft_ > 0 ? 1u : 0u};
    drainLeft_ = std::max(drainLeft_ - 1, 0);
    return true;
  }
  void ClearBreak() override { Begin(Call::kClearBreak); }
  int ReadQueued(std::span<uint8_t> into) override {
    if (!Ok(Call::kReadQueued)) return -1;
    Pump();
    const size_t n = std::min(into.size(), input_.size());
    std::copy_n(input_.begin(), n, into.begin());
    input_.erase(input_.begin(), input_.begin() + std::ptrdiff_t(n));
    return int(n);
  }
  int WriteByte(uint8_t byte) override {
    if (!Ok(Call::kWriteByte)) return 0;
    Pump();
    sent_.push_back({byte, clock_.Now()});
    drainLeft_ = drainPolls_;
    if (acceptAnySent_) return 1;
    if (cursor_ == steps_.size() || steps_[cursor_].kind != '>') {
      ADD_FAILURE() << "unexpected byte " << int{byte} << " written at transcript step " << cursor_;
      return 1;
    }
    EXPECT_EQ(int{steps_[cursor_].bytes[expectPos_]}, int{byte}) << "byte " << expectPos_ << " of step " << cursor_;
    if (++expectPos_ == steps_[cursor_].bytes.size()) expectPos_ = 0, ++cursor_, stepStart_ = clock_.Now(), Pump();
    return 1;
  }
  bool WaitForInput(Duration limit) override {
    if (!Begin(Call::kWaitForInput)) return false;
    Pump();
    const std::optional<Duration> due = NextDue();
    if (input_.empty() && errors_ == 0) {
      clock_.Advance(due && *due <= clock_.Now() + limit ? *due - clock_.Now() : std::max(limit, Duration::zero()));
      Pump();
    }
    return !input_.empty() || errors_ != 0;
  }
  void PurgeInput() override {
    if (!Ok(Call::kPurgeInput)) return;
    Pump();
    purged_.insert(purged_.end(), input_.begin(), input_.end());
    input_.clear();
  }
  void Close() override { Begin(Call::kClose), open_ = false, input_.clear(), errors_ = 0; }

 private:
  // kind: '>' written, '<' arriving, '!' line error
  struct Step { char kind; std::vector<uint8_t> bytes; Duration after; uint32_t errors; };
  bool Begin(Call call) {  // records the call; false when it is set to fail
    calls_.push_back(call);
    const auto it = failAt_.find(call);
    const int nth = CallCount(call);
    return it == failAt_.end() || nth < it->second.first || nth > it->second.second;
  }
  bool Ok(Call call) { return Begin(call) && open_; }
  std::optional<Duration> NextDue() const {
    if (cursor_ == steps_.size() || steps_[cursor_].kind == '>') return std::nullopt;
    return stepStart_ + steps_[cursor_].after;
  }
  void Pump() {  // delivers every arrival and error due by now; with the port closed, arrivals are lost
    for (std::optional<Duration> due; (due = NextDue()) && *due <= clock_.Now(); stepStart_ = *due, ++cursor_) {
      const Step& step = steps_[cursor_];
      if (open_) input_.insert(input_.end(), step.bytes.begin(), step.bytes.end());
      errors_ |= step.errors;
    }
  }

  FakeClock& clock_;
  std::vector<Step> steps_;
  size_t cursor_ = 0, expectPos_ = 0;
  Duration stepStart_;
  bool acceptAnySent_ = false, open_ = false;
  std::deque<uint8_t> input_;
  uint32_t errors_ = 0;
  int drainPolls_ = 0, drainLeft_ = 0;
  std::map<Call, std::pair<int, int>> failAt_;
  std::vector<Call> calls_;
  std::u16string openedPath_;
  std::array<uint32_t, 2> queueSizes_{};
  // The driver's settings before the first write: a port left in a very different state by some other program.
  LineSettings driver_{9600, 7, Parity::kEven, true, StopBits::kTwo, false, true, true, LineControl::kHandshake,
                       true, false, true, true, true, true, LineControl::kToggle, false};
  std::optional<LineSettings> applied_;
  std::vector<SentByte> sent_;
  std::vector<uint8_t> purged_;
};

}  // namespace kv::link::testing

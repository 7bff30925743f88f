// fake_serial_port.h: a SerialPort that plays a scripted chat with the link: bytes expected
// out, bytes sent back (after a delay on the FakeClock), line errors, and a failure at the Nth
// call of an operation. It records every call and every written byte with its time. Test code only.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "link/serial_port.h"

namespace kv::link::testing {

class FakeSerialPort : public SerialPort {
 public:
  enum class Call { kOpen, kSetQueueSizes, kSetReadsReturnAtOnce, kReadLineSettings, kWriteLineSettings,
                    kQueryStatus, kClearBreak, kReadQueued, kWriteByte, kWaitForInput, kPurgeInput, kClose };
  struct SentByte {
    uint8_t byte;
    Duration at;  // clock reading when the write was made
  };

  explicit FakeSerialPort(FakeClock& clock) : clock_(clock), stepStart_(clock.Now()) {}

  // ---- The script, played in order; a step starts when the one before it is done.
  // The link must write exactly these bytes next (an unexpected byte fails the test).
  FakeSerialPort& ExpectSent(std::vector<uint8_t> bytes) { return Add({kExpect, std::move(bytes), 0, {}}); }
  // These bytes arrive in the input queue `after` the step starts.
  FakeSerialPort& Reply(std::vector<uint8_t> bytes, Duration after = {}) { return Add({kReply, std::move(bytes), 0,
      after}); }
  // The next status query after this step is reached reports these error flags.
  FakeSerialPort& LineError(uint32_t flags, Duration after = {}) { return Add({kLineError, {}, flags, after}); }
  void AcceptAnySent() { acceptAnySent_ = true; }  // written bytes recorded, not checked
  bool ScriptDone() { return Pump(), cursor_ == steps_.size(); }  // every step done
  size_t InputQueued() { return Pump(), input_.size(); }           // bytes arrived and not yet read

  // ---- Failures and driver behaviour.
  void FailCall(Call call, int nth) { failAt_[call].insert(nth); }  // nth call (1-based) fails
  void FailCallsFrom(Call call, int nth) { failFrom_[call] = nth; }  // every call from the nth on
  // After each written byte, this many status queries report it still in the output queue.
  void SetOutputDrainPolls(int polls) { drainPolls_ = polls; }
  // What ReadLineSettings reports before the link has written any.
  void SetDriverSettings(const LineSettings& settings) { driverSettings_ = settings; }

  // ---- What happened.
  const std::vector<Call>& Calls() const { return calls_; }
  int CallCount(Call call) const { return int(std::count(calls_.begin(), calls_.end(), call)); }
  const std::vector<SentByte>& Sent() const { return sent_; }
  std::vector<uint8_t> SentBytes() const;
  const std::optional<LineSettings>& AppliedSettings() const { return applied_; }
  const std::u16string& OpenedPath() const { return openedPath_; }
  bool PortOpen() const { return open_; }
  std::array<uint32_t, 2> QueueSizes() const { return queueSizes_; }
  const std::vector<uint8_t>& Purged() const { return purged_; }  // bytes purged, in order

  // ---- SerialPort.
  PathStyle Style() const override { return PathStyle::kWindows; }
  bool Open(std::u16string_view path) override {
    return Begin(Call::kOpen) && !open_ && (open_ = true, openedPath_ = path, Pump(), true);
  }
  bool SetQueueSizes(uint32_t in, uint32_t out) override {
    return Ok(Call::kSetQueueSizes) && (queueSizes_ = {in, out}, true);
  }
  bool SetReadsReturnAtOnce() override { return Ok(Call::kSetReadsReturnAtOnce); }
  bool ReadLineSettings(LineSettings& s) override {
    return Ok(Call::kReadLineSettings) && (s = applied_.value_or(driverSettings_), true);
  }
  bool WriteLineSettings(const LineSettings& s) override { return Ok(Call::kWriteLineSettings) && (applied_ = s,
      true); }
  bool QueryStatus(PortStatus& status) override;
  void ClearBreak() override { Begin(Call::kClearBreak); }
  int ReadQueued(std::span<uint8_t> into) override;
  int WriteByte(uint8_t byte) override;
  bool WaitForInput(Duration limit) override;
  void PurgeInput() override;
  void Close() override;

 private:
  enum StepKind { kExpect, kReply, kLineError };
  struct Step {
    StepKind kind;
    std::vector<uint8_t> bytes;
    uint32_t errors;
    Duration after;
  };

  FakeSerialPort& Add(Step step);
  bool Begin(Call call);  // records the call; false when it is scripted to fail
  bool Ok(Call call) { return Begin(call) && open_; }
  void Pump();            // delivers every reply and error that is due by now
  std::optional<Duration> NextDue() const;

  FakeClock& clock_;
  std::vector<Step> steps_;
  size_t cursor_ = 0;
  size_t expectPos_ = 0;
  Duration stepStart_;
  bool acceptAnySent_ = false;
  std::deque<uint8_t> input_;
  uint32_t pendingErrors_ = 0;
  int drainPolls_ = 0;
  int drainLeft_ = 0;
  std::map<Call, std::set<int>> failAt_;
  std::map<Call, int> failFrom_;
  std::vector<Call> calls_;
  bool open_ = false;
  std::u16string openedPath_;
  std::array<uint32_t, 2> queueSizes_{};
  LineSettings driverSettings_{};
  std::optional<LineSettings> applied_;
  std::vector<SentByte> sent_;
  std::vector<uint8_t> purged_;
};

}  // namespace kv::link::testing

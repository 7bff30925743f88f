// fake_serial_port.h: a SerialPort that plays a scripted chat with the link: bytes expected
// out, bytes sent back (after a delay on the FakeClock), line errors, and a failure at the Nth
// call of an operation. It records every call and every written byte with its time. Test code only.
#pragma once

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
  enum class Call {
    kOpen,
    kSetQueueSizes,
    kSetReadsReturnAtOnce,
    kReadLineSettings,
    kWriteLineSettings,
    kQueryStatus,
    kClearBreak,
    kReadQueued,
    kWriteByte,
    kWaitForInput,
    kPurgeInput,
    kClose,
  };
  static const char* NameOf(Call call);

  struct SentByte {
    uint8_t byte;
    Duration at;  // clock reading when the write was made
  };

  explicit FakeSerialPort(FakeClock& clock, PathStyle style = PathStyle::kWindows);

  // ---- The script, played in order. A step starts when the one before it is done.
  // The link must write exactly these bytes next (an unexpected byte fails the test).
  FakeSerialPort& ExpectSent(std::vector<uint8_t> bytes);
  // These bytes arrive in the input queue `after` the step starts.
  FakeSerialPort& Reply(std::vector<uint8_t> bytes, Duration after = Duration::zero());
  // The next status query after this step is reached reports these error flags.
  FakeSerialPort& LineError(uint32_t flags = kPortErrorFraming, Duration after = Duration::zero());
  // Written bytes are recorded but not checked against the script.
  void AcceptAnySent() { acceptAnySent_ = true; }
  // Every step is done (all expected bytes written, all replies arrived).
  bool ScriptDone();
  // Bytes arrived and not yet read.
  size_t InputQueued();

  // ---- Failures and driver behaviour.
  // The nth call (1-based, counted from construction) of `call` fails.
  void FailCall(Call call, int nth);
  // Every call of `call` from the nth on fails.
  void FailCallsFrom(Call call, int nth);
  // After each written byte, this many status queries report it still in the output queue.
  void SetOutputDrainPolls(int polls) { drainPolls_ = polls; }
  // What ReadLineSettings reports: the driver's settings before the link changes them.
  void SetDriverSettings(const LineSettings& settings) { driverSettings_ = settings; }

  // ---- What happened.
  const std::vector<Call>& Calls() const { return calls_; }
  int CallCount(Call call) const;
  const std::vector<SentByte>& Sent() const { return sent_; }
  std::vector<uint8_t> SentBytes() const;
  const std::optional<LineSettings>& AppliedSettings() const { return applied_; }
  const std::u16string& OpenedPath() const { return openedPath_; }
  bool PortOpen() const { return open_; }
  std::array<uint32_t, 2> QueueSizes() const { return queueSizes_; }
  // Bytes that were in the input queue when it was purged, in order.
  const std::vector<uint8_t>& Purged() const { return purged_; }

  // ---- SerialPort.
  PathStyle Style() const override { return style_; }
  bool Open(std::u16string_view devicePath) override;
  bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) override;
  bool SetReadsReturnAtOnce() override;
  bool ReadLineSettings(LineSettings& settings) override;
  bool WriteLineSettings(const LineSettings& settings) override;
  bool QueryStatus(PortStatus& status) override;
  void ClearBreak() override;
  int ReadQueued(std::span<uint8_t> into) override;
  int WriteByte(uint8_t byte) override;
  bool WaitForInput(Duration limit) override;
  void PurgeInput() override;
  void Close() override;

 private:
  enum class StepKind { kExpect, kReply, kLineError };
  struct Step {
    StepKind kind;
    std::vector<uint8_t> bytes;
    uint32_t errors = 0;
    Duration after{};
  };

  // Records the call and says whether it is scripted to fail.
  bool Begin(Call call);
  // Delivers every reply and error that is due by now.
  void Pump();
  std::optional<Duration> NextDue() const;

  FakeClock& clock_;
  PathStyle style_;
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
  std::map<Call, int> counts_;
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

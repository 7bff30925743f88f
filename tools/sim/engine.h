// engine.h: the analyser's side of the wire protocol as a state machine over bytes and time; runners
// feed it bytes with timestamps and take the replies that fall due (no line, clock or thread here).
// It keeps its own encoding of the protocol on purpose, sharing no table with link/: an independent
// peer catches what a shared table would hide.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <optional>
#include <span>
#include <vector>

#include "recording.h"
#include "scenario.h"

namespace kv::sim {

// The command bytes the analyser answers.
inline constexpr uint8_t kFrameStart = 0x5A;
inline constexpr uint8_t kHandshake = 0xA5;
inline constexpr uint8_t kCmdModel = 0x21;
inline constexpr uint8_t kCmdProtocol = 0x22;
inline constexpr uint8_t kCmdSerialNumber = 0x23;
inline constexpr uint8_t kCmdVersion = 0x24;
inline constexpr uint8_t kCmdStoredTests = 0x30;
inline constexpr uint8_t kCmdReadClock = 0x31;
inline constexpr uint8_t kCmdReadPrinter = 0x32;
inline constexpr uint8_t kCmdCalibration = 0x33;
inline constexpr uint8_t kCmdSingleTest = 0x40;
inline constexpr uint8_t kCmdWriteClock = 0x91;
inline constexpr uint8_t kCmdWritePrinter = 0x92;
// The analyser's answer to a command it does not know: "Z?", which hosts see as a wrong echo.
inline constexpr uint8_t kUnknownCommandReply = 0x3F;

class Engine {
 public:
  enum class Phase {
    kDetached,           // no host on the line: nothing is sent
    kAwaitingHandshake,  // sending 0xA5 until the host answers
    kIdle,               // waiting for 0x5A
    kCommand,            // 0x5A came; waiting for the command byte
    kData,               // a write command's data is coming in
  };

  explicit Engine(Scenario scenario);

  // The host opened the line: the analyser powers up and starts its handshake.
  void HostAttached(Micros now);
  // The host closed the line: replies not yet sent are dropped.
  void HostDetached(Micros now);
  // Bytes the host sent, as they arrived at `now`.
  void Receive(std::span<const uint8_t> bytes, Micros now);
  // The bytes due on the line at `now`, in order; they are recorded as sent.
  std::vector<uint8_t> TakeDue(Micros now);
  // The next time at which TakeDue has something or a time-out falls; none while only the host can
  // move things on.
  std::optional<Micros> NextEvent() const;

  Phase phase() const { return phase_; }
  const AnalyserModel& model() const { return scenario_.model; }
  const Scenario& scenario() const { return scenario_; }
  Recording& recording() { return recording_; }
  const Recording& recording() const { return recording_; }

 private:
  struct Pending {
    Micros due;
    uint8_t byte;
  };
  struct ActiveFault {
    Fault fault;
    uint32_t used = 0;  // replies it has affected this session
    uint64_t noiseState = 0;
    // Hang-up: the draws run on across sessions, so each session goes dead at another byte.
    uint64_t drawState = 0;
    uint64_t muteAt = 0;  // reply bytes this session before it goes dead
  };
  // How the faults shape one reply, decided when its command byte arrives.
  struct ReplyPlan {
    uint8_t command = 0;
    std::array<uint8_t, 2> ack{kFrameStart, 0x00};
    std::optional<size_t> cutAt;  // reply bytes from this position on are never sent
    ActiveFault* noise = nullptr;
    ActiveFault* slow = nullptr;
    size_t position = 0;  // reply bytes planned so far
  };

  void OnByte(uint8_t byte, Micros now);
  void StartCommand(uint8_t command, Micros now);
  void FinishWrite(Micros now);
  std::vector<uint8_t> Payload(uint8_t command, Micros now) const;
  void Queue(const std::vector<uint8_t>& bytes, Micros now);
  // The first live fault of `kind` for `command`; it counts as used for this reply.
  ActiveFault* Take(FaultKind kind, uint8_t command, bool commandOnly = false);
  PackedTime ClockAt(Micros now) const;
  void CheckDataTimeout(Micros now);
  void Note(Micros now, std::string text) { recording_.Note(now, std::move(text)); }

  Scenario scenario_;
  AnalyserModel initial_;  // each session starts from it: the analyser as the scenario describes it
  ReplyPlan plan_;
  Recording recording_;
  std::vector<ActiveFault> faults_;
  Phase phase_ = Phase::kDetached;
  std::deque<Pending> out_;
  Micros nextBeacon_{0};
  Micros lastQueued_{0};
  uint8_t command_ = 0;
  std::vector<uint8_t> data_;
  size_t dataNeeded_ = 0;
  Micros dataDeadline_{0};
  uint64_t replyBytes_ = 0;  // reply bytes queued this session, for the session-wide silence
  Micros clockSetAt_{0};
};

const char* PhaseName(Engine::Phase phase);

}  // namespace kv::sim

// engine.cpp: the analyser's protocol state machine: handshake, echo, payload, data and
// acknowledgement per command, shaped by the scenario's faults. Time comes only from its callers.
#include "engine.h"

#include <algorithm>
#include <cstdio>

namespace kv::sim {
namespace {

// Replies and data lengths of the command table.
struct CommandInfo {
  uint8_t command;
  size_t dataBytes;  // > 0 for a write command
};
constexpr CommandInfo kCommands[] = {
    {kCmdModel, 0},      {kCmdVersion, 0},       {kCmdProtocol, 0},    {kCmdSerialNumber, 0},
    {kCmdReadPrinter, 0}, {kCmdWritePrinter, 12}, {kCmdReadClock, 0},   {kCmdCalibration, 0},
    {kCmdWriteClock, 6},  {kCmdStoredTests, 0},   {kCmdSingleTest, 0},
};

const CommandInfo* FindCommand(uint8_t command) {
  for (const auto& c : kCommands) {
    if (c.command == command) return &c;
  }
  return nullptr;
}

std::string Hex(const uint8_t* bytes, size_t count) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", bytes[i]);
    s += buf;
  }
  return s;
}

std::string CommandName(uint8_t command) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", command);
  return buf;
}

uint64_t NextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

const char* PhaseName(Engine::Phase phase) {
  switch (phase) {
    case Engine::Phase::kDetached: return "detached";
    case Engine::Phase::kAwaitingHandshake: return "awaiting handshake";
    case Engine::Phase::kIdle: return "idle";
    case Engine::Phase::kCommand: return "command";
    case Engine::Phase::kData: return "data";
  }
  return "?";
}

Engine::Engine(Scenario scenario) : scenario_(std::move(scenario)), initial_(scenario_.model) {
  for (const auto& f : scenario_.faults) faults_.push_back({f, 0, f.seed, f.seed});
}

void Engine::HostAttached(Micros now) {
  scenario_.model = initial_;
  clockSetAt_ = now;
  out_.clear();
  replyBytes_ = 0;
  lastQueued_ = now;
  for (auto& f : faults_) {
    f.used = 0;
    f.noiseState = f.fault.seed;
    if (f.fault.kind != FaultKind::kHangUp) continue;
    f.muteAt = NextRandom(f.drawState) % f.fault.count;
    Note(now, "hang-up after " + std::to_string(f.muteAt) + " reply bytes");
  }
  phase_ = Phase::kAwaitingHandshake;
  Note(now, "host attached; handshake starts");
  const Micros start = now + scenario_.handshake.delay;
  nextBeacon_ = start;
  for (auto& f : faults_) {
    if (f.fault.kind != FaultKind::kGarbage) continue;
    // Line noise from switching on: anything but the handshake byte itself.
    for (uint32_t i = 0; i < f.fault.count; ++i) {
      uint8_t b = static_cast<uint8_t>(NextRandom(f.noiseState));
      if (b == kHandshake) b = kHandshake ^ 0x01;
      out_.push_back({start, b});
    }
    Note(now, "garbage of " + std::to_string(f.fault.count) + " bytes before the handshake");
  }
}

void Engine::HostDetached(Micros now) {
  if (phase_ == Phase::kDetached) return;
  if (!out_.empty()) Note(now, std::to_string(out_.size()) + " reply bytes dropped");
  out_.clear();
  phase_ = Phase::kDetached;
  Note(now, "host detached");
}

void Engine::Receive(std::span<const uint8_t> bytes, Micros now) {
  for (uint8_t b : bytes) {
    recording_.Host(now, b);
    OnByte(b, now);
  }
}

void Engine::CheckDataTimeout(Micros now) {
  if (phase_ == Phase::kData && now >= dataDeadline_) {
    Note(now, "gave up waiting for the data of " + CommandName(command_) + " after " + std::to_string(data_.size()) +
                  " of " + std::to_string(dataNeeded_) + " bytes");
    phase_ = Phase::kIdle;
  }
}

void Engine::OnByte(uint8_t byte, Micros now) {
  CheckDataTimeout(now);
  switch (phase_) {
    case Phase::kDetached:
      Note(now, "byte while detached ignored");
      return;
    case Phase::kAwaitingHandshake:
      if (byte == kHandshake) {
        phase_ = Phase::kIdle;
        Note(now, "handshake answered");
      } else if (byte == kFrameStart && scenario_.handshake.serveWithoutHandshake) {
        phase_ = Phase::kCommand;
        Note(now, "request without handshake");
      }
      return;
    case Phase::kIdle:
      if (byte == kFrameStart) {
        phase_ = Phase::kCommand;
      } else {
        Note(now, "stray byte " + Hex(&byte, 1) + " ignored");
      }
      return;
    case Phase::kCommand:
      StartCommand(byte, now);
      return;
    case Phase::kData:
      data_.push_back(byte);
      dataDeadline_ = now + scenario_.dataTimeout;
      if (data_.size() == dataNeeded_) FinishWrite(now);
      return;
  }
}

Engine::ActiveFault* Engine::Take(FaultKind kind, uint8_t command, bool commandOnly) {
  for (auto& f : faults_) {
    if (f.fault.kind != kind || (commandOnly && !f.fault.command)) continue;
    if (f.fault.command && *f.fault.command != command) continue;
    if (f.fault.times != 0 && f.used >= f.fault.times) continue;
    ++f.used;
    return &f;
  }
  return nullptr;
}

void Engine::StartCommand(uint8_t command, Micros now) {
  const CommandInfo* info = FindCommand(command);
  const bool unsupported = std::find(scenario_.model.unsupportedCommands.begin(),
                                     scenario_.model.unsupportedCommands.end(),
                                     command) != scenario_.model.unsupportedCommands.end();
  plan_ = ReplyPlan{};
  plan_.command = command;
  phase_ = Phase::kIdle;
  command_ = command;
  if (ActiveFault* s = Take(FaultKind::kSilence, command, true); s != nullptr) plan_.cutAt = s->fault.count;
  if (command == kCmdStoredTests) {
    if (ActiveFault* t = Take(FaultKind::kTruncatedBlock, command); t != nullptr) {
      plan_.cutAt = std::min<size_t>(plan_.cutAt.value_or(SIZE_MAX), 2 + 3 + t->fault.count);
    }
  }
  plan_.noise = Take(FaultKind::kNoise, command);
  plan_.slow = Take(FaultKind::kSlow, command);

  if (info == nullptr || unsupported) {
    Note(now, "unknown command " + CommandName(command) + " answered Z?");
    Queue({kFrameStart, kUnknownCommandReply}, now);
    return;
  }
  std::vector<uint8_t> echo{kFrameStart, command};
  if (ActiveFault* w = Take(FaultKind::kWrongEcho, command); w != nullptr) {
    const auto reply = w->fault.reply.value_or(std::array<uint8_t, 2>{kFrameStart, static_cast<uint8_t>(command ^ 1)});
    echo.assign(reply.begin(), reply.end());
    Note(now, "fault: wrong echo " + Hex(echo.data(), 2) + " to " + CommandName(command));
    if (!w->fault.rest) {
      Queue(echo, now);
      return;
    }
  }
  if (ActiveFault* a = Take(FaultKind::kWrongAck, command); a != nullptr) {
    plan_.ack = a->fault.reply.value_or(std::array<uint8_t, 2>{kFrameStart, 0x01});
    Note(now, "fault: wrong acknowledgement " + Hex(plan_.ack.data(), 2) + " to " + CommandName(command));
  }
  if (info->dataBytes > 0) {
    Queue(echo, now);
    phase_ = Phase::kData;
    data_.clear();
    dataNeeded_ = info->dataBytes;
    dataDeadline_ = now + scenario_.dataTimeout;
    return;
  }
  std::vector<uint8_t> reply = echo;
  const std::vector<uint8_t> payload = Payload(command, now);
  reply.insert(reply.end(), payload.begin(), payload.end());
  reply.insert(reply.end(), plan_.ack.begin(), plan_.ack.end());
  Note(now, "served " + CommandName(command));
  Queue(reply, now);
}

void Engine::FinishWrite(Micros now) {
  phase_ = Phase::kIdle;
  auto& m = scenario_.model;
  if (command_ == kCmdWriteClock) {
    std::copy(data_.begin(), data_.end(), m.clock.begin());
    clockSetAt_ = now;
    Note(now, "clock set to " + Hex(data_.data(), data_.size()));
  } else if (command_ == kCmdWritePrinter) {
    std::copy(data_.begin(), data_.end(), m.printerAddress.begin());
    Note(now, "printer address set to " + Hex(data_.data(), data_.size()));
  }
  Queue({plan_.ack[0], plan_.ack[1]}, now);
}

PackedTime Engine::ClockAt(Micros now) const {
  const auto& m = scenario_.model;
  DeviceDateTime t;
  if (!m.clockRuns || !UnpackDateTime(m.clock, &t)) return m.clock;
  return PackDateTime(AddSeconds(t, std::chrono::duration_cast<std::chrono::seconds>(now - clockSetAt_).count()));
}

std::vector<uint8_t> Engine::Payload(uint8_t command, Micros now) const {
  const auto& m = scenario_.model;
  switch (command) {
    case kCmdModel: return {m.modelCode, m.version[0], m.version[1]};
    case kCmdVersion: return {m.version[2], m.version[3], m.version[4]};
    case kCmdProtocol: return {m.protocol.begin(), m.protocol.end()};
    case kCmdSerialNumber:
      return {static_cast<uint8_t>(m.serialNumber >> 16), static_cast<uint8_t>(m.serialNumber >> 8),
              static_cast<uint8_t>(m.serialNumber)};
    case kCmdReadPrinter: return {m.printerAddress.begin(), m.printerAddress.end()};
    case kCmdReadClock: {
      const PackedTime t = ClockAt(now);
      return {t.begin(), t.end()};
    }
    case kCmdCalibration: return {m.calibrationTime.begin(), m.calibrationTime.end()};
    case kCmdSingleTest: return {m.singleTest.begin(), m.singleTest.end()};
    case kCmdStoredTests: {
      std::vector<uint8_t> out(m.blockHeader.begin(), m.blockHeader.end());
      out.reserve(3 + kBlockSize);
      for (int i = 0; i < kSlotCount; ++i) {
        const auto slot = i < static_cast<int>(m.slots.size()) ? EncodeSlot(m.slots[i]) : EncodeSlot(EmptySlot{});
        out.insert(out.end(), slot.begin(), slot.end());
      }
      return out;
    }
    default: return {};
  }
}

void Engine::Queue(const std::vector<uint8_t>& bytes, Micros now) {
  const Micros latency = plan_.slow != nullptr ? plan_.slow->fault.latency : Micros(0);
  const Micros gap = plan_.slow != nullptr ? plan_.slow->fault.perByte : Micros(0);
  Micros t = std::max(now + latency, lastQueued_);
  bool first = true;
  for (uint8_t b : bytes) {
    const size_t position = plan_.position++;
    if (plan_.cutAt && position >= *plan_.cutAt) {
      if (position == *plan_.cutAt) Note(now, "fault: silent after " + std::to_string(position) + " reply bytes");
      continue;
    }
    bool muted = false;
    for (const auto& f : faults_) {
      if (f.fault.kind == FaultKind::kSilence && !f.fault.command && replyBytes_ >= f.fault.count) muted = true;
      if (f.fault.kind == FaultKind::kHangUp && replyBytes_ >= f.muteAt) muted = true;
    }
    if (muted) {
      if (replyBytes_ != UINT64_MAX) Note(now, "fault: silent from now on");
      replyBytes_ = UINT64_MAX;
      continue;
    }
    ++replyBytes_;
    if (plan_.noise != nullptr) {
      const double p = plan_.noise->fault.probability;
      const double draw = static_cast<double>(NextRandom(plan_.noise->noiseState) >> 11) / 9007199254740992.0;
      if (draw < p) b = static_cast<uint8_t>(b ^ (1 + NextRandom(plan_.noise->noiseState) % 255));
    }
    if (!first) t += gap;
    first = false;
    t = std::max(t, lastQueued_);
    lastQueued_ = t;
    out_.push_back({t, b});
  }
}

std::vector<uint8_t> Engine::TakeDue(Micros now) {
  CheckDataTimeout(now);
  if (phase_ == Phase::kAwaitingHandshake && now >= nextBeacon_) {
    out_.push_back({std::max(now, lastQueued_), kHandshake});
    nextBeacon_ = now + scenario_.handshake.interval;
  }
  std::vector<uint8_t> due;
  while (!out_.empty() && out_.front().due <= now) {
    due.push_back(out_.front().byte);
    recording_.Analyser(now, out_.front().byte);
    out_.pop_front();
  }
  return due;
}

std::optional<Micros> Engine::NextEvent() const {
  std::optional<Micros> next;
  auto consider = [&next](Micros t) {
    if (!next || t < *next) next = t;
  };
  if (!out_.empty()) consider(out_.front().due);
  if (phase_ == Phase::kAwaitingHandshake) consider(nextBeacon_);
  if (phase_ == Phase::kData) consider(dataDeadline_);
  return next;
}

}  // namespace kv::sim

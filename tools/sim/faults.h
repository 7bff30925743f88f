// faults.h: the misbehaviours a simulated analyser can be told to show, and their text form
// ("wrong-ack:cmd=0x23"), shared by the command line and scenario files. Data only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording.h"

namespace kv::sim {

enum class FaultKind {
  kWrongEcho,      // the echo is replaced; by default nothing follows it
  kWrongAck,       // the acknowledgement is replaced
  kSilence,        // with cmd: only the first `count` bytes of that reply; without: mute after `count` reply bytes
  kTruncatedBlock, // the stored-test reply stops after `count` bytes of the 3200-byte block
  kNoise,          // each reply byte is corrupted with `probability`
  kSlow,           // replies start after `latency` and come `perByte` apart
  kGarbage,        // `count` bytes other than 0xA5 go out before the first handshake byte
  kHangUp,         // mute after a number of reply bytes drawn anew each session from [0, count)
};

struct Fault {
  FaultKind kind = FaultKind::kWrongEcho;
  std::optional<uint8_t> command;             // the command it hits; none: every command
  std::optional<std::array<uint8_t, 2>> reply;  // wrong echo or acknowledgement; none: a default
  bool rest = false;                          // wrong echo: send payload and acknowledgement all the same
  uint32_t count = 0;
  double probability = 0.0;
  uint64_t seed = 1;
  Micros latency{0};
  Micros perByte{0};
  uint32_t times = 0;  // replies it affects before it wears off; 0: every one
};

// Parses "kind[:key=value,...]". Kinds: wrong-echo, wrong-ack, silence, no-answer (silence with
// after=0), truncate-block, noise, slow, garbage, hang-up. Keys: cmd, reply (4 hex digits), rest, after,
// bytes, within, p, seed, latency-ms, byte-us, times. Numbers take 0x for hexadecimal.
std::optional<Fault> ParseFault(std::string_view text, std::string* error);
std::string DescribeFault(const Fault& fault);

// The help text of the fault syntax, for --help.
std::string_view FaultHelp();

}  // namespace kv::sim

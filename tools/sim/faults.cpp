// faults.cpp: the text form of faults. Parsing only; the engine decides what a fault does.
#include "faults.h"

#include <charconv>
#include <cstdlib>
#include <cstdio>

namespace kv::sim {
namespace {

bool ParseNumber(std::string_view text, uint64_t* value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseDouble(std::string_view text, double* value) {
  // from_chars for double is not in every standard library the project builds with.
  std::string copy(text);
  char* end = nullptr;
  *value = std::strtod(copy.c_str(), &end);
  return !copy.empty() && end == copy.c_str() + copy.size();
}

std::optional<Fault> Fail(std::string* error, std::string message) {
  if (error != nullptr) *error = std::move(message);
  return std::nullopt;
}

const char* KindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kWrongEcho: return "wrong-echo";
    case FaultKind::kWrongAck: return "wrong-ack";
    case FaultKind::kSilence: return "silence";
    case FaultKind::kTruncatedBlock: return "truncate-block";
    case FaultKind::kNoise: return "noise";
    case FaultKind::kSlow: return "slow";
    case FaultKind::kGarbage: return "garbage";
    case FaultKind::kHangUp: return "hang-up";
  }
  return "?";
}

}  // namespace

std::optional<Fault> ParseFault(std::string_view text, std::string* error) {
  const auto colon = text.find(':');
  const std::string_view kind = text.substr(0, colon);
  Fault f;
  if (kind == "wrong-echo") f.kind = FaultKind::kWrongEcho;
  else if (kind == "wrong-ack") f.kind = FaultKind::kWrongAck;
  else if (kind == "silence" || kind == "no-answer") f.kind = FaultKind::kSilence;
  else if (kind == "truncate-block") f.kind = FaultKind::kTruncatedBlock;
  else if (kind == "noise") f.kind = FaultKind::kNoise;
  else if (kind == "slow") f.kind = FaultKind::kSlow;
  else if (kind == "garbage") f.kind = FaultKind::kGarbage;
  else if (kind == "hang-up") f.kind = FaultKind::kHangUp;
  else return Fail(error, "unknown fault kind \"" + std::string(kind) + "\"");

  std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    const auto eq = item.find('=');
    if (eq == std::string_view::npos) return Fail(error, "fault option \"" + std::string(item) + "\" needs a value");
    const std::string_view key = item.substr(0, eq);
    const std::string_view value = item.substr(eq + 1);
    uint64_t n = 0;
    const bool numeric = ParseNumber(value, &n);
    auto needNumber = [&](uint64_t max) { return numeric && n <= max; };
    if (key == "cmd" && needNumber(0xFF)) {
      f.command = static_cast<uint8_t>(n);
    } else if (key == "reply" && value.size() == 4 && ParseNumber("0x" + std::string(value), &n)) {
      f.reply = std::array<uint8_t, 2>{static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)};
    } else if (key == "rest" && needNumber(1)) {
      f.rest = n == 1;
    } else if ((key == "after" || key == "bytes" || key == "within") && needNumber(UINT32_MAX)) {
      f.count = static_cast<uint32_t>(n);
    } else if (key == "p" && ParseDouble(value, &f.probability) && f.probability >= 0.0 && f.probability <= 1.0) {
    } else if (key == "seed" && numeric) {
      f.seed = n;
    } else if (key == "latency-ms" && needNumber(600000)) {
      f.latency = std::chrono::milliseconds(n);
    } else if (key == "byte-us" && needNumber(60000000)) {
      f.perByte = Micros(n);
    } else if (key == "times" && needNumber(UINT32_MAX)) {
      f.times = static_cast<uint32_t>(n);
    } else {
      return Fail(error, "bad fault option \"" + std::string(item) + "\" for " + std::string(kind));
    }
  }
  if (kind == "no-answer") {
    if (!f.command) return Fail(error, "no-answer needs cmd=");
    f.count = 0;
  }
  if (f.kind == FaultKind::kGarbage && f.count == 0) f.count = 16;
  if (f.kind == FaultKind::kHangUp && (f.count == 0 || f.command)) return Fail(error, "hang-up needs within=N and no cmd");
  return f;
}

std::string DescribeFault(const Fault& f) {
  std::string s = KindName(f.kind);
  char buf[64];
  if (f.command) {
    std::snprintf(buf, sizeof buf, " cmd=0x%02X", *f.command);
    s += buf;
  }
  if (f.reply) {
    std::snprintf(buf, sizeof buf, " reply=%02X%02X", (*f.reply)[0], (*f.reply)[1]);
    s += buf;
  }
  if (f.kind == FaultKind::kSilence || f.kind == FaultKind::kTruncatedBlock || f.kind == FaultKind::kGarbage ||
      f.kind == FaultKind::kHangUp) {
    s += " count=" + std::to_string(f.count);
  }
  if (f.times != 0) s += " times=" + std::to_string(f.times);
  return s;
}

std::string_view FaultHelp() {
  return R"(Faults (--fault, repeatable; also "faults" in a scenario file):
  wrong-echo[:cmd=C,reply=HHHH,rest=1]  echo replaced (default 5A and the command byte xor 1);
                                        rest=1 sends payload and acknowledgement after it
  wrong-ack[:cmd=C,reply=HHHH]          acknowledgement replaced (default 5A 01)
  silence:after=K[,cmd=C]               without cmd: mute after K reply bytes;
                                        with cmd: only the first K bytes of that reply
  no-answer:cmd=C                       no reply at all to command C
  truncate-block:bytes=N                the stored-test block stops after N of its 3200 bytes
  noise:p=P[,seed=S,cmd=C]              each reply byte corrupted with probability P
  slow:latency-ms=L[,byte-us=U]         replies start L ms late and come U microseconds apart
  garbage[:bytes=N,seed=S]              N bytes of line noise before the first handshake byte
  hang-up:within=N[,seed=S]             the analyser goes dead at a random reply byte of the
                                        session, drawn anew each session from 0 to N-1
  Every fault takes times=T: it wears off after T replies (default: never).
)";
}

}  // namespace kv::sim

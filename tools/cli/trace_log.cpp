// trace_log.cpp: runs of bytes into lines of the trace file.
#include "trace_log.h"

#include <cstdio>

namespace kv::cli {

TraceLog::TraceLog(std::ostream& out) : out_(out), start_(std::chrono::steady_clock::now()) {
  WriteLine("# time since korvanta started, port, > sent to the analyser or < received, the bytes in hex");
}

void TraceLog::WriteLine(const std::string& line) {
  std::lock_guard lock(mutex_);
  out_ << line << '\n' << std::flush;
}

void TraceLog::Port::Bytes(bool sent, std::span<const uint8_t> bytes, std::chrono::microseconds sessionTime) {
  using std::chrono::microseconds;
  if (origin_.count() < 0)
    origin_ = std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - log_.start_) - sessionTime;
  if (!hex_.empty() && sent != sent_) Flush();
  if (hex_.empty()) sent_ = sent, runStart_ = origin_ + sessionTime;
  for (uint8_t byte : bytes) {
    char text[4];
    std::snprintf(text, sizeof text, " %02X", byte);
    hex_ += text;
  }
}

void TraceLog::Port::Flush() {
  if (hex_.empty()) return;
  char time[32];
  std::snprintf(time, sizeof time, "+%10.6f s  ", static_cast<double>(runStart_.count()) / 1e6);
  log_.WriteLine(time + name_ + "  " + (sent_ ? '>' : '<') + hex_);
  hex_.clear();
}

}  // namespace kv::cli

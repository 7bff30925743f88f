// fake_clock.h: a clock that moves only when slept on or told to, so pacing and time limits run in
// microseconds. No test framework here: the link's tests and its fuzzer both use it.
#pragma once

#include <algorithm>
#include <vector>

#include "link/serial_port.h"

namespace kv::link::testing {

class FakeClock : public Clock {
 public:
  Duration Now() override { return now_; }
  void Sleep(Duration d) override { sleeps_.push_back(d), now_ += std::max(d, Duration::zero()); }
  void Advance(Duration d) { now_ += d; }
  const std::vector<Duration>& Sleeps() const { return sleeps_; }

 private:
  Duration now_{std::chrono::seconds{1000}};  // away from zero, so nothing may take 0 for "no time yet"
  std::vector<Duration> sleeps_;
};

}  // namespace kv::link::testing

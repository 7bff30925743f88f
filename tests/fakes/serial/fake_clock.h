// fake_clock.h: a Clock that moves only when told to or slept on, so pacing and time limits
// are checked by reading it, in microseconds of real time. Test code only.
#pragma once

#include <vector>

#include "link/serial_port.h"

namespace kv::link::testing {

class FakeClock : public Clock {
 public:
  Duration Now() override { return now_; }
  void Sleep(Duration duration) override {
    sleeps_.push_back(duration);
    if (duration > Duration::zero()) now_ += duration;
  }
  void Advance(Duration duration) { now_ += duration; }
  const std::vector<Duration>& Sleeps() const { return sleeps_; }

 private:
  Duration now_{std::chrono::seconds{1000}};  // away from zero, so nothing may take 0 for "no time yet"
  std::vector<Duration> sleeps_;
};

}  // namespace kv::link::testing

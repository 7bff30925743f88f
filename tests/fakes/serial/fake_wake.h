// fake_wake.h: a wake on the fake clock. Raised by a test at once, or at a set time on the fake clock
// (how a test cancels "from another thread" at a chosen point of a call); its sleeps end when it is due.
#pragma once

#include <algorithm>
#include <optional>

#include "fake_clock.h"

namespace kv::link::testing {

class FakeWake : public Wake {
 public:
  explicit FakeWake(FakeClock& clock) : clock_(clock) {}
  void RaiseAt(Duration at) { at_ = at; }
  bool Raised() const override { return Wake::Raised() || (at_ && clock_.Now() >= *at_); }
  void Sleep(Duration d) override { clock_.Sleep(Raised() ? Duration::zero() : at_ ? std::min(d, *at_ - clock_.Now()) : d); }

 protected:
  void Signal() override {}

 private:
  FakeClock& clock_;
  std::optional<Duration> at_;
};

}  // namespace kv::link::testing

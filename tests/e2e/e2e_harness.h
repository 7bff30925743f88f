// e2e_harness.h: a simulated analyser for one end-to-end test case, however the platform reaches
// it: in-process on a pseudo-terminal (posix/), or a native simulator behind a Wine COM port that
// the test script started (win32/). Tests see only this interface and the public header.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recording.h"
#include "scenario.h"

namespace kv::e2e {

class SimulatedAnalyser {
 public:
  virtual ~SimulatedAnalyser() = default;
  // The name to give KVOpenComport.
  virtual std::u16string PortName() const = 0;
  // What the analyser holds, as its kv_simulator arguments describe it.
  virtual const sim::Scenario& Scenario() const = 0;
  // The conversation so far; nullopt where the simulator runs in another process.
  virtual std::optional<sim::Recording> Recording() const = 0;
};

// Starts (or finds) a simulator for these kv_simulator arguments. Null with the reason when this
// platform cannot provide it.
std::unique_ptr<SimulatedAnalyser> StartAnalyser(const std::vector<std::string>& args, std::string* whyNot);

}  // namespace kv::e2e

// Starts the simulator or skips the test with the reason.
#define KV_START_ANALYSER(var, ...)                                              \
  std::string var##WhyNot;                                                        \
  auto var = ::kv::e2e::StartAnalyser({__VA_ARGS__}, &var##WhyNot);               \
  if (!var) GTEST_SKIP() << var##WhyNot

// sim_test_support.h: a hand-built analyser and a driver that talks to the engine in simulated
// time, shared by the simulator's unit tests. No terminal, no sleeping.
#pragma once

#include <vector>

#include "engine.h"

namespace kv::sim::testing {

using namespace std::chrono_literals;

// Every value chosen by hand, so the expected bytes in the tests can be written out.
inline Scenario HandScenario() {
  Scenario s;
  AnalyserModel& m = s.model;
  m.modelCode = 7;
  m.version = {0x11, 0x12, 0x13, 0x14, 0x15};
  m.protocol = {0x21, 0x22, 0x23};
  m.serialNumber = 0x010203;  // 66051
  m.printerAddress = {'P', 'R', 'N', '-', '0', '1', '2', '3', '4', '5', '6', '7'};
  m.clock = {0x30, 0x15, 0x09, 0x24, 0x12, 0x23};
  m.calibrationTime = {0x00, 0x30, 0x09, 0x20, 0x11, 0x23};
  m.blockHeader = {0xAB, 0xCD, 0xEF};
  for (int i = 0; i < kSlotSize; ++i) m.singleTest[i] = static_cast<uint8_t>(0x80 + i);
  HumanTest t;
  t.female = true;
  t.activityLevel = 3;
  t.age = 40;
  t.height = 170;
  t.weightTenths = 750;
  m.slots.assign(kSlotCount, EmptySlot{});
  m.slots[0] = t;
  s.handshake.interval = 100ms;
  return s;
}

// Drives an engine: time moves only when the test says so.
class Line {
 public:
  explicit Line(Scenario scenario) : engine(std::move(scenario)) {}
  void Attach() { engine.HostAttached(now); }
  // Host bytes arrive; whatever the analyser sends up to `settle` later comes back.
  std::vector<uint8_t> Send(std::vector<uint8_t> bytes, Micros settle = 1ms) {
    engine.Receive(bytes, now);
    return Run(settle);
  }
  std::vector<uint8_t> Run(Micros duration) {
    std::vector<uint8_t> got;
    const Micros end = now + duration;
    for (;;) {
      auto due = engine.TakeDue(now);
      got.insert(got.end(), due.begin(), due.end());
      auto next = engine.NextEvent();
      if (!next || *next > end) break;
      now = std::max(now, *next);
    }
    now = end;
    auto due = engine.TakeDue(now);
    got.insert(got.end(), due.begin(), due.end());
    return got;
  }
  // Attach and answer the first handshake byte.
  void Connect() {
    Attach();
    Run(1ms);
    engine.Receive(std::vector<uint8_t>{kHandshake}, now);
  }
  Engine engine;
  Micros now{1000000};
};

}  // namespace kv::sim::testing

// scenario.h: everything one simulator run starts from (analyser, handshake, faults), from a
// preset or a JSON file. Loading and validation only; nothing here talks to a line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyser_model.h"
#include "faults.h"
#include "recording.h"

namespace kv::sim {

struct HandshakeSettings {
  Micros delay{0};                          // switched on this long after the host opens the port
  Micros interval{std::chrono::milliseconds(250)};  // 0xA5 repeated until answered
  bool serveWithoutHandshake = true;        // a request ends the handshake as an answer would
};

struct Scenario {
  std::string name;
  AnalyserModel model;
  HandshakeSettings handshake;
  std::vector<Fault> faults;
  // A write command whose data stops coming is given up after this silence, so a host that
  // abandoned it does not have its next request taken for data.
  Micros dataTimeout{std::chrono::milliseconds(1500)};
};

// The preset analyser of a model code (0 to 255), with no faults.
Scenario PresetScenario(int modelCode);

// A scenario from JSON text or a file (format: tools/sim/scenarios/README.md). On failure:
// nullopt and a message naming the offending key.
std::optional<Scenario> ParseScenario(std::string_view jsonText, std::string* error);
std::optional<Scenario> LoadScenarioFile(const std::string& path, std::string* error);

}  // namespace kv::sim

// simulator_options.h: the command line of the simulator (--model, --scenario, --fault, --record),
// shared by kv_simulator, `korvanta simulate` and the end-to-end tests. Parsing only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scenario.h"

namespace kv::sim {

struct SimulatorOptions {
  Scenario scenario;
  std::string recordPath;  // empty: no recording file
  bool help = false;
};

// Arguments without the program name. --model and --scenario choose the analyser (default: model
// 7); each --fault adds to the scenario's own faults. nullopt with a message on a bad argument.
std::optional<SimulatorOptions> ParseSimulatorArgs(const std::vector<std::string>& args, std::string* error);

std::string SimulatorUsage(const std::string& program);

}  // namespace kv::sim

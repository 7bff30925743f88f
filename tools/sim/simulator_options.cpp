// simulator_options.cpp: parsing of the simulator's command line.
#include "simulator_options.h"

#include <charconv>

namespace kv::sim {

std::optional<SimulatorOptions> ParseSimulatorArgs(const std::vector<std::string>& args, std::string* error) {
  SimulatorOptions options;
  std::optional<int> model;
  std::optional<std::string> scenarioPath;
  std::vector<Fault> faults;
  auto fail = [error](std::string message) {
    if (error != nullptr) *error = std::move(message);
    return std::nullopt;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--model") {
      int n = -1;
      if (!value(&v) || std::from_chars(v.data(), v.data() + v.size(), n).ptr != v.data() + v.size() || n < 0 ||
          n > 255) {
        return fail("--model needs a model code from 0 to 255");
      }
      model = n;
    } else if (arg == "--scenario") {
      if (!value(&v)) return fail("--scenario needs a file");
      scenarioPath = v;
    } else if (arg == "--fault") {
      if (!value(&v)) return fail("--fault needs a fault, such as wrong-ack:cmd=0x23");
      std::string why;
      auto fault = ParseFault(v, &why);
      if (!fault) return fail("--fault " + v + ": " + why);
      faults.push_back(*fault);
    } else if (arg == "--record") {
      if (!value(&v)) return fail("--record needs a file");
      options.recordPath = v;
    } else {
      return fail("unknown argument \"" + arg + "\"");
    }
  }
  if (model && scenarioPath) return fail("give --model or --scenario, not both");
  if (scenarioPath) {
    std::string why;
    auto scenario = LoadScenarioFile(*scenarioPath, &why);
    if (!scenario) return fail(why);
    options.scenario = std::move(*scenario);
  } else {
    options.scenario = PresetScenario(model.value_or(7));
  }
  options.scenario.faults.insert(options.scenario.faults.end(), faults.begin(), faults.end());
  return options;
}

std::string SimulatorUsage(const std::string& program) {
  return "Usage: " + program + R"( [--model N | --scenario FILE] [--fault F]... [--record FILE]

Plays a Korvanta analyser on a new pseudo-terminal. When ready it prints the terminal's path on a
line of its own; open that path (or link a Wine COM port to it) and talk to it. It serves until
SIGINT or SIGTERM. Each open of the terminal meets a freshly switched-on analyser: it sends 0xA5
until answered, then serves the command table.

  --model N        a preset analyser of model code N (0 to 255; default 7, a Quattron)
  --scenario FILE  an analyser described in JSON (see tools/sim/scenarios/)
  --fault F        a fault to inject (repeatable; below)
  --record FILE    log every byte with its time, and what the analyser did, to FILE
  --help           this text

)" + std::string(FaultHelp());
}

}  // namespace kv::sim

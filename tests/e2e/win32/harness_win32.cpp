// harness_win32.cpp: under Wine the simulators run natively, started by run_wine_e2e.sh from
// wine_simulators.txt, each behind a COM port; this finds the port whose arguments match.
#include <fstream>
#include <sstream>

#include "e2e_harness.h"
#include "simulator_options.h"

namespace kv::e2e {
namespace {

class ExternalAnalyser : public SimulatedAnalyser {
 public:
  ExternalAnalyser(std::u16string port, sim::Scenario scenario) : port_(std::move(port)), scenario_(std::move(scenario)) {}
  std::u16string PortName() const override { return port_; }
  const sim::Scenario& Scenario() const override { return scenario_; }
  std::optional<sim::Recording> Recording() const override { return std::nullopt; }

 private:
  std::u16string port_;
  sim::Scenario scenario_;
};

std::string Join(const std::vector<std::string>& args) {
  std::string s;
  for (const auto& a : args) s += (s.empty() ? "" : " ") + a;
  return s;
}

}  // namespace

std::unique_ptr<SimulatedAnalyser> StartAnalyser(const std::vector<std::string>& args, std::string* whyNot) {
  const char* table = std::getenv("KV_E2E_SIMULATORS");
  if (table == nullptr) {
    *whyNot = "no simulators: run this program through the run_wine_e2e.sh CTest script";
    return nullptr;
  }
  std::ifstream in(table);
  std::string line;
  const std::string wanted = Join(args);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string com;
    if (!(fields >> com) || com.starts_with("#")) continue;
    std::string rest;
    std::getline(fields >> std::ws, rest);
    if (rest != wanted) continue;
    auto options = sim::ParseSimulatorArgs(args, whyNot);
    if (!options) return nullptr;
    return std::make_unique<ExternalAnalyser>(std::u16string(com.begin(), com.end()), options->scenario);
  }
  *whyNot = "no simulator for \"" + wanted + "\" in " + table;
  return nullptr;
}

}  // namespace kv::e2e

// harness_posix.cpp: the simulator in-process, on a pseudo-terminal of its own per test case, so
// cases run in parallel. Uses the simulator's own argument parser, as kv_simulator does.
#include "e2e_harness.h"
#include "pty_runner.h"
#include "simulator_options.h"

namespace kv::e2e {
namespace {

class InProcessAnalyser : public SimulatedAnalyser {
 public:
  explicit InProcessAnalyser(sim::Scenario scenario) : scenario_(scenario), simulator_(std::move(scenario)) {}
  bool Start(std::string* whyNot) { return simulator_.Start(whyNot); }
  std::u16string PortName() const override {
    const std::string& path = simulator_.PortPath();
    return std::u16string(path.begin(), path.end());
  }
  const sim::Scenario& Scenario() const override { return scenario_; }
  std::optional<sim::Recording> Recording() const override { return simulator_.RecordingSnapshot(); }

 private:
  sim::Scenario scenario_;
  sim::PtySimulator simulator_;
};

}  // namespace

std::unique_ptr<SimulatedAnalyser> StartAnalyser(const std::vector<std::string>& args, std::string* whyNot) {
  auto options = sim::ParseSimulatorArgs(args, whyNot);
  if (!options) return nullptr;
  auto analyser = std::make_unique<InProcessAnalyser>(options->scenario);
  std::string reason;
  if (!analyser->Start(&reason)) {
    *whyNot = "no pseudo-terminal: " + reason;
    return nullptr;
  }
  return analyser;
}

}  // namespace kv::e2e

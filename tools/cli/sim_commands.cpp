// sim_commands.cpp: `korvanta simulate` and `korvanta demo`, both over the simulator's pty runner
// (tools/sim). The demo drives the simulated analyser through the same road as info and download.
#include <atomic>
#include <csignal>
#include <fstream>
#include <ostream>
#include <sstream>

#include "cli_commands.h"
#include "pty_runner.h"
#include "simulator_options.h"

namespace kv::cli {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

}  // namespace

ExitStatus RunSimulate(const SimulateOptions& options, Streams& io) {
  std::vector<std::string> args;
  if (options.model) args.insert(args.end(), {"--model", std::to_string(*options.model)});
  if (!options.scenarioPath.empty()) args.insert(args.end(), {"--scenario", options.scenarioPath});
  for (const std::string& fault : options.faults) args.insert(args.end(), {"--fault", fault});
  std::string error;
  auto parsed = sim::ParseSimulatorArgs(args, &error);
  if (!parsed) {
    io.err << "korvanta: " << error << "\n";
    return ExitStatus::kUsage;
  }
  sim::Engine engine(parsed->scenario);
  std::ofstream record;
  if (!options.recordPath.empty()) {
    record.open(options.recordPath, std::ios::trunc);
    if (!record) {
      io.err << "korvanta: cannot write " << options.recordPath << "\n";
      return ExitStatus::kOutput;
    }
    engine.recording().SetSink(&record);
  }
  g_interrupted = false;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  sim::ServeOptions serve;
  serve.stop = &g_interrupted;
  serve.onReady = [&](const std::string& path) {
    // The path alone on standard output, so a script can read it as soon as the port is ready.
    io.out << path << std::endl;
    io.err << "korvanta: simulated analyser \"" << parsed->scenario.name << "\" ready on " << path
           << "; stop it with Ctrl+C\n";
  };
  const int served = sim::ServeOnPty(engine, serve, &error);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (served != 0) {
    io.err << "korvanta: the simulator stopped: " << error << "\n";
    return ExitStatus::kFailure;
  }
  io.err << "korvanta: simulator stopped\n";
  return ExitStatus::kOk;
}

ExitStatus RunDemo(const DemoOptions& options, Streams& io) {
  sim::PtySimulator simulator(sim::PresetScenario(options.model));
  std::string error;
  const auto started = std::chrono::steady_clock::now();
  if (!simulator.Start(&error)) {
    io.err << "korvanta: the simulator could not start: " << error << "\n";
    return ExitStatus::kFailure;
  }
  const auto ready = std::chrono::steady_clock::now() - started;
  const std::string port = simulator.PortPath();
  io.out << "Korvanta demo: a simulated " << ModelName(options.model) << " (modelCode " << options.model
         << ") is serving on " << port << "\n\n";

  auto link = MakeExportLink();
  Road road(*link);
  road.Step("start simulator", [&] { return KV_OK; });
  DeviceInfo info;
  TestSet tests;
  DownloadOutcome outcome;
  const TimeStyle style = options.utc ? TimeStyle::kUtc : TimeStyle::kLocal;
  if (road.Connect(port) != KV_OK || ReadInfo(road, info) != KV_OK ||
      Download(road, AnalyserKind::kAuto, tests, outcome) != KV_OK) {
    ExitStatus status = ReportRoadFailure(road, port, io);
    simulator.Stop();
    return status;
  }
  road.Close();
  road.Step("calculate results and normals", [&] {
    CalculateAll(tests, 0);
    return KV_OK;
  });
  simulator.Stop();

  io.out << "The analyser (korvanta info):\n" << InfoText(info, port, style) << "\n";
  io.out << "Its stored tests with results beside normal ranges (korvanta download), " << TestCount(tests)
         << " in all:\n";
  FormatOptions formatting;
  formatting.timeStyle = style;
  formatting.maxRows = static_cast<size_t>(options.rows);
  std::ostringstream table;
  WriteTests(table, tests, OutputFormat::kTable, formatting);
  io.out << table.str() << "\n";
  std::vector<StepTiming> timings = road.timings();
  timings.front().elapsed = std::chrono::duration_cast<std::chrono::microseconds>(ready);
  io.out << "Timing of each step (every byte sent waits 200 ms, as the analyser needs):\n" << TimingText(timings);
  return ExitStatus::kOk;
}

}  // namespace kv::cli

// kv_simulator_main.cpp: the standalone analyser simulator. Parses the command line, prints the
// pseudo-terminal's path when ready and serves until SIGINT or SIGTERM. All protocol work is kv_sim's.
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iostream>

#include "pty_runner.h"
#include "simulator_options.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int) { g_stop = true; }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = kv::sim::ParseSimulatorArgs(args, &error);
  if (!options) {
    std::cerr << "kv_simulator: " << error << "\n" << "Try kv_simulator --help\n";
    return 2;
  }
  if (options->help) {
    std::cout << kv::sim::SimulatorUsage("kv_simulator");
    return 0;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  kv::sim::Engine engine(options->scenario);
  std::ofstream record;
  if (!options->recordPath.empty()) {
    record.open(options->recordPath, std::ios::trunc);
    if (!record) {
      std::cerr << "kv_simulator: cannot write " << options->recordPath << "\n";
      return 2;
    }
    record << "# kv_simulator recording: " << options->scenario.name << "; H> host to analyser, A< analyser to host\n";
    engine.recording().SetSink(&record);
  }
  kv::sim::ServeOptions serve;
  // A session of its own, so the terminal can be claimed as its controlling terminal.
  serve.claimControllingTerminal = ::setsid() != -1;
  serve.stop = &g_stop;
  serve.onReady = [](const std::string& path) { std::cout << path << std::endl; };
  if (kv::sim::ServeOnPty(engine, serve, &error) != 0) {
    std::cerr << "kv_simulator: " << error << "\n";
    return 1;
  }
  return 0;
}

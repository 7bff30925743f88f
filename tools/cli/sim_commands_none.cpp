// sim_commands_none.cpp: a build without the simulator (Windows): simulate and demo say so.
#include <ostream>

#include "cli_commands.h"

namespace kv::cli {

ExitStatus RunSimulate(const SimulateOptions&, Streams& io) {
  io.err << "korvanta: this build has no simulator (it needs a pseudo-terminal); run simulate on Linux\n";
  return ExitStatus::kFailure;
}

ExitStatus RunDemo(const DemoOptions&, Streams& io) {
  io.err << "korvanta: this build has no simulator (it needs a pseudo-terminal); run the demo on Linux\n";
  return ExitStatus::kFailure;
}

}  // namespace kv::cli

// cli_commands.h: the subcommands of `korvanta`, each a function of its parsed options that writes
// data to `out`, messages to `err`, and returns the exit status. main.cpp only parses.
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyser.h"
#include "formatters.h"
#include "cli_messages.h"
#include "test_input.h"

namespace kv::cli {

struct Streams {
  std::ostream& out;  // data: tables, CSV, JSON
  std::ostream& err;  // progress and messages
  bool errIsTerminal = false;
};

struct OutputOptions {
  std::string format;  // table, csv, json, sheet
  std::string outputPath;  // empty or "-": standard output
  bool utc = false;
};

// The port that --port takes for "the one port where an analyser answers".
inline constexpr const char* kAutoPort = "auto";

struct InfoOptions {
  std::string port;
  std::vector<std::string> probePorts;  // with --port auto: these instead of the listed ports
  std::string format = "text";  // text or json
  bool utc = false;
};

// The FHIR bundle's choices, on every command that writes one (--format fhir).
struct FhirOptions {
  std::string subject;       // "Patient/ID" for every Observation; empty: none (equine tests: a Patient)
  bool transaction = false;  // a transaction bundle of POSTs instead of a collection
};

struct DownloadOptions {
  std::vector<std::string> ports;  // one analyser each, downloaded at the same time
  std::vector<std::string> probePorts;  // with --port auto: these instead of the listed ports
  OutputOptions output{"table", "", false};
  std::string kind = "auto";
  unsigned waterEquation = 0;
  std::string progress = "auto";  // auto, on, off
  std::string archivePath;        // empty: no archive
  std::string tracePath;          // empty: no trace of the bytes on the lines
  FhirOptions fhir;
};

struct PortsOptions {
  bool probe = false;
  std::vector<std::string> ports;  // with probe: these instead of the listed ports
  std::string format = "table";    // table or json
};

struct CalcOptions {
  std::string inputPath;  // empty: the test is given by fields
  NamedValues fields;     // --<field> value, in the order given
  OutputOptions output{"sheet", "", false};
  unsigned waterEquation = 0;
};

struct ReportCommandOptions {
  std::string inputPath;  // CSV, JSON or an archive
  std::string outputPath = "report.html";
  std::string kind = "auto";  // of an archive holding both
  unsigned waterEquation = 0;
  bool utc = false;
};

struct ExportOptions {
  std::vector<std::string> inputPaths;  // CSV, JSON or archives; their tests go into one output
  std::string format = "fhir";
  std::string outputPath;
  std::string kind = "auto";  // of an archive holding both
  unsigned waterEquation = 0;
  bool utc = false;
  FhirOptions fhir;
};

struct SetClockOptions {
  std::string port;
  std::string time;  // empty: this computer's present time
  bool utc = false;
};

struct BluetoothOptions {
  std::string action;  // available, info, search, device, pair, unpair, setup
  bool interactive = false;
  unsigned timeoutMultiplier = 8;
};

struct SimulateOptions {
  std::optional<int> model;
  std::string scenarioPath;
  std::vector<std::string> faults;
  std::string recordPath;
};

struct DemoOptions {
  int model = 7;
  int rows = 5;
  bool utc = false;
};

ExitStatus RunInfo(const InfoOptions& options, Streams& io);
ExitStatus RunDownload(const DownloadOptions& options, Streams& io);
ExitStatus RunPorts(const PortsOptions& options, Streams& io);
ExitStatus RunCalc(const CalcOptions& options, Streams& io);
ExitStatus RunReport(const ReportCommandOptions& options, Streams& io);
ExitStatus RunExport(const ExportOptions& options, Streams& io);
ExitStatus RunSetClock(const SetClockOptions& options, Streams& io);
ExitStatus RunBluetooth(const BluetoothOptions& options, Streams& io);
// Both need the simulator; a build without it says so and returns kFailure.
ExitStatus RunSimulate(const SimulateOptions& options, Streams& io);
ExitStatus RunDemo(const DemoOptions& options, Streams& io);

// ---- Shared by the commands

// --port auto: `ports` must then be {"auto"} alone; it becomes the one port among `probePorts` (none:
// the listed ports) where an analyser's handshake came, which err names. kOk, or the status of a
// failure (no analyser, several, or auto misused), told on err with every port probed and its result.
ExitStatus ResolveAutoPort(std::vector<std::string>& ports, const std::vector<std::string>& probePorts, Streams& io);

// The road's failed step as one line, and its exit status.
ExitStatus ReportRoadFailure(const Road& road, const std::string& port, Streams& io);
// Writes `text` to the output file (whole or not at all) or standard output; kOutput with a message
// when it cannot.
ExitStatus Deliver(const std::string& text, const std::string& outputPath, Streams& io);
// The tests of a CSV or JSON file (or standard input, "-"), or of an archive (by its first bytes),
// of `kind` when an archive holds both. nullopt with a message and the exit status to give.
std::optional<TestSet> ReadTestFile(const std::string& path, const std::string& kind, std::string* error,
                                    ExitStatus* status);
// The tests of `sets` as a FHIR bundle, written to the output (Deliver), with a line on err for each
// test whose calculation failed. kOk, or Deliver's failure; `refused` gets the status of the first
// failed test (kOk when none), as calc gives it.
ExitStatus DeliverFhir(std::span<const TestSet> sets, const FhirOptions& fhir, TimeStyle timeStyle,
                       const std::string& outputPath, Streams& io, ExitStatus* refused);
// Lines of `korvanta info` for a device.
std::string InfoText(const DeviceInfo& info, const std::string& port, TimeStyle style);
std::string InfoJson(const DeviceInfo& info, const std::string& port, TimeStyle style);
// One line per step with its time: "  open /dev/pts/3 ........  2 ms".
std::string TimingText(const std::vector<StepTiming>& timings);
std::string FamilyName(int32_t family);

}  // namespace kv::cli

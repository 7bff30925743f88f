// export_command.cpp: `korvanta export`: tests from files or archives, calculated, written as a FHIR
// bundle; and the FHIR output that download and archive export share with it.
#include <ostream>
#include <sstream>

#include "cli_commands.h"
#include "fhir_bundle.h"

namespace kv::cli {

ExitStatus DeliverFhir(std::span<const TestSet> sets, const FhirOptions& fhir, TimeStyle timeStyle,
                       const std::string& outputPath, Streams& io, ExitStatus* refused) {
  std::vector<fhir::Refusal> refusals;
  const std::string bundle = fhir::BundleJson(sets, {timeStyle, fhir.subject, fhir.transaction}, &refusals);
  if (ExitStatus status = Deliver(bundle, outputPath, io); status != ExitStatus::kOk) return status;
  // One write for all the lines: standard error is not buffered.
  std::ostringstream lines;
  *refused = ExitStatus::kOk;
  for (const fhir::Refusal& r : refusals) {
    using Why = fhir::Refusal::Why;
    lines << "korvanta: test " << r.slot << " of serialNumber " << r.serialNumber << ": ";
    if (r.why == Why::kRepeated) {
      lines << "the same test (analyser and time) came before; written once\n";
      continue;
    }
    lines << FailureLine(r.why == Why::kResults ? "calculation" : "normal ranges", r.code)
          << (r.why == Why::kResults ? "; no Observation written for it\n" : "; its Observations carry no ranges\n");
    if (*refused == ExitStatus::kOk) *refused = ExitStatusFor(r.code);
  }
  io.err << lines.str();
  return ExitStatus::kOk;
}

ExitStatus RunExport(const ExportOptions& options, Streams& io) {
  if (options.format != "fhir") {
    io.err << "korvanta: unknown format '" << options.format << "': use fhir\n";
    return ExitStatus::kUsage;
  }
  std::vector<TestSet> sets;
  for (const std::string& path : options.inputPaths) {
    std::string error;
    ExitStatus status = ExitStatus::kOk;
    auto tests = ReadTestFile(path, options.kind, &error, &status);
    if (!tests) {
      io.err << "korvanta: " << path << ": " << error << "\n";
      return status;
    }
    CalculateAll(*tests, options.waterEquation);
    sets.push_back(std::move(*tests));
  }
  ExitStatus refused = ExitStatus::kOk;
  const TimeStyle style = options.utc ? TimeStyle::kUtc : TimeStyle::kLocal;
  if (ExitStatus status = DeliverFhir(sets, options.fhir, style, options.outputPath, io, &refused);
      status != ExitStatus::kOk)
    return status;
  return refused;
}

}  // namespace kv::cli

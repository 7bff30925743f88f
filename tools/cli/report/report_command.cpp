// report_command.cpp: `korvanta report`: tests from a file or an archive, calculated, written as
// the HTML report.
#include <ostream>
#include <sstream>

#include "cli_commands.h"
#include "report_html.h"

namespace kv::cli {

ExitStatus RunReport(const ReportCommandOptions& options, Streams& io) {
  std::string error;
  ExitStatus status = ExitStatus::kOk;
  auto tests = ReadTestFile(options.inputPath, options.kind, &error, &status);
  if (!tests) {
    io.err << "korvanta: " << error << "\n";
    return status;
  }
  CalculateAll(*tests, options.waterEquation);
  std::ostringstream html;
  report::WriteReport(html, *tests, {options.utc ? TimeStyle::kUtc : TimeStyle::kLocal});
  if (ExitStatus written = Deliver(html.str(), options.outputPath, io); written != ExitStatus::kOk) return written;
  const size_t count = TestCount(*tests);
  io.err << "korvanta: report of " << count << (count == 1 ? " test" : " tests") << " written to "
         << (options.outputPath.empty() || options.outputPath == "-" ? "standard output" : options.outputPath) << "\n";
  return ExitStatus::kOk;
}

}  // namespace kv::cli

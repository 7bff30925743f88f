// download_command.cpp: `korvanta download` from one or several analysers at once: a session and a
// thread per port, progress and trace from the sessions, Ctrl-C cancelling them all. The output and
// the archive are written only once every download has ended, and not at all when interrupted.
#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "archive_commands.h"
#include "catalogue.h"
#include "cli_commands.h"
#include "cli_platform.h"
#include "interrupt_watch.h"
#include "progress_board.h"
#include "session_link.h"
#include "trace_log.h"

namespace kv::cli {

namespace {

TimeStyle StyleOf(bool utc) { return utc ? TimeStyle::kUtc : TimeStyle::kLocal; }

template <class Rows>
int FailedCount(const Rows& rows) {
  int failed = 0;
  for (const auto& row : rows)
    if (row.resultsCode != KV_OK || row.normalsCode != KV_OK) ++failed;
  return failed;
}

// The first failure among the rows: its slot and code.
template <class Rows>
std::optional<std::pair<int, int32_t>> FirstFailure(const Rows& rows) {
  for (const auto& row : rows) {
    if (row.resultsCode != KV_OK && row.resultsCode != kNotCalculated) return std::pair(row.slot, row.resultsCode);
    if (row.normalsCode != KV_OK && row.normalsCode != kNotCalculated) return std::pair(row.slot, row.normalsCode);
  }
  return std::nullopt;
}

// One analyser of the run: its port, its link and what came of it.
struct AnalyserRun {
  AnalyserRun(std::string portName, size_t rowIndex, ProgressBoard& board, TraceLog* log)
      : port(std::move(portName)),
        row(rowIndex),
        trace(log != nullptr ? std::make_unique<TraceLog::Port>(*log, port) : nullptr),
        link([&board, rowIndex](int32_t done, int32_t total) { board.Bytes(rowIndex, done, total); },
             trace ? SessionLink::TraceHook(
                         [port = trace.get()](bool sent, std::span<const uint8_t> bytes,
                                              std::chrono::microseconds time) { port->Bytes(sent, bytes, time); })
                   : SessionLink::TraceHook()) {}

  std::string port;
  size_t row;
  std::unique_ptr<TraceLog::Port> trace;
  SessionLink link;
  TestSet tests;
  DownloadOutcome outcome;
  std::optional<StepTiming> failure;
  std::string lastError;
};

void DownloadFrom(AnalyserRun& run, AnalyserKind kind, ProgressBoard& board) {
  board.State(run.row, "connecting");
  {
    Road road(run.link);
    if (road.Connect(run.port) == KV_OK) Download(road, kind, run.tests, run.outcome);
    if (const StepTiming* failed = road.Failure()) run.failure = *failed;
    run.lastError = run.link.LastError();
  }  // the road closes the port
  if (run.trace) run.trace->Flush();
  board.State(run.row, !run.failure ? "done" : run.failure->code == KV_ERR_CANCELLED ? "cancelled" : "failed");
}

// The failed analyser's lines: the step and its advice, then the session's own words.
void ReportFailure(const AnalyserRun& run, AnalyserKind kind, Streams& io) {
  const int32_t code = run.failure->code;
  if (code == KV_ERR_WRONG_KIND) {
    const int32_t family = KVGetDeviceFamily(run.outcome.modelCode);
    io.err << "korvanta: the analyser on " << run.port << " is a " << ModelName(run.outcome.modelCode) << " (modelCode "
           << run.outcome.modelCode << ", " << (IsEquineFamily(family) ? "equine" : "human") << "), not "
           << (kind == AnalyserKind::kHuman ? "a human" : "an equine") << " analyser\n";
  }
  io.err << "korvanta: " << run.port << ": " << FailureLine(run.failure->name, code) << "\n";
  if (!run.lastError.empty()) io.err << "korvanta: " << run.port << ": the library says: " << run.lastError << "\n";
}

ProgressBoard::Style ProgressStyle(const std::string& progress, bool errIsTerminal) {
  if (progress == "off" || (progress == "auto" && !errIsTerminal)) return ProgressBoard::Style::kNone;
  return errIsTerminal ? ProgressBoard::Style::kBars : ProgressBoard::Style::kLines;
}

// Table and sheet: each analyser's tests under a line naming it (when there are several); CSV and
// JSON: all tests in one, told apart by their serialNumber.
std::string OutputText(const std::vector<const AnalyserRun*>& done, OutputFormat format, bool several,
                       const FormatOptions& formatting) {
  std::ostringstream text;
  if (format == OutputFormat::kCsv || format == OutputFormat::kJson) {
    std::vector<TestSet> sets;
    for (const AnalyserRun* run : done) sets.push_back(run->tests);
    WriteJoinedTests(text, sets, format, formatting);
    return text.str();
  }
  for (const AnalyserRun* run : done) {
    if (several)
      text << (run == done.front() ? "" : "\n") << run->port << ": " << ModelName(run->outcome.modelCode)
           << " (modelCode " << run->outcome.modelCode << ")\n";
    WriteTests(text, run->tests, format, formatting);
  }
  return text.str();
}

void ReportDownload(const AnalyserRun& run, const DownloadOptions& options, bool several, Streams& io) {
  const std::string who = several ? run.port + ": " : "";
  const size_t count = TestCount(run.tests);
  io.err << "korvanta: " << who << count << (count == 1 ? " test" : " tests") << " downloaded from a "
         << ModelName(run.outcome.modelCode) << " (modelCode " << run.outcome.modelCode << ")";
  if (!several && !options.output.outputPath.empty() && options.output.outputPath != "-")
    io.err << ", written to " << options.output.outputPath;
  io.err << "\n";
  if (run.outcome.laterTests > 0)
    io.err << "korvanta: " << who << run.outcome.laterTests
           << " of them lie after the first empty slot, where hosts that stop at testCount do not look\n";
  std::visit(
      [&](const auto& rows) {
        if (const auto first = FirstFailure(rows))
          io.err << "korvanta: " << who << FailedCount(rows) << " of the tests were not calculated; slot "
                 << first->first << ": " << FailureLine("calculation", first->second) << "\n";
      },
      run.tests);
}

}  // namespace

ExitStatus RunDownload(const DownloadOptions& given, Streams& io) {
  DownloadOptions options = given;
  const bool fhir = options.output.format == "fhir";
  const auto format = fhir ? OutputFormat::kJson : ParseOutputFormat(options.output.format);
  if (!format) {
    io.err << "korvanta: unknown format '" << options.output.format << "': use table, csv, json, sheet or fhir\n";
    return ExitStatus::kUsage;
  }
  if (std::set<std::string> seen; !std::all_of(options.ports.begin(), options.ports.end(),
                                               [&](const std::string& port) { return seen.insert(port).second; })) {
    io.err << "korvanta: a port is given twice: give each analyser's port once\n";
    return ExitStatus::kUsage;
  }
  if (ExitStatus status = ResolveAutoPort(options.ports, options.probePorts, io); status != ExitStatus::kOk)
    return status;
  const AnalyserKind kind = options.kind == "human"    ? AnalyserKind::kHuman
                            : options.kind == "equine" ? AnalyserKind::kEquine
                                                       : AnalyserKind::kAuto;
  std::ofstream traceFile;
  std::unique_ptr<TraceLog> trace;
  if (!options.tracePath.empty()) {
    traceFile.open(FilePath(options.tracePath), std::ios::binary | std::ios::trunc);
    if (!traceFile) {
      io.err << "korvanta: cannot write " << options.tracePath << ": check the folder exists and may be written to\n";
      return ExitStatus::kOutput;
    }
    trace = std::make_unique<TraceLog>(traceFile);
  }

  ProgressBoard board(io.err, ProgressStyle(options.progress, io.errIsTerminal), options.ports);
  std::vector<std::unique_ptr<AnalyserRun>> runs;
  for (size_t i = 0; i < options.ports.size(); ++i)
    runs.push_back(std::make_unique<AnalyserRun>(options.ports[i], i, board, trace.get()));
  bool interrupted = false;
  {
    // Cancels every session at once; each download then ends within the library's cancel latency.
    InterruptWatch watch([&runs] {
      for (auto& run : runs) run->link.Cancel();
    });
    std::vector<std::thread> threads;
    for (auto& run : runs) threads.emplace_back([&run, kind, &board] { DownloadFrom(*run, kind, board); });
    for (std::thread& thread : threads) thread.join();
    interrupted = watch.Interrupted();
  }  // from here an interrupt ends the process again; the archive's journal and Deliver keep files whole
  if (interrupted) {
    io.err << "korvanta: interrupted: every download cancelled and its port closed; nothing written\n";
    return ExitStatus::kCancelled;
  }

  ExitStatus status = ExitStatus::kOk;
  std::vector<const AnalyserRun*> done;
  for (auto& run : runs) {
    if (run->failure) {
      ReportFailure(*run, kind, io);
      if (status == ExitStatus::kOk) status = ExitStatusFor(run->failure->code);
      continue;
    }
    CalculateAll(run->tests, options.waterEquation);
    done.push_back(run.get());
  }
  if (done.empty()) return status;

  const bool several = options.ports.size() > 1;
  // The archive first: the download is kept even when the output cannot be written.
  if (!options.archivePath.empty()) {
    std::vector<DownloadToArchive> downloads;
    for (const AnalyserRun* run : done) downloads.push_back({&run->tests, run->port, run->outcome.modelCode});
    if (ExitStatus archived = ArchiveDownloads(options.archivePath, downloads, io); archived != ExitStatus::kOk)
      return archived;
  }
  FormatOptions formatting;
  formatting.timeStyle = StyleOf(options.output.utc);
  if (fhir) {
    std::vector<TestSet> sets;
    for (const AnalyserRun* run : done) sets.push_back(run->tests);
    // The download's own summary below already says how many tests were not calculated.
    ExitStatus refused = ExitStatus::kOk;
    if (ExitStatus delivered =
            DeliverFhir(sets, options.fhir, formatting.timeStyle, options.output.outputPath, io, &refused);
        delivered != ExitStatus::kOk)
      return delivered;
  } else if (ExitStatus delivered =
                 Deliver(OutputText(done, *format, several, formatting), options.output.outputPath, io);
             delivered != ExitStatus::kOk) {
    return delivered;
  }

  size_t total = 0;
  for (const AnalyserRun* run : done) {
    ReportDownload(*run, options, several, io);
    total += TestCount(run->tests);
  }
  if (several && !options.output.outputPath.empty() && options.output.outputPath != "-")
    io.err << "korvanta: " << total << (total == 1 ? " test" : " tests") << " of " << done.size()
           << (done.size() == 1 ? " analyser" : " analysers") << " written to " << options.output.outputPath << "\n";
  return status;
}

}  // namespace kv::cli

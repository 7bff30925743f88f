// cli_commands.cpp: info, download, calc and set-clock: the road over the link, the calculation, the
// formatting, and one line per failure. Device access only through analyser.h.
#include "cli_commands.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "archive_commands.h"
#include "catalogue.h"
#include "record_fields.h"

namespace kv::cli {

namespace {

TimeStyle StyleOf(bool utc) { return utc ? TimeStyle::kUtc : TimeStyle::kLocal; }

std::string Bytes(const uint8_t* bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += std::to_string(bytes[i]);
  }
  return text;
}

std::string TimeOrNone(int64_t seconds, TimeStyle style) { return IsoTime(seconds, style).value_or("none"); }

std::optional<std::string> ReadAll(const std::string& path, std::string* error) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read " + path;
    return std::nullopt;
  }
  return std::string(std::istreambuf_iterator<char>(file), {});
}

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

}  // namespace

std::string FamilyName(int32_t family) {
  const std::string_view name = kv::FamilyName(family);
  return name.empty() ? "none (model outside the catalogue)" : std::string(name);
}

ExitStatus ReportRoadFailure(const Road& road, const std::string& port, Streams& io) {
  const StepTiming* failed = road.Failure();
  if (failed == nullptr) return ExitStatus::kOk;
  io.err << "korvanta: " << port << ": " << FailureLine(failed->name, failed->code) << "\n";
  return ExitStatusFor(failed->code);
}

ExitStatus Deliver(const std::string& text, const std::string& outputPath, Streams& io) {
  if (outputPath.empty() || outputPath == "-") {
    io.out << text << std::flush;
    return io.out ? ExitStatus::kOk : ExitStatus::kOutput;
  }
  std::ofstream file(outputPath, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) {
    io.err << "korvanta: cannot write " << outputPath << ": check the folder exists and may be written to\n";
    return ExitStatus::kOutput;
  }
  return ExitStatus::kOk;
}

std::optional<TestSet> ReadTestFile(const std::string& path, const std::string& kind, std::string* error,
                                    ExitStatus* status) {
  *status = ExitStatus::kUsage;
  const auto text = ReadAll(path, error);
  if (!text) return std::nullopt;
  if (LooksLikeArchive(*text)) return ReadArchive({path, std::nullopt, "", kind}, error, status);
  return ParseTests(*text, error);
}

std::string InfoText(const DeviceInfo& info, const std::string& port, TimeStyle style) {
  TextTable table({{"field", false}, {"value", false}});
  table.AddRow({"port", port});
  table.AddRow({"modelCode", std::to_string(info.modelCode)});
  table.AddRow({"family", std::to_string(info.family) + " " + FamilyName(info.family)});
  table.AddRow({"modelName", info.longName});
  table.AddRow({"modelNameShort", info.shortName});
  table.AddRow({"version", Bytes(info.version.data(), info.version.size())});
  table.AddRow({"protocol", Bytes(info.protocol.data(), info.protocol.size())});
  table.AddRow({"serialNumber", std::to_string(info.serialNumber)});
  table.AddRow({"printerAddress", "\"" + info.printerAddress + "\""});
  table.AddRow({"currentTime", TimeOrNone(info.currentTime, style)});
  table.AddRow({"calibrationTime", TimeOrNone(info.calibrationTime, style)});
  std::ostringstream out;
  table.Write(out);
  return out.str();
}

std::string InfoJson(const DeviceInfo& info, const std::string& port, TimeStyle style) {
  auto time = [&](int64_t seconds) {
    const auto text = IsoTime(seconds, style);
    return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
  };
  nlohmann::ordered_json object{
      {"port", port},
      {"modelCode", info.modelCode},
      {"family", info.family},
      {"familyName", FamilyName(info.family)},
      {"modelName", info.longName},
      {"modelNameShort", info.shortName},
      {"version", info.version},
      {"protocol", info.protocol},
      {"serialNumber", info.serialNumber},
      {"printerAddress", info.printerAddress},
      {"currentTime", time(info.currentTime)},
      {"currentTimeSeconds", info.currentTime},
      {"calibrationTime", time(info.calibrationTime)},
      {"calibrationTimeSeconds", info.calibrationTime},
  };
  // Bytes of the printer address outside UTF-8 are replaced, not refused.
  return object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string TimingText(const std::vector<StepTiming>& timings) {
  TextTable table({{"step", false}, {"time"}, {"result", false}});
  for (const StepTiming& step : timings) {
    const auto ms = static_cast<double>(step.elapsed.count()) / 1000.0;
    std::ostringstream time;
    time.setf(std::ios::fixed);
    time.precision(ms < 10 ? 1 : 0);
    time << ms << " ms";
    table.AddRow({step.name, time.str(), step.code == KV_OK ? "ok" : CodeName(step.code)});
  }
  std::ostringstream out;
  table.Write(out, "  ");
  return out.str();
}

ExitStatus RunInfo(const InfoOptions& options, Streams& io) {
  auto link = MakeExportLink();
  DeviceInfo info;
  {
    Road road(*link);
    if (road.Connect(options.port) != KV_OK || ReadInfo(road, info) != KV_OK)
      return ReportRoadFailure(road, options.port, io);
  }
  const TimeStyle style = StyleOf(options.utc);
  return Deliver(options.format == "json" ? InfoJson(info, options.port, style) : InfoText(info, options.port, style),
                 "", io);
}

ExitStatus RunDownload(const DownloadOptions& options, Streams& io) {
  const auto format = ParseOutputFormat(options.output.format);
  if (!format) {
    io.err << "korvanta: unknown format '" << options.output.format << "': use table, csv, json or sheet\n";
    return ExitStatus::kUsage;
  }
  const AnalyserKind kind = options.kind == "human"    ? AnalyserKind::kHuman
                            : options.kind == "equine" ? AnalyserKind::kEquine
                                                       : AnalyserKind::kAuto;
  // The exports give no progress within the block, so the notice says only that it is coming.
  const bool showProgress = options.progress == "on" || (options.progress == "auto" && io.errIsTerminal);
  std::unique_ptr<AnalyserLink> link = MakeExportLink();

  TestSet tests;
  DownloadOutcome outcome;
  {
    Road road(*link);
    int32_t code = road.Connect(options.port);
    if (code == KV_OK) {
      if (showProgress) io.err << "korvanta: downloading the stored tests (some seconds)\n" << std::flush;
      code = Download(road, kind, tests, outcome);
    }
    if (code != KV_OK) {
      if (code == KV_ERR_WRONG_KIND) {
        const int32_t family = KVGetDeviceFamily(outcome.modelCode);
        io.err << "korvanta: the analyser on " << options.port << " is a " << ModelName(outcome.modelCode)
               << " (modelCode " << outcome.modelCode << ", " << (IsEquineFamily(family) ? "equine" : "human")
               << "), not " << (kind == AnalyserKind::kHuman ? "a human" : "an equine") << " analyser\n";
      }
      return ReportRoadFailure(road, options.port, io);
    }
  }
  CalculateAll(tests, options.waterEquation);
  // The archive first: the download is kept even when the output cannot be written.
  if (!options.archivePath.empty()) {
    if (ExitStatus status = ArchiveDownload(options.archivePath, tests, options.port, outcome.modelCode, io);
        status != ExitStatus::kOk)
      return status;
  }

  std::ostringstream text;
  FormatOptions formatting;
  formatting.timeStyle = StyleOf(options.output.utc);
  WriteTests(text, tests, *format, formatting);
  if (ExitStatus status = Deliver(text.str(), options.output.outputPath, io); status != ExitStatus::kOk) return status;

  const size_t count = TestCount(tests);
  io.err << "korvanta: " << count << (count == 1 ? " test" : " tests") << " downloaded from a "
         << ModelName(outcome.modelCode) << " (modelCode " << outcome.modelCode << ")";
  if (!options.output.outputPath.empty() && options.output.outputPath != "-")
    io.err << ", written to " << options.output.outputPath;
  io.err << "\n";
  if (outcome.laterTests > 0)
    io.err << "korvanta: " << outcome.laterTests
           << " of them lie after the first empty slot, where hosts that stop at testCount do not look\n";
  std::visit(
      [&](const auto& rows) {
        if (const auto first = FirstFailure(rows))
          io.err << "korvanta: " << FailedCount(rows) << " of the tests were not calculated; slot " << first->first
                 << ": " << FailureLine("calculation", first->second) << "\n";
      },
      tests);
  return ExitStatus::kOk;
}

ExitStatus RunCalc(const CalcOptions& options, Streams& io) {
  const auto format = ParseOutputFormat(options.output.format);
  if (!format) {
    io.err << "korvanta: unknown format '" << options.output.format << "': use sheet, table, csv or json\n";
    return ExitStatus::kUsage;
  }
  if (!options.inputPath.empty() && !options.fields.empty()) {
    io.err << "korvanta: give the test either by --input or by its fields, not both\n";
    return ExitStatus::kUsage;
  }
  std::string error;
  std::optional<TestSet> tests;
  ExitStatus readStatus = ExitStatus::kUsage;
  if (!options.inputPath.empty()) {
    tests = ReadTestFile(options.inputPath, "auto", &error, &readStatus);
  } else if (!options.fields.empty()) {
    tests = TestFromValues(options.fields, 0, &error);
  } else {
    error = "no test given: use --input FILE, or --modelCode with the test's fields (see korvanta calc --help)";
  }
  if (!tests) {
    io.err << "korvanta: " << error << "\n";
    return readStatus;
  }
  CalculateAll(*tests, options.waterEquation);

  std::ostringstream text;
  FormatOptions formatting;
  formatting.timeStyle = StyleOf(options.output.utc);
  WriteTests(text, *tests, *format, formatting);
  if (ExitStatus status = Deliver(text.str(), options.output.outputPath, io); status != ExitStatus::kOk) return status;

  ExitStatus status = ExitStatus::kOk;
  std::visit(
      [&](const auto& rows) {
        for (const auto& row : rows) {
          const int32_t code = row.resultsCode != KV_OK ? row.resultsCode : row.normalsCode;
          if (code == KV_OK || code == kNotCalculated) continue;
          // The table and the sheet already carry the failure beside the test.
          if (*format == OutputFormat::kCsv || *format == OutputFormat::kJson)
            io.err << "korvanta: test " << row.slot << ": "
                   << FailureLine(row.resultsCode != KV_OK ? "calculation" : "normal ranges", code) << "\n";
          if (status == ExitStatus::kOk) status = ExitStatusFor(code);
        }
      },
      *tests);
  return status;
}

ExitStatus RunSetClock(const SetClockOptions& options, Streams& io) {
  std::optional<int64_t> time;
  if (!options.time.empty()) {
    time = ParseIsoTime(options.time);
    if (!time) {
      io.err << "korvanta: '" << options.time
             << "' is not an ISO 8601 time: write it as 2024-03-05T14:07:09 (local time) or with Z or +01:00\n";
      return ExitStatus::kUsage;
    }
  }
  auto link = MakeExportLink();
  int64_t after = -1;
  {
    Road road(*link);
    if (road.Connect(options.port) != KV_OK || SetClock(road, time, after) != KV_OK)
      return ReportRoadFailure(road, options.port, io);
  }
  const TimeStyle style = StyleOf(options.utc);
  return Deliver("currentTime  " + TimeOrNone(after, style) + "\n", "", io);
}

}  // namespace kv::cli

// cli_commands.cpp: info, calc and set-clock: the road over the link, the calculation, the
// formatting, and one line per failure. Device access only through analyser.h.
#include "cli_commands.h"
#include "cli_platform.h"

#include <filesystem>
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

// In large reads rather than character by character: a file of many tests is read at disk speed.
std::string ReadStream(std::istream& in, size_t expected) {
  std::string text;
  text.reserve(expected);
  std::vector<char> chunk(size_t{1} << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
    text.append(chunk.data(), static_cast<size_t>(in.gcount()));
  return text;
}

std::optional<std::string> ReadAll(const std::string& path, std::string* error) {
  if (path == "-") return ReadStream(std::cin, 0);
  std::ifstream file(FilePath(path), std::ios::binary);
  if (!file) {
    *error = "cannot read " + path;
    return std::nullopt;
  }
  std::error_code sizeError;
  const auto size = std::filesystem::file_size(FilePath(path), sizeError);
  return ReadStream(file, sizeError ? 0 : static_cast<size_t>(size));
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
  // A file is written beside itself and renamed into place, so that no one ever finds half of it;
  // a device, a pipe or a link (/dev/null, /dev/stdout) is written directly, as it is not to be replaced.
  std::error_code error;
  const auto kind = std::filesystem::symlink_status(FilePath(outputPath), error).type();
  const bool direct = kind != std::filesystem::file_type::regular && kind != std::filesystem::file_type::not_found;
  const std::string written = direct ? outputPath : outputPath + ".partial";
  std::ofstream file(FilePath(written), std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (file && !direct) std::filesystem::rename(FilePath(written), FilePath(outputPath), error);
  if (!file || error) {
    if (!direct) std::filesystem::remove(FilePath(written), error);
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
  std::vector<std::string> ports{options.port};
  if (ExitStatus status = ResolveAutoPort(ports, options.probePorts, io); status != ExitStatus::kOk) return status;
  const std::string& port = ports.front();
  auto link = MakeExportLink();
  DeviceInfo info;
  {
    Road road(*link);
    if (road.Connect(port) != KV_OK || ReadInfo(road, info) != KV_OK) return ReportRoadFailure(road, port, io);
  }
  const TimeStyle style = StyleOf(options.utc);
  return Deliver(options.format == "json" ? InfoJson(info, port, style) : InfoText(info, port, style), "", io);
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

  FormatOptions formatting;
  formatting.timeStyle = StyleOf(options.output.utc);
  std::string text;
  if (*format == OutputFormat::kCsv) {
    AppendTestsCsv(text, *tests, formatting);
  } else {
    std::ostringstream out;
    WriteTests(out, *tests, *format, formatting);
    text = std::move(out).str();
  }
  if (ExitStatus status = Deliver(text, options.output.outputPath, io); status != ExitStatus::kOk) return status;

  // One write for all the failures: standard error is not buffered.
  std::ostringstream failures;
  ExitStatus status = ExitStatus::kOk;
  std::visit(
      [&](const auto& rows) {
        for (const auto& row : rows) {
          const int32_t code = row.resultsCode != KV_OK ? row.resultsCode : row.normalsCode;
          if (code == KV_OK || code == kNotCalculated) continue;
          // The table and the sheet already carry the failure beside the test.
          if (*format == OutputFormat::kCsv || *format == OutputFormat::kJson)
            failures << "korvanta: test " << row.slot << ": "
                     << FailureLine(row.resultsCode != KV_OK ? "calculation" : "normal ranges", code) << "\n";
          if (status == ExitStatus::kOk) status = ExitStatusFor(code);
        }
      },
      *tests);
  io.err << failures.str();
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

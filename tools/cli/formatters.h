// formatters.h: writing tests with their results and normals as a table, CSV, JSON or a sheet of
// results beside normal ranges. Column names and JSON keys are the public records' field names.
// Writes to the stream it is given and nothing else.
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "test_rows.h"
#include "time_text.h"

namespace kv::cli {

enum class OutputFormat {
  kTable,  // one line per test, the main fields, results beside their normal ranges
  kCsv,    // one header line, one line per test, every field of the three records
  kJson,   // an array of one object per test: {"slot", "test", "resultsCode", "results", ...}
  kSheet,  // per test, every result filled for its model beside its normal
};

std::optional<OutputFormat> ParseOutputFormat(std::string_view name);

struct FormatOptions {
  TimeStyle timeStyle = TimeStyle::kLocal;
  size_t maxRows = 0;  // table only: 0 for all
};

void WriteTests(std::ostream& out, const TestSet& tests, OutputFormat format, const FormatOptions& options);
// The tests of several sets (analysers) in one output: the sets of one kind joined in order and
// written as WriteTests writes them. With both kinds, JSON holds all in one array (human first); the
// other formats write the human tests, a blank line, then the equine ones, each with its own header.
void WriteJoinedTests(std::ostream& out, std::span<const TestSet> sets, OutputFormat format,
                      const FormatOptions& options);

// WriteTests' CSV added to the end of `text`: a file of many tests goes out of one buffer.
void AppendTestsCsv(std::string& text, const TestSet& tests, const FormatOptions& options);

void WriteHumanCsv(std::ostream& out, std::span<const HumanRow> rows, const FormatOptions& options);
void WriteEquineCsv(std::ostream& out, std::span<const EquineRow> rows, const FormatOptions& options);
void WriteHumanJson(std::ostream& out, std::span<const HumanRow> rows, const FormatOptions& options);
void WriteEquineJson(std::ostream& out, std::span<const EquineRow> rows, const FormatOptions& options);
void WriteHumanTable(std::ostream& out, std::span<const HumanRow> rows, const FormatOptions& options);
void WriteEquineTable(std::ostream& out, std::span<const EquineRow> rows, const FormatOptions& options);
void WriteHumanSheet(std::ostream& out, std::span<const HumanRow> rows, const FormatOptions& options);
void WriteEquineSheet(std::ostream& out, std::span<const EquineRow> rows, const FormatOptions& options);

// Columns of fixed width, numbers to the right; the tool's readable output is built on it.
class TextTable {
 public:
  struct Column {
    std::string header;
    bool alignRight = true;
  };
  explicit TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}
  void AddRow(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  void Write(std::ostream& out, std::string_view indent = "") const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

// The model's long name through KVGetDeviceModelName ("Unknown" outside the catalogue).
std::string ModelName(int32_t modelCode);

}  // namespace kv::cli

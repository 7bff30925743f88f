// formatters.cpp: table, CSV, JSON and sheet output of tests, results and normals.
// nlohmann-json writes the JSON: a well-kept library, so quoting, escapes and number text are
// not hand-written plumbing of ours. Every column comes from the field tables of record_fields.h.
#include "formatters.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli_messages.h"
#include "record_fields.h"
#include "text.h"

namespace kv::cli {

namespace {

using Json = nlohmann::ordered_json;

bool Failed(int32_t code) { return code != KV_OK; }

std::string TimeCell(int64_t seconds, TimeStyle style) { return IsoTime(seconds, style).value_or(""); }

void AppendCsvText(std::string& out, const FieldValue& value, const FormatOptions& options) {
  switch (value.kind) {
    case FieldValue::Kind::kInteger:
      return AppendIntegerText(out, value.integer);
    case FieldValue::Kind::kFloat:
      return AppendFloatText(out, value.real);
    case FieldValue::Kind::kTime:
      out += CsvCell(TimeCell(value.integer, options.timeStyle));
      return;
  }
}

Json JsonValue(const FieldValue& value, const FormatOptions& options) {
  switch (value.kind) {
    case FieldValue::Kind::kInteger:
      return value.integer;
    case FieldValue::Kind::kFloat: {
      if (!std::isfinite(value.real)) return nullptr;
      return ShortestDouble(value.real);
    }
    case FieldValue::Kind::kTime: {
      const auto text = IsoTime(value.integer, options.timeStyle);
      return text ? Json(*text) : Json(nullptr);
    }
  }
  return nullptr;
}

template <class Record>
Json RecordJson(const Record& record, std::span<const FieldDef<Record>> fields, const FormatOptions& options) {
  Json object = Json::object();
  for (const auto& field : fields) object[std::string(field.name)] = JsonValue(GetField(record, field), options);
  return object;
}

template <class Record>
void HeaderCells(std::string& line, std::span<const FieldDef<Record>> fields) {
  for (const auto& field : fields) {
    line += ',';
    line += CsvCell(field.name);
  }
}

// Number cells never need quotes, so a line is built in place in one buffer for the whole output.
template <class Record>
void RecordCells(std::string& line, const Record& record, std::span<const FieldDef<Record>> fields, bool present,
                 const FormatOptions& options) {
  for (const auto& field : fields) {
    line += ',';
    if (present) AppendCsvText(line, GetField(record, field), options);
  }
}

void CodeCell(std::string& line, int32_t code) {
  line += ',';
  if (code != kNotCalculated) AppendIntegerText(line, code);
}

template <class Row, class TestRec, class Res, class Norm>
void AppendCsv(std::string& text, std::span<const Row> rows, std::span<const FieldDef<TestRec>> testFields,
               std::span<const FieldDef<Res>> resultFields, std::span<const FieldDef<Norm>> normalFields,
               const FormatOptions& options) {
  // Room for a line of middling numbers per test, so the buffer seldom grows.
  text.reserve(text.size() +
               (rows.size() + 1) * 6 * (1 + testFields.size() + resultFields.size() + normalFields.size()));
  text += "slot";
  HeaderCells(text, testFields);
  text += ",resultsCode";
  HeaderCells(text, resultFields);
  text += ",normalsCode";
  HeaderCells(text, normalFields);
  text += '\n';
  for (const Row& row : rows) {
    AppendIntegerText(text, row.slot);
    RecordCells(text, row.test, testFields, true, options);
    CodeCell(text, row.resultsCode);
    RecordCells(text, row.results, resultFields, !Failed(row.resultsCode), options);
    CodeCell(text, row.normalsCode);
    RecordCells(text, row.normals, normalFields, !Failed(row.normalsCode), options);
    text += '\n';
  }
}

template <class Row, class TestRec, class Res, class Norm>
void WriteCsv(std::ostream& out, std::span<const Row> rows, std::span<const FieldDef<TestRec>> testFields,
              std::span<const FieldDef<Res>> resultFields, std::span<const FieldDef<Norm>> normalFields,
              const FormatOptions& options) {
  std::string text;
  AppendCsv(text, rows, testFields, resultFields, normalFields, options);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string CodeText(int32_t code) { return CodeName(code) + ": " + CodeMeaning(code); }

template <class Row, class TestRec, class Res, class Norm>
void AppendJson(std::vector<Json>& objects, std::span<const Row> rows, std::span<const FieldDef<TestRec>> testFields,
                std::span<const FieldDef<Res>> resultFields, std::span<const FieldDef<Norm>> normalFields,
                const FormatOptions& options) {
  for (const Row& row : rows) {
    Json object = Json::object();
    object["slot"] = row.slot;
    object["test"] = RecordJson(row.test, testFields, options);
    object["resultsCode"] = row.resultsCode == kNotCalculated ? Json(nullptr) : Json(row.resultsCode);
    if (row.resultsCode != kNotCalculated && Failed(row.resultsCode)) object["resultsError"] = CodeText(row.resultsCode);
    object["results"] = Failed(row.resultsCode) ? Json(nullptr) : RecordJson(row.results, resultFields, options);
    object["normalsCode"] = row.normalsCode == kNotCalculated ? Json(nullptr) : Json(row.normalsCode);
    if (row.normalsCode != kNotCalculated && Failed(row.normalsCode)) object["normalsError"] = CodeText(row.normalsCode);
    object["normals"] = Failed(row.normalsCode) ? Json(nullptr) : RecordJson(row.normals, normalFields, options);
    objects.push_back(std::move(object));
  }
}

void AppendHumanJson(std::vector<Json>& objects, std::span<const HumanRow> rows, const FormatOptions& options) {
  AppendJson(objects, rows, TestRecordFields(), ResultsFields(), NormalsFields(), options);
}

void AppendEquineJson(std::vector<Json>& objects, std::span<const EquineRow> rows, const FormatOptions& options) {
  AppendJson(objects, rows, EquineTestRecordFields(), EquineResultsFields(), EquineNormalsFields(), options);
}

// One object per line, so a file of many tests still reads and diffs line by line.
void WriteJsonArray(std::ostream& out, const std::vector<Json>& objects) {
  if (objects.empty()) {
    out << "[]\n";
    return;
  }
  out << "[\n";
  for (size_t i = 0; i < objects.size(); ++i)
    out << "  " << objects[i].dump() << (i + 1 < objects.size() ? ",\n" : "\n");
  out << "]\n";
}

// ---- Readable output

std::string IntegerOrFloat(const FieldValue& value, int decimals) {
  return value.kind == FieldValue::Kind::kFloat ? FixedText(value.real, decimals) : std::to_string(value.integer);
}

// Float limits with the decimals of their result, and at least 2.
std::string NormalText(const NormalRange& range, int decimals) {
  decimals = std::max(decimals, 2);
  switch (range.kind) {
    case NormalRange::Kind::kNone:
      return "";
    case NormalRange::Kind::kRange:
      return IntegerOrFloat(range.low, decimals) + "-" + IntegerOrFloat(range.high, decimals);
    case NormalRange::Kind::kTypical:
      return IntegerOrFloat(range.low, decimals);
    case NormalRange::Kind::kMaximum:
      return "up to " + IntegerOrFloat(range.low, decimals);
  }
  return "";
}

int DecimalsOf(std::string_view name) {
  return name.find("Ratio") != std::string_view::npos || name == "alpha" || name.find("PerKg") != std::string_view::npos
             ? 3
             : 1;
}

std::string ShortTime(int64_t seconds, TimeStyle style) {
  const auto text = IsoTime(seconds, style);
  if (!text) return "-";
  std::string shown = text->substr(0, 16);
  shown[10] = ' ';
  return style == TimeStyle::kUtc ? shown + "Z" : shown;
}

std::string SexText(int32_t sex) { return sex == 0 ? "female" : sex == 1 ? "male" : "sex " + std::to_string(sex); }

// A result field with the normal beside it, as two cells.
template <class Res, class Norm>
void ResultCells(std::vector<std::string>& cells, std::string_view name, const Res& results, const Norm& normals,
                 std::span<const FieldDef<Res>> fields, NormalRange (*normalFor)(std::string_view, const Norm&),
                 bool calculated, bool normalsOk) {
  const auto* field = FindField(fields, name);
  cells.push_back(calculated && field != nullptr ? IntegerOrFloat(GetField(results, *field), DecimalsOf(name)) : "-");
  if (normalFor(name, Norm{}).kind == NormalRange::Kind::kNone) return;
  cells.push_back(calculated && normalsOk ? NormalText(normalFor(name, normals), DecimalsOf(name)) : "-");
}

void WriteNotes(std::ostream& out, const std::vector<std::string>& notes) {
  for (const std::string& note : notes) out << note << '\n';
}

template <class Row>
std::span<const Row> Limited(std::span<const Row> rows, const FormatOptions& options) {
  return options.maxRows > 0 && rows.size() > options.maxRows ? rows.first(options.maxRows) : rows;
}

template <class Row>
void NoteFailures(std::vector<std::string>& notes, const Row& row) {
  if (Failed(row.resultsCode) && row.resultsCode != kNotCalculated)
    notes.push_back("slot " + std::to_string(row.slot) + ": " + FailureLine("calculation", row.resultsCode));
  else if (Failed(row.normalsCode) && row.normalsCode != kNotCalculated)
    notes.push_back("slot " + std::to_string(row.slot) + ": " + FailureLine("normal ranges", row.normalsCode));
}

constexpr std::string_view kHumanTableResults[] = {"fatPercent", "leanKg", "tbwLitres", "ecwPercent", "bmi"};
constexpr std::string_view kEquineTableResults[] = {"bodyMassKg", "fatKg", "fatPercent", "tbwLitres", "ecwLitres",
                                                    "icwLitres"};

template <class Res, class Norm>
void WriteSheetResults(std::ostream& out, const Res& results, const Norm& normals, bool normalsOk,
                       std::span<const FieldDef<Res>> fields, NormalRange (*normalFor)(std::string_view, const Norm&)) {
  TextTable table({{"result", false}, {"value"}, {"normal", false}});
  for (const auto& field : fields) {
    const FieldValue value = GetField(results, field);
    const NormalRange range = normalsOk ? normalFor(field.name, normals) : NormalRange{};
    // A result the model does not fill stays 0, as does its normal: leave both out.
    if (value.real == 0.0f && NormalIsZero(range)) continue;
    table.AddRow({std::string(field.name), IntegerOrFloat(value, DecimalsOf(field.name)), NormalText(range, DecimalsOf(field.name))});
  }
  table.Write(out, "  ");
}

}  // namespace

std::optional<OutputFormat> ParseOutputFormat(std::string_view name) {
  if (name == "table") return OutputFormat::kTable;
  if (name == "csv") return OutputFormat::kCsv;
  if (name == "json") return OutputFormat::kJson;
  if (name == "sheet") return OutputFormat::kSheet;
  return std::nullopt;
}

void TextTable::Write(std::ostream& out, std::string_view indent) const {
  std::vector<size_t> widths;
  for (const Column& column : columns_) widths.push_back(column.header.size());
  for (const auto& row : rows_)
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text(indent);
    for (size_t i = 0; i < columns_.size(); ++i) {
      const std::string cell = i < cells.size() ? cells[i] : "";
      const std::string pad(widths[i] - cell.size(), ' ');
      if (i > 0) text += "  ";
      text += columns_[i].alignRight ? pad + cell : cell + pad;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out << text << '\n';
  };
  std::vector<std::string> header;
  for (const Column& column : columns_) header.push_back(column.header);
  line(header);
  for (const auto& row : rows_) line(row);
}

std::string ModelName(int32_t modelCode) {
  KVWChar name[64] = {};
  KVGetDeviceModelName(modelCode, name, 64);
  return FromWide(name, 64);
}

void WriteHumanCsv(std::ostream& out, std::span<const HumanRow> rows, const FormatOptions& options) {
  WriteCsv(out, rows, TestRecordFields(), ResultsFields(), NormalsFields(), options);
}

void WriteEquineCsv(std::ostream& out, std::span<const EquineRow> rows, const FormatOptions& options) {
  WriteCsv(out, rows, EquineTestRecordFields(), EquineResultsFields(), EquineNormalsFields(), options);
}

void AppendTestsCsv(std::string& text, const TestSet& tests, const FormatOptions& options) {
  if (const auto* human = std::get_if<std::vector<HumanRow>>(&tests)) {
    AppendCsv(text, std::span<const HumanRow>(*human), TestRecordFields(), ResultsFields(), NormalsFields(), options);
    return;
  }
  AppendCsv(text, std::span<const EquineRow>(std::get<std::vector<EquineRow>>(tests)), EquineTestRecordFields(),
            EquineResultsFields(), EquineNormalsFields(), options);
}

void WriteHumanJson(std::ostream& out, std::span<const HumanRow> rows, const FormatOptions& options) {
  std::vector<Json> objects;
  AppendHumanJson(objects, rows, options);
  WriteJsonArray(out, objects);
}

void WriteEquineJson(std::ostream& out, std::span<const EquineRow> rows, const FormatOptions& options) {
  std::vector<Json> objects;
  AppendEquineJson(objects, rows, options);
  WriteJsonArray(out, objects);
}

void WriteHumanTable(std::ostream& out, std::span<const HumanRow> all, const FormatOptions& options) {
  std::vector<TextTable::Column> columns{{"slot"},   {"testTime", false}, {"sex", false},   {"age"},
                                         {"height"}, {"weight"},          {"impedanceF2"}};
  for (std::string_view name : kHumanTableResults) {
    columns.push_back({std::string(name)});
    if (HumanNormalFor(name, KVNormals{}).kind != NormalRange::Kind::kNone) columns.push_back({"normal", false});
  }
  TextTable table(columns);
  std::vector<std::string> notes;
  for (const HumanRow& row : Limited(all, options)) {
    const KVTestRecord& t = row.test;
    std::vector<std::string> cells{std::to_string(row.slot), ShortTime(t.testTime, options.timeStyle),
                                   SexText(t.sex),           std::to_string(t.age),
                                   std::to_string(t.height), FixedText(t.weight, 1),
                                   std::to_string(t.impedanceF2)};
    for (std::string_view name : kHumanTableResults)
      ResultCells(cells, name, row.results, row.normals, ResultsFields(), &HumanNormalFor, !Failed(row.resultsCode),
                  !Failed(row.normalsCode));
    table.AddRow(std::move(cells));
    NoteFailures(notes, row);
  }
  table.Write(out);
  if (all.size() > Limited(all, options).size())
    out << "(" << Limited(all, options).size() << " of " << all.size() << " tests shown)\n";
  WriteNotes(out, notes);
}

void WriteEquineTable(std::ostream& out, std::span<const EquineRow> all, const FormatOptions& options) {
  std::vector<TextTable::Column> columns{
      {"slot"}, {"testTime", false}, {"height"}, {"conditionScore"}, {"impedance50"}};
  for (std::string_view name : kEquineTableResults) {
    columns.push_back({std::string(name)});
    if (EquineNormalFor(name, CXNormals{}).kind != NormalRange::Kind::kNone) columns.push_back({"normal", false});
  }
  TextTable table(columns);
  std::vector<std::string> notes;
  for (const EquineRow& row : Limited(all, options)) {
    const CXTestRecord& t = row.test;
    std::vector<std::string> cells{std::to_string(row.slot), ShortTime(t.testTime, options.timeStyle),
                                   std::to_string(t.height), std::to_string(t.conditionScore),
                                   std::to_string(t.impedance50)};
    for (std::string_view name : kEquineTableResults)
      ResultCells(cells, name, row.results, row.normals, EquineResultsFields(), &EquineNormalFor,
                  !Failed(row.resultsCode), !Failed(row.normalsCode));
    table.AddRow(std::move(cells));
    NoteFailures(notes, row);
  }
  table.Write(out);
  if (all.size() > Limited(all, options).size())
    out << "(" << Limited(all, options).size() << " of " << all.size() << " tests shown)\n";
  WriteNotes(out, notes);
}

void WriteHumanSheet(std::ostream& out, std::span<const HumanRow> rows, const FormatOptions& options) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const HumanRow& row = rows[i];
    const KVTestRecord& t = row.test;
    if (i > 0) out << '\n';
    out << "slot " << row.slot << ": " << ModelName(t.modelCode) << " (modelCode " << t.modelCode << ")";
    if (const auto time = IsoTime(t.testTime, options.timeStyle)) out << ", testTime " << *time;
    out << "\n  " << SexText(t.sex) << ", age " << t.age << ", height " << t.height << ", weight "
        << FloatText(t.weight) << ", activityLevel " << t.activityLevel << ", waist " << t.waist << ", hip " << t.hip
        << "\n  impedanceF1 " << t.impedanceF1 << ", impedanceF2 " << t.impedanceF2 << ", impedanceF4 "
        << t.impedanceF4 << ", resistance " << t.resistance;
    if (t.spectrumCount > 0) out << ", spectrumCount " << t.spectrumCount;
    out << '\n';
    if (Failed(row.resultsCode)) {
      out << "  " << FailureLine("calculation", row.resultsCode) << '\n';
      continue;
    }
    if (Failed(row.normalsCode)) out << "  " << FailureLine("normal ranges", row.normalsCode) << '\n';
    WriteSheetResults(out, row.results, row.normals, !Failed(row.normalsCode), ResultsFields(), &HumanNormalFor);
  }
}

void WriteEquineSheet(std::ostream& out, std::span<const EquineRow> rows, const FormatOptions& options) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const EquineRow& row = rows[i];
    const CXTestRecord& t = row.test;
    if (i > 0) out << '\n';
    out << "slot " << row.slot << ": " << ModelName(t.modelCode) << " (modelCode " << t.modelCode << ")";
    if (const auto time = IsoTime(t.testTime, options.timeStyle)) out << ", testTime " << *time;
    out << "\n  height " << t.height << ", conditionScore " << t.conditionScore << "\n  impedance5 " << t.impedance5
        << ", impedance16 " << t.impedance16 << ", impedance24 " << t.impedance24 << ", impedance50 "
        << t.impedance50 << ", impedance140 " << t.impedance140 << ", impedance200 " << t.impedance200
        << ", impedance280 " << t.impedance280 << '\n';
    if (Failed(row.resultsCode)) {
      out << "  " << FailureLine("calculation", row.resultsCode) << '\n';
      continue;
    }
    WriteSheetResults(out, row.results, row.normals, !Failed(row.normalsCode), EquineResultsFields(),
                      &EquineNormalFor);
  }
}

void WriteTests(std::ostream& out, const TestSet& tests, OutputFormat format, const FormatOptions& options) {
  if (const auto* human = std::get_if<std::vector<HumanRow>>(&tests)) {
    switch (format) {
      case OutputFormat::kTable: return WriteHumanTable(out, *human, options);
      case OutputFormat::kCsv: return WriteHumanCsv(out, *human, options);
      case OutputFormat::kJson: return WriteHumanJson(out, *human, options);
      case OutputFormat::kSheet: return WriteHumanSheet(out, *human, options);
    }
    return;
  }
  const auto& equine = std::get<std::vector<EquineRow>>(tests);
  switch (format) {
    case OutputFormat::kTable: return WriteEquineTable(out, equine, options);
    case OutputFormat::kCsv: return WriteEquineCsv(out, equine, options);
    case OutputFormat::kJson: return WriteEquineJson(out, equine, options);
    case OutputFormat::kSheet: return WriteEquineSheet(out, equine, options);
  }
}

void WriteJoinedTests(std::ostream& out, std::span<const TestSet> sets, OutputFormat format,
                      const FormatOptions& options) {
  std::vector<HumanRow> human;
  std::vector<EquineRow> equine;
  bool anyHuman = false, anyEquine = false;
  for (const TestSet& set : sets) {
    if (const auto* rows = std::get_if<std::vector<HumanRow>>(&set)) {
      anyHuman = true;
      human.insert(human.end(), rows->begin(), rows->end());
    } else {
      anyEquine = true;
      const auto& equineRows = std::get<std::vector<EquineRow>>(set);
      equine.insert(equine.end(), equineRows.begin(), equineRows.end());
    }
  }
  if (!anyHuman || !anyEquine)
    return WriteTests(out, anyEquine ? TestSet(std::move(equine)) : TestSet(std::move(human)), format, options);
  if (format == OutputFormat::kJson) {
    std::vector<Json> objects;
    AppendHumanJson(objects, human, options);
    AppendEquineJson(objects, equine, options);
    return WriteJsonArray(out, objects);
  }
  WriteTests(out, human, format, options);
  out << '\n';
  WriteTests(out, equine, format, options);
}

}  // namespace kv::cli

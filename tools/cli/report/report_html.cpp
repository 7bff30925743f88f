// report_html.cpp: the report's page structure and print style. The summary links each test to its
// page; each page draws the results that have a normal range as bars (result_bar.h) and lists the rest.
// The summary keeps one line per test, as wide as the page: its headers wrap between words to make room.
#include "report_html.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "cli_messages.h"
#include "formatters.h"
#include "record_fields.h"
#include "result_bar.h"
#include "text.h"

namespace kv::cli::report {

namespace {

constexpr const char* kStyle = R"css(
body { font-family: "DejaVu Sans", Arial, Helvetica, sans-serif; font-size: 13px; color: #1a1a1a; background: #eeeeee; margin: 0; }
.page { background: #ffffff; max-width: 718px; box-sizing: border-box; margin: 12px auto; padding: 30px 38px; }
h1 { font-size: 20px; margin: 0 0 6px; } h2 { font-size: 16px; margin: 0 0 6px; } h3 { font-size: 13px; margin: 12px 0 4px; }
table { border-collapse: collapse; font-size: 12px; }
th, td { padding: 2px 6px; border-bottom: 1px solid #d8d8d8; text-align: right; white-space: nowrap; }
th:first-child, td:first-child { text-align: left; }
th { white-space: normal; vertical-align: bottom; }
#summary table { width: 100%; }
.subject { margin: 0 0 8px; color: #333333; }
.result { display: flex; align-items: center; height: 36px; break-inside: avoid; }
.result .name { width: 170px; }
.result .reading { width: 170px; padding-left: 8px; }
.standing { font-weight: bold; }
.below { color: #2b6cb0; } .within { color: #1f6f43; } .above { color: #c53030; }
.values { columns: 3; margin: 0; padding: 0; list-style: none; }
.values li { break-inside: avoid; }
.note { color: #8a1c1c; }
@page { size: A4 portrait; margin: 10mm; }
@media print {
  body { background: #ffffff; }
  .page { max-width: none; margin: 0; padding: 0; break-after: page; }
  .page:last-child { break-after: auto; }
}
)css";

std::string Escape(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string TimeText(int64_t seconds, TimeStyle style) { return IsoTime(seconds, style).value_or("no time"); }

std::string Sex(int32_t sex) { return sex == 0 ? "female" : sex == 1 ? "male" : "sex " + std::to_string(sex); }

constexpr std::string_view kHumanMain[] = {"fatPercent", "leanKg", "tbwLitres", "bmi"};
constexpr std::string_view kEquineMain[] = {"bodyMassKg", "fatPercent", "tbwLitres"};

// The subject's data of a test, as label and text pairs.
std::vector<std::pair<std::string, std::string>> Subject(const KVTestRecord& t) {
  return {{"sex", Sex(t.sex)},
          {"age", std::to_string(t.age)},
          {"height", std::to_string(t.height)},
          {"weight", FloatText(t.weight)},
          {"activityLevel", std::to_string(t.activityLevel)},
          {"waist", std::to_string(t.waist)},
          {"hip", std::to_string(t.hip)},
          {"impedanceF1", std::to_string(t.impedanceF1)},
          {"impedanceF2", std::to_string(t.impedanceF2)},
          {"impedanceF4", std::to_string(t.impedanceF4)}};
}

std::vector<std::pair<std::string, std::string>> Subject(const CXTestRecord& t) {
  return {{"height", std::to_string(t.height)},       {"conditionScore", std::to_string(t.conditionScore)},
          {"impedance5", std::to_string(t.impedance5)}, {"impedance50", std::to_string(t.impedance50)},
          {"impedance280", std::to_string(t.impedance280)}};
}

// A field name as a header cell that may wrap where a word begins: "fat<wbr/>Percent". Wrapped headers let the
// summary fit a narrower page with one line per test and its type at full size.
std::string HeaderCell(std::string_view name) {
  std::string cell = "<th>";
  for (size_t i = 0; i < name.size(); ++i) {
    if (i > 0 && name[i] >= 'A' && name[i] <= 'Z' && name[i - 1] >= 'a' && name[i - 1] <= 'z') cell += "<wbr/>";
    cell += name[i];
  }
  return cell + "</th>";
}

template <class Row>
std::string ResultCell(const Row& row, std::string_view name, std::span<const FieldDef<decltype(Row::results)>> fields) {
  const auto* field = FindField(fields, name);
  if (row.resultsCode != KV_OK || field == nullptr) return "-";
  return FixedText(GetField(row.results, *field).real, 1);
}

template <class Row>
void WriteSummaryRow(std::ostream& out, const Row& row, size_t index, std::span<const std::string_view> mainResults,
                     std::span<const FieldDef<decltype(Row::results)>> fields, const ReportOptions& options) {
  out << "<tr><td><a href=\"#test-" << index << "\">" << index << "</a></td><td>"
      << Escape(TimeText(row.test.testTime, options.timeStyle)) << "</td>";
  if constexpr (std::is_same_v<Row, HumanRow>) {
    out << "<td>" << Sex(row.test.sex) << "</td><td>" << row.test.age << "</td><td>" << row.test.height << "</td><td>"
        << FloatText(row.test.weight) << "</td>";
  } else {
    out << "<td>" << row.test.height << "</td><td>" << row.test.conditionScore << "</td>";
  }
  for (std::string_view name : mainResults) out << "<td>" << ResultCell(row, name, fields) << "</td>";
  out << "</tr>\n";
}

template <class Row, class Res, class Norm>
void WriteTestPage(std::ostream& out, const Row& row, size_t index, std::span<const FieldDef<Res>> fields,
                   NormalRange (*normalFor)(std::string_view, const Norm&), const ReportOptions& options) {
  const auto& t = row.test;
  out << "<section class=\"page\" id=\"test-" << index << "\">\n<h2>Test " << index << ": "
      << Escape(TimeText(t.testTime, options.timeStyle)) << "</h2>\n<p class=\"subject\">" << Escape(ModelName(t.modelCode))
      << " (modelCode " << t.modelCode << "), serialNumber " << t.serialNumber << ", slot " << row.slot << "<br/>";
  bool first = true;
  for (const auto& [label, text] : Subject(t)) {
    out << (first ? "" : ", ") << label << " " << Escape(text);
    first = false;
  }
  out << "</p>\n";
  if (row.resultsCode != KV_OK) {
    out << "<p class=\"note\">" << Escape(FailureLine("calculation", row.resultsCode)) << "</p>\n</section>\n";
    return;
  }
  const bool normalsOk = row.normalsCode == KV_OK;
  if (!normalsOk) out << "<p class=\"note\">" << Escape(FailureLine("normal ranges", row.normalsCode)) << "</p>\n";
  std::vector<std::string> others;
  for (const auto& field : fields) {
    const FieldValue value = GetField(row.results, field);
    const NormalRange range = normalsOk ? normalFor(field.name, row.normals) : NormalRange{};
    const bool zeroRange = range.kind == NormalRange::Kind::kNone ||
                           (NumberOf(range.low) == 0 && (range.kind != NormalRange::Kind::kRange || NumberOf(range.high) == 0));
    // A result the model does not fill stays 0 with a zero normal: it is not shown.
    if (value.real == 0.0f && zeroRange) continue;
    const std::string name(field.name);
    if (!zeroRange && (range.kind == NormalRange::Kind::kRange || range.kind == NormalRange::Kind::kMaximum)) {
      const Standing standing = LayOutBar(NumberOf(value), range).standing;
      const std::string word(StandingWord(standing));
      out << "<div class=\"result\"><div class=\"name\">" << name << "</div>" << BarSvg(name, value, range)
          << "<div class=\"reading\">" << FixedText(value.real, 2) << " <span class=\"standing " << word << "\">"
          << word << "</span></div></div>\n";
      continue;
    }
    std::string item = "<li>" + name + " " + FixedText(value.real, 2);
    if (range.kind == NormalRange::Kind::kTypical && !zeroRange) item += " (typical " + NumberText(range.low) + ")";
    others.push_back(item + "</li>");
  }
  if (!others.empty()) {
    out << "<h3>Values without a range</h3>\n<ul class=\"values\">";
    for (const std::string& item : others) out << item;
    out << "</ul>\n";
  }
  out << "</section>\n";
}

template <class Row, class Res, class Norm>
void WriteAll(std::ostream& out, std::span<const Row> rows, std::span<const std::string_view> mainResults,
              std::span<const FieldDef<Res>> fields, NormalRange (*normalFor)(std::string_view, const Norm&),
              const ReportOptions& options) {
  out << "<section class=\"page\" id=\"summary\">\n<h1>Korvanta report</h1>\n<p>" << rows.size()
      << (rows.size() == 1 ? " test" : " tests") << "; each number links to the test's page.</p>\n<table>\n<tr>";
  std::vector<std::string_view> headers{"test", "testTime"};
  if constexpr (std::is_same_v<Row, HumanRow>)
    headers.insert(headers.end(), {"sex", "age", "height", "weight"});
  else
    headers.insert(headers.end(), {"height", "conditionScore"});
  headers.insert(headers.end(), mainResults.begin(), mainResults.end());
  for (std::string_view name : headers) out << HeaderCell(name);
  out << "</tr>\n";
  for (size_t i = 0; i < rows.size(); ++i) WriteSummaryRow(out, rows[i], i + 1, mainResults, fields, options);
  out << "</table>\n</section>\n";
  for (size_t i = 0; i < rows.size(); ++i) WriteTestPage(out, rows[i], i + 1, fields, normalFor, options);
}

}  // namespace

void WriteReport(std::ostream& out, const TestSet& tests, const ReportOptions& options) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>Korvanta report</title>\n"
         "<style>"
      << kStyle << "</style>\n</head>\n<body>\n";
  if (const auto* human = std::get_if<std::vector<HumanRow>>(&tests))
    WriteAll<HumanRow>(out, *human, kHumanMain, ResultsFields(), &HumanNormalFor, options);
  else
    WriteAll<EquineRow>(out, std::get<std::vector<EquineRow>>(tests), kEquineMain, EquineResultsFields(),
                        &EquineNormalFor, options);
  out << "</body>\n</html>\n";
}

}  // namespace kv::cli::report

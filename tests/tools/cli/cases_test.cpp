// cases_test.cpp: the tool's text, time, field and input parsing, one row of data/cases.tsv per case;
// the calendar round trip and wide text in code; and every result code's advice and exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "../../support/data_table.h"
#include "KorvantaSDK.h"
#include "cli_messages.h"
#include "record_fields.h"
#include "result_codes.h"
#include "test_input.h"
#include "text.h"

namespace kv::cli {
namespace {

const char* const kQuattron = R"({"modelCode": 7, "sex": "female", "age": 35, "height": 165, "weight": 60.5,
    "activityLevel": 3, "waist": 70, "hip": 95, "impedanceF1": 560, "impedanceF2": 500, "impedanceF4": 450})";

template <class Record>
std::string Value(const Record& record, std::span<const FieldDef<Record>> fields, const std::string& name) {
  const auto* field = FindField(fields, name);
  if (field == nullptr) return "no field";
  const FieldValue v = GetField(record, *field);
  return v.kind == FieldValue::Kind::kFloat ? FloatText(v.real) : std::to_string(v.integer);
}

// For tests that parse: "name=value ..." of the names the row expects (`tests` their count,
// `spectrum` the first test's points, `last.name` a field of the last test), or the error.
std::string Parsed(const std::string& text, const std::string& expected) {
  std::string error, answer;
  const auto set = ParseTests(text, &error);
  if (!set) return error;
  for (const std::string& pair : SplitCells(expected)) {
    std::string name = pair.substr(0, pair.find('='));
    const bool last = name.rfind("last.", 0) == 0;
    if (last) name = name.substr(5);
    std::string value = std::visit(
        [&](const auto& rows) {
          const auto& row = last ? rows.back() : rows.front();
          if (name == "tests") return std::to_string(rows.size());
          if (name == "slot") return std::to_string(row.slot);
          if constexpr (std::is_same_v<decltype(row), const HumanRow&>) {
            if (name != "spectrum") return Value(row.test, TestRecordFields(), name);
            std::string points;
            for (const auto& p : row.spectrum)
              points += FloatText(p.frequency) + ":" + FloatText(p.magnitude) + ":" + FloatText(p.phase) + "|";
            return points;
          } else {
            return Value(row.test, EquineTestRecordFields(), name);
          }
        },
        *set);
    answer += (answer.empty() ? "" : " ") + pair.substr(0, pair.find('=') + 1) + value;
  }
  return answer;
}

std::string Answer(const std::string& what, const std::string& in, const std::string& expected) {
  const auto shown = [](const auto& v, auto show) { return v ? std::string(show(*v)) : std::string("!"); };
  const auto number = [](auto v) { return std::to_string(v); };
  if (what == "float") return FloatText(std::stof(in));
  if (what == "fixed1" || what == "fixed3") return FixedText(std::stof(in), what[5] - '0');
  if (what == "integer") return shown(ParseInteger(in), number);
  if (what == "real") return shown(ParseFloat(in), [](float v) { return FloatText(v); });
  if (what == "iso") return shown(ParseIsoTime(in), number);
  if (what == "utc" || what == "local")
    return IsoTime(std::stoll(in), what == "utc" ? TimeStyle::kUtc : TimeStyle::kLocal).value_or("!");
  if (what == "cell") return CsvCell(in);
  if (what == "split") {
    return shown(SplitCsvLine(in), [](const std::vector<std::string>& cells) {
      std::string joined;
      for (const auto& cell : cells) joined += cell + "|";
      return joined;
    });
  }
  if (what.rfind("set ", 0) == 0) {  // the field's value afterwards; "!" when refused (it held 9)
    KVTestRecord test{};
    const auto* field = FindField(TestRecordFields(), what.substr(4));
    if (field == nullptr) return "no field";
    std::visit([&](auto member) { test.*member = 9; }, field->member);
    const bool accepted = SetField(test, *field, in);
    return (accepted ? "" : "!") + Value(test, TestRecordFields(), what.substr(4));
  }
  if (what == "parse") return Parsed(in, expected);
  if (what == "quattron") {  // the Quattron test above with the row's members changed; null removes one
    nlohmann::json test = nlohmann::json::parse(kQuattron);
    test.merge_patch(nlohmann::json::parse(in));
    return Parsed(test.dump(), expected);
  }
  return "unknown case kind " + what;
}

std::string Unescaped(std::string text) {
  for (size_t at = 0; (at = text.find('\\', at)) != std::string::npos; ++at)
    text.replace(at, 2, text[at + 1] == 'n' ? "\n" : text[at + 1] == 'r' ? "\r" : "\\");
  return text;
}

// Rows "what<TAB>input<TAB>expected"; an expected text starting with "~" need only be part of the answer.
// The zone is a POSIX rule (no time-zone database needed): CET, summer time from March to October.
TEST(Cases, EveryRowOfTheTable) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  std::ifstream file(KV_TEST_DATA_DIR "/cases.tsv");
  int rows = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    const std::string what = line.substr(0, tab1), in = Unescaped(line.substr(tab1 + 1, tab2 - tab1 - 1));
    const std::string expected = Unescaped(line.substr(tab2 + 1));
    SCOPED_TRACE(line);
    const std::string got = Answer(what, in, expected);
    if (expected[0] == '~')
      EXPECT_NE(std::string::npos, got.find(expected.substr(1))) << got;
    else
      EXPECT_EQ(expected, got);
    ++rows;
  }
  EXPECT_GT(rows, 80);
  old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
}

TEST(Cases, TheCalendarBothWaysAndWideText) {
  for (int64_t day = -800; day < 40000; day += 37) {
    int64_t year = 0;
    int month = 0, dayOfMonth = 0;
    CivilFromDays(day, year, month, dayOfMonth);
    EXPECT_EQ(day, DaysFromCivil(year, month, dayOfMonth));
  }
  const KVWChar wide[] = {'C', 'O', 'M', '5', 0, 'x'};
  EXPECT_EQ("COM5", FromWide(wide, 6));
  EXPECT_EQ("CO", FromWide(wide, 2));
}

TEST(Messages, EveryFailingCodeHasItsNameAdviceAndStatus) {
  for (const ResultCodeInfo& info : AllResultCodes()) {
    EXPECT_EQ(info.name, CodeName(info.value));
    if (info.value == KV_OK) continue;
    EXPECT_NE(CodeAdvice(-99), CodeAdvice(info.value)) << info.name;
    EXPECT_FALSE(CodeAdvice(info.value).empty()) << info.name;
    EXPECT_NE(ExitStatus::kOk, ExitStatusFor(info.value)) << info.name;
    EXPECT_NE(ExitStatus::kFailure, ExitStatusFor(info.value)) << info.name;
  }
  using S = ExitStatus;
  // clang-format off
  for (const auto& [code, status] : std::initializer_list<std::pair<int32_t, S>>{
           {KV_OK, S::kOk}, {KV_ERR_PORT_QUEUES, S::kPort}, {KV_ERR_NO_HANDSHAKE, S::kNoAnswer},
           {KV_ERR_ECHO, S::kProtocol}, {KV_ERR_ACK, S::kProtocol}, {KV_ERR_WATER_EQUATION, S::kUsage},
           {-2, S::kFailure}, {-99, S::kFailure}})
    // clang-format on
    EXPECT_EQ(status, ExitStatusFor(code)) << code;
  // "<what> failed: <meaning> (<name>, <code>); <advice>", on one line.
  EXPECT_EQ("opening the port failed: " + CodeMeaning(KV_ERR_PORT_OPEN) + " (KV_ERR_PORT_OPEN, -50); " +
                std::string(CodeAdvice(KV_ERR_PORT_OPEN)),
            FailureLine("opening the port", KV_ERR_PORT_OPEN));
  EXPECT_NE(std::string::npos, FailureLine("reading", -99).find(CodeMeaning(-99) + " (code -99, -99)"));
}

}  // namespace
}  // namespace kv::cli

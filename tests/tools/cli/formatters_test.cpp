// formatters_test.cpp: CSV, JSON, table and sheet output against outputs written out by hand.
#include "formatters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

namespace kv::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string Repeat(const std::string& cell, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i > 0 ? "," : "") + cell;
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> tokens;
  std::istringstream in(line);
  for (std::string token; in >> token;) tokens.push_back(token);
  return tokens;
}

// 2023-12-24T09:15:30Z (worked out in time_text_test.cpp).
constexpr int64_t kTime = 1703409330;

HumanRow CalculatedRow() {
  HumanRow row;
  row.slot = 3;
  row.test = {7, 12345, kTime, 0, 35, 165, 60.5f, 3, 70, 95, 560, 500, 480, 450, 490, 12.5f, 0.0f, 0, nullptr};
  row.resultsCode = KV_OK;
  row.results.fatPercent = 23.4f;
  row.results.leanKg = 46.3f;
  row.normalsCode = KV_OK;
  row.normals.fatPercentLow = 21;
  row.normals.fatPercentHigh = 27;
  row.normals.waistHipRatioMax = 0.8f;
  return row;
}

HumanRow RefusedRow() {
  HumanRow row;
  row.slot = 4;
  row.test = {8, 12345, kNoTime, 1, 40, 180, 80.0f, 2, 90, 100, 0, 450, 0, 0, 0, 0.0f, 0.0f, 0, nullptr};
  row.resultsCode = KV_ERR_ARGUMENT;
  row.normalsCode = kNotCalculated;
  return row;
}

FormatOptions Utc() {
  FormatOptions options;
  options.timeStyle = TimeStyle::kUtc;
  return options;
}

const std::string kHumanHeader =
    "slot,modelCode,serialNumber,testTime,sex,age,height,weight,activityLevel,waist,hip,impedanceF1,impedanceF2,"
    "impedanceF3,impedanceF4,resistance,decimalReading1,decimalReading2,spectrumCount,resultsCode,fatPercent,fatKg,"
    "leanPercent,leanKg,totalWeight,dryLeanKg,tbwPercent,tbwLitres,ecwPercent,ecwLitres,icwPercent,icwLitres,"
    "bodyCellMass,tbwDifference,ecwTbwRatio,impedanceRatioF4F1,bmrKcal,bmrPerKg,energyRequirementKcal,bmi,"
    "fatMassIndex,leanMassIndex,waistHipRatio,impedanceRatioF2F1,ecwRegressionLitres,tbwRegressionLitres,"
    "overhydrationLitres,skeletalMuscleKg,membraneCapacitance,resistanceZero,resistanceIntracellular,"
    "characteristicFrequency,alpha,normalsCode,fatPercentLow,fatPercentHigh,fatKgLow,fatKgHigh,leanPercentLow,"
    "leanPercentHigh,leanKgLow,leanKgHigh,targetWeightLow,targetWeightHigh,targetWeightFromBmi,tbwPercentLow,"
    "tbwPercentHigh,tbwLitresLow,tbwLitresHigh,ecwPercentNormal,icwPercentNormal,fatMassIndexLow,fatMassIndexHigh,"
    "leanMassIndexLow,leanMassIndexHigh,ecwTbwRatioNormal,impedanceRatioF4F1Low,impedanceRatioF4F1High,bmiLow,"
    "bmiHigh,waistHipRatioMax,impedanceRatioF2F1Low,impedanceRatioF2F1High";

TEST(HumanCsv, OneHeaderLineAndOneLinePerTest) {
  const std::vector<HumanRow> rows{CalculatedRow(), RefusedRow()};
  std::ostringstream out;
  WriteHumanCsv(out, rows, Utc());
  const auto lines = Lines(out.str());
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(kHumanHeader, lines[0]);
  // Results: fatPercent 23.4, leanKg 46.3 (fields 1 and 4 of 33). Normals: 21, 27, then
  // 24 zeros, waistHipRatioMax 0.8 (field 27 of 29), and two zeros.
  EXPECT_EQ("3,7,12345,2023-12-24T09:15:30Z,0,35,165,60.5,3,70,95,560,500,480,450,490,12.5,0,0,"
            "0,23.4,0,0,46.3," + Repeat("0", 29) + ",0,21,27," + Repeat("0", 24) + ",0.8,0,0",
            lines[1]);
  // A refused test keeps its data and code; its results and normals are empty cells.
  EXPECT_EQ("4,8,12345,,1,40,180,80,2,90,100,0,450,0,0,0,0,0,0,-18," + Repeat("", 33) + ",," + Repeat("", 29),
            lines[2]);
}

TEST(EquineCsv, HeaderAndLine) {
  EquineRow row;
  row.slot = 0;
  row.test = {12, 777, kTime, 160, 5, 300, 280, 270, 250, 230, 220, 210, 100.0f};
  row.resultsCode = KV_OK;
  row.results.bodyMassKg = 512.5f;
  row.normalsCode = KV_OK;
  row.normals.fatPercentLow = 7;
  row.normals.fatPercentHigh = 18;
  std::ostringstream out;
  WriteEquineCsv(out, std::vector<EquineRow>{row}, Utc());
  const auto lines = Lines(out.str());
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("slot,modelCode,serialNumber,testTime,height,conditionScore,impedance5,impedance16,impedance24,"
            "impedance50,impedance140,impedance200,impedance280,decimalReading,resultsCode,fatKg,bodyMassKg,"
            "estimatedWeightKg,fatPercent,tbwLitres,tbwPercent,ecwLitres,ecwPerKg,ecwPercentTbw,icwLitres,icwPerKg,"
            "icwPercentTbw,ecwFractionLitres,ecwFractionPercent,impedanceRatio280To5,normalsCode,fatKgLow,fatKgHigh,"
            "fatPercentLow,fatPercentHigh,tbwLitresLow,tbwLitresHigh,tbwPercentLow,tbwPercentHigh,ecwLitresLow,"
            "ecwLitresHigh,ecwPerKgLow,ecwPerKgHigh,ecwPercentTbwLow,ecwPercentTbwHigh,icwLitresLow,icwLitresHigh,"
            "icwPerKgLow,icwPerKgHigh,icwPercentTbwLow,icwPercentTbwHigh,ecwFractionLitresLow,ecwFractionLitresHigh,"
            "ecwFractionPercentLow,ecwFractionPercentHigh",
            lines[0]);
  EXPECT_EQ("0,12,777,2023-12-24T09:15:30Z,160,5,300,280,270,250,230,220,210,100,0,0,512.5," + Repeat("0", 13) +
                ",0,0,0,7,18," + Repeat("0", 20),
            lines[1]);
}

TEST(HumanJson, OneObjectPerTestNestedPerRecord) {
  const std::vector<HumanRow> rows{CalculatedRow(), RefusedRow()};
  std::ostringstream out;
  WriteHumanJson(out, rows, Utc());
  const std::string text = out.str();
  // Floats as their shortest text, not as the nearest double's 17 digits.
  EXPECT_THAT(text, HasSubstr("\"fatPercent\":23.4,"));
  EXPECT_THAT(text, HasSubstr("\"weight\":60.5,"));
  EXPECT_THAT(text, Not(HasSubstr("23.39999")));

  const auto json = nlohmann::json::parse(text);
  ASSERT_TRUE(json.is_array());
  ASSERT_EQ(2u, json.size());
  const auto& first = json[0];
  EXPECT_EQ(3, first["slot"]);
  EXPECT_EQ("2023-12-24T09:15:30Z", first["test"]["testTime"]);
  EXPECT_EQ(18u, first["test"].size());
  EXPECT_EQ(0, first["resultsCode"]);
  EXPECT_EQ(33u, first["results"].size());
  EXPECT_DOUBLE_EQ(46.3, first["results"]["leanKg"].get<double>());
  EXPECT_EQ(21, first["normals"]["fatPercentLow"]);
  EXPECT_EQ(29u, first["normals"].size());
  EXPECT_FALSE(first.contains("resultsError"));

  const auto& second = json[1];
  EXPECT_TRUE(second["test"]["testTime"].is_null());
  EXPECT_EQ(-18, second["resultsCode"]);
  EXPECT_EQ(0u, second["resultsError"].get<std::string>().find("KV_ERR_ARGUMENT: "));
  EXPECT_TRUE(second["results"].is_null());
  EXPECT_TRUE(second["normalsCode"].is_null());
  EXPECT_TRUE(second["normals"].is_null());
}

TEST(HumanJson, NonFiniteResultsAreNull) {
  HumanRow row = CalculatedRow();
  row.results.impedanceRatioF4F1 = std::numeric_limits<float>::infinity();
  std::ostringstream out;
  WriteHumanJson(out, std::vector<HumanRow>{row}, Utc());
  const auto json = nlohmann::json::parse(out.str());
  EXPECT_TRUE(json[0]["results"]["impedanceRatioF4F1"].is_null());
}

TEST(TextTable, PadsColumnsAndAlignsNumbersRight) {
  TextTable table({{"a", false}, {"num"}});
  table.AddRow({"x", "1"});
  table.AddRow({"long", "22"});
  std::ostringstream out;
  table.Write(out);
  EXPECT_EQ("a     num\n"
            "x       1\n"
            "long   22\n",
            out.str());
}

TEST(HumanTable, ResultsBesideTheirNormals) {
  const std::vector<HumanRow> rows{CalculatedRow(), RefusedRow()};
  std::ostringstream out;
  WriteHumanTable(out, rows, Utc());
  const auto lines = Lines(out.str());
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ((std::vector<std::string>{"slot", "testTime", "sex", "age", "height", "weight", "impedanceF2",
                                      "fatPercent", "normal", "leanKg", "normal", "tbwLitres", "normal", "ecwPercent",
                                      "normal", "bmi", "normal"}),
            Tokens(lines[0]));
  EXPECT_EQ((std::vector<std::string>{"3", "2023-12-24", "09:15Z", "female", "35", "165", "60.5", "500", "23.4",
                                      "21-27", "46.3", "0-0", "0.0", "0-0", "0.0", "0", "0.0", "0-0"}),
            Tokens(lines[1]));
  // The refused test: its data, dashes for results, and a note with the reason under the table.
  const auto refused = Tokens(lines[2]);
  ASSERT_GE(refused.size(), 8u);
  EXPECT_EQ("4", refused[0]);
  EXPECT_EQ("-", refused[1]);
  EXPECT_EQ("male", refused[2]);
  EXPECT_EQ("-", refused[7]);
  EXPECT_THAT(lines[3], HasSubstr("slot 4: calculation failed"));
  EXPECT_THAT(lines[3], HasSubstr("KV_ERR_ARGUMENT, -18"));
}

TEST(HumanTable, MaxRowsLimitsAndSaysSo) {
  std::vector<HumanRow> rows(7, CalculatedRow());
  FormatOptions options = Utc();
  options.maxRows = 2;
  std::ostringstream out;
  WriteHumanTable(out, rows, options);
  const auto lines = Lines(out.str());
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ("(2 of 7 tests shown)", lines[3]);
}

TEST(HumanSheet, FilledResultsBesideNormalsOnly) {
  std::ostringstream out;
  WriteHumanSheet(out, std::vector<HumanRow>{CalculatedRow()}, Utc());
  const auto lines = Lines(out.str());
  std::vector<std::vector<std::string>> rows;
  for (const auto& line : lines) rows.push_back(Tokens(line));
  auto find = [&](const std::string& name) -> std::vector<std::string> {
    for (const auto& tokens : rows)
      if (!tokens.empty() && tokens[0] == name) return tokens;
    return {};
  };
  EXPECT_EQ((std::vector<std::string>{"fatPercent", "23.4", "21-27"}), find("fatPercent"));
  EXPECT_EQ((std::vector<std::string>{"leanKg", "46.3", "0-0"}), find("leanKg"));
  // A zero result with a normal of its own stays: the normal says what it should be.
  EXPECT_EQ((std::vector<std::string>{"waistHipRatio", "0.000", "up", "to", "0.80"}), find("waistHipRatio"));
  // A zero result without a normal is one the model does not fill.
  EXPECT_TRUE(find("alpha").empty());
  EXPECT_TRUE(find("bmrKcal").empty());
  EXPECT_THAT(lines[0], HasSubstr("slot 3: Korvanta Quattron 40 (modelCode 7), testTime 2023-12-24T09:15:30Z"));
}

TEST(Formats, NamesAndEmptySets) {
  for (const auto& [name, format] : {std::pair<const char*, OutputFormat>{"csv", OutputFormat::kCsv},
                                     {"json", OutputFormat::kJson}, {"table", OutputFormat::kTable},
                                     {"sheet", OutputFormat::kSheet}})
    EXPECT_EQ(format, ParseOutputFormat(name)) << name;
  EXPECT_FALSE(ParseOutputFormat("xml"));
  EXPECT_FALSE(ParseOutputFormat("CSV"));
  std::ostringstream csv, json;
  WriteHumanCsv(csv, {}, Utc());
  EXPECT_EQ(kHumanHeader + "\n", csv.str());
  WriteEquineJson(json, {}, Utc());
  EXPECT_EQ("[]\n", json.str());
}

}  // namespace
}  // namespace kv::cli

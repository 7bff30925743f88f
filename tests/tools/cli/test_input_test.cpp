// test_input_test.cpp: tests for calc from named values, CSV and JSON; what is refused and why;
// and the download's own CSV and JSON reading back as the same tests.
#include "test_input.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "formatters.h"
#include "record_fields.h"

namespace kv::cli {
namespace {

using ::testing::HasSubstr;

const std::vector<HumanRow>& Human(const TestSet& set) { return std::get<std::vector<HumanRow>>(set); }
const std::vector<EquineRow>& Equine(const TestSet& set) { return std::get<std::vector<EquineRow>>(set); }

NamedValues QuattronValues() {
  return {{"modelCode", "7"},     {"sex", "female"},      {"age", "35"},         {"height", "165"},
          {"weight", "60.5"},     {"activityLevel", "3"}, {"waist", "70"},       {"hip", "95"},
          {"impedanceF1", "560"}, {"impedanceF2", "500"}, {"impedanceF4", "450"}};
}

TEST(TestFromValues, HumanTestFromOptions) {
  std::string error;
  const auto set = TestFromValues(QuattronValues(), 0, &error);
  ASSERT_TRUE(set) << error;
  const KVTestRecord& t = Human(*set).at(0).test;
  EXPECT_EQ(7, t.modelCode);
  EXPECT_EQ(0, t.sex);
  EXPECT_EQ(35, t.age);
  EXPECT_EQ(60.5f, t.weight);
  EXPECT_EQ(450, t.impedanceF4);
  EXPECT_EQ(-1, t.testTime);
  EXPECT_EQ(0, t.spectrumCount);
  EXPECT_EQ(nullptr, t.spectrum);
}

// By the model's family; a single JSON object is one test.
TEST(TestFromValues, EquineByTheModelsFamily) {
  const NamedValues values{{"modelCode", "12"},     {"height", "160"},       {"impedance5", "300"},
                           {"impedance16", "280"},  {"impedance24", "270"},  {"impedance50", "250"},
                           {"impedance140", "230"}, {"impedance200", "220"}, {"impedance280", "210"}};
  std::string error;
  const auto set = TestFromValues(values, 2, &error);
  ASSERT_TRUE(set) << error;
  const EquineRow& row = Equine(*set).at(0);
  EXPECT_EQ(2, row.slot);
  EXPECT_EQ(160, row.test.height);
  EXPECT_EQ(210, row.test.impedance280);
  EXPECT_EQ(0, row.test.conditionScore);
  const auto object = ParseTests(R"({"modelCode": 13, "height": 150, "impedance5": 1, "impedance16": 2,
      "impedance24": 3, "impedance50": 4, "impedance140": 5, "impedance200": 6, "impedance280": 7,
      "conditionScore": 3})", &error);
  ASSERT_TRUE(object) << error;
  EXPECT_EQ(3, Equine(*object).at(0).test.conditionScore);
}

TEST(TestFromValues, SpectrumPointsAndCount) {
  NamedValues values = QuattronValues();
  values[0].second = "8";
  values.emplace_back("resistance", "480");
  values.emplace_back("spectrum", "5:600:-3.5; 50:500:-8 ;500:420:-5");
  std::string error;
  const auto set = TestFromValues(values, 0, &error);
  ASSERT_TRUE(set) << error;
  const HumanRow& row = Human(*set).at(0);
  ASSERT_EQ(3u, row.spectrum.size());
  EXPECT_EQ(3, row.test.spectrumCount);
  EXPECT_EQ(50.0f, row.spectrum[1].frequency);
  EXPECT_EQ(-3.5f, row.spectrum[0].phase);
  EXPECT_EQ(420.0f, row.spectrum[2].magnitude);
}

struct Refusal {
  const char* name;
  NamedValues changes;  // replaces or adds to the Quattron test; an empty text removes the field
  const char* message;
};

class RefusedValues : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedValues, SaysWhy) {
  NamedValues values = QuattronValues();
  for (const auto& [name, text] : GetParam().changes) {
    auto it = std::find_if(values.begin(), values.end(), [&](const auto& e) { return e.first == name; });
    if (it != values.end())
      it->second = text;
    else
      values.emplace_back(name, text);
  }
  std::string error;
  EXPECT_FALSE(TestFromValues(values, 5, &error));
  EXPECT_THAT(error, HasSubstr(GetParam().message));
  EXPECT_THAT(error, HasSubstr("test 5: "));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedValues,
    ::testing::Values(Refusal{"NoModel", {{"modelCode", ""}}, "modelCode is missing"},
                      Refusal{"ModelNotANumber", {{"modelCode", "seven"}}, "'seven' is not a valid modelCode"},
                      Refusal{"QuattronWithoutF4", {{"impedanceF4", ""}}, "impedanceF4 is missing (model 7 uses it)"},
                      Refusal{"NoWeight", {{"weight", ""}}, "weight is missing"},
                      Refusal{"PolytraceWithoutResistance", {{"modelCode", "8"}}, "resistance is missing"},
                      Refusal{"BadAge", {{"age", "thirty"}}, "'thirty' is not a valid age"},
                      Refusal{"Typo", {{"wieght", "60"}}, "unknown field 'wieght'"},
                      Refusal{"EquineFieldOnHuman", {{"conditionScore", "5"}}, "not a field of human tests"},
                      Refusal{"BadSpectrum", {{"spectrum", "5:600"}}, "is not frequency:magnitude:phase"},
                      Refusal{"EquineModelMissingReadings", {{"modelCode", "13"}}, "impedance5 is missing"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(TestFromValues, OutputOnlyNamesAreIgnored) {
  NamedValues values = QuattronValues();
  values.emplace_back("fatPercent", "23.4");
  values.emplace_back("bmiLow", "20");
  values.emplace_back("resultsCode", "0");
  std::string error;
  EXPECT_TRUE(TestFromValues(values, 0, &error)) << error;
}

TEST(ParseSpectrum, AtMostFiftyPoints) {
  std::string text;
  for (int i = 1; i <= 51; ++i) text += std::to_string(i) + ":500:-5;";
  std::string error;
  EXPECT_FALSE(ParseSpectrum(text, &error));
  EXPECT_THAT(error, HasSubstr("at most 50"));
  text.resize(text.rfind("51:"));
  const auto points = ParseSpectrum(text, &error);
  ASSERT_TRUE(points) << error;
  EXPECT_EQ(50u, points->size());
}

TEST(ParseTestsCsv, HeaderCommentsBlankLinesAndSlots) {
  const std::string csv =
      "# tests of the morning\r\n"
      "modelCode,sex,age,height,weight,activityLevel,waist,hip,impedanceF2,testTime\r\n"
      "1,male,40,180,80,2,90,100,450,2023-12-24T09:15:30Z\r\n"
      "\r\n"
      "1,0,30,165,60,3,70,95,520,\r\n";
  std::string error;
  const auto set = ParseTestsCsv(csv, &error);
  ASSERT_TRUE(set) << error;
  const auto& rows = Human(*set);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(0, rows[0].slot);
  EXPECT_EQ(1, rows[1].slot);
  EXPECT_EQ(1, rows[0].test.sex);
  EXPECT_EQ(1703409330, rows[0].test.testTime);
  EXPECT_EQ(-1, rows[1].test.testTime);
  EXPECT_EQ(520, rows[1].test.impedanceF2);
}

struct BadCsv {
  const char* name;
  const char* text;
  const char* message;
};

class RefusedCsv : public ::testing::TestWithParam<BadCsv> {};

TEST_P(RefusedCsv, SaysWhereAndWhy) {
  std::string error;
  EXPECT_FALSE(ParseTests(GetParam().text, &error));
  EXPECT_THAT(error, HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedCsv,
    ::testing::Values(BadCsv{"Empty", "", "holds no tests"},
                      BadCsv{"HeaderOnly", "modelCode,sex\n", "header line but no tests"},
                      BadCsv{"TooManyCells", "modelCode\n1,2\n", "line 2: more cells"},
                      BadCsv{"OpenQuote", "modelCode\n\"1\n", "line 2: a quoted cell is not closed"},
                      BadCsv{"MissingField", "modelCode,sex\n1,0\n", "line 2, test 0: age is missing"},
                      BadCsv{"Mixed",
                             "modelCode,sex,age,height,weight,activityLevel,waist,hip,impedanceF2,impedance5,"
                             "impedance16,impedance24,impedance50,impedance140,impedance200,impedance280\n"
                             "1,0,30,165,60,3,70,95,520,,,,,,,\n"
                             "12,,,160,,,,,,300,280,270,250,230,220,210\n",
                             "human and equine tests cannot be mixed"},
                      BadCsv{"BadJson", "[{\"modelCode\": 1,", "not valid JSON"},
                      BadCsv{"JsonNotObjects", "[1, 2]", "element 0 is not an object"},
                      BadCsv{"JsonEmptyArray", "[]", "non-empty array"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(ParseTestsJson, FlatObjectsWithSpectrumArrays) {
  const std::string json = R"([{"modelCode": 15, "sex": 1, "age": 50, "height": 175, "weight": 82.5,
      "activityLevel": 2, "waist": 95, "hip": 100, "impedanceF1": 560, "impedanceF2": 480, "impedanceF4": 420,
      "resistance": 470, "spectrum": [[5, 600, -3], {"frequency": 50, "magnitude": 500, "phase": -8}]}])";
  std::string error;
  const auto set = ParseTests(json, &error);
  ASSERT_TRUE(set) << error;
  const HumanRow& row = Human(*set).at(0);
  EXPECT_EQ(15, row.test.modelCode);
  EXPECT_EQ(82.5f, row.test.weight);
  ASSERT_EQ(2u, row.spectrum.size());
  EXPECT_EQ(500.0f, row.spectrum[1].magnitude);
}

// What download writes reads back as the same tests: every test field survives both formats.
class DownloadOutputReadsBack : public ::testing::TestWithParam<OutputFormat> {};

TEST_P(DownloadOutputReadsBack, SameTestRecords) {
  std::vector<HumanRow> written(2);
  written[0].slot = 4;
  written[0].test = {2,   4242, 1703409330, 1,   44,  181,   82.3f, 4, 88,     99,
                     610, 530,  500,        470, 515, 12.5f, 3.1f,  0, nullptr};
  written[1].slot = 9;
  written[1].test = {2, 4242, -1, 0, 12, 150, 41.7f, 1, 60, 70, 700, 640, 600, 580, 620, 0.0f, 0.0f, 0, nullptr};
  written[0].resultsCode = KV_OK;
  written[0].results.fatPercent = 19.25f;
  written[0].normalsCode = KV_OK;
  written[1].resultsCode = KV_ERR_AGE;
  std::ostringstream out;
  FormatOptions options;
  options.timeStyle = TimeStyle::kUtc;
  WriteTests(out, TestSet{written}, GetParam(), options);

  std::string error;
  const auto read = ParseTests(out.str(), &error);
  ASSERT_TRUE(read) << error;
  const auto& rows = Human(*read);
  ASSERT_EQ(2u, rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(written[i].slot, rows[i].slot);
    for (const auto& field : TestRecordFields()) {
      const FieldValue a = GetField(written[i].test, field), b = GetField(rows[i].test, field);
      EXPECT_TRUE(a.integer == b.integer && a.real == b.real) << field.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DownloadOutputReadsBack, ::testing::Values(OutputFormat::kCsv, OutputFormat::kJson),
                         [](const auto& testCase) { return testCase.param == OutputFormat::kCsv ? "Csv" : "Json"; });

}  // namespace
}  // namespace kv::cli

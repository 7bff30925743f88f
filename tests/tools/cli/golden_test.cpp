// golden_test.cpp: every output format of both families against the golden files in data/, and the
// field tables against the records.
#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>

#include "formatters.h"
#include "cli_messages.h"
#include "record_fields.h"

namespace kv::cli {
namespace {

std::string DataFile(const std::string& name) {
  std::ifstream file(KV_TEST_DATA_DIR "/" + name, std::ios::binary);
  EXPECT_TRUE(file) << name;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Every field of a record a value of its own (1, 2, 3 ... in table order), so a swap shows.
template <class Record>
void Number(Record& record, std::span<const FieldDef<Record>> fields, float step) {
  for (size_t i = 0; i < fields.size(); ++i) {
    const float value = step * static_cast<float>(i + 1);
    std::visit([&](auto m) { record.*m = static_cast<std::remove_reference_t<decltype(record.*m)>>(value); },
               fields[i].member);
  }
}

constexpr int64_t kTime = 1703409330;  // 2023-12-24T09:15:30Z

// A calculated test, a refused one, and the calculated one again past the table's row limit of 2.
std::vector<HumanRow> HumanRows() {
  HumanRow done, refused;
  done.slot = 3;
  done.test = {7, 12345, kTime, 0, 35, 165, 60.5f, 3, 70, 95, 560, 500, 480, 450, 490, 12.5f, 0.0f, 0, nullptr};
  done.resultsCode = done.normalsCode = KV_OK;
  Number(done.results, ResultsFields(), 0.5f);
  Number(done.normals, NormalsFields(), 1);
  // Zero without a normal: not filled by the model, left off the sheet; zero with one: kept.
  done.results.alpha = done.results.bmrKcal = done.results.waistHipRatio = 0;
  done.results.impedanceRatioF4F1 = std::numeric_limits<float>::infinity();
  refused.slot = 4;
  refused.test = {8, 12345, kNoTime, 1, 40, 180, 80.0f, 2, 90, 100, 0, 450, 0, 0, 0, 0.0f, 0.0f, 0, nullptr};
  refused.resultsCode = KV_ERR_ARGUMENT;
  return {done, refused, done};
}

std::vector<EquineRow> EquineRows() {
  EquineRow done;
  done.test = {12, 777, kTime, 160, 5, 300, 280, 270, 250, 230, 220, 210, 100.0f};
  done.resultsCode = done.normalsCode = KV_OK;
  Number(done.results, EquineResultsFields(), 0.25f);
  Number(done.normals, EquineNormalsFields(), 1);
  EquineRow refused = done;
  refused.slot = 1;
  refused.test.testTime = kNoTime;
  refused.resultsCode = KV_ERR_ARGUMENT;
  refused.normalsCode = kNotCalculated;
  return {done, refused};
}

// The refusal's meaning and advice come from the message table: the golden files say <meaning> and <advice>.
std::string Written(const TestSet& rows, OutputFormat format) {
  std::ostringstream out;
  WriteTests(out, rows, format, FormatOptions{TimeStyle::kUtc, 2});
  std::string text = out.str();
  for (const auto& [words, mark] : {std::pair{CodeMeaning(KV_ERR_ARGUMENT), "<meaning>"},
                                    std::pair{std::string(CodeAdvice(KV_ERR_ARGUMENT)), "<advice>"}})
    for (size_t at; (at = text.find(words)) != std::string::npos;) text.replace(at, words.size(), mark);
  return text;
}

TEST(Golden, EveryFormatOfBothFamilies) {
  for (const std::string name : {"human.csv", "human.json", "human.table", "human.sheet", "equine.csv", "equine.json",
                                 "equine.table", "equine.sheet"}) {
    SCOPED_TRACE(name);
    const auto format = ParseOutputFormat(name.substr(name.find('.') + 1));
    ASSERT_TRUE(format);
    const TestSet rows = name[0] == 'h' ? TestSet{HumanRows()} : TestSet{EquineRows()};
    EXPECT_EQ(DataFile(name), Written(rows, *format));
  }
  EXPECT_FALSE(ParseOutputFormat("CSV"));
  EXPECT_EQ("[]\n", Written(std::vector<EquineRow>{}, OutputFormat::kJson));
}

template <class Record>
size_t OffsetOf(const FieldDef<Record>& field) {
  static const Record probe{};
  return std::visit([](auto m) { return size_t(reinterpret_cast<const char*>(&(probe.*m)) - (const char*)&probe); },
                    field.member);
}

// Each field starts where the one before ends (the records have no padding between their fields)
// and the last ends at `end`: a field left out, doubled or out of order breaks this. A name given twice
// shows in the golden files' headers.
template <class Record>
void ExpectCovers(std::span<const FieldDef<Record>> fields, size_t end) {
  size_t next = 0;
  for (const auto& field : fields) {
    EXPECT_EQ(next, OffsetOf(field)) << field.name;
    next = OffsetOf(field) + std::visit([](auto m) { return sizeof(Record{}.*m); }, field.member);
  }
  EXPECT_EQ(end, next);
}

TEST(FieldTables, CoverEveryRecordInHeaderOrder) {
  // KVTestRecord: every field up to spectrumCount; the pointer after it has no column.
  ExpectCovers(TestRecordFields(), offsetof(KVTestRecord, spectrumCount) + sizeof(int32_t));
  ExpectCovers(ResultsFields(), sizeof(KVResults));
  ExpectCovers(NormalsFields(), sizeof(KVNormals));
  ExpectCovers(EquineTestRecordFields(), sizeof(CXTestRecord));
  ExpectCovers(EquineResultsFields(), sizeof(CXResults));
  ExpectCovers(EquineNormalsFields(), sizeof(CXNormals));
}

}  // namespace
}  // namespace kv::cli

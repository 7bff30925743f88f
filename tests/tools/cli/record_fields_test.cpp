// record_fields_test.cpp: the field tables match the public records (every field, in order, no
// gaps), input text reaches the right field, and each result finds its normal.
#include "record_fields.h"

#include <gtest/gtest.h>

#include <set>

namespace kv::cli {
namespace {

template <class Record>
size_t OffsetOf(const FieldDef<Record>& field) {
  static const Record probe{};
  return std::visit(
      [](auto member) {
        return static_cast<size_t>(reinterpret_cast<const char*>(&(probe.*member)) -
                                   reinterpret_cast<const char*>(&probe));
      },
      field.member);
}

template <class Record>
size_t SizeOf(const FieldDef<Record>& field) {
  return std::visit([](auto member) { return sizeof(Record{}.*member); }, field.member);
}

// Each field starts where the one before ends (the records have no padding between their
// fields), and the last ends at `end`: a field left out, doubled or out of order breaks this.
template <class Record>
void ExpectCovers(std::span<const FieldDef<Record>> fields, size_t end) {
  size_t next = 0;
  std::set<std::string_view> names;
  for (const auto& field : fields) {
    EXPECT_EQ(next, OffsetOf(field)) << field.name;
    next = OffsetOf(field) + SizeOf(field);
    EXPECT_TRUE(names.insert(field.name).second) << "twice: " << field.name;
  }
  EXPECT_EQ(end, next);
}

TEST(FieldTables, CoverEveryRecordInHeaderOrder) {
  // KVTestRecord: every field up to spectrumCount; the pointer after it has no column.
  ExpectCovers(TestRecordFields(), offsetof(KVTestRecord, spectrumCount) + sizeof(int32_t));
  ExpectCovers(ResultsFields(), sizeof(KVResults));
  ExpectCovers(NormalsFields(), sizeof(KVNormals));
  ExpectCovers(EquineTestRecordFields(), sizeof(CXTestRecord) - 0);
  ExpectCovers(EquineResultsFields(), sizeof(CXResults));
  ExpectCovers(EquineNormalsFields(), sizeof(CXNormals));
}

struct SetCase {
  const char* name;
  const char* field;
  const char* text;
  bool accepted;
  double expected;  // the field's value afterwards (its old value 9 when refused)
};

class SetHumanField : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetHumanField, ParsesOrRefuses) {
  const SetCase& c = GetParam();
  KVTestRecord test{};
  const auto* field = FindField(TestRecordFields(), c.field);
  ASSERT_NE(nullptr, field);
  std::visit([&](auto member) { test.*member = 9; }, field->member);
  EXPECT_EQ(c.accepted, SetField(test, *field, c.text));
  const FieldValue value = GetField(test, *field);
  const double actual = value.kind == FieldValue::Kind::kFloat ? value.real : static_cast<double>(value.integer);
  EXPECT_DOUBLE_EQ(c.expected, actual);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SetHumanField,
    ::testing::Values(SetCase{"Age", "age", "35", true, 35}, SetCase{"AgeWithDecimals", "age", "35.5", false, 9},
                      SetCase{"NegativeSerial", "serialNumber", "-1", false, 9},
                      SetCase{"LargestSerial", "serialNumber", "4294967295", true, 4294967295.0},
                      SetCase{"SerialTooLarge", "serialNumber", "4294967296", false, 9},
                      SetCase{"Int32TooLarge", "height", "2147483648", false, 9},
                      SetCase{"Weight", "weight", "75.5", true, 75.5}, SetCase{"WeightNan", "weight", "nan", false, 9},
                      SetCase{"TimeIso", "testTime", "2023-12-24T09:15:30Z", true, 1703409330},
                      SetCase{"TimeSeconds", "testTime", "1703409330", true, 1703409330},
                      SetCase{"TimeEmptyIsNone", "testTime", "", true, -1},
                      SetCase{"TimeBelowNone", "testTime", "-2", false, 9},
                      SetCase{"TimeNotAtime", "testTime", "yesterday", false, 9}),
    [](const auto& testCase) { return testCase.param.name; });

// The two kinds the sheet test does not show: a typical value, and total weight beside the target weight.
TEST(NormalFor, TypicalAndTargetWeight) {
  KVNormals normals{};
  normals.ecwPercentNormal = 20;
  normals.targetWeightLow = 54;
  normals.targetWeightHigh = 60;
  const NormalRange ecw = HumanNormalFor("ecwPercent", normals), weight = HumanNormalFor("totalWeight", normals);
  EXPECT_EQ(NormalRange::Kind::kTypical, ecw.kind);
  EXPECT_EQ(20, ecw.low.integer);
  EXPECT_EQ(NormalRange::Kind::kRange, weight.kind);
  EXPECT_EQ(54, weight.low.integer);
  EXPECT_EQ(60, weight.high.integer);
}

TEST(NormalFor, EveryHumanNormalStandsBesideOneResult) {
  // Every field of KVNormals but the target-weight flag is shown beside some result.
  std::set<std::string> shown;
  KVNormals normals{};
  for (const auto& result : ResultsFields()) {
    const std::string name(result.name);
    if (name == "totalWeight") {
      shown.insert({"targetWeightLow", "targetWeightHigh"});
      continue;
    }
    switch (HumanNormalFor(result.name, normals).kind) {
      case NormalRange::Kind::kRange: shown.insert({name + "Low", name + "High"}); break;
      case NormalRange::Kind::kTypical: shown.insert(name + "Normal"); break;
      case NormalRange::Kind::kMaximum: shown.insert(name + "Max"); break;
      case NormalRange::Kind::kNone: break;
    }
  }
  for (const auto& field : NormalsFields()) {
    if (field.name == "targetWeightFromBmi") continue;
    EXPECT_TRUE(shown.count(std::string(field.name))) << field.name;
  }
  std::set<std::string> equineShown;
  CXNormals equine{};
  for (const auto& result : EquineResultsFields())
    if (EquineNormalFor(result.name, equine).kind == NormalRange::Kind::kRange)
      equineShown.insert({std::string(result.name) + "Low", std::string(result.name) + "High"});
  EXPECT_EQ(EquineNormalsFields().size(), equineShown.size());
}

}  // namespace
}  // namespace kv::cli

// normals_test.cpp: KVCalculateNormals: worked examples of every field (the target-weight rule, saturation and
// the optional fields of each family among them), both tables at each band edge, the check order, the rounding.
// The tables are data/normals_*.txt; their expected values are worked out by hand from the written formulas.
#include "calc/normals.h"

#include "calc/equine.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>

#include "calc_cases.h"

namespace {

using namespace kv::calc::testing;
using N = KVNormals;

N Normals(const KVTestRecord& test, float leanKg, const std::string& code = "KV_OK") {
  KVResults results;  // every result but leanKg is nonsense: the normals read leanKg only
  std::memset(&results, 0xC4, sizeof results);
  results.leanKg = leanKg;
  N normals;
  std::memset(&normals, 0xA5, sizeof normals);
  EXPECT_EQ(code, CodeName(KVCalculateNormals(&test, &results, &normals)));
  return normals;
}

// A row's model, sex, age, height and weight from column `at` on.
KVTestRecord PersonOf(const Row& row, size_t at) {
  const auto whole = [&](size_t k) { return std::stoi(row.at(at + k)); };
  return Person(whole(0), whole(1), whole(2), whole(3), static_cast<float>(Number(row.at(at + 4))));
}

TEST(Normals, WorkedExamplesEveryField) {
  for (const Row& row : ReadTable("normals_examples.txt")) {
    std::vector<uint32_t> expected;
    for (size_t k = 0; k < sizeof(N) / 4; ++k) {
      const double value = Number(row.at(7 + k));
      // Fields 22 to 24 and 27 to 29 are floats.
      expected.push_back((k >= 21 && k <= 23) || k >= 26 ? std::bit_cast<uint32_t>(static_cast<float>(value))
                                                         : static_cast<uint32_t>(static_cast<int32_t>(value)));
    }
    EXPECT_EQ(expected, WordsOf(Normals(PersonOf(row, 1), static_cast<float>(Number(row[6]))))) << row[0];
  }
}

// The optional fields of each family are rows of normals_examples.txt (the MaleQuattron example on each).
TEST(Normals, BothTablesAtEveryBandEdge) {
  // Every model, and whether its family has the water compartments, which take the water table by age.
  const std::pair<int32_t, bool> models[] = {
      {1, false}, {3, false}, {9, false}, {2, true},  {4, true},   {10, true},  {5, false}, {6, false},  {7, true},
      {11, true}, {14, true}, {8, true},  {15, true}, {12, false}, {13, false}, {0, false}, {16, false}, {-4, false}};
  for (const auto& [model, compartments] : models) {
    for (const Row& row : ReadTable("normals_bands.txt")) {
      std::array<int32_t, 6> b;
      for (size_t k = 0; k < b.size(); ++k) b[k] = std::stoi(row.at(k));
      SCOPED_TRACE(::testing::Message() << "sex " << b[0] << " age " << b[1] << " model " << model);
      const N n = Normals(Person(model, b[0], b[1], 160, 50.0f), 40.0f);
      EXPECT_EQ((std::array{b[2], b[3], 100 - b[3], 100 - b[2]}),
                (std::array{n.fatPercentLow, n.fatPercentHigh, n.leanPercentLow, n.leanPercentHigh}));
      EXPECT_EQ(compartments ? b[4] : 50 + 5 * b[0], n.tbwPercentLow);
      EXPECT_EQ(compartments ? b[5] : 60 + 5 * b[0], n.tbwPercentHigh);
    }
  }
}

// Null records and outputs: frame_test.
TEST(Normals, ChecksInOrderAndRejectionLeavesZero) {
  for (const Row& row : ReadTable("normals_checks.txt")) {
    const N n = Normals(PersonOf(row, 0), 42.0f, row.at(5));
    EXPECT_EQ(row[5] == "KV_OK" ? 20 : 0, n.bmiLow) << ::testing::PrintToString(row);
    if (row[5] != "KV_OK") {
      EXPECT_EQ(std::vector<uint32_t>(sizeof n / 4), WordsOf(n)) << ::testing::PrintToString(row);
    }
  }
}

TEST(Normals, RoundingAndTruncationToWholeNumbers) {
  for (const Row& row : ReadTable("whole_numbers.txt")) {
    const float value = static_cast<float>(Number(row.at(1)));
    const int32_t whole = row[0] == "round" ? kv::calc::RoundToWhole(value) : kv::calc::TruncateToWhole(value);
    EXPECT_EQ(std::stoi(row.at(2)), whole) << row[0] << " " << row[1];
  }
}

}  // namespace

// normals_test.cpp: KVCalculateNormals: worked examples of every field (the target-weight rule and saturation
// among them), both tables at each band edge, the optional fields by family, the check order and the rounding.
// The tables are data/normals_*.txt; their expected values are worked out by hand from the written formulas.
#include "calc/normals.h"

#include "calc/equine.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "calc_cases.h"

namespace {

using namespace kv::calc::testing;
using N = KVNormals;

// Every result but leanKg is nonsense: the normals read leanKg only.
KVResults WithLean(float leanKg) {
  KVResults results;
  std::memset(&results, 0xC4, sizeof results);
  results.leanKg = leanKg;
  return results;
}

N Normals(const KVTestRecord& test, float leanKg, const std::string& code = "KV_OK") {
  const KVResults results = WithLean(leanKg);
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
    N expected;
    auto* words = reinterpret_cast<int32_t*>(&expected);
    for (size_t k = 0; k < sizeof expected / 4; ++k) {
      const double value = Number(row.at(7 + k));
      // Fields 22 to 24 and 27 to 29 are floats.
      if ((k >= 21 && k <= 23) || k >= 26) {
        const float f = static_cast<float>(value);
        std::memcpy(&words[k], &f, 4);
      } else {
        words[k] = static_cast<int32_t>(value);
      }
    }
    EXPECT_EQ(WordsOf(expected), WordsOf(Normals(PersonOf(row, 1), static_cast<float>(Number(row[6]))))) << row[0];
  }
}

TEST(Normals, BothTablesAtEveryBandEdgeAndTheOptionalFieldsByFamily) {
  struct Family {
    int32_t model;
    bool compartments, highFrequency, ratioF2F1;  // water by age goes with the compartments
  };
  // clang-format off
  for (const Family& f : {Family{1, 0, 0, 0}, {3, 0, 0, 0}, {9, 0, 0, 0}, {2, 1, 0, 1}, {4, 1, 0, 1}, {10, 1, 0, 1},
                          {5, 0, 0, 0}, {6, 0, 0, 0}, {7, 1, 1, 0}, {11, 1, 1, 0}, {14, 1, 1, 0}, {8, 1, 1, 0},
                          {15, 1, 1, 0}, {12, 0, 0, 0}, {13, 0, 0, 0}, {0, 0, 0, 0}, {16, 0, 0, 0}, {-4, 0, 0, 0}}) {
    // clang-format on
    for (const Row& row : ReadTable("normals_bands.txt")) {
      std::array<int32_t, 6> b;
      for (size_t k = 0; k < b.size(); ++k) b[k] = std::stoi(row.at(k));
      SCOPED_TRACE(::testing::Message() << "sex " << b[0] << " age " << b[1] << " model " << f.model);
      const N n = Normals(Person(f.model, b[0], b[1], 160, 50.0f), 40.0f);
      EXPECT_EQ((std::array{b[2], b[3], 100 - b[3], 100 - b[2]}),
                (std::array{n.fatPercentLow, n.fatPercentHigh, n.leanPercentLow, n.leanPercentHigh}));
      EXPECT_EQ(f.compartments ? b[4] : 50 + 5 * b[0], n.tbwPercentLow);
      EXPECT_EQ(f.compartments ? b[5] : 60 + 5 * b[0], n.tbwPercentHigh);
    }
    const N n = Normals(Person(f.model, 1, 45, 180, 85.0f), 65.0f);  // the MaleQuattron example
    const int c = f.compartments;
    const float h = f.highFrequency, r = f.ratioF2F1;
    EXPECT_EQ((std::array{26 * c, 34 * c, 3 * c, 5 * c, 19 * c, 21 * c}),
              (std::array{n.ecwPercentNormal, n.icwPercentNormal, n.fatMassIndexLow, n.fatMassIndexHigh,
                          n.leanMassIndexLow, n.leanMassIndexHigh}))
        << f.model;
    EXPECT_EQ((std::array{h * 0.43f, h * 0.70f, h * 0.82f, r * 0.80f, r * 0.89f}),
              (std::array{n.ecwTbwRatioNormal, n.impedanceRatioF4F1Low, n.impedanceRatioF4F1High,
                          n.impedanceRatioF2F1Low, n.impedanceRatioF2F1High}))
        << f.model;
    EXPECT_EQ((std::array{76, 47, 20}), (std::array{n.targetWeightLow, n.tbwLitresLow, n.bmiLow})) << f.model;
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

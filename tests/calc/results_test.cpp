// results_test.cpp: KVCalculateResults: the worked examples, every field pinned bit for bit per family,
// the order of the checks and the children's bands (the cases are the tables in data/results_*.txt).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "calc_cases.h"

namespace {

using namespace kv::calc::testing;
using R = KVResults;
constexpr size_t kFields = sizeof(R) / 4;

R Calculate(const KVTestRecord& test, uint32_t waterEquation = 0, const std::string& code = "KV_OK") {
  R results;
  std::memset(&results, 0x5A, sizeof results);
  EXPECT_EQ(code, CodeName(KVCalculateResults(&test, &results, waterEquation)));
  return results;
}

TEST(Results, WorkedExamplesAndEveryFieldBitForBit) {
  std::vector<uint32_t> before;
  for (const Row& row : ReadTable("results_pins.txt")) {
    SCOPED_TRACE(row[0]);
    const HumanCase c = Human(Row(row.begin() + 1, row.end()));
    const R r = Calculate(c.test, c.equation);
    const std::vector<uint32_t> got = WordsOf(r);
    // Words in hex in record order, "=" for the word of the pin before, the fields after the last all 0;
    // among them the worked figures, "field=value", to the decimals they are given with.
    std::vector<uint32_t> pinned;
    for (const std::string& w : c.rest) {
      if (const size_t eq = w.find('='); w != "=" && eq != std::string::npos) {
        const float value = reinterpret_cast<const float*>(&r)[std::stoul(w) - 1];
        const size_t decimals = w.size() - w.find('.') - 1;
        EXPECT_NEAR(value, std::stod(w.substr(eq + 1)), 0.5 * std::pow(10.0, -double(decimals)) + 1e-9) << w;
        continue;
      }
      pinned.push_back(w == "=" ? before.at(pinned.size()) : static_cast<uint32_t>(std::stoul(w, nullptr, 16)));
    }
    pinned.resize(kFields);
    for (size_t k = 0; k < kFields; ++k) {
      if (got[k] != pinned[k]) ADD_FAILURE() << "field " << k + 1 << std::hex << ": " << got[k];
    }
    before = pinned;
  }
}

TEST(Results, ModelsOfOneFamilyAndEquationsOtherThanTwoGiveIdenticalRecords) {
  for (const auto& [model, other, equation] : {std::tuple{1, 99, 0u}, {1, 0, 0u}, {1, 5, 0u}, {1, 3, 2u}, {2, 10, 2u},
                                               {7, 11, 1u}, {7, 14, 3u}, {8, 8, 1u}, {15, 15, 3u}}) {
    EXPECT_EQ(WordsOf(Calculate(Adult(model))), WordsOf(Calculate(Adult(other), equation))) << model << " " << other;
  }
}

// Null records and outputs: frame_test.
TEST(Results, ChecksInOrderAndRejectionLeavesZero) {
  for (const Row& row : ReadTable("results_checks.txt")) {
    const HumanCase c = Human(row);
    SCOPED_TRACE(::testing::PrintToString(row));
    const R results = Calculate(c.test, c.equation, c.rest.at(0));
    if (c.rest[0] != "KV_OK") {
      EXPECT_EQ(std::vector<uint32_t>(kFields), WordsOf(results));
    }
  }
}

TEST(Results, ChildrensHydrationAndMetabolicRateByAge) {
  for (const Row& row : ReadTable("results_children.txt")) {
    SCOPED_TRACE(::testing::PrintToString(row));
    const HumanCase c = Human(row);
    const R r = Calculate(c.test);
    EXPECT_NEAR(std::stod(c.rest.at(1)), r.bmrKcal, 2e-3);
    if (const double hydration = std::stod(c.rest.at(0)); hydration != 0.0) {
      EXPECT_NEAR(hydration, r.tbwLitres / r.leanKg, 1e-6);
    }
  }
}

}  // namespace

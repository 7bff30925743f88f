// results_test.cpp: KVCalculateResults: the worked examples, every field pinned bit for bit per family,
// the order of the checks and the children's bands.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "calc_cases.h"

namespace {

using namespace kv::calc::testing;
using R = KVResults;
using T = KVTestRecord;
constexpr size_t kFields = sizeof(R) / 4;

R Calculate(const T& test, uint32_t waterEquation = 0) {
  R results;
  std::memset(&results, 0x5A, sizeof results);
  EXPECT_EQ(KV_OK, KVCalculateResults(&test, &results, waterEquation));
  return results;
}
T With(T test, int32_t activity) { return test.activityLevel = activity, test; }

struct Figure {
  float R::*field;
  double value;
  int decimals;
};
struct Case {
  const char* name;
  T test;
  uint32_t waterEquation;
  std::vector<Figure> figures;  // the worked example's figures, to the decimals they are given with
  const char* pin;              // all fields: see Pin()
};

const T kWoman = Person(7, 0, 45, 165, 62.5f, 2, 72, 96, {620, 560, 500, 0});
// clang-format off
const Case kCases[] = {
    {"Model1Man", Person(1, 1, 35, 180, 80.0f, 3, 84, 100, {0, 500, 0, 0}), 0,
     {{&R::leanKg, 65.4946, 4}, {&R::fatKg, 14.5054, 4}, {&R::fatPercent, 18.132, 3}, {&R::tbwLitres, 45.5202, 4},
      {&R::dryLeanKg, 19.9744, 4}, {&R::bmrKcal, 2003.52, 2}, {&R::energyRequirementKcal, 3205.64, 2},
      {&R::bmi, 24.6914, 4}, {&R::waistHipRatio, 0.84, 2}},
     "41910dd4 41681620 42a3bc8b 4282fd3c 42a00000 419fcb7c 426399e8 423614ba 0 0 0 0 0 0 0 0 44fa70c2 41c85a35 "
     "45485a35 41c587e7 0 0 3f570a3d"},
    {"Model7Woman", kWoman, 0,
     {{&R::leanKg, 44.7568, 4}, {&R::tbwLitres, 33.4660, 4}, {&R::ecwLitres, 15.7734, 4}, {&R::icwLitres, 17.4947, 4},
      {&R::bodyCellMass, 24.9925, 4}, {&R::tbwDifference, 0.1979, 4}, {&R::ecwTbwRatio, 0.4741, 4},
      {&R::bmrKcal, 1417.06, 2}, {&R::bmi, 22.9568, 4}, {&R::waistHipRatio, 0.75, 2}},
     "41e31cfc 418df220 428f38c1 423306f0 427a0000 4134a704 42562eb1 4205dd2f 41c9e651 417c5fe5 41dfeeb3 418bf530 "
     "41c7f08e 3e4a9e00 3ef2c123 3f4e739d 44b121ea 41b56237 4504d970 41b7a79c 40d08d59 41838446 3f400000"},
    {"Model7WomanHighWater", kWoman, 2, {{&R::tbwLitres, 33.2681, 4}, {&R::icwLitres, 17.4947, 4}},
     "= = = = = 4137d17c 4254ea82 42051291 = = = = = = = = = = = = = = ="},
    // Children's lean mass 32.7553; water 32.7553 x 0.754; metabolic rate 17.7 x 40 + 657.
    {"Model2Boy", Person(2, 1, 12, 150, 40.0f, 4, 60, 75, {700, 640, 0, 0}), 0,
     {{&R::leanKg, 32.7553, 4}, {&R::tbwLitres, 24.6975, 4}, {&R::icwLitres, 12.5314, 4}, {&R::bmrKcal, 1365.0, 2},
      {&R::impedanceRatioF2F1, 0.9143, 4}},
     "4190e4c8 40e7d478 42a3c6ce 42030571 42200000 4100ecc6 4276f99e 41c5947f 41f352a6 4142a885 41faa098 41488079 0 0 "
     "0 0 44aaa000 42088000 45110800 418e38e4 404e1231 4168ed3b 3f4ccccd 3f6a0ea1"},
    // Children's water 14641 x 0.593 / 500 + 24.5 x 0.065 + 0.04 in double (single precision: 0x41980000 + 0x14d).
    {"Model2ChildOf9", Person(2, 1, 9, 121, 24.5f, 3, 60, 70, {600, 500, 0, 0}), 0, {{&R::tbwLitres, 18.9967, 4}},
     "bfe0b240 bedc3400 42cb82c9 41c770d0 41c40000 40bdde14 429b1347 4197f94b 421f1a40 411beba5 42170c4f 411406f1 0 0 "
     "0 0 448364cd 422b9dc8 44d23ae2 4185dee2 be9666d5 4188387d 3f5b6db7 3f555555"},
    {"Model2AdultActivity1", With(Adult(2), 1), 0, {},
     "41910dd4 41681620 42a3bc8b 4282fd3c 42a00000 419fcb7c 426399e8 423614ba 41c22898 419b53ad 4202859c 41d0d5c7 0 0 "
     "0 0 44fa70c2 41c85a35 452f4eee 41c587e7 408f4363 41a1b70e 3f570a3d 3f649249"},
    // ECW = 32400 x 0.1746 / 560 + 80 x 0.069 + 3.794; ICW = main water 45.5202 less it.
    {"Model8", Adult(8), 0, {{&R::ecwLitres, 19.4159, 4}, {&R::icwLitres, 26.1044, 4}},
     "= = = = = 41ae491c 425a8b65 422ed5ea = = = = 42152afc 3f1ad6c0 3ee36f46 3f4db6db = = 45485a35 = = = = 0 0 "
     "423614ba 3f17eaa5 42053c6a 35ed5957 4415ffff 44960002 42480003 3f7ffffe"},
    {"Model8HighWaterActivity5", With(Adult(8), 5), 2, {},
     "= = = = = = = = = = = = = = = = = = 4561657b = = = = 0 0 4233a95f = = = = = = ="},
    // R0 600, Ri 1 / (1/400 - 1/600), fc 50, alpha 1, Cm (600 - 400) / (50 x 2 pi x 600 x 600); muscle
    // 28900 / 500 = 57: 57 x 0.401 + 3.825 - 40 x 0.071 + 5.102; ECW by regression 17.6346.
    {"Panel15Cole", Panel(kColeSpectrum, 7), 0,
     {{&R::resistanceZero, 600.0, 1}, {&R::resistanceIntracellular, 1200.0, 1}, {&R::characteristicFrequency, 50, 1},
      {&R::alpha, 1.0, 1}, {&R::membraneCapacitance, 1.7684e-6, 10}, {&R::ecwLitres, 16.153, 3},
      {&R::icwLitres, 22.752, 3}, {&R::tbwLitres, 38.905, 3}, {&R::overhydrationLitres, 0.570, 3},
      {&R::skeletalMuscleKg, 28.944, 3}, {&R::ecwRegressionLitres, 17.6346, 4}},
     "419733b0 4153aec4 42a23314 4263144f 428c0000 418eeb02 425e5094 421b9ece 41b89a48 418138cc 42020370 41b604cf "
     "4202036f 3f16f200 3ed492e1 = 44dc3661 41c9564a 45302b81 41c1c589 40927e43 419d25f8 = 0 418d13ad 422543ba "
     "3f11e3b0 41e78d50 = = = = ="},
    // The circle fit runs all its passes without meeting its tolerance; its last arc is used.
    {"Panel15Depressed", Panel(kDepressedSpectrum, 8), 0, {{&R::resistanceZero, 600.0, 1}, {&R::alpha, 0.809, 3}},
     "= = = = = 418eec06 425e4fdb 421b9e4c 41b89a80 418138f3 4202029a 41b603a4 4202029a = 3ed493d3 = = = = = = = = 0 "
     "= = 3f11f953 = 35ed5735 4415ffbc 44960173 424800a5 3f4f29d5"},
};
// clang-format on

TEST(Results, WorkedExamplesAndEveryFieldBitForBit) {
  std::vector<uint32_t> before;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const R r = Calculate(c.test, c.waterEquation);
    for (const Figure& f : c.figures) EXPECT_NEAR(r.*f.field, f.value, 0.5 * std::pow(10.0, -f.decimals) + 1e-9);
    const std::vector<uint32_t> got = WordsOf(r), pinned = Pin(c.pin, kFields, before);
    for (size_t k = 0; k < kFields; ++k) {
      if (got[k] != pinned[k]) ADD_FAILURE() << "field " << k + 1 << std::hex << ": " << got[k];
    }
    before = pinned;
  }
}

TEST(Results, ModelsOfOneFamilyAndEquationsOtherThanTwoGiveIdenticalRecords) {
  struct Same {
    int32_t model, otherModel;
    uint32_t otherEquation;
  };
  for (const Same& s : {Same{1, 99, 0}, Same{1, 0, 0}, Same{1, 5, 0}, Same{1, 3, 2}, Same{2, 10, 2}, Same{7, 11, 1},
                        Same{7, 14, 3}, Same{8, 8, 1}, Same{15, 15, 3}}) {
    SCOPED_TRACE(::testing::Message() << s.model << " and " << s.otherModel << " on " << s.otherEquation);
    EXPECT_EQ(WordsOf(Calculate(Adult(s.model))), WordsOf(Calculate(Adult(s.otherModel), s.otherEquation)));
  }
}

TEST(Results, ChecksInOrderAndRejectionLeavesZero) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  static KVSpectrumPoint fifty[50];
  for (int i = 0; i < 50; ++i) fifty[i] = kColeSpectrum[i % 7];
  struct Check {
    void (*change)(T&);
    uint32_t waterEquation;
    int32_t code;
  };
  // Of Adult(8). A rejection also spoils the next check, which must not be the one reported.
  // clang-format off
  const Check checks[] = {
      {[](T& t) { t.modelCode = 12; }, 0, KV_ERR_WRONG_KIND}, {[](T& t) { t.modelCode = 13; }, 4, KV_ERR_WRONG_KIND},
      {[](T& t) { t.sex = 2; }, 4, KV_ERR_WATER_EQUATION}, {[](T& t) { t.sex = 2; }, ~0u, KV_ERR_WATER_EQUATION},
      {[](T& t) { t.sex = 2, t.age = 0; }, 0, KV_ERR_SEX}, {[](T& t) { t.sex = -1; }, 0, KV_ERR_SEX},
      {[](T& t) { t.age = 0, t.height = 9; }, 0, KV_ERR_AGE}, {[](T& t) { t.age = 100; }, 0, KV_ERR_AGE},
      {[](T& t) { t.height = 9, t.weight = 0; }, 0, KV_ERR_HEIGHT}, {[](T& t) { t.height = 230; }, 0, KV_ERR_HEIGHT},
      {[](T& t) { t.weight = 300.1f; }, 0, KV_ERR_WEIGHT},
      {[](T& t) { t.weight = std::nextafter(0.001f, 0.0f); }, 0, KV_ERR_WEIGHT},
      {[](T& t) { t.weight = kNaN, t.activityLevel = 0; }, 0, KV_ERR_WEIGHT},
      {[](T& t) { t.activityLevel = 0, t.waist = 4; }, 0, KV_ERR_ACTIVITY},
      {[](T& t) { t.activityLevel = 6; }, 0, KV_ERR_ACTIVITY}, {[](T& t) { t.waist = 649; }, 0, KV_ERR_WAIST},
      {[](T& t) { t.waist = 4, t.hip = 4; }, 0, KV_ERR_WAIST}, {[](T& t) { t.hip = 649; }, 0, KV_ERR_HIP},
      {[](T& t) { t.hip = 4, t.spectrum = nullptr; }, 0, KV_ERR_HIP},
      {[](T& t) { t.spectrum = nullptr; }, 0, KV_ERR_ARGUMENT}, {[](T& t) { t.spectrumCount = 0; }, 0, KV_ERR_ARGUMENT},
      {[](T& t) { t.spectrumCount = 51; }, 0, KV_ERR_ARGUMENT},
      {[](T& t) { t.modelCode = 15, t.spectrumCount = -3; }, 0, KV_ERR_ARGUMENT},
      // Model 14 must carry a spectrum although its results do not use it.
      {[](T& t) { t.modelCode = 14, t.spectrumCount = 0; }, 0, KV_ERR_ARGUMENT},
      {[](T& t) { t.modelCode = 14, t.spectrum = nullptr; }, 0, KV_ERR_ARGUMENT},
      {[](T& t) { t.age = 1, t.height = 10, t.weight = 0.001f, t.activityLevel = 1, t.waist = 5; }, 3, KV_OK},
      {[](T& t) { t.age = 99, t.height = 229, t.weight = 300, t.activityLevel = 5, t.hip = 5; }, 0, KV_OK},
      {[](T& t) { t.waist = 648, t.hip = 648, t.spectrumCount = 1; }, 0, KV_OK},
      {[](T& t) { t.spectrumCount = 50, t.spectrum = fifty; }, 0, KV_OK},
      {[](T& t) { t.modelCode = 7, t.spectrumCount = 0, t.spectrum = nullptr; }, 0, KV_OK},
      {[](T& t) { t.modelCode = 1, t.spectrumCount = 99, t.spectrum = nullptr; }, 0, KV_OK},
  };
  // clang-format on
  R results;
  for (const Check& c : checks) {
    SCOPED_TRACE(&c - checks);
    T test = Adult(8);
    c.change(test);
    std::memset(&results, 0x5A, sizeof results);
    EXPECT_EQ(c.code, KVCalculateResults(&test, &results, c.waterEquation));
    if (c.code != KV_OK) {
      EXPECT_EQ(std::vector<uint32_t>(kFields), WordsOf(results));
    }
  }
  const std::vector<uint32_t> before = WordsOf(results);
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateResults(nullptr, &results, 0));
  EXPECT_EQ(before, WordsOf(results));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateResults(&kWoman, nullptr, 0));
}

TEST(Results, ZeroImpedanceIsNotCheckedAndGivesInfiniteFields) {
  T test = Adult(7);
  test.impedanceF1 = 0;
  const R r = Calculate(test);
  EXPECT_TRUE(std::isinf(r.ecwLitres) && std::isinf(r.impedanceRatioF4F1));
  EXPECT_TRUE(std::isfinite(r.leanKg) && std::isfinite(r.bmrKcal));
}

TEST(Results, ChildrensHydrationAndMetabolicRateByAge) {
  struct Child {
    int32_t model, sex, age;
    double hydration;  // tbwLitres / leanKg by the table of the age; 0: the adult equations
    double bmr;        // of a 40 kg child by the band of its age, by hand; of the adult otherwise
  };
  // Adults, and the ages a family without the children's equations treats as adult: lean mass of a man of
  // 180 cm, 40 kg, 500 ohm (39.4220 - 0.164665 x age) x 27.717 + 188.21, from 41 x 25.333 + 243.28.
  // clang-format off
  const Child children[] = {
      {2, 0, 1, 0.785, 61 * 40 - 51}, {2, 1, 2, 0.786, 60.9 * 40 - 54}, {2, 0, 3, 0.783, 22.5 * 40 + 499},
      {2, 1, 4, 0.778, 22.7 * 40 + 495}, {2, 0, 5, 0.78, 1399}, {2, 1, 6, 0.77, 1403}, {2, 0, 7, 0.776, 1399},
      {2, 1, 8, 0.768, 1403}, {2, 0, 9, 0.77, 1399}, {2, 1, 10, 0.762, 17.7 * 40 + 657},
      {2, 0, 11, 0.766, 13.4 * 40 + 692}, {2, 1, 12, 0.754, 1365}, {2, 0, 13, 0.755, 1228}, {2, 1, 14, 0.747, 1365},
      {2, 0, 15, 0.75, 1228}, {2, 1, 16, 0.742, 1365}, {2, 0, 17, 0.745, 1228}, {2, 1, 17, 0.738, 1365},
      {7, 1, 3, 0.778, 1403}, {7, 1, 2, 0.786, 2382}, {8, 0, 1, 0, 2389}, {2, 1, 18, 0, 1198.7185},
      {1, 1, 12, 0, 1226.1026}, {1, 1, 40, 0, 1098.3101}, {1, 1, 41, 0, 1070.9289},
  };
  // clang-format on
  for (const Child& c : children) {
    SCOPED_TRACE(::testing::Message() << "model " << c.model << " sex " << c.sex << " age " << c.age);
    T test = Adult(c.model);
    test.sex = c.sex, test.age = c.age, test.weight = 40.0f;
    const R r = Calculate(test);
    EXPECT_NEAR(c.bmr, r.bmrKcal, 2e-3);
    if (c.hydration != 0.0) {
      EXPECT_NEAR(c.hydration, r.tbwLitres / r.leanKg, 1e-6);
    }
  }
}

}  // namespace

// results_test.cpp: KVCalculateResults for every family it accepts: the worked examples, which fields
// each family fills, the order of the checks, the children's bands, and the arithmetic pinned bit for bit.
// Expected values come from the formulas by hand or from an independent double evaluation below.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "KorvantaSDK.h"
#include "spectrum_samples.h"

// Test records are written with designated initializers; the fields they leave out are meant to be 0.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using kv::calc::testing::kColeSpectrum;

struct Field {
  const char* name;
  float KVResults::*member;
};
// In record order: kFields[k - 1] is field k.
constexpr Field kFields[] = {
    {"fatPercent", &KVResults::fatPercent},
    {"fatKg", &KVResults::fatKg},
    {"leanPercent", &KVResults::leanPercent},
    {"leanKg", &KVResults::leanKg},
    {"totalWeight", &KVResults::totalWeight},
    {"dryLeanKg", &KVResults::dryLeanKg},
    {"tbwPercent", &KVResults::tbwPercent},
    {"tbwLitres", &KVResults::tbwLitres},
    {"ecwPercent", &KVResults::ecwPercent},
    {"ecwLitres", &KVResults::ecwLitres},
    {"icwPercent", &KVResults::icwPercent},
    {"icwLitres", &KVResults::icwLitres},
    {"bodyCellMass", &KVResults::bodyCellMass},
    {"tbwDifference", &KVResults::tbwDifference},
    {"ecwTbwRatio", &KVResults::ecwTbwRatio},
    {"impedanceRatioF4F1", &KVResults::impedanceRatioF4F1},
    {"bmrKcal", &KVResults::bmrKcal},
    {"bmrPerKg", &KVResults::bmrPerKg},
    {"energyRequirementKcal", &KVResults::energyRequirementKcal},
    {"bmi", &KVResults::bmi},
    {"fatMassIndex", &KVResults::fatMassIndex},
    {"leanMassIndex", &KVResults::leanMassIndex},
    {"waistHipRatio", &KVResults::waistHipRatio},
    {"impedanceRatioF2F1", &KVResults::impedanceRatioF2F1},
    {"ecwRegressionLitres", &KVResults::ecwRegressionLitres},
    {"tbwRegressionLitres", &KVResults::tbwRegressionLitres},
    {"overhydrationLitres", &KVResults::overhydrationLitres},
    {"skeletalMuscleKg", &KVResults::skeletalMuscleKg},
    {"membraneCapacitance", &KVResults::membraneCapacitance},
    {"resistanceZero", &KVResults::resistanceZero},
    {"resistanceIntracellular", &KVResults::resistanceIntracellular},
    {"characteristicFrequency", &KVResults::characteristicFrequency},
    {"alpha", &KVResults::alpha},
};
static_assert(sizeof(kFields) / sizeof(kFields[0]) * sizeof(float) == sizeof(KVResults));

// An adult with every reading set, so that each family can fill each of its fields.
// clang-format off
KVTestRecord Adult(int32_t model) {
  return KVTestRecord{.modelCode = model, .sex = 1, .age = 35, .height = 180, .weight = 80.0f, .activityLevel = 3,
                      .waist = 84, .hip = 100, .impedanceF1 = 560, .impedanceF2 = 500, .impedanceF3 = 470,
                      .impedanceF4 = 450, .resistance = 480, .spectrumCount = 7, .spectrum = kColeSpectrum};
}
// clang-format on

KVResults Calculate(const KVTestRecord& test, uint32_t waterEquation = 0) {
  KVResults results;
  std::memset(&results, 0x5A, sizeof results);
  EXPECT_EQ(KV_OK, KVCalculateResults(&test, &results, waterEquation));
  return results;
}

// Names each parameterised case after its table entry.
struct NameOf {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& test) const {
    return test.param.name;
  }
};

bool AllZero(const KVResults& results) {
  for (const Field& f : kFields) {
    if (std::memcmp(&(results.*f.member), "\0\0\0\0", 4) != 0) return false;
  }
  return true;
}

// ---- The worked examples, to the decimals they are given with --------------------------------------

struct Expect {
  float KVResults::*field;
  double value;
  int decimals;
};
struct Example {
  const char* name;
  KVTestRecord test;
  uint32_t waterEquation;
  std::vector<Expect> expect;
};
void PrintTo(const Example& c, std::ostream* os) { *os << c.name; }

class WorkedExamples : public ::testing::TestWithParam<Example> {};

TEST_P(WorkedExamples, ReproduceTheGivenDecimals) {
  const Example& e = GetParam();
  const KVResults r = Calculate(e.test, e.waterEquation);
  for (const Expect& x : e.expect) {
    EXPECT_NEAR(r.*x.field, x.value, 0.5 * std::pow(10.0, -x.decimals) + 1e-9) << "decimals " << x.decimals;
  }
}

// Records and tables read better in rows.
// clang-format off
const KVTestRecord kModel1Man{.modelCode = 1, .sex = 1, .age = 35, .height = 180, .weight = 80.0f,
                              .activityLevel = 3, .waist = 84, .hip = 100, .impedanceF2 = 500};
const KVTestRecord kModel7Woman{.modelCode = 7, .sex = 0, .age = 45, .height = 165, .weight = 62.5f,
                                .activityLevel = 2, .waist = 72, .hip = 96, .impedanceF1 = 620, .impedanceF2 = 560,
                                .impedanceF4 = 500};
const KVTestRecord kModel2Boy{.modelCode = 2, .sex = 1, .age = 12, .height = 150, .weight = 40.0f, .activityLevel = 4,
                              .waist = 60, .hip = 75, .impedanceF1 = 700, .impedanceF2 = 640};
// Children's water: 14641 x 0.593 / 500 + 24.5 x 0.065 + 0.04.
const KVTestRecord kModel2ChildOf9{.modelCode = 2, .sex = 1, .age = 9, .height = 121, .weight = 24.5f,
                                   .activityLevel = 3, .waist = 60, .hip = 70, .impedanceF1 = 600,
                                   .impedanceF2 = 500};

INSTANTIATE_TEST_SUITE_P(
    Examples, WorkedExamples,
    ::testing::Values(
        Example{"Model1Adult", kModel1Man, 0,
                {{&KVResults::leanKg, 65.4946, 4}, {&KVResults::fatKg, 14.5054, 4},
                 {&KVResults::fatPercent, 18.132, 3}, {&KVResults::tbwLitres, 45.5202, 4},
                 {&KVResults::dryLeanKg, 19.9744, 4}, {&KVResults::bmrKcal, 2003.52, 2},
                 {&KVResults::energyRequirementKcal, 3205.64, 2}, {&KVResults::bmi, 24.6914, 4},
                 {&KVResults::waistHipRatio, 0.84, 2}}},
        Example{"Model7MainWater", kModel7Woman, 0,
                {{&KVResults::leanKg, 44.7568, 4}, {&KVResults::tbwLitres, 33.4660, 4},
                 {&KVResults::ecwLitres, 15.7734, 4}, {&KVResults::icwLitres, 17.4947, 4},
                 {&KVResults::bodyCellMass, 24.9925, 4}, {&KVResults::tbwDifference, 0.1979, 4},
                 {&KVResults::ecwTbwRatio, 0.4741, 4}, {&KVResults::bmrKcal, 1417.06, 2},
                 {&KVResults::bmi, 22.9568, 4}, {&KVResults::waistHipRatio, 0.75, 2}}},
        Example{"Model7HighFrequencyWater", kModel7Woman, 2,
                {{&KVResults::tbwLitres, 33.2681, 4}, {&KVResults::icwLitres, 17.4947, 4}}},
        // Children's lean mass 32.7553; water 32.7553 x 0.754; metabolic rate 17.7 x 40 + 657.
        Example{"Model2Child", kModel2Boy, 0,
                {{&KVResults::leanKg, 32.7553, 4}, {&KVResults::tbwLitres, 24.6975, 4},
                 {&KVResults::icwLitres, 12.5314, 4}, {&KVResults::bmrKcal, 1365.0, 2},
                 {&KVResults::impedanceRatioF2F1, 0.9143, 4}}}),
    NameOf());
// clang-format on

TEST(WaterEquation, TwoChangesOnlyTheReportedTotalWater) {
  struct Case {
    int32_t model;
    std::set<int> changed;  // field numbers
  };
  for (const Case& c : {Case{7, {6, 7, 8}}, Case{14, {6, 7, 8}}, Case{8, {26}}, Case{15, {26}}, Case{1, {}},
                        Case{2, {}}, Case{5, {}}}) {
    SCOPED_TRACE(c.model);
    const KVResults main = Calculate(Adult(c.model), 0);
    for (uint32_t selector : {1u, 3u}) {
      const KVResults same = Calculate(Adult(c.model), selector);
      EXPECT_EQ(0, std::memcmp(&main, &same, sizeof same));
    }
    const KVResults high = Calculate(Adult(c.model), 2);
    for (int k = 1; k <= 33; ++k) {
      const bool differs = main.*kFields[k - 1].member != high.*kFields[k - 1].member;
      EXPECT_EQ(c.changed.count(k) == 1, differs) << kFields[k - 1].name;
    }
  }
}

// ---- Which fields each family fills --------------------------------------------------------------

struct Filling {
  const char* name;
  int32_t model;
  std::set<int> filled;  // field numbers; every other field stays 0
};
void PrintTo(const Filling& c, std::ostream* os) { *os << c.name; }

std::set<int> Range(int first, int last, std::set<int> more = {}) {
  for (int k = first; k <= last; ++k) more.insert(k);
  return more;
}

class FieldsByFamily : public ::testing::TestWithParam<Filling> {};

TEST_P(FieldsByFamily, FillsItsFieldsAndLeavesTheRestZero) {
  const KVResults r = Calculate(Adult(GetParam().model));
  for (int k = 1; k <= 33; ++k) {
    const float value = r.*kFields[k - 1].member;
    if (GetParam().filled.count(k) == 1) {
      EXPECT_TRUE(value != 0.0f && std::isfinite(value)) << kFields[k - 1].name << " = " << value;
    } else {
      EXPECT_EQ(0.0f, value) << kFields[k - 1].name;
    }
  }
}

const std::set<int> kSingleFrequency = Range(1, 8, Range(17, 20, {23}));
INSTANTIATE_TEST_SUITE_P(
    Models, FieldsByFamily,
    ::testing::Values(Filling{"Mono1", 1, kSingleFrequency}, Filling{"Mono3", 3, kSingleFrequency},
                      Filling{"Mono9", 9, kSingleFrequency}, Filling{"Duotrace5", 5, kSingleFrequency},
                      Filling{"Duotrace6", 6, kSingleFrequency}, Filling{"Unknown0", 0, kSingleFrequency},
                      Filling{"Unknown99", 99, kSingleFrequency}, Filling{"MonoXD2", 2, Range(1, 12, Range(17, 24))},
                      Filling{"MonoXD4", 4, Range(1, 12, Range(17, 24))},
                      Filling{"MonoXD10", 10, Range(1, 12, Range(17, 24))}, Filling{"Quattron7", 7, Range(1, 23)},
                      Filling{"Quattron11", 11, Range(1, 23)}, Filling{"QuattronPanel14", 14, Range(1, 23)},
                      Filling{"Polytrace8", 8, Range(1, 23, Range(26, 33))},
                      Filling{"PolytracePanel15", 15, Range(1, 23, Range(25, 33))}),
    NameOf());

TEST(FamilyEquations, ModelsOfOneFamilyOrUnknownGiveIdenticalResults) {
  const std::pair<int32_t, int32_t> same[] = {{1, 99}, {1, 0}, {1, 5}, {1, 3}, {2, 10}, {7, 11}, {7, 14}};
  for (const auto& [model, other] : same) {
    const KVResults first = Calculate(Adult(model));
    const KVResults second = Calculate(Adult(other));
    EXPECT_EQ(0, std::memcmp(&first, &second, sizeof first)) << model << " and " << other;
  }
}

TEST(FamilyEquations, Model8ReplacesSpectrumCompartmentsWithRegression) {
  const KVResults m8 = Calculate(Adult(8));
  const KVResults m15 = Calculate(Adult(15));
  // ECW = H2 x 0.1746 / Z1 + W x 0.069 + 3.794 = 32400 x 0.1746 / 560 + 5.52 + 3.794 = 19.4158...
  EXPECT_NEAR(19.41586, m8.ecwLitres, 1e-4);
  EXPECT_NEAR(19.41586, m15.ecwRegressionLitres, 1e-4);
  // icw = main water (32400 x 0.3963 / 500 + 0.143 x 80 + 8.4 = 45.5202) minus ECW.
  EXPECT_NEAR(45.52024 - 19.41586, m8.icwLitres, 1e-4);
  EXPECT_EQ(m8.tbwLitres, m15.tbwLitres);  // both keep the spectrum's total water
  EXPECT_NE(m8.ecwLitres, m15.ecwLitres);
  EXPECT_FLOAT_EQ(m15.ecwLitres / m15.tbwLitres, m15.ecwTbwRatio);
  EXPECT_FLOAT_EQ(m8.ecwLitres / m8.tbwLitres, m8.ecwTbwRatio);
}

// ---- The checks, their order and what a rejection leaves ------------------------------------------

struct Check {
  const char* name;
  void (*change)(KVTestRecord&);
  uint32_t waterEquation;
  int32_t code;
};
void PrintTo(const Check& c, std::ostream* os) { *os << c.name; }

class Validation : public ::testing::TestWithParam<Check> {};

TEST_P(Validation, ReportsTheFirstFailingCheckAndLeavesResultsZero) {
  KVTestRecord test = Adult(8);
  GetParam().change(test);
  KVResults results;
  std::memset(&results, 0x5A, sizeof results);
  EXPECT_EQ(GetParam().code, KVCalculateResults(&test, &results, GetParam().waterEquation));
  if (GetParam().code != KV_OK) {
    EXPECT_TRUE(AllZero(results));
  }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Rejected, Validation,
    ::testing::Values(
        Check{"EquineModel12", [](KVTestRecord& r) { r.modelCode = 12; }, 0, KV_ERR_WRONG_KIND},
        Check{"EquineBeforeWaterEquation", [](KVTestRecord& r) { r.modelCode = 13; }, 4, KV_ERR_WRONG_KIND},
        Check{"WaterEquation4", [](KVTestRecord&) {}, 4, KV_ERR_WATER_EQUATION},
        Check{"WaterEquationMinus1BeforeSex", [](KVTestRecord& r) { r.sex = 2; }, 0xFFFFFFFFu, KV_ERR_WATER_EQUATION},
        Check{"Sex2BeforeAge0", [](KVTestRecord& r) { r.sex = 2, r.age = 0; }, 0, KV_ERR_SEX},
        Check{"SexMinus1", [](KVTestRecord& r) { r.sex = -1; }, 0, KV_ERR_SEX},
        Check{"Age0BeforeHeight", [](KVTestRecord& r) { r.age = 0, r.height = 9; }, 0, KV_ERR_AGE},
        Check{"Age100", [](KVTestRecord& r) { r.age = 100; }, 0, KV_ERR_AGE},
        Check{"Height9BeforeWeight", [](KVTestRecord& r) { r.height = 9, r.weight = 0.0f; }, 0, KV_ERR_HEIGHT},
        Check{"Height230", [](KVTestRecord& r) { r.height = 230; }, 0, KV_ERR_HEIGHT},
        Check{"Weight300point1", [](KVTestRecord& r) { r.weight = 300.1f; }, 0, KV_ERR_WEIGHT},
        Check{"WeightZero", [](KVTestRecord& r) { r.weight = 0.0f; }, 0, KV_ERR_WEIGHT},
        Check{"WeightJustBelow0point001", [](KVTestRecord& r) { r.weight = std::nextafter(0.001f, 0.0f); }, 0,
              KV_ERR_WEIGHT},
        Check{"WeightNaNBeforeActivity", [](KVTestRecord& r) { r.weight = kNaN, r.activityLevel = 0; }, 0,
              KV_ERR_WEIGHT},
        Check{"WeightInfinite", [](KVTestRecord& r) { r.weight = kInfinity; }, 0, KV_ERR_WEIGHT},
        Check{"WeightMinusInfinite", [](KVTestRecord& r) { r.weight = -kInfinity; }, 0, KV_ERR_WEIGHT},
        Check{"Activity0BeforeWaist", [](KVTestRecord& r) { r.activityLevel = 0, r.waist = 4; }, 0, KV_ERR_ACTIVITY},
        Check{"Activity6", [](KVTestRecord& r) { r.activityLevel = 6; }, 0, KV_ERR_ACTIVITY},
        Check{"Waist4BeforeHip", [](KVTestRecord& r) { r.waist = 4, r.hip = 4; }, 0, KV_ERR_WAIST},
        Check{"Waist649", [](KVTestRecord& r) { r.waist = 649; }, 0, KV_ERR_WAIST},
        Check{"Hip4BeforeSpectrum", [](KVTestRecord& r) { r.hip = 4, r.spectrum = nullptr; }, 0, KV_ERR_HIP},
        Check{"Hip649", [](KVTestRecord& r) { r.hip = 649; }, 0, KV_ERR_HIP},
        Check{"Model8NullSpectrum", [](KVTestRecord& r) { r.spectrum = nullptr; }, 0, KV_ERR_ARGUMENT},
        Check{"Model8NoPoints", [](KVTestRecord& r) { r.spectrumCount = 0; }, 0, KV_ERR_ARGUMENT},
        Check{"Model15NegativeCount", [](KVTestRecord& r) { r.modelCode = 15, r.spectrumCount = -3; }, 0,
              KV_ERR_ARGUMENT},
        Check{"Model8Over50Points", [](KVTestRecord& r) { r.spectrumCount = 51; }, 0, KV_ERR_ARGUMENT},
        Check{"Model14NoPointsThoughUnused", [](KVTestRecord& r) { r.modelCode = 14, r.spectrumCount = 0; }, 0,
              KV_ERR_ARGUMENT},
        Check{"Model14NullSpectrum", [](KVTestRecord& r) { r.modelCode = 14, r.spectrum = nullptr; }, 0,
              KV_ERR_ARGUMENT}),
    NameOf());

// The 50-point case reads only the 7 real points' worth of distinct data: the first 7 repeated.
const KVSpectrumPoint* FiftyPoints() {
  static KVSpectrumPoint points[50];
  for (int i = 0; i < 50; ++i) points[i] = kColeSpectrum[i % 7];
  return points;
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, Validation,
    ::testing::Values(
        Check{"Age1", [](KVTestRecord& r) { r.age = 1; }, 0, KV_OK},
        Check{"Age99", [](KVTestRecord& r) { r.age = 99; }, 0, KV_OK},
        Check{"Height10", [](KVTestRecord& r) { r.height = 10; }, 0, KV_OK},
        Check{"Height229", [](KVTestRecord& r) { r.height = 229; }, 0, KV_OK},
        Check{"Weight300", [](KVTestRecord& r) { r.weight = 300.0f; }, 0, KV_OK},
        Check{"WeightNearest0point001", [](KVTestRecord& r) { r.weight = 0.001f; }, 0, KV_OK},
        Check{"Activity1", [](KVTestRecord& r) { r.activityLevel = 1; }, 0, KV_OK},
        Check{"Activity5", [](KVTestRecord& r) { r.activityLevel = 5; }, 0, KV_OK},
        Check{"Girths5", [](KVTestRecord& r) { r.waist = 5, r.hip = 5; }, 0, KV_OK},
        Check{"Girths648", [](KVTestRecord& r) { r.waist = 648, r.hip = 648; }, 0, KV_OK},
        Check{"WaterEquation3", [](KVTestRecord&) {}, 3, KV_OK},
        Check{"OnePoint", [](KVTestRecord& r) { r.spectrumCount = 1; }, 0, KV_OK},
        Check{"FiftyPoints", [](KVTestRecord& r) { r.spectrumCount = 50, r.spectrum = FiftyPoints(); }, 0, KV_OK},
        Check{"Model7NeedsNoSpectrum",
              [](KVTestRecord& r) { r.modelCode = 7, r.spectrumCount = 0, r.spectrum = nullptr; }, 0, KV_OK},
        Check{"Model1NeedsNoSpectrum",
              [](KVTestRecord& r) { r.modelCode = 1, r.spectrumCount = 99, r.spectrum = nullptr; }, 0, KV_OK}),
    NameOf());

TEST(NullPointers, ReturnMinus18AndWriteNothing) {
  const KVTestRecord test = Adult(1);
  KVResults results;
  std::memset(&results, 0x5A, sizeof results);
  KVResults untouched = results;
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateResults(nullptr, &results, 0));
  EXPECT_EQ(0, std::memcmp(&untouched, &results, sizeof results));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateResults(&test, nullptr, 0));
  EXPECT_EQ(KV_ERR_ARGUMENT, KVCalculateResults(nullptr, nullptr, 9));
}

TEST(UncheckedReadings, ZeroImpedanceGivesInfiniteFieldsAndStillSucceeds) {
  KVTestRecord test = Adult(7);
  test.impedanceF1 = 0;
  const KVResults r = Calculate(test);
  EXPECT_TRUE(std::isinf(r.ecwLitres));
  EXPECT_TRUE(std::isinf(r.impedanceRatioF4F1));
  EXPECT_TRUE(std::isfinite(r.leanKg));
  EXPECT_TRUE(std::isfinite(r.bmrKcal));
}

// ---- Children's bands --------------------------------------------------------------------------------

struct Child {
  const char* name;
  int32_t model;
  int32_t sex;
  int32_t age;
  double bmr;        // by hand from the band of the age
  double hydration;  // tbwLitres / leanKg from the hydration table; 0 where the adult equations apply
};
void PrintTo(const Child& c, std::ostream* os) { *os << c.name; }

class ChildrensBands : public ::testing::TestWithParam<Child> {};

TEST_P(ChildrensBands, MetabolicRateAndHydrationOfTheAge) {
  const Child& c = GetParam();
  KVTestRecord test = Adult(c.model);
  test.sex = c.sex;
  test.age = c.age;
  test.weight = 40.0f;
  const KVResults r = Calculate(test);
  EXPECT_NEAR(c.bmr, r.bmrKcal, 2e-3);
  if (c.hydration != 0.0) {
    EXPECT_NEAR(c.hydration, r.tbwLitres / r.leanKg, 1e-6);
  } else {
    EXPECT_GT(std::fabs(r.tbwLitres / r.leanKg - 0.77), 0.01);
  }
}

// Adult lean mass of a man of 180 cm, 40 kg, 500 ohm, age A:
// 32400 x 0.352539 / 500 - 32400 x 0.078607 / 40 + 180 x 0.481605 - 0.164665 A - 6.43971.
double AdultManLean(int age) {
  return 32400 * 0.352539 / 500 - 32400 * 0.078607 / 40 + 180 * 0.481605 - 0.164665 * age - 6.43971;
}

INSTANTIATE_TEST_SUITE_P(Ages, ChildrensBands,
                         ::testing::Values(Child{"Age18Adult", 2, 1, 18, AdultManLean(18) * 27.717 + 188.21, 0},
                                           Child{"Age17Band10To17", 2, 1, 17, 17.7 * 40 + 657, 0.738},
                                           Child{"Age10Index5", 2, 0, 10, 13.4 * 40 + 692, 0.77},
                                           Child{"Age9Index5", 2, 0, 9, 22.5 * 40 + 499, 0.77},
                                           Child{"Age3", 7, 1, 3, 22.7 * 40 + 495, 0.778},
                                           Child{"Age2Band1And2", 7, 1, 2, 60.9 * 40 - 54, 0.786},
                                           Child{"Age1", 8, 0, 1, 61 * 40 - 51, 0},  // total water from the spectrum
                                           Child{"Age12Model1Adult", 1, 1, 12, AdultManLean(12) * 27.717 + 188.21, 0},
                                           Child{"Age40UpTo40Pair", 1, 1, 40, AdultManLean(40) * 27.717 + 188.21, 0},
                                           Child{"Age41OtherPair", 1, 1, 41, AdultManLean(41) * 25.333 + 243.28, 0}),
                         NameOf());

// ---- Independent double evaluation over families, sexes and ages ----------------------------------

struct Reference {
  double lean, tbw, ecw, icw, bmr;
};

// The equations evaluated straightforwardly in double, with no intermediate rounding.
Reference Evaluate(const KVTestRecord& t, uint32_t waterEquation, int family) {
  const double s = t.sex, a = t.age, h = t.height, w = t.weight, h2 = h * h;
  const double z1 = t.impedanceF1, z2 = t.impedanceF2, z4 = t.impedanceF4;
  static const double hydration[10][2] = {{0, 0},        {0.785, 0.786}, {0.783, 0.778}, {0.78, 0.77},  {0.776, 0.768},
                                          {0.77, 0.762}, {0.766, 0.754}, {0.755, 0.747}, {0.75, 0.742}, {0.745, 0.738}};
  Reference r{};
  r.lean = s == 1 ? 0.352539 * h2 / z2 - 0.078607 * h2 / w + 0.481605 * h - 0.164665 * a - 6.43971
                  : 0.421625 * h2 / z2 - 0.038381 * h2 / w + 0.383446 * h - 0.14466 * a - 15.7811;
  double main = s == 1 ? 0.3963 * h2 / z2 + 0.143 * w + 8.4 : 0.3821 * h2 / z2 + 0.1052 * w + 8.3148;
  const double high = 0.2714 * h2 / z4 + 0.2078 * w + 3.2477 * s + 5.5029;
  const bool compartments = family == -2 || family == -4;
  if (compartments) {
    r.ecw = 0.1746 * h2 / z1 + 0.069 * w + 3.794;
    const double k = t.age <= 17 ? hydration[(t.age + 1) / 2][t.sex] : 0.0;
    if (t.age >= 10 && t.age <= 17) r.lean = 0.61 * h2 / z2 + 0.25 * w + 1.31, main = r.lean * k;
    if (t.age <= 9) main = 0.593 * h2 / z2 + 0.065 * w + 0.04, r.lean = main / k;
    r.icw = (family == -4 ? high : main) - r.ecw;
  }
  r.tbw = family == -4 && waterEquation == 2 ? high : main;
  r.bmr = t.age <= 40 ? (s == 1 ? 27.717 * r.lean + 188.21 : 24.039 * r.lean + 434.38)
                      : (s == 1 ? 25.333 * r.lean + 243.28 : 21.956 * r.lean + 434.38);
  if (compartments && t.age < 18) r.bmr = s == 1 ? 17.7 * w + 657 : 13.4 * w + 692;
  if (compartments && t.age < 10) r.bmr = s == 1 ? 22.7 * w + 495 : 22.5 * w + 499;
  if (compartments && t.age < 3) r.bmr = s == 1 ? 60.9 * w - 54 : 61 * w - 51;
  return r;
}

TEST(IndependentEvaluation, AgreesOverFamiliesSexesAndAges) {
  const std::pair<int32_t, int> models[] = {{1, -1}, {2, -2}, {7, -4}};
  for (const auto& [model, family] : models) {
    for (int sex : {0, 1}) {
      for (int age : {1, 2, 5, 9, 10, 13, 17, 18, 40, 41, 75}) {
        for (uint32_t waterEquation : {0u, 2u}) {
          SCOPED_TRACE(::testing::Message()
                       << "model " << model << " sex " << sex << " age " << age << " eq " << waterEquation);
          KVTestRecord test = Adult(model);
          test.sex = sex;
          test.age = age;
          test.weight = age < 10 ? 24.5f : 61.3f;
          test.height = age < 10 ? 121 : 168;
          const Reference ref = Evaluate(test, waterEquation, family);
          const KVResults r = Calculate(test, waterEquation);
          const auto near = [](double expected) { return 2e-6 * std::max(1.0, std::fabs(expected)); };
          EXPECT_NEAR(ref.lean, r.leanKg, near(ref.lean));
          EXPECT_NEAR(ref.tbw, r.tbwLitres, near(ref.tbw));
          EXPECT_NEAR(ref.ecw, r.ecwLitres, near(ref.ecw));
          EXPECT_NEAR(ref.icw, r.icwLitres, near(ref.icw));
          EXPECT_NEAR(ref.bmr, r.bmrKcal, near(ref.bmr));
          EXPECT_NEAR(test.weight - ref.lean, r.fatKg, near(ref.lean));
          EXPECT_NEAR(ref.lean * 100 / test.weight, r.leanPercent, near(100));
        }
      }
    }
  }
}

// ---- Bit for bit: single precision, operation by operation ------------------------------------------

// Expected bits from a separate evaluation that rounds every operation to single precision in the
// written order, and the children's equations once from double. A double evaluation of the adult
// equations, a single-precision one of the children's, a fused multiply-add or a reordering moves at
// least one of them.
struct Pin {
  const char* name;
  KVTestRecord test;
  uint32_t waterEquation;
  float KVResults::*field;
  float bits;
};
void PrintTo(const Pin& c, std::ostream* os) { *os << c.name; }

class SinglePrecisionPins : public ::testing::TestWithParam<Pin> {};

TEST_P(SinglePrecisionPins, ExactBits) {
  const Pin& p = GetParam();
  EXPECT_EQ(p.bits, Calculate(p.test, p.waterEquation).*p.field);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SinglePrecisionPins,
    ::testing::Values(Pin{"Model1Lean", kModel1Man, 0, &KVResults::leanKg, 0x1.05fa78p+6f},
                      Pin{"Model1Energy", kModel1Man, 0, &KVResults::energyRequirementKcal, 0x1.90b46ap+11f},
                      Pin{"Model1Bmi", kModel1Man, 0, &KVResults::bmi, 0x1.8b0fcep+4f},
                      Pin{"Model7Water", kModel7Woman, 0, &KVResults::tbwLitres, 0x1.0bba5ep+5f},
                      Pin{"Model7HighWater", kModel7Woman, 2, &KVResults::tbwLitres, 0x1.0a2522p+5f},
                      Pin{"Model7Difference", kModel7Woman, 0, &KVResults::tbwDifference, 0x1.953cp-3f},
                      Pin{"Model7CellMass", kModel7Woman, 0, &KVResults::bodyCellMass, 0x1.8fe11cp+4f},
                      Pin{"Model7EcwTbw", kModel7Woman, 0, &KVResults::ecwTbwRatio, 0x1.e58246p-2f},
                      Pin{"Model2ChildLean", kModel2Boy, 0, &KVResults::leanKg, 0x1.060ae2p+5f},
                      Pin{"Model2ChildWater", kModel2Boy, 0, &KVResults::tbwLitres, 0x1.8b28fep+4f},
                      Pin{"Model2ChildBmi", kModel2Boy, 0, &KVResults::bmi, 0x1.1c71c8p+4f},
                      Pin{"Model2Ratio", kModel2Boy, 0, &KVResults::impedanceRatioF2F1, 0x1.d41d42p-1f},
                      // Single precision step by step would give 0x1.2ff29ap+4.
                      Pin{"ChildOf9WaterInDouble", kModel2ChildOf9, 0, &KVResults::tbwLitres, 0x1.2ff296p+4f}),
    NameOf());

TEST(SinglePrecisionPins, LeanMassInDoubleWouldDifferByOneUlp) {
  // The same lean-mass equation over the same single-precision inputs and constants, but in double:
  // it rounds to the neighbouring value, so the pin above tells the two evaluations apart.
  const double h2 = 32400.0, w = 80.0, z2 = 500.0;
  const double inDouble = h2 * 0.352539f / z2 + h2 * -0.078607f / w + 180.0 * 0.481605f + 35.0 * -0.164665f + -6.43971f;
  EXPECT_EQ(0x1.05fa7ap+6f, static_cast<float>(inDouble));
  EXPECT_NE(static_cast<float>(inDouble), Calculate(kModel1Man).leanKg);
}

}  // namespace

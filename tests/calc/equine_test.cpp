// equine_test.cpp: CXCalculateResults and CXCalculateNormals: the worked example, the log-log fit, readings
// that give no fit, the derived quotients and the nested truncated normal ranges (data/equine_*.txt).
#include "calc/equine.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "KorvantaSDK.h"
#include "calc_cases.h"

namespace {

using namespace kv::calc::testing;
constexpr int32_t kMaxWhole = std::numeric_limits<int32_t>::max();
using Z = std::array<int32_t, 7>;
using Fields = std::array<float, sizeof(CXResults) / 4>;

CXTestRecord Horse(int32_t model, int32_t height, int32_t score, const Z& z = {112, 106, 103, 97, 88, 85, 82}) {
  return {model, 4711, 0, height, score, z[0], z[1], z[2], z[3], z[4], z[5], z[6], 12.3f};
}

Fields Results(const CXTestRecord& test) {
  CXResults results;
  std::memset(&results, 0x7F, sizeof results);
  EXPECT_EQ(KV_OK, CXCalculateResults(&test, &results));
  Fields fields;
  return std::memcpy(fields.data(), &results, sizeof fields), fields;
}

TEST(Equine, WorkedExample) {
  // The published figures to their last decimal; a fit in double moves the body mass by about 0.08 kg.
  // fatKg = trunc(520.11 - 284.45 / 0.732 = 131.52) = 131; 131 x 100 / 520.11 = 25.19; ratio 82 / 112.
  const std::array<double, 15> figures = {131,   520.11, 464.94, 25.19, 284.45, 54.69, 125.85, 0.2420,
                                          44.24, 158.60, 0.3049, 55.76, 20.05,  15.93, 0.7321};
  const Fields got = Results(Horse(12, 160, 5));
  for (size_t i = 0; i < figures.size(); ++i) EXPECT_NEAR(figures[i], got[i], figures[i] < 1 ? 5e-5 : 5e-3) << i;
  EXPECT_EQ(got, Results(Horse(13, 160, 0)));  // the basic model calculates as the plus model; score 0 is 5
  // Estimated weight: height x 6.552 - 777.429 + score x 38.81.
  EXPECT_NEAR(426.131, Results(Horse(13, 160, 4))[2], 5e-4);
  EXPECT_NEAR(554.661, Results(Horse(13, 150, 9))[2], 5e-4);
}

// Null records and outputs: frame_test.
TEST(Equine, OtherModelsAreRefusedAndNothingIsWritten) {
  CXResults results;
  std::memset(&results, 0x5C, sizeof results);
  const CXResults before = results;
  for (const int32_t model : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 0, 16, -1, -6, -7, 99}) {
    const CXTestRecord test = Horse(model, 160, 5);
    EXPECT_EQ(KV_ERR_WRONG_KIND, CXCalculateResults(&test, &results)) << model;
  }
  EXPECT_EQ(0, std::memcmp(&before, &results, sizeof results));
}

TEST(Equine, ReadingsOfZeroOrBelowLeaveTheFittedVolumesZero) {
  struct Reading {
    size_t index;
    int32_t value;
    float ratio;  // impedanceRatio280To5: a plain quotient, 0 when impedance5 is 0
  };
  // clang-format off
  for (const Reading& r : {Reading{0, 0, 0.0f}, {0, -5, 82.0f / -5.0f}, {1, 0, 82.0f / 112.0f}, {2, -103, 82.0f / 112},
                           {3, 0, 82.0f / 112}, {4, -1, 82.0f / 112}, {5, 0, 82.0f / 112}, {6, 0, 0.0f},
                           {6, std::numeric_limits<int32_t>::min(), -2147483648.0f / 112.0f}}) {
    // clang-format on
    Z z = {112, 106, 103, 97, 88, 85, 82};
    z[r.index] = r.value;
    Fields expected{};
    expected[2] = 464.941f;
    expected[14] = r.ratio;
    const Fields got = Results(Horse(12, 160, 5, z));
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(expected[i], got[i], 5e-4) << r.index << " field " << i;
  }
}

TEST(Equine, ExtremeInputsStayFinite) {
  // Neither height nor the readings are checked; what fuzzing found with huge readings stays a case here.
  const Z usual = {112, 106, 103, 97, 88, 85, 82}, huge = {kMaxWhole, kMaxWhole, kMaxWhole, kMaxWhole, kMaxWhole,
                                                        kMaxWhole, kMaxWhole};
  for (const auto& [height, z] : {std::pair{0, usual}, {1, usual}, {kMaxWhole, usual}, {-160, usual}, {160, huge}}) {
    const Fields got = Results(Horse(12, height, 5, z));
    for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(std::isfinite(got[i])) << height << " field " << i;
    EXPECT_EQ(got[0], std::trunc(got[0]));
  }
}

TEST(Equine, DerivedQuotientsAndTruncatedFat) {
  for (const Row& row : ReadTable("equine_derived.txt")) {
    std::array<float, 13> d;
    for (size_t k = 0; k < d.size(); ++k) d[k] = static_cast<float>(Number(row.at(k)));
    CXResults r{};
    r.bodyMassKg = d[0], r.tbwLitres = d[1], r.ecwLitres = d[2], r.ecwFractionLitres = d[3];
    kv::calc::DeriveEquineFields(r);
    const std::array<float, 9> got = {r.fatKg,         r.fatPercent, r.tbwPercent, r.ecwPercentTbw,     r.icwLitres,
                                      r.icwPercentTbw, r.icwPerKg,   r.ecwPerKg,   r.ecwFractionPercent};
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(d[4 + i], got[i], 5e-4) << row[0] << " " << i;
  }
}

TEST(Equine, NormalsNestedAndTruncated) {
  for (const Row& row : ReadTable("equine_normals.txt")) {
    std::vector<uint32_t> expected(sizeof(CXNormals) / 4);
    for (size_t k = 0; k < expected.size(); ++k) expected[k] = static_cast<uint32_t>(std::stoi(row.at(1 + k)));
    CXResults results{};
    results.bodyMassKg = static_cast<float>(Number(row[0]));
    CXNormals normals;
    std::memset(&normals, 0xA5, sizeof normals);
    const CXTestRecord human = Horse(1, 0, 0, {});  // never read, so any record or none
    EXPECT_EQ(KV_OK, CXCalculateNormals(row[0] == "nan" ? nullptr : &human, &results, &normals));
    EXPECT_EQ(expected, WordsOf(normals)) << row[0];
  }
}

}  // namespace

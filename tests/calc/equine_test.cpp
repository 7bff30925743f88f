// equine_test.cpp: CXCalculateResults and CXCalculateNormals: the worked example, the log-log fit, readings
// that give no fit, the derived quotients and the nested truncated normal ranges.
#include "calc/equine.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "KorvantaSDK.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr int32_t kMaxWhole = std::numeric_limits<int32_t>::max();
using Z = std::array<int32_t, 7>;
using Words = std::array<int32_t, sizeof(CXNormals) / 4>;
using Fields = std::array<float, sizeof(CXResults) / 4>;

CXTestRecord Horse(int32_t model, int32_t height, int32_t score, const Z& z = {112, 106, 103, 97, 88, 85, 82}) {
  return {model, 4711, 0, height, score, z[0], z[1], z[2], z[3], z[4], z[5], z[6], 12.3f};
}

template <typename Array, typename Record>
Array As(const Record& record) {
  Array array;
  return std::memcpy(array.data(), &record, sizeof array), array;
}

Fields Results(const CXTestRecord& test) {
  CXResults results;
  std::memset(&results, 0x7F, sizeof results);
  EXPECT_EQ(KV_OK, CXCalculateResults(&test, &results));
  return As<Fields>(results);
}

TEST(Equine, WorkedExample) {
  const kv::calc::LogLogFit fit = kv::calc::FitLogLog({112, 106, 103, 97, 88, 85, 82});
  EXPECT_NEAR(2.0677, fit.c0, 0.00005);
  EXPECT_NEAR(-0.010242, fit.c1, 0.0000005);
  EXPECT_NEAR(-0.021695, fit.c2, 0.0000005);
  // The published figures to their last decimal; a fit in double moves the body mass by about 0.08 kg.
  // fatKg = trunc(520.11 - 284.45 / 0.732 = 131.52) = 131; 131 x 100 / 520.11 = 25.19; ratio 82 / 112.
  const std::array<double, 15> figures = {131,   520.11, 464.94, 25.19, 284.45, 54.69, 125.85, 0.2420,
                                          44.24, 158.60, 0.3049, 55.76, 20.05,  15.93, 0.7321};
  const Fields got = Results(Horse(12, 160, 5));
  for (size_t i = 0; i < figures.size(); ++i) EXPECT_NEAR(figures[i], got[i], figures[i] < 1 ? 5e-5 : 5e-3) << i;
  EXPECT_EQ(got, Results(Horse(13, 160, 5)));  // the basic model calculates as the plus model
}

TEST(Equine, OtherModelsAndNullPointersAreRefusedAndNothingIsWritten) {
  const CXTestRecord kHorse = Horse(12, 160, 5);
  CXResults results;
  std::memset(&results, 0x5C, sizeof results);
  const Fields before = As<Fields>(results);
  for (const int32_t model : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 0, 16, -1, -6, -7, 99}) {
    const CXTestRecord test = Horse(model, 160, 5);
    EXPECT_EQ(KV_ERR_WRONG_KIND, CXCalculateResults(&test, &results)) << model;
  }
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateResults(nullptr, &results));
  EXPECT_EQ(0, std::memcmp(&before, &results, sizeof results));
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateResults(&kHorse, nullptr));
}

TEST(Equine, EstimatedWeightFromHeightAndConditionScore) {
  // height x 6.552 - 777.429 + score x 38.81; a score of 0 stands for 5.
  for (const auto& [height, score, weight] :
       {std::tuple{160, 5, 464.941}, {160, 0, 464.941}, {160, 4, 426.131}, {150, 9, 554.661}}) {
    EXPECT_NEAR(weight, Results(Horse(13, height, score))[2], 5e-4) << height << " " << score;
  }
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
  struct Derived {
    float bodyMass, tbw, ecw, ecwFraction;
    // fatKg, fatPercent, tbwPercent, ecwPercentTbw, icwLitres, icwPercentTbw, icwPerKg, ecwPerKg, ecwFractionPercent
    std::array<float, 9> expected;
  };
  // 300 - 289.5 / 0.732 = -95.49 truncates toward zero to -95; a quotient by 0, or overflowing, is 0.
  // clang-format off
  for (const Derived& d : {
           Derived{300, 289.5f, 120, 20, {-95, -31.6667f, 96.5f, 41.4508f, 169.5f, 58.5492f, 0.565f, 0.4f, 16.6667f}},
           Derived{500, 300, 120, 30, {90, 18, 60, 40, 180, 60, 0.36f, 0.24f, 25}},
           Derived{0, 300, 120, 30, {-409, 0, 0, 40, 180, 60, 0, 0, 25}},
           Derived{500, 0, 120, 30, {500, 100, 0, 0, -120, 0, -0.24f, 0.24f, 25}},
           Derived{500, 300, 0, 30, {90, 18, 60, 0, 300, 100, 0.6f, 0, 0}},
           Derived{1e-38f, 300, 120, 30, {-409, 0, 0, 40, 180, 60, 0, 0, 25}}}) {
    // clang-format on
    CXResults r{};
    r.bodyMassKg = d.bodyMass, r.tbwLitres = d.tbw, r.ecwLitres = d.ecw, r.ecwFractionLitres = d.ecwFraction;
    kv::calc::DeriveEquineFields(r);
    const std::array<float, 9> got = {r.fatKg,         r.fatPercent, r.tbwPercent, r.ecwPercentTbw,     r.icwLitres,
                                      r.icwPercentTbw, r.icwPerKg,   r.ecwPerKg,   r.ecwFractionPercent};
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(d.expected[i], got[i], 5e-4) << d.bodyMass << " " << i;
  }
}

TEST(Equine, NormalsNestedAndTruncated) {
  const Words none = {0, 0, 7, 18, 0, 0, 60, 68, 0, 0, 0, 0, 33, 40, 0, 0, 0, 0, 60, 67, 0, 0, 13, 25};
  // 500: fat 35, 90; water 300, 340; M = 320: ecw 105.6 -> 105, 128; icw 192, 214.4 -> 214; M2 = 116: 15.08 -> 15,
  // 29. Per kg in ml: 105000 / 500 = 210, 256, 384, 428. 520.11 likewise; -100 truncates toward zero.
  // clang-format off
  for (const auto& [mass, expected] : {
           std::pair{500.0f, Words{35, 90, 7, 18, 300, 340, 60, 68, 105, 128, 210, 256, 33, 40, 192, 214, 384, 428, 60, 67, 15, 29, 13, 25}},
           {520.11f, Words{36, 93, 7, 18, 312, 353, 60, 68, 109, 132, 209, 253, 33, 40, 199, 222, 382, 426, 60, 67, 15, 30, 13, 25}},
           {0.0f, none}, {kNaN, none}, {kInf, none},
           {-100.0f, Words{-7, -18, 7, 18, -60, -68, 60, 68, -21, -25, 210, 250, 33, 40, -38, -42, 380, 420, 60, 67, -2, -5, 13, 25}}}) {
    // clang-format on
    CXResults results{};
    results.bodyMassKg = mass;
    CXNormals normals;
    std::memset(&normals, 0xA5, sizeof normals);
    const CXTestRecord human = Horse(1, 0, 0, {});  // never read, so any record or none
    EXPECT_EQ(KV_OK, CXCalculateNormals(std::isnan(mass) ? nullptr : &human, &results, &normals));
    EXPECT_EQ(expected, (As<Words>(normals))) << mass;
  }
  // 1e10 kg: 60 % and 68 % saturate; M = 2^31 in single precision, of which 33 % is 708669632 in steps of 64.
  CXResults huge{};
  huge.bodyMassKg = 1e10f;
  CXNormals normals{};
  ASSERT_EQ(KV_OK, CXCalculateNormals(nullptr, &huge, &normals));
  EXPECT_EQ((std::array{kMaxWhole, kMaxWhole, 708669632}),
            (std::array{normals.tbwLitresLow, normals.tbwLitresHigh, normals.ecwLitresLow}));
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateNormals(nullptr, nullptr, &normals));
  EXPECT_EQ(KV_ERR_ARGUMENT, CXCalculateNormals(nullptr, &huge, nullptr));
}

TEST(Equine, TruncationTowardZeroDefinedEverywhere) {
  const std::pair<float, int32_t> cases[] = {{93.99f, 93}, {-95.58f, -95}, {-0.9f, 0}, {kNaN, 0},
                                             {2147483520.0f, 2147483520}, {2147483648.0f, kMaxWhole},
                                             {-kInf, -kMaxWhole}, {kInf, kMaxWhole}};
  for (const auto& [value, whole] : cases) EXPECT_EQ(whole, kv::calc::TruncateToWhole(value)) << value;
}

}  // namespace

// null_outputs_test.cpp: every device command refuses a null output pointer with -18 before
// it touches the port. No port is open here, so any attempt to send would answer -56 instead.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KorvantaSDK.h"

namespace {

struct NullCase {
  std::string name;
  std::function<int32_t()> call;
};

int32_t i1, i2, i3, i4, i5, i6, i7;
uint8_t b1, b2, b3, b4, b5;
uint32_t serial;

float f1, f2;

std::vector<NullCase> Cases() {
  return {
      {"ModelVersionModel", [] { return KVReadModelVersion(nullptr, &b1, &b2, &b3, &b4, &b5); }},
      {"ModelVersionLastByte", [] { return KVReadModelVersion(&i1, &b1, &b2, &b3, &b4, nullptr); }},
      {"ProtocolInfo", [] { return KVReadProtocolInfo(&b1, nullptr, &b3); }},
      {"SerialNumber", [] { return KVReadSerialNumber(nullptr); }},
      {"ReadPrinterAddress", [] { return KVReadPrinterAddress(nullptr, 12); }},
      {"WritePrinterAddress", [] { return KVWritePrinterAddress(nullptr, 12); }},
      {"CurrentTime", [] { return KVReadCurrentTime(nullptr, -1); }},
      {"CalibrationTime", [] { return KVReadCalibrationTime(nullptr); }},
      {"StoredTests", [] { return KVReadStoredTestData(nullptr); }},
      {"EquineStoredTests", [] { return CXReadStoredTestData(nullptr); }},
      {"TestKorvantaFirst", [] { return KVReadTestKorvanta(nullptr, &i2, &i3, &i4, &i5, &f1, &f2); }},
      {"TestKorvantaDecimal", [] { return KVReadTestKorvanta(&i1, &i2, &i3, &i4, &i5, &f1, nullptr); }},
      {"TestCaballixReading", [] { return CXReadTestCaballix(&i1, &i2, &i3, nullptr, &i5, &i6, &i7, &f1); }},
      {"TestCaballixDecimal", [] { return CXReadTestCaballix(&i1, &i2, &i3, &i4, &i5, &i6, &i7, nullptr); }},
  };
}

class NullOutputs : public ::testing::TestWithParam<NullCase> {};

TEST_P(NullOutputs, AnswerArgumentErrorWithoutTouchingThePort) {
  KVCloseComport();
  EXPECT_EQ(KV_ERR_ARGUMENT, GetParam().call());
}

INSTANTIATE_TEST_SUITE_P(Commands, NullOutputs, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<NullCase>& param) { return param.param.name; });

TEST(NullOutputsBaseline, ValidPointersWithNoPortReachTheLink) {
  // The same call with valid pointers must fail on the link, which proves the cases above
  // were stopped by the pointer check and not by the closed port.
  KVCloseComport();
  EXPECT_NE(KV_ERR_ARGUMENT, KVReadSerialNumber(&serial));
  EXPECT_NE(KV_OK, KVReadSerialNumber(&serial));
}

}  // namespace

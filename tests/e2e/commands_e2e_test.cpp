// commands_e2e_test.cpp: identity, printer address, clock and single-test exports end to end,
// each decoded value checked against what the simulated analyser holds.
#include <algorithm>
#include <ctime>

#include "device_fixture.h"
#include "expected.h"

namespace kv::e2e {
namespace {

using Bytes = std::vector<uint8_t>;

class CommandsE2E : public DeviceTest {};

TEST_F(CommandsE2E, ModelVersionGivesModelAndFiveVersionBytes) {
  KV_START_ANALYSER(sim, "--model", "14");
  OpenAndConnect(*sim);
  int32_t model = -1;
  uint8_t v[5] = {9, 9, 9, 9, 9};
  ASSERT_EQ(0, KVReadModelVersion(&model, &v[0], &v[1], &v[2], &v[3], &v[4]));
  EXPECT_EQ(14, model);
  EXPECT_EQ(sim->Scenario().model.version, (std::array<uint8_t, 5>{v[0], v[1], v[2], v[3], v[4]}));
}

struct VersionFault {
  const char* name;
  const char* fault;
  int code;
  bool furtherBytes;  // version bytes 3 to 5 set
};

class ModelVersionFaults : public DeviceTest, public ::testing::WithParamInterface<VersionFault> {};

TEST_P(ModelVersionFaults, OfTheSecondExchange) {
  KV_START_ANALYSER(sim, "--model", "7", "--fault", GetParam().fault);
  OpenAndConnect(*sim);
  int32_t model = -1;
  uint8_t v[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(GetParam().code, KVReadModelVersion(&model, &v[0], &v[1], &v[2], &v[3], &v[4]));
  const auto& version = sim->Scenario().model.version;
  EXPECT_EQ(7, model);
  EXPECT_EQ(version[0], v[0]);
  EXPECT_EQ(version[1], v[1]);
  for (int i = 2; i < 5; ++i) EXPECT_EQ(GetParam().furtherBytes ? version[i] : 0, v[i]) << "version byte " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(
    Command24, ModelVersionFaults,
    ::testing::Values(VersionFault{"WrongEchoCountsAsSuccess", "wrong-echo:cmd=0x24", 0, false},
                      VersionFault{"WrongAckKeepsAllSix", "wrong-ack:cmd=0x24", -54, true},
                      VersionFault{"NoAnswerIsAReceiveFailure", "no-answer:cmd=0x24", -55, false}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(CommandsE2E, IdentityValuesWithKnownDecodings) {
  KV_START_ANALYSER(sim, "--scenario", "@edge_identity.json");
  OpenAndConnect(*sim);
  uint32_t serial = 0;
  ASSERT_EQ(0, KVReadSerialNumber(&serial));
  EXPECT_EQ(66051u, serial);  // 0x01 * 65536 + 0x02 * 256 + 0x03
  uint8_t p[3] = {};
  ASSERT_EQ(0, KVReadProtocolInfo(&p[0], &p[1], &p[2]));
  EXPECT_EQ((Bytes{0xA1, 0xB2, 0xC3}), Bytes(p, p + 3));

  // Exactly twelve characters, no terminator; bytes above 0x7F as Windows-1252 reads them.
  KVWChar address[16];
  std::fill(std::begin(address), std::end(address), KVWChar(0xBEEF));
  ASSERT_EQ(0, KVReadPrinterAddress(address, 12));
  const std::u16string expected = u"KV\u20AC\u00E9 PRN-01";
  for (int i = 0; i < 11; ++i) EXPECT_EQ(expected[i], address[i]) << "character " << i;
  EXPECT_EQ(0, address[11]);  // the zero byte among the twelve
  for (int i = 12; i < 16; ++i) EXPECT_EQ(0xBEEF, address[i]) << "beyond the twelve";
}

TEST_F(CommandsE2E, PrinterAddressBelowTwelveIsRefusedWithNothingSent) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  const size_t before = HostBytesSoFar(*sim);
  KVWChar address[12] = {};
  EXPECT_EQ(-18, KVReadPrinterAddress(address, 11));
  EXPECT_EQ(-18, KVWritePrinterAddress(W(u"0123456789A"), 11));
  EXPECT_EQ(before, HostBytesSoFar(*sim));
  EXPECT_EQ(0, address[0]);
  // The analyser was left in step: the next command is served.
  uint32_t serial = 0;
  EXPECT_EQ(0, KVReadSerialNumber(&serial));
  EXPECT_EQ(sim->Scenario().model.serialNumber, serial);
}

TEST_F(CommandsE2E, WritePrinterAddressSendsTwelveLowBytesAndReadsBack) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  const size_t before = HostBytesSoFar(*sim);
  // Twenty characters; U+0143 goes out as its low byte, 0x43.
  ASSERT_EQ(0, KVWritePrinterAddress(W(u"AB\u0143CDEFGHIJKLMNOPQ"), 20));
  const Bytes sent{0x5A, 0x92, 'A', 'B', 0x43, 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K'};
  if (sim->Recording()) {
    EXPECT_EQ(sent, HostBytesSince(*sim, before));
  }
  KVWChar address[12] = {};
  ASSERT_EQ(0, KVReadPrinterAddress(address, 12));
  EXPECT_EQ(u"ABCCDEFGHIJK", std::u16string(address, address + 12));
}

TEST_F(CommandsE2E, ClockPayloadReadsAsLocalTime) {
  KV_START_ANALYSER(sim, "--scenario", "@edge_identity.json");
  OpenAndConnect(*sim);
  int64_t t = 0;
  ASSERT_EQ(0, KVReadCurrentTime(&t, -1));
  EXPECT_EQ(LocalTimeOf(2023, 12, 24, 9, 15, 30), t);  // 30 15 09 24 12 23
  int64_t calibration = 0;
  ASSERT_EQ(0, KVReadCalibrationTime(&calibration));
  EXPECT_EQ(LocalTimeOf(2023, 11, 20, 9, 30, 0), calibration);
}

TEST_F(CommandsE2E, ClockDigitsOutOfRangeCarryOver) {
  KV_START_ANALYSER(sim, "--scenario", "@edge_clock.json");
  OpenAndConnect(*sim);
  int64_t t = 0;
  ASSERT_EQ(0, KVReadCurrentTime(&t, -1));
  EXPECT_EQ(LocalTimeOf(2024, 1, 24, 9, 15, 30), t);  // month 13 of 2023 is January 2024
  int64_t calibration = 0;
  ASSERT_EQ(0, KVReadCalibrationTime(&calibration));
  // Seconds byte 0xFF is 15 * 10 + 15 = 165 s: 09:15 + 2 min 45 s.
  EXPECT_EQ(LocalTimeOf(2023, 12, 24, 9, 17, 45), calibration);
}

TEST_F(CommandsE2E, SummerTimeFlagShiftsByTheZonesOffset) {
  if (!UseTimeZoneWithSummerTime()) GTEST_SKIP() << "the time zone here has no summer time and cannot be switched";
  KV_START_ANALYSER(sim, "--scenario", "@edge_identity.json");
  OpenAndConnect(*sim);
  int64_t summer = 0, winter = 0, byRules = 0;
  ASSERT_EQ(0, KVReadCurrentTime(&summer, 1));
  ASSERT_EQ(0, KVReadCurrentTime(&winter, 0));
  ASSERT_EQ(0, KVReadCurrentTime(&byRules, -1));
  EXPECT_EQ(3600, winter - summer);  // flag 1 is the earlier by the hour of summer time
  EXPECT_EQ(winter, byRules);        // 24 December: the rules say no summer time
}

TEST_F(CommandsE2E, WriteCurrentTimeAsSendsPackedLocalTime) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  const int64_t when = LocalTimeOf(2024, 3, 5, 14, 7, 9);
  const size_t before = HostBytesSoFar(*sim);
  ASSERT_EQ(0, KVWriteCurrentTimeAs(when));
  if (sim->Recording()) {
    EXPECT_EQ((Bytes{0x5A, 0x91, 0x09, 0x07, 0x14, 0x05, 0x03, 0x24}), HostBytesSince(*sim, before));
  }
  int64_t back = 0;
  ASSERT_EQ(0, KVReadCurrentTime(&back, -1));
  EXPECT_EQ(when, back);
}

TEST_F(CommandsE2E, UnconvertibleTimeSendsNothingAndKeepsTheAnalyserInStep) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  const size_t before = HostBytesSoFar(*sim);
  EXPECT_EQ(-54, KVWriteCurrentTimeAs(-5));
  EXPECT_EQ(-54, KVWriteCurrentTimeAs(32535244800));
  EXPECT_EQ(before, HostBytesSoFar(*sim));
  uint32_t serial = 0;
  EXPECT_EQ(0, KVReadSerialNumber(&serial));
  EXPECT_EQ(sim->Scenario().model.serialNumber, serial);
}

TEST_F(CommandsE2E, WriteCurrentTimeSetsTheComputersTime) {
  KV_START_ANALYSER(sim, "--model", "9");
  OpenAndConnect(*sim);
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  ASSERT_EQ(0, KVWriteCurrentTime());
  const int64_t after = static_cast<int64_t>(std::time(nullptr));
  int64_t clock = 0;
  ASSERT_EQ(0, KVReadCurrentTime(&clock, -1));
  // The time taken when the request went out, in whole seconds, while six bytes took 1.2 s.
  EXPECT_GE(clock, before - 1);
  EXPECT_LE(clock, after + 1);
}

TEST_F(CommandsE2E, SingleTestHumanReadings) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  int32_t r[5] = {-1, -1, -1, -1, -1};
  float d[2] = {-1, -1};
  ASSERT_EQ(0, KVReadTestKorvanta(&r[0], &r[1], &r[2], &r[3], &r[4], &d[0], &d[1]));
  const auto& b = sim->Scenario().model.singleTest;
  EXPECT_EQ(WordAt(b, 0), r[0]);
  EXPECT_EQ(WordAt(b, 2), r[1]);
  EXPECT_EQ(WordAt(b, 10), r[2]);
  EXPECT_EQ(WordAt(b, 12), r[3]);
  EXPECT_EQ(WordAt(b, 4), r[4]);
  EXPECT_EQ(static_cast<float>(WordAt(b, 6)) / 10.0f, d[0]);
  EXPECT_EQ(static_cast<float>(WordAt(b, 8)) / 10.0f, d[1]);
}

TEST_F(CommandsE2E, SingleTestEquineReadingsKeptAfterWrongAck) {
  KV_START_ANALYSER(sim, "--model", "12", "--fault", "wrong-ack:cmd=0x40");
  OpenAndConnect(*sim);
  int32_t r[7] = {-1, -1, -1, -1, -1, -1, -1};
  float d = -1;
  EXPECT_EQ(-54, CXReadTestCaballix(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &d));
  const auto& b = sim->Scenario().model.singleTest;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(WordAt(b, 2 * i), r[i]) << "reading " << i + 1;
  EXPECT_EQ(static_cast<float>(WordAt(b, 14)) / 10.0f, d);
}

}  // namespace
}  // namespace kv::e2e

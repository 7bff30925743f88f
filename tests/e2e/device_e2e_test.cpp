// device_e2e_test.cpp: the library's exports against the simulated analyser over a real serial
// line (a pseudo-terminal, or a COM port under Wine): a host's whole road, once per kind of
// analyser. Each behaviour on the way is tested in depth against the fake port (tests/link).
#include <cstring>
#include <memory>
#include <thread>

#include "e2e_harness.h"
#include "expected.h"

namespace kv::e2e {
namespace {

using namespace std::chrono_literals;

const KVWChar* W(const char16_t* text) { return reinterpret_cast<const KVWChar*>(text); }

template <typename Container>
std::unique_ptr<Container> Empty() {
  auto stored = std::make_unique<Container>();
  std::memset(static_cast<void*>(stored.get()), 0, sizeof(Container));
  stored->capacity = KV_STORED_TEST_CAPACITY;
  return stored;
}

class DeviceE2E : public ::testing::Test {
 protected:
  void TearDown() override { KVCloseComport(); }
  static void OpenAndConnect(const SimulatedAnalyser& analyser) {
    const std::u16string port = analyser.PortName();
    ASSERT_EQ(KV_OK, KVOpenComport(W(port.c_str()))) << std::string(port.begin(), port.end());
    ASSERT_EQ(KV_OK, KVConnect());
  }
};

TEST_F(DeviceE2E, HumanAnalyserIdentityClockDownloadAndClose) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  const sim::AnalyserModel& m = sim->Scenario().model;
  int32_t model = -1;
  uint8_t v[5] = {};
  ASSERT_EQ(KV_OK, KVReadModelVersion(&model, &v[0], &v[1], &v[2], &v[3], &v[4]));
  EXPECT_EQ(7, model);
  EXPECT_EQ(m.version, (std::array<uint8_t, 5>{v[0], v[1], v[2], v[3], v[4]}));
  uint32_t serial = 0;
  ASSERT_EQ(KV_OK, KVReadSerialNumber(&serial));
  EXPECT_EQ(m.serialNumber, serial);
  uint8_t p[3] = {};
  ASSERT_EQ(KV_OK, KVReadProtocolInfo(&p[0], &p[1], &p[2]));
  EXPECT_EQ(m.protocol, (std::array<uint8_t, 3>{p[0], p[1], p[2]}));
  // Twenty characters; U+0143 goes out as its low byte, 0x43, and only the first twelve go.
  ASSERT_EQ(KV_OK, KVWritePrinterAddress(W(u"AB\u0143CDEFGHIJKLMNOPQ"), 20));
  KVWChar address[12] = {};
  ASSERT_EQ(KV_OK, KVReadPrinterAddress(address, 12));
  EXPECT_EQ(u"ABCCDEFGHIJK", std::u16string(address, address + 12));

  const int64_t when = LocalTimeOf(2024, 3, 5, 14, 7, 9);
  ASSERT_EQ(KV_OK, KVWriteCurrentTimeAs(when));
  int64_t clock = 0, calibration = 0;
  ASSERT_EQ(KV_OK, KVReadCurrentTime(&clock, -1));
  EXPECT_EQ(when, clock);
  ASSERT_EQ(KV_OK, KVReadCalibrationTime(&calibration));
  EXPECT_EQ(LocalTimeOf(m.calibrationTime), calibration);

  auto stored = Empty<KVStoredTests>();
  ASSERT_EQ(KV_OK, KVReadStoredTestData(stored.get()));
  EXPECT_EQ(ExpectedTestCount(m), stored->testCount);
  EXPECT_EQ(ExpectedHeader(m), stored->blockHeader);
  for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) ExpectHuman(m, i, stored->tests[i]);

  if (auto recording = sim->Recording()) {
    // The simulator stamps a byte when its thread reads it, which a loaded machine (sanitizers,
    // parallel tests) can delay by tens of milliseconds for one byte and not the next. The exact
    // pause is pinned on the fake clock; here a real pause of most of it must be there.
    const auto times = recording->HostByteTimes();
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 150ms) << "before byte " << i;
  }
  KVCloseComport();
  KVCloseComport();
  EXPECT_EQ(KV_ERR_SEND, KVReadSerialNumber(&serial));
  if (sim->Recording()) {
    // The simulator sees the line hang up once the library lets go of it.
    bool detached = false;
    for (int tries = 0; !detached && tries < 100; ++tries) {
      for (const auto& note : sim->Recording()->Notes()) detached = detached || note == "host detached";
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(detached);
  }
}

TEST_F(DeviceE2E, EquineAnalyserDownloadKeepsItsRecordsPastAWrongFinalAcknowledgement) {
  KV_START_ANALYSER(sim, "--model", "12", "--fault", "wrong-ack:cmd=0x30");
  OpenAndConnect(*sim);
  const sim::AnalyserModel& m = sim->Scenario().model;
  EXPECT_EQ(KV_ERR_WRONG_KIND, KVReadStoredTestData(Empty<KVStoredTests>().get()));
  auto stored = Empty<CXStoredTests>();
  EXPECT_EQ(KV_ERR_ACK, CXReadStoredTestData(stored.get()));
  EXPECT_EQ(ExpectedTestCount(m), stored->testCount);
  EXPECT_EQ(ExpectedHeader(m), stored->blockHeader);
  for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) ExpectEquine(m, i, stored->tests[i]);
  int32_t r[7] = {};
  float decimal = -1;
  ASSERT_EQ(KV_OK, CXReadTestCaballix(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &decimal));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(WordAt(m.singleTest, 2 * i), r[i]) << "reading " << i + 1;
  EXPECT_EQ(static_cast<float>(WordAt(m.singleTest, 14)) / 10.0f, decimal);
}

}  // namespace
}  // namespace kv::e2e

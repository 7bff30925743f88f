// download_e2e_test.cpp: stored-test downloads end to end for every model code and both slot
// layouts, the refusals, the partial-output rules, and the road from analyser to results.
#include <cstdio>
#include <cstring>

#include "device_fixture.h"
#include "expected.h"

namespace kv::e2e {
namespace {

using Bytes = std::vector<uint8_t>;

// Containers are filled with a pattern first, so "untouched" can be checked byte for byte.
template <typename T>
std::unique_ptr<T> Patterned() {
  auto c = std::make_unique<T>();
  std::memset(c.get(), 0xCD, sizeof(T));
  c->capacity = KV_STORED_TEST_CAPACITY;
  return c;
}

template <typename T>
bool RecordsUntouched(const T& c) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&c.tests);
  return std::all_of(bytes, bytes + sizeof(c.tests), [](unsigned char b) { return b == 0xCD; });
}

class DownloadE2E : public DeviceTest {};

class EveryModel : public DeviceTest, public ::testing::WithParamInterface<int> {};

TEST_P(EveryModel, DownloadsWhatTheAnalyserHolds) {
  const int code = GetParam();
  KV_START_ANALYSER(sim, "--model", std::to_string(code));
  OpenAndConnect(*sim);
  const auto& m = sim->Scenario().model;
  const int family = kv::DeviceFamily(code);
  const auto start = std::chrono::steady_clock::now();
  if (family == KV_FAMILY_CABALLIX_BASIC || family == KV_FAMILY_CABALLIX_PLUS) {
    auto c = Patterned<CXStoredTests>();
    ASSERT_EQ(0, CXReadStoredTestData(c.get()));
    EXPECT_EQ(ExpectedTestCount(m), c->testCount);
    EXPECT_EQ(ExpectedHeader(m), c->blockHeader);
    for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) ExpectEquine(m, i, c->tests[i]);
  } else {
    auto c = Patterned<KVStoredTests>();
    ASSERT_EQ(0, KVReadStoredTestData(c.get()));
    EXPECT_EQ(ExpectedTestCount(m), c->testCount);
    EXPECT_EQ(ExpectedHeader(m), c->blockHeader);
    for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) ExpectHuman(m, i, c->tests[i]);
  }
  const double seconds = Since(start).count();
  std::printf("download from model %d: %.3f s wall time (floor 1.2 s)\n", code, seconds);
  RecordProperty("download_ms", static_cast<int>(seconds * 1000));
}

INSTANTIATE_TEST_SUITE_P(Codes, EveryModel,
                         ::testing::Values(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 200),
                         [](const auto& c) { return "Model" + std::to_string(c.param); });

TEST_F(DownloadE2E, CapacityOtherThan100SendsNothing) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  const size_t before = HostBytesSoFar(*sim);
  for (int capacity : {99, 101}) {
    auto human = Patterned<KVStoredTests>();
    human->capacity = capacity;
    EXPECT_EQ(-18, KVReadStoredTestData(human.get()));
    EXPECT_TRUE(RecordsUntouched(*human));
    auto horse = Patterned<CXStoredTests>();
    horse->capacity = capacity;
    EXPECT_EQ(-18, CXReadStoredTestData(horse.get()));
  }
  EXPECT_EQ(-18, KVReadStoredTestData(nullptr));
  EXPECT_EQ(-18, CXReadStoredTestData(nullptr));
  EXPECT_EQ(before, HostBytesSoFar(*sim));
  // Nothing was half sent: the analyser answers the next command in step.
  uint32_t serial = 0;
  EXPECT_EQ(0, KVReadSerialNumber(&serial));
  EXPECT_EQ(sim->Scenario().model.serialNumber, serial);
}

struct Refusal {
  const char* name;
  int model;
  bool equineExport;
};

class WrongKind : public DeviceTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(WrongKind, IsRefusedAfterTheModelExchangeAlone) {
  KV_START_ANALYSER(sim, "--model", std::to_string(GetParam().model));
  OpenAndConnect(*sim);
  const size_t before = HostBytesSoFar(*sim);
  if (GetParam().equineExport) {
    auto c = Patterned<CXStoredTests>();
    EXPECT_EQ(-1, CXReadStoredTestData(c.get()));
    EXPECT_TRUE(RecordsUntouched(*c));
    EXPECT_EQ(static_cast<int32_t>(0xCDCDCDCD), c->testCount);
  } else {
    auto c = Patterned<KVStoredTests>();
    EXPECT_EQ(-1, KVReadStoredTestData(c.get()));
    EXPECT_TRUE(RecordsUntouched(*c));
    EXPECT_EQ(0xCDCDCDCDu, c->blockHeader);
  }
  if (sim->Recording()) {
    EXPECT_EQ((Bytes{0x5A, 0x21}), HostBytesSince(*sim, before));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, WrongKind,
                         ::testing::Values(Refusal{"HumanExportOnCaballixPlus", 12, false},
                                           Refusal{"HumanExportOnCaballixBasic", 13, false},
                                           Refusal{"EquineExportOnQuattron", 7, true},
                                           Refusal{"EquineExportOnUnknownModel", 200, true}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(DownloadE2E, TruncatedBlockKeepsTheHeaderAndLeavesRecordsUntouched) {
  KV_START_ANALYSER(sim, "--model", "7", "--fault", "truncate-block:bytes=1000");
  OpenAndConnect(*sim);
  auto c = Patterned<KVStoredTests>();
  EXPECT_EQ(-55, KVReadStoredTestData(c.get()));
  EXPECT_EQ(ExpectedHeader(sim->Scenario().model), c->blockHeader);
  EXPECT_TRUE(RecordsUntouched(*c));
  EXPECT_EQ(static_cast<int32_t>(0xCDCDCDCD), c->testCount);
}

TEST_F(DownloadE2E, WrongFinalAckLeavesCompleteRecords) {
  KV_START_ANALYSER(sim, "--scenario", "@edge_equine.json", "--fault", "wrong-ack:cmd=0x30");
  OpenAndConnect(*sim);
  const auto& m = sim->Scenario().model;
  auto c = Patterned<CXStoredTests>();
  EXPECT_EQ(-54, CXReadStoredTestData(c.get()));
  EXPECT_EQ(2, c->testCount);
  EXPECT_EQ(0xFF00FFu, c->blockHeader);
  for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) ExpectEquine(m, i, c->tests[i]);
  // Worked by hand: reading 0x03E8 is 100.0, condition score 0 is stored as 5, 3 stays 3.
  EXPECT_EQ(100.0f, c->tests[0].decimalReading);
  EXPECT_EQ(5, c->tests[0].conditionScore);
  EXPECT_EQ(3, c->tests[1].conditionScore);
  EXPECT_EQ(65535, c->tests[1].impedance5);
}

TEST_F(DownloadE2E, EmptyFirstSlotAndTheFieldsAroundIt) {
  KV_START_ANALYSER(sim, "--scenario", "@edge_slots.json");
  OpenAndConnect(*sim);
  const auto& m = sim->Scenario().model;
  auto c = Patterned<KVStoredTests>();
  static const KVSpectrumPoint kSpectrum[1] = {{50.0f, 500.0f, 7.0f}};
  for (auto& t : c->tests) {
    t.spectrumCount = 1;
    t.spectrum = kSpectrum;
  }
  ASSERT_EQ(0, KVReadStoredTestData(c.get()));
  EXPECT_EQ(0, c->testCount);
  EXPECT_EQ(0x010203u, c->blockHeader);
  for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) ExpectHuman(m, i, c->tests[i]);
  // A delivered test keeps the host's spectrum; an empty slot clears it with the rest.
  EXPECT_EQ(1, c->tests[1].spectrumCount);
  EXPECT_EQ(kSpectrum, c->tests[1].spectrum);
  EXPECT_EQ(0, c->tests[0].spectrumCount);
  EXPECT_EQ(nullptr, c->tests[0].spectrum);
  // By hand: flags 0xBA (bits 4, 5, 7 set, female, activity bits 2): sex 0, activity 3; 0x02EE is 75.0 kg.
  EXPECT_EQ(0, c->tests[1].sex);
  EXPECT_EQ(3, c->tests[1].activityLevel);
  EXPECT_EQ(75.0f, c->tests[1].weight);
  // Day 32 of January is 1 February.
  EXPECT_EQ(LocalTimeOf(2024, 2, 1, 12, 0, 32), c->tests[2].testTime);
  EXPECT_EQ(1, c->tests[4].sex);
}

TEST_F(DownloadE2E, FromAnalysersToResultsAndNormalRanges) {
  int calculated = 0;
  {
    KV_START_ANALYSER(sim, "--model", "7");
    OpenAndConnect(*sim);
    // As a host would: no spectrum for a Quattron, so spectrumCount 0 and a null spectrum.
    auto c = std::make_unique<KVStoredTests>();
    std::memset(c.get(), 0, sizeof *c);
    c->capacity = KV_STORED_TEST_CAPACITY;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(0, KVReadStoredTestData(c.get()));
    std::printf("one full download (3221 bytes in, 6 out) over the line: %.3f s\n", Since(start).count());
    KVCloseComport();
    for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) {
      if (SlotIsEmpty(sim->Scenario().model.slots[i])) continue;
      SCOPED_TRACE("human slot " + std::to_string(i));
      KVResults results;
      KVNormals normals;
      ASSERT_EQ(0, KVCalculateResults(&c->tests[i], &results, 0));
      EXPECT_GT(results.fatPercent, 0.0f);
      EXPECT_LT(results.fatPercent, 70.0f);
      EXPECT_FLOAT_EQ(c->tests[i].weight, results.totalWeight);
      ASSERT_EQ(0, KVCalculateNormals(&c->tests[i], &results, &normals));
      EXPECT_LE(normals.fatPercentLow, normals.fatPercentHigh);
      ++calculated;
    }
  }
  {
    KV_START_ANALYSER(sim, "--scenario", "@../../../tools/sim/scenarios/caballix_stable.json");
    OpenAndConnect(*sim);
    auto c = Patterned<CXStoredTests>();
    ASSERT_EQ(0, CXReadStoredTestData(c.get()));
    for (int i = 0; i < KV_STORED_TEST_CAPACITY; ++i) {
      if (SlotIsEmpty(sim->Scenario().model.slots[i])) continue;
      SCOPED_TRACE("equine slot " + std::to_string(i));
      CXResults results;
      CXNormals normals;
      ASSERT_EQ(0, CXCalculateResults(&c->tests[i], &results));
      EXPECT_GT(results.bodyMassKg, 300.0f);
      EXPECT_LT(results.bodyMassKg, 800.0f);
      EXPECT_EQ(0, CXCalculateNormals(&c->tests[i], &results, &normals));
      EXPECT_LE(normals.fatKgLow, normals.fatKgHigh);
      ++calculated;
    }
  }
  EXPECT_GT(calculated, 10);
}

}  // namespace
}  // namespace kv::e2e

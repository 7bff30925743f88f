// download_test.cpp: the stored-test downloads and single tests over the scripted port: the
// kind checks for every model code, the partial-output rules, and records checked field by field.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "command_fixture.h"
#include "link/commands.h"
#include "slot_bytes.h"
#include "time_zone_scope.h"

namespace kv::link {
namespace {

using testing::AllBytesZero;
using testing::Answer;
using testing::BlockOf;
using testing::Bytes32;
using testing::CommandTest;
using testing::Concat;
using testing::EmptySlot;
using testing::ExpectedSampleEquine;
using testing::ExpectedSampleHuman;
using testing::ExpectSameRecord;
using testing::kZ;
using testing::kZoneUtc;
using testing::SampleEquineSlot;
using testing::SampleHumanSlot;
using testing::TimeZoneScope;
using Call = testing::FakeSerialPort::Call;

const std::vector<uint8_t> kSerial66051 = {0x01, 0x02, 0x03};
const std::vector<uint8_t> kHeader = {0xAB, 0xCD, 0xEF};
constexpr uint32_t kHeaderValue = 0xABCDEF;

// Containers are large; they live on the heap, prefilled with a pattern so that "untouched"
// can be told from "cleared".
template <typename Container>
std::unique_ptr<Container> PatternedContainer() {
  auto stored = std::make_unique<Container>();
  std::memset(static_cast<void*>(stored.get()), 0xA7, sizeof(Container));
  stored->capacity = KV_STORED_TEST_CAPACITY;
  return stored;
}

template <typename Container>
bool SameBytes(const Container& a, const Container& b) {
  return std::memcmp(&a, &b, sizeof(Container)) == 0;
}

class DownloadTest : public CommandTest {
 protected:
  // The model and serial-number exchanges, and the block exchange with the given block.
  void ScriptIdentity(uint8_t model) {
    Exchange(0x21, Answer(0x21, {model, 0x11, 0x22}));
    Exchange(0x23, Answer(0x23, kSerial66051));
  }
  void ScriptBlock(const std::vector<uint8_t>& block, std::vector<uint8_t> ack = {kZ, 0x00}) {
    Exchange(0x30, Concat({{kZ, 0x30}, kHeader, block, ack}));
  }
  static std::vector<uint8_t> HumanBlock() { return BlockOf(std::vector<Bytes32>(100, SampleHumanSlot().Bytes())); }
  static std::vector<uint8_t> EquineBlock() { return BlockOf(std::vector<Bytes32>(100, SampleEquineSlot().Bytes())); }

  TimeZoneScope zone{kZoneUtc};
};

// ---- Every model code through both downloads

struct ModelCase {
  uint8_t model;
  bool equine;
  bool slotTimes;  // false: records get no time (-1)
};

std::string ModelName(const ::testing::TestParamInfo<ModelCase>& c) { return "Model" + std::to_string(c.param.model); }

class EveryModelTest : public DownloadTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(EveryModelTest, HumanDownload) {
  const ModelCase& c = GetParam();
  auto stored = PatternedContainer<KVStoredTests>();
  const auto before = std::make_unique<KVStoredTests>(*stored);
  if (c.equine) {
    Exchange(0x21, Answer(0x21, {c.model, 0x11, 0x22}));
    EXPECT_EQ(-1, ReadStoredTestData(comm, stored.get()));
    EXPECT_EQ(2u, port.Sent().size());  // the model exchange alone
    EXPECT_TRUE(SameBytes(*before, *stored));
  } else {
    ScriptIdentity(c.model);
    ScriptBlock(HumanBlock());
    EXPECT_EQ(0, ReadStoredTestData(comm, stored.get()));
    KVTestRecord expected = ExpectedSampleHuman(c.model, 66051);
    if (!c.slotTimes) expected.testTime = -1;
    // The caller's spectrum fields are kept in a delivered record.
    expected.spectrumCount = before->tests[0].spectrumCount;
    expected.spectrum = before->tests[0].spectrum;
    ExpectSameRecord(expected, stored->tests[0]);
    ExpectSameRecord(expected, stored->tests[99]);
    EXPECT_EQ(100, stored->testCount);
    EXPECT_EQ(kHeaderValue, stored->blockHeader);
  }
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(0u, port.InputQueued());
}

TEST_P(EveryModelTest, EquineDownload) {
  const ModelCase& c = GetParam();
  auto stored = PatternedContainer<CXStoredTests>();
  const auto before = std::make_unique<CXStoredTests>(*stored);
  if (!c.equine) {
    Exchange(0x21, Answer(0x21, {c.model, 0x11, 0x22}));
    EXPECT_EQ(-1, ReadEquineStoredTestData(comm, stored.get()));
    EXPECT_EQ(2u, port.Sent().size());
    EXPECT_TRUE(SameBytes(*before, *stored));
  } else {
    ScriptIdentity(c.model);
    ScriptBlock(EquineBlock());
    EXPECT_EQ(0, ReadEquineStoredTestData(comm, stored.get()));
    CXTestRecord expected = ExpectedSampleEquine(c.model, 66051);
    if (!c.slotTimes) expected.testTime = -1;
    ExpectSameRecord(expected, stored->tests[0]);
    ExpectSameRecord(expected, stored->tests[99]);
    EXPECT_EQ(100, stored->testCount);
    EXPECT_EQ(kHeaderValue, stored->blockHeader);
  }
  EXPECT_TRUE(port.ScriptDone());
}

// The catalogue by hand: Mono 1, 3, 9 keep no slot times; 12 and 13 are equine, 13 without
// slot times; everything outside 1 to 15 is downloaded as a human analyser.
INSTANTIATE_TEST_SUITE_P(
    Models, EveryModelTest,
    ::testing::Values(ModelCase{0, false, true}, ModelCase{1, false, false}, ModelCase{2, false, true},
                      ModelCase{3, false, false}, ModelCase{4, false, true}, ModelCase{5, false, true},
                      ModelCase{6, false, true}, ModelCase{7, false, true}, ModelCase{8, false, true},
                      ModelCase{9, false, false}, ModelCase{10, false, true}, ModelCase{11, false, true},
                      ModelCase{12, true, true}, ModelCase{13, true, false}, ModelCase{14, false, true},
                      ModelCase{15, false, true}, ModelCase{16, false, true}, ModelCase{255, false, true}),
    ModelName);

// ---- Arguments refused before anything is sent

TEST_F(DownloadTest, NullOrWrongCapacitySendsNothing) {
  EXPECT_EQ(-18, ReadStoredTestData(comm, nullptr));
  EXPECT_EQ(-18, ReadEquineStoredTestData(comm, nullptr));
  for (int32_t capacity : {99, 101, 0, -100}) {
    auto human = PatternedContainer<KVStoredTests>();
    auto horse = PatternedContainer<CXStoredTests>();
    human->capacity = capacity;
    horse->capacity = capacity;
    const auto humanBefore = std::make_unique<KVStoredTests>(*human);
    const auto horseBefore = std::make_unique<CXStoredTests>(*horse);
    EXPECT_EQ(-18, ReadStoredTestData(comm, human.get())) << capacity;
    EXPECT_EQ(-18, ReadEquineStoredTestData(comm, horse.get())) << capacity;
    EXPECT_TRUE(SameBytes(*humanBefore, *human));
    EXPECT_TRUE(SameBytes(*horseBefore, *horse));
  }
  EXPECT_TRUE(port.Sent().empty());
}

// ---- Faults at each step, and what survives them

struct FaultCase {
  const char* name;
  std::vector<uint8_t> replyTo21;
  std::vector<uint8_t> replyTo23;  // empty: 0x23 must not be sent
  std::vector<uint8_t> replyTo30;  // empty: 0x30 must not be sent
  int code;
  bool headerStored;
  bool recordsDelivered;
};

std::vector<uint8_t> Block30(std::vector<uint8_t> block, std::vector<uint8_t> ack = {kZ, 0x00}) {
  return Concat({{kZ, 0x30}, kHeader, block, ack});
}

std::vector<uint8_t> FirstBytes(std::vector<uint8_t> bytes, size_t n) {
  bytes.resize(n);
  return bytes;
}

class DownloadFaultTest : public DownloadTest, public ::testing::WithParamInterface<FaultCase> {
 protected:
  void Script() {
    const FaultCase& c = GetParam();
    Exchange(0x21, c.replyTo21);
    if (!c.replyTo23.empty()) Exchange(0x23, c.replyTo23);
    if (!c.replyTo30.empty()) Exchange(0x30, c.replyTo30);
  }
};

TEST_P(DownloadFaultTest, HumanStopsAtTheFailingStep) {
  Script();
  auto stored = PatternedContainer<KVStoredTests>();
  const auto before = std::make_unique<KVStoredTests>(*stored);
  EXPECT_EQ(GetParam().code, ReadStoredTestData(comm, stored.get()));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(GetParam().headerStored ? kHeaderValue : before->blockHeader, stored->blockHeader);
  if (GetParam().recordsDelivered) {
    EXPECT_EQ(100, stored->testCount);
    KVTestRecord expected = ExpectedSampleHuman(7, 66051);
    expected.spectrumCount = before->tests[5].spectrumCount;
    expected.spectrum = before->tests[5].spectrum;
    ExpectSameRecord(expected, stored->tests[5]);
  } else {
    EXPECT_EQ(before->testCount, stored->testCount);
    EXPECT_EQ(0, std::memcmp(before->tests, stored->tests, sizeof stored->tests));
  }
}

TEST_P(DownloadFaultTest, EquineStopsAtTheFailingStep) {
  // The same script with model 12 and equine slots.
  FaultCase c = GetParam();
  if (c.replyTo21.size() > 2 && c.replyTo21[1] == 0x21) c.replyTo21[2] = 12;
  if (c.replyTo30.size() > 5) {
    const std::vector<uint8_t> equine = EquineBlock();
    std::copy(equine.begin(), equine.begin() + static_cast<std::ptrdiff_t>(std::min(c.replyTo30.size() - 5, equine.size())),
              c.replyTo30.begin() + 5);
  }
  Exchange(0x21, c.replyTo21);
  if (!c.replyTo23.empty()) Exchange(0x23, c.replyTo23);
  if (!c.replyTo30.empty()) Exchange(0x30, c.replyTo30);
  auto stored = PatternedContainer<CXStoredTests>();
  const auto before = std::make_unique<CXStoredTests>(*stored);
  EXPECT_EQ(c.code, ReadEquineStoredTestData(comm, stored.get()));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(c.headerStored ? kHeaderValue : before->blockHeader, stored->blockHeader);
  if (c.recordsDelivered) {
    EXPECT_EQ(100, stored->testCount);
    ExpectSameRecord(ExpectedSampleEquine(12, 66051), stored->tests[5]);
  } else {
    EXPECT_EQ(before->testCount, stored->testCount);
    EXPECT_EQ(0, std::memcmp(before->tests, stored->tests, sizeof stored->tests));
  }
}

const std::vector<uint8_t> kModel7 = Answer(0x21, {7, 0x11, 0x22});
const std::vector<uint8_t> kSerialOk = Answer(0x23, {0x01, 0x02, 0x03});
const std::vector<uint8_t> kFullBlock = BlockOf(std::vector<Bytes32>(100, SampleHumanSlot().Bytes()));

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFaultTest,
    ::testing::Values(
        FaultCase{"EchoWrongTo21", {kZ, 0x23, 7, 0, 0}, {}, {}, -53, false, false},
        FaultCase{"AckWrongAfter21", Answer(0x21, {7, 0, 0}, {kZ, 0x07}), {}, {}, -54, false, false},
        FaultCase{"SilenceAfterEchoOf21", {kZ, 0x21}, {}, {}, -55, false, false},
        FaultCase{"EchoWrongTo23", kModel7, {kZ, 0x21, 1, 2, 3}, {}, -53, false, false},
        FaultCase{"AckWrongAfter23", kModel7, Answer(0x23, {1, 2, 3}, {0x00, 0x00}), {}, -54, false, false},
        FaultCase{"TruncatedSerial", kModel7, {kZ, 0x23, 1}, {}, -55, false, false},
        FaultCase{"EchoWrongTo30", kModel7, kSerialOk, {kZ, 0x40}, -53, false, false},
        FaultCase{"SilenceAfterEchoOf30", kModel7, kSerialOk, {kZ, 0x30}, -55, false, false},
        FaultCase{"TruncatedHeader", kModel7, kSerialOk, {kZ, 0x30, 0xAB, 0xCD}, -55, false, false},
        FaultCase{"SilenceAfterHeader", kModel7, kSerialOk, {kZ, 0x30, 0xAB, 0xCD, 0xEF}, -55, true, false},
        FaultCase{"BlockTruncatedInItsLastSlot", kModel7, kSerialOk,
                  FirstBytes(Block30(kFullBlock), 5 + 3200 - 1), -55, true, false},
        FaultCase{"BlockTruncatedAfterOneSlot", kModel7, kSerialOk, FirstBytes(Block30(kFullBlock), 5 + 32), -55,
                  true, false},
        FaultCase{"FinalAckWrongKeepsRecords", kModel7, kSerialOk, Block30(kFullBlock, {kZ, 0x30}), -54, true, true},
        FaultCase{"FinalAckMissing", kModel7, kSerialOk, Block30(kFullBlock, {}), -55, true, true},
        FaultCase{"AllWell", kModel7, kSerialOk, Block30(kFullBlock), 0, true, true}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(DownloadTest, LineErrorInTheBlockKeepsTheHeaderOnly) {
  ScriptIdentity(7);
  port.ExpectSent({kZ, 0x30}).Reply(Concat({{kZ, 0x30}, kHeader, FirstBytes(HumanBlock(), 1000)}))
      .LineError(kPortErrorFraming, std::chrono::milliseconds{1});
  auto stored = PatternedContainer<KVStoredTests>();
  const int32_t countBefore = stored->testCount;
  EXPECT_EQ(-55, ReadStoredTestData(comm, stored.get()));
  EXPECT_EQ(kHeaderValue, stored->blockHeader);
  EXPECT_EQ(countBefore, stored->testCount);
}

TEST_F(DownloadTest, SendFailureIsPassedOnFromEachRequest) {
  for (int failingByte : {1, 3, 5}) {  // first byte of the 0x21, 0x23 and 0x30 requests
    SCOPED_TRACE(failingByte);
    testing::FakeClock localClock;
    testing::FakeSerialPort localPort{localClock};
    CKVComm localComm{localPort, localClock};
    ASSERT_EQ(0, localComm.Open(u"5"));
    localPort.AcceptAnySent();
    localPort.Reply(Concat({kModel7, kSerialOk}));
    // Every attempt at that byte fails.
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) localPort.FailCall(Call::kWriteByte, failingByte + attempt);
    auto stored = PatternedContainer<KVStoredTests>();
    EXPECT_EQ(-56, ReadStoredTestData(localComm, stored.get()));
    EXPECT_EQ(failingByte - 1 + kWriteAttempts, localPort.CallCount(Call::kWriteByte));
  }
}

// ---- Slots through the whole download

TEST_F(DownloadTest, EmptySlotsClearedCountIsTheFirstAndLaterSlotsDelivered) {
  std::vector<Bytes32> slots(100, SampleHumanSlot().Bytes());
  slots[0] = EmptySlot(0x77);
  slots[42] = EmptySlot(0xFF);
  ScriptIdentity(7);
  ScriptBlock(BlockOf(slots));
  auto stored = PatternedContainer<KVStoredTests>();
  const KVSpectrumPoint callersSpectrum[1] = {{5.0f, 500.0f, -4.0f}};
  for (KVTestRecord& record : stored->tests) {
    record.spectrumCount = 1;
    record.spectrum = callersSpectrum;
  }
  EXPECT_EQ(0, ReadStoredTestData(comm, stored.get()));
  EXPECT_EQ(0, stored->testCount);
  EXPECT_TRUE(AllBytesZero(stored->tests[0]));
  EXPECT_TRUE(AllBytesZero(stored->tests[42]));
  KVTestRecord expected = ExpectedSampleHuman(7, 66051);
  expected.spectrumCount = 1;
  expected.spectrum = callersSpectrum;
  for (size_t i : {1u, 41u, 43u, 99u}) {
    SCOPED_TRACE(i);
    ExpectSameRecord(expected, stored->tests[i]);
  }
}

TEST_F(DownloadTest, EquineFirstSlotEmptyAndConditionScoreZero) {
  testing::EquineSlot noScore = SampleEquineSlot();
  noScore.conditionScore = 0;
  std::vector<Bytes32> slots(100, noScore.Bytes());
  slots[0] = EmptySlot(0x00);
  ScriptIdentity(12);
  ScriptBlock(BlockOf(slots));
  auto stored = PatternedContainer<CXStoredTests>();
  EXPECT_EQ(0, ReadEquineStoredTestData(comm, stored.get()));
  EXPECT_EQ(0, stored->testCount);
  EXPECT_TRUE(AllBytesZero(stored->tests[0]));
  CXTestRecord expected = ExpectedSampleEquine(12, 66051);
  expected.conditionScore = 5;
  ExpectSameRecord(expected, stored->tests[1]);
}

// ---- Single tests

TEST_F(CommandTest, KorvantaSingleTestAsksNothingElse) {
  std::vector<uint8_t> payload(32, 0xEE);
  const uint8_t words[14] = {0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x02, 0xEE, 0x03, 0xE8, 0x00, 0x06, 0x00, 0x07};
  std::copy(std::begin(words), std::end(words), payload.begin());
  Exchange(0x40, Answer(0x40, payload));
  int32_t r[5] = {};
  float d[2] = {};
  EXPECT_EQ(0, ReadTestKorvanta(comm, r[0], r[1], r[2], r[3], r[4], d[0], d[1]));
  // Bytes 0-1, 2-3, 10-11, 12-13, 4-5; then 6-7 (750) and 8-9 (1000) over ten.
  EXPECT_EQ((std::vector<int32_t>{1, 2, 6, 7, 3}), std::vector<int32_t>(std::begin(r), std::end(r)));
  EXPECT_EQ(75.0f, d[0]);
  EXPECT_EQ(100.0f, d[1]);
  EXPECT_EQ(2u, port.Sent().size());
}

TEST_F(CommandTest, SingleTestsKeepOutputsAfterWrongAckAndNoneAfterWrongEcho) {
  std::vector<uint8_t> payload(32, 0x00);
  payload[1] = 9;
  payload[15] = 50;  // Caballix decimal: 5.0
  Exchange(0x40, Answer(0x40, payload, {kZ, 0x40}));
  Exchange(0x40, Answer(0x40, payload, {0x00, 0x00}));
  Exchange(0x40, {kZ, 0x30});
  int32_t r[7] = {-1, -1, -1, -1, -1, -1, -1};
  float d[2] = {-1.0f, -1.0f};
  EXPECT_EQ(-54, ReadTestKorvanta(comm, r[0], r[1], r[2], r[3], r[4], d[0], d[1]));
  EXPECT_EQ(9, r[0]);
  EXPECT_EQ(0.0f, d[0]);
  int32_t c[7] = {-1, -1, -1, -1, -1, -1, -1};
  float cd = -1.0f;
  EXPECT_EQ(-54, ReadTestCaballix(comm, c[0], c[1], c[2], c[3], c[4], c[5], c[6], cd));
  EXPECT_EQ(9, c[0]);
  EXPECT_EQ(0, c[6]);
  EXPECT_EQ(5.0f, cd);
  int32_t u[7] = {-1, -1, -1, -1, -1, -1, -1};
  float ud = -1.0f;
  EXPECT_EQ(-53, ReadTestCaballix(comm, u[0], u[1], u[2], u[3], u[4], u[5], u[6], ud));
  EXPECT_EQ((std::vector<int32_t>(7, -1)), std::vector<int32_t>(std::begin(u), std::end(u)));
  EXPECT_EQ(-1.0f, ud);
  EXPECT_TRUE(port.ScriptDone());
}

TEST_F(CommandTest, CaballixSingleTestReadingsInOrder) {
  std::vector<uint8_t> payload(32, 0xEE);
  for (uint8_t i = 0; i < 8; ++i) {
    payload[2 * i] = 0x01;
    payload[2 * i + 1] = i;
  }
  Exchange(0x40, Answer(0x40, payload));
  int32_t r[7] = {};
  float d = 0.0f;
  EXPECT_EQ(0, ReadTestCaballix(comm, r[0], r[1], r[2], r[3], r[4], r[5], r[6], d));
  EXPECT_EQ((std::vector<int32_t>{256, 257, 258, 259, 260, 261, 262}), std::vector<int32_t>(std::begin(r), std::end(r)));
  EXPECT_EQ(263.0f / 10.0f, d);
}

}  // namespace
}  // namespace kv::link

// download_test.cpp: the stored-test downloads and single tests over the scripted port: the kind
// check for every model code, slots of both layouts decoded field by field, empty slots, what a
// failed download leaves behind, and progress.
#include <algorithm>
#include <memory>

#include "link/commands.h"
#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;

const std::array<uint8_t, 6> kChristmasEve2023 = {0x30, 0x15, 0x09, 0x24, 0x12, 0x23};  // 09:15:30
const std::array<uint8_t, 6> kFifthOfMarch2024 = {0x09, 0x07, 0x14, 0x05, 0x03, 0x24};  // 14:07:09

// A man, activity 3, every field distinct; the bits and bytes hosts do not read are set.
Slot HumanSlot(uint8_t flags = 0xB2) {
  return Slot(flags).Byte(1, 0xEE).Byte(2, 42).Byte(3, 181).Word(4, 750).Word(6, 86).Word(8, 0x8001).Word(10, 510)
      .Time(kChristmasEve2023).Word(18, 560).Word(20, 498).Word(22, 123).Word(24, 0xFFFF).Word(26, 470)
      .Word(28, 430).Word(30, 0xBEEF);
}

// What that slot gives over `r`, the record as the caller left it (its spectrum is kept).
KVTestRecord ExpectedHuman(KVTestRecord r, int32_t model, bool slotTimes = true) {
  r.modelCode = model;
  r.serialNumber = 66051;
  r.testTime = slotTimes ? UtcSeconds(2023, 12, 24, 9, 15, 30) : -1;
  r.sex = 1;
  r.activityLevel = 3;
  r.age = 42;
  r.height = 181;
  r.weight = 75.0f;
  r.waist = 86;
  r.hip = 32769;
  r.impedanceF2 = 510;
  r.impedanceF1 = 560;
  r.resistance = 498;
  r.decimalReading1 = 12.3f;
  r.decimalReading2 = 6553.5f;
  r.impedanceF3 = 470;
  r.impedanceF4 = 430;
  return r;
}

Slot EquineSlot(uint8_t score = 3) {
  return Slot(0xBF).Word(1, 0xABCD).Byte(3, 165).Word(4, 0x1122).Word(6, 0x3344).Word(8, 1000).Word(10, 250)
      .Time(kFifthOfMarch2024).Word(18, 300).Word(20, 280).Word(22, 270).Word(24, 230).Word(26, 220).Word(28, 210)
      .Byte(30, score).Byte(31, 0x99);
}

CXTestRecord ExpectedEquine(int32_t model, bool slotTimes = true, int32_t score = 3) {
  CXTestRecord r{};
  r.modelCode = model;
  r.serialNumber = 66051;
  r.testTime = slotTimes ? UtcSeconds(2024, 3, 5, 14, 7, 9) : -1;
  r.height = 165;
  r.conditionScore = score;
  r.decimalReading = 100.0f;
  r.impedance50 = 250;
  r.impedance5 = 300;
  r.impedance16 = 280;
  r.impedance24 = 270;
  r.impedance140 = 230;
  r.impedance200 = 220;
  r.impedance280 = 210;
  return r;
}

// Containers live on the heap, filled with a pattern so "untouched" can be told from "cleared".
template <typename Container>
std::unique_ptr<Container> Patterned(int32_t capacity = KV_STORED_TEST_CAPACITY) {
  auto stored = std::make_unique<Container>();
  std::memset(static_cast<void*>(stored.get()), 0xA7, sizeof(Container));
  stored->capacity = capacity;
  return stored;
}

// The answer to 0x30: echo, the header 0xABCDEF, the slots, the acknowledgement.
Bytes Block(Bytes slots, Bytes ack = {kZ, 0x00}) {
  slots.insert(slots.begin(), {0xAB, 0xCD, 0xEF});
  return Answer(0x30, slots, ack);
}

class DownloadTest : public CommandTest {
 protected:
  void Identity(uint8_t model) {
    Exchange(0x21, Answer(0x21, {model, 0x11, 0x22}));
    Exchange(0x23, Answer(0x23, {0x01, 0x02, 0x03}));
  }
  TimeZoneScope zone{kZoneUtc};
};

struct ModelCase {
  uint8_t model;
  bool equine;
  bool slotTimes;  // false: records get no time (-1)
};

class EveryModel : public DownloadTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(EveryModel, EachDownloadTakesItsKindAndRefusesTheOther) {
  const ModelCase& c = GetParam();
  auto human = Patterned<KVStoredTests>();
  auto horse = Patterned<CXStoredTests>();
  const auto humanBefore = std::make_unique<KVStoredTests>(*human);
  const auto horseBefore = std::make_unique<CXStoredTests>(*horse);
  Exchange(0x21, Answer(0x21, {c.model, 0x11, 0x22}));  // the wrong kind: the model exchange alone
  EXPECT_EQ(KV_ERR_WRONG_KIND, c.equine ? ReadStoredTestData(comm, human.get()) : ReadEquineStoredTestData(comm, horse.get()));
  EXPECT_EQ(2u, port.Sent().size());
  EXPECT_TRUE(SameBytes(*humanBefore, *human));
  EXPECT_TRUE(SameBytes(*horseBefore, *horse));
  Identity(c.model);
  Exchange(0x30, Block(c.equine ? EquineSlot().Block() : HumanSlot().Block()));
  if (c.equine) {
    ASSERT_EQ(KV_OK, ReadEquineStoredTestData(comm, horse.get()));
    for (size_t i : {0, 99}) EXPECT_TRUE(SameBytes(ExpectedEquine(c.model, c.slotTimes), horse->tests[i])) << i;
  } else {
    ASSERT_EQ(KV_OK, ReadStoredTestData(comm, human.get()));
    for (size_t i : {0, 99})
      EXPECT_TRUE(SameBytes(ExpectedHuman(humanBefore->tests[i], c.model, c.slotTimes), human->tests[i])) << i;
  }
  EXPECT_EQ(100, c.equine ? horse->testCount : human->testCount);
  EXPECT_EQ(0xABCDEFu, c.equine ? horse->blockHeader : human->blockHeader);
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(0u, port.InputQueued());
}

// Mono 1, 3 and 9 keep no slot times; 12 and 13 are equine, 13 without slot times; a code
// outside the catalogue is downloaded as a human analyser.
INSTANTIATE_TEST_SUITE_P(Models, EveryModel,
                         ::testing::Values(ModelCase{0, false, true}, ModelCase{1, false, false}, ModelCase{2, false, true},
                                           ModelCase{3, false, false}, ModelCase{4, false, true}, ModelCase{5, false, true},
                                           ModelCase{6, false, true}, ModelCase{7, false, true}, ModelCase{8, false, true},
                                           ModelCase{9, false, false}, ModelCase{10, false, true}, ModelCase{11, false, true},
                                           ModelCase{12, true, true}, ModelCase{13, true, false}, ModelCase{14, false, true},
                                           ModelCase{15, false, true}, ModelCase{16, false, true}, ModelCase{255, false, true}),
                         [](const auto& c) { return "Model" + std::to_string(c.param.model); });

TEST_F(DownloadTest, NullOrACapacityOtherThan100SendsNothing) {
  EXPECT_EQ(KV_ERR_ARGUMENT, ReadStoredTestData(comm, nullptr));
  EXPECT_EQ(KV_ERR_ARGUMENT, ReadEquineStoredTestData(comm, nullptr));
  for (int32_t capacity : {99, 101, 0, -100}) {
    auto human = Patterned<KVStoredTests>(capacity);
    auto horse = Patterned<CXStoredTests>(capacity);
    EXPECT_EQ(KV_ERR_ARGUMENT, ReadStoredTestData(comm, human.get())) << capacity;
    EXPECT_EQ(KV_ERR_ARGUMENT, ReadEquineStoredTestData(comm, horse.get())) << capacity;
    EXPECT_TRUE(SameBytes(*Patterned<KVStoredTests>(capacity), *human));
    EXPECT_TRUE(SameBytes(*Patterned<CXStoredTests>(capacity), *horse));
  }
  EXPECT_TRUE(port.Sent().empty());
}

struct FaultCase {
  const char* name;
  Bytes replyTo23;  // empty: 0x23 is answered with the serial number
  Bytes replyTo30;  // empty: 0x30 must not be sent
  int code;
  bool headerStored;
  bool recordsDelivered;
};

class DownloadFaults : public DownloadTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DownloadFaults, StopAtTheFailingStepAndKeepWhatCameBeforeIt) {
  const FaultCase& c = GetParam();
  Exchange(0x21, Answer(0x21, {7, 0x11, 0x22}));
  Exchange(0x23, c.replyTo23.empty() ? Answer(0x23, {1, 2, 3}) : c.replyTo23);
  if (!c.replyTo30.empty()) Exchange(0x30, c.replyTo30);
  auto stored = Patterned<KVStoredTests>();
  const auto before = std::make_unique<KVStoredTests>(*stored);
  EXPECT_EQ(c.code, ReadStoredTestData(comm, stored.get()));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(c.headerStored ? 0xABCDEFu : before->blockHeader, stored->blockHeader);
  EXPECT_EQ(c.recordsDelivered ? 100 : before->testCount, stored->testCount);
  EXPECT_TRUE(SameBytes(c.recordsDelivered ? ExpectedHuman(before->tests[5], 7) : before->tests[5], stored->tests[5]));
}

Bytes FirstBytes(Bytes bytes, size_t n) {
  bytes.resize(n);
  return bytes;
}

const Bytes kWholeBlock = HumanSlot().Block();

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFaults,
    ::testing::Values(
        FaultCase{"WrongEchoTo23", {kZ, 0x21, 1, 2, 3}, {}, KV_ERR_ECHO, false, false},
        FaultCase{"WrongAckAfter23", Answer(0x23, {1, 2, 3}, {0x00, 0x00}), {}, KV_ERR_ACK, false, false},
        FaultCase{"WrongEchoTo30", {}, {kZ, 0x40}, KV_ERR_ECHO, false, false},
        FaultCase{"HeaderCutShort", {}, {kZ, 0x30, 0xAB, 0xCD}, KV_ERR_RECEIVE, false, false},
        FaultCase{"SilenceAfterHeader", {}, {kZ, 0x30, 0xAB, 0xCD, 0xEF}, KV_ERR_RECEIVE, true, false},
        FaultCase{"BlockCutInItsLastSlot", {}, FirstBytes(Block(kWholeBlock), 5 + 3200 - 1), KV_ERR_RECEIVE, true, false},
        FaultCase{"WrongFinalAckKeepsRecords", {}, Block(kWholeBlock, {kZ, 0x30}), KV_ERR_ACK, true, true},
        FaultCase{"FinalAckMissing", {}, Block(kWholeBlock, {}), KV_ERR_RECEIVE, true, true}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(DownloadTest, EmptySlotsAreClearedWholeTheFirstGivesTheCountAndLaterSlotsAreDelivered) {
  const KVSpectrumPoint callersSpectrum[1] = {{5.0f, 500.0f, -4.0f}};
  const std::vector<std::vector<size_t>> emptyLayouts = {{0, 42}, {99}, {10, 11, 40}};
  for (const std::vector<size_t>& empty : emptyLayouts) {
    SCOPED_TRACE(empty.front());
    std::vector<Slot> slots(100, HumanSlot());
    for (size_t i : empty) slots[i] = EmptySlot(uint8_t(0x30 + i));
    Bytes block;
    for (const Slot& slot : slots) block.insert(block.end(), slot.Bytes32().begin(), slot.Bytes32().end());
    Identity(7);
    Exchange(0x30, Block(block));
    auto stored = Patterned<KVStoredTests>();
    for (KVTestRecord& record : stored->tests) {
      record.spectrumCount = 1;
      record.spectrum = callersSpectrum;
    }
    const auto before = std::make_unique<KVStoredTests>(*stored);
    ASSERT_EQ(KV_OK, ReadStoredTestData(comm, stored.get()));
    EXPECT_EQ(int32_t(empty.front()), stored->testCount);
    for (size_t i = 0; i < 100; ++i) {
      const bool isEmpty = std::find(empty.begin(), empty.end(), i) != empty.end();
      EXPECT_TRUE(SameBytes(isEmpty ? KVTestRecord{} : ExpectedHuman(before->tests[i], 7), stored->tests[i])) << i;
    }
  }
}

TEST_F(DownloadTest, SlotFieldsOfBothLayoutsThatTakeMoreThanOneValue) {
  // The flags byte: bit 3 set is a woman, bits 0 to 2 the activity level less one.
  const struct { uint8_t flags; int32_t sex, activity; } flagCases[] = {{0x0A, 0, 3}, {0x00, 1, 1}, {0x07, 1, 8}, {0xB9, 0, 2}};
  for (const auto& f : flagCases) {
    Identity(7);
    Exchange(0x30, Block(HumanSlot(f.flags).Block()));
    auto stored = Patterned<KVStoredTests>();
    ASSERT_EQ(KV_OK, ReadStoredTestData(comm, stored.get()));
    EXPECT_EQ(f.sex, stored->tests[3].sex) << int{f.flags};
    EXPECT_EQ(f.activity, stored->tests[3].activityLevel) << int{f.flags};
  }
  // A condition score of 0 means none was entered: the default 5.
  const std::pair<int, int> scores[] = {{0, 5}, {5, 5}, {255, 255}};
  for (auto [byte, score] : scores) {
    std::vector<uint8_t> block = EquineSlot(uint8_t(byte)).Block();
    std::fill(block.begin() + 57 * 32, block.begin() + 58 * 32, 0xFF);  // erased memory: an empty slot
    Identity(12);
    Exchange(0x30, Block(block));
    auto stored = Patterned<CXStoredTests>();
    ASSERT_EQ(KV_OK, ReadEquineStoredTestData(comm, stored.get()));
    EXPECT_TRUE(SameBytes(ExpectedEquine(12, true, score), stored->tests[56])) << byte;
    EXPECT_TRUE(SameBytes(CXTestRecord{}, stored->tests[57]));
    EXPECT_EQ(57, stored->testCount);
  }
}

TEST_F(DownloadTest, ProgressFollowsTheBlockAndStopsShortWithIt) {
  Identity(7);
  Exchange(0x30, Block(HumanSlot().Block()));
  Identity(12);
  Exchange(0x30, FirstBytes(Block(EquineSlot().Block()), 5 + 1000));
  std::vector<size_t> seen;
  const DownloadProgress progress = [&](size_t received, size_t total) {
    EXPECT_EQ(3200u, total);
    seen.push_back(received);
  };
  EXPECT_EQ(KV_OK, ReadStoredTestData(comm, Patterned<KVStoredTests>().get(), progress));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(3200u, seen.back());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) && std::adjacent_find(seen.begin(), seen.end()) == seen.end());
  seen.clear();
  EXPECT_EQ(KV_ERR_RECEIVE, ReadEquineStoredTestData(comm, Patterned<CXStoredTests>().get(), progress));
  ASSERT_FALSE(seen.empty());
  EXPECT_LE(seen.back(), 1000u);
}

TEST_F(CommandTest, SingleTestsReadTheirWordsInArgumentOrder) {
  // Bytes 0-15 as eight words 0x0101, 0x0202 ...; the rest must not be read.
  Slot payload(0x01);
  for (uint16_t i = 0; i < 8; ++i) payload.Word(2 * i, uint16_t(0x0101 * (i + 1)));
  for (size_t i = 16; i < 32; ++i) payload.Byte(i, 0xEE);
  const Bytes bytes(payload.Bytes32().begin(), payload.Bytes32().end());
  Exchange(0x40, Answer(0x40, bytes));
  Exchange(0x40, Answer(0x40, bytes, {kZ, 0x40}));
  Exchange(0x40, {kZ, 0x30});
  int32_t r[7] = {};
  float d[2] = {};
  EXPECT_EQ(KV_OK, ReadTestKorvanta(comm, r[0], r[1], r[2], r[3], r[4], d[0], d[1]));
  // Bytes 0-1, 2-3, 10-11, 12-13, 4-5; then 6-7 and 8-9 in tenths, divided in single precision.
  EXPECT_EQ((std::vector<int32_t>{0x0101, 0x0202, 0x0606, 0x0707, 0x0303}), std::vector<int32_t>(r, r + 5));
  EXPECT_EQ((std::array<float, 2>{1028.0f / 10.0f, 1285.0f / 10.0f}), (std::array<float, 2>{d[0], d[1]}));
  // Kept after a wrong acknowledgement.
  EXPECT_EQ(KV_ERR_ACK, ReadTestCaballix(comm, r[0], r[1], r[2], r[3], r[4], r[5], r[6], d[0]));
  EXPECT_EQ((std::vector<int32_t>{0x0101, 0x0202, 0x0303, 0x0404, 0x0505, 0x0606, 0x0707}), std::vector<int32_t>(r, r + 7));
  EXPECT_EQ(2056.0f / 10.0f, d[0]);  // 0x0808
  int32_t u[7] = {-1, -1, -1, -1, -1, -1, -1};
  float ud = -1.0f;
  EXPECT_EQ(KV_ERR_ECHO, ReadTestCaballix(comm, u[0], u[1], u[2], u[3], u[4], u[5], u[6], ud));
  EXPECT_EQ(std::vector<int32_t>(7, -1), std::vector<int32_t>(u, u + 7));
  EXPECT_EQ(-1.0f, ud);
}

}  // namespace
}  // namespace kv::link

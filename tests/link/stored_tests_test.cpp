// stored_tests_test.cpp: slots and single tests of both layouts, decoded from bytes laid out by hand.
// Expected records are written out field by field from the layout, never produced by the decoder.
#include "link/stored_tests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "slot_bytes.h"
#include "time_zone_scope.h"

namespace kv::link {
namespace {

using testing::AllBytesZero;
using testing::BlockOf;
using testing::Bytes32;
using testing::EmptySlot;
using testing::EquineSlot;
using testing::ExpectedSampleEquine;
using testing::ExpectedSampleHuman;
using testing::ExpectSameRecord;
using testing::HumanSlot;
using testing::kZoneUtc;
using testing::SampleEquineSlot;
using testing::SampleHumanSlot;
using testing::TimeZoneScope;
using testing::UtcSeconds;

const AnalyserIdentity kQuattron{7, 66051, true};
const AnalyserIdentity kMono{3, 12345, false};
const AnalyserIdentity kCaballixPlus{12, 4242, true};
const AnalyserIdentity kCaballixBasic{13, 4243, false};

class HumanSlotTest : public ::testing::Test {
 protected:
  TimeZoneScope zone{kZoneUtc};
};

TEST_F(HumanSlotTest, EveryFieldFromItsOffset) {
  const Bytes32 bytes = SampleHumanSlot().Bytes();
  KVTestRecord record{};
  DecodeHumanSlot(bytes, kQuattron, record);
  ExpectSameRecord(ExpectedSampleHuman(), record);
}

TEST_F(HumanSlotTest, KeepsTheCallersSpectrum) {
  const KVSpectrumPoint points[2] = {{5.0f, 600.0f, -3.0f}, {50.0f, 500.0f, -7.0f}};
  KVTestRecord record{};
  record.spectrumCount = 2;
  record.spectrum = points;
  DecodeHumanSlot(SampleHumanSlot().Bytes(), kQuattron, record);
  EXPECT_EQ(2, record.spectrumCount);
  EXPECT_EQ(points, record.spectrum);
}

TEST_F(HumanSlotTest, UnreadBytesAndFlagBitsChangeNothing) {
  HumanSlot noisy = SampleHumanSlot();
  noisy.flags = static_cast<uint8_t>(noisy.flags | 0xB0);  // bits 4, 5 and 7
  noisy.unread1 = 0xEE;
  noisy.unread30 = 0xBEEF;
  KVTestRecord record{};
  DecodeHumanSlot(noisy.Bytes(), kQuattron, record);
  ExpectSameRecord(ExpectedSampleHuman(), record);
}

TEST_F(HumanSlotTest, NoTimeWhenTheAnalyserKeepsNoSlotTimes) {
  KVTestRecord record{};
  DecodeHumanSlot(SampleHumanSlot().Bytes(), kMono, record);
  EXPECT_EQ(-1, record.testTime);
  EXPECT_EQ(3, record.modelCode);
  EXPECT_EQ(12345u, record.serialNumber);
}

struct FlagsCase {
  const char* name;
  uint8_t flags;
  int32_t sex;
  int32_t activityLevel;
};

class HumanFlags : public HumanSlotTest, public ::testing::WithParamInterface<FlagsCase> {};

TEST_P(HumanFlags, SexFromBit3ActivityFromBits0To2) {
  HumanSlot slot = SampleHumanSlot();
  slot.flags = GetParam().flags;
  KVTestRecord record{};
  DecodeHumanSlot(slot.Bytes(), kQuattron, record);
  EXPECT_EQ(GetParam().sex, record.sex);
  EXPECT_EQ(GetParam().activityLevel, record.activityLevel);
}

INSTANTIATE_TEST_SUITE_P(Flags, HumanFlags,
                         ::testing::Values(FlagsCase{"FemaleActivity3", 0x0A, 0, 3},
                                           FlagsCase{"MaleActivity1", 0x00, 1, 1},
                                           FlagsCase{"FemaleActivity1", 0x08, 0, 1},
                                           FlagsCase{"MaleActivity5", 0x04, 1, 5},
                                           // Not checked here: 7 + 1 is passed on for the calculation to refuse.
                                           FlagsCase{"MaleActivityBitsAllSet", 0x07, 1, 8},
                                           FlagsCase{"IgnoredBitsSetFemale", 0xB9, 0, 2}),
                         [](const auto& c) { return std::string(c.param.name); });

struct TenthsCase {
  const char* name;
  uint16_t tenths;
  float value;
};

class HumanTenths : public HumanSlotTest, public ::testing::WithParamInterface<TenthsCase> {};

TEST_P(HumanTenths, WeightAndReadingsInTenths) {
  HumanSlot slot = SampleHumanSlot();
  slot.weightTenths = GetParam().tenths;
  slot.reading1Tenths = GetParam().tenths;
  slot.reading2Tenths = GetParam().tenths;
  KVTestRecord record{};
  DecodeHumanSlot(slot.Bytes(), kQuattron, record);
  EXPECT_EQ(GetParam().value, record.weight);
  EXPECT_EQ(GetParam().value, record.decimalReading1);
  EXPECT_EQ(GetParam().value, record.decimalReading2);
}

INSTANTIATE_TEST_SUITE_P(Values, HumanTenths,
                         ::testing::Values(TenthsCase{"Zero", 0, 0.0f}, TenthsCase{"OneTenth", 1, 0.1f},
                                           TenthsCase{"Weight750", 750, 75.0f},
                                           TenthsCase{"HighByteOnly", 0x0100, 25.6f},
                                           TenthsCase{"Largest", 0xFFFF, 6553.5f}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(HumanSlotTest, TwoByteValuesAreUnsignedBigEndian) {
  HumanSlot slot = SampleHumanSlot();
  slot.waist = 0xFFFF;
  slot.hip = 0x8001;
  slot.impedanceF1 = 0x0102;
  KVTestRecord record{};
  DecodeHumanSlot(slot.Bytes(), kQuattron, record);
  EXPECT_EQ(65535, record.waist);
  EXPECT_EQ(32769, record.hip);
  EXPECT_EQ(258, record.impedanceF1);
}

class EquineSlotTest : public ::testing::Test {
 protected:
  TimeZoneScope zone{kZoneUtc};
};

TEST_F(EquineSlotTest, EveryFieldFromItsOffset) {
  CXTestRecord record{};
  DecodeEquineSlot(SampleEquineSlot().Bytes(), kCaballixPlus, record);
  ExpectSameRecord(ExpectedSampleEquine(), record);
}

TEST_F(EquineSlotTest, UnreadBytesChangeNothing) {
  EquineSlot noisy = SampleEquineSlot();
  noisy.flags = 0xBF;  // every bit but 6
  noisy.unread1 = 0xABCD;
  noisy.unread4 = {0x11, 0x22, 0x33, 0x44};
  noisy.unread31 = 0x99;
  CXTestRecord record{};
  DecodeEquineSlot(noisy.Bytes(), kCaballixPlus, record);
  ExpectSameRecord(ExpectedSampleEquine(), record);
}

TEST_F(EquineSlotTest, ConditionScoreZeroIsStoredAsFive) {
  struct {
    uint8_t byte;
    int32_t score;
  } const cases[] = {{0, 5}, {3, 3}, {5, 5}, {1, 1}, {9, 9}, {255, 255}};
  for (const auto& c : cases) {
    EquineSlot slot = SampleEquineSlot();
    slot.conditionScore = c.byte;
    CXTestRecord record{};
    DecodeEquineSlot(slot.Bytes(), kCaballixPlus, record);
    EXPECT_EQ(c.score, record.conditionScore) << "byte " << int{c.byte};
  }
}

TEST_F(EquineSlotTest, NoTimeForModel13) {
  CXTestRecord record{};
  DecodeEquineSlot(SampleEquineSlot().Bytes(), kCaballixBasic, record);
  EXPECT_EQ(-1, record.testTime);
  EXPECT_EQ(13, record.modelCode);
  EXPECT_EQ(4243u, record.serialNumber);
  EXPECT_EQ(165, record.height);
}

class BlockTest : public ::testing::Test {
 protected:
  TimeZoneScope zone{kZoneUtc};
  std::vector<Bytes32> slots = std::vector<Bytes32>(kSlotCount, SampleHumanSlot().Bytes());
};

TEST_F(BlockTest, EverySlotInUseCounts100) {
  std::vector<KVTestRecord> records(kSlotCount);
  const std::vector<uint8_t> block = BlockOf(slots);
  EXPECT_EQ(100, DecodeHumanBlock(BlockBytes{block.data(), kBlockSize}, kQuattron,
                                  std::span<KVTestRecord, kSlotCount>{records.data(), kSlotCount}));
  for (size_t i = 0; i < kSlotCount; ++i) {
    SCOPED_TRACE(i);
    ExpectSameRecord(ExpectedSampleHuman(), records[i]);
  }
}

TEST_F(BlockTest, FirstEmptySlotGivesTheCountAndLaterSlotsAreStillDecoded) {
  struct Case {
    const char* name;
    std::vector<size_t> empty;
    int32_t testCount;
  };
  const Case cases[] = {{"FirstSlotEmpty", {0}, 0},
                        {"LastSlotEmpty", {99}, 99},
                        {"GapAtTen", {10, 11, 40}, 10},
                        {"EveryOtherFromOne", {1, 3, 5, 7}, 1}};
  const KVSpectrumPoint point{5.0f, 1.0f, 2.0f};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Bytes32> layout = slots;
    for (size_t i : c.empty) layout[i] = EmptySlot(static_cast<uint8_t>(0x30 + i));
    KVTestRecord filler{};
    std::memset(static_cast<void*>(&filler), 0xAB, sizeof filler);
    filler.spectrumCount = 1;
    filler.spectrum = &point;
    std::vector<KVTestRecord> records(kSlotCount, filler);
    const std::vector<uint8_t> block = BlockOf(layout);
    EXPECT_EQ(c.testCount, DecodeHumanBlock(BlockBytes{block.data(), kBlockSize}, kQuattron,
                                            std::span<KVTestRecord, kSlotCount>{records.data(), kSlotCount}));
    KVTestRecord expectedInUse = ExpectedSampleHuman();
    expectedInUse.spectrumCount = 1;
    expectedInUse.spectrum = &point;
    for (size_t i = 0; i < kSlotCount; ++i) {
      SCOPED_TRACE(i);
      const bool empty = std::find(c.empty.begin(), c.empty.end(), i) != c.empty.end();
      if (empty) {
        EXPECT_TRUE(AllBytesZero(records[i]));
      } else {
        ExpectSameRecord(expectedInUse, records[i]);
      }
    }
  }
}

TEST_F(BlockTest, EquineBlockClearsEmptySlotsAndCounts) {
  std::vector<Bytes32> layout(kSlotCount, SampleEquineSlot().Bytes());
  layout[0] = EmptySlot(0xFF);
  layout[57] = EmptySlot(0x01);
  CXTestRecord filler{};
  std::memset(static_cast<void*>(&filler), 0xAB, sizeof filler);
  std::vector<CXTestRecord> records(kSlotCount, filler);
  const std::vector<uint8_t> block = BlockOf(layout);
  EXPECT_EQ(0, DecodeEquineBlock(BlockBytes{block.data(), kBlockSize}, kCaballixPlus,
                                 std::span<CXTestRecord, kSlotCount>{records.data(), kSlotCount}));
  EXPECT_TRUE(AllBytesZero(records[0]));
  EXPECT_TRUE(AllBytesZero(records[57]));
  ExpectSameRecord(ExpectedSampleEquine(), records[1]);
  ExpectSameRecord(ExpectedSampleEquine(), records[99]);
}

TEST(SingleTest, KorvantaReadingsInArgumentOrder) {
  Bytes32 bytes{};
  // Bytes 0-13 as seven words, 0x0101, 0x0202 ...; the rest must not be read.
  for (size_t i = 0; i < 7; ++i) testing::PutWord(bytes, 2 * i, static_cast<uint16_t>(0x0101 * (i + 1)));
  for (size_t i = 14; i < 32; ++i) bytes[i] = 0xEE;
  const KorvantaSingleTest test = DecodeKorvantaSingleTest(bytes);
  // Arguments 1-5: bytes 0-1, 2-3, 10-11, 12-13, 4-5.
  EXPECT_EQ((std::array<int32_t, 5>{0x0101, 0x0202, 0x0606, 0x0707, 0x0303}), test.readings);
  // Arguments 6-7: bytes 6-7 (0x0404 = 1028) and 8-9 (0x0505 = 1285) over 10 in single precision.
  EXPECT_EQ(1028.0f / 10.0f, test.decimals[0]);
  EXPECT_EQ(1285.0f / 10.0f, test.decimals[1]);
}

TEST(SingleTest, CaballixReadingsInByteOrder) {
  Bytes32 bytes{};
  for (size_t i = 0; i < 8; ++i) testing::PutWord(bytes, 2 * i, static_cast<uint16_t>(0x1000 + i));
  for (size_t i = 16; i < 32; ++i) bytes[i] = 0xEE;
  const CaballixSingleTest test = DecodeCaballixSingleTest(bytes);
  EXPECT_EQ((std::array<int32_t, 7>{0x1000, 0x1001, 0x1002, 0x1003, 0x1004, 0x1005, 0x1006}), test.readings);
  EXPECT_EQ(4103.0f / 10.0f, test.decimal);  // 0x1007
}

TEST(SingleTest, WordsAreUnsigned) {
  Bytes32 bytes;
  bytes.fill(0xFF);
  const KorvantaSingleTest human = DecodeKorvantaSingleTest(bytes);
  const CaballixSingleTest horse = DecodeCaballixSingleTest(bytes);
  for (int32_t reading : human.readings) EXPECT_EQ(65535, reading);
  for (int32_t reading : horse.readings) EXPECT_EQ(65535, reading);
  EXPECT_EQ(6553.5f, human.decimals[0]);
  EXPECT_EQ(6553.5f, horse.decimal);
}

TEST(SerialNumber, BigEndian24) {
  const uint8_t bytes[3] = {0x01, 0x02, 0x03};
  EXPECT_EQ(66051u, BigEndian24(bytes));  // 1 * 65536 + 2 * 256 + 3
  const uint8_t top[3] = {0xFF, 0xFF, 0xFF};
  EXPECT_EQ(16777215u, BigEndian24(top));
}

}  // namespace
}  // namespace kv::link

// sim_model_test.cpp: packed times, slot layouts (bytes written out by hand) and the presets of
// every model code.
#include <gtest/gtest.h>

#include <set>

#include "KorvantaSDK.h"
#include "analyser_model.h"
#include "catalogue.h"

namespace kv::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes AsBytes(const std::array<uint8_t, kSlotSize>& a) { return Bytes(a.begin(), a.end()); }

TEST(PackedTimeTest, PacksTwoDecimalDigitsPerByteSecondsFirst) {
  EXPECT_EQ((PackedTime{0x09, 0x07, 0x14, 0x05, 0x03, 0x24}), PackDateTime({2024, 3, 5, 14, 7, 9}));
  EXPECT_EQ((PackedTime{0x59, 0x59, 0x23, 0x31, 0x12, 0x99}), PackDateTime({2099, 12, 31, 23, 59, 59}));
  // Year 2100: 100 / 10 = 10 tens, so the byte is 10 * 16 = 0xA0.
  EXPECT_EQ(0xA0, PackDateTime({2100, 1, 1, 0, 0, 0})[5]);
}

TEST(PackedTimeTest, UnpacksOnlyRealDates) {
  DeviceDateTime t;
  ASSERT_TRUE(UnpackDateTime({0x30, 0x15, 0x09, 0x24, 0x12, 0x23}, &t));
  EXPECT_EQ(2023, t.year);
  EXPECT_EQ(12, t.month);
  EXPECT_EQ(24, t.day);
  EXPECT_EQ(9, t.hour);
  EXPECT_EQ(15, t.minute);
  EXPECT_EQ(30, t.second);
  EXPECT_TRUE(UnpackDateTime({0, 0, 0, 0x29, 0x02, 0x24}, &t));    // 29 February 2024
  EXPECT_FALSE(UnpackDateTime({0, 0, 0, 0x29, 0x02, 0x23}, &t));   // no 29 February 2023
  EXPECT_FALSE(UnpackDateTime({0, 0, 0, 0x01, 0x13, 0x23}, &t));   // month 13
  EXPECT_FALSE(UnpackDateTime({0xFF, 0, 0, 0x01, 0x01, 0x23}, &t)); // not decimal digits
}

TEST(PackedTimeTest, AddSecondsCarriesIntoEveryField) {
  const DeviceDateTime t = AddSeconds({2024, 2, 28, 23, 59, 30}, 24 * 3600 + 45);
  // 28 Feb 23:59:30 + 1 day 45 s = 29 Feb (leap year) 23:59:30 + 45 s = 1 March 00:00:15.
  EXPECT_EQ((PackedTime{0x15, 0x00, 0x00, 0x01, 0x03, 0x24}), PackDateTime(t));
  EXPECT_EQ((PackedTime{0x59, 0x59, 0x23, 0x31, 0x12, 0x23}), PackDateTime(AddSeconds({2024, 1, 1, 0, 0, 0}, -1)));
}

TEST(SlotTest, HumanTestLaysOutEveryField) {
  HumanTest h;
  h.female = true;
  h.activityLevel = 3;
  h.flagBits = 0xB0;
  h.byte1 = 0x99;
  h.age = 35;
  h.height = 172;
  h.weightTenths = 750;
  h.waist = 0x0102;
  h.hip = 0x0304;
  h.impedanceF2 = 0x0506;
  h.time = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  h.impedanceF1 = 0x0708;
  h.resistance = 0x090A;
  h.reading1Tenths = 0x0B0C;
  h.reading2Tenths = 0x0D0E;
  h.impedanceF3 = 0x0F10;
  h.impedanceF4 = 0x1112;
  h.trailer = 0x1314;
  // Flags: bits 4, 5, 7 (0xB0) | female bit 3 (0x08) | activity 3 - 1 = 2: 0xBA.
  const Bytes expected{0xBA, 0x99, 35,   172,  0x02, 0xEE, 0x01, 0x02, 0x03, 0x04, 0x05,
                       0x06, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                       0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14};
  EXPECT_EQ(expected, AsBytes(EncodeSlot(h)));
  h.female = false;
  h.activityLevel = 1;
  h.flagBits = 0x40;  // bit 6 is the analyser's empty mark, never a free bit of a test
  EXPECT_EQ(0x00, EncodeSlot(h)[0]);
}

TEST(SlotTest, EquineTestLaysOutEveryField) {
  EquineTest e;
  e.horseNumber = 0x0102;
  e.height = 160;
  e.readingTenths = 1000;  // 0x03E8
  e.impedance50 = 0x0A0B;
  e.time = {0x30, 0x15, 0x09, 0x24, 0x12, 0x23};
  e.impedance5 = 0x1112;
  e.impedance16 = 0x1314;
  e.impedance24 = 0x1516;
  e.impedance140 = 0x1718;
  e.impedance200 = 0x191A;
  e.impedance280 = 0x1B1C;
  e.conditionScore = 3;
  const Bytes expected{0x01, 0x01, 0x02, 160,  0,    0,    0,    0,    0x03, 0xE8, 0x0A,
                       0x0B, 0x30, 0x15, 0x09, 0x24, 0x12, 0x23, 0x11, 0x12, 0x13, 0x14,
                       0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x03, 0x00};
  EXPECT_EQ(expected, AsBytes(EncodeSlot(e)));
}

TEST(SlotTest, EmptySlotSendsItsLeftoverWithBitSixSet) {
  EXPECT_EQ(Bytes(32, 0xFF), AsBytes(EncodeSlot(EmptySlot{})));
  EmptySlot deleted;
  deleted.leftover.fill(0x11);
  const Bytes b = AsBytes(EncodeSlot(deleted));
  EXPECT_EQ(0x51, b[0]);
  EXPECT_EQ(Bytes(31, 0x11), Bytes(b.begin() + 1, b.end()));
}

TEST(SlotTest, LeadingTestCountStopsAtTheFirstEmptySlot) {
  AnalyserModel m;
  m.slots.assign(kSlotCount, HumanTest{});
  EXPECT_EQ(100, LeadingTestCount(m));
  m.slots[2] = EmptySlot{};
  m.slots[5] = EmptySlot{};
  EXPECT_EQ(2, LeadingTestCount(m));
  m.slots[0] = RawSlot{};  // flags 0: in use
  m.slots[1] = EmptySlot{};
  EXPECT_EQ(1, LeadingTestCount(m));
}

class Presets : public ::testing::TestWithParam<int> {};

TEST_P(Presets, AreRealisticAndMatchTheFamily) {
  const int code = GetParam();
  const AnalyserModel m = PresetModel(code);
  const int family = kv::DeviceFamily(code);
  const bool equine = family == KV_FAMILY_CABALLIX_BASIC || family == KV_FAMILY_CABALLIX_PLUS;
  EXPECT_EQ(code, m.modelCode);
  EXPECT_EQ(equine ? SlotLayout::kEquine : SlotLayout::kHuman, m.layout);
  EXPECT_LE(m.serialNumber, 0xFFFFFFu);
  DeviceDateTime when;
  EXPECT_TRUE(UnpackDateTime(m.clock, &when));
  EXPECT_TRUE(UnpackDateTime(m.calibrationTime, &when));

  const int leading = LeadingTestCount(m);
  EXPECT_GE(leading, 10);
  int inUse = 0;
  int inUseAfterGap = 0;
  bool deletedSeen = false;
  for (int i = 0; i < kSlotCount; ++i) {
    const auto bytes = EncodeSlot(m.slots[i]);
    if (bytes[0] & 0x40) {
      deletedSeen = deletedSeen || bytes != EmptySlot::ErasedMemory();
      continue;
    }
    ++inUse;
    if (i > leading) ++inUseAfterGap;
    if (equine) {
      const auto* e = std::get_if<EquineTest>(&m.slots[i]);
      ASSERT_NE(nullptr, e) << "slot " << i;
      EXPECT_TRUE(UnpackDateTime(e->time, &when)) << "slot " << i;
      EXPECT_GE(e->height, 140);
      EXPECT_LE(e->conditionScore, 9);
      // Impedance falls as frequency rises.
      EXPECT_GT(e->impedance5, e->impedance16);
      EXPECT_GT(e->impedance50, e->impedance140);
      EXPECT_GT(e->impedance200, e->impedance280);
    } else {
      const auto* h = std::get_if<HumanTest>(&m.slots[i]);
      ASSERT_NE(nullptr, h) << "slot " << i;
      EXPECT_TRUE(UnpackDateTime(h->time, &when)) << "slot " << i;
      // Within what the calculation accepts, so every downloaded test can be calculated.
      EXPECT_TRUE(h->age >= 1 && h->age <= 99);
      EXPECT_TRUE(h->height >= 10 && h->height <= 229);
      EXPECT_TRUE(h->weightTenths >= 1 && h->weightTenths <= 3000);
      EXPECT_TRUE(h->activityLevel >= 1 && h->activityLevel <= 5);
      EXPECT_TRUE(h->waist >= 5 && h->waist <= 648 && h->hip >= 5 && h->hip <= 648);
      EXPECT_GT(h->impedanceF2, 0);
      EXPECT_GT(h->resistance, 0);
      // The readings each family's calculation divides by are present.
      if (family == KV_FAMILY_MONOXD || family == KV_FAMILY_QUATTRON || family == KV_FAMILY_POLYTRACE) {
        EXPECT_GT(h->impedanceF1, h->impedanceF2);
      }
      if (family == KV_FAMILY_QUATTRON || family == KV_FAMILY_POLYTRACE) {
        EXPECT_GT(h->impedanceF4, 0);
      }
    }
  }
  if (leading < kSlotCount) {
    EXPECT_TRUE(deletedSeen) << "a deleted test among the stored ones";
    EXPECT_GT(inUseAfterGap, 0) << "tests after the first empty slot";
    EXPECT_LT(inUse, kSlotCount);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryModelCode, Presets, ::testing::Values(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                                                                    15, 16, 200, 255));

TEST(PresetTest, SameCodeSameAnalyserOtherCodeOtherAnalyser) {
  std::set<uint32_t> serials;
  for (int code = 0; code <= 15; ++code) {
    const auto a = PresetModel(code);
    const auto b = PresetModel(code);
    EXPECT_EQ(a.serialNumber, b.serialNumber);
    for (int i = 0; i < kSlotCount; ++i) ASSERT_EQ(EncodeSlot(a.slots[i]), EncodeSlot(b.slots[i]));
    serials.insert(a.serialNumber);
  }
  EXPECT_EQ(16u, serials.size());
}

TEST(PresetTest, OneModelIsFull) {
  // Model 11 stands for an analyser whose memory is full: no empty slot at all.
  EXPECT_EQ(100, LeadingTestCount(PresetModel(11)));
}

}  // namespace
}  // namespace kv::sim

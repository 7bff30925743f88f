// expected.h: what a host should receive for what the simulated analyser holds, worked out here
// from the slot fields and the C library's own mktime, never through the library's decoding.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "KorvantaSDK.h"
#include "analyser_model.h"
#include "catalogue.h"

namespace kv::e2e {

inline int Digits(uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

// Local calendar fields to seconds since 1970; out-of-range fields carry over as mktime carries them.
inline int64_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

inline int64_t LocalTimeOf(const sim::PackedTime& p) {
  return LocalTimeOf(2000 + Digits(p[5]), Digits(p[4]), Digits(p[3]), Digits(p[2]), Digits(p[1]), Digits(p[0]));
}

inline bool SlotIsEmpty(const sim::Slot& slot) {
  if (std::holds_alternative<sim::EmptySlot>(slot)) return true;
  if (const auto* raw = std::get_if<sim::RawSlot>(&slot)) return (raw->bytes[0] & 0x40) != 0;
  return false;
}

inline int ExpectedTestCount(const sim::AnalyserModel& m) {
  for (int i = 0; i < sim::kSlotCount; ++i) {
    if (SlotIsEmpty(m.slots[i])) return i;
  }
  return sim::kSlotCount;
}

inline uint32_t ExpectedHeader(const sim::AnalyserModel& m) {
  return (uint32_t{m.blockHeader[0]} << 16) | (uint32_t{m.blockHeader[1]} << 8) | m.blockHeader[2];
}

inline float Tenths(uint16_t value) { return static_cast<float>(value / 10.0); }

// An empty slot's record is all zero bytes.
template <typename Record>
bool AllZero(const Record& record) {
  Record zero;
  std::memset(static_cast<void*>(&zero), 0, sizeof zero);
  return std::memcmp(&zero, &record, sizeof zero) == 0;
}

inline void ExpectHuman(const sim::AnalyserModel& m, int slot, const KVTestRecord& got) {
  SCOPED_TRACE("slot " + std::to_string(slot));
  if (SlotIsEmpty(m.slots[slot])) {
    EXPECT_TRUE(AllZero(got)) << "an empty slot is all zero";
    return;
  }
  const auto& h = std::get<sim::HumanTest>(m.slots[slot]);
  EXPECT_EQ(m.modelCode, got.modelCode);
  EXPECT_EQ(m.serialNumber, got.serialNumber);
  EXPECT_EQ(kv::DeviceFamily(m.modelCode) == KV_FAMILY_MONO ? -1 : LocalTimeOf(h.time), got.testTime);
  EXPECT_EQ(h.female ? 0 : 1, got.sex);
  EXPECT_EQ(h.age, got.age);
  EXPECT_EQ(h.height, got.height);
  EXPECT_EQ(Tenths(h.weightTenths), got.weight);
  EXPECT_EQ(h.activityLevel, got.activityLevel);
  EXPECT_EQ((std::array<int32_t, 7>{h.waist, h.hip, h.impedanceF1, h.impedanceF2, h.impedanceF3, h.impedanceF4,
                                    h.resistance}),
            (std::array<int32_t, 7>{got.waist, got.hip, got.impedanceF1, got.impedanceF2, got.impedanceF3,
                                    got.impedanceF4, got.resistance}));
  EXPECT_EQ(Tenths(h.reading1Tenths), got.decimalReading1);
  EXPECT_EQ(Tenths(h.reading2Tenths), got.decimalReading2);
}

inline void ExpectEquine(const sim::AnalyserModel& m, int slot, const CXTestRecord& got) {
  SCOPED_TRACE("slot " + std::to_string(slot));
  if (SlotIsEmpty(m.slots[slot])) {
    EXPECT_TRUE(AllZero(got)) << "an empty slot is all zero";
    return;
  }
  const auto& e = std::get<sim::EquineTest>(m.slots[slot]);
  EXPECT_EQ(m.modelCode, got.modelCode);
  EXPECT_EQ(m.serialNumber, got.serialNumber);
  EXPECT_EQ(m.modelCode == 13 ? -1 : LocalTimeOf(e.time), got.testTime);
  EXPECT_EQ(e.height, got.height);
  EXPECT_EQ(e.conditionScore == 0 ? 5 : e.conditionScore, got.conditionScore);
  EXPECT_EQ((std::array<int32_t, 7>{e.impedance5, e.impedance16, e.impedance24, e.impedance50, e.impedance140,
                                    e.impedance200, e.impedance280}),
            (std::array<int32_t, 7>{got.impedance5, got.impedance16, got.impedance24, got.impedance50,
                                    got.impedance140, got.impedance200, got.impedance280}));
  EXPECT_EQ(Tenths(e.readingTenths), got.decimalReading);
}

inline uint16_t WordAt(const std::array<uint8_t, sim::kSlotSize>& bytes, int offset) {
  return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

}  // namespace kv::e2e

// expected.h: what a host should receive for what the simulated analyser holds, worked out here
// from the slot fields and the C library's own mktime, never through the library's decoding.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <tuple>

#include "KorvantaSDK.h"
#include "analyser_model.h"

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
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  return std::all_of(bytes, bytes + sizeof(Record), [](unsigned char b) { return b == 0; });
}

template <typename Record>
void ExpectEmpty(const Record& got) {
  EXPECT_TRUE(AllZero(got)) << "an empty slot's record is all zero";
}

// The fields that show each slot arrived whole and in its place; the decoding of every field is
// tested against the fake port.
inline void ExpectHuman(const sim::AnalyserModel& m, int slot, const KVTestRecord& got) {
  SCOPED_TRACE("slot " + std::to_string(slot));
  if (SlotIsEmpty(m.slots[slot])) return ExpectEmpty(got);
  const auto& h = std::get<sim::HumanTest>(m.slots[slot]);
  EXPECT_EQ((std::tuple(int32_t{m.modelCode}, m.serialNumber, LocalTimeOf(h.time), h.female ? 0 : 1, int32_t{h.age},
                        Tenths(h.weightTenths), int32_t{h.impedanceF1}, int32_t{h.impedanceF4},
                            Tenths(h.reading2Tenths))),
            std::tuple(got.modelCode, got.serialNumber, got.testTime, got.sex, got.age, got.weight, got.impedanceF1,
                       got.impedanceF4, got.decimalReading2));
}

inline void ExpectEquine(const sim::AnalyserModel& m, int slot, const CXTestRecord& got) {
  SCOPED_TRACE("slot " + std::to_string(slot));
  if (SlotIsEmpty(m.slots[slot])) return ExpectEmpty(got);
  const auto& e = std::get<sim::EquineTest>(m.slots[slot]);
  EXPECT_EQ((std::tuple(int32_t{m.modelCode}, m.serialNumber, LocalTimeOf(e.time), int32_t{e.height},
                        e.conditionScore == 0 ? 5 : int32_t{e.conditionScore}, int32_t{e.impedance5},
                        int32_t{e.impedance280}, Tenths(e.readingTenths))),
            std::tuple(got.modelCode, got.serialNumber, got.testTime, got.height, got.conditionScore, got.impedance5,
                       got.impedance280, got.decimalReading));
}

inline uint16_t WordAt(const std::array<uint8_t, sim::kSlotSize>& bytes, int offset) {
  return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

}  // namespace kv::e2e

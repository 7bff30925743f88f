// expected.h: what a host should receive for what the simulated analyser holds, worked out here
// from the slot fields and the C library's own mktime, never through the library's decoding.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "KorvantaSDK.h"
#include "analyser_model.h"
#include "../fakes/serial/stored_records.h"

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
  const auto* raw = std::get_if<sim::RawSlot>(&slot);
  return std::holds_alternative<sim::EmptySlot>(slot) || (raw && (raw->bytes[0] & 0x40) != 0);
}

inline int ExpectedTestCount(const sim::AnalyserModel& m) {
  return int(std::find_if(m.slots.begin(), m.slots.end(), SlotIsEmpty) - m.slots.begin());
}

inline uint32_t ExpectedHeader(const sim::AnalyserModel& m) {
  return (uint32_t{m.blockHeader[0]} << 16) | (uint32_t{m.blockHeader[1]} << 8) | m.blockHeader[2];
}

inline float Tenths(uint16_t value) { return static_cast<float>(value / 10.0); }

// The record a host should get for a slot holding a test: tenths divided by 10 in double, then narrowed;
// the time as the local zone has it; a condition score of 0 as 5.
inline KVTestRecord HumanRecord(const sim::AnalyserModel& m, const sim::HumanTest& h) {
  // clang-format off
  return {m.modelCode, m.serialNumber, LocalTimeOf(h.time), h.female ? 0 : 1, h.age, h.height, Tenths(h.weightTenths),
          h.activityLevel, h.waist, h.hip, h.impedanceF1, h.impedanceF2, h.impedanceF3, h.impedanceF4, h.resistance,
          Tenths(h.reading1Tenths), Tenths(h.reading2Tenths), 0, nullptr};
  // clang-format on
}
inline CXTestRecord EquineRecord(const sim::AnalyserModel& m, const sim::EquineTest& e) {
  return {m.modelCode,   m.serialNumber, LocalTimeOf(e.time), e.height, e.conditionScore == 0 ? 5 : e.conditionScore,
          e.impedance5,  e.impedance16,  e.impedance24,       e.impedance50, e.impedance140, e.impedance200,
          e.impedance280, Tenths(e.readingTenths)};
}

// Each slot arrived whole and in its place: every field of its record.
inline void ExpectHuman(const sim::AnalyserModel& m, int slot, const KVTestRecord& got) {
  SCOPED_TRACE("slot " + std::to_string(slot));
  EXPECT_TRUE(!SlotIsEmpty(m.slots[slot]) || records::AllBytesZero(got));
  if (SlotIsEmpty(m.slots[slot])) return;
  EXPECT_EQ(records::Fields(HumanRecord(m, std::get<sim::HumanTest>(m.slots[slot]))), records::Fields(got));
}

inline void ExpectEquine(const sim::AnalyserModel& m, int slot, const CXTestRecord& got) {
  SCOPED_TRACE("slot " + std::to_string(slot));
  EXPECT_TRUE(!SlotIsEmpty(m.slots[slot]) || records::AllBytesZero(got));
  if (SlotIsEmpty(m.slots[slot])) return;
  EXPECT_EQ(records::Fields(EquineRecord(m, std::get<sim::EquineTest>(m.slots[slot]))), records::Fields(got));
}

inline uint16_t WordAt(const std::array<uint8_t, sim::kSlotSize>& bytes, int offset) {
  return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

}  // namespace kv::e2e

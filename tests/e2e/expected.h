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

// The local time of a packed time (seconds first, then minutes ... year less 2000, two decimal digits a
// byte); out-of-range fields carry over as mktime carries them.
inline int64_t LocalTimeOf(const sim::PackedTime& p) {
  auto field = [&](int i) { return (p[i] >> 4) * 10 + (p[i] & 0x0F); };
  std::tm tm{};
  tm.tm_year = 100 + field(5);
  tm.tm_mon = field(4) - 1;
  tm.tm_mday = field(3);
  tm.tm_hour = field(2);
  tm.tm_min = field(1);
  tm.tm_sec = field(0);
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

inline bool SlotIsEmpty(const sim::Slot& slot) {
  const auto* raw = std::get_if<sim::RawSlot>(&slot);
  return std::holds_alternative<sim::EmptySlot>(slot) || (raw && (raw->bytes[0] & 0x40) != 0);
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

// What a host should find in a human analyser's container after the download: the count of tests before
// the first empty slot, the block header, and each slot whole and in its place (every field of a test's
// record; all zero for an empty slot).
inline void ExpectStored(const sim::AnalyserModel& m, const KVStoredTests& got) {
  EXPECT_EQ(std::find_if(m.slots.begin(), m.slots.end(), SlotIsEmpty) - m.slots.begin(), got.testCount);
  EXPECT_EQ((uint32_t{m.blockHeader[0]} << 16) | (uint32_t{m.blockHeader[1]} << 8) | m.blockHeader[2], got.blockHeader);
  for (int slot = 0; slot < KV_STORED_TEST_CAPACITY; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    if (SlotIsEmpty(m.slots[slot])) {
      EXPECT_TRUE(records::AllBytesZero(got.tests[slot]));
    } else {
      EXPECT_EQ(records::Fields(HumanRecord(m, std::get<sim::HumanTest>(m.slots[slot]))),
                records::Fields(got.tests[slot]));
    }
  }
}

inline uint16_t WordAt(const std::array<uint8_t, sim::kSlotSize>& bytes, int offset) {
  return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

}  // namespace kv::e2e

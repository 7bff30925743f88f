// slot_bytes.h: test slots written field by field from the analysers' byte layouts,
// and record comparisons that name the field that differs.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "KorvantaSDK.h"
#include "time_zone_scope.h"

namespace kv::link::testing {

using Bytes32 = std::array<uint8_t, 32>;
using Packed6 = std::array<uint8_t, 6>;

inline void PutWord(Bytes32& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value >> 8);
  bytes[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

// A human analyser's slot, offsets as the analyser sends them.
struct HumanSlot {
  uint8_t flags = 0x00;
  uint8_t unread1 = 0;
  uint8_t age = 0;
  uint8_t height = 0;
  uint16_t weightTenths = 0;  // offset 4
  uint16_t waist = 0;         // 6
  uint16_t hip = 0;           // 8
  uint16_t impedanceF2 = 0;   // 10
  Packed6 time{};             // 12 to 17
  uint16_t impedanceF1 = 0;   // 18
  uint16_t resistance = 0;    // 20
  uint16_t reading1Tenths = 0;  // 22
  uint16_t reading2Tenths = 0;  // 24
  uint16_t impedanceF3 = 0;     // 26
  uint16_t impedanceF4 = 0;     // 28
  uint16_t unread30 = 0;

  Bytes32 Bytes() const {
    Bytes32 b{};
    b[0] = flags;
    b[1] = unread1;
    b[2] = age;
    b[3] = height;
    PutWord(b, 4, weightTenths);
    PutWord(b, 6, waist);
    PutWord(b, 8, hip);
    PutWord(b, 10, impedanceF2);
    for (size_t i = 0; i < 6; ++i) b[12 + i] = time[i];
    PutWord(b, 18, impedanceF1);
    PutWord(b, 20, resistance);
    PutWord(b, 22, reading1Tenths);
    PutWord(b, 24, reading2Tenths);
    PutWord(b, 26, impedanceF3);
    PutWord(b, 28, impedanceF4);
    PutWord(b, 30, unread30);
    return b;
  }
};

// An equine analyser's slot.
struct EquineSlot {
  uint8_t flags = 0x00;
  uint16_t unread1 = 0;  // offsets 1 and 2
  uint8_t height = 0;    // 3
  std::array<uint8_t, 4> unread4{};  // 4 to 7
  uint16_t readingTenths = 0;        // 8
  uint16_t impedance50 = 0;          // 10
  Packed6 time{};                    // 12 to 17
  uint16_t impedance5 = 0;           // 18
  uint16_t impedance16 = 0;          // 20
  uint16_t impedance24 = 0;          // 22
  uint16_t impedance140 = 0;         // 24
  uint16_t impedance200 = 0;         // 26
  uint16_t impedance280 = 0;         // 28
  uint8_t conditionScore = 0;        // 30
  uint8_t unread31 = 0;

  Bytes32 Bytes() const {
    Bytes32 b{};
    b[0] = flags;
    b[1] = static_cast<uint8_t>(unread1 >> 8);
    b[2] = static_cast<uint8_t>(unread1 & 0xFF);
    b[3] = height;
    for (size_t i = 0; i < 4; ++i) b[4 + i] = unread4[i];
    PutWord(b, 8, readingTenths);
    PutWord(b, 10, impedance50);
    for (size_t i = 0; i < 6; ++i) b[12 + i] = time[i];
    PutWord(b, 18, impedance5);
    PutWord(b, 20, impedance16);
    PutWord(b, 22, impedance24);
    PutWord(b, 24, impedance140);
    PutWord(b, 26, impedance200);
    PutWord(b, 28, impedance280);
    b[30] = conditionScore;
    b[31] = unread31;
    return b;
  }
};

// An empty slot: bit 6 of the flags set; the rest may hold anything.
inline Bytes32 EmptySlot(uint8_t filler = 0x5C) {
  Bytes32 b;
  b.fill(filler);
  b[0] = static_cast<uint8_t>(0x40 | (filler & 0xBF));
  return b;
}

// The 3200-byte block of 100 slots.
inline std::vector<uint8_t> BlockOf(const std::vector<Bytes32>& slots) {
  std::vector<uint8_t> block;
  for (const Bytes32& slot : slots) block.insert(block.end(), slot.begin(), slot.end());
  return block;
}

// A Quattron test of a man with every field distinct.
inline HumanSlot SampleHumanSlot() {
  HumanSlot s;
  s.flags = 0x02;  // male, activity 3
  s.age = 42;
  s.height = 181;
  s.weightTenths = 0x02EE;  // 750
  s.waist = 86;
  s.hip = 101;
  s.impedanceF2 = 510;
  s.time = {0x30, 0x15, 0x09, 0x24, 0x12, 0x23};
  s.impedanceF1 = 560;
  s.resistance = 498;
  s.reading1Tenths = 123;
  s.reading2Tenths = 4567;
  s.impedanceF3 = 470;
  s.impedanceF4 = 430;
  return s;
}

inline KVTestRecord ExpectedSampleHuman(int32_t modelCode = 7, uint32_t serialNumber = 66051) {
  KVTestRecord r{};
  r.modelCode = modelCode;
  r.serialNumber = serialNumber;
  r.testTime = UtcSeconds(2023, 12, 24, 9, 15, 30);
  r.sex = 1;
  r.activityLevel = 3;
  r.age = 42;
  r.height = 181;
  r.weight = 75.0f;
  r.waist = 86;
  r.hip = 101;
  r.impedanceF2 = 510;
  r.impedanceF1 = 560;
  r.resistance = 498;
  r.decimalReading1 = 12.3f;
  r.decimalReading2 = 456.7f;
  r.impedanceF3 = 470;
  r.impedanceF4 = 430;
  return r;
}

// A horse at model 12 with every field distinct.
inline EquineSlot SampleEquineSlot() {
  EquineSlot s;
  s.height = 165;
  s.readingTenths = 0x03E8;  // 1000
  s.impedance50 = 250;
  s.time = {0x09, 0x07, 0x14, 0x05, 0x03, 0x24};
  s.impedance5 = 300;
  s.impedance16 = 280;
  s.impedance24 = 270;
  s.impedance140 = 230;
  s.impedance200 = 220;
  s.impedance280 = 210;
  s.conditionScore = 3;
  return s;
}

inline CXTestRecord ExpectedSampleEquine(int32_t modelCode = 12, uint32_t serialNumber = 4242) {
  CXTestRecord r{};
  r.modelCode = modelCode;
  r.serialNumber = serialNumber;
  r.testTime = UtcSeconds(2024, 3, 5, 14, 7, 9);
  r.height = 165;
  r.conditionScore = 3;
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

inline void ExpectSameRecord(const KVTestRecord& expected, const KVTestRecord& actual) {
  EXPECT_EQ(expected.modelCode, actual.modelCode);
  EXPECT_EQ(expected.serialNumber, actual.serialNumber);
  EXPECT_EQ(expected.testTime, actual.testTime);
  EXPECT_EQ(expected.sex, actual.sex);
  EXPECT_EQ(expected.age, actual.age);
  EXPECT_EQ(expected.height, actual.height);
  EXPECT_EQ(expected.weight, actual.weight);
  EXPECT_EQ(expected.activityLevel, actual.activityLevel);
  EXPECT_EQ(expected.waist, actual.waist);
  EXPECT_EQ(expected.hip, actual.hip);
  EXPECT_EQ(expected.impedanceF1, actual.impedanceF1);
  EXPECT_EQ(expected.impedanceF2, actual.impedanceF2);
  EXPECT_EQ(expected.impedanceF3, actual.impedanceF3);
  EXPECT_EQ(expected.impedanceF4, actual.impedanceF4);
  EXPECT_EQ(expected.resistance, actual.resistance);
  EXPECT_EQ(expected.decimalReading1, actual.decimalReading1);
  EXPECT_EQ(expected.decimalReading2, actual.decimalReading2);
  EXPECT_EQ(expected.spectrumCount, actual.spectrumCount);
  EXPECT_EQ(expected.spectrum, actual.spectrum);
}

inline void ExpectSameRecord(const CXTestRecord& expected, const CXTestRecord& actual) {
  EXPECT_EQ(expected.modelCode, actual.modelCode);
  EXPECT_EQ(expected.serialNumber, actual.serialNumber);
  EXPECT_EQ(expected.testTime, actual.testTime);
  EXPECT_EQ(expected.height, actual.height);
  EXPECT_EQ(expected.conditionScore, actual.conditionScore);
  EXPECT_EQ(expected.impedance5, actual.impedance5);
  EXPECT_EQ(expected.impedance16, actual.impedance16);
  EXPECT_EQ(expected.impedance24, actual.impedance24);
  EXPECT_EQ(expected.impedance50, actual.impedance50);
  EXPECT_EQ(expected.impedance140, actual.impedance140);
  EXPECT_EQ(expected.impedance200, actual.impedance200);
  EXPECT_EQ(expected.impedance280, actual.impedance280);
  EXPECT_EQ(expected.decimalReading, actual.decimalReading);
}

// True when every byte of the object is zero (padding and pointers included).
template <typename T>
bool AllBytesZero(const T& object) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&object);
  for (size_t i = 0; i < sizeof(T); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace kv::link::testing

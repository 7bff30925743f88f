// analyser_model.h: what a simulated analyser holds (identity, clock, stored tests) and how it
// lays each item out on the wire. Pure data and encoding: no protocol state, no I/O, no platform calls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kv::sim {

constexpr int kSlotCount = 100;
constexpr int kSlotSize = 32;
constexpr int kBlockSize = kSlotCount * kSlotSize;  // 3200

// Six packed-decimal bytes: seconds, minutes, hours, day, month, year - 2000. Kept as bytes, not as
// a calendar value, because an analyser may hold digits that are no valid date (month 0x13, 0xFF).
using PackedTime = std::array<uint8_t, 6>;

// Calendar fields of the analyser's clock; the analyser knows no time zone.
struct DeviceDateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Tens in the high nibble, units in the low one; only the low 8 bits of each byte are kept.
PackedTime PackDateTime(const DeviceDateTime& time);
// False when a byte holds a nibble above 9 or a field is out of its calendar range.
bool UnpackDateTime(const PackedTime& packed, DeviceDateTime* time);
// The calendar time `seconds` later (proleptic Gregorian, no leap seconds).
DeviceDateTime AddSeconds(const DeviceDateTime& time, int64_t seconds);

// One human test as the analyser stores it. Wire values: tenths where the slot holds tenths.
struct HumanTest {
  bool female = false;
  uint8_t activityLevel = 1;  // 1 to 8; sent as activity - 1 in bits 0 to 2
  uint8_t flagBits = 0;       // bits 4, 5 and 7 of the flags byte, which hosts do not read
  uint8_t byte1 = 0;          // not read by hosts
  uint8_t age = 0;
  uint8_t height = 0;
  uint16_t weightTenths = 0;
  uint16_t waist = 0;
  uint16_t hip = 0;
  uint16_t impedanceF1 = 0;
  uint16_t impedanceF2 = 0;
  uint16_t impedanceF3 = 0;
  uint16_t impedanceF4 = 0;
  uint16_t resistance = 0;
  uint16_t reading1Tenths = 0;
  uint16_t reading2Tenths = 0;
  PackedTime time{};
  uint16_t trailer = 0;  // bytes 30 and 31, not read by hosts
};

// One equine test as the analyser stores it.
struct EquineTest {
  uint16_t horseNumber = 0;  // bytes 1 and 2, not read by hosts
  uint8_t height = 0;
  uint16_t readingTenths = 0;
  uint16_t impedance5 = 0;
  uint16_t impedance16 = 0;
  uint16_t impedance24 = 0;
  uint16_t impedance50 = 0;
  uint16_t impedance140 = 0;
  uint16_t impedance200 = 0;
  uint16_t impedance280 = 0;
  uint8_t conditionScore = 0;  // 0 means "not entered"
  PackedTime time{};
};

// An empty slot still sends 32 bytes: whatever the memory holds, with bit 6 of the flags set.
struct EmptySlot {
  std::array<uint8_t, kSlotSize> leftover = ErasedMemory();
  static std::array<uint8_t, kSlotSize> ErasedMemory();  // never-written memory reads 0xFF
};

// Bytes sent exactly as given, for slots no structured test can express.
struct RawSlot {
  std::array<uint8_t, kSlotSize> bytes{};
};

using Slot = std::variant<EmptySlot, HumanTest, EquineTest, RawSlot>;

std::array<uint8_t, kSlotSize> EncodeSlot(const Slot& slot);

enum class SlotLayout { kHuman, kEquine };

struct AnalyserModel {
  uint8_t modelCode = 0;
  std::array<uint8_t, 5> version{};  // 1 and 2 answer 0x21, 3 to 5 answer 0x24
  std::array<uint8_t, 3> protocol{};
  uint32_t serialNumber = 0;  // 24 bits on the wire
  std::array<uint8_t, 12> printerAddress{};
  PackedTime clock{};
  bool clockRuns = false;  // a frozen clock keeps replies reproducible
  PackedTime calibrationTime{};
  std::array<uint8_t, 3> blockHeader{};
  SlotLayout layout = SlotLayout::kHuman;
  std::vector<Slot> slots = std::vector<Slot>(kSlotCount);
  std::array<uint8_t, kSlotSize> singleTest{};  // the reply to 0x40
  std::vector<uint8_t> unsupportedCommands;     // answered as unknown commands
};

// The layout a model's family stores: equine for families -6 and -7, human for every other code.
SlotLayout LayoutOfModel(int modelCode);

// A realistic analyser of the given model code (0 to 255), generated deterministically from the
// code: varied subjects, a few deleted slots among the tests, never-used slots after them.
AnalyserModel PresetModel(int modelCode);

// Number of slots before the first empty one (the count a host derives), or 100.
int LeadingTestCount(const AnalyserModel& model);

}  // namespace kv::sim

// stored_tests.cpp: slot layouts of the human and equine analysers, and the single test.
// Times are decoded with the daylight-saving flag left to the time-zone rules.
#include "link/stored_tests.h"

#include <cstring>

#include "link/packed_time.h"

namespace kv::link {
namespace {

int32_t Word(SlotBytes slot, size_t offset) { return static_cast<int32_t>(BigEndian16(slot.data() + offset)); }

// Tenths to a float: divided in double precision, then rounded once to single.
float TenthsDouble(SlotBytes slot, size_t offset) {
  return static_cast<float>(static_cast<double>(BigEndian16(slot.data() + offset)) / 10.0);
}

// The single tests divide in single precision.
float TenthsSingle(SlotBytes slot, size_t offset) {
  return static_cast<float>(BigEndian16(slot.data() + offset)) / 10.0f;
}

int64_t SlotTime(SlotBytes slot, const AnalyserIdentity& identity) {
  if (!identity.slotTimesValid) return kNoTime;
  return DecodePackedTime(slot.subspan<12, kPackedTimeSize>(), -1);
}

}  // namespace

void DecodeHumanSlot(SlotBytes slot, const AnalyserIdentity& identity, KVTestRecord& record) {
  const uint8_t flags = slot[0];
  record.modelCode = identity.modelCode;
  record.serialNumber = identity.serialNumber;
  record.testTime = SlotTime(slot, identity);
  record.sex = (flags & 0x08) != 0 ? 0 : 1;
  record.activityLevel = (flags & 0x07) + 1;
  record.age = slot[2];
  record.height = slot[3];
  record.weight = TenthsDouble(slot, 4);
  record.waist = Word(slot, 6);
  record.hip = Word(slot, 8);
  record.impedanceF2 = Word(slot, 10);
  record.impedanceF1 = Word(slot, 18);
  record.resistance = Word(slot, 20);
  record.decimalReading1 = TenthsDouble(slot, 22);
  record.decimalReading2 = TenthsDouble(slot, 24);
  record.impedanceF3 = Word(slot, 26);
  record.impedanceF4 = Word(slot, 28);
}

void DecodeEquineSlot(SlotBytes slot, const AnalyserIdentity& identity, CXTestRecord& record) {
  record = CXTestRecord{};
  record.modelCode = identity.modelCode;
  record.serialNumber = identity.serialNumber;
  record.testTime = SlotTime(slot, identity);
  record.height = slot[3];
  record.decimalReading = TenthsDouble(slot, 8);
  record.impedance50 = Word(slot, 10);
  record.impedance5 = Word(slot, 18);
  record.impedance16 = Word(slot, 20);
  record.impedance24 = Word(slot, 22);
  record.impedance140 = Word(slot, 24);
  record.impedance200 = Word(slot, 26);
  record.impedance280 = Word(slot, 28);
  // The analyser sends 0 when no score was entered; 5 is the default score.
  record.conditionScore = slot[30] == 0 ? 5 : slot[30];
}

namespace {

template <typename Record, typename DecodeSlot>
int32_t DecodeBlock(BlockBytes block, const AnalyserIdentity& identity, std::span<Record, kSlotCount> records,
                    DecodeSlot decodeSlot) {
  int32_t testCount = -1;
  for (size_t i = 0; i < kSlotCount; ++i) {
    const SlotBytes slot{block.data() + i * kSlotSize, kSlotSize};
    if (SlotIsEmpty(slot)) {
      // Every byte, the spectrum pointer included.
      std::memset(static_cast<void*>(&records[i]), 0, sizeof(Record));
      if (testCount < 0) testCount = static_cast<int32_t>(i);
    } else {
      decodeSlot(slot, identity, records[i]);
    }
  }
  return testCount < 0 ? static_cast<int32_t>(kSlotCount) : testCount;
}

}  // namespace

int32_t DecodeHumanBlock(BlockBytes block, const AnalyserIdentity& identity,
                         std::span<KVTestRecord, kSlotCount> records) {
  return DecodeBlock(block, identity, records, DecodeHumanSlot);
}

int32_t DecodeEquineBlock(BlockBytes block, const AnalyserIdentity& identity,
                          std::span<CXTestRecord, kSlotCount> records) {
  return DecodeBlock(block, identity, records, DecodeEquineSlot);
}

KorvantaSingleTest DecodeKorvantaSingleTest(SlotBytes payload) {
  KorvantaSingleTest test;
  test.readings = {Word(payload, 0), Word(payload, 2), Word(payload, 10), Word(payload, 12), Word(payload, 4)};
  test.decimals = {TenthsSingle(payload, 6), TenthsSingle(payload, 8)};
  return test;
}

CaballixSingleTest DecodeCaballixSingleTest(SlotBytes payload) {
  CaballixSingleTest test;
  for (size_t i = 0; i < test.readings.size(); ++i) test.readings[i] = Word(payload, 2 * i);
  test.decimal = TenthsSingle(payload, 14);
  return test;
}

}  // namespace kv::link

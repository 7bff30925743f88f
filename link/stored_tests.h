// stored_tests.h: the analyser's 32-byte test slots and single tests, decoded into the public records.
// Pure decoding of bytes already received: no port, no exchange, no family lookup of its own.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "KorvantaSDK.h"
#include "link/slot_geometry.h"

namespace kv::link {

using SlotBytes = std::span<const uint8_t, kSlotSize>;
using BlockBytes = std::span<const uint8_t, kBlockSize>;

// What a download learns from the model and serial-number exchanges and hands to every record.
struct AnalyserIdentity {
  int32_t modelCode = 0;
  uint32_t serialNumber = 0;
  // Mono analysers and model 13 keep no usable clock in their slots: their
  // records get no time (-1) instead of a decoded one.
  bool slotTimesValid = true;
};

// Big-endian unsigned numbers of the wire.
constexpr uint32_t BigEndian16(const uint8_t* bytes) { return (uint32_t{bytes[0]} << 8) | bytes[1]; }
constexpr uint32_t BigEndian24(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
}

// Bit 6 of a slot's flags byte marks an empty slot.
constexpr bool SlotIsEmpty(SlotBytes slot) { return (slot[0] & 0x40) != 0; }

// Fills a record of a slot in use. The human record keeps the caller's
// spectrumCount and spectrum; the equine record is written whole.
void DecodeHumanSlot(SlotBytes slot, const AnalyserIdentity& identity, KVTestRecord& record);
void DecodeEquineSlot(SlotBytes slot, const AnalyserIdentity& identity, CXTestRecord& record);

// Decodes all 100 slots (an empty slot's record becomes all zero, slots after
// the first empty one are decoded all the same) and returns testCount: the
// index of the first empty slot, or 100 when none is empty.
int32_t DecodeHumanBlock(BlockBytes block, const AnalyserIdentity& identity,
                         std::span<KVTestRecord, kSlotCount> records);
int32_t DecodeEquineBlock(BlockBytes block, const AnalyserIdentity& identity,
                          std::span<CXTestRecord, kSlotCount> records);

// The single test of command 0x40, read the human way...
struct KorvantaSingleTest {
  std::array<int32_t, 5> readings{};  // bytes 0-1, 2-3, 10-11, 12-13, 4-5
  std::array<float, 2> decimals{};    // bytes 6-7 and 8-9, tenths
};
KorvantaSingleTest DecodeKorvantaSingleTest(SlotBytes payload);

// ...and the equine way.
struct CaballixSingleTest {
  std::array<int32_t, 7> readings{};  // bytes 0-1 to 12-13 in order
  float decimal = 0.0f;               // bytes 14-15, tenths
};
CaballixSingleTest DecodeCaballixSingleTest(SlotBytes payload);

}  // namespace kv::link

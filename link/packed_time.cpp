// packed_time.cpp: packed date and time, both directions, over the local-time boundary.
// Applies the breakdown limits itself, so no platform's looser calendar decides them.
#include "link/packed_time.h"

namespace kv::link {

CalendarFields FieldsFromPacked(std::span<const uint8_t, kPackedTimeSize> packed) {
  return {PackedByteValue(packed[0]), PackedByteValue(packed[1]), PackedByteValue(packed[2]),
          PackedByteValue(packed[3]), PackedByteValue(packed[4]), 2000 + PackedByteValue(packed[5])};
}

PackedTime PackedFromFields(const CalendarFields& fields) {
  return {PackedByteOf(fields.second), PackedByteOf(fields.minute), PackedByteOf(fields.hour),
          PackedByteOf(fields.day),    PackedByteOf(fields.month),  PackedByteOf(fields.year - 2000)};
}

int64_t DecodePackedTime(std::span<const uint8_t, kPackedTimeSize> packed, int32_t dstFlag) {
  return LocalFieldsToTime(FieldsFromPacked(packed), dstFlag);
}

std::optional<PackedTime> EncodeDeviceTime(int64_t time) {
  CalendarFields fields;
  if (!CanBreakDown(time) || !TimeToLocalFields(time, fields)) return std::nullopt;
  return PackedFromFields(fields);
}

}  // namespace kv::link

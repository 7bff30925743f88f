// packed_time.h: the analyser's six-byte packed date and time <-> device time values.
// Digits and the limits both builds share live here; the calendar itself is local_time.h's.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "link/local_time.h"

namespace kv::link {

inline constexpr size_t kPackedTimeSize = 6;
using PackedTime = std::array<uint8_t, kPackedTimeSize>;

// The device time value that stands for "no time".
inline constexpr int64_t kNoTime = -1;

// First value the Windows C runtime's local-time breakdown refuses
// (3001-01-01 08:00:00 UTC); negative values are refused as well. Applied on
// every platform so that both builds convert exactly the same values.
inline constexpr int64_t kBreakDownLimit = 32535244800;

// High nibble times 10 plus low nibble; nibbles above 9 are not refused.
constexpr int PackedByteValue(uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

// Two decimal digits, (v / 10) * 16 + v % 10 with truncating division; only the
// low 8 bits go on the wire, so 160 and above wrap and negatives come out as
// their two's complement.
constexpr uint8_t PackedByteOf(int value) { return static_cast<uint8_t>((value / 10) * 16 + value % 10); }

// Bytes in wire order: seconds, minutes, hours, day, month, year minus 2000.
CalendarFields FieldsFromPacked(std::span<const uint8_t, kPackedTimeSize> packed);
PackedTime PackedFromFields(const CalendarFields& fields);

// True for the values the local-time breakdown accepts on every platform.
constexpr bool CanBreakDown(int64_t time) { return time >= 0 && time < kBreakDownLimit; }

// Packed local date and time to a device time value, kNoTime when the date
// cannot be represented. dstFlag as for mktime.
int64_t DecodePackedTime(std::span<const uint8_t, kPackedTimeSize> packed, int32_t dstFlag);

// A device time value to the packed local date and time; empty when it cannot
// be broken down into local time.
std::optional<PackedTime> EncodeDeviceTime(int64_t time);

}  // namespace kv::link

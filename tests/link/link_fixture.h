// link_fixture.h: what the link's tests share: an open link on the scripted fake port, the
// analyser's side of an exchange, slots built from the published slot layout, and time zones.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "KorvantaSDK.h"
#include "fake_serial_port.h"
#include "link/comm.h"

namespace kv::link::testing {

using Bytes = std::vector<uint8_t>;
using Call = FakeSerialPort::Call;
inline constexpr uint8_t kZ = 0x5A;

// Echo of `command`, then the payload, then the acknowledgement (by default "Z\0").
inline Bytes Answer(uint8_t command, Bytes payload = {}, Bytes ack = {kZ, 0x00}) {
  Bytes bytes = {kZ, command};
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  bytes.insert(bytes.end(), ack.begin(), ack.end());
  return bytes;
}

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(KV_OK, comm.Open(u"5")); }
  // The request "Z" + command, answered with `reply`.
  void Exchange(uint8_t command, Bytes reply) { port.ExpectSent({kZ, command}).Reply(std::move(reply)); }

  FakeClock clock;
  FakeSerialPort port{clock};
  CKVComm comm{port, clock};
};

// A 32-byte slot: the flags byte, then bytes and big-endian words at their offsets.
class Slot {
 public:
  explicit Slot(uint8_t flags) { bytes_[0] = flags; }
  Slot& Byte(size_t at, uint8_t value) { bytes_[at] = value; return *this; }
  Slot& Word(size_t at, uint16_t value) { return Byte(at, uint8_t(value >> 8)).Byte(at + 1, uint8_t(value)); }
  Slot& Time(std::array<uint8_t, 6> packed) {
    for (size_t i = 0; i < packed.size(); ++i) bytes_[12 + i] = packed[i];
    return *this;
  }
  const std::array<uint8_t, 32>& Bytes32() const { return bytes_; }
  // The 3200-byte block of `count` copies of this slot.
  Bytes Block(size_t count = 100) const {
    Bytes block;
    for (size_t i = 0; i < count; ++i) block.insert(block.end(), bytes_.begin(), bytes_.end());
    return block;
  }

 private:
  std::array<uint8_t, 32> bytes_{};
};

// An empty slot: bit 6 of the flags set, the rest whatever the analyser's memory held.
inline Slot EmptySlot(uint8_t filler) {
  Slot slot(uint8_t(0x40 | filler));
  for (size_t i = 1; i < 32; ++i) slot.Byte(i, filler);
  return slot;
}

// The same byte-level comparison for records and containers, naming the first differing byte.
template <typename T>
::testing::AssertionResult SameBytes(const T& expected, const T& actual) {
  const auto* e = reinterpret_cast<const uint8_t*>(&expected);
  const auto* a = reinterpret_cast<const uint8_t*>(&actual);
  for (size_t i = 0; i < sizeof(T); ++i)
    if (e[i] != a[i]) return ::testing::AssertionFailure() << "byte " << i << " of " << sizeof(T) << " differs";
  return ::testing::AssertionSuccess();
}

// Zones: no offset and no summer time; no offset in winter and one hour ahead in summer.
inline constexpr const char* kZoneUtc = "UTC0";
inline constexpr const char* kZoneWithSummerTime = "GMT0BST";

// A zone, once set, is never removed again: with TZ removed the Windows C runtime falls back
// to the system's zone and, under Wine, keeps that zone's summer-time bias for every zone
// set afterwards. Where no zone was set before, the scope leaves UTC behind.
class TimeZoneScope {
 public:
  explicit TimeZoneScope(const char* zone) : assignment_(std::string("TZ=") + zone) {
    const char* old = std::getenv("TZ");
    Restore() = std::string("TZ=") + (old != nullptr && *old != 0 ? old : kZoneUtc);
    putenv(assignment_.data());
    tzset();
  }
  ~TimeZoneScope() {
    putenv(Restore().data());
    tzset();
  }
  TimeZoneScope(const TimeZoneScope&) = delete;
  TimeZoneScope& operator=(const TimeZoneScope&) = delete;

 private:
  // putenv keeps the very text it is given, so the texts outlive every scope.
  static std::string& Restore() {
    static std::string text;
    return text;
  }
  std::string assignment_;
};

// Seconds since 1970 of a UTC date, the days counted the plain way (whole years, then months).
constexpr int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int64_t days = day - 1;
  for (int y = 1970; y < year; ++y) days += leap(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += kMonthDays[m - 1] + ((m == 2 && leap(year)) ? 1 : 0);
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace kv::link::testing

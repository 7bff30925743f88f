// link_fixture.h: what the link's tests share: an open link on the scripted fake port, the
// analyser's answer to a request, and time zones with instants counted by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
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
  payload.insert(payload.begin(), {kZ, command});
  payload.insert(payload.end(), ack.begin(), ack.end());
  return payload;
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

// Zones: "UTC0" has no offset and no summer time; "GMT0BST" is one hour ahead in summer.
// A zone, once set, is never removed again: with TZ removed the Windows C runtime falls back
// to the system's zone and, under Wine, keeps that zone's summer-time bias for every zone
// set afterwards. Where no zone was set before, the scope leaves UTC behind.
class TimeZoneScope {
 public:
  explicit TimeZoneScope(const char* zone) : assignment_(std::string("TZ=") + zone) {
    const char* old = std::getenv("TZ");
    Restore() = std::string("TZ=") + (old != nullptr && *old != 0 ? old : "UTC0");
    Set(assignment_);
  }
  ~TimeZoneScope() { Set(Restore()); }
  TimeZoneScope(const TimeZoneScope&) = delete;
  TimeZoneScope& operator=(const TimeZoneScope&) = delete;

 private:
  static void Set(std::string& text) {  // putenv keeps the very text it is given
    putenv(text.data());
    tzset();
  }
  static std::string& Restore() {
    static std::string text;
    return text;
  }
  std::string assignment_;
};

// Seconds since 1970 of a UTC date, the days counted the plain way (whole years, then months).
constexpr int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  int64_t days = day - 1;
  for (int y = 1970; y < year; ++y) days += leap(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += kMonthDays[m - 1] + ((m == 2 && leap(year)) ? 1 : 0);
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace kv::link::testing

// time_zone_scope.h: runs a test in a named local time zone and puts the old one back.
// POSIX-style zone texts that the C library of both builds reads the same way.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace kv::link::testing {

// Zones the clock tests use: no offset and no summer time; no offset in winter
// and one hour ahead in summer (both C libraries put July in summer time).
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

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, counted
// the plain way (whole years, then whole months), to check conversions against.
constexpr int64_t DaysSinceEpoch(int year, int month, int day) {
  auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int64_t days = 0;
  for (int y = 1970; y < year; ++y) days += leap(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += kMonthDays[m - 1] + ((m == 2 && leap(year)) ? 1 : 0);
  return days + day - 1;
}

// Seconds since 1970 UTC of a UTC date and time.
constexpr int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return DaysSinceEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace kv::link::testing

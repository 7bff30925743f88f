// local_time.h: the computer's local-time conversions, both directions (boundary: the interface, and the copies
// to and from the C library's broken-down time both implementations share). One implementation per platform
// in posix/ and win32/; no limits or protocol rules live here.
#pragma once

#include <cstdint>
#include <ctime>

namespace kv::link {

// Calendar fields as the analyser's packed date and time carry them. Values
// outside their usual ranges are allowed: the conversion carries them over.
struct CalendarFields {
  int second = 0;
  int minute = 0;
  int hour = 0;
  int day = 0;    // day of the month, 1 to 31
  int month = 0;  // 1 to 12
  int year = 0;   // full year, 2024
};

// Local calendar fields to seconds since 1970 UTC, with the semantics of mktime:
// fields carry over, dstFlag > 0 summer time in effect, 0 not, < 0 from the
// time-zone rules. -1 when the platform cannot represent the date.
int64_t LocalFieldsToTime(const CalendarFields& fields, int32_t dstFlag);

// Seconds since 1970 UTC to local calendar fields, with the semantics of
// localtime. False when the platform cannot convert the value.
bool TimeToLocalFields(int64_t time, CalendarFields& fields);

// The computer's present time, seconds since 1970 UTC.
int64_t PresentTime();

// The C library's broken-down time for fields, and back: shared by the platform implementations.
inline std::tm ToBrokenDownTime(const CalendarFields& fields, int32_t dstFlag) {
  std::tm tm{};
  tm.tm_sec = fields.second;
  tm.tm_min = fields.minute;
  tm.tm_hour = fields.hour;
  tm.tm_mday = fields.day;
  tm.tm_mon = fields.month - 1;
  tm.tm_year = fields.year - 1900;
  tm.tm_isdst = dstFlag > 0 ? 1 : (dstFlag == 0 ? 0 : -1);
  return tm;
}
inline CalendarFields FromBrokenDownTime(const std::tm& tm) {
  return {tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900};
}

}  // namespace kv::link

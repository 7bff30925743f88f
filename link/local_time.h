// local_time.h: the computer's local-time conversions, both directions (boundary: interface only).
// One implementation per platform in posix/ and win32/; no limits or protocol rules live here.
#pragma once

#include <cstdint>

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

}  // namespace kv::link

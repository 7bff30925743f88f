// local_time_win32.cpp: local-time conversions through the C runtime's 64-bit calls.
// No range limits here: the rules that both builds share are applied by the caller.
#include <ctime>

#include "link/local_time.h"

namespace kv::link {

int64_t LocalFieldsToTime(const CalendarFields& fields, int32_t dstFlag) {
  std::tm tm{};
  tm.tm_sec = fields.second;
  tm.tm_min = fields.minute;
  tm.tm_hour = fields.hour;
  tm.tm_mday = fields.day;
  tm.tm_mon = fields.month - 1;
  tm.tm_year = fields.year - 1900;
  tm.tm_isdst = dstFlag > 0 ? 1 : (dstFlag == 0 ? 0 : -1);
  return static_cast<int64_t>(_mktime64(&tm));
}

bool TimeToLocalFields(int64_t time, CalendarFields& fields) {
  const __time64_t value = time;
  std::tm tm{};
  if (_localtime64_s(&tm, &value) != 0) return false;
  fields = {tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900};
  return true;
}

int64_t PresentTime() { return static_cast<int64_t>(_time64(nullptr)); }

}  // namespace kv::link

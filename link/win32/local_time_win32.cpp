// local_time_win32.cpp: local-time conversions through the C runtime's 64-bit calls.
// No range limits here: the rules that both builds share are applied by the caller.
#include "link/local_time.h"

namespace kv::link {

int64_t LocalFieldsToTime(const CalendarFields& fields, int32_t dstFlag) {
  std::tm tm = ToBrokenDownTime(fields, dstFlag);
  return static_cast<int64_t>(_mktime64(&tm));
}

bool TimeToLocalFields(int64_t time, CalendarFields& fields) {
  const __time64_t value = time;
  std::tm tm{};
  if (_localtime64_s(&tm, &value) != 0) return false;
  fields = FromBrokenDownTime(tm);
  return true;
}

int64_t PresentTime() { return static_cast<int64_t>(_time64(nullptr)); }

}  // namespace kv::link

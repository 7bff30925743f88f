// local_time_posix.cpp: local-time conversions through the C library's reentrant calls.
// No range limits here: the rules that both builds share are applied by the caller.
#include <mutex>

#include "link/local_time.h"

namespace kv::link {
namespace {
// Sessions convert times on several threads at once. Every C library reads its time-zone state
// inside these calls; glibc guards it with a lock of its own, which not every C library does and
// no thread checker sees, so the conversions take turns (a hundred per download: no cost).
std::mutex g_zoneState;
}  // namespace

int64_t LocalFieldsToTime(const CalendarFields& fields, int32_t dstFlag) {
  const std::lock_guard lock(g_zoneState);
  std::tm tm = ToBrokenDownTime(fields, dstFlag);
  const std::time_t time = std::mktime(&tm);
  return static_cast<int64_t>(time);
}

bool TimeToLocalFields(int64_t time, CalendarFields& fields) {
  const std::time_t value = static_cast<std::time_t>(time);
  if (static_cast<int64_t>(value) != time) return false;
  std::tm tm{};
  const std::lock_guard lock(g_zoneState);
  if (localtime_r(&value, &tm) == nullptr) return false;
  fields = FromBrokenDownTime(tm);
  return true;
}

int64_t PresentTime() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace kv::link

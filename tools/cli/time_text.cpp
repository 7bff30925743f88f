// time_text.cpp: ISO 8601 text of device time values. Local breakdown and composition come from
// cli_platform.h; everything else is calendar arithmetic of its own.
#include "time_text.h"

#include <charconv>
#include <ctime>

#include "cli_platform.h"

namespace kv::cli {

namespace {

bool IsLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// printf's %0*d for a value that is not negative, without a format string to interpret.
void AppendPadded(std::string& text, int64_t value, int width) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  for (auto digits = result.ptr - buffer; digits < width; ++digits) text += '0';
  text.append(buffer, result.ptr);
}

std::string Compose(int64_t year, int month, int day, int hour, int minute, int second) {
  std::string text;
  text.reserve(32);
  AppendPadded(text, year, 4);
  text += '-';
  AppendPadded(text, month, 2);
  text += '-';
  AppendPadded(text, day, 2);
  text += 'T';
  AppendPadded(text, hour, 2);
  text += ':';
  AppendPadded(text, minute, 2);
  text += ':';
  AppendPadded(text, second, 2);
  return text;
}

// Reads exactly `digits` decimal digits at `pos`.
bool Digits(std::string_view text, size_t& pos, size_t digits, int& value) {
  if (pos + digits > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += digits;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

std::optional<std::string> IsoTime(int64_t seconds, TimeStyle style) {
  if (seconds == kNoTime) return std::nullopt;
  if (style == TimeStyle::kUtc) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
      rest += 86400;
      --days;
    }
    int64_t year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    if (year < 0 || year > 9999) return std::nullopt;
    const int secondOfDay = static_cast<int>(rest);
    return Compose(year, month, day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60) + "Z";
  }
  std::tm local{};
  int32_t offset = 0;
  if (!LocalBreakDown(seconds, local, offset)) return std::nullopt;
  const int64_t year = int64_t{local.tm_year} + 1900;
  if (year < 0 || year > 9999) return std::nullopt;
  std::string text = Compose(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  const int64_t magnitude = offset < 0 ? -int64_t{offset} : int64_t{offset};
  text += offset < 0 ? '-' : '+';
  AppendPadded(text, magnitude / 3600, 2);
  text += ':';
  AppendPadded(text, magnitude / 60 % 60, 2);
  return text;
}

std::optional<int64_t> ParseIsoTime(std::string_view text) {
  size_t pos = 0;
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!Digits(text, pos, 4, year) || !Expect(text, pos, '-') || !Digits(text, pos, 2, month) ||
      !Expect(text, pos, '-') || !Digits(text, pos, 2, day))
    return std::nullopt;
  if (pos >= text.size() || (text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ')) return std::nullopt;
  ++pos;
  if (!Digits(text, pos, 2, hour) || !Expect(text, pos, ':') || !Digits(text, pos, 2, minute)) return std::nullopt;
  if (pos < text.size() && text[pos] == ':' && !(++pos, Digits(text, pos, 2, second))) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59)
    return std::nullopt;

  const int64_t wallClock = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  if (pos == text.size()) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return LocalMake(local);
  }
  if (text[pos] == 'Z' || text[pos] == 'z') return pos + 1 == text.size() ? std::optional(wallClock) : std::nullopt;
  if (text[pos] != '+' && text[pos] != '-') return std::nullopt;
  const int sign = text[pos] == '-' ? -1 : 1;
  ++pos;
  int offsetHours = 0;
  int offsetMinutes = 0;
  if (!Digits(text, pos, 2, offsetHours)) return std::nullopt;
  if (pos < text.size()) {
    if (text[pos] == ':') ++pos;
    if (!Digits(text, pos, 2, offsetMinutes)) return std::nullopt;
  }
  if (pos != text.size() || offsetHours > 23 || offsetMinutes > 59) return std::nullopt;
  return wallClock - sign * (offsetHours * 3600 + offsetMinutes * 60);
}

}  // namespace kv::cli

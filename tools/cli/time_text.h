// time_text.h: device time values (seconds since 1970 UTC, -1 for none) as ISO 8601 text and back.
// Local times go through cli_platform.h; UTC arithmetic is done here, without the platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv::cli {

enum class TimeStyle {
  kLocal,  // the computer's local time with its offset, "2023-12-24T09:15:30+01:00", as the analyser shows it
  kUtc,    // "2023-12-24T08:15:30Z"
};

inline constexpr int64_t kNoTime = -1;

// nullopt for kNoTime (a Mono analyser's tests carry none) or a value the calendar cannot show.
std::optional<std::string> IsoTime(int64_t seconds, TimeStyle style);

// "YYYY-MM-DD[T| ]HH:MM[:SS]" followed by "Z", "+HH:MM", "+HHMM", "+HH" or nothing (local time).
// nullopt for anything else, including impossible dates such as 2023-02-30.
std::optional<int64_t> ParseIsoTime(std::string_view text);

// Proleptic Gregorian day count from 1970-01-01 and back; exposed for the tests.
int64_t DaysFromCivil(int64_t year, int month, int day);
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day);

}  // namespace kv::cli

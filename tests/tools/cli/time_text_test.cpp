// time_text_test.cpp: ISO 8601 text of device time values, in UTC and in a local zone.
#include "time_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace kv::cli {
namespace {

// 2023-12-24T09:15:30Z by hand: 1970 to 2023 is 53 years with 13 leap days (1972 to 2020), so
// 19358 days; 1 January to 24 December 2023 adds 334 + 23 = 357 days: 19715 days, times 86400
// is 1703376000, plus 9 h 15 min 30 s = 33330 s.
constexpr int64_t kChristmasEve = 1703409330;

TEST(DaysFromCivil, KnownDaysAndRoundTrip) {
  EXPECT_EQ(0, DaysFromCivil(1970, 1, 1));
  EXPECT_EQ(19715, DaysFromCivil(2023, 12, 24));
  // 2000-03-01: 30 years (7 leap days 1972..1996) = 10957 days, plus 31 + 29 = 60: 11017.
  EXPECT_EQ(11017, DaysFromCivil(2000, 3, 1));
  EXPECT_EQ(-1, DaysFromCivil(1969, 12, 31));
  for (int64_t day = -800; day < 40000; day += 37) {
    int64_t year = 0;
    int month = 0;
    int dayOfMonth = 0;
    CivilFromDays(day, year, month, dayOfMonth);
    EXPECT_EQ(day, DaysFromCivil(year, month, dayOfMonth));
  }
}

TEST(IsoTime, UtcAndNoTime) {
  EXPECT_EQ("2023-12-24T09:15:30Z", IsoTime(kChristmasEve, TimeStyle::kUtc));
  EXPECT_EQ("1970-01-01T00:00:00Z", IsoTime(0, TimeStyle::kUtc));
  EXPECT_FALSE(IsoTime(kNoTime, TimeStyle::kUtc));
  EXPECT_FALSE(IsoTime(kNoTime, TimeStyle::kLocal));
}

struct ParseCase {
  const char* name;
  const char* text;
  std::optional<int64_t> seconds;
};

class ParseIso : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseIso, Reads) { EXPECT_EQ(GetParam().seconds, ParseIsoTime(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIso,
    ::testing::Values(ParseCase{"Zulu", "2023-12-24T09:15:30Z", kChristmasEve},
                      ParseCase{"SpaceAndLowerZ", "2023-12-24 09:15:30z", kChristmasEve},
                      ParseCase{"NoSecondsZulu", "2023-12-24T09:15Z", kChristmasEve - 30},
                      ParseCase{"PlusOffset", "2023-12-24T10:15:30+01:00", kChristmasEve},
                      ParseCase{"PlusOffsetNoColon", "2023-12-24T10:15:30+0100", kChristmasEve},
                      ParseCase{"HoursOnlyOffset", "2023-12-24T10:15:30+01", kChristmasEve},
                      ParseCase{"MinusOffset", "2023-12-24T04:45:30-04:30", kChristmasEve},
                      ParseCase{"LeapDay", "2024-02-29T00:00:00Z", int64_t{19782} * 86400},
                      ParseCase{"NoLeapDay", "2023-02-29T00:00:00Z", std::nullopt},
                      ParseCase{"Month13", "2023-13-01T00:00:00Z", std::nullopt},
                      ParseCase{"Hour24", "2023-12-24T24:00:00Z", std::nullopt},
                      ParseCase{"DateOnly", "2023-12-24", std::nullopt},
                      ParseCase{"TrailingGarbage", "2023-12-24T09:15:30Zx", std::nullopt},
                      ParseCase{"ShortYear", "23-12-24T09:15:30Z", std::nullopt},
                      ParseCase{"BadOffset", "2023-12-24T09:15:30+1", std::nullopt}),
    [](const auto& testCase) { return testCase.param.name; });

// The zone is set as a POSIX rule, so no time-zone database is needed: CET, summer time from the
// last Sunday of March to the last Sunday of October. Text without an offset reads as local time.
TEST(IsoTime, LocalZoneBothWays) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  // 2024-07-01T12:00:00Z: 19905 days (19358 + 365 for 2023 + 182 to 1 July 2024, a leap year).
  const int64_t july = int64_t{19905} * 86400 + 12 * 3600;
  EXPECT_EQ("2023-12-24T10:15:30+01:00", IsoTime(kChristmasEve, TimeStyle::kLocal));
  EXPECT_EQ("2024-07-01T14:00:00+02:00", IsoTime(july, TimeStyle::kLocal));
  EXPECT_EQ(kChristmasEve, ParseIsoTime("2023-12-24T10:15:30"));
  EXPECT_EQ(july, ParseIsoTime("2024-07-01T14:00:00"));
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace kv::cli

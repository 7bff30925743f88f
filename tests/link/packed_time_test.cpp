// packed_time_test.cpp: packed date and time against dates counted by hand, in fixed zones.
// Covers carry-over of out-of-range fields, the summer-time flag and the breakdown limits.
#include "link/packed_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "time_zone_scope.h"

namespace kv::link {
namespace {

using testing::kZoneUtc;
using testing::kZoneWithSummerTime;
using testing::TimeZoneScope;
using testing::UtcSeconds;

struct DecodeCase {
  const char* name;
  PackedTime packed;
  int64_t expected;
};

class DecodeInUtc : public ::testing::TestWithParam<DecodeCase> {
 protected:
  TimeZoneScope zone{kZoneUtc};
};

TEST_P(DecodeInUtc, GivesTheLocalDateCountedByHand) {
  EXPECT_EQ(GetParam().expected, DecodePackedTime(GetParam().packed, -1));
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DecodeInUtc,
    ::testing::Values(
        DecodeCase{"FirstOf2000", {0x00, 0x00, 0x00, 0x01, 0x01, 0x00}, UtcSeconds(2000, 1, 1)},
        DecodeCase{"LastSecondOf2099", {0x59, 0x59, 0x23, 0x31, 0x12, 0x99}, UtcSeconds(2099, 12, 31, 23, 59, 59)},
        DecodeCase{"ChristmasEve2023", {0x30, 0x15, 0x09, 0x24, 0x12, 0x23}, UtcSeconds(2023, 12, 24, 9, 15, 30)},
        DecodeCase{"LeapDay2024", {0x00, 0x30, 0x12, 0x29, 0x02, 0x24}, UtcSeconds(2024, 2, 29, 12, 30, 0)},
        DecodeCase{"Day32OfJanuaryIsFirstOfFebruary", {0x05, 0x04, 0x03, 0x32, 0x01, 0x24},
                   UtcSeconds(2024, 2, 1, 3, 4, 5)},
        DecodeCase{"Month13IsJanuaryOfNextYear", {0x00, 0x00, 0x08, 0x15, 0x13, 0x23}, UtcSeconds(2024, 1, 15, 8)},
        DecodeCase{"Minute60IsNextHour", {0x00, 0x60, 0x23, 0x31, 0x12, 0x23}, UtcSeconds(2024, 1, 1)},
        DecodeCase{"DayZeroIsLastOfPreviousMonth", {0x00, 0x00, 0x00, 0x00, 0x03, 0x24}, UtcSeconds(2024, 2, 29)},
        // 0xFF reads as 15 * 10 + 15 = 165 seconds: 2 minutes 45 seconds.
        DecodeCase{"NonDigitSecondsCarry", {0xFF, 0x00, 0x00, 0x01, 0x01, 0x24}, UtcSeconds(2024, 1, 1, 0, 2, 45)},
        // Month 165 of 2023: 164 months after January 2023, 13 years and 8 months on.
        DecodeCase{"NonDigitMonthCarries", {0x00, 0x00, 0x00, 0x01, 0xFF, 0x23}, UtcSeconds(2036, 9, 1)},
        DecodeCase{"NonDigitYearIs2165", {0x00, 0x00, 0x00, 0x01, 0x01, 0xFF}, UtcSeconds(2165, 1, 1)}),
    [](const auto& c) { return std::string(c.param.name); });

// In July both C libraries put GMT0BST one hour ahead of UTC.
TEST(DecodeSummerTime, FlagOneIsAnHourEarlierThanFlagZero) {
  TimeZoneScope zone{kZoneWithSummerTime};
  const PackedTime noonFirstOfJuly{0x00, 0x00, 0x12, 0x01, 0x07, 0x24};
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), DecodePackedTime(noonFirstOfJuly, 1));
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 12), DecodePackedTime(noonFirstOfJuly, 0));
  // Negative: the zone's rules decide, and in July they say summer time.
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), DecodePackedTime(noonFirstOfJuly, -1));
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), DecodePackedTime(noonFirstOfJuly, -7));
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), DecodePackedTime(noonFirstOfJuly, 9));
}

TEST(DecodeSummerTime, RulesGiveWinterTimeInDecember) {
  TimeZoneScope zone{kZoneWithSummerTime};
  const PackedTime christmasEve{0x30, 0x15, 0x09, 0x24, 0x12, 0x23};
  EXPECT_EQ(UtcSeconds(2023, 12, 24, 9, 15, 30), DecodePackedTime(christmasEve, -1));
}

struct EncodeCase {
  const char* name;
  int64_t time;
  std::optional<PackedTime> expected;
};

class EncodeInUtc : public ::testing::TestWithParam<EncodeCase> {
 protected:
  TimeZoneScope zone{kZoneUtc};
};

TEST_P(EncodeInUtc, GivesTheBytesWrittenByHand) {
  EXPECT_EQ(GetParam().expected, EncodeDeviceTime(GetParam().time));
}

INSTANTIATE_TEST_SUITE_P(
    Values, EncodeInUtc,
    ::testing::Values(
        EncodeCase{"FifthOfMarch2024", UtcSeconds(2024, 3, 5, 14, 7, 9), PackedTime{0x09, 0x07, 0x14, 0x05, 0x03, 0x24}},
        EncodeCase{"ChristmasEve2023", UtcSeconds(2023, 12, 24, 9, 15, 30),
                   PackedTime{0x30, 0x15, 0x09, 0x24, 0x12, 0x23}},
        EncodeCase{"LastSecondOf2099", UtcSeconds(2099, 12, 31, 23, 59, 59),
                   PackedTime{0x59, 0x59, 0x23, 0x31, 0x12, 0x99}},
        // Year 100 after 2000: tens digit 10, so 10 * 16 = 0xA0.
        EncodeCase{"Year2100HasTensAboveNine", UtcSeconds(2100, 1, 1), PackedTime{0x00, 0x00, 0x00, 0x01, 0x01, 0xA0}},
        // 160 -> 16 * 16 = 256, of which the low 8 bits are 0x00; 165 -> 261 -> 0x05.
        EncodeCase{"Year2160WrapsToZero", UtcSeconds(2160, 6, 1), PackedTime{0x00, 0x00, 0x00, 0x01, 0x06, 0x00}},
        EncodeCase{"Year2165WrapsToFive", UtcSeconds(2165, 6, 1), PackedTime{0x00, 0x00, 0x00, 0x01, 0x06, 0x05}},
        // -1 -> 0 * 16 + (-1) = -1 -> 0xFF.
        EncodeCase{"Year1999IsMinusOne", UtcSeconds(1999, 12, 31, 23, 59, 59),
                   PackedTime{0x59, 0x59, 0x23, 0x31, 0x12, 0xFF}},
        // -30 -> -3 * 16 + 0 = -48 -> 0xD0.
        EncodeCase{"ZeroIs1970", 0, PackedTime{0x00, 0x00, 0x00, 0x01, 0x01, 0xD0}},
        // 3001-01-01 07:59:59: 1001 -> 100 * 16 + 1 = 1601 = 0x641 -> 0x41.
        EncodeCase{"LastConvertibleValue", 32535244799, PackedTime{0x59, 0x59, 0x07, 0x01, 0x01, 0x41}},
        EncodeCase{"LimitItselfFails", 32535244800, std::nullopt},
        EncodeCase{"LargestValueFails", std::numeric_limits<int64_t>::max(), std::nullopt},
        EncodeCase{"MinusOneFails", -1, std::nullopt}, EncodeCase{"MinusFiveFails", -5, std::nullopt},
        EncodeCase{"SmallestValueFails", std::numeric_limits<int64_t>::min(), std::nullopt}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(EncodeSummerTime, WritesTheLocalClockReading) {
  TimeZoneScope zone{kZoneWithSummerTime};
  // 11:00 UTC in July is noon summer time; in January the clock reads UTC.
  EXPECT_EQ((PackedTime{0x00, 0x00, 0x12, 0x01, 0x07, 0x24}), EncodeDeviceTime(UtcSeconds(2024, 7, 1, 11)));
  EXPECT_EQ((PackedTime{0x00, 0x00, 0x11, 0x01, 0x01, 0x24}), EncodeDeviceTime(UtcSeconds(2024, 1, 1, 11)));
}

// The limits are the same in every zone: they are applied before the platform's conversion.
TEST(EncodeLimits, HoldInAZoneWithSummerTime) {
  TimeZoneScope zone{kZoneWithSummerTime};
  EXPECT_FALSE(EncodeDeviceTime(-1).has_value());
  EXPECT_FALSE(EncodeDeviceTime(kBreakDownLimit).has_value());
  EXPECT_TRUE(EncodeDeviceTime(0).has_value());
  EXPECT_TRUE(EncodeDeviceTime(kBreakDownLimit - 1).has_value());
}

TEST(PackedTimeRoundTrip, EveryFewHoursOverTheWholeCentury) {
  TimeZoneScope zone{kZoneUtc};
  int failures = 0;
  for (int64_t time = UtcSeconds(2000, 1, 1); time < UtcSeconds(2100, 1, 1); time += 7 * 3600 + 13 * 60 + 17) {
    const std::optional<PackedTime> packed = EncodeDeviceTime(time);
    if (!packed || DecodePackedTime(*packed, -1) != time) ++failures;
  }
  EXPECT_EQ(0, failures);
}

struct DigitCase {
  uint8_t byte;
  int value;
};

TEST(PackedDigits, BothWaysForEveryTwoDigitNumber) {
  for (int value = 0; value <= 99; ++value) {
    const uint8_t byte = static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
    EXPECT_EQ(byte, PackedByteOf(value)) << value;
    EXPECT_EQ(value, PackedByteValue(byte)) << value;
  }
  // Nibbles above 9 are added as they are: 0xA0 is 100, 0x1F is 25, 0xFF is 165.
  for (DigitCase c : {DigitCase{0xA0, 100}, DigitCase{0x1F, 25}, DigitCase{0xFF, 165}}) {
    EXPECT_EQ(c.value, PackedByteValue(c.byte));
  }
}

TEST(PackedFields, WireOrderIsSecondsFirstYearLast) {
  const PackedTime packed{0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  const CalendarFields fields = FieldsFromPacked(packed);
  EXPECT_EQ(1, fields.second);
  EXPECT_EQ(2, fields.minute);
  EXPECT_EQ(3, fields.hour);
  EXPECT_EQ(4, fields.day);
  EXPECT_EQ(5, fields.month);
  EXPECT_EQ(2006, fields.year);
  EXPECT_EQ(packed, PackedFromFields(fields));
}

}  // namespace
}  // namespace kv::link

// packed_time_test.cpp: the analyser's packed date and time both ways in UTC, against instants
// counted by hand: carry-over of out-of-range fields, digits above 9 and the breakdown limits.
#include "link/packed_time.h"

#include <limits>

#include "link_fixture.h"

namespace kv::link {
namespace {

using testing::UtcSeconds;

struct PackedCase {
  const char* name;
  PackedTime packed;
  int64_t time;
  bool decodes;  // the packed bytes read back as `time` (else only `time` encodes to them)
  bool encodes;  // `time` encodes to the packed bytes (else it is refused, or only decoding is meant)
};

class PackedTimeInUtc : public ::testing::TestWithParam<PackedCase> {
  testing::TimeZoneScope zone{"UTC0"};
};

TEST_P(PackedTimeInUtc, BothWays) {
  const PackedCase& c = GetParam();
  const std::optional<PackedTime> encoded = c.encodes ? std::optional(c.packed) : std::nullopt;
  EXPECT_TRUE(!c.decodes || c.time == DecodePackedTime(c.packed, -1)) << "decoded";
  EXPECT_TRUE((c.decodes && !c.encodes) || encoded == EncodeDeviceTime(c.time)) << "encoded";
}

INSTANTIATE_TEST_SUITE_P(
    Dates, PackedTimeInUtc,
    ::testing::Values(
        PackedCase{"ChristmasEve2023", {0x30, 0x15, 0x09, 0x24, 0x12, 0x23}, UtcSeconds(2023, 12, 24, 9, 15, 30), 1, 1},
        PackedCase{"LeapDay2024", {0x00, 0x30, 0x12, 0x29, 0x02, 0x24}, UtcSeconds(2024, 2, 29, 12, 30, 0), 1, 1},
        PackedCase{"LastSecondOf2099", {0x59, 0x59, 0x23, 0x31, 0x12, 0x99}, UtcSeconds(2099, 12, 31, 23, 59, 59), 1,
            1},
        PackedCase{"Day32IsFirstOfFebruary", {0x05, 0x04, 0x03, 0x32, 0x01, 0x24}, UtcSeconds(2024, 2, 1, 3, 4, 5),
            1, 0},
        PackedCase{"Month13IsNextJanuary", {0x00, 0x00, 0x08, 0x15, 0x13, 0x23}, UtcSeconds(2024, 1, 15, 8), 1, 0},
        PackedCase{"DayZeroIsLastOfPreviousMonth", {0x00, 0x00, 0x00, 0x00, 0x03, 0x24}, UtcSeconds(2024, 2, 29), 1, 0},
        // 0xFF reads as 15 * 10 + 15 = 165: seconds, minutes and hours carry over.
        PackedCase{"NonDigitsCarry", {0xFF, 0xFF, 0xFF, 0x01, 0x01, 0x24}, UtcSeconds(2024, 1, 7, 23, 47, 45), 1, 0},
        // Month 165 of 2023: 164 months after January 2023, 13 years and 8 months on.
        PackedCase{"NonDigitMonth", {0x00, 0x00, 0x00, 0x01, 0xFF, 0x23}, UtcSeconds(2036, 9, 1), 1, 0},
        PackedCase{"NonDigitYearIs2165", {0x00, 0x00, 0x00, 0x01, 0x01, 0xFF}, UtcSeconds(2165, 1, 1), 1, 0},
        // Year 100 after 2000: tens digit 10, so 10 * 16 = 0xA0; 160 -> 256, low 8 bits 0x00.
        PackedCase{"Year2100", {0x00, 0x00, 0x00, 0x01, 0x01, 0xA0}, UtcSeconds(2100, 1, 1), 0, 1},
        PackedCase{"Year2160Wraps", {0x00, 0x00, 0x00, 0x01, 0x06, 0x00}, UtcSeconds(2160, 6, 1), 0, 1},
        // -1 -> 0 * 16 + (-1) -> 0xFF; -30 -> -3 * 16 + 0 = -48 -> 0xD0.
        PackedCase{"Year1999", {0x59, 0x59, 0x23, 0x31, 0x12, 0xFF}, UtcSeconds(1999, 12, 31, 23, 59, 59), 0, 1},
        PackedCase{"ZeroIs1970", {0x00, 0x00, 0x00, 0x01, 0x01, 0xD0}, 0, 0, 1},
        // 3001-01-01 07:59:59: 1001 -> 100 * 16 + 1 = 0x641 -> 0x41.
        PackedCase{"LastConvertible", {0x59, 0x59, 0x07, 0x01, 0x01, 0x41}, kBreakDownLimit - 1, 0, 1},
        PackedCase{"LimitRefused", {}, kBreakDownLimit, 0, 0}, PackedCase{"MinusOneRefused", {}, -1, 0, 0},
        PackedCase{"LargestRefused", {}, std::numeric_limits<int64_t>::max(), 0, 0},
        PackedCase{"SmallestRefused", {}, std::numeric_limits<int64_t>::min(), 0, 0}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(PackedTime, RoundTripEveryFewHoursOverTheCentury) {
  testing::TimeZoneScope zone{"UTC0"};
  int failures = 0;
  for (int64_t time = UtcSeconds(2000, 1, 1); time < UtcSeconds(2100, 1, 1); time += 7 * 3600 + 13 * 60 + 17) {
    const std::optional<PackedTime> packed = EncodeDeviceTime(time);
    failures += !packed || DecodePackedTime(*packed, -1) != time;
  }
  EXPECT_EQ(0, failures);
}

}  // namespace
}  // namespace kv::link

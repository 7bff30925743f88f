// clock_test.cpp: the packed date and time both ways, and the clock commands over the scripted
// port, in fixed zones, against instants counted by hand. Refused times send nothing.
#include <limits>
#include <optional>

#include "link/commands.h"
#include "link/packed_time.h"
#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;

struct DecodeCase {
  const char* name;
  PackedTime packed;
  int64_t expected;
};

class DecodeInUtc : public ::testing::TestWithParam<DecodeCase> {
  TimeZoneScope zone{kZoneUtc};
};

TEST_P(DecodeInUtc, GivesTheDateCountedByHand) { EXPECT_EQ(GetParam().expected, DecodePackedTime(GetParam().packed, -1)); }

INSTANTIATE_TEST_SUITE_P(
    Dates, DecodeInUtc,
    ::testing::Values(
        DecodeCase{"FirstOf2000", {0x00, 0x00, 0x00, 0x01, 0x01, 0x00}, UtcSeconds(2000, 1, 1)},
        DecodeCase{"ChristmasEve2023", {0x30, 0x15, 0x09, 0x24, 0x12, 0x23}, UtcSeconds(2023, 12, 24, 9, 15, 30)},
        DecodeCase{"LeapDay2024", {0x00, 0x30, 0x12, 0x29, 0x02, 0x24}, UtcSeconds(2024, 2, 29, 12, 30, 0)},
        DecodeCase{"Day32IsFirstOfFebruary", {0x05, 0x04, 0x03, 0x32, 0x01, 0x24}, UtcSeconds(2024, 2, 1, 3, 4, 5)},
        DecodeCase{"Month13IsNextJanuary", {0x00, 0x00, 0x08, 0x15, 0x13, 0x23}, UtcSeconds(2024, 1, 15, 8)},
        DecodeCase{"DayZeroIsLastOfPreviousMonth", {0x00, 0x00, 0x00, 0x00, 0x03, 0x24}, UtcSeconds(2024, 2, 29)},
        // 0xFF reads as 15 * 10 + 15 = 165: seconds, minutes and hours carry over.
        DecodeCase{"NonDigitsCarry", {0xFF, 0xFF, 0xFF, 0x01, 0x01, 0x24}, UtcSeconds(2024, 1, 7, 23, 47, 45)},
        // Month 165 of 2023: 164 months after January 2023, 13 years and 8 months on.
        DecodeCase{"NonDigitMonth", {0x00, 0x00, 0x00, 0x01, 0xFF, 0x23}, UtcSeconds(2036, 9, 1)},
        DecodeCase{"NonDigitYearIs2165", {0x00, 0x00, 0x00, 0x01, 0x01, 0xFF}, UtcSeconds(2165, 1, 1)}),
    [](const auto& c) { return std::string(c.param.name); });

struct EncodeCase {
  const char* name;
  int64_t time;
  std::optional<PackedTime> expected;
};

class EncodeInUtc : public ::testing::TestWithParam<EncodeCase> {
  TimeZoneScope zone{kZoneUtc};
};

TEST_P(EncodeInUtc, GivesTheBytesWrittenByHand) { EXPECT_EQ(GetParam().expected, EncodeDeviceTime(GetParam().time)); }

INSTANTIATE_TEST_SUITE_P(
    Values, EncodeInUtc,
    ::testing::Values(
        EncodeCase{"FifthOfMarch2024", UtcSeconds(2024, 3, 5, 14, 7, 9), PackedTime{0x09, 0x07, 0x14, 0x05, 0x03, 0x24}},
        EncodeCase{"LastSecondOf2099", UtcSeconds(2099, 12, 31, 23, 59, 59), PackedTime{0x59, 0x59, 0x23, 0x31, 0x12, 0x99}},
        // Year 100 after 2000: tens digit 10, so 10 * 16 = 0xA0; 160 -> 256, low 8 bits 0x00.
        EncodeCase{"Year2100", UtcSeconds(2100, 1, 1), PackedTime{0x00, 0x00, 0x00, 0x01, 0x01, 0xA0}},
        EncodeCase{"Year2160Wraps", UtcSeconds(2160, 6, 1), PackedTime{0x00, 0x00, 0x00, 0x01, 0x06, 0x00}},
        // -1 -> 0 * 16 + (-1) -> 0xFF; -30 -> -3 * 16 + 0 = -48 -> 0xD0.
        EncodeCase{"Year1999", UtcSeconds(1999, 12, 31, 23, 59, 59), PackedTime{0x59, 0x59, 0x23, 0x31, 0x12, 0xFF}},
        EncodeCase{"ZeroIs1970", 0, PackedTime{0x00, 0x00, 0x00, 0x01, 0x01, 0xD0}},
        // 3001-01-01 07:59:59: 1001 -> 100 * 16 + 1 = 0x641 -> 0x41.
        EncodeCase{"LastConvertible", kBreakDownLimit - 1, PackedTime{0x59, 0x59, 0x07, 0x01, 0x01, 0x41}},
        EncodeCase{"LimitFails", kBreakDownLimit, std::nullopt},
        EncodeCase{"LargestFails", std::numeric_limits<int64_t>::max(), std::nullopt},
        EncodeCase{"MinusOneFails", -1, std::nullopt},
        EncodeCase{"SmallestFails", std::numeric_limits<int64_t>::min(), std::nullopt}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(PackedTime, SummerTimeFlagAndLocalClockReading) {
  TimeZoneScope zone{kZoneWithSummerTime};  // July: one hour ahead of UTC in both C libraries
  const PackedTime noonFirstOfJuly{0x00, 0x00, 0x12, 0x01, 0x07, 0x24};
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), DecodePackedTime(noonFirstOfJuly, 1));
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 12), DecodePackedTime(noonFirstOfJuly, 0));
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), DecodePackedTime(noonFirstOfJuly, -1));  // the rules say summer
  EXPECT_EQ(UtcSeconds(2023, 12, 24, 9, 15, 30), DecodePackedTime(PackedTime{0x30, 0x15, 0x09, 0x24, 0x12, 0x23}, -1));
  EXPECT_EQ(noonFirstOfJuly, EncodeDeviceTime(UtcSeconds(2024, 7, 1, 11)));
  EXPECT_EQ((PackedTime{0x00, 0x00, 0x11, 0x01, 0x01, 0x24}), EncodeDeviceTime(UtcSeconds(2024, 1, 1, 11)));
  EXPECT_FALSE(EncodeDeviceTime(kBreakDownLimit).has_value());  // the limits hold in every zone
}

TEST(PackedTime, RoundTripEveryFewHoursOverTheCentury) {
  TimeZoneScope zone{kZoneUtc};
  int failures = 0;
  for (int64_t time = UtcSeconds(2000, 1, 1); time < UtcSeconds(2100, 1, 1); time += 7 * 3600 + 13 * 60 + 17) {
    const std::optional<PackedTime> packed = EncodeDeviceTime(time);
    failures += !packed || DecodePackedTime(*packed, -1) != time;
  }
  EXPECT_EQ(0, failures);
}

// ---- The commands

struct ReadCase {
  const char* name;
  uint8_t command;
  int32_t flag;  // the daylight-saving flag given to ReadCurrentTime
  Bytes reply;
  int code;
  int64_t time;  // in the zone with summer time; kUntouched when no payload came
};

constexpr int64_t kUntouched = 0x1234;
const Bytes kNoonJuly = {0x00, 0x00, 0x12, 0x01, 0x07, 0x24};

class ClockRead : public CommandTest, public ::testing::WithParamInterface<ReadCase> {
  TimeZoneScope zone{kZoneWithSummerTime};
};

TEST_P(ClockRead, DecodesAsSoonAsThePayloadIsIn) {
  const ReadCase& c = GetParam();
  Exchange(c.command, c.reply);
  int64_t time = kUntouched;
  EXPECT_EQ(c.code, c.command == 0x31 ? ReadCurrentTime(comm, time, c.flag) : ReadCalibrationTime(comm, time));
  EXPECT_EQ(c.time, time);
  EXPECT_TRUE(port.ScriptDone());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ClockRead,
    ::testing::Values(ReadCase{"SummerFlag", 0x31, 1, Answer(0x31, kNoonJuly), KV_OK, UtcSeconds(2024, 7, 1, 11)},
                      ReadCase{"WinterFlag", 0x31, 0, Answer(0x31, kNoonJuly), KV_OK, UtcSeconds(2024, 7, 1, 12)},
                      ReadCase{"WrongAckKeepsTheTime", 0x31, 0, Answer(0x31, {0, 0, 0, 1, 1, 0}, {kZ, 0x31}), KV_ERR_ACK,
                               UtcSeconds(2000, 1, 1)},
                      ReadCase{"WrongEcho", 0x31, -1, {kZ, 0x33, 0, 0, 0, 1, 1, 0}, KV_ERR_ECHO, kUntouched},
                      ReadCase{"CutShort", 0x31, -1, {kZ, 0x31, 0, 0, 0, 1, 1}, KV_ERR_RECEIVE, kUntouched},
                      ReadCase{"CalibrationByTheRules", 0x33, 0, Answer(0x33, kNoonJuly, {kZ, 0x01}), KV_ERR_ACK,
                               UtcSeconds(2024, 7, 1, 11)}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(CommandTest, WriteCurrentTimeSendsTheLocalTimeAsPackedDigits) {
  TimeZoneScope zone{kZoneWithSummerTime};
  port.ExpectSent({kZ, 0x91}).Reply({kZ, 0x91});
  port.ExpectSent(kNoonJuly).Reply({kZ, 0x00});
  EXPECT_EQ(KV_OK, WriteCurrentTimeAs(comm, UtcSeconds(2024, 7, 1, 11)));
  EXPECT_TRUE(port.ScriptDone());
  // The time is converted before the request: a refused value sends nothing at all, so the
  // analyser is not left waiting for clock data.
  EXPECT_EQ(KV_ERR_ACK, WriteCurrentTimeAs(comm, -5));
  EXPECT_EQ(KV_ERR_ACK, WriteCurrentTimeAs(comm, kBreakDownLimit));
  EXPECT_EQ(8u, port.Sent().size());
  port.ExpectSent({kZ, 0x91}).Reply({kZ, 0x31});
  EXPECT_EQ(KV_ERR_ECHO, WriteCurrentTimeAs(comm, 0));
  EXPECT_EQ(10u, port.Sent().size());
}

TEST_F(CommandTest, WriteCurrentTimeSendsThePresentTime) {
  TimeZoneScope zone{kZoneUtc};
  port.AcceptAnySent();
  port.Reply({kZ, 0x91}).Reply({kZ, 0x00});
  const int64_t before = PresentTime();
  EXPECT_EQ(KV_OK, WriteCurrentTime(comm));
  const int64_t after = PresentTime();
  const Bytes sent = port.SentBytes();
  ASSERT_EQ(8u, sent.size());
  // The digits, read back by the decoder checked above, name a moment within the call.
  const int64_t written = DecodePackedTime(std::span<const uint8_t, 6>(sent.data() + 2, 6), -1);
  EXPECT_GE(written, before);
  EXPECT_LE(written, after);
  EXPECT_GT(before, UtcSeconds(2024, 1, 1));
}

}  // namespace
}  // namespace kv::link

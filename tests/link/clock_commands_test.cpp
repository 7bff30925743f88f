// clock_commands_test.cpp: reading and setting the analyser's clock over the scripted port,
// in fixed zones, with expected instants counted by hand; refused times send nothing.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "command_fixture.h"
#include "link/commands.h"
#include "link/local_time.h"
#include "time_zone_scope.h"

namespace kv::link {
namespace {

using testing::Answer;
using testing::CommandTest;
using testing::kZ;
using testing::kZoneUtc;
using testing::kZoneWithSummerTime;
using testing::TimeZoneScope;
using testing::UtcSeconds;
using std::chrono::milliseconds;

constexpr int64_t kUntouched = 0x1234;

class ClockTest : public CommandTest {
 protected:
  TimeZoneScope zone{kZoneUtc};
};

struct ReadCase {
  const char* name;
  std::vector<uint8_t> reply;
  int code;
  int64_t time;
};

class ReadCurrentTimeTest : public ClockTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadCurrentTimeTest, DecodedAsSoonAsThePayloadIsIn) {
  Exchange(0x31, GetParam().reply);
  int64_t time = kUntouched;
  EXPECT_EQ(GetParam().code, ReadCurrentTime(comm, time, -1));
  EXPECT_EQ(GetParam().time, time);
  EXPECT_TRUE(port.ScriptDone());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadCurrentTimeTest,
    ::testing::Values(
        ReadCase{"ChristmasEve2023", Answer(0x31, {0x30, 0x15, 0x09, 0x24, 0x12, 0x23}), 0,
                 UtcSeconds(2023, 12, 24, 9, 15, 30)},
        ReadCase{"Month13IsNotRefused", Answer(0x31, {0x00, 0x00, 0x00, 0x01, 0x13, 0x23}), 0, UtcSeconds(2024, 1, 1)},
        // 165 seconds, minutes and hours: 2:45 + 2h45 + 6d21h on 1 January 2024.
        ReadCase{"NonDigitBytesCarryOver", Answer(0x31, {0xFF, 0xFF, 0xFF, 0x01, 0x01, 0x24}), 0,
                 UtcSeconds(2024, 1, 1) + 165 + 165 * 60 + 165 * 3600},
        ReadCase{"AckWrongKeepsTheTime", Answer(0x31, {0x00, 0x00, 0x00, 0x01, 0x01, 0x00}, {kZ, 0x31}), -54,
                 UtcSeconds(2000, 1, 1)},
        ReadCase{"EchoWrongLeavesItUntouched", {kZ, 0x33, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00}, -53, kUntouched},
        ReadCase{"TruncatedPayload", {kZ, 0x31, 0x00, 0x00, 0x00, 0x01, 0x01}, -55, kUntouched},
        ReadCase{"Silence", {}, -55, kUntouched}),
    [](const auto& c) { return std::string(c.param.name); });

// Noon on 1 July 2024 read in a zone one hour ahead in summer.
class SummerClockTest : public CommandTest {
 protected:
  TimeZoneScope zone{kZoneWithSummerTime};
  const std::vector<uint8_t> noonFirstOfJuly = Answer(0x31, {0x00, 0x00, 0x12, 0x01, 0x07, 0x24});
};

TEST_F(SummerClockTest, FlagOneIsTheSummerOffsetEarlierThanFlagZero) {
  Exchange(0x31, noonFirstOfJuly);
  Exchange(0x31, noonFirstOfJuly);
  Exchange(0x31, noonFirstOfJuly);
  int64_t withSummer = 0, withoutSummer = 0, byRules = 0;
  EXPECT_EQ(0, ReadCurrentTime(comm, withSummer, 1));
  EXPECT_EQ(0, ReadCurrentTime(comm, withoutSummer, 0));
  EXPECT_EQ(0, ReadCurrentTime(comm, byRules, -1));
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), withSummer);
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 12), withoutSummer);
  EXPECT_EQ(3600, withoutSummer - withSummer);
  EXPECT_EQ(withSummer, byRules);  // July: the rules say summer time
}

TEST_F(SummerClockTest, CalibrationTimeFollowsTheZoneRules) {
  Exchange(0x33, Answer(0x33, {0x00, 0x00, 0x12, 0x01, 0x07, 0x24}));
  Exchange(0x33, Answer(0x33, {0x00, 0x00, 0x12, 0x01, 0x01, 0x24}, {kZ, 0x00}));
  int64_t july = 0, january = 0;
  EXPECT_EQ(0, ReadCalibrationTime(comm, july));
  EXPECT_EQ(0, ReadCalibrationTime(comm, january));
  EXPECT_EQ(UtcSeconds(2024, 7, 1, 11), july);
  EXPECT_EQ(UtcSeconds(2024, 1, 1, 12), january);
}

TEST_F(ClockTest, CalibrationTimeKeptAfterWrongAck) {
  Exchange(0x33, Answer(0x33, {0x59, 0x59, 0x23, 0x31, 0x12, 0x99}, {0x5B, 0x00}));
  int64_t time = kUntouched;
  EXPECT_EQ(-54, ReadCalibrationTime(comm, time));
  EXPECT_EQ(UtcSeconds(2099, 12, 31, 23, 59, 59), time);
}

struct WriteCase {
  const char* name;
  int64_t time;
  std::vector<uint8_t> data;
};

class WriteCurrentTimeAsTest : public ClockTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteCurrentTimeAsTest, SendsTheLocalTimeAsPackedDigits) {
  port.ExpectSent({kZ, 0x91}).Reply({kZ, 0x91});
  port.ExpectSent(GetParam().data).Reply({kZ, 0x00});
  EXPECT_EQ(0, WriteCurrentTimeAs(comm, GetParam().time));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(8u, port.Sent().size());
}

INSTANTIATE_TEST_SUITE_P(
    Values, WriteCurrentTimeAsTest,
    ::testing::Values(
        WriteCase{"FifthOfMarch2024", UtcSeconds(2024, 3, 5, 14, 7, 9), {0x09, 0x07, 0x14, 0x05, 0x03, 0x24}},
        WriteCase{"Year2100", UtcSeconds(2100, 2, 3, 4, 5, 6), {0x06, 0x05, 0x04, 0x03, 0x02, 0xA0}},
        // Year 2160: 160 -> 16 * 16 = 0x100, low 8 bits 0x00.
        WriteCase{"Year2160", UtcSeconds(2160, 1, 1), {0x00, 0x00, 0x00, 0x01, 0x01, 0x00}},
        WriteCase{"ZeroIsTheFirstConvertible", 0, {0x00, 0x00, 0x00, 0x01, 0x01, 0xD0}},
        WriteCase{"LastConvertible", 32535244799, {0x59, 0x59, 0x07, 0x01, 0x01, 0x41}}),
    [](const auto& c) { return std::string(c.param.name); });

// The time is converted before the request: a refused value sends nothing at all, so the
// analyser is not left waiting for clock data and the next command is answered normally.
class UnconvertibleTimeTest : public ClockTest, public ::testing::WithParamInterface<int64_t> {};

TEST_P(UnconvertibleTimeTest, GivesMinus54WithNothingSent) {
  EXPECT_EQ(-54, WriteCurrentTimeAs(comm, GetParam()));
  EXPECT_TRUE(port.Sent().empty());
  Exchange(0x23, Answer(0x23, {0x01, 0x02, 0x03}));
  uint32_t serial = 0;
  EXPECT_EQ(0, ReadSerialNumber(comm, serial));
  EXPECT_EQ(66051u, serial);
}

INSTANTIATE_TEST_SUITE_P(Values, UnconvertibleTimeTest,
                         ::testing::Values(int64_t{-1}, int64_t{-5}, int64_t{32535244800}, int64_t{32535244801},
                                           std::numeric_limits<int64_t>::max(),
                                           std::numeric_limits<int64_t>::min()));

TEST_F(ClockTest, WriteStopsAtWrongEchoAndReportsWrongAck) {
  port.ExpectSent({kZ, 0x91}).Reply({kZ, 0x31});
  EXPECT_EQ(-53, WriteCurrentTimeAs(comm, UtcSeconds(2024, 3, 5, 14, 7, 9)));
  EXPECT_EQ(2u, port.Sent().size());
  port.ExpectSent({kZ, 0x91}).Reply({kZ, 0x91});
  port.ExpectSent({0x09, 0x07, 0x14, 0x05, 0x03, 0x24}).Reply({kZ, 0x91});
  EXPECT_EQ(-54, WriteCurrentTimeAs(comm, UtcSeconds(2024, 3, 5, 14, 7, 9)));
  EXPECT_TRUE(port.ScriptDone());
}

TEST_F(ClockTest, ClockDataIsPacedLikeEveryByte) {
  port.ExpectSent({kZ, 0x91}).Reply({kZ, 0x91});
  port.ExpectSent({0x09, 0x07, 0x14, 0x05, 0x03, 0x24}).Reply({kZ, 0x00});
  EXPECT_EQ(0, WriteCurrentTimeAs(comm, UtcSeconds(2024, 3, 5, 14, 7, 9)));
  const auto& sent = port.Sent();
  ASSERT_EQ(8u, sent.size());
  for (size_t i = 3; i < sent.size(); ++i) EXPECT_GE(sent[i].at - sent[i - 1].at, milliseconds{200}) << i;
}

TEST_F(SummerClockTest, WriteInSummerSendsTheSummerClockReading) {
  port.ExpectSent({kZ, 0x91}).Reply({kZ, 0x91});
  port.ExpectSent({0x00, 0x00, 0x12, 0x01, 0x07, 0x24}).Reply({kZ, 0x00});
  EXPECT_EQ(0, WriteCurrentTimeAs(comm, UtcSeconds(2024, 7, 1, 11)));
  EXPECT_TRUE(port.ScriptDone());
}

// The present time is read once; the bytes must be the local time of a moment within the call.
TEST_F(ClockTest, WriteCurrentTimeSendsThePresentTime) {
  port.AcceptAnySent();
  port.Reply({kZ, 0x91}).Reply({kZ, 0x00});
  const int64_t before = PresentTime();
  EXPECT_EQ(0, WriteCurrentTime(comm));
  const int64_t after = PresentTime();
  const std::vector<uint8_t> sent = port.SentBytes();
  ASSERT_EQ(8u, sent.size());
  EXPECT_EQ(kZ, sent[0]);
  EXPECT_EQ(0x91, sent[1]);
  bool matched = false;
  for (int64_t t = before; t <= after; ++t) {
    const int64_t days = t / 86400;
    const int64_t secondOfDay = t % 86400;
    // Digits counted directly in UTC: seconds, minutes, hours, then the date of `days`.
    const auto bcd = [](int64_t v) { return static_cast<uint8_t>((v / 10) * 16 + v % 10); };
    int year = 1970;
    while (testing::DaysSinceEpoch(year + 1, 1, 1) <= days) ++year;
    int month = 1;
    while (month < 12 && testing::DaysSinceEpoch(year, month + 1, 1) <= days) ++month;
    const int64_t day = days - testing::DaysSinceEpoch(year, month, 1) + 1;
    const std::vector<uint8_t> expected = {kZ, 0x91, bcd(secondOfDay % 60), bcd(secondOfDay / 60 % 60),
                                           bcd(secondOfDay / 3600), bcd(day), bcd(month), bcd(year - 2000)};
    matched = matched || expected == sent;
  }
  EXPECT_TRUE(matched);
}

}  // namespace
}  // namespace kv::link

// sim_faults_test.cpp: each injected fault shapes the reply bytes as documented, and the fault
// text form parses (and refuses) as documented.
#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace kv::sim::testing {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kSerialReply{0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00};

struct FaultCase {
  const char* name;
  const char* fault;
  std::vector<Bytes> requests;  // sent one after another on a connected line
  std::vector<Bytes> replies;   // what each request brings back
};

class FaultReplies : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultReplies, ShapeTheReply) {
  std::string error;
  auto fault = ParseFault(GetParam().fault, &error);
  ASSERT_TRUE(fault) << error;
  Scenario s = HandScenario();
  s.faults.push_back(*fault);
  Line line(std::move(s));
  line.Connect();
  ASSERT_EQ(GetParam().requests.size(), GetParam().replies.size());
  for (size_t i = 0; i < GetParam().requests.size(); ++i) {
    EXPECT_EQ(GetParam().replies[i], line.Send(GetParam().requests[i], 100ms)) << "request " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FaultReplies,
    ::testing::Values(
        FaultCase{"WrongEchoAloneByDefault", "wrong-echo:cmd=0x23", {{0x5A, 0x23}}, {{0x5A, 0x22}}},
        FaultCase{"WrongEchoThenTheRest", "wrong-echo:cmd=0x23,rest=1", {{0x5A, 0x23}},
                  {{0x5A, 0x22, 0x01, 0x02, 0x03, 0x5A, 0x00}}},
        FaultCase{"WrongEchoGivenBytes", "wrong-echo:cmd=0x23,reply=0000", {{0x5A, 0x23}}, {{0x00, 0x00}}},
        FaultCase{"WrongEchoOtherCommandUntouched", "wrong-echo:cmd=0x24", {{0x5A, 0x23}}, {kSerialReply}},
        FaultCase{"WrongEchoOnWriteLeavesNoDataWait", "wrong-echo:cmd=0x92", {{0x5A, 0x92}, {0x5A, 0x23}},
                  {{0x5A, 0x93}, kSerialReply}},
        FaultCase{"WrongAckDefault", "wrong-ack:cmd=0x23", {{0x5A, 0x23}}, {{0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x01}}},
        FaultCase{"WrongAckFirstByte", "wrong-ack:reply=A500", {{0x5A, 0x22}},
                  {{0x5A, 0x22, 0x21, 0x22, 0x23, 0xA5, 0x00}}},
        FaultCase{"WrongAckAfterWriteData", "wrong-ack:cmd=0x91",
                  {{0x5A, 0x91}, {0x09, 0x07, 0x14, 0x05, 0x03, 0x24}}, {{0x5A, 0x91}, {0x5A, 0x01}}},
        FaultCase{"NoAnswer", "no-answer:cmd=0x24", {{0x5A, 0x24}, {0x5A, 0x23}}, {{}, kSerialReply}},
        FaultCase{"SilenceWithinOneReply", "silence:cmd=0x23,after=3", {{0x5A, 0x23}}, {{0x5A, 0x23, 0x01}}},
        // Nine reply bytes in all: seven of the first reply, two of the second, none after.
        FaultCase{"SilenceForTheSession", "silence:after=9", {{0x5A, 0x23}, {0x5A, 0x22}, {0x5A, 0x21}},
                  {kSerialReply, {0x5A, 0x22}, {}}},
        FaultCase{"WearsOffAfterTimes", "wrong-echo:cmd=0x23,times=1", {{0x5A, 0x23}, {0x5A, 0x23}},
                  {{0x5A, 0x22}, kSerialReply}},
        FaultCase{"NoiseOfZeroChangesNothing", "noise:p=0", {{0x5A, 0x23}}, {kSerialReply}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(FaultTest, TruncatedBlockStopsInsideTheBlock) {
  Scenario s = HandScenario();
  s.faults.push_back(*ParseFault("truncate-block:bytes=100", nullptr));
  Line line(std::move(s));
  line.Connect();
  const Bytes reply = line.Send({0x5A, 0x30}, 1s);
  ASSERT_EQ(2u + 3u + 100u, reply.size());  // echo, header and the first 100 block bytes
  EXPECT_EQ((Bytes{0x5A, 0x30, 0xAB, 0xCD, 0xEF, 0x0A}), Bytes(reply.begin(), reply.begin() + 6));
}

TEST(FaultTest, NoiseCorruptsBytesReproduciblyBySeed) {
  auto run = [](const char* text) {
    Scenario s = HandScenario();
    s.faults.push_back(*ParseFault(text, nullptr));
    Line line(std::move(s));
    line.Connect();
    return line.Send({0x5A, 0x30}, 1s);
  };
  const Bytes clean = [] {
    Line line(HandScenario());
    line.Connect();
    return line.Send({0x5A, 0x30}, 1s);
  }();
  const Bytes all = run("noise:p=1,seed=3");
  ASSERT_EQ(clean.size(), all.size());
  for (size_t i = 0; i < clean.size(); ++i) ASSERT_NE(clean[i], all[i]) << "byte " << i;
  const Bytes some = run("noise:p=0.1,seed=5");
  size_t changed = 0;
  for (size_t i = 0; i < clean.size(); ++i) changed += clean[i] != some[i];
  // 3207 bytes at one in ten: far from none and far from all.
  EXPECT_GT(changed, 200u);
  EXPECT_LT(changed, 450u);
  EXPECT_EQ(some, run("noise:p=0.1,seed=5"));
  EXPECT_NE(some, run("noise:p=0.1,seed=6"));
}

TEST(FaultTest, SlowRepliesKeepTheirLatencyAndSpacing) {
  Scenario s = HandScenario();
  s.faults.push_back(*ParseFault("slow:latency-ms=50,byte-us=2000", nullptr));
  Line line(std::move(s));
  line.Connect();
  EXPECT_TRUE(line.Send({0x5A, 0x23}, 49ms).empty());
  EXPECT_EQ((Bytes{0x5A}), line.Run(2ms));        // at 50 ms
  EXPECT_EQ((Bytes{0x23, 0x01}), line.Run(4ms));  // at 52 and 54 ms
  EXPECT_EQ((Bytes{0x02, 0x03, 0x5A, 0x00}), line.Run(100ms));
}

TEST(FaultTest, GarbageComesBeforeTheFirstHandshakeByteAndHoldsNone) {
  Scenario s = HandScenario();
  s.faults.push_back(*ParseFault("garbage:bytes=40,seed=9", nullptr));
  Line line(std::move(s));
  line.Attach();
  const Bytes got = line.Run(1ms);
  ASSERT_EQ(41u, got.size());
  EXPECT_EQ(0, std::count(got.begin(), got.end() - 1, 0xA5));
  EXPECT_EQ(0xA5, got.back());
}

TEST(FaultTest, FaultsStartAfreshWithEachSession) {
  Scenario s = HandScenario();
  s.faults.push_back(*ParseFault("wrong-echo:cmd=0x23,times=1", nullptr));
  Line line(std::move(s));
  line.Connect();
  EXPECT_EQ((Bytes{0x5A, 0x22}), line.Send({0x5A, 0x23}));
  line.engine.HostDetached(line.now);
  line.Connect();
  EXPECT_EQ((Bytes{0x5A, 0x22}), line.Send({0x5A, 0x23}));
}

struct ParseCase {
  const char* name;
  const char* text;
  bool ok;
};

class FaultText : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FaultText, ParsesOrRefuses) {
  std::string error;
  const auto fault = ParseFault(GetParam().text, &error);
  EXPECT_EQ(GetParam().ok, fault.has_value()) << error;
  if (!GetParam().ok) {
    EXPECT_FALSE(error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FaultText,
                         ::testing::Values(ParseCase{"HexCommand", "wrong-ack:cmd=0x23", true},
                                           ParseCase{"DecimalCommand", "wrong-ack:cmd=35", true},
                                           ParseCase{"AllSilenceKeys", "silence:cmd=0x30,after=5,times=2", true},
                                           ParseCase{"Probability", "noise:p=0.25,seed=0x10", true},
                                           ParseCase{"UnknownKind", "explode", false},
                                           ParseCase{"UnknownKey", "wrong-ack:colour=red", false},
                                           ParseCase{"CommandTooBig", "wrong-ack:cmd=0x123", false},
                                           ParseCase{"ReplyNotFourDigits", "wrong-echo:reply=5A", false},
                                           ParseCase{"ProbabilityAboveOne", "noise:p=1.5", false},
                                           ParseCase{"NoAnswerNeedsCommand", "no-answer", false},
                                           ParseCase{"MissingValue", "silence:after", false}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(FaultTextTest, ValuesLandInTheirFields) {
  const auto f = ParseFault("wrong-echo:cmd=0x24,reply=5A3F,rest=1,times=2", nullptr);
  ASSERT_TRUE(f);
  EXPECT_EQ(FaultKind::kWrongEcho, f->kind);
  EXPECT_EQ(0x24, *f->command);
  EXPECT_EQ((std::array<uint8_t, 2>{0x5A, 0x3F}), *f->reply);
  EXPECT_TRUE(f->rest);
  EXPECT_EQ(2u, f->times);
  const auto slow = ParseFault("slow:latency-ms=7,byte-us=90", nullptr);
  ASSERT_TRUE(slow);
  EXPECT_EQ(Micros(7000), slow->latency);
  EXPECT_EQ(Micros(90), slow->perByte);
}

}  // namespace
}  // namespace kv::sim::testing

// sim_engine_test.cpp: the simulator's protocol engine per command, handshake and session, against
// a hand-built analyser whose reply bytes are written out here by hand.
#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace kv::sim::testing {
namespace {

using Bytes = std::vector<uint8_t>;

struct ReadCase {
  const char* name;
  uint8_t command;
  Bytes reply;  // echo, payload and acknowledgement
};

class ReadCommands : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadCommands, AnswerEchoPayloadAndAcknowledgement) {
  Line line(HandScenario());
  line.Connect();
  EXPECT_EQ(GetParam().reply, line.Send({kFrameStart, GetParam().command}));
  EXPECT_EQ(Engine::Phase::kIdle, line.engine.phase());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadCommands,
    ::testing::Values(
        ReadCase{"Model", 0x21, {0x5A, 0x21, 0x07, 0x11, 0x12, 0x5A, 0x00}},
        ReadCase{"FurtherVersion", 0x24, {0x5A, 0x24, 0x13, 0x14, 0x15, 0x5A, 0x00}},
        ReadCase{"Protocol", 0x22, {0x5A, 0x22, 0x21, 0x22, 0x23, 0x5A, 0x00}},
        ReadCase{"SerialBigEndian", 0x23, {0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00}},
        ReadCase{"PrinterAddress", 0x32, {0x5A, 0x32, 'P', 'R', 'N', '-', '0', '1', '2', '3', '4', '5', '6', '7', 0x5A, 0x00}},
        ReadCase{"CurrentTime", 0x31, {0x5A, 0x31, 0x30, 0x15, 0x09, 0x24, 0x12, 0x23, 0x5A, 0x00}},
        ReadCase{"CalibrationTime", 0x33, {0x5A, 0x33, 0x00, 0x30, 0x09, 0x20, 0x11, 0x23, 0x5A, 0x00}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(EngineTest, SingleTestSendsItsThirtyTwoBytes) {
  Line line(HandScenario());
  line.Connect();
  Bytes expected{0x5A, 0x40};
  for (int i = 0; i < 32; ++i) expected.push_back(static_cast<uint8_t>(0x80 + i));
  expected.insert(expected.end(), {0x5A, 0x00});
  EXPECT_EQ(expected, line.Send({0x5A, 0x40}));
}

TEST(EngineTest, StoredTestsSendHeaderThenHundredSlotsThenAck) {
  Line line(HandScenario());
  line.Connect();
  const Bytes reply = line.Send({0x5A, 0x30});
  ASSERT_EQ(2u + 3u + 3200u + 2u, reply.size());
  EXPECT_EQ((Bytes{0x5A, 0x30, 0xAB, 0xCD, 0xEF}), Bytes(reply.begin(), reply.begin() + 5));
  // Slot 0: female (bit 3), activity 3 (bits 0-2 = 2), age 40, height 170, weight 750 = 0x02EE.
  EXPECT_EQ((Bytes{0x0A, 0x00, 40, 170, 0x02, 0xEE}), Bytes(reply.begin() + 5, reply.begin() + 11));
  // Slot 1 onwards: never-used memory, 0xFF throughout.
  EXPECT_TRUE(std::all_of(reply.begin() + 5 + 32, reply.end() - 2, [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ((Bytes{0x5A, 0x00}), Bytes(reply.end() - 2, reply.end()));
}

TEST(EngineTest, HandshakeRepeatsUntilAnswered) {
  Line line(HandScenario());
  line.Attach();
  // Interval 100 ms: bytes at 0, 100, 200 and 300 ms.
  EXPECT_EQ((Bytes{0xA5, 0xA5, 0xA5, 0xA5}), line.Run(350ms));
  EXPECT_EQ(Engine::Phase::kAwaitingHandshake, line.engine.phase());
  EXPECT_TRUE(line.Send({0xA5}, 1s).empty());
  EXPECT_EQ(Engine::Phase::kIdle, line.engine.phase());
}

TEST(EngineTest, HandshakeWaitsForTheSwitchOnDelay) {
  Scenario s = HandScenario();
  s.handshake.delay = 2s;
  Line line(std::move(s));
  line.Attach();
  EXPECT_TRUE(line.Run(1999ms).empty());
  EXPECT_EQ((Bytes{0xA5}), line.Run(2ms));
}

TEST(EngineTest, OtherBytesDuringHandshakeAreIgnored) {
  Line line(HandScenario());
  line.Attach();
  line.Run(1ms);
  EXPECT_EQ((Bytes{0xA5}), line.Send({0x00, 0x13, 0x37}, 150ms));
  EXPECT_EQ(Engine::Phase::kAwaitingHandshake, line.engine.phase());
}

TEST(EngineTest, RequestWithoutHandshakeIsServedOrIgnoredAsConfigured) {
  Line lenient(HandScenario());
  lenient.Attach();
  lenient.Run(1ms);
  EXPECT_EQ((Bytes{0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00}), lenient.Send({0x5A, 0x23}));

  Scenario s = HandScenario();
  s.handshake.serveWithoutHandshake = false;
  Line strict(std::move(s));
  strict.Attach();
  strict.Run(1ms);
  EXPECT_TRUE(strict.Send({0x5A, 0x23}).empty());
}

TEST(EngineTest, UnknownAndUnsupportedCommandsAnswerZQuestionMark) {
  Scenario s = HandScenario();
  s.model.unsupportedCommands = {0x24};
  Line line(std::move(s));
  line.Connect();
  EXPECT_EQ((Bytes{0x5A, 0x3F}), line.Send({0x5A, 0x77}));
  EXPECT_EQ((Bytes{0x5A, 0x3F}), line.Send({0x5A, 0x24}));
  EXPECT_EQ((Bytes{0x5A, 0x21, 0x07, 0x11, 0x12, 0x5A, 0x00}), line.Send({0x5A, 0x21}));
}

TEST(EngineTest, StrayBytesBetweenRequestsAreSkipped) {
  Line line(HandScenario());
  line.Connect();
  EXPECT_EQ((Bytes{0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00}), line.Send({0x00, 0xA5, 0x5A, 0x23}));
}

TEST(EngineTest, WritePrinterAddressTakesTwelveBytesThenAcknowledges) {
  Line line(HandScenario());
  line.Connect();
  EXPECT_EQ((Bytes{0x5A, 0x92}), line.Send({0x5A, 0x92}));
  EXPECT_TRUE(line.Send({'A', 'B', 'C', 'D', 'E', 'F', '0', '1', '2', '3', '4'}).empty());
  EXPECT_EQ(Engine::Phase::kData, line.engine.phase());
  EXPECT_EQ((Bytes{0x5A, 0x00}), line.Send({'5'}));
  EXPECT_EQ((std::array<uint8_t, 12>{'A', 'B', 'C', 'D', 'E', 'F', '0', '1', '2', '3', '4', '5'}),
            line.engine.model().printerAddress);
  EXPECT_EQ((Bytes{0x5A, 0x32, 'A', 'B', 'C', 'D', 'E', 'F', '0', '1', '2', '3', '4', '5', 0x5A, 0x00}),
            line.Send({0x5A, 0x32}));
}

TEST(EngineTest, WriteClockIsReadBackAsWritten) {
  Line line(HandScenario());
  line.Connect();
  EXPECT_EQ((Bytes{0x5A, 0x91}), line.Send({0x5A, 0x91}));
  // 5 March 2024 14:07:09, one byte every 200 ms as a host paces them.
  Bytes got;
  for (uint8_t b : Bytes{0x09, 0x07, 0x14, 0x05, 0x03, 0x24}) {
    auto r = line.Send({b}, 200ms);
    got.insert(got.end(), r.begin(), r.end());
  }
  EXPECT_EQ((Bytes{0x5A, 0x00}), got);
  EXPECT_EQ((Bytes{0x5A, 0x31, 0x09, 0x07, 0x14, 0x05, 0x03, 0x24, 0x5A, 0x00}), line.Send({0x5A, 0x31}));
}

TEST(EngineTest, AbandonedWriteIsGivenUpSoTheNextRequestIsServed) {
  Line line(HandScenario());  // data time-out 1.5 s
  line.Connect();
  line.Send({0x5A, 0x91});
  line.Send({0x09, 0x07}, 1600ms);
  EXPECT_EQ(Engine::Phase::kIdle, line.engine.phase());
  EXPECT_EQ((Bytes{0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00}), line.Send({0x5A, 0x23}));
  EXPECT_EQ((PackedTime{0x30, 0x15, 0x09, 0x24, 0x12, 0x23}), line.engine.model().clock);
}

TEST(EngineTest, RunningClockMovesOnFromItsSetting) {
  Scenario s = HandScenario();
  s.model.clockRuns = true;
  s.model.clock = {0x58, 0x59, 0x23, 0x31, 0x12, 0x23};  // 31 December 2023 23:59:58
  Line line(std::move(s));
  line.Connect();
  line.Run(3s);
  // Three seconds on: 1 January 2024 00:00:01.
  EXPECT_EQ((Bytes{0x5A, 0x31, 0x01, 0x00, 0x00, 0x01, 0x01, 0x24, 0x5A, 0x00}), line.Send({0x5A, 0x31}));
}

TEST(EngineTest, DetachDropsUnsentReplyAndReattachRestartsFromTheScenario) {
  Scenario s = HandScenario();
  s.faults.push_back(*ParseFault("slow:latency-ms=100", nullptr));
  Line line(std::move(s));
  line.Connect();
  line.engine.Receive(Bytes{0x5A, 0x92}, line.now);
  line.engine.HostDetached(line.now);
  EXPECT_EQ(Engine::Phase::kDetached, line.engine.phase());
  EXPECT_TRUE(line.Run(1s).empty());
  line.Attach();
  EXPECT_EQ(Engine::Phase::kAwaitingHandshake, line.engine.phase());
  EXPECT_EQ((Bytes{0xA5}), line.Run(1ms));
}

TEST(EngineTest, WrittenSettingsLastUntilTheHostClosesTheLine) {
  Line line(HandScenario());
  line.Connect();
  line.Send({0x5A, 0x92});
  line.Send({'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'});
  EXPECT_EQ('0', line.engine.model().printerAddress[0]);
  line.engine.HostDetached(line.now);
  line.Attach();
  EXPECT_EQ('P', line.engine.model().printerAddress[0]);
}

TEST(EngineTest, RecordingHoldsBothDirectionsWithTimes) {
  Line line(HandScenario());
  line.Connect();
  const Micros sentAt = line.now;
  line.Send({0x5A, 0x23});
  const Recording& r = line.engine.recording();
  EXPECT_EQ((Bytes{0xA5, 0x5A, 0x23}), r.HostBytes());
  EXPECT_EQ((Bytes{0xA5, 0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00}), r.AnalyserBytes());
  ASSERT_EQ(3u, r.HostByteTimes().size());
  EXPECT_EQ(sentAt, r.HostByteTimes()[2]);
  const auto& last = r.Events().back();
  EXPECT_EQ(RecordedEvent::Kind::kAnalyserByte, last.kind);
  EXPECT_EQ("     1.001000 A< 00", Recording::FormatEvent(last));
}

}  // namespace
}  // namespace kv::sim::testing

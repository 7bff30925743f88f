// comm_test.cpp: CKVComm over the fake port: the opening sequence, the exact receive, the
// paced send and closing; the command table and the connect handshake on top of it. Time is
// the fake clock's; nothing here sleeps for real.
#include "link/comm.h"

#include <algorithm>
#include <utility>

#include "link/exchange.h"

#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;
using std::chrono::milliseconds;
using std::chrono::seconds;

class CommTest : public ::testing::Test {
 protected:
  void OpenPort() {
    ASSERT_EQ(KV_OK, comm.Open(u"3"));
    callsAtOpen = port.Calls().size();
  }
  std::vector<Call> CallsSinceOpen() const {
    return {port.Calls().begin() + static_cast<std::ptrdiff_t>(callsAtOpen), port.Calls().end()};
  }
  FakeClock clock;
  FakeSerialPort port{clock};
  CKVComm comm{port, clock};
  size_t callsAtOpen = 0;
};

TEST_F(CommTest, OpenRunsTheSequenceAndAppliesTheAnalyserSettingsOverTheDrivers) {
  // A port left in a very different state by some other program.
  port.SetDriverSettings({9600, 7, Parity::kEven, true, StopBits::kTwo, false, true, true, LineControl::kHandshake,
                          true, false, true, true, true, true, LineControl::kToggle, false});
  port.Reply(Bytes(60, 0x77));  // queued before the open: 49 of them are flushed
  ASSERT_EQ(KV_OK, comm.Open(u"12"));
  EXPECT_EQ(u"\\\\.\\COM12", port.OpenedPath());
  EXPECT_EQ((std::vector<Call>{Call::kOpen, Call::kSetQueueSizes, Call::kSetReadsReturnAtOnce, Call::kReadLineSettings,
                               Call::kWriteLineSettings, Call::kQueryStatus, Call::kClearBreak, Call::kReadQueued,
                               Call::kQueryStatus}),
            port.Calls());
  EXPECT_EQ((std::array<uint32_t, 2>{32000, 32000}), port.QueueSizes());
  EXPECT_EQ(11u, port.InputQueued());
  // 115200 8N1, binary, no flow control, DTR and RTS raised, abort on error.
  const LineSettings wanted{115200, 8, Parity::kNone, false, StopBits::kOne, true, false, false, LineControl::kEnabled,
                            false, true, false, false, false, false, LineControl::kEnabled, true};
  EXPECT_EQ(wanted, port.AppliedSettings());
}

struct OpenFault {
  const char* name;
  Call failing;
  int code;
  std::vector<Call> callsAfter;  // what the link does to the port once the call failed
};

class CommOpenFaults : public CommTest, public ::testing::WithParamInterface<OpenFault> {};

TEST_P(CommOpenFaults, FailureLeavesNoPortOpen) {
  const OpenFault& fault = GetParam();
  port.FailCall(fault.failing, 1);
  EXPECT_EQ(fault.code, comm.Open(u"4"));
  EXPECT_EQ(fault.code == KV_OK, comm.IsOpen());
  EXPECT_EQ(fault.code == KV_OK, port.PortOpen());
  const auto failedAt = std::find(port.Calls().begin(), port.Calls().end(), fault.failing);
  ASSERT_NE(failedAt, port.Calls().end());
  EXPECT_EQ(fault.callsAfter, std::vector<Call>(failedAt + 1, port.Calls().end()));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CommOpenFaults,
    ::testing::Values(OpenFault{"CreateFails", Call::kOpen, KV_ERR_PORT_OPEN, {}},
                      OpenFault{"QueueSizesFail", Call::kSetQueueSizes, KV_ERR_PORT_QUEUES, {Call::kClose}},
                      OpenFault{"StateNotRead", Call::kReadLineSettings, KV_ERR_PORT_OPEN, {Call::kClearBreak, Call::kClose}},
                      OpenFault{"StateNotSet", Call::kWriteLineSettings, KV_ERR_PORT_OPEN, {Call::kClearBreak, Call::kClose}},
                      OpenFault{"TimeOutsNotSetStillOpens", Call::kSetReadsReturnAtOnce, KV_OK,
                                {Call::kReadLineSettings, Call::kWriteLineSettings, Call::kQueryStatus, Call::kClearBreak,
                                 Call::kReadQueued, Call::kQueryStatus}}),
    [](const auto& param) { return param.param.name; });

TEST_F(CommTest, ASecondOpenClosesTheFirstEvenWhenItFails) {
  OpenPort();
  // "\\.\COM" is 7 characters: 504 more make 511, which fits; 505 do not, and nothing is opened.
  EXPECT_EQ(KV_ERR_PORT_OPEN, comm.Open(std::u16string(505, u'9')));
  EXPECT_EQ((std::vector<Call>{Call::kClose}), CallsSinceOpen());
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_EQ(KV_OK, comm.Open(std::u16string(504, u'9')));
  EXPECT_EQ(511u, port.OpenedPath().size());
}

TEST_F(CommTest, WithNoPortOpenNothingTouchesThePortAndCloseIsHarmless) {
  std::array<uint8_t, 2> buffer{};
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_EQ(KV_ERR_SEND, comm.CommSend({0x5A, 0x21}));
  comm.PurgeInput();
  comm.Close();
  EXPECT_TRUE(port.Calls().empty());
  EXPECT_TRUE(clock.Sleeps().empty());
  {
    CKVComm other{port, clock};
    ASSERT_EQ(KV_OK, other.Open(u"2"));
  }
  EXPECT_FALSE(port.PortOpen());  // the destructor closed it
  OpenPort();
  EXPECT_EQ(KV_OK, comm.CommReceive(std::span(buffer).first(0)));  // empty spans make no call
  EXPECT_EQ(KV_OK, comm.CommSend(std::span<const char16_t>{}));
  comm.Close();
  comm.Close();
  EXPECT_EQ((std::vector<Call>{Call::kClose}), CallsSinceOpen());
}

TEST_F(CommTest, ReceiveGathersPiecesTakesOnlyWhatIsAskedAndPurges) {
  OpenPort();
  port.Reply({1, 2}).Reply({3}, milliseconds{10}).Reply({4, 5, 6, 7, 8}, seconds{1});
  std::array<uint8_t, 6> buffer{};
  EXPECT_EQ(KV_OK, comm.CommReceive(buffer));
  EXPECT_EQ((std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6}), buffer);
  EXPECT_EQ(2u, port.InputQueued());
  // A second of silence is a handful of waits of at most 50 ms, not thousands of polls.
  EXPECT_LE(port.CallCount(Call::kQueryStatus), 2 + 1000 / 50 + 4);
  EXPECT_GE(port.CallCount(Call::kWaitForInput), 1);
  comm.PurgeInput();
  EXPECT_EQ((Bytes{7, 8}), port.Purged());
}

TEST_F(CommTest, LineErrorOrFailedQueryOrReadFailsTheReceiveAndKeepsWhatIsQueued) {
  OpenPort();
  port.Reply({1}).LineError(kPortErrorFraming, milliseconds{5}).Reply({2, 3, 4, 5}, milliseconds{5});
  std::array<uint8_t, 2> buffer{};
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_TRUE(comm.IsOpen());
  clock.Advance(milliseconds{10});
  port.FailCall(Call::kQueryStatus, port.CallCount(Call::kQueryStatus) + 1);
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  port.FailCall(Call::kReadQueued, port.CallCount(Call::kReadQueued) + 1);
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_EQ(4u, port.InputQueued());
  EXPECT_EQ(KV_OK, comm.CommReceive(buffer));  // the error was cleared by the query that reported it
  EXPECT_EQ((std::array<uint8_t, 2>{2, 3}), buffer);
}

TEST_F(CommTest, TheLimitCountsSilenceNotTheWholeReceive) {
  OpenPort();
  port.Reply({9});
  std::array<uint8_t, 2> buffer{};
  Duration start = clock.Now();
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_GE(clock.Now() - start, kReplySilenceLimit);
  EXPECT_LE(clock.Now() - start, kReplySilenceLimit + milliseconds{100});
  EXPECT_EQ(9, buffer[0]);
  port.Reply({1}, seconds{2}).Reply({2}, seconds{2});
  start = clock.Now();
  EXPECT_EQ(KV_OK, comm.CommReceive(buffer));
  EXPECT_EQ(seconds{4}, clock.Now() - start);
  port.Reply({1}, seconds{20}).Reply({2}, seconds{10});
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer, seconds{10}));  // a caller's own limit
  EXPECT_EQ(KV_OK, comm.CommReceive(buffer, seconds{30}));
}

TEST_F(CommTest, SendPutsLowBytesOnTheWireEach200msApart) {
  OpenPort();
  port.ExpectSent({0xA5, 0x21, 0x00, 0xFF});
  Duration previous = clock.Now();
  ASSERT_EQ(KV_OK, comm.CommSend({0x01A5, 0xFF21, 0x0100, 0x00FF}));
  EXPECT_TRUE(port.ScriptDone());
  for (const auto& sent : port.Sent()) EXPECT_EQ(milliseconds{200}, sent.at - std::exchange(previous, sent.at));
  for (Duration sleep : clock.Sleeps()) EXPECT_LE(sleep, kPacingStep);
}

TEST_F(CommTest, EachByteWaitsForTheOutputQueueButNotForever) {
  OpenPort();
  port.AcceptAnySent();
  port.SetOutputDrainPolls(3);
  ASSERT_EQ(KV_OK, comm.CommSend({1, 2}));
  // Between the writes: three queries that see the first byte queued, one that sees it gone.
  const auto& calls = port.Calls();
  const auto first = std::find(calls.begin(), calls.end(), Call::kWriteByte);
  const auto second = std::find(first + 1, calls.end(), Call::kWriteByte);
  ASSERT_NE(second, calls.end());
  EXPECT_EQ(4, std::count(first + 1, second, Call::kQueryStatus));
  port.SetOutputDrainPolls(1'000'000);
  const Duration start = clock.Now();
  EXPECT_EQ(KV_OK, comm.CommSend({1, 2}));
  // The first byte sees the queue drain; the second waits out the drain limit, then its pause.
  EXPECT_GE(clock.Now() - start, milliseconds{400} + kOutputDrainLimit);
  EXPECT_LE(clock.Now() - start, milliseconds{400} + kOutputDrainLimit + milliseconds{5});
}

TEST_F(CommTest, AFailedWriteIsRetriedAfterAnotherPauseThreeTimesAtMost) {
  OpenPort();
  port.ExpectSent({0x5A, 0x23});
  port.FailCall(Call::kWriteByte, 2);
  Duration start = clock.Now();
  EXPECT_EQ(KV_OK, comm.CommSend({0x5A, 0x23}));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(milliseconds{600}, clock.Now() - start);
  port.FailCallsFrom(Call::kWriteByte, 4);
  start = clock.Now();
  EXPECT_EQ(KV_ERR_SEND, comm.CommSend({0x5A, 0x23}));
  EXPECT_EQ(3 + kWriteAttempts, port.CallCount(Call::kWriteByte));
  EXPECT_EQ(kBytePacing * kWriteAttempts, clock.Now() - start);
  EXPECT_TRUE(comm.IsOpen());
}

TEST(CommandTable, EveryCommandIsReadOrWriteAndFoundOnce) {
  for (const CommandInfo& info : kCommandTable) {
    EXPECT_EQ(&info, FindCommand(info.command));
    EXPECT_NE(info.dataBytes == 0, info.payloadBytes == 0) << int{info.command};
  }
  EXPECT_EQ(nullptr, FindCommand(0x25));
  EXPECT_EQ(3203, PayloadBytes(kCmdStoredTests));  // 3 header bytes and 100 slots of 32
}

TEST_F(CommandTest, ConnectSkipsOtherBytesAnswersOnceAndDropsWhatFollows) {
  port.Reply({kZ, 0x00, 0x13, 0xA5})
      .ExpectSent({0xA5})
      .Reply({0xA5, 0xA5}, milliseconds{40})  // the analyser repeats until it hears us
      .Reply({0x42}, milliseconds{200});      // after the pause: stays for the next receive
  EXPECT_EQ(KV_OK, Connect(comm));
  EXPECT_EQ((Bytes{0xA5, 0xA5}), port.Purged());
  EXPECT_EQ(milliseconds{150}, clock.Sleeps().back());
  EXPECT_EQ(Call::kPurgeInput, port.Calls().back());
  clock.Advance(milliseconds{200});
  EXPECT_EQ(1u, port.InputQueued());
}

TEST_F(CommandTest, ConnectWaitsSixtySecondsForTheHandshakeNotMore) {
  port.Reply({0xA5}, seconds{59}).ExpectSent({0xA5});
  EXPECT_EQ(KV_OK, Connect(comm));
  for (int i = 0; i < 100; ++i) port.Reply({0x00}, seconds{1});  // noise that never ends
  const Duration start = clock.Now();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, Connect(comm));
  EXPECT_EQ(kConnectTimeLimit, clock.Now() - start);
  EXPECT_EQ(1u, port.Sent().size());
}

TEST_F(CommandTest, ConnectFailsOnALineErrorOrWithNoPortButNotOnAFailedAnswer) {
  port.Reply({0x11}).LineError(kPortErrorBreak, milliseconds{10}).Reply({0xA5}, milliseconds{10});
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, Connect(comm));
  EXPECT_TRUE(port.Sent().empty());
  port.FailCallsFrom(Call::kWriteByte, 1);
  EXPECT_EQ(KV_OK, Connect(comm));  // the queued 0xA5, answered in vain
  EXPECT_EQ(kWriteAttempts, port.CallCount(Call::kWriteByte));
  comm.Close();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, Connect(comm));
  EXPECT_EQ(kWriteAttempts, port.CallCount(Call::kWriteByte));
}

}  // namespace
}  // namespace kv::link

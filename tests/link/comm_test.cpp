// comm_test.cpp: CKVComm over the fake port: the opening sequence, the exact receive, the
// paced send and closing. Time is the fake clock's; nothing here sleeps for real.
#include "link/comm.h"

#include <gtest/gtest.h>

#include "KorvantaSDK.h"
#include "fake_serial_port.h"

namespace kv::link {
namespace {

using testing::FakeClock;
using testing::FakeSerialPort;
using Call = FakeSerialPort::Call;
using std::chrono::milliseconds;
using std::chrono::seconds;

class CommTest : public ::testing::Test {
 protected:
  void OpenPort() {
    ASSERT_EQ(0, comm.Open(u"3"));
    callsAtOpen = port.Calls().size();
  }
  // Calls made on the port since OpenPort.
  std::vector<Call> CallsSinceOpen() const {
    return {port.Calls().begin() + static_cast<std::ptrdiff_t>(callsAtOpen), port.Calls().end()};
  }

  FakeClock clock;
  FakeSerialPort port{clock};
  CKVComm comm{port, clock};
  size_t callsAtOpen = 0;
};

// ---- Opening

TEST_F(CommTest, OpenRunsTheSequenceInOrder) {
  ASSERT_EQ(0, comm.Open(u"12"));
  EXPECT_EQ(u"\\\\.\\COM12", port.OpenedPath());
  const std::vector<Call> expected = {Call::kOpen,        Call::kSetQueueSizes,     Call::kSetReadsReturnAtOnce,
                                      Call::kReadLineSettings, Call::kWriteLineSettings, Call::kQueryStatus,
                                      Call::kClearBreak,  Call::kReadQueued,        Call::kQueryStatus};
  EXPECT_EQ(expected, port.Calls());
  EXPECT_EQ((std::array<uint32_t, 2>{32000, 32000}), port.QueueSizes());
  EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommTest, OpenAppliesTheAnalyserLineSettingsOverTheDrivers) {
  LineSettings driver;  // a port left in a very different state by some other program
  driver.baudRate = 9600;
  driver.dataBits = 7;
  driver.parity = Parity::kEven;
  driver.parityCheck = true;
  driver.stopBits = StopBits::kTwo;
  driver.binary = false;
  driver.ctsOutputFlow = true;
  driver.dsrOutputFlow = true;
  driver.dtr = LineControl::kHandshake;
  driver.dsrSensitivity = true;
  driver.txContinueOnXoff = false;
  driver.xonXoffOutput = true;
  driver.xonXoffInput = true;
  driver.replaceParityErrors = true;
  driver.discardNulls = true;
  driver.rts = LineControl::kToggle;
  driver.abortOnError = false;
  port.SetDriverSettings(driver);
  ASSERT_EQ(0, comm.Open(u"1"));
  ASSERT_TRUE(port.AppliedSettings().has_value());

  LineSettings wanted;  // 115200 8N1, binary, no flow control, DTR and RTS raised, abort on error
  wanted.baudRate = 115200;
  wanted.dataBits = 8;
  wanted.parity = Parity::kNone;
  wanted.parityCheck = false;
  wanted.stopBits = StopBits::kOne;
  wanted.binary = true;
  wanted.ctsOutputFlow = false;
  wanted.dsrOutputFlow = false;
  wanted.dtr = LineControl::kEnabled;
  wanted.dsrSensitivity = false;
  wanted.txContinueOnXoff = true;
  wanted.xonXoffOutput = false;
  wanted.xonXoffInput = false;
  wanted.replaceParityErrors = false;
  wanted.discardNulls = false;
  wanted.rts = LineControl::kEnabled;
  wanted.abortOnError = true;
  EXPECT_EQ(wanted, *port.AppliedSettings());
}

struct OpenFault {
  const char* name;
  Call failing;
  int code;
  std::vector<Call> callsAfterFailure;  // what the link does to the port once the call failed
};

class CommOpenFaults : public CommTest, public ::testing::WithParamInterface<OpenFault> {};

TEST_P(CommOpenFaults, FailureLeavesNoPortOpen) {
  const OpenFault& fault = GetParam();
  port.FailCall(fault.failing, 1);
  EXPECT_EQ(fault.code, comm.Open(u"4"));
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_FALSE(port.PortOpen());
  const auto failedAt = std::find(port.Calls().begin(), port.Calls().end(), fault.failing);
  ASSERT_NE(failedAt, port.Calls().end());
  EXPECT_EQ(fault.callsAfterFailure, std::vector<Call>(failedAt + 1, port.Calls().end()));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CommOpenFaults,
    ::testing::Values(OpenFault{"CreateFails", Call::kOpen, KV_ERR_PORT_OPEN, {}},
                      OpenFault{"QueueSizesFail", Call::kSetQueueSizes, KV_ERR_PORT_QUEUES, {Call::kClose}},
                      OpenFault{"StateCannotBeRead", Call::kReadLineSettings, KV_ERR_PORT_OPEN,
                                {Call::kClearBreak, Call::kClose}},
                      OpenFault{"StateCannotBeSet", Call::kWriteLineSettings, KV_ERR_PORT_OPEN,
                                {Call::kClearBreak, Call::kClose}}),
    [](const auto& param) { return param.param.name; });

TEST_F(CommTest, TimeOutsThatCannotBeSetDoNotFailTheOpen) {
  port.FailCall(Call::kSetReadsReturnAtOnce, 1);
  EXPECT_EQ(0, comm.Open(u"4"));
  EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommTest, OpenDiscardsUpTo49QueuedBytes) {
  port.Reply(std::vector<uint8_t>(60, 0x77));  // arrives as soon as the port is open
  ASSERT_EQ(0, comm.Open(u"4"));
  EXPECT_EQ(60u - 49u, port.InputQueued());
}

TEST_F(CommTest, SecondOpenClosesTheFirstEvenWhenItFails) {
  OpenPort();
  port.FailCall(Call::kOpen, 2);
  EXPECT_EQ(KV_ERR_PORT_OPEN, comm.Open(u"5"));
  EXPECT_EQ((std::vector<Call>{Call::kClose, Call::kOpen}), CallsSinceOpen());
  EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommTest, NameTooLongFailsWithoutOpeningAndClosesTheOldPort) {
  OpenPort();
  // "\\.\COM" is 7 characters: 504 more make 511, which fits; 505 do not.
  EXPECT_EQ(KV_ERR_PORT_OPEN, comm.Open(std::u16string(505, u'9')));
  EXPECT_EQ((std::vector<Call>{Call::kClose}), CallsSinceOpen());
  EXPECT_EQ(0, comm.Open(std::u16string(504, u'9')));
  EXPECT_EQ(511u, port.OpenedPath().size());
}

TEST_F(CommTest, CloseWithNoPortOpenMakesNoCallAndTwiceIsHarmless) {
  comm.Close();
  EXPECT_TRUE(port.Calls().empty());
  OpenPort();
  comm.Close();
  comm.Close();
  EXPECT_EQ((std::vector<Call>{Call::kClose}), CallsSinceOpen());
  EXPECT_FALSE(port.PortOpen());
}

TEST(CommLifetime, DestroyingTheLinkClosesAnOpenPort) {
  FakeClock clock;
  FakeSerialPort port{clock};
  {
    CKVComm comm{port, clock};
    ASSERT_EQ(0, comm.Open(u"2"));
  }
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(1, port.CallCount(Call::kClose));
}

// ---- Receiving

TEST_F(CommTest, ZeroLengthReceiveAndSendMakeNoCall) {
  OpenPort();
  std::array<uint8_t, 1> buffer{};
  EXPECT_EQ(0, comm.CommReceive(std::span(buffer).first(0)));
  EXPECT_EQ(0, comm.CommSend(std::span<const char16_t>{}));
  EXPECT_TRUE(CallsSinceOpen().empty());
}

TEST_F(CommTest, ReceiveWithNoPortOpenFailsAtOnce) {
  std::array<uint8_t, 2> buffer{};
  const Duration before = clock.Now();
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_EQ(before, clock.Now());
  EXPECT_TRUE(port.Calls().empty());
}

TEST_F(CommTest, ReceiveGathersBytesArrivingInPieces) {
  OpenPort();
  port.Reply({1, 2}).Reply({3}, milliseconds{10}).Reply({4, 5, 6}, milliseconds{40});
  std::array<uint8_t, 6> buffer{};
  EXPECT_EQ(0, comm.CommReceive(buffer));
  EXPECT_EQ((std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6}), buffer);
  EXPECT_TRUE(port.ScriptDone());
}

TEST_F(CommTest, ReceiveTakesOnlyTheBytesAskedFor) {
  OpenPort();
  port.Reply({1, 2, 3, 4, 5});
  std::array<uint8_t, 3> buffer{};
  EXPECT_EQ(0, comm.CommReceive(buffer));
  EXPECT_EQ((std::array<uint8_t, 3>{1, 2, 3}), buffer);
  EXPECT_EQ(2u, port.InputQueued());
}

TEST_F(CommTest, LineErrorFailsTheReceiveAndTheNextStartsCleared) {
  OpenPort();
  port.Reply({1}).LineError(kPortErrorFraming, milliseconds{5}).Reply({2, 3}, milliseconds{5});
  std::array<uint8_t, 2> buffer{};
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_EQ(0, comm.CommReceive(buffer));
  EXPECT_EQ((std::array<uint8_t, 2>{2, 3}), buffer);
}

TEST_F(CommTest, FailedStatusQueryOrReadFailsTheReceiveAndKeepsTheBytes) {
  OpenPort();
  port.Reply({1, 2, 3, 4});
  const int queriesSoFar = port.CallCount(Call::kQueryStatus);
  port.FailCall(Call::kQueryStatus, queriesSoFar + 1);
  std::array<uint8_t, 2> buffer{};
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_EQ(4u, port.InputQueued());
  port.FailCall(Call::kReadQueued, port.CallCount(Call::kReadQueued) + 1);
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_EQ(4u, port.InputQueued());
  EXPECT_EQ(0, comm.CommReceive(buffer));
  EXPECT_EQ((std::array<uint8_t, 2>{1, 2}), buffer);
}

TEST_F(CommTest, SilenceEndsTheReceiveAfterTheLimit) {
  OpenPort();
  port.Reply({9});
  std::array<uint8_t, 2> buffer{};
  const Duration start = clock.Now();
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  const Duration waited = clock.Now() - start;
  EXPECT_GE(waited, kReplySilenceLimit);
  EXPECT_LE(waited, kReplySilenceLimit + milliseconds{100});
  EXPECT_EQ(9, buffer[0]);  // what arrived is delivered; the rest would stay in the queue
}

TEST_F(CommTest, TheLimitCountsSilenceNotTheWholeReceive) {
  OpenPort();
  port.Reply({1}, seconds{2}).Reply({2}, seconds{2}).Reply({3}, seconds{2});
  std::array<uint8_t, 3> buffer{};
  const Duration start = clock.Now();
  EXPECT_EQ(0, comm.CommReceive(buffer));
  EXPECT_EQ(seconds{6}, clock.Now() - start);
}

TEST_F(CommTest, ACallerMayGiveItsOwnSilenceLimit) {
  OpenPort();
  port.Reply({1}, seconds{20});
  std::array<uint8_t, 1> buffer{};
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer, seconds{10}));
  port.Reply({1}, seconds{20});
  EXPECT_EQ(0, comm.CommReceive(buffer, seconds{30}));
}

TEST_F(CommTest, ReceiveWaitsOnThePortInsteadOfPollingWithoutPause) {
  OpenPort();
  port.Reply({1}, seconds{1});
  std::array<uint8_t, 1> buffer{};
  EXPECT_EQ(0, comm.CommReceive(buffer));
  // A second of silence is a handful of waits of at most 50 ms, not thousands of polls.
  EXPECT_LE(port.CallCount(Call::kQueryStatus), 2 + 1000 / 50 + 2);
  EXPECT_GE(port.CallCount(Call::kWaitForInput), 1);
}

// ---- Sending

TEST_F(CommTest, SendWithNoPortOpenFailsAtOnce) {
  const Duration before = clock.Now();
  EXPECT_EQ(KV_ERR_SEND, comm.CommSend({0x5A, 0x21}));
  EXPECT_EQ(before, clock.Now());
  EXPECT_TRUE(port.Calls().empty());
}

TEST_F(CommTest, SendPutsTheLowByteOfEachUnitOnTheWire) {
  OpenPort();
  port.ExpectSent({0xA5, 0x21, 0x00, 0xFF});
  EXPECT_EQ(0, comm.CommSend({0x01A5, 0xFF21, 0x0100, 0x00FF}));
  EXPECT_TRUE(port.ScriptDone());
}

TEST_F(CommTest, EveryByteWaitsAtLeast200msAndNoMore) {
  OpenPort();
  port.AcceptAnySent();
  const Duration start = clock.Now();
  ASSERT_EQ(0, comm.CommSend({1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(6u, port.Sent().size());
  Duration previous = start;
  for (const auto& sent : port.Sent()) {
    EXPECT_EQ(milliseconds{200}, sent.at - previous);  // the fake clock has no jitter to allow for
    previous = sent.at;
  }
  for (Duration sleep : clock.Sleeps()) EXPECT_LE(sleep, milliseconds{25});
}

TEST_F(CommTest, EachByteWaitsForTheOutputQueueToEmpty) {
  OpenPort();
  port.AcceptAnySent();
  port.SetOutputDrainPolls(3);
  ASSERT_EQ(0, comm.CommSend({1, 2}));
  // Between the two writes: three queries that see the first byte still queued, one that
  // sees the queue empty, then the pause; no write while the byte is queued.
  std::vector<Call> between;
  const auto& calls = port.Calls();
  const auto first = std::find(calls.begin(), calls.end(), Call::kWriteByte);
  const auto second = std::find(first + 1, calls.end(), Call::kWriteByte);
  ASSERT_NE(second, calls.end());
  EXPECT_EQ(4, std::count(first + 1, second, Call::kQueryStatus));
  EXPECT_GE(port.Sent()[1].at - port.Sent()[0].at, milliseconds{200});
}

TEST_F(CommTest, StalledOutputQueueDelaysTheByteButDoesNotHangTheSend) {
  OpenPort();
  port.AcceptAnySent();
  port.SetOutputDrainPolls(1'000'000);
  const Duration start = clock.Now();
  EXPECT_EQ(0, comm.CommSend({1, 2}));
  const Duration took = clock.Now() - start;
  // The first byte finds the queue empty; the second waits out the drain limit, then the pause.
  EXPECT_GE(took, milliseconds{400} + kOutputDrainLimit);
  EXPECT_LE(took, milliseconds{400} + kOutputDrainLimit + milliseconds{5});
}

TEST_F(CommTest, FailedWriteIsRetriedAfterAnotherPause) {
  OpenPort();
  port.ExpectSent({0x5A, 0x23});
  port.FailCall(Call::kWriteByte, 2);
  const Duration start = clock.Now();
  EXPECT_EQ(0, comm.CommSend({0x5A, 0x23}));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(3, port.CallCount(Call::kWriteByte));
  EXPECT_EQ(milliseconds{600}, clock.Now() - start);
}

TEST_F(CommTest, WritesThatKeepFailingGiveUpWithSendFailure) {
  OpenPort();
  port.FailCallsFrom(Call::kWriteByte, 1);
  const Duration start = clock.Now();
  EXPECT_EQ(KV_ERR_SEND, comm.CommSend({0x5A, 0x23}));
  EXPECT_EQ(kWriteAttempts, port.CallCount(Call::kWriteByte));
  EXPECT_EQ(kBytePacing * kWriteAttempts, clock.Now() - start);
  EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommTest, PurgeEmptiesTheInputQueueOnlyWhenAPortIsOpen) {
  comm.PurgeInput();
  EXPECT_TRUE(port.Calls().empty());
  OpenPort();
  port.Reply({1, 2, 3});
  comm.PurgeInput();
  EXPECT_EQ(0u, port.InputQueued());
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), port.Purged());
}

}  // namespace
}  // namespace kv::link

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

constexpr Call kO = Call::kOpen, kQ = Call::kSetQueueSizes, kT = Call::kSetReadsReturnAtOnce,
               kR = Call::kReadLineSettings, kW = Call::kWriteLineSettings, kS = Call::kQueryStatus,
               kB = Call::kClearBreak, kF = Call::kReadQueued, kC = Call::kClose;

TEST(Open, RunsTheSequenceAndLeavesNoPortOpenAfterAFailure) {
  const struct {
    Call failing;  // fails once; kClose for none
    int code;
    std::vector<Call> calls;
  } cases[] = {{kC, KV_OK, {kO, kQ, kT, kR, kW, kS, kB, kF, kS}}, {kT, KV_OK, {kO, kQ, kT, kR, kW, kS, kB, kF, kS}},
               {kO, KV_ERR_PORT_OPEN, {kO}}, {kQ, KV_ERR_PORT_QUEUES, {kO, kQ, kC}},
               {kR, KV_ERR_PORT_OPEN, {kO, kQ, kT, kR, kB, kC}}, {kW, KV_ERR_PORT_OPEN, {kO, kQ, kT, kR, kW, kB, kC}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.failing));
    FakeClock clock;
    FakeSerialPort port{clock};
    CKVComm comm{port, clock};
    // A port left in a very different state by some other program (the fake's driver settings), 60 bytes queued.
    std::string sixty = "<";
    for (int i = 0; i < 60; ++i) sixty += " 77";
    port.Play(sixty).FailCalls(c.failing, 1);
    EXPECT_EQ(c.code, comm.Open(u"12"));
    EXPECT_EQ(c.calls, port.Calls());
    EXPECT_EQ(c.code == KV_OK, comm.IsOpen() && port.PortOpen());
    if (c.code != KV_OK) continue;
    EXPECT_EQ(u"\\\\.\\COM12", port.OpenedPath());
    EXPECT_EQ((std::array<uint32_t, 2>{32000, 32000}), port.QueueSizes());
    EXPECT_EQ(60u - 49u, port.InputQueued());  // the open flushes 49
    // 115200 8N1, binary, no flow control, DTR and RTS raised, abort on error.
    EXPECT_EQ((LineSettings{115200, 8, Parity::kNone, false, StopBits::kOne, true, false, false, LineControl::kEnabled,
                            false, true, false, false, false, false, LineControl::kEnabled, true}),
              port.AppliedSettings());
  }
}

TEST_F(CommandTest, ASecondOpenClosesTheFirstEvenWhenTheNameIsTooLong) {
  size_t from = port.Calls().size();
  // "\\.\COM" and 505 digits pass 511 characters (port_names.txt): nothing is opened, the first port is closed.
  EXPECT_EQ(KV_ERR_PORT_OPEN, comm.Open(std::u16string(505, u'9')));
  EXPECT_FALSE(comm.IsOpen());
  comm.Close();
  std::array<uint8_t, 2> buffer{};
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_EQ(KV_ERR_SEND, comm.CommSend({0x5A, 0x21}));
  comm.PurgeInput();  // nothing touches a closed port
  EXPECT_EQ(std::vector<Call>{kC}, std::vector<Call>(port.Calls().begin() + long(from), port.Calls().end()));
  EXPECT_TRUE(clock.Sleeps().empty());
  {
    CKVComm other{port, clock};
    ASSERT_EQ(KV_OK, other.Open(u"2"));
  }
  EXPECT_FALSE(port.PortOpen());  // the destructor closed it
  ASSERT_EQ(KV_OK, comm.Open(u"2"));
  from = port.Calls().size();
  EXPECT_EQ(KV_OK, comm.CommReceive(std::span(buffer).first(0)));  // empty spans make no call
  EXPECT_EQ(KV_OK, comm.CommSend(std::span<const char16_t>{}));
  EXPECT_EQ(from, port.Calls().size());
}

// A receive's limit counts silence, not the whole receive; a line error, a failed query or a failed read ends it
// at once, and what is queued stays queued.
TEST_F(CommandTest, AReceiveEndsAfterItsSilenceLimitOrAtALineErrorOrAFailedCall) {
  port.Play("< 09");
  std::array<uint8_t, 2> buffer{};
  Duration start = clock.Now();
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_GE(clock.Now() - start, kReplySilenceLimit);
  EXPECT_LE(clock.Now() - start, kReplySilenceLimit + milliseconds{100});
  port.Play("+2000 < 01 +2000 < 02");
  start = clock.Now();
  const int queries = port.CallCount(kS);
  EXPECT_EQ(KV_OK, comm.CommReceive(buffer));
  EXPECT_EQ(seconds{4}, clock.Now() - start);
  // Silence is a handful of waits of at most 50 ms, not thousands of polls.
  EXPECT_LE(port.CallCount(kS) - queries, 2 + 4000 / 50 + 4);
  port.Play("+20000 < 01 +10000 < 02");
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer, seconds{10}));  // a caller's own limit
  EXPECT_EQ(KV_OK, comm.CommReceive(buffer, seconds{30}));
  port.Play("< 01 +5 !1 +5 < 02 03 04 05");  // a framing error between the pieces
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  clock.Advance(milliseconds{10});
  port.FailCalls(kS, port.CallCount(kS) + 1);
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  port.FailCalls(kF, port.CallCount(kF) + 1);
  EXPECT_EQ(KV_ERR_RECEIVE, comm.CommReceive(buffer));
  EXPECT_EQ(4u, port.InputQueued());
}

// A failed write is retried after another pause, three times at most.
TEST_F(CommandTest, SendPutsLowBytesOnTheWireEach200msApartAndRetriesAFailedWrite) {
  port.Play("> A5 21 00 FF").FailCalls(Call::kWriteByte, 2);
  Duration previous = clock.Now();
  ASSERT_EQ(KV_OK, comm.CommSend({0x01A5, 0xFF21, 0x0100, 0x00FF}));
  EXPECT_TRUE(port.ScriptDone());
  std::vector<Duration> gaps;
  for (const auto& sent : port.Sent()) gaps.push_back(sent.at - std::exchange(previous, sent.at));
  EXPECT_EQ((std::vector<Duration>{milliseconds{200}, milliseconds{400}, milliseconds{200}, milliseconds{200}}), gaps);
  for (Duration sleep : clock.Sleeps()) EXPECT_LE(sleep, kPacingStep);
  port.FailCalls(Call::kWriteByte, 6, kWriteAttempts);
  const Duration start = clock.Now();
  EXPECT_EQ(KV_ERR_SEND, comm.CommSend({0x5A, 0x23}));
  EXPECT_EQ(5 + kWriteAttempts, port.CallCount(Call::kWriteByte));
  EXPECT_EQ(kBytePacing * kWriteAttempts, clock.Now() - start);
  EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommandTest, EachByteWaitsForTheOutputQueueButNotForever) {
  port.AcceptAnySent();
  port.SetOutputDrainPolls(3);
  ASSERT_EQ(KV_OK, comm.CommSend({1, 2}));
  // Between the writes: three queries that see the first byte queued, one that sees it gone.
  const auto first = std::find(port.Calls().begin(), port.Calls().end(), Call::kWriteByte);
  EXPECT_EQ(4, std::count(first + 1, std::find(first + 1, port.Calls().end(), Call::kWriteByte), kS));
  port.SetOutputDrainPolls(1'000'000);
  const Duration start = clock.Now();
  EXPECT_EQ(KV_OK, comm.CommSend({1, 2}));
  // The first byte sees the queue drain; the second waits out the drain limit, then its pause.
  EXPECT_GE(clock.Now() - start, milliseconds{400} + kOutputDrainLimit);
  EXPECT_LE(clock.Now() - start, milliseconds{400} + kOutputDrainLimit + milliseconds{5});
}

// The table's lengths are what data/commands.txt's chats send and answer; a byte not in it has no payload.
TEST_F(CommandTest, AReadWithoutADecoderFillsTheCallersBuffer) {
  EXPECT_EQ(0, PayloadBytes(0x25));
  port.Play("> 5A 22 < 5A 22 07 08 09 5A 00");
  std::array<uint8_t, 3> payload{};
  EXPECT_EQ(KV_OK, ReadExchange(comm, kCmdProtocolInfo, payload));
  EXPECT_EQ((std::array<uint8_t, 3>{7, 8, 9}), payload);
}

TEST_F(CommandTest, ConnectSkipsOtherBytesAnswersOnceAndDropsWhatFollows) {
  // The analyser repeats its A5 until it hears us; what comes after the pause stays queued.
  port.Play("< 5A 00 13 A5 > A5 +40 < A5 A5 +200 < 42");
  EXPECT_EQ(KV_OK, Connect(comm));
  EXPECT_EQ((Bytes{0xA5, 0xA5}), port.Purged());
  EXPECT_EQ(milliseconds{150}, clock.Sleeps().back());
  EXPECT_EQ(Call::kPurgeInput, port.Calls().back());
  clock.Advance(milliseconds{200});
  EXPECT_EQ(1u, port.InputQueued());
}

// A line error ends the wait for the handshake, a failed answer does not; with no port open it fails too
// (frame_test's KVConnect).
TEST_F(CommandTest, ConnectWaitsSixtySecondsNotMoreAndFailsOnALineErrorButNotOnAFailedAnswer) {
  port.Play("+59000 < A5 > A5");
  EXPECT_EQ(KV_OK, Connect(comm));
  port.Play("< 11 +10 !8 +10 < A5");  // a break before the A5
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, Connect(comm));
  EXPECT_EQ(1u, port.Sent().size());
  port.FailCalls(Call::kWriteByte, 2, kWriteAttempts);
  EXPECT_EQ(KV_OK, Connect(comm));  // the queued A5, answered in vain
  EXPECT_EQ(1 + kWriteAttempts, port.CallCount(Call::kWriteByte));
  for (int i = 0; i < 100; ++i) port.Play("+1000 < 00");  // noise that never ends
  const Duration start = clock.Now();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, Connect(comm));
  EXPECT_EQ(kConnectTimeLimit, clock.Now() - start);
  EXPECT_EQ(1u, port.Sent().size());
}

}  // namespace
}  // namespace kv::link

// exchange_test.cpp: one request, its echo, payload or data and acknowledgement; and the
// connect handshake. Against the scripted fake port and clock.
#include "link/exchange.h"

#include "link_fixture.h"

namespace kv::link {
namespace {

using namespace testing;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST_F(CommandTest, ReadDeliversThePayloadBeforeTheAcknowledgementIsRead) {
  Exchange(kCmdSerialNumber, Answer(kCmdSerialNumber, {1, 2, 3}));
  std::array<uint8_t, 3> payload{};
  size_t queuedAtDecode = 99;
  const Duration start = clock.Now();
  EXPECT_EQ(KV_OK, ReadExchange(comm, kCmdSerialNumber, payload, [&](std::span<const uint8_t> bytes) {
    EXPECT_EQ((Bytes{1, 2, 3}), Bytes(bytes.begin(), bytes.end()));
    queuedAtDecode = port.InputQueued();
  }));
  EXPECT_EQ(2u, queuedAtDecode);
  EXPECT_EQ(0u, port.InputQueued());
  EXPECT_EQ(milliseconds{400}, clock.Now() - start);  // two paced bytes; replies read as they arrive
}

struct BadReply {
  const char* name;
  Bytes reply;
  int code;
  bool decoded;       // the payload reached the decoder
  size_t leftQueued;  // bytes the failed exchange left in the input queue
};

class ExchangeFaults : public CommandTest, public ::testing::WithParamInterface<BadReply> {};

TEST_P(ExchangeFaults, StopAtTheFirstFailingStep) {
  const BadReply& bad = GetParam();
  Exchange(kCmdSerialNumber, bad.reply);
  std::array<uint8_t, 3> payload{};
  bool decoded = false;
  EXPECT_EQ(bad.code, ReadExchange(comm, kCmdSerialNumber, payload, [&](std::span<const uint8_t>) { decoded = true; }));
  EXPECT_EQ(bad.decoded, decoded);
  EXPECT_EQ(bad.leftQueued, port.InputQueued());
  EXPECT_TRUE(comm.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ExchangeFaults,
    ::testing::Values(BadReply{"EchoOfOtherCommand", {kZ, 0x24, 0x00, 0x30, 0x39, kZ, 0x00}, KV_ERR_ECHO, false, 5},
                      BadReply{"EchoWithoutZ", {0x5B, 0x23, 0x00, 0x30, 0x39, kZ, 0x00}, KV_ERR_ECHO, false, 5},
                      BadReply{"AckNotZero", Answer(0x23, {0, 0x30, 0x39}, {kZ, 0x01}), KV_ERR_ACK, true, 0},
                      BadReply{"AckWithoutZ", Answer(0x23, {0, 0x30, 0x39}, {0x00, 0x00}), KV_ERR_ACK, true, 0},
                      BadReply{"AckCarriesMore", Answer(0x23, {0, 0x30, 0x39}, {kZ, 0x00, kZ}), KV_OK, true, 1},
                      BadReply{"Silence", {}, KV_ERR_RECEIVE, false, 0},
                      BadReply{"PayloadCutShort", {kZ, 0x23, 0x00, 0x30}, KV_ERR_RECEIVE, false, 0},
                      BadReply{"HalfAnAck", {kZ, 0x23, 0x00, 0x30, 0x39, kZ}, KV_ERR_RECEIVE, true, 0}),
    [](const auto& param) { return param.param.name; });

TEST_F(CommandTest, LeftoversOfAFailedExchangeMeetTheNextOne) {
  // The protocol has no resynchronisation: the rest of a reply with a wrong echo is read as
  // the next echo.
  Exchange(kCmdModelVersion, Answer(kCmdProtocolInfo, {1, 2, 3}));
  std::array<uint8_t, 3> payload{};
  EXPECT_EQ(KV_ERR_ECHO, ReadExchange(comm, kCmdModelVersion, payload));
  port.ExpectSent({kZ, kCmdModelVersion});
  EXPECT_EQ(KV_ERR_ECHO, ReadExchange(comm, kCmdModelVersion, payload));
  EXPECT_EQ(1, comm.ReplyBuffer()[0]);
  EXPECT_EQ(2, comm.ReplyBuffer()[1]);
}

TEST_F(CommandTest, AFailedRequestIsPassedOnAndNothingIsRead) {
  port.FailCallsFrom(Call::kWriteByte, 1);
  std::array<uint8_t, 3> payload{};
  EXPECT_EQ(KV_ERR_SEND, ReadExchange(comm, kCmdSerialNumber, payload));
  EXPECT_EQ(1, port.CallCount(Call::kReadQueued));  // only the flush of the open
}

TEST_F(CommandTest, WriteSendsTheDataOnlyAfterTheRightEchoThenChecksTheAck) {
  const std::array<char16_t, 2> data = {u'A', u'B'};
  port.ExpectSent({kZ, 0x92}).Reply({kZ, 0x92}).ExpectSent({'A', 'B'}).Reply({kZ, 0x00});
  const Duration start = clock.Now();
  EXPECT_EQ(KV_OK, WriteExchange(comm, kCmdWritePrinterAddress, data));
  EXPECT_EQ(milliseconds{200} * 4, clock.Now() - start);
  port.ExpectSent({kZ, 0x92}).Reply({kZ, 0x32});
  EXPECT_EQ(KV_ERR_ECHO, WriteExchange(comm, kCmdWritePrinterAddress, data));
  EXPECT_EQ(6u, port.Sent().size());
  port.ExpectSent({kZ, 0x92}).Reply({kZ, 0x92}).ExpectSent({'A', 'B'}).Reply({kZ, kZ});
  EXPECT_EQ(KV_ERR_ACK, WriteExchange(comm, kCmdWritePrinterAddress, data));
  EXPECT_TRUE(port.ScriptDone());
}

TEST(CommandTable, EveryCommandIsReadOrWriteAndFoundOnce) {
  for (const CommandInfo& info : kCommandTable) {
    EXPECT_EQ(&info, FindCommand(info.command));
    EXPECT_NE(info.dataBytes == 0, info.payloadBytes == 0) << int{info.command};
  }
  EXPECT_EQ(nullptr, FindCommand(0x25));
  EXPECT_EQ(3203, PayloadBytes(kCmdStoredTests));  // 3 header bytes and 100 slots of 32
}

// ---- Connect handshake

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

TEST_F(CommandTest, ConnectWaitsSixtySecondsForAnAnalyserSwitchedOnLateNotMore) {
  port.Reply({0xA5}, seconds{59}).ExpectSent({0xA5});
  EXPECT_EQ(KV_OK, Connect(comm));
  EXPECT_TRUE(port.ScriptDone());
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
  const Duration before = clock.Now();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, Connect(comm));
  EXPECT_EQ(before, clock.Now());
}

}  // namespace
}  // namespace kv::link

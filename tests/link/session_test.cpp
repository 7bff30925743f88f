// session_test.cpp: a session over the fake port: a cancel at each phase of a call and after it, one
// call at a time, progress and trace against what the port saw, and the words of the last failure.
#include <algorithm>
#include <cstring>
#include <string>

#include "fake_wake.h"
#include "link/commands.h"
#include "link/exchange.h"
#include "link/session.h"
#include "link_fixture.h"
#include "stored_records.h"

namespace kv::link {
namespace {

using namespace testing;
using namespace std::chrono_literals;
using records::Filled;

// A session on the fake port, opened; its wake, port and clock stay reachable.
struct Rig {
  Rig() { EXPECT_EQ(KV_OK, session.Open(u"5")); }
  FakeClock clock;
  FakeWake* wake = new FakeWake(clock);
  FakeSerialPort* port = new FakeSerialPort(clock);
  Session session{std::unique_ptr<Wake>(wake), std::unique_ptr<SerialPort>(port), clock};
  std::unique_ptr<KVStoredTests> stored = Filled<KVStoredTests>(0xA7);
  // Connect, then the human download into `stored`: the road every phase below lies on.
  int ConnectAndDownload() {
    return session.Run("downloading", [&](CKVComm& c) {
      const int rc = Connect(c);
      return rc != 0 ? rc : ReadStoredTestDataWhole(c, stored.get());
    });
  }
  std::string LastError() const {
    const std::u16string text = session.LastError();
    return {text.begin(), text.end()};
  }
};

class SessionTest : public ::testing::Test, protected Rig {
 protected:
  Duration start = clock.Now();
};

// The handshake answered at 200 ms, the settle to 350; the requests' bytes then go out every 200 ms
// (0x21 at 750, 0x23 at 1150, 0x30 at 1550 ms); the block stops after 1000 of its 3200 bytes.
const std::string kHandshake = "< A5 > A5 ";
const std::string kIdentity = "> 5A 21 < 5A 21 07 11 22 5A 00 > 5A 23 < 5A 23 01 02 03 5A 00 ";
std::string PartBlock() {
  std::string text = "> 5A 30 < 5A 30 AB CD EF";
  for (int i = 0; i < 1000; ++i) text += " 42";
  return text;
}

TEST(SessionCancel, EndsEachPhaseWithin50msAndEveryLaterCall) {
  const struct { const char* phase; std::string transcript; Duration raisedAt; size_t sentBefore; } phases[] = {
      {"handshake wait", "", 10s, 0},
      {"pacing pause", kHandshake, 100ms, 0},
      {"reply receive", kHandshake + "> 5A 21", 1500ms, 3},
      {"block receive", kHandshake + kIdentity + PartBlock(), 3000ms, 7},
  };
  for (const auto& p : phases) {
    SCOPED_TRACE(p.phase);
    Rig r;
    r.port->Play(p.transcript);
    const auto before = Filled<KVStoredTests>(0xA7);
    const Duration raised = r.clock.Now() + p.raisedAt;
    r.wake->RaiseAt(raised);
    EXPECT_EQ(KV_ERR_CANCELLED, r.ConnectAndDownload());
    EXPECT_GE(r.clock.Now(), raised);
    EXPECT_LE(r.clock.Now() - raised, 50ms);
    EXPECT_EQ(p.sentBefore, r.port->Sent().size());
    EXPECT_EQ(0, std::memcmp(before.get(), r.stored.get(), sizeof(KVStoredTests)));
    const size_t calls = r.port->Calls().size();
    EXPECT_EQ(KV_ERR_CANCELLED, r.session.Run("later", [](CKVComm&) { return KV_OK; }));
    EXPECT_EQ(KV_ERR_CANCELLED, r.session.SetTrace(nullptr, nullptr));
    EXPECT_EQ(calls, r.port->Calls().size());
  }
}

TEST_F(SessionTest, ASecondCallMeanwhileIsRefusedWithoutTouchingTheLine) {
  port->Play("> 5A 23 < 5A 23 00 30 39 5A 00");
  uint32_t serial = 0;
  ASSERT_EQ(KV_OK, session.Run("outer", [&](CKVComm& c) {
    const size_t calls = port->Calls().size();
    EXPECT_EQ(KV_ERR_BUSY, session.Run("inner", [](CKVComm&) { return KV_OK; }));
    EXPECT_EQ(KV_ERR_BUSY, session.SetTimeouts(1, 1));
    EXPECT_EQ(KV_ERR_BUSY, session.SetProgress(nullptr, nullptr));
    EXPECT_EQ(calls, port->Calls().size());
    return ReadSerialNumber(c, serial);
  }));
  EXPECT_EQ(12345u, serial);
  EXPECT_EQ("", LastError());
  EXPECT_EQ(KV_OK, session.Run("after", [](CKVComm&) { return KV_OK; }));
}

struct Observed {
  std::vector<std::pair<int32_t, int32_t>> progress;
  int32_t cancelFrom = 1 << 30;
  std::vector<uint8_t> sent, received;
  std::vector<int64_t> times;
};
int32_t KV_CALL OnProgress(void* user, int32_t done, int32_t total) {
  auto* o = static_cast<Observed*>(user);
  o->progress.emplace_back(done, total);
  return done >= o->cancelFrom ? 1 : 0;
}
void KV_CALL OnTrace(void* user, int32_t direction, const uint8_t* bytes, int32_t count, int64_t elapsed) {
  auto* o = static_cast<Observed*>(user);
  (direction == KV_TRACE_SENT ? o->sent : o->received).insert((direction == KV_TRACE_SENT ? o->sent : o->received).end(),
                                                               bytes, bytes + count);
  o->times.push_back(elapsed);
}

TEST_F(SessionTest, ProgressRisesTo3200InStepsOfAtMost64AndTheTraceIsEveryByteOfTheLine) {
  std::string block = "> 5A 30 < 5A 30 AB CD EF";
  for (int i = 0; i < 3200; ++i) block += (i % 700 == 0 ? " +30 < 40" : " 40");  // in bursts, the slots empty
  port->Play(kHandshake + kIdentity + block + " 5A 00");
  Observed o;
  ASSERT_EQ(KV_OK, session.SetProgress(OnProgress, &o));
  ASSERT_EQ(KV_OK, session.SetTrace(OnTrace, &o));
  ASSERT_EQ(KV_OK, ConnectAndDownload());
  ASSERT_FALSE(o.progress.empty());
  EXPECT_EQ(std::make_pair(3200, 3200), o.progress.back());
  for (size_t i = 0; i < o.progress.size(); ++i) {
    EXPECT_EQ(3200, o.progress[i].second);
    EXPECT_GT(o.progress[i].first, i == 0 ? 0 : o.progress[i - 1].first);
    EXPECT_LE(o.progress[i].first - (i == 0 ? 0 : o.progress[i - 1].first), 64);
  }
  std::vector<uint8_t> sent;
  for (const auto& s : port->Sent()) sent.push_back(s.byte);
  EXPECT_EQ(sent, o.sent);
  // Everything that arrived was read, but the handshake's settling purge saw nothing to discard.
  EXPECT_EQ(1u + 14 + 5 + 3200 + 2, o.received.size());
  EXPECT_TRUE(std::is_sorted(o.times.begin(), o.times.end()));
  EXPECT_GE(o.times.back(), (clock.Now() - start - 1ms).count());
}

TEST_F(SessionTest, AProgressCallbackCancelsAndTheContainerStaysAsItWas) {
  port->Play(kHandshake + kIdentity + PartBlock());
  Observed o;
  o.cancelFrom = 500;
  ASSERT_EQ(KV_OK, session.SetProgress(OnProgress, &o));
  const auto before = Filled<KVStoredTests>(0xA7);
  EXPECT_EQ(KV_ERR_CANCELLED, ConnectAndDownload());
  EXPECT_EQ(0, std::memcmp(before.get(), stored.get(), sizeof(KVStoredTests)));
  EXPECT_LT(o.progress.back().first, 564);
  EXPECT_EQ(KV_ERR_CANCELLED, session.SetProgress(nullptr, nullptr));
}

TEST_F(SessionTest, TheLastErrorSaysWhatWasDoneAndWhatHappened) {
  const struct { std::string transcript; int32_t silence; int code; std::string text; } cases[] = {
      {"> 5A 23", 500, KV_ERR_RECEIVE,
       "reading: the analyser sent nothing for 500 ms (0 of 2 bytes in) [KV_ERR_RECEIVE, -55]"},
      {"> 5A 23 < 5A 24", 0, KV_ERR_ECHO,
       "reading: the analyser answered request 5A 23 with 5A 24 [KV_ERR_ECHO, -53]"},
      {"> 5A 23 < 5A 23 01 02 03 5A 01", 0, KV_ERR_ACK,
       "reading: the analyser's acknowledgement was 5A 01, not 5A 00 [KV_ERR_ACK, -54]"},
      {"> 5A 23 < 5A 23 01 02 03 5A 00", 0, KV_OK,
       "reading: the analyser's acknowledgement was 5A 01, not 5A 00 [KV_ERR_ACK, -54]"},  // a success keeps it
  };
  for (const auto& c : cases) {
    port->Play(c.transcript);
    ASSERT_EQ(KV_OK, session.SetTimeouts(0, c.silence));
    const Duration before = clock.Now();
    uint32_t serial = 0;
    EXPECT_EQ(c.code, session.Run("reading", [&](CKVComm& comm) { return ReadSerialNumber(comm, serial); }));
    EXPECT_EQ(c.text, LastError());
    EXPECT_TRUE(c.code != KV_ERR_RECEIVE || clock.Now() - before < 1s);
  }
  ASSERT_EQ(KV_OK, session.SetTimeouts(200, 0));
  const Duration before = clock.Now();
  EXPECT_EQ(KV_ERR_NO_HANDSHAKE, session.Run("connecting", [](CKVComm& c) { return Connect(c); }));
  EXPECT_EQ(200ms, clock.Now() - before);
  EXPECT_EQ("connecting: no handshake byte (0xA5) from the analyser within 200 ms [KV_ERR_NO_HANDSHAKE, -52]",
            LastError());
  EXPECT_EQ(KV_ERR_ARGUMENT, session.SetTimeouts(-1, 0));
  EXPECT_EQ("setting the time limits: a time limit is negative [KV_ERR_ARGUMENT, -18]", LastError());
  session.Cancel();
  EXPECT_EQ(KV_ERR_CANCELLED, session.Run("reading", [](CKVComm&) { return KV_OK; }));
  EXPECT_EQ("reading: the session is cancelled [KV_ERR_CANCELLED, -57]", LastError());
}

}  // namespace
}  // namespace kv::link

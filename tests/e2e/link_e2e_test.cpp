// link_e2e_test.cpp: the serial link and the handshake end to end: the library's exports against
// the simulated analyser over a real serial line (a pseudo-terminal, or a COM port under Wine).
#include <thread>

#include "device_fixture.h"
#include "expected.h"

namespace kv::e2e {
namespace {

using namespace std::chrono_literals;

class LinkE2E : public DeviceTest {};

TEST_F(LinkE2E, ConnectAnswersTheHandshakeOnceAndCloses) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  if (auto r = sim->Recording()) {
    EXPECT_EQ((std::vector<uint8_t>{0xA5}), r->HostBytes());
  }
  uint32_t serial = 0;
  EXPECT_EQ(0, KVReadSerialNumber(&serial));
  EXPECT_EQ(sim->Scenario().model.serialNumber, serial);
  KVCloseComport();
  KVCloseComport();  // twice is harmless
  if (sim->Recording()) {
    // The simulator sees the line hang up once the library lets go of it.
    const auto start = std::chrono::steady_clock::now();
    bool detached = false;
    while (!detached && Since(start) < 2s) {
      for (const auto& n : sim->Recording()->Notes()) detached = detached || n == "host detached";
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(detached);
  }
}

TEST_F(LinkE2E, ConnectSkipsGarbageBeforeTheHandshake) {
  KV_START_ANALYSER(sim, "--model", "7", "--fault", "garbage:bytes=40");
  OpenAndConnect(*sim);
  uint32_t serial = 0;
  EXPECT_EQ(0, KVReadSerialNumber(&serial));
  EXPECT_EQ(sim->Scenario().model.serialNumber, serial);
}

struct Outcome {
  const char* name;
  const char* fault;
  int code;
  bool serialWritten;  // decoded before the acknowledgement is checked
};

class ExchangeOutcomes : public DeviceTest, public ::testing::WithParamInterface<Outcome> {};

TEST_P(ExchangeOutcomes, GiveTheirCode) {
  std::vector<std::string> args{"--model", "7"};
  if (*GetParam().fault != '\0') args.insert(args.end(), {"--fault", GetParam().fault});
  std::string whyNot;
  auto sim = StartAnalyser(args, &whyNot);
  if (!sim) GTEST_SKIP() << whyNot;
  OpenAndConnect(*sim);
  uint32_t serial = 0xDEADBEEF;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(GetParam().code, KVReadSerialNumber(&serial));
  EXPECT_EQ(GetParam().serialWritten ? sim->Scenario().model.serialNumber : 0xDEADBEEF, serial);
  // A silent analyser is given up within the library's bounded wait, not waited for without end.
  EXPECT_LT(Since(start).count(), 8.0);
}

INSTANTIATE_TEST_SUITE_P(Serial, ExchangeOutcomes,
                         ::testing::Values(Outcome{"Success", "", 0, true},
                                           Outcome{"WrongEcho", "wrong-echo:cmd=0x23", -53, false},
                                           Outcome{"WrongAckKeepsOutput", "wrong-ack:cmd=0x23", -54, true},
                                           Outcome{"SilenceAfterEcho", "silence:cmd=0x23,after=2", -55, false},
                                           Outcome{"NoAnswer", "no-answer:cmd=0x23", -55, false}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(LinkE2E, CloseAndReopenMeetsAFreshHandshake) {
  KV_START_ANALYSER(sim, "--model", "3");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    OpenAndConnect(*sim);
    uint8_t p1 = 0, p2 = 0, p3 = 0;
    EXPECT_EQ(0, KVReadProtocolInfo(&p1, &p2, &p3));
    EXPECT_EQ(sim->Scenario().model.protocol, (std::array<uint8_t, 3>{p1, p2, p3}));
    KVCloseComport();
  }
}

TEST_F(LinkE2E, FailedOpenClosesThePreviousPort) {
  KV_START_ANALYSER(sim, "--model", "7");
  OpenAndConnect(*sim);
  const std::u16string missing = MissingPortName();
  EXPECT_EQ(-50, KVOpenComport(reinterpret_cast<const KVWChar*>(missing.c_str())));
  const size_t before = HostBytesSoFar(*sim);
  uint32_t serial = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(-56, KVReadSerialNumber(&serial));  // nothing to send on
  EXPECT_LT(Since(start).count(), 3.0);
  EXPECT_EQ(before, HostBytesSoFar(*sim));
  EXPECT_EQ(0u, serial);
}

TEST_F(LinkE2E, PortNameWithoutDevicePrefixIsNoPort) {
  EXPECT_EQ(-50, KVOpenComport(W(u"COM7")));
}

TEST_F(LinkE2E, WithNoPortOpenConnectAndCommandsFailAtOnce) {
  KVCloseComport();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(-52, KVConnect());
  uint32_t serial = 0;
  EXPECT_EQ(-56, KVReadSerialNumber(&serial));
  EXPECT_LT(Since(start).count(), 3.0);
}

TEST_F(LinkE2E, EveryHostByteIsPacedAtLeast200ms) {
  KV_START_ANALYSER(sim, "--model", "7");
  if (!sim->Recording()) GTEST_SKIP() << "needs the simulator's timestamps (in-process simulator)";
  OpenAndConnect(*sim);
  uint32_t serial = 0;
  uint8_t p1 = 0, p2 = 0, p3 = 0;
  ASSERT_EQ(0, KVReadSerialNumber(&serial));
  ASSERT_EQ(0, KVReadProtocolInfo(&p1, &p2, &p3));
  const auto times = sim->Recording()->HostByteTimes();
  ASSERT_EQ(5u, times.size());  // the handshake answer and two requests
  // The simulator stamps a byte when its thread reads it, which a busy machine can delay by a few
  // milliseconds more for one byte than for the next: allow 5 ms of that lateness.
  sim::Micros shortest = sim::Micros::max();
  for (size_t i = 1; i < times.size(); ++i) {
    shortest = std::min(shortest, times[i] - times[i - 1]);
    EXPECT_GE(times[i] - times[i - 1], 195ms) << "gap before byte " << i;
  }
  std::printf("shortest gap between host bytes: %.3f ms\n", static_cast<double>(shortest.count()) / 1000.0);
  RecordProperty("shortest_gap_us", static_cast<int>(shortest.count()));
}

}  // namespace
}  // namespace kv::e2e

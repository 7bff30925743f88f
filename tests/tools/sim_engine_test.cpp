// sim_engine_test.cpp: the simulator's protocol engine (commands, handshake, sessions, faults) in
// simulated time against a hand-built analyser whose reply bytes are written out here by hand.
#include <gtest/gtest.h>

#include <sstream>

#include "engine.h"

namespace kv::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

Scenario HandScenario() {
  Scenario s;
  AnalyserModel& m = s.model;
  m.modelCode = 7;
  m.version = {0x11, 0x12, 0x13, 0x14, 0x15};
  m.protocol = {0x21, 0x22, 0x23};
  m.serialNumber = 0x010203;
  m.printerAddress = {'P', 'R', 'N', '-', '0', '1', '2', '3', '4', '5', '6', '7'};
  m.clock = {0x30, 0x15, 0x09, 0x24, 0x12, 0x23};
  m.calibrationTime = {0x00, 0x30, 0x09, 0x20, 0x11, 0x23};
  m.blockHeader = {0xAB, 0xCD, 0xEF};
  for (int i = 0; i < kSlotSize; ++i) m.singleTest[i] = static_cast<uint8_t>(0x80 + i);
  m.slots.assign(kSlotCount, EmptySlot{});
  m.slots[0] = HumanTest{.female = true, .activityLevel = 3, .age = 40, .height = 170, .weightTenths = 750};
  s.handshake.interval = 100ms;
  return s;
}

// Drives an engine: time moves only when the test says so.
struct Line {
  explicit Line(Scenario scenario) : engine(std::move(scenario)) {}
  // Host bytes arrive; whatever the analyser sends up to `settle` later comes back.
  Bytes Send(const Bytes& bytes, Micros settle = 1ms) {
    engine.Receive(bytes, now);
    Bytes got;
    for (const Micros end = now + settle;;) {
      const auto due = engine.TakeDue(now);
      got.insert(got.end(), due.begin(), due.end());
      if (now == end) return got;
      const auto next = engine.NextEvent();
      now = next && *next <= end ? std::max(now, *next) : end;
    }
  }
  void Connect() {
    engine.HostAttached(now);
    EXPECT_EQ(Bytes{kHandshake}, Send({}));
    engine.Receive(Bytes{kHandshake}, now);
  }
  Engine engine;
  Micros now{1000000};
};

// Hex bytes; "serial" stands for the whole reply to 0x23.
Bytes Hex(const std::string& text) {
  Bytes b;
  std::istringstream in(text);
  for (std::string t; in >> t;) {
    if (t == "serial")
      b.insert(b.end(), {0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00});
    else
      b.push_back(static_cast<uint8_t>(std::stoi(t, nullptr, 16)));
  }
  return b;
}

struct Script {
  const char* name;
  const char* fault;  // "" for none
  const char* setup;  // words: attach (no handshake answer), strict, delay, unsupported, running
  const char* steps;  // "host bytes > analyser bytes [@ settle ms]; ..." (settle 100 ms unless given)
};

class Scripts : public ::testing::TestWithParam<Script> {};

TEST_P(Scripts, AnalyserAnswersAsWritten) {
  const std::string setup = GetParam().setup;
  Scenario s = HandScenario();
  s.handshake.serveWithoutHandshake = setup.find("strict") == std::string::npos;
  if (setup.find("delay") != std::string::npos) s.handshake.delay = 2s;
  if (setup.find("unsupported") != std::string::npos) s.model.unsupportedCommands = {0x24};
  if (setup.find("running") != std::string::npos) {
    s.model.clockRuns = true;
    s.model.clock = {0x58, 0x59, 0x23, 0x31, 0x12, 0x23};  // 31 December 2023 23:59:58
  }
  std::string error;
  if (*GetParam().fault) {
    auto fault = ParseFault(GetParam().fault, &error);
    ASSERT_TRUE(fault) << error;
    s.faults.push_back(*fault);
  }
  Line line(std::move(s));
  if (setup.find("attach") != std::string::npos)
    line.engine.HostAttached(line.now);
  else
    line.Connect();
  std::istringstream steps(GetParam().steps);
  for (std::string step; std::getline(steps, step, ';');) {
    const size_t arrow = step.find('>');
    const size_t at = step.find('@');
    const Micros settle = at == std::string::npos ? 100ms : Micros(std::stoi(step.substr(at + 1)) * 1000);
    EXPECT_EQ(Hex(step.substr(arrow + 1, at - arrow - 1)), line.Send(Hex(step.substr(0, arrow)), settle)) << step;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Scripts,
    ::testing::Values(
        Script{"Model", "", "", "5A 21 > 5A 21 07 11 12 5A 00"},
        Script{"FurtherVersion", "", "", "5A 24 > 5A 24 13 14 15 5A 00"},
        Script{"Protocol", "", "", "5A 22 > 5A 22 21 22 23 5A 00"},
        Script{"SerialBigEndian", "", "", "5A 23 > 5A 23 01 02 03 5A 00"},
        Script{"PrinterAddress", "", "", "5A 32 > 5A 32 50 52 4E 2D 30 31 32 33 34 35 36 37 5A 00"},
        Script{"CurrentTime", "", "", "5A 31 > 5A 31 30 15 09 24 12 23 5A 00"},
        Script{"CalibrationTime", "", "", "5A 33 > 5A 33 00 30 09 20 11 23 5A 00"},
        Script{
            "SingleTest", "", "",
            "5A 40 > 5A 40 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F 90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D "
            "9E 9F 5A 00"},
        Script{"UnknownAndUnsupported", "", "unsupported",
               "5A 77 > 5A 3F; 5A 24 > 5A 3F; 5A 21 > 5A 21 07 11 12 5A 00"},
        Script{"StrayBytesSkipped", "", "", "00 A5 5A 23 > serial"},
        Script{"WritePrinterAddress", "", "",
               "5A 92 > 5A 92; 41 42 43 44 45 46 30 31 32 33 34 >; 35 > 5A 00;"
               "5A 32 > 5A 32 41 42 43 44 45 46 30 31 32 33 34 35 5A 00"},
        // 5 March 2024 14:07:09, in two parts a second apart.
        Script{"WriteClock", "", "",
               "5A 91 > 5A 91; 09 07 14 > @1000; 05 03 24 > 5A 00; 5A 31 > 5A 31 09 07 14 05 03 24 5A 00"},
        Script{"AbandonedWriteGivenUp", "", "",
               "5A 91 > 5A 91; 09 07 > @1600; 5A 23 > serial; 5A 31 > 5A 31 30 15 09 24 12 23 5A 00"},
        Script{"RunningClock", "", "running", "> @3000; 5A 31 > 5A 31 01 00 00 01 01 24 5A 00"},
        // Interval 100 ms: handshake bytes at 0, 100, 200 and 300 ms; other bytes do not answer it.
        Script{"HandshakeRepeatsUntilAnswered", "", "attach strict",
               "13 37 > A5 A5 A5 A5 @350; 5A 23 > @10; A5 > @1000; 5A 23 > serial"},
        Script{"RequestEndsALenientHandshake", "", "attach", "> A5 @1; 5A 23 > serial"},
        Script{"SwitchOnDelay", "", "attach delay", "> @1999; > A5 @2"},
        Script{"WrongEchoAlone", "wrong-echo:cmd=0x23", "", "5A 23 > 5A 22"},
        Script{"WrongEchoThenTheRest", "wrong-echo:cmd=0x23,rest=1", "", "5A 23 > 5A 22 01 02 03 5A 00"},
        Script{"WrongEchoGivenBytes", "wrong-echo:cmd=0x23,reply=0000", "", "5A 23 > 00 00"},
        Script{"WrongEchoOtherCommand", "wrong-echo:cmd=0x24", "", "5A 23 > serial"},
        Script{"WrongEchoOnWrite", "wrong-echo:cmd=0x92", "", "5A 92 > 5A 93; 5A 23 > serial"},
        Script{"WrongAck", "wrong-ack:cmd=35", "", "5A 23 > 5A 23 01 02 03 5A 01"},
        Script{"WrongAckGiven", "wrong-ack:reply=A500", "", "5A 22 > 5A 22 21 22 23 A5 00"},
        Script{"WrongAckAfterWrite", "wrong-ack:cmd=0x91", "", "5A 91 > 5A 91; 09 07 14 05 03 24 > 5A 01"},
        Script{"NoAnswer", "no-answer:cmd=0x24", "", "5A 24 >; 5A 23 > serial"},
        Script{"SilenceWithinAReply", "silence:cmd=0x23,after=3", "", "5A 23 > 5A 23 01"},
        // Nine reply bytes in all: seven of the first reply, two of the second, none after.
        Script{"SilenceForTheSession", "silence:after=9", "", "5A 23 > serial; 5A 22 > 5A 22; 5A 21 >"},
        Script{"WearsOffAfterTimes", "wrong-echo:cmd=0x23,times=1", "", "5A 23 > 5A 22; 5A 23 > serial"},
        Script{"NoiseOfZero", "noise:p=0", "", "5A 23 > serial"},
        Script{"SlowLatencyAndSpacing", "slow:latency-ms=50,byte-us=2000", "",
               "5A 23 > @49; > 5A @2; > 23 01 @4; > 02 03 5A 00"}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(Engine, StoredTestsBlockAndTheFaultsThatSpoilIt) {
  auto download = [](const char* fault) {
    Scenario s = HandScenario();
    if (fault) s.faults.push_back(*ParseFault(fault, nullptr));
    Line line(std::move(s));
    line.Connect();
    return line.Send({0x5A, 0x30}, 1s);
  };
  const Bytes clean = download(nullptr);
  ASSERT_EQ(2u + 3u + 3200u + 2u, clean.size());
  // Slot 0: female (bit 3), activity 3 (bits 0-2 = 2), age 40, height 170, weight 750 = 0x02EE.
  EXPECT_EQ((Bytes{0x5A, 0x30, 0xAB, 0xCD, 0xEF, 0x0A, 0x00, 40, 170, 0x02, 0xEE}),
            Bytes(clean.begin(), clean.begin() + 11));
  EXPECT_TRUE(std::all_of(clean.begin() + 37, clean.end() - 2, [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ((Bytes{0x5A, 0x00}), Bytes(clean.end() - 2, clean.end()));
  EXPECT_EQ(Bytes(clean.begin(), clean.begin() + 105), download("truncate-block:bytes=100"));
  const Bytes all = download("noise:p=1,seed=3");
  ASSERT_EQ(clean.size(), all.size());
  for (size_t i = 0; i < clean.size(); ++i) ASSERT_NE(clean[i], all[i]) << "byte " << i;
  const Bytes some = download("noise:p=0.1,seed=5");
  size_t changed = 0;
  for (size_t i = 0; i < clean.size(); ++i) changed += clean[i] != some[i];
  EXPECT_TRUE(changed > 200 && changed < 450) << changed;  // 3207 bytes at one in ten
  EXPECT_EQ(some, download("noise:p=0.1,seed=5"));
  EXPECT_NE(some, download("noise:p=0.1,seed=6"));
}

TEST(Engine, GarbageComesBeforeTheFirstHandshakeByte) {
  Scenario s = HandScenario();
  s.faults.push_back(*ParseFault("garbage:bytes=40,seed=9", nullptr));
  Line line(std::move(s));
  line.engine.HostAttached(line.now);
  const Bytes got = line.Send({});
  ASSERT_EQ(41u, got.size());
  EXPECT_EQ(0, std::count(got.begin(), got.end() - 1, 0xA5));
}

// Detaching drops the unsent reply; each session starts from the scenario: settings, faults.
TEST(Engine, EachSessionStartsFromTheScenario) {
  Scenario s = HandScenario();
  s.faults.push_back(*ParseFault("wrong-echo:cmd=0x23,times=1", nullptr));
  Line line(std::move(s));
  line.Connect();
  line.Send({0x5A, 0x92});
  line.Send(Hex("41 42 43 44 45 46 30 31 32 33 34 35"));
  EXPECT_EQ('A', line.engine.model().printerAddress[0]);
  EXPECT_EQ((Bytes{0x5A, 0x22}), line.Send({0x5A, 0x23}));
  line.engine.Receive(Bytes{0x5A, 0x21}, line.now);
  line.engine.HostDetached(line.now);
  EXPECT_EQ(Engine::Phase::kDetached, line.engine.phase());
  EXPECT_TRUE(line.Send({}, 1s).empty());
  line.Connect();
  EXPECT_EQ('P', line.engine.model().printerAddress[0]);
  EXPECT_EQ((Bytes{0x5A, 0x22}), line.Send({0x5A, 0x23}));
}

TEST(Engine, RecordingHoldsBothDirectionsWithTimes) {
  Line line(HandScenario());
  line.Connect();
  const Micros sentAt = line.now;
  line.Send({0x5A, 0x23});
  const Recording& r = line.engine.recording();
  EXPECT_EQ((Bytes{0xA5, 0x5A, 0x23}), r.HostBytes());
  EXPECT_EQ((Bytes{0xA5, 0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00}), r.AnalyserBytes());
  EXPECT_EQ(sentAt, r.HostByteTimes().at(2));
  EXPECT_EQ("     1.001000 A< 00", Recording::FormatEvent(r.Events().back()));
}

TEST(FaultText, ParsesOrRefuses) {
  std::string error;
  for (const char* text : {"silence:cmd=0x30,after=5,times=2", "noise:p=0.25,seed=0x10"})
    EXPECT_TRUE(ParseFault(text, &error)) << text << ": " << error;
  for (const char* text : {"explode", "wrong-ack:colour=red", "wrong-ack:cmd=0x123", "wrong-echo:reply=5A",
                           "noise:p=1.5", "no-answer", "silence:after"}) {
    error.clear();
    EXPECT_FALSE(ParseFault(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace kv::sim

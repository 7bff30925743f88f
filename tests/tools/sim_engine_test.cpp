// sim_engine_test.cpp: the simulator's protocol engine in simulated time against a hand-built analyser:
// the byte transcripts of data/transcripts.tsv (commands, handshake, writes, faults), sessions and the
// recording. What the stored-tests block holds is the host's download in tests/e2e, every slot decoded
// against the analyser's fields; the faults that spoil it are rows of the transcripts.
#include <gtest/gtest.h>

#include "../support/data_table.h"
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
  m.slots[0] = HumanTest{.female = true, .activityLevel = 3, .age = 40, .height = 170, .weightTenths = 750};
  s.handshake.interval = 100ms;
  return s;
}

Scenario WithFault(Scenario s, const std::string& text) {
  std::string error;
  const auto fault = ParseFault(text, &error);
  EXPECT_TRUE(fault) << text << ": " << error;
  if (fault) s.faults.push_back(*fault);
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

Bytes Hex(const std::string& text) {
  Bytes b;
  for (const std::string& t : SplitCells(text)) {
    if (t == "serial")
      b.insert(b.end(), {0x5A, 0x23, 0x01, 0x02, 0x03, 0x5A, 0x00});
    else
      b.push_back(static_cast<uint8_t>(std::stoi(t, nullptr, 16)));
  }
  return b;
}

TEST(Engine, TranscriptsAsWritten) {
  const std::vector<TableRow> rows = ReadTable("transcripts.tsv", '\t', 4);
  for (const TableRow& row : rows) {
    const std::string &fault = row[1], &setup = row[2];
    SCOPED_TRACE(row[0]);
    Scenario s = fault == "-" ? HandScenario() : WithFault(HandScenario(), fault);
    s.handshake.serveWithoutHandshake = setup.find("strict") == std::string::npos;
    if (setup.find("delay") != std::string::npos) s.handshake.delay = 2s;
    if (setup.find("unsupported") != std::string::npos) s.model.unsupportedCommands = {0x24};
    if (setup.find("running") != std::string::npos) {
      s.model.clockRuns = true;
      s.model.clock = {0x58, 0x59, 0x23, 0x31, 0x12, 0x23};  // 31 December 2023 23:59:58
    }
    Line line(std::move(s));
    if (setup.find("attach") != std::string::npos)
      line.engine.HostAttached(line.now);
    else
      line.Connect();
    for (const std::string& step : SplitCells(row[3], ';')) {
      const size_t arrow = step.find('>'), at = step.find('@');
      const Micros settle = at == std::string::npos ? 100ms : Micros(std::stoi(step.substr(at + 1)) * 1000);
      EXPECT_EQ(Hex(step.substr(arrow + 1, at - arrow - 1)), line.Send(Hex(step.substr(0, arrow)), settle)) << step;
    }
  }
  EXPECT_GT(rows.size(), 30u);
}

// Detaching drops the unsent reply; each session starts from the scenario: settings, faults. The
// recording holds both directions with their times.
TEST(Engine, SessionsAndTheRecording) {
  Line line(WithFault(HandScenario(), "wrong-echo:cmd=0x23,times=1"));
  line.Connect();
  const Micros sentAt = line.now;
  EXPECT_EQ((Bytes{0x5A, 0x22}), line.Send({0x5A, 0x23}));
  const Recording& r = line.engine.recording();
  EXPECT_EQ((Bytes{0xA5, 0x5A, 0x23}), r.HostBytes());
  EXPECT_EQ((Bytes{0xA5, 0x5A, 0x22}), r.AnalyserBytes());
  EXPECT_EQ(sentAt, r.HostByteTimes().at(2));
  EXPECT_EQ("     1.001000 A< 22", Recording::FormatEvent(r.Events().back()));
  line.Send({0x5A, 0x92});
  line.Send(Hex("41 42 43 44 45 46 30 31 32 33 34 35"));
  line.engine.Receive(Bytes{0x5A, 0x21}, line.now);
  line.engine.HostDetached(line.now);
  EXPECT_EQ(Engine::Phase::kDetached, line.engine.phase());
  EXPECT_TRUE(line.Send({}, 1s).empty());
  line.Connect();
  EXPECT_EQ('P', line.engine.model().printerAddress[0]);
  EXPECT_EQ((Bytes{0x5A, 0x22}), line.Send({0x5A, 0x23}));
}

}  // namespace
}  // namespace kv::sim

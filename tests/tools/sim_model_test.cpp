// sim_model_test.cpp: the simulated analyser's packed times, slot layouts (bytes written out by
// hand), the presets of every model code, scenario files and the simulator's command line.
#include <gtest/gtest.h>

#include <set>

#include "../support/data_table.h"
#include "KorvantaSDK.h"
#include "catalogue.h"
#include "scenario.h"
#include "simulator_options.h"

namespace kv::sim {
namespace {

using Bytes = std::vector<uint8_t>;
Bytes Encoded(const Slot& slot) {
  const auto a = EncodeSlot(slot);
  return Bytes(a.begin(), a.end());
}

TEST(PackedTime, PackUnpackAndCarry) {
  EXPECT_EQ(0xA0, PackDateTime({2100, 1, 1, 0, 0, 0})[5]);  // 10 tens of years
  DeviceDateTime t;
  EXPECT_TRUE(UnpackDateTime({0, 0, 0, 0x29, 0x02, 0x24}, &t));      // 29 February 2024
  EXPECT_FALSE(UnpackDateTime({0, 0, 0, 0x29, 0x02, 0x23}, &t));     // no 29 February 2023
  EXPECT_FALSE(UnpackDateTime({0, 0, 0, 0x01, 0x13, 0x23}, &t));     // month 13
  EXPECT_FALSE(UnpackDateTime({0xFF, 0, 0, 0x01, 0x01, 0x23}, &t));  // not decimal digits
  // 28 Feb 2024 23:59:30 + 1 day 45 s: 29 February (leap year), then 1 March 00:00:15.
  EXPECT_EQ((PackedTime{0x15, 0x00, 0x00, 0x01, 0x03, 0x24}),
            PackDateTime(AddSeconds({2024, 2, 28, 23, 59, 30}, 86445)));
  EXPECT_EQ((PackedTime{0x59, 0x59, 0x23, 0x31, 0x12, 0x23}), PackDateTime(AddSeconds({2024, 1, 1, 0, 0, 0}, -1)));
}

TEST(Slots, EveryFieldInItsPlace) {
  // Flags: bits 4, 5, 7 (0xB0) | female bit 3 | activity 3 - 1 = 2: 0xBA.
  // clang-format off
  HumanTest h{true, 3, 0xB0, 0x99, 35, 172, 750, 0x0102, 0x0304, 0x0708, 0x0506, 0x0F10, 0x1112, 0x090A, 0x0B0C,
              0x0D0E, {1, 2, 3, 4, 5, 6}, 0x1314};
  // clang-format on
  EXPECT_EQ((Bytes{0xBA, 0x99, 35, 172, 0x02, 0xEE, 1,  2,  3,  4,  5,  6,  1,  2,  3,  4,
                   5,    6,    7,  8,   9,    10,   11, 12, 13, 14, 15, 16, 17, 18, 19, 20}),
            Encoded(h));
  EXPECT_EQ(0xFA, Encoded(EmptySlot{EncodeSlot(h)})[0]);  // deleted: the empty bit over what the slot held
  h = HumanTest{.female = false, .activityLevel = 1, .flagBits = 0x40};  // bit 6 marks empty slots only
  EXPECT_EQ(0x00, Encoded(h)[0]);
  const EquineTest e{0x0102, 160,    1000,   0x1112, 0x1314, 0x1516,
                     0x0A0B, 0x1718, 0x191A, 0x1B1C, 3,      {0x30, 0x15, 0x09, 0x24, 0x12, 0x23}};
  EXPECT_EQ((Bytes{0x01, 0x01, 0x02, 160,  0,    0,    0,    0,    0x03, 0xE8, 0x0A, 0x0B, 0x30, 0x15, 0x09, 0x24,
                   0x12, 0x23, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x03, 0x00}),
            Encoded(e));
  EXPECT_EQ(Bytes(32, 0xFF), Encoded(EmptySlot{}));
}

// Every preset is reproducible, holds what the calculation accepts, a deleted test and tests after a gap.
TEST(Presets, EveryModelCode) {
  std::set<uint32_t> serials;
  for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 200, 255}) {
    SCOPED_TRACE("model " + std::to_string(code));
    const AnalyserModel m = PresetModel(code);
    const int family = kv::DeviceFamily(code);
    EXPECT_EQ(code, m.modelCode);
    EXPECT_EQ(family <= KV_FAMILY_CABALLIX_BASIC ? SlotLayout::kEquine : SlotLayout::kHuman, m.layout);
    EXPECT_EQ(m.serialNumber, PresetModel(code).serialNumber);
    if (code <= 15) serials.insert(m.serialNumber);
    DeviceDateTime when;
    EXPECT_TRUE(UnpackDateTime(m.clock, &when) && UnpackDateTime(m.calibrationTime, &when));
    const int leading = LeadingTestCount(m);
    EXPECT_GE(leading, 10);
    EXPECT_EQ(code == 11, leading == kSlotCount);  // model 11 stands for a full memory
    int afterGap = 0;
    bool deleted = false;
    for (int i = 0; i < kSlotCount; ++i) {
      const auto bytes = EncodeSlot(m.slots[i]);
      deleted = deleted || ((bytes[0] & 0x40) && bytes != EmptySlot::ErasedMemory());
      afterGap += i > leading && !(bytes[0] & 0x40);
      if (const auto* h = std::get_if<HumanTest>(&m.slots[i])) {
        EXPECT_TRUE(UnpackDateTime(h->time, &when) && h->age >= 1 && h->age <= 99 && h->height >= 10 &&
                    h->height <= 229 && h->weightTenths >= 1 && h->weightTenths <= 3000 && h->activityLevel >= 1 &&
                    h->activityLevel <= 5 && h->waist >= 5 && h->waist <= 648 && h->hip >= 5 && h->hip <= 648 &&
                    h->impedanceF2 > 0 && h->resistance > 0)
            << "slot " << i;
        EXPECT_TRUE(h->impedanceF4 > 0 || (family != KV_FAMILY_QUATTRON && family != KV_FAMILY_POLYTRACE));
      } else if (const auto* e = std::get_if<EquineTest>(&m.slots[i])) {
        EXPECT_TRUE(UnpackDateTime(e->time, &when) && e->height >= 140 && e->conditionScore <= 9) << "slot " << i;
      }
    }
    EXPECT_TRUE(leading == kSlotCount || (deleted && afterGap > 0));
  }
  EXPECT_EQ(16u, serials.size());
}

TEST(Scenarios, FilesAndKeysOverThePreset) {
  std::string error;
  EXPECT_TRUE(LoadScenarioFile(KV_SCENARIO_DIR "/quattron_clinic.json", &error)) << error;
  const auto s = ParseScenario(R"({"model": 5, "serialNumber": 66051, "clock": "30 15 09 24 13 23",
      "printerAddress": "AB", "faults": ["wrong-ack:cmd=0x23"], "tests": [{"empty": true},
      {"sex": "female", "activityLevel": 3, "weightKg": 75}, {"slot": 9, "raw": [10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1]}]})",
                               &error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(66051u, s->model.serialNumber);
  EXPECT_EQ(PresetModel(5).version, s->model.version);
  EXPECT_EQ((PackedTime{0x30, 0x15, 0x09, 0x24, 0x13, 0x23}), s->model.clock);  // month 13 kept as given
  EXPECT_EQ((std::array<uint8_t, 12>{'A', 'B'}), s->model.printerAddress);
  ASSERT_EQ(1u, s->faults.size());
  EXPECT_EQ(FaultKind::kWrongAck, s->faults[0].kind);
  EXPECT_EQ(0, LeadingTestCount(s->model));
  const Bytes slot1 = Encoded(s->model.slots[1]);
  EXPECT_EQ((Bytes{0x0A, 0x00, 0x00, 0x00, 0x02, 0xEE}), Bytes(slot1.begin(), slot1.begin() + 6));
  EXPECT_EQ(0x01, Encoded(s->model.slots[9])[31]);
  EXPECT_TRUE(std::holds_alternative<EmptySlot>(s->model.slots[10]));
}

TEST(Scenarios, RefusedWithTheKeyNamed) {
  const std::vector<TableRow> rows = ReadTable("scenarios_refused.tsv", '\t', 2);
  for (const TableRow& row : rows) {
    std::string error;
    EXPECT_FALSE(ParseScenario(row[0], &error)) << row[0];
    EXPECT_NE(std::string::npos, error.find(row[1])) << row[0] << ": " << error;
  }
  EXPECT_GT(rows.size(), 10u);
}

// The options, and fault texts given by --fault: accepted forms and refusals (more in the scenario table).
TEST(SimulatorArgs, ModelFileFaultsAndRefusals) {
  std::string error;
  auto o = ParseSimulatorArgs({"--model", "12", "--fault", "silence:cmd=0x30,after=5,times=2", "--fault",
                               "noise:p=0.25,seed=0x10", "--fault", "garbage", "--record", "/tmp/x"},
                              &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(12, o->scenario.model.modelCode);
  ASSERT_EQ(3u, o->scenario.faults.size());
  EXPECT_EQ(16u, o->scenario.faults[1].seed);
  EXPECT_EQ("/tmp/x", o->recordPath);
  EXPECT_FALSE(o->help);
  EXPECT_EQ(7, ParseSimulatorArgs({}, &error)->scenario.model.modelCode);
  o = ParseSimulatorArgs({"--scenario", KV_SCENARIO_DIR "/caballix_stable.json", "--fault", "no-answer:cmd=0x24"},
                         &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(0, std::get<EquineTest>(o->scenario.model.slots[2]).conditionScore);
  EXPECT_EQ(4682, std::get<EquineTest>(o->scenario.model.slots[2]).readingTenths);
  EXPECT_EQ((PackedTime{0x59, 0x05, 0x08, 0x03, 0x05, 0x24}), std::get<EquineTest>(o->scenario.model.slots[2]).time);
  EXPECT_EQ(1u, o->scenario.faults.size());
  EXPECT_TRUE(ParseSimulatorArgs({"--help"}, &error)->help);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--model", "256"}, {"--model", "7x"}, {"--model"}, {"--model", "7", "--scenario", "a.json"},
           {"--scenario", "/no/such/file.json"}, {"--colour"}, {"--fault", "explode"}}) {
    error.clear();
    EXPECT_FALSE(ParseSimulatorArgs(args, &error)) << args.back();
    EXPECT_FALSE(error.empty()) << args.back();
  }
  const std::string usage = SimulatorUsage("kv_simulator");
  for (const char* word : {"--model", "--scenario", "--fault", "--record", "wrong-echo", "truncate-block"})
    EXPECT_NE(std::string::npos, usage.find(word)) << word;
}

}  // namespace
}  // namespace kv::sim

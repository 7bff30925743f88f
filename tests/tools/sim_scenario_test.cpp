// sim_scenario_test.cpp: scenario files and the simulator's command line: what they set, and the
// errors a misspelt file or argument gets.
#include <gtest/gtest.h>

#include "scenario.h"
#include "simulator_options.h"

namespace kv::sim {
namespace {

TEST(ScenarioTest, ExampleFilesLoad) {
  std::string error;
  auto human = LoadScenarioFile(KV_SCENARIO_DIR "/quattron_clinic.json", &error);
  ASSERT_TRUE(human) << error;
  EXPECT_EQ(7, human->model.modelCode);
  EXPECT_EQ(SlotLayout::kHuman, human->model.layout);
  EXPECT_EQ(4, LeadingTestCount(human->model));
  const auto* first = std::get_if<HumanTest>(&human->model.slots[0]);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(824, first->weightTenths);  // 82.4 kg
  EXPECT_EQ((PackedTime{0x17, 0x41, 0x08, 0x12, 0x02, 0x24}), first->time);
  EXPECT_TRUE(std::holds_alternative<HumanTest>(human->model.slots[6]));
  EXPECT_TRUE(std::holds_alternative<EmptySlot>(human->model.slots[7]));

  auto horse = LoadScenarioFile(KV_SCENARIO_DIR "/caballix_stable.json", &error);
  ASSERT_TRUE(horse) << error;
  EXPECT_EQ(SlotLayout::kEquine, horse->model.layout);
  const auto* mare = std::get_if<EquineTest>(&horse->model.slots[2]);
  ASSERT_NE(nullptr, mare);
  EXPECT_EQ(0, mare->conditionScore);
  EXPECT_EQ(4682, mare->readingTenths);
}

TEST(ScenarioTest, KeysOverrideThePresetOfTheModel) {
  std::string error;
  auto s = ParseScenario(R"({"model": 5, "serialNumber": 66051, "clock": "30 15 09 24 13 23",
                             "printerAddress": "AB", "faults": ["wrong-ack:cmd=0x23"],
                             "tests": [{"empty": true}, {"sex": "female", "activityLevel": 3, "weightKg": 75},
                                       {"slot": 9, "raw": [10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                           0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1]}]})",
                         &error);
  ASSERT_TRUE(s) << error;
  const AnalyserModel preset = PresetModel(5);
  EXPECT_EQ(66051u, s->model.serialNumber);
  EXPECT_EQ(preset.version, s->model.version);
  EXPECT_EQ((PackedTime{0x30, 0x15, 0x09, 0x24, 0x13, 0x23}), s->model.clock);  // month 13 kept as given
  EXPECT_EQ((std::array<uint8_t, 12>{'A', 'B'}), s->model.printerAddress);
  ASSERT_EQ(1u, s->faults.size());
  EXPECT_EQ(FaultKind::kWrongAck, s->faults[0].kind);
  EXPECT_EQ(0, LeadingTestCount(s->model));
  const auto slot1 = EncodeSlot(s->model.slots[1]);
  EXPECT_EQ(0x0A, slot1[0]);
  EXPECT_EQ(0x02, slot1[4]);
  EXPECT_EQ(0xEE, slot1[5]);
  EXPECT_EQ(0x01, EncodeSlot(s->model.slots[9])[31]);
  EXPECT_TRUE(std::holds_alternative<EmptySlot>(s->model.slots[10]));
}

struct BadScenario {
  const char* name;
  const char* json;
  const char* mentions;  // the message names what is wrong
};

class BadScenarios : public ::testing::TestWithParam<BadScenario> {};

TEST_P(BadScenarios, AreRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(ParseScenario(GetParam().json, &error));
  EXPECT_NE(std::string::npos, error.find(GetParam().mentions)) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadScenarios,
    ::testing::Values(BadScenario{"NotJson", "{model: 7}", "parse"},
                      BadScenario{"NoModel", R"({"serialNumber": 1})", "model"},
                      BadScenario{"UnknownKey", R"({"model": 7, "serial": 1})", "serial"},
                      BadScenario{"ModelTooBig", R"({"model": 256})", "model"},
                      BadScenario{"SerialTooBig", R"({"model": 7, "serialNumber": 16777216})", "serialNumber"},
                      BadScenario{"ShortVersion", R"({"model": 7, "version": [1, 2]})", "version"},
                      BadScenario{"NotADate", R"({"model": 7, "clock": "2024-02-30 10:00:00"})", "clock"},
                      BadScenario{"YearOutOfRange", R"({"model": 7, "clock": "1999-02-03 10:00:00"})", "clock"},
                      BadScenario{"BadSex", R"({"model": 7, "tests": [{"sex": "f"}]})", "tests[0].sex"},
                      BadScenario{"MisspeltTestKey", R"({"model": 7, "tests": [{"wieght": 1}]})", "wieght"},
                      BadScenario{"EquineKeyOnHuman", R"({"model": 7, "tests": [{"conditionScore": 1}]})",
                                  "conditionScore"},
                      BadScenario{"LongPrinterAddress", R"({"model": 7, "printerAddress": "0123456789ABC"})",
                                  "printerAddress"},
                      BadScenario{"BadFault", R"({"model": 7, "faults": ["wrong-ack:cmd=0x999"]})", "faults"},
                      BadScenario{"SlotOutOfRange", R"({"model": 7, "tests": [{"slot": 100, "empty": true}]})",
                                  "slot"}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(SimulatorArgsTest, ModelAndFaultsMakeTheScenario) {
  std::string error;
  auto o = ParseSimulatorArgs({"--model", "12", "--fault", "wrong-ack:cmd=0x23", "--fault", "garbage",
                               "--record", "/tmp/x"},
                              &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(12, o->scenario.model.modelCode);
  EXPECT_EQ(2u, o->scenario.faults.size());
  EXPECT_EQ("/tmp/x", o->recordPath);
  EXPECT_FALSE(o->help);

  auto byDefault = ParseSimulatorArgs({}, &error);
  ASSERT_TRUE(byDefault);
  EXPECT_EQ(7, byDefault->scenario.model.modelCode);

  auto withFile = ParseSimulatorArgs({"--scenario", KV_SCENARIO_DIR "/caballix_stable.json", "--fault",
                                      "no-answer:cmd=0x24"},
                                     &error);
  ASSERT_TRUE(withFile) << error;
  EXPECT_EQ(12, withFile->scenario.model.modelCode);
  EXPECT_EQ(1u, withFile->scenario.faults.size());
}

TEST(SimulatorArgsTest, BadArgumentsAreRefused) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"--model", "256"},
                                                                {"--model", "7x"},
                                                                {"--model"},
                                                                {"--fault", "nonsense"},
                                                                {"--model", "7", "--scenario", "a.json"},
                                                                {"--scenario", "/no/such/file.json"},
                                                                {"--colour"}}) {
    std::string error;
    EXPECT_FALSE(ParseSimulatorArgs(args, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimulatorArgsTest, HelpDescribesEveryOption) {
  std::string error;
  auto o = ParseSimulatorArgs({"--help"}, &error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->help);
  const std::string usage = SimulatorUsage("kv_simulator");
  for (const char* word : {"--model", "--scenario", "--fault", "--record", "wrong-echo", "truncate-block"}) {
    EXPECT_NE(std::string::npos, usage.find(word)) << word;
  }
}

}  // namespace
}  // namespace kv::sim

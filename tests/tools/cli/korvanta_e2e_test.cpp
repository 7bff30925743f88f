// korvanta_e2e_test.cpp: the built `korvanta` run as a process against the simulator on a real
// pseudo-terminal. Expected values come from the simulator's own model (its stored slots) and, for
// results, from the calculation exports called here on records built from those slots.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "KorvantaSDK.h"
#include "pty_runner.h"
#include "text.h"

namespace kv::cli {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;

struct ProcessRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs korvanta with `args`, standard output and standard error kept apart.
ProcessRun Korvanta(const std::string& args) {
  char errPath[] = "/tmp/korvanta_e2e_err_XXXXXX";
  const int fd = mkstemp(errPath);
  if (fd >= 0) close(fd);
  const std::string command = std::string(KV_KORVANTA_PATH) + " " + args + " 2>" + errPath;
  ProcessRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.err = Slurp(errPath);
  unlink(errPath);
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The wall-clock text of a packed time, "2024-03-05T14:07:09", or empty when it is no date.
std::string WallClock(const sim::PackedTime& packed) {
  sim::DeviceDateTime t;
  if (!sim::UnpackDateTime(packed, &t)) return "";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

// The record a host should get for a stored human test: the slot's wire values as the download
// decodes them (tenths divided by 10 in double, then narrowed).
KVTestRecord ExpectedRecord(const sim::AnalyserModel& model, const sim::HumanTest& h) {
  KVTestRecord r{};
  r.modelCode = model.modelCode;
  r.serialNumber = model.serialNumber;
  r.sex = h.female ? 0 : 1;
  r.age = h.age;
  r.height = h.height;
  r.weight = static_cast<float>(h.weightTenths / 10.0);
  r.activityLevel = h.activityLevel;
  r.waist = h.waist;
  r.hip = h.hip;
  r.impedanceF1 = h.impedanceF1;
  r.impedanceF2 = h.impedanceF2;
  r.impedanceF3 = h.impedanceF3;
  r.impedanceF4 = h.impedanceF4;
  r.resistance = h.resistance;
  r.decimalReading1 = static_cast<float>(h.reading1Tenths / 10.0);
  r.decimalReading2 = static_cast<float>(h.reading2Tenths / 10.0);
  return r;
}

class KorvantaAgainstSimulator : public ::testing::Test {
 protected:
  void StartModel(int modelCode, std::vector<std::string> faults = {}) {
    sim::Scenario scenario = sim::PresetScenario(modelCode);
    for (const std::string& text : faults) {
      std::string error;
      const auto fault = sim::ParseFault(text, &error);
      ASSERT_TRUE(fault) << error;
      scenario.faults.push_back(*fault);
    }
    simulator_ = std::make_unique<sim::PtySimulator>(std::move(scenario));
    std::string error;
    if (!simulator_->Start(&error)) GTEST_SKIP() << "no pseudo-terminal: " << error;
    port_ = simulator_->PortPath();
  }
  void TearDown() override {
    if (simulator_) simulator_->Stop();
  }

  std::unique_ptr<sim::PtySimulator> simulator_;
  std::string port_;
};

TEST_F(KorvantaAgainstSimulator, DownloadJsonHasOneObjectPerStoredTestWithItsValues) {
  StartModel(7);
  const ProcessRun run = Korvanta("download --port " + port_ + " --format json");
  ASSERT_EQ(0, run.status) << run.err;
  const Json tests = Json::parse(run.out);  // pure JSON on standard output
  const sim::AnalyserModel model = simulator_->ModelSnapshot();

  size_t index = 0;
  for (int slot = 0; slot < sim::kSlotCount; ++slot) {
    const auto* stored = std::get_if<sim::HumanTest>(&model.slots[slot]);
    if (stored == nullptr) continue;
    ASSERT_LT(index, tests.size());
    const Json& object = tests[index++];
    SCOPED_TRACE("slot " + std::to_string(slot));
    EXPECT_EQ(slot, object["slot"]);
    const KVTestRecord expected = ExpectedRecord(model, *stored);
    const Json& test = object["test"];
    EXPECT_EQ(expected.modelCode, test["modelCode"]);
    EXPECT_EQ(expected.serialNumber, test["serialNumber"]);
    EXPECT_EQ(expected.sex, test["sex"]);
    EXPECT_EQ(expected.age, test["age"]);
    EXPECT_EQ(expected.height, test["height"]);
    EXPECT_EQ(expected.weight, test["weight"].get<float>());
    EXPECT_EQ(expected.activityLevel, test["activityLevel"]);
    EXPECT_EQ(expected.waist, test["waist"]);
    EXPECT_EQ(expected.hip, test["hip"]);
    EXPECT_EQ(expected.impedanceF1, test["impedanceF1"]);
    EXPECT_EQ(expected.impedanceF2, test["impedanceF2"]);
    EXPECT_EQ(expected.impedanceF4, test["impedanceF4"]);
    EXPECT_EQ(expected.resistance, test["resistance"]);
    EXPECT_EQ(expected.decimalReading1, test["decimalReading1"].get<float>());
    // The analyser's local wall clock, shown in local time with the zone's offset after it.
    EXPECT_EQ(WallClock(stored->time), test["testTime"].get<std::string>().substr(0, 19));

    KVResults results{};
    ASSERT_EQ(KV_OK, KVCalculateResults(&expected, &results, 0));
    KVNormals normals{};
    ASSERT_EQ(KV_OK, KVCalculateNormals(&expected, &results, &normals));
    EXPECT_EQ(0, object["resultsCode"]);
    EXPECT_EQ(results.fatPercent, object["results"]["fatPercent"].get<float>());
    EXPECT_EQ(results.tbwLitres, object["results"]["tbwLitres"].get<float>());
    EXPECT_EQ(results.ecwLitres, object["results"]["ecwLitres"].get<float>());
    EXPECT_EQ(results.bmrKcal, object["results"]["bmrKcal"].get<float>());
    EXPECT_EQ(normals.fatPercentLow, object["normals"]["fatPercentLow"]);
    EXPECT_EQ(normals.tbwLitresHigh, object["normals"]["tbwLitresHigh"]);
    EXPECT_EQ(normals.ecwTbwRatioNormal, object["normals"]["ecwTbwRatioNormal"].get<float>());
  }
  EXPECT_EQ(index, tests.size());
  EXPECT_GT(index, 10u);
  EXPECT_THAT(run.err, HasSubstr(std::to_string(index) + " tests downloaded from a Korvanta Quattron 40"));
}

TEST_F(KorvantaAgainstSimulator, DownloadCsvToFileOneHeaderAndOneLinePerTest) {
  StartModel(2);
  char path[] = "/tmp/korvanta_e2e_csv_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  const ProcessRun run = Korvanta("download --port " + port_ + " --format csv --output " + path);
  const std::string csv = Slurp(path);
  unlink(path);
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_EQ("", run.out);  // data went to the file
  const auto lines = Lines(csv);
  ASSERT_FALSE(lines.empty());
  const auto header = *SplitCsvLine(lines[0]);
  auto column = [&](const std::string& name) {
    return static_cast<size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  ASSERT_LT(column("impedanceRatioF2F1"), header.size());

  const sim::AnalyserModel model = simulator_->ModelSnapshot();
  size_t line = 1;
  for (int slot = 0; slot < sim::kSlotCount; ++slot) {
    const auto* stored = std::get_if<sim::HumanTest>(&model.slots[slot]);
    if (stored == nullptr) continue;
    ASSERT_LT(line, lines.size());
    const auto cells = *SplitCsvLine(lines[line++]);
    ASSERT_EQ(header.size(), cells.size());
    const KVTestRecord expected = ExpectedRecord(model, *stored);
    KVResults results{};
    ASSERT_EQ(KV_OK, KVCalculateResults(&expected, &results, 0));
    EXPECT_EQ(std::to_string(slot), cells[column("slot")]);
    EXPECT_EQ(FloatText(expected.weight), cells[column("weight")]);
    EXPECT_EQ(std::to_string(expected.impedanceF1), cells[column("impedanceF1")]);
    EXPECT_EQ(FloatText(results.fatPercent), cells[column("fatPercent")]);
    EXPECT_EQ(FloatText(results.impedanceRatioF2F1), cells[column("impedanceRatioF2F1")]);
  }
  EXPECT_EQ(line, lines.size());
}

TEST_F(KorvantaAgainstSimulator, EquineAnalyserIsDownloadedTheEquineWay) {
  StartModel(12);
  const ProcessRun run = Korvanta("download --port " + port_ + " --format json --progress on");
  ASSERT_EQ(0, run.status) << run.err;
  const Json tests = Json::parse(run.out);
  const sim::AnalyserModel model = simulator_->ModelSnapshot();
  size_t index = 0;
  for (int slot = 0; slot < sim::kSlotCount; ++slot) {
    const auto* stored = std::get_if<sim::EquineTest>(&model.slots[slot]);
    if (stored == nullptr) continue;
    ASSERT_LT(index, tests.size());
    const Json& test = tests[index++]["test"];
    EXPECT_EQ(12, test["modelCode"]);
    EXPECT_EQ(stored->height, test["height"]);
    EXPECT_EQ(stored->impedance5, test["impedance5"]);
    EXPECT_EQ(stored->impedance280, test["impedance280"]);
    EXPECT_EQ(stored->conditionScore == 0 ? 5 : stored->conditionScore, test["conditionScore"]);
  }
  EXPECT_EQ(index, tests.size());
  EXPECT_EQ(0, tests[0]["resultsCode"]);
  EXPECT_TRUE(tests[0]["normals"].contains("ecwFractionPercentHigh"));
  // The progress notice went to standard error, not into the JSON.
  EXPECT_THAT(run.err, HasSubstr("downloading the stored tests"));
}

TEST_F(KorvantaAgainstSimulator, InfoJsonMatchesTheAnalyser) {
  StartModel(14);
  const ProcessRun run = Korvanta("info --port " + port_ + " --format json");
  ASSERT_EQ(0, run.status) << run.err;
  const Json info = Json::parse(run.out);
  const sim::AnalyserModel model = simulator_->ModelSnapshot();
  EXPECT_EQ(14, info["modelCode"]);
  EXPECT_EQ(-4, info["family"]);
  EXPECT_EQ("Korvanta Quattron 40 Panel", info["modelName"]);
  EXPECT_EQ("QPN", info["modelNameShort"]);
  EXPECT_EQ(model.serialNumber, info["serialNumber"]);
  EXPECT_EQ(std::string(model.printerAddress.begin(), model.printerAddress.end()), info["printerAddress"]);
  EXPECT_EQ(std::vector<int>(model.version.begin(), model.version.end()), info["version"].get<std::vector<int>>());
  EXPECT_EQ(std::vector<int>(model.protocol.begin(), model.protocol.end()), info["protocol"].get<std::vector<int>>());
  EXPECT_EQ(WallClock(model.clock), info["currentTime"].get<std::string>().substr(0, 19));
  EXPECT_EQ(WallClock(model.calibrationTime), info["calibrationTime"].get<std::string>().substr(0, 19));
}

TEST_F(KorvantaAgainstSimulator, SetClockReachesTheAnalyser) {
  StartModel(1);
  const ProcessRun run = Korvanta("set-clock --port " + port_ + " --time 2025-06-30T23:59:58");
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_THAT(run.out, HasSubstr("2025-06-30T23:59:58"));
  sim::DeviceDateTime clock;
  ASSERT_TRUE(sim::UnpackDateTime(simulator_->ModelSnapshot().clock, &clock));
  EXPECT_EQ(2025, clock.year);
  EXPECT_EQ(6, clock.month);
  EXPECT_EQ(30, clock.day);
  EXPECT_EQ(23, clock.hour);
  EXPECT_EQ(59, clock.minute);
  EXPECT_EQ(58, clock.second);
}

TEST_F(KorvantaAgainstSimulator, WrongFamilySaysWhatTheAnalyserIs) {
  StartModel(12);
  const ProcessRun run = Korvanta("download --port " + port_ + " --kind human");
  EXPECT_EQ(6, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_THAT(run.err, HasSubstr("is a Caballix Plus (modelCode 12, equine), not a human analyser"));
  EXPECT_THAT(run.err, HasSubstr("(KV_ERR_WRONG_KIND, -1)"));
  EXPECT_THAT(run.err, HasSubstr("leave out --kind"));
}

TEST_F(KorvantaAgainstSimulator, SilentAnalyserGivesOneLineAndStatus4) {
  StartModel(7, {"silence:after=0"});
  ASSERT_FALSE(HasFatalFailure());
  const ProcessRun run = Korvanta("info --port " + port_);
  EXPECT_EQ(4, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(1u, Lines(run.err).size()) << run.err;
  EXPECT_THAT(run.err, HasSubstr("KV_ERR_RECEIVE"));
  EXPECT_THAT(run.err, HasSubstr("check that it is switched on"));
}

TEST(KorvantaProcess, MissingPortGivesOneLineAndStatus3) {
  const ProcessRun run = Korvanta("info --port /dev/korvanta-no-such-port");
  EXPECT_EQ(3, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(1u, Lines(run.err).size()) << run.err;
  EXPECT_THAT(run.err, HasSubstr("/dev/korvanta-no-such-port: opening the port failed"));
  EXPECT_THAT(run.err, HasSubstr("(KV_ERR_PORT_OPEN, -50); check the port name"));
}

TEST(KorvantaProcess, CalcByOptionsAgreesWithTheExports) {
  const ProcessRun run = Korvanta(
      "calc --model 2 --sex male --age 44 --height 181 --weight 82.3 --activityLevel 4 --waist 88 --hip 99 "
      "--impedanceF1 610 --impedanceF2 530 --format json");
  ASSERT_EQ(0, run.status) << run.err;
  const Json tests = Json::parse(run.out);
  ASSERT_EQ(1u, tests.size());
  KVTestRecord test{};
  test.modelCode = 2;
  test.testTime = -1;
  test.sex = 1;
  test.age = 44;
  test.height = 181;
  test.weight = 82.3f;
  test.activityLevel = 4;
  test.waist = 88;
  test.hip = 99;
  test.impedanceF1 = 610;
  test.impedanceF2 = 530;
  KVResults results{};
  ASSERT_EQ(KV_OK, KVCalculateResults(&test, &results, 0));
  KVNormals normals{};
  ASSERT_EQ(KV_OK, KVCalculateNormals(&test, &results, &normals));
  EXPECT_EQ(results.leanKg, tests[0]["results"]["leanKg"].get<float>());
  EXPECT_EQ(results.impedanceRatioF2F1, tests[0]["results"]["impedanceRatioF2F1"].get<float>());
  EXPECT_EQ(normals.impedanceRatioF2F1Low, tests[0]["normals"]["impedanceRatioF2F1Low"].get<float>());
  EXPECT_EQ(normals.leanKgHigh, tests[0]["normals"]["leanKgHigh"]);
}

TEST(KorvantaProcess, CalcRefusedTestExitsWithStatus7) {
  const ProcessRun run = Korvanta(
      "calc --model 1 --sex 0 --age 120 --height 165 --weight 60 --activityLevel 3 --waist 70 --hip 95 "
      "--impedanceF2 500 --format csv");
  EXPECT_EQ(7, run.status);
  EXPECT_THAT(run.err, HasSubstr("test 0: calculation failed: age is outside 1 to 99 (KV_ERR_AGE, -5)"));
  EXPECT_EQ(2u, Lines(run.out).size());
}

TEST(KorvantaProcess, BadArgumentsExitWithStatus2) {
  EXPECT_EQ(2, Korvanta("download").status);                    // --port is required
  EXPECT_EQ(2, Korvanta("download --port x --format xml").status);
  EXPECT_EQ(2, Korvanta("calc --wieght 3").status);
  EXPECT_EQ(2, Korvanta("set-clock --port x --time yesterday").status);
  EXPECT_EQ(0, Korvanta("download --help").status);
}

TEST(KorvantaProcess, BluetoothWithoutRadioSaysWhatToDo) {
  if (KVIsBTAvailable() != 0) GTEST_SKIP() << "this machine has a Bluetooth radio";
  const ProcessRun run = Korvanta("bt search");
  EXPECT_EQ(8, run.status);
  EXPECT_THAT(run.err, HasSubstr("no Bluetooth radio found"));
  EXPECT_THAT(run.err, HasSubstr("--port"));
}

}  // namespace
}  // namespace kv::cli

// korvanta_e2e_test.cpp: the built `korvanta` run as a process against the simulator on a real
// pseudo-terminal, in UTC. The expected output is the tool's own formatter applied to records built
// here from the simulator's stored slots and to results from the calculation exports.
#include "cli_commands.h"
#include "cli_messages.h"
#include "expected.h"
#include "formatters.h"
#include "korvanta_run.h"

namespace kv::cli {
namespace {

// The rows a host should get from an equine analyser: each slot holding a test, decoded as the download
// does, calculated by the exports. The human decoding is the library's end-to-end test's (tests/e2e), and
// the tool's human download is checked against the library by the Python package's tests.
TestSet ExpectedRows(const sim::AnalyserModel& m) {
  std::vector<EquineRow> rows;
  for (int slot = 0; slot < sim::kSlotCount; ++slot) {
    if (const auto* e = std::get_if<sim::EquineTest>(&m.slots[slot])) {
      EquineRow& r = rows.emplace_back();
      r.slot = slot, r.test = e2e::EquineRecord(m, *e);
      r.resultsCode = CXCalculateResults(&r.test, &r.results);
      r.normalsCode = CXCalculateNormals(&r.test, &r.results, &r.normals);
    }
  }
  return rows;
}

std::string Written(const TestSet& rows, OutputFormat format) {
  std::ostringstream out;
  WriteTests(out, rows, format, FormatOptions{TimeStyle::kUtc});
  return out.str();
}

// A simulator of a scenario, with a fault given as text; the tool runs in UTC, and so does this process, where
// the expected records' times are local.
class AgainstSimulator : public WithSimulators {
 protected:
  void Start(sim::Scenario scenario, const char* fault = nullptr) {
    if (fault) scenario.faults.push_back(*sim::ParseFault(fault, nullptr));
    setenv("TZ", "UTC0", 1), tzset();
    port = Serve(std::move(scenario));
    if (port.empty()) GTEST_SKIP() << "no pseudo-terminal";
  }
  sim::AnalyserModel Model() const { return simulators.back()->ModelSnapshot(); }
  std::string port;
};

// An equine analyser's tests as JSON to a file, with progress asked for off a terminal: a line per quarter
// on the error stream.
TEST_F(AgainstSimulator, Download) {
  const std::string path = kRunDir + "/download.json";
  Start(sim::PresetScenario(12));
  const ProcessRun run = Korvanta("download --utc --port " + port + " --format json --progress on --output " + path);
  ASSERT_EQ(0, run.status) << run.err;
  const TestSet expected = ExpectedRows(Model());
  EXPECT_EQ(Written(expected, OutputFormat::kJson), Slurp(path));
  // The summary names the model, the count and the file, and a line counts the tests after the first empty
  // slot (the preset has some); asking for progress adds one line before them.
  EXPECT_EQ(3, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  for (const std::string& word : {ModelName(12), std::to_string(TestCount(expected)), path})
    EXPECT_NE(std::string::npos, run.err.find(word)) << run.err;
}

TEST_F(AgainstSimulator, InfoJsonAndSetClock) {
  sim::Scenario scenario = sim::PresetScenario(14);
  scenario.model.protocol = {1, 2, 3};  // three different bytes, so outputs given back in the wrong order show
  Start(std::move(scenario));
  ProcessRun run = Korvanta("info --port " + port + " --format json --utc");
  ASSERT_EQ(0, run.status) << run.err;
  const sim::AnalyserModel m = Model();
  // clang-format off
  const DeviceInfo info{14, KVGetDeviceFamily(14), ModelName(14), "QPN", m.version, m.protocol, m.serialNumber,
                        std::string(m.printerAddress.begin(), m.printerAddress.end()), e2e::LocalTimeOf(m.clock),
                        e2e::LocalTimeOf(m.calibrationTime)};
  // clang-format on
  EXPECT_EQ(InfoJson(info, port, TimeStyle::kUtc), run.out);

  run = Korvanta("set-clock --port " + port + " --time 2025-06-30T23:59:58 --utc");
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("2025-06-30T23:59:58Z"));
  EXPECT_EQ(sim::PackDateTime({2025, 6, 30, 23, 59, 58}), Model().clock);
}

TEST_F(AgainstSimulator, CalcByOptionsAgreesWithTheExports) {
  const ProcessRun run = Korvanta(
      "calc --model 2 --sex male --age 44 --height 181 --weight 82.3 --activityLevel 4 --waist 88 --hip 99 "
      "--impedanceF1 610 --impedanceF2 530 --format json");
  ASSERT_EQ(0, run.status) << run.err;
  std::vector<HumanRow> rows(1);
  rows[0].test = {2, 0, kNoTime, 1, 44, 181, 82.3f, 4, 88, 99, 610, 530, 0, 0, 0, 0, 0, 0, nullptr};
  rows[0].resultsCode = KVCalculateResults(&rows[0].test, &rows[0].results, 0);
  rows[0].normalsCode = KVCalculateNormals(&rows[0].test, &rows[0].results, &rows[0].normals);
  EXPECT_EQ(Written(rows, OutputFormat::kJson), run.out);
}

// Each failure: its exit status, and a message with the code's name and advice from the tool's table.
TEST_F(AgainstSimulator, FailuresGiveTheirStatusAndAdvice) {
  const std::string calc =
      "calc --model 1 --sex 0 --height 165 --weight 60 --activityLevel 3 --waist 70 --hip 95 "
      "--impedanceF2 500 --format csv --age ";
  using Case = std::tuple<int, const char*, std::string, ExitStatus, int32_t>;
  for (const auto& [model, fault, args, status, code] : std::initializer_list<Case>{
           {12, nullptr, "download --kind human --port ", ExitStatus::kWrongFamily, KV_ERR_WRONG_KIND},
           {7, "silence:after=0", "info --port ", ExitStatus::kNoAnswer, KV_ERR_RECEIVE},
           {-1, nullptr, "info --port /dev/korvanta-no-such-port", ExitStatus::kPort, KV_ERR_PORT_OPEN},
           {-1, nullptr, calc + "120", ExitStatus::kInvalidTest, KV_ERR_AGE},
           {-1, nullptr, "download", ExitStatus::kUsage, KV_OK},
           {-1, nullptr, "set-clock --port x --time yesterday", ExitStatus::kUsage, KV_OK},
           {-1, nullptr, "download --help", ExitStatus::kOk, KV_OK}}) {
    SCOPED_TRACE(args);
    if (model >= 0) Start(sim::PresetScenario(model), fault);
    const ProcessRun run = Korvanta(args + (model >= 0 ? port : ""));
    EXPECT_EQ(ToInt(status), run.status) << run.err;
    if (code == KV_OK) continue;
    EXPECT_NE(std::string::npos, run.err.find(CodeName(code))) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(CodeAdvice(code))) << run.err;
    EXPECT_EQ(code == KV_ERR_AGE ? 2 : 0, std::count(run.out.begin(), run.out.end(), '\n'));
  }
  EXPECT_TRUE(KVIsBTAvailable() != 0 || Korvanta("bt search").status == ToInt(ExitStatus::kNoBluetooth));
}

}  // namespace
}  // namespace kv::cli

// korvanta_e2e_test.cpp: the built `korvanta` run as a process against the simulator on a real
// pseudo-terminal, in UTC. The expected output is the tool's own formatter applied to records built
// here from the simulator's stored slots and to results from the calculation exports.
#include <pty.h>
#include <signal.h>

#include <nlohmann/json.hpp>
#include <thread>

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
    ports.push_back(port);
  }
  sim::AnalyserModel Model() const { return simulators.back()->ModelSnapshot(); }
  std::string port;
  std::vector<std::string> ports;
};

// A raw pseudo-terminal of the test's own, whose master side keeps whatever a host writes to it. It sends
// nothing, or (chatty) bytes that are not the handshake's, every few milliseconds while it lives.
class TestPty {
 public:
  explicit TestPty(bool chatty) {
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0) return;
    path_ = ttyname(slave_);
    fcntl(master_, F_SETFL, O_NONBLOCK);
    if (chatty)
      chatter_ = std::thread([this] {
        const uint8_t noise[] = {0x00, 0x5A, 0x10, 0xFF, 0xA4, 0x5A, 0x00};
        for (; !stop_; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
          if (write(master_, noise, sizeof noise) < 0) continue;  // a full queue drops the noise
      });
  }
  ~TestPty() {
    stop_ = true;
    if (chatter_.joinable()) chatter_.join();
    if (!path_.empty()) close(master_), close(slave_);
  }
  const std::string& Path() const { return path_; }  // empty when no pseudo-terminal could be had
  std::string Written() const {
    std::string bytes;
    char buffer[256];
    for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
    return bytes;
  }

 private:
  int master_ = -1, slave_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread chatter_;
};

// Two analysers among a silent port and a chatty one, all probed at once: exactly the analysers are found, with
// their model and serial number, and not one byte goes to the other two, which each ran out the handshake wait.
TEST_F(AgainstSimulator, ProbeFindsTheAnalysersAndWritesToNoOtherPort) {
  Start(sim::PresetScenario(7)), Start(sim::PresetScenario(12));
  if (IsSkipped()) return;
  const TestPty silent(false), chatty(true);
  ASSERT_FALSE(silent.Path().empty() || chatty.Path().empty());
  const std::vector<std::string> order{ports[0], silent.Path(), ports[1], chatty.Path()};
  const ProcessRun run = Korvanta("ports --probe --format json --port " + order[0] + " --port " + order[1] +
                                  " --port " + order[2] + " --port " + order[3]);
  ASSERT_EQ(0, run.status) << run.err;
  const auto probed = nlohmann::json::parse(run.out);
  ASSERT_EQ(order.size(), probed.size()) << run.out;
  for (size_t i = 0; i < order.size(); ++i) {
    SCOPED_TRACE(order[i]);
    EXPECT_EQ(order[i], probed[i]["name"]);
    EXPECT_EQ("other", probed[i]["transport"]);
    if (i % 2 == 0) {
      const sim::AnalyserModel m = simulators[i / 2]->ModelSnapshot();
      EXPECT_EQ((nlohmann::json{{"modelCode", m.modelCode}, {"serialNumber", m.serialNumber}}), probed[i]["analyser"]);
    } else {
      EXPECT_TRUE(probed[i]["analyser"].is_null());
      EXPECT_NE(std::string::npos, probed[i]["probeError"].get<std::string>().find(CodeName(KV_ERR_NO_HANDSHAKE)));
    }
  }
  EXPECT_EQ("", silent.Written());
  EXPECT_EQ("", chatty.Written());
}

// The system's list, read from a sysfs tree of the test's own with one USB adapter: the record's fields as keys.
TEST_F(AgainstSimulator, PortsOfTheSystemAsJsonAndTable) {
  const std::string sys = kRunDir + "/sys", usb = sys + "/devices/pci0000:00/0000:00:14.0/usb1/1-2";
  const std::string tty = usb + "/1-2:1.0/ttyUSB0";
  ASSERT_EQ(0, system(("mkdir -p " + tty + " " + sys + "/class/tty/ttyUSB0 && ln -s " + tty + " " + sys +
                       "/class/tty/ttyUSB0/device && ln -s ../../../../../../../../bus/usb-serial/drivers/cp210x " +
                       tty + "/driver")
                          .c_str()));
  for (const auto& [file, text] : std::initializer_list<std::pair<const char*, const char*>>{
           {"idVendor", "10c4"}, {"idProduct", "ea60"}, {"serial", "0001"}, {"manufacturer", "Silicon Labs"},
           {"product", "CP2102 USB to UART Bridge Controller"}})
    std::ofstream(usb + "/" + file) << text << "\n";
  setenv("KV_SYSFS_ROOT", sys.c_str(), 1);
  const ProcessRun json = Korvanta("ports --format json"), table = Korvanta("ports");
  unsetenv("KV_SYSFS_ROOT");
  ASSERT_EQ(0, json.status + table.status) << json.err << table.err;
  const nlohmann::ordered_json expected = {{{"name", "/dev/ttyUSB0"},
                                            {"description", "CP2102 USB to UART Bridge Controller"},
                                            {"transport", "usb"},
                                            {"usbVendorId", 0x10c4},
                                            {"usbProductId", 0xea60},
                                            {"usbSerialNumber", "0001"},
                                            {"manufacturer", "Silicon Labs"},
                                            {"product", "CP2102 USB to UART Bridge Controller"},
                                            {"bluetoothAddress", ""}}};
  EXPECT_EQ(expected, nlohmann::ordered_json::parse(json.out));
  const TableRow row = SplitCells(SplitCells(table.out, '\n').at(1));
  EXPECT_EQ((TableRow{"/dev/ttyUSB0", "usb", "10c4:ea60", "0001", "-", "CP2102"}),
            TableRow(row.begin(), row.begin() + 6));
}

// --port auto: the one analyser found is used and named; none, or several, fail with every port probed and its result.
TEST_F(AgainstSimulator, PortAutoUsesTheOneAnalyserFound) {
  Start(sim::PresetScenario(7)), Start(sim::PresetScenario(12));
  if (IsSkipped()) return;
  const TestPty silent(false);
  ASSERT_FALSE(silent.Path().empty());
  const std::string human = " --probe-port " + ports[0], equine = " --probe-port " + ports[1],
                    quiet = " --probe-port " + silent.Path();
  using Case = std::tuple<std::string, ExitStatus, std::vector<std::string>>;
  for (const auto& [args, status, said] : std::initializer_list<Case>{
           {"info --format json --port auto" + human + quiet, ExitStatus::kOk, {"analyser found on " + ports[0]}},
           {"download --port auto" + quiet, ExitStatus::kNoAnswer,
            {silent.Path() + ": ", CodeName(KV_ERR_NO_HANDSHAKE)}},
           {"info --port auto" + human + equine + quiet, ExitStatus::kUsage,
            {"2 analysers found", ports[0] + ": " + ModelName(7), ports[1] + ": " + ModelName(12),
             silent.Path() + ": "}}}) {
    SCOPED_TRACE(args);
    const ProcessRun run = Korvanta(args);
    EXPECT_EQ(ToInt(status), run.status) << run.err;
    for (const std::string& words : said) EXPECT_NE(std::string::npos, run.err.find(words)) << run.err;
    if (status == ExitStatus::kOk) {
      EXPECT_EQ(ports[0], nlohmann::json::parse(run.out).at("port")) << run.out;
    }
  }
}

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
  // slot (the preset has some); asking for progress adds four lines before them.
  EXPECT_EQ(6, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("3200 of 3200 bytes")) << run.err;
  for (const std::string& word : {ModelName(12), std::to_string(TestCount(expected)), path})
    EXPECT_NE(std::string::npos, run.err.find(word)) << run.err;
}

// A human and an equine analyser at once, traced: one JSON array holds what one-port downloads of each give,
// in port order. The trace holds whole lines of one port each; a request's bytes and its reply are a line each.
TEST_F(AgainstSimulator, TwoPortsAtOnceGiveWhatEachGivesAlone) {
  Start(sim::PresetScenario(7)), Start(sim::PresetScenario(12));
  if (IsSkipped()) return;
  const std::string &human = ports[0], &equine = ports[1];
  const std::string args = "download --utc --format json --output " + kRunDir + "/";
  const pid_t a = Spawn(args + "a.json --port " + human, "a"), b = Spawn(args + "b.json --port " + equine, "b");
  ASSERT_EQ(0, Finish(a, "a").status + Finish(b, "b").status);
  const ProcessRun run =
      Korvanta(args + "both.json --trace " + kRunDir + "/trace --port " + human + " --port " + equine);
  ASSERT_EQ(0, run.status) << run.err;
  const std::string one = Slurp(kRunDir + "/a.json"), other = Slurp(kRunDir + "/b.json");
  EXPECT_EQ(one.substr(0, one.size() - 3) + ",\n" + other.substr(2), Slurp(kRunDir + "/both.json"));

  const TableRow lines = SplitCells(Slurp(kRunDir + "/trace"), '\n');
  auto has = [](const std::string& line, const std::string& text) { return line.find(text) != std::string::npos; };
  for (size_t i = 1; i < lines.size(); ++i)
    EXPECT_EQ(1, has(lines[i], "  " + human + "  ") + has(lines[i], "  " + equine + "  ")) << lines[i];
  for (const std::string& name : ports) {
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(), [&](auto& line) { return has(line, name + "  > 5A 30"); }));
    const auto reply =
        std::find_if(lines.begin(), lines.end(), [&](auto& line) { return has(line, name + "  < 5A 30"); });
    ASSERT_NE(lines.end(), reply) << name;
    EXPECT_EQ(2 + 3 + 3200 + 2, (reply->size() - reply->find('<')) / 3) << *reply;  // echo, header, block, ack
  }
}

// Ctrl-C in the middle of two slow blocks: status 130, both ports closed before the blocks ended, no output.
TEST_F(AgainstSimulator, InterruptCancelsEveryDownloadAndWritesNothing) {
  Start(sim::PresetScenario(7), "slow:latency-ms=0,byte-us=2000");
  Start(sim::PresetScenario(12), "slow:latency-ms=0,byte-us=2000");
  if (IsSkipped()) return;
  const std::string output = kRunDir + "/tests.csv";
  const pid_t pid = Spawn("download --format csv --output " + output + " --port " + ports[0] + " --port " + ports[1]);
  auto served = [](const sim::PtySimulator& s) {
    const auto notes = s.RecordingSnapshot().Notes();
    return std::find(notes.begin(), notes.end(), "served 0x30") != notes.end();
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);  // a tool that died: no hang
  while ((!served(*simulators[0]) || !served(*simulators[1])) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  kill(pid, SIGINT);
  const ProcessRun run = Finish(pid);
  EXPECT_EQ(ToInt(ExitStatus::kCancelled), run.status) << run.err;
  for (const auto& simulator : simulators) {
    EXPECT_EQ(sim::Engine::Phase::kDetached, simulator->PhaseSnapshot());
    const auto notes = simulator->RecordingSnapshot().Notes();
    EXPECT_TRUE(
        std::any_of(notes.begin(), notes.end(), [](auto& note) { return note.ends_with("reply bytes dropped"); }));
  }
  EXPECT_NE(0, access(output.c_str(), F_OK));
  EXPECT_NE(0, access((output + ".partial").c_str(), F_OK));
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
